// The "tape" device under test.
#include "TTapeModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// Points of the Lagrange interpolator and the least lag it needs (all points in the past).
static constexpr int kPoints = 8;
static constexpr double kMinLag = kPoints / 2;
// Ring length in seconds when the lag drifts (the splice distance).
static constexpr double kDriftRingSeconds = 5.0;

std::vector<TSimParamInfo> TTapeModel::params()
{
    return {
        {"Drift_pct", "Speed drift (%)", 0.0, -5.0, 5.0, 3},
        {"WowRate_Hz", "Wow rate (Hz)", 0.5, 0.05, 20.0, 3},
        {"WowDepth_pct", "Wow depth (% peak)", 0.0, 0.0, 5.0, 4},
        {"FlutterRate_Hz", "Flutter rate (Hz)", 10.0, 0.5, 500.0, 3},
        {"FlutterDepth_pct", "Flutter depth (% peak)", 0.0, 0.0, 5.0, 4},
    };
}

TSimTapeSpec TTapeModel::spec(const TSimModelSettings& s)
{
    auto p = [&](const char* key) { return simParam(s, "tape", key); };
    TSimTapeSpec t;
    t.driftPct = p("Drift_pct");
    t.wowRateHz = p("WowRate_Hz");
    t.wowDepthPct = p("WowDepth_pct");
    t.flutterRateHz = p("FlutterRate_Hz");
    t.flutterDepthPct = p("FlutterDepth_pct");
    return t;
}

TTapeModel::TTapeModel(const TSimModelSettings& s) : spec_(spec(s)) {}

std::unique_ptr<TSimModel> TTapeModel::make(const TSimModelSettings& settings)
{
    return std::make_unique<TTapeModel>(settings);
}

void TTapeModel::prepare(const TSimFormat& f)
{
    fs_ = f.sampleRate;
    inChannels_ = f.inChannels;
    channels_ = std::min(f.inChannels, f.outChannels);
    // The periodic part of the advance swings between 0 and 2 depth / (2 pi rate) seconds.
    const double swing = fs_ * (spec_.wowDepthPct / 100.0 / (std::numbers::pi * spec_.wowRateHz) +
                                spec_.flutterDepthPct / 100.0 / (std::numbers::pi * spec_.flutterRateHz));
    minSlow_ = kMinLag + std::ceil(swing) + 1;
    double need = minSlow_ + kPoints + 2;
    if (spec_.driftPct != 0)
        need = std::max(need, kDriftRingSeconds * fs_);
    size_t size = 1024;
    while (double(size) < need + kPoints + 2)
        size *= 2;
    mask_ = size - 1;
    maxSlow_ = double(size) - kPoints - 2;
    // Drift that shortens the lag starts a little way (5 % of the ring) out, so the first splice
    // comes only after the ring has filled (drift is at most 5 %); the other drift starts near.
    base_ = spec_.driftPct > 0 ? minSlow_ + std::ceil(0.05 * double(size)) : minSlow_;
    splice_ = 0;
    n_ = 0;
    ring_.assign(size_t(channels_), std::vector<double>(size, 0.0));
}

// The reader's lag (samples) behind the sample being written now, after any splice.
double TTapeModel::lag() noexcept
{
    const double t = double(n_) / fs_;
    const double drift = fs_ * simTapeDrift(spec_) * t;
    double slow = base_ + splice_ - drift;
    const double jump = maxSlow_ - minSlow_;
    if (slow < minSlow_)
        splice_ += jump, slow += jump;
    else if (slow > maxSlow_)
        splice_ -= jump, slow -= jump;
    return slow - fs_ * (simTapeAdvance(spec_, t) - simTapeDrift(spec_) * t);
}

void TTapeModel::process(const double* const* out, double* const* in, int frames) noexcept
{
    for (int k = 0; k < frames; ++k) {
        for (int c = 0; c < channels_; ++c)
            ring_[size_t(c)][size_t(n_) & mask_] = out[c][k];
        const double L = lag();
        const double whole = std::floor(L);
        const double u = L - whole; // the read point lies u samples before sample n - whole
        // Lagrange weights over the points at lag whole - 3 .. whole + 4, evaluated at lag L.
        double w[kPoints];
        for (int j = 0; j < kPoints; ++j) {
            const double tj = j - (kPoints / 2 - 1);
            double v = 1.0;
            for (int m = 0; m < kPoints; ++m)
                if (m != j)
                    v *= (u - (m - (kPoints / 2 - 1))) / (tj - (m - (kPoints / 2 - 1)));
            w[j] = v;
        }
        const uint64_t newest = n_ - uint64_t(whole) + (kPoints / 2 - 1);
        for (int c = 0; c < channels_; ++c) {
            const std::vector<double>& r = ring_[size_t(c)];
            double y = 0;
            for (int j = 0; j < kPoints; ++j)
                y += w[j] * r[size_t(newest - uint64_t(j)) & mask_];
            in[c][k] = y;
        }
        ++n_;
    }
    for (int i = channels_; i < inChannels_; ++i)
        std::fill_n(in[i], frames, 0.0);
}
