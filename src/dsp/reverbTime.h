// Reverberation time from an impulse response: octave bands, Lundeby truncation, Schroeder decay, EDT/T20/T30.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Octave bands evaluated besides the broadband response (centre frequencies, Hz).
constexpr std::array<double, 7> kRtOctaves{125, 250, 500, 1000, 2000, 4000, 8000};

// The reverberation times of one band, seconds; 0 where the decay does not reach the range.
struct TRtBand {
    double centreHz = 0;   // 0 for broadband
    double edt = 0;        // from the fit 0 .. -10 dB, times 6
    double t20 = 0;        // fit -5 .. -25 dB, times 3
    double t30 = 0;        // fit -5 .. -35 dB, times 2
    double noise_dB = 0;   // noise floor re the peak power (dB); -200 when none was found
    double crossing_s = 0; // truncation point (Lundeby) after the start, s
    std::vector<double> decay_dB; // Schroeder decay from the start, one value per sample, dB
};

struct TRtResult {
    TRtBand broadband;
    std::vector<TRtBand> octaves; // one per kRtOctaves entry below rate/2 / sqrt(2)
};

// The Schroeder decay of h (squared, integrated backwards) from `start` to the truncation
// point, plus the energy the fitted late decay would carry beyond it, in dB re its value at
// start. The truncation point and the noise floor follow Lundeby's iteration: a noise level
// from the end, a decay line fitted down to 5 dB above it, their crossing, and the interval of
// the envelope adapted to the slope, until the crossing settles. rate in Hz.
TRtBand RtEvaluate(const std::vector<double>& h, double rate, size_t start);

// Where the response starts: the first sample within 20 dB of the largest one.
size_t RtStart(const std::vector<double>& h);

// Broadband and octave-band reverberation times of an impulse response. The octave filters
// are 4th-order Butterworth high- and low-passes at fc/sqrt(2) and fc*sqrt(2) of the project's
// IIR design, run over the response from its start.
TRtResult RtAnalyse(const std::vector<double>& h, double rate);

// The reverberation time (s) of a least-squares line through the decay between top_dB and
// bottom_dB (both negative, from the first sample below top_dB to the last above bottom_dB),
// extrapolated to 60 dB. 0 when the decay does not reach bottom_dB or does not fall.
double RtFromDecay(const std::vector<double>& decay_dB, double rate, double top_dB, double bottom_dB);
