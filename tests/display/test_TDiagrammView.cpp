// Tests of the diagram widget: layout on resize, its edit and buttons, mouse hand-over.
#include "display/ui/TDiagrammView.h"

#include "../support/toneSpectrum.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QDir>
#include <QTest>
#include <QWheelEvent>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

void app()
{
    static int argc = 1;
    static char name[] = "test_TDiagrammView";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QApplication(argc, argv); // lives until the process ends
}

class TDiagrammViewTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

// The visible tool button whose geometry lies inside r.
QToolButton* buttonIn(TDiagrammView& v, const QRect& r, Qt::ArrowType arrow)
{
    for (QToolButton* b : v.findChildren<QToolButton*>())
        if (b->isVisible() && r.contains(b->geometry()) && b->arrowType() == arrow)
            return b;
    return nullptr;
}

QRect rectOf(const TDiaButton& b) { return QRect(b.left, b.top, b.width, b.height); }

} // namespace

TEST_F(TDiagrammViewTest, ResizeLaysOutTheModelAndPlacesWidgets)
{
    TDiagrammView v;
    v.resize(700, 400);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    EXPECT_EQ(v.dia().width(), 700);
    EXPECT_EQ(v.dia().height(), 400);
    EXPECT_EQ(v.dia().getBitmap().size(), QSize(700, 400));
    auto* edit = v.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->geometry(), v.dia().remEditRect());
    EXPECT_NE(buttonIn(v, v.dia().scrollLFRect(), Qt::LeftArrow), nullptr);
    EXPECT_NE(buttonIn(v, v.dia().scrollHFRect(), Qt::RightArrow), nullptr);
    v.resize(20, 400); // the layout keeps at least 50 pixels
    QApplication::processEvents();
    EXPECT_EQ(v.dia().width(), 50);
    v.grab().save("/tmp/dia-view-narrow.png");
}

TEST_F(TDiagrammViewTest, ButtonsAndEditReachTheModel)
{
    TDiagrammView v;
    v.resize(700, 400);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    TDiagramm& d = v.dia();
    d.setxSkalalog(true);
    d.setX_minX_Max(20000.0, 20.0);
    QToolButton* up = buttonIn(v, rectOf(d.group(0)->SButUpper), Qt::UpArrow);
    ASSERT_NE(up, nullptr);
    const double ymax = d.Y1_max();
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_GT(d.Y1_max(), ymax);
    QToolButton* lower = buttonIn(v, rectOf(d.group(0)->SButLower), Qt::DownArrow);
    ASSERT_NE(lower, nullptr);
    const double ymin = d.Y1_min();
    QTest::mouseClick(lower, Qt::LeftButton);
    EXPECT_LT(d.Y1_min(), ymin);
    QToolButton* hfUp = buttonIn(v, d.scrollHFRect(), Qt::RightArrow);
    ASSERT_NE(hfUp, nullptr);
    QTest::mouseClick(hfUp, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(d.X_max(), 25000.0);
    auto* edit = v.findChild<QLineEdit*>();
    edit->setFocus();
    edit->setText("new remark");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(d.Rem_1(), "new remark");
    v.grab().save("/tmp/dia-view.png");
    // The compact layout hides the remark and every upper y button.
    d.setDia2Up(true);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(buttonIn(v, rectOf(d.group(0)->SButUpper), Qt::UpArrow), nullptr);
}

TEST_F(TDiagrammViewTest, MousePressesReachTheModelAndAreSignalled)
{
    TDiagrammView v;
    v.resize(600, 350);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    QSignalSpy left(&v, &TDiagrammView::leftClicked);
    QSignalSpy right(&v, &TDiagrammView::rightClicked);
    int modelClicks = 0;
    v.dia().OnRightMouseButClick = [&] { ++modelClicks; };
    v.dia().setCrossHair(false); // the measuring modes' read-out starts at a press
    const QPoint p = v.dia().Diareci().center();
    QTest::mouseClick(&v, Qt::LeftButton, {}, p);
    EXPECT_EQ(left.count(), 1);
    EXPECT_EQ(v.dia().curposX, p.x()); // the read-out starts at the press
    QTest::mouseClick(&v, Qt::RightButton, {}, p);
    EXPECT_EQ(right.count(), 1);
    EXPECT_EQ(modelClicks, 1);
    EXPECT_EQ(v.dia().curposX, -1); // the right button clears it
    v.dia().setFreq_m(true);
    QTest::mouseClick(&v, Qt::LeftButton, {}, p);
    QTest::mouseMove(&v, p + QPoint(40, 0));
    EXPECT_EQ(v.dia().cursorKind(), 1);
    EXPECT_EQ(v.dia().curposXn, p.x() + 40);
}

// The view shows the diagram's picture wherever it paints, however tall the part asked for:
// a whole window, and a region of a tall band and a short one (nothing outside it touched).
TEST_F(TDiagrammViewTest, PaintsThePictureWhereAsked)
{
    TDiagrammView v;
    v.resize(700, 400);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    v.dia().setRem2({"Level: -6.02 dBV|left"});
    const QImage& picture = v.dia().getBitmap();
    QRegion covered; // where the edit and buttons hide the picture
    for (QWidget* w : v.findChildren<QWidget*>())
        if (w->isVisible())
            covered += w->geometry();
    auto check = [&](const QImage& got, const QRegion& asked, const char* what) {
        int wrong = 0, touched = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x) {
                const QPoint pt(x, y);
                if (covered.contains(pt))
                    continue;
                if (asked.contains(pt))
                    wrong += got.pixel(pt) != picture.pixel(pt);
                else
                    touched += got.pixel(pt) != qRgb(1, 2, 3);
            }
        EXPECT_EQ(wrong, 0) << what;
        EXPECT_EQ(touched, 0) << what;
    };
    QImage whole(v.size(), QImage::Format_RGB32);
    whole.fill(qRgb(1, 2, 3));
    v.render(&whole);
    check(whole, QRegion(v.rect()), "whole window");
    const QRegion part = QRegion(100, 20, 300, 330) + QRegion(450, 300, 40, 10);
    QImage some(v.size(), QImage::Format_RGB32);
    some.fill(qRgb(1, 2, 3));
    v.render(&some, part.boundingRect().topLeft(), part); // the region stays where it is
    check(some, part, "two bands");
}

// The everyday tools through real input events on a distorted 1 kHz tone: the crosshair snapped
// on the third harmonic with harmonic markers, the wheel zooming around the pointer and a double
// click going back, and the x max label typed. Pictures of the crosshair and a zoomed view are
// written to the temporary folder (dia-crosshair.png, dia-zoomed.png).
TEST_F(TDiagrammViewTest, CrosshairZoomAndLimitEditorThroughEvents)
{
    TDiagrammView v;
    v.resize(900, 420);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    TDiagramm& d = v.dia();
    d.setColor_Diagram(0xFFFFFF);
    d.setColor_Grid(0xE0E0E0);
    d.group(0)->Fymax = 10.0;
    d.group(0)->Fymin = -160.0;
    d.group(0)->fEinh = "dBFS";
    const auto [x, y] =
        toneSpectrum({{1000.0, 0.5}, {2000.0, 0.004}, {3000.0, 0.002}, {5000.0, 0.0005}});
    d.SetdataPointer(y, x, false, 0);
    d.setCurveName(0, "left");
    d.curve(0)->Fcvis = true;
    d.setHarmMarks(true);
    v.relayout();
    const int py = d.Diareci().top() + 40;
    QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(int(std::lround(d.XtoPix(1000.0))) - 2, py));
    ASSERT_TRUE(d.readoutRef()); // the reference on the fundamental
    QTest::mouseMove(&v, QPoint(int(std::lround(d.XtoPix(3000.0))) + 2, py));
    ASSERT_TRUE(d.readout().snapped);
    EXPECT_NEAR(d.readout().dX, 2000.0, kBin);
    EXPECT_NEAR(d.readout().x, 3000.0, kBin);
    EXPECT_EQ(d.readout().harmonics.size(), 8u); // 2 .. 9 kHz
    v.grab().save(QDir::temp().filePath("dia-crosshair.png"));

    const QPoint at(int(std::lround(d.XtoPix(1000.0))), d.Diareci().center().y());
    const double under = d.PixToX(at.x()), xmin = d.X_min(), xmax = d.X_max();
    for (int k = 0; k < 8; ++k) {
        QWheelEvent wheel(at, v.mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&v, &wheel);
    }
    QWheelEvent yWheel(at, v.mapToGlobal(at), {}, {0, 240}, Qt::NoButton, Qt::ShiftModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(&v, &yWheel);
    EXPECT_NEAR(d.PixToX(at.x()), under, under * 1e-9);
    EXPECT_LT(d.X_max() / d.X_min(), 1000.0 * 0.2);
    EXPECT_GT(d.group(0)->Fymin, -160.0);
    QTest::mouseMove(&v, at + QPoint(3, -100));
    v.grab().save(QDir::temp().filePath("dia-zoomed.png"));
    QTest::mouseDClick(&v, Qt::LeftButton, {}, at);
    EXPECT_EQ(d.X_min(), xmin);
    EXPECT_EQ(d.X_max(), xmax);
    EXPECT_EQ(d.group(0)->Fymin, -160.0);

    const QRect label = d.axisLabelRect({TAxisLimit::XMax, -1});
    QTest::mouseClick(&v, Qt::LeftButton, {}, label.center());
    ASSERT_TRUE(v.limitEditor()->isVisible());
    v.limitEditor()->selectAll();
    QTest::keyClicks(v.limitEditor(), "5000");
    QTest::keyClick(v.limitEditor(), Qt::Key_Return);
    EXPECT_FALSE(v.limitEditor()->isVisible());
    EXPECT_EQ(d.X_max(), 5000.0);
}
