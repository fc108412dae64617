// Program-wide small services: folders, time texts, version and language, fonts in INI
// sections, timing, priority, window transparency, number and string helpers.
#pragma once

#include <QString>

// Folders. All returned folder names end with "/".
// The settings folder of a program name ("velmora30"): $VELMORA_HOME when set, else
// $XDG_CONFIG_HOME/<name>/ (default ~/.config/<name>/). Created when missing.
QString vlProgramDataFolder(const QString& name = QStringLiteral("velmora30"));
// The shared data folder (presets, zielkurve.cur, sonecor.dpf): $VELMORA_HOME when set, else
// $XDG_DATA_HOME/<name>/ (default ~/.local/share/<name>/). Created when missing.
QString vlCommonDataFolder(const QString& name = QStringLiteral("velmora30"));
// The folder that was current when the program started.
QString vlStartFolder();
// Moves file X in the settings folder of `name` to "COPY_as_FAIL" + X, then deletes X if
// it still exists. No messages.
void vlSetFileAside(const QString& name, const QString& fileName);
// True when the name, trimmed, contains no '*' and the file exists.
bool vlFileUsable(const QString& fileName);
