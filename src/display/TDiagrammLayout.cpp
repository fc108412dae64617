// TDiagramm: layout (margins, label columns, widget places), scaling, x grid and coordinates.
#include "display/TDiagramm.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kYButtonW = 28;  // width of a y up/down button pair, pixels
constexpr int32_t kXButtonW = 30;  // width of an x scroll button pair, pixels
constexpr int32_t kMaxLayoutW = 1 << 20; // widest layout accepted (export layouts included)

// Pixel count of a double that may be huge or NaN: rounded and kept in a sane int range.
int32_t safeRound(double v)
{
    if (!(v == v))
        return 0;
    return int32_t(std::lround(std::clamp(v, -1e7, 1e7)));
}

// Whether `step` written with `decimals` decimals is the step itself.
bool showsExactly(double step, int32_t decimals)
{
    const double scaled = step * std::pow(10.0, decimals);
    return std::fabs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, std::fabs(scaled));
}

// Label decimals of a group: at least those of its step's row, more when the step needs them
// (a full-scale axis divided into 8 gets 0.25, which one decimal would show as 0.3).
void fitDecimals(TYAXgroup& g)
{
    while (g.Fyko < 6 && !showsExactly(g.Fyteil, g.Fyko))
        ++g.Fyko;
}

// Divisions of a symmetric full-scale axis with room for `a`: an even count, so that 0 is a
// grid line, and the largest one whose step its labels show exactly with at most one decimal
// more than the step's row gives. How many divisions fit depends on the font's height; the
// labels of whatever count fits must still read true: 2 split into 6 would be 0.333333 (or a
// misleading 0.3), so it is split into 4.
int32_t fullScaleDivisions(double range, int32_t a)
{
    const int32_t most = std::max(2, a - a % 2);
    for (int32_t d = most; d > 2; d -= 2) {
        TYAXgroup probe;
        probe.setYteil(range / d);
        if (showsExactly(probe.Fyteil, probe.Fyko + 1))
            return d;
    }
    return 2;
}

} // namespace

// Fonts can only be measured and drawn once a QGuiApplication exists; a diagram made before
// (or in a program without one) lays out with fixed metrics and paints no text.
bool TDiagramm::guiAvailable()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void TDiagramm::newsize(int32_t w, int32_t doBits, int32_t h)
{
    w = std::clamp(w, 1, kMaxLayoutW);
    h = std::clamp(h, 1, kMaxLayoutW);
    const bool ok = computeLayout(w, doBits, h);
    if (Bitm2.width() != w || Bitm2.height() != h) {
        Bitm2 = QImage(w, h, QImage::Format_RGB32);
        m_paint.outsideIsStatic = false;
    }
    if (!ok) {
        Bitm2.fill(bgrToQColor(FColmargin));
        m_paint.outsideIsStatic = false;
        m_changed = QRegion(Bitm2.rect());
        if (OnRepainted)
            OnRepainted();
        return;
    }
    repaintOnly();
}

bool TDiagramm::computeLayout(int32_t w, int32_t doBits, int32_t h)
{
    m_w = w;
    m_h = h;
    if (guiAvailable()) {
        const TTextMetrics& m = m_paint.metrics.of(mFont);
        textHigh = m.height;
        charwidth = m.digitWidth;
    } else {
        textHigh = 13;
        charwidth = 7;
    }
    NewSizes = (NewSizes + 1) % 32768;
    orand = FDia2Up ? textHigh / 2 + 1 : 5 * textHigh / 2;
    urand = FDia2Up ? 3 * textHigh / 2 + 26 : anaResultHei + 3 * textHigh / 2;
    rrand = int32_t(std::lround(2.5 * charwidth));
    m_laidOut = false;
    if (w - rrand < lrand + 4)
        return false;
    m_diareci = QRect(QPoint(lrand, orand), QPoint(w - rrand, h - urand));
    XAxYpos = m_diareci.bottom() + textHigh / 2;
    if (doBits != 0)
        layoutYaxes();
    if (m_diareci.right() - m_diareci.left() < 1 || m_diareci.bottom() < m_diareci.top())
        return false;
    computeScaling();
    if (Finterpol)
        makeXaxis(m_diareci.right() - m_diareci.left());
    PixXPdat = pXdat.samples() > 0 ? double(m_diareci.width() - 1) / pXdat.samples() : 1.0;
    placeWidgetRects();
    m_laidOut = true;
    return true;
}

QString TDiagramm::yLabelText(const TYAXgroup& g, double v) const
{
    return QString::asprintf("%*.*f", 1, g.Fyko, v * g.FyfakStat + g.FyoffStat);
}

// Nearest non-empty log-table label at or below v ("1234" when none).
static QString nearestLogLabel(double v)
{
    for (int32_t i = 98; i >= 0; --i)
        if (TDiagramm::logGridValue(i) <= v * (1 + 1e-12) && !TDiagramm::logGridLabel(i).isEmpty())
            return TDiagramm::logGridLabel(i);
    return QStringLiteral("1234");
}

int32_t TDiagramm::yColumnWidth(const TYAXgroup& g) const
{
    if (!guiAvailable())
        return 38;
    QString top, bottom;
    if (g.FyScalog) {
        top = nearestLogLabel(g.Fymax);
        bottom = nearestLogLabel(g.Fymin);
    } else {
        top = yLabelText(g, g.Fymax);
        bottom = yLabelText(g, g.Fymin);
    }
    int32_t wdt = std::max(m_paint.metrics.advance(mFont, top), m_paint.metrics.advance(mFont, bottom));
    wdt = std::max(wdt, m_paint.metrics.advance(mFont, g.fEinh) + charwidth);
    return std::max(wdt, 30) + 8;
}

void TDiagramm::layoutYaxes()
{
    const int32_t plotH = m_diareci.bottom() - m_diareci.top();
    const int32_t a = std::max(1, plotH / std::max(1, textHigh * 4 / 3));
    for (TYAXgroup& g : aYgroup)
        g.Fyaxisvis = false;
    for (int32_t s = kDiaCurves - 1; s >= 0; --s) {
        const Tcurve& c = aline[size_t(s)];
        if (TYAXgroup* g = group(c.Cygroup)) {
            g->Fyaxisvis = true;
            g->Fcolor = c.FColLine; // the lowest slot is assigned last
        }
    }
    int32_t left = 0;
    for (int32_t gi = kDiaCurves - 1; gi >= 0; --gi) {
        TYAXgroup& g = aYgroup[size_t(gi)];
        g.SButUpper.visible = g.SButLower.visible = false;
        if (!g.Fyaxisvis)
            continue;
        const double range = g.Fymax - g.Fymin;
        const bool fullScale = std::fabs(g.Fymax) == std::fabs(g.Fymin) && range <= 2 && g.fEinh == "FS";
        if (fullScale) {
            if (Fystepauto && range > 0)
                g.setYteil(range / fullScaleDivisions(range, a));
        } else if (Fystepauto) {
            int32_t yko = 0;
            g.setYteil(makSkal(yko, range / a));
        }
        fitDecimals(g);
        m_colLeft[size_t(gi)] = left;
        left += yColumnWidth(g);
        g.xpos = left;
        g.GPixYPdat = range != 0.0 ? plotH / range : 1.0;
    }
    lrand = left;
    m_diareci.setLeft(lrand);
}

void TDiagramm::placeWidgetRects()
{
    const QRect& r = m_diareci;
    const int32_t bh = std::max(12, textHigh);
    for (TYAXgroup& g : aYgroup) {
        const bool vis = g.Fyaxisvis;
        g.SButUpper = TDiaButton{g.xpos - 30, std::max(0, r.top() - bh - 2), kYButtonW, bh,
                                 vis && !FDia2Up, !FDia2Up, g.FGroup};
        g.SButLower = TDiaButton{g.xpos - 30, r.bottom() + 3 * textHigh / 2 + 2, kYButtonW, bh, vis, true, g.FGroup};
    }
    const int32_t eh = textHigh + 4;
    const int32_t remLeft = r.left() + 10;
    const int32_t remRight = r.right() - (FDia2Up ? 0 : logoWidth() + 16);
    if (FDia2Up || 2 * eh >= m_h || remRight - remLeft < 20)
        m_remRect = QRect();
    else
        m_remRect = QRect(remLeft, std::max(0, (orand - eh) / 2), remRight - remLeft, eh);
    const int32_t by = XAxYpos + textHigh;
    const bool showX = m_h > 52 && m_w > 30;
    m_lfRect = showX ? QRect(r.left(), by, kXButtonW, bh) : QRect();
    m_hfRect = showX ? QRect(r.right() - kXButtonW + 1, by, kXButtonW, bh) : QRect();
    const int32_t legLeft = r.left() + kXButtonW + 8;
    const int32_t legRight = m_hfRect.isEmpty() ? m_w : m_hfRect.left() - 8; // first pixel beyond it
    m_legFit = legRight - legLeft;
    Rem3.fitWidth(m_legFit);
    const QSize ls = Rem3.size();
    m_legSize = ls;
    // Even at its smallest font a legend may be too wide: what does not fit is cut off.
    m_legRect = QRect(legLeft, by, ls.width(), ls.height()) & QRect(0, 0, legRight, m_h);
}

void TDiagramm::computeScaling()
{
    const double span = m_diareci.right() - m_diareci.left();
    const double dx = Fxmax - Fxmin;
    pixPfreq = dx != 0.0 && std::isfinite(span / dx) ? span / dx : 1.0;
    const double lr = Fxmin > 0 && Fxmax > 0 ? std::log(Fxmax / Fxmin) : 0.0;
    logSko = lr != 0.0 && std::isfinite(span / lr) ? span / lr : 1.0;
    const double plotH = m_diareci.bottom() - m_diareci.top();
    for (TYAXgroup& g : aYgroup) {
        const double range = g.Fymax - g.Fymin;
        g.GPixYPdat = range != 0.0 && std::isfinite(plotH / range) ? plotH / range : 1.0;
    }
    for (Tcurve& c : aline)
        if (const TYAXgroup* g = group(c.Cygroup))
            c.PixYPdat = g->GPixYPdat;
    logTextAnf = 0;
    for (int32_t i = 0; i < 98; ++i)
        if (Fxmin > logGridValue(i) && Fxmin <= logGridValue(i + 1)) {
            logTextAnf = i + 1;
            break;
        }
    RangeLXPix = safeRound(XtoPix(RangeLX));
    RangeRXPix = safeRound(XtoPix(RangeRX));
    ExtraLineXPix = safeRound(XtoPix(ExtraLineX));
}

void TDiagramm::makeXaxis(int32_t w)
{
    const int32_t points = std::max(1, w);
    const TXGridKey key{points, Fxmin, Fxmax, Fxlog};
    if (m_xGridKey == key && pXdat.samples() == points)
        return; // the grid of these very values is already there
    m_xGridKey = key;
    if (pXdat.samples() != points)
        pXdat = Tsamplemem(points);
    double* x = pXdat.smpoi();
    const bool lg = Fxlog && Fxmin > 0 && Fxmax > 0;
    const double lmin = lg ? std::log(Fxmin) : 0.0;
    const double lstep = lg && points > 1 ? std::log(Fxmax / Fxmin) / (points - 1) : 0.0;
    const double step = points > 1 ? (Fxmax - Fxmin) / (points - 1) : 0.0;
    for (int32_t i = 0; i < points; ++i)
        x[i] = lg ? std::exp(lmin + i * lstep) : Fxmin + step * i;
    pXdat.seal(); // its column searches are then kept until the next grid
}

void TDiagramm::paintNew(bool dob)
{
    newsize(m_w, dob ? -1 : 0, m_h);
}

void TDiagramm::refreshX_()
{
    newsize(m_w, 3, m_h);
}

// ---- coordinates -------------------------------------------------------------------------

double TDiagramm::XtoPix(double x) const
{
    const double L = m_diareci.left();
    if (Fxlog) {
        if (Fxmin != 0.0 && x > 0.0 && Fxmin > 0.0)
            return L + std::log(x / Fxmin) * logSko;
        return L;
    }
    if (x < Fxmin)
        return L;
    if (x > Fxmax)
        return m_diareci.right();
    return L + (x - Fxmin) * pixPfreq;
}

double TDiagramm::PixToX(double px) const
{
    const double L = m_diareci.left();
    if (Fxlog)
        return Fxmin * std::exp((px - L) / logSko);
    return Fxmin + (px - L) / pixPfreq;
}

int32_t TDiagramm::YtoPix(double v, const TYAXgroup& g) const
{
    return m_diareci.bottom() - safeRound((v - g.Fymin) * g.GPixYPdat);
}

int32_t TDiagramm::LogYtoPix(double ymax, double ymin, double v) const
{
    const int32_t B = m_diareci.bottom();
    if (ymin <= 0)
        ymin = 0.0001;
    if (!(ymin <= v))
        return B;
    const double r = (B - m_diareci.top()) * std::log10(v / ymin) / std::log10(ymax / ymin);
    if (!std::isfinite(r))
        return B;
    return B - safeRound(r);
}

QRect TDiagramm::remEditRect() const { return m_laidOut ? m_remRect : QRect(); }
QRect TDiagramm::scrollLFRect() const { return m_laidOut ? m_lfRect : QRect(); }
QRect TDiagramm::scrollHFRect() const { return m_laidOut ? m_hfRect : QRect(); }
QRect TDiagramm::legendRect() const { return m_laidOut ? m_legRect : QRect(); }
