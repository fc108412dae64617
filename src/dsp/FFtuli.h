// Analysis windows, the fast Fourier transform and the windowed magnitude spectrum.
#pragma once

#include <cstdint>
#include <memory>

// Window kinds 0..8 (the FFTwin setting): 0 "norm" (every sample 0.5), 1 "Hamming",
// 2 "van Hann", 3 "Blackman", 4 "Blackman Harris", 5 "Flat Top", 6..8 "Rife Vince 1..3".
// Kinds 1..8 are periodic cosine sums scaled by a fixed gain correction, so that every kind's
// coherent gain is about 0.5, the same as "norm".
constexpr int kWindowKinds = 9;
// A window kind the tables hold (0..kWindowKinds-1).
constexpr bool IsValidWindowKind(int kind) { return kind >= 0 && kind < kWindowKinds; }

// Display offset in dB the level conversion adds to 20*log10 of a spectrum bin.
constexpr double kSpectrumBinOffset_dB = 11.5;

// Work buffers (window table, transform tables, scratch) for the analysis calls, owned by
// whoever transforms (a measurement, a test, a worker thread). A context is used by one thread
// at a time; separate contexts are independent.
//
// Tables are built on first use of a size and kept; the window table holds the last prepared
// kind at the last prepared size. Allocation failure throws std::bad_alloc, leaving the context
// usable at the sizes it held before.
class FFtuliContext {
public:
    FFtuliContext();
    ~FFtuliContext();
    FFtuliContext(const FFtuliContext&) = delete;
    FFtuliContext& operator=(const FFtuliContext&) = delete;

    // Makes the window table n long (n a power of two, else std::invalid_argument) and fills
    // it: kind 0 with 0.5, kinds 1..8 with G * (a0 + a1 cos x + ... + a4 cos 4x),
    // x = 2 pi i / n. For another kind the table is only resized: a fresh table stays zero, a
    // kept one keeps its values. Also builds the transform tables for n.
    void prepareWindow(int kind, int32_t n);
    // In-place forward transform X[k] = sum x[t] e^(-2 pi i k t / n) of n complex values held
    // in two arrays; no scaling. n: any power of two >= 1, else std::invalid_argument.
    void fft(double* re, double* im, int32_t n);
    // The analysis call. samples (n values, full scale +-1.0) are multiplied by the window,
    // the transform is scaled by 1/n, and on return samples[k] holds the magnitude of bin k
    // for k < n/2; samples[n/2 + i] holds the scaled real part of bin n/2 - i (not meaningful
    // to most callers). A full-scale sine on a bin reads 0.25 with "van Hann". When aux is not
    // null, auxKind 1 puts each bin's Phase into aux[k] (radians) and auxKind 2 its phase
    // delay in ms at the bin frequency of a 48000 Hz rate (0 at bin 0); other kinds leave aux
    // alone. Returns the sum of the n/2 magnitudes. If the window table was not prepared for
    // n it is prepared now with the last prepared kind (kind 2 when none was). n a power of
    // two >= 1, else std::invalid_argument.
    double windowedSpectrum(double* samples, double* aux, int32_t n, int auxKind);
    // windowedSpectrum of the n values at `in`, written to `samples` (n values, which must not
    // overlap `in` unless they are the same); `in` is left as it is. The results equal those
    // of copying `in` to `samples` and calling windowedSpectrum, bit for bit.
    double windowedSpectrumFrom(const double* in, double* samples, double* aux, int32_t n, int auxKind);
    // windowedSpectrum, then bins i with i/n < 1/(n - d) (d clamped to >= 0) are set to 0 in
    // samples and, when present, aux. Returns the first bin kept, 0 if none was cleared or all
    // were.
    int32_t windowedSpectrumLowCut(double* samples, double* aux, int32_t n, int auxKind,
                                   int32_t d);
    // The transform inside windowedSpectrum on its own: bins 0..n/2 of the n real values x
    // (n a power of two >= 2), unscaled, into re and im (n/2 + 1 values each).
    void realTransform(const double* x, double* re, double* im, int32_t n);

    // The window table: windowSize() values, 0 before the first preparation.
    const double* window() const;
    int32_t windowSize() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d; // tables and buffers
};

// The window's name, "unknown" outside 0..8.
const char* WindowName(int kind);

// arctan(im/re) in radians (-pi/2..pi/2, quadrant not resolved); 0 when re is 0 or both parts
// are below 1e-27 in size. Any thread.
double Phase(double re, double im);
// Phase(re, im) / (2 pi f) in seconds for f in Hz; 0 when both parts are below 1e-27 in size,
// and 0 at f = 0, where a delay is not defined. Any thread.
double PhaseDelay(double f, double re, double im);

// True for the analysis sizes: powers of two from 64 to 1048576. Any thread.
bool IsValidFFTSize(int32_t n);

// Window facts for level conversion, exact for the periodic tables of n >= 10 values:
// mean of w over one period (gain correction included) and mean of w^2. 0 outside 0..8.
double WindowCoherentGain(int kind);
double WindowMeanSquare(int kind);
// Factor for the band level L = sqrt(sum of bin magnitudes^2)/sqrt(2) such that
// 20*log10(L * factor) + kSpectrumBinOffset_dB reads a sine's RMS in dB re full scale, i.e.
// 0.000 for a full-scale sine: 10^(-11.5/20) * 2 sqrt(2) / sqrt(WindowMeanSquare(kind)).
// 0 outside 0..8. Any thread.
double WindowLevelFactor(int kind);
// Magnitude of the transform of the n-point window table of `kind` at x bins from a tone
// (x real; the kind's gain correction left out), i.e. how much of a tone lying x bins away a
// bin receives: the window's kernel, exact for the periodic tables. n a power of two >= 2;
// 0 outside kinds 0..8. Any thread.
double WindowResponse(int kind, double x, int32_t n);
