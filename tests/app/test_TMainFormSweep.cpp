// Main window and the sweep: the Setup button's dialog, the start, the progress display, the
// diagram's section per reference kind and the sweep settings saved at close.
#include "app/ui/TMainForm.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/ui/Twobbeldlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(MainFormSweep, setupDialogStartProgressDisplayAndSavedSettings)
{
    static int argc = 1;
    static char name[] = "test_TMainFormSweep";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
    QTemporaryDir home;
    qputenv("VELMORA_HOME", home.path().toUtf8());
    QFile sim(home.filePath("SoundSim.ini"));
    ASSERT_TRUE(sim.open(QIODevice::WriteOnly));
    sim.write("[Device]\nSampleRate=48000\nBits=32\nPacing=fast\n[Model]\nKind=wire\n");
    sim.close();
    resetSoundDLL();
    soundDLL().setFolder(VELMORA_MODULE_DIR);
    {
        TMainForm w(TMainForm::Options{"libSoundSim.so", -1, false});
        ASSERT_FALSE(w.startupFailed());
        w.useProgramMeasurements();
        w.show();
        w.ensureActivated();
        QApplication::processEvents();
        w.selectMeasuringMode(3);
        QAbstractButton* setup = qobject_cast<QAbstractButton*>(w.controlFor("ButSetupInp"));
        ASSERT_NE(setup, nullptr);
        ASSERT_TRUE(setup->isEnabled());
        bool shown = false;
        w.setSweepDialogRunner([&](QDialog& d) {
            auto& dlg = dynamic_cast<Twobbeldlg&>(d);
            shown = true;
            dlg.EdFrom->setText("500");
            dlg.EdTo->setText("4000");
            dlg.SeSteps->setValue(5);
            dlg.EdLevel->setText("-10");
            dlg.RbRef[0]->setChecked(true); // left against the right reference
            dlg.accept();
            return int(QDialog::Accepted);
        });
        setup->click();
        ASSERT_TRUE(shown);
        ASSERT_TRUE(w.startCommand());
        QElapsedTimer t;
        t.start();
        while (!w.measurementEnded() && t.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_TRUE(w.measurementEnded());
        const QStringList d = w.sweepDisplayTexts();
        ASSERT_EQ(d.size(), 5);
        EXPECT_EQ(d[0], "Step      Frequency     L  inp. level/FS  R");
        EXPECT_EQ(d[1], "5"); // the last step of five
        EXPECT_EQ(d[2], "0.00Hz"); // a stopped sweep has no frequency
        EXPECT_NEAR(d[3].toDouble(), 0.0, 0.01); // the ratio of two equal channels
        EXPECT_EQ(d[3].trimmed().section('.', 1).size(), 5); // five decimals without overload
        w.close();
    }
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString ini = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(ini.contains("SYNCSTEP=5")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("REFMESS=0"));
    EXPECT_TRUE(ini.contains("[sweepRIGHTref]")); // the diagram of the right reference's sweep
    EXPECT_TRUE(ini.contains("[SweepTrackFilter]"));
}

} // namespace
