// Curve dialog rules: list texts, width and group limits, operand visibility, curve loading.
#include "display/TCurveEdit.h"
#include "display/TcurveExchange.h"

#include <algorithm>

namespace TCurveEdit {

QStringList displayFilterNames() {
    return {"none", "smooth 1/4 octave", "smooth 1/2 octave", "strong smooth", "steps 1/3 octave"};
}

QStringList lineModeNames() {
    return {"solid", "dashed", "dotted", "dash-dot", "dash-dot-dot"};
}

QStringList operationNames() {
    return {"Measure (def.)", "Peak", "Addition", "Subtraction ", "Multiplication", "Division"};
}

QStringList operandNames() {
    QStringList l;
    for (int i = 1; i <= kDiaUserCurves; ++i)
        l << QString::number(i);
    return l;
}

int clampLineWidth(int w) {
    return std::clamp(w, kMinLineWidth, kMaxLineWidth);
}

int stepGroup(int group, int delta) {
    return std::clamp(group + delta, 0, kMaxGroup);
}

QString groupLetter(int group) {
    return QString(QChar('A' + std::clamp(group, 0, kMaxGroup)));
}

TOperandView operandView(int operation) {
    static const char* const kSigns[] = {"+", "-", "*", "/"};
    TOperandView v;
    if (operation == ePeak) {
        v.op1 = v.withText = v.reset = true;
    } else if (operation >= eAddi && operation <= eDivi) {
        v.op1 = v.op2 = true;
        v.sign = kSigns[operation - eAddi];
    }
    return v;
}

bool loadCurveKeeping(Tcurve& c, const QString& path, QString* error) {
    const eCurveFormat f = CurveFormatOfName(path);
    if (f != eCurveFormat::cfCur) return ImportCurve(c, path, f, error);
    Tcurve loaded;
    loaded.copy(c); // phases stay as they were: the file holds none
    QString why;
    loaded.loadfromFile(path, &why);
    if (!why.isEmpty()) {
        if (error) *error = why;
        return false;
    }
    loaded.line = c.line;
    loaded.FColLine = c.FColLine;
    loaded.Fsel = c.Fsel;
    loaded.FileName = path;
    loaded.ValidData = true;
    c.copy(loaded);
    return true;
}

} // namespace TCurveEdit
