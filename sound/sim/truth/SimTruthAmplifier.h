// What the amplifier model is: its small-signal response and the harmonics of a sine, in closed form.
#pragma once

#include <complex>
#include <vector>

// The amplifier as set in [Amplifier]. Voltages are RMS volts of a sine where they name a
// sound-card full scale, peak volts for the rail; the polynomial works on instantaneous volts.
struct TSimAmpSpec {
    double outputVoltsFS = 1.0; // volts RMS of a 0 dBFS sine at the sound-card output
    double gainDb = 0.0;        // voltage gain, dB
    double highPassHz = 0.0;    // 2nd-order Butterworth high-pass corner, 0 = off
    double lowPassHz = 0.0;     // 2nd-order Butterworth low-pass corner, 0 = off
    double a[6] = {0, 1, 0, 0, 0, 0}; // v = sum a[k] w^k; a[1] is always 1, a[0] always 0
    double railVolts = 0.0;     // hard clipping at +-railVolts peak, 0 = none
    double attenuationDb = 0.0; // attenuator to the sound-card input, dB (positive attenuates)
    double inputVoltsFS = 1.0;  // volts RMS that read 0 dBFS at the sound-card input
    double noiseDbfs = -200.0;  // RMS of the noise added at the input, dBFS (-200 = none)
};

// One spectral line of the recorded signal: amplitude in full-scale units (a 0 dBFS sine has
// amplitude 1), phase in radians relative to a cosine of the generator's phase.
struct TSimHarmonic {
    int order;        // 1 = fundamental
    double frequency; // Hz
    double amplitude; // peak, full scale = 1
    double phase;     // radians
};

// The recorded harmonics of a sine and the distortion they make.
struct TSimAmpHarmonics {
    double dc = 0.0;                   // DC at the input, full-scale units
    std::vector<TSimHarmonic> lines;   // orders 1..5 whose frequency lies below fs/2
    double thdF = 0.0;                 // sqrt(sum harmonic powers) / fundamental amplitude
    double thdR = 0.0;                 // sqrt(sum harmonic powers) / sqrt(total power)
    double peakVolts = 0.0;            // bound of |v| at the amplifier output (volts peak)
    bool clips = false;                // peakVolts may reach the rail: the lines do not hold
};

// True when a filter corner is active at sample rate fs: 1 Hz <= corner < fs/2 (else it is off).
bool simAmpCornerActive(double cornerHz, double fs);
// Complex response (gain and phase) of the 2nd-order Butterworth high- or low-pass designed by
// the bilinear transform with its corner prewarped: the analog prototype evaluated at
// s/wc = j tan(pi f/fs) / tan(pi fc/fs). That is the exact H(z) of the designed section.
std::complex<double> simButterworth2(bool highPass, double cornerHz, double f, double fs);
// Small-signal response from the generator's full scale to the recorded full scale at f (Hz):
// output volts, gain, filters, attenuator, input volts.
std::complex<double> simAmpResponse(const TSimAmpSpec& spec, double f, double fs);
// The harmonics recorded for a generator sine of levelDbfs (0 dBFS = amplitude 1) at f (Hz),
// from the Chebyshev expansion of the polynomial. Harmonics at or above fs/2 alias in the
// model and are not listed (nor counted in the THD).
TSimAmpHarmonics simAmpHarmonics(const TSimAmpSpec& spec, double levelDbfs, double f, double fs);
