// Small types and constants shared by the diagram model, its curves and its windows.
#pragma once

#include "analysis/AnalysePara.h" // enumYvalueTyp, edBModi, enumOpTyp, eSampleMode

#include <QColor>
#include <cstdint>

// A colour as the settings files store it: 0x00BBGGRR.
using TColorBGR = uint32_t;

// 0x00BBGGRR to a Qt colour and back (alpha dropped).
inline QColor bgrToQColor(TColorBGR c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
inline TColorBGR qColorToBgr(const QColor& c)
{
    return TColorBGR(c.red()) | (TColorBGR(c.green()) << 8) | (TColorBGR(c.blue()) << 16);
}

// Y-axis modes of a diagram: as measured, 0 dB at 1 kHz, 0 dB at the maximum.
enum enumYaxisMode : uint8_t { eYAMnormal, eYAM0db1kHz, eYAM0dbmaxV };

// One point in data units.
struct TFpoint {
    double x = 0.0;
    double y = 0.0;
};

// A resampled curve value that means "no data at this x" (dB and linear curves alike).
constexpr double kDiaNoData = -192.0;
// What the resampler yields when it finds no source value for a column.
constexpr double kDiaNotFound = -195.0;
// Peak-hold start value of a dB-valued curve (linear curves start at 0).
constexpr double kDiaPeakClearDB = -1000.0;

constexpr int kDiaCurves = 12;     // curve slots and y groups of one diagram
constexpr int kDiaUserCurves = 8;  // slots 0..7 the user sees as curve panels

// dB-valued kinds: edBFS..edBSPL, eddB, eSone; all others are linear.
inline bool isDBvalued(enumYvalueTyp k) { return int(k) < 5 || k == eddB || k == eSone; }

// Pen style of a curve: solid, dashed, dotted, dash-dot, dash-dot-dot (stored as 0..4).
inline Qt::PenStyle lineModeToPenStyle(int32_t m)
{
    switch (m) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}
