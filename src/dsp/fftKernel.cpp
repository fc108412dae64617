// Fast Fourier transform kernels: unit-root tables, the vectorised passes and the plans.
#include "dsp/fftKernel.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace fftkernel {

// ---------------------------------------------------------------------------------------------
// Storage and unit roots

namespace {
// Arrays from this size on are aligned to, and advised into, 2 MiB pages: the large transform
// tables are touched in one sweep at setup, and small pages would cost a fault every 4 KiB.
constexpr size_t kHugePage = size_t(2) << 20;
} // namespace

void AlignedArray::Free::operator()(double* p) const {
    ::operator delete[](p, std::align_val_t(align));
}

AlignedArray::AlignedArray(size_t count) : m_size(count) {
    if (count == 0) return;
    const size_t bytes = count * sizeof(double);
    const size_t align = bytes >= kHugePage ? kHugePage : 64;
    void* p = ::operator new[](bytes, std::align_val_t(align));
    m_data = std::unique_ptr<double[], Free>(static_cast<double*>(p), Free{align});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (align == kHugePage) madvise(p, bytes & ~(kHugePage - 1), MADV_HUGEPAGE);
#endif
    std::memset(p, 0, bytes);
}

namespace {

constexpr long double kTwoPiL = 6.283185307179586476925286766559005768L;

int log2Of(size_t n) {
    int b = 0;
    while ((size_t(1) << b) < n) ++b;
    return b;
}

} // namespace

namespace {

// Angles are split into a coarse part, a multiple of 1/4096 of the circle, and a fine rest.
// Both parts come from tables keyed by the angle itself, so a root is the same bit for bit
// whichever circle division it is taken from.
constexpr int kCoarseBits = 12;
constexpr size_t kCoarse = size_t(1) << kCoarseBits;

struct RootL {
    long double c, s; // cos and sin
};

RootL rootL(size_t i, size_t n) {
    const long double a = kTwoPiL * static_cast<long double>(i) / static_cast<long double>(n);
    return {cosl(a), sinl(a)};
}

// cos and sin of 2*pi*h/4096 for the first octant, h = 0..512.
const std::vector<RootL>& coarseRoots() {
    static const std::vector<RootL> table = [] {
        std::vector<RootL> t(kCoarse / 8 + 1);
        for (size_t h = 0; h < t.size(); ++h)
            t[h] = rootL(h, kCoarse);
        return t;
    }();
    return table;
}

} // namespace

UnitCircle::UnitCircle(size_t n) : m_n(n), m_log2(log2Of(n)) {
    const size_t octant = n >= 8 ? n / 8 : 0;
    m_c = AlignedArray(octant + 1);
    m_s = AlignedArray(octant + 1);
    double* cs = m_c.data();
    double* sn = m_s.data();
    const std::vector<RootL>& coarse = coarseRoots();
    const size_t perCoarse = n > kCoarse ? n / kCoarse : 1;
    std::vector<RootL> fine(perCoarse);
    for (size_t r = 0; r < perCoarse; ++r)
        fine[r] = rootL(r, n);
    for (size_t i = 0; i <= octant; ++i) {
        const size_t h = n > kCoarse ? i / perCoarse : i * (kCoarse / n);
        const RootL& a = coarse[h];
        const RootL& b = fine[n > kCoarse ? i % perCoarse : 0];
        cs[i] = static_cast<double>(a.c * b.c - a.s * b.s);
        sn[i] = static_cast<double>(a.s * b.c + a.c * b.s);
    }
    // The octant's ends exactly: 0 and pi/4, where cos equals sin.
    sn[0] = 0.0, cs[0] = 1.0;
    if (octant > 0) cs[octant] = sn[octant] = static_cast<double>(sqrtl(0.5L));
}

// ---------------------------------------------------------------------------------------------
// Vector helpers. Four doubles per vector; the same arithmetic runs in the AVX2 clone and the
// baseline clone, without fused multiply-add, so both give bit-identical results.

namespace {

typedef double V4 __attribute__((vector_size(32), aligned(8)));

// The clones are chosen by a resolver that runs while the program is being loaded, before a
// thread sanitizer's runtime is up; such builds take the default code.
#if defined(__x86_64__) && defined(__has_attribute) && !defined(__SANITIZE_THREAD__)
#if __has_attribute(target_clones)
#define FK_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef FK_CLONES
#define FK_CLONES
#endif
#define FK_INLINE inline __attribute__((always_inline))

// Four complex values in split form. Passed by reference: vector values passed or returned by
// value would depend on the target's ABI.
struct Cx {
    V4 r, i;
};

FK_INLINE void load4(V4& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
FK_INLINE void store4(double* p, const V4& v) {
    std::memcpy(p, &v, sizeof v);
}
FK_INLINE void reverse4(V4& v) {
    v = __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

// a, b = a + b, a - b
FK_INLINE void addsub(Cx& a, Cx& b) {
    const V4 sr = a.r + b.r, si = a.i + b.i;
    b.r = a.r - b.r, b.i = a.i - b.i;
    a.r = sr, a.i = si;
}
// a *= -i
FK_INLINE void mulNegI(Cx& a) {
    const V4 t = a.r;
    a.r = a.i, a.i = -t;
}
// a *= (wr + i wi), the factor the same in every lane
FK_INLINE void mulConst(Cx& a, double wr, double wi) {
    const V4 r = a.r * wr - a.i * wi;
    a.i = a.r * wi + a.i * wr;
    a.r = r;
}
// a *= (wr + i wi), one factor per lane
FK_INLINE void mulTw(Cx& a, const V4& wr, const V4& wi) {
    const V4 r = a.r * wr - a.i * wi;
    a.i = a.r * wi + a.i * wr;
    a.r = r;
}

constexpr double kR = 0.70710678118654752440;  // cos(pi/4)
constexpr double kC1 = 0.92387953251128675613; // cos(pi/8)
constexpr double kS1 = 0.38268343236508977173; // sin(pi/8)

// a *= e^(-i pi/4)
FK_INLINE void mulW8(Cx& a) {
    const V4 r = (a.r + a.i) * kR;
    a.i = (a.i - a.r) * kR;
    a.r = r;
}
// a *= e^(-3i pi/4)
FK_INLINE void mulW8x3(Cx& a) {
    const V4 r = (a.i - a.r) * kR;
    a.i = -(a.r + a.i) * kR;
    a.r = r;
}

// Four-point transform in place, natural output order.
FK_INLINE void dft4(Cx& a0, Cx& a1, Cx& a2, Cx& a3) {
    addsub(a0, a2);
    addsub(a1, a3);
    addsub(a0, a1);
    mulNegI(a3);
    addsub(a2, a3);
    std::swap(a1, a2);
}

// Eight-point transform of y into x (natural order): two four-point halves and one radix-2 step.
FK_INLINE void dft8(Cx* y, Cx* x) {
    dft4(y[0], y[2], y[4], y[6]);
    dft4(y[1], y[3], y[5], y[7]);
    mulW8(y[3]);
    mulNegI(y[5]);
    mulW8x3(y[7]);
    for (int k = 0; k < 4; ++k) {
        addsub(y[2 * k], y[2 * k + 1]);
        x[k] = y[2 * k], x[k + 4] = y[2 * k + 1];
    }
}

// Sixteen-point transform of y into x: four-point transforms along both axes of a 4x4 grid with
// the twiddles e^(-2 pi i s k / 16) between them.
FK_INLINE void dft16(Cx* y, Cx* x) {
    for (int s = 0; s < 4; ++s)
        dft4(y[s], y[4 + s], y[8 + s], y[12 + s]);
    mulConst(y[5], kC1, -kS1), mulW8(y[9]), mulConst(y[13], kS1, -kC1);
    mulW8(y[6]), mulNegI(y[10]), mulW8x3(y[14]);
    mulConst(y[7], kS1, -kC1), mulW8x3(y[11]), mulConst(y[15], -kC1, kS1);
    for (int k = 0; k < 4; ++k) {
        dft4(y[4 * k], y[4 * k + 1], y[4 * k + 2], y[4 * k + 3]);
        for (int q = 0; q < 4; ++q)
            x[k + 4 * q] = y[4 * k + q];
    }
}

FK_INLINE void transpose4(V4& a, V4& b, V4& c, V4& d) {
    const V4 t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const V4 t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const V4 t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const V4 t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// Source readers of the first pass: four consecutive complex inputs starting at index t.
struct SplitLoad {
    const double* re; // real parts
    const double* im; // imaginary parts
    FK_INLINE void operator()(size_t t, Cx& c) const {
        load4(c.r, re + t), load4(c.i, im + t);
    }
};
struct PairLoad {
    const double* x; // interleaved (re, im) pairs
    FK_INLINE void operator()(size_t t, Cx& c) const {
        V4 a, b;
        load4(a, x + 2 * t), load4(b, x + 2 * t + 4);
        c.r = __builtin_shufflevector(a, b, 0, 2, 4, 6);
        c.i = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }
};
struct WindowedPairLoad {
    const double* x; // interleaved (re, im) pairs
    const double* w; // window, same layout
    FK_INLINE void operator()(size_t t, Cx& c) const {
        V4 a, b, wa, wb;
        load4(a, x + 2 * t), load4(b, x + 2 * t + 4);
        load4(wa, w + 2 * t), load4(wb, w + 2 * t + 4);
        a *= wa, b *= wb;
        c.r = __builtin_shufflevector(a, b, 0, 2, 4, 6);
        c.i = __builtin_shufflevector(a, b, 1, 3, 5, 7);
    }
};

// Stores four values without first reading their cache line (whole lines are written in one
// go). Baseline x86-64 has the two-lane form; elsewhere a plain store.
FK_INLINE void stream4(double* p, const V4& v) {
#if defined(__SSE2__)
    _mm_stream_pd(p, (__m128d)__builtin_shufflevector(v, v, 0, 1));
    _mm_stream_pd(p + 2, (__m128d)__builtin_shufflevector(v, v, 2, 3));
#else
    store4(p, v);
#endif
}

// Writes output rows q..q+3 of four leaf transforms (one per lane) to their leaf blocks.
template <bool Stream>
FK_INLINE void storeLeaves(const V4& a0, const V4& b0, const V4& c0, const V4& d0, double* dst,
                           const size_t* base) {
    V4 a = a0, b = b0, c = c0, d = d0;
    transpose4(a, b, c, d);
    if constexpr (Stream) {
        stream4(dst + base[0], a), stream4(dst + base[1], b);
        stream4(dst + base[2], c), stream4(dst + base[3], d);
    } else {
        store4(dst + base[0], a), store4(dst + base[1], b);
        store4(dst + base[2], c), store4(dst + base[3], d);
    }
}

// The first pass: bit-reversal permutation fused with the first three or four radix-2 stages.
// After the permutation, the leaf block at position rev(t)*R holds the R-point transform of the
// inputs t, t + m/R, t + 2m/R, ..., so each leaf reads R sequential streams and writes R
// consecutive outputs. Four leaves run side by side, one per vector lane.

// From this size on the first pass writes past the caches: its scattered writes would otherwise
// read every destination line first, and the data outgrow the second-level cache anyway.
constexpr size_t kStreamFrom = 131072;

// Leaves t..t+3 of the first pass.
template <int R, bool Stream, class Load>
FK_INLINE void leafGroup(const Load& load, double* dr, double* di, size_t t, size_t stride,
                         const uint32_t* rev) {
    Cx y[R], x[R];
    for (int s = 0; s < R; ++s)
        load(t + s * stride, y[s]);
    if constexpr (R == 8)
        dft8(y, x);
    else
        dft16(y, x);
    for (int q = 0; q < R; q += 4) {
        const size_t base[4] = {rev[t] * size_t(R) + q, rev[t + 1] * size_t(R) + q,
                                rev[t + 2] * size_t(R) + q, rev[t + 3] * size_t(R) + q};
        storeLeaves<Stream>(x[q].r, x[q + 1].r, x[q + 2].r, x[q + 3].r, dr, base);
        storeLeaves<Stream>(x[q].i, x[q + 1].i, x[q + 2].i, x[q + 3].i, di, base);
    }
}

template <int R, class Load>
FK_INLINE void firstPass(const Load& load, double* dr, double* di, size_t m, const uint32_t* rev) {
    const size_t stride = m / R;
    if (m >= kStreamFrom) {
        for (size_t t = 0; t < stride; t += 4)
            leafGroup<R, true>(load, dr, di, t, stride, rev);
#if defined(__SSE2__)
        __builtin_ia32_sfence();
#endif
        return;
    }
    for (size_t t = 0; t < stride; t += 4)
        leafGroup<R, false>(load, dr, di, t, stride, rev);
}

FK_CLONES void firstPassSplit(int leaf, const double* sr, const double* si, double* dr,
                              double* di, size_t m, const uint32_t* rev) {
    const SplitLoad ld{sr, si};
    if (leaf == 8)
        firstPass<8>(ld, dr, di, m, rev);
    else
        firstPass<16>(ld, dr, di, m, rev);
}

FK_CLONES void firstPassPairs(int leaf, const double* x, const double* w, double* dr, double* di,
                              size_t m, const uint32_t* rev) {
    if (w && leaf == 8)
        firstPass<8>(WindowedPairLoad{x, w}, dr, di, m, rev);
    else if (w)
        firstPass<16>(WindowedPairLoad{x, w}, dr, di, m, rev);
    else if (leaf == 8)
        firstPass<8>(PairLoad{x}, dr, di, m, rev);
    else
        firstPass<16>(PairLoad{x}, dr, di, m, rev);
}

// One radix-4 decimation-in-time pass over `len` values in blocks of L. Each block's quarters
// hold the transforms of its inputs 4s, 4s+2, 4s+1, 4s+3; the pass combines them with the
// twiddles e^(-2 pi i p k / L), p = 1, 2, 3, read from `tw` in groups of four outputs.
FK_CLONES void radix4Pass(double* re, double* im, size_t len, size_t L, const double* tw) {
    const size_t q = L / 4;
    for (size_t b = 0; b < len; b += L) {
        const double* w = tw;
        for (size_t k = b; k < b + q; k += 4, w += 24) {
            Cx a, bq, c, d;
            load4(a.r, re + k), load4(a.i, im + k);
            load4(bq.r, re + k + q), load4(bq.i, im + k + q);
            load4(c.r, re + k + 2 * q), load4(c.i, im + k + 2 * q);
            load4(d.r, re + k + 3 * q), load4(d.i, im + k + 3 * q);
            V4 w1r, w1i, w2r, w2i, w3r, w3i;
            load4(w1r, w), load4(w1i, w + 4), load4(w2r, w + 8);
            load4(w2i, w + 12), load4(w3r, w + 16), load4(w3i, w + 20);
            mulTw(bq, w2r, w2i), mulTw(c, w1r, w1i), mulTw(d, w3r, w3i);
            addsub(a, bq);   // a = t0, bq = t1
            addsub(c, d);    // c = t2, d = t3
            addsub(a, c);    // a = X0, c = X2
            mulNegI(d);      // d = -i t3
            addsub(bq, d);   // bq = X1, d = X3
            store4(re + k, a.r), store4(im + k, a.i);
            store4(re + k + q, bq.r), store4(im + k + q, bq.i);
            store4(re + k + 2 * q, c.r), store4(im + k + 2 * q, c.i);
            store4(re + k + 3 * q, d.r), store4(im + k + 3 * q, d.i);
        }
    }
}

// Unpack of the packed real transform for the bin pairs k, m - k (four of each at once).
// With A = Z[k], B = Z[m-k]: E = A + conj(B), O = -i (A - conj(B)), 2 X[k] = E + W^k O and
// 2 X[m-k] = conj(E - W^k O), W = e^(-2 pi i / n). Results are left doubled; callers scale.
FK_INLINE void unpackPair(const Cx& a, const Cx& b, const V4& c, const V4& s, Cx& xk, Cx& xmk) {
    const V4 er = a.r + b.r, ei = a.i - b.i;
    const V4 orr = a.i + b.i, oi = b.r - a.r;
    const V4 wor = c * orr + s * oi, woi = c * oi - s * orr;
    xk.r = er + wor, xk.i = ei + woi;
    xmk.r = er - wor, xmk.i = woi - ei;
}

// Loads bins k..k+3 and m-k-3..m-k (the latter reversed, so lanes pair up).
FK_INLINE void loadPairs(const double* zr, const double* zi, size_t k, size_t m, Cx& a, Cx& b) {
    load4(a.r, zr + k), load4(a.i, zi + k);
    load4(b.r, zr + m - k - 3), load4(b.i, zi + m - k - 3);
    reverse4(b.r), reverse4(b.i);
}

FK_INLINE void scalarPair(const double* zr, const double* zi, size_t k, size_t m, const double* c,
                          const double* s, double x[4]) {
    const double er = zr[k] + zr[m - k], ei = zi[k] - zi[m - k];
    const double orr = zi[k] + zi[m - k], oi = zr[m - k] - zr[k];
    const double wor = c[k] * orr + s[k] * oi, woi = c[k] * oi - s[k] * orr;
    x[0] = er + wor, x[1] = ei + woi, x[2] = er - wor, x[3] = woi - ei;
}

FK_CLONES void unpackComplex(const double* zr, const double* zi, double* re, double* im, size_t m,
                             const double* c, const double* s, double scale) {
    const double r0 = zr[0], i0 = zi[0];
    const double twice = 2 * scale;
    re[0] = (r0 + i0) * twice, im[0] = 0.0;
    re[m] = (r0 - i0) * twice, im[m] = 0.0;
    size_t k = 1;
    for (; k + 4 <= m / 2; k += 4) {
        Cx a, b, xk, xmk;
        loadPairs(zr, zi, k, m, a, b);
        V4 cv, sv;
        load4(cv, c + k), load4(sv, s + k);
        unpackPair(a, b, cv, sv, xk, xmk);
        xk.r *= scale, xk.i *= scale, xmk.r *= scale, xmk.i *= scale;
        reverse4(xmk.r), reverse4(xmk.i);
        store4(re + k, xk.r), store4(im + k, xk.i);
        store4(re + m - k - 3, xmk.r), store4(im + m - k - 3, xmk.i);
    }
    for (; k <= m / 2; ++k) {
        double x[4];
        scalarPair(zr, zi, k, m, c, s, x);
        re[k] = x[0] * scale, im[k] = x[1] * scale;
        re[m - k] = x[2] * scale, im[m - k] = x[3] * scale;
    }
}

// Square root of each lane, as two two-lane instructions (baseline x86-64 has them).
FK_INLINE void sqrt4(V4& v) {
#if defined(__SSE2__)
    typedef double V2 __attribute__((vector_size(16)));
    const V2 lo = __builtin_ia32_sqrtpd(__builtin_shufflevector(v, v, 0, 1));
    const V2 hi = __builtin_ia32_sqrtpd(__builtin_shufflevector(v, v, 2, 3));
    v = __builtin_shufflevector(lo, hi, 0, 1, 2, 3);
#else
    for (int l = 0; l < 4; ++l)
        v[l] = std::sqrt(v[l]);
#endif
}

// Magnitudes |X[k]| * scale into out[0..m-1] and the scaled real parts Re X[m-i] into
// out[m+i]; returns the sum of the magnitudes. The scale is a power of two, so scaling the
// magnitude equals the magnitude of the scaled bin exactly.
FK_CLONES double unpackMagnitudes(const double* zr, const double* zi, double* out, size_t m,
                                   const double* c, const double* s, double scale) {
    const double twice = 2 * scale;
    const double dc = (zr[0] + zi[0]) * twice;
    out[0] = std::sqrt(dc * dc);
    out[m] = (zr[0] - zi[0]) * twice;
    V4 acc = {0, 0, 0, 0};
    size_t k = 1;
    for (; k + 4 <= m / 2; k += 4) {
        Cx a, b, xk, xmk;
        loadPairs(zr, zi, k, m, a, b);
        V4 cv, sv;
        load4(cv, c + k), load4(sv, s + k);
        unpackPair(a, b, cv, sv, xk, xmk);
        V4 mk = xk.r * xk.r + xk.i * xk.i, mmk = xmk.r * xmk.r + xmk.i * xmk.i;
        sqrt4(mk), sqrt4(mmk);
        mk *= scale, mmk *= scale;
        acc += mk + mmk;
        V4 rk = xk.r * scale, rmk = xmk.r * scale;
        reverse4(mmk), reverse4(rk);
        store4(out + k, mk), store4(out + m - k - 3, mmk);
        store4(out + 2 * m - k - 3, rk), store4(out + m + k, rmk);
    }
    double sum = out[0] + ((acc[0] + acc[1]) + (acc[2] + acc[3]));
    for (; k <= m / 2; ++k) {
        double x[4];
        scalarPair(zr, zi, k, m, c, s, x);
        out[k] = std::sqrt(x[0] * x[0] + x[1] * x[1]) * scale;
        out[2 * m - k] = x[0] * scale;
        sum += out[k];
        if (k == m - k) break;
        out[m - k] = std::sqrt(x[2] * x[2] + x[3] * x[3]) * scale;
        out[m + k] = x[2] * scale;
        sum += out[m - k];
    }
    return sum;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Plans

namespace {
// Largest block whose remaining passes run breadth first; above it the passes recurse depth
// first so that the inner passes work on blocks that stay in the second-level cache.
constexpr size_t kBlock = 32768;
} // namespace

namespace {

// r[t] = t with its `bits` low bits in reverse order.
std::vector<uint32_t> bitReversed(size_t count, int bits) {
    std::vector<uint32_t> r(count);
    for (size_t t = 0; t < count; ++t)
        for (int b = 0; b < bits; ++b)
            r[t] |= uint32_t((t >> b) & 1) << (bits - 1 - b);
    return r;
}

// Twiddles e^(-2 pi i p k / L), p = 1..3, k < L/4, in the order radix4Pass reads them: per four
// outputs the real parts of p = 1, its imaginary parts, then p = 2 and p = 3 likewise.
void fillPassTwiddles(double* w, size_t L, const UnitCircle& circle) {
    const size_t unit = circle.size() / L;
    for (size_t k = 0; k < L / 4; ++k) {
        double* g = w + (k / 4) * 24 + (k % 4);
        for (size_t p = 1; p <= 3; ++p) {
            double c, s;
            circle.at(p * k * unit, c, s);
            g[(p - 1) * 8] = c, g[(p - 1) * 8 + 4] = -s;
        }
    }
}

} // namespace

ComplexPlan::ComplexPlan(size_t m, const UnitCircle& circle) : m_m(m), m_log2(log2Of(m)) {
    if (m < 32) {
        const size_t step = circle.size() / m;
        m_smallTw.resize(m);
        for (size_t j = 0; j < m / 2; ++j) {
            double c, s;
            circle.at(j * step, c, s);
            m_smallTw[2 * j] = c, m_smallTw[2 * j + 1] = -s;
        }
        return;
    }
    // An odd number of bits leaves an even number for the radix-4 passes after an 8-point
    // leaf; an even number, after a 16-point leaf.
    m_leaf = (m_log2 % 2) ? 8 : 16;
    m_rev = bitReversed(m / size_t(m_leaf), m_log2 - (m_leaf == 8 ? 3 : 4));
    size_t total = 0;
    for (size_t L = size_t(m_leaf) * 4; L <= m; L *= 4) {
        m_stageOff.push_back(total);
        total += 6 * (L / 4);
    }
    m_tw = AlignedArray(total);
    size_t pass = 0;
    for (size_t L = size_t(m_leaf) * 4; L <= m; L *= 4, ++pass)
        fillPassTwiddles(m_tw.data() + m_stageOff[pass], L, circle);
}

const double* ComplexPlan::stageTwiddles(size_t L) const {
    const int pass = (log2Of(L) - (m_leaf == 8 ? 3 : 4)) / 2 - 1;
    return m_tw.data() + m_stageOff[size_t(pass)];
}

void ComplexPlan::runStages(double* re, double* im, size_t len) const {
    if (len <= kBlock) {
        for (size_t L = size_t(m_leaf) * 4; L <= len; L *= 4)
            radix4Pass(re, im, len, L, stageTwiddles(L));
        return;
    }
    const size_t q = len / 4;
    for (size_t i = 0; i < 4; ++i)
        runStages(re + i * q, im + i * q, q);
    radix4Pass(re, im, len, len, stageTwiddles(len));
}

// Below 32 points: bit reversal and radix-2 butterflies with tabulated twiddles.
void ComplexPlan::smallInPlace(double* re, double* im) const {
    const size_t n = m_m;
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j) std::swap(re[i], re[j]), std::swap(im[i], im[j]);
    }
    for (size_t half = 1; half < n; half *= 2) {
        const size_t step = n / (2 * half);
        for (size_t b = 0; b < n; b += 2 * half)
            for (size_t j = 0; j < half; ++j) {
                const double wr = m_smallTw[2 * j * step], wi = m_smallTw[2 * j * step + 1];
                const size_t p = b + j, q = p + half;
                const double tr = wr * re[q] - wi * im[q], ti = wr * im[q] + wi * re[q];
                re[q] = re[p] - tr, im[q] = im[p] - ti;
                re[p] += tr, im[p] += ti;
            }
    }
}

void ComplexPlan::transform(const double* sr, const double* si, double* dr, double* di) const {
    if (m_m < 32) {
        std::memcpy(dr, sr, m_m * sizeof(double));
        std::memcpy(di, si, m_m * sizeof(double));
        smallInPlace(dr, di);
        return;
    }
    firstPassSplit(m_leaf, sr, si, dr, di, m_m, m_rev.data());
    runStages(dr, di, m_m);
}

void ComplexPlan::transformPairs(const double* x, const double* w, double* dr, double* di) const {
    firstPassPairs(m_leaf, x, w, dr, di, m_m, m_rev.data());
    runStages(dr, di, m_m);
}

void ComplexPlan::transformInPlace(double* re, double* im, double* scratchR,
                                   double* scratchI) const {
    if (m_m < 32) {
        smallInPlace(re, im);
        return;
    }
    std::memcpy(scratchR, re, m_m * sizeof(double));
    std::memcpy(scratchI, im, m_m * sizeof(double));
    transform(scratchR, scratchI, re, im);
}

RealPlan::RealPlan(size_t n, const ComplexPlan& half, const UnitCircle& circle)
    : m_n(n), m_half(&half), m_c(n / 4 + 1), m_s(n / 4 + 1) {
    const size_t step = circle.size() / n;
    for (size_t k = 0; k <= n / 4; ++k)
        circle.at(k * step, m_c.data()[k], m_s.data()[k]);
}

void RealPlan::transform(const double* x, const double* w, double* re, double* im, double scale,
                         double* zr, double* zi) const {
    const size_t m = m_n / 2;
    m_half->transformPairs(x, w, zr, zi);
    unpackComplex(zr, zi, re, im, m, m_c.data(), m_s.data(), scale * 0.5);
}

double RealPlan::magnitudes(const double* x, const double* w, double* out, double* zr,
                            double* zi) const {
    const size_t m = m_n / 2;
    m_half->transformPairs(x, w, zr, zi);
    return unpackMagnitudes(zr, zi, out, m, m_c.data(), m_s.data(), 0.5 / double(m_n));
}

const ExpTable& expTable() {
    static const ExpTable table = [] {
        ExpTable t{};
        for (int i = 0; i < 128; ++i) {
            const long double v = exp2l(static_cast<long double>(i) / 128.0L);
            const double d = static_cast<double>(v);
            t.tail[i] = static_cast<double>(v - static_cast<long double>(d)) / d;
            t.bits[i] = std::bit_cast<uint64_t>(d) - (uint64_t(i) << 45);
        }
        return t;
    }();
    return table;
}


namespace {

// The per-bin elementary functions, written once for W lanes in the compiler's vector types
// (W = 2: SSE2; W = 4: AVX2, taken when the processor has it). Every lane runs the scalar
// routine's operations in the same order (no fused multiply-add), so all widths give the
// scalar routine's results bit for bit. Lanes outside a routine's ordinary range are redone
// by the scalar routine.
template <int W> struct Lanes {
    typedef double D __attribute__((vector_size(W * 8)));
    typedef uint64_t I __attribute__((vector_size(W * 8))); // bit patterns; logical shifts
};

// True when any lane of a comparison mask is set (the rare lanes the scalar routine redoes).
template <int W> [[gnu::always_inline]] inline bool anyLane(const typename Lanes<W>::I& m) {
    uint64_t any = 0;
    for (int l = 0; l < W; ++l)
        any |= m[l];
    return any != 0;
}

template <int W> [[gnu::always_inline]] inline void expLanes(const ExpTable& t, const double* in, double* out) {
    using D = typename Lanes<W>::D;
    using I = typename Lanes<W>::I;
    D x;
    std::memcpy(&x, in, sizeof x);
    const D shift = D{} + 0x1.8p52;
    D kd = x * (0x1.71547652b82fep0 * 128) + shift;
    const I ki = (I)kd;
    kd -= shift;
    const D r = x + kd * -0x1.62e42fefa0000p-8 + kd * -0x1.cf79abc9e3b3ap-47;
    D tail;
    I bits;
    for (int l = 0; l < W; ++l) {
        const size_t i = size_t(ki[l] & 127);
        tail[l] = t.tail[i];
        bits[l] = t.bits[i];
    }
    const D scale = (D)(bits + (ki << 45));
    const D r2 = r * r;
    const D p = tail + r + r2 * (0.5 + r * (1.0 / 6)) + r2 * r2 * (1.0 / 24 + r * (1.0 / 120));
    D y = scale + scale * p;
    if (anyLane<W>(~(I)(((D)((I)x & uint64_t(INT64_MAX))) < 700.0))) [[unlikely]]
        for (int l = 0; l < W; ++l)
            if (!(std::fabs(in[l]) < 700.0)) y[l] = fastExp(t, in[l]);
    std::memcpy(out, &y, sizeof y);
}

template <int W> [[gnu::always_inline]] inline void log10Lanes(const double* in, double* out) {
    using D = typename Lanes<W>::D;
    using I = typename Lanes<W>::I;
    D x;
    std::memcpy(&x, in, sizeof x);
    const I bits = (I)x;
    const I hx = (bits >> 32) & 0x000fffff;
    const I i = (hx + 0x95f64) & 0x100000;
    // k = exponent - 1023 + (i >> 20) as a double, exactly: the bits of 2^52 + 2048 + k read
    // as a double, less 2^52 + 2048.
    const I kBits = ((bits >> 52) & 0x7ff) + (i >> 20) + (0x4330000000000000 + 2048 - 1023);
    const D y = (D)kBits - (0x1p52 + 2048.0);
    const I mbits = ((hx | (i ^ 0x3ff00000)) << 32) | (bits & 0xffffffff);
    const D f = (D)mbits - 1.0;
    const D hfsq = 0.5 * f * f;
    const D s = f / (2.0 + f), z = s * s, w = z * z;
    const D t1 = w * (3.999999999940941908e-01 + w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
    const D t2 = z * (6.666666666666735130e-01 +
                      w * (2.857142874366239149e-01 + w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
    const D r = s * (hfsq + t2 + t1);
    const D hi = (D)((I)(f - hfsq) & 0xffffffff00000000ull);
    const D lo = (f - hi) - hfsq + r;
    D valHi = hi * 4.34294481878168880939e-01;
    const D y2 = y * 3.01029995663611771306e-01;
    D valLo = y * 3.69423907715893078616e-13 + (lo + hi) * 2.50829467116452752298e-11 +
              lo * 4.34294481878168880939e-01;
    const D sum = y2 + valHi;
    valLo += (y2 - sum) + valHi;
    valHi = sum;
    D res = valLo + valHi;
    if (anyLane<W>(~(I)((x >= 0x1p-1022) & (x < 0x1p1023)))) [[unlikely]]
        for (int l = 0; l < W; ++l)
            if (!(in[l] >= 0x1p-1022 && in[l] < 0x1p1023)) res[l] = fastLog10(in[l]);
    std::memcpy(out, &res, sizeof res);
}

template <int W>
[[gnu::always_inline]] inline void atanQuotLanes(const double* yIn, const double* xIn, double* out) {
    using D = typename Lanes<W>::D;
    using I = typename Lanes<W>::I;
    using K = AtanQuotConst;
    D x, y;
    std::memcpy(&x, xIn, sizeof x);
    std::memcpy(&y, yIn, sizeof y);
    const uint64_t kAbs = INT64_MAX;
    const D ax = (D)((I)x & kAbs), ay = (D)((I)y & kAbs);
    const auto below = ay < ax;
    const D lo = below ? ay : ax, hi = below ? ax : ay;
    const auto mid = lo > K::kTanPi8 * hi;
    const D a = (mid ? lo - hi : lo) / (mid ? lo + hi : hi);
    const D z = a * a, w = z * z;
    const D e = K::c[0] + w * (K::c[2] + w * (K::c[4] + w * (K::c[6] + w * K::c[8])));
    const D o = K::c[1] + w * (K::c[3] + w * (K::c[5] + w * (K::c[7] + w * K::c[9])));
    const D p = a + (a * z) * (e + z * o);
    const D r = mid ? K::kPi4Hi + (K::kPi4Lo + p) : p;
    const D v = ay > ax ? (K::kPi2Hi - r) + K::kPi2Lo : r;
    D res = (D)((I)v ^ (((I)x ^ (I)y) & uint64_t(INT64_MIN)));
    const auto direct = (ax > 1e-290) & (ay > 1e-290) & (ax < 1e300) & (ay < 1e300);
    if (anyLane<W>(~(I)direct)) [[unlikely]]
        for (int l = 0; l < W; ++l) {
            const double axl = std::fabs(xIn[l]), ayl = std::fabs(yIn[l]);
            if (!(axl > 1e-290 && ayl > 1e-290 && axl < 1e300 && ayl < 1e300))
                res[l] = fastAtanQuot(yIn[l], xIn[l]);
        }
    std::memcpy(out, &res, sizeof res);
}

// W lanes at a time, the scalar routine for the rest; inlined into the wide callers below so
// that they are compiled for the wide instruction set.
template <int W> [[gnu::always_inline]] inline void expRun(const double* x, double* y, size_t n) {
    const ExpTable& t = expTable();
    size_t i = 0;
    for (; i + W <= n; i += W)
        expLanes<W>(t, x + i, y + i);
    for (; i < n; ++i)
        y[i] = fastExp(t, x[i]);
}

template <int W> [[gnu::always_inline]] inline void log10Run(const double* x, double* y, size_t n) {
    size_t i = 0;
    for (; i + W <= n; i += W)
        log10Lanes<W>(x + i, y + i);
    for (; i < n; ++i)
        y[i] = fastLog10(x[i]);
}

template <int W>
[[gnu::always_inline]] inline void atanQuotRun(const double* y, const double* x, double* out, size_t n) {
    size_t i = 0;
    for (; i + W <= n; i += W)
        atanQuotLanes<W>(y + i, x + i, out + i);
    for (; i < n; ++i)
        out[i] = fastAtanQuot(y[i], x[i]);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VL_WIDE_LANES 1
[[gnu::target("avx2")]] void expRunWide(const double* x, double* y, size_t n) {
    expRun<4>(x, y, n);
}
[[gnu::target("avx2")]] void log10RunWide(const double* x, double* y, size_t n) {
    log10Run<4>(x, y, n);
}
[[gnu::target("avx2")]] void atanQuotRunWide(const double* y, const double* x, double* out, size_t n) {
    atanQuotRun<4>(y, x, out, n);
}

// Four magnitudes at a time, the same operations as the narrow loop; returns how many it did.
[[gnu::target("avx2")]] size_t hypotRunWide(const double* re, const double* im, double* out, size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d r = _mm256_loadu_pd(re + i), m = _mm256_loadu_pd(im + i);
        _mm256_storeu_pd(out + i, _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(m, m))));
    }
    return i;
}

bool wideLanes() {
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
}
#endif

} // namespace

void expArray(const double* x, double* y, size_t n) {
#ifdef VL_WIDE_LANES
    if (wideLanes()) return expRunWide(x, y, n);
#endif
    expRun<2>(x, y, n);
}

void log10Array(const double* x, double* y, size_t n) {
#ifdef VL_WIDE_LANES
    if (wideLanes()) return log10RunWide(x, y, n);
#endif
    log10Run<2>(x, y, n);
}

void atanQuotArray(const double* y, const double* x, double* out, size_t n) {
#ifdef VL_WIDE_LANES
    if (wideLanes()) return atanQuotRunWide(y, x, out, n);
#endif
    atanQuotRun<2>(y, x, out, n);
}

void hypotArray(const double* re, const double* im, double* out, size_t n) {
    size_t i = 0;
#ifdef VL_WIDE_LANES
    if (wideLanes())
        i = hypotRunWide(re, im, out, n);
#endif
#if defined(__SSE2__)
    for (; i + 2 <= n; i += 2) {
        const __m128d r = _mm_loadu_pd(re + i), m = _mm_loadu_pd(im + i);
        _mm_storeu_pd(out + i, _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(m, m))));
    }
#endif
    for (; i < n; ++i)
        out[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
}

} // namespace fftkernel
