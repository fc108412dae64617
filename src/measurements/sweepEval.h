// The per-step values of the sweep: peak level of a block, phase between two channels, THD of a block.
#pragma once

#include "dsp/Tsamplemem.h"
#include "dsp/evalDistortion.h"

#include <cstdint>

// getValrmsTimeDomain: the peak amplitude of a sine whose RMS the block has, sqrt(2) *
// sqrt((1e-12 + sum x^2) / (n - ind)) over samples ind..n-1 (ind >= 2; the first samples carry
// the filters' start). For ind < 2 every second sample from ind, divided by n/2. A silent block
// stays finite; ind >= n gives the 1e-12 floor alone.
double SweepValRms(const Tsamplemem& block, int32_t ind);

// getPhaseCH: the phase of `other` against `ref` at f Hz, degrees in [-180, 180]: negative when
// `other` lags. Both blocks pass a band-pass at f first (copies; the blocks stay as they are);
// then the angle between their components at f over the newest whole periods. 0 when there is
// nothing to compare (no samples, silence, f at or above half the rate).
double SweepPhaseCH(const Tsamplemem& ref, const Tsamplemem& other, double f, double rate);

// The distortion of one channel's block at a step: the newest `fftSize` samples through the
// window kind `window`, to raw dB, then DistortionNoise with the fundamental searched.
// `settings` gives the band, harmonics and threshold; its size and rate are set here.
TDistortionResult SweepBlockTHD(const Tsamplemem& block, int32_t fftSize, int32_t window, double rate,
                                TEvalSettings settings);
