// Impulse-response maths: shot length, MLS deconvolution, the impulse start and the gated spectrum.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class FFtuliContext;

// Generator modes that excite an impulse measurement (the generator's mode numbers).
constexpr int kIpsDirac = 5, kIpsMLS = 6, kIpsBurst = 7;
// Level (dBFS) of the excitation the deconvolution divides by.
constexpr double kIpsMlsLevel_dB = -9.0;

// Samples one shot records per channel: 2 x fftSize for a dirac, 2^(order + 1) + 2 x fftSize
// for an MLS, round(rate x waves / burstHz) + 2 x fftSize for a burst, 0 for any other mode;
// plus 200 ms, plus for the 3D diagram round(rate x zBands x stepping_ms x 2 / 1000); rounded
// up to a multiple of 8. rate, burstHz in Hz.
int32_t IpsShotLength(int genMode, int32_t fftSize, int32_t rate, int mlsOrder, int32_t waves,
                      double burstHz, int32_t zBands3D, double stepping_ms);

// MLS order implied by the length (ms) of a recorded pulse: 16 above 1100 ms, 15 above 600,
// 14 above 300, 12 above 60, else 0 (no sequence).
int IpsMlsOrderFromLength(double pulse_ms);

// Deconvolves recordings of the generator's maximum-length sequence: H = Y / X with X the
// spectrum of the sequence (Tsamplemem::fillwithMLS at kIpsMlsLevel_dB) zero-padded to the
// power of two N >= the recording's length. X is made once per order and N and kept.
// One object per thread.
class TMlsDeconvolver {
public:
    TMlsDeconvolver();
    ~TMlsDeconvolver();
    TMlsDeconvolver(const TMlsDeconvolver&) = delete;
    TMlsDeconvolver& operator=(const TMlsDeconvolver&) = delete;

    // Replaces y by the first y.size() samples of the impulse response. The DC bin of the
    // response is set to 0. Returns false and leaves y as recorded when the sequence's spectrum
    // has a zero bin or the order is outside 2..16.
    bool deconvolve(std::vector<double>& y, int order);

private:
    struct Impl;
    std::unique_ptr<Impl> d; // transform tables, the sequence's spectrum, work buffers
};

// Where the evaluated part of the impulse starts (the automatic case of the evaluation):
// i0 = first index whose |x| exceeds trigLevel (or of the largest |x| when trigLevel < 0)
// minus before (at least 0); c = round(rate x showBefore_ms / 1000), 0 when i0 - c < 0.
// The time signal is cut by `cut` = i0 - c samples and the FFT starts `fftBegin` = c into it.
struct TIpsStart {
    int32_t cut = 0;      // samples dropped at the front
    int32_t fftBegin = 0; // FFT start in the cut signal
};
TIpsStart IpsFindStart(const std::vector<double>& x, double trigLevel, int32_t before,
                       double rate, double showBefore_ms);

// Second curve of the gated spectrum.
enum eIpsSecond : int { isNone = 0, isPhase = 1, isGroupDelay = 2 };

// The gated spectrum of an impulse response.
struct TIpsSpectrum {
    std::vector<double> mag;    // fftSize/2 magnitudes, scaled as FFtuliContext::windowedSpectrum
    std::vector<double> second; // fftSize/2 values: phase in degrees or group delay in ms
    int32_t firstBin = 0;       // bins below it are cleared (the gate's resolution)
    int32_t gateLength = 0;     // samples between the start and the gate end
};

// The gated FFT: x[begin .. end] with end = round(echo_ms x rate / 1000) (echo_ms < 0: the last
// sample), end at least begin + 1 and at most the last sample; a gated part shorter than
// fftSize is zero-padded and the bins below fftSize / gate length are cleared; a longer one is
// cut to fftSize. The window of `kind` is applied; the magnitudes read as windowedSpectrum's.
// The phase (degrees, quadrant resolved) and the group delay (ms, from the phase difference of
// the neighbouring bins, so it needs no unwrapping) refer to the start `begin`.
TIpsSpectrum IpsGatedSpectrum(FFtuliContext& ctx, const std::vector<double>& x, int32_t begin,
                              double echo_ms, double rate, int32_t fftSize, int windowKind,
                              eIpsSecond second);
