// Impedance and Thiele-Small sweeps on the virtual bench against the driver's closed-form truth,
// and the parameter calculation's result codes on made-up curves.
#include "SimTruthImpedance.h"
#include "analysis/AnalysePara.h"
#include "base/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"
#include "dsp/evalThieleSmall.h"
#include "measurements/TSPreport.h"
#include "measurements/TSPsettings.h"
#include "measurements/Twobdat.h"
#include "measurements/tSweepmeas.h"
#include "../support/measurementStandIns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <dlfcn.h>

namespace {

// Printed by tools/tsp_reference.py: the parameter formulas on the default driver's exact,
// continuous |Z| curve with Rdc = Re = 6 ohms.
constexpr double kRefFs = 39.772061, kRefQms = 3.352382, kRefQel = 0.615737, kRefQts = 0.520193;

struct TCurve {
    std::vector<double> F, Z, Ph, Zmag; // Zmag: the magnitude-only divider on the same blocks
    TImpCurve imp() const { return {Z, F}; }
};

void row(const char* what, double truth, double measured)
{
    std::printf("[table] %-22s truth %10.4f  measured %10.4f  dev %+8.3f %%\n", what, truth, measured,
                100.0 * (measured - truth) / truth);
}

class ImpedanceSweep : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_impedanceTSP";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void TearDown() override { close(); }
    void close()
    {
        if (meas)
            meas->DeInit(0);
        meas.reset();
        pump.meas = nullptr;
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    // One sweep of `mode` on the impedance bench set by `bench`, with the "WOB" and "TSP" keys.
    TCurve sweep(int mode, const QByteArray& bench, const QString& wob, const QString& tsp = {})
    {
        close();
        qputenv("VELMORA_HOME", home.path().toUtf8());
        QFile f(home.filePath("SoundSim.ini"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=1024\n[Model]\nKind=impedance\n"
                "[Impedance]\n" + bench);
        f.close();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        QString name = "libSoundSim.so";
        const TsoundStartResult r = soundDLL().startup(false, TsoundDLLImpDyn::kStartFlags, name);
        EXPECT_EQ(r.action, eSoundStart::ssOK);
        EXPECT_TRUE(soundDLL().readAddresses(r.count, {}));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        fft.MeasuringModeF = mode;
        TMemIniFile ini(home.filePath("velmora30.ini"));
        fft.SaveFFTtoIniL(ini, MeasuringModeTopic(mode));
        ana.SaveAnatoIniL(ini, MeasuringModeTopic(mode));
        for (const QString& kv : wob.split(' ', Qt::SkipEmptyParts))
            ini.WriteString("WOB", kv.section('=', 0, 0), kv.section('=', 1));
        for (const QString& kv : tsp.split(' ', Qt::SkipEmptyParts))
            ini.WriteString("TSP", kv.section('=', 0, 0), kv.section('=', 1));
        EXPECT_TRUE(ini.UpdateFile());
        ActiveWobDat() = Twobdat();
        meas = std::make_unique<tSweepmeas>(&host);
        meas->setSettingsFile(home.filePath("velmora30.ini"));
        meas->setFrameResolution_ms(0);
        pump.meas = meas.get();
        EXPECT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        meas->SetChannels(2, 2);
        meas->engine().visible = true;
        meas->Mstart(1);
        QElapsedTimer t;
        t.start();
        while (!meas->endedByItself() && t.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_TRUE(meas->endedByItself());
        return collect();
    }
    TCurve collect() const
    {
        TCurve c;
        const Tsweepfrm2& e = meas->engine();
        for (int k = 0; k < e.frequencies().samples(); ++k) {
            c.F.push_back(e.frequencies().getsmAr(k));
            c.Z.push_back(e.values()[0].getsmAr(k));
            c.Ph.push_back(e.values()[1].getsmAr(k));
        }
        static const QRegularExpression re("Zmagnitudes:([0-9.eE+-]+)");
        for (const QString& l : e.Memo1)
            if (const auto m = re.match(l); m.hasMatch())
                c.Zmag.push_back(m.captured(1).toDouble());
        return c;
    }

    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tSweepmeas> meas;
};

// 20 logarithmic points 10 Hz..20 kHz: |Z| and its phase at every point, for both wirings of the
// circuit and a series resistor near the driver's impedance and one far above it.
TEST_F(ImpedanceSweep, magnitudeAndPhaseEqualTheDriversAtEveryPointForBothWiringsAndResistors)
{
    for (const double rs : {8.0, 100.0})
        for (const int wiring : {mImpVar1, mImpVar2}) {
            const int genChannel = wiring == mImpVar1 ? 1 : 0; // mImpVar1: odd channel = generator side
            const TCurve c = sweep(6, QString("Rs=%1\nGeneratorChannel=%2\n").arg(rs).arg(genChannel).toUtf8(),
                                   QString("FROMR=10 TOR=20000 SYNCSTEP=20 PEGDIGL=-6 PEGDIGR=-6 RS=%1 mImpMode=%2")
                                       .arg(rs).arg(wiring));
            ASSERT_EQ(c.F.size(), 20u);
            TSimSpeakerSpec spec;
            spec.rs = rs;
            double worst = 0.0, worstDeg = 0.0;
            for (size_t k = 0; k < 20; ++k) {
                const double f = 10.0 * std::pow(2000.0, double(k) / 19.0);
                ASSERT_NEAR(c.F[k], f, 1e-9 * f);
                const std::complex<double> z = simSpeakerImpedance(spec, f);
                EXPECT_NEAR(c.Z[k], std::abs(z), 0.005 * std::abs(z)) << "Rs " << rs << " wiring " << wiring << " at " << f;
                EXPECT_NEAR(c.Ph[k], std::arg(z) * 180.0 / M_PI, 1.0) << "Rs " << rs << " wiring " << wiring << " at " << f;
                if (rs == 8.0 && wiring == mImpVar2)
                    std::printf("[table] %8.1f Hz  |Z| truth %8.4f measured %8.4f (%+.4f %%)  phase truth %+7.3f measured "
                                "%+7.3f (%+.4f deg)\n", f, std::abs(z), c.Z[k], 100.0 * (c.Z[k] / std::abs(z) - 1.0),
                                std::arg(z) * 180.0 / M_PI, c.Ph[k], c.Ph[k] - std::arg(z) * 180.0 / M_PI);
                worst = std::max(worst, std::abs(c.Z[k] / std::abs(z) - 1.0));
                worstDeg = std::max(worstDeg, std::abs(c.Ph[k] - std::arg(z) * 180.0 / M_PI));
            }
            std::printf("[table] Rs %5.1f wiring %d: worst |Z| deviation %.4f %%, worst phase deviation %.4f deg\n", rs,
                        wiring, 100.0 * worst, worstDeg);
        }
}

// On the flanks of the resonance the phase-blind divider reads |Z| far too high; the complex one
// is right. Both from the same blocks of one run.
TEST_F(ImpedanceSweep, complexDividerIsRightOnTheFlanksWhereTheMagnitudeDividerIsNot)
{
    const TCurve c = sweep(6, "Rs=8\n", "FROMR=30 TOR=55 SYNCSTEP=2 PEGDIGL=-6 PEGDIGR=-6 RS=8 mImpMode=1");
    ASSERT_EQ(c.Zmag.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        const double truth = std::abs(simSpeakerImpedance(TSimSpeakerSpec{}, c.F[k]));
        std::printf("[table] %.0f Hz: truth %.4f ohm, magnitude divider %.4f (%+.2f %%), complex %.4f (%+.4f %%)\n",
                    c.F[k], truth, c.Zmag[k], 100.0 * (c.Zmag[k] / truth - 1.0), c.Z[k], 100.0 * (c.Z[k] / truth - 1.0));
        EXPECT_GT(c.Zmag[k] / truth - 1.0, 0.2);
        EXPECT_NEAR(c.Z[k], truth, 0.005 * truth);
    }
}

// Free air, Rdc forced to Re, 100 points 10..200 Hz: the parameters the formulas give on the
// exact curve; then the same driver with an added mass and in a closed box gives its Mms, Cms, Vas.
TEST_F(ImpedanceSweep, thieleSmallParametersOfTheBenchDriverFreeAirAddedMassAndClosedBox)
{
    const QString wob = "FROMR=10 TOR=200 SYNCSTEP=100 PEGDIGL=-6 PEGDIGR=-6 RS=8 mImpMode=1";
    const QString tsp = "bVorgabeRdc=1 fVorgabeRdc=6 durchmm=0 Sdcm=200 Mms=10 Vbdm=30";
    const TCurve freeAir = sweep(8, "", wob, tsp);
    tTSP t = ActiveTSP();
    ASSERT_EQ(TSPCalculation(freeAir.imp(), {}, t), 0);
    row("free air fs (Hz)", kRefFs, t.fs);
    row("free air Qms", kRefQms, t.Qms);
    row("free air Qel", kRefQel, t.Qel);
    row("free air Qts", kRefQts, t.Qts);
    EXPECT_NEAR(t.fs, kRefFs, 0.01 * kRefFs);
    EXPECT_NEAR(t.Qms, kRefQms, 0.01 * kRefQms);
    EXPECT_NEAR(t.Qel, kRefQel, 0.01 * kRefQel);
    EXPECT_NEAR(t.Qts, kRefQts, 0.01 * kRefQts);
    EXPECT_EQ(t.Rdc, 6.0);
    // The same blocks through the phase-blind divider: its Q factors are far off.
    ASSERT_EQ(freeAir.Zmag.size(), freeAir.F.size());
    tTSP blind = ActiveTSP();
    ASSERT_EQ(TSPCalculation({freeAir.Zmag, freeAir.F}, {}, blind), 0);
    row("magnitude divider Qts", kRefQts, blind.Qts);
    EXPECT_GT(std::abs(blind.Qts / kRefQts - 1.0), 0.1);
    const QStringList printed = meas->resultText();
    EXPECT_TRUE(printed.contains(QString::asprintf(
        "Qts       %5.2f              total Q of the speaker          ", t.Qts)));

    TSimSpeakerSpec spec;
    const TSimThieleSmall truth = simThieleSmall(spec, TSimSpeakerMount::freeAir);
    tTSP mass = t;
    const TCurve loaded = sweep(8, "AddedMass_g=10\n", wob, tsp);
    ASSERT_EQ(TSPCalculation({}, loaded.imp(), mass), 0);
    row("added mass Mmd (g)", truth.mmsG, mass.Mmd_g);
    row("added mass Cms (mm/N)", truth.cmsMmN, mass.Cms_mmN);
    row("added mass Vas (l)", truth.vasL, mass.Vas_dm);
    EXPECT_NEAR(mass.Mmd_g, truth.mmsG, 0.03 * truth.mmsG);
    EXPECT_NEAR(mass.Cms_mmN, truth.cmsMmN, 0.03 * truth.cmsMmN);
    EXPECT_NEAR(mass.Vas_dm, truth.vasL, 0.03 * truth.vasL);

    tTSP box = t;
    box.VasoverVb = true;
    const TCurve boxed = sweep(8, "BoxVolume_l=30\n", wob, tsp);
    ASSERT_EQ(TSPCalculation({}, boxed.imp(), box), 0);
    row("closed box Vas (l)", truth.vasL, box.Vas_dm);
    EXPECT_NEAR(box.Vas_dm, truth.vasL, 0.03 * truth.vasL);
    EXPECT_EQ(box.Mmd_g, -1.0);
}

// ---- the calculation on made-up curves ------------------------------------------------------------

// The default driver's exact |Z| at n logarithmic points.
TCurve exactCurve(double from, double to, int n)
{
    TCurve c;
    for (int k = 0; k < n; ++k) {
        const double f = from * std::pow(to / from, k / double(n - 1));
        c.F.push_back(f);
        c.Z.push_back(std::abs(simSpeakerImpedance(TSimSpeakerSpec{}, f)));
    }
    return c;
}

tTSP forcedRdc(double rdc)
{
    tTSP t;
    t.bVorgabeRdc = true;
    t.fVorgabeRdc = rdc;
    return t;
}

// Between the points: 100 points over 10..200 Hz hold fs and the Q factors within 0.5 % of the
// continuous curve, and 100 points over 20 Hz..2 kHz (half as fine again) within 1 %.
TEST(ThieleSmallCalculation, resonanceAndQFrequenciesLieBetweenThePoints)
{
    for (const auto& [from, to, tol] : {std::tuple{10.0, 200.0, 0.005}, std::tuple{20.0, 2000.0, 0.01}}) {
        const TCurve c = exactCurve(from, to, 100);
        tTSP t = forcedRdc(6.0);
        ASSERT_EQ(TSPCalculation(c.imp(), {}, t), 0);
        EXPECT_NEAR(t.fs, kRefFs, tol * kRefFs) << from;
        EXPECT_NEAR(t.Qms, kRefQms, tol * kRefQms) << from;
        EXPECT_NEAR(t.Qel, kRefQel, tol * kRefQel) << from;
        EXPECT_NEAR(t.Qts, kRefQts, tol * kRefQts) << from;
    }
}

TEST(ThieleSmallCalculation, resultCodesOfTheSearchesAndTheSecondMeasurement)
{
    const std::vector<double> F = {10, 20, 40, 80, 160};
    auto code = [&](std::vector<double> Z, tTSP t = {}) { return TSPCalculation({Z, F}, {}, t); };
    EXPECT_EQ(code({1, 2, 3, 4, 5}), 102);                 // rises to the top of the range
    EXPECT_EQ(code({-1, 2e10, -3, 5e10, -1}), 100);         // no usable point
    EXPECT_EQ(code({0, 2, 10, 2, 1}), 101);                  // Rdc 0
    EXPECT_EQ(code({1, 2, 10, 9, 8}), 103);                  // never falls back below R1: no f2
    EXPECT_EQ(code({1, 2, 10, 0, 1}, forcedRdc(1e-320)), 8); // K overflows, the Q factors are no numbers
    tTSP fresh;
    const TCurve c = exactCurve(10, 200, 100);
    EXPECT_EQ(TSPCalculation({}, c.imp(), fresh), 9); // second before a first measurement
    EXPECT_EQ(fresh.OK, 9);
    tTSP t = forcedRdc(6.0);
    ASSERT_EQ(TSPCalculation(c.imp(), {}, t), 0);
    tTSP same = t;
    EXPECT_EQ(TSPCalculation({}, c.imp(), same), 7); // equal resonances, added mass
    same.VasoverVb = true;
    EXPECT_EQ(TSPCalculation({}, c.imp(), same), 10); // and closed box
    EXPECT_EQ(same.fs, t.fs);                         // the first results stay
}

// The resonance search finds the first of equal maxima, the smallest value is Rdc unless it is
// forced, and K = 4 gives Qel = Qms / 3.
TEST(ThieleSmallCalculation, forcedRdcAndKFourGiveTheirQFactors)
{
    const TCurve c = exactCurve(10, 200, 100);
    tTSP probe;
    ASSERT_EQ(TSPResonanceSearch(c.imp(), probe), 0);
    EXPECT_NEAR(probe.Rdc, *std::min_element(c.Z.begin(), c.Z.end()), 0.0);
    tTSP t = forcedRdc(probe.Zmax / 4.0);
    ASSERT_EQ(TSPCalculation(c.imp(), {}, t), 0);
    EXPECT_DOUBLE_EQ(t.K, 4.0);
    EXPECT_NEAR(t.Qel, t.Qms / 3.0, 1e-12);
    EXPECT_GT(t.f1, 10.0);
    EXPECT_LT(t.f2, 200.0);
}

TEST(ThieleSmallCalculation, everyResultCodeHasItsText)
{
    tTSP t;
    t.f1 = 27.4, t.fs = 39.8, t.f2 = 57.5;
    const std::map<int, QString> texts = {
        {2, "Error: f2-f1 = 0 !"},
        {3, "Error: division by zero !"},
        {4, "Error: division by zero !"},
        {5, "Error: calc Mmd !"},
        {6, "Error: calc Cms !"},
        {7, "Error: curves with and without mass are identical !"},
        {8, "Error:floating point error !"},
        {9, "Error:please make first measurement !"},
        {10, "Error: curves with and without extra cabinet are identical !"},
        {100, "Error: fs not found (f1=27.4Hz,fs=39.8Hz,f2=57.5Hz)!"},
        {101, "Error: Rdc = 0 (f1=27.4Hz,fs=39.8Hz,f2=57.5Hz)!"},
        {102, "Error: fs not plausible (f1=27.4Hz,fs=39.8Hz,f2=57.5Hz)!"},
        {103, "Error: fs not plausible (f1=27.4Hz,fs=39.8Hz,f2=57.5Hz)!"},
        {55, "Error: 55"},
    };
    EXPECT_TRUE(TSPErrorText(0, t).isEmpty());
    for (const auto& [code, text] : texts)
        EXPECT_EQ(TSPErrorText(code, t), text) << code;
}

// Section "TSP": what is written is read back; damaged numbers read as their defaults.
TEST(ThieleSmallSettings, roundTripAndDamagedValues)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("v.ini");
    tTSP t;
    t.durch_mm = 165.0, t.Vb_dm = 22.5, t.Mms_g = 12.0, t.VasoverVb = true, t.bVorgabeRdc = true;
    t.fVorgabeRdc = 5.6, t.bAltUnits = true, t.Sd_cm = 210.0;
    {
        TMemIniFile ini(path);
        TSP_savetoFile(t, ini);
        ASSERT_TRUE(ini.UpdateFile());
    }
    tTSP back;
    TSP_loadfromFile(back, TMemIniFile(path));
    EXPECT_EQ(back.durch_mm, 165.0);
    EXPECT_EQ(back.Vb_dm, 22.5);
    EXPECT_EQ(back.Mms_g, 12.0);
    EXPECT_EQ(back.fVorgabeRdc, 5.6);
    EXPECT_EQ(back.Sd_cm, 210.0);
    EXPECT_TRUE(back.VasoverVb && back.bVorgabeRdc && back.bAltUnits);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[TSP]\nSdcm=nan\ndurchmm=inf\nVbdm=\xff\xfe\x01\nMms=1e999\nfVorgabeRdc=12abc\nVasoverVb=banana\n[TSP");
    f.write(QByteArray(1 << 20, 'x')); // a huge truncated line
    f.close();
    tTSP bad;
    TSP_loadfromFile(bad, TMemIniFile(path));
    for (double v : {bad.Sd_cm, bad.durch_mm, bad.Vb_dm, bad.Mms_g, bad.fVorgabeRdc})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(bad.Sd_cm, 30.0);
    EXPECT_EQ(bad.durch_mm, 300.0);
    EXPECT_EQ(bad.Mms_g, 20.0);
}

} // namespace
