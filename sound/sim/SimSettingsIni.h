// Reading and writing SoundSim.ini, the virtual bench's settings file.
#pragma once

#include "TSimSettings.h"

#include <QString>

// SoundSim.ini in the settings folder (which honours VELMORA_HOME).
QString simIniFileName();
// Reads the settings. Missing, non-numeric or out-of-range values give the defaults or are
// clamped; nothing is written. *notice gets a message for the user when the file could not
// be read at all (it is then empty otherwise). GUI thread.
TSimSettings simReadSettings(const QString& fileName, QString* notice);
// Writes the keys whose values differ between before and after, keeping everything else in
// the file. False, with the reason in *error, when the file could not be saved. GUI thread.
bool simWriteChanges(const QString& fileName, const TSimSettings& before, const TSimSettings& after,
                     QString* error);
