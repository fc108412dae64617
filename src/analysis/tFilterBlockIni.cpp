// Reading and writing filter blocks and the process-wide block set in INI files.
#include "analysis/tFilterBlockIni.h"

#include "analysis/IIR_objIni.h"
#include "base/TMemIniFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

bool flush(TMemIniFile& ini, QString* error)
{
    QString why;
    if (ini.UpdateFile(&why))
        return true;
    if (error)
        *error = why;
    return false;
}

void writeBlockKeys(const tFilterBlock& b, TMemIniFile& ini, const QString& s)
{
    ini.WriteBool(s, QStringLiteral("ByPass"), b.bypass);
    ini.WriteInteger(s, QStringLiteral("delay_samps"), b.Delay_samps);
    ini.WriteFloat(s, QStringLiteral("LeveldB"), b.fLeveldB);
    ini.WriteFloat(s, QStringLiteral("LevLin"), b.fLevLin);
    ini.WriteBool(s, QStringLiteral("cpl"), b.fcpL);
    ini.WriteBool(s, QStringLiteral("oniL"), b.foniL);
}

// Block keys in the stored order; values no new block could hold fall back to its defaults.
void readBlockKeys(tFilterBlock& b, TMemIniFile& ini, const QString& s)
{
    b.bypass = ini.ReadBool(s, QStringLiteral("ByPass"), true);
    b.Delay_samps = std::clamp(ini.ReadInteger(s, QStringLiteral("delay_samps"), 0), 0,
                               tFilterBlock::kMaxDelay);
    const double lin = ini.ReadFloat(s, QStringLiteral("LevLin"), 1.0);
    b.fLevLin = lin >= 0.0 ? lin : 1.0; // a negative factor would be a hidden polarity flip
    const double db = ini.ReadFloat(s, QStringLiteral("LeveldB"), 0.0);
    b.fLeveldB = db <= 0.0 ? db : 0.0;
    b.SetInverted(ini.ReadBool(s, QStringLiteral("cpl"), false));
    b.SetOutputOn(ini.ReadBool(s, QStringLiteral("oniL"), true)); // recomputes ffak
}

} // namespace

bool SavetoIniMem(const tFilterBlock& block, TMemIniFile& ini, const QString& section,
                  QString* error)
{
    writeBlockKeys(block, ini, section);
    bool ok = flush(ini, error);
    for (int i = 0; i < tFilterBlock::kFilters; ++i)
        SaveToIniMem(block.aEq[size_t(i)], ini, section, i);
    return flush(ini, error) && ok;
}

void LoadfromIniMem(tFilterBlock& block, TMemIniFile& ini, const QString& section)
{
    readBlockKeys(block, ini, section);
    block.Delaybuffer.fill(0.0);
    for (int i = 0; i < tFilterBlock::kFilters; ++i) {
        TIIRObj& f = block.aEq[size_t(i)];
        LoadFromIniMem(f, ini, section, i);
        f.ClearData();
    }
}

bool saveToIni(const tFilterBlock& block, const QString& fileName, const QString& section,
               QString* error)
{
    TMemIniFile ini(fileName);
    if (!ini.loadError().isEmpty()) {
        if (error)
            *error = ini.loadError();
        return false;
    }
    return SavetoIniMem(block, ini, section, error);
}

bool loadFromIni(tFilterBlock& block, const QString& fileName, const QString& section,
                 QString* error)
{
    TMemIniFile ini(fileName);
    if (!ini.loadError().isEmpty()) {
        if (error)
            *error = ini.loadError();
        return false;
    }
    LoadfromIniMem(block, ini, section);
    return true;
}

void loadFilterBlocks(tFilterBlockSet& set, TMemIniFile& ini)
{
    LoadfromIniMem(set.inpLeft, ini, kSecInpLeft);
    LoadfromIniMem(set.inpRight, ini, kSecInpRight);
    set.linkInFromEQL = ini.ReadBool(kSecInpFilter, QStringLiteral("LinkInFromEQL"), true);
    LoadfromIniMem(set.outLeft, ini, kSecOutLeft);
    LoadfromIniMem(set.outRight, ini, kSecOutRight);
    set.linkOutFromEQL = ini.ReadBool(kSecOutFilter, QStringLiteral("LinkOutFromEQL"), true);
}

void writeFilterBlocks(const tFilterBlockSet& set, TMemIniFile& ini)
{
    auto put = [&](const tFilterBlock& b, const QString& s) {
        writeBlockKeys(b, ini, s);
        for (int i = 0; i < tFilterBlock::kFilters; ++i)
            SaveToIniMem(b.aEq[size_t(i)], ini, s, i);
    };
    put(set.inpLeft, kSecInpLeft);
    put(set.inpRight, kSecInpRight);
    ini.WriteBool(kSecInpFilter, QStringLiteral("LinkInFromEQL"), set.linkInFromEQL);
    put(set.outLeft, kSecOutLeft);
    put(set.outRight, kSecOutRight);
    ini.WriteBool(kSecOutFilter, QStringLiteral("LinkOutFromEQL"), set.linkOutFromEQL);
}

bool saveFilterBlocks(const tFilterBlockSet& set, TMemIniFile& ini, QString* error)
{
    writeFilterBlocks(set, ini);
    return flush(ini, error);
}
