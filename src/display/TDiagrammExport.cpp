// TDiagramm: the diagram as text (x column plus one column per selected curve) and its file.
//
// Rows: with OriSizeLines the original points of the first selected curve inside xmin..xmax;
// with Dia2Up every grid point; otherwise FTlines rows spread over the x span where the
// selected curves have data, taken from a temporary layout FTlines*10 columns wide. Each of
// those rows stands for its ~10 columns and takes the one where the first exported curve is
// largest (the others at the same column): a single column per row would drop a narrow tone.
#include "display/TDiagramm.h"

#include "base/utils.h"
#include "display/TTextFile.h"

#include <algorithm>

namespace {
constexpr int32_t kMinRows = 3;    // fewest export rows
constexpr int32_t kMaxRows = 4000; // most export rows
} // namespace

QString TDiagramm::exportLine(double x, const std::vector<const Tcurve*>& cs, int32_t idx, bool ori,
                              const QString& fmt, const QString& dec, QChar sep) const
{
    auto num = [&](double v) {
        QString s = QString::asprintf(fmt.toLatin1().constData(), v);
        return dec == "." ? s : s.replace('.', dec);
    };
    QString line = num(x);
    for (const Tcurve* c : cs)
        line += sep + num((ori ? c->OriY : c->CpyY).getsmAr(idx));
    return line + "\r\n";
}

// First and last grid x covered by a selected curve with data; false when there is none.
bool TDiagramm::exportSpan(double& xlo, double& xhi) const
{
    bool any = false;
    for (const Tcurve& c : aline) {
        if (!c.Fsel || !c.ValidData || c.FxIbeg > c.FxIend)
            continue;
        const double a = pXdat.getsmAr(c.FxIbeg), b = pXdat.getsmAr(c.FxIend);
        xlo = any ? std::min(xlo, a) : a;
        xhi = any ? std::max(xhi, b) : b;
        any = true;
    }
    return any && xhi > xlo;
}

// Grid column of export row g where c is largest: the row spans from its own first column to
// the next row's (the last row to the grid's end).
int32_t TDiagramm::peakColumnOfRow(const Tcurve& c, int32_t g) const
{
    const int32_t n = std::min(pXdat.samples(), c.CpyY.samples());
    const int32_t a = firstColumnOfRow(g);
    const int32_t b = g + 1 < FTlines ? std::min(firstColumnOfRow(g + 1), n) : n;
    int32_t best = a;
    for (int32_t i = a + 1; i < b; ++i)
        if (c.CpyY.getsmAr(i) > c.CpyY.getsmAr(best))
            best = i;
    return best;
}

QString TDiagramm::getLastDiagrammText(int32_t, QChar sep)
{
    FTlines = std::clamp(FTlines, kMinRows, kMaxRows);
    vlRefreshExportDecimalSeparator();
    const QString dec = vlExportDecimalSeparator();
    const QString fmt = QString("%%1.%2f").arg(FPrec).arg(FDigits);
    std::vector<const Tcurve*> cs;
    for (const Tcurve& c : aline)
        if (c.Fsel && c.ValidData)
            cs.push_back(&c);
    QString out;
    if (OriSizeLines) {
        if (cs.empty())
            return out;
        const Tsamplemem& xs = cs.front()->xaxis;
        for (int32_t i = 0; i < xs.samples(); ++i)
            if (xs.getsmAr(i) >= Fxmin && xs.getsmAr(i) <= Fxmax)
                out += exportLine(xs.getsmAr(i), cs, i, true, fmt, dec, sep);
        return out;
    }
    preparefit2YaxisMode();
    for (int32_t s = 0; s < kDiaCurves; ++s)
        if (aline[size_t(s)].Fsel && aline[size_t(s)].ValidData && Finterpol)
            prepareCurve(s);
    if (FDia2Up) {
        for (int32_t i = 0; i < pXdat.samples(); ++i)
            out += exportLine(pXdat.getsmAr(i), cs, i, false, fmt, dec, sep);
        return out;
    }
    const double oldMin = Fxmin, oldMax = Fxmax;
    const int32_t oldW = m_w, oldH = m_h;
    double lo = Fxmin, hi = Fxmax;
    if (exportSpan(lo, hi)) {
        Fxmin = lo;
        Fxmax = hi;
    }
    const bool ok = computeLayout(FTlines * 10 + lrand + rrand + 1, 0, m_h);
    if (ok) {
        preparefit2YaxisMode();
        for (int32_t s = 0; s < kDiaCurves; ++s)
            if (aline[size_t(s)].Fsel && aline[size_t(s)].ValidData && Finterpol)
                prepareCurve(s);
        for (int32_t g = 0; g < FTlines; ++g) {
            const int32_t i = cs.empty() ? firstColumnOfRow(g) : peakColumnOfRow(*cs.front(), g);
            out += exportLine(pXdat.getsmAr(i), cs, i, false, fmt, dec, sep);
        }
    }
    Fxmin = oldMin;
    Fxmax = oldMax;
    newsize(oldW, -1, oldH);
    return out;
}

bool TDiagramm::saveasText(const QString& fname, QChar sep, QString* error)
{
    const QString text = getLastDiagrammText(0, sep);
    try {
        TTextFile f;
        f.open(fname, TTextFile::modeRewrite);
        const QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
        for (const QString& l : lines)
            f.writeLine(l);
        f.close();
    } catch (const EDiskIO& e) {
        if (error)
            *error = e.message();
        return false;
    }
    return true;
}
