// The JACK module as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the JACK client.
#pragma once

#include "TJackEngine.h"
#include "TJackSettings.h"

#include <TSoundDeviceCore.h>

#include <soundDLLTypes.h>

#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TJackError : int {
    kJackErrNone = kSoundErrNone,
    kJackErrNoServer = 1,   // no server answers, or it refused the client
    kJackErrTooLong = kSoundErrTooLong,
    kJackErrFilter = kSoundErrFilter,
    kJackErrGenerator = kSoundErrGenerator,
    kJackErrServerGone = 5, // the server shut down while the module was running
    kJackErrBlock = 6,      // the server's block grew beyond the module's buffers
    kJackTextInput = kSoundTextInput, // connections, xruns
    kJackTextOutput = kSoundTextOutput,
};

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
    // After the settings dialog: new settings; an open client is opened again with them.
    void apply(const TJackSettings& settings, const std::string& fileNotice);
    const TJackSettings& settings() const { return settings_; }
    const TJackEngine& engine() const { return engine_; }

    int waveFormat(Twfs* wfs, bool input);
    int setWaveFormat(Twfs* result, const Twfs& wfs, bool input);
    bool rateValid(long long rate) const;

private:
    bool ensureOpen(bool report = true);
    bool takeServerLoss();
    void poll() override;
    int inputChannels() const override { return settings_.inChannels; }
    int outputChannels() const override { return settings_.outChannels; }
    void beginInput() override;
    void beginOutput() override;
    void stopAudio() override { engine_.close(); }
    void syncGenerator() override;
    void fillWfs(Twfs& w, bool input) const override;
    bool deviceAvailable() const override;
    size_t minRingFrames() const override { return size_t(rate_) * 4; } // four seconds
    size_t ringHeadroom() const override { return 2 * size_t(std::max(block_, 4096)); }
    bool ringLive() const override { return engine_.isOpen(); }
    bool canFetch() const override { return engine_.isOpen(); }
    bool restartAudio(size_t frames) override;
    void setInNotice(const std::string& text);
    std::string inNotice() const override;
    std::string ownErrorText(int code) const override;

    TJackSettings settings_;            // settings in effect
    int rate_ = 48000;                  // the server's rate when last seen, Hz
    int block_ = 1024;                  // the server's block size when last seen
    uint64_t xrunsShown_ = 0;           // xruns the input text last showed
    std::string openError_;             // why the client could not be opened
    std::string lostText_;              // why the server went away
    std::string connectNotice_;         // connections that failed
    std::string rateNotice_;            // answer to a request for another rate
};
