// Truth tests of the diagram's everyday tools on real spectra: the text export keeps the peak,
// the crosshair read-out snaps to the tone's bin, and zooming returns to the stored range.
#include "display/TDiagramm.h"

#include "../support/toneSpectrum.h"
#include "base/TMemIniFile.h"

#include <QGuiApplication>
#include <QLocale>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

void app() {
    static int argc = 1;
    static char name[] = "test_TDiagrammTools";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QGuiApplication(argc, argv); // lives until the process ends
}

// A frequency diagram 20 Hz .. 20 kHz (log), -160 .. +10 dB, with the spectrum in slot 0.
void showSpectrum(TDiagramm& d, const std::vector<std::pair<double, double>>& tones, int w = 800,
                  int h = 400) {
    d.setxSkalalog(true);
    d.setX_minX_Max(20000.0, 20.0);
    d.group(0)->Fymax = 10.0;
    d.group(0)->Fymin = -160.0;
    const auto [x, y] = toneSpectrum(tones);
    d.SetdataPointer(y, x, false, 0);
    d.curve(0)->Fcvis = true;
    d.newsize(w, -1, h);
}

// Index of the largest source value of slot 0 (the tone's bin).
int peakBin(const TDiagramm& d) {
    const Tsamplemem& y = d.curve(0)->OriY;
    int best = 0;
    for (int i = 1; i < y.samples(); ++i)
        if (y.getsmAr(i) > y.getsmAr(best)) best = i;
    return best;
}

struct TRow {
    double x, y;
};

std::vector<TRow> exportRows(TDiagramm& d) {
    std::vector<TRow> rows;
    for (const QString& l : d.getLastDiagrammText(0, u';').split("\r\n", Qt::SkipEmptyParts)) {
        const QStringList c = l.split(';');
        rows.push_back({c[0].trimmed().toDouble(), c[1].trimmed().toDouble()});
    }
    return rows;
}

class DiagrammTools : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        QLocale::setDefault(QLocale::c());
    }
};

} // namespace

// ---- export ------------------------------------------------------------------------------------

// A tone anywhere between bins, swept across one bin at 1 kHz and over the log axis: the largest
// exported row lies within one row's span of the tone and within 0.5 dB of the spectrum's peak.
// (Sampling one column in ten, the export lost most of these tones by 20 dB and more.)
TEST_F(DiagrammTools, ExportKeepsTheTonesPeak) {
    std::vector<double> freqs;
    for (int k = 0; k <= 4; ++k)
        freqs.push_back(1000.0 + k * kBin / 4);
    for (int j = 0; j < 12; ++j)
        freqs.push_back(150.0 * std::pow(100.0, j / 11.0) + 0.37 * kBin);
    std::printf("truth export: f/Hz ; row x/Hz ; rows off ; row dB ; peak dB ; diff dB\n");
    for (double f : freqs) {
        TDiagramm d;
        showSpectrum(d, {{f, 0.5}});
        const std::vector<TRow> rows = exportRows(d);
        ASSERT_EQ(int(rows.size()), d.FTlines);
        size_t top = 0;
        for (size_t i = 1; i < rows.size(); ++i)
            if (rows[i].y > rows[top].y) top = i;
        const double rowSpan = std::log(rows.back().x / rows.front().x) / (d.FTlines - 1);
        const double peak = d.curve(0)->OriY.getsmAr(peakBin(d));
        const double off = std::fabs(std::log(rows[top].x / f)) / rowSpan;
        std::printf("truth export: %.3f ; %.2f ; %.2f ; %.2f ; %.2f ; %.3f\n", f, rows[top].x, off,
                    rows[top].y, peak, rows[top].y - peak);
        EXPECT_LE(off, 1.0) << f;
        EXPECT_NEAR(rows[top].y, peak, 0.5) << f;
        // The row keeps the export's format: other rows still follow the axis.
        EXPECT_LT(rows.front().x, rows.back().x);
    }
}

// ---- crosshair read-out
// ---------------------------------------------------------------------------

// Pointer a few pixels beside the tone: the read-out snaps to the tone's bin and reads its
// level to the diagram's precision, at full view and zoomed in so far that columns are finer
// than bins. A pointer far from the tone does not snap to it.
TEST_F(DiagrammTools, ReadoutSnapsToTheTonesBin) {
    std::printf("truth readout: f/Hz ; zoomed ; bin x/Hz ; read x/Hz ; bin dB ; read dB\n");
    for (double f0 : {1000.0 + 0.43 * kBin, 237.3, 3333.3, 12345.6}) {
        TDiagramm d;
        ASSERT_TRUE(d.CrossHair()); // the default cursor
        showSpectrum(d, {{f0, 0.5}, {3 * f0, 0.005}});
        const int bin = peakBin(d);
        const double binX = d.curve(0)->xaxis.getsmAr(bin), binY = d.curve(0)->OriY.getsmAr(bin);
        const int py = d.Diareci().center().y();
        for (int zoom = 0; zoom < 2; ++zoom) {
            const int px = int(std::lround(d.XtoPix(binX))) + 3;
            d.mouseMove(px, py);
            const TReadout r = d.readout();
            ASSERT_TRUE(r.valid);
            std::printf("truth readout: %.2f ; %d ; %.4f ; %.4f ; %.4f ; %.4f\n", f0, zoom, binX,
                        r.x, binY, r.y);
            EXPECT_TRUE(r.snapped) << f0 << " " << zoom;
            EXPECT_EQ(r.primary, 0);
            EXPECT_DOUBLE_EQ(r.x, binX) << f0 << " " << zoom;
            EXPECT_NEAR(r.y, binY, 0.005) << f0 << " " << zoom;
            ASSERT_EQ(r.levels.size(), 1u);
            const std::vector<QString> lines = readoutLines(d, r);
            EXPECT_TRUE(lines[1].contains(QString::number(binY, 'f', d.FDigits)))
                << lines[1].toStdString();
            EXPECT_EQ(r.column, int(std::lround(d.XtoPix(binX))));
            for (int k = 0; k < 40 && d.XtoPix(binX + kBin) - d.XtoPix(binX) < 3.0; ++k)
                d.wheelZoom(px, py, 1, false); // until the columns are finer than the bins
            ASSERT_GE(d.XtoPix(binX + kBin) - d.XtoPix(binX), 3.0);
        }
        d.restoreStoredRange();
        d.mouseMove(int(std::lround(d.XtoPix(binX))) + 40, py);
        EXPECT_GT(std::fabs(std::log(d.readout().x / binX)), 0.05); // too far to snap to the tone
    }
}

// A click on the tone sets the reference; on its third harmonic the read-out gives the
// difference in Hz and dB from the source bins, and the harmonic markers sit at 2f..9f of the
// reference inside the x range.
TEST_F(DiagrammTools, ReferenceDifferenceAndHarmonicMarkers) {
    TDiagramm d;
    const double f0 = 997.0;
    showSpectrum(d, {{f0, 0.5}, {2 * f0, 0.01}, {3 * f0, 0.005}});
    d.setHarmMarks(true);
    const int py = d.Diareci().center().y();
    const int p1 = int(std::lround(d.XtoPix(f0)));
    d.mouseMove(p1, py);
    const TReadout fund = d.readout();
    ASSERT_TRUE(fund.fundamental); // without a reference: the largest peak
    EXPECT_DOUBLE_EQ(*fund.fundamental, fund.x);
    d.mouseDown(1, p1, py);
    d.mouseUp(1, p1, py);
    ASSERT_TRUE(d.readoutRef());
    EXPECT_DOUBLE_EQ(d.readoutRef()->x, fund.x);
    const int p3 = int(std::lround(d.XtoPix(3 * f0))) + 2;
    d.mouseMove(p3, py);
    const TReadout h3 = d.readout();
    ASSERT_TRUE(h3.snapped);
    EXPECT_NEAR(h3.x, 3 * f0, kBin);
    EXPECT_DOUBLE_EQ(h3.dX, h3.x - fund.x);
    EXPECT_NEAR(h3.dY, h3.y - fund.y, 1e-12);
    EXPECT_NEAR(h3.dY, 20 * std::log10(0.005 / 0.5), 1.5); // -40 dB, within the window's scalloping
    ASSERT_EQ(h3.harmonics.size(), 8u);                    // 2f..9f all below 20 kHz
    EXPECT_DOUBLE_EQ(h3.harmonics[1], 3 * fund.x);
    // A second click on the reference removes it.
    d.mouseDown(1, p1, py);
    d.mouseUp(1, p1, py);
    EXPECT_FALSE(d.readoutRef());
}

// ---- zoom --------------------------------------------------------------------------------------

// Wheel steps keep the x under the pointer in place (log and linear); zooming out again, a
// double click, and a box zoom followed by a double click all give back the stored range
// exactly; the settings keep the stored range while zoomed.
TEST_F(DiagrammTools, ZoomKeepsThePointerAndReturnsToTheStoredRange) {
    for (bool log : {true, false}) {
        TDiagramm d;
        showSpectrum(d, {{1000.0, 0.5}});
        d.setxSkalalog(log);
        d.setX_minX_Max(20000.0, 20.0);
        const TRange home{d.X_min(), d.X_max()};
        const int px = d.Diareci().left() + d.Diareci().width() / 3, py = d.Diareci().center().y();
        const double under = d.PixToX(px);
        for (int k = 0; k < 3; ++k)
            d.wheelZoom(px, py, 1, false);
        EXPECT_NEAR(d.PixToX(px), under, under * 1e-9) << log;
        EXPECT_LT(d.X_max() - d.X_min(), 0.6 * (home.hi - home.lo));
        TMemIniFile ini;
        d.SavetoIni(ini, "t");
        EXPECT_EQ(ini.ReadFloat("t", "xmax", 0), home.hi);
        for (int k = 0; k < 4; ++k) // one more than in: zooming out stops at the stored range
            d.wheelZoom(px, py, -1, false);
        EXPECT_EQ(TRange(d.X_min(), d.X_max()), home) << log;
        d.wheelZoom(px, py, 2, false);
        d.wheelZoom(px, py, 1, true);
        EXPECT_GT(d.group(0)->Fymin, -160.0);
        d.mouseDoubleClick(1, px, py);
        EXPECT_EQ(TRange(d.X_min(), d.X_max()), home);
        EXPECT_EQ(TRange(d.group(0)->Fymin, d.group(0)->Fymax), TRange(-160.0, 10.0));
        ASSERT_TRUE(d.boxZoom(QRect(px, py - 40, 60, 80)));
        EXPECT_NEAR(d.X_min(), under, under * 1e-9);
        d.restoreStoredRange();
        EXPECT_EQ(TRange(d.X_min(), d.X_max()), home);
        EXPECT_FALSE(d.zoomHome());
    }
}

// Dragging with the left button zooms to the box; a drag shorter than the drag distance is a
// click. A limit set by hand while zoomed becomes the stored range.
TEST_F(DiagrammTools, DragZoomsAndHandLimitsEndTheZoom) {
    TDiagramm d;
    showSpectrum(d, {{1000.0, 0.5}});
    const QRect r = d.Diareci();
    const QPoint a = r.center() - QPoint(80, 60), b = r.center() + QPoint(60, 50);
    d.mouseDown(1, a.x(), a.y());
    d.mouseMove(b.x(), b.y());
    EXPECT_FALSE(d.zoomBox().isEmpty());
    d.mouseUp(1, b.x(), b.y());
    ASSERT_TRUE(d.zoomHome());
    EXPECT_FALSE(d.readoutRef()); // a drag sets no reference
    // y widened to round labels by less than a twentieth of the box's span each way.
    const double boxTop = -160.0 + 170.0 * (r.bottom() - a.y()) / double(r.bottom() - r.top());
    const double boxBottom = -160.0 + 170.0 * (r.bottom() - b.y()) / double(r.bottom() - r.top());
    EXPECT_GE(d.group(0)->Fymax, boxTop);
    EXPECT_LE(d.group(0)->Fymin, boxBottom);
    EXPECT_LT(d.group(0)->Fymax - d.group(0)->Fymin, (boxTop - boxBottom) * 1.1);
    d.setX_max(15000.0);
    EXPECT_FALSE(d.zoomHome());
    d.wheelZoom(r.center().x(), r.center().y(), 1, false);
    d.mouseDoubleClick(1, 0, 0);
    EXPECT_EQ(d.X_max(), 15000.0);
}

// Clicks on the axis end labels name their limits; typed limits that would invert or break the
// axis are refused.
TEST_F(DiagrammTools, AxisEndLabelsAreFoundAndEdited) {
    TDiagramm d;
    showSpectrum(d, {{1000.0, 0.5}});
    const QRect r = d.Diareci();
    const TAxisHit xmin{TAxisLimit::XMin, -1}, xmax{TAxisLimit::XMax, -1};
    const TAxisHit ymax{TAxisLimit::YMax, 0}, ymin{TAxisLimit::YMin, 0};
    for (TAxisHit h : {xmin, xmax, ymax, ymin})
        EXPECT_EQ(d.axisLabelAt(d.axisLabelRect(h).center().x(), d.axisLabelRect(h).center().y()),
                  h);
    EXPECT_EQ(d.axisLabelAt(r.center().x(), r.center().y()).limit, TAxisLimit::None);
    EXPECT_EQ(d.axisLimit(ymax), 10.0);
    EXPECT_FALSE(d.setAxisLimit(xmin, 0.0));     // log axis
    EXPECT_FALSE(d.setAxisLimit(xmin, 30000.0)); // above xmax
    EXPECT_FALSE(d.setAxisLimit(ymin, 20.0));
    EXPECT_FALSE(d.setAxisLimit(ymax, std::nan("")));
    EXPECT_TRUE(d.setAxisLimit(ymin, -130.0));
    EXPECT_TRUE(d.setAxisLimit(xmax, 5000.0));
    EXPECT_EQ(d.group(0)->Fymin, -130.0);
    EXPECT_EQ(d.X_max(), 5000.0);
}

// ---- settings ----------------------------------------------------------------------------------

// The crosshair is the cursor of settings without mode keys; settings that stored the modes keep
// them; the new keys survive a round trip and unreadable values fall back.
TEST_F(DiagrammTools, CrosshairSettings) {
    TDiagramm d;
    TMemIniFile none;
    d.LoadfromIni(none, "f", tdiaset{});
    EXPECT_TRUE(d.CrossHair());
    TMemIniFile old;
    old.WriteBool("f", "Freq_m", false);
    old.WriteBool("f", "Level_m", false);
    old.WriteBool("f", "Flanke_m", false);
    d.LoadfromIni(old, "f", tdiaset{});
    EXPECT_FALSE(d.CrossHair());
    old.WriteBool("f", "Level_m", true);
    old.WriteString("f", "CrossHair", "1");
    d.LoadfromIni(old, "f", tdiaset{});
    EXPECT_FALSE(d.CrossHair()); // a stored measuring mode wins
    EXPECT_TRUE(d.Level_m());
    d.setCrossHair(true);
    d.setHarmMarks(true);
    EXPECT_FALSE(d.Level_m());
    TMemIniFile saved;
    d.SavetoIni(saved, "f");
    TDiagramm e;
    e.LoadfromIni(saved, "f", tdiaset{});
    EXPECT_TRUE(e.CrossHair());
    EXPECT_TRUE(e.HarmMarks());
    saved.WriteString("f", "CrossHair", "\xff\xfe garbage");
    saved.WriteString("f", "HarmMarks", QString(100000, 'x'));
    e.LoadfromIni(saved, "f", tdiaset{});
    EXPECT_FALSE(e.CrossHair()); // the file names its modes (all off): no crosshair
    EXPECT_FALSE(e.HarmMarks());
}
