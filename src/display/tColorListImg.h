// The legend of a diagram: up to five lines of two coloured columns.
#pragma once

#include "display/TTextStamp.h"
#include "display/diaTypes.h"

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

class QPainter;

// Each line is split at its first `sep` into a left and a right text. A left text containing
// "left" takes LeCol, every other text RiCol. GUI thread only.
class tColorListImg {
public:
    tColorListImg();
    // New content; returns whether the number of laid-out lines changed. More than five lines
    // are not laid out (lines becomes 0).
    bool setContent(const QStringList& List, TColorBGR Lcol, TColorBGR Rcol);
    // Width (left + right + 12) and height (lines x (height of "ygH" + 1)).
    QSize size() const;
    // Draws the legend with its top-left corner at (x, y) on the given background, from a
    // picture kept while texts, colours, font, background and device resolution stay the same
    // (the pixels drawing it anew would give).
    void paint(QPainter& p, int x, int y, TColorBGR background) const;
    void setFontSize(int pt);
    // Shrinks the font from the size asked for (down to 6 pt) until the legend is at most
    // maxWidth pixels wide, so long result lines stay inside the diagram.
    void fitWidth(int maxWidth);

    void measure(); // column widths and line height in the current font

    QStringList Llist, Rlist; // left and right column texts
    QChar sep = u'|';          // column separator of a line
    int Ty = 0;               // line height, pixels
    TColorBGR RiCol = 0, LeCol = 0;
    int maxL = 0, MaxR = 0;   // column widths, pixels
    int lines = 0;            // lines laid out
    QFont font;               // "arial"
    int prefPt = 8;           // font size asked for, points (fitWidth may draw smaller)

private:
    struct TMeasured {
        QFont font;
        int maxL, MaxR, Ty;
    };
    std::vector<TMeasured> m_measured; // measure() of the current texts per font tried
    mutable std::vector<TTextStamp> m_stamps; // left and right text of each line, shaped once
    void paintLines(QPainter& p, TColorBGR background) const;
    struct TPictureKey {
        QStringList L, R;
        TColorBGR left = 0, right = 0, background = 0;
        QFont font;
        int dpiX = 0, dpiY = 0;
    };
    mutable QImage m_picture;        // the legend as paint() draws it
    mutable TPictureKey m_pictureOf; // what the picture shows
};
