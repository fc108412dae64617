// Where a repaint drew: a coarse grid of cells over the diagram's image.
#pragma once

#include <QRect>
#include <QRegion>

#include <cstdint>
#include <vector>

// Cells of kCellW x kCellH pixels over an image, each marked when a paint drew into it. A
// diagram marks what its curves touch, so that the next repaint puts back only those cells of
// the kept axes and the window updates only them. Plain data; GUI thread only.
class TPaintCells {
public:
    static constexpr int kCellW = 32, kCellH = 16;

    // No cell marked, over an image of w x h pixels.
    void reset(int w, int h);
    // Marks every cell that r touches inside the image.
    void mark(const QRect& r);
    // Marks the cells of another grid over an image of the same size.
    void unite(const TPaintCells& other);

    bool any() const { return m_any; }
    // Whether a marked cell touches r.
    bool touches(const QRect& r) const;
    int width() const { return m_w; }
    int height() const { return m_h; }
    // The marked cells as a region, clipped to the image: per row of cells the runs of marked
    // cells, rows with the same runs joined.
    QRegion region() const;

private:
    int m_w = 0, m_h = 0;       // image size, pixels
    int m_cols = 0, m_rows = 0; // cells across and down
    bool m_any = false;
    std::vector<uint8_t> m_cells; // row by row, 1 = marked
};
