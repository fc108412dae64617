// Main window on the virtual bench: calibration copied back and written in its order, the DC
// offset menu item and dialog reaching the module, and mode 10's Setup, run and progress display.
#include "analysis/ui/TDCoffsetDlg.h"
#include "analysis/ui/TEichDlg.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "app/ui/TMainForm.h"
#include "measurements/tPowDistMeas.h"
#include "measurements/ui/TPowThdDebugWnd.h"
#include "measurements/ui/TdlgPowThd.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts;
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
};

// Pictures of the dialogs for the reader of a test run: written when VELMORA_TEST_PICTURES
// names a folder.
void keepPicture(QWidget& w, const char* name)
{
    const QString dir = qEnvironmentVariable("VELMORA_TEST_PICTURES");
    if (dir.isEmpty()) return;
    w.adjustSize();
    w.show();
    QApplication::processEvents();
    w.grab().save(dir + "/" + name, "PNG");
}

template <class F>
bool runUntil(F done, int timeout_ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class MainFormCalPow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TMainFormCalPow";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        QFile sim(home.filePath("SoundSim.ini"));
        ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
        sim.write("[Device]\nPacing=fast\nBlockFrames=4096\nBits=32\n[Model]\nKind=amplifier\n[Amplifier]\n"
                  "Gain_dB=20\nRailVolts=12\nAttenuation_dB=20\nA3=-0.0001\nInputDC_FS=0.002\n");
        sim.close();
        QFile f(home.filePath("velmora30.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[MAIN]\nSoundDLLname=libSoundSim.so\n[EICH]\nINPUT=1000\nPreAmp_dBL=20\nPreAmp_dBR=20\n"
                "[POWTHD]\nSteps=12\nPowBeg_W=0.1\nPowEnd_W=10\nDebugWindow=1\n");
        f.close();
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    QTemporaryDir home;
    Recorder messages;
};

// OK in the calibration dialog: the six values come back, InMixLev4Cal takes the input volume,
// and the file holds EICH's keys before the volumes, with the commented entry in the history.
TEST_F(MainFormCalPow, calibrationIsCopiedBackAndWrittenInItsOrder)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    const int r = w.openCalibration([](TEichDlg& d) {
        EXPECT_TRUE(runUntil([] { return TEichDlg::calState() == TEichDlg::csMeasured; }));
        d.EichCombo->setCurrentText("775 comment");
        d.EdMicLdB->setText("-26.02");
        d.EdMicLdB->textEdited("-26.02");
        EXPECT_EQ(d.EdMicL->text(), "50.00") << "the mV/Pa field follows the dB field";
        keepPicture(d, "cal_calibration.png");
        d.okClicked();
        return d.result();
    });
    ASSERT_EQ(r, QDialog::Accepted);
    EXPECT_EQ(w.calibration().INPUT, 775.0);
    EXPECT_NEAR(w.calibration().MicSens_mVpPaL, 50.0, 1e-9);
    EXPECT_EQ(w.settings().InMixLev4Cal, w.settings().FGinVolume);
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("Combo0=775 comment"));
    QStringList order;
    for (const char* k : {"INPUT=", "OUTPUT=", "InMixLev4Cal=", "MicSens_mVpPaL=", "MicSens_mVpPaR=", "PreAmp_dBL=",
                          "PreAmp_dBR=", "AUDIOINCHANNEL=", "FGVOLUME=", "FGINVOLUME="})
        order << QString::number(text.indexOf(QString("\n") + k)).rightJustified(8, '0');
    QStringList sorted = order;
    sorted.sort();
    EXPECT_EQ(order, sorted) << text.toStdString();
    EXPECT_FALSE(order.contains(QString("-1").rightJustified(8, '0')));
}

// "Audio-In DC-Offset" follows the module's bit 0x1000; "&Apply" writes the record and opens the
// dialog again, OK writes it and closes: the bench's input offset is gone from what is recorded.
TEST_F(MainFormCalPow, dcOffsetDialogWritesTheInputRecordAndTheModuleRemovesTheOffset)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    ASSERT_TRUE(w.dcOffsetAction());
    EXPECT_TRUE(w.dcOffsetAction()->isEnabled());
    int opened = 0;
    w.openDCOffset([&](TDCoffsetDlg& d) {
        ++opened;
        d.K1->setValue(2000); // -0.002 FS
        d.K2->setValue(2000);
        if (opened == 1) keepPicture(d, "cal_dcoffset.png");
        return opened == 1 ? int(TDCoffsetDlg::kApplyResult) : int(QDialog::Accepted);
    });
    EXPECT_EQ(opened, 2);
    EXPECT_DOUBLE_EQ(soundDLL().waveGI()->wfs.DCoffset[0], -0.002);
    soundDLL().SDSetFuturePara(2, 48000);
    soundDLL().SDStartSoundIn(1);
    std::vector<double> l(48000), r(48000);
    TsmView views[2] = {{l.data(), 48000}, {r.data(), 48000}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    bool got = false;
    ASSERT_TRUE(runUntil([&] { return got = got || soundDLL().SDgetSoundDatsCH(ptrs, 1) != 0; }));
    double mean = 0.0;
    for (double v : l) mean += v / l.size();
    EXPECT_LT(std::fabs(mean), 1e-6) << "residual mean of the left input";
    soundDLL().SDStartSoundIn(0);
}

// Mode 10: Setup takes the dialog's settings; a run ends by itself after its steps, the
// progress display shows the last step, the debug window holds the log.
TEST_F(MainFormCalPow, powerModeSetupRunProgressAndLog)
{
    TMainForm w(TMainForm::Options{});
    w.useProgramMeasurements();
    w.show();
    w.ensureActivated();
    w.selectMeasuringMode(10);
    auto* m = dynamic_cast<tPowDistMeas*>(w.activeMeasurement());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->engine().set.PoDSteps, 12) << "from POWTHD";
    w.setPowThdDialogRunner([](TdlgPowThd& d) {
        EXPECT_EQ(d.windowTitle(), "Power Thd Dialog");
        d.SESteps->setValue(10);
        d.CBPowerMeas->setChecked(false);
        d.refresh();
        EXPECT_EQ(d.windowTitle(), "Voltage Thd Dialog");
        EXPECT_FALSE(d.CBLoad->isVisibleTo(&d));
        d.CBPowerMeas->setChecked(true);
        d.refresh();
        EXPECT_EQ(d.PaVoltage->text(), " 0.894V -  8.944V");
        keepPicture(d, "cal_powthd_dialog.png");
        return int(QDialog::Accepted);
    });
    w.PowThdDlgButClick();
    EXPECT_EQ(m->engine().set.PoDSteps, 10);
    ASSERT_TRUE(w.startCommand());
    ASSERT_TRUE(runUntil([&] { return !w.MeasRun(); }));
    EXPECT_EQ(m->framesDrawn(), 10) << m->engine().Memo1.join('\n').toStdString();
    EXPECT_EQ(w.controlFor("sweepDisplay")->findChildren<QLabel*>()[0]->text(), "Step 10 / 10");
    ASSERT_NE(w.powThdDebugWindow(), nullptr);
    EXPECT_EQ(w.powThdDebugWindow()->windowTitle(), "Power Thd Debug Window");
    EXPECT_TRUE(w.powThdDebugWindow()->text().contains(" Step  10 Power:"));
    EXPECT_TRUE(w.powThdDebugWindow()->text().contains("Enter State: stStop"));
    w.close();
}

} // namespace
