// Thiele-Small parameters from impedance curves.
#include "dsp/evalThieleSmall.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kNoMin = 99999.0;  // Rdc before any point was seen
constexpr double kZLimit = 1e10;    // larger values are open circuits, not measurements

bool usable(double z) { return z >= 0.0 && z <= kZLimit; }

// The previous usable point before i (-1: none).
int32_t previousUsable(const TImpCurve& c, int32_t i)
{
    for (int32_t j = i - 1; j >= 0; --j)
        if (usable(c.Z[size_t(j)]) && c.F[size_t(j)] > 0.0)
            return j;
    return -1;
}

int32_t nextUsable(const TImpCurve& c, int32_t i)
{
    for (size_t j = size_t(i) + 1; j < c.Z.size() && j < c.F.size(); ++j)
        if (usable(c.Z[j]) && c.F[j] > 0.0)
            return int32_t(j);
    return -1;
}

// The vertex of the parabola through (x0,y0), (x1,y1), (x2,y2), with y1 the largest. A sampled
// peak is 1 % off in frequency and reads the peak low; the vertex is far closer.
void parabolaVertex(const double x[3], const double y[3], double& xv, double& yv)
{
    const double d01 = (y[1] - y[0]) / (x[1] - x[0]);
    const double d12 = (y[2] - y[1]) / (x[2] - x[1]);
    const double a = (d12 - d01) / (x[2] - x[0]);
    xv = x[1], yv = y[1];
    if (!(a < 0.0))
        return; // flat or not a peak: keep the point
    const double b = d01 - a * (x[0] + x[1]);
    const double v = -b / (2.0 * a);
    if (!(v >= x[0] && v <= x[2]))
        return;
    xv = v;
    yv = y[0] + d01 * (v - x[0]) + a * (v - x[0]) * (v - x[1]);
}

void refinePeak(const TImpCurve& c, int32_t im, tTSP& t)
{
    const int32_t lo = previousUsable(c, im), hi = nextUsable(c, im);
    if (lo < 0 || hi < 0 || !(c.F[size_t(lo)] < c.F[size_t(im)] && c.F[size_t(im)] < c.F[size_t(hi)]))
        return;
    const int32_t idx[3] = {lo, im, hi};
    double x[3], y[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = std::log(c.F[size_t(idx[k])]);
        y[k] = c.Z[size_t(idx[k])];
    }
    double xv = 0.0, yv = 0.0;
    parabolaVertex(x, y, xv, yv);
    t.fs = std::exp(xv);
    t.Zmax = yv;
}

// The frequency where Z crosses r between points a and b, linear in Z over log f.
double crossing(const TImpCurve& c, int32_t a, int32_t b, double r)
{
    if (a < 0)
        return c.F[size_t(b)];
    const double za = c.Z[size_t(a)], zb = c.Z[size_t(b)];
    const double xa = std::log(c.F[size_t(a)]), xb = std::log(c.F[size_t(b)]);
    if (za == zb || (za - r) * (zb - r) > 0.0) // not bracketing: the point itself
        return c.F[size_t(b)];
    return std::exp(xa + (r - za) / (zb - za) * (xb - xa));
}

int32_t qFactors(tTSP& t)
{
    if (t.f2 - t.f1 == 0.0)
        return 2;
    t.Qms = std::sqrt(t.K) * t.fs / (t.f2 - t.f1);
    if (t.K - 1.0 == 0.0)
        return 3;
    t.Qel = t.Qms / (t.K - 1.0);
    if (t.Qms + t.Qel == 0.0)
        return 4;
    t.Qts = t.Qms * t.Qel / (t.Qms + t.Qel);
    return 0;
}

bool firstComplete(const tTSP& t)
{
    return t.fs != 0.0 && t.Qms != 0.0 && t.Qel != 0.0 && t.Qts != 0.0 && t.f1 != -1.0 && t.f2 != -1.0;
}

int32_t secondMeasurement(const TImpCurve& c, tTSP& t)
{
    if (!firstComplete(t))
        return 9;
    tTSP probe = t; // the second curve's search must not replace the first's results
    const int32_t r = TSPResonanceSearch(c, probe);
    if (r != 0)
        return r;
    const double fsm = probe.fs;
    if (t.fs == fsm)
        return t.VasoverVb ? 10 : 7;
    if (t.VasoverVb) {
        t.Mmd_g = t.Cms_mmN = -1.0;
        t.Vas_dm = ((fsm / t.fs) * (fsm / t.fs) - 1.0) * t.Vb_dm;
        return 0;
    }
    t.Mmd_g = t.Mms_g / ((t.fs / fsm) * (t.fs / fsm) - 1.0);
    t.Cms_mmN = 1e6 / ((6.283 * t.fs) * (6.283 * t.fs) * t.Mmd_g);
    t.Vas_dm = t.Sd_cm * t.Sd_cm * t.Cms_mmN * 0.00142;
    return 0;
}

// Arithmetic that overflowed or produced no number is the calculation's code 8.
bool arithmeticFailed(const tTSP& t)
{
    for (double v : {t.Qms, t.Qel, t.Qts, t.Mmd_g, t.Cms_mmN, t.Vas_dm})
        if (!std::isfinite(v))
            return true;
    return false;
}

} // namespace

int32_t TSPResonanceSearch(const TImpCurve& c, tTSP& t)
{
    t.Zmax = 0.0;
    t.Rdc = kNoMin;
    t.f1 = t.f2 = -1.0;
    const size_t n = std::min(c.Z.size(), c.F.size());
    int32_t im = -1;
    for (size_t i = 0; i < n; ++i) {
        const double z = c.Z[i];
        if (!usable(z))
            continue;
        if (im < 0 || z > t.Zmax) {
            t.Zmax = z;
            im = int32_t(i);
        }
        t.Rdc = std::min(t.Rdc, z);
    }
    if (im >= 0 && size_t(im) + 1 == c.F.size())
        return 102;
    if (im < 0)
        return 100;
    t.fs = c.F[size_t(im)];
    refinePeak(c, im, t);
    if (t.bVorgabeRdc)
        t.Rdc = t.fVorgabeRdc;
    return 0;
}

int32_t TSPQFrequencySearch(const TImpCurve& c, tTSP& t)
{
    const int32_t r = TSPResonanceSearch(c, t);
    if (r != 0)
        return r;
    if (t.Rdc == 0.0)
        return 101;
    t.K = t.Zmax / t.Rdc;
    t.R1 = std::sqrt(t.Rdc * t.Zmax);
    const size_t n = std::min(c.Z.size(), c.F.size());
    int32_t last = -1; // the previous usable point
    for (size_t i = 0; i < n; ++i) {
        const double z = c.Z[i];
        if (!usable(z))
            continue;
        if (t.f1 == -1.0 && z > t.R1)
            t.f1 = crossing(c, last, int32_t(i), t.R1);
        else if (t.f1 != -1.0 && t.f2 == -1.0 && z < t.R1 && c.F[i] > t.fs)
            t.f2 = crossing(c, last, int32_t(i), t.R1);
        last = int32_t(i);
    }
    return t.fs < t.f1 || t.fs > t.f2 ? 103 : 0;
}

int32_t TSPCalculation(const TImpCurve& first, const TImpCurve& second, tTSP& t)
{
    int32_t code = 0;
    if (!first.empty()) {
        t.OK = 0;
        if (t.durch_mm != 0.0)
            t.Sd_cm = t.durch_mm * t.durch_mm * 3.1415 / 4.0 / 100.0;
        code = TSPQFrequencySearch(first, t);
        if (code == 0)
            code = qFactors(t);
    }
    if (code == 0 && !second.empty())
        code = secondMeasurement(second, t);
    if (code == 0 && arithmeticFailed(t))
        code = 8;
    t.OK = code;
    return code;
}
