// The sweep's settings record, its INI section "WOB", and the frequency and timing rules of a step.
#pragma once

#include "dsp/tFilterBlock.h"
#include "soundDLLTypes.h"

#include <QString>
#include <cstdint>

class TMemIniFile;

// Sweep settings. One process-wide instance (ActiveWobDat) holds the settings in force; the
// dialog edits a copy. GUI thread only.
struct Twobdat {
    bool wobAktiv = false;        // the engine is set up (initFreqgen .. closefreqgen)
    bool firstSinOut = false;     // kept for the record's layout
    bool open = false;            // the engine's generator side is open
    bool wobbelnStart = false;    // kept for the record's layout
    bool wobbelnStop = false;     // kept for the record's layout
    bool wobbelnAktiv = false;    // a sweep is running
    bool wobSync = true;          // the program drives the generator; false: it only listens
    bool wobCC = false;           // stored as "wobCC"
    bool wobCCready = false;      // cleared at each synchronous step
    bool woblin = false;          // linear frequency spacing (false: logarithmic)
    bool wobphase = false;        // also measure the phase
    bool nextCurve = false;       // a finished sweep moves on to a new set of curves
    bool waitOn1kHz = false;      // the asynchronous sweep starts after a 1 kHz marker tone
    bool wobconti = false;        // repeat the sweep
    int32_t pause_s = 0;          // pause before a repeated sweep, s
    int32_t totalasyncmess_s = 50; // duration of an asynchronous measurement, s
    int32_t startmess_ms = 100;   // settling time after each frequency change, ms
    int32_t StartTHDmess_ms = 0;  // kept for the record's layout
    int32_t mtime = 100;          // measuring time of the current step, ms
    int32_t wobAnzSteps = 50;     // steps of the running sweep
    int32_t wobSyncSteps = 50;    // steps the user set
    int32_t wobisSteps = 0;       // index of the current point
    double wobisfreq = 20.0;      // frequency of the current step, Hz
    double wobfrom = 20.0;        // start frequency, Hz
    double wobto = 22000.0;       // stop frequency, Hz
    double p1_1khz = 1000.0;      // marker tone of "wait 1kHz", Hz
    double p1_llev = -40.0;       // marker tone: lowest level that counts, dB
    double p1_hlev = 0.0;         // marker tone: highest level, dB
    double p1_thd = 20.0;         // marker tone: lowest frequency the stereo search accepts, Hz
    double pmin = -90.0;          // phase axis, degrees
    double pmax = 90.0;
    double pegdigR = 0.0;         // generator level right, dBFS
    double pegdigL = 0.0;         // generator level left, dBFS
    double Rs = 8.0;              // series resistor of the impedance circuit, ohms
    double Rshunt = 0.1;          // shunt resistor, ohms
    double Ushunt_mV = 10.0;      // shunt voltage, mV
    double thresholdLevel_dB = -50.0; // lowest input level the asynchronous detection takes, dB
    int32_t mSweepMode = 3;       // measuring mode the engine runs in: 3, 6, 7 or 8
    tmRefMess RefMess = mRefStereo; // which channel is the reference
    tmImpMode mImpMode = mImpVar2;  // which channel carries the generator voltage
    bool TrackFilter = false;     // the tracking band-pass follows the step frequency
    tFilterBlock TrackFilterBlock; // the tracking filter
};

// The settings in force (process-wide, GUI thread only).
Twobdat& ActiveWobDat();

// The settings the dialog's "default" button sets, on top of `w` (fields it does not name stay).
void SetWobDefaults(Twobdat& w);
// The tracking filter as it is rebuilt before loading: a band-pass at 20 Hz, 0 dB, Q 2, order 8,
// the other 19 sections off, not bypassed.
void ResetTrackFilter(tFilterBlock& block);

// Section "WOB" with the repair rules (stop 0 -> 20000 Hz, start <= 0.1 Hz -> 20 Hz, 0 steps ->
// 50, a negative pause -> 0, unknown reference or circuit -> the default) and the tracking
// filter under "SweepTrackFilter".
void Sweep_loadWobdatfromFile(Twobdat& w, TMemIniFile& ini);
void Sweep_saveWobdattoFile(const Twobdat& w, TMemIniFile& ini);

// Diagram topic suffix of a reference kind: "RIGHTref", "LEFTref", "STEREOnoref".
QString RefMessName(tmRefMess r);

// ---- the rules of a step -------------------------------------------------------------------

// Frequency of step k of n: linear or logarithmic from `from` to `to`. The logarithmic rule gives
// 666 Hz when n - 1 or from is 0.
double SweepStepFrequency(double from, double to, int32_t n, int32_t k, bool linear);

// Periods per measurement and the bounds of the measuring time of a mode.
struct TSweepTiming {
    int32_t AnzWELL = 20; // periods measured
    int32_t MINTIM = 100; // ms
    int32_t MAXTIM = 100000; // ms
};
// calcMinMaxTime: rate in Hz, samplesFFT the transform size of the mode-7 analysis.
TSweepTiming SweepTimingFor(int32_t mode, int32_t rate, int32_t samplesFFT);
// Measuring time of a step at f Hz, whole ms, within the timing's bounds.
int32_t SweepMeasuringTime_ms(const TSweepTiming& t, double f);
// Block length of a synchronous step as told to the module: rate * 2 * mtime / 1000 samples of
// the interleaved pair, truncated to a multiple of 8. One channel's block is half of it.
int32_t SweepBlockLength(int32_t rate, int32_t mtime_ms);
// The transform size of a distortion step at f Hz (32768, or 4096 above 1500 Hz).
int32_t SweepTHDFFTSize(double f);
// Settling time of mode 7 at f: the transform's duration + 150 ms; other modes keep `startmess_ms`.
int32_t ermiTHDStartmess(int32_t mode, double f, int32_t rate, int32_t startmess_ms, int32_t* ffts);
