// Seeded noise of the virtual bench: the generator library's source, with the bench's seeds.
#pragma once

#include "TGenNoise.h"

#include <cstdint>

using TSimNoise = TGenNoise;

// Seeds of the bench's noise sources: the generator's scheme, so no model stream meets the
// generator's own.
inline uint64_t simNoiseSeed(uint32_t seed, uint32_t stream) noexcept
{
    return genNoiseSeed(seed, stream);
}
