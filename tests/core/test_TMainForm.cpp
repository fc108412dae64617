// Main window: start-up on the virtual bench, settings saved at close, bad settings and no modules.
#include "app/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/ui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts; // every message shown, in order
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
};

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
