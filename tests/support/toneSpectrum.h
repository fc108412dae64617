// A dBFS spectrum of sines through the program's own analysis call, for the diagram's truth tests.
#pragma once

#include "dsp/FFtuli.h"
#include "dsp/Tsamplemem.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

inline constexpr int kPoints = 16384;    // transform size
inline constexpr double kRate = 48000.0; // Hz
inline constexpr double kBin = kRate / kPoints;

// The dBFS spectrum of a sum of sines (frequency Hz, amplitude re full scale) with a noise floor
// near -150 dB, through the program's analysis call (van Hann); x = bin frequencies 1..n/2-1.
inline std::pair<Tsamplemem, Tsamplemem>
toneSpectrum(const std::vector<std::pair<double, double>>& tones) {
    FFtuliContext ctx;
    ctx.prepareWindow(2, kPoints);
    std::mt19937 rng(29);
    std::normal_distribution<double> noise(0.0, 3e-7);
    std::vector<double> s(kPoints);
    for (int t = 0; t < kPoints; ++t) {
        double v = noise(rng);
        for (auto [f, a] : tones)
            v += a * std::sin(2 * std::numbers::pi * f * t / kRate);
        s[size_t(t)] = v;
    }
    ctx.windowedSpectrum(s.data(), nullptr, kPoints, 0);
    Tsamplemem x(kPoints / 2 - 1), y(kPoints / 2 - 1);
    for (int k = 1; k < kPoints / 2; ++k) {
        x.setsmAr(k - 1, k * kBin);
        y.setsmAr(k - 1, 20 * std::log10(std::max(s[size_t(k)], 1e-15)) + kSpectrumBinOffset_dB);
    }
    return {x, y};
}
