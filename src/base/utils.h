// Program-wide small services: folders, time texts, version and language, fonts in INI
// sections, timing, priority, window transparency, number and string helpers.
#pragma once

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

class QPainter;
class TMemIniFile;

// ---- folders (GUI thread) -----------------------------------------------------------------
// All returned folder names end with "/".
// The settings folder of a program name ("velmora30"): $VELMORA_HOME when set, else
// $XDG_CONFIG_HOME/<name>/ (default ~/.config/<name>/). Created when missing. When it cannot
// be created, a warning is shown once per run (while vlDataFolderWarningAllowed()) and the
// shared data folder is used instead.
QString vlProgramDataFolder(const QString& name = QStringLiteral("velmora30"));
// The shared data folder (presets, zielkurve.cur, sonecor.dpf): $VELMORA_HOME when set, else
// $XDG_DATA_HOME/<name>/ (default ~/.local/share/<name>/). Created when missing.
QString vlCommonDataFolder(const QString& name = QStringLiteral("velmora30"));
// Copies every file of `source` (the factory data shipped with the program) that the data
// folder does not hold yet; files the user already has are never replaced. Returns the number
// of files copied.
int vlFillDataFolder(const QString& source, const QString& dataFolder = vlCommonDataFolder());
// The folder that was current when the program started.
QString vlStartFolder();
// Whether the settings-folder warning may still be shown; switched off after it was shown.
bool& vlDataFolderWarningAllowed();
// Moves file X in the settings folder of `name` to "COPY_as_FAIL" + X (replacing an older
// copy), then deletes X if it still exists. No messages. When X can be neither moved nor
// copied it stays where it is, so a failed file is never simply lost.
void vlSetFileAside(const QString& name, const QString& fileName);
// True when the name, trimmed, contains no '*' and names an existing file.
bool vlFileUsable(const QString& fileName);
// The first file matching `pattern` (wildcards * and ?, by name order) in the folder
// base + subFolder + (folderName, or "commonV3" when empty) + "/"; full path, or empty.
QString vlFindFile(const QString& base, const QString& subFolder, const QString& pattern,
                   const QString& folderName = QString());

// ---- version and language ---------------------------------------------------------------
// Parts of a version number major.minor.release.build; `known` false when there is none.
struct vlVersion {
    int major = 0;      // e.g. 3
    int minor = 0;      // e.g. 1
    int release = 0;    // 1 -> 'A', 2 -> 'B', 0 -> "ß"
    int build = 0;      // build counter
    bool known = false; // false: every part shows as "?"
};
// The program's own version (from the project version at build time).
vlVersion vlProgramVersion();
// "3.1B" for 3.1.2.x; "?" when unknown.
QString vlVersionText(const vlVersion& v);
// "V 3.1B Build 345 (64bit)"; the bit count is that of this build unless given.
QString vlVersionLine(const vlVersion& v, int pointerBits = int(sizeof(void*) * 8));
QString vlVersionLine();
// File name without extension and dots, plus the version text without dots unless the name
// already contains it (any case): "/p/My.Set.atp" -> "MySet30ß" for version 3.0.0.
QString vlVersionedBaseName(const QString& path, const vlVersion& v = vlProgramVersion());

// Upper-case native name of the locale's language ("DEUTSCH", "ENGLISH").
QString vlLanguageName(const QLocale& l = QLocale::system());
// True when the locale's language is German.
bool vlIsGerman(const QLocale& l = QLocale::system());
// The user-interface language code: 'D' (68) for German, else 'E' (69).
char vlLanguageCode(const QLocale& l = QLocale::system());

// Operating-system name: PRETTY_NAME (else NAME) of /etc/os-release (or
// /usr/lib/os-release); "OS Unknown" when neither can be read.
QString vlOSName();
// The same from the text of an os-release file.
QString vlOSNameFromOsRelease(const QString& content);

// ---- time texts (any thread) --------------------------------------------------------------
// Mode 0 "09:05:03,007"; mode 1 " 7. 3.2024 09:05:03" (the date keeps its blanks);
// other modes "SuperNow.. no Parameter".
QString vlTimeText(int mode, const QDateTime& t);
QString vlTimeText(int mode);
// "_2024_03_07_09-05-03", for file names.
QString vlFileTimeStamp(const QDateTime& t);
QString vlFileTimeStamp();
// "2024 03 07 09:05:03,007".
QString vlFullTimeStamp(const QDateTime& t);

// ---- fonts in INI sections ----------------------------------------------------------------
// A font as the settings store it: face, size and style in `font`, plus colour and charset.
struct vlFontInfo {
    QFont font;      // face, size in points, bold/italic/underline/strike-out
    int color = 0;   // 0x00BBGGRR
    int charSet = 1; // kept for the settings file; fonts here are Unicode anyway
};
// Keys "Name", "CharSet", "Color", "Size" (points), "Style" (bit 0 bold, 1 italic,
// 2 underline, 3 strike-out).
void vlWriteFont(TMemIniFile& ini, const QString& section, const vlFontInfo& f);
// Missing keys keep the current values, except the face, which defaults to "Arial".
// A size below 1 point is ignored.
void vlReadFont(const TMemIniFile& ini, const QString& section, vlFontInfo& f);

// Draws `text` in black with a transparent background, its top left corner at (x, y),
// rotated counter-clockwise by `angleDeg` degrees about that point; face and pixel height
// from `font`, weight 700 when bold else 500, italic as the font. The painter's state is
// restored afterwards. GUI thread, or any thread painting into a QImage.
void vlDrawRotatedText(QPainter& p, int x, int y, const QString& text, const QFont& font, double angleDeg);

// ---- timing and waiting (GUI thread) --------------------------------------------------------
// Stop-watch on the steady clock: start, then milliseconds since that start.
void vlTimerStart();
double vlTimerStop();          // ms since vlTimerStart(), also kept as the last stop
double vlMsSinceTimerStart();  // ms since vlTimerStart(), without stopping
QString vlStopWatchText(double ms); // "12.345ms"
// Waits `ms` milliseconds while handling events; vlNotWaiting() is false meanwhile (the main
// window refuses to close then). Returns early when the application is shutting down.
void vlWaitMs(int ms);
bool vlNotWaiting();
// Handles all pending events, then returns.
void vlProcessMessages();

// Process priority: 1 above normal (nice -5), -1 below normal (nice 5), else normal (0).
// Raising needs privileges; a refusal is ignored. Returns whether the value was applied.
int vlNiceValue(int level);
bool vlSetPriority(int level);

// Window transparency: percent clamped to 0..100; the window alpha 0..255 to set, or
// std::nullopt at 100 (the window stays as it is, opaque unless made translucent before).
std::optional<int> vlWindowAlpha(int percent);

// ---- numbers and strings (any thread) -----------------------------------------------------
double vlPow10(double x);
// Truncation toward zero (2.7 -> 2, -2.7 -> -2, 3 -> 3); NaN gives 0, huge values saturate.
int64_t vlRoundTowardZero(double x);
// Blanks trimmed, "," read as "."; std::nullopt for anything that is not a finite number.
std::optional<double> vlParseNumber(const QString& s);
QString vlCommaToDot(const QString& s);
QString vlRemoveChar(const QString& s, QChar c);
QString vlRemoveBlanks(const QString& s);
QString vlTrimBlanks(const QString& s); // leading and trailing blanks and control characters
QString vlDropLast(const QString& s);
QString vlRemoveNul(const QString& s);
// Hexadecimal digits (either case, blanks around allowed, no prefix) to a number; std::nullopt
// for an empty text, any other character, or a value above INT64_MAX.
std::optional<int64_t> vlHexToInt(const QString& s);
// Decimal separator for text exports: taken from the user's locale by
// vlRefreshExportDecimalSeparator() before each diagram export.
QString vlExportDecimalSeparator();
void vlRefreshExportDecimalSeparator(const QLocale& l = QLocale::system());
