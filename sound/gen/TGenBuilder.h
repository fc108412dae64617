// Turns the generator record into snapshots the audio thread can play.
#pragma once

#include "TGenSignal.h"

#include <soundDLLTypes.h>

#include <memory>
#include <string>

class FFtuliContext;

// GUI thread only: every allocation and all file reading of the generator happen here. What
// is costly to make (pink tables, wave tables, a loaded sound file, MLS values) is kept and
// reused while the record still asks for the same thing.
//
// Choices where the record leaves the signal open (see TGenKind for the waveforms):
// - Levels: voldB is the peak in dBFS; <= -192 is silence; above +60 counts as +60; a level
//   that is not a number plays silence with an error. Sound files ignore the level.
// - Tone frequencies (sine, square, triangle, burst, both dual-sine tones) must lie in
//   0 < f < rate / 2; others play silence with an error.
// - phaseL / phaseR (degrees) shift the sine, square, triangle and the first dual-sine tone.
// - Dual sine: dualTfunc 0 (and any unknown value) adds, 1 multiplies, 2 plays the first
//   tone (GenFreqL, voldB_L) on the left and the second (secfreqR, secvoldB_R) on the right.
// - Dirac needs OShotsamples >= 1, MLS an order of 2..16, burst AnzWave >= 1 and at most
//   2^40 samples; otherwise silence with an error.
// - The synthesis formula needs as many values as variables, names it knows and a text that
//   parses; otherwise silence with an error. Its value is multiplied by the level.
// - Modes 4 ("user wave"), 9 ("raw") and unknown modes are silent with a notice.
// - A channel that is switched off (genOnL / genOnR) is silent without a message.
// A channel starts its signal again (phase 0, first dirac or sample of the file, formula
// variables at their start values) when something other than its level, its tone
// frequencies or its phase changes; tones change frequency without a phase jump.
class TGenBuilder {
public:
    TGenBuilder();
    ~TGenBuilder();
    TGenBuilder(const TGenBuilder&) = delete;
    TGenBuilder& operator=(const TGenBuilder&) = delete;

    // A snapshot of go for an output at rate Hz; pinkSeed seeds the pink noise's phases.
    // Never throws: what cannot be made is silent and named in the snapshot's error.
    std::unique_ptr<TGenSignal> build(const TwaveGO& go, int rate, uint64_t pinkSeed);

private:
    struct Fields;
    std::unique_ptr<TGenSignal> make(const TwaveGO& go, int rate, uint64_t pinkSeed);
    void buildChannel(const Fields& f, int c, TGenSignal& s);
    bool tone(const Fields& f, int c, TGenSignal& s);
    bool impulse(const Fields& f, int c, TGenSignal& s);
    bool soundFile(const Fields& f, int c, TGenSignal& s);
    void prepareFormula(const Fields& f, TGenSignal& s);
    std::shared_ptr<const TGenWaveTable> waveTable(TGenWaveTable::Shape shape, double freq,
                                                   double rate, int c);
    std::shared_ptr<const std::vector<double>> mlsValues(int order, double db);
    void restartKeys(const Fields& f, TGenSignal& s);

    std::unique_ptr<FFtuliContext> fft_;             // transform buffers for the tables
    std::shared_ptr<const TGenPinkTables> pink_;     // last pink tables made
    std::shared_ptr<const TGenWaveTable> tables_[2]; // last wave tables made (per channel)
    std::shared_ptr<const std::vector<double>> mls_; // last MLS values made
    int mlsOrder_ = 0;                               // order of mls_
    double mlsDb_ = 0.0;                             // level of mls_
    std::shared_ptr<const TGenSoundFile> file_;      // last sound file loaded
    std::string fileKey_;                            // name, rate, size and time of file_
    std::string fileError_;                          // why file_ is null
    std::string formulaText_;      // formula, names, values and rate last prepared
    uint64_t formulaKey_ = 0;      // counts formula changes
    std::string shape_[2];         // what defines each channel's signal
    uint64_t restart_[2] = {0, 0}; // counts changes of shape_
    uint64_t serial_ = 0;          // counts snapshots
};
