// The 3D window's settings dialog (its Apply loop) and view tool; their pictures go to /tmp.
#include "display/ui/TDia3dDlgF.h"
#include "display/ui/Tview3dset.h"
#include "measurements/ui/TChild3D.h"

#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test_T3dDialogs";
    static char* argv[] = {name, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

TEST(T3dDialogs, applyRepeatsTheDialogAndEachApplyReachesTheWaterfall)
{
    app();
    TChild3D w;
    w.resize(800, 600);
    int shown = 0;
    w.runDialog = [&](TDia3dDlgF& dlg) {
        ++shown;
        if (shown == 1) {
            dlg.grab().save("/tmp/wf_dialog_settings.png");
            dlg.visualizing->setCurrentIndex(0);
            dlg.ribbons->setValue(30);
            dlg.onApply(dlg.record());
            return int(TDia3dDlgF::kApply);
        }
        EXPECT_EQ(dlg.visualizing->currentIndex(), 0); // filled from the state Apply left
        dlg.filter->setCurrentIndex(4);
        return 1;
    };
    w.openSettings();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(w.diagr3D.Flaeche(), 0);
    EXPECT_EQ(w.diagr3D.Zbands(), 30);
    EXPECT_EQ(w.diagr3D.DFilter(), 4);
}

TEST(T3dDialogs, viewToolMovesTheEyeAndRestoresTheDefaultView)
{
    app();
    TChild3D w;
    w.viewTool->adjustSize();
    w.viewTool->grab().save("/tmp/wf_dialog_view.png");
    w.viewTool->bar(3)->setValue(100); // eye x = 10
    EXPECT_DOUBLE_EQ(w.diagr3D.XBET(), 10.0);
    w.viewTool->bar(0)->setValue(-25); // reference x = -0.25
    EXPECT_DOUBLE_EQ(w.diagr3D.XFLU(), -0.25);
    w.viewTool->restore(0);
    EXPECT_DOUBLE_EQ(w.diagr3D.XBET(), 5.0);
    EXPECT_DOUBLE_EQ(w.diagr3D.ZBET(), 17.1);
}

} // namespace
