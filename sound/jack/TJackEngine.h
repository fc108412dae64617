// The JACK module's audio core: one client with a port per channel, the generator in the
// process callback and the recorded inputs in a ring.
#pragma once

#include "TJackSettings.h"

#include <TSoundEngineCore.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// Per process cycle, on the server's thread: input ports -> ring (while input runs); generator
// -> output filter (callback 6) -> output ports; then callback 5 (while input runs).
// The process callback never locks, allocates or logs (see TSoundEngineCore). All public
// members are for the GUI thread unless marked otherwise.
class TJackEngine final : public TSoundEngineCore {
public:
    TJackEngine();
    ~TJackEngine();

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
    // Full names of the module's own ports ("velmora:out_1").
    std::vector<std::string> ownPorts(bool input) const;
    // Audio ports of the server: inputs = ports one can write to (playback side).
    std::vector<std::string> serverPorts(bool inputs) const;

    void setInput(bool on);
    void setOutput(bool on);

    // Copies the newest Fsamples frames of input i into views[i]; 1 when new data arrived since
    // the previous delivery and enough was recorded, else 0.
    int fetch(TsmView* const* views, int count);
    // Any thread: xruns the server reported since open().
    uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    // True (once) when a cycle was longer than the buffers allocated at open(); it was silent.
    bool takeBlockFault() { return blockFault_.exchange(false); }
    // True (once) when the server shut the client down; reason() says why.
    bool takeServerLost() { return lost_.exchange(false); }
    std::string lostReason() const;

private:
    static int processThunk(uint32_t frames, void* self) noexcept;
    static int xrunThunk(void* self) noexcept;
    static void shutdownThunk(int code, const char* reason, void* self) noexcept;
    int process(uint32_t frames) noexcept;
    void readInputs(uint32_t frames) noexcept;
    void writeOutputs(uint32_t frames) noexcept;
    void connect(const TJackSettings& s, std::string* notice);

    jack_client_t* client_ = nullptr;
    std::vector<jack_port_t*> outPorts_;      // one per output channel
    std::vector<jack_port_t*> inPorts_;       // one per input channel
    int rate_ = 48000;                        // server's sample rate, Hz
    int block_ = 1024;                        // server's block size at open()
    int capacity_ = 0;                        // frames of the block buffers

    std::atomic<bool> blockFault_{false};     // a cycle was longer than the buffers
    std::atomic<bool> lost_{false};           // the server shut the client down
    std::atomic<bool> reasonSet_{false};      // reason_ is complete
    char reason_[256] = {};                   // written once by the shutdown callback
    std::atomic<uint64_t> xruns_{0};          // xruns since open()
};
