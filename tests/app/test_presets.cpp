// Presets and recent files: the recent list's rules and its menu, the slots' keys and the name
// rules, bad preset files, and the round trip of every key a preset holds in every measuring mode.
#include "app/Tpreset.h"
#include "app/recentList.h"
#include "app/ui/TMainForm.h"
#include "app/ui/Trecent.h"
#include "base/TMemIniFile.h"
#include "base/utils.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/TSPsettings.h"
#include "measurements/Twobdat.h"
#include "../support/testFiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

void ensureApp()
{
    static int argc = 1;
    static char name[] = "test_presets";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

QStringList names(int n, const char* stem = "/p/f")
{
    QStringList l;
    for (int i = 0; i < n; ++i) l << QString("%1%2.atp").arg(stem).arg(i);
    return l;
}

} // namespace

// ---- the recent list ----------------------------------------------------------------------------

TEST(RecentList, sameFileTwiceStaysOnceAtTheTopAndTheEleventhDropsTheOldest)
{
    QStringList l;
    for (const QString& n : names(10)) ASSERT_TRUE(addRecentName(l, n));
    EXPECT_EQ(l.first(), "/p/f9.atp");
    ASSERT_TRUE(addRecentName(l, "/p/f3.atp"));
    EXPECT_EQ(l.size(), 10);
    EXPECT_EQ(l.first(), "/p/f3.atp");
    EXPECT_EQ(l.count("/p/f3.atp"), 1);
    ASSERT_TRUE(addRecentName(l, "/p/new.atp")); // the eleventh distinct name
    EXPECT_EQ(l.size(), 10);
    EXPECT_EQ(l.first(), "/p/new.atp");
    EXPECT_FALSE(l.contains("/p/f0.atp")) << "the oldest goes";
    EXPECT_TRUE(l.contains("/p/f1.atp"));
}

TEST(RecentList, namesWithAStarAreNeverAdded)
{
    QStringList l{"/p/a.atp"};
    EXPECT_FALSE(addRecentName(l, "/data/*.atp"));
    EXPECT_FALSE(addRecentName(l, ""));
    EXPECT_EQ(l, QStringList{"/p/a.atp"});
}

TEST(RecentList, captionsShowAmpersandsAndExecuteWithoutTheAccelerator)
{
    EXPECT_EQ(recentCaption("/m&m/a.atp"), "/m&&m/a.atp");
    EXPECT_EQ(recentNameFromCaption(recentCaption("/m&m/a&b.atp")), "/m&m/a&b.atp");
    // An accelerator the platform put in front of the entry is dropped, once.
    EXPECT_EQ(recentNameFromCaption("&/p/a.atp"), "/p/a.atp");
    EXPECT_EQ(recentNameFromCaption("/p/&a&&b.atp"), "/p/a&b.atp");
    EXPECT_EQ(recentNameFromCaption("/p/a&b&c.atp"), "/p/ab&c.atp");
}

TEST(RecentList, historyKeysReadSkippingGapsAndWrittenInFull)
{
    TMemIniFile ini;
    ASSERT_TRUE(ini.setText("[HISTORY]\nENTRY0=/a.atp\nENTRY1=\nENTRY2=/b.atp\nENTRY9=/c.atp\nENTRY10=/x.atp\n"));
    EXPECT_EQ(readRecentList(ini), (QStringList{"/a.atp", "/b.atp", "/c.atp"}));
    TMemIniFile out;
    writeRecentList(out, {"/a.atp"});
    EXPECT_EQ(out.ReadSection("HISTORY").size(), 10);
    EXPECT_EQ(out.ReadString("HISTORY", "ENTRY0", "?"), "/a.atp");
    EXPECT_EQ(out.ReadString("HISTORY", "ENTRY9", "?"), "");
}

// The menu: entry 0 in the template item, the others appended after it (items after the
// template are rebuilt, items before it stay); a click executes the entry; the list is written
// back when it goes, and an unwritable history file is left alone silently.
TEST(RecentMenu, builtAfterTheTemplateExecutedByClickAndWrittenBack)
{
    ensureApp();
    QTemporaryDir dir;
    const QString hist = dir.filePath("PresetHist.ini");
    writeBytes(hist, "[HISTORY]\nENTRY0=/p/a&b.atp\nENTRY1=/p/c.atp\n");
    QMenu menu;
    menu.addAction("Load Preset");
    QAction* rec = menu.addAction("template");
    QStringList executed;
    {
        Trecent r(&menu, rec, hist, [&](const QString& n) { executed << n; });
        ASSERT_EQ(r.items().size(), 2);
        EXPECT_EQ(menu.actions().first()->text(), "Load Preset");
        EXPECT_EQ(rec->text(), "/p/a&&b.atp");
        r.items()[1]->trigger();
        rec->trigger();
        EXPECT_EQ(executed, (QStringList{"/p/c.atp", "/p/a&b.atp"}));
        r.Add2RecentFileList("/p/c.atp");
        r.Add2RecentFileList("/p/*.atp");
        EXPECT_EQ(r.list(), (QStringList{"/p/c.atp", "/p/a&b.atp"}));
        EXPECT_EQ(r.items().size(), 2);
        EXPECT_EQ(r.items()[1]->text(), "/p/a&&b.atp");
    }
    TMemIniFile back(hist);
    EXPECT_EQ(readRecentList(back), (QStringList{"/p/c.atp", "/p/a&b.atp"}));

    // An empty history shows no template; a history file that cannot be written stays as it is.
    QMenu empty;
    QAction* rec2 = empty.addAction("template");
    // Its folder is a file: nothing can be written there, whoever runs the test.
    writeBytes(dir.filePath("locked"), "not a folder");
    const QString locked = dir.filePath("locked/PresetHist.ini");
    {
        Trecent r(&empty, rec2, locked, {});
        EXPECT_FALSE(rec2->isVisible());
        r.Add2RecentFileList("/p/z.atp");
        EXPECT_TRUE(rec2->isVisible());
    }
    EXPECT_FALSE(QFile::exists(locked));
    EXPECT_EQ(readBytes(dir.filePath("locked")), "not a folder");
}

// ---- slots and names ----------------------------------------------------------------------------

TEST(PresetSlots, keysDefaultToTheFactoryPresetsAndAssignmentKeepsNameAndPath)
{
    TMemIniFile ini;
    for (int n = 1; n <= kPresetSlots; ++n) {
        Tpreset p;
        p.Nummer = n;
        p.LoadfromIni(ini, "MAIN", "/data/");
        EXPECT_EQ(p.FFname, "/data/" + FactoryPresetName(n));
        EXPECT_EQ(p.FaHint, FactoryPresetName(n));
    }
    EXPECT_EQ(FactoryPresetName(3), "sweep_fast.atp");
    EXPECT_EQ(FactoryPresetName(0), "");
    Tpreset p;
    p.Nummer = 4;
    EXPECT_FALSE(p.assign("/data/*.atp"));
    EXPECT_FALSE(p.assign(""));
    ASSERT_TRUE(p.assign("/home/u/set ups/amp.atp"));
    EXPECT_EQ(p.FFname, "amp.atp");
    EXPECT_EQ(p.FaHint, "/home/u/set ups/amp.atp");
    p.SaveToIni(ini, "MAIN");
    Tpreset q;
    q.Nummer = 4;
    q.LoadfromIni(ini, "main", "/data/");
    EXPECT_EQ(q.FFname, "amp.atp");
    EXPECT_EQ(q.FaHint, "/home/u/set ups/amp.atp");
}

TEST(PresetNames, emptyStarMissingAndTheFolderOfTheCurrentPreset)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath("here.atp"), "[MAIN]\n");
    QString file;
    EXPECT_EQ(resolvePresetName("", dir.filePath("*.atp"), &file), pexEmpty);
    EXPECT_EQ(resolvePresetName(dir.filePath("*.atp"), dir.filePath("*.atp"), &file), pexPattern);
    EXPECT_EQ(resolvePresetName("*here.atp", dir.filePath("x.atp"), &file), pexPattern);
    // A bare name is taken in the folder of the current preset (the cleared state "*.atp" too).
    ASSERT_EQ(resolvePresetName("here.atp", dir.filePath("*.atp"), &file), pexDone);
    EXPECT_EQ(file, QFileInfo(dir.filePath("here.atp")).absoluteFilePath());
    EXPECT_EQ(resolvePresetName("gone.atp", dir.filePath("*.atp"), &file), pexMissing);
    // A name with a folder is not looked for elsewhere.
    EXPECT_EQ(resolvePresetName("sub/here.atp", dir.filePath("*.atp"), &file), pexMissing);
    EXPECT_EQ(resolvePresetName(dir.path(), dir.filePath("*.atp"), &file), pexMissing) << "a folder is no preset";
}

// Files that are no presets: refused with a reason, the ini and the file left as they were.
TEST(PresetFiles, badFilesAreRefusedWithAReasonAndLeftUntouched)
{
    QTemporaryDir dir;
    const QString good = QStringLiteral("[MAIN]\nmeasuringmode=3\n[WOB]\nFROMR=100\n");
    struct Bad {
        const char* what;
        QByteArray data;
        const char* reason;
    };
    const QByteArray huge = "[MAIN]\n" + QByteArray(int(kMaxPresetBytes), 'x');
    TMemIniFile reference;
    ASSERT_TRUE(reference.setText(good));
    const Bad bad[] = {
        {"binary", QByteArray("[MAIN]\nmeasuringmode=1\0\x01\x02", 26), "NUL"},
        {"Latin-1 text", "[MAIN]\nINCONAME=K\xf6rper.cor\n", "UTF-8"},
        {"cut inside a character", "[MAIN]\nINCONAME=K\xc3", "UTF-8"},
        {"no settings section", "just some text\nwithout sections\n", "[MAIN]"},
        {"truncated before MAIN", "[General]\nVersion=3.0\n", "[MAIN]"},
        {"huge", huge, "larger"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        const QString file = dir.filePath("bad.atp");
        writeBytes(file, b.data);
        TMemIniFile ini;
        ASSERT_TRUE(ini.setText(good));
        QString why;
        EXPECT_FALSE(readPresetFile(file, ini, &why));
        EXPECT_TRUE(why.contains(b.reason)) << why.toStdString();
        EXPECT_EQ(ini.text(), reference.text());
        EXPECT_EQ(readBytes(file), b.data) << "the file stays where and as it was";
    }
    QString why;
    TMemIniFile ini;
    EXPECT_FALSE(readPresetFile(dir.filePath("none.atp"), ini, &why));
    writeBytes(dir.filePath("ok.atp"), good.toUtf8());
    ASSERT_TRUE(readPresetFile(dir.filePath("ok.atp"), ini, &why)) << why.toStdString();
    EXPECT_EQ(presetMeasuringMode(ini), 3);
    for (const char* m : {"0", "13", "-1", "x"}) {
        ini.WriteString("MAIN", "measuringmode", m);
        EXPECT_EQ(presetMeasuringMode(ini), 1) << m;
    }
    ini.WriteString("MAIN", "measuringmode", "12");
    EXPECT_EQ(presetMeasuringMode(ini), 12);
}

// ---- the main window --------------------------------------------------------------------------

namespace {

class PresetWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    // A window on the virtual bench in a settings folder of its own (mainIni as its settings).
    std::unique_ptr<TMainForm> open(const QTemporaryDir& home, const QByteArray& mainIni = {})
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        writeBytes(home.filePath("SoundSim.ini"), "[Device]\nPacing=fast\n[Model]\nKind=wire\n");
        if (!mainIni.isEmpty()) writeBytes(home.filePath("velmora30.ini"), mainIni);
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        // The sweep modes keep their settings process-wide: a new window starts from nothing.
        ActiveWobDat() = Twobdat();
        ActiveTSP() = tTSP();
        auto w = std::make_unique<TMainForm>(TMainForm::Options{"libSoundSim.so", -1, false});
        EXPECT_FALSE(w->startupFailed());
        w->useProgramMeasurements();
        w->ensureActivated();
        QApplication::processEvents();
        return w;
    }

    Recorder messages;
};

// Every key of a file, "section/key" -> value, without those that are not the setup's: the
// time of saving, the file's own name, the window's place, the sound module and its dialog
// link, the module's formats, the slots (the window's, not the preset's), what the diagrams'
// layout computes when it paints (a diagram's height, which y axes show), and the curves'
// selection, which "clear curves" resets after loading when its option says so.
QMap<QString, QString> setupKeys(const QString& file)
{
    const TMemIniFile ini(file);
    static const QRegularExpression skip(
        "^(general/.*|main/(cfgatpname|left|top|moni|wstate|mdiainmwwidth|mdiainmwheight|bfirststart|"
        "sounddllname|iodlglink|fname[1-6]|fahint[1-6])|isound/(isf|osf|idb|odb|iwdm|owdm)|"
        "[^/]*/height|[^/]*diaax_[0-9]+/fyaxisvis|[^/]*diacurve_[0-9]+/fsel)$");
    QMap<QString, QString> keys;
    for (const QString& s : ini.ReadSections())
        for (const QString& k : ini.ReadSection(s)) {
            const QString id = (s + "/" + k).toLower();
            if (!skip.match(id).hasMatch()) keys[id] = ini.ReadString(s, k, QString());
        }
    return keys;
}

// Another valid-looking value for v: 0 and 1 swap, other numbers grow, texts stay.
QString changed(const QString& v)
{
    if (v == "0") return "1";
    if (v == "1") return "0";
    bool isInt = false;
    const int i = v.toInt(&isInt);
    if (isInt) return QString::number(i + 1);
    bool isFloat = false;
    const double d = QString(v).replace(',', '.').toDouble(&isFloat);
    if (isFloat) return QString::number(d * 1.25 + 0.5);
    return v;
}

// The file with every setup key changed (the measuring mode kept).
void writeChanged(const QString& from, const QString& to)
{
    TMemIniFile in(from);
    TMemIniFile out(to);
    out.setText(in.text());
    for (const QString& id : setupKeys(from).keys()) {
        const QString s = id.section('/', 0, 0), k = id.section('/', 1);
        if (id == "main/measuringmode") continue;
        out.WriteString(s, k, changed(in.ReadString(s, k, QString())));
    }
    out.UpdateFile();
}

} // namespace

// Save -> change everything -> load, in every measuring mode: a fresh window saves its setup; a
// copy with every value changed is a second window's settings file, and that window saves its
// setup as a preset; a third window, on the fresh setup, executes it and saves every key as the
// preset holds it.
TEST_F(PresetWindowTest, everyKeyOfEveryModeSurvivesSaveChangeAndLoad)
{
    for (int mode : kToolButtonModes) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        QTemporaryDir h0, h1, h2, files;
        const QString p0 = files.filePath("p0.atp"), pc = files.filePath("changed.atp"),
                      p1 = files.filePath("p1.atp"), p2 = files.filePath("p2.atp");
        {
            auto w = open(h0);
            w->setMeasuringModeF(mode);
            ASSERT_TRUE(w->savePreset(p0));
        }
        writeChanged(p0, pc);
        // The changed setup reaches a window as its own settings file (not through a preset)...
        {
            auto w = open(h1, readBytes(pc));
            EXPECT_EQ(w->measuringMode(), mode);
            ASSERT_TRUE(w->savePreset(p1));
        }
        // ...and a window that starts from the fresh setup executes the preset it saved: what a
        // preset fails to load keeps the fresh value and shows.
        {
            auto w = open(h2, readBytes(p0));
            ASSERT_EQ(w->execPresetN(p1), pexDone);
            ASSERT_TRUE(w->savePreset(p2));
        }
        const QMap<QString, QString> before = setupKeys(p0), saved = setupKeys(p1), again = setupKeys(p2);
        int differentFromDefault = 0;
        for (auto it = saved.begin(); it != saved.end(); ++it) {
            EXPECT_EQ(again.value(it.key(), "<missing>").toStdString(), it.value().toStdString()) << it.key().toStdString();
            if (before.value(it.key()) != it.value()) ++differentFromDefault;
        }
        EXPECT_EQ(again.size(), saved.size());
        std::printf("[ round trip ] mode %2d: %d keys, %d of them away from the fresh window's\n", mode,
                    int(saved.size()), differentFromDefault);
        EXPECT_GE(differentFromDefault, saved.size() / 3) << "the change reached too few keys to prove much";
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    }
}

// A preset that is no settings file changes nothing and says why; a missing one and one with
// '*' change nothing silently; none of them joins the recent list.
TEST_F(PresetWindowTest, badMissingAndStarPresetsChangeNothing)
{
    QTemporaryDir home;
    auto w = open(home);
    w->setMeasuringModeF(3);
    const QString before = w->presetName();
    const QString bad = home.filePath("broken.atp");
    const QByteArray junk("[MAIN]\nmeasuringmode=1\n\xff\xfe\0junk", 28);
    writeBytes(bad, junk);
    EXPECT_EQ(w->execPresetN(bad), pexUnreadable);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains("broken.atp")) << messages.texts[0].toStdString();
    EXPECT_TRUE(messages.texts[0].contains("NUL")) << messages.texts[0].toStdString();
    EXPECT_EQ(readBytes(bad), junk) << "not renamed aside, not changed";
    messages.texts.clear();
    EXPECT_EQ(w->execPresetN(home.filePath("gone.atp")), pexMissing);
    EXPECT_EQ(w->execPresetN(before), pexPattern);
    EXPECT_EQ(w->execPresetN(""), pexEmpty);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    EXPECT_EQ(w->measuringMode(), 3);
    EXPECT_EQ(w->presetName(), before);
    EXPECT_TRUE(w->recentFiles()->list().isEmpty());
}

// The menu, the recent entries and the current preset in panel 4; choosing a mode clears the
// preset; the history file keeps the entries for the next start.
TEST_F(PresetWindowTest, menuRecentEntriesPanelAndClearing)
{
    QTemporaryDir home;
    const QString a = home.filePath("amp & speaker.atp"), b = home.filePath("b.atp");
    {
        auto w = open(home);
        const QList<QAction*> bar = w->menuBar()->actions();
        QStringList titles;
        for (QAction* m : bar) titles << m->text();
        ASSERT_GE(titles.indexOf("&Presets"), 1);
        EXPECT_EQ(titles.indexOf("&Presets"), titles.indexOf("&Edit") + 1) << titles.join(' ').toStdString();
        QStringList chosen;
        w->setPresetFileChooser([&](bool save, const QString& title, const QString& start) {
            chosen << title + "|" + QFileInfo(start).fileName();
            return save ? a : b;
        });
        w->setMeasuringModeF(3);
        ASSERT_FALSE(w->SavePresetClick().isEmpty());
        w->setMeasuringModeF(1);
        ASSERT_TRUE(w->savePreset(b));
        EXPECT_TRUE(w->statusTexts()[4].contains("Setup: b.atp")) << w->statusTexts()[4].toStdString();
        w->presetsMenu()->actions()[0]->trigger(); // "Load Preset" (b.atp, mode 1)
        EXPECT_EQ(chosen, (QStringList{"Saving Preset|*.atp", "Loading Preset|b.atp"}));
        const QList<QAction*> items = w->recentFiles()->items();
        ASSERT_EQ(items.size(), 2);
        EXPECT_EQ(items[0]->text(), QFileInfo(b).absoluteFilePath());
        items[1]->trigger(); // the first preset again, from its entry
        EXPECT_EQ(w->measuringMode(), 3);
        EXPECT_EQ(w->presetName(), QFileInfo(a).absoluteFilePath());
        EXPECT_TRUE(w->statusTexts()[4].contains("Setup: amp & speaker.atp")) << w->statusTexts()[4].toStdString();
        w->selectMeasuringMode(1);
        EXPECT_TRUE(w->presetName().endsWith("*.atp"));
        EXPECT_TRUE(w->statusTexts()[4].contains("Setup:  default")) << w->statusTexts()[4].toStdString();
        w->close();
    }
    auto w = open(home);
    EXPECT_EQ(w->recentFiles()->list(),
              (QStringList{QFileInfo(a).absoluteFilePath(), QFileInfo(b).absoluteFilePath()}));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

// Slots: the factory presets out of the box; the left button executes, an empty slot says how
// to fill it first; the right button assigns a chosen file, with Shift the file just saved; the
// slots are kept with the main settings.
TEST_F(PresetWindowTest, slotButtonsExecuteAssignAndAreKept)
{
    QTemporaryDir home;
    const QString other = home.filePath("elsewhere");
    QDir().mkpath(other);
    const QString saved = other + "/mine.atp";
    {
        auto w = open(home, "[MAIN]\nFname2=\nFaHint2=\n");
        EXPECT_EQ(w->presetSlot(1).FFname, vlCommonDataFolder() + "SPL1khz.atp");
        EXPECT_EQ(w->presetSlotButton(6)->toolTip(), "freqResMLS.atp");
        EXPECT_TRUE(w->presetSlotButton(1)->text().contains("SPL1khz"));
        w->presetSlotClicked(2, Qt::LeftButton, {});
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_EQ(messages.texts[0], "Preset is empty ! Store the actual settings with <shift> + right mouse button.");
        messages.texts.clear();
        w->setPresetFileChooser([&](bool save, const QString&, const QString&) { return save ? saved : QString(); });
        w->setMeasuringModeF(6);
        w->presetSlotClicked(2, Qt::RightButton, Qt::ShiftModifier); // save and assign
        EXPECT_EQ(w->presetSlot(2).FFname, "mine.atp");
        EXPECT_EQ(w->presetSlot(2).FaHint, saved);
        EXPECT_EQ(w->presetSlotButton(2)->toolTip(), saved);
        EXPECT_TRUE(w->presetSlotButton(2)->isChecked()) << "the slot of the current preset shows pressed";
        w->presetSlotClicked(3, Qt::RightButton, {}); // cancelled: unchanged
        EXPECT_EQ(w->presetSlot(3).FFname, vlCommonDataFolder() + "sweep_fast.atp");
        w->selectMeasuringMode(1);
        // The file name is not beside the current preset ("*.atp" in the data folder): the
        // slot finds it by its full path.
        w->presetSlotClicked(2, Qt::LeftButton, {});
        EXPECT_EQ(w->measuringMode(), 6);
        EXPECT_EQ(w->presetName(), saved);
        w->close();
    }
    auto w = open(home);
    EXPECT_EQ(w->presetSlot(2).FFname, "mine.atp");
    EXPECT_EQ(w->presetSlot(2).FaHint, saved);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

// The measurement made by the preset reads the preset; what it holds at shutdown reaches the
// main settings file (its release comes after the file is written), and the preset file itself
// is never written by executing it.
TEST_F(PresetWindowTest, executedSettingsReachTheMainFileAtShutdownAndThePresetStaysAsItWas)
{
    QTemporaryDir home;
    const QString preset = home.filePath("sweep.atp");
    const QByteArray text = "[MAIN]\nmeasuringmode=3\n[WOB]\nFROMR=123\nTOR=4567\nSYNCSTEP=17\n[sweep]\nDBMODE=1\n"
                            "[OSOUND]\nGenFreqL=777\n";
    writeBytes(preset, text);
    {
        auto w = open(home, "[MAIN]\nmeasuringmode=1\nTEXTSEP=BLANK\n[WOB]\nFROMR=50\n");
        // A bare name is looked for beside the current preset: none yet, so in the data folder.
        ASSERT_EQ(w->execPresetN("sweep.atp"), pexDone);
        EXPECT_EQ(w->presetName(), QFileInfo(preset).absoluteFilePath());
        EXPECT_EQ(w->measuringMode(), 3);
        EXPECT_EQ(ActiveWobDat().wobfrom, 123.0);
        EXPECT_EQ(w->fftSettings().fdbMode, dbMode_dBV);
        EXPECT_EQ(w->settings().textSep, ' ') << "keys the preset does not hold keep their values";
        w->close();
    }
    const TMemIniFile main(home.filePath("velmora30.ini"));
    EXPECT_EQ(main.ReadFloat("WOB", "FROMR", 0), 123.0);
    EXPECT_EQ(main.ReadInteger("WOB", "SYNCSTEP", 0), 17);
    EXPECT_EQ(main.ReadInteger("MAIN", "measuringmode", 0), 3);
    EXPECT_EQ(readBytes(preset), text);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}

// The asynchronous factory preset measures what another source plays: here the bench's own
// generator, driven by the test, plays the 1 kHz marker and then four tones at -12 dBFS; after
// the marker every tone gives points within a transform bin of its frequency and 0.1 dB of its
// level (dBV, with 1 V at full scale). Real time: the tones are timed by the samples played.
TEST_F(PresetWindowTest, asynchronousFactoryPresetMeasuresTheTonesItHears)
{
    QTemporaryDir home;
    ASSERT_TRUE(QFile::copy(VELMORA_FACTORY_DATA "/sweep_async.atp", home.filePath("sweep_async.atp")));
    qputenv("VELMORA_HOME", home.path().toUtf8());
    writeBytes(home.filePath("SoundSim.ini"), "[Device]\nBits=32\nPacing=realtime\n[Model]\nKind=wire\n");
    writeBytes(home.filePath("velmora30.ini"), "[EICH]\nINPUT=1000\n");
    resetSoundDLL();
    soundDLL().setFolder(VELMORA_MODULE_DIR);
    TMainForm w(TMainForm::Options{"libSoundSim.so", -1, false});
    w.useProgramMeasurements();
    w.ensureActivated();
    ASSERT_EQ(w.execPresetN(home.filePath("sweep_async.atp")), pexDone);
    ASSERT_EQ(w.measuringMode(), 3);
    ASSERT_TRUE(w.startCommand());
    TwaveGO* go = soundDLL().waveGO();
    go->voldB_L = go->voldB_R = -12.0;
    go->modeL = go->modeR = 0;
    soundDLL().SDStartSoundOut(1);
    const double tones[5] = {1000.0, 150.0, 700.0, 2500.0, 9000.0};
    QElapsedTimer t;
    t.start();
    int tone = -1;
    while (!w.measurementEnded() && t.elapsed() < 90000) {
        const double s = soundDLL().SDGetFuturePara(1) / 48000.0;
        const int want = s < 2.0 ? 0 : std::min(4, 1 + int((s - 2.0) / 1.5));
        if (want != tone) {
            tone = want;
            go->GenFreqL = go->GenFreqR = tones[tone];
            soundDLL().SDgetSoundStatus();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_TRUE(w.measurementEnded());
    const QStringList lines = w.measurementResults();
    for (int k = 1; k < 5; ++k) {
        const double f = tones[k], bin = 48000.0 / (f >= 4000 ? 2048 : f >= 600 ? 4096 : 8192);
        int near = 0;
        for (const QString& l : lines) {
            const QRegularExpressionMatch m = QRegularExpression(R"(Step \d+: ([0-9.]+) Hz\s+(-?[0-9.]+)\s+(-?[0-9.]+))").match(l);
            if (!m.hasMatch() || std::fabs(m.captured(1).toDouble() - f) > bin) continue;
            ++near;
            EXPECT_NEAR(m.captured(2).toDouble(), -12.0, 0.1) << l.toStdString();
            EXPECT_NEAR(m.captured(3).toDouble(), -12.0, 0.1) << l.toStdString();
        }
        EXPECT_GT(near, 0) << "no point at " << f << "\n" << lines.join('\n').toStdString();
    }
}

// The picture of the window with the factory presets in their slots, the slot row under the
// measurement buttons, and the open Presets menu with its recent entries (test artefacts beside
// the test programs: presets-slots.png, and presets-window.png with the menu open).
TEST_F(PresetWindowTest, pictureOfTheSlotRowAndThePresetsMenu)
{
    QTemporaryDir home;
    for (int n = 1; n <= kPresetSlots; ++n)
        ASSERT_TRUE(QFile::copy(VELMORA_FACTORY_DATA "/" + FactoryPresetName(n), home.filePath(FactoryPresetName(n))));
    auto w = open(home);
    w->resize(1100, 720);
    w->show();
    for (int n : {5, 1, 3}) w->presetSlotClicked(n, Qt::LeftButton, {});
    EXPECT_EQ(w->measuringMode(), 3);
    EXPECT_TRUE(w->presetSlotButton(3)->isChecked());
    EXPECT_FALSE(w->presetSlotButton(1)->isChecked());
    QApplication::processEvents();
    QWidget* slotRow = w->findChild<QWidget*>("presetSlots");
    QWidget* tools = w->findChild<QWidget*>("measureTools");
    ASSERT_TRUE(slotRow && tools);
    EXPECT_GE(slotRow->geometry().top(), tools->geometry().bottom()) << "a row of its own";
    const QString folder = QString(VELMORA_BIN_DIR) + "/../tests/";
    EXPECT_TRUE(w->grab().save(folder + "presets-slots.png"));
    QMenu* menu = w->presetsMenu();
    QAction* bar = menu->menuAction();
    const QRect at = w->menuBar()->actionGeometry(bar);
    menu->popup(w->menuBar()->mapToGlobal(at.bottomLeft()));
    QApplication::processEvents();
    EXPECT_EQ(w->recentFiles()->items().size(), 3);
    QImage img = w->grab().toImage();
    QPainter p(&img);
    p.drawPixmap(w->menuBar()->mapTo(w.get(), at.bottomLeft()), menu->grab());
    p.end();
    menu->hide();
    EXPECT_TRUE(img.save(folder + "presets-window.png"));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
}
