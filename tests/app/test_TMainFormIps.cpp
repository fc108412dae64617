// Main window in the 2D impulse mode on the virtual bench: the status texts reach the remark
// line, a gate set in the time diagram and "Recalculate" evaluate the last shot again.
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "app/ui/TMainForm.h"
#include "display/TDiaWindowModel.h"
#include "display/TDiagramm.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tIpsMeas.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Recorder : vl::IMessageService {
    int show(const vl::Message& m) override { return m.defaultButton; }
};

template <class F>
bool runUntil(F done, int timeout_ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

TEST(MainFormIps, remarkLineGateMarkerAndRecalculate)
{
    static int argc = 1;
    static char name[] = "test_TMainFormIps";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
    QTemporaryDir home;
    qputenv("VELMORA_HOME", home.path().toUtf8());
    QFile sim(home.filePath("SoundSim.ini"));
    ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
    sim.write("[Device]\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=amplifier\n[Amplifier]\nHighPass_Hz=100\nLowPass_Hz=10000\n");
    sim.close();
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MAIN]\nSoundDLLname=libSoundSim.so\n[OSOUND]\nModeL=5\nModeR=5\nvolL=-6\nvolR=-6\n"
            "[fftnah]\nSAMPLES=8192\nWIN=0\nSBEFORE=24\n");
    f.close();
    resetSoundDLL();
    soundDLL().setFolder(VELMORA_MODULE_DIR);
    Recorder messages;
    vl::setMessageService(&messages);
    {
        TMainForm w(TMainForm::Options{});
        w.useProgramMeasurements();
        w.resize(1000, 760);
        w.show();
        w.ensureActivated();
        w.selectMeasuringMode(4);
        auto* m = dynamic_cast<tIpsMeas*>(w.activeMeasurement());
        ASSERT_NE(m, nullptr);
        QStringList remarks; // the remark line after every event
        ASSERT_TRUE(w.startCommand());
        for (int i = 0; i < 50 && !m->endedByItself(); ++i) {
            QApplication::processEvents(QEventLoop::AllEvents);
            remarks << w.diagramWindow()->diagr2d().Rem_1();
        }
        ASSERT_TRUE(runUntil([&] { return m->endedByItself(); }));
        EXPECT_EQ(m->framesDrawn(), 1);
        EXPECT_TRUE(m->statusLog().contains("Diagram ready"));
        EXPECT_FALSE(remarks.filter(QRegularExpression("Start impulse and sample|Get sample datas|Do FFT|Ready")).isEmpty())
            << remarks.join('|').toStdString();
        EXPECT_EQ(w.diagramWindow()->diagr2d().Rem_1(), "") << "cleared when the shot stopped";

        // the user sets the echo point (gate end) 10 ms after the FFT start in the time diagram
        // (where the impulse lands in the shot depends on when the input and output started)
        const int32_t full = m->lastShot().time[0].size() > 0 ? int32_t(m->lastShot().time[0].size()) : 0;
        ASSERT_GT(full, 480);
        const double fftStart_ms = m->lastShot().fftBegin * 1000.0 / m->sampleRate();
        w.diagramWindow()->model().echoPointAt(TTimeDiaPoint{fftStart_ms + 10.0, 0.0});
        ASSERT_TRUE(runUntil([&] { return m->framesDrawn() == 2 && m->ipsStep == ipsParked; }));
        EXPECT_GT(m->lastShot().firstBin, 0) << "a 10 ms gate in an 8192-point FFT clears the lowest bins";
        const QString dir = qEnvironmentVariable("VELMORA_TEST_PICTURES");
        if (!dir.isEmpty()) w.grab().save(dir + "/ips_2d.png", "PNG");

        auto* recalc = w.findChild<QAbstractButton*>("ButManuell");
        ASSERT_NE(recalc, nullptr);
        recalc->click(); // "Recalculate"
        ASSERT_TRUE(runUntil([&] { return m->framesDrawn() == 3 && m->ipsStep == ipsParked; }));
        w.close();
    }
    vl::setMessageService(nullptr);
}

} // namespace
