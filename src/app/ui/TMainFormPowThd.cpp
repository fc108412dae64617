// The main window's side of the distortion-versus-power measurement: creating it, its dialog, progress and log window.
#include "app/ui/TMainForm.h"

#include "base/utils.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tPowDistMeas.h"
#include "measurements/ui/TPowThdDebugWnd.h"
#include "measurements/ui/TdlgPowThd.h"

#include <QLabel>

void TMainForm::registerPowerDistortion()
{
    RegisterMeasurement(mcPowDist, [this](const TMeasModeInfo&) {
        auto m = std::make_unique<tPowDistMeas>(m_diafrm);
        m->setSettingsFile(m_ini.FileName());
        m->setSettingsIni(&m_ini);
        m->setCalibration(&m_calibration);
        TPowThdForm& e = m->engine();
        e.FprogressNE = [this](const TPowThdProgress& p) { PowThdShowWatt(p); };
        e.onWindow = [this, &e](bool show) {
            if (!show) {
                if (m_powThdDebug) m_powThdDebug->hide();
                return;
            }
            if (!m_powThdDebug) m_powThdDebug = new TPowThdDebugWnd(this);
            m_powThdDebug->setWindowTitle(e.caption());
            m_powThdDebug->setLines(e.Memo1);
            m_powThdDebug->show();
        };
        e.onLog = [this](const QString& line) {
            if (m_powThdDebug && m_powThdDebug->isVisible()) m_powThdDebug->addLine(line);
        };
        e.onLogCleared = [this] {
            if (m_powThdDebug) m_powThdDebug->setLines({});
        };
        return m;
    });
}

void TMainForm::PowThdDlgButClick()
{
    auto* m = dynamic_cast<tPowDistMeas*>(m_meas.get());
    if (!m) return;
    TPowThdForm& e = m->engine();
    TdlgPowThd dlg(e.set, e.PowAnaDat, m_calibration, this);
    const int result = m_runPowThdDlg ? m_runPowThdDlg(dlg) : dlg.exec();
    if (result != QDialog::Accepted) return;
    e.set = dlg.settings();
    e.PowAnaDat = dlg.analysis();
    e.setXAxis();
    if (e.onWindow) e.onWindow(e.set.PoDdebugWindow);
}

void TMainForm::PowThdShowWatt(const TPowThdProgress& p)
{
    const QList<QLabel*> labels = m_sweepDisplay->findChildren<QLabel*>();
    if (labels.size() < 3) return;
    labels[0]->setText(QString::asprintf("Step %d / %d", p.step, p.steps));
    labels[1]->setText(p.power ? QString::asprintf("%1.4f W", p.x) : QString::asprintf("%1.2f mV", p.x));
    labels[2]->setText(p.percent ? QString::asprintf("THD %1.4f %%", p.thd) : QString::asprintf("THD %5.1f dB", p.thd));
}
