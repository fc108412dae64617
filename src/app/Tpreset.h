// Preset slots, preset files and the rules for finding, reading and executing one.
#pragma once

#include <QString>
#include <cstdint>

class TMemIniFile;

constexpr int kPresetSlots = 6; // slots 1..6

// Result of executing a preset (execPresetN).
enum ePresetExec : int {
    pexDone = 0,      // executed
    pexEmpty = 1,     // empty name
    pexPattern = 2,   // the name holds '*' (the cleared state "*.atp" among others)
    pexMissing = 3,   // no such file; no message is shown
    pexUnreadable = 4 // the file is no preset (not INI text, too large, no "MAIN"); the user was told
};

// One preset slot: a preset file and the hint its button shows. Plain data; GUI thread only.
struct Tpreset {
    QString FFname; // preset file: a full path, or a file name taken in the current preset's folder
    QString FaHint; // hint of the slot's button (the full path once assigned)
    int32_t Nummer = 0; // slot number 1..6

    // Keys "Fname" + n and "FaHint" + n of section Topic.
    void SaveToIni(TMemIniFile& ini, const QString& Topic) const;
    // The same keys; a missing "Fname" gives the factory preset in dataFolder, a missing
    // "FaHint" the factory file name.
    void LoadfromIni(const TMemIniFile& ini, const QString& Topic, const QString& dataFolder);
    // Assigns a chosen file: a name that is not empty and has no '*' sets FFname to its file
    // name and FaHint to the full path and returns true; any other name changes nothing and
    // returns false (the button's hint is switched off).
    bool assign(const QString& name);
};

// Factory preset file of slot n (1..6): "SPL1khz.atp", ...; empty for any other n.
QString FactoryPresetName(int n);
// The current preset name of the cleared state: dataFolder + "*.atp".
QString ClearedPresetName(const QString& dataFolder);

// Finds the file a preset name means. An empty name gives pexEmpty, a name with '*'
// pexPattern. A bare file name that does not exist as given is looked for in the folder of
// currentPreset. When the file exists its absolute path goes to *file and the result is
// pexDone, else pexMissing.
ePresetExec resolvePresetName(const QString& name, const QString& currentPreset, QString* file);

// Largest preset file read, bytes.
constexpr qint64 kMaxPresetBytes = 4 * 1024 * 1024;

// Reads a preset file into ini (whose content is replaced). The file must be INI text (UTF-8,
// no NUL bytes, at most kMaxPresetBytes) with a section "MAIN"; otherwise false, ini unchanged,
// the file untouched and *why says what is wrong.
bool readPresetFile(const QString& file, TMemIniFile& ini, QString* why);

// The measuring mode a preset switches to: "MAIN"/"measuringmode", 1 when missing or outside
// 1..12.
int32_t presetMeasuringMode(const TMemIniFile& ini);

// Copies every key of every section of `from` into `into`, replacing what `into` holds there.
void overlayIni(TMemIniFile& into, const TMemIniFile& from);
