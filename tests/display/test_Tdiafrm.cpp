// Diagram window: result message end to end, curve panels, dialogs, secondary panel, popup, main-window exports.
#include "app/TCommandLine.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "app/ui/TMainForm.h"
#include "display/TGdata.h"
#include "display/ui/TCrvdia.h"
#include "display/ui/TCurvePanel.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/TFoToolAnalyzeCurve.h"
#include "display/ui/TFormAddCurve.h"
#include "display/ui/Tdiadlg.h"
#include "display/ui/Tdiafrm.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Records the window messages posted to it.
struct Receiver : QObject {
    std::vector<std::array<intptr_t, 3>> got; // msg, wParam, lParam
    bool event(QEvent* e) override
    {
        if (e->type() != TMsgEvent::eventType()) return QObject::event(e);
        const auto* m = static_cast<TMsgEvent*>(e);
        got.push_back({m->msg, m->wParam, m->lParam});
        return true;
    }
};

struct Recorder : vl::IMessageService {
    QStringList texts;
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
};

// A two-channel spectrum package (pink-ish slopes) with time signals, mode 1.
struct Package {
    cFFTdat fft;
    std::shared_ptr<TGdata> g;
    explicit Package(int channels = 2)
    {
        fft.setAnzICha(channels);
        fft.MeasuringModeF = 1;
        fft.DiagramForm = Sample_2D;
        g = std::make_shared<TGdata>(&fft);
        const int n = 512;
        g->makeAsd(channels, n);
        g->sdX = Tsamplemem(n);
        for (int i = 0; i < n; ++i) {
            const double f = 20.0 * std::pow(1000.0, double(i) / (n - 1));
            g->sdX.setsmAr(i, f);
            for (int c = 0; c < channels; ++c) {
                g->asdDia[c].setsmAr(i, -20.0 - 6.0 * c - 3.0 * std::log2(f / 20.0) + 4.0 * std::sin(i * 0.05));
                g->asdZz[c].setsmAr(i, 0.8 * std::exp(-i / 80.0) * std::sin(i * 0.3 + c));
            }
        }
    }
};

void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_Tdiafrm";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

class DiafrmTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApp(); }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        vl::setMessageService(&messages);
        w.resize(760, 520);
        w.OpenSecundaryWindow(1);
        w.show();
        QApplication::processEvents();
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    void putPackage(Package& p)
    {
        postPackage(&w, p.g);
        QApplication::processEvents();
    }

    QTemporaryDir home;
    Recorder messages;
    Tdiafrm w;
};

} // namespace

TEST_F(DiafrmTest, PostedPackageFillsCurvesAndIsHandedBack)
{
    Receiver meas;
    Package p(3);
    p.g->MsgHandle = &meas;
    p.g->Working = true;
    putPackage(p);
    TDiagramm& d = w.diagr2d();
    EXPECT_TRUE(d.curve(0)->ValidData);
    EXPECT_TRUE(d.curve(1)->ValidData);
    EXPECT_FALSE(d.curve(2)->ValidData);
    EXPECT_TRUE(w.timeView()->dia().curve(0)->ValidData);
    EXPECT_FALSE(p.g->Working);
    QApplication::processEvents();
    ASSERT_EQ(meas.got.size(), 1u);
    EXPECT_EQ(meas.got[0], (std::array<intptr_t, 3>{1052, 723, 13}));
    // A 1053 without a package, and a package its measurement withdrew, are ignored.
    postMsg(&w, MSG_DIA_PUTDIA, 0);
    p.g->withdraw();
    postPackage(&w, p.g);
    QApplication::processEvents();
    EXPECT_EQ(meas.got.size(), 1u);
    // 1040 clears a peak hold.
    postMsg(&w, MSG_DIA_CLEARCURVE, 1);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(d.curve(1)->OriY.getsmAr(3), -1000.0);
}

// A measurement sends its result lines just before its package: the package's repaint shows
// both. Lines that no package follows are painted by a timer.
TEST_F(DiafrmTest, ResultLinesWaitForTheirPackageOrTheTimer)
{
    TDiagramm& d = w.diagr2d();
    Package p;
    putPackage(p);
    const QImage before = d.getBitmap().copy();
    w.setCommentLines({"Level:\tleft Ch. -6.02dBFS"}, 10);
    EXPECT_EQ(d.legend().lines, 1);
    EXPECT_TRUE(d.repaintPending());
    EXPECT_EQ(d.getBitmap(), before) << "painted before the package came";
    putPackage(p);
    EXPECT_FALSE(d.repaintPending());
    EXPECT_NE(d.getBitmap(), before);
    const QImage withLines = d.getBitmap().copy();
    w.setCommentLines({"Level:\tleft Ch. -7.00dBFS", "Dist:\tleft Ch. -60.0 [dB]"}, 10);
    EXPECT_TRUE(d.repaintPending());
    QTest::qWait(400);
    EXPECT_FALSE(d.repaintPending());
    EXPECT_NE(d.getBitmap(), withLines) << "the lines without a package were never painted";
}

TEST_F(DiafrmTest, PanelsShowSelectionAndToggleIt)
{
    Package p;
    putPackage(p);
    TCurvePanel* p0 = w.curvePanel(0);
    TCurvePanel* p5 = w.curvePanel(5);
    EXPECT_EQ(p0->frameShadow(), QFrame::Raised);
    EXPECT_EQ(p0->lineWidth(), 1);
    EXPECT_EQ(p5->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(p5->lineWidth(), 3);
    EXPECT_EQ(p0->toolTip(), "ready for drag&drop");
    EXPECT_EQ(p0->nameLabel()->toolTip(), "click for properties");
    EXPECT_EQ(p0->groupLabel()->text(), "A");
    w.diagr2d().curve(5)->Fcvis = false;
    w.showCurvesDats();
    EXPECT_EQ(p5->groupLabel()->text(), " ");

    QTest::mouseDClick(p5, Qt::LeftButton);
    EXPECT_TRUE(w.diagr2d().curve(5)->Fsel);
    QTest::mousePress(p5, Qt::RightButton, Qt::ControlModifier);
    EXPECT_FALSE(w.diagr2d().curve(5)->Fsel);
    QTest::mousePress(p5, Qt::RightButton); // without Ctrl: nothing
    EXPECT_FALSE(w.diagr2d().curve(5)->Fsel);

    // "Shift to next curve" and "clear curves" with both flags.
    w.shiftBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_TRUE(w.diagr2d().curve(2)->Fsel);
    EXPECT_FALSE(w.diagr2d().curve(0)->Fsel);
    w.model().ConCCselections = true;
    w.clearButton()->click();
    EXPECT_TRUE(w.diagr2d().curve(0)->Fsel);
    EXPECT_FALSE(w.diagr2d().curve(2)->Fsel);
    EXPECT_EQ(p0->nameLabel()->text(), "unknown");
    EXPECT_EQ(w.diagr2d().curve(0)->CpyY.getsmAr(10), kDiaNoData);
}

TEST_F(DiafrmTest, CurveDialogLoopWritesTheCopyBack)
{
    Package p;
    putPackage(p);
    int opened = 0;
    w.runCurveDialog = [&](TCrvdia& dlg) {
        ++opened;
        dlg.dlgCurve().Name = QString("edited %1").arg(opened);
        return opened == 1 ? TCrvdia::kApplyResult : TCrvdia::kOkResult;
    };
    w.curveClicked(1);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(w.diagr2d().getCurveName(1), "edited 2");
    EXPECT_EQ(w.curvePanel(1)->nameLabel()->text(), "edited 2");
    w.runCurveDialog = [&](TCrvdia& dlg) {
        dlg.dlgCurve().Name = "cancelled";
        return TCrvdia::kCancelResult;
    };
    w.curveClicked(1);
    EXPECT_EQ(w.diagr2d().getCurveName(1), "edited 2");
}

TEST_F(DiafrmTest, DropsReplaceOrAddAfterConfirmation)
{
    Package p;
    putPackage(p);
    TDiagramm& d = w.diagr2d();
    int asked = 0;
    int answer = TFormAddCurve::kNoResult;
    w.runAddCurveDialog = [&](TFormAddCurve&) {
        ++asked;
        return answer;
    };
    w.dropPanel(0, 0, true);
    EXPECT_EQ(asked, 0) << "onto itself: nothing, not even the question";
    const double before = d.curve(1)->OriY.getsmAr(100);
    w.dropPanel(0, 1, true);
    EXPECT_EQ(asked, 1);
    EXPECT_DOUBLE_EQ(d.curve(1)->OriY.getsmAr(100), before);
    answer = TFormAddCurve::kYesResult;
    w.dropPanel(0, 1, true);
    const double a = std::pow(10.0, d.curve(0)->OriY.getsmAr(100) / 20.0);
    const double b = std::pow(10.0, before / 20.0);
    EXPECT_NEAR(d.curve(1)->OriY.getsmAr(100), 20.0 * std::log10(a + b), 1e-6) << "in-phase magnitudes add";
    const TColorBGR col4 = d.getColline(4);
    w.dropPanel(0, 4, false);
    EXPECT_EQ(d.getColline(4), col4);
    EXPECT_TRUE(d.curve(4)->ValidData);
}

TEST_F(DiafrmTest, XMaxEditRejectsValueBelowMinimum)
{
    w.xMaxEdit()->setText("10");
    w.xMaxEdited();
    EXPECT_EQ(w.xMaxEdit()->text(), "22000");
    EXPECT_DOUBLE_EQ(w.diagr2d().X_max(), 22000.0);
    w.xMaxEdit()->setText("5000");
    w.xMaxEdited();
    EXPECT_DOUBLE_EQ(w.diagr2d().X_max(), 5000.0);
    EXPECT_EQ(w.xMaxEdit()->text(), "5000");
}

TEST_F(DiafrmTest, SecondaryPanelKinds)
{
    EXPECT_EQ(w.OpenSecundaryWindow(9999), nullptr);
    EXPECT_FALSE(w.timeView()->isVisible());
    EXPECT_EQ(w.model().SecTag, kSecTagTimeDiaGone);
    QWidget* ts = w.OpenSecundaryWindow(8);
    ASSERT_NE(ts, nullptr);
    EXPECT_EQ(ts->height(), 105);
    EXPECT_FALSE(w.splitter()->handle(1)->isEnabled());
    EXPECT_EQ(w.model().SecTag, kSecTagThieleSmall);
    EXPECT_EQ(w.OpenSecundaryWindow(4), w.timeView());
    EXPECT_EQ(w.model().SecTag, (4 << 16) + 749);
    EXPECT_TRUE(w.timeView()->isVisible());
    EXPECT_GT(w.timeView()->height(), 40);
    EXPECT_EQ(w.timeView()->dia().xEinheit(), "ms");
    EXPECT_FALSE(w.timeView()->dia().xSkalalog());
}

TEST_F(DiafrmTest, TimeDiagramPopupItems)
{
    double trig = 0.2;
    w.model().pTriggLevel = &trig;
    QMenu* m = w.makeTimePopup({3.0, -0.5});
    const QList<QAction*> items = m->actions();
    ASSERT_GE(items.size(), 11);
    EXPECT_EQ(items[0]->text(), "This point (3.00ms / -0.5000FS) will be now");
    EXPECT_EQ(items[1]->text(), "FFT begin (for recalculate)");
    EXPECT_EQ(items[6]->text(), "trigger level : 0.200FS");
    EXPECT_EQ(items[8]->text(), "around impulse is OFF");
    EXPECT_EQ(items[10]->text(), "visible curve ");
    items[6]->trigger();
    EXPECT_DOUBLE_EQ(trig, 0.5);
    delete m;
    // A real left click inside the plot reaches the popup.
    int shown = 0;
    w.runPopup = [&](QMenu&, QPoint) { ++shown; };
    TDiagrammView* tv = w.timeView();
    const QRect r = tv->dia().Diareci();
    QTest::mouseClick(tv, Qt::LeftButton, {}, r.center());
    EXPECT_EQ(shown, 1);
}

TEST_F(DiafrmTest, OptionsDialogLoopWritesBack)
{
    int opened = 0;
    w.runOptionsDialog = [&](Tdiadlg& dlg) {
        ++opened;
        dlg.CBClearSel->setChecked(true);
        dlg.CBLogX->setChecked(false);
        if (opened == 1) return Tdiadlg::kApplyResult;
        return Tdiadlg::kOkResult;
    };
    w.openDiagramOptions();
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(w.model().ConCCselections);
    EXPECT_FALSE(w.diagr2d().xSkalalog());
}

TEST_F(DiafrmTest, PictureWithSpectrumAndTimeDiagram)
{
    Package p;
    putPackage(p);
    w.diagr2d().setRem_1("two channels, pink slope");
    w.setTimeDiagramRange(12.0, "FS");
    w.diagr2d().setCurveName(0, "left");
    w.diagr2d().setCurveName(1, "right");
    w.showCurvesDats();
    QApplication::processEvents();
    const QImage img = w.getFormImage();
    EXPECT_FALSE(img.isNull());
    EXPECT_FALSE(w.diagramImage().isNull());
    const QByteArray dir = qgetenv("VELMORA_SHOT_DIR");
    if (!dir.isEmpty()) img.save(QString::fromUtf8(dir) + "/win-diafrm.png");
}

// ---- the main window's diagram commands ---------------------------------------------------------

class MainDiagramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApp(); }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    QTemporaryDir home;
    Recorder messages;
};

QAction* findAction(QWidget* w, const QString& text)
{
    for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == text) return a;
    return nullptr;
}

TEST_F(MainDiagramTest, TextExportMenusWriteFilesAndReportFailure)
{
    TMainForm w(TMainForm::Options{});
    ASSERT_FALSE(w.startupFailed());
    w.ensureActivated();
    ASSERT_NE(w.diagramWindow(), nullptr);
    Package p;
    postPackage(w.diagramWindow(), p.g);
    QApplication::processEvents();

    QString askedTitle;
    const QString target = home.filePath("freq.txt");
    w.setTextFileChooser([&](const QString& title, const QString&) {
        askedTitle = title;
        return target;
    });
    QAction* freq = findAction(&w, "&Save freq. diagram as text file");
    ASSERT_NE(freq, nullptr);
    EXPECT_EQ(freq->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F2));
    freq->trigger();
    EXPECT_EQ(askedTitle, "frequency diagram values to text file");
    ASSERT_TRUE(QFile::exists(target));
    EXPECT_EQ(w.settings().AsTextFname, target);

    // Alt+F2 rewrites the last name without asking.
    QFile::remove(target);
    askedTitle.clear();
    ASSERT_TRUE(w.saveFreqTextToLastName());
    EXPECT_TRUE(askedTitle.isEmpty());
    EXPECT_TRUE(QFile::exists(target));

    // A name that cannot be written.
    w.setTextFileChooser([&](const QString&, const QString&) { return home.filePath("no/dir/x.txt"); });
    EXPECT_FALSE(w.saveDiagramText('F'));
    ASSERT_FALSE(messages.texts.isEmpty());
    EXPECT_TRUE(messages.texts.last().endsWith(" could not created")) << messages.texts.last().toStdString();

    // Cancelled dialog: nothing written, the last name kept.
    w.setTextFileChooser([&](const QString&, const QString&) { return QString(); });
    EXPECT_FALSE(w.saveDiagramText('T'));
    EXPECT_EQ(w.settings().AsTextFname, home.filePath("no/dir/x.txt"));

    EXPECT_NE(findAction(&w, "&Copy diagram to clipboard"), nullptr);
    int toolShown = 0;
    w.setCurveAnalysisRunner([&](TFoToolAnalyzeCurve&) { return ++toolShown; });
    QAction* tool = findAction(&w, "Analyse measured curves");
    ASSERT_NE(tool, nullptr);
    tool->trigger();
    EXPECT_EQ(toolShown, 1);
    w.close();
}

TEST_F(MainDiagramTest, AutomaticNamesAndSettingsAtClose)
{
    const QDateTime t(QDate(2026, 3, 7), QTime(9, 5, 3));
    EXPECT_EQ(TMainForm::autoExportName("/data/x/last.txt", "FreqDiaAsTxt", ".txt", t),
              "/data/x/FreqDiaAsTxt_2026_03_07_09-05-03.txt");
    {
        TMainForm w(TMainForm::Options{});
        w.ensureActivated();
        w.diagramWindow()->model().ConCCselections = true;
        w.close();
    }
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString ini = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(ini.contains("[diapriv]"));
    EXPECT_TRUE(ini.contains("ConCCselections=1") || ini.contains("ConCCselections=true")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("[fft2dZ]", Qt::CaseInsensitive)) << "the time diagram of mode 1";
    TMainForm again(TMainForm::Options{});
    EXPECT_TRUE(again.diagramWindow()->model().ConCCselections);
    again.close();
}

TEST_F(MainDiagramTest, AutoNamedTimeExportWritesTimeDiagram)
{
    QDir().mkpath(home.filePath("out"));
    {
        QFile f(home.filePath("velmora30.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("[MAIN]\nAUTONAMED=1\nAsTextFname=" + home.filePath("out/last.txt") + "\n").toUtf8());
    }
    TMainForm w(TMainForm::Options{QString(), 1});
    w.ensureActivated();
    Package p;
    postPackage(w.diagramWindow(), p.g);
    QApplication::processEvents();
    w.setTextFileChooser([](const QString&, const QString&) -> QString {
        ADD_FAILURE() << "no dialog with automatic names";
        return {};
    });
    ASSERT_TRUE(w.saveDiagramText('T'));
    const QStringList files = QDir(home.filePath("out")).entryList({"TimeDiaAsTxt_*.txt"});
    ASSERT_EQ(files.size(), 1);
    QFile out(home.filePath("out/" + files.first()));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = out.readAll().split('\n');
    ASSERT_GT(rows.size(), 3);
    EXPECT_TRUE(rows[1].startsWith("0") || rows[1].startsWith(" ")) << "time rows start near 0 ms: " << rows[1].toStdString();
    w.close();
}

TEST(DiagramCommandLine, ExportTextOptionWritesTheFrequencyDiagram)
{
    EXPECT_EQ(TCommandLine::parse({"velmora", "--export-text", "/tmp/a.txt"}).exportText, "/tmp/a.txt");
    EXPECT_FALSE(TCommandLine::parse({"velmora", "--export-text"}).error.isEmpty());
    QTemporaryDir home;
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMORA_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP); // used only by sanitizer builds
    run.setProcessEnvironment(env);
    const QString out = home.filePath("freq.txt");
    run.start(QString(VELMORA_BIN_DIR) + "/velmora", {"--export-text", out, "--quit"});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(out));
    run.start(QString(VELMORA_BIN_DIR) + "/velmora", {"--export-text", home.filePath("none/x.txt"), "--quit"});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(run.readAllStandardError().contains("could not created"));
}
