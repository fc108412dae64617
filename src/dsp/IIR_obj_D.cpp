// IIR filter design: analog prototypes, frequency transformations, bilinear transform, filtering.
#include "dsp/IIR_obj_D.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using cplx = std::complex<double>;

namespace {

constexpr double kPi = std::numbers::pi;

// States below this are flushed to zero so that decaying filters never reach denormal numbers
// (which are 10..100 times slower on x86). 1e-30 is 600 dB below full scale: inaudible and
// far below any measurement, but far above the denormal range (< 2.2e-308).
constexpr double kFlushBelow = 1e-30;

// Written as a rarely taken branch so that the compiler keeps the test off the latency chain
// of the recursion (a select would add its latency to every sample).
inline double flushTiny(double v) noexcept
{
    if (__builtin_expect(std::fabs(v) < kFlushBelow, 0)) return 0.0;
    return v;
}


constexpr TIIRLimits kDefaultLimits{1, 191999, -20, 15, 0.25, 32, -6, -0.01, 1, 20, 0.1, 1.9};
constexpr TIIRLimits kWideLimits{1e-9, 1e12, -40, 40, 0.1, 50, -12, -0.001, 1, 20, 0.1, 1.9};

bool inRange(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// ---- Bessel (Thomson) poles, computed once from the reverse Bessel polynomials ----

constexpr int kBesselMax = 10;

// Coefficients a_0..a_n of the reverse Bessel polynomial of order n (a_n = 1): its roots are
// the poles normalised to unit group delay at DC.
std::vector<double> besselPolynomial(int n)
{
    std::vector<double> a(n + 1);
    for (int k = 0; k <= n; ++k) {
        double v = 1.0; // (2n-k)! / (2^(n-k) k! (n-k)!)
        for (int i = n - k + 1; i <= 2 * n - k; ++i) v *= i;
        for (int i = 1; i <= k; ++i) v /= i;
        v /= std::pow(2.0, n - k);
        a[k] = v;
    }
    return a;
}

cplx evalPoly(const std::vector<double>& a, cplx x)
{
    cplx r = 0;
    for (size_t k = a.size(); k-- > 0;) r = r * x + a[k];
    return r;
}

// All roots of a monic real polynomial by the Durand-Kerner iteration (orders <= 10 converge
// in well under the iteration limit from the usual spiral start).
std::vector<cplx> polyRoots(const std::vector<double>& a)
{
    const int n = static_cast<int>(a.size()) - 1;
    std::vector<cplx> z(n);
    for (int i = 0; i < n; ++i) z[i] = std::polar(1.0 + 0.5 * n, 0.4 + 2 * kPi * i / n);
    for (int it = 0; it < 2000; ++it) {
        double change = 0;
        for (int i = 0; i < n; ++i) {
            cplx den = 1;
            for (int j = 0; j < n; ++j)
                if (j != i) den *= z[i] - z[j];
            const cplx d = evalPoly(a, z[i]) / den;
            z[i] -= d;
            change = std::max(change, std::abs(d));
        }
        if (change < 1e-15) break;
    }
    return z;
}

// |H(jw)|^2 of the Bessel low-pass with unit DC gain.
double besselPower(const std::vector<double>& a, double w)
{
    return std::norm(a[0] / evalPoly(a, cplx(0, w)));
}

// The -3 dB frequency (rad/s) of the delay-normalised filter, by bisection (|H| falls monotonically).
double besselCorner(const std::vector<double>& a)
{
    double lo = 0.0, hi = 10.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (besselPower(a, mid) > 0.5 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

struct BesselTable {
    cplx delay[kBesselMax + 1][kBesselMax]; // [n][i]: upper poles of the pairs, then the real one
    cplx cut3dB[kBesselMax + 1][kBesselMax]; // the same scaled to -3 dB at 1 rad/s
};

void fillBesselOrder(BesselTable& t, int n)
{
    const auto a = besselPolynomial(n);
    auto roots = polyRoots(a);
    std::sort(roots.begin(), roots.end(), [](cplx x, cplx y) { return x.imag() > y.imag(); });
    const double wc = besselCorner(a);
    for (int i = 0; i < n / 2; ++i) t.delay[n][i] = roots[i];
    if (n % 2) t.delay[n][n / 2] = cplx(roots[n / 2].real(), 0.0);
    for (int i = 0; i < (n + 1) / 2; ++i) t.cut3dB[n][i] = t.delay[n][i] / wc;
}

const BesselTable& besselTable()
{
    static const BesselTable table = [] {
        BesselTable t{};
        for (int n = 1; n <= kBesselMax; ++n) fillBesselOrder(t, n);
        return t;
    }();
    return table;
}

// Prewarped frequency: the analog frequency (Hz) that the bilinear transform maps onto f.
// Frequencies at or above half the sample rate would fold tan() over into negative values and
// give unstable sections (the default limits allow up to 191999 Hz); they are designed just
// below it instead.
constexpr double kMaxDesignFraction = 0.4999;

double prewarp(double f, double fs)
{
    return std::tan(kPi * std::min(f, kMaxDesignFraction * fs) / fs) * fs / kPi;
}

const char* const kTypName[14] = {"Flat", "SL", "SH", "PK", "TP", "HP", "BP",
                                  "BS", "AP", "LDL", "LGL ", "LDH", "LGH", "ATP"};
const char* const kTypShort[14] = {"Flat", "SL", "SH", "PK", "LP", "HP", "BP",
                                   "BR", "AP", "LDL", "LGL ", "LDH", "LGH", "ATP"};
const char* const kTypLong[14] = {"Flat", "Shelving Low", "Shelving High", "Peak", "Lowpass",
                                  "Highpass", "Bandpass", "Bandstop (notch)", "Allpass",
                                  "", "", "", "", ""};
const char* const kCharName[7] = {"Butterworth, ", "Bessel, ", "Bessel (3dB), ",
                                  "Tschebyscheff, ", "crit. attenuation, ",
                                  "crit. attenuation (3dB), ", "free attenuation, "};

std::string fmt(const char* f, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

bool usesChar(int typ) { return (typ >= iirTP && typ <= iirBS) || typ == iirATP; }

} // namespace

// ---- limit sets ----

const TIIRLimits& TIIRObj::DefaultLimits() { return kDefaultLimits; }
const TIIRLimits& TIIRObj::WideLimits() { return kWideLimits; }

// ---- construction and parameters ----

TIIRObj::TIIRObj() { ParamUpdate(); }

void TIIRObj::Create()
{
    *this = TIIRObj();
}

void TIIRObj::CopyFrom(const TIIRObj& Source)
{
    *this = Source;
    ClearData();
    ClearData32();
}

int TIIRObj::GetValidOrder(int ATyp, int AGrad, int AChar) const
{
    const int sw = std::clamp<int>(maxSWbiquadsVg, 1, kIIRMaxBiquads);
    const int hw = std::clamp<int>(FHWbiquads, 1, kIIRMaxBiquads);
    int g = std::clamp(AGrad, 1, 2 * std::min(sw, hw));
    const bool bessel = AChar == chBessel || AChar == chBessel3dB;
    if (ATyp >= iirLDL && ATyp <= iirLGH) return 1;
    if (ATyp == iirFlat || ATyp == iirPK) return 2;
    if (ATyp == iirSL || ATyp == iirSH || ATyp == iirAP) return std::min(g, 2);
    if ((ATyp == iirTP || ATyp == iirHP || ATyp == iirATP) && bessel) return std::min(g, kBesselMax);
    if (ATyp == iirBP || ATyp == iirBS) {
        if (g % 2) g = (g == 1) ? 2 : g - 1;
        if (bessel) g = std::min(g, kBesselMax);
    }
    return g;
}

bool TIIRObj::SetParam(int T, int n, double f, double g, double q, double r, double d, int c)
{
    const TIIRLimits& L = Limits();
    bool ok = true;
    auto take = [&ok](bool valid, auto value, auto fallback) {
        ok = ok && valid;
        return valid ? value : fallback;
    };
    Ftyp = static_cast<uint8_t>(take(T >= 0 && T <= 13, T, 0));
    FFilterChar = static_cast<uint8_t>(take(c >= 0 && c <= 6, c, 0));
    Ffreq = take(inRange(f, L.freqMin, L.freqMax), f, 1000.0);
    Fgain = take(inRange(g, L.gainMin, L.gainMax), g, 0.0);
    Fq = take(inRange(q, L.qMin, L.qMax), q, 1.0);
    Famax = take(inRange(r, L.amaxMin, L.amaxMax), r, -3.1);
    FAtt = take(inRange(d, L.attMin, L.attMax), d, 1.0);
    const int wish = take(n >= 1 && n <= kIIRMaxOrder, n, 2);
    const int valid = GetValidOrder(Ftyp, wish, FFilterChar);
    ok = ok && valid == n;
    FGrad = static_cast<uint8_t>(valid);
    ParamUpdate();
    return ok;
}

void TIIRObj::SetTyp(uint8_t v) { Ftyp = v <= 13 ? v : 0; ParamUpdate(); }
void TIIRObj::SetGrad(uint8_t v) { FGrad = v; ParamUpdate(); }
void TIIRObj::SetFilterChar(uint8_t v) { FFilterChar = v <= 6 ? v : 0; ParamUpdate(); }
void TIIRObj::SetFreq(double hz) { Ffreq = hz; ParamUpdate(); }
void TIIRObj::SetGain(double db) { Fgain = db; ParamUpdate(); }
void TIIRObj::SetQ(double v) { Fq = v; ParamUpdate(); }
void TIIRObj::SetRatio(double v) { FRatio = v; ParamUpdate(); }
void TIIRObj::SetAmax(double db) { Famax = db; ParamUpdate(); }
void TIIRObj::SetAtt(double v) { FAtt = v; ParamUpdate(); }
void TIIRObj::SetBypassed(bool v) { FBypassed = v; ParamUpdate(); }

void TIIRObj::SetDesignSampleRate(double fs)
{
    if (!std::isfinite(fs) || fs <= 0 || fs == Ffs) return;
    Ffs = fs;
    ParamUpdate();
}

void TIIRObj::SetHWbiquads(uint8_t v)
{
    FHWbiquads = static_cast<uint8_t>(std::clamp<int>(v, 1, kIIRMaxBiquads));
    ParamUpdate();
}

// ---- design ----

void TIIRObj::ParamUpdate()
{
    if (Ftyp > 13) Ftyp = 0;
    if (FFilterChar > 6) FFilterChar = 0;
    FGrad = static_cast<uint8_t>(GetValidOrder(Ftyp, FGrad, FFilterChar));
    const double fs = DesignSampleRate();
    const double f = Ffreq;
    const double Ff = prewarp(f, fs);
    FWtr = 2 * kPi * Ff;
    const double half = f / (2 * Fq);
    const double Fl = prewarp(std::sqrt(half * half + f * f) - half, fs);
    FGtr = (Ff * Ff / Fl - Fl) / Ff;
    FBiquads = static_cast<uint8_t>((FGrad + 1) / 2);
    for (auto& s : BIQ) s = TBIQSection{};
    switch (Ftyp) {
    case iirTP: case iirHP: case iirATP:
        FNtp = FGrad;
        designPrototype();
        if (Ftyp == iirATP) sectionsAllPassFromLowPass();
        else sectionsLowHigh(Ftyp == iirHP);
        break;
    case iirBP: case iirBS:
        FNtp = static_cast<uint8_t>(FGrad / 2);
        designPrototype();
        if (Ftyp == iirBP) sectionsBandPass();
        else sectionsBandStop();
        break;
    default:
        FNtp = 0;
        sectionsSingle();
    }
    checkPoles();
    bilinear();
}

void TIIRObj::designPrototype()
{
    const int n = FNtp;
    for (auto& p : Fpol) p = 0;
    switch (FFilterChar) {
    case chBessel: prototypeBessel(n, false); break;
    case chBessel3dB: prototypeBessel(n, true); break;
    case chTschebyscheff: prototypeTschebyscheff(n); break;
    case chCritAtt: prototypeCritical(n, false); break;
    case chCritAtt3dB: prototypeCritical(n, true); break;
    case chFreeAtt: prototypeFree(n); break;
    default: prototypeButterworth(n);
    }
}

void TIIRObj::prototypeButterworth(int n)
{
    for (int i = 0; i < (n + 1) / 2; ++i) {
        const double t = (2 * i + 1) * kPi / (2 * n);
        Fpol[i] = cplx(-std::sin(t), i == n / 2 ? 0.0 : std::cos(t));
    }
    FA0split = 1.0;
}

void TIIRObj::prototypeBessel(int n, bool minus3dB)
{
    const BesselTable& t = besselTable();
    const int m = std::clamp(n, 1, kBesselMax);
    for (int i = 0; i < (m + 1) / 2; ++i) Fpol[i] = minus3dB ? t.cut3dB[m][i] : t.delay[m][i];
    gainFromPoles(n, 1.0); // unit gain at DC: the poles' magnitudes are not 1
}

void TIIRObj::prototypeTschebyscheff(int n)
{
    // A ripple of 0 dB (or NaN) has no Tschebyscheff design; the default ripple stands in.
    const double ripple = std::fabs(Famax) > 0 && std::isfinite(Famax) ? std::fabs(Famax) : 3.1;
    const double eps = std::sqrt(std::pow(10.0, ripple / 10.0) - 1.0);
    const double g = std::exp(std::asinh(1.0 / eps) / n);
    for (int i = 0; i < (n + 1) / 2; ++i) {
        const double t = (2 * i + 1) * kPi / (2 * n);
        Fpol[i] = cplx(-std::sin(t) * (g - 1 / g) / 2, i == n / 2 ? 0.0 : std::cos(t) * (g + 1 / g) / 2);
    }
    gainFromPoles(n, n % 2 ? 1.0 : std::sqrt(eps * eps + 1));
}

void TIIRObj::prototypeCritical(int n, bool minus3dB)
{
    const double p = minus3dB ? 1.0 / std::sqrt(std::pow(2.0, 1.0 / n) - 1.0) : 1.0;
    for (int i = 0; i < (n + 1) / 2; ++i) Fpol[i] = cplx(-p, 0.0);
    if (minus3dB) gainFromPoles(n, 1.0);
    else FA0split = 1.0;
}

void TIIRObj::prototypeFree(int n)
{
    double a = FAtt;
    if (n % 2) a = FAtt / std::sqrt(2.0);
    if (n >= 4) a = std::pow(a, 1.0 / (n / 2));
    const cplx pair(-a / 2, std::sqrt(std::fabs(a * a / 4 - 1)));
    for (int i = 0; i < n / 2; ++i) Fpol[i] = pair;
    if (n % 2) Fpol[n / 2] = cplx(-1.0, 0.0);
    FA0split = 1.0;
}

// FA0split from the prototype's DC gain: product of |p|^2 over the pairs (times -p for odd n),
// divided by extraDivisor, spread evenly over the sections.
void TIIRObj::gainFromPoles(int n, double extraDivisor)
{
    double P = 1.0;
    for (int i = 0; i < n / 2; ++i) P *= std::norm(Fpol[i]);
    if (n % 2) P *= -Fpol[n / 2].real();
    P /= extraDivisor;
    FA0split = std::pow(P, 1.0 / FBiquads);
}

void TIIRObj::sectionsLowHigh(bool high)
{
    const double W = FWtr, A = FA0split;
    const int n = FNtp;
    for (int k = 0; k < n / 2; ++k) {
        const double s = Fpol[k].real(), m2 = std::norm(Fpol[k]);
        TBIQSection& b = BIQ[k];
        if (high) b = {0, 0, A, W * W, -2 * s * W, m2};
        else b = {A * W * W, 0, 0, m2 * W * W, -2 * s * W, 1};
    }
    if (n % 2) {
        const double s = Fpol[n / 2].real();
        BIQ[n / 2] = high ? TBIQSection{0, A, 0, W, -s, 0} : TBIQSection{A * W, 0, 0, -s * W, 1, 0};
    }
}

void TIIRObj::sectionsBandPass()
{
    const double W = FWtr, A = FA0split, B = FGtr * W;
    const int n = FNtp;
    int sec = 0;
    for (int k = 0; k < n / 2; ++k) {
        const cplx ce = Fpol[k] * B / 2.0;
        const cplx fg = std::sqrt(ce * ce - W * W);
        for (const cplx pole : {ce + fg, ce - fg})
            BIQ[sec++] = {0, A * B, 0, std::norm(pole), -2 * pole.real(), 1};
    }
    if (n % 2) BIQ[sec] = {0, A * B, 0, W * W, -B * Fpol[n / 2].real(), 1};
}

void TIIRObj::sectionsBandStop()
{
    const double W = FWtr, A = FA0split, B = FGtr * W;
    const int n = FNtp;
    int sec = 0;
    for (int k = 0; k < n / 2; ++k) {
        const double pm = std::abs(Fpol[k]);
        const cplx ce = Fpol[k] * (B / (pm * pm));
        const cplx fg = std::sqrt(ce * ce - 4 * W * W);
        for (const cplx pole : {(ce + fg) / 2.0, (ce - fg) / 2.0})
            BIQ[sec++] = {W * W * A / pm, 0, A / pm, std::norm(pole), -2 * pole.real(), 1};
    }
    if (n % 2) {
        const double s = Fpol[n / 2].real();
        BIQ[sec] = {W * W * A, 0, A, -s * W * W, B, -s};
    }
}

// ATP: every low-pass denominator D(s) becomes D(-s)/D(s).
void TIIRObj::sectionsAllPassFromLowPass()
{
    sectionsLowHigh(false);
    for (int k = 0; k < FBiquads; ++k) {
        TBIQSection& b = BIQ[k];
        b.N0 = b.D0;
        b.N1 = -b.D1;
        b.N2 = b.D2;
    }
}

void TIIRObj::sectionsSingle()
{
    const double W = FWtr;
    const double R = 2 * kPi * prewarp(FRatio * Ffreq, DesignSampleRate());
    TBIQSection& b = BIQ[0];
    switch (Ftyp) {
    case iirSL: sectionShelving(false); break;
    case iirSH: sectionShelving(true); break;
    case iirPK: sectionPeak(); break;
    case iirAP:
        if (FGrad == 1) b = {W, -1, 0, W, 1, 0};
        else b = {W * W, -2 * W, 1, W * W, 2 * W, 1};
        break;
    case iirLGH: b = {1, 1 / R, 0, 1, 1 / W, 0}; break;
    case iirLDH: b = {1, 1 / W, 0, 1, 1 / R, 0}; break;
    case iirLGL: b = {W, 1, 0, R, 1, 0}; break;
    case iirLDL: b = {R, 1, 0, W, 1, 0}; break;
    default: b = {1, 0, 0, 1, 0, 0};
    }
}

void TIIRObj::sectionShelving(bool high)
{
    const double W = FWtr;
    const double V = std::pow(10.0, std::fabs(Fgain) / 20);
    const double U = std::pow(10.0, std::fabs(Fgain) / (20 * std::sqrt(2.0)));
    TBIQSection& b = BIQ[0];
    if (FGrad == 1)
        b = high ? TBIQSection{W, V, 0, W, 1, 0} : TBIQSection{V * W, 1, 0, W, 1, 0};
    else if (high)
        b = {W * W, 2 * std::sqrt(V) * W, V, W * W, (V + 1) * W / U, 1};
    else
        b = {V * W * W, 2 * std::sqrt(V) * W, 1, W * W, (V + 1) * W / U, 1};
    if (Fgain < 0) {
        std::swap(b.N0, b.D0);
        std::swap(b.N1, b.D1);
        std::swap(b.N2, b.D2);
    }
}

void TIIRObj::sectionPeak()
{
    const double W = FWtr;
    const double V = std::pow(10.0, std::fabs(Fgain) / 20);
    const double U = std::pow(10.0, std::fabs(Fgain) / (20 * std::sqrt(2.0)));
    const double B = Fgain != 0 ? std::sqrt((U * U - 1) / (V * V - U * U)) : std::sqrt(2.0);
    const double boost = W * FGtr * V * B, plain = B * FGtr * W;
    BIQ[0] = {W * W, Fgain > 0 ? boost : plain, 1, W * W, Fgain > 0 ? plain : boost, 1};
}

void TIIRObj::checkPoles()
{
    FWarning = "";
    if (Ftyp == iirFlat) return;
    for (int k = 0; k < FBiquads; ++k) {
        if (BIQ[k].D1 == 0 && BIQ[k].D2 == 0) {
            FWarning = "analoge function without pole !";
            return;
        }
    }
}

void TIIRObj::bilinear()
{
    const double T = DesignT();
    for (auto& s : IIR) s = TIIRSection{};
    if (FBypassed || Ftyp == iirFlat) return;
    for (int k = 0; k < FBiquads; ++k) {
        const TBIQSection& b = BIQ[k];
        TIIRSection& d = IIR[k];
        if (b.N2 == 0 && b.D2 == 0) {
            const double L = T * b.D0 + 2 * b.D1;
            if (L == 0 || !std::isfinite(L)) continue; // no usable denominator: leave identity
            d = {-(T * b.D0 - 2 * b.D1) / L, 0, (T * b.N0 + 2 * b.N1) / L, (T * b.N0 - 2 * b.N1) / L, 0};
            continue;
        }
        const double T2 = T * T;
        const double L = T2 * b.D0 + 2 * T * b.D1 + 4 * b.D2;
        if (L == 0 || !std::isfinite(L)) continue;
        d.b0 = (T2 * b.N0 + 2 * T * b.N1 + 4 * b.N2) / L;
        d.b1 = (2 * T2 * b.N0 - 8 * b.N2) / L;
        d.b2 = (T2 * b.N0 - 2 * T * b.N1 + 4 * b.N2) / L;
        d.a1 = -(2 * T2 * b.D0 - 8 * b.D2) / L;
        d.a2 = -(T2 * b.D0 - 2 * T * b.D1 + 4 * b.D2) / L;
    }
    // A degenerate parameter (Q or ripple of 0 or NaN through a setter) must not put NaN into
    // the audio path, where it would stay in the delay line for good: such a section passes.
    for (auto& d : IIR) {
        if (!std::isfinite(d.a1 + d.a2 + d.b0 + d.b1 + d.b2)) d = TIIRSection{};
    }
}

// ---- running ----

// Node k-1's history is carried in registers into section k instead of being re-read, so the
// chain from one section to the next does not wait for a store; the nodes end up exactly as
// after "shift every node, then compute".
double TIIRObj::NewCycle(double Sample) noexcept
{
    double x0 = flushTiny(Sample), x1 = FData[0][0], x2 = FData[0][1];
    FData[0][0] = x0, FData[0][1] = x1, FData[0][2] = x2;
    for (int k = 1; k <= FBiquads; ++k) {
        const TIIRSection& c = IIR[k - 1];
        double* y = FData[k];
        const double y1 = y[0], y2 = y[1];
        // a1 * y1 last: it is the only term waiting for the previous output (shorter chain)
        const double out = flushTiny(c.b0 * x0 + c.b1 * x1 + c.b2 * x2 + c.a2 * y2 + c.a1 * y1);
        y[0] = out, y[1] = y1, y[2] = y2;
        x0 = out, x1 = y1, x2 = y2;
    }
    return x0;
}

namespace {

// Node state after a block: the newest three values of the stream, taking the node's old
// history where the block is shorter than three samples.
void storeNode(double* node, const double* buf, size_t n) noexcept
{
    const double old0 = node[0], old1 = node[1];
    node[0] = n >= 1 ? buf[n - 1] : old0;
    node[1] = n >= 2 ? buf[n - 2] : (n == 1 ? old0 : old1);
    node[2] = n >= 3 ? buf[n - 3] : (n == 2 ? old0 : (n == 1 ? old1 : node[2]));
}

// One section over the block, in place; xh/yh: the input and output histories before the block.
void runSection(const TIIRSection& c, const double* xh, const double* yh, double* buf, size_t n) noexcept
{
    double x1 = xh[0], x2 = xh[1], y1 = yh[0], y2 = yh[1];
    const double b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = c.a1, a2 = c.a2;
    for (size_t i = 0; i < n; ++i) {
        const double x = buf[i];
        const double y = flushTiny(b0 * x + b1 * x1 + b2 * x2 + a2 * y2 + a1 * y1); // as NewCycle
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        buf[i] = y;
    }
}

} // namespace

// Section by section over the whole block (the state stays in registers); each node's old
// history is kept until the next section has used it as its input history.
void TIIRObj::NewCycleBlock(const double* in, double* out, size_t n) noexcept
{
    if (n == 0) return;
    for (size_t i = 0; i < n; ++i) out[i] = flushTiny(in[i]);
    double inHist[3] = {FData[0][0], FData[0][1], FData[0][2]};
    storeNode(FData[0], out, n);
    for (int k = 1; k <= FBiquads; ++k) {
        const double outHist[3] = {FData[k][0], FData[k][1], FData[k][2]};
        runSection(IIR[k - 1], inHist, outHist, out, n);
        storeNode(FData[k], out, n);
        std::copy(outHist, outHist + 3, inHist);
    }
}

void TIIRObj::ClearData() noexcept
{
    for (auto& node : FData) node[0] = node[1] = node[2] = 0.0;
}

void TIIRObj::ClearData32() noexcept
{
    for (auto& node : FData32) node[0] = node[1] = node[2] = 0;
}

// ---- response ----

std::complex<double> TIIRObj::Hz_Complex(double frequenz) const
{
    const cplx z = std::polar(1.0, 2 * kPi * frequenz * DesignT());
    cplx h = 1.0;
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        h *= ((c.b0 * z + c.b1) * z + c.b2) / ((z - c.a1) * z - c.a2);
    }
    return h;
}

double TIIRObj::Hz(double frequenz, TSubject ASubject) const
{
    const double T = DesignT();
    const cplx z = std::polar(1.0, 2 * kPi * frequenz * T);
    double mag = 1.0, phase = 0.0, dphase = 0.0;
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        const cplx N = (c.b0 * z + c.b1) * z + c.b2, D = (z - c.a1) * z - c.a2;
        mag *= std::abs(N) / std::abs(D);
        phase += std::arg(N) - std::arg(D);
        // d arg P(e^jt) / dt = Re(z P'(z) / P(z))
        if (N != 0.0) dphase += std::real(z * (2 * c.b0 * z + c.b1) / N);
        dphase -= std::real(z * (2.0 * z - c.a1) / D);
    }
    const double group = -dphase * T;
    switch (ASubject) {
    case TSubject::Betrag: return mag;
    case TSubject::Phase: return phase;
    case TSubject::Gruppe: return group;
    case TSubject::Phlaufzeit: return frequenz != 0 ? -phase / (2 * kPi * frequenz) : group;
    case TSubject::ImaginaerTeil: return Hz_Complex(frequenz).imag();
    default: return Hz_Complex(frequenz).real();
    }
}

// ---- parameter strings ----

const char* TIIRObj::TypName(int typ) { return typ >= 0 && typ <= 13 ? kTypName[typ] : ""; }
const char* TIIRObj::TypShortName(int typ) { return typ >= 0 && typ <= 13 ? kTypShort[typ] : ""; }
const char* TIIRObj::TypLongName(int typ) { return typ >= 0 && typ <= 13 ? kTypLong[typ] : ""; }
const char* TIIRObj::CharName(int c) { return c >= 0 && c <= 6 ? kCharName[c] : ""; }

std::string TIIRObj::GetParameterStr() const
{
    std::string s = TypName(Ftyp);
    if (Ftyp == iirFlat) return s;
    s += ", n=" + std::to_string(FGrad);
    s += ", f=" + fmt(Ffreq != std::floor(Ffreq) ? "%6.3f" : "%5.0f", Ffreq) + "Hz, ";
    if (Ftyp >= iirSL && Ftyp <= iirPK) s += "gain=" + fmt("%6.2f", Fgain) + " dB, ";
    if (Ftyp == iirPK || Ftyp == iirBP || Ftyp == iirBS) s += "q=" + fmt("%6.3f", Fq) + ", ";
    if (usesChar(Ftyp)) {
        s += CharName(FFilterChar);
        if (FFilterChar == chTschebyscheff) s += "ripple=" + fmt("%7.4f", Famax) + " dB, ";
    }
    if (Ftyp >= iirLDL && Ftyp <= iirLGH) s += "ratio=" + fmt("%6.3f", FRatio);
    const bool lowHigh = (Ftyp == iirTP || Ftyp == iirHP) && FGrad > 1;
    const bool band = (Ftyp == iirBP || Ftyp == iirBS) && FGrad > 3;
    if (FFilterChar == chFreeAtt && (lowHigh || band)) s += "att.=" + fmt("%6.3f", FAtt);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (!s.empty() && s.back() == ',') s.pop_back();
    return s;
}

std::string TIIRObj::GetParameterStrShort() const
{
    std::string s = TypShortName(Ftyp);
    if (Ftyp == iirFlat) return s;
    return s + " " + fmt(Ffreq != std::floor(Ffreq) ? "%6.3f" : "%1.0f", Ffreq) + "Hz";
}

// ---- coefficient export ----

int32_t TIIRObj::ToFrac32(double v)
{
    if (!(v == v)) return 0; // NaN
    if (v >= 1.0) return INT32_MAX;
    if (v <= -1.0) return INT32_MIN;
    const double r = std::nearbyint(v * 2147483648.0);
    return static_cast<int32_t>(std::clamp(r, -2147483648.0, 2147483647.0));
}

size_t TIIRObj::GetCoeff_Single(std::span<float> out) const
{
    const size_t need = 5u * FBiquads;
    if (out.size() < need) return 0;
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        const float v[5] = {float(c.b0), float(c.b1), float(c.b2), float(c.a1), float(c.a2)};
        std::copy(v, v + 5, out.begin() + 5 * k);
    }
    return need;
}

size_t TIIRObj::GetCoeff_4_Single(std::span<float> out) const
{
    const size_t need = 4u * FBiquads;
    if (out.size() < need) return 0;
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        const double b0 = c.b0 != 0 ? c.b0 : 1.0; // a zero b0 section exports its b1, b2 unscaled
        const float v[4] = {float(c.b1 / b0), float(c.b2 / b0), float(c.a1), float(c.a2)};
        std::copy(v, v + 4, out.begin() + 4 * k);
    }
    return need;
}

double TIIRObj::GetCoeff_4_Scaler() const
{
    double g = 1.0;
    for (int k = 0; k < FBiquads; ++k)
        if (IIR[k].b0 != 0) g *= IIR[k].b0;
    return g;
}

size_t TIIRObj::exportFrac(std::span<int32_t> out, double norm, bool negateFeedback)
{
    const size_t need = 5u * FBiquads;
    if (out.size() < need || !(norm > 0) || !std::isfinite(norm)) return 0;
    const double sf = negateFeedback ? -1.0 : 1.0;
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        TIIRSection32& q = IIR32[k];
        q = {ToFrac32(sf * c.a1 / norm), ToFrac32(sf * c.a2 / norm), ToFrac32(c.b0 / norm),
             ToFrac32(c.b1 / norm), ToFrac32(c.b2 / norm)};
        const int32_t v[5] = {q.b1, q.b0, q.b2, q.a1, q.a2};
        std::copy(v, v + 5, out.begin() + 5 * k);
    }
    return need;
}

size_t TIIRObj::GetCoeff_32(std::span<int32_t> out, double norm) { return exportFrac(out, norm, false); }
size_t TIIRObj::GetCoeff_32_i(std::span<int32_t> out, double norm) { return exportFrac(out, norm, true); }

bool TIIRObj::GetCoeff_32_(std::span<int32_t> out, double norm, size_t* count)
{
    const size_t n = GetCoeff_32(out, norm);
    if (count) *count = n;
    return TestCoeff_32(norm);
}

bool TIIRObj::GetCoeff_32_i_(std::span<int32_t> out, double norm, size_t* count)
{
    const size_t n = GetCoeff_32_i(out, norm);
    if (count) *count = n;
    return TestCoeff_32(norm);
}

bool TIIRObj::TestCoeff_32(double norm) const
{
    for (int k = 0; k < FBiquads; ++k) {
        const TIIRSection& c = IIR[k];
        const double m = std::max({std::fabs(c.a1), std::fabs(c.a2), std::fabs(c.b0),
                                   std::fabs(c.b1), std::fabs(c.b2)});
        if (!(m <= norm)) return false;
    }
    return true;
}
