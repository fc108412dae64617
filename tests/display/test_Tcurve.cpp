// Tests of Tcurve (buffers, arithmetic, peak hold, y references, settings keys) and TYAXgroup.
#include "dsp/corObj.h"
#include "base/TMemIniFile.h"
#include "display/TGdata.h"
#include "display/TYAXgroup.h"
#include "display/Tcurve.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTol = 1e-9; // arithmetic in long double, results compared in dB or linear units

// A curve of the given kind over x = x0, x0 + dx, ... with y(i) and phase ph(i).
template <class Fy, class Fph>
Tcurve makeCurve(enumYvalueTyp kind, int32_t n, double x0, double dx, Fy fy, Fph fph)
{
    Tcurve c;
    c.FValuelogY = kind;
    c.setNewPoints(n);
    Tsamplemem ph(n);
    for (int32_t i = 0; i < n; ++i) {
        c.setPoint(i, x0 + dx * i, fy(i));
        ph.setsmAr(i, fph(i));
    }
    c.SetOriPh(ph);
    c.ValidData = true;
    return c;
}

Tcurve constCurve(enumYvalueTyp kind, double y, double ph = 0.0, int32_t n = 8)
{
    return makeCurve(kind, n, 100.0, 100.0, [y](int32_t) { return y; }, [ph](int32_t) { return ph; });
}

TEST(Tcurve, NewCurveAndBasicBuffers)
{
    Tcurve c(4);
    EXPECT_EQ(c.line, 4);
    for (const Tsamplemem* b : {&c.OriY, &c.CpyY, &c.OriPh, &c.CpyPh, &c.xaxis}) {
        ASSERT_EQ(b->samples(), 256);
        EXPECT_EQ(b->getmaxVal(), 0.0);
    }
    EXPECT_TRUE(c.Fsel);
    EXPECT_EQ(c.Fop2, 1);
    EXPECT_EQ(c.FlineWidth, 1);
    EXPECT_FALSE(c.ValidData);

    c.setNewPoints(5);
    c.setPoint(-1, 1.0, 1.0); // ignored
    c.setPoint(5, 1.0, 1.0);  // ignored
    c.setPoint(1, 20.0, -3.0);
    c.setPoint(3, 400.0, -6.0);
    EXPECT_EQ(c.getxfbeg(), 20.0);
    EXPECT_EQ(c.getxfend(), 400.0);
    EXPECT_EQ(c.CpyY.getsmAr(3), -6.0);

    Tsamplemem y(3);
    y.setsmAr(2, 7.0);
    c.SetOriY(y);
    EXPECT_TRUE(c.ValidData);
    EXPECT_EQ(c.CpyY.getsmAr(2), 7.0);
    EXPECT_EQ(c.OriPh.samples(), 3);
    // A second set of the same size lands in the same buffers, the phase cleared again.
    c.OriPh.setsmAr(1, 0.5);
    const double* kept = c.OriY.smpoi();
    c.SetOriY(y);
    EXPECT_EQ(c.OriY.smpoi(), kept);
    EXPECT_EQ(c.OriPh.getsmAr(1), 0.0);
    // Values and phase at once equal SetOriY followed by SetOriPh, of any phase length.
    Tsamplemem ph(4);
    ph.setsmAr(3, 1.25);
    Tcurve both(1), apart(1);
    both.SetOriYPh(y, ph);
    apart.SetOriY(y);
    apart.SetOriPh(ph);
    for (const auto& [a, b] : {std::pair{&both.OriY, &apart.OriY}, {&both.CpyY, &apart.CpyY},
                               {&both.OriPh, &apart.OriPh}, {&both.CpyPh, &apart.CpyPh}}) {
        ASSERT_EQ(a->samples(), b->samples());
        for (int32_t i = 0; i < a->samples(); ++i)
            EXPECT_EQ(a->getsmAr(i), b->getsmAr(i));
    }
    EXPECT_TRUE(both.ValidData);

    c.MarkerP = {1.0, 2.0};
    c.clearall();
    EXPECT_FALSE(c.ValidData);
    EXPECT_EQ(c.OriY.samples(), 256);
    EXPECT_EQ(c.MarkerP.x, 0.0);
    EXPECT_EQ(Tcurve().getxfbeg(), 0.0);
}

TEST(Tcurve, CopiesAreDeep)
{
    Tcurve a = constCurve(edBV, -3.0);
    a.Name = "a";
    a.Cygroup = 3;
    Tcurve b;
    b.copy(a);
    a.OriY.setsmAr(0, 99.0);
    EXPECT_EQ(b.OriY.getsmAr(0), -3.0);
    EXPECT_EQ(b.Name, "a");

    Tcurve v;
    v.Name = "kept";
    v.copyValuesfrom(b);
    EXPECT_EQ(v.Name, "kept");
    EXPECT_EQ(v.Cygroup, 3);
    EXPECT_EQ(v.FValuelogY, edBV);
    EXPECT_EQ(v.OriY.samples(), 8);
}

// |z1 + z2| of two equal dB values with equal phase is twice the magnitude: +20*log10(2) dB.
TEST(TcurveArithmetic, AddAndSubtractOfDbCurves)
{
    Tcurve a = constCurve(edBFS, -20.0, 0.3);
    a.Operation(constCurve(edBFS, -20.0, 0.3), eAddi);
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(a.OriY.getsmAr(i), -20.0 + 6.0205999132796239, kTol);
        EXPECT_NEAR(a.OriPh.getsmAr(i), 0.3, kTol);
    }
    EXPECT_NEAR(a.CpyY.getsmAr(0), a.OriY.getsmAr(0), 0.0); // the display copy follows

    Tcurve quad = constCurve(edBFS, 0.0, 0.0); // 1 + j -> +3.0103 dB at 45 degrees
    quad.Operation(constCurve(edBFS, 0.0, kPi / 2), eAddi);
    EXPECT_NEAR(quad.OriY.getsmAr(0), 10.0 * std::log10(2.0), kTol);
    EXPECT_NEAR(quad.OriPh.getsmAr(0), kPi / 4, kTol);

    // Equal curves cancel: magnitude 0 has no level, the point becomes "no data", never -inf.
    Tcurve s = constCurve(edBFS, -20.0, 0.3);
    s.Operation(constCurve(edBFS, -20.0, 0.3), eSubtr);
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(s.OriY.getsmAr(i), kDiaNoData);
    Tcurve opp = constCurve(edBFS, -20.0, 0.0);
    opp.Operation(constCurve(edBFS, -20.0, kPi), eAddi);
    EXPECT_EQ(opp.OriY.getsmAr(0), kDiaNoData);
}

TEST(TcurveArithmetic, MultiplyDivideAndLinearKinds)
{
    Tcurve m = constCurve(eVolt, 2.0, 0.25);
    m.Operation(constCurve(eVolt, 3.0, 0.5), eMulti);
    EXPECT_NEAR(m.OriY.getsmAr(0), 6.0, kTol);
    EXPECT_NEAR(m.OriPh.getsmAr(0), 0.75, kTol); // phases add

    Tcurve d = constCurve(eOhm, 6.0, 0.75);
    d.Operation(constCurve(eOhm, 3.0, 0.5), eDivi);
    EXPECT_NEAR(d.OriY.getsmAr(0), 2.0, kTol);
    EXPECT_NEAR(d.OriPh.getsmAr(0), 0.25, kTol);

    Tcurve z = constCurve(eOhm, 6.0);
    z.Operation(constCurve(eOhm, 0.0), eDivi);
    EXPECT_EQ(z.OriY.getsmAr(0), kDiaNoData); // no silent "6 / 0 = 6"

    Tcurve neg = constCurve(eLevLin, 1.0); // 1 - 3 = -2: magnitude 2 at phase pi
    neg.Operation(constCurve(eLevLin, 3.0), eSubtr);
    EXPECT_NEAR(neg.OriY.getsmAr(0), 2.0, kTol);
    EXPECT_NEAR(std::fabs(neg.OriPh.getsmAr(0)), kPi, kTol);

    Tcurve db = constCurve(edBV, -6.0); // dB products are sums of levels
    db.Operation(constCurve(edBV, -14.0), eMulti);
    EXPECT_NEAR(db.OriY.getsmAr(0), -20.0, kTol);
    db.Operation(constCurve(edBV, -20.0), eDivi);
    EXPECT_NEAR(db.OriY.getsmAr(0), 0.0, kTol);
}

// The operand x values differ: this curve is interpolated at the other's x; outside -192.
TEST(TcurveArithmetic, UnlikeCurvesAreResampled)
{
    Tcurve a = makeCurve(eVolt, 10, 100.0, 100.0, [](int32_t i) { return 1.0 + i; }, [](int32_t) { return 0.0; });
    Tcurve b;
    b.FValuelogY = eVolt;
    b.setNewPoints(4);
    b.setPoint(0, 150.0, 10.0);  // a(150) = 1.5
    b.setPoint(1, 550.0, 10.0);  // a(550) = 5.5
    b.setPoint(2, 1000.0, 10.0); // a(1000) = 10
    b.setPoint(3, 2000.0, 10.0); // outside a
    a.Operation(b, eAddi);
    ASSERT_EQ(a.OriY.samples(), 4);
    EXPECT_NEAR(a.OriY.getsmAr(0), 11.5, kTol);
    EXPECT_NEAR(a.OriY.getsmAr(1), 15.5, kTol);
    EXPECT_NEAR(a.OriY.getsmAr(2), 20.0, kTol);
    EXPECT_EQ(a.OriY.getsmAr(3), kDiaNoData);
    EXPECT_EQ(a.xaxis.getsmAr(3), 2000.0);
}

TEST(TcurveArithmetic, TwoOperandFormsLeaveOperandsAlone)
{
    const Tcurve a = constCurve(eVolt, 6.0), b = constCurve(eVolt, 2.0);
    Tcurve r(5);
    r.Name = "result";
    r.doAddi(a, b);
    EXPECT_NEAR(r.OriY.getsmAr(3), 8.0, kTol);
    r.doSubtr(a, b);
    EXPECT_NEAR(r.OriY.getsmAr(3), 4.0, kTol);
    r.doMulti(a, b);
    EXPECT_NEAR(r.OriY.getsmAr(3), 12.0, kTol);
    r.doDivi(a, b);
    EXPECT_NEAR(r.OriY.getsmAr(3), 3.0, kTol);
    EXPECT_EQ(r.Name, "result");
    EXPECT_EQ(r.line, 5);
    EXPECT_EQ(a.OriY.getsmAr(3), 6.0);
    EXPECT_EQ(r.OriY.samples(), 8);
}

TEST(TcurveArithmetic, PeakHoldOffsetAndReferences)
{
    Tcurve p = constCurve(edBFS, 0.0);
    p.clearPeak();
    EXPECT_EQ(p.OriY.getsmAr(0), kDiaPeakClearDB);
    p.Operation(makeCurve(edBFS, 8, 100.0, 100.0, [](int32_t i) { return -10.0 * i; }, [](int32_t) { return 0.0; }), ePeak);
    p.doPeak(makeCurve(edBFS, 8, 100.0, 100.0, [](int32_t i) { return -5.0 * (7 - i); }, [](int32_t) { return 0.0; }));
    EXPECT_EQ(p.OriY.getsmAr(0), 0.0);   // first sweep
    EXPECT_EQ(p.OriY.getsmAr(7), 0.0);   // second sweep
    EXPECT_EQ(p.OriY.getsmAr(3), -20.0); // max(-30, -20)

    Tcurve lin = constCurve(ePa, 5.0);
    lin.clearPeak();
    EXPECT_EQ(lin.OriY.getsmAr(0), 0.0);
    lin.AddOffset(2.5);
    EXPECT_EQ(lin.OriY.getsmAr(7), 2.5);

    Tcurve r = makeCurve(edBFS, 5, 0.0, 0.0, [](int32_t i) { return double(i * i); }, [](int32_t) { return 0.0; });
    Tsamplemem grid(5);
    for (int32_t i = 0; i < 5; ++i)
        grid.setsmAr(i, 500.0 * i); // 0, 500, 1000, 1500, 2000
    EXPECT_EQ(r.checkYAxis(eYAM0db1kHz, grid), 9.0); // first grid x above 1000
    EXPECT_EQ(r.checkYAxis(eYAM0dbmaxV, grid), 16.0);
    EXPECT_EQ(r.checkYAxis(eYAMnormal, grid), 0.0);
}

TEST(Tcurve, CorrectionAsCurve)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("mic.cor");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("10;1\n1000;-2\n20000;3\n");
    f.close();
    Tcorri cor;
    ASSERT_TRUE(cor.makeCorrArr(name.toStdString(), ';'));
    Tcurve c;
    c.Fsel = true;
    c.Cygroup = 4;
    c.FDFilter = 2;
    c.Cor2Curve(cor, 1);
    EXPECT_EQ(c.Name, "Output correction: " + name);
    ASSERT_EQ(c.OriY.samples(), 3);
    EXPECT_EQ(c.xaxis.getsmAr(1), 1000.0);
    EXPECT_EQ(c.OriY.getsmAr(1), -2.0);
    EXPECT_TRUE(c.Fcvis && c.ValidData);
    EXPECT_FALSE(c.Fsel);
    EXPECT_EQ(c.Cygroup, 0);
    EXPECT_EQ(c.FDFilter, 0);
    c.Cor2Curve(cor, 0);
    EXPECT_TRUE(c.Name.startsWith("Input correction: "));
}

TEST(TcurveIni, RoundTripAndWrittenKeys)
{
    Tcurve a(2);
    a.FColLine = 0x123456;
    a.Sfreq = 48000;
    a.FDFilter = 3;
    a.MarkerP = {1234.5, -6.25};
    a.MarkPat = 1;
    a.Fcvis = false;
    a.Fsel = false;
    a.Flogx = true;
    a.FValuelogY = eOhm;
    a.Name = "left";
    a.Comment = "a comment";
    a.FileName = "/tmp/x.cur";
    a.Cygroup = 7;
    a.FlineMode = 2;
    a.FlineWidth = 4;
    a.Foperation = eDivi;
    a.Fop1 = 3;
    a.Fop2 = 5;
    a.FdbMode = dbMode_dBu;
    a.frem2Name = true;
    TMemIniFile ini;
    a.save(ini, "DIACURVE_2");
    EXPECT_TRUE(ini.ValueExists("DIACURVE_2", "LINEwidth"));
    EXPECT_EQ(ini.ReadString("DIACURVE_2", "FRem2Name", ""), "1");

    Tcurve b(9);
    b.load(ini, "diacurve_2", 2, false);
    EXPECT_EQ(b.FColLine, a.FColLine);
    EXPECT_EQ(b.line, 2);
    EXPECT_EQ(b.Sfreq, 48000);
    EXPECT_EQ(b.FDFilter, 3);
    EXPECT_EQ(b.MarkerP.x, 1234.5);
    EXPECT_EQ(b.MarkerP.y, -6.25);
    EXPECT_EQ(b.MarkPat, 1);
    EXPECT_FALSE(b.Fcvis || b.Fsel);
    EXPECT_TRUE(b.Flogx);
    EXPECT_EQ(b.FValuelogY, eOhm);
    EXPECT_EQ(b.Name, "left");
    EXPECT_EQ(b.Comment, "a comment");
    EXPECT_EQ(b.FileName, "/tmp/x.cur");
    EXPECT_EQ(b.Cygroup, 7);
    EXPECT_EQ(b.FlineMode, 2);
    EXPECT_EQ(b.FlineWidth, 4);
    EXPECT_EQ(b.Foperation, eDivi);
    EXPECT_EQ(b.Fop1, 3);
    EXPECT_EQ(b.Fop2, 5);
    EXPECT_EQ(b.FdbMode, dbMode_dBu);
    EXPECT_FALSE(b.frem2Name); // written only
}

TEST(TcurveIni, DefaultsDependOnTheCurveNumber)
{
    TMemIniFile empty;
    Tcurve c;
    c.FColLine = 0xFF;
    c.load(empty, "none", 1, true);
    EXPECT_EQ(c.FColLine, 0xFFu); // -1: colour kept
    EXPECT_TRUE(c.Fcvis);
    EXPECT_TRUE(c.Fsel);
    EXPECT_EQ(c.Cygroup, 1); // odd curve, second axis active
    EXPECT_EQ(c.Name, "unknown");
    EXPECT_EQ(c.Comment, "...");
    EXPECT_EQ(c.FileName, "*.cur");
    EXPECT_EQ(c.Fop2, 1);
    EXPECT_EQ(c.FdbMode, dBmode_unknown);
    c.load(empty, "none", 3, false);
    EXPECT_FALSE(c.Fsel);
    EXPECT_EQ(c.Cygroup, 0);
    c.load(empty, "none", 2, true);
    EXPECT_EQ(c.Cygroup, 0);
}

TEST(TcurveIni, OutOfRangeValuesAreClamped)
{
    TMemIniFile ini;
    ini.WriteInteger("c", "Cygroup", 40);
    ini.WriteInteger("c", "linewidth", 0);
    ini.WriteInteger("c", "FLOGY", 99);
    ini.WriteInteger("c", "Foperation", -4);
    ini.WriteInteger("c", "dBMode", 250);
    ini.WriteInteger("c", "LINEMODE", 9);
    Tcurve c;
    c.load(ini, "c", 0, false);
    EXPECT_EQ(c.Cygroup, 11);
    EXPECT_EQ(c.FlineWidth, 1);
    EXPECT_EQ(c.FValuelogY, edBFS);
    EXPECT_EQ(c.Foperation, eMeasure);
    EXPECT_EQ(c.FdbMode, dBmode_unknown);
    EXPECT_EQ(c.FlineMode, 4);
    ini.WriteInteger("c", "Cygroup", -3);
    ini.WriteInteger("c", "linewidth", 25);
    c.load(ini, "c", 0, false);
    EXPECT_EQ(c.Cygroup, 0);
    EXPECT_EQ(c.FlineWidth, 20);
}

TEST(TYAXgroup, DefaultsAndLabelDecimals)
{
    const TYAXgroup g0(0), g3(3);
    EXPECT_EQ(g0.Fymax, 0.0);
    EXPECT_EQ(g0.Fymin, -100.0);
    EXPECT_EQ(g0.Fyteil, 10.0);
    EXPECT_EQ(g0.fEinh, "filliDB");
    EXPECT_TRUE(g0.Fyaxisvis);
    EXPECT_FALSE(g3.Fyaxisvis);
    EXPECT_EQ(g3.FgroupN, 'D');
    EXPECT_EQ(g3.SButUpper.tag, 3);
    EXPECT_EQ(g0.FyfakStat, 1.0);
    TYAXgroup g;
    const std::pair<double, int32_t> ladder[] = {{5e-7, 7}, {1e-6, 6}, {5e-6, 6}, {5e-5, 5}, {5e-4, 4},
                                                 {0.005, 3}, {0.01, 2}, {0.05, 2}, {0.5, 1}, {1.0, 0}, {20.0, 0}};
    for (const auto& [step, decimals] : ladder) {
        g.setYteil(step);
        EXPECT_EQ(g.Fyteil, step);
        EXPECT_EQ(g.Fyko, decimals) << step;
    }
}

TEST(TGdata, BuffersAliasAndCopy)
{
    cFFTdat ana;
    ana.fAnzICha = 2;
    {
        TGdata g(&ana);
        g.makeAsd(3, 64);
        ASSERT_EQ(g.asdDia.size(), 3u);
        EXPECT_EQ(g.asdPh[2].samples(), 64);
        EXPECT_TRUE(g.memalloced);
        g.asdZ[1].setsmAr(5, 0.5);
        g.sfi = 96000;

        cFFTdat other;
        TGdata c(&other);
        c.copy(g);
        EXPECT_EQ(&c.asdZz, &c.asdZ);
        EXPECT_EQ(c.asdZz[1].getsmAr(5), 0.5);
        EXPECT_EQ(c.sfi, 96000);
        EXPECT_EQ(c.AnaFFT, &other);
        g.asdZ[1].setsmAr(5, 0.0);
        EXPECT_EQ(c.asdZ[1].getsmAr(5), 0.5); // deep
        g.ReleaseGMem();
        EXPECT_TRUE(g.asdDia.empty());
        EXPECT_FALSE(g.memalloced);
    }
}

} // namespace
