// Drawing the oscilloscope screen: grid, traces, trigger marker, cursors, info and read-out lines.
#pragma once

#include <QString>

class QPainter;
class QRect;
class TOsziScope;

// The info line: "ch1: 500mV/div  ch2: 500mV/div   5 ms/div  trig.: ch1 + auto" (" X/Y "
// in X-Y mode).
QString OsziInfoText(const TOsziScope& s);
// The read-out line of the shown channels: "ch1: 1417.6 mVpp  501.2 mVrms  1000.00 Hz  ...".
QString OsziReadoutText(const TOsziScope& s);
// Paints the whole screen into r: background, grid (10 x 8 divisions), the traces of the last
// frame at their positions, the trigger level marker and time cursor, the info and read-out
// lines. Traces with more points than twice the width are drawn as a min/max per column.
void PaintTheOszi(QPainter& p, const QRect& r, const TOsziScope& s);
