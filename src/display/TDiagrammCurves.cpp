// TDiagramm: curve data in, resampling onto the x grid, display smoothing and y-axis modes.
#include "display/TDiagramm.h"

#include <algorithm>
#include <utility>
#include <cmath>

void TDiagramm::SetdataPointer(const Tsamplemem& yw, const Tsamplemem& xw, bool doPaint, int32_t LineNum)
{
    Tcurve* c = curve(LineNum);
    if (!c)
        return;
    c->SetOriY(yw);
    c->xaxis = xw;
    if (!Finterpol) {
        pXdat = xw;
        m_xGridKey.reset();
    }
    FirstD = 0;
    if (doPaint)
        newsize(m_w, 0, m_h);
}

// Source points of one grid column (von, bis]: the last source index at or before `last`
// with x <= von and the first one from there with x >= bis. One interval: linear
// interpolation at bis; one point inside: that point; several: their maximum (peak hold).
double TDiagramm::sumF(const Tcurve& c, int32_t& last, double bis, double von)
{
    const int32_t n = std::min(c.OriY.samples(), c.xaxis.samples());
    const double* xs = c.xaxis.smpoi();
    const double* ys = c.OriY.smpoi();
    if (n <= 0 || !xs || !ys)
        return kDiaNotFound;
    int32_t idx2 = std::clamp(last, 0, n - 1);
    while (idx2 > 0 && xs[idx2] > von)
        --idx2;
    int32_t idx = idx2;
    while (idx < n && xs[idx] < bis)
        ++idx;
    if (idx >= n)
        idx = 0;
    last = idx;
    const int32_t span = idx - idx2;
    if (span == 1) {
        const double dx = xs[idx] - xs[idx2];
        const double v = dx != 0.0 ? ys[idx2] + (ys[idx] - ys[idx2]) * (bis - xs[idx2]) / dx : ys[idx];
        return std::isfinite(v) ? v : kDiaNotFound;
    }
    if (span == 2)
        return ys[idx2 + 1];
    if (span < 0)
        return kDiaNotFound;
    return *std::max_element(ys + idx2, ys + idx + 1);
}

void TDiagramm::Curve2Dia(int32_t tline)
{
    Tcurve* c = curve(tline);
    if (!c)
        return;
    const int32_t m = pXdat.samples();
    if (m <= 0)
        return;
    if (c->CpyY.samples() != m)
        c->CpyY = Tsamplemem(m);
    c->CpyY.fillComplete(kDiaNoData);
    c->FxIbeg = 0;
    c->FxIend = -1;
    const double xfbeg = c->getxfbeg(), xfend = c->getxfend();
    const int32_t n = std::min(c->OriY.samples(), c->xaxis.samples());
    if (n <= 0 || xfbeg == 0.0)
        return;
    int32_t last = 0;
    const double* xa = std::as_const(c->xaxis).smpoi();
    while (last < n - 1 && xa[last] == 0.0)
        ++last; // start at the first non-zero x, so a DC point at x = 0 is not taken
    const double* x = std::as_const(pXdat).smpoi();
    double* out = c->CpyY.smpoi();
    double von = xfbeg;
    bool any = false;
    for (int32_t i = 0; i < m; ++i) {
        if (!(x[i] >= xfbeg && x[i] <= xfend))
            continue;
        out[i] = sumF(*c, last, x[i], von);
        von = x[i];
        if (!any)
            c->FxIbeg = i;
        c->FxIend = i;
        any = true;
    }
    if (!any)
        return;
    for (int32_t i = c->FxIbeg; i <= c->FxIend; ++i)
        out[i] = out[i] * fySkalFaktor + fySkalOffset;
}

void TDiagramm::DispFilter(Tcurve& aline)
{
    if (!aline.ValidData)
        return;
    switch (aline.FDFilter) {
    case 1: aline.CpyY.smoothOktFD(4); break;
    case 2: aline.CpyY.smoothOktFD(2); break;
    case 3: aline.CpyY.smoothOktFD(1); break;
    case 4: aline.CpyY.octave13FD(pXdat); break;
    default: break;
    }
}

void TDiagramm::preparefit2YaxisMode()
{
    for (TYAXgroup& g : aYgroup) {
        g.merk = false;
        g.FyOffDyn = 0.0;
    }
}

void TDiagramm::fit2YaxisMode(int32_t tline, enumYaxisMode YaxisM)
{
    Tcurve* c = curve(tline);
    TYAXgroup* g = c ? group(c->Cygroup) : nullptr;
    if (!g || YaxisM == eYAMnormal)
        return;
    if (!g->merk) {
        g->FyOffDyn = c->checkYAxis(YaxisM, pXdat);
        if (!std::isfinite(g->FyOffDyn))
            g->FyOffDyn = 0.0;
        g->merk = true;
    }
    const int32_t hi = std::min(c->FxIend, c->CpyY.samples() - 1);
    double* y = c->CpyY.smpoi();
    for (int32_t i = std::max(0, c->FxIbeg); i <= hi; ++i)
        y[i] -= g->FyOffDyn;
}

bool TDiagramm::prepareCurve(int32_t slot)
{
    Tcurve& c = aline[size_t(slot)];
    if (Finterpol) {
        Curve2Dia(slot);
    } else {
        c.CpyY.assignScaled(c.OriY, fySkalFaktor, fySkalOffset);
        c.FxIbeg = 0;
        c.FxIend = std::min(c.CpyY.samples(), pXdat.samples()) - 1;
    }
    if (c.FxIbeg > c.FxIend)
        return false;
    DispFilter(c);
    if (slot < kDiaUserCurves)
        fit2YaxisMode(slot, FYaxisMode);
    return true;
}

void TDiagramm::clearDiaData()
{
    for (int32_t s = 0; s < kDiaUserCurves; ++s) {
        Tcurve& c = aline[size_t(s)];
        c.OriY.fillComplete(kDiaNoData);
        c.CpyY.fillComplete(kDiaNoData);
        c.OriPh.fillComplete(0.0);
        c.CpyPh.fillComplete(0.0);
        c.MarkerP = TFpoint{};
        c.MarkPat = 0;
    }
    FirstD = pXdat.samples() - 1;
    changed();
}
