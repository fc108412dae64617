// The 21 exported entry points of the virtual bench module.
#include "SimSettingsIni.h"
#include "TSimDevice.h"
#include "TSimDialog.h"

#include <TSoundEntryPoints.h>
#include <soundDLLTypes.h>

#include <QApplication>

namespace {

// The one bench of this module. It exists before SDInitSound because the program queries
// descriptions while it scans the module folder without initialising anything.
TSimDevice& bench()
{
    static TSimDevice device;
    return device;
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
    loadSettings();
    return 0;
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

SD_FORWARDING_ENTRY_POINTS(bench)
