// The virtual bench loaded as the sound module, for tests that drive a measurement directly.
#pragma once

#include "core/soundDLLImpDyn.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Points VELMORA_HOME at home, writes the bench's settings (the text of SoundSim.ini) there and
// loads the bench with the test's callbacks.
inline ::testing::AssertionResult startBenchModule(const QTemporaryDir& home, const QByteArray& simIni,
                                                   const TsoundCallbacks& cb = {})
{
    qputenv("VELMORA_HOME", home.path().toUtf8());
    QFile f(home.filePath("SoundSim.ini"));
    if (!f.open(QIODevice::WriteOnly) || f.write(simIni) != simIni.size())
        return ::testing::AssertionFailure() << "cannot write " << f.fileName().toStdString();
    f.close();
    resetSoundDLL();
    soundDLL().setFolder(VELMORA_MODULE_DIR);
    QString module = "libSoundSim.so";
    const TsoundStartResult r = soundDLL().startup(false, TsoundDLLImpDyn::kStartFlags, module);
    if (r.action != eSoundStart::ssOK)
        return ::testing::AssertionFailure() << "the bench did not start";
    if (!soundDLL().readAddresses(r.count, cb))
        return ::testing::AssertionFailure() << "the bench's entry points are missing";
    return ::testing::AssertionSuccess();
}
