// TDiagramm: the y and x scroll buttons, the window around a point and the marker lines.
#include "display/TDiagramm.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kXmaxLimit = 200000.0; // highest x maximum the scroll button gives
constexpr double kLogXminFloor = 1e-6;  // lowest x minimum on a log axis
} // namespace

double TDiagramm::doYskalAuto(int32_t g, double value, bool up) const
{
    const TYAXgroup* gr = group(g);
    if (!gr)
        return value;
    if (gr->FyScalog) {
        int32_t i = 0;
        while (i < 98 && logGridValue(i) < value * (1 - 1e-12))
            ++i; // first entry at or above value
        const bool onEntry = std::fabs(logGridValue(i) - value) <= std::fabs(value) * 1e-12;
        i = up ? (onEntry ? i + 1 : i) : i - 1;
        return logGridValue(std::clamp(i, 0, 98));
    }
    int32_t yko = 0;
    const double step = makSkal(yko, std::fabs(gr->Fymax - gr->Fymin) / 10.0);
    return step * (std::round(value / step) + (up ? 1 : -1));
}

void TDiagramm::yButtonClick(int32_t g, bool upper, bool up)
{
    TYAXgroup* gr = group(g);
    if (!gr)
        return;
    const double old = upper ? gr->Fymax : gr->Fymin;
    const double v = Fystepauto ? doYskalAuto(g, old, up) : old + (up ? FyDiaSteps : -FyDiaSteps);
    if (!std::isfinite(v))
        return;
    limitsSetExplicitly();
    if (upper) {
        if (!up && !(v > gr->Fymin))
            return;
        gr->Fymax = v;
    } else {
        if (up && !(v < gr->Fymax))
            return;
        gr->Fymin = v;
        if (FDia2Up)
            gr->Fymax = -gr->Fymin;
    }
    newsize(m_w, -1, m_h);
}

void TDiagramm::xScrollClick(bool high, bool up)
{
    if (high) {
        const double step = makSkal(XtextMaxKomma, std::fabs(Fxmax) / 10.0);
        xmaxSteps = step;
        double v = Fxmax + (up ? step : -step);
        if (!(v > Fxmin))
            v = Fxmin + step;
        v = std::min(v, kXmaxLimit);
        if (FaroundIps)
            FaroundMax = std::max(0.0, FaroundMax + (up ? step : -step));
        setX_max(v);
        return;
    }
    const double step = makSkal(XtextMinKomma, std::fabs(Fxmin) / 10.0);
    xminSteps = step;
    double v = Fxmin + (up ? step : -step);
    v = std::max(v, Fxlog ? kLogXminFloor : 0.0);
    if (v > (Fxlog ? 1.0 : 0.0))
        v = std::round(v / step) * step;
    if (!(v < Fxmax))
        v = Fxmax - step;
    if (FaroundIps)
        FaroundMin = std::max(0.0, FaroundMin + (up ? -step : step));
    setX_min(v);
}

void TDiagramm::SetaroundSkal_ms(double Around)
{
    FxScalOffset = Around;
    const double xmin = std::max(0.0, Around - FaroundMin);
    const double xmax = Around + FaroundMax;
    setX_minX_Max(xmax, xmin);
}

void TDiagramm::setXmax2_100ms(double time)
{
    const double a = std::max(100.0, std::round(time / 100.0) * 100.0);
    if (FaroundIps || a == oldXmax)
        return;
    oldXmax = a;
    setX_minX_Max(a, 0.0);
}

void TDiagramm::SetRangeLinesValues_ms(double RLr, double RLl)
{
    RangeRX = RLr;
    RangeLX = RLl;
    changed();
}

void TDiagramm::SetExtraLineValue(double v)
{
    ExtraLineX = v;
    changed();
}
