// Tcurve: construction, copying and the basic buffer operations of one diagram curve.
#include "display/Tcurve.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {
constexpr int32_t kNewCurvePoints = 256; // size of the buffers of a new or cleared curve

// m becomes n zeros; a buffer of that size already owned is cleared in place, unless it holds
// nothing but zeros already (the phase of a time signal stays zero frame after frame).
void zeroed(Tsamplemem& m, int32_t n)
{
    if (n > 0 && m.samples() == n && m.memIsAlloc()) {
        if (!m.isAllZero())
            m.fillComplete(0.0);
    } else {
        m = Tsamplemem(std::max(0, n));
    }
}
} // namespace

Tcurve::Tcurve(int32_t num) : line(num)
{
    setNewPoints(kNewCurvePoints);
}

void Tcurve::copy(const Tcurve& a)
{
    if (this != &a)
        *this = a; // every member is a value type; Tsamplemem copies deeply
}

void Tcurve::copyValuesfrom(const Tcurve& a)
{
    if (this == &a)
        return;
    OriY = a.OriY;
    CpyY = a.CpyY;
    OriPh = a.OriPh;
    CpyPh = a.CpyPh;
    xaxis = a.xaxis;
    FValuelogY = a.FValuelogY;
    Flogx = a.Flogx;
    Cygroup = a.Cygroup;
}

void Tcurve::clearall()
{
    setNewPoints(kNewCurvePoints);
    ValidData = false;
    MarkerP = TFpoint{};
}

void Tcurve::SetOriY(const Tsamplemem& yw)
{
    OriY = yw;
    CpyY = yw;
    zeroed(OriPh, yw.samples());
    zeroed(CpyPh, yw.samples());
    ValidData = true;
}

void Tcurve::SetOriPh(const Tsamplemem& ph)
{
    OriPh = ph;
    CpyPh = ph;
}

void Tcurve::SetOriYPh(const Tsamplemem& yw, const Tsamplemem& ph)
{
    OriY = yw;
    CpyY = yw;
    ValidData = true;
    SetOriPh(ph);
}

void Tcurve::setNewPoints(int32_t points)
{
    const int32_t n = std::max(0, points);
    OriY = Tsamplemem(n);
    CpyY = Tsamplemem(n);
    OriPh = Tsamplemem(n);
    CpyPh = Tsamplemem(n);
    xaxis = Tsamplemem(n);
}

void Tcurve::setPoint(int32_t idx, double x, double y)
{
    if (idx < 0 || idx >= OriY.samples() || idx >= CpyY.samples() || idx >= xaxis.samples())
        return;
    OriY.setsmAr(idx, y);
    CpyY.setsmAr(idx, y);
    xaxis.setsmAr(idx, x);
}

double Tcurve::getxfbeg() const
{
    for (int32_t i = 0; i < xaxis.samples(); ++i)
        if (xaxis.getsmAr(i) != 0.0)
            return xaxis.getsmAr(i);
    return 0.0;
}

double Tcurve::getxfend() const
{
    for (int32_t i = xaxis.samples() - 1; i >= 0; --i)
        if (xaxis.getsmAr(i) != 0.0)
            return xaxis.getsmAr(i);
    return 0.0;
}
