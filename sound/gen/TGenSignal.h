// One immutable snapshot of the generator record: everything the audio thread needs to play it.
#pragma once

#include "TGenPinkTables.h"
#include "TGenSoundFile.h"
#include "TGenWaveTable.h"

#include <dsp/TCalcExpress.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Generator modes, the values of TwaveGO.modeL / modeR.
enum TGenMode : int {
    gmSine = 0,
    gmSquare = 1,
    gmWhiteNoise = 2,
    gmPinkNoise = 3,
    gmUserWave = 4,
    gmDirac = 5,
    gmMLS = 6,
    gmBurst = 7,
    gmTriangle = 8,
    gmRaw = 9,
    gmDualSine = 10,
    gmSoundFile = 11,
    gmSynthesis = 12
};

// What the renderer does for one channel. Levels are peak levels: A = 10^(dBFS/20), full
// scale = 1.0.
//   sine      A sin(2 pi (f t + phase/360)).
//   table     square or triangle, band-limited: only the odd harmonics below half the sample
//             rate, amplitudes 1/k (square) or (-1)^((k-1)/2)/k^2 (triangle) in sine phase,
//             the sum scaled so that its largest value is A (the overshoot of the square's
//             edges included, so a 0 dBFS square never clips).
//   white     uniform in [-A, A): RMS = level - 4.77 dB.
//   pink      periodic pink noise (2^20 samples): equal power per octave from 10 Hz to half
//             the sample rate (-3 dB per octave in the density), random phases, scaled so
//             that its largest sample is A; RMS about 13.5 dB below the level.
//   pulse     dirac: OShotsamples samples of +A, then 0.
//   mls       the 2^order values of Tsamplemem::fillwithMLS at the level (one period of the
//             maximum-length sequence plus its first value again), then 0.
//   burst     A sin(2 pi f n / rate) for the samples n < AnzWave rate / f (whole waves from
//             phase 0), then 0.
//   dualAdd   A1 sin(2 pi f1 t + phase) + A2 sin(2 pi f2 t) (peak up to A1 + A2).
//   dualMul   A1 A2 sin(2 pi f1 t + phase) sin(2 pi f2 t).
//   file      the sound file's channel (mono files on both), unscaled, looped.
//   formula   A times the formula's value.
// pulse, mls and burst repeat every max(round(repTime_ms rate / 1000), signal length) samples
// when Conti is 1; otherwise they play once after the output starts. A periodic MLS (repeat
// time not longer than the sequence) therefore repeats the period of 2^order - 1 values
// without a gap, which is what a circular deconvolution needs.
enum class TGenKind {
    silent,
    sine,
    table,
    white,
    pink,
    pulse,
    mls,
    burst,
    dualAdd,
    dualMul,
    file,
    formula
};

// One output channel of a snapshot.
struct TGenChannel {
    TGenKind kind = TGenKind::silent;
    double amp = 0.0;        // peak amplitude of the (first) tone or signal, full scale = 1
    double inc = 0.0;        // first tone: cycles per sample, [0, 0.5)
    double offset = 0.0;     // first tone: start phase, cycles, [0, 1)
    double amp2 = 0.0;       // dual sine: peak amplitude of the second tone
    double inc2 = 0.0;       // dual sine: second tone, cycles per sample
    int64_t length = 0;      // pulse, mls, burst: samples of the signal
    int64_t period = 0;      // pulse, mls, burst: repetition period in samples; 0 = once
    int index = 0;           // pink: table channel; file: file channel
    uint64_t restartKey = 0; // a new value makes the renderer start this channel's signal again
    std::shared_ptr<const TGenWaveTable> table;     // table kind: one period
    std::shared_ptr<const TGenPinkTables> pink;     // pink kind
    std::shared_ptr<const std::vector<double>> seq; // mls kind: the 2^order values
};

// Built on the GUI thread by TGenBuilder, read (never changed) by the audio thread, freed on
// the GUI thread.
struct TGenSignal {
    double rate = 48000.0;                      // output sample rate, Hz
    uint64_t serial = 0;                        // distinct for every snapshot of one builder
    TGenChannel ch[2];                          // left, right
    std::shared_ptr<const TGenSoundFile> file;  // file kind
    std::unique_ptr<TCalcExpress> formula;      // formula kind: parsed and prepared
    long double formulaArgs[kCalcMaxVars] = {}; // the variables' start values
    uint64_t formulaKey = 0;                    // a new value restarts the formula's variables
    std::string error;  // why a channel plays silence although asked to play; else empty
    std::string notice; // a mode this generator does not synthesise; else empty

    bool usesFormula() const {
        return ch[0].kind == TGenKind::formula || ch[1].kind == TGenKind::formula;
    }
};
