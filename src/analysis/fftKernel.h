// Building blocks of the fast Fourier transform: exact unit roots, transform plans, passes.
#pragma once

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

} // namespace fftkernel
