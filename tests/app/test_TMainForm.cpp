// Main window: start-up on the virtual bench, settings saved at close, bad settings and no modules,
// the settings keys with their clamps, the status-panel rules.
#include "analysis/ui/TAnaDlg.h"
#include "base/utils.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "display/ui/Tdiafrm.h"
#include "app/ui/TMainForm.h"
#include "app/ui/TMainStatusBar.h"
#include "../support/testFiles.h"
#include "analysis/Tmixu.h"
#include "display/ui/TFilterForm.h"
#include "core/ui/TSoundODlgF.h"

#include <csignal>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MainFormTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TMainForm";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    QString iniText() const
    {
        QFile f(home.filePath("velmora30.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir home;
    Recorder messages;
};

} // namespace

TEST_F(MainFormTest, StartsOnVirtualBenchAndSavesModuleAtClose)
{
    {
        TMainForm w(TMainForm::Options{});
        ASSERT_FALSE(w.startupFailed());
        EXPECT_EQ(w.soundDLLname(), "libSoundSim.so");
        EXPECT_TRUE(w.overviewText().contains("Virtual bench")) << w.overviewText().toStdString();
        EXPECT_TRUE(w.overviewText().contains("48000Hz")) << w.overviewText().toStdString();
        EXPECT_FALSE(w.altDLLAction()->isVisible());
        w.close();
        EXPECT_FALSE(soundDLL().SDgetSoundStatus() & (SD_ST_IN_RUN | SD_ST_OUT_RUN));
    }
    EXPECT_TRUE(iniText().contains("SoundDLLname=libSoundSim.so")) << iniText().toStdString();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

TEST_F(MainFormTest, StoredModuleThatIsGoneFallsBackAndIsReplaced)
{
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MAIN]\nSoundDLLname=libSoundRemoved.so\nLEFT=17\n");
    f.close();
    {
        TMainForm w(TMainForm::Options{});
        EXPECT_EQ(w.soundDLLname(), "libSoundSim.so");
        w.close();
    }
    const QString text = iniText();
    EXPECT_TRUE(text.contains("SoundDLLname=libSoundSim.so"));
    EXPECT_TRUE(text.contains("LEFT=17")) << "keys of other parts must survive a save";
}

TEST_F(MainFormTest, UnreadableSettingsAreKeptAsideWithMessage)
{
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("[MAIN]\nSound\0DLLname=\xff\xfe", 22));
    f.close();
    TMainForm w(TMainForm::Options{});
    EXPECT_FALSE(w.startupFailed());
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains("velmora30.ini"));
    const QStringList aside = QDir(home.path()).entryList({"velmora30.ini.bad-*"});
    EXPECT_EQ(aside.size(), 1);
}

TEST_F(MainFormTest, NoModuleAtAllEndsStartupWithMessage)
{
    QTemporaryDir emptyFolder;
    soundDLL().setFolder(emptyFolder.path() + "/");
    TMainForm w(TMainForm::Options{});
    EXPECT_TRUE(w.startupFailed());
    ASSERT_FALSE(messages.texts.isEmpty());
    EXPECT_TRUE(messages.texts[0].startsWith("No sound card or sound DLL available"));
}

// ---- settings model ---------------------------------------------------------------------------

namespace {

TMainSettings readFrom(const QString& text, TLevelCalibration* cal = nullptr)
{
    TMemIniFile ini;
    EXPECT_TRUE(ini.setText(text));
    TMainSettings s;
    s.readMain(ini, "/data/", "libSoundJack.so");
    TLevelCalibration local;
    s.readPerUser(ini, cal ? *cal : local);
    return s;
}

} // namespace

TEST(TMainSettings, SeparatorAndFrameResolutionEdgeCases)
{
    EXPECT_EQ(readFrom("[MAIN]\nTEXTSEP=BLANK\n").textSep, ' ');
    EXPECT_EQ(readFrom("").textSep, ';');
    EXPECT_EQ(readFrom("[MAIN]\nTEXTSEP=,x\n").textSep, ',');
    EXPECT_DOUBLE_EQ(readFrom("[MAIN]\nFRAMERESOL_ms=20\n").FRAMERESOL_ms, 100.0);
    EXPECT_NEAR(readFrom("[MAIN]\nFRAMERESOL_ms=20.5\n").FRAMERESOL_ms, 20.5, 1e-12);
    EXPECT_NEAR(readFrom("[MAIN]\nFRAMERESOL_ms=20,5\n").FRAMERESOL_ms, 20.5, 1e-12);
    EXPECT_DOUBLE_EQ(readFrom("[MAIN]\nFRAMERESOL_ms=-3\n").FRAMERESOL_ms, 100.0);
    EXPECT_DOUBLE_EQ(readFrom("[MAIN]\nFRAMERESOL_ms=fast\n").FRAMERESOL_ms, 100.0);
    EXPECT_DOUBLE_EQ(readFrom("[MAIN]\nFRAMERESOL_ms=nan\n").FRAMERESOL_ms, 100.0);

    TMemIniFile out;
    TMainSettings s;
    s.textSep = ' ';
    s.writeMain(out);
    EXPECT_EQ(out.ReadString("MAIN", "TEXTSEP", ""), "BLANK");
}

TEST(TMainSettings, DefaultsAndClampsOfMainVolumeAndCalibration)
{
    const TMainSettings d = readFrom("");
    EXPECT_TRUE(d.bFirstStart);
    EXPECT_EQ(d.measuringmode, 1);
    EXPECT_EQ(d.SoundDLLname, "libSoundJack.so");
    EXPECT_EQ(d.AsTextFname, "/data/*.txt");
    EXPECT_EQ(d.AsDiaFname, "/data/*.bmp");
    EXPECT_EQ(d.AsOutCorFname, "/data/*.cor");
    EXPECT_EQ(d.COLFORM, 12639424u);
    EXPECT_EQ(d.COLSOUNDOFF, 15790320u);
    EXPECT_EQ(d.COLSOUNDON, 13696912u);
    EXPECT_EQ(d.left, 200);
    EXPECT_EQ(d.MDiaInMWwidth, 720);
    EXPECT_EQ(d.MDiaInMWheight, 564);
    EXPECT_EQ(d.ProcessPrio, -1);
    EXPECT_EQ(d.FGoutVolume, 20);
    EXPECT_EQ(d.FGinVolume, 100);

    for (const char* m : {"0", "12", "13", "-4", "x"})
        EXPECT_EQ(readFrom(QString("[MAIN]\nmeasuringmode=") + m + "\n").measuringmode, 1) << m;
    EXPECT_EQ(readFrom("[MAIN]\nIODlgLink=3\n").IODlgLink, 10);
    EXPECT_EQ(readFrom("[MAIN]\nCOLFORM=-5\nCOLSOUNDON=16777216\n").COLFORM, TMainSettings::kColForm);
    EXPECT_EQ(readFrom("[MAIN]\nCOLSOUNDON=16777216\n").COLSOUNDON, TMainSettings::kColSoundOn);
    EXPECT_EQ(readFrom("[MAIN]\nMDiaInMWwidth=10\nMDiaInMWheight=-1\n").MDiaInMWwidth, 590);
    EXPECT_EQ(readFrom("[MAIN]\ncfgATPname=p.atp\n").cfgATPname, "") << "only preset files carry it";

    const TMainSettings v = readFrom("[VOLUME]\nFGVOLUME=-1\nFGINVOLUME=500\nAUDIOINCHANNEL=-3\n");
    EXPECT_EQ(v.FGoutVolume, 20);
    EXPECT_EQ(v.FGinVolume, 100);
    EXPECT_EQ(v.AudioInChannel, 0);
    EXPECT_EQ(readFrom("[VOLUME]\nAUDIOINCHANNEL=4\nFGVOLUME=0\n").AudioInChannel, 4);
    EXPECT_EQ(readFrom("[VOLUME]\nFGVOLUME=0\n").FGoutVolume, 0);

    TLevelCalibration cal;
    cal.INPUT = 321.0;
    cal.OUTPUT = 111.0;
    readFrom("[EICH]\nINPUT=-1\nMicSens_mVpPaR=0\nPreAmp_dBL=6.5\n", &cal);
    EXPECT_DOUBLE_EQ(cal.INPUT, 321.0);  // -1 keeps the current value
    EXPECT_DOUBLE_EQ(cal.OUTPUT, 111.0); // missing keeps it too
    EXPECT_DOUBLE_EQ(cal.MicSens_mVpPaL, 14.0);
    EXPECT_DOUBLE_EQ(cal.MicSens_mVpPaR, 14.0); // no sensitivity: the default, never a division by 0
    EXPECT_NEAR(cal.PreAmp_dBL, 6.5, 1e-12);
    readFrom("[EICH]\nINPUT=250.5\n", &cal);
    EXPECT_NEAR(cal.INPUT, 250.5, 1e-12);
}

TEST(TMainSettings, EveryKeyReadsBackAsWritten)
{
    TMainSettings a;
    a.textSep = '|';
    a.AutoNamed = true;
    a.left = -7;
    a.top = 33;
    a.moni = 1;
    a.wstate = 2;
    a.MDiaInMWwidth = 1001;
    a.MDiaInMWheight = 777;
    a.measuringmode = 9;
    a.nahConti = true;
    a.SoundDLLname = "libSoundX.so";
    a.AsTextFname = "/t/a.txt";
    a.AsDiaFname = "/t/b.jpg";
    a.AsInCorFname = "/t/i.cor";
    a.AsOutCorFname = "/t/o.cor";
    a.COLFORM = 0x123456;
    a.COLSOUNDOFF = 0x0;
    a.COLSOUNDON = 0xFFFFFF;
    a.FRAMERESOL_ms = 33.25;
    a.ProcessPrio = 1;
    a.IODlgLink = 10;
    a.bTimeDebug1 = true;
    a.FGoutVolume = 55;
    a.FGinVolume = 0;
    a.AudioInChannel = 3;
    a.InMixLev4Cal = 42;
    TLevelCalibration cal{400.25, 99.5, 12.5, 13.5, -3.0, 20.0};
    TMemIniFile ini;
    a.writeMain(ini);
    a.writePerUser(ini, cal);
    TMemIniFile back;
    ASSERT_TRUE(back.setText(ini.text()));
    TMainSettings b;
    b.readMain(back, "/x/", "none");
    TLevelCalibration cal2;
    b.readPerUser(back, cal2);
    EXPECT_FALSE(b.bFirstStart) << "always written false";
    EXPECT_EQ(b.textSep, a.textSep);
    EXPECT_EQ(b.AutoNamed, a.AutoNamed);
    EXPECT_EQ(QList<int>({b.left, b.top, b.moni, b.wstate, b.MDiaInMWwidth, b.MDiaInMWheight, b.measuringmode}),
              QList<int>({a.left, a.top, a.moni, a.wstate, a.MDiaInMWwidth, a.MDiaInMWheight, a.measuringmode}));
    EXPECT_EQ(b.nahConti, a.nahConti);
    EXPECT_EQ(QStringList({b.SoundDLLname, b.AsTextFname, b.AsDiaFname, b.AsInCorFname, b.AsOutCorFname}),
              QStringList({a.SoundDLLname, a.AsTextFname, a.AsDiaFname, a.AsInCorFname, a.AsOutCorFname}));
    EXPECT_EQ(QList<uint32_t>({b.COLFORM, b.COLSOUNDOFF, b.COLSOUNDON}),
              QList<uint32_t>({a.COLFORM, a.COLSOUNDOFF, a.COLSOUNDON}));
    EXPECT_NEAR(b.FRAMERESOL_ms, a.FRAMERESOL_ms, 1e-12);
    EXPECT_EQ(QList<int>({b.ProcessPrio, b.IODlgLink, b.FGoutVolume, b.FGinVolume, b.AudioInChannel, b.InMixLev4Cal}),
              QList<int>({a.ProcessPrio, a.IODlgLink, a.FGoutVolume, a.FGinVolume, a.AudioInChannel, a.InMixLev4Cal}));
    EXPECT_EQ(b.bTimeDebug1, a.bTimeDebug1);
    for (auto [x, y] : {std::pair{cal.INPUT, cal2.INPUT}, {cal.OUTPUT, cal2.OUTPUT},
                        {cal.MicSens_mVpPaL, cal2.MicSens_mVpPaL}, {cal.MicSens_mVpPaR, cal2.MicSens_mVpPaR},
                        {cal.PreAmp_dBL, cal2.PreAmp_dBL}, {cal.PreAmp_dBR, cal2.PreAmp_dBR}})
        EXPECT_NEAR(x, y, 1e-9);
}

TEST(TMainSettings, PositionOnAScreenThatIsGoneFallsBackTo200)
{
    const QList<QRect> one{QRect(0, 0, 1920, 1080)};
    const QMargins frame(8, 30, 0, 0);
    EXPECT_EQ(restoredWindowPos({100, 50}, frame, one), QPoint(100, 50));
    EXPECT_EQ(restoredWindowPos({-8, -30}, frame, one), QPoint(-8, -30)) << "frame may hang out";
    EXPECT_EQ(restoredWindowPos({2500, 100}, frame, one), QPoint(200, 200)) << "second monitor removed";
    EXPECT_EQ(restoredWindowPos({1905, 100}, frame, one), QPoint(200, 200)) << "inside the 20-pixel margin";
    EXPECT_EQ(restoredWindowPos({100, -500}, frame, one), QPoint(200, 200));
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(restoredWindowPos({2500, 100}, frame, two), QPoint(2500, 100));
    EXPECT_EQ(restoredWindowPos({100, 50}, frame, {}), QPoint(200, 200));
}

TEST(TMainSettings, FirstRunWindowTakesMostOfTheScreenWithinTheMinimum)
{
    EXPECT_EQ(firstRunWindowRect(QRect(0, 0, 1600, 1000)), QRect(160, 100, 1280, 800));
    EXPECT_EQ(firstRunWindowRect(QRect(1920, 30, 1280, 994)), QRect(2048, 129, 1024, 795)) << "second screen, panel on top";
    EXPECT_EQ(firstRunWindowRect(QRect(0, 0, 640, 400)), QRect(25, 20, 590, 360)) << "not below the window minimum";
    EXPECT_EQ(firstRunWindowRect(QRect(0, 0, 500, 300)), QRect(0, 0, 500, 300)) << "not beyond the screen";
}

// ---- status panels -------------------------------------------------------------------------------

TEST(MainStatusPanels, OverloadBannerNamesTheChannels)
{
    const int32_t over = 0x4 | (3 << 16);
    EXPECT_EQ(overloadBannerText(over, 0x1), "Overload: Left");
    EXPECT_EQ(overloadBannerText(over, 0x2), "Overload: Right");
    EXPECT_EQ(overloadBannerText(over, 0x7), "Overload: Left, Right, Channel 3");
    EXPECT_EQ(overloadBannerText(over, 0), "Overload: Input") << "overloaded, channel not known";
    EXPECT_EQ(overloadBannerText(0x4, 0x1), "") << "no count in the high word: no overload";
    EXPECT_EQ(overloadBannerText(0x1 | (3 << 16), 0x1), "") << "a high word without the overload bit";
}

TEST(MainStatusPanels, ColourLetterRule)
{
    const TPanelLook r = decodePanelText("RInp. Level: OVER !");
    EXPECT_EQ(r.text, "Inp. Level: OVER !");
    EXPECT_TRUE(r.bold);
    EXPECT_EQ(r.color, QColor(200, 0, 0));
    EXPECT_EQ(decodePanelText("GIn: x").text, "In: x");
    EXPECT_FALSE(decodePanelText("GIn: x").bold);
    EXPECT_NE(decodePanelText("Yx").color, decodePanelText("Bx").color);
    EXPECT_EQ(decodePanelText("G").text, " ");
    EXPECT_EQ(decodePanelText("R").text, " ");
    const TPanelLook bad = decodePanelText("xyz");
    EXPECT_EQ(bad.text, "int. Error xyz");
    EXPECT_EQ(bad.color, QColor(200, 0, 0));
    EXPECT_EQ(decodePanelText("gLower").text, "int. Error gLower") << "letters are case sensitive";
    EXPECT_EQ(decodePanelText("").text, "int. Error ");
}

TEST(MainStatusPanels, ModuleStatusTexts)
{
    int asked = 0;
    auto err = [&] { return ++asked, QString("device lost"); };
    EXPECT_EQ(overloadPanelText(0x4 | (2 << 16)), "RInp. Level: OVER !");
    EXPECT_EQ(overloadPanelText(0x4), "G ");
    EXPECT_EQ(overloadPanelText(2 << 16), "G ");
    EXPECT_EQ(inputPanelText(0x8 | (33 << 16), err, "48000Hz 24Bit ", "Virtual bench"), "GIn: 48000Hz 24Bit | Virtual bench");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(inputPanelText(0x8 | (34 << 16), err, "f", "d"), "Rdevice lost");
    EXPECT_EQ(outputPanelText(0, err, "44100Hz float ", "Out"), "GOut: 44100Hz float | Out");
    EXPECT_EQ(outputPanelText(0x10, err, "f", "d"), "Rdevice lost");
    EXPECT_EQ(outputPanelText(0x10, [] { return QString("Sound: no error"); }, "f", "d"), "GOut: f | d");
}

TEST(MainStatusPanels, AudioMenusFollowRunningDirectionsAndLink)
{
    const TAudioMenuState idle = audioMenuState(0, false);
    EXPECT_TRUE(idle.outEnabled && idle.inEnabled);
    EXPECT_EQ(idle.outDevice, "Audio-Out-Device");
    EXPECT_EQ(idle.inParam, "Audio-In-Parameter");
    EXPECT_FALSE(audioMenuState(0x2, false).outEnabled);
    EXPECT_TRUE(audioMenuState(0x2, false).inEnabled);
    EXPECT_FALSE(audioMenuState(0x1, false).inEnabled);
    const TAudioMenuState linked = audioMenuState(0x2, true);
    EXPECT_EQ(linked.outDevice, "Audio-In/Out-Device");
    EXPECT_EQ(linked.inParam, "Audio-In/Out-Parameter");
    EXPECT_FALSE(linked.outEnabled);
    EXPECT_FALSE(linked.inEnabled);
    EXPECT_TRUE(audioMenuState(0, true).inEnabled);
    EXPECT_FALSE(audioMenuState(0, true).outEnabled);
}

TEST(MainStatusPanels, ModeDescription)
{
    cFFTdat fft;
    fft.SamplesFFT = 8192;
    fft.FFTwin = 2;
    const QString t = modePanelText(1, fft, ".", "", false);
    EXPECT_TRUE(t.startsWith("B2D FFT [8192 Points, Window: ")) << t.toStdString();
    EXPECT_TRUE(t.endsWith(" ]  .Setup:  default")) << t.toStdString();
    EXPECT_EQ(modePanelText(7, fft, ".", "/p/my.atp", true), "BDistortion Measurement Setup: my.atp  [Correction File active]");
    EXPECT_EQ(modePanelText(0, fft, ".", "", false), "BNoMode ");
    EXPECT_EQ(modePanelText(3, fft, ";", "*.atp", false), "BSweep  ;Setup:  default");
}

// ---- settings file of the window ----------------------------------------------------------------

TEST_F(MainFormTest, PerUserSetAndMainKeysSurviveAStartAndClose)
{
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MAIN]\nTEXTSEP=BLANK\nFRAMERESOL_ms=20.5\nCOLSOUNDON=255\nmeasuringmode=3\n"
            "[VOLUME]\nFGVOLUME=35\nFGINVOLUME=-1\n[EICH]\nINPUT=250\nMicSens_mVpPaL=9\n");
    f.close();
    {
        TMainForm w(TMainForm::Options{});
        EXPECT_EQ(w.settings().textSep, ' ');
        EXPECT_NEAR(w.settings().FRAMERESOL_ms, 20.5, 1e-12);
        EXPECT_EQ(w.settings().FGoutVolume, 35);
        w.close();
    }
    TMemIniFile back(home.filePath("velmora30.ini"));
    EXPECT_EQ(back.ReadString("MAIN", "TEXTSEP", ""), "BLANK");
    EXPECT_NEAR(back.ReadFloat("MAIN", "FRAMERESOL_ms", 0), 20.5, 1e-12);
    EXPECT_EQ(back.ReadInteger("MAIN", "COLSOUNDON", 0), 255);
    EXPECT_EQ(back.ReadInteger("MAIN", "measuringmode", 0), 3);
    EXPECT_FALSE(back.ReadBool("MAIN", "bFirstStart", true));
    EXPECT_EQ(back.ReadInteger("VOLUME", "FGVOLUME", 0), 35);
    EXPECT_EQ(back.ReadInteger("VOLUME", "FGINVOLUME", 0), 100);
    EXPECT_NEAR(back.ReadFloat("EICH", "INPUT", 0), 250.0, 1e-9);
    EXPECT_NEAR(back.ReadFloat("EICH", "MicSens_mVpPaL", 0), 9.0, 1e-9);
    EXPECT_EQ(back.ReadString("General", "Productname", ""), "velmora30");
    EXPECT_FALSE(back.ReadString("General", "SaveTime", "").isEmpty());
}

// A save that cannot be completed (file size limit, which holds even for root) reports the
// error and leaves the old file as it was.
TEST_F(MainFormTest, FailedSettingsWriteShowsMessageAndKeepsOldFile)
{
    const QString path = home.filePath("velmora30.ini");
    const QByteArray old = "[Other]\nbig=" + QByteArray(20000, 'x') + "\n";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(old);
    f.close();
    TMainForm w(TMainForm::Options{});
    rlimit lim{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &lim), 0);
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = lim;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = w.saveSettings();
    setrlimit(RLIMIT_FSIZE, &lim);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(ok);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith("Error writing Ini-File " + path + "\r\n")) << messages.texts[0].toStdString();
    EXPECT_EQ(iniText().toUtf8(), old);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList({"velmora30.ini"}));
}

// On the virtual bench every mode can be entered, started and left, and the window closes cleanly.
TEST_F(MainFormTest, VirtualBenchSwitchesThroughEveryModeAndCloses)
{
    TMainForm w(TMainForm::Options{});
    ASSERT_FALSE(w.startupFailed());
    w.show();
    w.ensureActivated();
    for (int mode = 0; mode <= 13; ++mode) {
        w.setMeasuringModeF(mode);
        w.startCommand();
        w.soundOnCommand();
        vlWaitMs(20);
        w.soundOnCommand();
        vlWaitMs(5);
        EXPECT_TRUE(w.statusTexts()[1].startsWith("GIn: ")) << mode << w.statusTexts()[1].toStdString();
    }
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(soundDLL().SDgetSoundStatus() & (SD_ST_IN_RUN | SD_ST_OUT_RUN));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

namespace {

// The action of the main window's menu bar with this text (without '&'), or null.
QAction* menuAction(TMainForm& w, const QString& text)
{
    for (QAction* a : w.findChildren<QAction*>())
        if (QString(a->text()).remove('&') == text) return a;
    return nullptr;
}

} // namespace

TEST_F(MainFormTest, CorrectionMenuSwitchesStoredCurvesAndOpensTheEditor)
{
    const QString cor = home.filePath("mic.cor");
    QFile c(cor);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write("20;-2\n1000;0\n20000;3\n");
    c.close();
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("[MAIN]\nINCONAME=" + cor + "\nINCOAKT=1\n").toUtf8());
    f.close();

    TMainForm w(TMainForm::Options{});
    QAction* inActive = menuAction(w, "Input Correction active");
    QAction* outActive = menuAction(w, "Output Correction active");
    ASSERT_TRUE(inActive && outActive);
    EXPECT_TRUE(inActive->isChecked());
    EXPECT_FALSE(outActive->isChecked());

    inActive->trigger();
    EXPECT_FALSE(inActive->isChecked());
    inActive->trigger();
    EXPECT_TRUE(inActive->isChecked());
    outActive->trigger(); // no output file chosen: stays off
    EXPECT_FALSE(outActive->isChecked());

    menuAction(w, "Edit Input Correction File")->trigger();
    QMainWindow* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowTitle() == "Editor correction file" && top->isVisible())
            editor = qobject_cast<QMainWindow*>(top);
    ASSERT_NE(editor, nullptr);
    editor->close();
    w.close();
    EXPECT_TRUE(iniText().contains("INCOAKT=1")) << iniText().toStdString();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

// "&Analyze Dialog" edits the window's analysis settings: "Apply" stores and reopens the dialog,
// OK stores and ends the loop, Cancel leaves the settings as they are.
// A first start opens on most of the screen and gives the time diagram a quarter of the
// diagram's height once the window is laid out; the next start keeps what was stored.
TEST_F(MainFormTest, FirstRunSizesTheWindowAndTheTimeDiagramFromTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    int stored = 0;
    {
        TMainForm w(TMainForm::Options{QString(), 1, true});
        w.show();
        w.ensureActivated();
        QApplication::processEvents();
        EXPECT_EQ(w.size(), firstRunWindowRect(screen).size());
        const QList<int> sizes = w.diagramWindow()->splitter()->sizes();
        ASSERT_EQ(sizes.size(), 2);
        const double share = double(sizes[1]) / (sizes[0] + sizes[1]);
        EXPECT_NEAR(share, 0.25, 0.02) << sizes[0] << " / " << sizes[1];
        stored = sizes[1];
        w.close();
    }
    TMainForm again(TMainForm::Options{});
    again.show();
    again.ensureActivated();
    QApplication::processEvents();
    EXPECT_EQ(again.size(), firstRunWindowRect(screen).size());
    EXPECT_NEAR(again.diagramWindow()->splitter()->sizes().value(1), stored, 2);
}

TEST_F(MainFormTest, AnalyzeDialogAppliesReopensAndKeepsItsSettings)
{
    {
        TMainForm w(TMainForm::Options{});
        ASSERT_FALSE(w.startupFailed());
        QAction* item = nullptr;
        for (QAction* a : w.menuBar()->actions())
            if (a->menu() && a->text() == "&Analyze")
                for (QAction* b : a->menu()->actions())
                    if (b->text() == "&Analyze Dialog") item = b;
        ASSERT_NE(item, nullptr);

        QStringList steps{"apply 50", "ok 60", "cancel 70"};
        int runs = 0;
        w.setAnalyzeDialogRunner([&](TAnaDlg& d) {
            ++runs;
            const QStringList step = steps.takeFirst().split(' ');
            d.EdFreqLow->setText(step[1]);
            (step[0] == "apply" ? d.ApplyBtn : step[0] == "ok" ? d.OKBtn : d.CancelBtn)->click();
            return d.result();
        });
        item->trigger();
        EXPECT_EQ(runs, 2) << "Apply reopens the dialog, OK ends the loop";
        EXPECT_EQ(w.analysisSettings().lfvon, 60);
        item->trigger();
        EXPECT_EQ(runs, 3);
        EXPECT_EQ(w.analysisSettings().lfvon, 60) << "Cancel changes nothing";
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
        w.close();
    }
}

// "Time Domain Filter [Input]": edits reach the input blocks while the editor is open, OK keeps
// them (the right block following the left while linked), Cancel restores the blocks as they were.
TEST_F(MainFormTest, InputFilterEditorAppliesWhileOpenAndRestoresOnCancel)
{
    TMainForm w(TMainForm::Options{});
    QAction* item = menuAction(w, "Time Domain Filter [Input]");
    ASSERT_NE(item, nullptr);
    bool seenWhileOpen = false;
    w.setFilterFormRunner([&](TFilterForm& f) {
        EXPECT_EQ(f.windowTitle(), "Time Domain Input-Filter select");
        f.model().setBypassAll(0, false);
        f.model().setTyp(0, iirTP);
        f.model().changed();
        seenWhileOpen = !w.filterBlocks().inpLeft.bypass && w.filterBlocks().inpRight.aEq[0].Typ() == iirTP;
        return int(QDialog::Accepted);
    });
    item->trigger();
    EXPECT_TRUE(seenWhileOpen);
    EXPECT_EQ(w.filterBlocks().inpLeft.aEq[0].Typ(), iirTP);
    EXPECT_EQ(w.filterBlocks().inpRight.aEq[0].Typ(), iirTP);
    w.setFilterFormRunner([&](TFilterForm& f) {
        f.model().setTyp(0, iirHP);
        f.model().changed();
        EXPECT_EQ(w.filterBlocks().inpLeft.aEq[0].Typ(), iirHP);
        return int(QDialog::Rejected);
    });
    item->trigger();
    EXPECT_EQ(w.filterBlocks().inpLeft.aEq[0].Typ(), iirTP);
    EXPECT_EQ(w.filterBlocks().inpRight.aEq[0].Typ(), iirTP);
    w.close();
    EXPECT_TRUE(iniText().contains("[Inpleft_0]")) << "the blocks are kept with the settings";
}

// Without a sound card the mixer items say why they do nothing, and the volume bars still work.
TEST_F(MainFormTest, MixerItemsSayWhyWithoutACard)
{
    qputenv("ALSA_CONFIG_PATH", home.filePath("none.conf").toUtf8()); // no ALSA device at all
    QFile(home.filePath("none.conf")).open(QIODevice::WriteOnly);
    TMainForm w(TMainForm::Options{});
    qunsetenv("ALSA_CONFIG_PATH");
    QAction* on = nullptr;
    for (QAction* a : w.findChildren<QAction*>())
        if (a->text().startsWith("Mixer Support ")) on = a;
    ASSERT_NE(on, nullptr);
    EXPECT_FALSE(on->isEnabled());
    EXPECT_EQ(on->text(), "Mixer Support  (no mixer found)");
    EXPECT_EQ(w.mixer().setInChannel(0), -1);
    w.findChild<QSlider*>("TBinVol")->setValue(40);
    w.close();
}

// The generator dialog's "Output Filter " opens the filter editor; OK in both keeps the blocks.
TEST_F(MainFormTest, OutputFilterButtonOpensTheFilterEditor)
{
    TMainForm w(TMainForm::Options{});
    int changes = 0;
    w.setFilterFormRunner([&](TFilterForm& f) {
        EXPECT_EQ(f.windowTitle(), "Output Filter select");
        auto publish = f.model().onChange;
        f.model().onChange = [&] { ++changes; publish(); };
        f.model().setBypassAll(0, false);
        f.model().setTyp(0, iirPK);
        f.model().setGain(0, 6);
        f.model().changed();
        return int(QDialog::Accepted);
    });
    w.openGeneratorDialog([](TSoundODlgF& d) {
        d.ButOutFilter->click();
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(w.filterBlocks().outLeft.bypass);
    EXPECT_EQ(w.filterBlocks().outLeft.aEq[0].Typ(), iirPK);
    EXPECT_EQ(w.filterBlocks().outRight.aEq[0].Gain(), 6.0); // linked: the right follows
    w.close();
}
