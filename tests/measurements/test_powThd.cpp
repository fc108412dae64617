// Distortion versus power on the virtual bench's amplifier: powers and THD against the model's
// closed form, the clipping point, the generator range without gain check, channels, up/down,
// and the warning answered "No".
#include "analysis/AnalysePara.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/tPowDistMeas.h"
#include "../support/measurementStandIns.h"

#include "SimTruthAmplifier.h"
#include "../support/benchModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <dlfcn.h>

namespace {

class Answer : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        asked << m.text;
        return answer ? answer : m.defaultButton;
    }
    int answer = 0; // 0: the default button
    QStringList asked;
};

// The bench amplifier: 26 dB gain after 1 V per full scale, a little second and third order
// distortion, rails at 20 V peak, 30 dB attenuator to an input that reads 0 dBFS at 1 V RMS.
TSimAmpSpec benchAmp()
{
    TSimAmpSpec a;
    a.outputVoltsFS = 1.0;
    a.gainDb = 26.0;
    a.a[2] = 2e-4;
    a.a[3] = -1e-5;
    a.railVolts = 20.0;
    a.attenuationDb = 30.0;
    a.inputVoltsFS = 1.0;
    return a;
}

class PowThd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_powThd";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void SetUp() override
    {
        ASSERT_TRUE(startBenchModule(home, "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=amplifier\n"
                "[Amplifier]\nOutputVoltsFS=1\nGain_dB=26\nA2=0.0002\nA3=-0.00001\nRailVolts=20\n"
                "Attenuation_dB=30\nInputVoltsFS=1\n"));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        vl::setMessageService(&answers);
        cal.INPUT = 1000.0;
        cal.PreAmp_dBL = cal.PreAmp_dBR = 30.0;
        meas = std::make_unique<tPowDistMeas>(&host);
        meas->setSettingsFile(home.filePath("velmora30.ini"));
        meas->setCalibration(&cal);
        pump.meas = meas.get();
        ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        TPowThdSettings& s = meas->engine().set;
        s.PoDSteps = 30;
        s.PoDPowBeg_W = 0.1;
        s.PoDPowEnd_W = 40.0;
        s.PoDLoad_Ohm = 8.0;
    }
    void TearDown() override
    {
        meas->DeInit(0);
        pump.meas = nullptr;
        meas.reset();
        vl::setMessageService(nullptr);
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    // Starts a run and lets it go until the engine stops.
    bool run()
    {
        meas->Mstart(1);
        QElapsedTimer t;
        t.start();
        const auto done = [&] { return meas->engine().PowMeasState == stStop && !meas->getMeasRun(); };
        while (!done() && t.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(); // the stop state's message
        return done();
    }
    // The generator level of a step, dBFS.
    double stepLevel(int i) const
    {
        const TPowThdForm& e = meas->engine();
        return e.OutLevBeg_dBFS + i * (e.OutLevEnd_dBFS - e.OutLevBeg_dBFS) / (e.set.PoDSteps - 1);
    }
    QStringList stepLines() const { return meas->engine().Memo1.filter(" Step "); }

    QTemporaryDir home;
    Answer answers;
    TLevelCalibration cal;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tPowDistMeas> meas;
};

// What the model is at one generator level: output power into the load and THD (of the total).
struct Truth {
    double watts = 0.0;
    double thd_dB = 0.0;
    bool clips = false;
};
Truth modelAt(double level_dBFS, double load, bool bridged)
{
    const TSimAmpSpec a = benchAmp();
    const TSimAmpHarmonics h = simAmpHarmonics(a, level_dBFS, 1000.0, 48000.0);
    double sum = 0.0; // squared peak amplitudes, full scale
    for (const TSimHarmonic& l : h.lines) sum += l.amplitude * l.amplitude;
    const double u = a.inputVoltsFS * std::pow(10.0, a.attenuationDb / 20.0) * std::sqrt(sum); // V RMS
    return {(bridged ? 4.0 : 1.0) * u * u / load, 20.0 * std::log10(h.thdR), h.clips};
}

// Gain check on, into 8 ohm, a normal and a bridged amplifier: every point below the rails
// within +-0.05 dB of the model's power and +-0.1 dB of its THD; THD passes 1 % within one step
// of where the model's peak reaches the rails. The table goes to the test's output.
TEST_F(PowThd, powerAndThdFollowTheModelAndClippingSetsTheOnePercentPoint)
{
    for (bool bridged : {false, true}) {
        SCOPED_TRACE(bridged ? "bridged" : "normal");
        TPowThdSettings& s = meas->engine().set;
        s.PoDBridgedAmp = bridged;
        s.PoDPowBeg_W = bridged ? 0.4 : 0.1;
        s.PoDPowEnd_W = bridged ? 160.0 : 40.0;
        ASSERT_TRUE(run());
        const TPowThdForm& e = meas->engine();
        ASSERT_EQ(stepLines().size(), 30) << e.Memo1.join('\n').toStdString();
        EXPECT_TRUE(e.Memo1.filter("Measured power(L)").size() == 1);
        int firstClip = -1, firstOnePercent = -1, compared = 0;
        std::printf("%s amplifier: step  level/dBFS  P model/W  P meas/W  dev/dB  THD model/dB  THD meas/dB  dev/dB\n",
                    bridged ? "bridged" : "normal");
        for (int i = 0; i < 30; ++i) {
            const Truth t = modelAt(stepLevel(i), 8.0, bridged);
            const double p = e.PowThdsdx[size_t(i)], thd = e.PowThdsd[0][size_t(i)];
            std::printf("  %3d  %7.2f  %10.5f  %10.5f  %+6.3f  %8.2f  %8.2f  %+6.3f%s\n", i + 1, stepLevel(i), t.watts, p,
                        10.0 * std::log10(p / t.watts), t.thd_dB, thd, thd - t.thd_dB, t.clips ? "  (clips)" : "");
            if (t.clips && firstClip < 0) firstClip = i;
            if (thd >= -40.0 && firstOnePercent < 0) firstOnePercent = i;
            if (t.clips) continue;
            ++compared;
            EXPECT_NEAR(10.0 * std::log10(p / t.watts), 0.0, 0.05) << "step " << i + 1;
            EXPECT_NEAR(thd, t.thd_dB, 0.1) << "step " << i + 1;
        }
        if (!bridged) std::printf("log of the run:\n%s\n", qPrintable(e.Memo1.join('\n')));
        EXPECT_GT(compared, 20);
        ASSERT_GE(firstClip, 0) << "the range reaches the rails";
        ASSERT_GE(firstOnePercent, 0);
        EXPECT_LE(std::abs(firstOnePercent - firstClip), 1);
        EXPECT_GE(host.packages, 25) << "the curves are drawn step by step";
    }
}

// Voltage measurement without gain check: the generator runs from 20*log10(U_beg/U_end) dBFS to
// 0 dBFS. Only the right channel: the left generator is silent and x is the right channel's.
TEST_F(PowThd, withoutGainCheckTheGeneratorRunsToZeroDbfsAndRightOnlyUsesTheRight)
{
    TPowThdSettings& s = meas->engine().set;
    s.PoDPowerMeas = false;
    s.PoDGainCheck = false;
    s.PoDVoltBeg_mV = 100.0;
    s.PoDVoltEnd_mV = 10000.0;
    s.PoDleftCH = false;
    s.PoDSteps = 9;
    ASSERT_TRUE(run());
    const TPowThdForm& e = meas->engine();
    EXPECT_DOUBLE_EQ(e.OutLevBeg_dBFS, -40.0);
    EXPECT_DOUBLE_EQ(e.OutLevEnd_dBFS, 0.0);
    EXPECT_EQ(e.Memo1.filter("Set Output Level sound card to : -40.0dBFS to 0.0dBFS").size(), 1);
    EXPECT_EQ(stepLines().size(), 9);
    EXPECT_DOUBLE_EQ(soundDLL().waveGO()->voldB_R, 0.0) << "the last step at 0 dBFS";
    EXPECT_EQ(soundDLL().waveGO()->voldB_L, -192.0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(e.PowThdsd[0][size_t(i)], 0.0) << "no left curve";
        const Truth t = modelAt(stepLevel(i), 1.0, false);
        if (t.clips) continue; // the last steps reach the rails
        EXPECT_NEAR(20.0 * std::log10(e.PowThdsdx[size_t(i)] / (1000.0 * std::sqrt(t.watts))), 0.0, 0.05) << "step " << i + 1;
        EXPECT_NEAR(e.PowThdsd[1][size_t(i)], t.thd_dB, 0.1) << "step " << i + 1;
    }
    EXPECT_EQ(meas->resultText().size(), 9);
}

// Up/down: up to the top, back down to step 0 as a new set of curves.
TEST_F(PowThd, upDownRunsBackToStepZero)
{
    TPowThdSettings& s = meas->engine().set;
    s.PoDPowerMeas = false;
    s.PoDGainCheck = false;
    s.PoDVoltBeg_mV = 100.0;
    s.PoDVoltEnd_mV = 1000.0;
    s.PoDupdown = true;
    s.PoDSteps = 6;
    ASSERT_TRUE(run());
    QStringList steps;
    for (const QString& l : stepLines()) steps << l.mid(l.indexOf("Step") + 5, 3).trimmed();
    EXPECT_EQ(steps, QStringList({"1", "2", "3", "4", "5", "6", "5", "4", "3", "2", "1"}));
    EXPECT_GE(host.newSets, 1);
    EXPECT_EQ(meas->engine().Memo1.filter("Reverse").size(), 0) << "the top, not an overload, turned it";
}

// The expected input overload answered "No": the run stops with its log line and nothing else
// changes: no generator change, nothing played or recorded, nothing drawn.
TEST_F(PowThd, inputOverloadQuestionAnsweredNoStopsAndChangesNothing)
{
    TPowThdSettings& s = meas->engine().set;
    s.PoDPowEnd_W = 2000.0; // 126 V: far above what reads full scale
    answers.answer = vl::mbNo;
    TwaveGO before{};
    std::memcpy(&before, soundDLL().waveGO(), sizeof before);
    ASSERT_TRUE(run());
    const QStringList& log = meas->engine().Memo1;
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].startsWith("Attention, input level will be greater"));
    EXPECT_EQ(log.filter(" Warning dialog (input level), answered with no, stop!").size(), 1);
    EXPECT_EQ(log.filter("Begin Measurement").size(), 0);
    EXPECT_TRUE(log.last().endsWith("Enter State: stStop -----------------------------"));
    EXPECT_EQ(std::memcmp(&before, soundDLL().waveGO(), sizeof before), 0);
    EXPECT_EQ(soundDLL().SDgetSoundStatus() & (SD_ST_IN_RUN | SD_ST_OUT_RUN), 0);
    EXPECT_EQ(host.packages, 0);
    // Each line begins with the time of day, "hh:mm:ss,mmm" with zeros for blanks.
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d").match(log.first()).hasMatch());
}

// The gain check finds the chain too weak for the range (the calibration says 10 dB less gain
// than there is): the generator would have to pass 0 dBFS. "No" stops after the gain check;
// the default "Yes" caps the range at 0 dBFS.
TEST_F(PowThd, outputLevelQuestionStopsOrCapsTheRangeAtZeroDbfs)
{
    cal.PreAmp_dBL = cal.PreAmp_dBR = 20.0;
    TPowThdSettings& s = meas->engine().set;
    s.PoDPowEnd_W = 10.0;
    s.PoDSteps = 5;
    answers.answer = vl::mbNo;
    ASSERT_TRUE(run());
    ASSERT_EQ(answers.asked.size(), 1);
    EXPECT_TRUE(answers.asked[0].startsWith("Attention, calculated output level will be greater than 0dbFS!"));
    EXPECT_EQ(meas->engine().Memo1.filter(" Warning dialog (output level), answered with no, stop!").size(), 1);
    EXPECT_EQ(stepLines().size(), 0);

    answers.answer = 0;
    ASSERT_TRUE(run());
    EXPECT_EQ(meas->engine().Memo1.filter(" Warning dialog (output level), answered with yes, go on!").size(), 1);
    EXPECT_EQ(meas->engine().OutLevEnd_dBFS, 0.0);
    EXPECT_EQ(stepLines().size(), 5);
}

// Separate harmonic curves: H2 and H3 selected give one curve pair each, and each follows the
// model's own harmonic (relative to the total).
TEST_F(PowThd, separateHarmonicCurvesFollowEachHarmonic)
{
    TPowThdSettings& s = meas->engine().set;
    s.PoDsepHarmC = true;
    s.PoDSteps = 6;
    s.PoDPowEnd_W = 20.0;
    meas->engine().PowAnaDat.Hx = 0x2 | 0x4; // H2, H3
    ASSERT_TRUE(run());
    const TPowThdForm& e = meas->engine();
    EXPECT_EQ(e.channels, 4);
    for (int i = 0; i < 6; ++i) {
        const TSimAmpHarmonics h = simAmpHarmonics(benchAmp(), stepLevel(i), 1000.0, 48000.0);
        double total = 0.0, a[6] = {};
        for (const TSimHarmonic& l : h.lines) total += l.amplitude * l.amplitude, a[l.order] = l.amplitude;
        EXPECT_NEAR(e.PowThdsd[0][size_t(i)], 20.0 * std::log10(a[2] / std::sqrt(total)), 0.1) << "H2, step " << i + 1;
        EXPECT_NEAR(e.PowThdsd[2][size_t(i)], 20.0 * std::log10(a[3] / std::sqrt(total)), 0.1) << "H3, step " << i + 1;
        EXPECT_NEAR(e.PowThdsd[3][size_t(i)], e.PowThdsd[2][size_t(i)], 0.05) << "right as left";
    }
}

TEST(PowThdSettings, rangesEdgeCasesAndBadSettingsText)
{
    TPowThdSettings s;
    s.PoDBridgedAmp = true;
    s.PoDPowEnd_W = 100.0;
    s.PoDLoad_Ohm = 8.0;
    EXPECT_NEAR(PowThdVoltages(s).end_mV, std::sqrt(800.0) * 1000.0 / 2.0, 1e-9) << "14.14 V per half";
    EXPECT_NEAR(PowThdPower(s, 14142.1356), 100.0, 1e-4);
    EXPECT_TRUE(PowThdVoltagePanel(s).endsWith("14.142V"));
    s.PoDGainCheck = false;
    s.PoDPowBeg_W = 1.0;
    EXPECT_NEAR(PowThdExpectedLevels(s, 1000, 0).beg_dBFS, -20.0, 1e-9);

    QTemporaryDir dir;
    QFile f(dir.filePath("p.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[POWTHD]\nSteps=1\nFreq_Hz=abc\nPowBeg_W=-3\nLoad_Ohm=1e400\nPowerMeas=0\nStep");
    f.close();
    TPowThdSettings r;
    r.load(TMemIniFile(dir.filePath("p.ini")));
    EXPECT_EQ(r.PoDSteps, 4);
    EXPECT_EQ(r.PoDFreq_Hz, 1000.0);
    EXPECT_EQ(r.PoDPowBeg_W, 0.001);
    EXPECT_EQ(r.PoDLoad_Ohm, 8.0);
    EXPECT_FALSE(r.PoDPowerMeas);
}

} // namespace
