// Level and distortion figures of a stored FFT curve (the curve analysis tool's computation).
#pragma once

#include "analysis/AnalysePara.h"
#include "display/Tcurve.h"

#include <QString>
#include <QStringList>

// A figure that could not be computed, dB.
constexpr double kCurveAnalysisNoValue = -192.0;

// Outcome of analysing one curve: either an error text or the result lines.
struct TCurveAnalysis {
    bool ok = false;                      // the curve could be analysed
    QString error;                        // why not ("Curve is not from a fft measurement!")
    QStringList notes;                    // the window taken and why, a size that was not used
    QStringList lines;                    // "Level:..." and "Dist.:..." / "S/N:..." as enabled
    double level = kCurveAnalysisNoValue; // band level in the unit's scale
    double distortion_dB = kCurveAnalysisNoValue; // distortion (+ noise) ratio, dB
};

// The message of a curve whose length is not half an FFT size.
inline constexpr char kCurveNotFFTText[] = "Curve is not from a fft measurement!";

// True when 2 * points is a power of two from 64 to 1048576.
bool isFFTCurveLength(int32_t points);
// Unit text of a level unit ("dBFS", "dBV", ..., "Sone"; "" for unknown).
QString curveLevelUnitText(edBModi unit);

// Analyses c (OriY read as a spectrum of 2 * points bins in the curve's dB mode, calibrated as
// the diagram showed it, x from 0 to Sfreq / 2) with copies of the caller's settings: FFT size
// 2 * points, sample rate c.Sfreq, the curve's window (the settings' one when the curve names
// none), the curve's dB mode (the settings' one when the curve's is unknown) and the weighting
// filter of the settings. The values carry the calibration they were measured with, so the
// level is not calibrated again: cal leaves the level as it is. Level line when
// ana.bLevelmess, distortion line when ana.bTHDmess, its fundamental interpolated between bins
// for the window. notes name the window taken and a stored size that was not used.
TCurveAnalysis analyzeCurve(const Tcurve& c, const cFFTdat& fft, const cAnaPara& ana,
                            const TLevelCalibration& cal);
