// Generator record -> snapshot, on the GUI thread.
#include "TGenBuilder.h"

#include <dsp/FFtuli.h>
#include <dsp/Tsamplemem.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kSilentDb = -192.0;          // at or below: silence
constexpr double kMaxDb = 60.0;               // above: this
constexpr double kMaxBurstSamples = 0x1.0p40; // longest burst

const char* modeName(int mode) {
    static const char* const names[] = {
        "sine",  "square",   "white noise", "pink noise", "user wave",  "dirac",    "MLS",
        "Burst", "triangle", "raw",         "dual sine",  "sound file", "synthesis"};
    return mode >= 0 && mode <= 12 ? names[mode] : "unknown";
}

// Text of a fixed-size record string (not necessarily terminated).
template <size_t N> std::string text(const char (&s)[N]) {
    return std::string(s, strnlen(s, N));
}

std::string number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string side(int c) {
    return c ? "right" : "left";
}

// Samples of a repeat time in ms (0 for none or negative).
int64_t repeatSamples(int32_t ms, int rate) {
    return ms > 0 ? int64_t(std::llround(double(ms) * rate / 1000.0)) : 0;
}

void addMessage(std::string& to, const std::string& msg) {
    if (msg.empty() || to.find(msg) != std::string::npos) return;
    to += to.empty() ? msg : " " + msg;
}

} // namespace

// The record's fields of one snapshot, read once.
struct TGenBuilder::Fields {
    const TwaveGO& go;
    int rate;
    int mode[2];
    bool on[2];
    double freq[2], db[2], freq2[2], db2[2];
    int phase[2];
};

TGenBuilder::TGenBuilder() : fft_(std::make_unique<FFtuliContext>()) {}
TGenBuilder::~TGenBuilder() = default;

std::unique_ptr<TGenSignal> TGenBuilder::build(const TwaveGO& go, int rate, uint64_t pinkSeed) {
    try {
        return make(go, rate, pinkSeed);
    } catch (const std::exception&) { // memory, most likely; play nothing rather than part
        auto s = std::make_unique<TGenSignal>();
        s->rate = rate;
        s->serial = ++serial_;
        s->error = "Not enough memory to prepare the generator signal; the output is silent.";
        for (int c = 0; c < 2; ++c)
            s->ch[c].restartKey = ++restart_[c], shape_[c].clear();
        return s;
    }
}

std::unique_ptr<TGenSignal> TGenBuilder::make(const TwaveGO& go, int rate, uint64_t pinkSeed) {
    auto s = std::make_unique<TGenSignal>();
    s->rate = rate;
    s->serial = ++serial_;
    const Fields f{go,
                   rate,
                   {go.modeL, go.modeR},
                   {go.genOnL != 0, go.genOnR != 0},
                   {go.GenFreqL, go.GenFreqR},
                   {go.voldB_L, go.voldB_R},
                   {go.secfreqL, go.secfreqR},
                   {go.secvoldB_L, go.secvoldB_R},
                   {go.phaseL, go.phaseR}};
    if ((f.on[0] && f.mode[0] == gmSynthesis) || (f.on[1] && f.mode[1] == gmSynthesis))
        prepareFormula(f, *s);
    for (int c = 0; c < 2; ++c) {
        buildChannel(f, c, *s);
        if (s->ch[c].kind == TGenKind::pink) {
            if (!pink_ || pink_->rate != rate || pink_->seed != pinkSeed)
                pink_ = TGenPinkTables::make(rate, pinkSeed, *fft_);
            s->ch[c].pink = pink_;
        }
    }
    if (!s->usesFormula()) s->formula.reset();
    restartKeys(f, *s);
    return s;
}

// The peak amplitude of a level, or -1 (with a message) when it is not a number.
static double amplitude(double db, std::string& error) {
    if (std::isnan(db)) {
        addMessage(error, "A generator level is not a number; that channel is silent.");
        return -1.0;
    }
    if (db <= kSilentDb) return 0.0;
    return std::pow(10.0, std::min(db, kMaxDb) / 20.0);
}

void TGenBuilder::buildChannel(const Fields& f, int c, TGenSignal& s) {
    TGenChannel& ch = s.ch[c];
    const int mode = f.mode[c];
    if (!f.on[c]) return;
    if (mode == gmUserWave || mode == gmRaw || mode < 0 || mode > gmSynthesis) {
        addMessage(s.notice, "Generator mode " + std::to_string(mode) + " (" + modeName(mode) +
                                 ") is not synthesised; the " + side(c) + " channel is silent.");
        return;
    }
    if (mode == gmSoundFile) {
        soundFile(f, c, s);
        return;
    }
    ch.amp = amplitude(f.db[c], s.error);
    if (ch.amp < 0.0) {
        ch = TGenChannel{};
        return;
    }
    bool ok = true;
    switch (mode) {
    case gmWhiteNoise:
        ch.kind = TGenKind::white;
        break;
    case gmPinkNoise:
        ch.kind = TGenKind::pink, ch.index = c;
        break;
    case gmDirac:
    case gmMLS:
    case gmBurst:
        ok = impulse(f, c, s);
        break;
    case gmSynthesis:
        ok = bool(s.formula);
        ch.kind = TGenKind::formula;
        break;
    default:
        ok = tone(f, c, s);
        break;
    }
    if (!ok || (ch.amp == 0.0 && ch.amp2 == 0.0)) ch = TGenChannel{};
}

// The start phase in cycles of a phase in degrees, in [0, 1).
static double startPhase(int degrees) {
    const int d = ((degrees % 360) + 360) % 360;
    return d / 360.0;
}

static bool toneFrequencyOk(double f, int rate, int c, std::string& error) {
    if (std::isfinite(f) && f > 0.0 && f < rate / 2.0) return true;
    addMessage(error, "The generator frequency " + number(f) +
                          " Hz is not between 0 and half the sample rate (" + number(rate / 2.0) +
                          " Hz); the " + side(c) + " channel is silent.");
    return false;
}

// Sine, square, triangle and dual sine.
bool TGenBuilder::tone(const Fields& f, int c, TGenSignal& s) {
    TGenChannel& ch = s.ch[c];
    const int mode = f.mode[c];
    double freq = f.freq[c];
    ch.offset = startPhase(f.phase[c]);
    ch.kind = mode == gmSine       ? TGenKind::sine
              : mode == gmDualSine ? TGenKind::dualAdd
                                   : TGenKind::table;
    if (mode == gmDualSine) {
        const int func = f.go.dualTfunc;
        if (func == 2) { // one tone per channel
            ch.kind = TGenKind::sine;
            if (c == 1) freq = f.freq2[c], ch.amp = amplitude(f.db2[c], s.error);
        } else {
            ch.amp2 = amplitude(f.db2[c], s.error);
            if (ch.amp2 < 0.0 || !toneFrequencyOk(f.freq2[c], f.rate, c, s.error)) return false;
            ch.inc2 = f.freq2[c] / f.rate;
            if (func == 1) ch.kind = TGenKind::dualMul, ch.amp *= ch.amp2, ch.amp2 = 0.0;
        }
    }
    if (ch.amp < 0.0 || !toneFrequencyOk(freq, f.rate, c, s.error)) return false;
    ch.inc = freq / f.rate;
    if (mode == gmSquare || mode == gmTriangle)
        ch.table = waveTable(mode == gmSquare ? TGenWaveTable::square : TGenWaveTable::triangle,
                             freq, f.rate, c);
    return true;
}

// Dirac, MLS and burst: the signal and its repetition.
bool TGenBuilder::impulse(const Fields& f, int c, TGenSignal& s) {
    TGenChannel& ch = s.ch[c];
    const TwaveGO& go = f.go;
    int64_t signal = 0; // signal length for the repetition rule
    if (f.mode[c] == gmDirac) {
        if (go.OShotsamples < 1) {
            addMessage(s.error, "The dirac width " + std::to_string(go.OShotsamples) +
                                    " is not a number of samples; the " + side(c) +
                                    " channel is silent.");
            return false;
        }
        ch.kind = TGenKind::pulse;
        ch.length = signal = go.OShotsamples;
    } else if (f.mode[c] == gmMLS) {
        if (go.MLSsize < 2 || go.MLSsize > 16) {
            addMessage(s.error, "The MLS order " + std::to_string(go.MLSsize) +
                                    " is not supported (2 to 16); the " + side(c) +
                                    " channel is silent.");
            return false;
        }
        ch.kind = TGenKind::mls;
        ch.seq = mlsValues(go.MLSsize, std::min(f.db[c], kMaxDb));
        ch.length = int64_t(1) << go.MLSsize;
        signal = ch.length - 1;
    } else {
        if (!toneFrequencyOk(f.freq[c], f.rate, c, s.error)) return false;
        const double n = double(go.AnzWave) * f.rate / f.freq[c];
        if (go.AnzWave < 1 || n > kMaxBurstSamples) {
            addMessage(s.error, "A burst of " + std::to_string(go.AnzWave) + " waves at " +
                                    number(f.freq[c]) + " Hz cannot be played; the " + side(c) +
                                    " channel is silent.");
            return false;
        }
        ch.kind = TGenKind::burst;
        ch.inc = f.freq[c] / f.rate;
        ch.length = signal = int64_t(std::ceil(n));
    }
    if (go.Conti == 1) ch.period = std::max(repeatSamples(go.repTime_ms, f.rate), signal);
    return true;
}

bool TGenBuilder::soundFile(const Fields& f, int c, TGenSignal& s) {
    const std::string name = text(f.go.ufname);
    if (name.empty()) {
        addMessage(s.error, "No sound file is chosen; the " + side(c) + " channel is silent.");
        return false;
    }
    struct stat st {};
    std::string key = name + '\n' + std::to_string(f.rate) + '\n';
    if (::stat(name.c_str(), &st) == 0)
        key += std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + ' ' +
               std::to_string(st.st_mtim.tv_nsec);
    if (key != fileKey_) {
        fileKey_ = key;
        file_ = TGenSoundFile::load(name, f.rate, fileError_);
    }
    if (!file_) {
        addMessage(s.error, fileError_);
        return false;
    }
    s.file = file_;
    s.ch[c].kind = TGenKind::file;
    s.ch[c].index = c;
    return true;
}

void TGenBuilder::prepareFormula(const Fields& f, TGenSignal& s) {
    const TWaf& w = f.go.WaF;
    const std::string func = text(w.functionStr), names = text(w.VnameStr),
                      values = text(w.VvalueStr);
    const std::string key = func + '\n' + names + '\n' + values + '\n' + std::to_string(f.rate);
    if (key != formulaText_) formulaText_ = key, ++formulaKey_;
    s.formulaKey = formulaKey_;
    if (func.find_first_not_of(" \t\r\n") == std::string::npos) {
        addMessage(s.error, "The synthesis formula is empty; the output is silent.");
        return;
    }
    auto e = std::make_unique<TCalcExpress>();
    e->parseVariString(names);
    e->parseValueString(values);
    if (e->variables().size() > size_t(kCalcMaxVars)) {
        addMessage(s.error, "The synthesis formula has more than " + std::to_string(kCalcMaxVars) +
                                " variables; the output is silent.");
        return;
    }
    if (e->prepareFreqArgs(s.formulaArgs, f.rate, func) != 1) {
        const std::string why =
            e->lastError().empty() ? "its variables and values do not match" : e->lastError();
        addMessage(s.error,
                   "The synthesis formula cannot be played (" + why + "); the output is silent.");
        return;
    }
    s.formula = std::move(e);
}

std::shared_ptr<const TGenWaveTable> TGenBuilder::waveTable(TGenWaveTable::Shape shape, double freq,
                                                            double rate, int c) {
    for (const auto& t : tables_)
        if (t && t->shape() == shape && t->freq() == freq && t->rate() == rate)
            return tables_[c] = t;
    return tables_[c] = TGenWaveTable::make(shape, freq, rate, *fft_);
}

std::shared_ptr<const std::vector<double>> TGenBuilder::mlsValues(int order, double db) {
    if (mls_ && mlsOrder_ == order && mlsDb_ == db) return mls_;
    const int32_t length = int32_t(1) << order;
    Tsamplemem m(2 * length);
    m.fillwithMLS(order, db);
    mls_ = std::make_shared<const std::vector<double>>(m.smpoi(), m.smpoi() + length);
    mlsOrder_ = order;
    mlsDb_ = db;
    return mls_;
}

// A channel starts again when what defines its signal changed; tones keep their phase
// across frequency changes.
void TGenBuilder::restartKeys(const Fields& f, TGenSignal& s) {
    for (int c = 0; c < 2; ++c) {
        const TGenChannel& ch = s.ch[c];
        std::string k = std::to_string(int(ch.kind)) + ' ' + std::to_string(f.rate) + ' ' +
                        std::to_string(f.mode[c]);
        if (ch.kind == TGenKind::pulse || ch.kind == TGenKind::mls || ch.kind == TGenKind::burst)
            k += ' ' + std::to_string(ch.length) + ' ' + std::to_string(ch.period) + ' ' +
                 number(ch.inc);
        else if (ch.kind == TGenKind::file)
            k += ' ' + fileKey_;
        else if (ch.kind == TGenKind::formula)
            k += ' ' + std::to_string(s.formulaKey);
        if (k != shape_[c]) shape_[c] = k, ++restart_[c];
        s.ch[c].restartKey = restart_[c];
    }
}
