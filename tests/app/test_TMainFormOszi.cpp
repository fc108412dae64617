// The oscilloscope in the main window (mode 9: Setup, dialog, run, X-Y, single shot) and the
// level meter of the external impulse: its bars, slider and binding to the trigger level.
#include "app/ui/TMainForm.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tOSZImeas.h"
#include "measurements/ui/TOsziDlg.h"
#include "measurements/ui/TOszidia.h"
#include "measurements/ui/TVUTRIGG.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Quiet : vl::IMessageService {
    QStringList texts;
    int show(const vl::Message& m) override {
        texts << m.text;
        return m.defaultButton;
    }
};

// Pictures for the reader of a test run, when VELMORA_TEST_PICTURES names a folder.
void keepPicture(QWidget& w, const char* name) {
    const QString dir = qEnvironmentVariable("VELMORA_TEST_PICTURES");
    if (dir.isEmpty()) return;
    QApplication::processEvents();
    w.grab().save(dir + "/" + name, "PNG");
}

template <class F> bool runUntil(F done, int timeout_ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class MainFormOszi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_TMainFormOszi";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        QFile sim(home.filePath("SoundSim.ini"));
        ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
        sim.write("[Device]\nPacing=realtime\nBlockFrames=1024\nBits=32\n[Model]\nKind=wire\n");
        sim.close();
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }
    void play(double fL, double fR, double dB) {
        TwaveGO* go = soundDLL().waveGO();
        go->GenFreqL = fL;
        go->GenFreqR = fR;
        go->voldB_L = go->voldB_R = dB;
        go->modeL = go->modeR = 0;
        go->genOnL = go->genOnR = 1;
        soundDLL().SDStartSoundOut(1);
    }

    QTemporaryDir home;
    Quiet messages;
};

} // namespace

// Bars: -50 dBFS and below empty, 0 and above full, -0.5 red, -1.0 green; the slider shows a
// value outside -50..0 at its end, and vertically up is louder.
TEST(VUTrigger, barsColoursAndSliderRange) {
    static int argc = 1;
    static char name[] = "test_TMainFormOszi";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
    TVUTRIGG vu;
    vu.resize(100, 39);
    vu.show();
    EXPECT_EQ(vu.trackBar()->minimum(), -50);
    EXPECT_EQ(vu.trackBar()->maximum(), 0);
    EXPECT_EQ(vu.trackBar()->tickInterval(), 5);
    vu.setLlevdB(-50);
    vu.setRlevdB(-80);
    EXPECT_EQ(vu.leftBar()->width(), 0);
    EXPECT_EQ(vu.rightBar()->width(), 0);
    vu.setLlevdB(0);
    vu.setRlevdB(6);
    EXPECT_EQ(vu.leftBar()->width(), 100);
    EXPECT_EQ(vu.rightBar()->width(), 100);
    vu.setLlevdB(-25);
    EXPECT_EQ(vu.leftBar()->width(), 50);
    vu.setLlevdB(-0.5);
    vu.setRlevdB(-1.0);
    EXPECT_TRUE(vu.leftBar()->property("levelRed").toBool());
    EXPECT_FALSE(vu.rightBar()->property("levelRed").toBool());
    EXPECT_EQ(vu.rightBar()->toolTip(), "right(2) Ch. Level -1dBFS");
    vu.setmaxLevdB(-0.2); // a higher threshold turns it green again
    EXPECT_FALSE(vu.leftBar()->property("levelRed").toBool());

    vu.setTrackValdB(-60);
    EXPECT_EQ(vu.trackBar()->value(), -50);
    EXPECT_EQ(vu.TrackValdB(), -50);
    vu.setTrackValdB(12);
    EXPECT_EQ(vu.TrackValdB(), 0);
    vu.setTrackValdB(-20.4);
    vu.setHoriz(false);
    EXPECT_EQ(vu.TrackValdB(), -20) << "the value survives the turn";
    EXPECT_EQ(vu.trackBar()->value(), -30) << "vertical: min - max - value";
    vu.resize(39, 100);
    vu.setLlevdB(-25);
    EXPECT_EQ(vu.leftBar()->height(), 50);
    EXPECT_EQ(vu.leftBar()->geometry().bottom(), 99) << "grows from the bottom";
}

// The meter sits hidden at the output Setup button's place; it shows only in the impulse modes
// with an external impulse; its slider writes the trigger level; commands 6 and 7 move its bars.
TEST_F(MainFormOszi, levelMeterFollowsTheExternalImpulseModes) {
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    TVUTRIGG* vu = w.vuTrigger();
    ASSERT_TRUE(vu);
    EXPECT_EQ(vu->size(), QSize(100, 39));
    EXPECT_EQ(vu->parentWidget(), w.controlFor("ButSetupOut")->parentWidget());
    w.fftSettings().triggLevel = 0.05;
    w.fftSettings().asyncIps = false;
    w.setMeasuringModeF(4);
    EXPECT_FALSE(vu->isVisibleTo(&w));
    w.fftSettings().asyncIps = true;
    w.setMeasuringModeF(4);
    EXPECT_TRUE(vu->isVisibleTo(&w));
    EXPECT_EQ(vu->TrackValdB(), -26) << "20 log10(0.05)";
    vu->trackBar()->setValue(-40);
    EXPECT_NEAR(w.fftSettings().triggLevel, 0.01, 1e-12);
    w.fftSettings().triggLevel = 0.1; // set from the diagram's popup
    ASSERT_TRUE(w.diagramWindow()->model().fOnParaChange);
    w.diagramWindow()->model().fOnParaChange();
    EXPECT_EQ(vu->TrackValdB(), -20) << "the slider follows";
    EXPECT_DOUBLE_EQ(w.fftSettings().triggLevel, 0.1);
    w.CBfromMeas(cbmVULeft, -25);
    w.CBfromMeas(cbmVURight, 0);
    EXPECT_EQ(vu->LlevdB(), -25);
    EXPECT_TRUE(vu->rightBar()->property("levelRed").toBool());
    keepPicture(w, "scope_vu_trigger_main.png");
    keepPicture(*vu, "scope_vu_trigger.png");
    w.setMeasuringModeF(9);
    EXPECT_FALSE(vu->isVisibleTo(&w));
    w.setMeasuringModeF(1);
    EXPECT_FALSE(vu->isVisibleTo(&w));
}

// Mode 9: Setup opens the dialog, whose changes reach the running scope (timebase and block);
// a triggered sine, X-Y of two tones, single shot; leaving the mode gives the diagram back.
TEST_F(MainFormOszi, scopeRunsWithItsDialog) {
    TMainForm w(TMainForm::Options{});
    w.resize(1000, 700);
    w.useProgramMeasurements();
    w.ensureActivated();
    w.selectMeasuringMode(9);
    auto* meas = dynamic_cast<tOSZImeas*>(w.activeMeasurement());
    ASSERT_TRUE(meas);
    TOszidia* scope = w.scopeWindow();
    EXPECT_TRUE(scope->isVisibleTo(&w));
    play(1000, 1500, -6);
    w.controlFor("ButSetupInp")->metaObject()->invokeMethod(w.controlFor("ButSetupInp"), "click");
    TOsziDlg* dlg = scope->dialog();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(dlg->windowTitle(), "Oscilloscope Settings");
    EXPECT_EQ(dlg->LaTime->text(), "5ms/div");
    dlg->SBtime->setValue(kOsziTableMax - 5);  // 500 us/div
    dlg->SBcha1->setValue(kOsziTableMax - 10); // 200 mV/div
    dlg->TBtrigg->setValue(400);
    EXPECT_EQ(dlg->LaTime->text(), "500us/div");
    ASSERT_TRUE(runUntil([&] { return scope->scope().d.timeBidx == 5; })) << "posted to the window";
    EXPECT_EQ(scope->scope().SDdp, 600);
    ASSERT_TRUE(w.startCommand());
    ASSERT_TRUE(runUntil([&] { return meas->framesDrawn() >= 3; }));
    EXPECT_TRUE(scope->scope().frame().triggered);
    EXPECT_NEAR(scope->scope().readout(0).freq_Hz, 1000.0, 1.0);
    keepPicture(*scope, "scope_triggered_1kHz.png");
    keepPicture(*dlg, "scope_dialog.png");

    dlg->SBtime->setValue(kOsziTableMax); // X-Y
    dlg->SBcha2->setValue(kOsziTableMax - 10);
    const int before = meas->framesDrawn();
    ASSERT_TRUE(
        runUntil([&] { return scope->scope().xyMode() && meas->framesDrawn() >= before + 3; }));
    EXPECT_EQ(scope->scope().frame().y1.size(), 512u);
    keepPicture(*scope, "scope_xy_lissajous.png");

    dlg->SBtime->setValue(kOsziTableMax - 6); // 1 ms/div, single shot
    dlg->CBsingle->setChecked(true);
    ASSERT_TRUE(runUntil([&] { return !scope->scope().singleShot; })) << "one capture";
    const int64_t shot = scope->scope().frame().number;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(scope->scope().frame().number, shot) << "frozen";
    keepPicture(*scope, "scope_single_shot.png");

    w.startCommand();
    EXPECT_FALSE(meas->Measrun());
    w.selectMeasuringMode(1);
    EXPECT_FALSE(scope->isVisibleTo(&w));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
}
