// Microphone calibration files: frequency response (and sensitivity) of a measuring microphone as the input correction.
#pragma once

#include "dsp/columnText.h"
#include "dsp/corObj.h"

#include <QString>
#include <optional>

// A microphone calibration file: columns frequency (Hz), dB and optionally phase, comment
// lines starting with '*' or '"', and optionally a sensitivity line (see FindMicSensitivity).
struct TMicCalibrationFile {
    TColumnTable table;                          // the points
    std::optional<TMicSensitivity> sensitivity;  // from a comment or header line
};

// Reads `path`; false with "<file>: <reason>" in *error when it is no column file.
bool ReadMicCalibration(const QString& path, TMicCalibrationFile& out, QString* error = nullptr);

// True when `path` is a column file that a plain correction file (one "x<sep>y" pair per line)
// reader cannot take: one with comment, header or sensitivity lines, or one without the
// separator `sep` anywhere; *out then holds it.
bool IsForeignColumnFile(const QString& path, char sep, TMicCalibrationFile& out);

// The input correction of a microphone file: its points, raised by a dB sensitivity factor
// (a microphone X dB more sensitive reads X dB high, and the correction subtracts it),
// interpolated linearly, subtracting (applDir +1) and active. A sensitivity in mV/Pa is not
// part of the curve: it belongs to the calibration record.
void MicCorrection(const TMicCalibrationFile& f, Tcorri& cor);

// The calibration's microphone sensitivity the file offers, mV/Pa; none without an mV/Pa line.
std::optional<double> OfferedMicSensitivity(const TMicCalibrationFile& f);
