// Interpolation of a tone's frequency between the bins of a windowed spectrum.
#include "dsp/evalPeak.h"

#include "dsp/FFtuli.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBisections = 50; // halves the half-bin search range down to 1e-15 bins

// Offset (0..0.5 bins) of the tone from bin k towards its louder neighbour for the neighbour's
// magnitude ratio r. The ratio grows from the window's response one bin off (offset 0) to 1
// (offset 0.5), monotonically within the main lobe, so bisection finds it.
double offsetOfRatio(double r, int window, int32_t n) {
    auto ratio = [&](double d) { return WindowResponse(window, 1.0 - d, n) / WindowResponse(window, d, n); };
    if (!(r > ratio(0.0))) return 0.0;
    if (r >= 1.0) return 0.5;
    double lo = 0.0, hi = 0.5;
    for (int i = 0; i < kBisections; ++i) {
        const double mid = 0.5 * (lo + hi);
        (ratio(mid) < r ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// Vertex of the parabola through the log magnitudes of bins k-1, k, k+1, in bins from k.
double parabolicOffset(double below, double at, double above) {
    const double a = std::log(below), b = std::log(at), c = std::log(above);
    const double curve = a - 2.0 * b + c;
    return curve < 0.0 ? std::clamp(0.5 * (a - c) / curve, -0.5, 0.5) : 0.0;
}

bool usablePower(double p) { return p >= 0.0 && std::isfinite(p); }

} // namespace

double PeakFrequency(const double* p, int32_t bins, int32_t k, double fstep, int window, int32_t n) {
    if (!p || k < 1 || k + 1 >= bins) return k * fstep;
    const double below = p[k - 1], at = p[k], above = p[k + 1];
    if (!usablePower(at) || !usablePower(below) || !usablePower(above)) return k * fstep;
    if (!(at > 0.0)) return k * fstep;
    if (!IsValidWindowKind(window) || n < 2)
        return (below > 0.0 && above > 0.0 ? k + parabolicOffset(below, at, above) : k) * fstep;
    const int side = above >= below ? 1 : -1;
    const double r = std::sqrt((side > 0 ? above : below) / at);
    return (k + side * offsetOfRatio(r, window, n)) * fstep;
}
