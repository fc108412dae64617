// Tcurve: curve arithmetic, peak hold, offsets, y-axis references and correction curves as curves.
#include "display/Tcurve.h"

#include "dsp/corObj.h"
#include "dsp/Tcomplex.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Smallest magnitude kept on a dB scale; anything smaller (0 included) is "no data".
const double kMinDbMagnitude = std::pow(10.0, kDiaNoData / 20.0);

// A curve value as a complex number: dB-valued kinds as magnitude 10^(y/20), linear ones as is.
Tcomplex toComplex(double y, double ph, bool dB)
{
    const double mag = dB ? std::pow(10.0, y / 20.0) : y;
    return Tcomplex::create(mag, ph);
}

// Magnitude of z in the unit of the curve; no data for 0, a too small or a non-finite result.
double fromMagnitude(long double betrag, bool dB)
{
    const double m = double(betrag);
    if (!std::isfinite(m))
        return kDiaNoData;
    if (!dB)
        return m;
    return m < kMinDbMagnitude ? kDiaNoData : 20.0 * std::log10(m);
}

// Linear interpolation of (x, v) pairs (x != 0) at target x values; outside the span: `missing`.
Tsamplemem interpolateAt(const Tsamplemem& x, const Tsamplemem& v, const Tsamplemem& target,
                         double xbeg, double xend, double missing)
{
    std::vector<double> pairs;
    for (int32_t i = 0; i < x.samples(); ++i) {
        if (x.getsmAr(i) == 0.0)
            continue; // unused tail or head of the buffer
        pairs.push_back(x.getsmAr(i));
        pairs.push_back(v.getsmAr(i));
    }
    Tcorri cor;
    cor.makecCorrArr(pairs.data(), int32_t(pairs.size() / 2));
    cor.setMode(2);
    cor.setfit2_1kHz(false);
    cor.setaktiv(true);
    cor.setapplDir(-1);
    Tsamplemem out(std::max(0, target.samples()));
    const double lo = std::min(xbeg, xend), hi = std::max(xbeg, xend);
    for (int32_t i = 0; i < out.samples(); ++i) {
        const double t = target.getsmAr(i);
        const bool inside = !pairs.empty() && t != 0.0 && t >= lo && t <= hi;
        out.setsmAr(i, inside ? cor.corri(0.0, t, 0.0) : missing);
    }
    return out;
}

bool needsAlignment(const Tcurve& a, const Tcurve& b)
{
    return a.OriY.samples() != b.OriY.samples() || a.xaxis.samples() != b.xaxis.samples()
        || a.Flogx != b.Flogx || isDBvalued(a.FValuelogY) != isDBvalued(b.FValuelogY)
        || a.getxfbeg() != b.getxfbeg() || a.getxfend() != b.getxfend();
}

// Resamples `c` onto the x values of `ref` (values and phases; missing values -192, phase 0).
void adj2curves(Tcurve& c, const Tcurve& ref)
{
    if (!needsAlignment(c, ref))
        return;
    const double xb = c.getxfbeg(), xe = c.getxfend();
    Tsamplemem y = interpolateAt(c.xaxis, c.OriY, ref.xaxis, xb, xe, kDiaNoData);
    Tsamplemem ph = interpolateAt(c.xaxis, c.OriPh, ref.xaxis, xb, xe, 0.0);
    c.OriY = std::move(y);
    c.OriPh = std::move(ph);
    c.xaxis = ref.xaxis;
    c.Flogx = ref.Flogx;
}

// One point of the arithmetic; both operands converted by their own kind.
double combine(double y1, double ph1, bool dB1, double y2, double ph2, bool dB2, enumOpTyp op,
               double& phOut)
{
    phOut = 0.0;
    if (y1 == kDiaNoData || y2 == kDiaNoData || !std::isfinite(y1) || !std::isfinite(y2))
        return kDiaNoData;
    Tcomplex z = toComplex(y1, ph1, dB1);
    const Tcomplex w = toComplex(y2, ph2, dB2);
    switch (op) {
    case eAddi: z.add(w); break;
    case eSubtr: z.sub(w); break;
    case eMulti: z.multi(w); break;
    case eDivi:
        if (w.a * w.a + w.b * w.b == 0.0L)
            return kDiaNoData; // a quotient by zero has no value
        z.divi(w);
        break;
    default: return y1;
    }
    phOut = double(z.getPhase());
    return fromMagnitude(z.getBetrag(), dB1);
}

// The display copies follow the original values after an operation.
void refreshCopies(Tcurve& c)
{
    c.CpyY = c.OriY;
    c.CpyPh = c.OriPh;
}

} // namespace

void Tcurve::Operation(const Tcurve& acurve, enumOpTyp oper)
{
    if (oper == ePeak) {
        doPeak(acurve);
        return;
    }
    if (oper == eMeasure)
        return;
    adj2curves(*this, acurve);
    const bool dB1 = isDBvalued(FValuelogY), dB2 = isDBvalued(acurve.FValuelogY);
    if (OriPh.samples() != OriY.samples())
        OriPh.resize2(OriY.samples());
    for (int32_t i = 0; i < OriY.samples(); ++i) {
        double ph = 0.0;
        const double v = combine(OriY.getsmAr(i), OriPh.getsmAr(i), dB1, acurve.OriY.getsmAr(i),
                                 acurve.OriPh.getsmAr(i), dB2, oper, ph);
        OriY.setsmAr(i, v);
        OriPh.setsmAr(i, ph);
    }
    refreshCopies(*this);
}

void Tcurve::doPeak(const Tcurve& acurve)
{
    adj2curves(*this, acurve);
    for (int32_t i = 0; i < OriY.samples(); ++i) {
        const double b = acurve.OriY.getsmAr(i);
        if (i < acurve.OriY.samples() && b > OriY.getsmAr(i))
            OriY.setsmAr(i, b);
    }
    refreshCopies(*this);
}

namespace {
void binaryOp(Tcurve& out, const Tcurve& a1, const Tcurve& a2, enumOpTyp op)
{
    Tcurve tmp(a1);
    tmp.Operation(a2, op);
    out.copyValuesfrom(tmp);
}
} // namespace

void Tcurve::doAddi(const Tcurve& acurve1, const Tcurve& acurve2) { binaryOp(*this, acurve1, acurve2, eAddi); }
void Tcurve::doSubtr(const Tcurve& acurve1, const Tcurve& acurve2) { binaryOp(*this, acurve1, acurve2, eSubtr); }
void Tcurve::doMulti(const Tcurve& acurve1, const Tcurve& acurve2) { binaryOp(*this, acurve1, acurve2, eMulti); }
void Tcurve::doDivi(const Tcurve& acurve1, const Tcurve& acurve2) { binaryOp(*this, acurve1, acurve2, eDivi); }

void Tcurve::clearPeak()
{
    OriY.fillComplete(isDBvalued(FValuelogY) ? kDiaPeakClearDB : 0.0);
}

void Tcurve::AddOffset(double offs)
{
    OriY.calcDats(1.0, offs);
}

double Tcurve::checkYAxis(enumYaxisMode yaxisM, const Tsamplemem& xc) const
{
    if (yaxisM == eYAM0db1kHz) {
        for (int32_t i = 0; i < xc.samples() && i < CpyY.samples(); ++i)
            if (xc.getsmAr(i) > 1000.0)
                return CpyY.getsmAr(i);
        return 0.0;
    }
    if (yaxisM == eYAM0dbmaxV && CpyY.samples() > 0)
        return CpyY.getmaxVal();
    return 0.0;
}

void Tcurve::Cor2Curve(const Tcorri& cor, int32_t Typ)
{
    const QString prefix = Typ == 0 ? QStringLiteral("Input correction: ") : QStringLiteral("Output correction: ");
    Name = prefix + QString::fromStdString(cor.getFname());
    const int32_t n = cor.getPaare();
    setNewPoints(n);
    for (int32_t i = 0; i < n; ++i) {
        double x = 0.0, y = 0.0;
        if (cor.readXYfromCor(i + 1, x, y))
            setPoint(i, x, y);
    }
    Fcvis = true;
    Fsel = false;
    FDFilter = 0;
    Cygroup = 0;
    ValidData = true;
}
