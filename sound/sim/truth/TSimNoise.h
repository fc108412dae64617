// Seeded noise of the virtual bench: the generator library's source, with the bench's seeds.
#pragma once

#include "TGenNoise.h"

#include <cstdint>

using TSimNoise = TGenNoise;

// Distinct, reproducible seeds for the noise sources of one bench (stream = source number).
inline uint64_t simNoiseSeed(uint32_t seed, uint32_t stream) noexcept
{
    return (uint64_t(seed) << 32) ^ (uint64_t(stream) * 0xD1B54A32D192ED03ull);
}
