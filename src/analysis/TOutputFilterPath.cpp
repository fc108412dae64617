// The output filter path: the output blocks run on the sound module's audio thread while the
// GUI replaces their settings without locks.
#include "analysis/TOutputFilterPath.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define VL_HAVE_MXCSR 1
#endif

namespace {

#ifdef VL_HAVE_MXCSR
// Flush-to-zero and denormals-are-zero for one scope; the caller's mode comes back after it.
class DenormalGuard {
public:
    DenormalGuard() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFtzDaz); }
    ~DenormalGuard() { _mm_setcsr(saved_); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    static constexpr unsigned kFtzDaz = 0x8040; // FTZ (bit 15) and DAZ (bit 6)
    unsigned saved_;                            // the caller's MXCSR
};
#else
struct DenormalGuard {}; // other processors: no guard; their defaults are IEEE
#endif

void appendFilter(const TIIRObj& f, TOutChain& chain)
{
    for (int k = 0; k < f.Biquads() && chain.sections < TOutChain::kMaxSections; ++k) {
        const TIIRSection& s = f.Iir()[k];
        chain.sec[size_t(chain.sections++)] = {s.b0, s.b1, s.b2, s.a1, s.a2, 0};
    }
}

} // namespace

void compileOutChain(const tFilterBlock& block, TOutChain& chain)
{
    chain.sections = 0;
    chain.delay = std::clamp(block.Delay_samps, 0, tFilterBlock::kMaxDelay);
    if (block.bypass)
        return;
    for (const TIIRObj& f : block.aEq)
        if (f.Typ() != iirFlat && !f.Bypassed())
            appendFilter(f, chain);
}

TOutputFilterPath::~TOutputFilterPath()
{
    collect();
    delete pending_.exchange(nullptr);
    delete current_;
}

uint64_t TOutputFilterPath::publish(const tFilterBlock& left, const tFilterBlock& right, double rate)
{
    // The blocks are designed for the rate the editor works at; the path runs at the output's.
    const auto designedAt = [rate](const tFilterBlock& b) {
        tFilterBlock c = b;
        c.SetDesignSampleRate(rate);
        return c;
    };
    auto s = std::make_unique<TOutFilterSettings>();
    compileOutChain(designedAt(left), s->ch[0]);
    compileOutChain(designedAt(right), s->ch[1]);
    return publish(std::move(s));
}

uint64_t TOutputFilterPath::publish(std::unique_ptr<TOutFilterSettings> s)
{
    collect();
    s->generation = ++nextGen_;
    for (TOutChain& c : s->ch)
        for (int k = 0; k < c.sections; ++k)
            c.sec[size_t(k)].gen = s->generation;
    // An object still pending was never seen by the audio thread: ours to free.
    if (TOutFilterSettings* unseen = pending_.exchange(s.release(), std::memory_order_acq_rel)) {
        delete unseen;
        ++freedUnseen_;
    }
    return nextGen_;
}

int TOutputFilterPath::collect()
{
    int freed = 0;
    uint32_t tail = retTail_.load(std::memory_order_relaxed);
    const uint32_t head = retHead_.load(std::memory_order_acquire);
    for (; tail != head; ++tail, ++freed)
        delete retired_[tail % kRetired].exchange(nullptr, std::memory_order_relaxed);
    retTail_.store(tail, std::memory_order_release);
    freedReleased_ += uint64_t(freed);
    return freed;
}

// Between two sample pairs: adopt the newest published settings, if any, and hand the old
// object to the GUI thread. Histories survive when a channel keeps its number of sections.
void TOutputFilterPath::takePending() noexcept
{
    if (!pending_.load(std::memory_order_relaxed))
        return;
    const uint32_t head = retHead_.load(std::memory_order_relaxed);
    if (current_ && head - retTail_.load(std::memory_order_acquire) >= kRetired)
        return; // no room to release the old object yet: keep it one more pair
    TOutFilterSettings* next = pending_.exchange(nullptr, std::memory_order_acq_rel);
    if (!next)
        return;
    if (current_) {
        retired_[head % kRetired].store(current_, std::memory_order_relaxed);
        retHead_.store(head + 1, std::memory_order_release);
    }
    current_ = next;
    for (size_t c = 0; c < 2; ++c)
        if (state_[c].sections != next->ch[c].sections) {
            for (auto& n : state_[c].node)
                n = {0.0, 0.0, 0.0};
            state_[c].sections = next->ch[c].sections;
        }
    genInUse_.store(next->generation, std::memory_order_relaxed);
}

// One sample through a channel's cascade (direct form I, shared nodes) and its delay line.
double TOutputFilterPath::run(const TOutChain& c, ChannelState& st, double x, uint64_t gen) noexcept
{
    uint64_t torn = 0;
    auto* node = st.node.data();
    node[0] = {x, node[0][0], node[0][1]};
    for (int k = 0; k < c.sections; ++k) {
        const TOutSection& s = c.sec[size_t(k)];
        torn += s.gen != gen;
        const auto& in = node[k];
        auto& out = node[k + 1];
        const double y = s.b0 * in[0] + s.b1 * in[1] + s.b2 * in[2] + s.a1 * out[0] + s.a2 * out[1];
        out = {y, out[0], out[1]};
    }
    if (torn)
        torn_.fetch_add(torn, std::memory_order_relaxed);
    double y = c.sections ? node[c.sections][0] : x;
    if (!std::isfinite(y)) {
        for (auto& n : st.node)
            n = {0.0, 0.0, 0.0};
        y = 0.0;
    }
    std::copy_backward(st.delay.begin(), st.delay.end() - 1, st.delay.end());
    st.delay[0] = y;
    return st.delay[size_t(c.delay)];
}

void TOutputFilterPath::process(double* left, double* right) noexcept
{
    const DenormalGuard guard;
    takePending();
    if (current_) {
        *left = run(current_->ch[0], state_[0], *left, current_->generation);
        *right = run(current_->ch[1], state_[1], *right, current_->generation);
    }
    pairs_.store(pairs_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); // one writer
}

namespace {
// At namespace scope so the audio thread never runs a first-use guard.
TOutputFilterPath g_outputPath;
} // namespace

TOutputFilterPath& outputFilterPath() { return g_outputPath; }

void publishOutputBlocks(const tFilterBlockSet& blocks, double rate)
{
    outputFilterPath().publish(blocks.outLeft, blocks.outRight, rate);
}

extern "C" void vlOutputFilter(double* left, double* right)
{
    outputFilterPath().process(left, right);
}
