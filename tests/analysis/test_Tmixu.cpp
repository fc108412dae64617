// Tests of the mixer support against a software mixer device loaded into ALSA through a
// configuration file (no sound card needed), and without any device.
#include "analysis/Tmixu.h"
#include "base/TMemIniFile.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

constexpr int kStep = 65535 / 31; // one step of the test device's 0..31 volumes

// Points ALSA at a configuration that declares the test device "vltest" (before its first use).
class MixerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char arg0[] = "test", *argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        static QTemporaryDir dir;
        const std::string conf = dir.filePath("asound.conf").toStdString();
        std::ofstream(conf) << "ctl_type.vltest { lib \"" VL_ALSA_TEST_CTL "\" }\n"
                            << "ctl.vltest { type vltest }\n";
        setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
        snd_config_update_free_global();
    }
};

// A value of the device read through ALSA directly: playback (or capture) volume 0..31 or switch.
long raw(const char* elem, bool capture, bool sw) {
    snd_mixer_t* h = nullptr;
    long v = -1;
    int on = -1;
    if (snd_mixer_open(&h, 0) < 0) return -1;
    if (snd_mixer_attach(h, "vltest") >= 0 && snd_mixer_selem_register(h, nullptr, nullptr) >= 0 &&
        snd_mixer_load(h) >= 0) {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, elem);
        if (snd_mixer_elem_t* e = snd_mixer_find_selem(h, id)) {
            const auto ch = SND_MIXER_SCHN_FRONT_LEFT;
            if (sw)
                capture ? snd_mixer_selem_get_capture_switch(e, ch, &on)
                        : snd_mixer_selem_get_playback_switch(e, ch, &on);
            else
                capture ? snd_mixer_selem_get_capture_volume(e, ch, &v)
                        : snd_mixer_selem_get_playback_volume(e, ch, &v);
        }
    }
    snd_mixer_close(h);
    return sw ? on : v;
}

// Runs the event loop until `done` or timeout_ms passed.
template <class F> bool waitFor(F done, int timeout_ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST_F(MixerTest, WithoutADeviceEveryCallDoesNothing) {
    Tmixu m;
    m.setMixOn(true);
    EXPECT_FALSE(m.iniMixer(false, "no such card"));
    EXPECT_FALSE(m.isOpen());
    EXPECT_FALSE(m.MixOn());
    EXPECT_EQ(m.inactiveReason(), "no mixer found");
    int mux = 7;
    EXPECT_TRUE(m.getInChannels(&mux).isEmpty());
    EXPECT_EQ(mux, -1);
    EXPECT_EQ(m.setInChannel(0), -1);
    m.setInVolumeAT(30000, 0);
    m.setOutMasterVolAT(30000);
    m.setOutVolume(1000, 3);
    m.setOutMute(true, 0);
    EXPECT_EQ(m.getInVolume(), 0);
    EXPECT_EQ(m.getOutMasterVol(), 0);
    EXPECT_EQ(m.getChannelName(0), "");
    m.DeIniMixer();
    m.DeIniMixer();
}

TEST_F(MixerTest, SelectingASourceAndItsLevelReadsBack) {
    Tmixu m, other;
    m.setMixOn(true);
    other.setMixOn(true);
    ASSERT_TRUE(m.iniMixer(false, "vltest"));
    EXPECT_EQ(m.inactiveReason(), "");
    int mux = -1;
    const QStringList names = m.getInChannels(&mux);
    EXPECT_EQ(names, QStringList({"Line", "CD", "Mic"})); // in the simple mixer's order
    EXPECT_EQ(mux, 0);                                    // the device starts with Line switched on
    const int mic = int(names.indexOf("Mic"));
    EXPECT_EQ(m.setInChannel(mic), mic);
    EXPECT_EQ(m.setInChannel(3), -1);
    m.setInVolumeAT(40000, mic);
    ASSERT_TRUE(other.iniMixer(false, "vltest")); // a second handle sees what the device holds
    EXPECT_EQ(other.getAktChannelNum(), mic);
    EXPECT_EQ(other.getChannelName(mic), "Mic");
    EXPECT_NEAR(other.getInVolume(), 40000, kStep / 2 + 1);
    EXPECT_EQ(raw("Line", true, false), 0); // the other sources silenced
    EXPECT_EQ(raw("CD", true, false), 0);
    EXPECT_EQ(raw("Line", true, true), 0);
    EXPECT_EQ(raw("Mic", true, true), 1);
    std::printf("[ mixer ] source %s selected, level 40000 read back as %d\n",
                qPrintable(other.getChannelName(other.getAktChannelNum())), other.getInVolume());
}

TEST_F(MixerTest, PlaybackSetUpForMeasuring) {
    Tmixu m;
    m.setMixOn(true);
    ASSERT_TRUE(m.iniMixer(true, "vltest"));
    m.setOutMute(true, 0);                 // Master muted beforehand
    m.setOutMasterVolAT(65535 * 50 / 100); // what the output volume bar at 50 asks
    EXPECT_NEAR(m.getOutMasterVol(), 32767, kStep / 2 + 1);
    EXPECT_EQ(raw("Master", false, true), 1);
    EXPECT_EQ(raw("PCM", false, false), 31); // wave output full and on
    EXPECT_EQ(raw("PCM", false, true), 1);
    EXPECT_EQ(raw("Line", false, false), 0); // other sources silenced and muted
    EXPECT_EQ(raw("Line", false, true), 0);
    EXPECT_EQ(raw("Bass", false, false), 15); // no dB scale: flat is the middle
    EXPECT_EQ(raw("Treble", false, false), 15);
}

TEST_F(MixerTest, MixerControlOffTouchesNothing) {
    Tmixu on, off;
    on.setMixOn(true);
    ASSERT_TRUE(on.iniMixer(false, "vltest"));
    const int cd = int(on.getInChannels().indexOf("CD"));
    on.setInChannel(cd);
    on.setInVolumeAT(65535, cd);
    ASSERT_TRUE(off.iniMixer(false, "vltest"));
    EXPECT_EQ(off.inactiveReason(), "mixer control is off");
    EXPECT_EQ(off.setInChannel(0), -1);
    off.setInVolumeAT(0, 0);
    off.setOutMasterVolAT(0);
    EXPECT_EQ(on.getAktChannelNum(), cd);
    EXPECT_EQ(raw("CD", true, false), 31);
    EXPECT_EQ(off.getInVolume(), 0);
}

TEST_F(MixerTest, ChangesElsewhereAreReportedThroughTheEventLoop) {
    Tmixu watcher, changer;
    watcher.setMixOn(true);
    changer.setMixOn(true);
    ASSERT_TRUE(watcher.iniMixer(false, "vltest"));
    ASSERT_TRUE(changer.iniMixer(false, "vltest"));
    int selections = 0, volumes = 0;
    QObject::connect(&watcher, &Tmixu::inputSelectionChanged, [&] { ++selections; });
    QObject::connect(&watcher, &Tmixu::inputVolumeChanged, [&] { ++volumes; });
    watcher.setNotifyVolmask(0);
    changer.setInChannel(0);
    changer.setInVolumeAT(20000, 0);
    changer.setInChannel(1);
    EXPECT_TRUE(waitFor([&] { return selections > 0 && volumes > 0; }));
    EXPECT_EQ(watcher.getAktChannelNum(), 1);
    int before = volumes;
    watcher.setInVolumeAT(30000, 0); // its own change: not reported back to itself
    waitFor([] { return false; }, 300);
    EXPECT_EQ(volumes, before);
    before = volumes;
    watcher.clearNotifyVolmask();
    changer.setInVolumeAT(1000, 0);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(volumes, before); // no longer watched
}

TEST_F(MixerTest, SwitchIsKeptInSectionMIX) {
    TMemIniFile ini;
    Tmixu m;
    m.Loadfromfile(ini);
    EXPECT_FALSE(m.MixOn()); // default off
    m.setMixOn(true);
    m.SaveToFile(ini);
    EXPECT_TRUE(ini.ReadBool("MIX", "MIXON", false));
    Tmixu n;
    n.Loadfromfile(ini);
    EXPECT_TRUE(n.MixOn());
    ini.WriteString("MIX", "MIXON", "banana");
    n.Loadfromfile(ini);
    EXPECT_FALSE(n.MixOn());
}
