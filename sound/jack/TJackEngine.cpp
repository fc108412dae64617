// The JACK module's audio core: client, ports, process callback and the hand-over of recorded data.
#include "TJackEngine.h"

#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

// The generator's noise seeds (the virtual bench's seed 1, so both modules play the same noise).
static constexpr uint32_t kSeed = 1;
// Buffers are allocated for at least this many frames, so a server that raises its block
// size a little later does not silence the module.
static constexpr int kMinCapacity = 4096;

// The library prints every failed connection attempt; the module reports in its own texts.
static void quiet(const char*) {}

static void silenceLibrary()
{
    static const bool once = [] {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
        return true;
    }();
    (void)once;
}

TJackEngine::TJackEngine()
{
    silenceLibrary();
}

TJackEngine::~TJackEngine()
{
    close();
}

bool TJackEngine::serverAnswers()
{
    silenceLibrary();
    jack_status_t status{};
    jack_client_t* c = jack_client_open("velmora-probe", JackNoStartServer, &status);
    if (!c)
        return false;
    jack_client_close(c);
    return true;
}

std::string TJackEngine::open(const TJackSettings& s, size_t ringFrames, std::string* notice)
{
    close();
    silenceLibrary();
    jack_status_t status{};
    client_ = jack_client_open(s.clientName.c_str(), JackNoStartServer, &status);
    if (!client_)
        return (status & JackServerFailed) || (status & JackServerError)
                   ? "No JACK server answers; start one (jackd or PipeWire) and start again."
                   : "The JACK server refused the client \"" + s.clientName + "\".";
    rate_ = int(jack_get_sample_rate(client_));
    block_ = int(jack_get_buffer_size(client_));
    capacity_ = std::max(block_, kMinCapacity);
    try {
        allocateBuffers(s.outChannels, s.inChannels, capacity_);
    } catch (const std::bad_alloc&) {
        close();
        return "Not enough memory for the buffers of the JACK module.";
    }
    if (!ring_.allocate(s.inChannels, std::max(ringFrames, size_t(capacity_) * 2))) {
        close();
        return "Not enough memory for the recording buffers of the JACK module.";
    }
    for (int c = 0; c < s.outChannels; ++c) {
        const std::string name = "out_" + std::to_string(c + 1);
        outPorts_.push_back(jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
    }
    for (int c = 0; c < s.inChannels; ++c) {
        const std::string name = "in_" + std::to_string(c + 1);
        inPorts_.push_back(jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
    }
    if (std::count(outPorts_.begin(), outPorts_.end(), nullptr) || std::count(inPorts_.begin(), inPorts_.end(), nullptr)) {
        close();
        return "The JACK server refused to register the module's ports.";
    }
    resetGenerator(kSeed);
    frame_ = 0;
    restartInputSession(); // the first cycle opens a new input session
    restartOutputSession();
    overCount_.store(0);
    xruns_.store(0);
    lost_.store(false);
    reasonSet_.store(false);
    jack_set_process_callback(client_, [](jack_nframes_t n, void* self) { return processThunk(n, self); }, this);
    jack_set_xrun_callback(client_, [](void* self) { return xrunThunk(self); }, this);
    jack_on_info_shutdown(
        client_, [](jack_status_t code, const char* reason, void* self) { shutdownThunk(int(code), reason, self); },
        this);
    if (jack_activate(client_) != 0) {
        close();
        return "The JACK server refused to activate the client.";
    }
    connect(s, notice);
    return {};
}

// Connects every port as the settings say; what failed is listed in *notice.
void TJackEngine::connect(const TJackSettings& s, std::string* notice)
{
    std::string failed;
    auto physical = [&](unsigned long flags) {
        std::vector<std::string> v;
        if (const char** p = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, flags | JackPortIsPhysical)) {
            for (const char** q = p; *q; ++q)
                v.emplace_back(*q);
            jack_free(p);
        }
        return v;
    };
    const std::vector<std::string> playback = physical(JackPortIsInput), capture = physical(JackPortIsOutput);
    const std::vector<std::string> mineIn = ownPorts(true), mineOut = ownPorts(false);
    auto link = [&](const std::string& from, const std::string& to) {
        const int r = jack_connect(client_, from.c_str(), to.c_str());
        if (r != 0 && r != EEXIST)
            failed += (failed.empty() ? "" : ", ") + from + " -> " + to;
    };
    for (size_t c = 0; c < mineOut.size(); ++c) {
        if (s.loopback) {
            if (c < mineIn.size())
                link(mineOut[c], mineIn[c]);
            continue;
        }
        const std::string want = c < s.outPorts.size() ? s.outPorts[c] : std::string();
        if (want == "-")
            continue;
        if (!want.empty())
            link(mineOut[c], want);
        else if (c < playback.size())
            link(mineOut[c], playback[c]);
    }
    for (size_t c = 0; c < mineIn.size() && !s.loopback; ++c) {
        const std::string want = c < s.inPorts.size() ? s.inPorts[c] : std::string();
        if (want == "-")
            continue;
        if (!want.empty())
            link(want, mineIn[c]);
        else if (c < capture.size())
            link(capture[c], mineIn[c]);
    }
    if (notice)
        *notice = failed.empty() ? std::string() : "JACK ports that could not be connected: " + failed + ".";
}

void TJackEngine::close() noexcept
{
    if (!client_)
        return;
    jack_deactivate(client_);
    jack_client_close(client_);
    client_ = nullptr;
    outPorts_.clear();
    inPorts_.clear();
    audioId_.store(std::thread::id());
    overCount_.store(0);
    genBox_.clearStopped();
}

std::vector<std::string> TJackEngine::ownPorts(bool input) const
{
    std::vector<std::string> v;
    for (jack_port_t* p : input ? inPorts_ : outPorts_)
        v.emplace_back(jack_port_name(p));
    return v;
}

std::vector<std::string> TJackEngine::serverPorts(bool inputs) const
{
    std::vector<std::string> v;
    if (!client_)
        return v;
    if (const char** p = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, inputs ? JackPortIsInput : JackPortIsOutput)) {
        for (const char** q = p; *q; ++q)
            if (!jack_port_is_mine(client_, jack_port_by_name(client_, *q)))
                v.emplace_back(*q);
        jack_free(p);
    }
    return v;
}

void TJackEngine::setInput(bool on)
{
    switchInput(on);
}

void TJackEngine::setOutput(bool on)
{
    switchOutput(on);
}

std::string TJackEngine::lostReason() const
{
    return reasonSet_.load(std::memory_order_acquire) ? std::string(reason_) : std::string();
}

int TJackEngine::fetch(TsmView* const* views, int count)
{
    uint64_t end = 0;
    return copyNewest(views, count, &end);
}

int TJackEngine::processThunk(uint32_t frames, void* self) noexcept
{
    return static_cast<TJackEngine*>(self)->process(frames);
}

int TJackEngine::xrunThunk(void* self) noexcept
{
    static_cast<TJackEngine*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void TJackEngine::shutdownThunk(int, const char* reason, void* self) noexcept
{
    auto* e = static_cast<TJackEngine*>(self);
    if (!e->reasonSet_.load(std::memory_order_relaxed)) {
        std::strncpy(e->reason_, reason ? reason : "", sizeof e->reason_ - 1);
        e->reasonSet_.store(true, std::memory_order_release);
    }
    e->lost_.store(true);
}

int TJackEngine::process(uint32_t nframes) noexcept
{
    audioId_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    const int frames = int(nframes);
    if (frames > capacity_) {
        for (jack_port_t* p : outPorts_)
            std::fill_n(static_cast<float*>(jack_port_get_buffer(p, nframes)), frames, 0.0f);
        blockFault_.store(true);
        frame_ += frames;
        return 0;
    }
    // Inputs first: what the outputs play reaches an input that listens to them one cycle later,
    // as through any device.
    readInputs(nframes);
    renderOutput(frames, kSeed);
    writeOutputs(nframes);
    inputSessionBegins();
    frame_ += frames;
    recordInput(frames);
    return 0;
}

// The input ports as doubles in inPtr_ (non-finite samples as 0), counting overloads.
void TJackEngine::readInputs(uint32_t nframes) noexcept
{
    int over = 0;
    for (size_t c = 0; c < inPorts_.size(); ++c) {
        const auto* src = static_cast<const float*>(jack_port_get_buffer(inPorts_[c], nframes));
        double* dst = inPtr_[c];
        for (uint32_t n = 0; n < nframes; ++n) {
            const double x = std::isfinite(src[n]) ? double(src[n]) : 0.0;
            over += std::fabs(x) >= 1.0;
            dst[n] = x;
        }
    }
    overCount_.store(over, std::memory_order_relaxed);
}

// The generator's two channels on the first two output ports; further ports are silent.
void TJackEngine::writeOutputs(uint32_t nframes) noexcept
{
    for (size_t c = 0; c < outPorts_.size(); ++c) {
        auto* dst = static_cast<float*>(jack_port_get_buffer(outPorts_[c], nframes));
        for (uint32_t n = 0; n < nframes; ++n)
            dst[n] = c < 2 ? float(outPtr_[c][n]) : 0.0f;
    }
}
