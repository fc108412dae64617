// Band-limited square and triangle tables.
#include "TGenWaveTable.h"

#include <dsp/FFtuli.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kMinPoints = 4096;    // smallest table
constexpr int kMaxPoints = 1 << 20; // largest table
constexpr int kPointsPerWave = 256; // points per wave of the highest harmonic, when it fits

// Largest odd k with k f < rate / 2 (f > 0 and f < rate / 2, so at least 1), capped at cap.
int highestOddHarmonic(double freqHz, double rate, int cap) {
    const double n = rate / (2.0 * freqHz);
    double k = std::ceil(n) - 1.0; // largest integer below n
    k = std::min(k, double(cap));
    int ki = std::max(int(k), 1);
    if (ki % 2 == 0) --ki;
    return ki;
}

} // namespace

std::shared_ptr<const TGenWaveTable> TGenWaveTable::make(Shape shape, double freqHz, double rate,
                                                         FFtuliContext& fft) {
    return std::shared_ptr<const TGenWaveTable>(new TGenWaveTable(shape, freqHz, rate, fft));
}

TGenWaveTable::TGenWaveTable(Shape shape, double freqHz, double rate, FFtuliContext& fft)
    : shape_(shape), freq_(freqHz), rate_(rate) {
    kmax_ = highestOddHarmonic(freqHz, rate, kMaxPoints / 8 - 1);
    size_ = kMinPoints;
    while (size_ < kMaxPoints && size_ / kPointsPerWave < kmax_)
        size_ *= 2;
    kmax_ = std::min(kmax_, size_ / 8 - 1); // only in the largest table

    // x[n] = sum b_k sin(2 pi k n / N) = -Im DFT(b)[n].
    std::vector<double> re(size_t(size_), 0.0), im(size_t(size_), 0.0);
    for (int k = 1; k <= kmax_; k += 2)
        re[size_t(k)] = rawHarmonic(k);
    fft.fft(re.data(), im.data(), size_);
    for (double& v : im)
        v = -v;
    scale_ = 1.0 / peakOfSum(im);
    tab_.resize(size_t(size_) + 3);
    for (int j = -1; j <= size_ + 1; ++j)
        tab_[size_t(j + 1)] = im[size_t((j + size_) % size_)] * scale_;
}

double TGenWaveTable::rawHarmonic(int k) const {
    if (k < 1 || k > kmax_ || k % 2 == 0) return 0.0;
    if (shape_ == square) return 4.0 / (kPi * k);
    const double sign = ((k - 1) / 2) % 2 ? -1.0 : 1.0;
    return sign * 8.0 / (kPi * kPi * double(k) * double(k));
}

double TGenWaveTable::harmonic(int k) const {
    return rawHarmonic(k) * scale_;
}

// The unscaled sum at phase x (cycles), evaluated term by term.
double TGenWaveTable::rawSum(double x) const {
    double s = 0.0;
    for (int k = kmax_; k >= 1; k -= 2) // small terms first
        s += rawHarmonic(k) * std::sin(2.0 * kPi * k * x);
    return s;
}

// The largest value of |sum| over the period: the largest table point, refined between its
// neighbours by a golden-section search on the sum itself (the peak is several points wide,
// so |sum| has one maximum there).
double TGenWaveTable::peakOfSum(const std::vector<double>& points) const {
    int best = 0;
    double bestVal = -1.0;
    for (int i = 0; i < size_; ++i) {
        const double v = std::fabs(points[size_t(i)]);
        if (v > bestVal) bestVal = v, best = i;
    }
    const double step = 1.0 / size_;
    double a = (best - 1) * step, b = (best + 1) * step;
    const double g = 0.6180339887498949;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = std::fabs(rawSum(c)), fd = std::fabs(rawSum(d));
    for (int it = 0; it < 80 && b - a > 1e-13 * step; ++it) {
        if (fc > fd) {
            b = d, d = c, fd = fc;
            c = b - g * (b - a);
            fc = std::fabs(rawSum(c));
        } else {
            a = c, c = d, fc = fd;
            d = a + g * (b - a);
            fd = std::fabs(rawSum(d));
        }
    }
    return std::max({fc, fd, std::fabs(rawSum(best * step))});
}
