// Periodic pink noise made in the frequency domain.
#include "TGenPinkTables.h"

#include "TGenNoise.h"

#include <dsp/FFtuli.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

// Scales x so that its largest magnitude is 1 and stores it as floats.
void normalise(const std::vector<double>& x, double sign, std::vector<float>& out) {
    double peak = 0.0;
    for (double v : x)
        peak = std::max(peak, std::fabs(v));
    out.resize(x.size());
    const double s = peak > 0.0 ? sign / peak : 0.0;
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = float(x[i] * s);
}

} // namespace

std::shared_ptr<const TGenPinkTables> TGenPinkTables::make(double rate, uint64_t seed,
                                                           FFtuliContext& fft) {
    auto t = std::make_shared<TGenPinkTables>();
    t->rate = rate;
    t->seed = seed;
    const int n = kLength;
    // Both channels from one transform: with X1, X2 the (Hermitian) spectra of the two real
    // periods and Z = X1 + i X2, x1 + i x2 = conj(DFT(conj(Z))) (up to the scale).
    std::vector<double> re(size_t(n), 0.0), im(size_t(n), 0.0);
    TGenNoise rng;
    rng.seed(seed);
    const int first = std::max(1, int(std::ceil(kLowHz * n / rate)));
    for (int k = first; k < n / 2; ++k) {
        const double m = 1.0 / std::sqrt(k * rate / n);
        const double p1 = kPi * rng.uniform(), p2 = kPi * rng.uniform();
        const double a1 = m * std::cos(p1), b1 = m * std::sin(p1); // X1[k]
        const double a2 = m * std::cos(p2), b2 = m * std::sin(p2); // X2[k]
        // Z[k] = X1[k] + i X2[k]; Z[n-k] = conj(X1[k]) + i conj(X2[k]); stored conjugated.
        re[size_t(k)] = a1 - b2, im[size_t(k)] = -(b1 + a2);
        re[size_t(n - k)] = a1 + b2, im[size_t(n - k)] = -(a2 - b1);
    }
    fft.fft(re.data(), im.data(), n);
    normalise(re, 1.0, t->ch[0]);
    normalise(im, -1.0, t->ch[1]);
    return t;
}
