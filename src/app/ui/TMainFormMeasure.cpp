// The main window's side of the measurements it runs: registering them, the FFT dialog, results.
#include "app/ui/TMainForm.h"

#include "core/soundDLLImpDyn.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/TFFT2ddiaModel.h"
#include "measurements/tFFT2Dmeas.h"
#include "measurements/ui/TChild3D.h"
#include "measurements/ui/TFFT2ddia.h"

void TMainForm::useProgramMeasurements()
{
    RegisterMeasurement(mcFFT2D, [this](const TMeasModeInfo& info) {
        auto m = std::make_unique<tFFT2Dmeas>(m_diafrm);
        m->setDiaMode(info.diaMode == Sample_3D ? Sample_3D : Sample_2D);
        m->setFrameResolution_ms(m_set.FRAMERESOL_ms);
        m->setSettingsFile(m_ini.FileName());
        m->setSettingsIni(&m_ini);
        m->setTimeDebug(m_set.bTimeDebug1);
        m->setInputFilters(&m_filterBlocks);
        m->setCalibration(&m_calibration);
        m->setWindow3D(m_child3D);
        return m;
    });
    useSweepMeasurement();
    registerPowerDistortion();
    registerOscilloscope();
    registerImpulse();
    m_programMeasurements = true;
}

QStringList TMainForm::measurementResults() const { return m_meas ? m_meas->resultText() : QStringList(); }

int TMainForm::measurementFrames() const { return m_meas ? m_meas->framesDrawn() : 0; }

void TMainForm::FFT1Click()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int32_t modeR = dll.usable() && dll.waveGO() ? dll.waveGO()->modeR : 0;
    const int32_t mode = measuringMode();
    TFFT2ddia dlg(FFTDialogDataFrom(m_fft, mode, dll.usable() ? dll.inSampleRate() : 0),
                  FFTDialogOptions(mode, modeR), this);
    const int result = m_runFFTDlg ? m_runFFTDlg(dlg) : dlg.exec();
    if (result == QDialog::Accepted) {
        m_fft.MeasuringModeF = FFTDialogDataTo(dlg.data(), m_fft);
        if (auto* fft = dynamic_cast<tFFT2Dmeas*>(m_meas.get())) fft->clearAverage();
        m_diafrm->resetDiagram();
        VisualModeSettings(m_fft.MeasuringModeF);
        if (auto* fft = dynamic_cast<tFFT2Dmeas*>(m_meas.get());
            fft && (m_fft.MeasuringModeF == 1 || m_fft.MeasuringModeF == 12))
            fft->BuildDia2D(false);
    }
    m_diafrm->setFFTInfo(m_fft.SamplesFFT, dll.usable() ? dll.inSampleRate() : 0);
}
