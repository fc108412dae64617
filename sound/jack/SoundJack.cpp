// The 21 exported entry points of the JACK module.
#include "JackSettingsIni.h"
#include "TJackDevice.h"
#include "TJackDialog.h"

#include <TSoundEntryPoints.h>
#include <soundDLLTypes.h>

#include <QApplication>

#include <dlfcn.h>

namespace {

// The one device of this module. It exists before SDInitSound because the program queries
// descriptions while it scans the module folder without initialising anything.
TJackDevice& device()
{
    static TJackDevice d;
    return d;
}

std::u16string moduleFile()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&device), &info) || !info.dli_fname)
        return {};
    return QString::fromLocal8Bit(info.dli_fname).toStdU16String();
}

} // namespace

SD_EXPORT int32_t SDInitSound(int32_t, const char16_t*)
{
    device().setModuleFile(moduleFile());
    QString notice;
    const TJackSettings s = jackReadSettings(jackIniFileName(), &notice);
    return device().init(s, notice.toStdString());
}

SD_EXPORT int32_t SDSampleFreqValid(int32_t rate)
{
    return device().rateValid(rate) ? 1 : 0;
}

// Every dialog kind opens the same dialog. Needs a QApplication; without one nothing happens.
SD_EXPORT int32_t SDSoundDlg(int32_t)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return 0;
    const TJackSettings before = device().settings();
    TJackDialog dialog(before, device().engine().serverPorts(true), device().engine().serverPorts(false),
                       QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    const TJackSettings after = dialog.result();
    if (after == before)
        return 0;
    QString error;
    const bool saved = jackWriteSettings(jackIniFileName(), after, &error);
    device().apply(after, saved ? std::string() : ("SoundJack.ini could not be saved: " + error).toStdString());
    return 1;
}

SD_EXPORT int32_t SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code)
{
    if (code == SD_Q_FILENAME)
        device().setModuleFile(moduleFile());
    return device().description(text, maxLen, code);
}

SD_FORWARDING_ENTRY_POINTS(device)
