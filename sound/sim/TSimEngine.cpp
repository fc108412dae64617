// The virtual bench's audio core: block production, pacing and the hand-over of recorded data.
#include "TSimEngine.h"

#include <algorithm>
#include <cmath>

using Clock = std::chrono::steady_clock;

// inStart_ before the audio thread has seen the input session begin.
static constexpr uint64_t kNoSession = ~uint64_t(0);
// A realtime thread this many blocks behind restarts its schedule instead of catching up.
static constexpr int kLateBlocks = 8;
// Fast pacing: how often a waiting block checks whether it was fetched, and announces itself again.
static constexpr auto kFetchPoll = std::chrono::microseconds(100);
static constexpr auto kRenotify = std::chrono::milliseconds(20);

TSimEngine::TSimEngine() : inStart_(kNoSession)
{
    configure(TSimSettings{}, simMakeModel(TSimModelSettings{}, nullptr));
}

TSimEngine::~TSimEngine()
{
    stop();
}

void TSimEngine::configure(const TSimSettings& settings, std::unique_ptr<TSimModel> model)
{
    settings_ = settings;
    model_ = std::move(model);
    model_->prepare({settings_.sampleRate, settings_.inChannels, settings_.outChannels,
                     settings_.blockFrames, settings_.seed});
    resetGenerator();
    genBox_.clearStopped();
    signal_ = nullptr;
    allocateBuffers();
}

void TSimEngine::allocateBuffers()
{
    const size_t frames = size_t(settings_.blockFrames);
    outBuf_.assign(size_t(std::max(settings_.outChannels, 2)), std::vector<double>(frames, 0.0));
    inBuf_.assign(size_t(settings_.inChannels), std::vector<double>(frames, 0.0));
    outPtr_.clear();
    inPtr_.clear();
    for (auto& b : outBuf_)
        outPtr_.push_back(b.data());
    for (auto& b : inBuf_)
        inPtr_.push_back(b.data());
}

bool TSimEngine::start(size_t ringFrames)
{
    if (running())
        return true;
    if (!ring_.allocate(settings_.inChannels, ringFrames))
        return false;
    seen_ = 0;
    consumed_.store(0);
    inStart_.store(kNoSession);
    seenInGen_ = inGen_.load() - 1; // the first block opens a new input session
    stop_.store(false);
    thread_ = std::thread([this] { threadMain(); });
    return true;
}

void TSimEngine::stop() noexcept
{
    if (!running())
        return;
    {
        const std::lock_guard<std::mutex> lock(sleepMutex_);
        stop_.store(true);
    }
    sleepCv_.notify_all();
    kick();
    thread_.join();
    audioId_.store(std::thread::id());
    overCount_.store(0);
}

void TSimEngine::setInput(bool on)
{
    if (on) {
        inStart_.store(kNoSession);
        inGen_.fetch_add(1, std::memory_order_release);
    }
    inputOn_.store(on);
    kick();
}

void TSimEngine::setOutput(bool on)
{
    if (on)
        outGen_.fetch_add(1, std::memory_order_release);
    outputOn_.store(on);
    kick();
}

void TSimEngine::post(std::unique_ptr<TGenSignal> signal)
{
    genBox_.post(std::move(signal));
}

void TSimEngine::resetGenerator() noexcept
{
    renderer_.reset(simGenWhiteSeed(settings_.seed, 0), simGenWhiteSeed(settings_.seed, 1));
}

void TSimEngine::kick()
{
    kick_.fetch_add(1);
    kick_.notify_all();
}

uint64_t TSimEngine::recorded() const
{
    return recordedAt(ring_.written());
}

uint64_t TSimEngine::recordedAt(uint64_t end) const
{
    const uint64_t start = inStart_.load();
    return start == kNoSession || end < start ? 0 : end - start;
}

int TSimEngine::fetch(TsmView* const* views, int count)
{
    count = std::min(count, ring_.channels());
    size_t need = 0;
    for (int c = 0; c < count; ++c)
        if (views[c] && views[c]->Fsmpoi && views[c]->Fsamples > 0)
            need = std::max(need, size_t(views[c]->Fsamples));
    uint64_t end = ring_.written();
    int delivered = 0;
    if (end > seen_ && need > 0 && need <= ring_.capacity()) {
        // A realtime writer may overwrite what is being copied: copy again from the new end.
        for (int attempt = 0; attempt < 4 && !delivered && recordedAt(end) >= need; ++attempt) {
            for (int c = 0; c < count; ++c)
                if (views[c] && views[c]->Fsmpoi && views[c]->Fsamples > 0)
                    ring_.read(c, end, views[c]->Fsmpoi, size_t(views[c]->Fsamples));
            delivered = ring_.intact(end, need) ? 1 : 0;
            if (!delivered)
                end = ring_.written();
        }
    }
    seen_ = std::max(seen_, end);
    consumed_.store(end, std::memory_order_release);
    kick();
    return delivered;
}

void TSimEngine::threadMain() noexcept
{
    audioId_.store(std::this_thread::get_id());
    if (settings_.pacing == TSimPacing::fast)
        runFast();
    else
        runRealtime();
}

void TSimEngine::runFast() noexcept
{
    while (!stop_.load()) {
        if (!inputOn_.load()) {
            waitKick(false);
            continue;
        }
        produce();
        waitFetched();
    }
}

// Waits until the last block was fetched. A reader that was busy when the block was announced
// drops the notification and fetches on the next one, so a block left waiting is announced
// again every kRenotify.
void TSimEngine::waitFetched() noexcept
{
    auto announced = Clock::now();
    while (!stop_.load() && inputOn_.load() && consumed_.load(std::memory_order_acquire) < ring_.written()) {
        std::this_thread::sleep_for(kFetchPoll);
        if (Clock::now() - announced < kRenotify)
            continue;
        onBlock.use([](void* code, void* context) { reinterpret_cast<void (*)(void*)>(code)(context); });
        announced = Clock::now();
    }
}

// Sleeps until stop, an input change or (untilFetched) the last block was fetched.
void TSimEngine::waitKick(bool untilFetched) noexcept
{
    for (;;) {
        const uint32_t seen = kick_.load();
        if (stop_.load() || (untilFetched ? (!inputOn_.load() ||
                                             consumed_.load(std::memory_order_acquire) >= ring_.written())
                                          : inputOn_.load()))
            return;
        kick_.wait(seen);
    }
}

void TSimEngine::runRealtime() noexcept
{
    const double rate = settings_.sampleRate;
    auto t0 = Clock::now();
    uint64_t frames = 0; // produced since t0
    while (!stop_.load()) {
        produce();
        frames += uint64_t(settings_.blockFrames);
        auto due = t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(frames) / rate));
        auto now = Clock::now();
        if (now - due > kLateBlocks * std::chrono::duration<double>(settings_.blockFrames / rate)) {
            late_.fetch_add(1, std::memory_order_relaxed);
            t0 = now;
            frames = 0;
            continue;
        }
        if (now < due)
            sleepUntil(due);
    }
}

// Sleeps until `due` in one wait, which stop() ends early.
void TSimEngine::sleepUntil(Clock::time_point due) noexcept
{
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepCv_.wait_until(lock, due, [this] { return stop_.load(); });
}

void TSimEngine::produce() noexcept
{
    const int frames = settings_.blockFrames;
    signal_ = genBox_.take();
    const uint32_t og = outGen_.load(std::memory_order_acquire);
    if (og != seenOutGen_) {
        seenOutGen_ = og;
        resetGenerator();
    }
    if (outputOn_.load()) {
        renderer_.render(signal_, outPtr_[0], outPtr_[1], frames);
        applyFilter(frames);
    } else {
        std::fill_n(outPtr_[0], frames, 0.0);
        std::fill_n(outPtr_[1], frames, 0.0);
    }
    model_->process(outPtr_.data(), inPtr_.data(), frames);
    overCount_.store(quantise(frames), std::memory_order_relaxed);

    const uint32_t ig = inGen_.load(std::memory_order_acquire);
    if (ig != seenInGen_) {
        seenInGen_ = ig;
        inStart_.store(ring_.written());
    }
    if (!inputOn_.load())
        return;
    ring_.write(inPtr_.data(), frames);
    onBlock.use([](void* code, void* context) { reinterpret_cast<void (*)(void*)>(code)(context); });
}

void TSimEngine::applyFilter(int frames) noexcept
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

// Rounds to the integer grid of the bit depth and clamps to full scale (16/24 bits), or
// rounds to float (32). Returns the number of samples at or above full scale.
int TSimEngine::quantise(int frames) noexcept
{
    const int bits = settings_.bits;
    const double scale = bits == 32 ? 1.0 : std::ldexp(1.0, bits - 1);
    int over = 0;
    for (double* ch : inPtr_) {
        for (int n = 0; n < frames; ++n) {
            double x = std::isfinite(ch[n]) ? ch[n] : 0.0;
            over += std::fabs(x) >= 1.0;
            if (bits == 32)
                x = double(float(x));
            else
                x = std::clamp(std::nearbyint(x * scale), -scale, scale - 1.0) / scale;
            ch[n] = x;
        }
    }
    return over;
}
