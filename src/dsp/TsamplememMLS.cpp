// Sample memory: maximum-length sequences and their deconvolution by the fast Hadamard transform.
#include "dsp/Tsamplemem.h"
#include "dsp/TsamplememDetail.h"

#include "dsp/fftKernel.h"

#include "dsp/corObj.h"

#include <algorithm>
#include <bit>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>


using namespace samplememDetail;

namespace {

// ---------------------------------------------------------------------------------------------
// Maximum-length sequences

constexpr int kMaxMlsOrder = 24;

// Feedback taps per register length (1-based cell numbers, 0 = unused).
constexpr std::array<std::array<uint8_t, 4>, kMaxMlsOrder + 1> kTaps{{
    {},
    {},
    {1, 2},
    {2, 3},
    {3, 4},
    {3, 5},
    {5, 6},
    {6, 7},
    {2, 3, 5, 8},
    {5, 9},
    {7, 10},
    {9, 11},
    {6, 8, 11, 12},
    {9, 10, 12, 13},
    {4, 8, 13, 14},
    {14, 15},
    {4, 13, 15, 16},
    {14, 17},
    {11, 18},
    {14, 17, 18, 19},
    {17, 20},
    {19, 21},
    {21, 22},
    {18, 23},
    {17, 22, 23, 24},
}};

uint32_t tapMask(int order) {
    uint32_t mask = 0;
    for (uint8_t t : kTaps[order])
        if (t) mask |= 1u << (t - 1);
    return mask;
}

// One step of the shift register held as bits (bit i = cell i, set = +1): the new value is the
// parity of the tap cells and enters at cell 0.
uint32_t mlsStep(uint32_t state, uint32_t mask, uint32_t period) {
    const uint32_t parity = static_cast<uint32_t>(__builtin_popcount(state & mask)) & 1u;
    return period & ((state << 1) | parity);
}

// Index tables that turn one period of a sequence into Hadamard order and back.
struct MlsTables {
    std::vector<uint32_t> src; // src[c]: sample index feeding Hadamard column c (c >= 1)
    std::vector<uint32_t> row; // row[j]: Hadamard row that holds lag j
};

// The column of sample k is the register state after emitting it. The row of lag j is the bit
// mask whose parity over a state gives the sequence value j steps back; for j >= order it
// follows from the register's recurrence solved for its oldest cell.
std::unique_ptr<const MlsTables> buildMlsTables(int order) {
    auto t = std::make_unique<MlsTables>();
    const uint32_t size = 1u << order, period = size - 1, mask = tapMask(order);
    t->src.assign(size, 0);
    uint32_t s = period;
    for (uint32_t k = 0; k < period; ++k) {
        s = mlsStep(s, mask, period);
        t->src[s] = k;
    }
    t->row.resize(period);
    for (uint32_t j = 0; j < period; ++j) {
        if (j < static_cast<uint32_t>(order)) {
            t->row[j] = 1u << j;
            continue;
        }
        uint32_t r = t->row[j - order];
        for (uint8_t tap : kTaps[order])
            if (tap && tap < order) r ^= t->row[j - order + tap];
        t->row[j] = r;
    }
    return t;
}

// Built once per order on first use, then shared read-only by every thread.
const MlsTables& mlsTables(int order) {
    static std::array<std::once_flag, kMaxMlsOrder + 1> once;
    static std::array<std::unique_ptr<const MlsTables>, kMaxMlsOrder + 1> tables;
    std::call_once(once[order], [order] { tables[order] = buildMlsTables(order); });
    return *tables[order];
}

// ---------------------------------------------------------------------------------------------
// Walsh-Hadamard butterflies. Every output is the same chain of additions as the textbook
// stage-by-stage transform, so the result is bit-identical to it; only the memory order of the
// work changes: stages are done three at a time, and depth first so that the inner stages run
// on blocks that stay in the first-level cache.

typedef double V4 __attribute__((vector_size(32), aligned(8)));

// The clones are chosen by a resolver that runs while the program is being loaded, before a
// thread sanitizer's runtime is up; such builds take the default code.
#if defined(__x86_64__) && defined(__has_attribute) && !defined(__SANITIZE_THREAD__)
#if __has_attribute(target_clones)
#define VL_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef VL_SIMD_CLONES
#define VL_SIMD_CLONES
#endif

// By reference: vector values passed or returned by value would depend on the target's ABI.
inline void load4(V4& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
inline void store4(double* p, const V4& v) {
    std::memcpy(p, &v, sizeof v);
}
inline void bfly(V4& a, V4& b) {
    const V4 s = a + b;
    b = a - b;
    a = s;
}

// Stages with half-width 1 and 2, inside each group of four neighbours. Multiplying by +-1 is
// exact, so p + v*sign equals the plain sum or difference.
VL_SIMD_CLONES void stages12(double* a, size_t n) {
    const V4 sign1 = {1, -1, 1, -1}, sign2 = {1, 1, -1, -1};
    for (size_t i = 0; i < n; i += 4) {
        V4 v;
        load4(v, a + i);
        v = __builtin_shufflevector(v, v, 1, 0, 3, 2) + v * sign1;
        v = __builtin_shufflevector(v, v, 2, 3, 0, 1) + v * sign2;
        store4(a + i, v);
    }
}

// Three stages with half-widths f, 2f, 4f (f a multiple of 4) over n values.
VL_SIMD_CLONES void radix8(double* a, size_t n, size_t f) {
    for (size_t b = 0; b < n; b += 8 * f)
        for (size_t j = b; j < b + f; j += 4) {
            V4 x0, x1, x2, x3, x4, x5, x6, x7;
            load4(x0, a + j), load4(x1, a + j + f), load4(x2, a + j + 2 * f);
            load4(x3, a + j + 3 * f), load4(x4, a + j + 4 * f), load4(x5, a + j + 5 * f);
            load4(x6, a + j + 6 * f), load4(x7, a + j + 7 * f);
            bfly(x0, x1), bfly(x2, x3), bfly(x4, x5), bfly(x6, x7);
            bfly(x0, x2), bfly(x1, x3), bfly(x4, x6), bfly(x5, x7);
            bfly(x0, x4), bfly(x1, x5), bfly(x2, x6), bfly(x3, x7);
            store4(a + j, x0), store4(a + j + f, x1), store4(a + j + 2 * f, x2);
            store4(a + j + 3 * f, x3), store4(a + j + 4 * f, x4), store4(a + j + 5 * f, x5);
            store4(a + j + 6 * f, x6), store4(a + j + 7 * f, x7);
        }
}

// Two stages with half-widths f and 2f (f a multiple of 4).
VL_SIMD_CLONES void radix4(double* a, size_t n, size_t f) {
    for (size_t b = 0; b < n; b += 4 * f)
        for (size_t j = b; j < b + f; j += 4) {
            V4 x0, x1, x2, x3;
            load4(x0, a + j), load4(x1, a + j + f), load4(x2, a + j + 2 * f);
            load4(x3, a + j + 3 * f);
            bfly(x0, x1), bfly(x2, x3);
            bfly(x0, x2), bfly(x1, x3);
            store4(a + j, x0), store4(a + j + f, x1), store4(a + j + 2 * f, x2);
            store4(a + j + 3 * f, x3);
        }
}

// One stage with half-width f (f a multiple of 4).
VL_SIMD_CLONES void radix2(double* a, size_t n, size_t f) {
    for (size_t b = 0; b < n; b += 2 * f)
        for (size_t j = b; j < b + f; j += 4) {
            V4 x0, x1;
            load4(x0, a + j), load4(x1, a + j + f);
            bfly(x0, x1);
            store4(a + j, x0), store4(a + j + f, x1);
        }
}

// Stages with half-widths f .. n/2 over n values (f a multiple of 4, n/f a power of two).
void stagesFrom(double* a, size_t n, size_t f) {
    while (f < n) {
        const size_t left = n / f;
        if (left == 2) {
            radix2(a, n, f);
            f *= 2;
        } else if (left == 4) {
            radix4(a, n, f);
            f *= 4;
        } else {
            radix8(a, n, f);
            f *= 8;
        }
    }
}

constexpr size_t kCacheBlock = size_t(1) << 11; // values per block kept in the L1 cache

// Full transform of n = 2^k values (n >= 4), depth first.
void fwht(double* a, size_t n) {
    if (n <= kCacheBlock) {
        stages12(a, n);
        stagesFrom(a, n, 4);
        return;
    }
    const size_t parts = std::min<size_t>(8, n / kCacheBlock), part = n / parts;
    for (size_t p = 0; p < parts; ++p)
        fwht(a + p * part, part);
    stagesFrom(a, n, part);
}

// Scratch space for the transform, kept per thread so repeated calls do not fault in pages.
double* hadamardScratch(size_t count) {
    struct FreeDeleter {
        void operator()(double* p) const { std::free(p); }
    };
    thread_local std::unique_ptr<double, FreeDeleter> buf;
    thread_local size_t capacity = 0;
    if (capacity < count) {
        const size_t bytes = (count * sizeof(double) + 63) / 64 * 64;
        buf.reset(static_cast<double*>(std::aligned_alloc(64, bytes)));
        if (!buf) {
            capacity = 0;
            throw std::bad_alloc();
        }
        capacity = count;
    }
    return buf.get();
}


} // namespace

// =============================================================================================
// Maximum-length sequence and its deconvolution

int32_t Tsamplemem::fillwithMLS(int32_t fhSize, double level_dB) {
    if (fhSize < 2 || fhSize > 16) throw EsampleMemIllegalInput();
    const int32_t length = 1 << fhSize;
    if (n() < 2 * length) return 0;
    const double amp = std::pow(10.0, level_dB / 20.0);
    const uint32_t period = uint32_t(length) - 1, mask = tapMask(fhSize);
    uint32_t s = period;
    for (int32_t i = 0; i < length; ++i) {
        s = mlsStep(s, mask, period);
        d()[i] = (s & 1u) ? amp : -amp;
    }
    std::fill(d() + length, d() + n(), 0.0);
    return length;
}

// With T the Hadamard transform of the period in register order, T[0] is the sum of the
// period and T[row j] minus the circular cross-correlation at lag j; the sequence's
// autocorrelation (L at lag 0, -1 elsewhere) then gives h[j] = (T[0] - T[row j]) / (L + 1).
int32_t Tsamplemem::FastHamadard(int32_t MLSSIZE, int32_t ind) {
    if (MLSSIZE < 2 || MLSSIZE > kMaxMlsOrder || ind < 0) return 0;
    const uint32_t size = 1u << MLSSIZE, period = size - 1;
    if (int64_t(ind) + size > n()) return 0;
    const MlsTables& t = mlsTables(MLSSIZE);
    double* work = hadamardScratch(size);
    double* x = d() + ind;
    const uint32_t* src = t.src.data();
    work[0] = 0.0;
    for (uint32_t c = 1; c < size; ++c)
        work[c] = x[src[c]];
    fwht(work, size);
    const double sum = work[0], scale = 1.0 / size;
    const uint32_t* row = t.row.data();
    // Written backwards: h[j] at ind + L - j, and h[L] = h[0] (the period wraps) at ind.
    for (uint32_t j = 0; j < period; ++j)
        x[period - j] = (sum - work[row[j]]) * scale;
    x[0] = x[period];
    return 0;
}

