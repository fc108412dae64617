// The virtual bench as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the audio engine.
#pragma once

#include "TSimEngine.h"
#include "TSimSettings.h"

#include <soundDLLTypes.h>

#include <atomic>
#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TSimError : int {
    kSimErrNone = 0,
    kSimErrMemory = 1,    // input: the recording buffers could not be allocated
    kSimErrTooLong = 2,   // input: a fetch asked for more than the ring can hold
    kSimErrFilter = 3,    // output: the output filter returned a non-finite sample
    kSimErrGenerator = 4, // output: the generator cannot play (part of) its record
    kSimTextInput = 33,   // not an error: the input's notice text (the program ignores 33)
    kSimTextOutput = 34,  // not an error: the output's notice text
};

// Largest ring the bench allocates per input channel (frames).
constexpr size_t kSimMaxRingFrames = size_t(1) << 22;

// Every member is for the program's GUI thread (the one that calls the entry points).
// Callbacks 1..4 are called synchronously from inside the entry point that changed the state
// or the text; a fault that arises on the audio thread is reported (status bit and callback
// 4) at the next entry-point call. Callbacks 5 and 6 are called on the audio thread.
// Changes the program writes into TwaveGO reach the generator at the next entry-point call
// (status, fetch, start, ...), which in fast pacing means: from the next block on.
class TSimDevice {
public:
    TSimDevice();
    ~TSimDevice();

    // SDInitSound: applies the settings read from SoundSim.ini; fileNotice is a message about
    // that file for the user (empty when it was fine). Always 0.
    int init(const TSimSettings& settings, const std::string& fileNotice);
    // SDDeInitSound: stops input and output and the audio thread.
    int deinit();
    // After the settings dialog: applies new settings, restarting a running engine.
    void apply(const TSimSettings& settings, const std::string& fileNotice);
    const TSimSettings& settings() const { return settings_; }
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
    int description(char16_t* text, int maxLen, int code) const;
    int errorText(int code, char16_t* text, int maxLen) const;
    int setFuturePara(int id, int value);
    int getFuturePara(int id) const;
    int channelCounts(int32_t* in, int32_t* out) const;
    int fetch(TsmView** views, int lastIndex);

private:
    void reconfigure(const TSimSettings& settings);
    bool ensureThread();
    void stopThreadIfIdle();
    bool growRing(size_t frames);
    size_t ringFramesFor(size_t frames) const;
    size_t maxFetch() const;
    void poll();
    void syncGenerator();
    void setGenError(const std::string& text);
    void fillWfs(Twfs& w, bool input) const;
    void setInError(int code);
    void setOutError(int code);
    void setOutNotice(const std::string& text);
    void call(int id) const;
    std::string inNotice() const;

    TSimEngine engine_;                 // the audio core
    TSimSettings settings_;             // settings in effect
    TwaveGO go_{};                      // output generator record, written by the program
    TwaveGI gi_{};                      // input acquisition record
    TSimGenerator generator_;           // snapshots of go_ for the engine
    std::atomic<SDProc> procs_[5] = {}; // callbacks 1..4 (index = id)
    void* app_ = nullptr;               // application object (callback id 200), unused
    std::u16string folder_;             // module folder handed over with id 1000
    std::u16string moduleFile_;         // this module's file name
    int futureSamples_ = 0;             // samples of the next acquisition (future parameter 2)
    int separator_ = 0;                 // decimal separator code (future parameter 1)
    int inError_ = kSimErrNone;         // input error code
    int outError_ = kSimErrNone;        // output error code
    std::string fileNotice_;            // message about SoundSim.ini
    std::string modelNotice_;           // message about the model kind
    std::string outNotice_;             // message about the generator
    std::string genError_;              // why the generator plays silence (kSimErrGenerator)
};
