// Reading and writing filter blocks and the process-wide block set in INI files.
#pragma once

#include "dsp/tFilterBlock.h"

#include <QString>

class TMemIniFile;

// Section names of the four process-wide blocks and of the link flags in the settings file.
inline const QString kSecInpLeft = QStringLiteral("Inpleft");
inline const QString kSecInpRight = QStringLiteral("Inpright");
inline const QString kSecOutLeft = QStringLiteral("Outleft");
inline const QString kSecOutRight = QStringLiteral("Outright");
inline const QString kSecInpFilter = QStringLiteral("InpFilter");
inline const QString kSecOutFilter = QStringLiteral("OutFilter");

// A block in `section` of an open INI: the block keys, then filter i in section + "_" + i.
// Saving writes the file after the block keys and again after the filters; false when a
// write failed (*error says why). Loading replaces unreadable or out-of-range values by the
// defaults of a new block (delay clamped to 0..119, a level above 0 dB ignored), redesigns the
// filters and clears their state. GUI thread only (the INI object is not thread-safe). The
// filters' loader writes the text it read back into the INI object (not to the file).
bool SavetoIniMem(const tFilterBlock& block, TMemIniFile& ini, const QString& section,
                  QString* error = nullptr);
void LoadfromIniMem(tFilterBlock& block, TMemIniFile& ini, const QString& section);

// The same on a file by name. Loading a file that cannot be read leaves the block unchanged
// and returns false with the reason in *error.
bool saveToIni(const tFilterBlock& block, const QString& fileName, const QString& section,
               QString* error = nullptr);
bool loadFromIni(tFilterBlock& block, const QString& fileName, const QString& section,
                 QString* error = nullptr);

// The four blocks and the link flags, in the order Inpleft, Inpright, input link, Outleft,
// Outright, output link. Saving writes the file at the end.
void loadFilterBlocks(tFilterBlockSet& set, TMemIniFile& ini);
bool saveFilterBlocks(const tFilterBlockSet& set, TMemIniFile& ini, QString* error = nullptr);
// The same in memory only, for a caller that writes the file itself.
void writeFilterBlocks(const tFilterBlockSet& set, TMemIniFile& ini);
