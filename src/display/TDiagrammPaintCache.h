// What a diagram keeps between two paints so that the next one costs less: the kept axes, where
// the last curves and overlays drew, text measurements, and the painter's scratch buffers.
#pragma once

#include "display/TPaintCells.h"
#include "display/TTextStamp.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <vector>

// Text measurements kept for the font they were taken with: a layout runs several times per
// frame while fonts and most texts stay the same.
struct TTextMetrics {
    QFont font;
    bool valid = false;
    int32_t height = 0, digitWidth = 0;
    QHash<QString, int32_t> widths;

    // The measurements of f (taken anew when the font changed).
    const TTextMetrics& of(const QFont& f);
    // Horizontal advance of s in f, remembered.
    int32_t advance(const QFont& f, const QString& s);
};

// Everything the diagram's painter reuses from one paint to the next. None of it is a setting or
// a result: dropping the whole cache only makes the next paint slower. GUI thread only.
struct TDiagrammPaintCache {
    // Grid indices first..last lie in pixel column `column`.
    struct TColumnSamples {
        int32_t first, last, column;
    };
    // Everything the column table depends on.
    struct TColumnKey {
        uint64_t stamp = 0;
        int32_t a = -1, b = -1, left = 0, right = 0;
        bool xlog = false;
        double xmin = 0.0, xmax = 0.0, logSko = 0.0, pixPfreq = 0.0;
        bool operator==(const TColumnKey&) const = default;
    };
    // A vertical run of a thin line in one pixel column.
    struct TColumnSpan {
        int32_t x, top, bottom;
    };

    // Pixel columns of the x grid for the last drawn index range.
    TColumnKey columnKey;
    std::vector<TColumnSamples> columnSamples;
    bool gridAscends = false; // the grid ascends over columnKey's indices

    // Background, frame, axes and grid of the last paint, and what they were painted from.
    QImage staticImage;
    QByteArray staticKey;
    double staticXteil = 1.0;  // the x label step that paint left
    bool staticKept = false;   // the last paint took the kept axes
    uint64_t staticMade = 0;   // how often staticImage was painted
    QFont keyFont;             // the font whose key staticKey holds
    QString keyFontText;       // its key
    // Outside overAxes and curveCells the image still equals staticImage: the last paint drew
    // nothing else there.
    bool outsideIsStatic = false;
    QRegion overAxes;          // lines, legend, logo and caption of the last paint
    QRegion lastOverAxes;      // and of the paint before
    TPaintCells curveCells;    // what the curves of the last paint drew
    TPaintCells lastCurveCells; // and of the paint before
    bool cellsRestored = false; // the last paint put back only what the one before drew
    std::vector<int32_t> markTop, markBottom; // rows the curves reached per column of cells

    // The kept axes at the caption's place with the caption drawn on: what a paint shows there
    // when nothing else reached the place. For staticImage number captionPatchOf.
    QImage captionPatch;
    uint64_t captionPatchOf = 0;
    QRect captionPatchPlace;

    TTextMetrics metrics, logoMetrics, captionMetrics; // diagram font, logo, caption
    TTextStamp logoStamp, captionStamp; // the logo and the fixed caption, shaped once

    std::vector<QPoint> points;     // a curve's points as drawn
    std::vector<TColumnSpan> spans; // column spans of the thin lines drawn
};
