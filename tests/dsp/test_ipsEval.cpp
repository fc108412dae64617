// Impulse-response maths against the virtual bench's models: wire delay, amplifier response, gating, shot length.
#include "dsp/FFtuli.h"
#include "dsp/Tsamplemem.h"
#include "dsp/ipsEval.h"

#include "SimTruthAmplifier.h"
#include "TSimModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

constexpr double kRate = 48000;

// Runs the played signal through a model of the bench and rounds the recording to 24 bits.
std::vector<double> record(const TSimModelSettings& s, const std::vector<double>& played)
{
    auto model = simMakeModel(s, nullptr);
    TSimFormat f;
    f.sampleRate = int(kRate), f.inChannels = 1, f.outChannels = 1, f.maxFrames = int(played.size());
    model->prepare(f);
    std::vector<double> rec(played.size());
    const double* out[1] = {played.data()};
    double* in[1] = {rec.data()};
    model->process(out, in, int(played.size()));
    for (double& v : rec)
        v = std::round(v * 8388608.0) / 8388608.0;
    return rec;
}

// The generator's sequence at level (dBFS), then silence up to n samples.
std::vector<double> mlsSignal(int order, double level, size_t n)
{
    Tsamplemem m(int32_t(std::max<size_t>(n, size_t(2) << order)));
    m.fillwithMLS(order, level);
    std::vector<double> x(m.smpoi(), m.smpoi() + (size_t(1) << order));
    x.resize(n, 0.0);
    return x;
}

TSimModelSettings wire(int delay)
{
    TSimModelSettings s;
    s.kind = "wire";
    s.params[simKey("Model", "Delay_samples")] = delay;
    return s;
}

TSimModelSettings amplifier()
{
    TSimModelSettings s;
    s.kind = "amplifier";
    s.params[simKey("Amplifier", "HighPass_Hz")] = 100;
    s.params[simKey("Amplifier", "LowPass_Hz")] = 10000;
    return s;
}

TSimAmpSpec amplifierSpec()
{
    TSimAmpSpec a;
    a.highPassHz = 100, a.lowPassHz = 10000;
    return a;
}

} // namespace

// The impulse of a wire lands on its delay, sample-exact, and the rest of the deconvolved
// response stays 100 dB below it, for the shot lengths of orders 14 and 16.
TEST(IpsMls, WireDelayIsSampleExactAndCleanBelowMinus100dB)
{
    TMlsDeconvolver dec;
    for (int order : {14, 16}) {
        const int delay = 377 + order;
        const int32_t n = IpsShotLength(kIpsMLS, 4096, int32_t(kRate), order, 0, 0, 0, 0);
        std::vector<double> y = record(wire(delay), mlsSignal(order, -3.0, size_t(n)));
        ASSERT_TRUE(dec.deconvolve(y, order));
        size_t peak = 0;
        for (size_t i = 0; i < y.size(); ++i)
            if (std::fabs(y[i]) > std::fabs(y[peak])) peak = i;
        EXPECT_EQ(peak, size_t(delay)) << "order " << order;
        EXPECT_NEAR(y[peak], std::pow(10.0, 6.0 / 20), 1e-6); // -3 dBFS played, -9 dBFS divided
        double worst = 0;
        for (size_t i = 0; i < y.size(); ++i)
            if (i != peak) worst = std::max(worst, std::fabs(y[i]));
        EXPECT_LT(20 * std::log10(worst / std::fabs(y[peak])), -100.0) << "order " << order;
    }
}

TEST(IpsMls, UnusableOrderLeavesTheSignal)
{
    TMlsDeconvolver dec;
    std::vector<double> y{1, 2, 3};
    EXPECT_FALSE(dec.deconvolve(y, 17));
    EXPECT_FALSE(dec.deconvolve(y, 1));
    EXPECT_EQ(y, (std::vector<double>{1, 2, 3}));
}

// Shot lengths: an order-16 MLS at 48 kHz needs 2^17 samples plus two FFT lengths plus 200 ms.
TEST(IpsShot, LengthRule)
{
    EXPECT_EQ(IpsShotLength(kIpsMLS, 1024, 48000, 16, 0, 0, 0, 0), 131072 + 2048 + 9600);
    EXPECT_EQ(IpsShotLength(kIpsDirac, 1000, 44100, 0, 0, 0, 0, 0), 2000 + 8824); // 8820 up to 8
    EXPECT_EQ(IpsShotLength(kIpsBurst, 1024, 48000, 0, 10, 1000, 0, 0), 480 + 2048 + 9600);
    EXPECT_EQ(IpsShotLength(0, 1024, 48000, 0, 0, 0, 0, 0), 9600);
    EXPECT_EQ(IpsShotLength(kIpsDirac, 1024, 48000, 0, 0, 0, 20, 10), 2048 + 9600 + 19200);
    EXPECT_EQ(IpsMlsOrderFromLength(1100.5), 16);
    EXPECT_EQ(IpsMlsOrderFromLength(300), 12);
    EXPECT_EQ(IpsMlsOrderFromLength(60), 0);
}

namespace {

// The measured response (after cutting and gating) against the model's, 200 Hz .. 8 kHz;
// `scale` turns the spectrum into the response's magnitude. Returns the largest deviations.
struct TDev {
    double mag_dB = 0, gd_rel = 0;
};
TDev compareWithModel(const std::vector<double>& y, double scale, int excitedAt)
{
    FFtuliContext ctx;
    const int32_t n = 65536;
    const TIpsStart st = IpsFindStart(y, -1, 24, kRate, 1.0); // the FFT from 24 samples before the peak
    std::vector<double> cut(y.begin() + st.cut, y.end());
    TDev dev;
    const TIpsSpectrum mag = IpsGatedSpectrum(ctx, cut, st.fftBegin, -1, kRate, n, 0, isGroupDelay);
    const double shift_ms = (st.cut + st.fftBegin - excitedAt) / kRate * 1000; // the cut moves the time origin
    for (int32_t k = 1; k < n / 2; ++k) {
        const double f = k * kRate / n;
        if (f < 200 || f > 8000) continue;
        const std::complex<double> h = simAmpResponse(amplifierSpec(), f, kRate);
        dev.mag_dB = std::max(dev.mag_dB, std::fabs(20 * std::log10(mag.mag[k] * scale / std::abs(h))));
        const double df = 1.0;
        const double gd = -(std::arg(simAmpResponse(amplifierSpec(), f + df, kRate) *
                                     std::conj(simAmpResponse(amplifierSpec(), f - df, kRate)))) /
                          (4 * std::numbers::pi * df) * 1000;
        if (gd > 0.1) dev.gd_rel = std::max(dev.gd_rel, std::fabs((mag.second[k] + shift_ms) / gd - 1));
    }
    return dev;
}

} // namespace

// Magnitude within 0.1 dB and group delay within 2 % of the amplifier's filters, whichever
// excitation found the response: a dirac, an MLS of order 16 deconvolved, or a sine burst
// divided by the burst's own spectrum.
TEST(IpsGated, AmplifierResponseWithDiracMlsAndBurst)
{
    const size_t n = 200000;
    std::vector<double> dirac(n, 0.0);
    dirac[100] = 0.5;
    // rectangular window: the table holds 0.5, the spectrum is scaled by 1/n
    const TDev d = compareWithModel(record(amplifier(), dirac), 4.0 * 65536, 100);
    EXPECT_LT(d.mag_dB, 0.1) << "dirac";
    EXPECT_LT(d.gd_rel, 0.02) << "dirac";

    TMlsDeconvolver dec;
    std::vector<double> y = record(amplifier(), mlsSignal(16, -6.0, n));
    ASSERT_TRUE(dec.deconvolve(y, 16));
    const TDev m = compareWithModel(y, 2.0 * 65536 / std::pow(10.0, 3.0 / 20), 0);
    EXPECT_LT(m.mag_dB, 0.1) << "mls";
    EXPECT_LT(m.gd_rel, 0.02) << "mls";

    // one wave of 4 kHz: its spectrum spans the band; the response is the ratio of the spectra
    std::vector<double> burst(n, 0.0);
    for (int i = 0; i < 12; ++i)
        burst[size_t(100 + i)] = 0.7 * std::sin(2 * std::numbers::pi * 4000 * i / kRate);
    FFtuliContext ctx;
    const TIpsSpectrum played = IpsGatedSpectrum(ctx, burst, 0, -1, kRate, 65536, 0, isNone);
    const TIpsSpectrum heard = IpsGatedSpectrum(ctx, record(amplifier(), burst), 0, -1, kRate, 65536, 0, isNone);
    double worst = 0;
    for (int k = 274; k <= 10923; ++k) { // 200 Hz .. 8 kHz
        const double f = k * kRate / 65536;
        const double dev = 20 * std::log10(heard.mag[size_t(k)] / played.mag[size_t(k)] /
                                           std::abs(simAmpResponse(amplifierSpec(), f, kRate)));
        worst = std::max(worst, std::fabs(dev));
    }
    EXPECT_LT(worst, 0.1) << "burst";
}

// A gate shorter than the FFT: the gated part is zero-padded and the bins below the gate's
// resolution are cleared; its spectrum equals the padded transform of the gated samples.
TEST(IpsGated, ShortGateZeroPadsAndClearsLowBins)
{
    FFtuliContext ctx;
    std::vector<double> x(20000, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::exp(-double(i) / 30.0) * std::cos(0.3 * double(i));
    const double echo_ms = 1000.0 * 1023 / kRate; // gate end at sample 1023: 1024 samples
    const TIpsSpectrum s = IpsGatedSpectrum(ctx, x, 0, echo_ms, kRate, 4096, 0, isPhase);
    EXPECT_EQ(s.gateLength, 1024);
    EXPECT_EQ(s.firstBin, 4);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(s.mag[size_t(k)], 0.0);
    for (int k : {4, 100, 2047}) {
        std::complex<double> ref = 0;
        for (int i = 0; i < 1024; ++i)
            ref += 0.5 * x[size_t(i)] * std::polar(1.0, -2 * std::numbers::pi * k * i / 4096);
        EXPECT_NEAR(s.mag[size_t(k)], std::abs(ref) / 4096, 1e-12) << k;
        EXPECT_NEAR(s.second[size_t(k)], std::arg(ref) * 180 / std::numbers::pi, 1e-6) << k;
    }
    // a gate beyond the data or before the start is kept inside it
    EXPECT_EQ(IpsGatedSpectrum(ctx, x, 100, 1e9, kRate, 4096, 0, isNone).gateLength, 19900);
    EXPECT_EQ(IpsGatedSpectrum(ctx, x, 100, 0.0, kRate, 4096, 0, isNone).gateLength, 2);
}

TEST(IpsStart, TriggerLevelAndShowBefore)
{
    std::vector<double> x(1000, 0.0);
    x[400] = 0.2, x[450] = -1.0;
    TIpsStart s = IpsFindStart(x, -1, 5, kRate, 1.0); // the maximum, 48 samples shown before
    EXPECT_EQ(s.cut, 450 - 5 - 48);
    EXPECT_EQ(s.fftBegin, 48);
    s = IpsFindStart(x, 0.1, 0, kRate, 1.0); // the first sample above the level
    EXPECT_EQ(s.cut + s.fftBegin, 400);
    s = IpsFindStart(x, 0.1, 0, kRate, 10.0); // not enough before the impulse: nothing shown
    EXPECT_EQ(s.cut, 400);
    EXPECT_EQ(s.fftBegin, 0);
}
