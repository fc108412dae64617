// Closed-form truth of the tape deck.
#include "SimTruthTape.h"

#include <cmath>
#include <numbers>

static constexpr double kTwoPi = 2 * std::numbers::pi;

double simTapeSpeed(const TSimTapeSpec& p, double t)
{
    return 1.0 + (p.driftPct + p.wowDepthPct * std::sin(kTwoPi * p.wowRateHz * t) +
                  p.flutterDepthPct * std::sin(kTwoPi * p.flutterRateHz * t)) / 100.0;
}

// depth / (2 pi rate) * (1 - cos(2 pi rate t)) with the phase reduced to one period first, so
// long runs keep their precision.
static double swing(double depthPct, double rateHz, double t)
{
    if (depthPct == 0 || rateHz <= 0)
        return 0.0;
    const double cycles = rateHz * t;
    const double phase = cycles - std::floor(cycles);
    return depthPct / 100.0 / (kTwoPi * rateHz) * (1.0 - std::cos(kTwoPi * phase));
}

double simTapeAdvance(const TSimTapeSpec& p, double t)
{
    return p.driftPct / 100.0 * t + swing(p.wowDepthPct, p.wowRateHz, t) + swing(p.flutterDepthPct, p.flutterRateHz, t);
}

double simTapePeakDeviation(const TSimTapeSpec& p)
{
    return (std::abs(p.wowDepthPct) + std::abs(p.flutterDepthPct)) / 100.0;
}

double simTapeDrift(const TSimTapeSpec& p)
{
    return p.driftPct / 100.0;
}

double simTapeWowDeviationHz(const TSimTapeSpec& p, double f0)
{
    return f0 * std::abs(p.wowDepthPct) / 100.0;
}

double simTapeFlutterDeviationHz(const TSimTapeSpec& p, double f0)
{
    return f0 * std::abs(p.flutterDepthPct) / 100.0;
}
