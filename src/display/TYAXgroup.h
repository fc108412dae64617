// One y axis of a diagram: limits, grid step, unit and its label column.
#pragma once

#include "display/diaTypes.h"

#include <QString>
#include <cstdint>

// The up/down button pair of a y axis end (range -32000..32000, tag = group index). The model
// only keeps where it is and whether it shows; the window puts a real button there.
struct TDiaButton {
    int32_t left = 0, top = 0, width = 0, height = 0; // pixels in the diagram
    bool visible = false;
    bool enabled = true;
    int32_t tag = 0;
};

// A y-axis group of TDiagramm. Values in the unit fEinh; pixels per unit set by the layout.
class TYAXgroup {
public:
    explicit TYAXgroup(int32_t index = 0);
    // Sets the grid step and the label decimals that go with it (step < 1e-6 -> 7 ... >= 1 -> 0).
    void setYteil(double step);

    int32_t FGroup = 0;         // index 0..11
    char FgroupN = 'A';         // 'A' + index
    double Fyteil = 10.0;       // grid step, y units
    int32_t Fyko = 0;           // decimals of the labels
    bool FyScalog = false;      // logarithmic axis
    QString fEinh = "filliDB";  // unit text
    bool merk = false;          // reference (y-axis mode) taken in this paint
    double Fymax = 0.0;         // top of the axis
    double Fymin = -100.0;      // bottom of the axis
    TDiaButton SButUpper;       // moves Fymax
    TDiaButton SButLower;       // moves Fymin
    int32_t xpos = 0;           // right edge of the label column, pixels
    bool Fyaxisvis = false;     // drawn (default: group 0 only)
    TColorBGR Fcolor = 0;       // colour of the lowest curve slot drawn against it
    double GPixYPdat = 1.0;     // pixels per y unit
    double FyOffDyn = 0.0;      // dynamic reference offset of the y-axis modes
    double FyoffStat = 0.0;     // static label offset
    double FyfakStat = 1.0;     // static label factor
};
