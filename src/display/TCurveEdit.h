// Rules of the curve dialog that do not need widgets: list texts, limits, operands, loading.
#pragma once

#include "display/Tcurve.h"

#include <QString>
#include <QStringList>

namespace TCurveEdit {

constexpr int kMinLineWidth = 1;          // pixels
constexpr int kMaxLineWidth = 20;         // pixels
constexpr int kMaxGroup = kDiaCurves - 1; // groups 0..11

// List texts, index = stored value.
QStringList displayFilterNames(); // FDFilter 0..4
QStringList lineModeNames();      // FlineMode 0..4
QStringList operationNames();     // Foperation 0..5
QStringList operandNames();       // "1".."8": slot index 0..7

// A line width clamped to 1..20.
int clampLineWidth(int w);
// Group index moved by delta and clamped to 0..11.
int stepGroup(int group, int delta);
// 'A' + group as a one-letter text.
QString groupLetter(int group);

// Which operand controls an operation shows.
struct TOperandView {
    bool op1 = false;      // first operand list
    bool op2 = false;      // second operand list and the sign between them
    bool withText = false; // "with curve(s)"
    bool reset = false;    // "Reset" (peak hold)
    QString sign;          // "+", "-", "*", "/" between the operands ("" otherwise)
};
TOperandView operandView(int operation);

// Loads a curve file (".cur", or by its extension FRD, ZMA, CSV or text: ImportCurve) into c,
// keeping c's slot, colour and selected flag; FileName becomes
// path and ValidData is set. On failure c is left exactly as it was and *error says why.
bool loadCurveKeeping(Tcurve& c, const QString& path, QString* error);

} // namespace TCurveEdit
