// Diagram window model: result packages into slots, selections, x-limit edits, popup actions, settings.
#include "dsp/corObj.h"
#include "base/TMemIniFile.h"
#include "display/TDiaWindowModel.h"
#include "display/TGdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Records the window messages posted to it.
struct Receiver : QObject {
    struct Msg {
        int msg;
        intptr_t w, l;
    };
    std::vector<Msg> got;
    bool event(QEvent* e) override
    {
        if (e->type() != TMsgEvent::eventType()) return QObject::event(e);
        const auto* m = static_cast<TMsgEvent*>(e);
        got.push_back({m->msg, m->wParam, m->lParam});
        return true;
    }
};

Tsamplemem ramp(int32_t n, double start, double step)
{
    Tsamplemem s(n);
    for (int32_t i = 0; i < n; ++i) s.setsmAr(i, start + i * step);
    return s;
}

Tsamplemem constant(int32_t n, double v)
{
    Tsamplemem s(n);
    s.fillComplete(v);
    return s;
}

class DiaWindowModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TDiaWindowModel";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QGuiApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        mainDia.newsize(600, -1, 300);
        timeDia.newsize(600, -1, 150);
        for (int s = 0; s < kDiaCurves; ++s) mainDia.curve(s)->Fsel = s < 2;
        model.configureTimeDiagram(1);
    }

    // Three spectrum items (with time signals) of 64 points over 100 Hz .. 6400 Hz.
    void putThree()
    {
        for (int i = 0; i < 3; ++i) {
            y[i] = constant(64, -10.0 * (i + 1));
            td[i] = constant(32, 0.1 * (i + 1));
            dc[i].y0fd_v = &y[i];
            dc[i].y0td_V = &td[i];
        }
        model.putCurvesNew(dc, 3, true, 48000, ramp(64, 100.0, 100.0));
    }

    QTemporaryDir home;
    TDiagramm mainDia;
    TDiagramm timeDia;
    TDiaWindowModel model{mainDia, &timeDia};
    Tsamplemem y[3], td[3];
    tDiaCurveData dc[3];
};

} // namespace

TEST_F(DiaWindowModelTest, ItemsFillOnlySelectedNonSpecialSlots)
{
    putThree();
    EXPECT_TRUE(mainDia.curve(0)->ValidData);
    EXPECT_TRUE(mainDia.curve(1)->ValidData);
    EXPECT_FALSE(mainDia.curve(2)->ValidData) << "a third channel needs a third selected slot";
    EXPECT_DOUBLE_EQ(mainDia.curve(1)->OriY.getsmAr(5), -20.0);
    EXPECT_EQ(mainDia.curve(1)->Sfreq, 48000);
    EXPECT_TRUE(mainDia.curve(1)->Flogx);
    EXPECT_TRUE(mainDia.curve(1)->Fcvis);
    // Time signals: item k into time slot k, x in ms, colour of the main slot of that item.
    EXPECT_DOUBLE_EQ(timeDia.curve(1)->OriY.getsmAr(0), 0.2);
    EXPECT_NEAR(timeDia.curve(0)->xaxis.getsmAr(3), 3 * 1000.0 / 48000, 1e-12);
    EXPECT_EQ(timeDia.curve(1)->FColLine, mainDia.getColline(1));
    EXPECT_EQ(timeDia.curve(2)->FColLine, 0u) << "the third item reached no main slot";

    // Special slots 9..11 never receive data, even when selected.
    for (int s = 0; s < kDiaCurves; ++s) mainDia.curve(s)->Fsel = s >= 9;
    for (int s = 9; s < kDiaCurves; ++s) ASSERT_EQ(mainDia.curve(s)->Fspez, 1) << s;
    putThree();
    for (int s = 9; s < kDiaCurves; ++s) EXPECT_FALSE(mainDia.curve(s)->ValidData) << s;
    // A selected slot further up still gets the first item.
    mainDia.curve(5)->Fsel = true;
    putThree();
    EXPECT_DOUBLE_EQ(mainDia.curve(5)->OriY.getsmAr(0), -10.0);
}

TEST_F(DiaWindowModelTest, XFactorAndCurveOperationsAfterPut)
{
    mainDia.setxSkalFaktor(0.001);
    for (int s = 0; s < 3; ++s) mainDia.curve(s)->FValuelogY = eVolt;
    Tcurve& diff = *mainDia.curve(2);
    diff.Foperation = eSubtr;
    diff.Fop1 = 0;
    diff.Fop2 = 1;
    Tsamplemem a = constant(64, 5.0), b = constant(64, 3.0);
    tDiaCurveData items[2];
    items[0].y0fd_v = &a;
    items[1].y0fd_v = &b;
    items[0].Ylogfdv = items[1].Ylogfdv = eVolt;
    model.putCurvesNew(items, 2, false, 48000, ramp(64, 1000.0, 1000.0));
    EXPECT_NEAR(mainDia.curve(0)->xaxis.getsmAr(1), 2.0, 1e-12) << "x axis times the x data factor";
    EXPECT_NEAR(diff.OriY.getsmAr(10), 2.0, 1e-9);
    EXPECT_TRUE(diff.Fcvis);
    // An operand outside the slots is ignored rather than read.
    diff.Fop1 = 40;
    model.doCurveOperations(2);
    EXPECT_NEAR(diff.OriY.getsmAr(10), 2.0, 1e-9);
}

TEST_F(DiaWindowModelTest, PackageIsDistributedAndHandedBack)
{
    Receiver meas;
    cFFTdat fft;
    fft.setAnzICha(3);
    fft.MeasuringModeF = 1;
    fft.DiagramForm = Sample_2D;
    fft.fdbMode = dbMode_dBV;
    TGdata g(&fft);
    g.makeAsd(3, 64);
    for (int i = 0; i < 3; ++i) {
        g.asdDia[i].fillComplete(-1.0 - i);
        g.asdZz[i].fillComplete(0.5);
    }
    g.sdX = ramp(64, 20.0, 10.0);
    g.Working = true;
    g.MsgHandle = &meas;
    g.ComStrList = {"old"};
    model.unitLeft = "dBV";
    model.unitRight = "dBu";
    mainDia.curve(1)->Cygroup = 1;
    ASSERT_TRUE(model.wmPutDia(&g));
    EXPECT_FALSE(g.Working);
    EXPECT_TRUE(g.ComStrList.isEmpty());
    EXPECT_EQ(mainDia.curve(0)->FValuelogY, edBV);
    EXPECT_DOUBLE_EQ(mainDia.curve(1)->OriY.getsmAr(0), -2.0);
    EXPECT_FALSE(mainDia.curve(2)->ValidData);
    EXPECT_EQ(mainDia.group(1)->fEinh, "dBu");
    EXPECT_EQ(mainDia.group(0)->fEinh, "dBV");
    EXPECT_DOUBLE_EQ(timeDia.curve(0)->OriY.getsmAr(0), 0.5) << "mode 1 shows the time signal";
    QCoreApplication::processEvents();
    ASSERT_EQ(meas.got.size(), 1u);
    EXPECT_EQ(meas.got[0].msg, 1052);
    EXPECT_EQ(meas.got[0].w, 723);
    EXPECT_EQ(meas.got[0].l, 13);

    // Sweep: the package's value kinds, and the time signal whatever the mode.
    fft.DiagramForm = Samplesweep;
    fft.MeasuringModeF = 3;
    g.eMode = {eOhm, eGrad, eOhm};
    timeDia.curve(0)->clearall();
    model.wmPutDia(&g);
    EXPECT_EQ(mainDia.curve(0)->FValuelogY, eOhm);
    EXPECT_EQ(mainDia.curve(1)->FValuelogY, eGrad);
    EXPECT_TRUE(timeDia.curve(0)->ValidData);

    // 3D goes to its hook; the package still comes back.
    fft.DiagramForm = Sample_3D;
    int pushed = 0;
    model.on3DData = [&](TGdata&) { ++pushed; };
    model.wmPutDia(&g);
    EXPECT_EQ(pushed, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(meas.got.size(), 3u);
}

TEST_F(DiaWindowModelTest, BrokenPackagesAreHandledSafely)
{
    EXPECT_FALSE(model.wmPutDia(nullptr));
    // More channels announced than buffers present, and no settings at all.
    cFFTdat fft;
    fft.setAnzICha(8);
    TGdata g(&fft);
    g.makeAsd(1, 16);
    g.sdX = ramp(16, 20.0, 10.0);
    g.Working = true;
    EXPECT_TRUE(model.wmPutDia(&g));
    EXPECT_FALSE(mainDia.curve(1)->ValidData);
    TGdata bare(&fft);
    bare.AnaFFT = nullptr;
    bare.Working = true;
    EXPECT_TRUE(model.wmPutDia(&bare));
    EXPECT_FALSE(bare.Working) << "the measurement gets its package back";
    // Peak-hold reset message: only slots 0..11.
    model.wmclearcurve(12);
    model.wmclearcurve(-1);
    mainDia.curve(0)->SetOriY(constant(16, -3.0));
    model.wmclearcurve(0);
    EXPECT_DOUBLE_EQ(mainDia.curve(0)->OriY.getsmAr(4), -1000.0);
}

TEST_F(DiaWindowModelTest, ShiftToNextCurveMovesTheSelectionPattern)
{
    mainDia.curve(3)->Fcvis = false;
    model.shiftnewcurves(true); // 0,1 -> 2,3
    for (int s = 0; s < 8; ++s) EXPECT_EQ(mainDia.curve(s)->Fsel, s == 2 || s == 3) << s;
    EXPECT_TRUE(mainDia.curve(3)->Fcvis) << "newly selected curves become visible";
    model.newcurves(57);
    EXPECT_TRUE(mainDia.curve(2)->Fsel) << "a shift above 56 does nothing";
    model.newcurves(5); // 2,3 -> 7 (8 is lost)
    for (int s = 0; s < 8; ++s) EXPECT_EQ(mainDia.curve(s)->Fsel, s == 7) << s;
    model.shiftnewcurves(false); // 7 -> 6
    EXPECT_TRUE(mainDia.curve(6)->Fsel);
    model.newcurves(-7); // below 0: lost
    for (int s = 0; s < 8; ++s) EXPECT_FALSE(mainDia.curve(s)->Fsel) << s;
}

TEST_F(DiaWindowModelTest, ClearCurvesFlagsAndDrops)
{
    putThree();
    mainDia.curve(4)->Fsel = true;
    model.ConCCcurves = true;
    model.ConCCselections = true;
    model.clearCurves();
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(mainDia.curve(s)->Fsel, s < 2) << s;
        EXPECT_EQ(mainDia.getCurveName(s), "unknown");
        for (const Tsamplemem* m : {&mainDia.curve(s)->OriY, &mainDia.curve(s)->CpyY})
            for (int i = 0; i < m->samples(); ++i) ASSERT_EQ(m->getsmAr(i), kDiaNoData) << s << " " << i;
    }

    // Drops: onto itself nothing; replace keeps the target's colour; outside 0..7 nothing.
    putThree();
    const Tcurve before(*mainDia.curve(0));
    EXPECT_FALSE(model.dropCurve(0, 0, false));
    EXPECT_EQ(mainDia.curve(0)->OriY.samples(), before.OriY.samples());
    EXPECT_FALSE(model.dropCurve(0, 8, false));
    const TColorBGR col3 = mainDia.getColline(3);
    EXPECT_TRUE(model.dropCurve(1, 3, false));
    EXPECT_EQ(mainDia.getColline(3), col3);
    EXPECT_EQ(mainDia.curve(3)->line, 3);
    EXPECT_DOUBLE_EQ(mainDia.curve(3)->OriY.getsmAr(0), -20.0);
}

// After "clear curves" the next measurement's data is drawn again.
TEST_F(DiaWindowModelTest, DataAfterClearCurvesIsDrawnAgain)
{
    auto curvePixels = [&] {
        mainDia.paintNew(true);
        const QImage& img = mainDia.getBitmap();
        const QRgb col = bgrToQColor(mainDia.getColline(0)).rgb();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == col;
        return n;
    };
    mainDia.group(0)->Fymax = 0.0;
    mainDia.group(0)->Fymin = -100.0;
    putThree();
    const int drawn = curvePixels();
    ASSERT_GT(drawn, 50);
    model.ConCCcurves = true;
    model.clearCurves();
    EXPECT_LT(curvePixels(), drawn / 4);
    putThree();
    EXPECT_GT(curvePixels(), drawn / 2);
}

TEST_F(DiaWindowModelTest, XLimitEditsRejectCrossedLimits)
{
    mainDia.setX_minX_Max(22000.0, 20.0);
    EXPECT_FALSE(model.applyXmaxText("10"));
    EXPECT_DOUBLE_EQ(mainDia.X_max(), 22000.0);
    EXPECT_EQ(TDiaWindowModel::xLimitText(mainDia.X_max()), "22000") << "the edit shows the old maximum";
    EXPECT_FALSE(model.applyXminText("30000"));
    EXPECT_FALSE(model.applyXmaxText("abc"));
    EXPECT_FALSE(model.applyXmaxText(""));
    EXPECT_TRUE(model.applyXmaxText(" -15 000 ")) << "blanks removed, absolute value";
    EXPECT_DOUBLE_EQ(mainDia.X_max(), 15000.0);
    EXPECT_TRUE(model.applyXminText("0,5"));
    EXPECT_DOUBLE_EQ(mainDia.X_min(), 0.5);
    EXPECT_EQ(TDiaWindowModel::xLimitText(0.5), "0.5");
    EXPECT_EQ(TDiaWindowModel::xLimitText(20.0), "20");
    EXPECT_EQ(TDiaWindowModel::xLimitText(0.0123456), "0.01") << "decimals of the grid step";
}

TEST_F(DiaWindowModelTest, TimeDiagramPopupActionsOnParameterReferences)
{
    TTimeDiaPoint p{12.5, -0.25};
    EXPECT_EQ(model.popupPointText(p), "This point (12.50ms / -0.2500FS) will be now");
    EXPECT_EQ(model.popupTriggerText(), "trigger level");
    // Without the measurement's parameters nothing is written.
    model.fftBeginAt(p);
    model.triggerLevelAt(p);
    model.echoPointAt(p);
    double trig = 0.1, echo = 0.0;
    int32_t fftBeg = 0;
    int changes = 0;
    model.pTriggLevel = &trig;
    model.pEcho_ms = &echo;
    model.pManFFTbegin_samp = &fftBeg;
    model.Samplefreq = 48000;
    model.fOnParaChange = [&] { ++changes; };
    EXPECT_EQ(model.popupTriggerText(), "trigger level : 0.100FS");
    model.fftBeginAt(p);
    EXPECT_EQ(fftBeg, 600);
    model.triggerLevelAt(p);
    EXPECT_DOUBLE_EQ(trig, 0.25);
    model.echoPointAt(p);
    EXPECT_DOUBLE_EQ(echo, 12.5);
    EXPECT_TRUE(timeDia.ExtraLine());
    EXPECT_EQ(changes, 3);
    // Limits: begin only below the end, end only above the begin.
    model.diagramEndAt({100.0, 0.0});
    EXPECT_DOUBLE_EQ(timeDia.X_max(), 100.0);
    model.diagramBeginAt({150.0, 0.0});
    EXPECT_DOUBLE_EQ(timeDia.X_min(), 0.0);
    model.diagramYmaxAt({1.0, -0.4});
    EXPECT_DOUBLE_EQ(timeDia.Y1_max(), 0.4);
    EXPECT_DOUBLE_EQ(timeDia.Y1_min(), -0.4);
    // Around the impulse and back to the default view.
    EXPECT_EQ(model.popupAroundText(), "around impulse is OFF");
    model.toggleAroundIps();
    EXPECT_EQ(model.popupAroundText(), "around impulse is ON");
    EXPECT_DOUBLE_EQ(timeDia.xScalOffset(), 12.5);
    model.visTdom = 1;
    model.toggleAroundIps();
    EXPECT_FALSE(timeDia.aroundIps());
    EXPECT_DOUBLE_EQ(echo, -1.0);
    EXPECT_EQ(model.visTdom, 3);
    EXPECT_TRUE(timeDia.curve(1)->Fcvis);
    EXPECT_DOUBLE_EQ(timeDia.Y1_max(), 1.0);
}

TEST_F(DiaWindowModelTest, SettingsRoundTripAndBadValues)
{
    const QString file = home.filePath("dia.ini");
    {
        TMemIniFile ini(file);
        model.ConCCselections = true;
        model.ConCCcurves = false;
        model.SplitterTop = 123;
        mainDia.setRem_1("main remark");
        model.saveDia(ini, "fft2d");
        ASSERT_TRUE(ini.UpdateFile());
        EXPECT_TRUE(ini.SectionExists("diapriv"));
        EXPECT_TRUE(ini.SectionExists("fft2d"));
        EXPECT_TRUE(ini.SectionExists("fft2dZ"));
    }
    TDiagramm m2, t2;
    TDiaWindowModel other(m2, &t2);
    other.configureTimeDiagram(1);
    TMemIniFile ini(file);
    other.loadDia(ini, "fft2d", tdiaset{}, 500);
    EXPECT_TRUE(other.ConCCselections);
    EXPECT_FALSE(other.ConCCcurves);
    EXPECT_EQ(other.SplitterTop, 123);
    EXPECT_EQ(m2.Rem_1(), "main remark");
    EXPECT_EQ(other.visTdom, 3);
    EXPECT_EQ(t2.xEinheit(), "ms");
    EXPECT_EQ(t2.group(3)->fEinh, "FS");

    // Garbage values fall back to the defaults.
    TMemIniFile bad;
    ASSERT_TRUE(bad.setText("[diapriv]\nSplitterTop=abc\nvisTdom=\x01\nConCCcurves=maybe\n"));
    tdiaset ds;
    ds.splitr = 0.2;
    other.LoadfromIni(bad, 500, ds);
    EXPECT_EQ(other.SplitterTop, 100);
    EXPECT_EQ(other.visTdom, 1);
    EXPECT_TRUE(other.ConCCcurves);
}

TEST_F(DiaWindowModelTest, TextExportChoosesTheDiagramAndReportsFailure)
{
    putThree();
    const QString f = home.filePath("f.txt");
    EXPECT_FALSE(model.SaveAsText(f, 'F'));
    QFile in(f);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_TRUE(in.readAll().contains(';'));
    QString why;
    EXPECT_TRUE(model.SaveAsText(home.filePath("no/such/dir/t.txt"), 't', &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(model.SaveAsText(f, 'X'));
    EXPECT_TRUE(model.getLastDiagrammText('x', 0).isEmpty());
    model.SecTag = kSecTagTimeDiaGone;
    EXPECT_TRUE(model.SaveAsText(f, 'T')) << "no time diagram hosted";
}

TEST_F(DiaWindowModelTest, UnitsMarkersNamesAndSelectedCurve)
{
    mainDia.curve(0)->Cygroup = 0;
    mainDia.curve(1)->Cygroup = 1;
    mainDia.setYaxisMode(eYAM0db1kHz);
    model.setUnit2selCurves("V", "dBu");
    EXPECT_EQ(mainDia.group(0)->fEinh, "dB");
    EXPECT_EQ(mainDia.group(1)->fEinh, "dBu");
    model.setText2selCurves("left", "right");
    EXPECT_EQ(mainDia.getCurveName(1), "right");
    model.setMarker(true, false, -3.0, 2000.0, -6.0, 1000.0);
    EXPECT_EQ(mainDia.curve(0)->MarkPat, 1);
    EXPECT_DOUBLE_EQ(mainDia.curve(0)->MarkerP.x, 1000.0);
    EXPECT_EQ(mainDia.curve(1)->MarkPat, 0);
    EXPECT_DOUBLE_EQ(mainDia.curve(1)->MarkerP.x, 2000.0);
    Tcurve* c = nullptr;
    mainDia.curve(0)->Fsel = false; // first selected: slot 1
    ASSERT_TRUE(model.getselectedCurve(2, c));
    EXPECT_EQ(c, mainDia.curve(3));
    ASSERT_TRUE(model.getselectedCurve(9, c));
    EXPECT_EQ(c, mainDia.curve(0)) << "past slot 7 gives slot 0";
    mainDia.curve(1)->Fsel = false;
    EXPECT_FALSE(model.getselectedCurve(0, c));
}

TEST_F(DiaWindowModelTest, IdealCurveIsAlignedAt1kHz)
{
    EXPECT_FALSE(model.compare2Ideal(0)) << "no target file";
    Tcurve target;
    target.setNewPoints(3);
    target.setPoint(0, 10.0, 0.0);
    target.setPoint(1, 1000.0, 0.0);
    target.setPoint(2, 30000.0, 0.0);
    target.ValidData = true;
    QDir().mkpath(vlCommonDataFolder());
    ASSERT_TRUE(target.savetoFile(vlCommonDataFolder() + "zielkurve.cur"));
    mainDia.curve(0)->SetOriY(constant(64, -7.0));
    mainDia.curve(0)->xaxis = ramp(64, 100.0, 300.0);
    mainDia.curve(0)->Fcvis = true;
    ASSERT_TRUE(model.compare2Ideal(0));
    const Tcurve& ideal = *mainDia.curve(7);
    EXPECT_EQ(ideal.FColLine, 0x8000u);
    EXPECT_EQ(ideal.FlineWidth, 2);
    EXPECT_TRUE(ideal.Fcvis);
    EXPECT_NEAR(ideal.OriY.getsmAr(10), -7.0, 1e-9);
}

TEST_F(DiaWindowModelTest, CorrectionCurvesInSlots6And7AndBack)
{
    const TColorBGR col6 = mainDia.getColline(6), col7 = mainDia.getColline(7);
    const double pts[] = {100.0, 1.0, 1000.0, 2.0, 10000.0, 3.0};
    Tcorri in;
    in.makecCorrArr(pts, 3);
    Tcorri out; // no points: inactive
    mainDia.setYaxisMode(eYAM0dbmaxV);
    model.showCors(&out, &in, true);
    EXPECT_EQ(mainDia.getColline(6), 255u);
    EXPECT_EQ(mainDia.getColline(7), 0xFF0000u);
    EXPECT_TRUE(mainDia.curve(6)->Fcvis);
    EXPECT_TRUE(mainDia.getCurveName(6).startsWith("Input correction: ")) << mainDia.getCurveName(6).toStdString();
    EXPECT_FALSE(mainDia.curve(7)->Fcvis) << "inactive correction is hidden";
    EXPECT_EQ(mainDia.YaxisMode(), eYAMnormal);
    EXPECT_DOUBLE_EQ(mainDia.group(0)->Fymax, 10.0);
    EXPECT_DOUBLE_EQ(mainDia.group(0)->Fymin, -10.0);
    model.showCors(nullptr, nullptr, false);
    EXPECT_EQ(mainDia.getColline(6), col6);
    EXPECT_EQ(mainDia.getColline(7), col7);
    EXPECT_FALSE(mainDia.curve(6)->ValidData);
}
