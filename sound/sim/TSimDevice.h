// The virtual bench as the program sees it: records, status, texts and the entry points'
// behaviour, on top of the audio engine.
#pragma once

#include "TSimEngine.h"
#include "TSimSettings.h"

#include <TSoundDeviceCore.h>

#include <soundDLLTypes.h>

#include <string>

// Error codes in the high word of the status (SDDLLErrorStr gives their texts).
enum TSimError : int {
    kSimErrNone = kSoundErrNone,
    kSimErrMemory = 1,    // input: the recording buffers could not be allocated
    kSimErrTooLong = kSoundErrTooLong,
    kSimErrFilter = kSoundErrFilter,
    kSimErrGenerator = kSoundErrGenerator,
    kSimTextInput = kSoundTextInput,
    kSimTextOutput = kSoundTextOutput,
};

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
    // After the settings dialog: applies new settings, restarting a running engine.
    void apply(const TSimSettings& settings, const std::string& fileNotice);
    const TSimSettings& settings() const { return settings_; }

    int waveFormat(Twfs* wfs, bool input) { return copyWaveFormat(wfs, input); }
    int setWaveFormat(Twfs* result, const Twfs& wfs, bool input);

private:
    void reconfigure(const TSimSettings& settings);
    bool ensureThread();
    void poll() override { pollEngine(); }
    int inputChannels() const override { return settings_.inChannels; }
    int outputChannels() const override { return settings_.outChannels; }
    void beginInput() override;
    void beginOutput() override;
    void endIfIdle() override;
    void stopAudio() override { engine_.stop(); }
    void syncGenerator() override;
    void fillWfs(Twfs& w, bool input) const override;
    size_t minRingFrames() const override { return size_t(settings_.sampleRate); } // one second
    size_t ringHeadroom() const override { return 2 * size_t(settings_.blockFrames); }
    bool ringLive() const override { return engine_.running(); }
    bool restartAudio(size_t frames) override;
    std::string inNotice() const override;
    std::string ownErrorText(int code) const override;

    TSimSettings settings_;            // settings in effect
    std::string modelNotice_;          // message about the model kind
};
