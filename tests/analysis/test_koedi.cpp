// Tests of the correction editor and the correction commands of the main window, offscreen.
#include "analysis/TCorrectionSet.h"
#include "dsp/corObj.h"
#include "analysis/corObjMessages.h"
#include "analysis/ui/Tkoedi.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingMessages : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        shown.push_back(m);
        return answer ? answer : m.defaultButton;
    }
    std::vector<vl::Message> shown; // every message, in order
    int answer = 0;                 // button to press; 0: the default
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Replaces the whole text as typing would, so the document counts as changed.
void typeText(Tkoedi& w, const QString& text)
{
    w.Memo1->selectAll();
    w.Memo1->insertPlainText(text);
}

class Koedi : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "test_koedi";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv); // lives until the process ends
    }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        vl::setMessageService(&msgs);
        file = dir.filePath("in.cor");
        writeFile(file, "10;1\r\n1000;3\r\n2000;6\r\n");
    }
    void TearDown() override
    {
        vl::setMessageService(nullptr);
    }

    QTemporaryDir dir;      // files of the test
    QString file;           // the correction file being edited
    RecordingMessages msgs; // messages of the test
};

} // namespace

TEST_F(Koedi, OpensWithTheFileAndCaptionsPerLanguage)
{
    Tcorri cor;
    Tkoedi w(cor, file, ';', 'E');
    EXPECT_EQ(w.windowTitle(), "Editor correction file");
    EXPECT_EQ(w.SaveTest->text(), "Save &&Test");
    EXPECT_EQ(w.Help->text(), "Help");
    EXPECT_EQ(w.Memo1->toPlainText(), "10;1\n1000;3\n2000;6\n");
    EXPECT_FALSE(w.isModified());
    Tkoedi d(cor, file, ';', 'D');
    EXPECT_EQ(d.windowTitle(), "Editor Korrekturdatei");
    QSignalSpy help(&w, &Tkoedi::helpRequested);
    w.Help->trigger();
    EXPECT_EQ(help.count(), 1);
}

TEST_F(Koedi, SaveAndTestWritesAtomicallyAndRebuildsWithSplineAndFit)
{
    Tcorri cor;
    cor.makeCorrArr(file.toStdString(), ';', false, correctionMessageSink());
    Tkoedi w(cor, file, ';', 'E');
    QSignalSpy changed(&w, &Tkoedi::correctionChanged);
    typeText(w, "100;2\n1000;2\n2000;5\n");
    EXPECT_TRUE(w.isModified());
    w.SaveTest->trigger();
    EXPECT_EQ(readFile(file), "100;2\r\n1000;2\r\n2000;5\r\n"); // CR LF kept
    EXPECT_FALSE(w.isModified());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(cor.getMode(), 0);
    EXPECT_TRUE(cor.getfit2_1kHz());
    EXPECT_TRUE(cor.getaktiv());
    EXPECT_NEAR(cor.value(1000.0), 0.0, 1e-12);
    EXPECT_NEAR(cor.value(2000.0), 3.0, 1e-12);
    EXPECT_TRUE(msgs.shown.empty());

    // A bad line: the file is saved as typed and the curve reports it and goes inactive.
    typeText(w, "100;2\nabc\n");
    w.SaveTest->trigger();
    EXPECT_EQ(readFile(file), "100;2\r\nabc\r\n");
    EXPECT_FALSE(cor.getaktiv());
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].title, "Warning");
    EXPECT_TRUE(msgs.shown[0].text.contains("Error in line 2"));
}

TEST_F(Koedi, CloseWithChangesAsksAndYesSavesWithLinear)
{
    Tcorri cor;
    cor.makeCorrArr(file.toStdString(), ';', false, correctionMessageSink());
    {
        Tkoedi w(cor, file, ';', 'D');
        QSignalSpy changed(&w, &Tkoedi::correctionChanged);
        typeText(w, "1000;4\n3000;8\n");
        msgs.answer = vl::mbYes;
        EXPECT_TRUE(w.close());
        ASSERT_EQ(msgs.shown.size(), 1u);
        const vl::Message& m = msgs.shown[0];
        EXPECT_EQ(m.kind, vl::MsgKind::Confirmation);
        EXPECT_EQ(m.text, QString::fromUtf8("Korrekturwerte wurden verändert ! Speichern ?"));
        EXPECT_EQ(m.buttons, vl::mbYes | vl::mbNo);
        EXPECT_EQ(m.defaultButton, vl::mbYes);
        EXPECT_EQ(changed.count(), 1);
    }
    EXPECT_EQ(readFile(file), "1000;4\r\n3000;8\r\n");
    EXPECT_EQ(cor.getMode(), 2);
    EXPECT_NEAR(cor.value(2000.0), 2.0, 1e-12); // fitted to 1 kHz, then linear

    msgs.shown.clear();
    Tkoedi w(cor, file, ';', 'E');
    QSignalSpy changed(&w, &Tkoedi::correctionChanged);
    typeText(w, "garbage");
    msgs.answer = vl::mbNo;
    EXPECT_TRUE(w.close());
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "Values changed ! Saving ?");
    EXPECT_EQ(readFile(file), "1000;4\r\n3000;8\r\n"); // No keeps the file
    EXPECT_EQ(cor.getPaare(), 2);
    EXPECT_EQ(changed.count(), 1);

    msgs.shown.clear(); // unchanged text: no question, still a refresh
    Tkoedi quiet(cor, file, ';', 'E');
    QSignalSpy refreshed(&quiet, &Tkoedi::correctionChanged);
    EXPECT_TRUE(quiet.close());
    EXPECT_TRUE(msgs.shown.empty());
    EXPECT_EQ(refreshed.count(), 1);
}

TEST_F(Koedi, UnwritableFileKeepsTheWindowAndTheText)
{
    Tcorri cor;
    const QString gone = dir.filePath("missing/folder/x.cor");
    Tkoedi w(cor, gone, ';', 'E');
    ASSERT_EQ(msgs.shown.size(), 1u); // could not read it
    msgs.shown.clear();
    typeText(w, "10;0\n20;1\n");
    EXPECT_FALSE(w.saveAndTest());
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_TRUE(msgs.shown[0].text.startsWith("Error while writing"));
    msgs.answer = vl::mbYes;
    w.show();
    EXPECT_FALSE(w.close()); // Yes could not save: stays open with the edits
    EXPECT_EQ(w.Memo1->toPlainText(), "10;0\n20;1\n");
}

TEST_F(Koedi, NonUtf8FileRoundTripsByteForByte)
{
    const QByteArray latin1("10;0\n20;1 \xe4\n");
    writeFile(file, latin1);
    Tcorri cor;
    Tkoedi w(cor, file, ';', 'E');
    typeText(w, w.Memo1->toPlainText() + "30;2\n");
    w.saveAndTest();
    EXPECT_EQ(readFile(file), latin1 + "30;2\n");
}

// ---- the main window's correction commands ----------------------------------------------------

TEST_F(Koedi, CorrectionSetSettingsAndCommands)
{
    TMemIniFile ini;
    EXPECT_EQ(TCorrectionSet::textSeparator(ini), ';');
    ini.WriteString("MAIN", "TEXTSEP", "BLANK");
    EXPECT_EQ(TCorrectionSet::textSeparator(ini), ' ');
    ini.WriteString("MAIN", "TEXTSEP", "|x");
    EXPECT_EQ(TCorrectionSet::textSeparator(ini), '|'); // only the first character counts
    ini.WriteString("MAIN", "TEXTSEP", ";");

    writeFile(dir.filePath("out.cor"), "10;0\n20000;6\n");
    ini.WriteString("MAIN", "INCONAME", file);
    ini.WriteBool("MAIN", "INCOAKT", true);
    ini.WriteString("MAIN", "OUTCONAME", dir.filePath("out.cor"));
    ini.WriteBool("MAIN", "OUTCOAKT", false);
    TCorrectionSet set('E');
    set.readSettings(ini);
    EXPECT_TRUE(set.active(TCorrectionSet::Input));
    EXPECT_FALSE(set.active(TCorrectionSet::Output));
    EXPECT_EQ(set.curve(TCorrectionSet::Output).getPaare(), 2);
    EXPECT_EQ(set.curve(TCorrectionSet::Input).getapplDir(), 1);
    EXPECT_NEAR(set.curve(TCorrectionSet::Input).corri(0.0, 1000.0, 0.0), -3.0, 1e-12);

    EXPECT_TRUE(set.toggleActive(TCorrectionSet::Output));
    EXPECT_FALSE(set.toggleActive(TCorrectionSet::Input));
    TCorrectionSet empty;
    EXPECT_FALSE(empty.toggleActive(TCorrectionSet::Input)); // no file: stays off
    EXPECT_TRUE(empty.needsFile(TCorrectionSet::Output));
    EXPECT_TRUE(empty.edit(TCorrectionSet::Output).isEmpty());
    const QString made = dir.filePath("made.cor");
    EXPECT_EQ(empty.edit(TCorrectionSet::Output, made), made);
    EXPECT_TRUE(empty.active(TCorrectionSet::Output));
    EXPECT_EQ(readFile(made), "10;0\r\n1000;0\r\n20000;0\r\n");

    TMemIniFile out;
    set.writeSettings(out);
    EXPECT_EQ(out.ReadString("MAIN", "INCONAME", ""), file);
    EXPECT_FALSE(out.ReadBool("MAIN", "INCOAKT", true));
    EXPECT_TRUE(out.ReadBool("MAIN", "OUTCOAKT", false));

    // A chosen file that fails to load stays chosen, so it can be edited and fixed.
    writeFile(dir.filePath("bad.cor"), "x\n");
    EXPECT_FALSE(set.open(TCorrectionSet::Input, dir.filePath("bad.cor")));
    EXPECT_EQ(set.fileName(TCorrectionSet::Input), dir.filePath("bad.cor"));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].kind, vl::MsgKind::Warning);
    EXPECT_EQ(msgs.shown[0].title, "Warning");
}
