// The sweep settings dialog: "default", the arrow-button rules, stereo against phase, the start field.
#include "measurements/ui/Twobbeldlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

class Wobbeldlg : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_Twobbeldlg";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
};

TEST_F(Wobbeldlg, defaultSetsEveryListedValueAndOkHandsThemOver)
{
    Twobdat w;
    w.wobfrom = 5, w.wobto = 900, w.wobSyncSteps = 7, w.wobphase = true, w.wobconti = true, w.wobSync = false;
    w.waitOn1kHz = true, w.pmin = -10, w.pmax = 10, w.pegdigL = w.pegdigR = -20, w.startmess_ms = 7;
    w.totalasyncmess_s = 9, w.RefMess = mRefLeft, w.pause_s = 3, w.nextCurve = true, w.thresholdLevel_dB = -9;
    w.TrackFilter = true, w.Rs = 4.0;
    Twobbeldlg dlg(w, 3);
    EXPECT_EQ(dlg.windowTitle(), "Wobbel-Einstellung");
    EXPECT_EQ(dlg.LaStart->text(), "meas. time (s)"); // asynchronous: the field is the duration
    EXPECT_EQ(dlg.SeStart->value(), 9);
    dlg.BtDefault->click();
    EXPECT_EQ(dlg.LaStart->text(), "wait before meas.");
    EXPECT_EQ(dlg.LaTotal->text(), "5.0s"); // 50 steps x 100 ms
    dlg.grab().save("/tmp/sweep-dialog.png");
    dlg.accept();
    const Twobdat& d = dlg.data();
    EXPECT_EQ(d.wobfrom, 20.0);
    EXPECT_EQ(d.wobto, 20000.0);
    EXPECT_EQ(d.wobSyncSteps, 50);
    EXPECT_FALSE(d.wobphase);
    EXPECT_FALSE(d.wobconti);
    EXPECT_TRUE(d.wobSync);
    EXPECT_FALSE(d.waitOn1kHz);
    EXPECT_EQ(d.pmin, -90.0);
    EXPECT_EQ(d.pmax, 90.0);
    EXPECT_EQ(d.pegdigL, 0.0);
    EXPECT_EQ(d.pegdigR, 0.0);
    EXPECT_EQ(d.startmess_ms, 100);
    EXPECT_EQ(d.totalasyncmess_s, 50);
    EXPECT_EQ(d.RefMess, mRefStereo);
    EXPECT_EQ(d.pause_s, 0);
    EXPECT_FALSE(d.nextCurve);
    EXPECT_EQ(d.thresholdLevel_dB, -50.0);
    EXPECT_FALSE(d.TrackFilter);
    EXPECT_EQ(d.Rs, 4.0); // not one of the defaults
}

TEST_F(Wobbeldlg, arrowRulesAndTheirLimits)
{
    EXPECT_EQ(Twobbeldlg::stepStartFrequency(23.0, 20000.0, 1), 30.0); // up: the next whole ten
    EXPECT_EQ(Twobbeldlg::stepStartFrequency(30.0, 20000.0, 1), 40.0);
    EXPECT_EQ(Twobbeldlg::stepStartFrequency(25.0, 20000.0, -1), 15.0);
    EXPECT_EQ(Twobbeldlg::stepStartFrequency(5.0, 20000.0, -1), 0.1); // never below 0.1 Hz
    EXPECT_EQ(Twobbeldlg::stepStartFrequency(995.0, 1000.0, 1), 1000.0); // nor above the stop
    EXPECT_NEAR(Twobbeldlg::stepLevel(-6.0, 1), -5.9, 1e-12);
    EXPECT_EQ(Twobbeldlg::stepLevel(0.0, 1), 0.0);
    EXPECT_EQ(Twobbeldlg::stepLevel(-100.0, -1), -100.0);
    EXPECT_EQ(Twobbeldlg::levelText(-100.0), "Off");
    Twobdat w;
    w.pegdigL = -99.9;
    Twobbeldlg dlg(w, 3);
    dlg.EdLevel->setText("Off");
    dlg.accept();
    EXPECT_EQ(dlg.data().pegdigL, -100.0);
    EXPECT_EQ(dlg.data().pegdigR, -100.0); // one value for both channels
    EXPECT_EQ(dlg.SeSteps->minimum(), 5);
    EXPECT_EQ(dlg.SeSteps->maximum(), 1000);
}

TEST_F(Wobbeldlg, stereoSwitchesPhaseOffAndImpedanceModesChooseTheCircuit)
{
    Twobdat w;
    w.RefMess = mRefRight;
    w.wobphase = true;
    Twobbeldlg dlg(w, 3);
    EXPECT_TRUE(dlg.CbPhase->isChecked());
    EXPECT_FALSE(dlg.GbImp->isVisibleTo(&dlg));
    dlg.RbRef[2]->setChecked(true);
    EXPECT_FALSE(dlg.CbPhase->isChecked());
    EXPECT_FALSE(dlg.CbPhase->isEnabled());
    dlg.accept();
    EXPECT_EQ(dlg.data().RefMess, mRefStereo);
    EXPECT_FALSE(dlg.data().wobphase);

    w.mImpMode = mImpVar2;
    Twobbeldlg imp(w, 6);
    EXPECT_TRUE(imp.GbImp->isVisibleTo(&imp));
    EXPECT_TRUE(imp.RbRef[1]->isChecked());
    imp.RbRef[0]->setChecked(true);
    imp.accept();
    EXPECT_EQ(imp.data().mImpMode, mImpVar1);
    EXPECT_EQ(imp.data().RefMess, mRefRight); // the reference stays as it was
}

} // namespace
