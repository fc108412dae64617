// The JACK module's audio core: one client with a port per channel, the generator in the
// process callback and the recorded inputs in a ring.
#pragma once

#include "TJackSettings.h"

#include <TSimCallbackSlot.h>
#include <TSimMailbox.h>
#include <TSimRing.h>

#include <TGenRenderer.h>
#include <TGenSignal.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// Per process cycle, on the server's thread: input ports -> ring (while input runs); generator
// -> output filter (callback 6) -> output ports; then callback 5 (while input runs).
// The process callback never locks, allocates or logs; everything it reads from the GUI thread
// arrives through atomics, the generator mailbox or the callback slots. All public members are
// for the GUI thread unless marked otherwise.
class TJackEngine {
public:
    TJackEngine();
    ~TJackEngine();
    TJackEngine(const TJackEngine&) = delete;
    TJackEngine& operator=(const TJackEngine&) = delete;

    // True when a JACK server answers (never starts one). Opens a short-lived client.
    static bool serverAnswers();

    // Opens and activates the client, registers its ports, allocates a ring of at least
    // ringFrames frames per input and makes the connections of the settings. Empty on success,
    // else why nothing was opened. Problems with single connections go to *notice.
    std::string open(const TJackSettings& settings, size_t ringFrames, std::string* notice);
    // Deactivates and closes the client; the server's threads of this client are joined.
    void close() noexcept;
    bool isOpen() const { return client_ != nullptr; }
    int sampleRate() const { return rate_; }
    int blockFrames() const { return block_; }
    size_t ringFrames() const { return ring_.capacity(); }
    // Full names of the module's own ports ("velmora:out_1").
    std::vector<std::string> ownPorts(bool input) const;
    // Audio ports of the server: inputs = ports one can write to (playback side).
    std::vector<std::string> serverPorts(bool inputs) const;

    void setInput(bool on);
    void setOutput(bool on);
    bool input() const { return inputOn_.load(); }
    bool output() const { return outputOn_.load(); }

    void post(std::unique_ptr<TGenSignal> signal) { genBox_.post(std::move(signal)); }
    void collect() { genBox_.collect(); }
    uint32_t takeGenFaults() { return renderer_.takeFaults(); }

    // As the virtual bench: copies the newest Fsamples frames of input i into views[i]; 1 when
    // new data arrived since the previous call and enough was recorded, else 0.
    int fetch(TsmView* const* views, int count);
    // Frames recorded since the input was started.
    uint64_t recorded() const;
    // Where the generator's first sample lies in the recording: frames from the first
    // recorded sample to the cycle in which the output started (negative when the output
    // started first). Valid when hasOutputOffset().
    int64_t outputOffset() const { return outStartFrame_.load() - inStartFrame_.load(); }
    bool hasOutputOffset() const { return inStartFrame_.load() >= 0 && outStartFrame_.load() >= 0; }

    // Any thread: samples at or above full scale in the last cycle's inputs.
    int overloadCount() const { return overCount_.load(std::memory_order_relaxed); }
    // Any thread: xruns the server reported since open().
    uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    bool takeFilterFault() { return filterFault_.exchange(false); }
    // True (once) when a cycle was longer than the buffers allocated at open(); it was silent.
    bool takeBlockFault() { return blockFault_.exchange(false); }
    // True (once) when the server shut the client down; reason() says why.
    bool takeServerLost() { return lost_.exchange(false); }
    std::string lostReason() const;
    bool onAudioThread() const { return audioId_.load() == std::this_thread::get_id(); }

    TSimCallbackSlot onBlock;   // callback 5: code = void (*)(void*), context
    TSimCallbackSlot outFilter; // callback 6: code = SDOutFilterProc

private:
    static int processThunk(uint32_t frames, void* self) noexcept;
    static int xrunThunk(void* self) noexcept;
    static void shutdownThunk(int code, const char* reason, void* self) noexcept;
    int process(uint32_t frames) noexcept;
    void applyFilter(int frames) noexcept;
    void connect(const TJackSettings& s, std::string* notice);
    uint64_t recordedAt(uint64_t end) const;

    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> outPorts_;      // one per output channel
    std::vector<jack_port_t*> inPorts_;       // one per input channel
    int rate_ = 48000;                        // server's sample rate, Hz
    int block_ = 1024;                        // server's block size at open()
    int capacity_ = 0;                        // frames of the buffers below
    TGenRenderer renderer_;                   // audio thread
    TSimMailbox<TGenSignal> genBox_;          // generator snapshots from the GUI thread
    TSimRing ring_;                           // recorded inputs
    std::vector<std::vector<double>> outBuf_; // generator output (at least 2 channels)
    std::vector<std::vector<double>> inBuf_;  // inputs as doubles
    std::vector<double*> outPtr_, inPtr_;     // pointers into the buffers

    std::atomic<bool> inputOn_{false};
    std::atomic<bool> outputOn_{false};
    std::atomic<bool> filterFault_{false};
    std::atomic<bool> blockFault_{false};
    std::atomic<bool> lost_{false};
    std::atomic<bool> reasonSet_{false};      // reason_ is complete
    char reason_[256] = {};                   // written once by the shutdown callback
    std::atomic<uint32_t> inGen_{0}, outGen_{0};
    std::atomic<uint64_t> inStart_{~uint64_t(0)}; // ring position where the input session began
    std::atomic<int64_t> inStartFrame_{-1};   // cycle frame of the input session's start
    std::atomic<int64_t> outStartFrame_{-1};  // cycle frame of the output's start
    std::atomic<int> overCount_{0};
    std::atomic<uint64_t> xruns_{0};
    std::atomic<std::thread::id> audioId_{};
    uint32_t seenInGen_ = 0, seenOutGen_ = 0; // audio thread
    int64_t frame_ = 0;                       // audio thread: frames processed since open()
    uint64_t seen_ = 0;                       // GUI thread: ring position at the previous fetch
};
