// Zooming a diagram: wheel, box and stored range, and the axis end labels a click edits.
#include "display/TDiagrammZoom.h"

#include "display/TDiagramm.h"

#include <algorithm>
#include <cmath>

namespace {

double toAxis(double v, bool log) {
    return log ? std::log(v) : v;
}
double fromAxis(double v, bool log) {
    return log ? std::exp(v) : v;
}

bool usable(TRange r, bool log) {
    return std::isfinite(r.lo) && std::isfinite(r.hi) && r.hi > r.lo && (!log || r.lo > 0);
}

// A zoomed linear y range widened to multiples of a fine step (a fiftieth of the span on the
// ladder), so the labels, which start at ymin, read round numbers; widening by at most two such
// steps never undoes a wheel step.
TRange roundOutward(TRange r) {
    int32_t yko = 0;
    const double step = TDiagramm::makSkal(yko, (r.hi - r.lo) / 50.0);
    const TRange w{std::floor(r.lo / step) * step, std::ceil(r.hi / step) * step};
    return std::isfinite(w.lo) && std::isfinite(w.hi) && w.hi > w.lo ? w : r;
}

} // namespace

TRange zoomRange(TRange r, double pivot, double factor, bool log) {
    if (!usable(r, log) || !(factor > 0) || (log && !(pivot > 0))) return r;
    const double p = toAxis(pivot, log), a = toAxis(r.lo, log), b = toAxis(r.hi, log);
    const TRange z{fromAxis(p - (p - a) * factor, log), fromAxis(p + (b - p) * factor, log)};
    return usable(z, log) ? z : r;
}

TRange clampToHome(TRange r, TRange home, bool log) {
    if (!usable(r, log) || !usable(home, log)) return r;
    const double a = toAxis(r.lo, log), b = toAxis(r.hi, log);
    const double ha = toAxis(home.lo, log), hb = toAxis(home.hi, log);
    if (b - a >= hb - ha) return home;
    if (a < ha) return {home.lo, fromAxis(ha + (b - a), log)};
    if (b > hb) return {fromAxis(hb - (b - a), log), home.hi};
    return r;
}

// ---- the diagram's zoom hooks ---------------------------------------------------------------

void TDiagramm::limitsSetExplicitly() {
    if (!m_zooming) m_zoomHome.reset();
}

void TDiagramm::rememberHome() {
    if (m_zoomHome) return;
    m_zoomHome = TZoomHome{{Fxmin, Fxmax}, yRanges()};
}

// Groups a y zoom applies to: every group a visible curve is drawn against.
bool TDiagramm::groupShown(int32_t g) const {
    for (const Tcurve& c : aline)
        if (c.Fcvis && c.Cygroup == g) return true;
    return false;
}

double TDiagramm::yValueAt(const TYAXgroup& g, int32_t py) const {
    const double T = m_diareci.top(), B = m_diareci.bottom();
    const double f = B > T ? (B - py) / (B - T) : 0.0;
    if (g.FyScalog && g.Fymin > 0 && g.Fymax > 0) return g.Fymin * std::pow(g.Fymax / g.Fymin, f);
    return g.Fymin + f * (g.Fymax - g.Fymin);
}

// Sets the zoomed limits: the x events fire (the window's edits follow), one relayout.
void TDiagramm::applyZoom(TRange x, const std::array<TRange, kDiaCurves>& y) {
    m_zooming = true;
    holdRepaints();
    if (x.lo != Fxmin || x.hi != Fxmax) setX_minX_Max(x.hi, x.lo);
    for (int32_t g = 0; g < kDiaCurves; ++g) {
        aYgroup[size_t(g)].Fymin = y[size_t(g)].lo;
        aYgroup[size_t(g)].Fymax = y[size_t(g)].hi;
    }
    changed();
    releaseRepaints();
    m_zooming = false;
}

std::array<TRange, kDiaCurves> TDiagramm::yRanges() const {
    std::array<TRange, kDiaCurves> y;
    for (int32_t g = 0; g < kDiaCurves; ++g)
        y[size_t(g)] = {aYgroup[size_t(g)].Fymin, aYgroup[size_t(g)].Fymax};
    return y;
}

void TDiagramm::wheelZoom(int32_t px, int32_t py, double steps, bool yAxes) {
    if (!m_laidOut || !m_diareci.contains(px, py) || steps == 0.0 || !std::isfinite(steps)) return;
    rememberHome();
    const double f = std::pow(kWheelZoomStep, steps);
    TRange x{Fxmin, Fxmax};
    std::array<TRange, kDiaCurves> y = yRanges();
    if (!yAxes) {
        x = zoomRange(x, PixToX(px), f, Fxlog);
        if (f > 1) x = clampToHome(x, m_zoomHome->x, Fxlog);
    }
    for (int32_t g = 0; yAxes && g < kDiaCurves; ++g) {
        if (!groupShown(g)) continue;
        const TYAXgroup& gr = aYgroup[size_t(g)];
        y[size_t(g)] = zoomRange(y[size_t(g)], yValueAt(gr, py), f, gr.FyScalog);
        if (!gr.FyScalog) y[size_t(g)] = roundOutward(y[size_t(g)]);
        if (f > 1) y[size_t(g)] = clampToHome(y[size_t(g)], m_zoomHome->y[size_t(g)], gr.FyScalog);
    }
    applyZoom(x, y);
}

bool TDiagramm::boxZoom(const QRect& box) {
    const QRect b = box.normalized().intersected(m_diareci);
    if (!m_laidOut || b.width() < kMinZoomBox || b.height() < kMinZoomBox) return false;
    rememberHome();
    const TRange x{PixToX(b.left()), PixToX(b.right())};
    std::array<TRange, kDiaCurves> y = yRanges();
    for (int32_t g = 0; g < kDiaCurves; ++g)
        if (groupShown(g)) {
            const TYAXgroup& gr = aYgroup[size_t(g)];
            const TRange yb{yValueAt(gr, b.bottom()), yValueAt(gr, b.top())};
            y[size_t(g)] = gr.FyScalog ? yb : roundOutward(yb);
        }
    if (!(x.hi > x.lo)) return false;
    applyZoom(x, y);
    return true;
}

void TDiagramm::restoreStoredRange() {
    if (!m_zoomHome) return;
    const TZoomHome h = *m_zoomHome;
    applyZoom(h.x, h.y);
    m_zoomHome.reset();
}

// ---- axis end labels --------------------------------------------------------------------------

// The y group whose label column holds pixel x; -1 when none.
int32_t TDiagramm::labelColumnAt(int32_t x) const {
    for (int32_t g = 0; g < kDiaCurves; ++g) {
        const TYAXgroup& gr = aYgroup[size_t(g)];
        if (gr.Fyaxisvis && gr.Fymax != gr.Fymin && x >= m_colLeft[size_t(g)] && x <= gr.xpos)
            return g;
    }
    return -1;
}

QRect TDiagramm::axisLabelRect(TAxisHit h) const {
    const QRect& r = m_diareci;
    const int32_t cw = std::max(1, charwidth), th = std::max(1, textHigh);
    switch (h.limit) {
    case TAxisLimit::XMin:
        return QRect(r.left() - 2 * cw, XAxYpos, 8 * cw, th + 2);
    case TAxisLimit::XMax:
        return QRect(r.right() - 8 * cw, XAxYpos, 8 * cw + rrand, th + 2);
    case TAxisLimit::YMax:
    case TAxisLimit::YMin: {
        if (h.group < 0 || h.group >= kDiaCurves) return {};
        const int32_t left = m_colLeft[size_t(h.group)], right = aYgroup[size_t(h.group)].xpos;
        const int32_t y = h.limit == TAxisLimit::YMax ? r.top() : r.bottom();
        return QRect(left, y - th, right - left + 1, 2 * th).intersected(QRect(0, 0, m_w, XAxYpos));
    }
    case TAxisLimit::None:
        break;
    }
    return {};
}

TAxisHit TDiagramm::axisLabelAt(int32_t x, int32_t y) const {
    if (!m_laidOut) return {};
    for (TAxisLimit l : {TAxisLimit::XMin, TAxisLimit::XMax})
        if (axisLabelRect({l, -1}).contains(x, y)) return {l, -1};
    const int32_t g = labelColumnAt(x);
    for (TAxisLimit l : {TAxisLimit::YMax, TAxisLimit::YMin})
        if (g >= 0 && axisLabelRect({l, g}).contains(x, y)) return {l, g};
    return {};
}

double TDiagramm::axisLimit(TAxisHit h) const {
    const bool y = h.group >= 0 && h.group < kDiaCurves;
    switch (h.limit) {
    case TAxisLimit::XMin:
        return Fxmin;
    case TAxisLimit::XMax:
        return Fxmax;
    case TAxisLimit::YMax:
        return y ? aYgroup[size_t(h.group)].Fymax : 0.0;
    case TAxisLimit::YMin:
        return y ? aYgroup[size_t(h.group)].Fymin : 0.0;
    case TAxisLimit::None:
        break;
    }
    return 0.0;
}

bool TDiagramm::setAxisLimit(TAxisHit h, double v) {
    if (!std::isfinite(v)) return false;
    const bool x = h.limit == TAxisLimit::XMin || h.limit == TAxisLimit::XMax;
    const bool lo = h.limit == TAxisLimit::XMin || h.limit == TAxisLimit::YMin;
    if (!x && (h.group < 0 || h.group >= kDiaCurves || h.limit == TAxisLimit::None)) return false;
    const bool log = x ? Fxlog : aYgroup[size_t(h.group)].FyScalog;
    TRange r = x ? TRange{Fxmin, Fxmax}
                 : TRange{aYgroup[size_t(h.group)].Fymin, aYgroup[size_t(h.group)].Fymax};
    (lo ? r.lo : r.hi) = v;
    if (!(r.hi > r.lo) || (log && !(r.lo > 0))) return false;
    if (h.limit == TAxisLimit::XMin)
        setX_min(v);
    else if (h.limit == TAxisLimit::XMax)
        setX_max(v);
    else {
        limitsSetExplicitly();
        aYgroup[size_t(h.group)].Fymin = r.lo;
        aYgroup[size_t(h.group)].Fymax = r.hi;
        changed();
    }
    return true;
}
