// The virtual bench as the program sees it: records, status, texts and entry-point behaviour.
#include "TSimDevice.h"

#include <new>

// Status bits of what the generator offers: wave synthesis, sound file output, and the output
// filter together with sound file output (callback 6 filters every sample the generator plays);
// the input's DC offset correction.
static constexpr int kCapabilities = 0x4000 | 0x8000 | 0x800 | SD_ST_DCOFFSET;

TSimDevice::TSimDevice()
    : TSoundDeviceCore({.deviceName = u"Virtual bench",
                        .description = u"Virtual bench",
                        .version = 500,
                        .capabilities = kCapabilities,
                        .inPrefix = "aIn ",
                        .outPrefix = "aOut ",
                        .noun = "the virtual bench"})
{
    reconfigure(settings_);
}

TSimDevice::~TSimDevice()
{
    engine_.stop();
}

int TSimDevice::init(const TSimSettings& settings, const std::string& fileNotice)
{
    apply(settings, fileNotice);
    return 0;
}

void TSimDevice::apply(const TSimSettings& settings, const std::string& fileNotice)
{
    fileNotice_ = fileNotice;
    reconfigure(settings);
    call(SD_CB_IN_TEXT);
    call(SD_CB_OUT_TEXT);
}

// Stops the engine, installs the settings and a new model, and resumes what was running.
void TSimDevice::reconfigure(const TSimSettings& settings)
{
    const bool in = engine_.input();
    const bool out = engine_.output();
    engine_.stop();
    settings_ = settings;
    try {
        engine_.configure(settings_, simMakeModel(settings_.model, &modelNotice_));
    } catch (const std::bad_alloc&) {
        // A model too large for this machine (a long room on eight channels at 192 kHz):
        // the bench goes on with a plain wire and says why, instead of failing the call.
        settings_.model = TSimModelSettings{};
        engine_.configure(settings_, simMakeModel(settings_.model, &modelNotice_));
        modelNotice_ = "Not enough memory for the " + settings.model.kind + " model; a plain wire is used.";
    }
    fillWfs(gi_.wfs, true);
    fillWfs(go_.wfs, false);
    generator_.invalidate();
    syncGenerator();
    if ((in || out) && ensureThread()) {
        engine_.setInput(in);
        engine_.setOutput(out);
    }
}

bool TSimDevice::ensureThread()
{
    if (engine_.running() || engine_.start(ringFramesFor(size_t(futureSamples_))))
        return true;
    engine_.setInput(false);
    engine_.setOutput(false);
    setInError(kSimErrMemory);
    return false;
}

void TSimDevice::endIfIdle()
{
    if (!engine_.input() && !engine_.output())
        engine_.stop();
}

// Reallocates the ring for longer acquisitions; the samples recorded so far are dropped.
bool TSimDevice::restartAudio(size_t frames)
{
    engine_.stop();
    if (engine_.start(ringFramesFor(frames)))
        return true;
    const bool in = engine_.input(), out = engine_.output();
    engine_.setInput(false);
    engine_.setOutput(false);
    setInError(kSimErrMemory);
    tellStopped(in, out);
    return false;
}

void TSimDevice::beginInput()
{
    engine_.setInput(true);
    ensureThread();
}

void TSimDevice::beginOutput()
{
    syncGenerator();
    engine_.setOutput(true);
    ensureThread();
}

void TSimDevice::fillWfs(Twfs& w, bool input) const
{
    const int rate = settings_.sampleRate;
    const int latency =
        settings_.pacing == TSimPacing::fast ? 0 : (settings_.blockFrames * 1000 + rate - 1) / rate;
    const int channels = input ? settings_.inChannels : settings_.outChannels;
    fillWaveFormat(w, channels, rate, settings_.bits, latency);
}

// Takes the program's channel flags and DC offsets, and the sample rate (for both
// directions). Returns 0 when applied, 1 when the rate is not one the bench offers.
int TSimDevice::setWaveFormat(Twfs* result, const Twfs& wfs, bool input)
{
    const long long rate = takeWaveFormat(wfs, input);
    const bool valid = simRateValid(rate);
    if (valid && rate != settings_.sampleRate) {
        TSimSettings s = settings_;
        s.sampleRate = int(rate);
        apply(s, fileNotice_);
    }
    waveFormat(result, input);
    return valid ? 0 : 1;
}

std::string TSimDevice::inNotice() const
{
    if (fileNotice_.empty() || modelNotice_.empty())
        return fileNotice_ + modelNotice_;
    return fileNotice_ + " " + modelNotice_;
}

std::string TSimDevice::ownErrorText(int code) const
{
    if (code == kSimErrMemory)
        return "Not enough memory for the recording buffers of the virtual bench.";
    return {};
}

void TSimDevice::syncGenerator()
{
    syncGeneratorAt(settings_.sampleRate, settings_.seed);
}
