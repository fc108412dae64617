// TDiagramm: construction, properties, curve access and the scale tables.
#include "display/TDiagramm.h"

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

std::atomic<int32_t> s_diaCounter{0}; // process-wide creation counter (DiaNummer)

// Default colours of the user slots 0..7 (slots 8..11 black), 0x00BBGGRR.
constexpr TColorBGR kSlotColours[kDiaUserCurves] = {0xFF0000, 0xFF,   0x8000, 0xFF00FF,
                                                    0x808000, 0x80,   0x8080, 0x800080};

// The grid step ladder: step and label decimals, ascending.
struct SkalStep {
    double step;
    int32_t decimals;
};
constexpr SkalStep kSkalLadder[] = {
    {1e-8, 8},   {2e-8, 8},   {5e-8, 8},   {1e-7, 8},   {2e-7, 7},   {5e-7, 7},   {1e-6, 7},
    {2e-6, 6},   {5e-6, 6},   {1e-5, 6},   {2e-5, 5},   {5e-5, 5},   {1e-4, 5},   {2e-4, 4},
    {5e-4, 4},   {0.001, 4},  {0.002, 3},  {0.005, 3},  {0.01, 2},   {0.02, 2},   {0.05, 2},
    {0.1, 2},    {0.2, 1},    {0.5, 1},    {1, 1},      {2, 0},      {5, 0},      {10, 0},
    {20, 0},     {50, 0},     {100, 0},    {200, 0},    {500, 0},    {1000, 0},   {2000, 0},
    {5000, 0},   {10000, 0},  {20000, 0},  {50000, 0},  {100000, 0}, {200000, 0}, {500000, 0},
    {1000000, 0}, {2000000, 0}, {5000000, 0}};

constexpr int32_t kLogTableSize = 99; // 1..9 x 10^k, k = -4..6

} // namespace

TDiagramm::TDiagramm() : DiaNummer(++s_diaCounter)
{
    // The family as named; Qt's font matching (fontconfig's aliases) turns it into what the
    // machine has, usually a face with Arial's widths (Liberation Sans, Nimbus Sans), else its
    // sans face. No style hint: it makes the matching prefer the generic sans face over those.
    // Layout and repaints hold for whatever face comes out.
    mFont = QFont("Arial", 8);
    Rem3.setFontSize(8);
    for (int32_t i = 0; i < kDiaCurves; ++i) {
        Tcurve& c = aline[size_t(i)];
        c.line = i;
        c.FColLine = i < kDiaUserCurves ? kSlotColours[i] : 0;
        c.Fspez = i >= 9 ? 1 : 0;
        TYAXgroup& g = aYgroup[size_t(i)];
        g = TYAXgroup(i);
    }
    newsize(m_w, -1, m_h);
}

TDiagramm::~TDiagramm() = default;

Tcurve* TDiagramm::curve(int32_t slot)
{
    return slot >= 0 && slot < kDiaCurves ? &aline[size_t(slot)] : nullptr;
}

const Tcurve* TDiagramm::curve(int32_t slot) const
{
    return slot >= 0 && slot < kDiaCurves ? &aline[size_t(slot)] : nullptr;
}

TYAXgroup* TDiagramm::group(int32_t g)
{
    return g >= 0 && g < kDiaCurves ? &aYgroup[size_t(g)] : nullptr;
}

const TYAXgroup* TDiagramm::group(int32_t g) const
{
    return g >= 0 && g < kDiaCurves ? &aYgroup[size_t(g)] : nullptr;
}

int32_t TDiagramm::clipBits(int32_t slot) const
{
    return slot >= 0 && slot < kDiaCurves ? m_clip[size_t(slot)] : 0;
}

// ---- properties --------------------------------------------------------------------------

void TDiagramm::changed()
{
    if (FpaintDia)
        newsize(m_w, -1, m_h);
}

void TDiagramm::setX_min(double v)
{
    limitsSetExplicitly();
    if (OnXminClick)
        OnXminClick(v);
    Fxmin = v;
    changed();
}

void TDiagramm::setX_max(double v)
{
    limitsSetExplicitly();
    if (OnXmaxClick)
        OnXmaxClick(v);
    Fxmax = v;
    changed();
}

void TDiagramm::setX_minX_Max(double xmax, double xmin)
{
    limitsSetExplicitly();
    if (OnXminClick)
        OnXminClick(xmin);
    if (OnXmaxClick)
        OnXmaxClick(xmax);
    Fxmin = xmin;
    Fxmax = xmax;
    changed();
}

double TDiagramm::Y1_max() const { return aYgroup[0].Fymax; }
double TDiagramm::Y1_min() const { return aYgroup[0].Fymin; }

void TDiagramm::setY1_max(double v)
{
    limitsSetExplicitly();
    aYgroup[0].Fymax = v;
    changed();
}

void TDiagramm::setY1_min(double v)
{
    limitsSetExplicitly();
    aYgroup[0].Fymin = v;
    changed();
}

void TDiagramm::setxScalOffset(double v) { FxScalOffset = v; changed(); }
void TDiagramm::setxSkalFaktor(double v) { FxSkalfak = v; changed(); }
void TDiagramm::setySkalFaktor(double v) { fySkalFaktor = v; changed(); }
void TDiagramm::setySkalOffset(double v) { fySkalOffset = v; changed(); }
void TDiagramm::setxEinheit(const QString& v) { xEinH = v; changed(); }

void TDiagramm::setxSkalalog(bool v)
{
    limitsSetExplicitly();
    Fxlog = v;
    xminSteps = v ? 10.0 : 1.0;
    xmaxSteps = v ? 500.0 : 1.0;
    changed();
}

void TDiagramm::setYaxisMode(int32_t v)
{
    if (v < 0 || v > 2)
        v = 0;
    FYaxisMode = enumYaxisMode(v);
    if (v == 0)
        for (TYAXgroup& g : aYgroup) {
            g.FyoffStat = 0.0;
            g.FyfakStat = 1.0;
        }
    changed();
}

void TDiagramm::setYstepAuto(bool v) { Fystepauto = v; changed(); }
void TDiagramm::setYDiaSteps(double v) { FyDiaSteps = v; changed(); }
void TDiagramm::setDia2Up(bool v) { FDia2Up = v; changed(); }
void TDiagramm::setRangeLines(bool v) { FRangeLines = v; changed(); }
void TDiagramm::setExtraLine(bool v) { FExtraLine = v; changed(); }
void TDiagramm::setsliding(bool v) { Fsliding = v; changed(); }
void TDiagramm::setaroundIps(bool v) { FaroundIps = v; changed(); }
void TDiagramm::setaroundMin(double v) { FaroundMin = v; changed(); }
void TDiagramm::setaroundMax(double v) { FaroundMax = v; changed(); }
void TDiagramm::setcomppink(bool v) { FcompPink = v; changed(); }
void TDiagramm::setinterpol(bool v) { Finterpol = v; changed(); }
void TDiagramm::setsaveOfirst(bool v) { FsaveOfirst = v; changed(); }

void TDiagramm::setpaintDia(bool v)
{
    FpaintDia = v;
    changed();
}

void TDiagramm::setFreq_m(bool v)
{
    Fmfreq = v;
    if (v)
        Fmpeg = Fmflan = m_cross.on = false;
    changed();
}

void TDiagramm::setLevel_m(bool v)
{
    Fmpeg = v;
    if (v)
        Fmfreq = Fmflan = m_cross.on = false;
    changed();
}

void TDiagramm::setFlanke_m(bool v)
{
    Fmflan = v;
    if (v)
        Fmfreq = Fmpeg = m_cross.on = false;
    changed();
}

void TDiagramm::setColor_Cursor(TColorBGR c) { FColCur = c; changed(); }
void TDiagramm::setColor_Diagram(TColorBGR c) { FColDia = c; changed(); }
void TDiagramm::setColor_Grid(TColorBGR c) { FColGrid = c; changed(); }
void TDiagramm::setColor_Margin(TColorBGR c) { FColmargin = c; changed(); }
void TDiagramm::setColor_Text(TColorBGR c) { FColtext = c; changed(); }
void TDiagramm::setColor_Logo(TColorBGR c) { FCollogo = c; changed(); }
void TDiagramm::setColor_RangeL(TColorBGR c) { FColRangeL = c; changed(); }
void TDiagramm::setColor_ExtraL(TColorBGR c) { FcolExtraL = c; changed(); }
void TDiagramm::setRem_1(const QString& s) { Frem1 = s; changed(); }
void TDiagramm::setlogo(const QString& s) { Flogo = s; changed(); }
void TDiagramm::setcurXval_ms(double v) { FcurXval = v; changed(); }

void TDiagramm::setFont(const QFont& f)
{
    mFont = f;
    changed();
}

void TDiagramm::setXaxis(const Tsamplemem& x)
{
    pXdat = x;
    m_xGridKey.reset();
    changed();
}

// ---- curve access ------------------------------------------------------------------------

void TDiagramm::setcvis(bool c1, bool setit, int32_t ind)
{
    if (Tcurve* c = curve(ind)) {
        c->Fcvis = c1;
        if (setit)
            changed();
    }
}

void TDiagramm::makdiaVis(int32_t c)
{
    for (int32_t i = 0; i < kDiaUserCurves; ++i)
        aline[size_t(i)].Fcvis = i < c;
    changed();
}

int32_t TDiagramm::getAnzVisCurv() const
{
    int32_t n = 0;
    for (const Tcurve& c : aline)
        n += c.Fcvis ? 1 : 0;
    return n;
}

void TDiagramm::setCurveName(int32_t ind, const QString& name)
{
    if (Tcurve* c = curve(ind))
        c->Name = name;
}

QString TDiagramm::getCurveName(int32_t ind) const
{
    const Tcurve* c = curve(ind);
    return c ? c->Name : QString();
}

int32_t TDiagramm::getGroup(int32_t ind) const
{
    const Tcurve* c = curve(ind);
    return c ? c->Cygroup : 0;
}

void TDiagramm::setColline(int32_t ind, TColorBGR col)
{
    if (Tcurve* c = curve(ind)) {
        c->FColLine = col;
        changed();
    }
}

TColorBGR TDiagramm::getColline(int32_t ind) const
{
    const Tcurve* c = curve(ind);
    return c ? c->FColLine : 0;
}

void TDiagramm::setEinh(const QString& Ein, int32_t ind)
{
    const Tcurve* c = curve(ind);
    if (c && group(c->Cygroup)) {
        aYgroup[size_t(c->Cygroup)].fEinh = Ein;
        changed();
    }
}

Tcurve* TDiagramm::getIndCurve(int32_t ind)
{
    for (Tcurve& c : aline)
        if (c.Fsel && c.ValidData && ind-- == 0)
            return &c;
    return nullptr;
}

void TDiagramm::getfirstsecondColLine(TColorBGR& Lcol, TColorBGR& Rcol) const
{
    Lcol = Rcol = 123456;
    int32_t found = 0;
    for (int32_t i = 0; i < kDiaUserCurves && found < 2; ++i) {
        if (!aline[size_t(i)].Fsel)
            continue;
        (found == 0 ? Lcol : Rcol) = aline[size_t(i)].FColLine;
        ++found;
    }
}

// ---- scale tables ------------------------------------------------------------------------

double TDiagramm::makSkal(int32_t& yko, double teili)
{
    for (const SkalStep& s : kSkalLadder)
        if (s.step > teili) {
            yko = s.decimals;
            return s.step;
        }
    yko = 0;
    return 10000000.0; // also for a NaN teili
}

int32_t TDiagramm::getXKommastellen(double xteil)
{
    if (xteil < 0.01)
        return 3;
    if (xteil < 0.1)
        return 2;
    if (xteil < 1)
        return 1;
    return 0;
}

double TDiagramm::logGridValue(int32_t i)
{
    i = qBound(0, i, kLogTableSize - 1);
    // Exact decimal values: multiplier x 10^k computed from the integer exponent.
    const int32_t k = i / 9 - 4;
    const int32_t m = i % 9 + 1;
    return k >= 0 ? m * std::pow(10.0, k) : m / std::pow(10.0, -k);
}

QString TDiagramm::logGridLabel(int32_t i)
{
    if (i < 0 || i >= kLogTableSize)
        return QString();
    const int32_t m = i % 9 + 1;
    if (m != 1 && m != 2 && m != 3 && m != 5)
        return QString();
    const int32_t k = i / 9 - 4;
    if (k < 0)
        return QString::number(logGridValue(i), 'f', -k);
    if (k < 3)
        return QString::number(m * int(std::pow(10, k)));
    if (k < 6)
        return QString::number(m * int(std::pow(10, k - 3))) + "k";
    return QString::number(m) + "M";
}

QString TDiagramm::getLogText(int32_t i, const QString& Einh)
{
    QString t = logGridLabel(i);
    const QString withUnit = t + Einh;
    if (withUnit.contains("km") && t.endsWith('k')) {
        t.chop(1);
        t += "000";
    } else if (withUnit.contains("Mm") && t.endsWith('M')) {
        t.chop(1);
        t += "000000";
    }
    return t;
}

double TDiagramm::fit2xteil(int32_t al, double y) const
{
    const Tcurve* c = curve(al);
    const TYAXgroup* g = c ? group(c->Cygroup) : nullptr;
    if (!g || !(g->Fyteil > 0.0))
        return y;
    return std::round(y / g->Fyteil) * g->Fyteil;
}

double TDiagramm::getXminDat() const
{
    const int32_t n = pXdat.samples();
    if (n <= 0 || pXdat.getsmAr(n - 1) == 0.0)
        return 100.0;
    return pXdat.getsmAr(0);
}

double TDiagramm::getXmaxDat() const
{
    const int32_t n = pXdat.samples();
    if (n <= 0 || pXdat.getsmAr(n - 1) == 0.0)
        return 100.0;
    return pXdat.getsmAr(n - 1);
}

bool TDiagramm::PointInDiaReci(int32_t x, int32_t y) const
{
    return m_diareci.contains(x, y);
}

QString TDiagramm::fixedCaption()
{
    return QStringLiteral("velmora.audio measurement");
}

// ---- legend ------------------------------------------------------------------------------

void TDiagramm::setRem2(const QStringList& lines)
{
    TColorBGR Lcol = 0, Rcol = 0;
    getfirstsecondColLine(Lcol, Rcol);
    const int32_t oldHei = anaResultHei;
    Rem3.setContent(lines, Lcol, Rcol);
    anaResultHei = std::max(26, Rem3.size().height());
    // New values in lines of the same size leave the layout as it was: the legend is fitted
    // as the layout fits it, and when it keeps its size only painted again.
    if (FpaintDia && m_laidOut && anaResultHei == oldHei) {
        Rem3.fitWidth(m_legFit);
        if (Rem3.size() == m_legSize) {
            repaintOnly();
            return;
        }
    }
    changed();
}

void TDiagramm::setLegendFontSize(int32_t pt)
{
    if (pt == Rem3.prefPt)
        return; // a measurement passes its size with every set of result lines
    QStringList current;
    for (int32_t i = 0; i < Rem3.lines; ++i)
        current << Rem3.Llist[i] + Rem3.sep + Rem3.Rlist.value(i);
    Rem3.setFontSize(pt);
    Rem3.setContent(current, Rem3.LeCol, Rem3.RiCol); // measured again in the new size
    anaResultHei = std::max(26, Rem3.size().height());
    changed();
}
