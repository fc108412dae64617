// The virtual bench as the program sees it: records, status, texts and entry-point behaviour.
#include "TSimDevice.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

static const std::u16string kDeviceName = u"Virtual bench";
static constexpr int kVersion = 500; // version x 100
// Status bits of what the generator offers: wave synthesis, sound file output, and the output
// filter together with sound file output (callback 6 filters every sample the generator plays).
static constexpr int kCapabilities = 0x4000 | 0x8000 | 0x800;

// Format GUIDs of WAVE_FORMAT_EXTENSIBLE (PCM and IEEE float), in their byte order.
static constexpr uint8_t kGuidPcm[16] = {0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
static constexpr uint8_t kGuidFloat[16] = {0x03, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
static std::u16string widen(const std::string& utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + size_t(len) <= utf8.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + size_t(k)]);
            ok = (c >> 6) == 2;
            cp = (cp << 6) | (c & 0x3F);
        }
        ok = ok && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000);
        i += ok ? size_t(len) : 1;
        if (!ok)
            cp = 0xFFFD;
        if (cp >= 0x10000) {
            out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

TSimDevice::TSimDevice() : TSoundDeviceCore(kCapabilities)
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

int TSimDevice::deinit()
{
    startOut(false);
    startIn(false);
    engine_.stop();
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

void TSimDevice::stopThreadIfIdle()
{
    if (!engine_.input() && !engine_.output())
        engine_.stop();
}

// Room for the acquisition plus two blocks the writer may add while it is copied, and at
// least one second.
size_t TSimDevice::ringFramesFor(size_t frames) const
{
    frames = std::max(frames, size_t(settings_.sampleRate)) + 2 * size_t(settings_.blockFrames);
    return std::min(frames, kSimMaxRingFrames);
}

size_t TSimDevice::maxFetch() const
{
    return kSimMaxRingFrames - 2 * size_t(settings_.blockFrames);
}

// Reallocates the ring for longer acquisitions; the samples recorded so far are dropped.
bool TSimDevice::growRing(size_t frames)
{
    engine_.stop();
    if (engine_.start(ringFramesFor(frames)))
        return true;
    const bool in = engine_.input(), out = engine_.output();
    engine_.setInput(false);
    engine_.setOutput(false);
    setInError(kSimErrMemory);
    if (in)
        call(SD_CB_IN_STATE);
    if (out)
        call(SD_CB_OUT_STATE);
    return false;
}

int TSimDevice::startIn(bool on)
{
    poll();
    const bool was = engine_.input();
    if (on != was) {
        if (on) {
            setInError(kSimErrNone);
            engine_.setInput(true);
            ensureThread();
        } else {
            engine_.setInput(false);
            stopThreadIfIdle();
        }
        if (engine_.input() != was)
            call(SD_CB_IN_STATE);
    }
    return status();
}

int TSimDevice::startOut(bool on)
{
    poll();
    const bool was = engine_.output();
    if (on != was) {
        if (on) {
            setOutError(kSimErrNone);
            genError_.clear();
            generator_.invalidate(); // reads a changed sound file again, states its errors again
            syncGenerator();
            engine_.setOutput(true);
            ensureThread();
        } else {
            engine_.setOutput(false);
            stopThreadIfIdle();
        }
        if (engine_.output() != was)
            call(SD_CB_OUT_STATE);
    }
    return status();
}

void TSimDevice::fillWfs(Twfs& w, bool input) const
{
    const int ch = input ? settings_.inChannels : settings_.outChannels;
    const int bytes = settings_.bits / 8;
    w.Device = 0;
    std::fill(std::begin(w.name), std::end(w.name), char16_t(0));
    std::copy(kDeviceName.begin(), kDeviceName.end(), w.name);
    w.usersf = uint32_t(settings_.sampleRate);
    w.buffers = 2;
    w.Latency = settings_.pacing == TSimPacing::fast
                    ? 0
                    : (settings_.blockFrames * 1000 + settings_.sampleRate - 1) / settings_.sampleRate;
    TWaveFormatExtensible& f = w.Wf;
    f.wFormatTag = 0xFFFE;
    f.nChannels = uint16_t(ch);
    f.nSamplesPerSec = uint32_t(settings_.sampleRate);
    f.nBlockAlign = uint16_t(ch * bytes);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.wBitsPerSample = uint16_t(bytes * 8);
    f.cbSize = 22;
    f.samples = uint16_t(settings_.bits);
    f.dwChannelMask = (1u << ch) - 1u;
    std::memcpy(f.SubFormat, settings_.bits == 32 ? kGuidFloat : kGuidPcm, 16);
}

int TSimDevice::waveFormat(Twfs* wfs, bool input)
{
    Twfs& own = input ? gi_.wfs : go_.wfs;
    fillWfs(own, input);
    if (!wfs)
        return 1;
    *wfs = own;
    return 0;
}

// Takes the program's channel flags and DC offsets, and the sample rate (for both
// directions). Returns 0 when applied, 1 when the rate is not one the bench offers.
int TSimDevice::setWaveFormat(Twfs* result, const Twfs& wfs, bool input)
{
    Twfs& own = input ? gi_.wfs : go_.wfs;
    takeChannelFlags(own, wfs);
    const long long rate = wfs.Wf.nSamplesPerSec;
    const bool valid = simRateValid(rate);
    if (valid && rate != settings_.sampleRate) {
        TSimSettings s = settings_;
        s.sampleRate = int(rate);
        apply(s, fileNotice_);
    }
    waveFormat(result, input);
    return valid ? 0 : 1;
}

int TSimDevice::description(char16_t* text, int maxLen, int code) const
{
    std::u16string s;
    int result = 0;
    const int k = code / 0x10000, n = code % 0x10000;
    if (code == SD_Q_DESCRIPTION) {
        s = kDeviceName;
        result = kVersion;
    } else if (code == SD_Q_VERSION) {
        s = u"5.00";
        result = kVersion;
    } else if (code == SD_Q_FILENAME) {
        s = moduleFile_;
    } else if (k == 1 || k == 2) {
        result = n == 0 ? 1 : 0;
        s = result ? kDeviceName : u"";
    } else if (n == 0 && k >= 100 && k < 300) {
        const bool in = k < 200;
        const int i = k - (in ? 100 : 200);
        result = i < (in ? settings_.inChannels : settings_.outChannels) ? 1 : 0;
        if (result)
            s = (in ? u"aIn " : u"aOut ") + widen(std::to_string(i + 1));
    }
    writeText(text, maxLen, s);
    return result;
}

std::string TSimDevice::inNotice() const
{
    if (fileNotice_.empty() || modelNotice_.empty())
        return fileNotice_ + modelNotice_;
    return fileNotice_ + " " + modelNotice_;
}

int TSimDevice::errorText(int code, char16_t* text, int maxLen) const
{
    std::string s;
    switch (code) {
    case kSimErrMemory: s = "Not enough memory for the recording buffers of the virtual bench."; break;
    case kSimErrTooLong:
        s = "The acquisition is longer than the virtual bench can record (at most " +
            std::to_string(maxFetch()) + " samples per channel).";
        break;
    default: s = commonErrorText(code); break;
    }
    writeText(text, maxLen, widen(s));
    return code;
}

int TSimDevice::setFuturePara(int id, int value)
{
    poll();
    if (id == 1)
        separator_ = value;
    if (id == 2 && value > 0) {
        futureSamples_ = value;
        const size_t want = std::min(size_t(value), maxFetch());
        if (engine_.running() && want > engine_.ringFrames() - 2 * size_t(settings_.blockFrames))
            growRing(want);
    }
    return 0;
}

int TSimDevice::getFuturePara(int id) const
{
    return commonFuturePara(id);
}

int TSimDevice::fetch(TsmView** views, int lastIndex)
{
    poll();
    if (!views || lastIndex < 0 || engine_.ringFrames() == 0)
        return 0;
    const int count = std::min(lastIndex + 1, settings_.inChannels);
    const size_t need = framesWanted(views, count);
    if (need > maxFetch()) {
        setInError(kSimErrTooLong);
        engine_.fetch(views, 0); // counts as fetched, so fast pacing goes on
        return 0;
    }
    if (need + 2 * size_t(settings_.blockFrames) > engine_.ringFrames()) {
        if (engine_.running())
            growRing(need);
        return 0;
    }
    return engine_.fetch(views, count);
}

// Work every entry point does first: hand over generator changes, free what the audio
// thread let go, and report faults it found.
void TSimDevice::poll()
{
    engine_.collect();
    syncGenerator();
    if (engine_.takeFilterFault())
        setOutError(kSimErrFilter);
    reportGenFaults(engine_.takeGenFaults());
}

void TSimDevice::syncGenerator()
{
    syncGeneratorAt(settings_.sampleRate, settings_.seed);
}
