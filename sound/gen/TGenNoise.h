// A small seeded random source for the generator's noise.
#pragma once

#include <cmath>
#include <cstdint>

// splitmix64: fast, good enough for test noise, and the same sequence on every machine. The
// virtual bench's models use it too. One object per stream, used by one thread; no allocation.
class TGenNoise {
public:
    void seed(uint64_t s) noexcept { state_ = s; }

    // Uniform in [-1, 1).
    double uniform() noexcept { return double(next() >> 11) * 0x1.0p-52 - 1.0; }

    // Gaussian with mean 0 and standard deviation 1 (Box-Muller; one value per call so the
    // sequence does not depend on how calls are grouped into blocks).
    double gauss() noexcept {
        double u1 = (double(next() >> 11) + 1.0) * 0x1.0p-53; // (0, 1]
        double u2 = double(next() >> 11) * 0x1.0p-53;         // [0, 1)
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

    uint64_t next() noexcept {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    uint64_t state_ = 1; // generator state
};

// Distinct, reproducible seeds for the noise sources that share one seed (stream = source
// number). Streams 1 to 3 are the generator's (white left and right, pink); the virtual
// bench's models use streams from 100 on.
inline uint64_t genNoiseSeed(uint32_t seed, uint32_t stream) noexcept
{
    return (uint64_t(seed) << 32) ^ (uint64_t(stream) * 0xD1B54A32D192ED03ull);
}
