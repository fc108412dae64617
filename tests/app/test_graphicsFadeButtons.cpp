// Tests of the gradient push buttons: colour maths, stop texts, gradient pixels, faces, button.
#include "app/ui/graphicsFadeButtons.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// gtest_main owns main(), so the application object is made on first use.
void ensureApp() {
    static int argc = 1;
    static char name[] = "test_graphicsFadeButtons";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

// Pixel of an image as 0x00BBGGRR, for comparing with the colour maths.
uint32_t bgr(const QImage& img, int x, int y) {
    const QRgb p = img.pixel(x, y);
    return uint32_t(qRed(p)) | uint32_t(qGreen(p)) << 8 | uint32_t(qBlue(p)) << 16;
}

// Pixels darker than `limit` (0..255 grey) inside r: where caption text was drawn.
int darkPixels(const QImage& img, const QRect& r, int limit) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(img.pixel(x, y)) < limit ? 1 : 0;
    return n;
}

bool sameStops(const std::vector<TFadeStop>& a, const std::vector<TFadeStop>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].pos != b[i].pos || a[i].color != b[i].color) return false;
    return true;
}

constexpr uint32_t kFormColor = 12639424; // 0xC0DCC0, the main window's colour

} // namespace

// ---- colour maths ------------------------------------------------------------------------------

TEST(FadeColorMath, ScalingTruncatesTheExactValue) {
    // 255 * f: 79.6875, 127.5, 159.375, 239.0625 -> truncated.
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, 0.3125), 0x4F4F4Fu);
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, 0.5), 0x7F7F7Fu);
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, 0.625), 0x9F9F9Fu);
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, 0.9375), 0xEFEFEFu);
    // 192 * 0.9375 = 180 exactly; a naive byte/255*f*255 lands on 179.99999.
    EXPECT_EQ(fadeScaleColor(0xC0C0C0, 0.9375), 0xB4B4B4u);
    EXPECT_EQ(fadeScaleColor(0x123456, 1.0), 0x123456u);
}

TEST(FadeColorMath, ScalingClampsPerChannel) {
    // Red 0x80 doubled clamps at 255, green 0x10 -> 0x20, blue 0x00 stays.
    EXPECT_EQ(fadeScaleColor(0x001080, 2.0), 0x0020FFu);
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, -1.0), 0u);
    EXPECT_EQ(fadeScaleColor(0xFFFFFF, std::nan("")), 0u);
    EXPECT_EQ(fadeScaleColor(0xFF123456, 1.0), 0x123456u) << "the unused top byte is dropped";
}

TEST(FadeColorMath, MixingClampsTheFraction) {
    EXPECT_EQ(fadeMixColor(0x000000, 0xFFFFFF, 0.5), 0x7F7F7Fu); // 127.5
    // 0.75 * 255 = 191.25 red, 0.25 * 255 = 63.75 blue.
    EXPECT_EQ(fadeMixColor(0x0000FF, 0xFF0000, 0.25), 0x3F00BFu);
    EXPECT_EQ(fadeMixColor(0x102030, 0x405060, -3.0), 0x102030u);
    EXPECT_EQ(fadeMixColor(0x102030, 0x405060, 7.0), 0x405060u);
    EXPECT_EQ(fadeMixColor(0x102030, 0x405060, std::nan("")), 0x102030u);
}

TEST(FadeColorMath, TextIsBlueGreenRed) {
    EXPECT_EQ(fadeColorToText(0x0000FF), "0000FF"); // pure red
    EXPECT_EQ(fadeColorToText(0xABCDEF), "ABCDEF");
    EXPECT_EQ(fadeTextToColor("abcdef"), 0xABCDEFu);
    EXPECT_EQ(fadeTextToColor("FF"), 0xFFu);
    for (const char* bad : {"", "1234567", "12 345", "-1", "+1", "0x12", "GG0000", "12345\xFF"})
        EXPECT_FALSE(fadeTextToColor(bad).has_value()) << bad;
    const QColor q = fadeQColor(0x0000FF);
    EXPECT_EQ(q, QColor(255, 0, 0));
}

// ---- stop texts --------------------------------------------------------------------------------

TEST(FadeStops, ResetListAndEmptyText) {
    const auto r = fadeResetStops();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].pos, 0.0f);
    EXPECT_EQ(r[0].color, 0x606060u);
    EXPECT_EQ(r[1].pos, 1.0f);
    EXPECT_EQ(r[1].color, 0xE0E0E0u);
    const TFadeParse p = fadeParseStops("");
    EXPECT_TRUE(p.ok);
    EXPECT_TRUE(sameStops(p.stops, r));
}

TEST(FadeStops, EndsRecolourAndInnerStopsInsertInOrder) {
    const TFadeParse p = fadeParseStops("0.7,000007, 0.0 ,000001,0.3,000003,1.0,00000A");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.stops.size(), 4u);
    EXPECT_EQ(p.stops[0].color, 0x01u);
    EXPECT_FLOAT_EQ(p.stops[1].pos, 0.3f);
    EXPECT_EQ(p.stops[1].color, 0x03u);
    EXPECT_FLOAT_EQ(p.stops[2].pos, 0.7f);
    EXPECT_EQ(p.stops[3].color, 0x0Au);
}

TEST(FadeStops, StopsTooCloseOrOutsideAreIgnored) {
    // 0.995 and 0.005 are outside 0.01..0.99; 0.505 lies within 0.01 of 0.5; 1.5 and -0.2 are
    // out of range. Only 0.5 and 0.52 are inserted, and the text still counts as read.
    const TFadeParse p =
        fadeParseStops("0.5,111111,0.995,222222,0.005,333333,0.505,444444,0.52,555555,1.5,666666,"
                       "-0.2,777777");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.stops.size(), 4u);
    EXPECT_EQ(p.stops[1].color, 0x111111u);
    EXPECT_EQ(p.stops[2].color, 0x555555u);
    EXPECT_EQ(p.stops[3].color, 0xE0E0E0u);
}

TEST(FadeStops, BadTextFallsBackToResetListWithMessage) {
    const std::string huge(kFadeTextMax + 1, '1');
    std::string manyStops; // valid pairs, far too many of them
    while (manyStops.size() <= kFadeTextMax)
        manyStops += "0.5,FFFFFF,";
    manyStops += "0.5,FFFFFF";
    const std::string cases[] = {
        "0.5",            // truncated: position without colour
        "0.5,FFFFFF,",    // trailing comma
        "0.5,FFFFFF,0.6", // last pair cut off
        "abc,FFFFFF",     // position not a number
        "0,5,FFFFFF",     // decimal comma splits the number
        "nan,FFFFFF",
        "inf,FFFFFF",
        "1e999,FFFFFF",
        "0.5,GGGGGG",
        "0.5,1234567",
        "0.5,",
        std::string("0.5,\xC3\x28\xFF\xFE", 8), // broken UTF-8 where a colour belongs
        std::string("0.5\0,FFFFFF", 11),        // embedded NUL
        huge,
        manyStops};
    for (const std::string& c : cases) {
        const TFadeParse p = fadeParseStops(c);
        EXPECT_FALSE(p.ok) << c.substr(0, 40);
        EXPECT_FALSE(p.error.empty());
        EXPECT_TRUE(sameStops(p.stops, fadeResetStops())) << c.substr(0, 40);
        EXPECT_LT(p.error.size(), 120u) << "a bad token must not flood the message";
        for (const char ch : p.error)
            EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "message shows raw bytes: " << p.error;
    }
    EXPECT_NE(fadeParseStops(huge).error.find("too long"), std::string::npos);
}

TEST(FadeStops, FaceStopTextsFromBaseColour) {
    // Hand-computed for 0xC0DCC0 (red 192, green 220, blue 192), truncating each product.
    EXPECT_EQ(fadeReleasedStops(kFormColor),
              "0.0,3C443C,0.1,606E60,0.5,788978,0.9,B4CEB4,1.0,788978");
    EXPECT_EQ(fadePressedStops(kFormColor),
              "0.0,131613,0.1,303730,0.5,485248,0.8,606E60,0.9,525E52,1.0,485248");
    EXPECT_TRUE(fadeParseStops(fadeReleasedStops(kFormColor)).ok);
    EXPECT_EQ(fadeParseStops(fadePressedStops(0xFFFFFF)).stops.size(), 6u);
}

TEST(FadeStops, ColourAtPosition) {
    const auto r = fadeResetStops();
    EXPECT_EQ(fadeColorAt(r, 0.0), 0x606060u);
    EXPECT_EQ(fadeColorAt(r, 1.0), 0xE0E0E0u);
    EXPECT_EQ(fadeColorAt(r, 0.5), 0xA0A0A0u); // (96 + 224) / 2
    EXPECT_EQ(fadeColorAt(r, 1.5), 0u);
    EXPECT_EQ(fadeColorAt(r, -0.1), 0u);
    EXPECT_EQ(fadeColorAt(r, std::nan("")), 0u);
    EXPECT_EQ(fadeColorAt({}, 0.5), 0u);
}

// ---- TColorFadeImage ---------------------------------------------------------------------------

TEST(ColorFadeImage, VerticalGradientRunsFromBottomUp) {
    ensureApp();
    TColorFadeImage img(5, 5);
    img.fadeImage(10, 100, "", false); // reset list, 0x606060 at the bottom
    ASSERT_EQ(img.image().size(), QSize(10, 100));
    EXPECT_EQ(bgr(img.image(), 0, 0), 0xE0E0E0u);  // row 0 = line 100, position 1
    EXPECT_EQ(bgr(img.image(), 9, 50), 0xA0A0A0u); // row 50 = position 0.5
    EXPECT_EQ(bgr(img.image(), 3, 99), 0x616161u); // row 99 = position 0.01: 96 + 1.28
}

TEST(ColorFadeImage, HorizontalGradientRunsLeftToRight) {
    ensureApp();
    TColorFadeImage img(1, 1);
    img.fadeImage(100, 10, "0.0,0000FF,1.0,FF0000", true); // red to blue
    EXPECT_EQ(bgr(img.image(), 0, 5), 0x0000FFu);
    EXPECT_EQ(bgr(img.image(), 50, 0), 0x7F007Fu); // 127.5 each
    EXPECT_EQ(bgr(img.image(), 99, 9), 0xFC0002u); // 2.55 red, 252.45 blue
}

TEST(ColorFadeImage, RefusedTextDoesNotHideALaterGoodOne) {
    ensureApp();
    TColorFadeImage img(4, 4);
    const std::string good = "0.0,000000,0.5,00FF00,1.0,000000";
    ASSERT_TRUE(img.applyFade(good));
    EXPECT_EQ(img.stops().size(), 3u);
    EXPECT_FALSE(img.applyFade("0.5,zz"));
    EXPECT_TRUE(sameStops(img.stops(), fadeResetStops()));
    EXPECT_FALSE(img.fadeError().empty());
    // Re-applying the earlier text must rebuild its stops, not be skipped as unchanged.
    EXPECT_TRUE(img.applyFade(good));
    EXPECT_EQ(img.stops().size(), 3u);
    EXPECT_EQ(img.fade(), good);
    EXPECT_TRUE(img.fadeError().empty());
}

TEST(ColorFadeImage, DegenerateSizesAndWideTextDoNotCrash) {
    ensureApp();
    TColorFadeImage img;
    EXPECT_EQ(img.image().size(), QSize(700, 700));
    img.fadeImage(0, 30, "", false);
    EXPECT_TRUE(img.image().isNull());
    img.centerText("Setup");
    img.fadeImage(-5, -5, "", true);
    img.drawText(3, 3, "x");
    img.fadeImage(1, 1, "0.0,000000,1.0,FFFFFF", false);
    EXPECT_EQ(bgr(img.image(), 0, 0), 0xFFFFFFu); // the only line drawn is position 1
    img.fadeImage(8, 8, "", false);
    img.centerText(QString(200, 'W')); // wider than the image: starts left of it
    EXPECT_EQ(img.image().size(), QSize(8, 8));
}

// ---- TFadeBtn2Images ---------------------------------------------------------------------------

TEST(FadeBtn2Images, RendersOnlyOnRealChanges) {
    ensureApp();
    TFadeBtn2Images f;
    f.setButtonColor(kFormColor);
    const int n = f.renderCount();
    f.setButtonColor(kFormColor);
    f.setTextOn("");
    f.setWidth(f.width());
    EXPECT_EQ(f.renderCount(), n);
    f.setTextOn("Start");
    f.setTextOn("Start");
    EXPECT_EQ(f.renderCount(), n + 1);
    f.setWidth(104);
    f.setHeight(34);
    EXPECT_EQ(f.renderCount(), n + 3);
    EXPECT_EQ(f.getImage(0).image().size(), QSize(100, 30));
    EXPECT_EQ(&f.getImage(7), &f.getImage(1));
    EXPECT_EQ(&f.getImage(-1), &f.getImage(0));
}

TEST(FadeBtn2Images, PressedFaceIsDarkerAndCarriesItsOwnText) {
    ensureApp();
    TFadeBtn2Images f;
    f.setWidth(124);
    f.setHeight(44);
    f.setButtonColor(0xFFFFFF);
    const QImage& up = f.getImage(0).image();
    const QImage& down = f.getImage(1).image();
    EXPECT_EQ(bgr(up, 0, 0), 0x9F9F9Fu);   // position 1: white * 0.625
    EXPECT_EQ(bgr(down, 0, 0), 0x5F5F5Fu); // white * 0.375 = 95.625
    EXPECT_LT(qGray(down.pixel(60, 20)), qGray(up.pixel(60, 20)));
    const QRect centre(30, 5, 60, 30);
    EXPECT_EQ(darkPixels(up, centre, 40), 0);
    f.setTextOff("Setup");
    EXPECT_GT(darkPixels(f.getImage(0).image(), centre, 40), 10) << "caption not drawn";
    EXPECT_EQ(darkPixels(f.getImage(1).image(), centre, 40), 0) << "pressed face has no text";
}

// ---- TFadedButton ------------------------------------------------------------------------------

TEST(FadedButton, NewButtonIsWhiteAndWritesAreFreeWhenUnchanged) {
    ensureApp();
    TFadedButton b("Start");
    EXPECT_EQ(b.buttonColor(), 0xFFFFFFu);
    EXPECT_EQ(b.caption(), "Start");
    EXPECT_EQ(b.text(), "Start");
    const int n = b.faces().renderCount();
    b.setCaption("Start");
    EXPECT_EQ(b.faces().renderCount(), n);
    b.setButtonColor(kFormColor);
    b.setButtonColor(kFormColor);
    EXPECT_EQ(b.faces().renderCount(), n + 1);
    EXPECT_EQ(b.buttonColor(), kFormColor);
}

TEST(FadedButton, GrabShowsFaceCaptionAndPressOffset) {
    ensureApp();
    TFadedButton b("Recalculate");
    b.resize(140, 34);
    b.setButtonColor(kFormColor);
    const QImage up = b.grab().toImage();
    ASSERT_EQ(up.size(), QSize(140, 34));
    const QImage& face = b.faces().getImage(0).image();
    ASSERT_EQ(face.size(), QSize(140, 34));
    for (const QPoint pt : {QPoint(0, 0), QPoint(3, 17), QPoint(139, 33), QPoint(130, 2)})
        EXPECT_EQ(up.pixel(pt), face.pixel(pt)) << pt.x() << "," << pt.y();
    EXPECT_GT(darkPixels(up, QRect(20, 5, 100, 24), 40), 20) << "caption missing";
    EXPECT_EQ(bgr(up, 70, 0), fadeScaleColor(kFormColor, 0.625)) << "top row is the 1.0 stop";

    b.setDown(true);
    const QImage down = b.grab().toImage();
    const QImage& pface = b.faces().getImage(1).image();
    for (const QPoint pt : {QPoint(0, 0), QPoint(3, 17), QPoint(120, 30)})
        EXPECT_EQ(down.pixel(pt + QPoint(1, 1)), pface.pixel(pt)) << pt.x() << "," << pt.y();
}

TEST(FadedButton, DisabledLooksWashedOut) {
    ensureApp();
    TFadedButton b("Sound on");
    b.resize(100, 30);
    b.setButtonColor(0x0000C0);
    const QColor enabled = b.grab().toImage().pixelColor(5, 15);
    b.setEnabled(false);
    const QColor disabled = b.grab().toImage().pixelColor(5, 15);
    const QColor wash = b.palette().color(QPalette::Disabled, QPalette::Window);
    const auto dist = [&](const QColor& c) {
        return std::abs(c.red() - wash.red()) + std::abs(c.green() - wash.green()) +
               std::abs(c.blue() - wash.blue());
    };
    EXPECT_LT(dist(disabled), dist(enabled) / 2);
    b.setEnabled(true);
    EXPECT_EQ(b.grab().toImage().pixelColor(5, 15), enabled);
}

TEST(FadedButton, SetTextFontAndDoubleClick) {
    ensureApp();
    TFadedButton b;
    b.resize(120, 40);
    b.setText("Setup"); // the base-class call, bypassing setCaption()
    b.grab();
    EXPECT_EQ(b.caption(), "Setup");
    EXPECT_EQ(b.faces().textOff(), "Setup");

    const int n = b.faces().renderCount();
    QFont big = b.font();
    big.setPointSize(20);
    b.setFont(big);
    EXPECT_GT(b.faces().renderCount(), n);
    EXPECT_EQ(b.faces().textFont().font.pointSize(), 20);

    QSignalSpy clicked(&b, &QAbstractButton::clicked);
    const QPointF at(20, 20);
    const auto send = [&](QEvent::Type t) {
        QMouseEvent e(t, at, b.mapToGlobal(at), Qt::LeftButton,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&b, &e);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicked.count(), 2) << "the double click's second press was lost";
}

TEST(FadedButton, RowOfColouredButtons) {
    ensureApp();
    struct Spec {
        const char* text;
        uint32_t color;
        bool down;
        int strongest; // 0 red, 1 green, 2 blue: the channel that must dominate the face
    };
    const Spec specs[] = {{"Setup", kFormColor, false, 1},
                          {"Recalculate", 0x00C000, true, 1},
                          {"Sound on", 0x0000E0, false, 0},
                          {"Setup", 0xE08000, true, 2},
                          {"Start", 0x0000E0, true, 0}};
    QWidget w;
    auto* row = new QHBoxLayout(&w);
    std::vector<TFadedButton*> buttons;
    for (const Spec& s : specs) {
        auto* b = new TFadedButton(s.text, &w);
        b->setButtonColor(s.color);
        b->setMinimumSize(110, 36);
        b->setDown(s.down);
        row->addWidget(b);
        buttons.push_back(b);
    }
    w.resize(620, 60);
    const QImage shot = w.grab().toImage();
    if (const char* out = std::getenv("VELMORA_FADE_PICTURE")) shot.save(out);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const QPoint p = buttons[i]->geometry().topLeft() + QPoint(6, 8);
        const QColor c = shot.pixelColor(p);
        const int ch[3] = {c.red(), c.green(), c.blue()};
        for (int k = 0; k < 3; ++k) {
            if (k != specs[i].strongest) {
                EXPECT_GT(ch[specs[i].strongest], ch[k]) << "button " << i;
            }
        }
    }
}
