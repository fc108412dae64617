// The "wire" device under test.
#include "TWireModel.h"

#include <cmath>

// Below these levels the part is left out entirely, so "none" is exactly zero.
static constexpr double kOffDb = -200.0;

static double dbToLinear(double db)
{
    return db <= kOffDb ? 0.0 : std::pow(10.0, db / 20.0);
}

std::vector<TSimParamInfo> TWireModel::params()
{
    return {
        {"Gain_dB", "Gain (dB)", 0.0, -200.0, 60.0, 2},
        {"Delay_samples", "Delay (samples)", 0.0, 0.0, 1000000.0, 0},
        {"Noise_dBFS", "Noise RMS (dBFS)", kOffDb, kOffDb, 20.0, 2},
        {"Crosstalk_dB", "Crosstalk (dB)", kOffDb, kOffDb, 0.0, 2},
    };
}

TWireModel::TWireModel(const TSimModelSettings& s)
{
    gain_ = dbToLinear(simParam(s, "wire", "Gain_dB"));
    delay_ = size_t(simParam(s, "wire", "Delay_samples"));
    noiseRms_ = dbToLinear(simParam(s, "wire", "Noise_dBFS"));
    crosstalk_ = dbToLinear(simParam(s, "wire", "Crosstalk_dB"));
}

std::unique_ptr<TSimModel> TWireModel::make(const TSimModelSettings& settings)
{
    return std::make_unique<TWireModel>(settings);
}

void TWireModel::prepare(const TSimFormat& f)
{
    inChannels_ = f.inChannels;
    outChannels_ = f.outChannels;
    lines_.assign(size_t(outChannels_), std::vector<double>(delay_, 0.0));
    frame_.assign(size_t(outChannels_), 0.0);
    pos_ = 0;
    noise_.resize(size_t(inChannels_));
    for (int i = 0; i < inChannels_; ++i)
        noise_[size_t(i)].seed(simNoiseSeed(f.seed, 100u + uint32_t(i)));
}

double TWireModel::delayed(int channel, double x) noexcept
{
    if (delay_ == 0)
        return x;
    double& slot = lines_[size_t(channel)][pos_];
    double y = slot;
    slot = x;
    return y;
}

void TWireModel::process(const double* const* out, double* const* in, int frames) noexcept
{
    for (int n = 0; n < frames; ++n) {
        for (int c = 0; c < outChannels_; ++c)
            frame_[size_t(c)] = delayed(c, out[c][n]);
        if (delay_ != 0 && ++pos_ == delay_)
            pos_ = 0;
        for (int i = 0; i < inChannels_; ++i) {
            const int partner = i ^ 1;
            double x = i < outChannels_ ? frame_[size_t(i)] : 0.0;
            if (crosstalk_ != 0.0 && partner < outChannels_)
                x += crosstalk_ * frame_[size_t(partner)];
            x *= gain_;
            if (noiseRms_ != 0.0)
                x += noiseRms_ * noise_[size_t(i)].gauss();
            in[i][n] = x;
        }
    }
}
