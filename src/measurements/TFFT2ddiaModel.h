// What the FFT settings dialog edits, the option word that shapes it, and its small rules.
#pragma once

#include "analysis/AnalysePara.h"

#include <QString>
#include <QStringList>
#include <cstdint>

// The dialog's fields, copied from and back into the FFT settings.
struct TFFT2ddiaData {
    int32_t samplesFFT = 4096;       // transform size
    int32_t dFFTwin = 2;             // window kind 0..8
    int32_t dsbefore = 0;            // samples shown before the impulse
    double dfft3Dstepping_ms = 0.0;  // time step between 3D slices, ms
    bool dnextcurve = false;         // "New curve / meas."
    bool dnahConti = false;          // "Continuous"
    bool drefmess = false;           // "Reference"
    bool dips2Ch = false;            // "2 Ips Channels"
    bool d2isPhase = false;          // "2. curve is phase"
    bool d2isGD = false;             // "2. curve is group delay"
    bool dasyncIps = false;          // "external impulse"
    bool dMLSAuto = false;           // "Ips auto recognition (MLS)"
    int32_t dsamplef = 48000;        // input sample rate, Hz
    int32_t dMeasMode = 1;           // measuring mode (1, or 12 with "VU Meter")
};

// Option word bits: what the dialog shows for a mode.
enum : int32_t {
    fdo3DStepping = 1 << 0,
    fdoNextCurve = 1 << 1,
    fdoContinuous = 1 << 2,
    fdoReference = 1 << 3,
    fdoSamplesBefore = 1 << 4,
    fdoIps2Ch = 1 << 5,
    fdoPhaseGD = 1 << 6,
    fdoWindow = 1 << 7,
    fdoExternal = 1 << 8,
    fdoMLSAuto = 1 << 9,
    fdoImpulseSignal = 1 << 10
};

constexpr int32_t kFFTSizeMin = 64;
constexpr int32_t kFFTSizeMax = 1048576;

// The option word of a measuring mode; modeR is the generator's mode (5, 6, 7: impulse signals).
int32_t FFTDialogOptions(int32_t mode, int32_t modeR);
// Help topic of the dialog: 43 with the 3D stepping control, else 41.
int32_t FFTDialogHelpTopic(int32_t options);
// The fifteen sizes 64..1048576 as texts, and a stored size cut to the largest.
QStringList FFTSizeItems();
int32_t ClampFFTSize(int32_t size);
// The nine window names in kind order.
QStringList FFTWindowItems();
// "Resolution:" text: rate / size "%1.2f" + " Hz".
QString FFTResolutionText(int32_t rate, int32_t size);
// One click of the 3D stepping control: +-one sample period (ms), never below one period.
double Step3D(double ms, int32_t rate, int direction);
// "2 Ips Channels" is checked exactly when neither phase nor group delay is the second curve.
void FixSecondCurve(TFFT2ddiaData& d, bool phaseClicked);

TFFT2ddiaData FFTDialogDataFrom(const cFFTdat& fft, int32_t mode, int32_t sampleRate);
// Copies everything back, the size clamped; returns the mode (1 or 12).
int32_t FFTDialogDataTo(const TFFT2ddiaData& d, cFFTdat& fft);
