// Generator snapshots -> samples, on the audio thread.
#include "TGenRenderer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

inline void advance(double& ph, double inc) noexcept {
    ph += inc;
    if (ph >= 1.0) ph -= 1.0;
}

} // namespace

void TGenRenderer::reset(uint64_t seedLeft, uint64_t seedRight) noexcept {
    const uint64_t seeds[2] = {seedLeft, seedRight};
    for (int c = 0; c < 2; ++c) {
        ch_[c] = Channel{};
        ch_[c].noiseSeed = seeds[c];
        ch_[c].noise.seed(seeds[c]);
    }
    formulaKey_ = 0;
    deadSerial_ = 0;
}

void TGenRenderer::render(const TGenSignal* s, double* left, double* right, int frames) noexcept {
    double* out[2] = {left, right};
    if (!s) {
        std::fill_n(left, frames, 0.0);
        std::fill_n(right, frames, 0.0);
        return;
    }
    adopt(*s);
    for (int done = 0; done < frames;) {
        const int n = std::min(kChunk, frames - done);
        valuesCount_ = 0;
        if (s->usesFormula() && s->formula) formulaStep(*s, n);
        for (int c = 0; c < 2; ++c)
            channelStep(*s, c, out[c] + done, n);
        done += n;
    }
}

// Restarts the channels whose signal changed, and the formula's variables when the formula
// changed or one of its channels started again.
void TGenRenderer::adopt(const TGenSignal& s) noexcept {
    bool formulaRestart = s.formulaKey != formulaKey_;
    for (int c = 0; c < 2; ++c) {
        Channel& st = ch_[c];
        if (s.ch[c].restartKey == st.key) continue;
        st.key = s.ch[c].restartKey;
        st.pos = 0;
        st.ph = st.ph2 = 0.0;
        st.noise.seed(st.noiseSeed);
        formulaRestart = formulaRestart || s.ch[c].kind == TGenKind::formula;
    }
    if (formulaRestart && s.usesFormula()) {
        formulaKey_ = s.formulaKey;
        std::copy(std::begin(s.formulaArgs), std::end(s.formulaArgs), args_);
    }
}

// The formula's next n values into values_. A fault (arithmetic, not finite, or beyond
// +60 dBFS at the level of a formula channel) ends the values at that sample and silences the
// formula for the rest of this snapshot.
void TGenRenderer::formulaStep(const TGenSignal& s, int n) noexcept {
    if (deadSerial_ == s.serial) return;
    double amp = 0.0;
    for (const TGenChannel& ch : s.ch)
        if (ch.kind == TGenKind::formula) amp = std::max(amp, ch.amp);
    const TCalcExpress& f = *s.formula;
    for (int i = 0; i < n; ++i) {
        bool fault = false;
        const long double v = f.calcNoThrow(args_, kCalcMaxVars - 1, &fault);
        f.doFreqInc(args_);
        const double x = double(v);
        const uint32_t bad = fault                                        ? gfFormulaMath
                             : !(std::fabs(x) * amp <= kMaxFormulaOutput) ? gfFormulaValue
                                                                          : 0u;
        if (bad) {
            faults_.fetch_or(bad, std::memory_order_acq_rel);
            deadSerial_ = s.serial;
            return;
        }
        values_[i] = x;
        valuesCount_ = i + 1;
    }
}

void TGenRenderer::channelStep(const TGenSignal& s, int c, double* dst, int n) noexcept {
    const TGenChannel& ch = s.ch[c];
    Channel& st = ch_[c];
    switch (ch.kind) {
    case TGenKind::sine:
    case TGenKind::table:
    case TGenKind::dualAdd:
    case TGenKind::dualMul:
        tones(ch, st, dst, n);
        break;
    case TGenKind::pulse:
    case TGenKind::mls:
    case TGenKind::burst:
        repeated(ch, st, dst, n);
        break;
    case TGenKind::formula:
        for (int i = 0; i < n; ++i)
            dst[i] = i < valuesCount_ ? ch.amp * values_[i] : 0.0;
        break;
    default:
        others(s, ch, st, dst, n);
        break;
    }
    st.pos += uint64_t(n);
}

// Periodic tones: a phase per tone in cycles, the start phase added when reading.
void TGenRenderer::tones(const TGenChannel& ch, Channel& st, double* dst, int n) noexcept {
    double ph = st.ph, ph2 = st.ph2;
    const double a = ch.amp, a2 = ch.amp2, off = ch.offset;
    for (int i = 0; i < n; ++i) {
        double x = ph + off;
        x -= x >= 1.0 ? 1.0 : 0.0;
        switch (ch.kind) {
        case TGenKind::sine:
            dst[i] = a * std::sin(kTwoPi * x);
            break;
        case TGenKind::table:
            dst[i] = a * ch.table->at(x);
            break;
        case TGenKind::dualAdd:
            dst[i] = a * std::sin(kTwoPi * x) + a2 * std::sin(kTwoPi * ph2);
            break;
        default:
            dst[i] = a * std::sin(kTwoPi * x) * std::sin(kTwoPi * ph2);
            break;
        }
        advance(ph, ch.inc);
        advance(ph2, ch.inc2);
    }
    st.ph = ph, st.ph2 = ph2;
}

// Dirac, MLS and burst: the position within the repetition decides the value.
void TGenRenderer::repeated(const TGenChannel& ch, const Channel& st, double* dst, int n) noexcept {
    for (int i = 0; i < n; ++i) {
        const uint64_t p = st.pos + uint64_t(i);
        const uint64_t w = ch.period > 0 ? p % uint64_t(ch.period) : p;
        double v = 0.0;
        if (w < uint64_t(ch.length)) {
            if (ch.kind == TGenKind::pulse)
                v = ch.amp;
            else if (ch.kind == TGenKind::mls)
                v = (*ch.seq)[size_t(w)];
            else
                v = ch.amp * std::sin(kTwoPi * (ch.inc * double(w)));
        }
        dst[i] = v;
    }
}

// Noise, sound file and silence.
void TGenRenderer::others(const TGenSignal& s, const TGenChannel& ch, Channel& st, double* dst,
                          int n) noexcept {
    switch (ch.kind) {
    case TGenKind::white:
        for (int i = 0; i < n; ++i)
            dst[i] = ch.amp * st.noise.uniform();
        break;
    case TGenKind::pink: {
        const std::vector<float>& t = ch.pink->ch[ch.index];
        for (int i = 0; i < n; ++i)
            dst[i] = ch.amp * double(t[size_t((st.pos + uint64_t(i)) % t.size())]);
        break;
    }
    case TGenKind::file: {
        const uint64_t frames = uint64_t(s.file->frames());
        for (int i = 0; i < n; ++i)
            dst[i] = s.file->at(ch.index, int64_t((st.pos + uint64_t(i)) % frames));
        break;
    }
    default:
        std::fill_n(dst, n, 0.0);
        break;
    }
}
