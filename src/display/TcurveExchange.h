// Curves in the file layouts other measurement programs read and write: FRD, ZMA, CSV and plain text.
#pragma once

#include <QString>

class Tcurve;

// The layouts a curve is saved in and loaded from. cfCur is the program's own curve file.
enum class eCurveFormat { cfCur, cfFRD, cfZMA, cfCSV, cfText };

// The layout a file name asks for by its extension (".frd", ".zma", ".csv", ".txt"; anything
// else is the program's own curve file).
eCurveFormat CurveFormatOfName(const QString& path);

// Writes the curve's points: FRD "frequency dB phase", ZMA "frequency ohm phase" (blank
// separated, '*' comment lines first), CSV with a header row, text with tabs. Numbers carry 10
// significant digits with '.'; the phase (degrees) is written when the curve has one. Points
// whose frequency does not rise, or is 0 or less in FRD and ZMA, or whose value is not finite,
// are left out, so that every reader takes the file. The file
// is replaced atomically. FRD, CSV and text refuse impedance and phase curves, ZMA every
// curve but impedance; false with the reason in *error.
bool ExportCurve(const Tcurve& c, const QString& path, eCurveFormat f, QString* error = nullptr);

// Reads a column file (see ReadColumnText) into c: points, phase (degrees in the file, radians
// in the curve; zeros when the file has none), value kind ohm for ZMA and dB otherwise, name
// from the file name, comment from the first comment line. c's slot, colour and selected flag
// stay. On failure c is left as it was and *error names the file and the line.
bool ImportCurve(Tcurve& c, const QString& path, eCurveFormat f, QString* error = nullptr);
