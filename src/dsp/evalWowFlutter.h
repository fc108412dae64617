// Wow and flutter of a recorded test tone: the speed deviation of a tape or disc transport,
// read from the frequency modulation of a 3000 Hz or 3150 Hz carrier. Any thread.
#pragma once

#include "dsp/evalLevel.h"

// Test frequency (3000 / 3150 Hz), standard (detector) and mode. Stored as ordinals.
enum eWuFfreq : uint8_t { e3khz, e315khz };
enum eWuFMess : uint8_t { eNab, eJIS, eDINIEC };
enum eWuFModi : uint8_t { eWuF, eWow, eFlutter };

// How wow and flutter is measured.
struct TWowFlutterSettings {
    eWuFfreq carrier = e315khz;  // nominal test frequency
    eWuFMess standard = eDINIEC; // detector
    eWuFModi mode = eWuF;        // wow (below 10 Hz), flutter (above) or both
    bool bandPass = true;        // 4 Hz weighting band-pass (NAB, JIS and DIN/IEC only)
};

// What WowFlutter measured.
struct TWowFlutterResult {
    double dB = 0.0;         // 20*log10 of the reading as a fraction (-192 for a zero reading;
                             // 0 without a carrier)
    double percent = 0.0;    // the reading, % of the nominal carrier
    double drift = 100.0;    // (measured - nominal carrier) / nominal, %; 100 without a carrier
    double carrier = 0.0;    // the nominal carrier, Hz
    bool measured = false;   // a carrier was found and the time signal was long enough
};

// The nominal carrier of a setting, Hz.
double WowFlutterCarrier(eWuFfreq f);

// Evaluates wow and flutter on a copy of timeSignal (full scale +-1, sample rate s.fsampFreq):
// carrier band-pass, FM demodulation, weighting, detector by standard. The spectrum (raw dB per
// bin, s.points points) gives the measured carrier for the drift (FindFundamental with s).
// A missing carrier, or a missing or too short time signal, reads 0 with drift 100.
TWowFlutterResult WowFlutter(const Tsamplemem* spectrum, const Tsamplemem* timeSignal,
                             const TEvalSettings& s, const TWowFlutterSettings& w);
