// The virtual bench's own settings dialog, driven through its entry point as the program does.
#include "soundDLLTypes.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

class SimDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_SoundSimDialog";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        QFile ini(home.filePath("SoundSim.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Device]\nSampleRate=48000\nPacing=fast\n[Model]\nKind=wire\nGain_dB=-3\n");
        ini.close();
        lib = dlopen(VELMORA_MODULE_DIR "/libSoundSim.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        init = reinterpret_cast<SDInitSound_t>(dlsym(lib, "SDInitSound"));
        deinit = reinterpret_cast<SDDeInitSound_t>(dlsym(lib, "SDDeInitSound"));
        dlg = reinterpret_cast<SDSoundDlg_t>(dlsym(lib, "SDSoundDlg"));
        formatIn = reinterpret_cast<SDgetwaveFormatIn_t>(dlsym(lib, "SDgetwaveFormatIn"));
        ASSERT_TRUE(init && deinit && dlg && formatIn);
        ASSERT_EQ(init(0x100011, u"velmora\0"), 0);
    }
    void TearDown() override
    {
        if (deinit) deinit(0);
        if (lib) dlclose(lib);
    }

    // Runs the dialog; `act` gets the open dialog and decides how it closes.
    int runDialog(const std::function<void(QDialog*)>& act)
    {
        QTimer::singleShot(0, [act] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            act(d);
        });
        return dlg(1);
    }

    QString iniText() const
    {
        QFile f(home.filePath("SoundSim.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    int inRate()
    {
        Twfs w{};
        formatIn(&w);
        return int(w.Wf.nSamplesPerSec);
    }

    QTemporaryDir home;
    void* lib = nullptr;
    SDInitSound_t init = nullptr;
    SDDeInitSound_t deinit = nullptr;
    SDSoundDlg_t dlg = nullptr;
    SDgetwaveFormatIn_t formatIn = nullptr;
};

bool selectItem(QDialog* d, const QString& text)
{
    for (QComboBox* c : d->findChildren<QComboBox*>()) {
        const int i = c->findText(text, Qt::MatchContains);
        if (i >= 0) {
            c->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(SimDialogTest, ConfirmedChangeIsAppliedAndWrittenKeepingOtherKeys)
{
    const int r = runDialog([](QDialog* d) {
        EXPECT_TRUE(selectItem(d, "96000"));
        d->accept();
    });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(inRate(), 96000);
    const QString text = iniText();
    EXPECT_TRUE(text.contains("SampleRate=96000")) << text.toStdString();
    EXPECT_TRUE(text.contains("Gain_dB=-3")) << text.toStdString();
    EXPECT_TRUE(text.contains("Pacing=fast")) << text.toStdString();
}

TEST_F(SimDialogTest, CancelChangesNothing)
{
    const QString before = iniText();
    const int r = runDialog([](QDialog* d) {
        selectItem(d, "192000");
        d->reject();
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(inRate(), 48000);
    EXPECT_EQ(iniText(), before);
}
