// Calibration on the virtual bench: the dialog's acquisition and checks, its history against bad
// settings text, the DC offset dialog's record, and the level units read against the bench's truth.
#include "analysis/AnalysePara.h"
#include "analysis/TEichModel.h"
#include "analysis/ui/TDCoffsetDlg.h"
#include "analysis/ui/TEichDlg.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/tFFT2Dmeas.h"
#include "../support/measurementStandIns.h"
#include "../support/benchModule.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <dlfcn.h>

namespace {

class Recorder : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
    QStringList texts;
};

class Calibration : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_calibration";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    // The bench: an amplifier of 0 dB gain whose output reaches the input through an attenuator
    // of kAtten dB; the input reads 0 dBFS at 775 mV RMS.
    void SetUp() override
    {
        ASSERT_TRUE(startBenchModule(home, "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=amplifier\n"
                "[Amplifier]\nOutputVoltsFS=1\nGain_dB=0\nInputVoltsFS=0.775\nAttenuation_dB=" +
                QByteArray::number(kAtten) + "\n"));
        vl::setMessageService(&boxes);
    }
    void TearDown() override
    {
        vl::setMessageService(nullptr);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    void playSine(double hz, double dBFS)
    {
        TwaveGO* go = soundDLL().waveGO();
        go->GenFreqL = go->GenFreqR = hz;
        go->voldB_L = go->voldB_R = dBFS;
        go->modeL = go->modeR = 0;
        go->genOnL = go->genOnR = 1;
        soundDLL().SDStartSoundOut(1);
    }
    template <class F>
    bool runUntil(F done, int timeout_ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeout_ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    // The band level of the left channel in a unit, measured by the FFT measurement.
    double measure(tFFT2Dmeas& m, FakeHost& host, edBModi unit)
    {
        fft.setdBMode(unit);
        const int seen = host.packages;
        EXPECT_TRUE(runUntil([&] { return host.packages >= seen + 2; }));
        return m.results().level[0];
    }

    static constexpr double kAtten = 6.0; // dB between the source and the sound-card input
    QTemporaryDir home;
    Recorder boxes;
    cFFTdat fft;
    cAnaPara ana;
};

// The history is read from the settings file: entries without a leading number, gaps, a huge
// entry and text that is not UTF-8 must neither crash nor turn into voltages.
TEST_F(Calibration, historyReadsOnlyEntriesWithALeadingNumberAndStopsAtTheFirstGap)
{
    QFile f(home.filePath("h.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[EichCombo]\nCombo0=775 comment\nCombo1=abc\nCombo2=. V\nCombo3=" + QByteArray(200000, '9') +
            "\nCombo4=0,5 V\nCombo6=after the gap\n[EichCombo\nCombo5=truncated");
    f.close();
    {
        QFile bad(home.filePath("bad.ini"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("[EichCombo]\nCombo0=\xff\xfe\x80 775\n");
        bad.close();
        TMemIniFile notText(home.filePath("bad.ini"));
        EXPECT_TRUE(eich::loadHistory(notText).isEmpty()) << "not UTF-8: no history";
    }
    TMemIniFile ini(home.filePath("h.ini"));
    const QStringList h = eich::loadHistory(ini);
    ASSERT_EQ(h.size(), 2) << "200000 digits are no voltage either";
    EXPECT_EQ(h[0], "775 comment");
    EXPECT_EQ(h[1], "0,5 V");
    EXPECT_DOUBLE_EQ(*eich::leadingVoltage(h[1]), 0.5);
    EXPECT_FALSE(eich::leadingVoltage("1.2.3 V")) << "a number that does not convert";
    EXPECT_EQ(eich::entryFor(h, 775.0), "775 comment");
    EXPECT_EQ(eich::entryFor(h, 497.0), "497.00");
    eich::saveHistory(ini, {"1 a", "2 b"});
    EXPECT_EQ(ini.ReadSection("EichCombo"), QStringList({"Combo0", "Combo1"})) << "the section is rewritten";

    EXPECT_EQ(eich::dbTextForMv("0"), QString("0.00")) << "0 mV/Pa shows 0 dB";
    EXPECT_EQ(eich::dbTextForMv("50"), QString("-26.02"));
    EXPECT_EQ(eich::mvTextForDb("-26.02"), QString("50.00"));
    EXPECT_FALSE(eich::mvTextForDb("x"));
}

// OK before any block warns and stays; a bad voltage warns and stays; the block's level shows
// (a sine of peak 0.5 reads 50 %), then overload counts in red; "775 comment" is taken.
TEST_F(Calibration, dialogMeasuresChecksOkAndKeepsTheCommentedEntry)
{
    TMemIniFile ini(home.filePath("velmora30.ini"));
    playSine(960, 20.0 * std::log10(0.5 * 0.775) + kAtten); // a peak of 0.5, 160 periods a block
    TLevelCalibration cal;
    TEichDlg dlg(cal, ini, 'E');
    EXPECT_EQ(dlg.windowTitle(), "Calibration");
    EXPECT_EQ(dlg.EichCombo->currentText(), "497.00");
    EXPECT_EQ(TEichDlg::calState(), TEichDlg::csShown);
    dlg.okClicked();
    ASSERT_EQ(boxes.texts, QStringList{"Calibration process not started"});
    ASSERT_TRUE(runUntil([] { return TEichDlg::calState() == TEichDlg::csMeasured; }));
    // 50 samples a period: the sampled mean of |sin| is 0.13 % below 2/pi.
    ASSERT_TRUE(dlg.LaLevel->text().endsWith('%'));
    EXPECT_NEAR(dlg.LaLevel->text().chopped(1).toDouble(), 50.0, 0.15) << dlg.LaLevel->text().toStdString();
    EXPECT_FALSE(dlg.LaLevel->styleSheet().contains("red"));
    dlg.EichCombo->setCurrentText("-3 mV");
    dlg.okClicked();
    EXPECT_EQ(boxes.texts.last(), "Not a valid voltage value");
    EXPECT_EQ(dlg.result(), 0) << "still open";

    playSine(960, 6.0);
    const QString before = dlg.LaActive->text();
    ASSERT_TRUE(runUntil([&] { return dlg.LaLevel->text().startsWith("over L/R: "); }));
    EXPECT_NE(dlg.LaActive->text(), before) << "the activity mark moves";
    EXPECT_TRUE(dlg.LaLevel->styleSheet().contains("red"));

    dlg.EichCombo->setCurrentText("775 comment");
    dlg.EdMicL->setText("14");
    dlg.okClicked();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(TEichDlg::calState(), TEichDlg::csClosed);
    EXPECT_EQ(dlg.values().INPUT, 775.0);
    EXPECT_EQ(dlg.values().OUTPUT, 775.0);
    EXPECT_EQ(dlg.values().MicSens_mVpPaL, 14.0);
    EXPECT_EQ(eich::loadHistory(ini), QStringList{"775 comment"});
    EXPECT_EQ(soundDLL().SDgetSoundStatus() & SD_ST_IN_RUN, 0) << "closing stops the input";
}

// The calibration entered in the dialog ("775 comment", preamp gain = the attenuator, 14 mV/Pa)
// turns the bench's known voltage into every unit: within +-0.01 dB of the truth.
TEST_F(Calibration, levelUnitsReadTheBenchVoltageThroughTheCalibration)
{
    TMemIniFile ini(home.filePath("velmora30.ini"));
    TLevelCalibration cal;
    {
        TEichDlg dlg(cal, ini, 'E');
        ASSERT_TRUE(runUntil([] { return TEichDlg::calState() == TEichDlg::csMeasured; }));
        dlg.EichCombo->setCurrentText("775 comment");
        dlg.EdMicR->setText("14");
        dlg.EdMicL->setText("14");
        dlg.EdPreAmpL->setText(QString::number(kAtten));
        dlg.EdPreAmpR->setText(QString::number(kAtten));
        dlg.okClicked();
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        cal = dlg.values();
    }
    const double U = std::pow(10.0, -10.0 / 20.0); // V RMS at the amplifier output (-10 dBFS peak in, 1 V FS)
    playSine(997.0, -10.0);
    FakeHost host;
    BlockPump pump;
    tFFT2Dmeas m(&host);
    m.setFrameResolution_ms(0);
    m.setSettingsFile(home.filePath("velmora30.ini"));
    m.setCalibration(&cal);
    pump.meas = &m;
    SetMainMsgReceiver(&pump);
    SetMainClosing(false);
    fft.SamplesFFT = 16384;
    fft.FFTwin = 2;
    ana.bLevelmess = true;
    ana.bResultTextLeft = true;
    fft.SaveFFTtoIniL(ini, "fft2d");
    ana.SaveAnatoIniL(ini, "fft2d");
    ASSERT_TRUE(ini.UpdateFile());
    ASSERT_EQ(m.Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
    m.SetChannels(2, 2);
    m.Mstart(1);
    const double p = U / 0.014; // Pa at a 14 mV/Pa microphone
    EXPECT_NEAR(measure(m, host, dbMode_dBV), 20.0 * std::log10(U), 0.01);
    EXPECT_NEAR(measure(m, host, dbMode_dBu), 20.0 * std::log10(U / 0.775), 0.01);
    EXPECT_NEAR(measure(m, host, dbMode_dBm), 10.0 * std::log10(U * U / 600.0 / 0.001), 0.01) << "into 600 ohm";
    EXPECT_NEAR(measure(m, host, dbMode_dBSPL), 20.0 * std::log10(p / 2e-5), 0.01);
    EXPECT_NEAR(20.0 * std::log10(measure(m, host, dbMode_Pa) / p), 0.0, 0.01);
    m.DeInit(0);
    SetMainMsgReceiver(nullptr);
    SetMainClosing(true);
}

// The DC offset dialog: bar position = -offset * 1e6; the record it returns holds what the bars
// and the auto switch show, and the bars are off while auto is on.
TEST_F(Calibration, dcOffsetDialogBarsAreMinusTheOffsetInMillionths)
{
    Twfs in{};
    in.DCoffset[0] = 0.0;
    in.DCoffset[1] = 0.000250;
    TDCoffsetDlg dlg(in);
    EXPECT_EQ(dlg.windowTitle(), "Input DC-Offset");
    EXPECT_EQ(dlg.K2->value(), -250);
    EXPECT_EQ(dlg.LaK2->text(), "0.000250 FS");
    dlg.K1->setValue(1500);
    EXPECT_EQ(dlg.LaK1->text(), "-0.001500 FS");
    EXPECT_DOUBLE_EQ(dlg.wfs().DCoffset[0], -0.0015);
    EXPECT_EQ(dlg.wfs().DCoffsetAuto, 0);
    dlg.CBAuto->setChecked(true);
    EXPECT_FALSE(dlg.K1->isEnabled());
    EXPECT_EQ(dlg.wfs().DCoffsetAuto, 1);
}

} // namespace
