// Building blocks of the fast Fourier transform: exact unit roots, transform plans, passes.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fftkernel {

// A zero-filled, 64-byte aligned array of doubles. Allocation failure throws std::bad_alloc.
class AlignedArray {
public:
    AlignedArray() = default;
    explicit AlignedArray(size_t count);
    double* data() { return m_data.get(); }
    const double* data() const { return m_data.get(); }
    size_t size() const { return m_size; }

private:
    struct Free {
        size_t align; // the alignment the array was allocated with
        void operator()(double* p) const;
    };
    std::unique_ptr<double[], Free> m_data; // the elements, or null when empty
    size_t m_size = 0;                      // number of elements
};

// cos and sin of 2*pi*j/n for every integer j, n a power of two. The first octant is evaluated
// in extended precision and rounded once; the other seven are mirrored from it, so values at
// multiples of pi/4 are exact and the circle is exactly symmetric (cos(2*pi*(n-j)/n) equals
// cos(2*pi*j/n) bit for bit).
class UnitCircle {
public:
    explicit UnitCircle(size_t n);
    size_t size() const { return m_n; }
    inline void at(size_t j, double& c, double& s) const;
    double cosAt(size_t j) const {
        double c, s;
        at(j, c, s);
        return c;
    }

private:
    size_t m_n = 1;   // circle division
    int m_log2 = 0;   // log2(m_n)
    AlignedArray m_c; // cos of the first octant, index 0..n/8
    AlignedArray m_s; // sin of the first octant, index 0..n/8
};

// Forward complex transform X[k] = sum x[t] e^(-2 pi i k t / m) of one power-of-two size m on
// split arrays (real parts and imaginary parts apart), without scaling. Immutable once built,
// so one plan may serve several threads.
class ComplexPlan {
public:
    // `circle.size()` must be a multiple of m.
    ComplexPlan(size_t m, const UnitCircle& circle);
    size_t size() const { return m_m; }
    // dst = DFT(src). Source and destination must not overlap.
    void transform(const double* sr, const double* si, double* dr, double* di) const;
    // The same with the source given as m interleaved (re, im) pairs, each element multiplied
    // by `w` (2m values) first when `w` is not null. Needs m >= 32.
    void transformPairs(const double* x, const double* w, double* dr, double* di) const;
    // In place; `scratchR`/`scratchI` hold m values each (unused below 32 points).
    void transformInPlace(double* re, double* im, double* scratchR, double* scratchI) const;

private:
    void smallInPlace(double* re, double* im) const;
    void runStages(double* re, double* im, size_t len) const;
    const double* stageTwiddles(size_t L) const;

    size_t m_m = 1;                  // transform size
    int m_log2 = 0;                  // log2(m_m)
    int m_leaf = 0;                  // size of the first pass's transforms: 8 or 16 (0 below 32)
    std::vector<uint32_t> m_rev;     // bit-reversed leaf position of each leaf's first input
    AlignedArray m_tw;               // twiddles of every radix-4 pass, 24 doubles per 4 outputs
    std::vector<size_t> m_stageOff;  // offset into m_tw of each pass, by pass number
    std::vector<double> m_smallTw;   // cos, -sin pairs for the scalar transform below 32 points
};

// Forward transform of n = 2m real values (n >= 64) through one m-point complex transform of
// the even/odd pairs and an unpack step. Holds a pointer to the complex plan, which must
// outlive it.
class RealPlan {
public:
    RealPlan(size_t n, const ComplexPlan& half, const UnitCircle& circle);
    size_t size() const { return m_n; }
    // Bins 0..n/2 of x (times w when w is not null) times `scale` into re/im (n/2+1 each).
    // `zr`, `zi` are work arrays of n/2+1 values; re/im may be zr/zi themselves.
    void transform(const double* x, const double* w, double* re, double* im, double scale,
                   double* zr, double* zi) const;
    // The analysis fast path: out[k] = |X[k]| / n for k < n/2, out[n/2 + i] = Re X[n/2 - i] / n
    // for i < n/2, X the transform of x*w. x and out may be the same array. Returns the sum of
    // the n/2 magnitudes. `zr`, `zi` as above.
    double magnitudes(const double* x, const double* w, double* out, double* zr,
                      double* zi) const;

private:
    size_t m_n = 0;                  // real transform size
    const ComplexPlan* m_half;       // the n/2-point complex transform
    AlignedArray m_c;                // cos(2 pi k / n), k = 0..n/4
    AlignedArray m_s;                // sin(2 pi k / n), k = 0..n/4
};

// The angle 2*pi*j/n lies in octant o = floor(8j/n) at 2*pi*r/(8n) past its start. Even octants
// use the base angle r, odd ones the mirrored angle n - r, then the octant's symmetry.
inline void UnitCircle::at(size_t j, double& c, double& s) const {
    j &= m_n - 1;
    const uint64_t e = uint64_t(j) * 8;
    const unsigned oct = unsigned(e >> m_log2);
    const uint64_t rem = e & (m_n - 1);
    const size_t idx = (oct & 1) ? size_t((m_n - rem) / 8) : size_t(rem / 8);
    const double bc = m_c.data()[idx], bs = m_s.data()[idx];
    switch (oct) {
    case 0: c = bc, s = bs; break;
    case 1: c = bs, s = bc; break;
    case 2: c = -bs, s = bc; break;
    case 3: c = -bc, s = bs; break;
    case 4: c = -bc, s = -bs; break;
    case 5: c = -bs, s = -bc; break;
    case 6: c = bs, s = -bc; break;
    default: c = bc, s = -bs; break;
    }
}

// ---- elementary functions of the per-bin loops ----
// Inline, branch-free for ordinary arguments and within about one ulp of the library functions;
// arguments outside the ordinary range go to the library.

// 2^(i/128) for i = 0..127, split for the exponential: tail[i] the rounding error of the
// double, bits[i] the double's bit pattern less i << 45 (so adding k << 45 scales by 2^(k/128)).
struct ExpTable {
    double tail[128];
    uint64_t bits[128];
};
const ExpTable& expTable();

// e^x through 2^(k/128) * e^r, |r| <= ln2/256; t from expTable().
inline double fastExp(const ExpTable& t, double x) {
    if (!(std::fabs(x) < 700.0)) return std::exp(x);
    constexpr double kInvLn2N = 0x1.71547652b82fep0 * 128, kShift = 0x1.8p52;
    constexpr double kNegLn2HiN = -0x1.62e42fefa0000p-8, kNegLn2LoN = -0x1.cf79abc9e3b3ap-47;
    double kd = x * kInvLn2N + kShift;
    const uint64_t ki = std::bit_cast<uint64_t>(kd);
    kd -= kShift;
    const double r = x + kd * kNegLn2HiN + kd * kNegLn2LoN;
    const size_t i = size_t(ki & 127);
    const double scale = std::bit_cast<double>(t.bits[i] + (ki << 45));
    const double r2 = r * r;
    const double p = t.tail[i] + r + r2 * (0.5 + r * (1.0 / 6)) +
                     r2 * r2 * (1.0 / 24 + r * (1.0 / 120));
    return scale + scale * p;
}

// log10 x: x = 2^k * m with m in [sqrt(2)/2, sqrt(2)), log(m) = f - f^2/2 + s*(f^2/2 + R(s^2)),
// s = f/(2+f), the sum carried in two parts through the scaling by 1/ln 10.
inline double fastLog10(double x) {
    if (!(x >= 0x1p-1022 && x < 0x1p1023)) return std::log10(x);
    constexpr double kLg1 = 6.666666666666735130e-01, kLg2 = 3.999999999940941908e-01;
    constexpr double kLg3 = 2.857142874366239149e-01, kLg4 = 2.222219843214978396e-01;
    constexpr double kLg5 = 1.818357216161805012e-01, kLg6 = 1.531383769920937332e-01;
    constexpr double kLg7 = 1.479819860511658591e-01;
    constexpr double kIvLn10Hi = 4.34294481878168880939e-01, kIvLn10Lo = 2.50829467116452752298e-11;
    constexpr double kLog10_2Hi = 3.01029995663611771306e-01, kLog10_2Lo = 3.69423907715893078616e-13;
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    const uint32_t hx = uint32_t(bits >> 32) & 0x000fffffu;
    const uint32_t i = (hx + 0x95f64u) & 0x100000u;
    const int k = int(bits >> 52) - 1023 + int(i >> 20);
    const uint64_t mbits = (uint64_t(hx | (i ^ 0x3ff00000u)) << 32) | (bits & 0xffffffffu);
    const double f = std::bit_cast<double>(mbits) - 1.0;
    const double hfsq = 0.5 * f * f;
    const double s = f / (2.0 + f), z = s * s, w = z * z;
    const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
    const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
    const double r = s * (hfsq + t2 + t1);
    const double hi = std::bit_cast<double>(std::bit_cast<uint64_t>(f - hfsq) & 0xffffffff00000000ull);
    const double lo = (f - hi) - hfsq + r;
    const double y = double(k);
    double valHi = hi * kIvLn10Hi;
    const double y2 = y * kLog10_2Hi;
    double valLo = y * kLog10_2Lo + (lo + hi) * kIvLn10Lo + lo * kIvLn10Hi;
    const double sum = y2 + valHi;
    valLo += (y2 - sum) + valHi;
    valHi = sum;
    return valLo + valHi;
}

// atan x by reduction to |x| < 7/16 around atan(1/2), atan(1), atan(3/2) and pi/2 and an odd
// polynomial; selects instead of branches, so the loops over bins vectorise.
inline double fastAtan(double x) {
    constexpr double kT[11] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01,
                               1.42857142725034663711e-01,  -1.11111104054623557880e-01,
                               9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                               6.66107313738753120669e-02,  -5.83357013379057348645e-02,
                               4.97687799461593236017e-02,  -3.65315727442169155270e-02,
                               1.62858201153657823623e-02};
    const double ax = std::fmin(std::fabs(x), 0x1p66);
    const bool b0 = ax >= 0.4375, b1 = ax >= 0.6875, b2 = ax >= 1.1875, b3 = ax >= 2.4375;
    // (p*a - q) / (r + s*a) per interval; the last one is -1/a.
    const double p = b3 ? 0.0 : (b0 && !b1) ? 2.0 : 1.0;
    const double q = b3 ? 1.0 : b2 ? 1.5 : b1 ? 1.0 : b0 ? 1.0 : 0.0;
    const double r = b3 ? 0.0 : b2 ? 1.0 : b1 ? 1.0 : b0 ? 2.0 : 1.0;
    const double s = b3 ? 1.0 : b2 ? 1.5 : b1 ? 1.0 : b0 ? 1.0 : 0.0;
    const double hi = b3 ? 1.57079632679489655800e+00 : b2 ? 9.82793723247329054082e-01
                    : b1 ? 7.85398163397448278999e-01 : b0 ? 4.63647609000806093515e-01 : 0.0;
    const double lo = b3 ? 6.12323399573676603587e-17 : b2 ? 1.39033110312309984516e-17
                    : b1 ? 3.06161699786838301793e-17 : b0 ? 2.26987774529616870924e-17 : 0.0;
    const double a = (p * ax - q) / (r + s * ax);
    const double z = a * a, w = z * z;
    const double s1 = z * (kT[0] + w * (kT[2] + w * (kT[4] + w * (kT[6] + w * (kT[8] + w * kT[10])))));
    const double s2 = w * (kT[1] + w * (kT[3] + w * (kT[5] + w * (kT[7] + w * kT[9]))));
    const double v = hi - ((a * (s1 + s2) - lo) - a);
    return std::isnan(x) ? x : std::copysign(v, x);
}

// atan(y / x) without rounding the quotient first, to within 4e-16 rad (absolute): with
// lo = min(|x|, |y|), hi = max(|x|, |y|), atan(lo/hi) is taken as atan(a) for a = lo/hi, or as
// pi/4 + atan(a) for a = (lo - hi)/(lo + hi) when lo/hi > tan(pi/8), so |a| <= tan(pi/8) and one
// odd polynomial of degree 21 serves; pi/2 minus that when |y| > |x|. One division, two selects
// of the reduction, no branches. For x and y beyond 1e-290..1e300 in size (and for NaN), the
// quotient goes through fastAtan.
struct AtanQuotConst {
    static constexpr double kTanPi8 = 0.41421356237309503;      // tan(pi/8), rounded up
    static constexpr double kPi4Hi = 7.85398163397448278999e-01; // pi/4 in two parts
    static constexpr double kPi4Lo = 3.06161699786838301793e-17;
    static constexpr double kPi2Hi = 1.57079632679489655800e+00; // pi/2 in two parts
    static constexpr double kPi2Lo = 6.12323399573676603587e-17;
    // (atan(a) - a) / a^3 = c0 + c1 z + ... + c9 z^9, z = a^2 (|a| <= tan(pi/8)).
    static constexpr double c[10] = {-0.33333333333333248,  0.19999999999898688,
                                     -0.14285714266112717,  0.11111109636846923,
                                     -0.090908525554856359, 0.076910550033295402,
                                     -0.06649611212341161,  0.057363133945379348,
                                     -0.04483264391590823,  0.022749480550408159};
};

inline double fastAtanQuot(double y, double x) {
    using K = AtanQuotConst;
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (!(ax > 1e-290 && ay > 1e-290 && ax < 1e300 && ay < 1e300)) return fastAtan(y / x);
    const double lo = ay < ax ? ay : ax, hi = ay < ax ? ax : ay;
    const bool mid = lo > K::kTanPi8 * hi;
    const double a = (mid ? lo - hi : lo) / (mid ? lo + hi : hi);
    const double z = a * a, w = z * z;
    const double e = K::c[0] + w * (K::c[2] + w * (K::c[4] + w * (K::c[6] + w * K::c[8])));
    const double o = K::c[1] + w * (K::c[3] + w * (K::c[5] + w * (K::c[7] + w * K::c[9])));
    const double p = a + (a * z) * (e + z * o);
    const double r = mid ? K::kPi4Hi + (K::kPi4Lo + p) : p;
    const double v = ay > ax ? (K::kPi2Hi - r) + K::kPi2Lo : r;
    return std::signbit(x) != std::signbit(y) ? -v : v;
}

// The same over arrays, several values at a time (SSE2, or AVX2 where the processor has it),
// with the scalar routines' results bit for bit; y may be x itself.
void expArray(const double* x, double* y, size_t n);
void log10Array(const double* x, double* y, size_t n);
// out[i] = fastAtanQuot(y[i], x[i]); out may be x or y.
void atanQuotArray(const double* y, const double* x, double* out, size_t n);
// out[i] = sqrt(re[i]^2 + im[i]^2); out may be re or im.
void hypotArray(const double* re, const double* im, double* out, size_t n);


} // namespace fftkernel
