// A module's side of the generator: noise seeds and snapshots of the program's record.
#include "TSoundGenerator.h"

#include <TGenNoise.h>

#include <cstring>

uint64_t soundGenWhiteSeed(uint32_t seed, int channel) {
    return genNoiseSeed(seed, uint32_t(1 + channel)); // streams 1 and 2, as ever
}

uint64_t soundGenPinkSeed(uint32_t seed) {
    return genNoiseSeed(seed, 3);
}

std::unique_ptr<TGenSignal> TSoundGenerator::update(const TwaveGO& go, int rate, uint32_t seed) {
    if (have_ && rate == rate_ && seed == seed_ && std::memcmp(&go, &last_, sizeof go) == 0)
        return nullptr;
    std::memcpy(&last_, &go, sizeof go);
    rate_ = rate;
    seed_ = seed;
    have_ = true;
    auto s = builder_.build(go, rate, soundGenPinkSeed(seed));
    error_ = s->error;
    notice_ = s->notice;
    return s;
}
