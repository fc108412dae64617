// The "impedance" device under test.
#include "TImpedanceModel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

std::vector<TSimParamInfo> TImpedanceModel::params()
{
    return {
        {"Rs", "Series resistor (ohm)", 8.0, 0.0, 1e4, 3},
        {"Re", "Re (ohm)", 6.0, 0.01, 1000.0, 3},
        {"Le_mH", "Le (mH)", 0.5, 0.0, 1000.0, 4},
        {"Bl", "Bl (T m)", 7.0, 0.01, 100.0, 3},
        {"Mms_g", "Mms (g)", 20.0, 0.01, 10000.0, 3},
        {"Cms_mmN", "Cms (mm/N)", 0.8, 0.001, 100.0, 4},
        {"Rms", "Rms (kg/s)", 1.5, 0.001, 1000.0, 4},
        {"Sd_cm2", "Sd (cm^2)", 200.0, 0.1, 10000.0, 2},
        {"AddedMass_g", "Added mass (g)", 0.0, 0.0, 10000.0, 3},
        {"BoxVolume_l", "Closed box (litres, 0 = free air)", 0.0, 0.0, 10000.0, 3},
        {"GeneratorChannel", "Generator side on input (0 = left)", 0.0, 0.0, 1.0, 0},
        {"InputVoltsFS", "Input that reads 0 dBFS (V RMS)", 1.0, 1e-3, 1000.0, 4},
    };
}

TSimSpeakerSpec TImpedanceModel::spec(const TSimModelSettings& s)
{
    auto p = [&](const char* key) { return simParam(s, "impedance", key); };
    TSimSpeakerSpec z;
    z.rs = p("Rs"), z.re = p("Re"), z.leMh = p("Le_mH"), z.bl = p("Bl");
    z.mmsG = p("Mms_g"), z.cmsMmN = p("Cms_mmN"), z.rms = p("Rms"), z.sdCm2 = p("Sd_cm2");
    z.addedMassG = p("AddedMass_g"), z.boxVolumeL = p("BoxVolume_l");
    return z;
}

TImpedanceModel::TImpedanceModel(const TSimModelSettings& s) : spec_(spec(s))
{
    generatorChannel_ = int(simParam(s, "impedance", "GeneratorChannel"));
    toFs_ = 1.0 / simParam(s, "impedance", "InputVoltsFS");
}

std::unique_ptr<TSimModel> TImpedanceModel::make(const TSimModelSettings& settings)
{
    return std::make_unique<TImpedanceModel>(settings);
}

// The divider at bin frequency f, with the phase tapered to zero between 0.45 fs and fs/2.
static std::complex<double> target(const TSimSpeakerSpec& p, double f, double fs)
{
    if (f <= 0)
        return p.re / (p.re + p.rs); // the motional branch is open at DC
    const std::complex<double> h = simSpeakerDivider(p, f);
    const double edge = 0.45 * fs;
    if (f <= edge)
        return h;
    const double c = 0.5 * (1.0 + std::cos(std::numbers::pi * std::min(1.0, (f - edge) / (0.5 * fs - edge))));
    return std::polar(std::abs(h), c * std::arg(h));
}

// Inverse DFT of the conjugate-symmetric spectrum (bins 0..M/2 given) by the project's FFT.
static std::vector<double> inverseReal(const std::vector<std::complex<double>>& half, size_t M)
{
    std::vector<double> re(M), im(M), dr(M), di(M);
    for (size_t k = 0; k <= M / 2; ++k) {
        re[k] = half[k].real(), im[k] = half[k].imag();
        if (k > 0 && k < M / 2)
            re[M - k] = half[k].real(), im[M - k] = -half[k].imag();
    }
    fftkernel::UnitCircle circle(M);
    fftkernel::ComplexPlan plan(M, circle);
    plan.transform(im.data(), re.data(), di.data(), dr.data()); // swapped: the inverse
    for (double& v : dr)
        v /= double(M);
    return dr;
}

std::vector<double> TImpedanceModel::design(const TSimSpeakerSpec& p, double fs)
{
    // Grow the grid until the response has died away well before its end (time aliasing).
    std::vector<double> h;
    for (size_t M = size_t(1) << 14;; M *= 2) {
        std::vector<std::complex<double>> half(M / 2 + 1);
        for (size_t k = 0; k <= M / 2; ++k)
            half[k] = target(p, double(k) * fs / double(M), fs) *
                      std::polar(1.0, -2 * std::numbers::pi * double(k) * kLatency / double(M));
        h = inverseReal(half, M);
        // The last samples hold the part before time 0 (the taper's ringing, far below the
        // latency's reach); the causal response must have died away before them.
        double total = 0, tail = 0;
        for (size_t n = 0; n < M - 256; ++n)
            (n >= M / 2 ? tail : total) += h[n] * h[n];
        if (tail <= 1e-18 * total || M >= (size_t(1) << 21))
            break;
    }
    h.resize(h.size() / 2);
    // Drop the negligible end.
    double peak = 0;
    for (double v : h)
        peak = std::max(peak, std::abs(v));
    size_t n = h.size();
    while (n > size_t(kLatency) + 1 && std::abs(h[n - 1]) < 1e-12 * peak)
        --n;
    h.resize(n);
    return h;
}

void TImpedanceModel::prepare(const TSimFormat& f)
{
    inChannels_ = f.inChannels;
    outChannels_ = f.outChannels;
    fir_.prepare(design(spec_, f.sampleRate), 1);
    line_.assign(kLatency, 0.0);
    linePos_ = 0;
}

void TImpedanceModel::process(const double* const* out, double* const* in, int frames) noexcept
{
    for (int i = 0; i < inChannels_; ++i)
        std::fill_n(in[i], frames, 0.0);
    if (outChannels_ < 1)
        return;
    const double* gen = out[0];
    const int g = generatorChannel_, s = 1 - generatorChannel_;
    if (s < inChannels_) {
        fir_.process(0, gen, nullptr, in[s], nullptr, frames);
        for (int k = 0; k < frames; ++k)
            in[s][k] *= toFs_;
    } else {
        // Keep the filter's state in step even when its channel is not recorded.
        for (int k = 0; k < frames; ++k) {
            double y;
            fir_.process(0, gen + k, nullptr, &y, nullptr, 1);
        }
    }
    for (int k = 0; k < frames; ++k) {
        const double x = gen[k];
        double& slot = line_[linePos_];
        if (g < inChannels_)
            in[g][k] = slot * toFs_;
        slot = x;
        if (++linePos_ == line_.size())
            linePos_ = 0;
    }
}
