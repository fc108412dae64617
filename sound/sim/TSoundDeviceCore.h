// The module-side state every sound module keeps for the program: the generator and
// acquisition records, the callback table, the input and output error codes with the rules
// for when callbacks 3 and 4 fire, the generator snapshots, and the status word. The module
// derives from it with its own engine, settings, error codes and texts.
#pragma once

#include "TSimGenerator.h"

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
    kSoundErrFilter = 3,    // output: the output filter returned a non-finite sample
    kSoundErrGenerator = 4, // output: the generator cannot play (part of) its record
    kSoundTextInput = 33,   // not an error: the input's notice text (the program ignores 33)
    kSoundTextOutput = 34,  // not an error: the output's notice text
};

// Engine: the module's audio core; it offers input(), output(), overloadCount(), recorded(),
// onAudioThread(), post(signal) and the callback slots onBlock and outFilter.
// Every member is for the program's GUI thread (the one that calls the entry points);
// callbacks 1..4 are called synchronously from inside the member that changed the state or text.
template <class Engine>
class TSoundDeviceCore {
public:
    virtual ~TSoundDeviceCore() = default;

    void setModuleFile(const std::u16string& name) { moduleFile_ = name; }
    TwaveGO* outRecord() { return &go_; }
    TwaveGI* inRecord() { return &gi_; }

    // Bits 0x1/0x2 running; 0x8/0x10 errors; 0x4 overload; the generator's capabilities. The
    // high word holds the input error code, else the output error code, else the overload
    // count of the last block.
    int status()
    {
        poll();
        int st = capabilities_;
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

    virtual int fetch(TsmView** views, int lastIndex) = 0;

    // Writes s as a NUL-terminated text of at most maxLen characters (terminator included).
    static void writeText(char16_t* dst, int maxLen, const std::u16string& s)
    {
        if (!dst || maxLen <= 0)
            return;
        const size_t n = std::min(s.size(), size_t(maxLen - 1));
        std::copy_n(s.data(), n, dst);
        dst[n] = 0;
    }

protected:
    // capabilities: the status bits of what the module's generator offers.
    explicit TSoundDeviceCore(int capabilities) : capabilities_(capabilities)
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

    // Work every entry point does first (generator changes, faults from the audio thread).
    virtual void poll() = 0;
    virtual int inputChannels() const = 0;
    virtual int outputChannels() const = 0;
    // The input's notice text (code kSoundTextInput).
    virtual std::string inNotice() const = 0;

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

    // Future parameters 1 (frames recorded since the input started, capped) and 2 (the next
    // acquisition's length); 0 for the others.
    int commonFuturePara(int id) const
    {
        if (id == 1)
            return int(std::min<uint64_t>(engine_.recorded(), INT_MAX));
        if (id == 2)
            return futureSamples_;
        return 0;
    }

    // Frames the longest of the first count views asks for.
    static size_t framesWanted(TsmView* const* views, int count)
    {
        size_t need = 0;
        for (int c = 0; c < count; ++c)
            if (views[c] && views[c]->Fsmpoi)
                need = std::max(need, size_t(std::max(views[c]->Fsamples, 0)));
        return need;
    }

    // Takes the program's channel flags and DC offsets into own (the rate is the module's
    // business).
    static void takeChannelFlags(Twfs& own, const Twfs& wfs)
    {
        own.cpL = wfs.cpL, own.cpR = wfs.cpR, own.oniL = wfs.oniL, own.oniR = wfs.oniR;
        own.mono = wfs.mono, own.chch = wfs.chch, own.monoOver = wfs.monoOver;
        own.DCoffset[0] = wfs.DCoffset[0], own.DCoffset[1] = wfs.DCoffset[1];
        own.DCoffsetAuto = wfs.DCoffsetAuto;
    }

    // The texts of the codes every module shares; the module answers its own codes first.
    std::string commonErrorText(int code) const
    {
        switch (code) {
        case kSoundErrNone: return "No error.";
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

    // Longest folder text accepted with callback id 1000.
    static constexpr size_t kMaxFolderChars = 4096;

    Engine engine_;                     // the audio core
    TwaveGO go_{};                      // output generator record, written by the program
    TwaveGI gi_{};                      // input acquisition record
    TSimGenerator generator_;           // snapshots of go_ for the engine
    std::atomic<SDProc> procs_[5] = {}; // callbacks 1..4 (index = id)
    void* app_ = nullptr;               // application object (callback id 200), unused
    std::u16string folder_;             // module folder handed over with id 1000
    std::u16string moduleFile_;         // this module's file name
    int futureSamples_ = 0;             // samples of the next acquisition (future parameter 2)
    int separator_ = 0;                 // decimal separator code (future parameter 1)
    int inError_ = kSoundErrNone;       // input error code
    int outError_ = kSoundErrNone;      // output error code
    std::string fileNotice_;            // message about the module's settings file
    std::string outNotice_;             // message about the generator
    std::string genError_;              // why the generator plays silence (kSoundErrGenerator)

private:
    const int capabilities_;
};
