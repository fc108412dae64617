// Reading and writing SoundJack.ini, the JACK module's settings file.
#pragma once

#include "TJackSettings.h"

#include <QString>

// SoundJack.ini in the settings folder (which honours VELMORA_HOME).
QString jackIniFileName();
// Reads the settings. Missing or unusable values give the defaults, counts are clamped; nothing
// is written. *notice gets a message for the user about the file or values that were not
// usable (empty when everything was fine). GUI thread.
TJackSettings jackReadSettings(const QString& fileName, QString* notice);
// Writes the settings, keeping every other key in the file. False, with the reason in *error,
// when the file could not be saved. GUI thread.
bool jackWriteSettings(const QString& fileName, const TJackSettings& settings, QString* error);
