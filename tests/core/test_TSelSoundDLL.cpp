// Tests of the module selection dialog and the "Alternative sound DLL" command, offscreen.
#include "core/ui/TSelSoundDLL.h"
#include "base/vlMessages.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

class RecordingMessages : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
    QStringList texts; // every message shown, in order
};

QString caseDir(const char* name) { return QStringLiteral(VL_TESTMODULES_DIR) + name + "/"; }

class SelSoundDLL : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "test_TSelSoundDLL";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv); // lives until the process ends
    }
    void SetUp() override
    {
        vl::setMessageService(&msgs);
        dll.setDefaultName("libSoundNotThere.so");
        dll.setFolder(caseDir("two"));
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    RecordingMessages msgs; // messages of the test
    TsoundDLLImpDyn dll;    // the binding the command works on
};

const QStringList kTwo{"Full test module @ libSoundFull.so", "Second module @ libsoundSecond.so"};

TEST_F(SelSoundDLL, dialogLayoutAndPreselection)
{
    TSelSoundDLL dlg;
    EXPECT_EQ(dlg.windowTitle(), "Select Sound DLL");
    EXPECT_EQ(dlg.ListBox1->objectName(), "ListBox1");
    EXPECT_EQ(dlg.CancelBtn->text(), "Cancel");
    EXPECT_EQ(dlg.HelpBtn->text(), "&Help");
    EXPECT_EQ(dlg.helpContext(), 114);
    EXPECT_EQ(dlg.dInd, 0);

    dlg.dStringl = kTwo;
    dlg.dPreSoundName = "LIBSOUNDsecond.so"; // compared upper-cased
    dlg.show();
    EXPECT_EQ(dlg.ListBox1->count(), 2);
    EXPECT_EQ(dlg.dInd, 1);
    EXPECT_EQ(dlg.ListBox1->currentRow(), 1);
    dlg.ListBox1->setCurrentRow(0); // a click on the first entry
    EXPECT_EQ(dlg.dInd, 0);

    QList<int> help;
    QObject::connect(&dlg, &TSelSoundDLL::helpRequested, [&](int context) { help << context; });
    dlg.HelpBtn->click();
    EXPECT_EQ(help, QList<int>{114});
    dlg.OKBtn->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // No entry matches: nothing is selected and dInd keeps its value.
    TSelSoundDLL other;
    other.dStringl = kTwo;
    other.dPreSoundName = "libSoundGone.so";
    other.fillList();
    EXPECT_EQ(other.dInd, 0);
    EXPECT_EQ(other.ListBox1->currentRow(), -1);
}

TEST_F(SelSoundDLL, selectThenRestartLoadsTheChosenModule)
{
    QString name = "libSoundFull.so";
    ASSERT_EQ(dll.startup(true, TsoundDLLImpDyn::kStartFlags, name).action, eSoundStart::ssOK);
    QStringList shown;
    const int ind = selectSoundDLL(dll, name, nullptr, [&](TSelSoundDLL& d) {
        d.show();
        shown = d.dStringl;
        EXPECT_EQ(d.dInd, 0); // preselected: the current module
        d.ListBox1->setCurrentRow(1);
        d.OKBtn->click();
        return d.result();
    });
    EXPECT_EQ(shown, kTwo);
    EXPECT_EQ(ind, 1);
    EXPECT_EQ(name, "libsoundSecond.so");
    EXPECT_EQ(dll.handle(), nullptr); // the old module is gone until the restart
    void* h = dlopen(QFile::encodeName(caseDir("two") + "libSoundFull.so").constData(),
                     RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(h, nullptr);

    TsoundCallbacks cb;
    const TsoundRestartResult r = restartSoundDLL(dll, name, cb);
    EXPECT_EQ(r.start.action, eSoundStart::ssOK);
    EXPECT_EQ(r.start.count, 2);
    EXPECT_TRUE(r.records);
    EXPECT_TRUE(dll.altDLLVisible());
    EXPECT_EQ(dll.description(SD_Q_DESCRIPTION, 120), "Second module");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(msgs.texts.isEmpty());
}

TEST_F(SelSoundDLL, cancelOrNothingToChooseKeepsTheName)
{
    QString name = "libsoundSecond.so";
    auto cancel = [](TSelSoundDLL& d) {
        d.show();
        d.CancelBtn->click();
        return d.result();
    };
    EXPECT_EQ(selectSoundDLL(dll, name, nullptr, cancel), -1);
    EXPECT_EQ(name, "libsoundSecond.so");

    // An empty folder: OK has no entry to take.
    dll.setFolder(caseDir("none"));
    auto ok = [](TSelSoundDLL& d) {
        d.show();
        d.OKBtn->click();
        return d.result();
    };
    EXPECT_EQ(selectSoundDLL(dll, name, nullptr, ok), -1);
    EXPECT_EQ(name, "libsoundSecond.so");
    QTemporaryDir home; // the failed restart sets the settings file aside: not the user's
    ASSERT_TRUE(home.isValid());
    qputenv("VELMORA_HOME", home.path().toUtf8());
    const TsoundRestartResult r = restartSoundDLL(dll, name, TsoundCallbacks{});
    EXPECT_EQ(r.start.action, eSoundStart::ssTerminate);
    EXPECT_FALSE(r.records);
    EXPECT_EQ(msgs.texts.size(), 1);
    qunsetenv("VELMORA_HOME");
}

} // namespace
