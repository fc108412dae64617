// The virtual bench as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the audio engine.
#pragma once

#include "TSimEngine.h"
#include "TSimSettings.h"
#include "TSoundDeviceCore.h"

#include <soundDLLTypes.h>

#include <atomic>
#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TSimError : int {
    kSimErrNone = kSoundErrNone,
    kSimErrMemory = 1,    // input: the recording buffers could not be allocated
    kSimErrTooLong = 2,   // input: a fetch asked for more than the ring can hold
    kSimErrFilter = kSoundErrFilter,
    kSimErrGenerator = kSoundErrGenerator,
    kSimTextInput = kSoundTextInput,
    kSimTextOutput = kSoundTextOutput,
};

// Largest ring the bench allocates per input channel (frames).
constexpr size_t kSimMaxRingFrames = size_t(1) << 22;

// Every member is for the program's GUI thread (the one that calls the entry points).
// Callbacks 1..4 are called synchronously from inside the entry point that changed the state
// or the text; a fault that arises on the audio thread is reported (status bit and callback
// 4) at the next entry-point call. Callbacks 5 and 6 are called on the audio thread.
// Changes the program writes into TwaveGO reach the generator at the next entry-point call
// (status, fetch, start, ...), which in fast pacing means: from the next block on.
class TSimDevice final : public TSoundDeviceCore<TSimEngine> {
public:
    TSimDevice();
    ~TSimDevice() override;

    // SDInitSound: applies the settings read from SoundSim.ini; fileNotice is a message about
    // that file for the user (empty when it was fine). Always 0.
    int init(const TSimSettings& settings, const std::string& fileNotice);
    // SDDeInitSound: stops input and output and the audio thread.
    int deinit();
    // After the settings dialog: applies new settings, restarting a running engine.
    void apply(const TSimSettings& settings, const std::string& fileNotice);
    const TSimSettings& settings() const { return settings_; }

    int startIn(bool on);
    int startOut(bool on);
    int waveFormat(Twfs* wfs, bool input);
    int setWaveFormat(Twfs* result, const Twfs& wfs, bool input);
    int description(char16_t* text, int maxLen, int code) const;
    int errorText(int code, char16_t* text, int maxLen) const;
    int setFuturePara(int id, int value);
    int getFuturePara(int id) const;
    int fetch(TsmView** views, int lastIndex) override;

private:
    void reconfigure(const TSimSettings& settings);
    bool ensureThread();
    void stopThreadIfIdle();
    bool growRing(size_t frames);
    size_t ringFramesFor(size_t frames) const;
    size_t maxFetch() const;
    void poll() override;
    int inputChannels() const override { return settings_.inChannels; }
    int outputChannels() const override { return settings_.outChannels; }
    void syncGenerator();
    void fillWfs(Twfs& w, bool input) const;
    std::string inNotice() const override;

    TSimSettings settings_;            // settings in effect
    std::string modelNotice_;          // message about the model kind
};
