// The main window's side of the oscilloscope (mode 9) and of the level meter with the impulse
// trigger slider.
#include "app/ui/TMainForm.h"

#include "app/ui/graphicsFadeButtons.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tOSZImeas.h"
#include "measurements/ui/TChild3D.h"
#include "measurements/ui/TOsziDlg.h"
#include "measurements/ui/TOszidia.h"
#include "measurements/ui/TVUTRIGG.h"

#include <QBoxLayout>
#include <cmath>

namespace {

// The layout holding w, searched from the top layout down; null when none does.
QBoxLayout* layoutHolding(QLayout* l, QWidget* w) {
    if (!l) return nullptr;
    if (l->indexOf(w) >= 0) return qobject_cast<QBoxLayout*>(l);
    for (int i = 0; i < l->count(); ++i)
        if (QBoxLayout* found = layoutHolding(l->itemAt(i)->layout(), w)) return found;
    return nullptr;
}

} // namespace

void TMainForm::registerOscilloscope() {
    RegisterMeasurement(mcOszi, [this](const TMeasModeInfo&) {
        auto m = std::make_unique<tOSZImeas>(&m_scopeWnd->scope(), m_diafrm);
        m->setSettingsFile(m_ini.FileName());
        m->setSettingsIni(&m_ini);
        m->setCalibration(&m_calibration);
        m->setFrameResolution_ms(m_set.FRAMERESOL_ms);
        m->onRepaint = [this] { m_scopeWnd->update(); };
        return m;
    });
}

void TMainForm::buildScopeWindow(QWidget* central, QBoxLayout* col) {
    m_scopeWnd = new TOszidia(central);
    m_scopeWnd->hide();
    col->addWidget(m_scopeWnd, 1);
    // The dialog's changes of the timebase resize the block of the running scope.
    m_scopeWnd->onSettingsApplied = [this] {
        if (auto* o = dynamic_cast<tOSZImeas*>(m_meas.get())) o->timebaseChanged();
    };
    // The diagram's popup can set the impulse trigger level too: the level meter's slider
    // follows; whoever listened before still hears it.
    auto before = m_diafrm->model().fOnParaChange;
    m_diafrm->setOnParaChange([this, before] {
        if (before) before();
        syncVUTrigger();
    });
}

void TMainForm::applyScopeMode(int MM) {
    const bool on = MM == 9 && m_meas;
    m_scopeWnd->setVisible(on);
    if (on)
        m_diafrm->hide();
    else {
        m_scopeWnd->hideDialog();
        if (!m_child3D || !m_child3D->isVisibleTo(this)) m_diafrm->show();
    }
}

bool TMainForm::saveScopeSettings() {
    if (m_diaTopic != MeasuringModeTopic(9)) return false;
    if (auto* o = dynamic_cast<tOSZImeas*>(m_meas.get())) o->saveToINI(m_ini.FileName());
    return true;
}

void TMainForm::OsziDlgButClick() {
    m_scopeWnd->DoDlg();
}

// ---- the level meter ------------------------------------------------------------------------

bool TMainForm::externalImpulse() const {
    return m_fft.asyncIps;
}

void TMainForm::buildVUTrigger() {
    m_vuTrigg = new TVUTRIGG(m_ctrlPanel);
    m_vuTrigg->setObjectName("VUTRIGG");
    m_vuTrigg->setFixedSize(100, 39);
    m_vuTrigg->setHoriz(true);
    if (QBoxLayout* row = layoutHolding(m_ctrlPanel->layout(), ButSetupOut))
        row->insertWidget(row->indexOf(ButSetupOut) + 1, m_vuTrigg);
    m_vuTrigg->hide();
    syncVUTrigger();
    m_vuTrigg->setOnTrackChange(
        [this] { m_fft.triggLevel = std::pow(10.0, m_vuTrigg->TrackValdB() / 20.0); });
}

void TMainForm::syncVUTrigger() {
    if (!m_vuTrigg) return;
    if (m_fft.triggLevel == 0.0) m_fft.triggLevel = 0.001;
    const double level = m_fft.triggLevel;
    m_vuTrigg->setTrackValdB(level > 0 ? 20.0 * std::log10(level) : -60.0);
    m_fft.triggLevel = level; // showing it at the slider's end does not change it
}

// Shown where neither the generator, nor the sweep read-outs, nor the scope are: in the
// impulse modes while the impulse comes from outside.
void TMainForm::applyVUTriggerMode(int MM) {
    if (!m_vuTrigg) return;
    const TModeControls c = ModeControls(MM, externalImpulse());
    const bool impulse = MM == 4 || MM == 5 || MM == 11;
    m_vuTrigg->setVisible(c.levelTrigger && impulse && externalImpulse());
    syncVUTrigger();
}

void TMainForm::showVULevel(int32_t cmd, double dB) {
    if (!m_vuTrigg) return;
    if (cmd == cbmVULeft)
        m_vuTrigg->setLlevdB(dB);
    else
        m_vuTrigg->setRlevdB(dB);
}
