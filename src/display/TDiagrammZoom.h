// Zooming a diagram: the range maths, the stored range zooming returns to, and the axis end labels.
#pragma once

#include "display/diaTypes.h"

#include <array>
#include <cstdint>

// One axis limit a click on its end label edits.
enum class TAxisLimit : uint8_t { None, XMin, XMax, YMax, YMin };

// Where an axis end label was hit: which limit, and for y limits the group.
struct TAxisHit {
    TAxisLimit limit = TAxisLimit::None;
    int32_t group = -1; // y group 0..11 (y limits only)
    bool operator==(const TAxisHit&) const = default;
};

// A range lo..hi.
struct TRange {
    double lo = 0.0, hi = 0.0;
    bool operator==(const TRange&) const = default;
};

// The limits set before the first zoom step: double click returns to them, and the settings
// keep them (a zoom is a look, not a new setting).
struct TZoomHome {
    TRange x;
    std::array<TRange, kDiaCurves> y{};
};

// lo..hi scaled by factor around pivot (factor < 1 zooms in): pivot keeps its relative place.
// A logarithmic axis scales ln(x). Unusable input (log with lo <= 0, factor <= 0) returns the
// range.
TRange zoomRange(TRange r, double pivot, double factor, bool log);

// A zoomed-out range never reaches beyond home: at home's span or wider it is home exactly,
// otherwise it is moved inside home keeping its span (in ln for a log axis).
TRange clampToHome(TRange r, TRange home, bool log);

// Zoom factor of one wheel step (120 eighths of a degree) towards the pointer.
constexpr double kWheelZoomStep = 0.8;
// Smallest box, pixels each way, that zooms; a smaller drag is a click.
constexpr int32_t kMinZoomBox = 5;
