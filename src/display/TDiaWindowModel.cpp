// The diagram window's model: result packages into curve slots, curve arithmetic, popup actions, settings.
#include "display/TDiaWindowModel.h"

#include "dsp/corObj.h"
#include "base/TMemIniFile.h"
#include "core/winMessage.h"
#include "display/TGdata.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString kWinSection = QStringLiteral("diapriv");
const QString kIdealFile = QStringLiteral("zielkurve.cur");

bool validSlot(int32_t s) { return s >= 0 && s < kDiaCurves; }

// The text of a number edit: blanks removed, the user's locale first, then '.' or ','.
std::optional<double> parseEditNumber(const QString& text)
{
    const QString s = vlRemoveBlanks(text);
    bool ok = false;
    const double v = QLocale::system().toDouble(s, &ok);
    if (ok && std::isfinite(v)) return v;
    return vlParseNumber(s);
}

// Linear interpolation of (xs, ys) at x; kDiaNoData outside the span or without points.
double interpolateAt(const Tsamplemem& xs, const Tsamplemem& ys, double x)
{
    const int32_t n = std::min(xs.samples(), ys.samples());
    for (int32_t i = 1; i < n; ++i) {
        const double x0 = xs.getsmAr(i - 1), x1 = xs.getsmAr(i);
        if (x < x0 || x > x1) continue;
        if (x1 == x0) return ys.getsmAr(i);
        return ys.getsmAr(i - 1) + (ys.getsmAr(i) - ys.getsmAr(i - 1)) * (x - x0) / (x1 - x0);
    }
    return (n == 1 && xs.getsmAr(0) == x) ? ys.getsmAr(0) : kDiaNoData;
}

// First grid index whose x exceeds 1000 (-1 when none).
int32_t gridIndexAbove1k(const Tsamplemem& grid)
{
    for (int32_t i = 0; i < grid.samples(); ++i)
        if (grid.getsmAr(i) > 1000.0) return i;
    return -1;
}

} // namespace

enumYvalueTyp yValueTypOf(edBModi m)
{
    switch (m) {
    case dbMode_dBV: return edBV;
    case dbMode_dBu: return edBu;
    case dbMode_dBm: return edBm;
    case dbMode_dBSPL: return edBSPL;
    case dbMode_Pa: return ePa;
    case dbMode_milliVolt: return eVolt;
    case dBMode_dB: return eddB;
    case dbMode_Sone: return eSone;
    default: return edBFS;
    }
}

TDiaWindowModel::TDiaWindowModel(TDiagramm& mainDia, TDiagramm* timeDia) : m_main(mainDia), m_time(timeDia)
{
    font.font = mainDia.font(); // font keys missing from the settings keep the diagram's font
}

Tcurve* TDiaWindowModel::userSlot(int32_t s) { return s >= 0 && s < kDiaUserCurves ? m_main.curve(s) : nullptr; }

void TDiaWindowModel::panelsChanged()
{
    if (onPanelsChanged) onPanelsChanged();
}

void TDiaWindowModel::paramChanged()
{
    if (fOnParaChange) fOnParaChange();
}

// ---- the time diagram ---------------------------------------------------------------------------

void TDiaWindowModel::configureTimeDiagram(int32_t typ)
{
    SecTag = (typ << 16) + kSecTagTimeDia;
    if (!m_time) return;
    TDiagramm& t = *m_time;
    t.setinterpol(false);
    t.setsaveOfirst(true);
    t.clearDiaData();
    t.setxSkalalog(false);
    t.setxEinheit("ms");
    t.setxSkalFaktor(1.0);
    t.setX_minX_Max(1500.0, 0.0);
    for (int32_t g = 0; g < kDiaCurves; ++g) {
        t.group(g)->fEinh = "FS";
        t.group(g)->Fymax = 1.0;
        t.group(g)->Fymin = -1.0;
    }
    t.setFreq_m(false);
    t.setLevel_m(false);
    t.setFlanke_m(false);
    t.setCrossHair(false); // the crosshair reads spectra
    for (int32_t s = 2; s < kDiaCurves; ++s) t.curve(s)->Fcvis = false;
    t.setDia2Up(true);
    applyVisTdom();
}

void TDiaWindowModel::applyVisTdom()
{
    TDiagramm* t = timeDia();
    if (!t) return;
    t->curve(0)->Fcvis = (visTdom & 1) != 0;
    t->curve(1)->Fcvis = (visTdom & 2) != 0;
    t->paintNew(false);
}

void TDiaWindowModel::syncTimeColours()
{
    TDiagramm* t = timeDia();
    if (!t) return;
    TColorBGR c[2];
    m_main.getfirstsecondColLine(c[0], c[1]);
    for (int k = 0; k < 2; ++k)
        if (c[k] != 123456) t->curve(k)->FColLine = c[k];
}

// ---- results in ---------------------------------------------------------------------------------

void TDiaWindowModel::fillCurve(Tcurve& c, const tDiaCurveData& d, bool logx, int32_t sfreq, const Tsamplemem& xaxis)
{
    c.Fcvis = true;
    c.Flogx = logx;
    c.FValuelogY = d.Ylogfdv;
    c.FdbMode = d.YdbMode;
    c.Sfreq = sfreq;
    c.FFTwin = d.FFTwin;
    c.SamplesFFT = d.SamplesFFT;
    if (d.y0fd_ph)
        c.SetOriYPh(*d.y0fd_v, *d.y0fd_ph);
    else
        c.SetOriY(*d.y0fd_v);
    c.xaxis.assignScaled(xaxis, m_main.xSkalFaktor(), 0.0);
    m_main.dataArrived(); // after "clear curves" nothing would be drawn again otherwise
}

void TDiaWindowModel::fillTimeCurve(int32_t k, const Tsamplemem& td, int32_t sfreq, TColorBGR col)
{
    TDiagramm* t = timeDia();
    if (!t || !validSlot(k)) return;
    const int32_t n = td.samples();
    if (m_timeAxis.samples() != n || m_timeAxisRate != sfreq) { // ms of every sample
        m_timeAxis = Tsamplemem(std::max(0, n));
        m_timeAxisRate = sfreq;
        const double f = sfreq > 0 ? 1000.0 / sfreq : 0.0;
        for (int32_t i = 0; i < n; ++i) m_timeAxis.smpoi()[i] = i * f;
        m_timeAxis.seal(); // the curves' copies of it are then not compared every frame
    }
    t->SetdataPointer(td, m_timeAxis, false, k);
    t->curve(k)->FColLine = col;
}

void TDiaWindowModel::putCurvesNew(const tDiaCurveData* dc, int32_t anz, bool logx, int32_t sfreq,
                                   const Tsamplemem& xaxis)
{
    if (!dc) anz = 0;
    int32_t slot = 0, timeSlot = 0;
    for (int32_t i = 0; i < anz; ++i) {
        int32_t got = -1;
        if (dc[i].y0fd_v) {
            while (slot < kDiaCurves && (!m_main.curve(slot)->Fsel || m_main.curve(slot)->Fspez)) ++slot;
            if (slot < kDiaCurves) {
                fillCurve(*m_main.curve(slot), dc[i], logx, sfreq, xaxis);
                got = slot++;
            }
        }
        if (dc[i].y0td_V && timeDia())
            fillTimeCurve(timeSlot++, *dc[i].y0td_V, sfreq, got >= 0 ? m_main.getColline(got) : 0);
    }
    finishPut();
}

void TDiaWindowModel::putCurves(const Tsamplemem* const y[2], const Tsamplemem* const ph[2],
                                const enumYvalueTyp kinds[2], const Tsamplemem* const td[2], int32_t sfreq,
                                const Tsamplemem& xaxis, bool logx)
{
    tDiaCurveData dc[2];
    for (int k = 0; k < 2; ++k) {
        dc[k].y0fd_v = y[k];
        dc[k].y0fd_ph = ph[k];
        dc[k].Ylogfdv = kinds[k];
        dc[k].YdbMode = dBmode_unknown;
        dc[k].y0td_V = td[k];
    }
    putCurvesNew(dc, 2, logx, sfreq, xaxis);
}

void TDiaWindowModel::finishPut()
{
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        Tcurve* c = m_main.curve(s);
        if (c->Foperation == eMeasure) continue;
        doCurveOperations(s);
        c->Fcvis = true;
    }
    syncTimeColours();
    m_main.paintNew(false);
    if (TDiagramm* t = timeDia()) t->paintNew(false);
    panelsChanged();
}

void TDiaWindowModel::doCurveOperations(int32_t tline)
{
    Tcurve* c = m_main.curve(tline);
    if (!c || !validSlot(c->Fop1)) return;
    const Tcurve& a = *m_main.curve(c->Fop1);
    if (c->Foperation == ePeak) {
        c->doPeak(a);
        return;
    }
    if (!validSlot(c->Fop2)) return;
    const Tcurve b(*m_main.curve(c->Fop2)); // a copy: the operand may be this very curve
    const Tcurve a1(a);
    switch (c->Foperation) {
    case eAddi: c->doAddi(a1, b); break;
    case eSubtr: c->doSubtr(a1, b); break;
    case eMulti: c->doMulti(a1, b); break;
    case eDivi: c->doDivi(a1, b); break;
    default: break;
    }
}

void TDiaWindowModel::setUnit2selCurves(const QString& Pstr1, const QString& Pstr2)
{
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        const Tcurve* c = m_main.curve(s);
        TYAXgroup* g = m_main.group(c->Cygroup);
        if (!c->Fsel || !g) continue;
        QString unit = (c->Cygroup % 2) ? Pstr2 : Pstr1;
        if (m_main.YaxisMode() != eYAMnormal && !unit.startsWith("dB")) unit = "dB";
        g->fEinh = unit;
    }
}

void TDiaWindowModel::putPackage(TGdata& g, bool sweep)
{
    const cFFTdat& fd = *g.AnaFFT;
    g.ComStrList.clear();
    setUnit2selCurves(unitLeft, unitRight);
    const int32_t n = std::min<int32_t>({fd.fAnzICha, 8, int32_t(g.asdDia.size())});
    tDiaCurveData dc[8];
    for (int32_t i = 0; i < n; ++i) {
        dc[i].y0fd_v = &g.asdDia[size_t(i)];
        dc[i].y0fd_ph = size_t(i) < g.asdPh.size() ? &g.asdPh[size_t(i)] : nullptr;
        const bool withTime = sweep || fd.MeasuringModeF == 1 || fd.MeasuringModeF == 4 || fd.MeasuringModeF == 11;
        dc[i].y0td_V = withTime && size_t(i) < g.asdZz.size() ? &g.asdZz[size_t(i)] : nullptr;
        dc[i].YdbMode = fd.fdbMode;
        dc[i].Ylogfdv = yValueTypOf(fd.fdbMode);
        if (sweep) dc[i].Ylogfdv = size_t(i) < g.eMode.size() ? g.eMode[size_t(i)] : edBFS;
        else { // a spectrum: its level is read again from a saved curve with this window
            dc[i].FFTwin = fd.FFTwin;
            dc[i].SamplesFFT = fd.SamplesFFT;
        }
    }
    putCurvesNew(dc, std::max(n, 0), g.xlinear, g.sfi, g.sdX);
}

bool TDiaWindowModel::wmPutDia(TGdata* pkg)
{
    if (!pkg || pkg->Withdrawn) return false;
    // A package without its settings cannot be read, but the measurement still gets it back.
    if (pkg->AnaFFT) {
        switch (pkg->AnaFFT->DiagramForm) {
        case Sample_2D: putPackage(*pkg, false); break;
        case Samplesweep: putPackage(*pkg, true); break;
        case Sample_3D:
            if (on3DData) on3DData(*pkg);
            break;
        default: break;
        }
    }
    pkg->Working = false;
    postMsg(pkg->MsgHandle.data(), MSG_DIA_DRAWN, 723, 13);
    return true;
}

void TDiaWindowModel::wmclearcurve(intptr_t wParam)
{
    if (wParam < 0 || wParam >= kDiaCurves) return;
    const int32_t s = int32_t(wParam);
    m_main.curve(s)->clearPeak();
    m_main.Curve2Dia(s);
    m_main.paintNew(false);
}

// ---- slots and selections -----------------------------------------------------------------------

void TDiaWindowModel::newcurves(int32_t shift)
{
    if (shift > 56 || shift < -56) return;
    uint32_t pattern = 0;
    for (int32_t s = 0; s < kDiaUserCurves; ++s)
        if (m_main.curve(s)->Fsel) pattern |= 1u << s;
    const uint32_t moved = shift >= 0 ? (shift >= 32 ? 0 : pattern << shift) : (-shift >= 32 ? 0 : pattern >> -shift);
    for (int32_t s = 0; s < kDiaUserCurves; ++s) {
        Tcurve* c = m_main.curve(s);
        const bool sel = (moved >> s) & 1u;
        if (sel && !c->Fsel) c->Fcvis = true;
        c->Fsel = sel;
    }
    TColorBGR l = 0, r = 0;
    m_main.getfirstsecondColLine(l, r);
    if (onChannelColours) onChannelColours(l, r);
    syncTimeColours();
    m_main.paintNew(false);
    panelsChanged();
}

void TDiaWindowModel::shiftnewcurves(bool down)
{
    int32_t n = 0;
    for (int32_t s = 0; s < kDiaUserCurves; ++s) n += m_main.curve(s)->Fsel ? 1 : 0;
    newcurves(down ? n : -n);
}

void TDiaWindowModel::clearCurves()
{
    if (ConCCcurves) {
        m_main.clearDiaData();
        for (int32_t s = 0; s < kDiaUserCurves; ++s) m_main.setCurveName(s, "unknown");
    }
    if (ConCCselections) {
        for (int32_t s = 0; s < kDiaCurves; ++s) m_main.curve(s)->Fsel = s < 2;
        syncTimeColours();
    }
    m_main.paintNew(false);
    panelsChanged();
}

bool TDiaWindowModel::dropCurve(int32_t s, int32_t t, bool add)
{
    Tcurve* src = userSlot(s);
    Tcurve* dst = userSlot(t);
    if (!src || !dst || s == t) return false;
    if (add) {
        dst->Operation(*src, eAddi);
    } else {
        const TColorBGR keep = dst->FColLine;
        dst->copy(*src);
        dst->line = t;
        dst->FColLine = keep;
    }
    m_main.Curve2Dia(t);
    m_main.paintNew(false);
    panelsChanged();
    return true;
}

bool TDiaWindowModel::compare2Ideal(int32_t aCurve)
{
    const Tcurve* a = m_main.curve(aCurve);
    if (!a || aCurve == 7) return false;
    Tcurve target;
    if (target.loadfromFile(vlCommonDataFolder() + kIdealFile) <= 0) return false;
    Tcurve& ideal = *m_main.curve(7);
    ideal.copy(target);
    ideal.line = 7;
    ideal.FlineWidth = 2;
    ideal.FColLine = 0x8000;
    // Onto aCurve's x values.
    Tsamplemem y(a->xaxis.samples());
    for (int32_t i = 0; i < y.samples(); ++i) y.setsmAr(i, interpolateAt(target.xaxis, target.OriY, a->xaxis.getsmAr(i)));
    ideal.SetOriY(y);
    ideal.xaxis = a->xaxis;
    ideal.Fcvis = true;
    ideal.ValidData = true;
    m_main.Curve2Dia(aCurve);
    m_main.Curve2Dia(7);
    const int32_t g = gridIndexAbove1k(m_main.Xaxis());
    if (g >= 0 && g < a->CpyY.samples() && g < ideal.CpyY.samples()) {
        const double offs = a->CpyY.getsmAr(g) - ideal.CpyY.getsmAr(g);
        if (a->CpyY.getsmAr(g) > kDiaNoData && ideal.CpyY.getsmAr(g) > kDiaNoData) ideal.AddOffset(offs);
        m_main.Curve2Dia(7);
    }
    m_main.paintNew(false);
    panelsChanged();
    return true;
}

void TDiaWindowModel::showCors(const Tcorri* OutCor, const Tcorri* InCor, bool Open)
{
    Tcurve& c6 = *m_main.curve(6);
    Tcurve& c7 = *m_main.curve(7);
    if (Open) {
        m_corCol[0] = c6.FColLine;
        m_corCol[1] = c7.FColLine;
        const Tcorri* cors[2] = {InCor, OutCor};
        for (int k = 0; k < 2; ++k) {
            Tcurve& c = k == 0 ? c6 : c7;
            if (cors[k] && cors[k]->getaktiv()) c.Cor2Curve(*cors[k], k);
            else c.Fcvis = false;
            c.line = 6 + k;
        }
        c6.FColLine = 255;
        c7.FColLine = 0xFF0000;
        m_main.setYaxisMode(eYAMnormal);
        m_main.group(0)->Fymax = 10.0;
        m_main.group(0)->Fymin = -10.0;
    } else {
        c6.clearall();
        c7.clearall();
        c6.FColLine = m_corCol[0];
        c7.FColLine = m_corCol[1];
    }
    m_main.paintNew(true);
    panelsChanged();
    if (onReset) onReset();
}

void TDiaWindowModel::setMarker(bool an1, bool an2, double y2, double a, double y1, double b)
{
    int k = 0;
    for (int32_t s = 0; s < kDiaUserCurves && k < 2; ++s) {
        Tcurve& c = *m_main.curve(s);
        if (!c.Fsel) continue;
        const TYAXgroup* g = m_main.group(c.Cygroup);
        const double off = g ? g->FyOffDyn : 0.0;
        c.MarkerP = k == 0 ? TFpoint{b, y1 - off} : TFpoint{a, y2 - off};
        c.MarkPat = (k == 0 ? an1 : an2) ? 1 : 0;
        ++k;
    }
    m_main.paintNew(false);
}

void TDiaWindowModel::setMarkerOn(bool an1, bool an2)
{
    int k = 0;
    for (int32_t s = 0; s < kDiaUserCurves && k < 2; ++s) {
        Tcurve& c = *m_main.curve(s);
        if (!c.Fsel) continue;
        c.MarkPat = (k++ == 0 ? an1 : an2) ? 1 : 0;
    }
    m_main.paintNew(false);
}

void TDiaWindowModel::setText2selCurves(const QString& s1, const QString& s2)
{
    int k = 0;
    for (int32_t s = 0; s < kDiaCurves && k < 2; ++s) {
        Tcurve& c = *m_main.curve(s);
        if (c.Fsel) c.Name = k++ == 0 ? s1 : s2;
    }
    panelsChanged();
}

bool TDiaWindowModel::getselectedCurve(int32_t No, Tcurve*& Curve)
{
    Curve = nullptr;
    for (int32_t s = 0; s < kDiaUserCurves; ++s) {
        if (!m_main.curve(s)->Fsel) continue;
        const int32_t k = s + std::max(No, 0);
        Curve = m_main.curve(k < kDiaUserCurves ? k : 0);
        return true;
    }
    return false;
}

// ---- x limit edits ------------------------------------------------------------------------------

QString TDiaWindowModel::xLimitText(double v)
{
    int32_t dec = 0;
    TDiagramm::makSkal(dec, std::fabs(v));
    if (v != 0.0 && std::fabs(v) >= 1e6) return QString::number(v, 'g', 6);
    // 6 significant digits at most: fewer decimals for larger numbers.
    const int intDigits = std::fabs(v) >= 1.0 ? int(std::floor(std::log10(std::fabs(v)))) + 1 : 1;
    dec = std::clamp(std::min(dec, 6 - intDigits), 0, 8);
    return QString::number(v, 'f', dec);
}

void TDiaWindowModel::setLimit(bool high, double v)
{
    if (high) m_main.setX_max(v);
    else m_main.setX_min(v);
}

bool TDiaWindowModel::applyXminText(const QString& text)
{
    const std::optional<double> v = parseEditNumber(text);
    if (!v || std::fabs(*v) >= m_main.X_max()) return false;
    setLimit(false, std::fabs(*v));
    return true;
}

bool TDiaWindowModel::applyXmaxText(const QString& text)
{
    const std::optional<double> v = parseEditNumber(text);
    if (!v || std::fabs(*v) <= m_main.X_min()) return false;
    setLimit(true, std::fabs(*v));
    return true;
}

// ---- time diagram popup -------------------------------------------------------------------------

QString TDiaWindowModel::popupPointText(const TTimeDiaPoint& p) const
{
    return "This point (" + QString::asprintf("%1.2f", p.x_ms) + "ms / " + QString::asprintf("%1.4f", p.y) +
           "FS) will be now";
}

QString TDiaWindowModel::popupTriggerText() const
{
    QString s = "trigger level";
    if (pTriggLevel) s += " : " + QString::asprintf("%1.3f", *pTriggLevel) + "FS";
    return s;
}

QString TDiaWindowModel::popupAroundText() const
{
    const TDiagramm* t = timeDia();
    return QString("around impulse is") + (t && t->aroundIps() ? " ON" : " OFF");
}

void TDiaWindowModel::fftBeginAt(const TTimeDiaPoint& p)
{
    TDiagramm* t = timeDia();
    if (pManFFTbegin_samp) *pManFFTbegin_samp = int32_t(std::lround(p.x_ms * Samplefreq / 1000.0));
    if (t && Samplefreq > 0) {
        t->SetRangeLinesValues_ms(p.x_ms + double(FFTpoints) / Samplefreq * 1000.0, p.x_ms);
        t->setRangeLines(true);
    }
    paramChanged();
}

void TDiaWindowModel::diagramBeginAt(const TTimeDiaPoint& p)
{
    TDiagramm* t = timeDia();
    if (t && p.x_ms < t->X_max()) t->setX_min(p.x_ms);
}

void TDiaWindowModel::diagramEndAt(const TTimeDiaPoint& p)
{
    TDiagramm* t = timeDia();
    if (t && p.x_ms > t->X_min()) t->setX_max(p.x_ms);
}

void TDiaWindowModel::echoPointAt(const TTimeDiaPoint& p)
{
    if (pEcho_ms) *pEcho_ms = p.x_ms;
    if (TDiagramm* t = timeDia()) {
        t->SetExtraLineValue(p.x_ms);
        t->setExtraLine(true);
    }
    paramChanged();
}

void TDiaWindowModel::diagramYmaxAt(const TTimeDiaPoint& p)
{
    TDiagramm* t = timeDia();
    const double y = std::fabs(p.y);
    if (!t || y == 0.0) return; // a zero span would leave nothing to draw
    t->setY1_max(y);
    t->setY1_min(-y);
}

void TDiaWindowModel::triggerLevelAt(const TTimeDiaPoint& p)
{
    if (!pTriggLevel) return;
    *pTriggLevel = std::fabs(p.y);
    paramChanged();
}

void TDiaWindowModel::toggleAroundIps()
{
    TDiagramm* t = timeDia();
    if (!t) return;
    t->setaroundIps(!t->aroundIps());
    if (!t->aroundIps()) {
        diagramDefault();
        return;
    }
    const double beg = pManFFTbegin_samp ? *pManFFTbegin_samp : 0;
    if (Samplefreq > 0) t->SetaroundSkal_ms(beg * 1000.0 / Samplefreq);
}

void TDiaWindowModel::diagramDefault()
{
    TDiagramm* t = timeDia();
    if (!t) return;
    t->setaroundIps(false);
    t->setxScalOffset(0.0);
    t->setX_minX_Max(t->getXmaxDat(), 0.0);
    t->setY1_max(1.0);
    t->setY1_min(-1.0);
    if (pEcho_ms) *pEcho_ms = -1.0;
    t->setExtraLine(false);
    visTdom = 3;
    applyVisTdom();
    paramChanged();
}

// ---- settings and text export -------------------------------------------------------------------

void TDiaWindowModel::LoadfromIni(const TMemIniFile& ini, int32_t clientHeight, const tdiaset& ds)
{
    ConCCselections = ini.ReadBool(kWinSection, "ConCCselections", false);
    ConCCcurves = ini.ReadBool(kWinSection, "ConCCcurves", true);
    SplitterTop = ini.ReadInteger(kWinSection, "SplitterTop", int(std::lround(clientHeight * ds.splitr)));
    visTdom = ini.ReadInteger(kWinSection, "visTdom", 1);
    splitratio = ds.splitr;
    vlReadFont(ini, kWinSection, font);
}

void TDiaWindowModel::SavetoIni(TMemIniFile& ini) const
{
    ini.WriteFloat(kWinSection, "splitratio", splitratio);
    ini.WriteBool(kWinSection, "ConCCselections", ConCCselections);
    ini.WriteBool(kWinSection, "ConCCcurves", ConCCcurves);
    ini.WriteInteger(kWinSection, "SplitterTop", SplitterTop);
    ini.WriteInteger(kWinSection, "visTdom", visTdom);
    vlWriteFont(ini, kWinSection, font);
}

void TDiaWindowModel::loadDia(const TMemIniFile& ini, const QString& Topic, const tdiaset& ds, int32_t clientHeight)
{
    LoadfromIni(ini, clientHeight, ds);
    m_main.LoadfromIni(ini, Topic, ds);
    m_main.setFont(font.font);
    TDiagramm* t = timeDia();
    if (!t) return;
    tdiaset zs = ds;
    zs.xlog = false;
    zs.diaUp = true;
    zs.xmin = 0.0;
    zs.xmax = 100.0;
    zs.ymax = zs.ymaxsec = 1.0;
    zs.ymin = zs.yminsec = -1.0;
    zs.Einh = zs.Einhsec = "FS";
    zs.XEinheit = "ms";
    t->LoadfromIni(ini, Topic + "Z", zs);
    visTdom = 3;
    for (int32_t g = 0; g < kDiaCurves; ++g) t->group(g)->fEinh = "FS";
    t->setxEinheit("ms");
    t->setxSkalalog(false);
    t->setsaveOfirst(true);
    t->setCrossHair(false);
    applyVisTdom();
}

void TDiaWindowModel::saveDia(TMemIniFile& ini, const QString& Topic) const
{
    SavetoIni(ini);
    m_main.SavetoIni(ini, Topic);
    if (TDiagramm* t = timeDia()) t->SavetoIni(ini, Topic + "Z");
}

QString TDiaWindowModel::getLastDiagrammText(int32_t DiaType, int32_t Mode)
{
    if (DiaType == 'F' || DiaType == 'f') return m_main.getLastDiagrammText(Mode, textSep);
    if ((DiaType == 'T' || DiaType == 't') && timeDia()) return timeDia()->getLastDiagrammText(Mode, textSep);
    return QString();
}

bool TDiaWindowModel::SaveAsText(const QString& Fname, int32_t DiaType, QString* error)
{
    TDiagramm* d = (DiaType == 'F' || DiaType == 'f') ? &m_main : (DiaType == 'T' || DiaType == 't') ? timeDia() : nullptr;
    if (!d) {
        if (error) *error = "no such diagram";
        return true;
    }
    return !d->saveasText(Fname, textSep, error);
}
