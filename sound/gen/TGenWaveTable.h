// One period of a band-limited square or triangle, made for one frequency and sample rate.
#pragma once

#include <memory>
#include <vector>

class FFtuliContext;

// The table holds the sum of the odd harmonics k with k f < rate / 2 (none above half the
// sample rate, so nothing aliases; at most 2^17 harmonics), sampled at a power-of-two number of
// points that gives the highest harmonic 256 points per wave (4096 to 2^20 points), and scaled
// so that the waveform's largest value is exactly 1 (found on the sum itself, not only on the
// table points). Reading between the points uses 4-point Lagrange interpolation; against the
// exact sum its error is below 1e-8 of full scale from 20 Hz up at every rate to 192 kHz, and
// grows to about 1e-3 below 1 Hz, where the table cannot grow further.
// Built on the GUI thread (make allocates), read by any thread.
class TGenWaveTable {
public:
    enum Shape { square, triangle };

    // The table for shape at freqHz, 0 < freqHz < rate / 2, made with the transform buffers of
    // fft. Throws std::bad_alloc.
    static std::shared_ptr<const TGenWaveTable> make(Shape shape, double freqHz, double rate,
                                                     FFtuliContext& fft);

    // The waveform at phase x, in cycles, 0 <= x < 1. Any thread, no allocation.
    double at(double x) const noexcept {
        const double p = x * size_;
        int i = int(p);
        if (i >= size_) // x just below 1 may round up
            i = size_ - 1;
        const double t = p - i;
        const double* y = tab_.data() + i; // y[0] is point i - 1
        const double a = -t * (t - 1.0) * (t - 2.0) / 6.0,
                     b = (t + 1.0) * (t - 1.0) * (t - 2.0) / 2.0;
        const double c = -(t + 1.0) * t * (t - 2.0) / 2.0, d = (t + 1.0) * t * (t - 1.0) / 6.0;
        return a * y[0] + b * y[1] + c * y[2] + d * y[3];
    }

    Shape shape() const { return shape_; }
    double freq() const { return freq_; }
    double rate() const { return rate_; }
    int size() const { return size_; }
    // Highest harmonic in the sum.
    int highestHarmonic() const { return kmax_; }
    // Amplitude of harmonic k in the scaled waveform (sine phase; 0 for even k and k > kmax).
    double harmonic(int k) const;

private:
    TGenWaveTable(Shape shape, double freqHz, double rate, FFtuliContext& fft);
    double rawHarmonic(int k) const;
    double rawSum(double x) const;
    double peakOfSum(const std::vector<double>& points) const;

    Shape shape_;             // square or triangle
    double freq_;             // frequency the table was made for, Hz
    double rate_;             // sample rate, Hz
    int kmax_ = 1;            // highest odd harmonic below half the rate
    int size_ = 0;            // points per period, a power of two
    double scale_ = 1.0;      // 1 / largest value of the unscaled sum
    std::vector<double> tab_; // points -1 .. size_ + 1 of the scaled period (wrapped)
};
