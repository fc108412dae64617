// The JACK module as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the JACK client.
#pragma once

#include "TJackEngine.h"
#include "TJackSettings.h"

#include <TSimGenerator.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TJackError : int {
    kJackErrNone = 0,
    kJackErrNoServer = 1,   // no server answers, or it refused the client
    kJackErrTooLong = 2,    // input: a fetch asked for more than the ring can hold
    kJackErrFilter = 3,     // output: the output filter returned a non-finite sample
    kJackErrGenerator = 4,  // output: the generator cannot play (part of) its record
    kJackErrServerGone = 5, // the server shut down while the module was running
    kJackErrBlock = 6,      // the server's block grew beyond the module's buffers
    kJackTextInput = 33,    // not an error: the input's notice text (connections, xruns)
    kJackTextOutput = 34,   // not an error: the output's notice text
};

// Largest ring the module allocates per input channel (frames).
constexpr size_t kJackMaxRingFrames = size_t(1) << 22;

// Every member is for the program's GUI thread. Callbacks 1..4 are called synchronously from
// inside the entry point that changed the state or the text; faults found on the audio thread
// and a server that went away are reported at the next entry-point call (the program polls
// the status). Callbacks 5 and 6 are called on the server's process thread.
class TJackDevice {
public:
    TJackDevice();
    ~TJackDevice();

    // SDInitSound: takes the settings and opens the client when a server answers. Always 0.
    int init(const TJackSettings& settings, const std::string& fileNotice);
    // SDDeInitSound: stops input and output and closes the client.
    int deinit();
    // After the settings dialog: new settings; an open client is opened again with them.
    void apply(const TJackSettings& settings, const std::string& fileNotice);
    const TJackSettings& settings() const { return settings_; }
    const TJackEngine& engine() const { return engine_; }
    void setModuleFile(const std::u16string& name) { moduleFile_ = name; }

    TwaveGO* outRecord() { return &go_; }
    TwaveGI* inRecord() { return &gi_; }
    int startIn(bool on);
    int startOut(bool on);
    int status();
    void* setCallback(int id, void* pointer);
    int soundDats(int32_t* first, int32_t* second, TsmView** buffer);
    int waveFormat(Twfs* wfs, bool input);
    int setWaveFormat(Twfs* result, const Twfs& wfs, bool input);
    bool rateValid(long long rate) const;
    int description(char16_t* text, int maxLen, int code) const;
    int errorText(int code, char16_t* text, int maxLen) const;
    int setFuturePara(int id, int value);
    int getFuturePara(int id) const;
    int channelCounts(int32_t* in, int32_t* out) const;
    int fetch(TsmView** views, int lastIndex);

private:
    bool ensureOpen(bool report = true);
    bool reopen(size_t frames);
    size_t ringFramesFor(size_t frames) const;
    size_t maxFetch() const;
    void poll();
    void syncGenerator();
    void setGenError(const std::string& text);
    void fillWfs(Twfs& w, bool input) const;
    void setInError(int code);
    void setOutError(int code);
    void setInNotice(const std::string& text);
    void setOutNotice(const std::string& text);
    void call(int id) const;
    std::string inNotice() const;

    TJackEngine engine_;                // the client and its audio core
    TJackSettings settings_;            // settings in effect
    TwaveGO go_{};                      // output generator record, written by the program
    TwaveGI gi_{};                      // input acquisition record
    TSimGenerator generator_;           // snapshots of go_ for the engine
    std::atomic<SDProc> procs_[5] = {}; // callbacks 1..4 (index = id)
    std::u16string folder_;             // module folder handed over with id 1000
    std::u16string moduleFile_;         // this module's file name
    int rate_ = 48000;                  // the server's rate when last seen, Hz
    int block_ = 1024;                  // the server's block size when last seen
    int futureSamples_ = 0;             // samples of the next acquisition (future parameter 2)
    int separator_ = 0;                 // decimal separator code (future parameter 1)
    int inError_ = kJackErrNone;        // input error code
    int outError_ = kJackErrNone;       // output error code
    uint64_t xrunsShown_ = 0;           // xruns the input text last showed
    std::string openError_;             // why the client could not be opened
    std::string lostText_;              // why the server went away
    std::string fileNotice_;            // message about SoundJack.ini
    std::string connectNotice_;         // connections that failed
    std::string rateNotice_;            // answer to a request for another rate
    std::string outNotice_;             // message about the generator
    std::string genError_;              // why the generator plays silence (kJackErrGenerator)
};
