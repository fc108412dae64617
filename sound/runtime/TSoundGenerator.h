// A module's side of the generator: snapshots of the program's record for the engine.
#pragma once

#include <TGenBuilder.h>
#include <TGenSignal.h>

#include <soundDLLTypes.h>

#include <cstdint>
#include <memory>
#include <string>

// Seeds of the generator's noise for a module seed: white noise left and right, pink noise.
uint64_t soundGenWhiteSeed(uint32_t seed, int channel);
uint64_t soundGenPinkSeed(uint32_t seed);

// GUI thread only. Builds a snapshot (TGenBuilder) whenever the record, the sample rate or the
// seed differ from those of the last snapshot; the texts say what the last snapshot could not
// play.
class TSoundGenerator {
public:
    // A new snapshot, or null when nothing changed since the last one.
    std::unique_ptr<TGenSignal> update(const TwaveGO& go, int rate, uint32_t seed);
    // The next update() builds a snapshot even when nothing changed (e.g. to read a sound file
    // again).
    void invalidate() { have_ = false; }
    // Why a channel of the last snapshot is silent although asked to play; else empty.
    const std::string& error() const { return error_; }
    // A mode the generator does not synthesise; else empty.
    const std::string& notice() const { return notice_; }

private:
    TGenBuilder builder_; // makes the snapshots, keeps tables and files
    TwaveGO last_{};      // record of the last snapshot
    int rate_ = 0;        // sample rate of the last snapshot, Hz
    uint32_t seed_ = 0;   // module seed of the last snapshot
    bool have_ = false;   // last_, rate_ and seed_ are valid
    std::string error_;   // error of the last snapshot
    std::string notice_;  // notice of the last snapshot
};
