// The "amplifier" device under test.
#include "TAmplifierModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

static constexpr double kOffDb = -200.0;

std::vector<TSimParamInfo> TAmplifierModel::params()
{
    return {
        {"OutputVoltsFS", "Output of a 0 dBFS sine (V RMS)", 1.0, 1e-3, 1000.0, 4},
        {"Gain_dB", "Voltage gain (dB)", 0.0, -100.0, 80.0, 2},
        {"HighPass_Hz", "High-pass corner (Hz, 0 = off)", 0.0, 0.0, 96000.0, 2},
        {"LowPass_Hz", "Low-pass corner (Hz, 0 = off)", 0.0, 0.0, 96000.0, 2},
        {"A2", "A2 (1/V)", 0.0, -1e6, 1e6, 8},
        {"A3", "A3 (1/V^2)", 0.0, -1e6, 1e6, 8},
        {"A4", "A4 (1/V^3)", 0.0, -1e6, 1e6, 8},
        {"A5", "A5 (1/V^4)", 0.0, -1e6, 1e6, 8},
        {"RailVolts", "Clipping rail (V peak, 0 = none)", 0.0, 0.0, 10000.0, 3},
        {"Attenuation_dB", "Attenuator to the input (dB)", 0.0, -60.0, 200.0, 2},
        {"InputVoltsFS", "Input that reads 0 dBFS (V RMS)", 1.0, 1e-3, 1000.0, 4},
        {"Noise_dBFS", "Noise RMS at the input (dBFS)", kOffDb, kOffDb, 20.0, 2},
        {"InputDC_FS", "DC offset of the input (full scale)", 0.0, -1.0, 1.0, 6},
    };
}

TSimAmpSpec TAmplifierModel::spec(const TSimModelSettings& s)
{
    auto p = [&](const char* key) { return simParam(s, "amplifier", key); };
    TSimAmpSpec a;
    a.outputVoltsFS = p("OutputVoltsFS");
    a.gainDb = p("Gain_dB");
    a.highPassHz = p("HighPass_Hz");
    a.lowPassHz = p("LowPass_Hz");
    a.a[2] = p("A2"), a.a[3] = p("A3"), a.a[4] = p("A4"), a.a[5] = p("A5");
    a.railVolts = p("RailVolts");
    a.attenuationDb = p("Attenuation_dB");
    a.inputVoltsFS = p("InputVoltsFS");
    a.noiseDbfs = p("Noise_dBFS");
    return a;
}

TAmplifierModel::TAmplifierModel(const TSimModelSettings& s)
    : spec_(spec(s)), inputDC_(simParam(s, "amplifier", "InputDC_FS"))
{
    toVolts_ = std::numbers::sqrt2 * spec_.outputVoltsFS * std::pow(10.0, spec_.gainDb / 20.0);
    toFs_ = std::pow(10.0, -spec_.attenuationDb / 20.0) / (std::numbers::sqrt2 * spec_.inputVoltsFS);
    noiseRms_ = spec_.noiseDbfs <= kOffDb ? 0.0 : std::pow(10.0, spec_.noiseDbfs / 20.0);
}

std::unique_ptr<TSimModel> TAmplifierModel::make(const TSimModelSettings& settings)
{
    return std::make_unique<TAmplifierModel>(settings);
}

// A 2nd-order Butterworth of the project's IIR design at rate fs.
static TIIRObj butterworth(TIIRTyp type, double corner, double fs)
{
    TIIRObj f;
    f.SetDesignSampleRate(fs);
    f.SetFilterChar(chButterworth);
    f.SetGrad(2);
    f.SetFreq(corner);
    f.SetTyp(type);
    return f;
}

void TAmplifierModel::prepare(const TSimFormat& f)
{
    inChannels_ = f.inChannels;
    outChannels_ = f.outChannels;
    highPass_ = simAmpCornerActive(spec_.highPassHz, f.sampleRate);
    lowPass_ = simAmpCornerActive(spec_.lowPassHz, f.sampleRate);
    const int n = std::min(inChannels_, outChannels_);
    hp_.assign(size_t(n), highPass_ ? butterworth(iirHP, spec_.highPassHz, f.sampleRate) : TIIRObj());
    lp_.assign(size_t(n), lowPass_ ? butterworth(iirTP, spec_.lowPassHz, f.sampleRate) : TIIRObj());
    noise_.resize(size_t(inChannels_));
    for (int i = 0; i < inChannels_; ++i)
        noise_[size_t(i)].seed(simNoiseSeed(f.seed, 200u + uint32_t(i)));
}

// One sample of channel c from generator units to recorded units, without the noise.
double TAmplifierModel::shape(int c, double x) noexcept
{
    double w = x * toVolts_;
    if (highPass_)
        w = hp_[size_t(c)].NewCycle(w);
    if (lowPass_)
        w = lp_[size_t(c)].NewCycle(w);
    const double* a = spec_.a;
    double v = w * (1.0 + w * (a[2] + w * (a[3] + w * (a[4] + w * a[5]))));
    // Absurd coefficients may overflow; the recording then saturates instead of carrying NaN.
    if (!(std::abs(v) < 1e15))
        v = std::copysign(1e15, v);
    if (spec_.railVolts > 0)
        v = std::clamp(v, -spec_.railVolts, spec_.railVolts);
    return v * toFs_;
}

void TAmplifierModel::process(const double* const* out, double* const* in, int frames) noexcept
{
    const int n = std::min(inChannels_, outChannels_);
    for (int i = 0; i < inChannels_; ++i) {
        double* y = in[i];
        if (i < n)
            for (int k = 0; k < frames; ++k)
                y[k] = shape(i, out[i][k]);
        else
            std::fill_n(y, frames, 0.0);
        if (noiseRms_ != 0.0)
            for (int k = 0; k < frames; ++k)
                y[k] += noiseRms_ * noise_[size_t(i)].gauss();
        if (inputDC_ != 0.0)
            for (int k = 0; k < frames; ++k)
                y[k] += inputDC_;
    }
}
