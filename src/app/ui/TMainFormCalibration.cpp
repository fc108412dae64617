// The main window's calibration and input DC offset commands.
#include "app/ui/TMainForm.h"

#include "analysis/ui/TDCoffsetDlg.h"
#include "analysis/ui/TEichDlg.h"
#include "app/ui/TMainStatusBar.h"
#include "base/utils.h"

#include <QAction>
#include <QMenu>

void TMainForm::buildCalibrationItems(QMenu* opt)
{
    opt->addSeparator();
    opt->addAction(vlLanguageCode() == 'D' ? "&Kalibrierung" : "&Calibration", this, [this] { openCalibration(); });
    m_acDCOffset = opt->addAction("Audio-In DC-Offset", this, [this] { openDCOffset(); });
    refreshDCOffsetItem(soundDLL().SDgetSoundStatus());
    connect(opt, &QMenu::aboutToShow, this, [this] { refreshDCOffsetItem(soundDLL().SDgetSoundStatus()); });
}

void TMainForm::refreshDCOffsetItem(int32_t status)
{
    if (!m_acDCOffset) return;
    const bool on = soundDLL().usable() && (status & SD_ST_DCOFFSET);
    m_acDCOffset->setEnabled(on);
    m_acDCOffset->setStatusTip(on ? QString() : QStringLiteral("The sound module offers no DC offset for its input"));
}

int TMainForm::openCalibration(const std::function<int(TEichDlg&)>& run)
{
    // The dialog takes the input for itself: a running measurement stops first.
    if (MeasRun() && m_meas) m_meas->Mstart(0);
    TEichDlg dlg(m_calibration, m_ini, vlLanguageCode(), this);
    const int result = run ? run(dlg) : dlg.exec();
    if (result != QDialog::Accepted) return result;
    m_calibration = dlg.values();
    m_set.InMixLev4Cal = m_set.FGinVolume;
    ApplyLevelCalibration(m_fft, m_calibration);
    m_status->setPanelText(3, calibPanelText(m_fft, m_calibration.INPUT));
    saveSettings();
    return result;
}

void TMainForm::openDCOffset(const std::function<int(TDCoffsetDlg&)>& run)
{
    TsoundDLLImpDyn& dll = soundDLL();
    for (;;) {
        TwaveGI* gi = dll.usable() ? dll.waveGI() : nullptr;
        if (!gi) return;
        TDCoffsetDlg dlg(gi->wfs, this);
        const int result = run ? run(dlg) : dlg.exec();
        if (result != QDialog::Accepted && result != TDCoffsetDlg::kApplyResult) return;
        gi->wfs = dlg.wfs();
        Twfs granted{};
        dll.SDsetwaveFormatIn(&granted, gi->wfs);
        if (result != TDCoffsetDlg::kApplyResult) return;
    }
}
