// The virtual bench's audio core: block production, pacing and the hand-over of recorded data.
#include "TSimEngine.h"

#include <algorithm>
#include <cmath>

using Clock = std::chrono::steady_clock;

// A realtime thread this many blocks behind restarts its schedule instead of catching up.
static constexpr int kLateBlocks = 8;
// Fast pacing: how often a waiting block checks whether it was fetched, and announces itself again.
static constexpr auto kFetchPoll = std::chrono::microseconds(100);
static constexpr auto kRenotify = std::chrono::milliseconds(20);

TSimEngine::TSimEngine()
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
    resetGenerator(settings_.seed);
    genBox_.clearStopped();
    allocateBuffers(settings_.outChannels, settings_.inChannels, settings_.blockFrames);
}

bool TSimEngine::start(size_t ringFrames)
{
    if (running())
        return true;
    if (!ring_.allocate(settings_.inChannels, ringFrames))
        return false;
    restartInputSession();
    consumed_.store(0);
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
    switchInput(on);
    kick();
}

void TSimEngine::setOutput(bool on)
{
    switchOutput(on);
    kick();
}

void TSimEngine::kick()
{
    kick_.fetch_add(1);
    kick_.notify_all();
}

// Every call marks what was recorded so far as seen, delivered or not: in fast pacing the next
// block is made only after this call.
int TSimEngine::fetch(TsmView* const* views, int count)
{
    uint64_t end = 0;
    const int delivered = copyNewest(views, count, &end);
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
        if (!input()) {
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
    while (!stop_.load() && input() && consumed_.load(std::memory_order_acquire) < ring_.written()) {
        std::this_thread::sleep_for(kFetchPoll);
        if (Clock::now() - announced < kRenotify)
            continue;
        announceBlock();
        announced = Clock::now();
    }
}

// Sleeps until stop, an input change or (untilFetched) the last block was fetched.
void TSimEngine::waitKick(bool untilFetched) noexcept
{
    for (;;) {
        const uint32_t seen = kick_.load();
        if (stop_.load() || (untilFetched ? (!input() ||
                                             consumed_.load(std::memory_order_acquire) >= ring_.written())
                                          : input()))
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
    renderOutput(frames, settings_.seed);
    model_->process(outPtr_.data(), inPtr_.data(), frames);
    overCount_.store(quantise(frames), std::memory_order_relaxed);
    inputSessionBegins();
    recordInput(frames);
    frame_ += frames;
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
