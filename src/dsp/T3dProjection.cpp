// Central projection of the waterfall's cube, axis mapping and the scale ladder.
#include "dsp/T3dProjection.h"

#include <algorithm>
#include <cmath>

void T3dProjection::setView(T3dPoint ref, T3dPoint eye)
{
    m_ref = ref;
    m_eye = eye;
    A = ref.x - eye.x;
    B = ref.y - eye.y;
    C = ref.z - eye.z;
    VZ = std::sqrt(A * A + C * C);
    const double g = VZ > 0 ? A / VZ : 0.0;
    const double h = VZ > 0 ? C / VZ : 1.0;
    VX = g * B;
    VY = -h * B;
    const double m = A * A + B * B + C * C;
    TA = m / 2.0;
    UX = h * std::sqrt(m);
    UY = g * std::sqrt(m);
}

void T3dProjection::setScreen(const T3dScreen& s)
{
    m_screen = s;
    const double l = s.left, r = s.right, t = s.top, b = s.bottom;
    sx = (r - l) / (kURight - kULeft);
    ox = (kURight * l - kULeft * r) / (kURight - kULeft);
    sy = (b - t) / (kVBottom - kVTop);
    oy = (kVBottom * t - kVTop * b) / (kVBottom - kVTop);
}

double T3dProjection::depth(T3dPoint p) const
{
    const double d = -p.x - m_eye.x, e = p.y - m_eye.y, f = p.z - m_eye.z;
    const double g = A * d + B * e + C * f;
    return g == 0.0 ? 1e-35 : g;
}

bool T3dProjection::project(T3dPoint p, double& u, double& v) const
{
    const double g = depth(p);
    if (g <= kBehind)
        return false;
    double d = -p.x - m_eye.x, e = p.y - m_eye.y, f = p.z - m_eye.z;
    if (g - TA > 0) { // far enough: offsets from the reference point, which lands in the middle
        d = m_ref.x - p.x;
        e = p.y - m_ref.y;
        f = p.z - m_ref.z;
    }
    // The horizontal axis takes the x and z offsets, the vertical one x, z and the level (y):
    // levels stand upright on the screen whatever the view.
    u = (UX * d + UY * f) / g;
    v = (d * VX + f * VY + VZ * e) / g;
    return true;
}

void T3dProjection::toPixel(double u, double v, double& xPix, double& yPix) const
{
    xPix = sx * u + ox;
    yPix = sy * v + oy;
}

bool T3dProjection::pixel(T3dPoint p, double& xPix, double& yPix) const
{
    double u = 0, v = 0;
    if (!project(p, u, v))
        return false;
    toPixel(u, v, xPix, yPix);
    return true;
}

bool T3dProjection::clipSegment(T3dPoint& a, T3dPoint& b) const
{
    const double ga = depth(a), gb = depth(b);
    const bool fa = ga > kBehind, fb = gb > kBehind;
    if (fa && fb)
        return true;
    if (!fa && !fb)
        return false;
    // Depth is linear along the segment: cut it where the depth is a small positive value.
    const double target = std::max(1e-9, kBehind * 10.0);
    const double t = (target - ga) / (gb - ga);
    const T3dPoint cut{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
    (fa ? b : a) = cut;
    return true;
}

double T3dMapLinear(double v, double min, double max)
{
    if (!(max > min))
        return 1.0;
    return (std::clamp(v, min, max) - min) / (max - min);
}

double T3dMapLog(double v, double min, double max)
{
    if (min <= 0.0 || v <= 0.0 || !(max > min))
        return 1.0;
    const double r = std::log(std::clamp(v, min, max) / min) / std::log(max / min);
    return std::isfinite(r) ? r : 1.0;
}

double T3dScaleStep(double teili)
{
    if (teili >= 5000000.0)
        return teili;
    for (int k = -2;; ++k)
        for (double m : {1.0, 2.0, 5.0})
            if (m * std::pow(10.0, k) > teili)
                return m * std::pow(10.0, k);
}
