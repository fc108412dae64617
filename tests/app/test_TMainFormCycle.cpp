// Main window acquisition cycle on the call-recording test module: call order, messages, frame limit, modes.
#include "base/utils.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "app/ui/TMainForm.h"
#include "core/winMessage.h"
#include "display/ui/Tdiafrm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <thread>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts; // every message shown, in order
    int show(const vl::Message& m) override
    {
        texts << m.title + "|" + m.text;
        return m.defaultButton;
    }
};

// What the test measurement saw; kept outside the object, which the window frees.
struct MeasLog {
    int alive = 0;         // objects existing now
    int inits = 0;         // Init calls
    int deinits = 0;       // DeInit calls
    int starts = 0;        // Mstart calls
    int executes = 0;      // Mexecute calls
    int channelsIn = -1;   // last SetChannels input count
    double period = 50.0;  // frame period the measurement asks for, ms
    bool iniAtDeInit = false; // the settings file existed when DeInit ran
    QString iniFile;       // file checked by DeInit
    uint32_t overMask = 0; // channels the measurement reports at full scale
};
MeasLog g_meas;

// A stand-in for the FFT measurement: counts calls, registers the block notification on start.
class TestMeas : public tMeasureObj {
public:
    TestMeas() { ++g_meas.alive; }
    ~TestMeas() override { --g_meas.alive; }
    eMeasRes Init(cFFTdat* f, cAnaPara* a, const Tcorri* i, const Tcorri* o, const Tcorri* d) override
    {
        ++g_meas.inits;
        return tMeasureObj::Init(f, a, i, o, d);
    }
    eMeasRes DeInit(int32_t p) override
    {
        ++g_meas.deinits;
        g_meas.iniAtDeInit = QFile::exists(g_meas.iniFile);
        return tMeasureObj::DeInit(p);
    }
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double) override { return ++g_meas.executes, mereOK; }
    eMeasRes Mstart(int32_t) override
    {
        ++g_meas.starts;
        setMeasRun(!getMeasRun());
        soundDLL().SDSetCallBack(SD_CB_NEW_BLOCK, getMeasRun() ? reinterpret_cast<void*>(NewSampDat) : nullptr);
        return mereOK;
    }
    double calcGoodFrameRate_ms() override { return g_meas.period; }
    uint32_t overloadedChannels() const override { return g_meas.overMask; }
    eMeasRes SetCors(const Tcorri*, const Tcorri*, const Tcorri*) override { return mereOK; }
    eMeasRes SetChannels(int32_t in, int32_t) override { return g_meas.channelsIn = in, mereOK; }
};

class MainFormCycle : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TMainFormCycle";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        resetSoundDLL();
        soundDLL().setFolder(QStringLiteral(VL_TESTMODULES_DIR) + "one/");
        vl::setMessageService(&messages);
        g_meas = MeasLog{};
        g_meas.iniFile = iniPath();
        RegisterMeasurement(mcFFT2D, [](const TMeasModeInfo&) { return std::make_unique<TestMeas>(); });
    }
    void TearDown() override
    {
        RegisterMeasurement(mcFFT2D, {});
        vl::setMessageService(nullptr);
    }

    QString iniPath() const { return home.filePath("velmora30.ini"); }
    void writeIni(const QByteArray& text)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    template <typename F> F sym(const char* name)
    {
        void* p = soundDLL().handle() ? dlsym(soundDLL().handle(), name) : nullptr;
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }
    // The module calls that command something, without the queries of texts and formats.
    QStringList commands()
    {
        QStringList out;
        const QString log = QString::fromUtf8(sym<const char* (*)()>("tmCallLog")());
        for (const QString& l : log.split('\n', Qt::SkipEmptyParts))
            if (!l.startsWith("SDgetSoundStatus") && !l.startsWith("SDDLLdescription") &&
                !l.startsWith("SDgetwaveFormat") && !l.startsWith("SDDLLErrorStr"))
                out << l;
        return out;
    }
    void clearLog() { sym<void (*)()>("tmClearLog")(); }
    void setStatus(int32_t st) { sym<void (*)(int32_t)>("tmSetStatus")(st); }
    // Shows the window and makes it active, so its key shortcuts work.
    static void showActive(TMainForm& w)
    {
        w.show();
        QApplication::setActiveWindow(&w);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        w.ensureActivated();
        pump();
    }
    static void pump() { QCoreApplication::sendPostedEvents(); QCoreApplication::processEvents(); }

    QTemporaryDir home;
    Recorder messages;
};

} // namespace

TEST_F(MainFormCycle, StartupCallsModuleInOrderAndFirstActivationMakesTheStoredMode)
{
    TMainForm w(TMainForm::Options{});
    ASSERT_FALSE(w.startupFailed()) << messages.texts.join('\n').toStdString();
    // Folder, initialisation, records, then the callbacks; nothing is started.
    QStringList start = commands();
    start.replaceInStrings(QRegularExpression("^SDSetCallBack\\(1000,.*"), "SDSetCallBack(1000,folder)");
    start.replaceInStrings(QRegularExpression("^SDInitSound\\(.*"), "SDInitSound");
    EXPECT_EQ(start.join('\n').toStdString(),
              QStringList({"SDSetCallBack(1000,folder)", "SDSetFuturePara(5,0)", "SDInitSound", "SDgetSoundOutAdr(1)",
                           "SDgetSoundInAdr(1)", "SDSetCallBack(1,ptr)", "SDSetCallBack(3,ptr)",
                           "SDSetCallBack(200,ptr)", "SDSetCallBack(2,ptr)", "SDSetCallBack(4,ptr)",
                           "SDSetCallBack(6,ptr)", "SDSetCallBack(200,ptr)", "SDgetSoundDatsPropsCH()",
                           "SDgetSoundDatsPropsCH()"})
                  .join('\n')
                  .toStdString());
    EXPECT_FALSE(w.firstActivationDone());
    EXPECT_EQ(w.activeMeasurement(), nullptr);

    clearLog();
    w.ensureActivated();
    EXPECT_EQ(commands().join(' ').toStdString(),
              "SDSetFuturePara(1,46) SDgetSoundOutAdr(1) SDgetSoundInAdr(1) SDgetSoundDatsPropsCH()");
    EXPECT_EQ(w.measuringMode(), 1);
    ASSERT_NE(w.activeMeasurement(), nullptr);
    EXPECT_EQ(g_meas.channelsIn, 3);
    clearLog();
    w.ensureActivated(); // only once
    EXPECT_TRUE(commands().isEmpty());
}

TEST_F(MainFormCycle, ShutdownSavesFirstThenReleasesMeasurementThenStopsModuleInOrder)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    w.startCommand();
    clearLog();
    ASSERT_FALSE(QFile::exists(iniPath()));
    w.close();
    EXPECT_EQ(commands().join(' ').toStdString(),
              "SDSetFuturePara(1,46) SDSetFuturePara(1,46) SDStartSoundOut(0) SDSetCallBack(5,null) "
              "SDStartSoundIn(0) SDSetCallBack(0,null) SDDeInitSound(0)");
    EXPECT_EQ(g_meas.deinits, 1);
    EXPECT_EQ(g_meas.alive, 0);
    EXPECT_TRUE(g_meas.iniAtDeInit) << "settings are saved before the measurement is released";
    clearLog();
    postMsg(&w, MSG_NEW_BLOCK);
    postMsg(&w, MSG_IN_TEXT);
    pump();
    EXPECT_TRUE(commands().isEmpty()) << "messages are ignored once closing began";
}

TEST_F(MainFormCycle, BlockNotificationsFasterThanTheFramePeriodAreDropped)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    double now = 0.0;
    w.frameGate().setClock([&] { return now; });
    g_meas.period = 50.0;
    now = 100.0;
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    now = 105.0; // 5 ms later
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(g_meas.executes, 1);
    now = 160.0;
    for (int i = 0; i < 5; ++i) postMsg(&w, MSG_NEW_BLOCK); // a burst: one passes, none wait
    pump();
    EXPECT_EQ(g_meas.executes, 2);
    now = 1000.0;
    pump();
    EXPECT_EQ(g_meas.executes, 2) << "dropped blocks must not run later";
}

TEST_F(MainFormCycle, ModuleThreadCallbackReachesTheMeasurementThroughAMessage)
{
    TMainForm w(TMainForm::Options{});
    showActive(w);
    g_meas.period = 0.0;
    ASSERT_TRUE(w.startCommand());
    EXPECT_TRUE(w.MeasRun());
    auto cb = reinterpret_cast<void (*)()>(sym<void* (*)(int32_t)>("tmCallback")(SD_CB_NEW_BLOCK));
    ASSERT_NE(cb, nullptr);
    std::thread([cb] { cb(); }).join();
    EXPECT_EQ(g_meas.executes, 0) << "the callback only posts";
    pump();
    EXPECT_EQ(g_meas.executes, 1);
    QTest::keyClick(&w, Qt::Key_F4); // the start command again stops
    EXPECT_FALSE(w.MeasRun());
    EXPECT_EQ(g_meas.starts, 2);
}

TEST_F(MainFormCycle, StartCommandRegistersInputCallbacksAndHandsTheSeparator)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    postMsg(&w, MSG_SEPARATOR, 1);
    pump();
    EXPECT_EQ(w.separatorChar(), QChar(';'));
    clearLog();
    ASSERT_TRUE(w.startCommand());
    EXPECT_EQ(commands().join(' ').toStdString(),
              "SDSetCallBack(1,ptr) SDSetCallBack(3,ptr) SDSetFuturePara(1,59) SDSetCallBack(5,ptr)");
    postMsg(&w, MSG_SEPARATOR, 0);
    pump();
    EXPECT_EQ(w.separatorChar(), QChar(','));
}

TEST_F(MainFormCycle, InputStateFollowsTheModuleStatus)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    setStatus(SD_ST_IN_RUN);
    postMsg(&w, MSG_IN_STATE);
    pump();
    EXPECT_EQ(w.startButton()->text(), "Stop");
    EXPECT_FALSE(w.averageEdit()->isEnabled());
    EXPECT_FALSE(w.controlFor("ButManuell")->isEnabled());
    setStatus(0);
    postMsg(&w, MSG_IN_STATE);
    pump();
    EXPECT_EQ(w.startButton()->text(), "Start");
    EXPECT_TRUE(w.averageEdit()->isEnabled());
    EXPECT_TRUE(w.controlFor("laMem")->property("text").toString().startsWith("GM "));
}

TEST_F(MainFormCycle, SoundOnTogglesOutputAndEndlessTone)
{
    TMainForm w(TMainForm::Options{});
    showActive(w);
    soundDLL().waveGO()->ToneDura_ms = 500;
    clearLog();
    QTest::keyClick(&w, Qt::Key_F3);
    pump();
    EXPECT_EQ(commands().join(' ').toStdString(), "SDSetCallBack(2,ptr) SDSetCallBack(4,ptr) SDStartSoundOut(1)");
    EXPECT_EQ(soundDLL().waveGO()->ToneDura_ms, -1);
    setStatus(SD_ST_OUT_RUN);
    postMsg(&w, MSG_OUT_STATE);
    clearLog();
    w.soundOnCommand();
    pump();
    EXPECT_EQ(commands().last(), "SDStartSoundOut(0)");
    EXPECT_EQ(w.soundButton()->text(), "Sound off");
}

TEST_F(MainFormCycle, StatusPanelsShowOverloadAndModuleTexts)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    setStatus(SD_ST_IN_OVER | (1 << 16));
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(w.statusTexts()[2], "RInp. Level: OVER !");
    setStatus(SD_ST_IN_OVER);
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(w.statusTexts()[2], "G ");

    setStatus(SD_ST_IN_ERR | (33 << 16)); // 33 is no input error
    postMsg(&w, MSG_IN_TEXT);
    pump();
    EXPECT_EQ(w.statusTexts()[1], "GIn: 48000Hz 16Bit | In device 0");
    setStatus(SD_ST_IN_ERR | (5 << 16));
    postMsg(&w, MSG_IN_TEXT);
    pump();
    EXPECT_EQ(w.statusTexts()[1], "Rmodule error 5");
    setStatus(SD_ST_OUT_ERR | (7 << 16));
    postMsg(&w, MSG_OUT_TEXT);
    pump();
    EXPECT_EQ(w.statusTexts()[0], "Rmodule error 7");
    setStatus(0);
    postMsg(&w, MSG_OUT_TEXT);
    pump();
    EXPECT_EQ(w.statusTexts()[0], "GOut: 48000Hz 16Bit | Out device 0");
    EXPECT_TRUE(w.statusTexts()[4].startsWith("B2D FFT [4096 Points")) << w.statusTexts()[4].toStdString();
}

TEST_F(MainFormCycle, PanelMenusFollowRunningDirectionsAndLinking)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    setStatus(SD_ST_OUT_RUN);
    emit w.outputPopup()->aboutToShow();
    EXPECT_FALSE(w.outputPopup()->actions()[0]->isEnabled());
    EXPECT_TRUE(w.inputPopup()->actions()[0]->isEnabled());
    EXPECT_EQ(w.inputPopup()->actions()[0]->text(), "Audio-In-Device");
    setStatus(0);
    clearLog();
    w.inputPopup()->actions()[1]->trigger();
    EXPECT_TRUE(commands().contains("SDSoundDlg(1)"));
}

TEST_F(MainFormCycle, EveryModePressesOneButtonAndStaysUsableWithoutMeasurement)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    for (int mode = 0; mode <= 13; ++mode) {
        w.setMeasuringModeF(mode);
        int pressed = 0, pressedMode = 0;
        for (int b = 1; b <= 11; ++b)
            if (w.modeButton(b)->isChecked()) ++pressed, pressedMode = b;
        const bool hasButton = mode >= 1 && mode <= 12;
        EXPECT_EQ(pressed, hasButton ? 1 : 0) << mode;
        if (hasButton) {
            EXPECT_EQ(pressedMode, mode == 12 ? 1 : mode);
        }
        const bool fft = mode == 1 || mode == 2 || mode == 12;
        EXPECT_EQ(w.activeMeasurement() != nullptr, fft) << mode;
        EXPECT_EQ(w.startButton()->isEnabled(), fft) << mode;
        EXPECT_EQ(w.startCommand(), fft) << mode;
        EXPECT_EQ(g_meas.alive, fft ? 1 : 0) << "one active measurement at most";
        EXPECT_EQ(w.averageEdit()->isVisibleTo(&w), mode == 1 || mode == 4 || mode == 12) << mode;
        postMsg(&w, MSG_NEW_BLOCK);
        pump();
    }
    EXPECT_EQ(g_meas.inits, g_meas.deinits + g_meas.alive);
    w.modeButton(3)->click();
    EXPECT_EQ(w.measuringMode(), 3);
}

TEST_F(MainFormCycle, StoredModesOutsideOneToElevenStartInMode1)
{
    for (const char* stored : {"0", "12", "13", "7"}) {
        writeIni(QByteArray("[MAIN]\nmeasuringmode=") + stored + "\n");
        TMainForm w(TMainForm::Options{});
        w.ensureActivated();
        EXPECT_EQ(w.measuringMode(), QByteArray(stored) == "7" ? 7 : 1) << stored;
        w.close();
    }
}

TEST_F(MainFormCycle, MeasurementCallbackDrivesAveraging)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    w.CBfromMeas(cbmSetAverage, 8);
    EXPECT_EQ(w.averageEdit()->value(), 8);
    EXPECT_EQ(w.fftSettings().AveValue, 8);
    w.CBfromMeas(cbmShowAveCounter, 3); // shown only: the count stays
    EXPECT_EQ(w.averageEdit()->value(), 3);
    EXPECT_EQ(w.fftSettings().AveValue, 8);
    w.CBfromMeas(99, 1234);
    w.CBfromMeas(cbmRemark, 0); // a null text is no text
    EXPECT_EQ(w.averageEdit()->value(), 3);
    // Every pass reports the count: an unchanged one leaves what the user is typing alone
    // (here the old count is deleted, before a new one is typed).
    auto* edit = w.averageEdit()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setText("");
    w.CBfromMeas(cbmShowAveCounter, 3);
    w.CBfromMeas(cbmSetAverage, 3);
    EXPECT_EQ(edit->text(), "");
    w.CBfromMeas(cbmSetAverage, 5); // a new count is shown
    EXPECT_EQ(edit->text(), "5");
}

TEST_F(MainFormCycle, ClosingDuringAMessageWaitIsRefused)
{
    TMainForm w(TMainForm::Options{});
    w.show();
    w.ensureActivated();
    bool closedInWait = true;
    QTimer::singleShot(5, &w, [&] { closedInWait = w.close(); });
    vlWaitMs(60);
    EXPECT_FALSE(closedInWait);
    EXPECT_TRUE(w.isVisible());
    EXPECT_NE(w.activeMeasurement(), nullptr);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(w.activeMeasurement(), nullptr);
}

namespace {

// The actions of the menu bar's menu with this title, empty when there is none.
QList<QAction*> menuActions(TMainForm& w, const QString& title)
{
    for (QAction* m : w.menuBar()->actions())
        if (m->text() == title && m->menu()) return m->menu()->actions();
    return {};
}

QAction* actionNamed(TMainForm& w, const QString& menu, const QString& text)
{
    for (QAction* a : menuActions(w, menu))
        if (a->text() == text) return a;
    return nullptr;
}

} // namespace

TEST_F(MainFormCycle, MenuItemsFollowTheStateAndMeasureListsEveryToolMode)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    ASSERT_NE(actionNamed(w, "&File", "Sound On"), nullptr);
    ASSERT_NE(actionNamed(w, "&File", "Start Measure"), nullptr);
    setStatus(SD_ST_OUT_RUN | SD_ST_IN_RUN);
    postMsg(&w, MSG_OUT_STATE);
    postMsg(&w, MSG_IN_STATE);
    pump();
    EXPECT_NE(actionNamed(w, "&File", "Sound Off"), nullptr);
    EXPECT_NE(actionNamed(w, "&File", "Stop Measure"), nullptr);
    setStatus(0);
    postMsg(&w, MSG_OUT_STATE);
    postMsg(&w, MSG_IN_STATE);
    pump();
    EXPECT_NE(actionNamed(w, "&File", "Sound On"), nullptr);
    EXPECT_NE(actionNamed(w, "&File", "Start Measure"), nullptr);

    // Every tool button's mode can be chosen from the menu too, RT60 included.
    const QList<QAction*> measure = menuActions(w, "Measure");
    ASSERT_EQ(measure.size(), 11);
    for (int b = 1; b <= 11; ++b) {
        const auto it = std::find_if(measure.begin(), measure.end(),
                                     [&](QAction* a) { return a->text() == w.modeButton(b)->toolTip(); });
        ASSERT_NE(it, measure.end()) << "mode " << b;
        (*it)->trigger();
        EXPECT_EQ(w.measuringMode(), b);
    }
}

TEST_F(MainFormCycle, OverloadBannerNamesTheChannelsWhileTheInputOverloads)
{
    TMainForm w(TMainForm::Options{});
    w.show();
    w.ensureActivated();
    g_meas.period = 0.0;
    g_meas.overMask = 0x1;
    setStatus(SD_ST_IN_RUN | SD_ST_IN_OVER | (12 << 16));
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(w.overloadBanner(), "Overload: Left");
    EXPECT_EQ(w.statusTexts()[2], "RInp. Level: OVER !"); // the panel still says it too
    g_meas.overMask = 0x3;
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(w.overloadBanner(), "Overload: Left, Right");
    setStatus(SD_ST_IN_RUN);
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    EXPECT_EQ(w.overloadBanner(), "") << "the overload ended";
    // Overloaded when the input stops: no block will come to say that it ended.
    setStatus(SD_ST_IN_RUN | SD_ST_IN_OVER | (1 << 16));
    postMsg(&w, MSG_NEW_BLOCK);
    pump();
    ASSERT_FALSE(w.overloadBanner().isEmpty());
    setStatus(0);
    postMsg(&w, MSG_IN_STATE);
    pump();
    EXPECT_EQ(w.overloadBanner(), "");
}

TEST_F(MainFormCycle, CtrlCCopiesTheDiagramUnlessATextFieldHasTheFocus)
{
    TMainForm w(TMainForm::Options{});
    showActive(w);
    QClipboard* clip = QGuiApplication::clipboard();
    auto* para = w.findChild<QLineEdit*>();
    ASSERT_NE(para, nullptr);
    para->setText("1234");
    para->setFocus();
    para->selectAll();
    clip->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clip->text(), "1234") << "the text field copied its text";
    EXPECT_TRUE(clip->image().isNull());

    w.startButton()->setFocus();
    clip->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(clip->image().isNull()) << "Ctrl+C copied the diagram";
    clip->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_FALSE(clip->image().isNull()) << "Ctrl+Ins still copies it";
}

TEST_F(MainFormCycle, ChangingTheModeClearsTheOldCurvesAndResultLines)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    TDiagramm& dia = w.diagramWindow()->diagr2d();
    auto measured = [&] {
        Tsamplemem y(64), x(64);
        for (int i = 0; i < 64; ++i) y.smpoi()[i] = -20.0, x.smpoi()[i] = 20.0 * (i + 1);
        dia.curve(0)->SetOriY(y);
        dia.curve(0)->xaxis = x;
        dia.setRem2({"Level: left Ch. -20.00dBV"});
    };
    auto hasData = [&] { return dia.curve(0)->OriY.samples() > 0 && dia.curve(0)->OriY.getsmAr(0) != kDiaNoData; };
    measured();
    w.selectMeasuringMode(1); // the same mode again keeps them
    EXPECT_TRUE(hasData());
    EXPECT_EQ(dia.legend().lines, 1);
    w.selectMeasuringMode(3);
    EXPECT_FALSE(hasData());
    EXPECT_EQ(dia.legend().lines, 0);
}
