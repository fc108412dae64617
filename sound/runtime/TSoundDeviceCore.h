// The module-side state and entry-point behaviour every sound module shares: the generator and
// acquisition records, the callback table, the input and output error codes with the rules for
// when callbacks 3 and 4 fire, the generator snapshots, the status word, fetching the recorded
// input and the descriptions. The module derives from it with its own engine, settings, error
// codes and texts, and answers its hooks (the virtual members).
#pragma once

#include "TSoundGenerator.h"
#include "soundModuleText.h"
#include "soundWaveFormat.h"

#include <TGenRenderer.h>
#include <TGenSignal.h>

#include <soundDLLTypes.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Codes every module shares in the high word of the status; the others are the module's own.
enum TSoundCommonError : int {
    kSoundErrNone = 0,
    kSoundErrTooLong = 2,   // input: a fetch asked for more than the ring can hold
    kSoundErrFilter = 3,    // output: the output filter returned a non-finite sample
    kSoundErrGenerator = 4, // output: the generator cannot play (part of) its record
    kSoundTextInput = 33,   // not an error: the input's notice text (the program ignores 33)
    kSoundTextOutput = 34,  // not an error: the output's notice text
};

// Largest ring a module allocates per input channel (frames).
constexpr size_t kSoundMaxRingFrames = size_t(1) << 22;

// What a module says about itself in descriptions, formats and error texts.
struct TSoundModuleInfo {
    std::u16string deviceName;  // its one device (description codes 1/2 and Twfs::name)
    std::u16string description; // answer to SD_Q_DESCRIPTION
    int version = 500;          // version x 100
    int capabilities = 0;       // status bits of what its generator offers
    std::string inPrefix;       // channel names: prefix + number from 1 ("aIn 1")
    std::string outPrefix;
    std::string noun;           // how error texts name the module ("the virtual bench")
};

// Engine: the module's audio core (a TSoundEngineCore); it also offers fetch(views, count),
// setInput(on) and setOutput(on).
// Every member is for the program's GUI thread (the one that calls the entry points);
// callbacks 1..4 are called synchronously from inside the member that changed the state or text.
template <class Engine>
class TSoundDeviceCore {
public:
    virtual ~TSoundDeviceCore() = default;

    TwaveGO* outRecord() { return &go_; }
    TwaveGI* inRecord() { return &gi_; }

    // Bits 0x1/0x2 running; 0x8/0x10 errors; 0x4 overload; the generator's capabilities. The
    // high word holds the input error code, else the output error code, else the overload
    // count of the last block.
    int status()
    {
        poll();
        int st = info_.capabilities;
        const bool in = engine_.input();
        st |= in ? SD_ST_IN_RUN : 0;
        st |= engine_.output() ? SD_ST_OUT_RUN : 0;
        st |= inError_ ? SD_ST_IN_ERR : 0;
        st |= outError_ ? SD_ST_OUT_ERR : 0;
        const int over = in ? std::min(engine_.overloadCount(), 0x7FFF) : 0;
        st |= over ? SD_ST_IN_OVER : 0;
        const int high = inError_ ? inError_ : outError_ ? outError_ : over;
        return st | (high << 16);
    }

    // SDDeInitSound: stops output and input, then the audio side.
    int deinit()
    {
        startOut(false);
        startIn(false);
        stopAudio();
        return 0;
    }

    int startIn(bool on)
    {
        poll();
        const bool was = engine_.input();
        if (on == was)
            return status();
        if (on) {
            setInError(kSoundErrNone);
            takeInputDC();
            beginInput();
        } else {
            engine_.setInput(false);
            endIfIdle();
        }
        if (engine_.input() != was)
            call(SD_CB_IN_STATE);
        return status();
    }

    int startOut(bool on)
    {
        poll();
        const bool was = engine_.output();
        if (on == was)
            return status();
        if (on) {
            setOutError(kSoundErrNone);
            genError_.clear();
            generator_.invalidate(); // reads a changed sound file again, states its errors again
            beginOutput();
        } else {
            engine_.setOutput(false);
            endIfIdle();
        }
        if (engine_.output() != was)
            call(SD_CB_OUT_STATE);
        return status();
    }

    void* setCallback(int id, void* pointer)
    {
        // From inside callback 5 or 6 the audio thread cannot wait for itself to let go.
        const bool wait = !engine_.onAudioThread();
        switch (id) {
        case SD_CB_CLEAR:
            for (auto& p : procs_)
                p.store(nullptr);
            engine_.onBlock.set(nullptr, nullptr, wait);
            engine_.outFilter.set(nullptr, nullptr, wait);
            break;
        case SD_CB_IN_STATE:
        case SD_CB_OUT_STATE:
        case SD_CB_IN_TEXT:
        case SD_CB_OUT_TEXT:
            procs_[id].store(reinterpret_cast<SDProc>(pointer));
            break;
        case SD_CB_NEW_BLOCK: {
            // The method record may be a temporary of the caller: keep its two parts.
            const auto* m = static_cast<const SDMethod*>(pointer);
            engine_.onBlock.set(m ? reinterpret_cast<void*>(m->code) : nullptr, m ? m->context : nullptr, wait);
            break;
        }
        case SD_CB_OUT_FILTER:
            engine_.outFilter.set(pointer, nullptr, wait);
            break;
        case SD_CB_APP:
            app_ = pointer;
            break;
        case SD_CB_FOLDER:
            folder_.clear();
            for (auto* s = static_cast<const char16_t*>(pointer); s && *s && folder_.size() < kMaxFolderChars; ++s)
                folder_ += *s;
            break;
        default:
            break;
        }
        return pointer;
    }

    // Copies the newest Fsamples frames of input i into views[i] (i <= lastIndex); 1 when new
    // data arrived. A fetch longer than the ring can ever hold is an input error; one longer
    // than the ring holds now makes it grow, dropping what was recorded.
    int fetch(TsmView** views, int lastIndex)
    {
        poll();
        if (!views || lastIndex < 0 || !canFetch())
            return 0;
        const int count = std::min(lastIndex + 1, inputChannels());
        const size_t need = framesWanted(views, count);
        if (need > maxFetch()) {
            setInError(kSoundErrTooLong);
            engine_.fetch(views, 0); // counts as fetched, so a paced engine goes on
            return 0;
        }
        if (need + ringHeadroom() > engine_.ringFrames()) {
            if (ringLive())
                restartAudio(need);
            return 0;
        }
        return engine_.fetch(views, count);
    }

    // With a buffer: fills it with the newest Fsamples/2 frames of inputs 1 and 2, interleaved.
    int soundDats(int32_t* first, int32_t* second, TsmView** buffer)
    {
        if (first)
            *first = 2;
        if (second)
            *second = 8;
        if (!buffer || !*buffer || !(*buffer)->Fsmpoi || (*buffer)->Fsamples < 2)
            return 0;
        TsmView* dst = *buffer;
        const int frames = dst->Fsamples / 2;
        std::vector<double> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
        TsmView l{left.data(), frames}, r{right.data(), frames};
        TsmView* views[2] = {&l, &r};
        if (!fetch(views, 1))
            return 0;
        if (inputChannels() < 2)
            right = left;
        for (int n = 0; n < frames; ++n) {
            dst->Fsmpoi[2 * n] = left[size_t(n)];
            dst->Fsmpoi[2 * n + 1] = right[size_t(n)];
        }
        return 1;
    }

    int channelCounts(int32_t* in, int32_t* out) const
    {
        if (in)
            *in = inputChannels();
        if (out)
            *out = outputChannels();
        return 0;
    }

    // 1: the decimal separator code; 2: the next acquisition's length (the ring grows for it).
    int setFuturePara(int id, int value)
    {
        poll();
        if (id == 1)
            separator_ = value;
        if (id == 2 && value > 0) {
            futureSamples_ = value;
            const size_t want = std::min(size_t(value), maxFetch());
            if (ringLive() && want + ringHeadroom() > engine_.ringFrames())
                restartAudio(want);
        }
        return 0;
    }

    // 1: frames recorded since the input started (capped); 2: the next acquisition's length;
    // 3: where the generator's first sample lies in the recording (frames from the input's
    // start; INT_MIN until input and output have both played since they were switched on);
    // 0 for the others.
    int getFuturePara(int id) const
    {
        if (id == 1)
            return int(std::min<uint64_t>(engine_.recorded(), INT_MAX));
        if (id == 2)
            return futureSamples_;
        if (id == 3)
            return engine_.hasOutputOffset()
                       ? int(std::clamp<int64_t>(engine_.outputOffset(), INT_MIN + 1, INT_MAX))
                       : INT_MIN;
        return 0;
    }

    // SDDLLdescription: returns the version (module), 1 for an existing device or channel, else 0.
    int description(char16_t* text, int maxLen, int code) const
    {
        std::u16string s;
        int result = 0;
        const int k = code / 0x10000, n = code % 0x10000;
        if (code == SD_Q_DESCRIPTION || code == SD_Q_VERSION) {
            s = code == SD_Q_VERSION ? versionText() : info_.description;
            result = info_.version;
        } else if (code == SD_Q_FILENAME) {
            s = soundModuleFile();
        } else if (k == 1 || k == 2) {
            result = n == 0 && deviceAvailable() ? 1 : 0;
            s = result ? info_.deviceName : u"";
        } else if (n == 0 && k >= 100 && k < 300) {
            const bool in = k < 200;
            const int i = k - (in ? 100 : 200);
            result = i < (in ? inputChannels() : outputChannels()) ? 1 : 0;
            if (result)
                s = soundUtf16((in ? info_.inPrefix : info_.outPrefix) + std::to_string(i + 1));
        }
        soundWriteText(text, maxLen, s);
        return result;
    }

    // SDDLLErrorStr: the text of code (the module's own codes first); returns code.
    int errorText(int code, char16_t* text, int maxLen) const
    {
        std::string s = ownErrorText(code);
        if (s.empty())
            s = commonErrorText(code);
        soundWriteText(text, maxLen, soundUtf16(s));
        return code;
    }

protected:
    explicit TSoundDeviceCore(TSoundModuleInfo info) : info_(std::move(info))
    {
        go_.GenFreqL = go_.GenFreqR = 1000.0;
        go_.voldB_L = go_.voldB_R = -10.0;
        go_.secfreqL = go_.secfreqR = 2000.0;
        go_.secvoldB_L = go_.secvoldB_R = -10.0;
        go_.genOnL = go_.genOnR = 1;
        go_.MLSsize = 12;
        go_.OShotsamples = 1;
        go_.AnzWave = 10;
        go_.repTime_ms = 100;
        go_.Conti = 1;
        go_.ToneDura_ms = -1;
        for (Twfs* w : {&go_.wfs, &gi_.wfs})
            w->oniL = w->oniR = 1;
        go_.wfs.monoOver = 1;
        gi_.OneShotTime_samps = 48000;
    }

    // --- The module's hooks.
    // Work every entry point does first (generator changes, faults from the audio thread).
    virtual void poll() = 0;
    virtual int inputChannels() const = 0;
    virtual int outputChannels() const = 0;
    // Switches the engine's input (output) on, starting the audio side when it does not run.
    virtual void beginInput() = 0;
    virtual void beginOutput() = 0;
    // After an input or output was switched off: stops the audio side when it is not needed.
    virtual void endIfIdle() {}
    // Stops the audio side (its thread, its client) whatever runs.
    virtual void stopAudio() = 0;
    // Hands go_ to the engine when it changed (syncGeneratorAt with the module's rate and seed).
    virtual void syncGenerator() = 0;
    // Fills the module's format for the input or output into w.
    virtual void fillWfs(Twfs& w, bool input) const = 0;
    // Whether the one device exists now (description codes 1 and 2).
    virtual bool deviceAvailable() const { return true; }
    // The ring: frames it holds at least, frames the audio side may add while a fetch copies,
    // whether the audio side runs (only then does it grow), whether there is anything to fetch,
    // and growing it for an acquisition of `frames` (false when that failed).
    virtual size_t minRingFrames() const = 0;
    virtual size_t ringHeadroom() const = 0;
    virtual bool ringLive() const = 0;
    virtual bool canFetch() const { return engine_.ringFrames() != 0; }
    virtual bool restartAudio(size_t frames) = 0;
    // The input's notice text (code kSoundTextInput).
    virtual std::string inNotice() const = 0;
    // The text of one of the module's own codes; empty for the others.
    virtual std::string ownErrorText(int code) const = 0;

    void call(int id) const
    {
        if (SDProc p = procs_[id].load())
            p();
    }

    // Hands a changed generator record to the engine as a new snapshot, then states its
    // notice and error.
    void syncGeneratorAt(int rate, uint32_t seed)
    {
        std::unique_ptr<TGenSignal> signal = generator_.update(go_, rate, seed);
        if (!signal)
            return;
        engine_.post(std::move(signal));
        setOutNotice(generator_.notice());
        setGenError(generator_.error());
    }

    // The poll every module does: free what the audio thread let go, hand over generator
    // changes, and report the faults it found.
    void pollEngine()
    {
        engine_.collect();
        syncGenerator();
        if (engine_.takeFilterFault())
            setOutError(kSoundErrFilter);
        reportGenFaults(engine_.takeGenFaults());
    }

    // Shows text as the output error (kSoundErrGenerator), or takes that error back when text
    // is empty; callback 4 tells the program when the text changed.
    void setGenError(const std::string& text)
    {
        if (text == genError_)
            return;
        genError_ = text;
        if (!text.empty() && outError_ != kSoundErrGenerator)
            setOutError(kSoundErrGenerator);
        else if (text.empty() && outError_ == kSoundErrGenerator)
            setOutError(kSoundErrNone);
        else if (!text.empty())
            call(SD_CB_OUT_TEXT);
    }

    void setInError(int code)
    {
        if (code == inError_)
            return;
        inError_ = code;
        call(SD_CB_IN_TEXT);
    }

    void setOutError(int code)
    {
        if (code == outError_)
            return;
        outError_ = code;
        call(SD_CB_OUT_TEXT);
    }

    void setOutNotice(const std::string& text)
    {
        if (text == outNotice_)
            return;
        outNotice_ = text;
        call(SD_CB_OUT_TEXT);
    }

    // Tells the program which of input and output stopped without being asked to.
    void tellStopped(bool in, bool out) const
    {
        if (in)
            call(SD_CB_IN_STATE);
        if (out)
            call(SD_CB_OUT_STATE);
    }

    // Ring frames for an acquisition of `frames`: at least minRingFrames(), plus the headroom.
    size_t ringFramesFor(size_t frames) const
    {
        frames = std::max(frames, minRingFrames()) + ringHeadroom();
        return std::min(frames, kSoundMaxRingFrames);
    }

    size_t maxFetch() const { return kSoundMaxRingFrames - ringHeadroom(); }

    // Fills w with the format of the module's device (see soundFillWaveFormat).
    void fillWaveFormat(Twfs& w, int channels, int rate, int bits, int latencyMs) const
    {
        soundFillWaveFormat(w, info_.deviceName, channels, rate, bits, latencyMs);
    }

    // SDgetwaveFormatIn/Out: the module's format, also kept in the record; 1 without wfs.
    int copyWaveFormat(Twfs* wfs, bool input)
    {
        Twfs& own = input ? gi_.wfs : go_.wfs;
        fillWfs(own, input);
        if (!wfs)
            return 1;
        *wfs = own;
        return 0;
    }

    // SDsetwaveFormatIn/Out: takes the program's channel flags and DC offsets; returns the
    // rate asked for, which is the module's business.
    long long takeWaveFormat(const Twfs& wfs, bool input)
    {
        soundTakeChannelFlags(input ? gi_.wfs : go_.wfs, wfs);
        if (input)
            takeInputDC();
        return wfs.Wf.nSamplesPerSec;
    }

    // The DC offset correction of the input record goes to the engine: the program may set it
    // through SDsetwaveFormatIn or write the record and restart the input.
    void takeInputDC()
    {
        engine_.setInputDC(gi_.wfs.DCoffset[0], gi_.wfs.DCoffset[1], gi_.wfs.DCoffsetAuto != 0);
    }

    // Longest folder text accepted with callback id 1000.
    static constexpr size_t kMaxFolderChars = 4096;

    Engine engine_;                     // the audio core
    TwaveGO go_{};                      // output generator record, written by the program
    TwaveGI gi_{};                      // input acquisition record
    TSoundGenerator generator_;         // snapshots of go_ for the engine
    std::atomic<SDProc> procs_[5] = {}; // callbacks 1..4 (index = id)
    void* app_ = nullptr;               // application object (callback id 200), unused
    std::u16string folder_;             // module folder handed over with id 1000
    int futureSamples_ = 0;             // samples of the next acquisition (future parameter 2)
    int separator_ = 0;                 // decimal separator code (future parameter 1)
    int inError_ = kSoundErrNone;       // input error code
    int outError_ = kSoundErrNone;      // output error code
    std::string fileNotice_;            // message about the module's settings file
    std::string outNotice_;             // message about the generator
    std::string genError_;              // why the generator plays silence (kSoundErrGenerator)

private:
    // Frames the longest of the first count views asks for.
    static size_t framesWanted(TsmView* const* views, int count)
    {
        size_t need = 0;
        for (int c = 0; c < count; ++c)
            if (views[c] && views[c]->Fsmpoi)
                need = std::max(need, size_t(std::max(views[c]->Fsamples, 0)));
        return need;
    }

    // "5.00" for version 500.
    std::u16string versionText() const
    {
        const int minor = info_.version % 100;
        const std::string text =
            std::to_string(info_.version / 100) + (minor < 10 ? ".0" : ".") + std::to_string(minor);
        return soundUtf16(text);
    }

    // Reports the faults the renderer found on the audio thread (takeGenFaults()).
    void reportGenFaults(uint32_t faults)
    {
        if (faults)
            setGenError((faults & gfFormulaMath)
                            ? "The synthesis formula raised an arithmetic fault (division by zero, "
                              "logarithm of a non-positive number, ...); the output is silent."
                            : "The synthesis formula gave a value that is not a finite number or "
                              "far beyond full scale; the output is silent.");
    }

    // The texts of the codes every module shares.
    std::string commonErrorText(int code) const
    {
        switch (code) {
        case kSoundErrNone: return "No error.";
        case kSoundErrTooLong:
            return "The acquisition is longer than " + info_.noun + " can record (at most " +
                   std::to_string(maxFetch()) + " samples per channel).";
        case kSoundErrFilter:
            return "The output filter returned values that are not numbers; they were played as silence.";
        case kSoundErrGenerator: return genError_.empty() ? "No error." : genError_;
        case kSoundTextInput: {
            const std::string s = inNotice();
            return s.empty() ? "No error." : s;
        }
        case kSoundTextOutput: return outNotice_.empty() ? "No error." : outNotice_;
        case 0x7001: return "Sound IO(DLL) not available";
        default: return "Unknown error " + std::to_string(code) + ".";
        }
    }

    const TSoundModuleInfo info_; // what the module says about itself
};
