// The FFT settings dialog's option word, size list, resolution text and field copies.
#include "measurements/TFFT2ddiaModel.h"

#include <algorithm>

int32_t FFTDialogOptions(int32_t mode, int32_t modeR)
{
    const bool impulseSignal = modeR == 5 || modeR == 6 || modeR == 7;
    int32_t o = 0;
    if (mode == 5 || mode == 11) o |= fdo3DStepping;
    if (mode == 1 || mode == 12 || (mode == 4 && impulseSignal)) o |= fdoNextCurve;
    if (mode == 4 || mode == 5 || mode == 11) o |= fdoContinuous | fdoReference | fdoExternal | fdoMLSAuto;
    if ((mode == 4 || mode == 5 || mode == 11) && impulseSignal) o |= fdoSamplesBefore;
    if (mode == 4 && impulseSignal) o |= fdoIps2Ch | fdoPhaseGD | fdoImpulseSignal;
    if (mode == 1 || mode == 12 || mode == 4 || mode == 5 || mode == 11) o |= fdoWindow;
    return o;
}

int32_t FFTDialogHelpTopic(int32_t options) { return (options & fdo3DStepping) ? 43 : 41; }

QStringList FFTSizeItems()
{
    QStringList l;
    for (int32_t n = kFFTSizeMin; n <= kFFTSizeMax; n *= 2)
        l << QString::number(n);
    return l;
}

int32_t ClampFFTSize(int32_t size) { return std::clamp(size, kFFTSizeMin, kFFTSizeMax); }

QStringList FFTWindowItems()
{
    return {"None", "Hamming", "van Hann", "Blackman", "Bla/Harris", "Flat-Top", "Rife-Vinc1", "Rife-Vinc2", "Rife-Vinc3"};
}

QString FFTResolutionText(int32_t rate, int32_t size)
{
    return QString::asprintf("%1.2f", size > 0 ? double(rate) / size : 0.0) + " Hz";
}

double Step3D(double ms, int32_t rate, int direction)
{
    const double period = rate > 0 ? 1000.0 / rate : 1.0;
    return std::max(period, ms + (direction > 0 ? period : -period));
}

void FixSecondCurve(TFFT2ddiaData& d, bool phaseClicked)
{
    if (d.d2isPhase && d.d2isGD) {
        if (phaseClicked) d.d2isGD = false;
        else d.d2isPhase = false;
    }
    d.dips2Ch = !d.d2isPhase && !d.d2isGD;
}

TFFT2ddiaData FFTDialogDataFrom(const cFFTdat& fft, int32_t mode, int32_t sampleRate)
{
    TFFT2ddiaData d;
    d.samplesFFT = fft.SamplesFFT;
    d.dFFTwin = fft.FFTwin;
    d.dsbefore = fft.Sbefore;
    d.dfft3Dstepping_ms = fft.fft3Dstepping_ms;
    d.dnextcurve = fft.nextcurve;
    d.dnahConti = fft.NahConti;
    d.drefmess = fft.refmess;
    d.d2isPhase = fft.s2isphase;
    d.d2isGD = fft.s2isGD;
    d.dips2Ch = !d.d2isPhase && !d.d2isGD;
    d.dasyncIps = fft.asyncIps;
    d.dMLSAuto = fft.mlsAutoRecogn;
    d.dsamplef = sampleRate;
    d.dMeasMode = mode;
    return d;
}

int32_t FFTDialogDataTo(const TFFT2ddiaData& d, cFFTdat& fft)
{
    fft.SamplesFFT = ClampFFTSize(d.samplesFFT);
    fft.FFTwin = std::clamp(d.dFFTwin, 0, 8);
    fft.Sbefore = d.dsbefore;
    fft.fft3Dstepping_ms = d.dfft3Dstepping_ms;
    fft.nextcurve = d.dnextcurve;
    fft.NahConti = d.dnahConti;
    fft.refmess = d.drefmess;
    fft.ips2ch = d.dips2Ch;
    fft.s2isphase = d.d2isPhase;
    fft.s2isGD = d.d2isGD;
    fft.asyncIps = d.dasyncIps;
    fft.mlsAutoRecogn = d.dMLSAuto;
    return d.dMeasMode == 12 ? 12 : d.dMeasMode;
}
