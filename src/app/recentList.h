// The list of recently used preset files: its rules and its history file "PresetHist.ini".
#pragma once

#include <QString>
#include <QStringList>

class TMemIniFile;

constexpr int kRecentEntries = 10; // entries kept, most recent first

// Section "HISTORY", keys "ENTRY0".."ENTRY9"; empty entries are skipped.
QStringList readRecentList(const TMemIniFile& ini);
// Writes all ten keys, empty strings for unused places.
void writeRecentList(TMemIniFile& ini, const QStringList& list);

// Puts name at the top; a name holding '*' is refused (false, list unchanged).
bool addRecentName(QStringList& list, const QString& name);
// What the menu is built from: further copies of entry 0 removed, cut to kRecentEntries.
void tidyRecentList(QStringList& list);

// A menu caption showing name as it is ('&' doubled, so none becomes an accelerator), and the
// name a caption executes: an accelerator '&' (one the platform may have added) dropped and
// "&&" read as '&'.
QString recentCaption(const QString& name);
QString recentNameFromCaption(const QString& caption);
