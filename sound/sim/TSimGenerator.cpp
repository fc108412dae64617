// The virtual bench's side of the generator.
#include "TSimGenerator.h"

#include "TSimNoise.h"

#include <cstring>

uint64_t simGenWhiteSeed(uint32_t seed, int channel) {
    return simNoiseSeed(seed, uint32_t(1 + channel)); // streams 1 and 2, as ever
}

uint64_t simGenPinkSeed(uint32_t seed) {
    return simNoiseSeed(seed, 3);
}

std::unique_ptr<TGenSignal> TSimGenerator::update(const TwaveGO& go, int rate, uint32_t seed) {
    if (have_ && rate == rate_ && seed == seed_ && std::memcmp(&go, &last_, sizeof go) == 0)
        return nullptr;
    std::memcpy(&last_, &go, sizeof go);
    rate_ = rate;
    seed_ = seed;
    have_ = true;
    auto s = builder_.build(go, rate, simGenPinkSeed(seed));
    error_ = s->error;
    notice_ = s->notice;
    return s;
}
