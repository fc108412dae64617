// The per-step values of the sweep: peak level of a block, phase between two channels, THD of a block.
#pragma once

#include "dsp/Tsamplemem.h"
#include "dsp/evalDistortion.h"

#include <complex>
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

// The complex amplitude of the sine at f Hz in the block: least-squares fit of a cosine, a sine
// and a constant, so any number of periods (whole or not) is exact for a pure tone. The block is
// Re(A e^(j w i)) around its middle sample; only ratios of two blocks of equal length mean
// anything. 0 when there is nothing to fit (fewer than 3 samples, f not in (0, rate/2)).
std::complex<double> SweepComplexAmplitude(const Tsamplemem& block, double f, double rate);

// Impedance of a device behind the series resistor Rs from the generator-side and the device
// voltage, both complex: Z = Rs * U_device / (U_generator - U_device). Ohms (|Z|) and the phase of
// Z in degrees. Equal voltages (nothing drawn through Rs) read kSweepOpenOhm.
struct TSweepImpedance {
    double ohm = 0.0;
    double deg = 0.0;
};
constexpr double kSweepOpenOhm = 1e12; // above every search's limit: an open circuit
TSweepImpedance SweepImpedance(const Tsamplemem& generator, const Tsamplemem& device, double f, double rate, double Rs);
// The same from RMS magnitudes alone, Rs / (U_generator / U_device - 1): right only for a
// resistive device; kept to show what the phase-blind divider reads.
double SweepImpedanceOfMagnitudes(double Ugenerator, double Udevice, double Rs);
