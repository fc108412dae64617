// The cells a repaint drew into, and the region the window is told about.
#include "display/TPaintCells.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Whether pixel (x, y) lies in a marked cell, by the cell arithmetic itself.
bool inMarkedCell(const std::vector<QRect>& marked, int x, int y)
{
    const int cx = x / TPaintCells::kCellW, cy = y / TPaintCells::kCellH;
    for (const QRect& r : marked)
        if (cx >= r.left() / TPaintCells::kCellW && cx <= r.right() / TPaintCells::kCellW &&
            cy >= r.top() / TPaintCells::kCellH && cy <= r.bottom() / TPaintCells::kCellH)
            return true;
    return false;
}

} // namespace

// The region holds exactly the pixels of the marked cells inside the image, for images whose
// size is no multiple of the cell size, marks reaching out of the image, and rows of cells
// with the same runs (joined) or different ones.
TEST(TPaintCells, RegionIsTheMarkedCellsInsideTheImage)
{
    std::mt19937 gen(5);
    for (int trial = 0; trial < 40; ++trial) {
        const int w = 40 + int(gen() % 300), h = 20 + int(gen() % 200);
        TPaintCells cells;
        cells.reset(w, h);
        EXPECT_FALSE(cells.any());
        EXPECT_TRUE(cells.region().isEmpty());
        std::vector<QRect> marked;
        const int n = 1 + int(gen() % 12);
        for (int i = 0; i < n; ++i) {
            const QRect r(int(gen() % (w + 40)) - 20, int(gen() % (h + 40)) - 20, 1 + int(gen() % 70),
                          1 + int(gen() % (trial % 2 ? 200 : 10)));
            cells.mark(r);
            if (r.intersects(QRect(0, 0, w, h)))
                marked.push_back(r.intersected(QRect(0, 0, w, h)));
        }
        EXPECT_EQ(cells.any(), !marked.empty());
        for (int k = 0; k < 20; ++k) { // touches() agrees with the region
            const QRect probe(int(gen() % w), int(gen() % h), 1 + int(gen() % 40), 1 + int(gen() % 30));
            EXPECT_EQ(cells.touches(probe), cells.region().intersects(probe)) << "trial " << trial;
        }
        const QRegion region = cells.region();
        for (int y = -2; y < h + 2; ++y)
            for (int x = -2; x < w + 2; ++x) {
                const bool want = x >= 0 && y >= 0 && x < w && y < h && inMarkedCell(marked, x, y);
                ASSERT_EQ(region.contains(QPoint(x, y)), want) << "trial " << trial << " at " << x << "," << y;
            }
        // The region's own operations agree with the rectangles it was built from.
        QRegion slow;
        for (const QRect& r : region)
            slow += r;
        EXPECT_TRUE(slow.xored(region).isEmpty()) << "trial " << trial;
    }
}

TEST(TPaintCells, UniteAddsCellsOfTheSameImageOnly)
{
    TPaintCells a, b, other;
    a.reset(100, 50);
    b.reset(100, 50);
    other.reset(120, 50);
    a.mark(QRect(0, 0, 1, 1));
    b.mark(QRect(99, 49, 1, 1));
    a.unite(b);
    EXPECT_TRUE(a.region().contains(QPoint(0, 0)));
    EXPECT_TRUE(a.region().contains(QPoint(99, 49)));
    EXPECT_FALSE(a.region().contains(QPoint(50, 20)));
    other.mark(QRect(5, 5, 1, 1)); // another size: the whole image counts as drawn
    a.unite(other);
    EXPECT_EQ(a.region(), QRegion(0, 0, 100, 50));
    TPaintCells empty;
    empty.reset(120, 50);
    b.unite(empty); // nothing marked there: nothing added
    EXPECT_FALSE(b.region().contains(QPoint(0, 0)));
}
