// Sample memory: the one buffer of sampled data, its ownership, copies, sizes and arithmetic.
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

