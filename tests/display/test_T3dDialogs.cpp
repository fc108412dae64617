// The 3D window: its settings dialog (the Apply loop), view tool, time-diagram menu and settings
// file; the dialogs' pictures go to /tmp.
#include "display/ui/TDia3dDlgF.h"
#include "display/ui/Tview3dset.h"
#include "display/ui/T3DView.h"
#include "measurements/ui/TChild3D.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
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

TEST(T3dDialogs, clicksFireTheirEventsAndLeaveTheView)
{
    app();
    TChild3D w;
    w.resize(600, 500);
    w.show();
    int left = 0, dialogs = 0;
    w.diagr3D.OnLeftMouseButClick = [&](int, int) { ++left; };
    w.runDialog = [&](TDia3dDlgF&) { return ++dialogs, 0; };
    const double eye = w.diagr3D.ZBET(), ref = w.diagr3D.XFLU();
    QTest::mouseClick(w.view3D, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseClick(w.view3D, Qt::RightButton, {}, QPoint(100, 100));
    EXPECT_EQ(left, 1);
    EXPECT_EQ(dialogs, 1); // the right click opens the settings (cancelled here)
    EXPECT_EQ(w.diagr3D.ZBET(), eye);
    EXPECT_EQ(w.diagr3D.XFLU(), ref);
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

// Answers every box with a fixed button and counts them.
struct Answer : vl::IMessageService {
    int button = vl::mbYes, asked = 0;
    QString lastText;
    int show(const vl::Message& m) override
    {
        ++asked;
        lastText = m.text;
        return button;
    }
};

TEST(T3dDialogs, storedViewsNeedTheConfirmationAndComeBack)
{
    app();
    Answer answer;
    vl::setMessageService(&answer);
    TChild3D w;
    w.viewTool->bar(4)->setValue(120); // eye y = 12
    answer.button = vl::mbNo;
    w.viewTool->store(2);
    EXPECT_EQ(answer.lastText, "store current view in preset 2");
    EXPECT_DOUBLE_EQ(w.viewTool->views().d2ybe, 16.0); // refused: kept
    answer.button = vl::mbYes;
    w.viewTool->store(2);
    EXPECT_DOUBLE_EQ(w.viewTool->views().d2ybe, 12.0);
    w.viewTool->restore(0);
    EXPECT_DOUBLE_EQ(w.diagr3D.YBET(), 16.0);
    w.viewTool->restore(2);
    EXPECT_DOUBLE_EQ(w.diagr3D.YBET(), 12.0);
    vl::setMessageService(nullptr);
}

TEST(T3dDialogs, timeDiagramMenuRangeLinesAndEchoPoint)
{
    app();
    TChild3D w;
    w.setSF(48000);
    w.setFFTpoints(4096);
    double echo = -1.0, trig = 0.25;
    int32_t begin = 0;
    int changes = 0;
    w.pEcho_ms = &echo;
    w.pTriggLevel = &trig;
    w.pFFtbegin_samp = &begin;
    w.fOnParaChange = [&] { ++changes; };
    QMenu* m = w.makeTimePopup(12.345, -0.5);
    const QList<QAction*> items = m->actions();
    ASSERT_GE(items.size(), 9);
    EXPECT_EQ(items[0]->text(), "This point (12.35ms / -0.5000FS) will be now");
    EXPECT_EQ(items[3]->text(), "around impulse is OFF");
    EXPECT_EQ(items[7]->text(), "trigger level : 0.25FS");
    delete m;
    // No echo point: the range lines span exactly the transform's samples.
    w.FFTLines(10.0);
    EXPECT_DOUBLE_EQ(w.fftRangeTo() - w.fftRangeFrom(), 4096 * 1000.0 / 48000);
    w.echoPointAt(40.0);
    EXPECT_EQ(echo, 40.0);
    w.FFTLines(10.0);
    EXPECT_DOUBLE_EQ(w.fftRangeTo(), 40.0); // the echo point comes first
    w.fftBeginAt(20.0);
    EXPECT_EQ(begin, 960);
    w.triggerLevelAt(-0.6);
    EXPECT_DOUBLE_EQ(trig, 0.6);
    w.diagramDefault();
    EXPECT_EQ(echo, -1.0);
    EXPECT_EQ(changes, 4);
}

TEST(T3dDialogs, settingsFileRepairsBadValuesAndKeepsTheViews)
{
    app();
    QTemporaryDir dir;
    const QString file = dir.filePath("v.ini");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[fft3d]\nFFTpoints=100\nmakeOpenGL=1\nOpenGLdesi=0\nx1bet=7\nsplitratio=9\n");
    }
    TChild3D w;
    w.loadDia(TMemIniFile(file), "fft3d");
    EXPECT_FALSE(w.dlgRecord().makeOpenGL); // OpenGL chosen but not offered
    TMemIniFile out(file);
    w.saveDia(out, "fft3d");
    EXPECT_EQ(out.ReadInteger("fft3d", "FFTpoints", 0), 1024);
    EXPECT_DOUBLE_EQ(out.ReadFloat("fft3d", "x1bet", 0), 7.0);
    EXPECT_LE(out.ReadFloat("fft3d", "splitratio", 9), 1.0);
    EXPECT_FALSE(out.ReadBool("fft3d", "makeOpenGL", true));
    out.WriteInteger("fft3d", "FFTpoints", 100000);
    TChild3D v;
    v.loadDia(out, "fft3d");
    TMemIniFile again(file);
    v.saveDia(again, "fft3d");
    EXPECT_EQ(again.ReadInteger("fft3d", "FFTpoints", 0), 1024);
    // Through its own file: what was saved comes back; a file that cannot be written says so.
    ASSERT_TRUE(v.SaveDia(dir.filePath("own.ini"), "fft3d"));
    TChild3D back;
    back.LoadDia(dir.filePath("own.ini"), "fft3d");
    EXPECT_EQ(back.getZBands(), v.getZBands());
    Answer answer;
    vl::setMessageService(&answer);
    EXPECT_FALSE(v.SaveDia(dir.filePath("no/such/folder/x.ini"), "fft3d"));
    EXPECT_TRUE(answer.lastText.startsWith("Error writing Ini-File ")) << answer.lastText.toStdString();
    vl::setMessageService(nullptr);
    // A file that is no settings file at all (binary, truncated) loads the defaults.
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        static const char bad[] = "\x00\x01[fft3d\nFFTpoi";
        f.write(QByteArray(bad, sizeof bad - 1));
    }
    TChild3D d;
    d.loadDia(TMemIniFile(file), "fft3d");
    EXPECT_EQ(d.getZBands(), 16);
    EXPECT_DOUBLE_EQ(d.diagr3D.ZBET(), 17.1);
}

} // namespace
