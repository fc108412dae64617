// Tests of the diagram model: scale tables, layout, pixels of drawn curves, resampling,
// scroll buttons, cursor read-out, text export and settings.
#include "display/TDiagramm.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace {

void app()
{
    static int argc = 1;
    static char name[] = "test_TDiagramm";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QGuiApplication(argc, argv); // lives until the process ends
}

class TDiagrammModel : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

// A curve of n points y = f(x) on x = x0 .. x1 (linear spacing).
template <class F>
void setCurve(TDiagramm& d, int slot, int n, double x0, double x1, F f)
{
    Tsamplemem x(n), y(n);
    for (int i = 0; i < n; ++i) {
        const double xv = x0 + (x1 - x0) * i / (n - 1);
        x.setsmAr(i, xv);
        y.setsmAr(i, f(xv));
    }
    d.SetdataPointer(y, x, false, slot);
    d.curve(slot)->Fcvis = true;
}

// A linear diagram 0..100 on x, -100..0 on y, white plot, one visible curve slot.
void linearSetup(TDiagramm& d, int w = 500, int h = 300)
{
    d.setxSkalalog(false);
    d.setX_minX_Max(100.0, 0.0);
    d.setColor_Diagram(0xFFFFFF);
    d.setColor_Grid(0xE0E0E0);
    d.makdiaVis(0);
    d.newsize(w, -1, h);
}

bool near(QRgb a, QColor b) { return QColor(a) == b; }

// Whether column x holds the colour c within rows y-tol .. y+tol.
bool columnHas(const QImage& img, int x, int y, QColor c, int tol = 1)
{
    for (int yy = y - tol; yy <= y + tol; ++yy)
        if (yy >= 0 && yy < img.height() && near(img.pixel(x, yy), c))
            return true;
    return false;
}

int countColour(const QImage& img, QColor c, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(img.pixel(x, y), c) ? 1 : 0;
    return n;
}

class RecordingService : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        messages.push_back(m);
        return m.defaultButton;
    }
    std::vector<vl::Message> messages;
};

} // namespace

// ---- scale tables ------------------------------------------------------------------------

TEST_F(TDiagrammModel, MakSkalTakesTheFirstStepStrictlyAbove)
{
    int32_t yko = -1;
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 0.0), 1e-8);
    EXPECT_EQ(yko, 8);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 0.01), 0.02);
    EXPECT_EQ(yko, 2);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 6000000.0), 10000000.0);
    EXPECT_EQ(yko, 0);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 5000000.0), 10000000.0);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 1.5e-7), 2e-7);
    EXPECT_EQ(yko, 7);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 0.7), 1.0);
    EXPECT_EQ(yko, 1);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, 12.0), 20.0);
    EXPECT_EQ(yko, 0);
    EXPECT_DOUBLE_EQ(TDiagramm::makSkal(yko, std::nan("")), 10000000.0);
    EXPECT_EQ(TDiagramm::getXKommastellen(0.005), 3);
    EXPECT_EQ(TDiagramm::getXKommastellen(0.05), 2);
    EXPECT_EQ(TDiagramm::getXKommastellen(0.5), 1);
    EXPECT_EQ(TDiagramm::getXKommastellen(5), 0);
}

TEST_F(TDiagrammModel, LogTableAndLabels)
{
    EXPECT_DOUBLE_EQ(TDiagramm::logGridValue(0), 0.0001);
    EXPECT_DOUBLE_EQ(TDiagramm::logGridValue(98), 9000000.0);
    EXPECT_DOUBLE_EQ(TDiagramm::logGridValue(46), 20.0); // 2 x 10^1
    for (int i = 0; i < 98; ++i)
        EXPECT_LT(TDiagramm::logGridValue(i), TDiagramm::logGridValue(i + 1)) << i;
    EXPECT_EQ(TDiagramm::logGridLabel(0), "0.0001");
    EXPECT_EQ(TDiagramm::logGridLabel(3), ""); // 0.0004
    EXPECT_EQ(TDiagramm::logGridLabel(4), "0.0005");
    EXPECT_EQ(TDiagramm::logGridLabel(27), "0.1");
    EXPECT_EQ(TDiagramm::logGridLabel(63), "1k");
    EXPECT_EQ(TDiagramm::logGridLabel(85), "500k");
    EXPECT_EQ(TDiagramm::logGridLabel(94), "5M");
    EXPECT_EQ(TDiagramm::logGridLabel(98), "");
    EXPECT_EQ(TDiagramm::getLogText(63, "Hz"), "1k");
    EXPECT_EQ(TDiagramm::getLogText(64, "m"), "2000");
    EXPECT_EQ(TDiagramm::getLogText(92, "m"), "3000000");
    EXPECT_EQ(TDiagramm::getLogText(45, "m"), "10");
}

// ---- layout and coordinates --------------------------------------------------------------

TEST_F(TDiagrammModel, LayoutMarginsFollowTheFont)
{
    TDiagramm d;
    d.newsize(600, -1, 400);
    const int th = d.textHigh;
    EXPECT_GT(th, 0);
    EXPECT_EQ(d.orand, 5 * th / 2);
    EXPECT_EQ(d.urand, d.anaResultHei + 3 * th / 2);
    EXPECT_EQ(d.rrand, int(std::lround(2.5 * d.charwidth)));
    EXPECT_EQ(d.Diareci().right(), 600 - d.rrand);
    EXPECT_EQ(d.Diareci().bottom(), 400 - d.urand);
    EXPECT_EQ(d.Diareci().left(), d.lrand);
    EXPECT_GE(d.lrand, 38); // one label column of at least 30 + 8 pixels
    EXPECT_EQ(d.Xaxis().samples(), d.Diareci().right() - d.Diareci().left());
    d.setDia2Up(true);
    EXPECT_EQ(d.orand, th / 2 + 1);
    EXPECT_EQ(d.urand, 3 * th / 2 + 26);
    EXPECT_TRUE(d.remEditRect().isEmpty());
    EXPECT_FALSE(d.group(0)->SButUpper.visible);
    EXPECT_FALSE(d.group(0)->SButUpper.enabled);
    EXPECT_TRUE(d.group(0)->SButLower.visible);
}

TEST_F(TDiagrammModel, TooNarrowDiagramPaintsNothing)
{
    TDiagramm d;
    d.setColor_Diagram(0xFFFFFF);
    d.newsize(600, -1, 300);
    ASSERT_TRUE(d.laidOut());
    d.newsize(d.lrand + d.rrand + 2, -1, 300);
    EXPECT_FALSE(d.laidOut());
    const QImage& img = d.getBitmap();
    EXPECT_EQ(countColour(img, Qt::white, img.rect()), 0);
    EXPECT_TRUE(d.scrollLFRect().isEmpty());
}

TEST_F(TDiagrammModel, LinearAndLogCoordinates)
{
    TDiagramm d;
    linearSetup(d);
    const QRect r = d.Diareci();
    EXPECT_DOUBLE_EQ(d.XtoPix(0.0), r.left());
    EXPECT_DOUBLE_EQ(d.XtoPix(100.0), r.right());
    EXPECT_DOUBLE_EQ(d.XtoPix(-5.0), r.left());  // clamped
    EXPECT_DOUBLE_EQ(d.XtoPix(500.0), r.right());
    EXPECT_NEAR(d.PixToX(d.XtoPix(37.0)), 37.0, 1e-9);
    EXPECT_EQ(d.YtoPix(-100.0, *d.group(0)), r.bottom());
    EXPECT_EQ(d.YtoPix(0.0, *d.group(0)), r.top());
    d.setxSkalalog(true);
    d.setX_minX_Max(20000.0, 20.0);
    EXPECT_NEAR(d.XtoPix(20000.0), r.right(), 1e-6);
    EXPECT_NEAR(d.XtoPix(632.455532), (r.left() + r.right()) / 2.0, 1e-3); // geometric middle
    EXPECT_DOUBLE_EQ(d.XtoPix(0.0), r.left());
    EXPECT_NEAR(d.PixToX(r.right()), 20000.0, 1e-6);
    EXPECT_NEAR(d.Xaxis().getsmAr(0), 20.0, 1e-9);
    EXPECT_NEAR(d.Xaxis().getsmAr(d.Xaxis().samples() - 1), 20000.0, 1e-6);
    EXPECT_EQ(d.LogYtoPix(100.0, 1.0, 10.0), r.bottom() - std::lround((r.bottom() - r.top()) * 0.5));
    EXPECT_EQ(d.LogYtoPix(100.0, 1.0, 0.5), r.bottom());
    EXPECT_EQ(d.LogYtoPix(100.0, -1.0, 0.0), r.bottom()); // ymin <= 0 read as 0.0001
    EXPECT_EQ(d.LogYtoPix(100.0, 100.0, 200.0), r.bottom()); // fault: range 0
}

TEST_F(TDiagrammModel, EqualLinearLimitsUseOnePixelPerUnitAndPaint)
{
    TDiagramm d;
    linearSetup(d);
    d.setX_minX_Max(50.0, 50.0);
    EXPECT_DOUBLE_EQ(d.pixPerX(), 1.0);
    ASSERT_TRUE(d.laidOut());
    EXPECT_GT(countColour(d.getBitmap(), Qt::white, d.Diareci()), 1000);
}

// ---- drawn curves on pixels --------------------------------------------------------------

TEST_F(TDiagrammModel, LinearCurvePixelsLieWhereTheCoordinatesSay)
{
    TDiagramm d;
    linearSetup(d);
    setCurve(d, 0, 2001, 0.0, 100.0, [](double x) { return -x * 0.8 - 10.0; });
    d.setColline(0, 0x0000FF); // red
    const QImage& img = d.getBitmap();
    const TYAXgroup& g = *d.group(0);
    for (double x : {5.0, 20.0, 33.3, 50.0, 71.0, 95.0}) {
        const int px = int(std::lround(d.XtoPix(x)));
        const int py = d.YtoPix(-x * 0.8 - 10.0, g);
        EXPECT_TRUE(columnHas(img, px, py, Qt::red)) << "x " << x;
        EXPECT_FALSE(columnHas(img, px, py - 40, Qt::red, 5)) << "x " << x;
    }
    EXPECT_EQ(d.clipBits(0), 0);
}

TEST_F(TDiagrammModel, LogAxisCurveAndClipping)
{
    TDiagramm d;
    d.setColor_Diagram(0xFFFFFF);
    d.makdiaVis(0);
    d.newsize(700, -1, 350);
    // 20 Hz .. 20 kHz on a log axis; a curve at -40 dB rising 6 dB per octave above 1 kHz.
    auto f = [](double x) { return x < 1000 ? -40.0 : -40.0 + 6.0 * std::log2(x / 1000.0); };
    Tsamplemem x(4096), y(4096);
    for (int i = 0; i < 4096; ++i) {
        x.setsmAr(i, i * 24000.0 / 4096);
        y.setsmAr(i, f(i * 24000.0 / 4096));
    }
    d.SetdataPointer(y, x, false, 1);
    d.setcvis(true, true, 1);
    d.setColline(1, 0xFF0000); // blue
    const TYAXgroup& g = *d.group(0);
    for (double fx : {100.0, 500.0, 2000.0, 10000.0}) {
        const int px = int(std::lround(d.XtoPix(fx)));
        EXPECT_TRUE(columnHas(d.getBitmap(), px, d.YtoPix(f(fx), g), Qt::blue, 2)) << fx;
    }
    EXPECT_EQ(d.clipBits(1), 0);
    d.setY1_max(-30.0);
    EXPECT_EQ(d.clipBits(1), 2); // above the top
    d.setY1_max(0.0);
    d.setY1_min(-20.0);
    EXPECT_EQ(d.clipBits(1), 4); // below the bottom
}

TEST_F(TDiagrammModel, CurvesOutsideGroupsOrInvisibleAreNotDrawn)
{
    TDiagramm d;
    linearSetup(d);
    setCurve(d, 2, 200, 0.0, 100.0, [](double) { return -50.0; });
    d.setColline(2, 0x00FF00);
    const QColor green(0, 255, 0);
    EXPECT_GT(countColour(d.getBitmap(), green, d.Diareci()), 100);
    d.curve(2)->Cygroup = 12;
    d.paintNew(true);
    EXPECT_EQ(countColour(d.getBitmap(), green, d.Diareci()), 0);
    d.curve(2)->Cygroup = -1;
    d.paintNew(true);
    EXPECT_EQ(countColour(d.getBitmap(), green, d.Diareci()), 0);
    d.curve(2)->Cygroup = 0;
    d.setcvis(false, true, 2);
    EXPECT_EQ(countColour(d.getBitmap(), green, d.Diareci()), 0);
    d.setcvis(true, true, 2);
    d.clearDiaData(); // nothing drawn until new data arrive
    EXPECT_EQ(countColour(d.getBitmap(), green, d.Diareci()), 0);
    setCurve(d, 2, 200, 0.0, 100.0, [](double) { return -50.0; });
    d.paintNew(false);
    EXPECT_GT(countColour(d.getBitmap(), green, d.Diareci()), 100);
}

// ---- resampling --------------------------------------------------------------------------

TEST_F(TDiagrammModel, SeveralPointsPerColumnShowTheirMaximum)
{
    TDiagramm d;
    linearSetup(d);
    const int n = 100001; // about 200 points per column
    setCurve(d, 0, n, 0.0, 100.0, [](double) { return -80.0; });
    Tcurve& c = *d.curve(0);
    const int spike = 61234;
    c.OriY.setsmAr(spike, -5.0);
    d.Curve2Dia(0);
    const double xs = c.xaxis.getsmAr(spike);
    const Tsamplemem& grid = d.Xaxis();
    int col = 0;
    while (col < grid.samples() && grid.getsmAr(col) < xs)
        ++col;
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr(col), -5.0);
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr(col - 2), -80.0);
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr(col + 2), -80.0);
    EXPECT_EQ(c.FxIbeg, 1); // grid x 0 lies before the first non-zero source x
    EXPECT_EQ(c.FxIend, grid.samples() - 1);
}

TEST_F(TDiagrammModel, OneIntervalPerColumnIsInterpolatedLinearly)
{
    TDiagramm d;
    linearSetup(d);
    // Points every 25 units: many columns per source interval.
    Tsamplemem x(5), y(5);
    const double ys[5] = {-90, -10, -50, -50, -20};
    for (int i = 0; i < 5; ++i) {
        x.setsmAr(i, 10.0 + 22.5 * i);
        y.setsmAr(i, ys[i]);
    }
    d.SetdataPointer(y, x, false, 0);
    d.Curve2Dia(0);
    const Tcurve& c = *d.curve(0);
    const Tsamplemem& grid = d.Xaxis();
    int checked = 0;
    for (int i = 1; i < grid.samples(); i += 17) {
        const double gx = grid.getsmAr(i);
        if (gx <= 10.0 || gx > 100.0)
            continue;
        const int k = std::min(3, int((gx - 10.0) / 22.5));
        const double expect = ys[k] + (ys[k + 1] - ys[k]) * (gx - 10.0 - 22.5 * k) / 22.5;
        ++checked;
        EXPECT_NEAR(c.CpyY.getsmAr(i), expect, 1e-9) << "x " << gx;
    }
    EXPECT_GT(checked, 20);
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr(0), kDiaNoData); // before the curve's first x
}

TEST_F(TDiagrammModel, ResamplingCoversOnlyTheCurvesSpanAndAppliesYFactor)
{
    TDiagramm d;
    linearSetup(d);
    setCurve(d, 0, 101, 30.0, 60.0, [](double) { return -10.0; });
    d.setySkalFaktor(2.0);
    d.setySkalOffset(1.0);
    d.Curve2Dia(0);
    const Tcurve& c = *d.curve(0);
    const Tsamplemem& grid = d.Xaxis();
    EXPECT_GE(grid.getsmAr(c.FxIbeg), 30.0);
    EXPECT_LT(grid.getsmAr(c.FxIbeg - 1), 30.0);
    EXPECT_LE(grid.getsmAr(c.FxIend), 60.0);
    EXPECT_GT(grid.getsmAr(c.FxIend + 1), 60.0);
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr((c.FxIbeg + c.FxIend) / 2), -19.0);
    EXPECT_DOUBLE_EQ(c.CpyY.getsmAr(0), kDiaNoData);
}

TEST_F(TDiagrammModel, YAxisModeShiftsTheReferenceToZero)
{
    TDiagramm d;
    linearSetup(d);
    setCurve(d, 0, 1001, 0.0, 100.0, [](double x) { return -60.0 + x * 0.3; });
    setCurve(d, 1, 1001, 0.0, 100.0, [](double) { return -70.0; });
    d.setYaxisMode(eYAM0dbmaxV);
    const Tcurve& c0 = *d.curve(0);
    EXPECT_NEAR(c0.CpyY.getsmAr(c0.FxIend), 0.0, 1e-9);
    EXPECT_NEAR(d.group(0)->FyOffDyn, -30.0, 1e-9);
    // Curve 1 shares the group, so it is shifted by curve 0's reference.
    EXPECT_NEAR(d.curve(1)->CpyY.getsmAr(10), -40.0, 1e-9);
    d.group(0)->FyoffStat = 3.0;
    d.setYaxisMode(7); // out of range -> normal, static offsets reset
    EXPECT_EQ(d.YaxisMode(), eYAMnormal);
    EXPECT_DOUBLE_EQ(d.group(0)->FyoffStat, 0.0);
}

// ---- scroll buttons ----------------------------------------------------------------------

TEST_F(TDiagrammModel, YButtonsStepAndRefuseCrossing)
{
    TDiagramm d;
    linearSetup(d);
    TYAXgroup& g = *d.group(0);
    d.yButtonClick(0, true, true); // auto step: makSkal(100/10) = 20
    EXPECT_DOUBLE_EQ(g.Fymax, 20.0);
    d.yButtonClick(0, false, false);
    EXPECT_DOUBLE_EQ(g.Fymin, -120.0);
    g.FyScalog = true; // log group: neighbouring table entries
    g.Fymax = 20.0;
    g.Fymin = 10.0;
    d.yButtonClick(0, true, false); // 10 is not above ymin: dropped
    EXPECT_DOUBLE_EQ(g.Fymax, 20.0);
    d.yButtonClick(0, false, true); // 20 is not below ymax: dropped
    EXPECT_DOUBLE_EQ(g.Fymin, 10.0);
    d.yButtonClick(0, true, true);
    EXPECT_DOUBLE_EQ(g.Fymax, 30.0);
    g.FyScalog = false;
    d.setYstepAuto(false);
    d.setYDiaSteps(5.0);
    g.Fymax = 0.0;
    g.Fymin = -4.0;
    d.yButtonClick(0, true, false); // 0 - 5 = -5 not above -4: dropped
    EXPECT_DOUBLE_EQ(g.Fymax, 0.0);
    d.yButtonClick(0, false, true); // -4 + 5 = 1 not below 0: dropped
    EXPECT_DOUBLE_EQ(g.Fymin, -4.0);
    d.setDia2Up(true);
    d.yButtonClick(0, false, false);
    EXPECT_DOUBLE_EQ(g.Fymin, -9.0);
    EXPECT_DOUBLE_EQ(g.Fymax, 9.0);
    g.FyScalog = true;
    EXPECT_DOUBLE_EQ(d.doYskalAuto(0, 20.0, true), 30.0);
    EXPECT_DOUBLE_EQ(d.doYskalAuto(0, 25.0, true), 30.0);
    EXPECT_DOUBLE_EQ(d.doYskalAuto(0, 20.0, false), 10.0);
    EXPECT_DOUBLE_EQ(d.doYskalAuto(0, 0.0001, false), 0.0001); // clamped to the table
}

TEST_F(TDiagrammModel, XButtonsStepLimitAndFireEvents)
{
    TDiagramm d;
    d.newsize(500, -1, 300);
    double lastMax = -1, lastMin = -1;
    d.OnXmaxClick = [&](double v) { lastMax = v; };
    d.OnXminClick = [&](double v) { lastMin = v; };
    d.setX_minX_Max(190000.0, 20.0);
    d.xScrollClick(true, true); // + makSkal(19000) = 20000 -> capped at 200000
    EXPECT_DOUBLE_EQ(d.X_max(), 200000.0);
    EXPECT_DOUBLE_EQ(lastMax, 200000.0);
    d.xScrollClick(false, true); // 20 + 5 = 25
    EXPECT_DOUBLE_EQ(d.X_min(), 25.0);
    EXPECT_DOUBLE_EQ(lastMin, 25.0);
    d.setX_minX_Max(1.0, 0.5);
    d.xScrollClick(false, true); // 0.5 + 0.1 = 0.6, above xmax? no; stays below 1
    EXPECT_NEAR(d.X_min(), 0.6, 1e-12);
    d.xScrollClick(true, false); // 1 - 0.2 = 0.8
    EXPECT_NEAR(d.X_max(), 0.8, 1e-12);
    d.setX_minX_Max(10.0, 9.5);
    d.xScrollClick(false, true); // 9.5 + 1 = 10.5 not below 10 -> 10 - 1
    EXPECT_DOUBLE_EQ(d.X_min(), 9.0);
    d.setxSkalalog(false);
    d.setX_minX_Max(100.0, 0.0);
    d.xScrollClick(false, false); // floored at 0 on a linear axis
    EXPECT_DOUBLE_EQ(d.X_min(), 0.0);
}

TEST_F(TDiagrammModel, AroundWindowAndHundredMsMaximum)
{
    TDiagramm d;
    d.newsize(500, -1, 300);
    d.setxSkalalog(false);
    int events = 0;
    d.OnXmaxClick = [&](double) { ++events; };
    d.setaroundMin(1.0);
    d.setaroundMax(5.0);
    d.SetaroundSkal_ms(0.5);
    EXPECT_DOUBLE_EQ(d.xScalOffset(), 0.5);
    EXPECT_DOUBLE_EQ(d.X_min(), 0.0);
    EXPECT_DOUBLE_EQ(d.X_max(), 5.5);
    EXPECT_EQ(events, 1);
    d.setXmax2_100ms(1234.0);
    EXPECT_DOUBLE_EQ(d.X_max(), 1200.0);
    d.setX_max(50.0);
    d.setXmax2_100ms(1190.0); // same 1200 as before: nothing
    EXPECT_DOUBLE_EQ(d.X_max(), 50.0);
    d.setXmax2_100ms(20.0);
    EXPECT_DOUBLE_EQ(d.X_max(), 100.0);
    d.setaroundIps(true);
    d.setXmax2_100ms(3000.0);
    EXPECT_DOUBLE_EQ(d.X_max(), 100.0);
}

// ---- cursor read-out ---------------------------------------------------------------------

TEST_F(TDiagrammModel, CursorLevelFrequencyAndSlopeTexts)
{
    TDiagramm d;
    d.newsize(600, -1, 400);
    const QRect r = d.Diareci();
    const double ppy = d.curve(0)->PixYPdat;
    int clicks = 0;
    d.OnLeftMouseButClick = [&] { ++clicks; };
    d.setLevel_m(true);
    const int y0 = r.bottom() - 10;
    d.mouseDown(1, r.left() + 50, y0);
    EXPECT_EQ(clicks, 1);
    EXPECT_NEAR(d.cursorYval(), d.Y1_max() - (y0 - r.top()) / ppy, 1e-9);
    d.mouseUp(1, r.left() + 50, y0);
    const int up = int(std::lround(20.0 * ppy)); // 20 dB higher
    d.mouseMove(r.left() + 60, y0 - up);
    EXPECT_EQ(d.cursorKind(), 2);
    const double dB = up / ppy;
    EXPECT_EQ(d.cursorYtext(), QString::number(dB, 'f', 1) + "dB / " +
                                   QString::number(std::pow(10, dB / 20), 'f', 1) + " times");
    d.mouseMove(r.left() + 60, y0 + 5);
    EXPECT_TRUE(d.cursorYtext().endsWith("%"));
    EXPECT_TRUE(d.cursorYtext().contains(" / "));
    d.yEinH = "V";
    d.mouseMove(r.left() + 60, y0 + 6);
    EXPECT_FALSE(d.cursorYtext().contains(" / "));
    d.yEinH = "dB";
    // Second click ends the read-out.
    d.mouseDown(1, r.left() + 60, y0);
    d.mouseUp(1, r.left() + 60, y0);
    EXPECT_EQ(d.cursorKind(), 0);
    EXPECT_EQ(d.curposX, -1);

    d.setFreq_m(true);
    EXPECT_FALSE(d.Level_m());
    d.mouseDown(1, r.left() + 10, r.top() + 20);
    d.mouseUp(1, r.left() + 10, r.top() + 20);
    d.mouseMove(r.left() + 200, r.top() + 20);
    EXPECT_EQ(d.cursorKind(), 1);
    EXPECT_EQ(d.cursorXtext(), QString::number(d.PixToX(r.left() + 200), 'f', 1) + "Hz");

    d.setFlanke_m(true);
    EXPECT_FALSE(d.Freq_m());
    d.mouseMove(r.left() + 200, r.top() + 20 - int(std::lround(6 * ppy)));
    EXPECT_EQ(d.cursorKind(), 3);
    EXPECT_TRUE(d.cursorXtext().endsWith("dB/Okt"));
    // Same column: no octave span, so the slope is a floating-point fault.
    d.mouseMove(r.left() + 10, r.top() + 30);
    EXPECT_EQ(d.cursorXtext(), "FP error");
    // Far outside the plot clears everything.
    d.mouseMove(r.right() + 20, r.top() + 30);
    EXPECT_EQ(d.cursorKind(), 0);
    d.mouseDown(2, r.left() + 5, r.top() + 5);
    d.mouseUp(2, r.left() + 5, r.top() + 5);
    EXPECT_EQ(d.curposX, -1);
}

// ---- text export -------------------------------------------------------------------------

TEST_F(TDiagrammModel, ExportRowCountsAndFormat)
{
    TDiagramm d;
    linearSetup(d, 600, 300);
    setCurve(d, 0, 501, 0.0, 100.0, [](double x) { return -x; });
    setCurve(d, 1, 501, 0.0, 100.0, [](double) { return -3.25; });
    d.curve(1)->Fsel = true;
    QLocale::setDefault(QLocale::c());
    d.FTlines = 1;
    QStringList rows = d.getLastDiagrammText(0, u';').split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), 3);
    EXPECT_EQ(d.FTlines, 3);
    d.FTlines = 10000;
    rows = d.getLastDiagrammText(0, u';').split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), 4000);
    const QStringList cols = rows[1000].split(';');
    ASSERT_EQ(cols.size(), 3);
    const double x = cols[0].trimmed().replace(',', '.').toDouble();
    EXPECT_NEAR(cols[1].trimmed().replace(',', '.').toDouble(), -x, 0.02);
    EXPECT_TRUE(cols[2].endsWith("25"));
    // The normal layout is back afterwards.
    EXPECT_EQ(d.width(), 600);
    EXPECT_EQ(d.Xaxis().samples(), d.Diareci().right() - d.Diareci().left());
    d.OriSizeLines = true;
    d.setX_minX_Max(10.0, 0.0);
    rows = d.getLastDiagrammText(0, u'\t').split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), 51); // original points 0, 0.2, ..., 10
    d.curve(0)->Fsel = d.curve(1)->Fsel = false;
    EXPECT_TRUE(d.getLastDiagrammText(0, u';').isEmpty());
}

TEST_F(TDiagrammModel, SaveAsTextWritesTheFileOrReportsWhy)
{
    TDiagramm d;
    linearSetup(d);
    setCurve(d, 0, 101, 0.0, 100.0, [](double x) { return -x; });
    QTemporaryDir dir;
    const QString fn = dir.filePath("dia.txt");
    ASSERT_TRUE(d.saveasText(fn));
    QFile f(fn);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("\r\n"), d.FTlines);
    QString why;
    EXPECT_FALSE(d.saveasText(dir.filePath("no/such/dir/x.txt"), u';', &why));
    EXPECT_TRUE(why.contains("diskIO"));
}

// ---- legend ------------------------------------------------------------------------------

TEST_F(TDiagrammModel, LegendColumnsColoursAndHeight)
{
    TDiagramm d;
    d.newsize(600, -1, 400);
    d.setColline(0, 0x0000FF);
    d.setColline(1, 0x00FF00);
    d.setRem2({"left: THD|0.01 %", "right: THD|0.02 %", "no separator"});
    const tColorListImg& l = d.legend();
    EXPECT_EQ(l.lines, 3);
    EXPECT_EQ(l.Llist[0], "left: THD");
    EXPECT_EQ(l.Rlist[0], "0.01 %");
    EXPECT_EQ(l.Rlist[2], "");
    EXPECT_EQ(l.LeCol, 0x0000FFu);
    EXPECT_EQ(l.RiCol, 0x00FF00u);
    EXPECT_EQ(l.size().width(), l.maxL + l.MaxR + 12);
    EXPECT_EQ(d.anaResultHei, std::max(26, l.size().height()));
    int reddish = 0;
    const QRect lr = d.legendRect();
    for (int y = lr.top(); y <= lr.bottom(); ++y)
        for (int x = lr.left(); x <= lr.right(); ++x) {
            const QColor c(d.getBitmap().pixel(x, y));
            reddish += c.red() > 150 && c.green() < 110 && c.blue() < 110 ? 1 : 0;
        }
    EXPECT_GT(reddish, 5); // the "left" line in the first curve's colour
    d.setRem2({"1", "2", "3", "4", "5", "6"});
    EXPECT_EQ(d.legend().lines, 0);
    EXPECT_EQ(d.anaResultHei, 26);
    // Measurements are kept per font for the current texts only: new texts, new widths.
    tColorListImg m;
    m.setContent({"left: L|1"}, 0, 0);
    const int narrow = m.size().width();
    m.setFontSize(14);
    m.measure();
    const int wide14 = m.size().width();
    EXPECT_GT(wide14, narrow);
    m.setContent({"left: Level and more|1"}, 0, 0); // now at 14 pt
    EXPECT_GT(m.size().width(), wide14);
    m.setFontSize(8);
    m.setContent({"left: L|1"}, 0, 0);
    EXPECT_EQ(m.size().width(), narrow);
}

// The legend drawn from its kept picture shows the pixels of its texts drawn directly on its
// background, and follows new texts, colours, a new background and a new font.
TEST_F(TDiagrammModel, LegendPictureEqualsTheTextsDrawnDirectly)
{
    struct Look {
        QStringList lines;
        TColorBGR left, right, background;
        int pt;
    };
    const Look looks[] = {
        {{"Level:\tleft Ch. -6.02/500.24[dBV/mV] | right Ch. -6.02/500.24[dBV/mV]"}, 0xFF0000, 0x0000FF, 0xC0E0C0, 8},
        {{"Level:\tleft Ch. -6.02/500.24[dBV/mV] | right Ch. -6.02/500.24[dBV/mV]"}, 0xFF0000, 0x0000FF, 0xC0E0C0, 8},
        {{"Level:\tleft Ch. -6.02/500.25[dBV/mV] | right", "Dist:\tleft -62.8 | right -62.9"}, 0xFF0000, 0x0000FF, 0xC0E0C0, 8},
        {{"Level:\tleft Ch. -6.02/500.25[dBV/mV] | right", "Dist:\tleft -62.8 | right -62.6"}, 0xFF0000, 0x0000FF, 0xC0E0C0, 8},
        {{"Level:\tleft Ch. -6.02/500.25[dBV/mV] | right", "Dist:\tleft -62.8 | right -62.6"}, 0x00A000, 0x0000FF, 0xC0E0C0, 8},
        {{"Level:\tleft Ch. -6.02/500.25[dBV/mV] | right", "Dist:\tleft -62.8 | right -62.6"}, 0x00A000, 0x0000FF, 0xFFFFFF, 8},
        {{"Level:\tleft Ch. -6.02/500.25[dBV/mV] | right", "Dist:\tleft -62.8 | right -62.9"}, 0x00A000, 0x0000FF, 0xFFFFFF, 11},
    };
    tColorListImg kept;
    for (const Look& look : looks) {
        kept.setFontSize(look.pt);
        kept.setContent(look.lines, look.left, look.right);
        QImage got(700, 90, QImage::Format_RGB32), want(700, 90, QImage::Format_RGB32);
        got.fill(Qt::darkGray);
        want.fill(Qt::darkGray);
        {
            QPainter p(&got);
            kept.paint(p, 13, 7, look.background);
        }
        {
            QPainter p(&want); // the legend's texts drawn the plain way
            p.fillRect(QRect(QPoint(13, 7), kept.size()), bgrToQColor(look.background));
            p.setFont(kept.font);
            for (int i = 0; i < kept.lines; ++i) {
                const int ty = 7 + i * kept.Ty;
                p.setPen(bgrToQColor(kept.Llist[i].contains("left") ? kept.LeCol : kept.RiCol));
                p.drawText(QRect(14, ty, kept.maxL, kept.Ty), Qt::AlignLeft | Qt::AlignVCenter, kept.Llist[i]);
                p.setPen(bgrToQColor(kept.RiCol));
                p.drawText(QRect(13 + kept.maxL + 10, ty, kept.MaxR, kept.Ty), Qt::AlignLeft | Qt::AlignVCenter,
                           kept.Rlist[i]);
            }
        }
        EXPECT_EQ(got, want) << look.lines.join(" / ").toStdString() << ", " << look.pt << " pt";
    }
}

// ---- settings ----------------------------------------------------------------------------

TEST_F(TDiagrammModel, EmptyIniGivesTheReadDefaults)
{
    TDiagramm d;
    TMemIniFile ini;
    tdiaset ds;
    ds.xmin = 10;
    ds.xmax = 30000;
    ds.ymin = -140;
    ds.yminsec = -60;
    ds.Einhsec = "V";
    ds.secactive = true;
    d.LoadfromIni(ini, "Dia", ds);
    EXPECT_EQ(d.logo(), "Velmora ");
    EXPECT_EQ(d.Color_Diagram(), 16777215u);
    EXPECT_EQ(d.Color_Grid(), 12632256u);
    EXPECT_EQ(d.Color_Logo(), 32896u);
    EXPECT_EQ(d.Color_RangeL(), 32768u);
    EXPECT_EQ(d.Color_ExtraL(), 255u);
    EXPECT_EQ(d.Color_Margin(), ds.colMargin);
    EXPECT_TRUE(d.YstepAuto());
    EXPECT_TRUE(d.xSkalalog());
    EXPECT_DOUBLE_EQ(d.aroundMin(), 1.0);
    EXPECT_DOUBLE_EQ(d.aroundMax(), 5.0);
    EXPECT_DOUBLE_EQ(d.YDiaSteps(), 5.0);
    EXPECT_DOUBLE_EQ(d.X_min(), 10.0);
    EXPECT_DOUBLE_EQ(d.X_max(), 30000.0);
    EXPECT_EQ(d.Rem_1(), "remark");
    EXPECT_EQ(d.FPrec, 5);
    EXPECT_EQ(d.FDigits, 2);
    EXPECT_EQ(d.FTlines, 100);
    EXPECT_EQ(d.height(), 100);
    EXPECT_DOUBLE_EQ(d.group(0)->Fymin, -140.0);
    EXPECT_DOUBLE_EQ(d.group(1)->Fymin, -60.0);
    EXPECT_EQ(d.group(1)->fEinh, "V");
    EXPECT_EQ(d.group(2)->fEinh, "n.a.");
    EXPECT_EQ(d.curve(1)->Cygroup, 1);
    EXPECT_TRUE(d.curve(1)->Fsel);
    EXPECT_FALSE(d.curve(2)->Fsel);
    EXPECT_EQ(d.curve(5)->line, 5);
}

TEST_F(TDiagrammModel, IniRoundTripOfEveryKey)
{
    TDiagramm a;
    a.setColor_Cursor(1);
    a.setColor_RangeL(2);
    a.setColor_ExtraL(3);
    a.setColor_Text(4);
    a.setColor_Logo(5);
    a.setColor_Diagram(6);
    a.setColor_Grid(7);
    a.setColor_Margin(8);
    a.setYaxisMode(2);
    a.bDrawPolyLine = false;
    a.setcomppink(true);
    a.setxSkalalog(false);
    a.setsliding(true);
    a.setYDiaSteps(2.5);
    a.setFlanke_m(true);
    a.setaroundIps(true);
    a.setaroundMin(0.25);
    a.setaroundMax(7.5);
    a.setX_minX_Max(1500.0, 0.5);
    a.setYstepAuto(false);
    a.setDia2Up(true);
    a.setRangeLines(true);
    a.setExtraLine(true);
    a.setRem_1("my remark");
    a.FPrec = 9;
    a.FDigits = 4;
    a.FTlines = 250;
    a.OriSizeLines = true;
    a.newsize(400, -1, 222);
    a.group(3)->Fymax = 12.0;
    a.group(3)->Fymin = -3.0;
    a.group(3)->fEinh = "Ohm";
    a.group(3)->FyScalog = true;
    a.group(4)->Fyaxisvis = false;
    a.curve(4)->Cygroup = 5; // group 3 stays unused: a drawn log group resets the y mode
    a.curve(4)->Name = "driver";
    a.setxEinheit("ms");
    a.setxSkalFaktor(3.0);
    a.setRem2({"left|x"});
    TMemIniFile ini;
    a.SavetoIni(ini, "Main");
    EXPECT_EQ(ini.ReadString("Main", "REM2", ""), "left|x");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("Main", "xSkalFak", 0), 3.0);
    EXPECT_EQ(ini.ReadString("Main", "xEinh", ""), "ms");
    EXPECT_DOUBLE_EQ(ini.ReadFloat("MainDIAAX_3", "Yfak", 0), 1.0);

    TDiagramm b;
    b.LoadfromIni(ini, "main", tdiaset{}); // section names match without case
    EXPECT_EQ(b.Color_Cursor(), 1u);
    EXPECT_EQ(b.Color_RangeL(), 2u);
    EXPECT_EQ(b.Color_ExtraL(), 3u);
    EXPECT_EQ(b.Color_Text(), 4u);
    EXPECT_EQ(b.Color_Logo(), 5u);
    EXPECT_EQ(b.Color_Diagram(), 6u);
    EXPECT_EQ(b.Color_Grid(), 7u);
    EXPECT_EQ(b.Color_Margin(), 8u);
    EXPECT_EQ(b.YaxisMode(), eYAM0dbmaxV);
    EXPECT_FALSE(b.bDrawPolyLine);
    EXPECT_TRUE(b.comppink());
    EXPECT_FALSE(b.xSkalalog());
    EXPECT_TRUE(b.sliding());
    EXPECT_DOUBLE_EQ(b.YDiaSteps(), 2.5);
    EXPECT_DOUBLE_EQ(b.group(7)->Fyteil, 2.5);
    EXPECT_TRUE(b.Flanke_m());
    EXPECT_FALSE(b.Freq_m());
    EXPECT_TRUE(b.aroundIps());
    EXPECT_DOUBLE_EQ(b.aroundMin(), 0.25);
    EXPECT_DOUBLE_EQ(b.aroundMax(), 7.5);
    EXPECT_DOUBLE_EQ(b.X_min(), 0.5);
    EXPECT_DOUBLE_EQ(b.X_max(), 1500.0);
    EXPECT_FALSE(b.YstepAuto());
    EXPECT_TRUE(b.Dia2Up());
    EXPECT_TRUE(b.RangeLines());
    EXPECT_TRUE(b.ExtraLine());
    EXPECT_EQ(b.Rem_1(), "my remark");
    EXPECT_EQ(b.FPrec, 9);
    EXPECT_EQ(b.FDigits, 4);
    EXPECT_EQ(b.FTlines, 250);
    EXPECT_TRUE(b.OriSizeLines);
    EXPECT_EQ(b.height(), 222);
    EXPECT_DOUBLE_EQ(b.group(3)->Fymax, 12.0);
    EXPECT_DOUBLE_EQ(b.group(3)->Fymin, -3.0);
    EXPECT_EQ(b.group(3)->fEinh, "Ohm");
    EXPECT_TRUE(b.group(3)->FyScalog);
    EXPECT_EQ(b.curve(4)->Cygroup, 5);
    // Drawing a log group switches the y-axis mode to normal and level/slope read-outs off.
    b.curve(4)->Cygroup = 3;
    b.newsize(400, -1, 300);
    EXPECT_EQ(b.YaxisMode(), eYAMnormal);
    EXPECT_FALSE(b.Flanke_m());
    EXPECT_EQ(b.curve(4)->Name, "driver");
    // Not read back: x factor and unit start afresh.
    EXPECT_DOUBLE_EQ(b.xSkalFaktor(), 1.0);
    EXPECT_EQ(b.xEinheit(), "Hz");
    EXPECT_EQ(b.logo(), "Velmora ");
}

TEST_F(TDiagrammModel, BadGroupLimitsAndValuesFallBack)
{
    TMemIniFile ini;
    ASSERT_TRUE(ini.setText("[D]\nYaxisMode=9\nxmin=abc\nheight=999999999\nYDIASTEPS=1e999\n"
                            "[DDIAAX_0]\nYMAX=-10\nYMIN=-10\n[DDIAAX_1]\nYMAX=5\nYMIN=20\n"
                            "[DDIAAX_2]\nYMAX=nan\nYMIN=\xc3\xa4\n"));
    TDiagramm d;
    d.LoadfromIni(ini, "D", tdiaset{});
    EXPECT_EQ(d.YaxisMode(), eYAMnormal);
    EXPECT_DOUBLE_EQ(d.X_min(), 20.0);
    EXPECT_DOUBLE_EQ(d.YDiaSteps(), 5.0);
    EXPECT_LE(d.height(), 1 << 15);
    for (int g : {0, 1}) {
        EXPECT_DOUBLE_EQ(d.group(g)->Fymax, 0.0) << g;
        EXPECT_DOUBLE_EQ(d.group(g)->Fymin, -100.0) << g;
    }
    EXPECT_DOUBLE_EQ(d.group(2)->Fymax, 0.0);
    EXPECT_DOUBLE_EQ(d.group(2)->Fymin, -120.0);
}

TEST_F(TDiagrammModel, SaveOnlyFirstCurve)
{
    TDiagramm a;
    a.setsaveOfirst(true);
    TMemIniFile ini;
    a.SavetoIni(ini, "T");
    EXPECT_TRUE(ini.SectionExists("TDIACURVE_0"));
    EXPECT_FALSE(ini.SectionExists("TDIACURVE_1"));
}

TEST_F(TDiagrammModel, SavingToAnUnwritableFileReportsInsteadOfEnding)
{
    RecordingService rec;
    vl::setMessageService(&rec);
    QTemporaryDir dir;
    TDiagramm d;
    QString why;
    const QString bad = dir.filePath("missing/dir/v.ini");
    EXPECT_FALSE(d.SavetoIni(bad, "Dia", &why));
    EXPECT_FALSE(why.isEmpty());
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].title, "Error");
    EXPECT_TRUE(rec.messages[0].text.startsWith("Error writing Ini-File " + bad));
    // A good file round-trips through the file overloads and keeps other sections.
    const QString good = dir.filePath("v.ini");
    {
        TMemIniFile other(good);
        other.WriteString("Other", "k", "v");
        ASSERT_TRUE(other.UpdateFile());
    }
    d.setRem_1("on disk");
    EXPECT_TRUE(d.SavetoIni(good, "Dia"));
    TDiagramm e;
    EXPECT_TRUE(e.LoadfromIni(good, "Dia"));
    EXPECT_EQ(e.Rem_1(), "on disk");
    EXPECT_EQ(TMemIniFile(good).ReadString("Other", "k", ""), "v");
    vl::setMessageService(nullptr);
}

TEST_F(TDiagrammModel, UnreadableIniFileGivesDefaultsAndAWorkingDiagram)
{
    QTemporaryDir dir;
    const QString fn = dir.filePath("broken.ini");
    {
        QFile f(fn);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        static const char bytes[] = "[Dia]\nxmin=5\n\0\xff\xfe garbage"; // NUL, invalid UTF-8
        f.write(bytes, sizeof bytes - 1);
    }
    TDiagramm d;
    d.setRem_1("before");
    EXPECT_FALSE(d.LoadfromIni(fn, "Dia"));
    EXPECT_DOUBLE_EQ(d.X_min(), 20.0); // nothing of the broken file was taken
    EXPECT_EQ(d.Rem_1(), "remark");
    d.newsize(400, -1, 300);
    EXPECT_TRUE(d.laidOut());
    // A missing file is no error: the defaults.
    EXPECT_TRUE(d.LoadfromIni(dir.filePath("none.ini"), "Dia"));
}
