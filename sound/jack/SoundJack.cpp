// The 21 exported entry points of the JACK module.
#include "JackSettingsIni.h"
#include "TJackDevice.h"
#include "TJackDialog.h"

#include <TSoundEntryPoints.h>
#include <soundDLLTypes.h>

#include <QApplication>

namespace {

// The one device of this module. It exists before SDInitSound because the program queries
// descriptions while it scans the module folder without initialising anything.
TJackDevice& device()
{
    static TJackDevice d;
    return d;
}

} // namespace

SD_EXPORT int32_t SDInitSound(int32_t, const char16_t*)
{
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

SD_FORWARDING_ENTRY_POINTS(device)
