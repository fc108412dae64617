// TDiagramm: painting the off-screen image (frame, axes, grid, curves, cursor, logo).
#include "display/TDiagramm.h"

#include "base/utils.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kPolyChunk = 16368; // most points per poly-line call
constexpr int32_t kMaxTicks = 10000;  // an axis with more ticks than this is not drawn

QColor col(TColorBGR c) { return bgrToQColor(c); }

// Text of height th right-aligned at x, vertically centred at y.
void textRightCentred(QPainter& p, int32_t x, int32_t y, int32_t th, const QString& s)
{
    p.drawText(QRect(x - 2000, y - th / 2, 2000, th), Qt::AlignRight | Qt::AlignVCenter, s);
}

} // namespace

void TDiagramm::repaintOnly()
{
    if (m_hold > 0) {
        m_repaintPending = true;
        return;
    }
    m_repaintPending = false;
    m_paint.staticKept = false;
    PaintBitM();
    m_changed = QRegion(Bitm2.rect());
    if (m_paint.cellsRestored && !cursorShown()) { // what the last two paints drew
        TPaintCells cells = m_paint.lastCurveCells;
        cells.unite(m_paint.curveCells);
        m_changed = (cells.region().intersected(curveClipRect()) + m_paint.lastOverAxes + m_paint.overAxes).intersected(Bitm2.rect());
    }
    if (OnRepainted)
        OnRepainted();
}

void TDiagramm::releaseRepaints(bool paintNow)
{
    if (m_hold > 0 && --m_hold == 0 && paintNow)
        flushRepaint();
}

void TDiagramm::flushRepaint()
{
    if (m_repaintPending && m_hold == 0)
        repaintOnly();
}

void TDiagramm::PaintBitM()
{
    m_paint.cellsRestored = false;
    if (!m_laidOut || Bitm2.isNull() || m_diareci.bottom() < m_diareci.top())
        return;
    if (!guiAvailable()) {
        Bitm2.fill(col(FColmargin)); // no fonts without a GUI application
        m_paint.outsideIsStatic = false;
        return;
    }
    QPainter p(&Bitm2);
    p.setFont(mFont);
    p.setBackgroundMode(Qt::TransparentMode);
    paintStaticLayers(p);
    paintLines(p);
    paintCurves(p);
    paintCursor(p);
    if (!FDia2Up)
        paintLogo(p);
    if (Rem3.lines > 0 && !m_legRect.isEmpty()) {
        p.save();
        p.setClipRect(m_legRect);
        Rem3.paint(p, m_legRect.left(), m_legRect.top(), FColmargin);
        p.restore();
    }
    m_paint.outsideIsStatic = !cursorShown(); // the cursor's read-outs are elsewhere
}

namespace {

// Appends plain values to a byte key.
struct TKeyWriter {
    QByteArray& b;
    template <typename T> TKeyWriter& operator<<(const T& v)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        b.append(reinterpret_cast<const char*>(&v), sizeof(T));
        return *this;
    }
    TKeyWriter& operator<<(const QString& s)
    {
        *this << int32_t(s.size());
        b.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        return *this;
    }
};

} // namespace

// Every value the background, frame, axis and grid painters read.
QByteArray TDiagramm::staticLayerKey() const
{
    QByteArray key;
    key.reserve(1024);
    TKeyWriter w{key};
    w << m_w << m_h << m_diareci.left() << m_diareci.top() << m_diareci.right() << m_diareci.bottom();
    if (!(m_paint.keyFont == mFont) || m_paint.keyFontText.isEmpty()) { // a font's key is slow to build
        m_paint.keyFont = mFont;
        m_paint.keyFontText = mFont.key();
    }
    w << FColmargin << FColDia << FColGrid << FColtext << textHigh << XAxYpos << m_paint.keyFontText;
    w << Fxlog << Fxmin << Fxmax << FxScalOffset << logSko << pixPfreq << xteil << logTextAnf << xEinH;
    const bool logo = logoWithAxes();
    w << m_colLeft << logo;
    if (logo)
        w << logoText() << QGuiApplication::palette().color(QPalette::Highlight).rgba();
    for (const TYAXgroup& g : aYgroup) {
        w << g.Fyaxisvis << g.Fymax << g.Fymin << g.Fcolor << g.xpos << g.FyScalog << g.Fyteil;
        w << g.GPixYPdat << g.FyfakStat << g.FyoffStat << g.Fyko << g.FGroup << g.fEinh;
    }
    return key;
}

void TDiagramm::paintStaticLayers(QPainter& p)
{
    QByteArray key = staticLayerKey();
    if (key != m_paint.staticKey || m_paint.staticImage.size() != Bitm2.size()) {
        m_paint.staticImage = QImage(Bitm2.size(), Bitm2.format());
        QPainter s(&m_paint.staticImage);
        s.setFont(mFont);
        s.setBackgroundMode(Qt::TransparentMode);
        paintBackground(s);
        if (m_diareci.height() > 2)
            paintFrame(s);
        paintYaxes(s);
        paintXaxis(s);
        if (logoWithAxes())
            paintLogoText(s);
        m_paint.staticKey = std::move(key);
        ++m_paint.staticMade;
        m_paint.staticXteil = xteil;
        m_paint.staticKept = false;
    } else {
        m_paint.staticKept = true;
        // What the axis painters leave behind besides the picture.
        xteil = m_paint.staticXteil;
        for (const TYAXgroup& g : aYgroup)
            if (g.Fyaxisvis && g.Fymax != g.Fymin && g.FyScalog) {
                FYaxisMode = eYAMnormal;
                Fmpeg = Fmflan = false;
            }
    }
    // Over the kept axes only what the last paint drew over them has to be put back.
    const QRegion over = overAxesRegion();
    if (m_paint.staticKept && m_paint.outsideIsStatic) {
        restoreFromStatic(m_paint.overAxes.united(over));
        restoreFromStatic(m_paint.curveCells.region().intersected(curveClipRect()));
        m_paint.cellsRestored = true;
    } else {
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, m_paint.staticImage);
        p.restore();
    }
    m_paint.lastOverAxes = std::exchange(m_paint.overAxes, over);
    std::swap(m_paint.lastCurveCells, m_paint.curveCells);
    m_paint.curveCells.reset(Bitm2.width(), Bitm2.height());
}

// Copies the kept axes into the image inside r, row by row. (Qt would hand a tall region to
// helper threads, which costs more than the copy.)
void TDiagramm::restoreFromStatic(const QRegion& r)
{
    if (m_paint.staticImage.size() != Bitm2.size() || m_paint.staticImage.format() != Bitm2.format())
        return;
    for (const QRect& q : r.intersected(Bitm2.rect()))
        copyPixels(Bitm2, q.topLeft(), m_paint.staticImage, q);
}

// Copies `part` of `from` to `at` in `to` (same format, both inside), row by row.
void TDiagramm::copyPixels(QImage& to, QPoint at, const QImage& from, const QRect& part)
{
    const int bytesPerPixel = to.depth() / 8;
    for (int y = 0; y < part.height(); ++y)
        std::memcpy(to.scanLine(at.y() + y) + at.x() * bytesPerPixel,
                    from.constScanLine(part.top() + y) + part.left() * bytesPerPixel,
                    size_t(part.width()) * size_t(bytesPerPixel));
}

// The logo's line ends just above the rows curves may reach, whatever the font's height: it
// then goes with the kept axes instead of being drawn again in every frame.
QRect TDiagramm::logoRect() const
{
    if (!guiAvailable())
        return {};
    const int32_t h = m_paint.logoMetrics.of(logoFont()).height;
    const int32_t bottom = std::min(m_diareci.top() - 3, curveClipRect().top() - 1);
    return QRect(0, std::max(0, bottom + 1 - h), m_diareci.right(), h);
}

// Where the logo may put ink: its line, and beside it up to the image's right edge, for the
// overhang of an italic last glyph (the ink of a glyph is not bounded by its advance). The
// logo is drawn clipped to it, so that putting this place back takes all of it away.
QRect TDiagramm::logoPlace() const
{
    const QRect r = logoRect();
    if (r.isEmpty())
        return r;
    return QRect(QPoint(r.left(), r.top()), QPoint(m_w - 1, r.bottom())).intersected(Bitm2.rect());
}

QRegion TDiagramm::overAxesRegion() const
{
    const int32_t T = m_diareci.top(), H = m_diareci.bottom() - T + 1;
    QRegion r(m_legRect);
    if (!FDia2Up)
        r += captionPlace(); // blended over the curves: put back first
    if (!FDia2Up && !logoWithAxes())
        r += logoPlace();
    for (const int32_t x : {RangeLXPix, RangeRXPix, ExtraLineXPix, m_diareci.right()})
        r += QRect(x - 1, T - 1, 3, H + 2); // the vertical lines, with a pixel to spare
    return r.intersected(Bitm2.rect());
}

void TDiagramm::paintBackground(QPainter& p)
{
    p.fillRect(Bitm2.rect(), col(FColmargin));
    p.fillRect(m_diareci, col(FColDia));
}

void TDiagramm::paintFrame(QPainter& p)
{
    const QRect& r = m_diareci;
    const int32_t L = r.left(), T = r.top(), R = r.right(), B = r.bottom();
    p.setPen(col(0x808080));
    p.drawLine(L - 2, T - 2, R + 2, T - 2);
    p.drawLine(L - 2, T - 2, L - 2, B + 2);
    p.setPen(Qt::black);
    p.drawLine(L - 1, T - 1, R + 1, T - 1);
    p.drawLine(L - 1, T - 1, L - 1, B + 1);
    p.setPen(Qt::white);
    p.drawLine(L - 2, B + 2, R + 2, B + 2);
    p.drawLine(R + 2, T - 2, R + 2, B + 2);
    p.setPen(col(0xC0C0C0));
    p.drawLine(L - 1, B + 1, R + 1, B + 1);
    p.drawLine(R + 1, T - 1, R + 1, B + 1);
}

// ---- y axes ------------------------------------------------------------------------------

void TDiagramm::paintYaxes(QPainter& p)
{
    bool gridDone = false;
    for (TYAXgroup& g : aYgroup) {
        if (!g.Fyaxisvis || g.Fymax == g.Fymin)
            continue;
        p.setPen(col(g.Fcolor));
        p.drawLine(g.xpos, m_diareci.top(), g.xpos, m_diareci.bottom());
        if (g.FyScalog)
            paintLogYaxis(p, g, !gridDone);
        else
            paintLinYaxis(p, g, !gridDone);
        gridDone = true;
        p.setPen(col(FColtext));
        // The unit sits at the left of its column, in the row of the x labels.
        const int32_t colLeft = m_colLeft[size_t(g.FGroup)];
        p.drawText(QRect(colLeft + 2, XAxYpos, g.xpos - colLeft, textHigh), Qt::AlignLeft | Qt::AlignTop,
                   g.fEinh);
    }
}

void TDiagramm::paintLinYaxis(QPainter& p, TYAXgroup& g, bool grid)
{
    const double step = g.Fyteil;
    const double P = std::round(std::fabs(g.Fymax - g.Fymin) / step);
    if (!(step > 0) || !(P <= kMaxTicks))
        return;
    const int32_t T = m_diareci.top(), B = m_diareci.bottom();
    bool gridOn = grid;
    for (int32_t i = 0; i <= int32_t(P); ++i) {
        const int32_t y = B - int32_t(std::lround(i * step * g.GPixYPdat));
        if (y < T - 1)
            gridOn = false; // a label above the plot stops the grid
        if (gridOn && y > T && y < B) {
            p.setPen(col(FColGrid));
            p.drawLine(m_diareci.left(), y, m_diareci.right(), y);
        }
        if (y < T - textHigh / 2)
            break;
        double v = g.Fymin * g.FyfakStat + i * step - g.FyoffStat;
        if (std::fabs(v) < step * 1e-9)
            v = 0.0;
        p.setPen(col(g.Fcolor));
        p.drawLine(g.xpos - 1, y, g.xpos, y);
        p.setPen(col(FColtext));
        textRightCentred(p, g.xpos - 3, y, textHigh, QString::asprintf("%*.*f", 1, g.Fyko, v));
    }
}

void TDiagramm::paintLogYaxis(QPainter& p, TYAXgroup& g, bool grid)
{
    FYaxisMode = eYAMnormal;
    Fmpeg = Fmflan = false;
    int32_t i = 0;
    while (i < 98 && logGridValue(i + 1) <= g.Fymin)
        ++i;
    int32_t prev = INT32_MIN;
    for (; i < 98 && logGridValue(i + 1) <= g.Fymax * (1 + 1e-12); ++i) {
        const int32_t y = LogYtoPix(g.Fymax, g.Fymin, logGridValue(i));
        if (grid && y > m_diareci.top() && y < m_diareci.bottom()) {
            p.setPen(col(FColGrid));
            p.drawLine(m_diareci.left(), y, m_diareci.right(), y);
        }
        if (y == prev || y < m_diareci.top())
            continue;
        prev = y;
        p.setPen(col(FColtext));
        textRightCentred(p, g.xpos - 3, y, textHigh, getLogText(i, QString()));
    }
}

// ---- x axis ------------------------------------------------------------------------------

void TDiagramm::paintXaxis(QPainter& p)
{
    // A log axis zoomed in so far that fewer than three labelled entries of the log table fall
    // inside cannot be read: it gets the evenly stepped labels of a linear axis, placed on its
    // log scale.
    constexpr int32_t kFewestLogLabels = 3;
    int32_t labels = 0;
    for (int32_t i = 0; i < 99; ++i) {
        const double v = logGridValue(i);
        labels += v >= Fxmin && v <= Fxmax && !logGridLabel(i).isEmpty() ? 1 : 0;
    }
    if (Fxlog && labels >= kFewestLogLabels)
        paintLogXaxis(p);
    else
        paintLinXaxis(p);
}

void TDiagramm::paintLinXaxis(QPainter& p)
{
    QFontMetrics fm(mFont);
    const int32_t dec0 = getXKommastellen(xteil);
    const int32_t lw = std::max(fm.horizontalAdvance(QString::number(Fxmin, 'f', dec0)),
                                fm.horizontalAdvance(QString::number(Fxmax, 'f', dec0)));
    const int32_t Q = std::max(1, (m_diareci.right() - m_diareci.left()) / std::max(1, 2 * lw));
    int32_t yko = 0;
    xteil = makSkal(yko, (Fxmax - Fxmin) / Q);
    const double off = FxScalOffset;
    const double t0 = std::trunc((Fxmin - off) / xteil) * xteil;
    const int32_t dec = getXKommastellen(xteil);
    const int32_t B = m_diareci.bottom();
    QString lastLabel;
    int32_t lastPix = 0;
    for (int32_t k = 0; k < kMaxTicks; ++k) {
        double t = t0 + k * xteil;
        if (t > Fxmax - off + xteil * 1e-9)
            break;
        if (std::fabs(t) < xteil * 1e-9)
            t = 0.0;
        const int32_t px = int32_t(std::lround(XtoPix(t + off)));
        if (px < m_diareci.left())
            continue; // a log scale does not clamp ticks below xmin to the edge
        const bool labelled = t >= Fxmin - off - xteil * 1e-9 && t + xteil <= Fxmax - off + xteil * 1e-9;
        if (px <= m_diareci.right()) {
            p.setPen(col(FColGrid));
            p.drawLine(px, m_diareci.top(), px, B);
            if (labelled) {
                p.setPen(col(FColtext));
                p.drawLine(px, B + 3, px, B + std::max(4, textHigh / 3));
            }
        }
        if (!labelled)
            continue;
        if (!lastLabel.isNull())
            p.drawText(QRect(lastPix - 2000, XAxYpos, 2000, textHigh), Qt::AlignRight | Qt::AlignTop, lastLabel);
        lastLabel = QString::number(t, 'f', dec);
        lastPix = px;
    }
    p.setPen(col(FColtext));
    if (!lastLabel.isNull())
        p.drawText(QRect(lastPix - 2000, XAxYpos, 2000, textHigh), Qt::AlignRight | Qt::AlignTop,
                   lastLabel + xEinH);
}

void TDiagramm::paintLogXaxis(QPainter& p)
{
    QFontMetrics fm(mFont);
    const int32_t B = m_diareci.bottom();
    for (int32_t i = logTextAnf; i < 99 && logGridValue(i) <= Fxmax * (1 + 1e-12); ++i) {
        const int32_t px = int32_t(std::lround(XtoPix(logGridValue(i))));
        if (px < m_diareci.left())
            continue;
        p.setPen(col(FColGrid));
        p.drawLine(px, m_diareci.top(), px, B);
        QString t = getLogText(i, xEinH);
        if (i == 98 || logGridValue(i + 1) > Fxmax * (1 + 1e-12))
            t += xEinH;
        if (t.isEmpty())
            continue;
        p.setPen(col(FColtext));
        p.drawLine(px, B + 3, px, B + std::max(4, textHigh / 3));
        const int32_t tw = fm.horizontalAdvance(t);
        const int32_t x = std::clamp(px - tw / 2, 0, std::max(0, m_w - tw - 1));
        p.drawText(QRect(x, XAxYpos, tw + 1, textHigh), Qt::AlignLeft | Qt::AlignTop, t);
    }
}

// ---- lines, curves, cursor, logo ---------------------------------------------------------

void TDiagramm::paintLines(QPainter& p)
{
    const int32_t T = m_diareci.top(), B = m_diareci.bottom();
    p.setPen(col(FColtext));
    p.drawLine(m_diareci.right(), T, m_diareci.right(), B);
    if (FRangeLines) {
        p.setPen(col(FColRangeL));
        p.drawLine(RangeLXPix, T, RangeLXPix, B);
        p.drawLine(RangeRXPix, T, RangeRXPix, B);
    }
    if (FExtraLine) {
        p.setPen(col(FcolExtraL));
        p.drawLine(ExtraLineXPix, T, ExtraLineXPix, B);
    }
}

QRect TDiagramm::curveClipRect() const
{
    return m_diareci.adjusted(0, -textHigh / 8 - 1, 0, textHigh / 8 + 1);
}

bool TDiagramm::curveDrawable(int32_t slot) const
{
    const Tcurve& c = aline[size_t(slot)];
    return c.Fcvis && c.ValidData && c.OriY.samples() > 0 && group(c.Cygroup) != nullptr
           && FirstD < pXdat.samples() - 1;
}

void TDiagramm::paintCurves(QPainter& p)
{
    preparefit2YaxisMode();
    p.setClipRect(curveClipRect());
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        m_clip[size_t(s)] = 0;
        if (!curveDrawable(s) || !prepareCurve(s))
            continue;
        const Tcurve& c = aline[size_t(s)];
        const TYAXgroup& g = aYgroup[size_t(c.Cygroup)];
        QPen pen(col(c.FColLine), std::max(1, c.FlineWidth), lineModeToPenStyle(c.FlineMode));
        p.setPen(pen);
        const int32_t ibeg = Finterpol ? c.FxIbeg : 0;
        const int32_t iend = Finterpol ? c.FxIend : pXdat.samples() - 1;
        m_clip[size_t(s)] = drawCurve(p, c, g, ibeg, iend);
        p.setPen(QPen(col(c.FColLine)));
        paintMarker(p, c, g);
    }
    p.setClipping(false);
}

namespace {

// Consecutive points that fall into one pixel column draw the same pixels as the column's
// first point, its highest and lowest point and its last point: the segments between them
// cover the same span of the column. So a long curve costs at most four points per column.
// The run keeps raw values; only those four are turned into pixels (the mapping is monotone).
struct TColumnRun {
    int32_t x = 0, count = 0;
    double first = 0.0, hi = 0.0, lo = 0.0, last = 0.0;

    void add(int32_t X, double v)
    {
        if (count == 0) {
            x = X;
            first = hi = lo = v;
        }
        hi = std::max(hi, v);
        lo = std::min(lo, v);
        last = v;
        ++count;
    }
};

void pushPoint(std::vector<QPoint>& out, int32_t x, int32_t y)
{
    const QPoint pt(x, y);
    if (out.empty() || out.back() != pt)
        out.push_back(pt);
}

// True when xs[a..b] never decreases and starts at or above 0 (so its zeros lead).
bool ascendingFrom(const double* xs, int32_t a, int32_t b)
{
    bool ok = xs[a] >= 0.0;
    int32_t i = a;
#if defined(__SSE2__)
    __m128d bad = _mm_setzero_pd(); // lanes where a pair does not ascend (or is not a number)
    for (; i + 2 <= b; i += 2)
        bad = _mm_or_pd(bad, _mm_cmpnle_pd(_mm_loadu_pd(xs + i), _mm_loadu_pd(xs + i + 1)));
    ok &= _mm_movemask_pd(bad) == 0;
#endif
    for (; i < b; ++i)
        ok &= xs[i] <= xs[i + 1];
    return ok;
}

// Lowest and highest value of y[a..b], ignoring values that are not numbers; +inf and -inf
// when there are none. anyNaN tells whether there were such values.
void rangeOf(const double* y, int32_t a, int32_t b, double& lo, double& hi, bool& anyNaN)
{
    int32_t i = a;
#if defined(__SSE2__)
    // minpd/maxpd return their second operand when the first is not a number.
    __m128d l0 = _mm_set1_pd(HUGE_VAL), l1 = l0, h0 = _mm_set1_pd(-HUGE_VAL), h1 = h0;
    __m128d nan = _mm_setzero_pd();
    for (; i + 3 <= b; i += 4) {
        const __m128d v0 = _mm_loadu_pd(y + i), v1 = _mm_loadu_pd(y + i + 2);
        l0 = _mm_min_pd(v0, l0);
        l1 = _mm_min_pd(v1, l1);
        h0 = _mm_max_pd(v0, h0);
        h1 = _mm_max_pd(v1, h1);
        nan = _mm_or_pd(nan, _mm_or_pd(_mm_cmpunord_pd(v0, v0), _mm_cmpunord_pd(v1, v1)));
    }
    double l[4], h[4];
    _mm_storeu_pd(l, l0);
    _mm_storeu_pd(l + 2, l1);
    _mm_storeu_pd(h, h0);
    _mm_storeu_pd(h + 2, h1);
    lo = std::min(std::min(l[0], l[1]), std::min(l[2], l[3]));
    hi = std::max(std::max(h[0], h[1]), std::max(h[2], h[3]));
    anyNaN = _mm_movemask_pd(nan) != 0;
#else
    lo = HUGE_VAL;
    hi = -HUGE_VAL;
    anyNaN = false;
#endif
    for (; i <= b; ++i) {
        if (y[i] == y[i]) {
            lo = std::min(lo, y[i]);
            hi = std::max(hi, y[i]);
        } else {
            anyNaN = true;
        }
    }
}

// The run of y[a..b] in column X; values that are not numbers count as nanAt.
TColumnRun columnRun(const double* y, int32_t a, int32_t b, int32_t X, double nanAt)
{
    TColumnRun r;
    bool anyNaN = false;
    rangeOf(y, a, b, r.lo, r.hi, anyNaN);
    if (anyNaN) {
        r.lo = std::min(r.lo, nanAt);
        r.hi = std::max(r.hi, nanAt);
    }
    r.x = X;
    r.count = b - a + 1;
    r.first = y[a] == y[a] ? y[a] : nanAt;
    r.last = y[b] == y[b] ? y[b] : nanAt;
    return r;
}

// lround for |v| < 2^31, without the library call.
inline int32_t roundHalfAway(double v)
{
    const int32_t t = int32_t(v);
    const double f = v - double(t);
    return t + int32_t(f >= 0.5) - int32_t(f <= -0.5);
}

} // namespace

int32_t TDiagramm::columnOf(double x) const
{
    const int32_t L = m_diareci.left(), R = m_diareci.right();
    double xp;
    if (Fxlog)
        xp = (Fxmin != 0.0 && x > 0.0 && Fxmin > 0.0) ? L + std::log(x / Fxmin) * logSko : L;
    else
        xp = x < Fxmin ? L : x > Fxmax ? R : L + (x - Fxmin) * pixPfreq;
    return std::clamp(xp == xp ? roundHalfAway(std::clamp(xp, -1e7, 1e7)) : L, L, R - 1);
}

// Whether p draws on this diagram's image with an opaque, solid, one-pixel, aliased pen and
// no transformation: then a vertical line is exactly its pixels.
bool TDiagramm::thinSolidPen(const QPainter& p) const
{
    const QPen& pen = p.pen();
    return p.device() == &Bitm2 && pen.style() == Qt::SolidLine && pen.width() <= 1 && pen.color().alpha() == 255
           && !p.testRenderHint(QPainter::Antialiasing) && p.worldTransform().isIdentity()
           && p.compositionMode() == QPainter::CompositionMode_SourceOver && Bitm2.format() == QImage::Format_RGB32;
}

// The column spans of m_paint.spans, each from its top to its bottom row (inside the image).
void TDiagramm::fillColumnSpans(QRgb colour)
{
    const int32_t w = Bitm2.width(), h = Bitm2.height();
    const qsizetype stride = Bitm2.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(Bitm2.bits());
    for (const TColumnSpan& s : m_paint.spans) {
        if (s.x < 0 || s.x >= w)
            continue;
        const int32_t top = std::max(0, s.top), bottom = std::min(h - 1, s.bottom);
        for (int32_t y = top; y <= bottom; ++y)
            bits[y * stride + s.x] = colour;
    }
}

// The column of xs[k], remembering the last one asked: a column search ends by asking for the
// first sample of the next column, where the next search begins.
int32_t TDiagramm::TColumnMemo::operator()(int32_t k)
{
    if (k != index) {
        index = k;
        column = dia->columnOf(xs[k]);
    }
    return column;
}

// The last sample from i on (ascending x up to `last`) in the column of sample i. It looks
// where a column of `count` samples would end, and beside it, before searching: neighbouring
// columns hold nearly the same number of samples.
int32_t TDiagramm::lastInColumn(TColumnMemo& col, int32_t i, int32_t last, int32_t count)
{
    const int32_t X = col(i);
    int32_t good = i, bad = last + 1; // in the column, and the first known beyond it
    const int32_t guess = std::min(last, i + std::max(count, 1) - 1);
    if (guess > i) {
        if (col(guess) == X)
            good = guess;
        else
            bad = guess;
    }
    if (bad == last + 1) { // from good upwards: next to it first, then in growing steps
        int32_t step = 1;
        while (good + step <= last && col(good + step) == X) {
            good += step;
            step *= 2;
        }
        bad = std::min(last + 1, good + step);
    } else if (bad - 1 > good && col(bad - 1) == X) {
        good = bad - 1;
    }
    while (bad - good > 1) {
        const int32_t mid = good + (bad - good) / 2;
        if (col(mid) == X)
            good = mid;
        else
            bad = mid;
    }
    col(bad <= last ? bad : good); // asked last, so the next search starts remembered
    return good;
}

// The samples of each pixel column over grid indices a..b, leading zeros left out; null when
// the grid does not ascend there. For a sealed grid the answer is kept until the grid or the x
// mapping changes: the curves of a time diagram share one time axis, frame after frame.
const std::vector<TDiagramm::TColumnSamples>* TDiagramm::columnsOfGrid(int32_t a, int32_t b)
{
    TColumnKey key{pXdat.stamp(), a, b, m_diareci.left(), m_diareci.right(), Fxlog, Fxmin, Fxmax, logSko, pixPfreq};
    if (key.stamp != 0 && key == m_paint.columnKey)
        return m_paint.gridAscends ? &m_paint.columnSamples : nullptr;
    m_paint.columnKey = key;
    m_paint.columnSamples.clear();
    const double* xs = std::as_const(pXdat).smpoi();
    m_paint.gridAscends = ascendingFrom(xs, a, b);
    if (!m_paint.gridAscends)
        return nullptr;
    int32_t i = a;
    while (i <= b && xs[i] == 0.0)
        ++i;
    int32_t count = 1; // samples in the column before: the next one holds about as many
    TColumnMemo col{this, xs};
    while (i <= b) {
        const int32_t j = lastInColumn(col, i, b, count);
        m_paint.columnSamples.push_back({i, j, col(i)});
        count = j - i + 1;
        i = j + 1;
    }
    return &m_paint.columnSamples;
}

int32_t TDiagramm::drawCurve(QPainter& p, const Tcurve& c, const TYAXgroup& g, int32_t ibeg, int32_t iend)
{
    const int32_t last = std::min({iend, pXdat.samples() - 1, c.CpyY.samples() - 1});
    if (ibeg < 0 || ibeg > last)
        return 0;
    const int32_t L = m_diareci.left(), R = m_diareci.right(), T = m_diareci.top(), B = m_diareci.bottom();
    const int32_t below = B + textHigh / 8, above = T - textHigh / 8;
    const double* xs = std::as_const(pXdat).smpoi();
    const double* ys = c.CpyY.smpoi();
    m_paint.points.clear();
    m_paint.points.reserve(size_t(std::min(last - ibeg + 1, 4 * (R - L + 2))));
    int32_t bits = 0;
    auto pix = [&](double v) { // the pixel row of a value, clipped just beyond the plot
        int32_t Y = valueToPix(v, g);
        if (Y > B) {
            Y = below;
            bits |= 4;
        } else if (Y < T) {
            Y = above;
            bits |= 2;
        }
        return Y;
    };
    // A thin solid line: each column's span is set in the image directly and the poly-line
    // only joins the columns (first and last point of each), which is most of Qt's work saved.
    const bool spans = bDrawPolyLine && thinSolidPen(p);
    m_paint.spans.clear();
    auto flush = [&](const TColumnRun& r) {
        const int32_t a = pix(r.hi), b = pix(r.lo);
        pushPoint(m_paint.points, r.x, pix(r.first));
        if (spans) {
            m_paint.spans.push_back({r.x, std::min(a, b), std::max(a, b)});
        } else {
            pushPoint(m_paint.points, r.x, std::min(a, b));
            pushPoint(m_paint.points, r.x, std::max(a, b));
        }
        pushPoint(m_paint.points, r.x, pix(r.last));
    };
    // A value that is not a number is drawn where the axis minimum is (as the pixel maps do).
    const double nanAt = g.FyScalog ? (g.Fymin <= 0 ? 0.0001 : g.Fymin) : g.Fymin;
    if (const std::vector<TColumnSamples>* columns = columnsOfGrid(ibeg, last)) {
        // Each column's samples are known (found by search), only their values are scanned.
        for (const TColumnSamples& r : *columns)
            flush(columnRun(ys, r.first, r.last, r.column, nanAt));
    } else {
        TColumnRun run;
        for (int32_t i = ibeg; i <= last; ++i) {
            if (xs[i] == 0.0)
                continue;
            const int32_t X = columnOf(xs[i]);
            if (run.count > 0 && X != run.x) {
                flush(run);
                run.count = 0;
            }
            run.add(X, ys[i] == ys[i] ? ys[i] : nanAt);
        }
        if (run.count > 0)
            flush(run);
    }
    if (spans)
        fillColumnSpans(p.pen().color().rgb());
    markCurve(spans);
    const int32_t n = int32_t(m_paint.points.size());
    if (bDrawPolyLine) {
        for (int32_t s = 0; s < n - 1; s += kPolyChunk - 1)
            p.drawPolyline(m_paint.points.data() + s, std::min(kPolyChunk, n - s));
        if (n == 1)
            p.drawPoint(m_paint.points[0]);
        return bits;
    }
    // Bezier runs: the point count reduced to 3k + 1.
    const int32_t m = n >= 4 ? (n - 1) / 3 * 3 + 1 : n;
    QPainterPath path;
    if (m > 0)
        path.moveTo(m_paint.points[0]);
    for (int32_t i = 1; i + 2 < m; i += 3)
        path.cubicTo(m_paint.points[size_t(i)], m_paint.points[size_t(i + 1)], m_paint.points[size_t(i + 2)]);
    for (int32_t i = std::max(1, m); i < n; ++i)
        path.lineTo(m_paint.points[size_t(i)]);
    p.drawPath(path);
    return bits;
}

// Marks the cells a curve's drawing touches. A thin solid poly-line sets its column spans and
// joins the columns by segments, each inside its end points' box with a pixel to spare (for
// Qt's caps and joins); any other pen or a Bezier run may reach the whole curve area. Per
// column of cells the rows from the highest to the lowest of them are marked: where the curve
// runs through a column of cells once, it covers the rows between.
void TDiagramm::markCurve(bool spans)
{
    if (!spans) {
        m_paint.curveCells.mark(curveClipRect());
        return;
    }
    const int32_t w = m_paint.curveCells.width(), cw = TPaintCells::kCellW;
    const size_t cols = size_t((w + cw - 1) / cw);
    if (cols == 0)
        return;
    m_paint.markTop.assign(cols, INT32_MAX);
    m_paint.markBottom.assign(cols, INT32_MIN);
    auto add = [&](int32_t x0, int32_t x1, int32_t top, int32_t bottom) {
        if (x1 < 0 || x0 >= w)
            return; // beside the image
        const int32_t c0 = std::max(x0, 0) / cw, c1 = std::min(x1, w - 1) / cw;
        for (int32_t c = c0; c <= c1; ++c) {
            m_paint.markTop[size_t(c)] = std::min(m_paint.markTop[size_t(c)], top);
            m_paint.markBottom[size_t(c)] = std::max(m_paint.markBottom[size_t(c)], bottom);
        }
    };
    for (const TColumnSpan& s : m_paint.spans)
        add(s.x, s.x, s.top, s.bottom);
    for (size_t i = 0; i + 1 < m_paint.points.size(); ++i) {
        const QPoint a = m_paint.points[i], b = m_paint.points[i + 1];
        add(std::min(a.x(), b.x()) - 1, std::max(a.x(), b.x()) + 1, std::min(a.y(), b.y()) - 1,
            std::max(a.y(), b.y()) + 1);
    }
    if (m_paint.points.size() == 1)
        add(m_paint.points[0].x() - 1, m_paint.points[0].x() + 1, m_paint.points[0].y() - 1, m_paint.points[0].y() + 1);
    for (size_t c = 0; c < cols; ++c)
        if (m_paint.markTop[c] <= m_paint.markBottom[c])
            m_paint.curveCells.mark(QRect(int32_t(c) * cw, m_paint.markTop[c], cw, m_paint.markBottom[c] - m_paint.markTop[c] + 1));
}

void TDiagramm::paintMarker(QPainter& p, const Tcurve& c, const TYAXgroup& g)
{
    if (c.MarkPat != 1)
        return;
    const int32_t x = int32_t(std::lround(std::clamp(XtoPix(c.MarkerP.x), -1e6, 1e6)));
    const int32_t y = valueToPix(c.MarkerP.y, g);
    m_paint.curveCells.mark(QRect(x - 5, y - 5, 11, 11));
    p.drawLine(x - 4, y - 4, x + 4, y + 4);
    p.drawLine(x - 4, y + 4, x + 4, y - 4);
}

void TDiagramm::paintCursor(QPainter& p)
{
    if (!cursorShown())
        return;
    if (dispVar == kCursorCross) {
        paintCrosshair(p);
        return;
    }
    const QRect& r = m_diareci;
    p.setPen(col(FColCur));
    if (dispVar == 1)
        p.drawLine(curposXn, r.top(), curposXn, r.bottom());
    else if (dispVar == 2) {
        p.drawLine(r.left(), curposY, r.right(), curposY);
        p.drawLine(r.left(), curposYn, r.right(), curposYn);
    } else
        p.drawLine(curposX, curposY, curposXn, curposYn);
    const QString& t = dispVar == 2 ? Ytext : Xtext;
    const int32_t dy = dispVar == 2 ? 2 : 1;
    p.drawText(QRect(m_mouseX - 2 - 2000, m_mouseY + dy, 2000, textHigh), Qt::AlignRight | Qt::AlignTop, t);
}

// The diagram font, bold, italic and half as large again.
QFont TDiagramm::logoFont() const
{
    QFont f = mFont;
    f.setBold(true);
    f.setItalic(true);
    f.setPointSizeF(f.pointSizeF() * 1.5);
    return f;
}

int32_t TDiagramm::logoWidth() const
{
    return guiAvailable() ? m_paint.logoMetrics.advance(logoFont(), logoText()) : 0;
}

// The logo's text: the stored one ends in a blank, trimmed so the version follows after one space.
QString TDiagramm::logoText() const
{
    const vlVersion v = vlProgramVersion();
    return Flogo.trimmed() + " V" + QString("%1.%2").arg(v.major).arg(v.minor);
}

// Whether the logo goes with the kept axes: nothing a repaint draws can reach it (no cursor,
// and it lies clear of the curves), so drawing it before the curves changes no pixel.
bool TDiagramm::logoWithAxes() const
{
    return !FDia2Up && !cursorShown() && !logoPlace().intersects(curveClipRect());
}

void TDiagramm::paintLogoText(QPainter& p)
{
    p.save();
    p.setClipRect(logoPlace());
    p.setFont(logoFont());
    p.setPen(QGuiApplication::palette().color(QPalette::Highlight));
    m_paint.logoStamp.draw(p, logoRect(), Qt::AlignRight | Qt::AlignBottom, logoText());
    p.restore();
}

// The fixed caption's font: the diagram font at 7 points, upright and regular.
QFont TDiagramm::captionFont() const
{
    QFont small = mFont;
    small.setPointSize(7);
    small.setBold(false);
    small.setItalic(false);
    return small;
}

// Where the fixed caption is drawn, at the plot's lower right.
QRect TDiagramm::captionRect() const
{
    const int32_t sh = guiAvailable() ? m_paint.captionMetrics.of(captionFont()).height : 0;
    return QRect(m_diareci.left(), m_diareci.bottom() - 14 - sh / 2, m_diareci.width() - 6, sh);
}

// The caption's place with a few pixels to spare for its glyphs; it is drawn clipped to it.
QRect TDiagramm::captionPlace() const
{
    return captionRect().adjusted(0, -2, 2, 2).intersected(Bitm2.rect());
}

// Whether this paint drew nothing at `place` but the kept axes: no curve, line or cursor.
bool TDiagramm::captionOverAxesOnly(const QRect& place) const
{
    if (cursorShown() || m_paint.curveCells.touches(place))
        return false;
    auto crosses = [&](int32_t x) { return x >= place.left() && x <= place.right(); };
    if (FRangeLines && (crosses(RangeLXPix) || crosses(RangeRXPix)))
        return false;
    return !(FExtraLine && crosses(ExtraLineXPix)) && !crosses(m_diareci.right());
}

void TDiagramm::paintCaption(QPainter& p)
{
    p.save();
    p.setClipRect(captionPlace());
    p.setFont(captionFont());
    p.setPen(col(0x808080));
    m_paint.captionStamp.draw(p, captionRect(), Qt::AlignRight | Qt::AlignVCenter, fixedCaption());
    p.restore();
}

void TDiagramm::paintLogo(QPainter& p)
{
    if (!logoWithAxes())
        paintLogoText(p);
    // Over the kept axes alone the caption looks the same every frame: copied, not drawn.
    const QRect place = captionPlace();
    if (place.isEmpty() || m_paint.staticImage.size() != Bitm2.size() || !captionOverAxesOnly(place)) {
        paintCaption(p);
        return;
    }
    if (m_paint.captionPatchOf != m_paint.staticMade || m_paint.captionPatchPlace != place) {
        m_paint.captionPatch = m_paint.staticImage.copy(place);
        QPainter q(&m_paint.captionPatch);
        q.translate(-place.topLeft());
        q.setBackgroundMode(Qt::TransparentMode);
        paintCaption(q);
        m_paint.captionPatchOf = m_paint.staticMade;
        m_paint.captionPatchPlace = place;
    }
    copyPixels(Bitm2, place.topLeft(), m_paint.captionPatch, m_paint.captionPatch.rect());
}
