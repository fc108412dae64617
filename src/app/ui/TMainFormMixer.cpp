// The main window's mixer: "Mixer Support ", the recording source list and the volume bars.
#include "app/ui/TMainForm.h"

#include "analysis/Tmixu.h"

#include <QActionGroup>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>

namespace {
constexpr int kMixFull = 65535; // mixer volume of a bar at 100
}

// Opens the default card's mixer with the stored switch; without a card the items say so.
void TMainForm::buildMixerItems(QMenu* opt) {
    m_mixer = new Tmixu(this);
    m_mixer->Loadfromfile(m_ini);
    m_mixer->iniMixer(false);
    m_acMixOn = opt->addAction("Mixer Support ");
    m_acMixOn->setCheckable(true);
    connect(m_acMixOn, &QAction::toggled, this, [this](bool on) {
        m_mixer->setMixOn(on);
        refreshMixerItems();
        volumeBarsToMixer();
    });
    m_mixChannels = opt->addMenu("Wave In Channel");
    connect(m_mixer, &Tmixu::inputSelectionChanged, this, &TMainForm::refreshMixerItems);
    connect(m_mixer, &Tmixu::inputVolumeChanged, this, [this] {
        const QSignalBlocker b(TBinVol); // the card moved: show it, do not set it again
        TBinVol->setValue(m_mixer->getInVolume() * 100 / kMixFull);
        m_set.FGinVolume = TBinVol->value();
    });
    connect(TBinVol, &QSlider::valueChanged, this, [this](int v) {
        m_mixer->setInVolumeAT(v * kMixFull / 100, m_mixer->getAktChannelNum());
    });
    connect(TBoutVol, &QSlider::valueChanged, this,
            [this](int v) { m_mixer->setOutMasterVol(v * kMixFull / 100); });
    refreshMixerItems();
}

void TMainForm::refreshMixerItems() {
    const QString why = m_mixer->isOpen() && m_mixer->inactiveReason() == "mixer control is off"
                            ? QString()
                            : m_mixer->inactiveReason();
    {
        const QSignalBlocker b(m_acMixOn);
        m_acMixOn->setEnabled(why.isEmpty());
        m_acMixOn->setChecked(m_mixer->MixOn());
        m_acMixOn->setText(why.isEmpty() ? QString("Mixer Support ")
                                         : "Mixer Support  (" + why + ")");
        m_acMixOn->setStatusTip(why.isEmpty() ? QString("The sound card's mixer follows the level bars and the recording source")
                                              : "No mixer to control: " + why);
    }
    m_mixChannels->clear();
    qDeleteAll(m_mixChannels->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)); // the old list's
    int selected = -1;
    const QStringList names = m_mixer->getInChannels(&selected);
    auto* group = new QActionGroup(m_mixChannels);
    for (int i = 0; i < names.size(); ++i) {
        QAction* a = m_mixChannels->addAction(names[i]);
        a->setObjectName(QString("Mix%1").arg(i));
        a->setCheckable(true);
        a->setChecked(i == selected);
        a->setEnabled(m_mixer->MixOn());
        a->setStatusTip(m_mixer->MixOn() ? "Record from " + names[i]
                                         : QString("Switch Mixer Support on to choose the recording source"));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] {
            m_mixer->setInChannel(i);
            m_mixer->setInVolumeAT(m_set.FGinVolume * kMixFull / 100, i);
        });
    }
    if (names.isEmpty()) {
        QAction* none = m_mixChannels->addAction(why.isEmpty() ? QString("no recording sources") : why);
        none->setEnabled(false);
        none->setStatusTip(why.isEmpty() ? QString("The card's mixer offers no recording source")
                                         : "No mixer to control: " + why);
    }
    m_mixer->clearNotifyVolmask();
    if (selected >= 0) m_mixer->setNotifyVolmask(selected);
}

// Mixer control switched on: the card takes the bars' levels and the playback set-up.
void TMainForm::volumeBarsToMixer() {
    if (!m_mixer->MixOn()) return;
    m_mixer->setOutMasterVolAT(m_set.FGoutVolume * kMixFull / 100);
    const int n = m_mixer->getAktChannelNum();
    if (n >= 0) m_mixer->setInVolumeAT(m_set.FGinVolume * kMixFull / 100, n);
}
