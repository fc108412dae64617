// What the impedance bench is: the loudspeaker's electrical impedance and its Thiele-Small parameters.
#pragma once

#include <complex>

// The bench as set in [Impedance]: a series resistor and a moving-coil driver, optionally with
// an added mass and in a closed box. SI units are derived from the fields below by the
// functions; the fields keep the units of the INI keys.
struct TSimSpeakerSpec {
    double rs = 8.0;          // series resistor, ohm
    double re = 6.0;          // voice-coil resistance, ohm
    double leMh = 0.5;        // voice-coil inductance, mH
    double bl = 7.0;          // force factor, T*m
    double mmsG = 20.0;       // moving mass, g
    double cmsMmN = 0.8;      // suspension compliance, mm/N
    double rms = 1.5;         // mechanical resistance, kg/s
    double sdCm2 = 200.0;     // piston area, cm^2
    double addedMassG = 0.0;  // mass added to Mms, g
    double boxVolumeL = 0.0;  // closed box volume, litres (0 = free air)
};

// rho * c^2 of air, Pa.
constexpr double kSimRhoC2 = 1.42e5;

// Where the driver is measured for its Thiele-Small parameters.
enum class TSimSpeakerMount { freeAir, addedMass, box };

// Thiele-Small parameters of the driver as mounted.
struct TSimThieleSmall {
    double fs;     // resonance, Hz
    double qms;    // mechanical Q
    double qes;    // electrical Q
    double qts;    // total Q
    double vasL;   // equivalent volume of the driver's own compliance Cms, litres
    double mmsG;   // moving mass as mounted (with an added mass), g
    double cmsMmN; // compliance as mounted (in series with the box), mm/N
};

// Electrical impedance of the driver as set (added mass and box included) at f (Hz), ohm:
// Re + j w Le + Bl^2 / (Rms + j w Mms + 1/(j w Cms)).
std::complex<double> simSpeakerImpedance(const TSimSpeakerSpec& spec, double f);
// Voltage across the driver relative to the generator voltage: Z / (Z + Rs).
std::complex<double> simSpeakerDivider(const TSimSpeakerSpec& spec, double f);
// Thiele-Small parameters for a mount: free air ignores the added mass and the box, added
// mass ignores the box, box includes both.
TSimThieleSmall simThieleSmall(const TSimSpeakerSpec& spec, TSimSpeakerMount mount);
