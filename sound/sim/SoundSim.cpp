// The 21 exported entry points of the virtual bench module.
#include "SimSettingsIni.h"
#include "TSimDevice.h"
#include "TSimDialog.h"

#include <soundDLLTypes.h>

#include <QApplication>

#include <dlfcn.h>

#define SD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The one bench of this module. It exists before SDInitSound because the program queries
// descriptions while it scans the module folder without initialising anything.
TSimDevice& bench()
{
    static TSimDevice device;
    return device;
}

// This module's file name, as the dynamic loader knows it.
std::u16string moduleFile()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&bench), &info) || !info.dli_fname)
        return {};
    return QString::fromLocal8Bit(info.dli_fname).toStdU16String();
}

// Reads SoundSim.ini and applies it.
void loadSettings()
{
    QString notice;
    TSimSettings s = simReadSettings(simIniFileName(), &notice);
    bench().init(s, notice.toStdString());
}

} // namespace

SD_EXPORT int32_t SDInitSound(int32_t, const char16_t*)
{
    bench().setModuleFile(moduleFile());
    loadSettings();
    return 0;
}

SD_EXPORT int32_t SDDeInitSound(int32_t)
{
    return bench().deinit();
}

SD_EXPORT int32_t SDStartSoundOut(int32_t start)
{
    return bench().startOut((start & 0xFF) == 1);
}

SD_EXPORT TwaveGO* SDgetSoundOutAdr(int32_t)
{
    return bench().outRecord();
}

SD_EXPORT TwaveGI* SDgetSoundInAdr(int32_t)
{
    return bench().inRecord();
}

SD_EXPORT int32_t SDStartSoundIn(int32_t start)
{
    return bench().startIn((start & 0xFF) == 1);
}

SD_EXPORT void* SDSetCallBack(int32_t id, void* pointer)
{
    return bench().setCallback(id, pointer);
}

SD_EXPORT int32_t SDgetSoundStatus(void)
{
    return bench().status();
}

SD_EXPORT int32_t SDgetsoundDats(int32_t* first, int32_t* second, TsmView** buffer)
{
    return bench().soundDats(first, second, buffer);
}

SD_EXPORT int32_t SDgetwaveFormatIn(Twfs* wfs)
{
    return bench().waveFormat(wfs, true);
}

SD_EXPORT int32_t SDgetwaveFormatOut(Twfs* wfs)
{
    return bench().waveFormat(wfs, false);
}

SD_EXPORT int32_t SDsetwaveFormatIn(Twfs* result, Twfs wfs)
{
    return bench().setWaveFormat(result, wfs, true);
}

SD_EXPORT int32_t SDsetwaveFormatOut(Twfs* result, Twfs wfs)
{
    return bench().setWaveFormat(result, wfs, false);
}

SD_EXPORT int32_t SDSampleFreqValid(int32_t rate)
{
    return simRateValid(rate) ? 1 : 0;
}

// Every dialog kind opens the same dialog. Needs a QApplication; without one nothing happens.
SD_EXPORT int32_t SDSoundDlg(int32_t)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return 0;
    const TSimSettings before = bench().settings();
    TSimSettings after = before;
    if (!TSimDialog::edit(after, QApplication::activeWindow()))
        return 0;
    QString error;
    const bool saved = simWriteChanges(simIniFileName(), before, after, &error);
    bench().apply(after, saved ? std::string() : ("SoundSim.ini could not be saved: " + error).toStdString());
    return 1;
}

SD_EXPORT int32_t SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code)
{
    if (code == SD_Q_FILENAME)
        bench().setModuleFile(moduleFile());
    return bench().description(text, maxLen, code);
}

SD_EXPORT int32_t SDDLLErrorStr(int32_t code, char16_t* text, int32_t maxLen)
{
    return bench().errorText(code, text, maxLen);
}

SD_EXPORT int32_t SDSetFuturePara(int32_t id, int32_t value)
{
    return bench().setFuturePara(id, value);
}

SD_EXPORT int32_t SDGetFuturePara(int32_t id)
{
    return bench().getFuturePara(id);
}

SD_EXPORT int32_t SDgetSoundDatsPropsCH(int32_t* inChannels, int32_t* outChannels)
{
    return bench().channelCounts(inChannels, outChannels);
}

SD_EXPORT int32_t SDgetSoundDatsCH(TsmView** buffers, int32_t lastIndex)
{
    return bench().fetch(buffers, lastIndex);
}
