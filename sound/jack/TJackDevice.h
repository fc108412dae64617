// The JACK module as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the JACK client.
#pragma once

#include "TJackEngine.h"
#include "TJackSettings.h"

#include <TSoundDeviceCore.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TJackError : int {
    kJackErrNone = kSoundErrNone,
    kJackErrNoServer = 1,   // no server answers, or it refused the client
    kJackErrTooLong = 2,    // input: a fetch asked for more than the ring can hold
    kJackErrFilter = kSoundErrFilter,
    kJackErrGenerator = kSoundErrGenerator,
    kJackErrServerGone = 5, // the server shut down while the module was running
    kJackErrBlock = 6,      // the server's block grew beyond the module's buffers
    kJackTextInput = kSoundTextInput, // connections, xruns
    kJackTextOutput = kSoundTextOutput,
};

// Largest ring the module allocates per input channel (frames).
constexpr size_t kJackMaxRingFrames = size_t(1) << 22;

// Every member is for the program's GUI thread. Callbacks 1..4 are called synchronously from
// inside the entry point that changed the state or the text; faults found on the audio thread
// and a server that went away are reported at the next entry-point call (the program polls
// the status). Callbacks 5 and 6 are called on the server's process thread.
class TJackDevice final : public TSoundDeviceCore<TJackEngine> {
public:
    TJackDevice();
    ~TJackDevice() override;

    // SDInitSound: takes the settings and opens the client when a server answers. Always 0.
    int init(const TJackSettings& settings, const std::string& fileNotice);
    // SDDeInitSound: stops input and output and closes the client.
    int deinit();
    // After the settings dialog: new settings; an open client is opened again with them.
    void apply(const TJackSettings& settings, const std::string& fileNotice);
    const TJackSettings& settings() const { return settings_; }
    const TJackEngine& engine() const { return engine_; }

    int startIn(bool on);
    int startOut(bool on);
    int waveFormat(Twfs* wfs, bool input);
    int setWaveFormat(Twfs* result, const Twfs& wfs, bool input);
    bool rateValid(long long rate) const;
    int description(char16_t* text, int maxLen, int code) const;
    int errorText(int code, char16_t* text, int maxLen) const;
    int setFuturePara(int id, int value);
    int getFuturePara(int id) const;
    int fetch(TsmView** views, int lastIndex) override;

private:
    bool ensureOpen(bool report = true);
    bool reopen(size_t frames);
    size_t ringFramesFor(size_t frames) const;
    size_t maxFetch() const;
    void poll() override;
    int inputChannels() const override { return settings_.inChannels; }
    int outputChannels() const override { return settings_.outChannels; }
    void syncGenerator();
    void fillWfs(Twfs& w, bool input) const;
    void setInNotice(const std::string& text);
    std::string inNotice() const override;

    TJackSettings settings_;            // settings in effect
    int rate_ = 48000;                  // the server's rate when last seen, Hz
    int block_ = 1024;                  // the server's block size when last seen
    uint64_t xrunsShown_ = 0;           // xruns the input text last showed
    std::string openError_;             // why the client could not be opened
    std::string lostText_;              // why the server went away
    std::string connectNotice_;         // connections that failed
    std::string rateNotice_;            // answer to a request for another rate
};
