// One line of text drawn the way QPainter::drawText(rect, flags, text) draws it, with its
// shaping kept between paints.
#pragma once

#include <QFont>
#include <QString>
#include <Qt>
#include <memory>

class QPainter;
class QRect;
class QTextLayout;

// Shaping a text is most of what drawing it costs; a diagram draws the same caption, logo and
// legend texts frame after frame. A stamp lays its text out once and draws the laid-out line
// until the text, the painter's font, its layout direction or the device resolution changes.
// The pixels are those of drawText for a single line (tabs and carriage returns drawn as
// blanks, clipped to the rectangle when the text does not fit); text with line breaks, flags
// beyond the alignment or a right-to-left painter go to drawText itself. GUI thread only.
class TTextStamp {
public:
    TTextStamp();
    ~TTextStamp();
    // A copy starts without a layout: it is only a cache.
    TTextStamp(const TTextStamp&);
    TTextStamp& operator=(const TTextStamp&);

    void draw(QPainter& p, const QRect& r, int flags, const QString& text);

private:
    static bool drawable(int flags, const QString& text);
    void layOut(QPainter& p, const QString& text);

    QString m_text;                        // the text as given
    QFont m_font;                          // painter font it was laid out in
    int m_dpiX = 0, m_dpiY = 0;            // device resolution it was laid out for
    Qt::LayoutDirection m_dir = Qt::LayoutDirectionAuto; // painter's direction it was laid out for
    std::unique_ptr<QTextLayout> m_layout; // one line, or null before the first draw
};
