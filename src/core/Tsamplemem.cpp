// Sample memory: the one buffer of sampled data and its whole-buffer operations.
#include "core/Tsamplemem.h"

#include "analysis/fftKernel.h"

#include "analysis/corObj.h"

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

namespace {

// ---------------------------------------------------------------------------------------------
// Small helpers

[[noreturn]] __attribute__((format(printf, 1, 2))) void raise(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw EsampleMemEx(text);
}

// Sample memory from the heap; zeroed on request. Out of memory throws std::bad_alloc.
double* allocSamples(int32_t count, bool zeroed) {
    const size_t bytes = static_cast<size_t>(count) * sizeof(double);
    void* p = zeroed ? std::calloc(static_cast<size_t>(count), sizeof(double)) : std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return static_cast<double*>(p);
}

bool inside(int32_t idx, int32_t count) {
    return idx >= 0 && idx < count;
}

// Appends v as printf's "%.15g" would, always with '.' as decimal point.
void appendG15(std::string& out, double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    out.append(buf, r.ptr);
}

// Appends v as printf's "%1.<decimals>f" would, always with '.' as decimal point.
void appendFixed(std::string& out, double v, int decimals) {
    char buf[400]; // the largest double has 309 integer digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
}

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

// ---------------------------------------------------------------------------------------------
// Text files

constexpr size_t kMaxLine = 4096; // longer lines cannot hold one number and are not kept whole

// Reads a file line by line with bounded memory whatever the file holds.
class LineReader {
public:
    explicit LineReader(std::FILE* f) : m_file(f), m_buf(1 << 16) {}

    // Next line without its line end; false at the end of the file.
    bool next() {
        m_line.clear();
        m_truncated = m_slashes = false;
        char prev = 0;
        bool any = false;
        for (;;) {
            if (m_pos == m_len && !refill()) return finish(any);
            any = true;
            const char* start = m_buf.data() + m_pos;
            const size_t avail = m_len - m_pos;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
            const size_t seg = nl ? static_cast<size_t>(nl - start) : avail;
            take(std::string_view(start, seg), prev);
            if (seg) prev = start[seg - 1];
            m_pos += nl ? seg + 1 : seg;
            if (nl) return finish(true);
        }
    }
    std::string_view text() const { return m_line; }
    bool truncated() const { return m_truncated; } // the line was longer than kMaxLine
    bool slashes() const { return m_slashes; }     // "//" occurs anywhere in the line

private:
    bool refill() {
        m_pos = 0;
        m_len = std::fread(m_buf.data(), 1, m_buf.size(), m_file);
        return m_len > 0;
    }
    void take(std::string_view seg, char prev) {
        if (!seg.empty() && (seg.find("//") != seg.npos || (prev == '/' && seg[0] == '/')))
            m_slashes = true;
        const size_t room = kMaxLine - std::min(kMaxLine, m_line.size());
        if (seg.size() > room) m_truncated = true;
        m_line.append(seg.substr(0, room));
    }
    bool finish(bool any) {
        if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
        return any;
    }

    std::FILE* m_file;       // the open file, not owned
    std::vector<char> m_buf; // read-ahead block
    size_t m_pos = 0;        // next unread byte in m_buf
    size_t m_len = 0;        // valid bytes in m_buf
    std::string m_line;      // current line, at most kMaxLine characters
    bool m_truncated = false;
    bool m_slashes = false;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// One number of a data file: blanks around it ignored, ',' taken as '.', nothing else allowed.
bool parseNumber(std::string_view s, double& v) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.size() > 400) return false;
    char buf[400];
    std::transform(s.begin(), s.end(), buf, [](char c) { return c == ',' ? '.' : c; });
    const auto r = std::from_chars(buf, buf + s.size(), v, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == buf + s.size();
}

// Positions the reader after the first line that contains "//"; false when there is none.
bool skipHeader(LineReader& r) {
    while (r.next())
        if (r.slashes()) return true;
    return false;
}

// Writes text in large blocks; remembers whether any write failed.
class TextSink {
public:
    explicit TextSink(std::FILE* f) : m_file(f) {}
    std::string& buffer() { return m_text; }
    void flushIfFull() {
        if (m_text.size() >= (1u << 16)) flush();
    }
    bool close() {
        flush();
        return m_ok;
    }

private:
    void flush() {
        if (!m_text.empty() &&
            std::fwrite(m_text.data(), 1, m_text.size(), m_file) != m_text.size())
            m_ok = false;
        m_text.clear();
    }
    std::FILE* m_file;  // destination, not owned
    std::string m_text; // pending text
    bool m_ok = true;   // no write failed so far
};

// Closes f and reports whether everything written reached the file.
bool closeFile(FilePtr& f, bool ok) {
    ok = std::fflush(f.get()) == 0 && !std::ferror(f.get()) && ok;
    return std::fclose(f.release()) == 0 && ok;
}

} // namespace

// =============================================================================================
// Construction and ownership

namespace {
constexpr uint64_t kZeroStamp = 1; // every sample +0.0
std::atomic<uint64_t> s_nextStamp{kZeroStamp + 1};
} // namespace

Tsamplemem::Tsamplemem(int32_t size) {
    if (size < 0) raise("\r\nsetsamples ap: %d", size);
    if (size > 0) adopt(allocSamples(size, true), size);
    m_stamp = kZeroStamp;
}

// How many objects own the same sealed samples.
struct Tsamplemem::TBlock {
    std::atomic<int32_t> owners{1};
};

bool Tsamplemem::shareable() const {
    return m_owns && m_stamp > kZeroStamp && n() > 0;
}

bool Tsamplemem::shared() const {
    return m_block && m_block->owners.load(std::memory_order_acquire) > 1;
}

void Tsamplemem::shareFrom(const Tsamplemem& other) {
    if (!other.m_block) other.m_block = new TBlock;
    other.m_block->owners.fetch_add(1, std::memory_order_relaxed);
    release();
    m_view = other.m_view;
    m_owns = true;
    m_block = other.m_block;
    m_stamp = other.m_stamp;
    m_tag = other.m_tag;
    m_align = other.m_align;
}

// Samples of its own before a write: the last owner keeps them, the others copy them.
void Tsamplemem::unshare() {
    if (m_block->owners.load(std::memory_order_acquire) == 1) {
        delete m_block;
        m_block = nullptr;
        return;
    }
    const int32_t count = m_view.Fsamples;
    double* p = allocSamples(count, false);
    std::memcpy(p, m_view.Fsmpoi, static_cast<size_t>(count) * sizeof(double));
    release();
    adopt(p, count);
}

void Tsamplemem::seal() {
    if (m_owns && n() > 0) m_stamp = s_nextStamp.fetch_add(1, std::memory_order_relaxed);
}

bool Tsamplemem::isAllZero() const {
    if (m_stamp == kZeroStamp) return true;
    const double* p = d();
    const bool zero = std::all_of(p, p + n(), [](double v) { return std::bit_cast<uint64_t>(v) == 0; });
    if (zero && m_owns) m_stamp = kZeroStamp;
    return zero;
}

Tsamplemem::Tsamplemem(const Tsamplemem& other) : m_tag(other.m_tag), m_align(other.m_align) {
    if (other.shareable()) {
        shareFrom(other);
        return;
    }
    const int32_t count = other.m_view.Fsamples;
    if (count <= 0) return;
    const int32_t readable = other.n();
    double* p = allocSamples(count, readable < count);
    if (readable > 0) std::memcpy(p, other.d(), static_cast<size_t>(readable) * sizeof(double));
    adopt(p, count);
    m_stamp = readable == count ? other.m_stamp : 0;
}

Tsamplemem::Tsamplemem(Tsamplemem&& other) noexcept
    : m_view(other.m_view), m_tag(other.m_tag), m_align(other.m_align), m_owns(other.m_owns),
      m_stamp(other.m_stamp), m_block(other.m_block) {
    other.m_view = TsmView{nullptr, 0};
    other.m_owns = false;
    other.m_stamp = 0;
    other.m_block = nullptr;
}

Tsamplemem& Tsamplemem::operator=(const Tsamplemem& other) {
    if (this == &other) return *this;
    const int32_t count = other.m_view.Fsamples;
    if (m_owns && m_stamp != 0 && m_stamp == other.m_stamp && count == m_view.Fsamples && other.n() == count) {
        m_tag = other.m_tag; // the same samples already: nothing to read or write
        m_align = other.m_align;
        return *this;
    }
    if (other.shareable()) {
        shareFrom(other);
        return *this;
    }
    if (m_block || !(m_owns && m_view.Fsmpoi && count > 0 && count == m_view.Fsamples)) {
        *this = Tsamplemem(other); // shared samples are let go, not copied and overwritten
        return *this;
    }
    // Same count: the samples go into the buffer already owned (a view of it may be the source).
    // Equal samples are not written again: displays copy the same axes frame after frame, and
    // the comparison of differing data ends at its first sample.
    const size_t bytes = static_cast<size_t>(count) * sizeof(double);
    if (other.n() > 0) {
        if (std::memcmp(d(), other.d(), bytes) != 0) std::memmove(d(), other.d(), bytes);
    } else {
        std::memset(d(), 0, bytes); // a view without memory reads as zeros
    }
    m_tag = other.m_tag;
    m_align = other.m_align;
    m_stamp = other.n() > 0 ? other.m_stamp : kZeroStamp;
    return *this;
}

Tsamplemem& Tsamplemem::operator=(Tsamplemem&& other) noexcept {
    if (this == &other) return *this;
    release();
    m_view = other.m_view;
    m_tag = other.m_tag;
    m_align = other.m_align;
    m_owns = other.m_owns;
    m_stamp = other.m_stamp;
    m_block = other.m_block;
    other.m_view = TsmView{nullptr, 0};
    other.m_owns = false;
    other.m_stamp = 0;
    other.m_block = nullptr;
    return *this;
}

Tsamplemem::~Tsamplemem() {
    release();
}

void Tsamplemem::release() {
    if (m_owns && m_view.Fsmpoi) {
        // Shared samples go with their last owner, and are counted once.
        if (!m_block || m_block->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::free(m_view.Fsmpoi);
            s_allocated.fetch_sub(m_view.Fsamples, std::memory_order_relaxed);
            delete m_block;
        }
    }
    m_block = nullptr;
    m_view.Fsmpoi = nullptr;
    m_owns = false;
    m_stamp = 0;
}

void Tsamplemem::adopt(double* p, int32_t count) {
    // A module reaches the samples through a pointer to the object itself.
    static_assert(std::is_standard_layout_v<Tsamplemem>);
    static_assert(offsetof(Tsamplemem, m_view) == 0);
    m_view = TsmView{p, count};
    m_owns = true;
    m_stamp = 0;
    s_allocated.fetch_add(count, std::memory_order_relaxed);
}

void Tsamplemem::recordError(const EsampleMemEx& e) const {
    m_lastError = e.what();
}

Tsamplemem Tsamplemem::uncleared(int32_t size) {
    if (size < 0) raise("\r\nsetsamples ap: %d", size);
    Tsamplemem t;
    if (size > 0) t.adopt(allocSamples(size, false), size);
    return t;
}

Tsamplemem Tsamplemem::createWMem(int32_t sizem) {
    Tsamplemem t;
    t.m_view.Fsamples = std::max(sizem, 0);
    return t;
}

Tsamplemem Tsamplemem::copyPart(const Tsamplemem& src, int32_t Ind, int32_t Size) {
    const int64_t from = std::max<int64_t>(Ind, 0);
    const int64_t to = std::min<int64_t>(int64_t(Ind) + std::max(Size, 0), src.n());
    Tsamplemem t;
    if (Size > 0) // zeroed only where the source does not cover the part
        t.adopt(allocSamples(Size, !(from == Ind && to - from == Size)), Size);
    t.m_tag = src.m_tag;
    t.m_align = src.m_align;
    if (from < to)
        std::memcpy(t.d() + (from - Ind), src.d() + from, size_t(to - from) * sizeof(double));
    return t;
}

Tsamplemem Tsamplemem::constructXaxis(int32_t size, int32_t FFTsize, int32_t begIdx, int32_t SF) {
    Tsamplemem t(std::max(size, 0));
    const int32_t halfFFT = FFTsize / 2;
    const double halfSF = SF / 2;
    if (halfFFT > 0)
        for (int32_t i = std::max(begIdx, 0); i < t.n(); ++i)
            t.d()[i] = double(i) / halfFFT * halfSF;
    return t;
}

Tsamplemem Tsamplemem::load(const std::string& Fname) {
    (void)Fname;
    return Tsamplemem();
}

void Tsamplemem::setSamples(int32_t n) {
    if (n == m_view.Fsamples) return;
    if (n <= 0) raise("\r\nsetsamples ap: %d", n);
    if (m_block) unshare();
    m_stamp = 0;
    if (!m_owns && n < m_view.Fsamples) {
        m_view.Fsamples = n;
        return;
    }
    if (m_owns && m_view.Fsmpoi && n < m_view.Fsamples) {
        // Shrinking in place; should realloc fail, the copy below still works.
        if (void* q = std::realloc(m_view.Fsmpoi, static_cast<size_t>(n) * sizeof(double))) {
            s_allocated.fetch_sub(m_view.Fsamples - n, std::memory_order_relaxed);
            m_view = TsmView{static_cast<double*>(q), n};
            return;
        }
    }
    double* p = allocSamples(n, true);
    const int32_t keep = std::min(this->n(), n);
    if (keep > 0) std::memcpy(p, d(), static_cast<size_t>(keep) * sizeof(double));
    release();
    adopt(p, n);
}

void Tsamplemem::setSmpoi(double* p) {
    release();
    m_view.Fsmpoi = p;
}

// =============================================================================================
// Element access

double Tsamplemem::getsmAr(int32_t idx) const {
    try {
        if (!inside(idx, n())) raise("\r\nSM read arr idx,samples: %d,%d", idx, m_view.Fsamples);
        return d()[idx];
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0.0;
    }
}

void Tsamplemem::setsmAr(int32_t idx, double tr) {
    try {
        if (!inside(idx, n())) raise("\r\nSM write arr @idx:%d, size: %d", idx, m_view.Fsamples);
        d()[idx] = tr;
    } catch (const EsampleMemEx& e) {
        recordError(e);
    }
}

const double* Tsamplemem::getsmpoiAP(int32_t idx) const {
    try {
        if (!inside(idx, n())) raise("\r\nSM read parr idx: %d", idx);
        return d() + idx;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return nullptr;
    }
}

double* Tsamplemem::getsmpoiAP(int32_t idx) {
    d(); // the samples are handed out for writing
    return const_cast<double*>(std::as_const(*this).getsmpoiAP(idx));
}

// =============================================================================================
// Size changes

int32_t Tsamplemem::resize2(int32_t anz) {
    try {
        if (anz <= 0) raise("\r\nResize2 anz: %d", anz);
        setSamples(anz);
        return m_view.Fsamples;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0;
    }
}

int32_t Tsamplemem::resize(int32_t von, int32_t bis) {
    try {
        const int32_t count = n();
        if (!inside(von, count)) raise("\r\nResize from : %d %d %d ", von, bis, count);
        if (von >= bis) raise("\r\nResize to: %d %d %d", von, bis, count);
        if (von == 0 && bis == count - 1) return count;
        const int64_t newCount = int64_t(bis) - von + 1;
        // A view cannot grow past the memory it looks at.
        if (newCount > std::numeric_limits<int32_t>::max() || (!m_owns && bis >= count))
            raise("\r\nResize Fsamples: %d %d %d", von, bis, count);
        if (!m_owns) {
            m_view = TsmView{d() + von, static_cast<int32_t>(newCount)};
            return m_view.Fsamples;
        }
        double* p = allocSamples(static_cast<int32_t>(newCount), bis >= count);
        std::memcpy(p, d() + von, size_t(std::min(bis, count - 1) - von + 1) * sizeof(double));
        release();
        adopt(p, static_cast<int32_t>(newCount));
        return m_view.Fsamples;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0;
    }
}

int32_t Tsamplemem::cutFront(int32_t bis) {
    if (bis < m_view.Fsamples - 1) return resize(bis, m_view.Fsamples - 1);
    return m_view.Fsamples;
}

int32_t Tsamplemem::Split(Tsamplemem& sdL, Tsamplemem& sdR, int32_t at, bool bMemAllo) {
    try {
        const int32_t count = n();
        // The parts must be other objects: a view part would outlive the buffer it replaced.
        if (!inside(at, count) || &sdL == this || &sdR == this || &sdL == &sdR)
            raise("\r\nSM split at(Samps): %d (%d)", at, count);
        auto part = [&](int32_t ind, int32_t size) {
            if (bMemAllo) return copyPart(*this, ind, size);
            Tsamplemem v;
            v.m_view = TsmView{d() + ind, size};
            v.m_tag = m_tag;
            v.m_align = m_align;
            return v;
        };
        Tsamplemem left = part(0, at), right = part(at, count - at);
        sdL = std::move(left);
        sdR = std::move(right);
        return at;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0;
    }
}

// =============================================================================================
// Bulk copy and fill

int32_t Tsamplemem::copyfrom(const Tsamplemem& csm) {
    const int32_t k = std::min(n(), csm.n());
    if (k > 0) std::memmove(d(), csm.d(), static_cast<size_t>(k) * sizeof(double));
    return m_view.Fsamples;
}

int32_t Tsamplemem::copyfromInd(int32_t ind, const Tsamplemem& csm) {
    if (ind >= 0 && n() > 0 && int64_t(ind) + n() <= csm.n())
        std::memmove(d(), csm.d() + ind, static_cast<size_t>(n()) * sizeof(double));
    return m_view.Fsamples;
}

int32_t Tsamplemem::move(const double* SDsource, int32_t abind, int32_t size) {
    try {
        const int32_t count = n();
        if (!inside(abind, count)) raise("\r\nSM move abind : %d", abind);
        if (size < 0 || size > count) raise("\r\nSM move size: %d", size);
        if (int64_t(abind) + size > count) raise("\r\nSM fill abind+size");
        if (SDsource && size > 0)
            std::memmove(d(), SDsource + abind, static_cast<size_t>(size) * sizeof(double));
    } catch (const EsampleMemEx& e) {
        recordError(e);
    }
    return 0;
}

int32_t Tsamplemem::moveto(int32_t Indsource, int32_t IndDest) {
    const int32_t count = n();
    if (inside(Indsource, count) && inside(IndDest, count)) {
        const int32_t k = std::min(count - Indsource, count - IndDest);
        std::memmove(d() + IndDest, d() + Indsource, static_cast<size_t>(k) * sizeof(double));
    }
    return m_view.Fsamples;
}

void Tsamplemem::fill(int32_t von, int32_t bis, double mit) {
    try {
        if (!inside(von, n())) raise("\r\nSM fill von : %d", von);
        if (!inside(bis, n())) raise("\r\nSM fill bis: %d", bis);
        if (von > bis) raise("\r\nSM fill von>bis");
        std::fill(d() + von, d() + bis + 1, mit);
    } catch (const EsampleMemEx& e) {
        recordError(e);
    }
}

void Tsamplemem::fillComplete(double mit) {
    std::fill(d(), d() + n(), mit);
}

void Tsamplemem::add(const Tsamplemem& sdL) {
    const int32_t k = std::min(n(), sdL.n());
    for (int32_t i = 0; i < k; ++i)
        d()[i] += sdL.d()[i];
}

// =============================================================================================
// Arithmetic on every element

void Tsamplemem::invertDats() {
    for (double& x : std::span(d(), n()))
        x = -x;
}

void Tsamplemem::calcDats(double Fak, double offs) {
    for (double& x : std::span(d(), n()))
        x = offs + Fak * x;
}

void Tsamplemem::assignScaled(const Tsamplemem& src, double Fak, double offs) {
    if (Fak == 1.0 && offs == 0.0) {
        *this = src; // a plain copy (0 + x would only turn -0 into +0)
        return;
    }
    const int32_t count = src.samples();
    if (m_block || !(m_owns && m_view.Fsmpoi && count > 0 && count == samples() && src.n() == count)) {
        *this = src; // shared samples are let go, not copied and overwritten
        calcDats(Fak, offs);
        return;
    }
    const double* s = src.d();
    double* t = d();
    for (int32_t i = 0; i < count; ++i)
        t[i] = offs + Fak * s[i];
    m_tag = src.m_tag;
    m_align = src.m_align;
}

void Tsamplemem::calcConst_sd(double offs) {
    for (double& x : std::span(d(), n()))
        x = offs - x;
}

void Tsamplemem::calcConst_rt(double offs) {
    for (double& x : std::span(d(), n()))
        x = x - offs;
}

void Tsamplemem::logar(double fak, double ofs) {
    for (double& x : std::span(d(), n())) {
        if (!(x > 0)) continue; // no logarithm: the value stays
        const double r = ofs + fak * 20.0 * std::log10(x);
        if (std::isfinite(r)) x = r;
    }
}

void Tsamplemem::Mirror() {
    std::reverse(d(), d() + n());
}

void Tsamplemem::differenz() {
    const int32_t count = n();
    for (int32_t i = 0; i + 1 < count; ++i) {
        const double r = d()[i + 1] - d()[i];
        d()[i] = std::isfinite(r) ? r : 9999999999.0;
    }
    if (count > 0) d()[count - 1] = 0.0;
}

void Tsamplemem::doAlles(double MultiL) {
    if (MultiL != 1.0) calcDats(MultiL, 0.0);
}

int32_t Tsamplemem::Phase2GDms(const Tsamplemem& sdx) {
    if (sdx.n() != n()) return 0;
    for (int32_t i = 0; i < n(); ++i) {
        const double gd = d()[i] * 1000.0 / (sdx.d()[i] * 2.0 * M_PI);
        if (std::isfinite(gd)) // at 0 Hz there is no delay to show; the phase stays
            d()[i] = gd;
    }
    return n();
}

// =============================================================================================
// Statistics

int32_t Tsamplemem::getmaxIndex() const {
    int32_t best = 0;
    double bestAbs = 0.0;
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) > bestAbs) {
            bestAbs = std::fabs(d()[i]);
            best = i;
        }
    return best;
}

double Tsamplemem::getmaxVal() const {
    double m = -1e17;
    for (double x : std::span(d(), n()))
        m = x > m ? x : m;
    return m;
}

double Tsamplemem::getmaxVal_vb(int32_t von, int32_t bis) const {
    try {
        if (!inside(von, n()) || !inside(bis, n()) || von > bis)
            raise("\r\ngetmaxVal_vb von, bis, Samples: %d,%d, %d", von, bis, n());
        double m = -1e17;
        for (int32_t i = von; i <= bis; ++i)
            m = d()[i] > m ? d()[i] : m;
        return m;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0.0;
    }
}

int32_t Tsamplemem::getmaxIndexGT(double val) const {
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) > val) return i;
    return n();
}

int32_t Tsamplemem::getPeak(double level) const {
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) >= level) return i;
    return -1;
}

// The mean is that of the range's own samples; the spread divides by one less than their
// number (sample standard deviation). `squared`: RMS deviation, else mean absolute deviation.
double Tsamplemem::rangeSpread(int32_t von, int32_t bis, bool squared) const {
    try {
        if (!inside(von, n()) || !inside(bis, n()) || von > bis)
            raise("\r\ngetRMStsLevel von, bis, Samples: %d,%d, %d", von, bis, n());
        const int32_t dof = bis - von;
        if (dof == 0) return 0.0;
        const double mean = std::accumulate(d() + von, d() + bis + 1, 0.0) / (dof + 1.0);
        double sum = 0.0;
        for (int32_t i = von; i <= bis; ++i) {
            const double dev = d()[i] - mean;
            sum += squared ? dev * dev : std::fabs(dev);
        }
        return squared ? std::sqrt(sum / dof) : sum / dof;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0.0;
    }
}

double Tsamplemem::getRMStdLevel(int32_t von, int32_t bis) const { return rangeSpread(von, bis, true); }

double Tsamplemem::getARMtdLevel(int32_t von, int32_t bis) const { return rangeSpread(von, bis, false); }

int32_t Tsamplemem::getmaxValIPSlength(double triggLevLin, double sf, double& Llen_ms) const {
    int32_t bidx = 0, eidx = 0;
    return getmaxValIPSlengthIO(triggLevLin, sf, Llen_ms, bidx, eidx);
}

// Hysteresis detector on a 64-sample moving average of |x|, starting 10 ms into the buffer
// (the history before the start counts as silence). On at the trigger level, off below a third
// of it; an on-phase of 30 samples or less is taken as a click and forgotten.
int32_t Tsamplemem::getmaxValIPSlengthIO(double triggLevLin, double sf, double& Llen_ms,
                                         int32_t& bidx, int32_t& eidx) const {
    Llen_ms = 0.0;
    bidx = eidx = 0;
    if (!(sf > 0) || !(sf * 0.01 < n())) return 0;
    const int32_t start = static_cast<int32_t>(std::lround(sf * 0.01));
    double window = 0.0; // sum of |x| over the last 64 samples
    bool on = false;
    int64_t counter = 0;
    for (int32_t i = start; i < n(); ++i) {
        window += std::fabs(d()[i]);
        if (i - 64 >= start) window -= std::fabs(d()[i - 64]);
        const double avg = window / 64.0;
        if (!on && avg >= triggLevLin) {
            on = true;
            counter = 0;
            bidx = i;
        } else if (on && avg < triggLevLin / 3.0) {
            on = false;
            if (counter > 30) {
                eidx = i;
                break;
            }
            counter = 0;
        }
        if (on) ++counter;
    }
    Llen_ms = static_cast<double>(counter) / sf * 1000.0;
    return 0;
}

void Tsamplemem::checkOver(double overVal, int32_t& Fover) const {
    for (double x : std::span(d(), n()))
        if (std::fabs(x) >= overVal && Fover < 255) ++Fover;
}

void Tsamplemem::checkOverLRLR(double overVal, int32_t& FoverL, int32_t& FoverR) const {
    FoverL = FoverR = 0;
    for (int32_t i = 0; i < n(); ++i) {
        int32_t& counter = (i % 2 == 0) ? FoverL : FoverR;
        if (std::fabs(d()[i]) >= overVal && counter < 255) ++counter;
    }
}

std::string Tsamplemem::makeStr(int32_t von, int32_t bis) const {
    if (!inside(von, n()) || !inside(bis, n()) || von > bis) return "Exception";
    std::string s;
    for (int32_t i = von; i <= bis; ++i) {
        s += ' ';
        appendFixed(s, d()[i], 1);
    }
    return s;
}

// =============================================================================================
// Stereo buffers

// With an odd count the left block holds one sample more than the right one, so no two
// samples ever share a position.
int32_t Tsamplemem::Setalign(int32_t LL_RR) {
    const int32_t target = LL_RR == 1 ? 1 : 0;
    if (m_align == target) return target;
    const int32_t count = n(), leftCount = (count + 1) / 2;
    const std::vector<double> old(d(), d() + count);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t blocked = (i % 2 == 0) ? i / 2 : leftCount + i / 2;
        if (target == 1)
            d()[blocked] = old[i];
        else
            d()[i] = old[blocked];
    }
    m_align = target;
    return target;
}

int32_t Tsamplemem::conv2mono() {
    int32_t over = 0;
    for (int32_t i = 0; i + 1 < n(); i += 2) {
        const double sum = d()[i] + d()[i + 1];
        d()[i] = d()[i + 1] = sum;
        if (sum < -1.0 || sum > 1.0) ++over;
    }
    return over;
}

void Tsamplemem::doAllesLRLR(bool DCoffAuto, double DCoffL, double DCoffR, double MultiL,
                             double MultiR, bool chch) {
    if (!DCoffAuto && DCoffL == 0 && DCoffR == 0 && MultiL == 1 && MultiR == 1 && !chch) return;
    const int32_t count = n();
    if (DCoffAuto) {
        double sum[2] = {0, 0};
        for (int32_t i = 0; i < count; ++i)
            sum[i % 2] += d()[i];
        const int32_t leftCount = (count + 1) / 2, rightCount = count / 2;
        DCoffL = leftCount ? -sum[0] / leftCount : 0.0;
        DCoffR = rightCount ? -sum[1] / rightCount : 0.0;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            d()[i] = MultiL * (d()[i] + DCoffL);
            continue;
        }
        d()[i] = MultiR * (d()[i] + DCoffR);
        if (chch) std::swap(d()[i], d()[i - 1]);
    }
}

// =============================================================================================
// Sorting and duplicates

// Stable ascending order (the order of a bubble sort); NaN values go to the end.
void Tsamplemem::sortWith(std::span<Tsamplemem* const> companions) {
    const int32_t count = n();
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    const double* x = d();
    std::stable_sort(order.begin(), order.end(), [x](int32_t a, int32_t b) {
        return x[a] < x[b] || (!std::isnan(x[a]) && std::isnan(x[b]));
    });
    std::vector<double> tmp(static_cast<size_t>(count));
    auto apply = [&](double* data) {
        for (int32_t i = 0; i < count; ++i)
            tmp[i] = data[order[i]];
        std::copy(tmp.begin(), tmp.end(), data);
    };
    for (Tsamplemem* c : companions)
        apply(c->d());
    apply(d());
}

void Tsamplemem::sort(Tsamplemem* sek1, Tsamplemem* sek2) {
    std::vector<Tsamplemem*> along;
    for (Tsamplemem* s : {sek1, sek2})
        if (s && s != this && s->n() == n() && (along.empty() || along[0] != s)) along.push_back(s);
    sortWith(along);
}

void Tsamplemem::sortCH(std::span<Tsamplemem* const> companions) {
    const bool all = std::all_of(companions.begin(), companions.end(),
                                 [this](const Tsamplemem* c) { return c && c->n() == n(); });
    std::vector<Tsamplemem*> along;
    if (all)
        for (Tsamplemem* c : companions)
            if (c != this && std::find(along.begin(), along.end(), c) == along.end())
                along.push_back(c);
    sortWith(along);
}

// A run of equal values becomes a staircase of 0.01 steps, so that the axis keeps rising
// also when a value occurs three or more times.
void Tsamplemem::remDouble() {
    double previous = n() > 0 ? d()[0] : 0.0; // value of x[i] before it was raised
    for (int32_t i = 0; i + 1 < n(); ++i) {
        const double original = d()[i + 1];
        if (original == previous && previous != 0.0) d()[i + 1] = d()[i] + 0.01;
        previous = original;
    }
}

int32_t Tsamplemem::remDouble2(Tsamplemem* sek1, Tsamplemem* sek2) {
    const int32_t count = n();
    if (count == 0) return 0;
    std::vector<Tsamplemem*> along;
    for (Tsamplemem* s : {sek1, sek2})
        if (s && s != this && s->n() == count && (along.empty() || along[0] != s))
            along.push_back(s);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (i + 1 < count && d()[i + 1] == d()[i]) continue;
        for (Tsamplemem* s : along)
            s->d()[kept] = s->d()[i];
        d()[kept++] = d()[i];
    }
    for (Tsamplemem* s : along)
        s->setSamples(kept);
    setSamples(kept);
    return kept;
}

// =============================================================================================
// Spectra

// Each point becomes the mean of the valid points in nested windows around it; the windows
// overlap on purpose so that near neighbours weigh more. Points already smoothed feed the later
// ones.
void Tsamplemem::smoothOktFD(int32_t mode) {
    std::vector<int32_t> widths{2, 3, 6};
    if (mode == 1 || mode == 2 || mode == 10) widths.push_back(10);
    if (mode == 1 || mode == 10) widths.push_back(40);
    if (mode == 10) widths.push_back(160);
    const int32_t count = n();
    for (int32_t i = 0; i < count; ++i) {
        if (!(d()[i] > -192.0)) continue;
        double sum = 0.0;
        int32_t used = 0;
        for (int32_t w : widths)
            for (int32_t j = std::max(0, i - w); j <= std::min(count - 1, i + w); ++j)
                if (d()[j] > -192.0) {
                    sum += d()[j];
                    ++used;
                }
        d()[i] = sum / used;
    }
}

int32_t Tsamplemem::octave13FD(const Tsamplemem& xa) {
    const int32_t count = std::min(n(), xa.n());
    const double factor = std::cbrt(2.0);
    double edge = 16.35; // upper edge of the current band, Hz
    for (int32_t i = 0; i < count && std::isfinite(edge); edge *= factor) {
        int32_t j = i;
        double sum = 0.0;
        for (; j < count && xa.d()[j] < edge; ++j)
            sum += d()[j];
        if (j > i) std::fill(d() + i, d() + j, sum / (j - i));
        i = j;
    }
    return n();
}

namespace {

constexpr double kMissingDb = -192.0; // the logarithm of 0 in dB data

// Offs + Fak*20*log10(x), or the missing value when x has no finite logarithm.
double levelDb(double x, double Offs, double Fak) {
    if (!(x > 0.0)) return kMissingDb;
    const double r = Offs + Fak * 20.0 * std::log10(x);
    return std::isfinite(r) ? r : kMissingDb;
}

double corrected(const Tcorri* cor, double v, double f) {
    return cor ? cor->corri(v, f, 0.0) : v;
}

// round(fftp/2) as the spectrum's bin count; halves go to the even neighbour.
int32_t halfBins(int32_t fftp) {
    return static_cast<int32_t>(std::nearbyint(fftp / 2.0));
}

} // namespace

void Tsamplemem::corri(const Tcorri* cor, int32_t fftp, double sf, double Offs, double Fak) {
    corriInd(cor, 0, fftp, sf, Offs, Fak);
}

void Tsamplemem::corriInd(const Tcorri* cor, int32_t Ind, int32_t fftp, double sf, double Offs,
                          double Fak) {
    const int64_t first = std::max<int64_t>(Ind, 0);
    const int64_t end = std::min<int64_t>(int64_t(Ind) + halfBins(fftp), n());
    for (int64_t i = first; i < end; ++i) {
        double& x = d()[i];
        const double v = levelDb(x, Offs, Fak);
        x = v != kMissingDb ? corrected(cor, v, (sf / 2.0) * double(i) / (fftp / 2.0)) : kMissingDb;
    }
}

bool Tsamplemem::corriFastandLog(double Fak, double Offs, const Tsamplemem* Xax, bool log,
                                 const Tcorri* cor, const TLevelPowers* powers) {
    double* x = d();
    const int32_t count = n();
    // An inactive curve returns every value unchanged; a short axis still reports its reads.
    const bool correct =
        Xax && cor && ((cor->getaktiv() && cor->getPaare() > 0) || Xax->samples() < count);
    const bool plain = powers && powers->p && log && cor && !correct && Fak == 1.0 && Offs == 0.0;
    if (!log) {
        for (int32_t i = 0; i < count; ++i)
            x[i] = Offs + Fak * x[i];
    } else if (!cor) {
        std::fill(x, x + count, kMissingDb);
        return false;
    } else if (plain) {
        // The logarithms go to the powers' room first, so that one pass sets both.
        double* p = powers->p;
        fftkernel::log10Array(x, p, size_t(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) {
            const double r = Offs + Fak * 20.0 * p[i];
            const double m = x[i];
            x[i] = std::isfinite(r) ? r : kMissingDb;
            p[i] = !std::isfinite(r) ? powers->missing : r == 0.0 ? 0.0 : m * m;
        }
        return true;
    } else {
        // levelDb over the block: 0, negative and non-finite values all end as missing, as
        // their logarithms (-inf, NaN, +inf) give no finite level.
        fftkernel::log10Array(x, x, size_t(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) {
            const double r = Offs + Fak * 20.0 * x[i];
            x[i] = std::isfinite(r) ? r : kMissingDb;
        }
    }
    if (!correct) return false;
    for (int32_t i = 0; i < count; ++i)
        if (!log || x[i] != kMissingDb) x[i] = cor->corri(x[i], Xax->getsmAr(i), 0.0);
    return false;
}

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

// =============================================================================================
// Files

int32_t Tsamplemem::save2file(const std::string& Fname) const {
    FilePtr f(std::fopen(Fname.c_str(), "wb"));
    if (!f) return 1;
    TextSink out(f.get());
    out.buffer() = "// START-> Y Values\r\n";
    for (double x : std::span(d(), n())) {
        appendG15(out.buffer(), x);
        out.buffer() += "\r\n";
        out.flushIfFull();
    }
    return closeFile(f, out.close()) ? 0 : 1;
}

int32_t Tsamplemem::save2filepX(const std::string& Fname, const Tsamplemem& Xaxis) const {
    if (Xaxis.n() < n()) return 1;               // lines without an x value would be unreadable
    FilePtr f(std::fopen(Fname.c_str(), "r+b")); // appends, and only to an existing file
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return 1;
    TextSink out(f.get());
    out.buffer() = "// START-> X , Y Values\r\n";
    for (int32_t i = 0; i < n(); ++i) {
        appendG15(out.buffer(), Xaxis.d()[i]);
        out.buffer() += " , ";
        appendG15(out.buffer(), d()[i]);
        out.buffer() += "\r\n";
        out.flushIfFull();
    }
    return closeFile(f, out.close()) ? 0 : 1;
}

namespace {
// Opens a text file for one of the loads; null with the reason in `error`.
FilePtr openForLoad(const std::string& Fname, int32_t sampl, std::string& error) {
    if (sampl <= 0) {
        error = "No samples requested from " + Fname;
        return nullptr;
    }
    FilePtr f(std::fopen(Fname.c_str(), "rb"));
    if (!f) error = "Cannot open " + Fname;
    return f;
}
} // namespace

bool Tsamplemem::loadFromFile(const std::string& Fname, int32_t sampl) {
    FilePtr f = openForLoad(Fname, sampl, m_lastError);
    if (!f) return false;
    LineReader r(f.get());
    std::vector<double> values;
    values.reserve(static_cast<size_t>(std::min(sampl, 1 << 16)));
    double v = 0.0;
    if (skipHeader(r))
        while (values.size() < size_t(sampl) && r.next() && !r.truncated() &&
               parseNumber(r.text(), v))
            values.push_back(v);
    if (values.size() != size_t(sampl)) {
        m_lastError = Fname + ": " + std::to_string(values.size()) + " of " +
                      std::to_string(sampl) + " values readable";
        return false;
    }
    double* p = allocSamples(sampl, false);
    std::copy(values.begin(), values.end(), p);
    release();
    adopt(p, sampl);
    return true;
}

bool Tsamplemem::loadFromFilepX(const std::string& Fname, int32_t sampl, Tsamplemem& Xaxis) {
    FilePtr f = openForLoad(Fname, sampl, m_lastError);
    if (!f) return false;
    LineReader r(f.get());
    std::vector<double> xs, ys;
    std::string line;
    double x = 0.0, y = 0.0;
    if (skipHeader(r))
        while (ys.size() < size_t(sampl) && r.next() && !r.truncated()) {
            line.assign(r.text());
            std::erase_if(line, isBlank);
            const size_t comma = line.find(',');
            if (comma == line.npos || !parseNumber(std::string_view(line).substr(0, comma), x) ||
                !parseNumber(std::string_view(line).substr(comma + 1), y))
                break;
            xs.push_back(x);
            ys.push_back(y);
        }
    if (ys.size() != size_t(sampl)) {
        m_lastError = Fname + ": " + std::to_string(ys.size()) + " of " + std::to_string(sampl) +
                      " value pairs readable";
        return false;
    }
    Tsamplemem nx(sampl), ny(sampl);
    std::copy(xs.begin(), xs.end(), nx.d());
    std::copy(ys.begin(), ys.end(), ny.d());
    ny.m_tag = m_tag;
    ny.m_align = m_align;
    Xaxis = std::move(nx);
    *this = std::move(ny);
    return true;
}

int32_t Tsamplemem::writeTo16bitPCMFile(const std::string& Fname) const {
    FilePtr f(std::fopen(Fname.c_str(), "wb"));
    if (!f) return 1;
    std::vector<unsigned char> bytes(static_cast<size_t>(n()) * 2);
    for (int32_t i = 0; i < n(); ++i) {
        double v = std::nearbyint(d()[i] * 32768.0); // the default mode rounds ties to even
        v = std::isnan(v) ? 0.0 : std::clamp(v, -32768.0, 32767.0);
        const auto word = static_cast<uint16_t>(static_cast<int16_t>(v));
        bytes[2 * size_t(i)] = static_cast<unsigned char>(word & 0xFF);
        bytes[2 * size_t(i) + 1] = static_cast<unsigned char>(word >> 8);
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return closeFile(f, ok) ? 0 : 1;
}

std::string Tsamplemem::tohdebug() const {
    std::string s;
    for (int32_t i = 0; i < std::min(n(), 512); ++i) {
        char head[16];
        std::snprintf(head, sizeof head, "%3d:", i);
        s += head;
        appendFixed(s, d()[i], 2);
        s += "   |";
    }
    return s;
}
