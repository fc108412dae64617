// Painting the 3D diagram: the cube's back faces, grid and labels, then the bands back to front.
#include "display/T3Ddiagr.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr int kMaxColumns = 4000; // a band is reduced to at most this many points per paint

QString numberText(double v, double step)
{
    const int decimals = step >= 1.0 ? 0 : std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    return QString::asprintf("%*.*f", 1, decimals, v);
}

} // namespace

void T3Ddiagr::PaintNew3D()
{
    checkYAxis();
    beginPaint();
    m_img.fill(bgrToQColor(FBackCol));
    setTextAnzZ();
    QFont f("Arial");
    f.setPointSize(texthigh);
    m_p->setFont(f);
    paintBackFaces();
    paintGrid();
    if (Fbeschrift)
        paintLabels();
    paintBands();
    paintLogo();
    endPaint();
}

void T3Ddiagr::paintBackFaces()
{
    // (z, y, x) corners of the floor, the back wall and the left wall as one outline.
    static const double corners[6][3] = {{1, 0, 1}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    QPolygonF poly;
    for (const auto& c : corners) {
        double x = 0, y = 0;
        if (!m_proj.pixel({c[2], c[1], c[0]}, x, y))
            return;
        poly << QPointF(x, y);
    }
    m_p->setPen(bgrToQColor(FgridCol));
    m_p->setBrush(bgrToQColor(FDiaBGCol));
    m_p->drawPolygon(poly);
}

std::vector<double> T3Ddiagr::xLabelValues() const
{
    std::vector<double> v;
    if (FxLog && FXmin > 0) {
        for (int k = int(std::floor(std::log10(FXmin))); k <= int(std::ceil(std::log10(FXmax))); ++k)
            for (double m : {1.0, 2.0, 5.0})
                if (const double x = m * std::pow(10.0, k); x >= FXmin * 0.9999 && x <= FXmax * 1.0001)
                    v.push_back(x);
        return v;
    }
    const double step = T3dScaleStep((FXmax - FXmin) / 8.0);
    for (double x = std::ceil(FXmin / step) * step; x <= FXmax + step * 1e-9; x += step)
        v.push_back(x);
    return v;
}

void T3Ddiagr::paintGrid()
{
    m_p->setPen(bgrToQColor(FgridCol));
    for (double x : xLabelValues()) {
        const double xw = xv2xw(x);
        MOVE_2D(1, 0, xw); // across the floor, then up the back wall
        DRAW_2D(0, 0, xw);
        DRAW_2D(0, 1, xw);
    }
    const double ystep = T3dScaleStep(std::fabs(FYmax - FYmin) / std::max(yztextanz, 2));
    for (double y = std::ceil(FYmin / ystep) * ystep; y <= FYmax + ystep * 1e-9; y += ystep) {
        const double yw = yv2yw(y);
        MOVE_2D(1, yw, 0); // along the left wall, then across the back wall
        DRAW_2D(0, yw, 0);
        DRAW_2D(0, yw, 1);
    }
    const double zstep = T3dScaleStep(std::fabs(FZmax - FZmin) / std::max(yztextanz, 2));
    for (double z = std::ceil(FZmin / zstep) * zstep; z <= FZmax + zstep * 1e-9; z += zstep) {
        const double zw = zPos(z);
        MOVE_2D(zw, 1, 0); // down the left wall, then across the floor
        DRAW_2D(zw, 0, 0);
        DRAW_2D(zw, 0, 1);
    }
}

void T3Ddiagr::paintLabels()
{
    m_p->setPen(bgrToQColor(FTextCol));
    const QFontMetrics fm(m_p->font());
    const std::vector<double> xs = xLabelValues();
    for (size_t i = 0; i < xs.size(); ++i) {
        const double m = xs[i] / std::pow(10.0, std::floor(std::log10(std::max(xs[i], 1e-300))));
        if (FxLog && xs.size() > 12 && std::lround(m) != 1)
            continue; // crowded: the decades only
        const QString t = QString::number(xs[i], 'g', 6) + (i + 1 == xs.size() ? " " + FxStr : QString());
        int px = 0, py = 0;
        if (getPix_2D(px, py, 1, 0, xv2xw(xs[i])))
            textOut2d(px - fm.horizontalAdvance(t) / 2, py + fm.ascent() + 2, t);
    }
    const double ystep = T3dScaleStep(std::fabs(FYmax - FYmin) / std::max(yztextanz, 2));
    // From the first step above the floor: the floor's corner carries the first time label.
    for (double y = std::ceil(FYmin / ystep) * ystep; y <= FYmax + ystep * 1e-9; y += ystep)
        if (int px = 0, py = 0; y > FYmin + ystep * 1e-6 && getPix_2D(px, py, 0, yv2yw(y), 1))
            textOut2d(px + 4, py + fm.ascent() / 2, numberText(y, ystep));
    if (int px = 0, py = 0; getPix_2D(px, py, 0, 1, 1))
        textOut2d(px + 4, py - fm.height(), FyStr);
    const double zstep = T3dScaleStep(std::fabs(FZmax - FZmin) / std::max(yztextanz, 2));
    for (double z = std::ceil(FZmin / zstep) * zstep; z <= FZmax + zstep * 1e-9; z += zstep) {
        const double shown = Fzttreverse ? FZmax + FZmin - z : z;
        if (int px = 0, py = 0; getPix_2D(px, py, zPos(z), 0, 1))
            textOut2d(px + 6, py + fm.ascent() / 2, numberText(shown, zstep));
    }
    if (int px = 0, py = 0; getPix_2D(px, py, 1, 0, 1))
        textOut2d(px + 6, py + fm.height() + fm.ascent() / 2, FzStr);
}

double T3Ddiagr::zPos(double z) const
{
    const double zw = std::clamp(zv2zw(z), 0.0, 1.0);
    return Fzdiareverse ? 1.0 - zw : zw;
}

void T3Ddiagr::paintLogo()
{
    QFont f("Comic Sans MS");
    f.setBold(true);
    f.setItalic(true);
    f.setPixelSize(std::max(6, int(edgePixels({0, 0, 1}, {0, 1, 1}) / 12.0)));
    m_p->setFont(f);
    m_p->setPen(bgrToQColor(32896));
    m_p->drawText(6, 6 + QFontMetrics(f).ascent(), logoText);
}

double T3Ddiagr::bandZ(int b) const
{
    if (m_bands.bandsWritten() > b)
        return zPos(m_bands.stamp(b));
    const double z = 1.0 - double(b) / std::max(m_bands.zBands() - 1, 1);
    return Fzdiareverse ? 1.0 - z : z;
}

// Each x point's column of the paint: a band is reduced to one point per column (the largest
// value in it, at its own x), about one per pixel of the front x edge, so the cost of a paint
// does not grow with the transform size. Kept while the x axis, its limits and the size stay.
void T3Ddiagr::bucketsForPaint()
{
    const int columns = std::clamp(int(edgePixels({0, 0, 1}, {1, 0, 1})), 2, kMaxColumns);
    const std::vector<double>& xa = m_bands.xAxis();
    if (m_map.columns == columns && m_map.xmin == FXmin && m_map.xmax == FXmax && m_map.xlog == FxLog &&
        m_map.xVer == m_bands.xVersion() && m_bucket.size() == xa.size())
        return;
    m_map = {FXmin, FXmax, FxLog, columns, m_bands.xVersion(), m_map.generation + 1};
    m_bucket.assign(xa.size(), -1);
    m_xw.assign(xa.size(), 0.0);
    const double lo = std::min(FXmin, FXmax), hi = std::max(FXmin, FXmax);
    for (size_t i = 0; i < xa.size(); ++i) {
        if (!(xa[i] >= lo && xa[i] <= hi) || (FxLog && xa[i] <= 0))
            continue;
        m_xw[i] = xv2xw(xa[i]);
        m_bucket[i] = std::min(columns - 1, int(m_xw[i] * columns));
    }
}

const std::vector<double>* T3Ddiagr::reducedBand(int b)
{
    const size_t s = m_bands.slotOf(b);
    if (m_reduced.size() != size_t(m_bands.zBands()))
        m_reduced.assign(size_t(m_bands.zBands()), Reduced{});
    Reduced& r = m_reduced[s];
    if (r.slotVer == m_bands.slotVersion(s) && r.mapGen == m_map.generation)
        return &r.yx;
    r.slotVer = m_bands.slotVersion(s);
    r.mapGen = m_map.generation;
    r.yx.assign(size_t(m_map.columns) * 2, -HUGE_VAL);
    const double* v = m_bands.band(b);
    for (size_t i = 0; i < m_bucket.size(); ++i) {
        const int k = m_bucket[i];
        if (k < 0 || !(v[i] > T3dBands::kEmpty) || !(v[i] > r.yx[2 * size_t(k)]))
            continue;
        r.yx[2 * size_t(k)] = v[i];
        r.yx[2 * size_t(k) + 1] = m_xw[i];
    }
    return &r.yx;
}

bool T3Ddiagr::bandRun(int b, std::vector<QPointF>& out, QPointF base[2])
{
    out.clear();
    const std::vector<double>& yx = *reducedBand(b);
    const double offs = m_bands.yOffset();
    const double z = bandZ(b);
    double firstX = -1, lastX = 0, px = 0, py = 0;
    for (int k = 0; k < m_map.columns; ++k) {
        if (yx[2 * size_t(k)] == -HUGE_VAL)
            continue;
        const double y = yx[2 * size_t(k)] + offs, x = yx[2 * size_t(k) + 1];
        if (firstX < 0 && !(y > FYmin))
            continue; // the run starts at its first point above the axis
        if (!m_proj.pixel({x, yv2yw(y), z}, px, py))
            continue;
        if (firstX < 0)
            firstX = x;
        lastX = x;
        out.emplace_back(px, py);
    }
    if (out.empty())
        return false;
    m_proj.pixel({lastX, 0, z}, px, py);
    base[0] = QPointF(px, py);
    m_proj.pixel({firstX, 0, z}, px, py);
    base[1] = QPointF(px, py);
    return true;
}

void T3Ddiagr::paintBands()
{
    bucketsForPaint();
    const int nb = m_bands.zBands();
    std::vector<int> order(static_cast<size_t>(nb));
    std::iota(order.begin(), order.end(), 0);
    // Farthest first (by time position, then by depth), so nearer bands hide what lies behind.
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        return m_proj.depth({0.5, 0, bandZ(a)}) > m_proj.depth({0.5, 0, bandZ(b)});
    });
    m_p->setPen(bgrToQColor(FLineCol));
    m_p->setBrush(bgrToQColor(FFlaeCol));
    std::vector<QPointF> run, next;
    QPointF base[2], nextBase[2];
    bool have = false;
    for (int b : order) {
        if (Fflaeche == 2) { // a polygon between each band and the one before it in depth
            if (!bandRun(b, next, nextBase))
                continue;
            if (have) {
                std::vector<QPointF> poly(run);
                poly.insert(poly.end(), next.rbegin(), next.rend());
                m_p->drawPolygon(poly.data(), int(poly.size()));
            }
            std::swap(run, next);
            have = true;
            continue;
        }
        if (!bandRun(b, run, base))
            continue;
        run.push_back(base[0]);
        run.push_back(base[1]);
        if (Fflaeche == 1)
            m_p->drawPolygon(run.data(), int(run.size()));
        else
            m_p->drawPolyline(run.data(), int(run.size()));
    }
    if (Fflaeche == 2 && have) // the nearest band's own line on top of the surface
        m_p->drawPolyline(run.data(), int(run.size()));
}
