// The per-step values of the sweep: peak level of a block, phase between two channels, THD of a block.
#include "measurements/sweepEval.h"

#include "dsp/FFtuli.h"
#include "dsp/IIR_obj_D.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

double SweepValRms(const Tsamplemem& block, int32_t ind)
{
    const int32_t n = block.samples();
    const double* x = block.smpoi();
    double sum = 1e-12;
    if (ind >= 2) {
        if (ind >= n || !x)
            return std::sqrt(2.0) * std::sqrt(sum);
        for (int32_t i = ind; i < n; ++i)
            sum += x[i] * x[i];
        return std::sqrt(2.0) * std::sqrt(sum / double(n - ind));
    }
    const int32_t half = n / 2;
    if (half <= 0 || !x)
        return std::sqrt(2.0) * std::sqrt(sum);
    for (int32_t i = std::max(ind, 0); i < n; i += 2)
        sum += x[i] * x[i];
    return std::sqrt(2.0) * std::sqrt(sum / double(half));
}

namespace {

std::vector<double> bandPassed(const Tsamplemem& block, double f, double rate)
{
    TIIRObj bp;
    bp.SetDesignSampleRate(rate);
    bp.SetParam(6, 8, f, 0.0, 1.0, 0.0, 0.0, 0);
    Tsamplemem copy = block; // the caller's block stays as it was
    copy.timeDomainFilterSingleF(rate, bp);
    return std::vector<double>(copy.smpoi(), copy.smpoi() + copy.samples());
}

} // namespace

// Counting the samples of equal sign reads the angle only to the spacing of the sample phases:
// where a few periods span a whole number of samples (10 kHz at 48 kHz: 5 periods in 24)
// the count cannot tell 7 degrees from 0. The angle is therefore taken from both blocks'
// components at f over the same whole periods, which is exact for any ratio of f to the rate.
double SweepPhaseCH(const Tsamplemem& ref, const Tsamplemem& other, double f, double rate)
{
    const int32_t n = std::min(ref.samples(), other.samples());
    if (n < 2 || !(f > 0.0) || !(rate > 0.0) || f >= rate / 2.0)
        return 0.0;
    const std::vector<double> a = bandPassed(ref, f, rate), b = bandPassed(other, f, rate);
    const double periods = f * n / rate;
    const double whole = std::max(1.0, std::floor(periods));
    // The newest whole periods: the band-pass's start has died away there.
    const int32_t m = std::clamp<int32_t>(int32_t(std::lround(n * whole / periods)), 2, n);
    std::complex<double> A = 0.0, B = 0.0;
    const double w = 2.0 * M_PI * f / rate;
    for (int32_t i = n - m; i < n; ++i) {
        const std::complex<double> e = std::polar(1.0, -w * i);
        A += a[size_t(i)] * e;
        B += b[size_t(i)] * e;
    }
    if (std::abs(A) == 0.0 || std::abs(B) == 0.0)
        return 0.0;
    return std::arg(B / A) * 180.0 / M_PI;
}

TDistortionResult SweepBlockTHD(const Tsamplemem& block, int32_t fftSize, int32_t window, double rate,
                                TEvalSettings settings)
{
    if (block.samples() < fftSize || fftSize < 2)
        return {};
    FFtuliContext t;
    t.prepareWindow(window, fftSize);
    Tsamplemem spec(fftSize);
    t.windowedSpectrumFrom(block.smpoi() + (block.samples() - fftSize), spec.smpoi(), nullptr, fftSize, 0);
    spec.resize2(fftSize / 2);
    double* s = spec.smpoi();
    for (int32_t i = 0; i < fftSize / 2; ++i)
        s[i] = s[i] > 0.0 ? 20.0 * std::log10(s[i]) : kEvalNoValue_dB;
    settings.points = fftSize;
    settings.fsampFreq = rate;
    settings.bFundAuto = true;
    settings.window = window;
    return DistortionNoise(&spec, settings, nullptr);
}

std::complex<double> SweepComplexAmplitude(const Tsamplemem& block, double f, double rate)
{
    const int32_t n = block.samples();
    const double* x = block.smpoi();
    if (n < 3 || !x || !(f > 0.0) || !(rate > 0.0) || f >= rate / 2.0)
        return 0.0;
    // Normal equations of x ~ a cos + b sin + c, the time counted from the middle sample so that
    // the cross sums stay small and the system well conditioned.
    const double w = 2.0 * M_PI * f / rate, mid = 0.5 * (n - 1);
    double s[3][3] = {}, r[3] = {};
    for (int32_t i = 0; i < n; ++i) {
        const double g[3] = {std::cos(w * (i - mid)), std::sin(w * (i - mid)), 1.0};
        for (int a = 0; a < 3; ++a) {
            r[a] += g[a] * x[i];
            for (int b = a; b < 3; ++b)
                s[a][b] += g[a] * g[b];
        }
    }
    s[1][0] = s[0][1], s[2][0] = s[0][2], s[2][1] = s[1][2];
    auto det3 = [](const double m[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double d = det3(s);
    if (d == 0.0 || !std::isfinite(d))
        return 0.0;
    double coef[2];
    for (int k = 0; k < 2; ++k) { // Cramer's rule for the cosine and sine terms
        double m[3][3];
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                m[a][b] = b == k ? r[a] : s[a][b];
        coef[k] = det3(m) / d;
    }
    return {coef[0], -coef[1]};
}

TSweepImpedance SweepImpedance(const Tsamplemem& generator, const Tsamplemem& device, double f, double rate, double Rs)
{
    const std::complex<double> ug = SweepComplexAmplitude(generator, f, rate);
    const std::complex<double> ud = SweepComplexAmplitude(device, f, rate);
    const std::complex<double> drop = ug - ud; // across Rs
    if (std::abs(drop) == 0.0)
        return {kSweepOpenOhm, 0.0};
    const std::complex<double> z = Rs * ud / drop;
    return {std::abs(z), std::arg(z) * 180.0 / M_PI};
}

double SweepImpedanceOfMagnitudes(double Ugenerator, double Udevice, double Rs)
{
    const double q = Udevice != 0.0 ? Ugenerator / Udevice - 1.0 : 0.0;
    return q != 0.0 ? Rs / q : kSweepOpenOhm;
}
