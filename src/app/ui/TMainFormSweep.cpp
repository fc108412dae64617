// The main window's side of the sweep: registering it, its settings dialog and its progress display.
#include "app/ui/TMainForm.h"

#include "display/ui/Tdiafrm.h"
#include "measurements/tSweepmeas.h"
#include "measurements/TSPsettings.h"
#include "measurements/ui/TTSPform.h"
#include "measurements/ui/Twobbeldlg.h"

#include <QGridLayout>
#include <QLabel>

namespace {

// The fields of the record that belong to the running engine, not to the dialog.
void keepEngineState(Twobdat& from, const Twobdat& running)
{
    from.wobAktiv = running.wobAktiv;
    from.open = running.open;
    from.wobbelnAktiv = running.wobbelnAktiv;
    from.wobisSteps = running.wobisSteps;
    from.wobisfreq = running.wobisfreq;
    from.mtime = running.mtime;
    from.mSweepMode = running.mSweepMode;
}

const char* const kSweepLabelNames[5] = {"laSweepHead", "laSweepStep", "laSweepFreq", "laSweepL", "laSweepR"};

} // namespace

void TMainForm::useSweepMeasurement()
{
    RegisterMeasurement(mcSweep, [this](const TMeasModeInfo&) {
        auto m = std::make_unique<tSweepmeas>(m_diafrm);
        m->setFrameResolution_ms(m_set.FRAMERESOL_ms);
        m->setSettingsFile(m_ini.FileName());
        m->setSettingsIni(&m_ini);
        m->setInputFilters(&m_filterBlocks);
        m->setCalibration(&m_calibration);
        m->setProgressDisplay([this] { SweepShowFreq(); });
        return m;
    });
    if (m_diafrm)
        m_diafrm->makeThieleSmallPanel = [this](QWidget* parent) { return new TTSPform(m_diafrm, parent); };
}

void TMainForm::WobDialogButClick()
{
    const int mode = measuringMode();
    Twobbeldlg dlg(ActiveWobDat(), mode, this);
    dlg.setTSP(ActiveTSP());
    dlg.onDistortionParameters = [this] { runAnalyzeDialog(); };
    dlg.onFFTParameters = [this] { FFT1Click(); };
    const int result = m_runWobDlg ? m_runWobDlg(dlg) : dlg.exec();
    if (result != QDialog::Accepted)
        return;
    Twobdat w = dlg.data();
    keepEngineState(w, ActiveWobDat());
    const bool newTopic = w.RefMess != ActiveWobDat().RefMess;
    if (newTopic)
        saveDiagramSettings(); // the diagram of the old reference kind keeps its settings
    ActiveWobDat() = w;
    ActiveTSP() = dlg.tspData();
    if (auto* panel = qobject_cast<TTSPform*>(m_diafrm ? m_diafrm->secondaryPanel() : nullptr))
        panel->showTSPS(ActiveTSP());
    if (newTopic)
        switchDiagramMode(mode);
}

// Heading, then step, frequency and the two values; a pause is counted down in red, an
// overloaded channel's value is red and bold.
void TMainForm::SweepShowFreq()
{
    auto* sweep = dynamic_cast<tSweepmeas*>(m_meas.get());
    if (!sweep || !m_sweepDisplay)
        return;
    if (!m_sweepDisplay->findChild<QLabel*>(kSweepLabelNames[0])) {
        for (QLabel* l : m_sweepDisplay->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            l->hide();
        delete m_sweepDisplay->layout();
        auto* g = new QGridLayout(m_sweepDisplay);
        g->setContentsMargins(6, 2, 6, 2);
        m_sweepDisplay->setAutoFillBackground(true);
        m_sweepDisplay->setStyleSheet("QWidget#sweepDisplay { background: #102030; } QLabel { color: white; }");
        for (int i = 0; i < 5; ++i) {
            auto* l = new QLabel(m_sweepDisplay);
            l->setObjectName(kSweepLabelNames[i]);
            if (i == 0)
                g->addWidget(l, 0, 0, 1, 4);
            else
                g->addWidget(l, 1, i - 1);
        }
    }
    const Tsweepfrm2& e = sweep->engine();
    auto label = [this](int i) { return m_sweepDisplay->findChild<QLabel*>(kSweepLabelNames[i]); };
    label(0)->setText("Step      Frequency     L  inp. level/FS  R");
    label(1)->setText(QString::number(e.aktStepG + 1));
    if (e.pauseCountDown > 0.0f) {
        label(2)->setText("pause " + QString::asprintf("%1.1f", double(e.pauseCountDown)) + "s");
        label(2)->setStyleSheet("color: red;");
    } else {
        label(2)->setText(QString::asprintf("%1.2f", e.aktFreq) + "Hz");
        label(2)->setStyleSheet("color: white;");
    }
    const bool over[2] = {(e.OverL & 0xFF) != 0, (e.OverL & 0xFF00) != 0};
    const double values[2] = {e.aktLevL, e.aktLevR};
    for (int c = 0; c < 2; ++c) {
        QLabel* l = label(3 + c);
        l->setText(QString::asprintf("%*.*f", 10, over[c] ? 3 : 5, values[c]));
        l->setStyleSheet(over[c] ? "color: red; font-weight: bold;" : "color: white;");
    }
}

QStringList TMainForm::sweepDisplayTexts() const
{
    QStringList t;
    for (const char* name : kSweepLabelNames)
        if (const auto* l = m_sweepDisplay ? m_sweepDisplay->findChild<QLabel*>(name) : nullptr)
            t << l->text();
    return t;
}
