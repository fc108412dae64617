// The virtual bench's own settings dialog, driven through its entry point as the program does.
#include "soundDLLTypes.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
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

// Every kind shows a field for each of its parameters, filled from its own section; a text
// parameter gets a text field; what is confirmed lands in the kind's section.
TEST_F(SimDialogTest, EachKindShowsAndWritesItsOwnParameters)
{
    QFile ini(home.filePath("SoundSim.ini"));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write("[Amplifier]\nGain_dB=12\n[Room]\nRT60_ms=250\n");
    ini.close();
    deinit(0);
    ASSERT_EQ(init(0x100011, u"velmora\0"), 0);
    const int r = runDialog([](QDialog* d) {
        const std::pair<const char*, int> kinds[] = {{"amplifier", 13}, {"impedance", 12}, {"tape", 5}, {"room", 5}};
        for (auto [kind, count] : kinds) {
            SCOPED_TRACE(kind);
            ASSERT_TRUE(selectItem(d, kind));
            const auto numbers = d->findChildren<QDoubleSpinBox*>();
            const auto texts = d->findChildren<QLineEdit*>();
            int named = 0;
            for (auto* w : numbers)
                named += !w->objectName().isEmpty();
            for (auto* w : texts) // not the line edits inside the spin boxes
                named += !w->objectName().isEmpty() && !qobject_cast<QAbstractSpinBox*>(w->parent());
            EXPECT_EQ(named, count) << "one field per parameter";
        }
        auto* rt = d->findChild<QDoubleSpinBox*>("RT60_ms");
        auto* refl = d->findChild<QLineEdit*>("Reflections");
        ASSERT_TRUE(rt && refl);
        EXPECT_EQ(rt->value(), 250.0) << "the room's own section";
        EXPECT_EQ(refl->text(), "3.1:-6, 7.4:-9") << "the default list";
        refl->setText("5:-3, 9:-12");
        rt->setValue(800);
        ASSERT_TRUE(selectItem(d, "amplifier"));
        auto* gain = d->findChild<QDoubleSpinBox*>("Gain_dB");
        ASSERT_TRUE(gain);
        EXPECT_EQ(gain->value(), 12.0) << "[Amplifier] Gain_dB, not the wire's -3 of [Model]";
        ASSERT_TRUE(selectItem(d, "room"));
        EXPECT_EQ(d->findChild<QDoubleSpinBox*>("RT60_ms")->value(), 800.0) << "edits survive a switch of kind";
        EXPECT_EQ(d->findChild<QLineEdit*>("Reflections")->text(), "5:-3, 9:-12");
        d->accept();
    });
    EXPECT_EQ(r, 1);
    const QString text = iniText();
    const QString room = text.mid(text.indexOf("[Room]"));
    EXPECT_TRUE(text.contains("Kind=room")) << text.toStdString();
    EXPECT_TRUE(room.contains("RT60_ms=800")) << text.toStdString();
    EXPECT_TRUE(room.contains("Reflections=5:-3, 9:-12")) << text.toStdString();
    EXPECT_TRUE(text.contains("Gain_dB=12")) << text.toStdString();
}
