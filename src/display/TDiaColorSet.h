// The colours of an oscilloscope or time diagram that its colour dialog edits.
#pragma once

#include "display/diaTypes.h"

class TDiagramm;

// Colours (0x00BBGGRR) of a secondary diagram. The curve colour is that of slot 0, the FFT
// line that of the range lines, the echo point that of the extra line, the measure-info text
// that of the diagram text. Plain value type; GUI thread only.
struct TDiaColorSet {
    TColorBGR diagram = 0xFFFFFF; // plot area
    TColorBGR grid = 12632256;    // grid lines
    TColorBGR margin = 12639424;  // margin
    TColorBGR curve = 0xFF0000;   // curve of slot 0
    TColorBGR fftLine = 0x8000;   // FFT range lines
    TColorBGR echoPoint = 255;    // echo point line
    TColorBGR infoText = 0;       // measure-info text

    // What "default" sets: the oscilloscope set (oszi) or the time-diagram set, whose margin
    // is the main window's colour.
    static TDiaColorSet defaults(bool oszi, TColorBGR mainWindowColor);
    static TDiaColorSet fromDiagram(const TDiagramm& dia);
    void applyTo(TDiagramm& dia) const;
};
