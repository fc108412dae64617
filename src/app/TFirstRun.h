// The first start: the settings file seeded from the factory settings shipped with the program.
#pragma once

#include <QString>

// What the start found in place of the settings file.
enum class eSettingsSeed : unsigned char {
    userFile,  // a settings file exists: it is the user's and stays as it is
    seeded,    // there was none: the factory settings were copied in its place
    notSeeded  // there was none and the factory file could not be used: read defaults apply
};

// Largest factory settings file taken, bytes; anything larger is no factory file.
constexpr qint64 kMaxFactoryBytes = 1024 * 1024;

// When settingsFile does not exist, copies factoryFile there. The factory file must be INI text
// (UTF-8, no NUL bytes, at most kMaxFactoryBytes); otherwise nothing is written and *error says
// why (a missing factory file leaves *error empty: the program may ship without one). The copy
// goes to a temporary file first and is renamed into place, and a rename never replaces a file,
// so a settings file that appeared meanwhile is not overwritten and none is ever torn.
// GUI thread, before the main window reads the settings.
eSettingsSeed seedSettingsFile(const QString& settingsFile, const QString& factoryFile,
                               QString* error = nullptr);

// The factory settings file beside the program: <program folder>/../data/factory/velmora30.ini.
QString factorySettingsFile(const QString& programFolder);
