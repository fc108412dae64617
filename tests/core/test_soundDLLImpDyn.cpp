// Tests of the sound-module binding against the small test modules in core/modules.
#include "core/soundDLLImpDyn.h"
#include "base/vlMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

namespace {

// Keeps every message instead of showing it.
class RecordingMessages : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        texts << m.title + "|" + m.text;
        return m.defaultButton;
    }
    QStringList texts; // "title|text" of every message, in order
};

QString caseDir(const char* name) { return QStringLiteral(VL_TESTMODULES_DIR) + name + "/"; }

// True while the file is mapped into the process.
bool isMapped(const QString& file)
{
    void* h = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

Twfs format(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t validBits = 0)
{
    Twfs w;
    std::memset(&w, 0, sizeof w);
    w.Wf.wFormatTag = tag;
    w.Wf.nSamplesPerSec = rate;
    w.Wf.wBitsPerSample = bits;
    w.Wf.samples = validBits;
    return w;
}

class SoundDLL : public ::testing::Test {
protected:
    void SetUp() override
    {
        vl::setMessageService(&msgs);
        QLocale::setDefault(QLocale::c());
        dll.setDefaultName("libSoundNotThere.so");
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    // A test-control function of the loaded module.
    template <typename F> F sym(const char* name)
    {
        void* p = dll.handle() ? dlsym(dll.handle(), name) : nullptr;
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }
    QString callLog() { return QString::fromUtf8(sym<const char* (*)()>("tmCallLog")()); }
    void clearLog() { sym<void (*)()>("tmClearLog")(); }
    // Start-up in a test folder with a stored module name; returns the result.
    TsoundStartResult start(const char* folderCase, QString name, bool scan = true)
    {
        dll.setFolder(caseDir(folderCase));
        fileName = name;
        return dll.startup(scan, TsoundDLLImpDyn::kStartFlags, fileName);
    }

    RecordingMessages msgs; // messages of the test
    TsoundDLLImpDyn dll;    // the binding under test
    QString fileName;       // stored module name handed to start-up
};

TEST_F(SoundDLL, loadBindsAllEntriesOrRejectsTheModule)
{
    const QString full = caseDir("one") + "libSoundFull.so";
    ASSERT_TRUE(dll.loadDLL(full));
    EXPECT_EQ(dll.boundEntries(), 21);
    EXPECT_TRUE(dll.usable());
    dll.unloadDLL(dll.handle());
    EXPECT_EQ(dll.boundEntries(), 0);
    EXPECT_EQ(dll.handle(), nullptr);
    EXPECT_FALSE(isMapped(full));

    // 20 of 21 entries present: rejected and closed again.
    const QString missing = caseDir("one") + "libSoundMissing.so";
    EXPECT_FALSE(dll.loadDLL(missing));
    EXPECT_EQ(dll.boundEntries(), 0);
    EXPECT_EQ(dll.handle(), nullptr);
    EXPECT_FALSE(dll.usable());
    EXPECT_FALSE(isMapped(missing));

    // An unresolved symbol, a text file and a missing file fail without a message.
    EXPECT_FALSE(dll.loadDLL(caseDir("one") + "libSoundUnres.so"));
    EXPECT_FALSE(dll.loadDLL(caseDir("one") + "libSoundJunk.so"));
    EXPECT_FALSE(dll.loadDLL(caseDir("one") + "libSoundNothing.so"));
    EXPECT_TRUE(msgs.texts.isEmpty());
}

TEST_F(SoundDLL, unloadCallsDeInitAndCanFindTheModuleByName)
{
    const QString full = caseDir("one") + "libSoundFull.so";
    ASSERT_TRUE(dll.loadDLL(full));
    void* keep = dlopen(QFile::encodeName(full).constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(keep, nullptr); // our own reference keeps the log readable after the unload
    clearLog();
    dll.setFolder(caseDir("one"));
    dll.unloadDLL(nullptr, "libSoundFull.so");
    EXPECT_EQ(dll.handle(), nullptr);
    auto log = reinterpret_cast<const char* (*)()>(dlsym(keep, "tmCallLog"));
    EXPECT_STREQ(log(), "SDDeInitSound(1)\n");
    dlclose(keep);
    EXPECT_FALSE(isMapped(full));
    // Nothing left to unload is no failure.
    dll.unloadDLL(nullptr, "libSoundFull.so");
    dll.unloadDLL(nullptr);
    EXPECT_TRUE(msgs.texts.isEmpty());
}

TEST_F(SoundDLL, scanListsOnlyModulesWithADevice)
{
    EXPECT_EQ(dll.scanFolder(caseDir("one"), "libsound*.so"), 1);
    EXPECT_EQ(dll.dllList(), QStringList{"Full test module @ libSoundFull.so"});
    EXPECT_FALSE(dll.altDLLVisible());
    EXPECT_EQ(dll.handle(), nullptr);
    EXPECT_FALSE(isMapped(caseDir("one") + "libSoundFull.so"));

    // The mask ignores case; a module with output device only is listed.
    EXPECT_EQ(dll.scanFolder(caseDir("two"), "LIBSOUND*.SO"), 2);
    EXPECT_EQ(dll.dllList(), (QStringList{"Full test module @ libSoundFull.so",
                                          "Second module @ libsoundSecond.so"}));
    EXPECT_TRUE(dll.altDLLVisible());

    EXPECT_EQ(dll.scanFolder(caseDir("none"), "libSound*.so"), 0);
    EXPECT_EQ(dll.scanFolder(caseDir("does-not-exist"), "libSound*.so"), 0);
    EXPECT_FALSE(dll.altDLLVisible());
    EXPECT_TRUE(msgs.texts.isEmpty());
}

TEST_F(SoundDLL, entryFileName)
{
    EXPECT_EQ(TsoundDLLImpDyn::entryFileName("Full test module @ libSoundFull.so"), "libSoundFull.so");
    EXPECT_EQ(TsoundDLLImpDyn::entryFileName("libSoundFull.so"), "libSoundFull.so");
    EXPECT_EQ(TsoundDLLImpDyn::entryFileName(""), "");
    EXPECT_EQ(TsoundDLLImpDyn::entryFileName("x@"), "");
    // A description that contains an at sign itself still gives the file name.
    EXPECT_EQ(TsoundDLLImpDyn::entryFileName("Mic @ 96 kHz @ libSoundX.so"), "libSoundX.so");
}

TEST_F(SoundDLL, startupFallsBackFromStoredToDefaultToFirstListed)
{
    // The stored module is accepted through its output device alone.
    auto r = start("two", "libsoundSecond.so");
    EXPECT_EQ(r.action, eSoundStart::ssOK);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(fileName, "libsoundSecond.so");

    // Stored name gone, default missing: the first listed module.
    r = start("two", "libSoundGone.so");
    EXPECT_EQ(r.action, eSoundStart::ssOK);
    EXPECT_EQ(fileName, "libSoundFull.so");
    EXPECT_NE(dll.handle(), nullptr);

    // Stored name gone, default present.
    dll.setDefaultName("libsoundSecond.so");
    start("two", "libSoundGone.so");
    EXPECT_EQ(fileName, "libsoundSecond.so");

    // The default module loads but has no device (its server is not running): first listed.
    dll.setDefaultName("libSoundJack.so");
    r = start("fallback", "");
    EXPECT_EQ(r.action, eSoundStart::ssOK);
    EXPECT_EQ(fileName, "libSoundFull.so");
    EXPECT_TRUE(msgs.texts.isEmpty());

    // Without a scan the count is 1.
    r = start("one", "libSoundFull.so", false);
    EXPECT_EQ(r.action, eSoundStart::ssOK);
    EXPECT_EQ(r.count, 1);
}

TEST_F(SoundDLL, startupCallOrderAndInitArguments)
{
    dll.setFolder(caseDir("one"));
    fileName = "libSoundFull.so";
    ASSERT_EQ(dll.startup(true, 0x123456, fileName).action, eSoundStart::ssOK);
    const QString log = callLog();
    const QString exe = QFileInfo("/proc/self/exe").canonicalFilePath();
    // (0x123456 AND 0xFFFFF000) OR 0x11 = 0x123011; the path carries a second NUL.
    const QStringList order{"SDDLLdescription(255,65536,empty)", "SDSetCallBack(1000," + caseDir("one") + ")",
                            "SDSetFuturePara(5,0)", "SDInitSound(" + QString::number(0x123011) + "," + exe + ",NUL)",
                            "SDDLLdescription(0,0,null)"};
    qsizetype at = 0;
    for (const QString& call : order) {
        const qsizetype found = log.indexOf(call + "\n", at);
        EXPECT_GE(found, at) << qPrintable(call) << " in\n" << qPrintable(log);
        at = std::max(found, at);
    }
    EXPECT_FALSE(log.contains("dirty")); // text buffers are emptied before every query
}

TEST_F(SoundDLL, startupMessages)
{
    EXPECT_EQ(start("current", "libSoundCurrent.so").action, eSoundStart::ssOK);
    EXPECT_TRUE(msgs.texts.isEmpty());

    EXPECT_EQ(start("old", "libSoundOld.so").action, eSoundStart::ssOK);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    start("old", "libSoundOld.so");
    EXPECT_EQ(msgs.texts, (QStringList{
        "Error|Wrong Sound DLL Version\rVelmora requires V4.16\rcurrently available is V4.15",
        "Error|Wrong Sound DLL Version\rVelmora requires V4,16\rcurrently available is V4,15"}));
    msgs.texts.clear();

    EXPECT_EQ(start("initfail", "libSoundInitFail.so").action, eSoundStart::ssCloseWindow);
    EXPECT_EQ(start("initfail4", "libSoundInitFail.so").action, eSoundStart::ssCloseWindow);
    EXPECT_EQ(msgs.texts, (QStringList{
        "Error|Error init Sound (In device 0: No sound, result: 3)\r\nsound card removed?",
        "Error|Error init Sound (In device 0:  result: 4)\r\nsound card removed?"}));
}

TEST_F(SoundDLL, noModuleTerminatesAndSetsTheIniAside)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("VELMORA_HOME", home.path().toUtf8());
    QFile ini(home.filePath("velmora30.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[MAIN]\nx=1\n");
    ini.close();

    for (const char* c : {"none", "empty"}) {
        const auto r = start(c, "libSoundNoDev.so");
        EXPECT_EQ(r.action, eSoundStart::ssTerminate);
        EXPECT_EQ(r.count, 0);
        EXPECT_EQ(msgs.texts.value(0), "Error|No sound card or sound DLL available----------------------- \r\n( in " +
                                           caseDir(c) + " ) !");
        msgs.texts.clear();
    }
    EXPECT_FALSE(QFile::exists(home.filePath("velmora30.ini")));
    QFile aside(home.filePath("COPY_as_FAILvelmora30.ini"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "[MAIN]\nx=1\n");

    // Without a scan there is no list to fall back on.
    EXPECT_EQ(start("none", "libSoundGone.so", false).action, eSoundStart::ssTerminate);
    EXPECT_EQ(msgs.texts, QStringList{"Error|No sound card or sound DLL available !(2)"});
    qunsetenv("VELMORA_HOME");
}

TEST_F(SoundDLL, guardsWithoutAUsableModule)
{
    // Usable (before any load) but nothing bound: neutral values, nothing crashes.
    int marker = 0;
    EXPECT_EQ(dll.SDgetSoundStatus(), 24);
    EXPECT_EQ(dll.SDSetCallBack(5, &marker), &marker);
    EXPECT_EQ(dll.SDStartSoundIn(1), 0);
    EXPECT_EQ(dll.SDInitSound(0x11, u"x"), 0);
    EXPECT_EQ(dll.SDgetSoundOutAdr(1), nullptr);
    EXPECT_EQ(dll.inSampleRate(), 0);
    EXPECT_DOUBLE_EQ(dll.samplesToMs(1000), 0.0); // no rate: 0, not infinity

    // Not usable: the not-loaded code, whose low byte shows both error bits.
    dll.setUsable(false);
    const int32_t st = dll.SDgetSoundStatus();
    EXPECT_EQ(st, 0x70010018);
    EXPECT_EQ(st & (SD_ST_IN_ERR | SD_ST_OUT_ERR), SD_ST_IN_ERR | SD_ST_OUT_ERR);
    EXPECT_EQ(dll.SDSetCallBack(5, &marker), reinterpret_cast<void*>(uintptr_t(0x70010018)));
    EXPECT_EQ(dll.errorText(st), "Sound IO(DLL) not available");

    // With a module loaded but marked unusable, guarded calls never reach it.
    ASSERT_TRUE(dll.loadDLL(caseDir("one") + "libSoundFull.so"));
    clearLog();
    dll.setUsable(false);
    EXPECT_EQ(dll.SDStartSoundOut(1), 0x70010018);
    EXPECT_NE(dll.SDgetSoundInAdr(1), nullptr); // unguarded
    EXPECT_EQ(callLog(), "SDgetSoundInAdr(1)\n");
    dll.setUsable(true);
    EXPECT_EQ(dll.SDSoundDlg(99), 0); // the module throws: contained
    EXPECT_EQ(dll.errorText(0x00210008), "module error 33");
}

TEST_F(SoundDLL, readAddressesSetsFlagsAndRegistersCallbacks)
{
    ASSERT_EQ(start("one", "libSoundFull.so").action, eSoundStart::ssOK);
    TwaveGO* go = dll.SDgetSoundOutAdr(1);
    TwaveGI* gi = dll.SDgetSoundInAdr(1);
    go->wfs.cpL = go->wfs.chch = go->wfs.mono = 1;
    go->wfs.oniL = go->wfs.monoOver = 0;
    gi->wfs.cpR = 1;
    gi->wfs.monoOver = 0;
    TsoundCallbacks cb;
    cb.inState = +[] {};
    cb.outText = +[] {};
    cb.outFilter = +[](double*, double*) {};
    cb.app = &cb;
    EXPECT_TRUE(dll.readAddresses(1, cb));
    EXPECT_EQ(dll.waveGO(), go);
    EXPECT_EQ(dll.waveGI(), gi);
    EXPECT_TRUE(dll.usable());
    EXPECT_EQ(go->wfs.cpL + go->wfs.chch + go->wfs.mono, 0);
    EXPECT_EQ(go->wfs.oniL + go->wfs.oniR + go->wfs.monoOver, 3);
    EXPECT_EQ(gi->wfs.cpR + gi->wfs.monoOver, 0);
    EXPECT_EQ(gi->wfs.oniL + gi->wfs.oniR, 2);
    auto registered = sym<void* (*)(int32_t)>("tmCallback");
    EXPECT_EQ(registered(1), reinterpret_cast<void*>(cb.inState));
    EXPECT_EQ(registered(3), nullptr);
    EXPECT_EQ(registered(4), reinterpret_cast<void*>(cb.outText));
    EXPECT_EQ(registered(6), reinterpret_cast<void*>(cb.outFilter));
    EXPECT_EQ(registered(200), &cb);

    // A count of 0 discards both records.
    EXPECT_FALSE(dll.readAddresses(0, cb));
    EXPECT_EQ(dll.waveGO(), nullptr);
    EXPECT_EQ(dll.waveGI(), nullptr);

    // Unloading forgets the records.
    EXPECT_TRUE(dll.readAddresses(1, cb));
    dll.unloadDLL(dll.handle());
    EXPECT_EQ(dll.waveGO(), nullptr);
    EXPECT_EQ(dll.waveGI(), nullptr);

    // No records, but the devices say "NO FUNCTION": still usable.
    ASSERT_EQ(start("nofunc", "libSoundNoFunc.so").action, eSoundStart::ssOK);
    EXPECT_FALSE(dll.readAddresses(1, cb));
    EXPECT_TRUE(dll.usable());
}

TEST_F(SoundDLL, shutdownOrderOnlyWhileUsable)
{
    ASSERT_EQ(start("one", "libSoundFull.so").action, eSoundStart::ssOK);
    clearLog();
    dll.shutdown(44);
    EXPECT_EQ(callLog(), "SDSetFuturePara(1,44)\nSDStartSoundOut(0)\nSDSetCallBack(5,null)\n"
                         "SDStartSoundIn(0)\nSDSetCallBack(0,null)\nSDDeInitSound(0)\n");
    clearLog();
    dll.setUsable(false);
    dll.shutdown(44);
    EXPECT_EQ(callLog(), "");
}

TEST_F(SoundDLL, formatTextsRatesAndBits)
{
    ASSERT_EQ(start("one", "libSoundFull.so").action, eSoundStart::ssOK);
    auto setFormat = sym<void (*)(int, const Twfs*)>("tmSetFormat");
    struct Case {
        Twfs w;
        const char* text;
        int bits;
    };
    Twfs extFloat = format(0xFFFE, 48000, 32, 32);
    const uint8_t floatGuid[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71};
    std::memcpy(extFloat.Wf.SubFormat, floatGuid, 16);
    Twfs extPcm = extFloat;
    extPcm.Wf.SubFormat[0] = 1;
    const Case cases[] = {
        {format(1, 44100, 16), "44100Hz 16Bit ", 16},
        {format(0xFFFE, 48000, 32, 24), "48000Hz 24Bit WDM", 24},
        {format(3, 96000, 32), "96000Hz float ", 32},
        {extFloat, "48000Hz float WDM", 32},
        {extPcm, "48000Hz 32Bit WDM", 32},
        {format(1, 192000, 64), "192000Hz float ", 64},
    };
    for (const Case& c : cases) {
        setFormat(1, &c.w);
        setFormat(0, &c.w);
        EXPECT_EQ(dll.inFormatText(), c.text);
        EXPECT_EQ(dll.outFormatText(), c.text);
        EXPECT_EQ(dll.inBits(), c.bits);
        EXPECT_EQ(dll.outSampleRate(), int(c.w.Wf.nSamplesPerSec));
        EXPECT_EQ(dll.inWDM(), c.w.Wf.wFormatTag == 0xFFFE);
    }
    EXPECT_EQ(dll.setInSampleRate(96000), 96000);
    EXPECT_EQ(dll.inSampleRate(), 96000);
}

TEST_F(SoundDLL, channelNamesKeepOnlyAvailableChannels)
{
    ASSERT_EQ(start("one", "libSoundFull.so").action, eSoundStart::ssOK);
    // Input channel 1 is unavailable; the search runs on past the channel count.
    EXPECT_EQ(dll.channelNames('I'), (QStringList{"In 0", "In 2"}));
    EXPECT_EQ(dll.channelNames('O'), (QStringList{"Out 0", "Out 1"}));
    // Nonsense counts from a module: nothing, or at most one range of indices.
    sym<void (*)(int32_t, int32_t)>("tmSetChannels")(-5, 100000);
    EXPECT_TRUE(dll.channelNames('I').isEmpty());
    const QStringList out = dll.channelNames('O');
    EXPECT_EQ(out.size(), 100);
    EXPECT_EQ(out.last(), "Out 99");
}

TEST_F(SoundDLL, samplesMillisecondsAndBlockLimit)
{
    ASSERT_EQ(start("one", "libSoundFull.so").action, eSoundStart::ssOK);
    dll.setInSampleRate(48000);
    EXPECT_NEAR(dll.samplesToMs(96000), 1000.0, 1e-9);
    EXPECT_NEAR(dll.samplesToMs(1), 1.0 / 96.0, 1e-12);
    EXPECT_EQ(dll.msToSamples(1000.0), 96000);
    EXPECT_EQ(dll.msToSamples(0.01), 1); // 0.96 rounds up
    EXPECT_EQ(dll.msToSamples(0.005), 0);
    // 0x100000 samples = 10922.67 ms at 48 kHz: 4 * 10922.
    EXPECT_EQ(dll.maxBlockLength(100000), 43688);
    EXPECT_EQ(dll.maxBlockLength(500), 500);
}

TEST_F(SoundDLL, defaultFolderBesideTheExecutable)
{
    TsoundDLLImpDyn fresh;
    const QString exeDir = QFileInfo(QFileInfo("/proc/self/exe").canonicalFilePath()).absolutePath();
    EXPECT_EQ(fresh.folder(), QDir::cleanPath(exeDir + "/../commonV3") + "/");
    fresh.setFolderName("other");
    EXPECT_TRUE(fresh.folder().endsWith("/other/"));
    EXPECT_FALSE(fresh.folder().contains(".."));
    EXPECT_EQ(fresh.defaultName(), "libSoundJack.so");
    EXPECT_TRUE(fresh.usable());
}

} // namespace
