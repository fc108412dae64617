// Test-signal synthesis of the virtual bench.
#include "TSimGenerator.h"

#include <algorithm>
#include <cmath>

// Levels at or below this are silence (the program's "off" level).
static constexpr double kSilentDb = -192.0;
// Upper limit that keeps every sample finite; far beyond any useful overload test.
static constexpr double kMaxDb = 60.0;

TSimGenParams simGenParamsFrom(const TwaveGO& go)
{
    TSimGenParams p;
    p.mode[0] = go.modeL;
    p.mode[1] = go.modeR;
    p.freqHz[0] = go.GenFreqL;
    p.freqHz[1] = go.GenFreqR;
    p.levelDb[0] = go.voldB_L;
    p.levelDb[1] = go.voldB_R;
    p.phaseDeg[0] = go.phaseL;
    p.phaseDeg[1] = go.phaseR;
    p.on[0] = go.genOnL != 0;
    p.on[1] = go.genOnR != 0;
    return p;
}

bool simGenModeAvailable(int mode)
{
    return mode == 0 || mode == 2;
}

void TSimGenerator::reset(int sampleRate, uint32_t seed) noexcept
{
    rate_ = sampleRate;
    phase_[0] = phase_[1] = 0.0;
    noise_[0].seed(simNoiseSeed(seed, 1));
    noise_[1].seed(simNoiseSeed(seed, 2));
}

void TSimGenerator::render(const TSimGenParams& p, double* left, double* right, int frames) noexcept
{
    renderChannel(p, 0, left, frames);
    renderChannel(p, 1, right, frames);
}

void TSimGenerator::renderChannel(const TSimGenParams& p, int c, double* dst, int frames) noexcept
{
    const double db = p.levelDb[c];
    const bool silent = !p.on[c] || !std::isfinite(db) || db <= kSilentDb || !simGenModeAvailable(p.mode[c]);
    const double amp = silent ? 0.0 : std::pow(10.0, std::min(db, kMaxDb) / 20.0);
    double inc = std::isfinite(p.freqHz[c]) ? p.freqHz[c] / rate_ : 0.0;
    inc -= std::floor(inc);
    const double offset = (p.phaseDeg[c] % 360) / 360.0;
    double ph = phase_[c];
    for (int n = 0; n < frames; ++n) {
        if (p.mode[c] == 2)
            dst[n] = amp * noise_[c].uniform();
        else
            dst[n] = amp * std::sin(6.283185307179586 * (ph + offset));
        ph += inc;
        if (ph >= 1.0)
            ph -= 1.0;
    }
    phase_[c] = ph;
}
