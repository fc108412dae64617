// The 3D diagram: its settings' repair rules, and a rendered waterfall of known bands against a
// picture rendered once and stored (VELMORA_WF_REGEN=1 renders it again).
#include "display/T3Ddiagr.h"

#include "base/TMemIniFile.h"
#include "../support/testFonts.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <vector>

namespace {

class T3DdiagrRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString why = testFonts::startGuiApp("test_T3Ddiagr");
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
    }
};

// 24 bands of a 1 kHz tone sweeping up by 40 Hz per band over pink-ish noise, 2048 points of
// an 8192-point transform at 48 kHz, 100 ms apart.
void fillKnownBands(T3Ddiagr& d)
{
    d.setxSteps(2048);
    d.setZbands(24);
    d.setXmin(20);
    d.setXmax(20000);
    d.setYmin(-100);
    d.setYmax(0);
    d.setYmaxAuto(false);
    std::vector<double> sd(2048);
    for (int b = 0; b < 24; ++b) {
        const double f0 = 1000.0 + 40.0 * b;
        for (int i = 0; i < 2048; ++i) {
            const double f = i * 48000.0 / 8192.0;
            const double floor = -70.0 - 10.0 * std::log10(std::max(f, 20.0) / 20.0) + 3.0 * std::sin(i * 0.37 + b);
            const double dist = std::fabs(f - f0) / (48000.0 / 8192.0);
            sd[size_t(i)] = std::max(floor, dist < 3 ? -6.0 - 8.0 * dist * dist : -200.0);
            if (std::fabs(f - 2 * f0) < 12) sd[size_t(i)] = std::max(sd[size_t(i)], -45.0);
        }
        d.pushSpectrum(sd, 1000.0 + 100.0 * b, 8192, 48000);
    }
}

// Share of pixels whose colour differs by more than `tol` in any channel.
double differingShare(const QImage& a, const QImage& b, int tol)
{
    if (a.size() != b.size())
        return 1.0;
    long differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p(a.pixel(x, y)), q(b.pixel(x, y));
            if (std::abs(p.red() - q.red()) > tol || std::abs(p.green() - q.green()) > tol ||
                std::abs(p.blue() - q.blue()) > tol)
                ++differ;
        }
    return double(differ) / (double(a.width()) * a.height());
}

// The pictures of the three visualisations under the test's font set, kept in /tmp for a look;
// the stored reference of the same font set must match within 0.5 % of the pixels (colour steps
// of 8): the text's antialiasing may move, bands, faces and grid may not.
TEST_F(T3DdiagrRender, knownBandsRenderAsTheStoredPictureInEachVisualisation)
{
    const char* names[3] = {"wire", "plain", "surface"};
    const QByteArray set = qgetenv("VELMORA_TEST_FONTS").isEmpty() ? "dejavu" : qgetenv("VELMORA_TEST_FONTS");
    for (int lf = 0; lf < 3; ++lf) {
        T3Ddiagr d;
        d.resize(1000, 600);
        d.FDiaBGCol = 0xF0F0F0;
        d.setFlaeche(lf);
        fillKnownBands(d);
        d.PaintNew3D();
        const QImage img = d.getBitmap().convertToFormat(QImage::Format_RGB32);
        img.save(QString("/tmp/wf_%1_%2.png").arg(names[lf], QString::fromLatin1(set)));
        const QString ref =
            QString(VELMORA_TESTS_DIR "/display/golden/wf_%1_%2.png").arg(names[lf], QString::fromLatin1(set));
        if (qgetenv("VELMORA_WF_REGEN") == "1")
            img.save(ref);
        const QImage stored(ref);
        ASSERT_FALSE(stored.isNull()) << ref.toStdString();
        const double share = differingShare(img, stored.convertToFormat(QImage::Format_RGB32), 8);
        EXPECT_LT(share, 0.005) << names[lf] << " differs in " << share * 100 << " % of the pixels";
        // The nearest band's tone stands above the floor: the line colour reaches the upper half.
        bool high = false;
        for (int y = 0; y < 300 && !high; ++y)
            for (int x = 0; x < 1000 && !high; ++x)
                high = QColor(img.pixel(x, y)) == bgrToQColor(d.FLineCol);
        EXPECT_TRUE(high) << names[lf];
    }
}

TEST(T3DdiagrIni, repairsLimitsAndBandCountsAndKeepsTheFilter)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("v.ini");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[fft3d]\nymin=5\nymax=-5\nxmin=30000\nxmax=20\nzBands=1\nFDfilter=4\nBackCol=123\nPlaines=1\n");
    }
    T3Ddiagr d;
    d.mainWindowColour = 0xABCDEF;
    d.LoadFromIni(TMemIniFile(file), "fft3d");
    EXPECT_EQ(d.Ymin(), -100);
    EXPECT_EQ(d.Ymax(), -20);
    EXPECT_EQ(d.Xmin(), 20);
    EXPECT_EQ(d.Xmax(), 20000);
    EXPECT_EQ(d.Zbands(), 2);
    EXPECT_EQ(d.DFilter(), 4);
    EXPECT_EQ(d.FBackCol, 0xABCDEFu);
    EXPECT_EQ(d.Flaeche(), 1);
    TMemIniFile w(file);
    w.WriteInteger("fft3d", "zBands", 70);
    w.WriteInteger("fft3d", "FDfilter", 9);
    d.setZbands(10);
    d.LoadFromIni(w, "fft3d");
    EXPECT_EQ(d.Zbands(), 10); // 70 -> 64, which is no band count: unchanged
    EXPECT_EQ(d.DFilter(), 0);
    // Garbage, a truncated line and a huge value give defaults or clamps, never a crash.
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        static const char bad[] = "[fft3d]\nzBands=99999999999999999999\nymin=abc\n\xff\xfe\x00garbage\nxm";
        f.write(QByteArray(bad, sizeof bad - 1)); // NUL bytes included, the last line cut
    }
    T3Ddiagr g;
    g.LoadFromIni(TMemIniFile(file), "fft3d");
    EXPECT_GE(g.Zbands(), 2);
    EXPECT_LE(g.Zbands(), 63);
    EXPECT_LT(g.Ymin(), g.Ymax());
}

TEST(T3DdiagrYAxis, yMaxAutoFollowsTheRunningMaximum)
{
    T3Ddiagr d;
    d.setxSteps(4);
    d.setYmin(-100);
    d.setYmaxAuto(true);
    d.pushSpectrum(std::vector<double>{-50, -37, -60, -80}, 100, 8, 8000);
    d.checkYAxis();
    EXPECT_EQ(d.Ymax(), -30);
    d.pushSpectrum(std::vector<double>{3, -37, -60, -80}, 200, 8, 8000);
    d.checkYAxis();
    EXPECT_EQ(d.Ymax(), 10);
    EXPECT_DOUBLE_EQ(d.bands().xAxis()[1], 1000.0); // (sfi/2)*i/(fftp/2)
}

} // namespace
