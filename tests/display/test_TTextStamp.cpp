// A stamped text line draws the pixels QPainter::drawText draws, for every alignment, clipped
// or not, in the diagram's family and the default one, glyphs of the fallback font included,
// and follows changes of text, font and device. Run under each font set (testFonts.h).
#include "display/TTextStamp.h"

#include "../support/testFonts.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

void app()
{
    const QString why = testFonts::startGuiApp("test_TTextStamp");
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();
}

QImage canvas(const std::function<void(QPainter&)>& paint, QSize size = {520, 60})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 240));
    QPainter p(&img);
    p.setPen(QColor(20, 40, 180));
    paint(p);
    return img;
}

const int kAlignments[] = {
    Qt::AlignLeft | Qt::AlignTop,     Qt::AlignLeft | Qt::AlignVCenter,    Qt::AlignLeft | Qt::AlignBottom,
    Qt::AlignHCenter | Qt::AlignTop,  Qt::AlignHCenter | Qt::AlignVCenter, Qt::AlignHCenter | Qt::AlignBottom,
    Qt::AlignRight | Qt::AlignTop,    Qt::AlignRight | Qt::AlignVCenter,   Qt::AlignRight | Qt::AlignBottom,
    0,
};

} // namespace

TEST(TTextStamp, DrawsWhatDrawTextDraws)
{
    ASSERT_NO_FATAL_FAILURE(app());
    const QString texts[] = {
        QStringLiteral("velmora.audio measurement"),
        QStringLiteral("Level:\tleft Ch. -6.02/500.24[dBV/mV] "), // tab and a trailing blank
        QStringLiteral("  THD @ 997Hz\r&x"),                       // leading blanks, return, ampersand
        QStringLiteral("W\u00e4rme \u00b5V 1/f\u00b2"),
        QStringLiteral("\u2300 12 mm, \u2221 30\u00b0 V"), // glyphs the sans families leave to DejaVu
    };
    std::vector<QFont> fonts; // the default family and the diagram's, as the machine maps them
    for (const QString& family : {QString(), QStringLiteral("Arial")})
        for (int pt : {6, 7, 8, 11, 17})
            for (bool bold : {false, true}) {
                QFont f = family.isEmpty() ? QFont() : QFont(family);
                f.setPointSize(pt);
                f.setBold(bold);
                f.setItalic(pt == 11);
                fonts.push_back(f);
            }
    int cases = 0;
    for (const QString& text : texts)
        for (const QFont& f : fonts)
            for (int flags : kAlignments)
                for (QRect r : {QRect(11, 5, 480, 9), QRect(11, 5, 480, 14), QRect(3, 2, 507, 31),
                                QRect(40, 10, 90, 12)}) { // the last one clips
                    const QImage want = canvas([&](QPainter& p) {
                        p.setFont(f);
                        p.drawText(r, flags, text);
                    });
                    TTextStamp stamp;
                    const QImage got = canvas([&](QPainter& p) {
                        p.setFont(f);
                        stamp.draw(p, r, flags, text);
                    });
                    ASSERT_EQ(got, want) << text.toStdString() << ", " << f.toString().toStdString() << ", flags "
                                         << flags << ", rect " << r.width() << "x" << r.height();
                    ++cases;
                }
    EXPECT_EQ(cases, 5 * 2 * 5 * 2 * 10 * 4);
}

TEST(TTextStamp, FollowsTextFontAndDeviceAndKeepsThePaintersClip)
{
    ASSERT_NO_FATAL_FAILURE(app());
    TTextStamp stamp; // one stamp through every change
    QFont f;
    f.setPointSize(9);
    QFont g = f;
    g.setPointSize(13);
    const QRect r(20, 10, 400, 20);
    const int flags = Qt::AlignRight | Qt::AlignVCenter;
    struct Step {
        QString text;
        QFont font;
        QSize size;
        QRect clip; // the painter's own clip; empty: none
    };
    const Step steps[] = {
        {"Dist: -62.8 dB", f, {520, 60}, {}},
        {"Dist: -62.8 dB", f, {520, 60}, {}},        // unchanged: drawn from the kept layout
        {"Dist: -62.7 dB", f, {520, 60}, {}},        // another text
        {"Dist: -62.7 dB", g, {520, 60}, {}},        // another font
        {"Dist: -62.7 dB", g, {600, 80}, {}},        // another image
        {"Dist: -62.7 dB", g, {520, 60}, {300, 0, 90, 60}}, // cut by the painter's clip
        {"Dist: -62.7 dB and a text too long to fit the rectangle given", g, {520, 60}, {}}, // clipped
        {"two\nlines", g, {520, 60}, {}},            // left to drawText
    };
    for (const Step& s : steps) {
        auto paint = [&](const std::function<void(QPainter&)>& text) {
            return canvas(
                [&](QPainter& p) {
                    p.setFont(s.font);
                    if (!s.clip.isEmpty())
                        p.setClipRect(s.clip);
                    text(p);
                    p.drawLine(0, 0, 519, 59); // what is drawn next has the painter's own clip only
                },
                s.size);
        };
        const QImage want = paint([&](QPainter& p) { p.drawText(r, flags, s.text); });
        const QImage got = paint([&](QPainter& p) { stamp.draw(p, r, flags, s.text); });
        ASSERT_EQ(got, want) << s.text.toStdString() << ", " << s.font.pointSize() << " pt";
    }
    // The same text and font on an image of twice the resolution is laid out afresh.
    QImage plain(520, 60, QImage::Format_RGB32);
    {
        QPainter p(&plain);
        p.setFont(g);
        stamp.draw(p, r, flags, "Dist: -62.7 dB");
    }
    QImage big(1040, 120, QImage::Format_RGB32), bigWant(1040, 120, QImage::Format_RGB32);
    for (QImage* img : {&big, &bigWant}) {
        img->fill(Qt::white);
        img->setDotsPerMeterX(img->dotsPerMeterX() * 2);
        img->setDotsPerMeterY(img->dotsPerMeterY() * 2);
    }
    {
        QPainter p(&bigWant);
        p.setFont(g);
        p.drawText(r, flags, "Dist: -62.7 dB");
    }
    {
        QPainter p(&big);
        p.setFont(g);
        stamp.draw(p, r, flags, "Dist: -62.7 dB");
    }
    EXPECT_EQ(big, bigWant);
}
