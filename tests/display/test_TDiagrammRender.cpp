// Renders typical diagrams (spectrum, twelve curves, time signal) and checks what lands where;
// the pictures are kept as /tmp/dia-*.png for a look.
#include "display/TDiagramm.h"

#include "base/TMemIniFile.h"
#include "../support/testFonts.h"

#include <QGuiApplication>
#include <QPainter>
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <utility>

namespace {

// Each test runs under the font set ctest names (see testFonts.h): what it checks holds for
// whatever family "Arial" turns out to be.
class TDiagrammRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = testFonts::startGuiApp("test_TDiagrammRender");
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    }
};

// The spectrum of a 1 kHz sine with harmonics and a noise floor, in dBFS, FFT of 32768 points
// at 48 kHz (bins of 1.46 Hz), as a measurement hands it over.
void sineSpectrum(Tsamplemem& x, Tsamplemem& y, double level, double noise, uint32_t seed)
{
    const int n = 16384;
    x = Tsamplemem(n);
    y = Tsamplemem(n);
    const double df = 48000.0 / 32768.0;
    for (int i = 0; i < n; ++i) {
        const double f = i * df;
        seed = seed * 1664525u + 1013904223u;
        double v = noise + 6.0 * (seed / 4294967296.0) - 3.0;
        for (int h = 1; h <= 7; ++h) {
            const double hf = 1000.0 * h;
            const double db = h == 1 ? level : level - 50.0 - 8.0 * h;
            const double dist = std::fabs(f - hf) / df;
            if (dist < 4)
                v = std::max(v, db - 6.0 * dist * dist);
        }
        x.setsmAr(i, f);
        y.setsmAr(i, v);
    }
}

// Rows of the image that hold a pixel of colour c inside column x.
bool hasColourIn(const QImage& img, const QRect& area, QColor c)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (QColor(img.pixel(x, y)) == c)
                return true;
    return false;
}

void loadDefaults(TDiagramm& d, const tdiaset& ds)
{
    TMemIniFile empty;
    d.LoadfromIni(empty, "Dia", ds);
}

} // namespace

TEST_F(TDiagrammRender, SpectrumOnALogAxis)
{
    TDiagramm d;
    tdiaset ds;
    ds.Einh = "dBFS";
    loadDefaults(d, ds);
    d.makdiaVis(2);
    Tsamplemem x, y;
    sineSpectrum(x, y, -6.0, -112.0, 1);
    d.SetdataPointer(y, x, false, 0);
    sineSpectrum(x, y, -20.0, -104.0, 2);
    d.SetdataPointer(y, x, false, 1);
    d.setCurveName(0, "left");
    d.setRem2({"left: THD 0.0012 %|1.000 kHz  -6.0 dBFS", "right: THD 0.0040 %|1.000 kHz -20.0 dBFS"});
    d.newsize(900, -1, 480);
    const QImage& img = d.getBitmap();
    ASSERT_TRUE(img.save("/tmp/dia-spectrum.png"));
    // The column of the fundamental's highest bin reaches that bin's level (the bins miss
    // 1 kHz by a third of their width, so the peak lies below -6 dBFS).
    sineSpectrum(x, y, -6.0, -112.0, 1);
    int top = 0;
    for (int i = 1; i < x.samples(); ++i)
        if (y.getsmAr(i) > y.getsmAr(top))
            top = i;
    const int px = int(std::lround(d.XtoPix(x.getsmAr(top))));
    const int py = d.YtoPix(y.getsmAr(top), *d.group(0));
    EXPECT_TRUE(hasColourIn(img, QRect(px - 1, py - 1, 3, 3), bgrToQColor(d.getColline(0))));
    // Nothing of the curves lands outside the plot and its clip band.
    const QRect outside(0, 0, d.Diareci().left() - 3, img.height());
    EXPECT_FALSE(hasColourIn(img, outside, bgrToQColor(d.getColline(0))));
    EXPECT_EQ(d.clipBits(0), 0);
    // Slope read-out from the fundamental to the second harmonic.
    d.setFlanke_m(true);
    d.mouseDown(1, px, py);
    d.mouseUp(1, px, py);
    const int px2 = int(std::lround(d.XtoPix(2000.0)));
    d.mouseMove(px2, d.YtoPix(-72.0, *d.group(0)));
    EXPECT_EQ(d.cursorKind(), 3);
    EXPECT_TRUE(d.cursorXtext().endsWith("dB/Okt"));
    ASSERT_TRUE(d.getBitmap().save("/tmp/dia-cursor.png"));
}

TEST_F(TDiagrammRender, TwelveCurvesOnTwoGroups)
{
    TDiagramm d;
    tdiaset ds;
    ds.secactive = true;
    ds.Einh = "dBV";
    ds.Einhsec = "dBu";
    ds.ymaxsec = 20;
    ds.yminsec = -100;
    loadDefaults(d, ds);
    for (int s = 0; s < kDiaCurves; ++s) {
        Tsamplemem x, y;
        sineSpectrum(x, y, -6.0 - 6 * s, -125.0 + 3 * s, uint32_t(s + 7));
        d.SetdataPointer(y, x, false, s);
        d.setcvis(true, false, s);
        if (s >= 8)
            d.setColline(s, 0x404040 + 0x202020 * (s - 8));
    }
    d.newsize(1000, -1, 520);
    ASSERT_TRUE(d.getBitmap().save("/tmp/dia-12curves.png"));
    EXPECT_TRUE(d.group(1)->Fyaxisvis);
    EXPECT_LT(d.group(1)->xpos, d.group(0)->xpos); // higher groups stack further left
    EXPECT_EQ(d.group(0)->xpos, d.Diareci().left());
}

TEST_F(TDiagrammRender, CompactTimeDiagram)
{
    TDiagramm d;
    tdiaset ds;
    ds.xlog = false;
    ds.diaUp = true;
    ds.xmin = 0;
    ds.xmax = 20;
    ds.ymax = 1;
    ds.ymin = -1;
    ds.ymaxsec = 1;
    ds.yminsec = -1;
    ds.Einh = ds.Einhsec = "FS";
    loadDefaults(d, ds);
    d.setinterpol(false);
    d.setxEinheit("ms");
    const int n = 960; // 20 ms at 48 kHz
    Tsamplemem x(n), y(n), y2(n);
    for (int i = 0; i < n; ++i) {
        const double t = i / 48.0;
        x.setsmAr(i, t);
        y.setsmAr(i, 0.8 * std::sin(2 * M_PI * t / 2.5) * std::exp(-t / 12));
        y2.setsmAr(i, 0.3 * std::sin(2 * M_PI * t));
    }
    d.SetdataPointer(y, x, false, 0);
    d.SetdataPointer(y2, x, false, 1);
    d.makdiaVis(2);
    d.newsize(900, -1, 220);
    ASSERT_TRUE(d.getBitmap().save("/tmp/dia-time.png"));
    // Curve 1's first crest (t = 0.25 ms, y = 0.3) lies where the coordinates say.
    const TYAXgroup& g = *d.group(0);
    const int px = int(std::lround(d.XtoPix(0.25)));
    EXPECT_TRUE(hasColourIn(d.getBitmap(), QRect(px - 1, d.YtoPix(0.3, g) - 1, 3, 3),
                            bgrToQColor(d.getColline(1))));
    // How many divisions fit depends on the font's height and the diagram's; at every height
    // the symmetric full-scale axis has an even number of them (0 is a grid line), and every
    // label, written with the group's decimals, is its value: the decimals follow the step.
    for (int h = 120; h <= 640; h += 4) {
        d.newsize(900, -1, h);
        const double divisions = 2.0 / g.Fyteil;
        ASSERT_NEAR(divisions, std::round(divisions), 1e-9) << "height " << h;
        EXPECT_EQ(int(std::lround(divisions)) % 2, 0) << "height " << h;
        EXPECT_LE(g.Fyko, 2) << "height " << h << ", step " << g.Fyteil;
        for (int i = 0; i <= int(std::lround(divisions)); ++i) {
            const double v = -1.0 + i * g.Fyteil;
            const QString label = QString::number(v, 'f', g.Fyko);
            EXPECT_NEAR(label.toDouble(), v, 1e-9) << "height " << h << ": " << label.toStdString();
        }
        if (g.Fyko > 0) { // and no decimal more than it needs
            EXPECT_GT(std::fabs(QString::number(g.Fyteil, 'f', g.Fyko - 1).toDouble() - g.Fyteil), 1e-9);
        }
    }
}

namespace {

// Long two-channel result lines in a narrow diagram: the legend shrinks its font to stay
// between the x scroll buttons (never below 6 pt), and grows back when there is room.
TEST_F(TDiagrammRender, LongResultLinesShrinkTheLegendToFit)
{
    TDiagramm d;
    d.setLegendFontSize(10);
    d.setRem2({"Level:\tleft Ch. -6.02/500.24[dBV/mV] | right Ch. -6.02/500.24[dBV/mV]",
               "Dist:\tleft Ch. -62.8/0.0723 [dB/%] THD @ 997Hz | right Ch. -62.8/0.0722 [dB/%] THD @ 997Hz"});
    d.newsize(560, -1, 300);
    const QRect narrow = d.legendRect();
    ASSERT_FALSE(narrow.isEmpty());
    EXPECT_LE(narrow.right(), d.scrollHFRect().left());
    EXPECT_GE(d.legend().font.pointSize(), 6);
    EXPECT_LT(d.legend().font.pointSize(), 10);
    d.newsize(1600, -1, 300);
    EXPECT_EQ(d.legend().font.pointSize(), 10);
}

} // namespace

// A dense time curve (many samples per pixel column, values beyond both axis ends, gaps that
// are not a number) looks exactly as if every sample were drawn as a poly-line: in time order
// (columns found by search) and in reverse order (sample by sample).
// On a log x axis (logX) the samples are spread like the bins of a spectrum: one in a column
// at the low end, hundreds at the high end, and the upper half beyond the axis.
void checkDenseCurve(bool reversed, bool logX)
{
    SCOPED_TRACE(reversed ? "samples in reverse order" : "samples in time order");
    SCOPED_TRACE(logX ? "log x axis" : "linear x axis");
    tdiaset ds;
    ds.xlog = logX;
    ds.diaUp = true;
    ds.xmin = logX ? 20 : 0;
    ds.xmax = logX ? 12000 : 1365;
    ds.ymax = ds.ymaxsec = 1;
    ds.ymin = ds.yminsec = -1;
    const int n = 65536;
    Tsamplemem x(n), y(n);
    uint32_t seed = 7;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double t = logX ? i * 24000.0 / n : i * 1000.0 / 48000.0;
        const int k = reversed ? n - 1 - i : i;
        x.setsmAr(k, t);
        double v = 1.3 * std::sin(2 * M_PI * t / 40.0) + 0.2 * (seed / 4294967296.0 - 0.5);
        if (i % 5000 == 17)
            v = std::nan("");
        y.setsmAr(k, v);
    }
    auto setUp = [&](TDiagramm& d, bool withCurve) {
        loadDefaults(d, ds);
        d.setinterpol(false);
        d.SetdataPointer(y, x, false, 0);
        d.makdiaVis(withCurve ? 1 : 0);
        d.newsize(700, -1, 260);
    };
    TDiagramm dia;
    setUp(dia, true);
    const QImage drawn = dia.getBitmap();
    // The reference: the same diagram without the curve, then every sample mapped and drawn.
    TDiagramm ref;
    setUp(ref, false);
    QImage expected = ref.getBitmap().copy();
    const QRect r = ref.Diareci();
    const int th = ref.textHigh;
    std::vector<QPoint> pts;
    for (int i = 0; i < n; ++i) {
        if (x.getsmAr(i) == 0.0)
            continue; // drawCurve leaves out x = 0
        const int X = std::clamp(int(std::lround(ref.XtoPix(x.getsmAr(i)))), r.left(), r.right() - 1);
        int Y = ref.YtoPix(y.getsmAr(i), *ref.group(0));
        Y = Y > r.bottom() ? r.bottom() + th / 8 : Y < r.top() ? r.top() - th / 8 : Y;
        pts.emplace_back(X, Y);
    }
    {
        QPainter p(&expected);
        p.setClipRect(r.adjusted(0, -th / 8 - 1, 0, th / 8 + 1));
        p.setPen(QPen(bgrToQColor(ref.getColline(0)), 1));
        p.drawPolyline(pts.data(), int(pts.size()));
    }
    if (!reversed && !logX) {
        expected.save("/tmp/dia-dense-expected.png");
        drawn.save("/tmp/dia-dense.png");
    }
    // Qt leaves out the odd joint pixel of a poly-line that the reduced one, which turns back
    // at a column's extreme, draws: a few such pixels are expected (an exact column scan gives
    // the same), a wrong reduction gives hundreds.
    const QRgb line = bgrToQColor(ref.getColline(0)).rgb();
    int differing = 0, linePixels = 0;
    for (int py = 0; py < drawn.height(); ++py)
        for (int px = 0; px < drawn.width(); ++px) {
            differing += drawn.pixel(px, py) != expected.pixel(px, py);
            linePixels += expected.pixel(px, py) == line;
        }
    std::printf("dense curve%s%s: %d line pixels, %d differ\n", logX ? ", log x" : "", reversed ? ", reversed" : "",
                linePixels, differing);
    EXPECT_GT(linePixels, 20000);
    EXPECT_LE(differing, 8); // 3 on the linear axis, 4 and 7 on the log axis
}

TEST_F(TDiagrammRender, DenseCurveDrawsTheSamePixelsAsEveryPoint)
{
    for (const bool logX : {false, true}) {
        checkDenseCurve(false, logX);
        checkDenseCurve(true, logX);
    }
}

// A sealed time axis keeps its column searches between repaints: a new x range, another width,
// another sealed axis and a log scale each draw what a diagram given an unsealed copy draws.
TEST_F(TDiagrammRender, SealedTimeAxisFollowsEveryChange)
{
    tdiaset ds;
    ds.xlog = false;
    ds.diaUp = true;
    ds.xmin = 0;
    ds.xmax = 683;
    ds.ymax = ds.ymaxsec = 1;
    ds.ymin = ds.yminsec = -1;
    const int n = 65536;
    Tsamplemem x(n), x2(n), y(n);
    for (int i = 0; i < n; ++i) {
        x.setsmAr(i, i * 1000.0 / 48000.0);
        x2.setsmAr(i, i * 1000.0 / 44100.0);
        y.setsmAr(i, std::sin(i * 0.01) * std::cos(i * 0.0007));
    }
    x.seal();
    x2.seal();
    auto unsealed = [](const Tsamplemem& m) {
        Tsamplemem c(m.samples());
        std::copy_n(std::as_const(m).smpoi(), m.samples(), c.smpoi());
        return c;
    };
    const Tsamplemem ux = unsealed(x), ux2 = unsealed(x2);
    auto setUp = [&](TDiagramm& d, const Tsamplemem& axis) {
        loadDefaults(d, ds);
        d.setinterpol(false);
        d.SetdataPointer(y, axis, false, 0);
        d.SetdataPointer(y, axis, false, 1);
        d.makdiaVis(2);
        d.newsize(700, -1, 260);
    };
    using Change = std::function<void(TDiagramm&, bool sealed)>;
    const std::vector<std::pair<const char*, Change>> changes{
        {"x range", [](TDiagramm& d, bool) { d.setX_minX_Max(300.0, 20.0); }},
        {"width", [](TDiagramm& d, bool) { d.newsize(640, -1, 260); }},
        {"other axis", [&](TDiagramm& d, bool sealed) {
             d.SetdataPointer(y, sealed ? x2 : ux2, false, 0);
             d.SetdataPointer(y, sealed ? x2 : ux2, true, 1);
         }},
        {"log scale", [](TDiagramm& d, bool) { d.setxSkalalog(true); }},
    };
    TDiagramm kept;
    setUp(kept, x);
    kept.paintNew(false);
    std::vector<Change> applied;
    for (const auto& [what, change] : changes) {
        change(kept, true);
        kept.paintNew(false);
        applied.push_back(change);
        TDiagramm fresh;
        setUp(fresh, ux);
        for (const Change& c : applied)
            c(fresh, false);
        fresh.paintNew(false);
        EXPECT_EQ(kept.getBitmap(), fresh.getBitmap()) << "after: " << what;
    }
}

namespace {

using Change = std::function<void(TDiagramm&)>;

// An 800 x 300 spectrum diagram of curve y over x with the settings ds.
void setUpSpectrum(TDiagramm& d, const tdiaset& ds, const Tsamplemem& y, const Tsamplemem& x)
{
    loadDefaults(d, ds);
    d.SetdataPointer(y, x, false, 0);
    d.makdiaVis(1);
    d.newsize(800, -1, 300);
}

// The picture of a diagram set up and given every change in turn, painted at another size
// first, so that it keeps nothing of an earlier paint.
QImage paintedAfresh(const Change& setUp, const std::vector<Change>& applied)
{
    TDiagramm fresh;
    setUp(fresh);
    for (const Change& c : applied)
        c(fresh);
    fresh.newsize(801, -1, 300);
    fresh.newsize(800, -1, 300);
    return fresh.getBitmap();
}

// Watches every repaint of a diagram as its window would: the pixels that changed since the
// picture shown before and lie outside the region the repaint handed over stay wrong on screen.
class TRegionWatch {
public:
    explicit TRegionWatch(TDiagramm& d) : m_d(d), m_shown(d.getBitmap().copy())
    {
        m_d.OnRepainted = [this] { repainted(); };
    }
    ~TRegionWatch() { m_d.OnRepainted = nullptr; }
    // Pixels left wrong on screen since the last call.
    int takeMissed() { return std::exchange(m_missed, 0); }
    int repaints() const { return m_repaints; }

private:
    void repainted()
    {
        const QImage& now = m_d.getBitmap();
        if (now.size() == m_shown.size())
            for (int py = 0; py < now.height(); ++py)
                for (int px = 0; px < now.width(); ++px)
                    if (now.pixel(px, py) != m_shown.pixel(px, py) && !m_d.changedRegion().contains(QPoint(px, py)))
                        ++m_missed;
        m_shown = now.copy();
        ++m_repaints;
    }
    TDiagramm& m_d;
    QImage m_shown; // what the window shows
    int m_missed = 0, m_repaints = 0;
};

} // namespace

// Over kept axes a repaint puts back only what the last one drew over them: a legend that
// shrinks, lines that move or go, a curve that changes and a logo that changes (its italic
// last glyph reaching beyond its advance, a glyph from the fallback font) leave nothing behind,
// exactly as in a diagram painted afresh, and the window is told of every pixel that changed.
TEST_F(TDiagrammRender, KeptAxesTakeBackWhatTheLastPaintDrew)
{
    tdiaset ds;
    Tsamplemem x, y, y2;
    sineSpectrum(x, y, -6.0, -100.0, 3);
    sineSpectrum(x, y2, -30.0, -60.0, 5);
    auto setUp = [&](TDiagramm& d) { setUpSpectrum(d, ds, y, x); };
    const std::vector<std::pair<const char*, Change>> changes{
        {"wide legend", [](TDiagramm& d) { d.setRem2({"Level: -6.02 dBV, left | right", "Dist: -62.8 dB | -62.9 dB"}); }},
        {"narrow legend", [](TDiagramm& d) { d.setRem2({"L: a", "D: b"}); }},
        {"range and extra lines", [](TDiagramm& d) {
             d.SetRangeLinesValues_ms(2000.0, 200.0);
             d.SetExtraLineValue(1000.0);
             d.setRangeLines(true);
             d.setExtraLine(true);
         }},
        {"lines moved", [](TDiagramm& d) { d.SetRangeLinesValues_ms(5000.0, 50.0); }},
        {"lines gone", [](TDiagramm& d) { d.setRangeLines(false); d.setExtraLine(false); }},
        {"other curve", [&](TDiagramm& d) { d.SetdataPointer(y2, x, true, 0); }},
        {"logo", [](TDiagramm& d) { d.setlogo("Bench 2 "); }},
        {"logo with a fallback glyph", [](TDiagramm& d) { d.setlogo(QString::fromUtf8("Bench \u2300 12 ")); }},
    };
    TDiagramm kept;
    setUp(kept);
    kept.paintNew(false);
    TRegionWatch watch(kept);
    std::vector<Change> applied;
    for (const auto& [what, change] : changes) {
        change(kept);
        for (int frame = 0; frame < 3; ++frame) // the same frame again, as a measurement repaints
            kept.paintNew(false);
        EXPECT_NE(kept.changedRegion(), QRegion(kept.getBitmap().rect())) << "axes kept, after: " << what;
        EXPECT_EQ(watch.takeMissed(), 0) << "after: " << what;
        applied.push_back(change);
        EXPECT_EQ(kept.getBitmap(), paintedAfresh(setUp, applied)) << "after: " << what;
    }
}

// New result lines lay the diagram out again only when the legend's size changes; either way
// the picture and the legend's place are those of a diagram laid out afresh with the lines.
TEST_F(TDiagrammRender, ResultLinesLayOutOnlyWhenTheLegendChangesSize)
{
    tdiaset ds;
    Tsamplemem x, y;
    sineSpectrum(x, y, -6.0, -100.0, 3);
    auto setUp = [&](TDiagramm& d) {
        setUpSpectrum(d, ds, y, x);
        d.setLegendFontSize(9);
    };
    const QString a = "Level:\tleft Ch. -6.02/500.24[dBV/mV] | right Ch. -6.02/500.24[dBV/mV]";
    const QString b = "Dist:\tleft Ch. -62.8/0.0723 [dB/%] THD @ 997Hz | right Ch. -62.8/0.0722 [dB/%] THD @ 997Hz";
    struct Step {
        QStringList lines;
        bool laidOut; // whether a new layout is expected
        bool shrunk;  // whether the legend's font is below the 9 pt asked for then
    };
    const Step steps[] = {
        {{a, b}, true, false},
        {{QString(a).replace("500.24", "500.25"), QString(b).replace("0.0723", "0.0721")}, false, false},
        {{a + " and a much longer tail that does not fit", b}, true, true}, // the font shrinks
        {{a + " and a much longer tail that does not fit", QString(b).replace("997", "998")}, false, true},
        {{a, b}, true, false},                                              // and grows back
        {{a}, true, false},                                                 // one line less
        {{"Level:\tleft Ch. -7.00/446.68[dBV/mV] | right Ch. -7.00/446.68[dBV/mV]"}, false, false},
    };
    TDiagramm kept;
    setUp(kept);
    kept.paintNew(false);
    int lastPt = 0;
    for (const Step& s : steps) {
        const std::string what = s.lines.join(" / ").toStdString();
        const int32_t before = kept.NewSizes;
        kept.setRem2(s.lines);
        EXPECT_EQ(kept.NewSizes != before, s.laidOut) << what;
        TDiagramm fresh;
        setUp(fresh);
        fresh.setRem2(s.lines);
        fresh.newsize(801, -1, 300);
        fresh.newsize(800, -1, 300);
        EXPECT_EQ(kept.legendRect(), fresh.legendRect()) << what;
        // How far the font shrinks depends on the family's widths; kept and fresh agree on it.
        const int pt = kept.legend().font.pointSize();
        EXPECT_EQ(fresh.legend().font.pointSize(), pt) << what;
        if (s.shrunk) {
            EXPECT_LT(pt, 9) << what;
            EXPECT_GE(pt, 6) << what;
        } else {
            EXPECT_EQ(pt, 9) << what;
        }
        if (!s.laidOut) {
            EXPECT_EQ(pt, lastPt) << what;
        }
        lastPt = pt;
        EXPECT_EQ(kept.getBitmap(), fresh.getBitmap()) << what;
    }
}

// However a repaint goes on from the last (a noise floor that jumps, a marker that comes and
// goes, new result lines, a cursor shown and cleared), every pixel it changed lies in the region
// it hands to the window, and the picture is the one a fresh diagram paints.
TEST_F(TDiagrammRender, ChangedRegionsHoldEveryChangedPixel)
{
    tdiaset ds;
    struct Frame {
        double level, noise;
        bool marker, cursor;
        QStringList legend;
    };
    const Frame frames[] = {
        {-6.0, -100.0, false, false, {}},  {-6.0, -100.0, false, false, {}},
        {-6.0, -60.0, false, false, {}},   {-20.0, -120.0, true, false, {}},
        {-20.0, -118.0, false, false, {"Level: -20 dBV|left"}},
        {-3.0, -90.0, false, true, {}},    {-3.0, -90.0, false, false, {}},
        {-40.0, -80.0, true, false, {"Level: -40 dBV|left", "Dist: -40 dB|left"}},
        {-40.0, -80.0, false, false, {"L: -40|left", "D: -40|left"}}, // the legend narrows
    };
    TDiagramm d;
    Tsamplemem x, y;
    sineSpectrum(x, y, -6.0, -100.0, 1);
    setUpSpectrum(d, ds, y, x);
    d.paintNew(false);
    TRegionWatch watch(d);
    uint32_t seed = 2;
    QStringList legend;
    for (const Frame& f : frames) {
        sineSpectrum(x, y, f.level, f.noise, seed++);
        d.SetdataPointer(y, x, false, 0);
        d.curve(0)->MarkPat = f.marker ? 1 : 0;
        d.curve(0)->MarkerP = TFpoint{2000.0, f.level - 30.0};
        if (!f.legend.isEmpty())
            d.setRem2(legend = f.legend);
        if (f.cursor) {
            d.setFreq_m(true);
            d.mouseDown(1, 200, 100);
            d.mouseMove(700, 50); // high above the noise, beside the peaks
        } else {
            d.clearMouseCur(true);
        }
        d.paintNew(false);
        EXPECT_EQ(watch.takeMissed(), 0) << "frame with noise " << f.noise;
        if (f.cursor)
            continue; // a fresh diagram has no cursor
        TDiagramm fresh;
        setUpSpectrum(fresh, ds, y, x);
        fresh.curve(0)->MarkPat = d.curve(0)->MarkPat;
        fresh.curve(0)->MarkerP = d.curve(0)->MarkerP;
        if (!legend.isEmpty())
            fresh.setRem2(legend);
        fresh.newsize(801, -1, 300);
        fresh.newsize(800, -1, 300);
        EXPECT_EQ(d.getBitmap(), fresh.getBitmap()) << "frame with noise " << f.noise;
    }
    EXPECT_GE(watch.repaints(), int(std::size(frames)));
}

// The caption, copied from a kept picture where nothing but the axes lies under it, looks as
// drawn over them: compared with a diagram whose cursor makes it draw the caption, frame after
// frame, and after the axes change.
TEST_F(TDiagrammRender, KeptCaptionLooksDrawn)
{
    tdiaset ds;
    Tsamplemem x, y;
    sineSpectrum(x, y, -6.0, -40.0, 3); // far above the caption
    TDiagramm kept, drawn;
    for (TDiagramm* d : {&kept, &drawn}) {
        setUpSpectrum(*d, ds, y, x);
        d->setFreq_m(true);
    }
    drawn.mouseDown(1, 100, 60);
    drawn.mouseMove(120, 60); // a cursor far from the caption: the caption is drawn
    const QRect caption = kept.Diareci().adjusted(kept.Diareci().width() / 2, kept.Diareci().height() - 26, 0, -6);
    auto same = [&](const char* what) {
        kept.paintNew(false);
        drawn.paintNew(false);
        EXPECT_EQ(kept.getBitmap().copy(caption), drawn.getBitmap().copy(caption)) << what;
    };
    same("first");
    same("kept");
    for (TDiagramm* d : {&kept, &drawn})
        d->setColor_Grid(0x0000FF);
    drawn.mouseMove(122, 60);
    same("after the grid colour changed");
    sineSpectrum(x, y, -6.0, -118.0, 4); // the noise reaches the caption
    for (TDiagramm* d : {&kept, &drawn})
        d->SetdataPointer(y, x, false, 0);
    drawn.mouseMove(124, 60);
    same("a curve under the caption");
}

// The axes and grid are kept between repaints: whatever changes them, by setter or by writing
// a group's fields and repainting, shows exactly as in a diagram painted afresh.
TEST_F(TDiagrammRender, KeptAxesFollowEveryChange)
{
    tdiaset ds;
    Tsamplemem x, y;
    sineSpectrum(x, y, -6.0, -100.0, 3);
    auto setUp = [&](TDiagramm& d) { setUpSpectrum(d, ds, y, x); };
    const std::vector<std::pair<const char*, Change>> changes{
        {"y range written directly", [](TDiagramm& d) { d.group(0)->Fymin = -140.0; d.paintNew(true); }},
        {"unit text written directly", [](TDiagramm& d) { d.group(0)->fEinh = "dBV"; d.paintNew(false); }},
        {"grid colour", [](TDiagramm& d) { d.setColor_Grid(0x0000FF); }},
        {"x range", [](TDiagramm& d) { d.setX_minX_Max(5000.0, 100.0); }},
        {"x unit", [](TDiagramm& d) { d.setxEinheit("kc"); }},
        {"linear x axis", [](TDiagramm& d) { d.setxSkalalog(false); }},
        {"italic font", [](TDiagramm& d) {
             QFont f = d.font();
             f.setItalic(true);
             d.setFont(f);
         }},
    };
    TDiagramm kept;
    setUp(kept);
    kept.paintNew(false); // the axes are now kept
    // Only the plot (and the rows curves may reach, and the places of the range lines with a
    // pixel to spare) and the legend can have changed, and of the plot only what the curves
    // drew: not the scroll buttons beside the legend, and less than half of the plot.
    const QRect plotArea = kept.Diareci().adjusted(-1, -kept.textHigh / 8 - 1, 1, kept.textHigh / 8 + 1);
    EXPECT_TRUE(kept.changedRegion().subtracted(QRegion(plotArea) + kept.legendRect()).isEmpty());
    EXPECT_FALSE(kept.changedRegion().intersects(kept.scrollLFRect()));
    int64_t changedArea = 0;
    for (const QRect& r : kept.changedRegion())
        changedArea += int64_t(r.width()) * r.height();
    EXPECT_LT(changedArea, int64_t(plotArea.width()) * plotArea.height() / 2);
    std::vector<Change> applied;
    for (const auto& [what, change] : changes) {
        std::vector<QRegion> repaints; // what each repaint may have changed
        kept.OnRepainted = [&] { repaints.push_back(kept.changedRegion()); };
        change(kept);
        kept.paintNew(false);
        kept.OnRepainted = nullptr;
        ASSERT_FALSE(repaints.empty());
        EXPECT_EQ(repaints.front(), QRegion(kept.getBitmap().rect())) << "axes drawn anew, after: " << what;
        applied.push_back(change);
        EXPECT_EQ(kept.getBitmap(), paintedAfresh(setUp, applied)) << "after: " << what;
    }
}
