// What the tape deck is: its playback speed over time and the frequency deviations that follow.
#pragma once

// The tape deck as set in [Tape]: speed(t) = 1 + drift + wow sin(2 pi fw t) + flutter sin(2 pi ff t).
struct TSimTapeSpec {
    double driftPct = 0.0;        // constant speed error, %
    double wowRateHz = 0.5;       // wow rate, Hz
    double wowDepthPct = 0.0;     // wow peak speed deviation, %
    double flutterRateHz = 10.0;  // flutter rate, Hz
    double flutterDepthPct = 0.0; // flutter peak speed deviation, %
};

// Relative playback speed at time t (s), 1 = nominal.
double simTapeSpeed(const TSimTapeSpec& spec, double t);
// How far (s) the tape has moved ahead of nominal by time t: the integral of speed - 1 from 0,
// drift * t + sum depth / (2 pi rate) * (1 - cos(2 pi rate t)).
double simTapeAdvance(const TSimTapeSpec& spec, double t);
// Peak speed deviation from the mean speed (fraction): the supremum of |wow + flutter|, the sum
// of the depths (reached whenever both peaks meet, which for incommensurate rates they approach).
double simTapePeakDeviation(const TSimTapeSpec& spec);
// Drift (fraction): the mean speed is 1 + drift.
double simTapeDrift(const TSimTapeSpec& spec);
// A tone of f0 (Hz) plays at f0 (1 + drift) with a frequency deviation of f0 * wow depth at the
// wow rate and f0 * flutter depth at the flutter rate (Hz, peak).
double simTapeWowDeviationHz(const TSimTapeSpec& spec, double f0);
double simTapeFlutterDeviationHz(const TSimTapeSpec& spec, double f0);
