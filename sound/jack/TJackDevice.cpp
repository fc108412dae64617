// The JACK module as the program sees it: records, status, texts and entry-point behaviour.
#include "TJackDevice.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cstring>

static const std::u16string kDeviceName = u"JACK";
static constexpr int kVersion = 500; // version x 100; the program warns below 416
// Status bits of what the generator offers: wave synthesis, sound file output, output filter.
static constexpr int kCapabilities = 0x4000 | 0x8000 | 0x800;
static constexpr uint32_t kSeed = 1;
// IEEE float format GUID of WAVE_FORMAT_EXTENSIBLE, in its byte order.
static constexpr uint8_t kGuidFloat[16] = {0x03, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

static std::u16string widen(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}

TJackDevice::TJackDevice() : TSoundDeviceCore(kCapabilities)
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

int TJackDevice::deinit()
{
    startOut(false);
    startIn(false);
    engine_.close();
    return 0;
}

void TJackDevice::apply(const TJackSettings& settings, const std::string& fileNotice)
{
    fileNotice_ = fileNotice;
    const bool wasOpen = engine_.isOpen();
    settings_ = settings;
    if (wasOpen)
        reopen(size_t(futureSamples_));
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
bool TJackDevice::reopen(size_t frames)
{
    const bool in = engine_.input(), out = engine_.output();
    engine_.close();
    futureSamples_ = int(std::min<size_t>(frames, INT_MAX));
    if (!ensureOpen()) {
        engine_.setInput(false);
        engine_.setOutput(false);
        if (in)
            call(SD_CB_IN_STATE);
        if (out)
            call(SD_CB_OUT_STATE);
        return false;
    }
    engine_.setInput(in);
    engine_.setOutput(out);
    return true;
}

// Room for the acquisition plus two blocks the server may add while it is copied, and at
// least four seconds.
size_t TJackDevice::ringFramesFor(size_t frames) const
{
    frames = std::max(frames, size_t(rate_) * 4) + 2 * size_t(std::max(block_, 4096));
    return std::min(frames, kJackMaxRingFrames);
}

size_t TJackDevice::maxFetch() const
{
    return kJackMaxRingFrames - 2 * size_t(std::max(block_, 4096));
}

int TJackDevice::startIn(bool on)
{
    poll();
    const bool was = engine_.input();
    if (on != was) {
        if (on) {
            setInError(kJackErrNone);
            if (ensureOpen())
                engine_.setInput(true);
        } else {
            engine_.setInput(false);
        }
        if (engine_.input() != was)
            call(SD_CB_IN_STATE);
    }
    return status();
}

int TJackDevice::startOut(bool on)
{
    poll();
    const bool was = engine_.output();
    if (on != was) {
        if (on) {
            setOutError(kJackErrNone);
            genError_.clear();
            generator_.invalidate();
            if (ensureOpen()) {
                syncGenerator();
                engine_.setOutput(true);
            }
        } else {
            engine_.setOutput(false);
        }
        if (engine_.output() != was)
            call(SD_CB_OUT_STATE);
    }
    return status();
}

void TJackDevice::fillWfs(Twfs& w, bool input) const
{
    const int ch = input ? settings_.inChannels : settings_.outChannels;
    w.Device = 0;
    std::fill(std::begin(w.name), std::end(w.name), char16_t(0));
    std::copy(kDeviceName.begin(), kDeviceName.end(), w.name);
    w.usersf = uint32_t(rate_);
    w.buffers = 2;
    w.Latency = (block_ * 1000 + rate_ - 1) / rate_;
    TWaveFormatExtensible& f = w.Wf;
    f.wFormatTag = 0xFFFE;
    f.nChannels = uint16_t(ch);
    f.nSamplesPerSec = uint32_t(rate_);
    f.nBlockAlign = uint16_t(ch * 4);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.wBitsPerSample = 32;
    f.cbSize = 22;
    f.samples = 32;
    f.dwChannelMask = (1u << ch) - 1u;
    std::memcpy(f.SubFormat, kGuidFloat, 16);
}

int TJackDevice::waveFormat(Twfs* wfs, bool input)
{
    poll();
    Twfs& own = input ? gi_.wfs : go_.wfs;
    fillWfs(own, input);
    if (!wfs)
        return 1;
    *wfs = own;
    return 0;
}

bool TJackDevice::rateValid(long long rate) const
{
    return rate == rate_;
}

// Takes the program's channel flags and DC offsets. The rate is the server's: another one is
// refused (1) with a message in the input text.
int TJackDevice::setWaveFormat(Twfs* result, const Twfs& wfs, bool input)
{
    Twfs& own = input ? gi_.wfs : go_.wfs;
    takeChannelFlags(own, wfs);
    const long long rate = wfs.Wf.nSamplesPerSec;
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

int TJackDevice::description(char16_t* text, int maxLen, int code) const
{
    std::u16string s;
    int result = 0;
    const int k = code / 0x10000, n = code % 0x10000;
    if (code == SD_Q_DESCRIPTION) {
        s = u"JACK audio (float)";
        result = kVersion;
    } else if (code == SD_Q_VERSION) {
        s = u"5.00";
        result = kVersion;
    } else if (code == SD_Q_FILENAME) {
        s = moduleFile_;
    } else if (k == 1 || k == 2) {
        // Device 0 exists while a server answers.
        result = n == 0 && (engine_.isOpen() || TJackEngine::serverAnswers()) ? 1 : 0;
        s = result ? kDeviceName : u"";
    } else if (n == 0 && k >= 100 && k < 300) {
        const bool in = k < 200;
        const int i = k - (in ? 100 : 200);
        result = i < (in ? settings_.inChannels : settings_.outChannels) ? 1 : 0;
        if (result)
            s = widen((in ? "in_" : "out_") + std::to_string(i + 1));
    }
    writeText(text, maxLen, s);
    return result;
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

int TJackDevice::errorText(int code, char16_t* text, int maxLen) const
{
    std::string s;
    switch (code) {
    case kJackErrNoServer: s = openError_.empty() ? "No JACK server answers." : openError_; break;
    case kJackErrTooLong:
        s = "The acquisition is longer than the JACK module can record (at most " + std::to_string(maxFetch()) +
            " samples per channel).";
        break;
    case kJackErrServerGone:
        s = "The JACK server has gone away" + (lostText_.empty() ? std::string() : " (" + lostText_ + ")") +
            "; start the server and start again.";
        break;
    case kJackErrBlock: s = "The JACK server's block size grew beyond the module's buffers; start again."; break;
    default: s = commonErrorText(code); break;
    }
    writeText(text, maxLen, widen(s));
    return code;
}

int TJackDevice::setFuturePara(int id, int value)
{
    poll();
    if (id == 1)
        separator_ = value;
    if (id == 2 && value > 0) {
        futureSamples_ = value;
        const size_t want = std::min(size_t(value), maxFetch());
        if (engine_.isOpen() && want + 2 * size_t(std::max(block_, 4096)) > engine_.ringFrames())
            reopen(want);
    }
    return 0;
}

// 1: frames recorded since the input started; 2: the next acquisition's length; 3: where the
// generator's first sample lies in the recording (frames; INT_MIN when input and output have
// not both started).
int TJackDevice::getFuturePara(int id) const
{
    if (id == 3)
        return engine_.hasOutputOffset() ? int(std::clamp<int64_t>(engine_.outputOffset(), INT_MIN + 1, INT_MAX))
                                         : INT_MIN;
    return commonFuturePara(id);
}

int TJackDevice::fetch(TsmView** views, int lastIndex)
{
    poll();
    if (!views || lastIndex < 0 || !engine_.isOpen())
        return 0;
    const int count = std::min(lastIndex + 1, settings_.inChannels);
    const size_t need = framesWanted(views, count);
    if (need > maxFetch()) {
        setInError(kJackErrTooLong);
        return 0;
    }
    if (need + 2 * size_t(std::max(block_, 4096)) > engine_.ringFrames()) {
        reopen(need);
        return 0;
    }
    return engine_.fetch(views, count);
}

// Work every entry point does first: hand over generator changes, free what the audio thread
// let go, report its faults, and notice a server that went away.
void TJackDevice::poll()
{
    if (engine_.takeServerLost()) {
        const bool in = engine_.input(), out = engine_.output();
        lostText_ = engine_.lostReason();
        xrunsShown_ = engine_.xruns();
        engine_.setInput(false);
        engine_.setOutput(false);
        engine_.close();
        setInError(kJackErrServerGone);
        setOutError(kJackErrServerGone);
        if (in)
            call(SD_CB_IN_STATE);
        if (out)
            call(SD_CB_OUT_STATE);
        return;
    }
    engine_.collect();
    syncGenerator();
    if (engine_.takeFilterFault())
        setOutError(kJackErrFilter);
    if (engine_.takeBlockFault())
        setInError(kJackErrBlock);
    reportGenFaults(engine_.takeGenFaults());
    if (engine_.isOpen() && engine_.xruns() != xrunsShown_) {
        xrunsShown_ = engine_.xruns();
        call(SD_CB_IN_TEXT);
    }
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
