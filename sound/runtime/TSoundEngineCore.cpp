// The audio-core half every sound module shares: generator, output filter, ring sessions, fetch.
#include "TSoundEngineCore.h"

#include "TSoundGenerator.h"

#include <algorithm>
#include <utility>
#include <cmath>

namespace {

bool wantsFrames(const TsmView* v)
{
    return v && v->Fsmpoi && v->Fsamples > 0;
}

} // namespace

void TSoundEngineCore::allocateBuffers(int outChannels, int inChannels, int frames)
{
    outBuf_.assign(size_t(std::max(outChannels, 2)), std::vector<double>(size_t(frames), 0.0));
    inBuf_.assign(size_t(inChannels), std::vector<double>(size_t(frames), 0.0));
    outPtr_.clear();
    inPtr_.clear();
    for (auto& b : outBuf_)
        outPtr_.push_back(b.data());
    for (auto& b : inBuf_)
        inPtr_.push_back(b.data());
}

void TSoundEngineCore::switchInput(bool on)
{
    if (on) {
        inStart_.store(kNoSession);
        inStartFrame_.store(-1);
        // a generator that stopped before this recording has no start in it
        if (!outputOn_.load())
            outStartFrame_.store(-1);
        inGen_.fetch_add(1, std::memory_order_release);
    }
    inputOn_.store(on);
}

void TSoundEngineCore::switchOutput(bool on)
{
    if (on) {
        outStartFrame_.store(-1);
        outGen_.fetch_add(1, std::memory_order_release);
    }
    outputOn_.store(on);
}

void TSoundEngineCore::restartInputSession()
{
    seen_ = 0;
    inStart_.store(kNoSession);
    inStartFrame_.store(-1);
    seenInGen_ = inGen_.load() - 1;
}

void TSoundEngineCore::resetGenerator(uint32_t seed) noexcept
{
    renderer_.reset(soundGenWhiteSeed(seed, 0), soundGenWhiteSeed(seed, 1));
}

uint64_t TSoundEngineCore::recordedAt(uint64_t end) const
{
    const uint64_t start = inStart_.load();
    return start == kNoSession || end < start ? 0 : end - start;
}

int TSoundEngineCore::copyNewest(TsmView* const* views, int count, uint64_t* end)
{
    count = std::min(count, ring_.channels());
    size_t need = 0;
    for (int c = 0; c < count; ++c)
        if (wantsFrames(views[c]))
            need = std::max(need, size_t(views[c]->Fsamples));
    *end = ring_.written();
    if (*end <= seen_ || need == 0 || need > ring_.capacity())
        return 0;
    int delivered = 0;
    // The audio thread may overwrite what is being copied: copy again from the new end.
    for (int attempt = 0; attempt < 4 && !delivered && recordedAt(*end) >= need; ++attempt) {
        for (int c = 0; c < count; ++c)
            if (wantsFrames(views[c]))
                ring_.read(c, *end, views[c]->Fsmpoi, size_t(views[c]->Fsamples));
        delivered = ring_.intact(*end, need) ? 1 : 0;
        if (!delivered)
            *end = ring_.written();
    }
    if (delivered)
        seen_ = *end;
    return delivered;
}

bool TSoundEngineCore::renderOutput(int frames, uint32_t seed) noexcept
{
    const TGenSignal* signal = genBox_.take();
    const uint32_t og = outGen_.load(std::memory_order_acquire);
    const bool restarted = og != seenOutGen_;
    if (restarted) {
        seenOutGen_ = og;
        resetGenerator(seed);
        startPending_ = true;
    }
    if (!outputOn_.load()) {
        // A restart seen while the output is (still) off plays nothing yet: the generator's
        // first sample goes out with the first block that is played.
        std::fill_n(outPtr_[0], frames, 0.0);
        std::fill_n(outPtr_[1], frames, 0.0);
        return false;
    }
    renderer_.render(signal, outPtr_[0], outPtr_[1], frames);
    applyFilter(frames);
    if (!std::exchange(startPending_, false))
        return false;
    outStartFrame_.store(frame_);
    return true;
}

void TSoundEngineCore::applyFilter(int frames) noexcept
{
    bool fault = false;
    outFilter.use([&](void* code, void*) {
        auto filter = reinterpret_cast<SDOutFilterProc>(code);
        double* left = outPtr_[0];
        double* right = outPtr_[1]; // a scratch channel when only one output exists
        for (int n = 0; n < frames; ++n) {
            filter(&left[n], &right[n]);
            if (!std::isfinite(left[n]) || !std::isfinite(right[n])) {
                left[n] = std::isfinite(left[n]) ? left[n] : 0.0;
                right[n] = std::isfinite(right[n]) ? right[n] : 0.0;
                fault = true;
            }
        }
    });
    if (fault)
        filterFault_.store(true);
}

bool TSoundEngineCore::inputSessionBegins() noexcept
{
    const uint32_t ig = inGen_.load(std::memory_order_acquire);
    if (ig == seenInGen_)
        return false;
    seenInGen_ = ig;
    inStart_.store(ring_.written());
    inStartFrame_.store(frame_);
    std::fill(std::begin(dcSum_), std::end(dcSum_), 0.0);
    dcCount_ = 0;
    return true;
}

void TSoundEngineCore::setInputDC(double left, double right, bool autoRemove) noexcept
{
    dcOffset_[0].store(std::isfinite(left) ? left : 0.0);
    dcOffset_[1].store(std::isfinite(right) ? right : 0.0);
    dcAuto_.store(autoRemove);
}

// The mean removed is that of everything recorded since the input started, this block
// included, so a constant offset goes at once and a tone's part cycles average out.
void TSoundEngineCore::correctDC(int frames) noexcept
{
    const bool autoOn = dcAuto_.load(std::memory_order_relaxed);
    if (autoOn)
        dcCount_ += uint64_t(frames);
    const int n = int(inPtr_.size());
    for (int c = 0; c < n; ++c) {
        double* x = inPtr_[size_t(c)];
        double add = 0.0;
        if (autoOn && c < kDCChannels) {
            for (int k = 0; k < frames; ++k)
                dcSum_[c] += x[k];
            add = -dcSum_[c] / double(dcCount_);
        } else if (!autoOn && c < 2) {
            add = dcOffset_[c].load(std::memory_order_relaxed);
        }
        if (add != 0.0)
            for (int k = 0; k < frames; ++k)
                x[k] += add;
    }
}

void TSoundEngineCore::recordInput(int frames) noexcept
{
    if (!inputOn_.load())
        return;
    correctDC(frames);
    ring_.write(inPtr_.data(), frames);
    announceBlock();
}

void TSoundEngineCore::announceBlock() noexcept
{
    onBlock.use([](void* code, void* context) { reinterpret_cast<void (*)(void*)>(code)(context); });
}
