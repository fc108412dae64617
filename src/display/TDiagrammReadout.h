// The crosshair read-out of a diagram: where the pointer snaps, every shown curve's level there,
// the difference to a reference marker and the harmonic positions of a fundamental.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class TDiagramm;
class Tcurve;

// One shown curve's value at the read-out's x, in its group's display units (dB, V, ...).
struct TReadoutLevel {
    int32_t slot = 0;   // curve slot 0..11
    double level = 0.0; // what the diagram draws there (factor, offset and y-axis mode applied)
};

// A point the user fixed by a click: x in the diagram's x unit, y in the primary curve's units.
struct TReadoutRef {
    double x = 0.0;
    double y = 0.0;
    int32_t slot = -1; // curve the level belongs to (-1: the pointer's height, no curve)
};

// What the crosshair shows for one pointer position. GUI thread only (reads the display copies
// the last paint left in the curves).
struct TReadout {
    bool valid = false;   // the pointer is over the plot
    int32_t column = 0;   // pixel column of the crosshair (after snapping)
    double x = 0.0;       // x there; a snapped peak gives its source point's x (the bin)
    bool snapped = false; // a peak of the primary curve lay within the snap distance
    int32_t primary = -1; // slot the snap and the reference difference use (-1: none)
    double y = 0.0;       // the primary curve's level (snapped: its source point's value)
    std::vector<TReadoutLevel> levels; // every shown curve, slot order
    std::optional<TReadoutRef> ref;    // the reference marker, when one is set
    double dX = 0.0, dY = 0.0;         // x - ref.x, y - ref.y (with a reference)
    std::optional<double> fundamental; // x of the harmonic markers' fundamental
    std::vector<double> harmonics;     // 2f..9f inside the x range
};

// Pixels either side of the pointer in which the crosshair looks for a peak.
constexpr int32_t kReadoutSnapPixels = 5;

// Computes the read-out at pointer (px, py), image pixels. The primary curve is the shown curve
// whose trace passes nearest to the pointer's height in its column; the crosshair snaps to that
// curve's highest local maximum within kReadoutSnapPixels columns, refined to the source point
// (the FFT bin) that made the column's value. With harmonics, the fundamental is the reference
// marker's x when one is set (so the markers stay put while the pointer visits the harmonics),
// else the highest source point of the first shown curve inside the x range.
TReadout computeReadout(const TDiagramm& dia, int32_t px, int32_t py,
                        const std::optional<TReadoutRef>& ref, bool harmonics);

// The reference a click at (px, py) fixes: the read-out's x and primary level there.
std::optional<TReadoutRef> readoutRefAt(const TDiagramm& dia, int32_t px, int32_t py);

// The read-out as text lines: x with the x unit, then per curve "name: level unit", then the
// reference difference ("d: ... Hz  ... dB").
std::vector<QString> readoutLines(const TDiagramm& dia, const TReadout& r);

// The diagram's crosshair: whether it is the cursor, its options, the reference marker, the
// last read-out and a drag in progress.
struct TCrosshairState {
    bool on = true;                 // the crosshair is the cursor (the measuring modes are off)
    bool harmonics = false;         // harmonic markers at 2f..9f
    std::optional<TReadoutRef> ref; // reference marker
    TReadout readout;               // at the last pointer position inside the plot
    QPoint press{-1, -1};           // where the left button went down (-1: up)
    QRect box;                      // the zoom box being dragged (empty: none)
};
