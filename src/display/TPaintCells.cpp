// The cells a repaint drew into.
#include "display/TPaintCells.h"

#include <algorithm>

void TPaintCells::reset(int w, int h)
{
    m_w = std::max(w, 0);
    m_h = std::max(h, 0);
    m_cols = (m_w + kCellW - 1) / kCellW;
    m_rows = (m_h + kCellH - 1) / kCellH;
    m_cells.assign(size_t(m_cols) * size_t(m_rows), 0);
    m_any = false;
}

void TPaintCells::mark(const QRect& r)
{
    const QRect in = r.intersected(QRect(0, 0, m_w, m_h));
    if (in.isEmpty())
        return;
    const int c0 = in.left() / kCellW, c1 = in.right() / kCellW;
    const int r0 = in.top() / kCellH, r1 = in.bottom() / kCellH;
    for (int row = r0; row <= r1; ++row)
        std::fill_n(m_cells.begin() + ptrdiff_t(row) * m_cols + c0, c1 - c0 + 1, uint8_t(1));
    m_any = true;
}

bool TPaintCells::touches(const QRect& r) const
{
    const QRect in = r.intersected(QRect(0, 0, m_w, m_h));
    if (!m_any || in.isEmpty())
        return false;
    const int c0 = in.left() / kCellW, c1 = in.right() / kCellW;
    for (int row = in.top() / kCellH; row <= in.bottom() / kCellH; ++row)
        for (int c = c0; c <= c1; ++c)
            if (m_cells[size_t(row) * size_t(m_cols) + size_t(c)])
                return true;
    return false;
}

void TPaintCells::unite(const TPaintCells& other)
{
    if (other.m_w != m_w || other.m_h != m_h) {
        if (other.m_any)
            mark(QRect(0, 0, m_w, m_h)); // another image: everything counts
        return;
    }
    for (size_t i = 0; i < m_cells.size(); ++i)
        m_cells[i] |= other.m_cells[i];
    m_any = m_any || other.m_any;
}

QRegion TPaintCells::region() const
{
    if (!m_any)
        return {};
    // Runs of each row as rectangles in y-x order: every rectangle of a band has the band's
    // height, and runs do not touch, which is the form QRegion keeps.
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> runs, last; // [first, last] cell of each run
    int bandTop = 0, bandRows = 0;
    auto flush = [&] {
        const int top = bandTop * kCellH;
        const int bottom = std::min(m_h, (bandTop + bandRows) * kCellH);
        for (const auto& [a, b] : last)
            rects.emplace_back(a * kCellW, top, std::min(m_w, (b + 1) * kCellW) - a * kCellW, bottom - top);
    };
    for (int row = 0; row < m_rows; ++row) {
        runs.clear();
        const uint8_t* c = m_cells.data() + size_t(row) * size_t(m_cols);
        for (int i = 0; i < m_cols;) {
            if (!c[i]) {
                ++i;
                continue;
            }
            int j = i;
            while (j + 1 < m_cols && c[j + 1])
                ++j;
            runs.emplace_back(i, j);
            i = j + 1;
        }
        if (bandRows > 0 && runs == last) {
            ++bandRows;
            continue;
        }
        if (bandRows > 0)
            flush();
        last = runs;
        bandTop = row;
        bandRows = 1;
    }
    if (bandRows > 0)
        flush();
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}
