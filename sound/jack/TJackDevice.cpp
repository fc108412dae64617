// The JACK module as the program sees it: records, status, texts and entry-point behaviour.
#include "TJackDevice.h"

#include <algorithm>
#include <climits>

// Status bits of what the generator offers: wave synthesis, sound file output, output filter;
// the input's DC offset correction.
static constexpr int kCapabilities = 0x4000 | 0x8000 | 0x800 | SD_ST_DCOFFSET;
static constexpr uint32_t kSeed = 1;

TJackDevice::TJackDevice()
    : TSoundDeviceCore({.deviceName = u"JACK",
                        .description = u"JACK audio (float)",
                        .version = 500, // the program warns below 416
                        .capabilities = kCapabilities,
                        .inPrefix = "in_",
                        .outPrefix = "out_",
                        .noun = "the JACK module"})
{
    fillWfs(gi_.wfs, true);
    fillWfs(go_.wfs, false);
}

TJackDevice::~TJackDevice()
{
    engine_.close();
}

int TJackDevice::init(const TJackSettings& settings, const std::string& fileNotice)
{
    engine_.close();
    engine_.setInput(false);
    engine_.setOutput(false);
    inError_ = outError_ = kJackErrNone;
    lostText_.clear();
    rateNotice_.clear();
    connectNotice_.clear();
    apply(settings, fileNotice);
    // Without a server the module only has no devices; errors come when something is started.
    if (!engine_.isOpen())
        ensureOpen(false);
    return 0;
}

void TJackDevice::apply(const TJackSettings& settings, const std::string& fileNotice)
{
    fileNotice_ = fileNotice;
    const bool wasOpen = engine_.isOpen();
    settings_ = settings;
    if (wasOpen)
        restartAudio(size_t(futureSamples_));
    fillWfs(gi_.wfs, true);
    fillWfs(go_.wfs, false);
    call(SD_CB_IN_TEXT);
    call(SD_CB_OUT_TEXT);
}

// Opens the client when it is not open; false when no server takes it (with the input and
// output errors set when `report`).
bool TJackDevice::ensureOpen(bool report)
{
    if (engine_.isOpen())
        return true;
    std::string notice;
    openError_ = engine_.open(settings_, ringFramesFor(size_t(futureSamples_)), &notice);
    if (!openError_.empty()) {
        if (report) {
            setInError(kJackErrNoServer);
            setOutError(kJackErrNoServer);
        }
        return false;
    }
    rate_ = engine_.sampleRate();
    block_ = engine_.blockFrames();
    lostText_.clear();
    xrunsShown_ = 0;
    setInNotice(notice);
    fillWfs(gi_.wfs, true);
    fillWfs(go_.wfs, false);
    generator_.invalidate();
    syncGenerator();
    if (inError_ == kJackErrNoServer || inError_ == kJackErrServerGone)
        setInError(kJackErrNone);
    if (outError_ == kJackErrNoServer || outError_ == kJackErrServerGone)
        setOutError(kJackErrNone);
    return true;
}

// Opens the client again (a larger ring, new settings), keeping what was running. The
// samples recorded so far are dropped.
bool TJackDevice::restartAudio(size_t frames)
{
    const bool in = engine_.input(), out = engine_.output();
    engine_.close();
    futureSamples_ = int(std::min<size_t>(frames, INT_MAX));
    if (!ensureOpen()) {
        engine_.setInput(false);
        engine_.setOutput(false);
        tellStopped(in, out);
        return false;
    }
    engine_.setInput(in);
    engine_.setOutput(out);
    return true;
}

void TJackDevice::beginInput()
{
    if (ensureOpen())
        engine_.setInput(true);
}

void TJackDevice::beginOutput()
{
    if (ensureOpen()) {
        syncGenerator();
        engine_.setOutput(true);
    }
}

// The server's float samples, whatever the program asked for.
void TJackDevice::fillWfs(Twfs& w, bool input) const
{
    const int latency = (block_ * 1000 + rate_ - 1) / rate_;
    fillWaveFormat(w, input ? settings_.inChannels : settings_.outChannels, rate_, 32, latency);
}

int TJackDevice::waveFormat(Twfs* wfs, bool input)
{
    poll();
    return copyWaveFormat(wfs, input);
}

bool TJackDevice::rateValid(long long rate) const
{
    return rate == rate_;
}

// Takes the program's channel flags and DC offsets. The rate is the server's: another one is
// refused (1) with a message in the input text.
int TJackDevice::setWaveFormat(Twfs* result, const Twfs& wfs, bool input)
{
    const long long rate = takeWaveFormat(wfs, input);
    const bool valid = rateValid(rate);
    const std::string notice =
        valid ? std::string()
              : "The JACK server runs at " + std::to_string(rate_) + " Hz; " + std::to_string(rate) +
                    " Hz cannot be chosen here. Change the rate in the server's own settings.";
    if (notice != rateNotice_) {
        rateNotice_ = notice;
        call(SD_CB_IN_TEXT);
    }
    waveFormat(result, input);
    return valid ? 0 : 1;
}

// Device 0 exists while a server answers.
bool TJackDevice::deviceAvailable() const
{
    return engine_.isOpen() || TJackEngine::serverAnswers();
}

std::string TJackDevice::inNotice() const
{
    std::string s;
    for (const std::string* part : {&fileNotice_, &connectNotice_, &rateNotice_})
        if (!part->empty())
            s += (s.empty() ? "" : " ") + *part;
    const uint64_t xr = xrunsShown_; // the count the last callback 3 announced
    if (xr)
        s += (s.empty() ? "" : " ") + std::to_string(xr) + (xr == 1 ? " xrun" : " xruns") +
             " (the server missed its deadline) since the client was opened.";
    return s;
}

std::string TJackDevice::ownErrorText(int code) const
{
    switch (code) {
    case kJackErrNoServer: return openError_.empty() ? "No JACK server answers." : openError_;
    case kJackErrServerGone:
        return "The JACK server has gone away" + (lostText_.empty() ? std::string() : " (" + lostText_ + ")") +
               "; start the server and start again.";
    case kJackErrBlock: return "The JACK server's block size grew beyond the module's buffers; start again.";
    default: return {};
    }
}

// Work every entry point does first: notice a server that went away, then the shared poll,
// the block-size fault and new xruns.
void TJackDevice::poll()
{
    if (takeServerLoss())
        return;
    pollEngine();
    if (engine_.takeBlockFault())
        setInError(kJackErrBlock);
    if (engine_.isOpen() && engine_.xruns() != xrunsShown_) {
        xrunsShown_ = engine_.xruns();
        call(SD_CB_IN_TEXT);
    }
}

// True when the server shut the client down: it is closed, and input and output are stopped
// with their errors set.
bool TJackDevice::takeServerLoss()
{
    if (!engine_.takeServerLost())
        return false;
    const bool in = engine_.input(), out = engine_.output();
    lostText_ = engine_.lostReason();
    xrunsShown_ = engine_.xruns();
    engine_.setInput(false);
    engine_.setOutput(false);
    engine_.close();
    setInError(kJackErrServerGone);
    setOutError(kJackErrServerGone);
    tellStopped(in, out);
    return true;
}

void TJackDevice::syncGenerator()
{
    if (!engine_.isOpen())
        return;
    syncGeneratorAt(rate_, kSeed);
}

void TJackDevice::setInNotice(const std::string& text)
{
    if (text == connectNotice_)
        return;
    connectNotice_ = text;
    call(SD_CB_IN_TEXT);
}
