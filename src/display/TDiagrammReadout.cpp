// The crosshair read-out: snapping to a peak, the levels of the shown curves, reference and
// harmonics.
#include "display/TDiagrammReadout.h"

#include "display/TDiagramm.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNoDataBelow = -190.0; // the resampler's no-data values are -192 and -195
constexpr int32_t kHarmonicsLast = 9;   // markers at 2f .. 9f

bool shown(const Tcurve& c) {
    return c.Fcvis && c.ValidData && c.Cygroup >= 0 && c.Cygroup < kDiaCurves &&
           c.FxIbeg <= c.FxIend && c.CpyY.samples() > 0;
}

// The curve's display value at grid index i, when it has one there.
std::optional<double> displayValue(const Tcurve& c, int32_t i) {
    if (i < c.FxIbeg || i > c.FxIend || i < 0 || i >= c.CpyY.samples()) return std::nullopt;
    const double v = c.CpyY.getsmAr(i);
    if (!std::isfinite(v) || v <= kNoDataBelow) return std::nullopt;
    return v;
}

// Grid index whose x is nearest to x (the grid ascends).
int32_t gridIndexOf(const Tsamplemem& grid, double x) {
    const int32_t n = grid.samples();
    if (n <= 0) return -1;
    const double* g = grid.smpoi();
    const int32_t hi = int32_t(std::lower_bound(g, g + n, x) - g);
    if (hi <= 0) return 0;
    if (hi >= n) return n - 1;
    return x - g[hi - 1] <= g[hi] - x ? hi - 1 : hi;
}

// The shown curve whose trace at grid index i is nearest to pixel row py; -1 when none has data.
int32_t nearestCurve(const TDiagramm& dia, int32_t i, int32_t py) {
    int32_t best = -1, bestDist = std::numeric_limits<int32_t>::max();
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        const Tcurve& c = *dia.curve(s);
        const std::optional<double> v = shown(c) ? displayValue(c, i) : std::nullopt;
        if (!v) continue;
        const int32_t d = std::abs(dia.valueToPix(*v, *dia.group(c.Cygroup)) - py);
        if (d < bestDist) {
            bestDist = d;
            best = s;
        }
    }
    return best;
}

// Highest local maximum of c within grid indices a..b; -1 when there is none.
int32_t highestPeak(const Tcurve& c, int32_t a, int32_t b) {
    int32_t best = -1;
    double bestV = -std::numeric_limits<double>::infinity();
    for (int32_t i = a; i <= b; ++i) {
        const std::optional<double> v = displayValue(c, i);
        if (!v || *v <= bestV) continue;
        const std::optional<double> l = displayValue(c, i - 1), r = displayValue(c, i + 1);
        if ((!l || *v >= *l) && (!r || *v > *r)) {
            best = i;
            bestV = *v;
        }
    }
    return best;
}

// What the diagram makes of a source value: factor, offset and the y-axis mode's shift.
double displayOf(const TDiagramm& dia, int32_t slot, double ori) {
    double v = ori * dia.ySkalFaktor() + dia.ySkalOffset();
    if (slot < kDiaUserCurves && dia.YaxisMode() != eYAMnormal)
        v -= dia.group(dia.curve(slot)->Cygroup)->FyOffDyn;
    return v;
}

struct TSourcePoint {
    double x, y;
};

// The source point behind grid index i of a peak: the largest one between the neighbouring
// columns of the peak (the resampler's peak hold took it from there), or, where columns are finer
// than the source points, the nearest one (an interpolated trace peaks at a source point). A
// smoothed curve has no single source point: its grid value stands.
TSourcePoint sourcePeak(const TDiagramm& dia, int32_t slot, int32_t i) {
    const Tcurve& c = *dia.curve(slot);
    const Tsamplemem& grid = dia.Xaxis();
    const TSourcePoint column{grid.getsmAr(i), c.CpyY.getsmAr(i)};
    const int32_t n = std::min(c.xaxis.samples(), c.OriY.samples());
    if (c.FDFilter != 0 || n <= 0 || !dia.interpol()) return column;
    int32_t first = i; // a peak held over two columns is a plateau: its source lies beside either
    while (first > c.FxIbeg && c.CpyY.getsmAr(first - 1) == column.y)
        --first;
    const double lo = grid.getsmAr(std::max(0, first - 1)),
                 hi = grid.getsmAr(std::min(grid.samples() - 1, i + 1));
    const double* xs = c.xaxis.smpoi();
    int32_t k = int32_t(std::lower_bound(xs, xs + n, lo) - xs), best = -1;
    for (; k < n && xs[k] <= hi; ++k)
        if (best < 0 || c.OriY.getsmAr(k) > c.OriY.getsmAr(best)) best = k;
    if (best < 0) {
        best = std::clamp(int32_t(std::lower_bound(xs, xs + n, column.x) - xs), 0, n - 1);
        if (best > 0 && column.x - xs[best - 1] < xs[best] - column.x) --best;
    }
    return {xs[best], displayOf(dia, slot, c.OriY.getsmAr(best))};
}

// The highest source point of the first shown curve inside the x range.
std::optional<double> largestPeakX(const TDiagramm& dia) {
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        const Tcurve& c = *dia.curve(s);
        if (!shown(c)) continue;
        const int32_t i = highestPeak(c, c.FxIbeg, c.FxIend);
        if (i >= 0) return sourcePeak(dia, s, i).x;
    }
    return std::nullopt;
}

void addHarmonics(const TDiagramm& dia, TReadout& r, const std::optional<TReadoutRef>& ref) {
    r.fundamental = ref ? std::optional<double>(ref->x) : largestPeakX(dia);
    if (!r.fundamental || !(*r.fundamental > 0)) return;
    for (int32_t k = 2; k <= kHarmonicsLast; ++k) {
        const double h = k * *r.fundamental;
        if (h >= dia.X_min() && h <= dia.X_max()) r.harmonics.push_back(h);
    }
}

// The pointer's height in the units of slot 0's group (no curve to read).
double pointerHeight(const TDiagramm& dia, int32_t py) {
    const TYAXgroup& g = *dia.group(std::clamp(dia.curve(0)->Cygroup, 0, kDiaCurves - 1));
    const double ppy = g.GPixYPdat != 0.0 ? g.GPixYPdat : 1.0;
    return g.Fymax - (py - dia.Diareci().top()) / ppy;
}

void snapAndRead(const TDiagramm& dia, TReadout& r, int32_t px, int32_t py) {
    const Tsamplemem& grid = dia.Xaxis();
    int32_t i = gridIndexOf(grid, dia.PixToX(px));
    r.primary = nearestCurve(dia, i, py);
    r.x = grid.getsmAr(i);
    r.y = pointerHeight(dia, py);
    if (r.primary >= 0) {
        const Tcurve& c = *dia.curve(r.primary);
        const int32_t a = gridIndexOf(grid, dia.PixToX(px - kReadoutSnapPixels));
        const int32_t b = gridIndexOf(grid, dia.PixToX(px + kReadoutSnapPixels));
        const int32_t peak = highestPeak(c, a, b);
        r.snapped = peak >= 0;
        i = r.snapped ? peak : i;
        const TSourcePoint sp = r.snapped ? sourcePeak(dia, r.primary, i)
                                          : TSourcePoint{grid.getsmAr(i), *displayValue(c, i)};
        r.x = sp.x;
        r.y = sp.y;
    }
    r.column = int32_t(std::lround(
        std::clamp(dia.XtoPix(r.x), double(dia.Diareci().left()), double(dia.Diareci().right()))));
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        const Tcurve& c = *dia.curve(s);
        const std::optional<double> v = shown(c) ? displayValue(c, i) : std::nullopt;
        if (v) r.levels.push_back({s, s == r.primary ? r.y : *v});
    }
}

} // namespace

TReadout computeReadout(const TDiagramm& dia, int32_t px, int32_t py,
                        const std::optional<TReadoutRef>& ref, bool harmonics) {
    TReadout r;
    if (!dia.laidOut() || !dia.Diareci().contains(px, py) || dia.Xaxis().samples() <= 0) return r;
    r.valid = true;
    snapAndRead(dia, r, px, py);
    r.ref = ref;
    if (ref) {
        r.dX = r.x - ref->x;
        r.dY = r.y - ref->y;
    }
    if (harmonics) addHarmonics(dia, r, ref);
    return r;
}

std::optional<TReadoutRef> readoutRefAt(const TDiagramm& dia, int32_t px, int32_t py) {
    const TReadout r = computeReadout(dia, px, py, std::nullopt, false);
    if (!r.valid) return std::nullopt;
    return TReadoutRef{r.x, r.y, r.primary};
}

std::vector<QString> readoutLines(const TDiagramm& dia, const TReadout& r) {
    std::vector<QString> out;
    if (!r.valid) return out;
    const QString xu = dia.xEinheit();
    out.push_back(QString::number(r.x, 'f', r.x < 100 ? 2 : 1) + " " + xu);
    for (const TReadoutLevel& l : r.levels)
        out.push_back(dia.getCurveName(l.slot) + ": " + QString::number(l.level, 'f', dia.FDigits) +
                      " " + dia.group(dia.curve(l.slot)->Cygroup)->fEinh);
    if (r.ref) {
        // A difference of levels is in dB whatever the reference level (dBFS, dBV, ...).
        QString yu = r.primary >= 0 ? dia.group(dia.curve(r.primary)->Cygroup)->fEinh : dia.yEinH;
        if (yu.startsWith("dB")) yu = "dB";
        out.push_back(QString::fromUtf8("\u0394 ") +
                      QString::number(r.dX, 'f', std::fabs(r.dX) < 100 ? 2 : 1) + " " + xu + " / " +
                      QString::number(r.dY, 'f', dia.FDigits) + " " + yu);
    }
    return out;
}
