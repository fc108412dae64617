// Preset slots, preset files and the rules for finding, reading and executing one.
#include "app/Tpreset.h"

#include "base/TMemIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char* const kFactoryNames[kPresetSlots] = {"SPL1khz.atp",      "FreqResNoise.atp", "sweep_fast.atp",
                                                 "sweep_async.atp",  "freqResDirac.atp", "freqResMLS.atp"};

QString slotKey(const char* stem, int32_t n) { return QString::fromLatin1(stem) + QString::number(n); }

} // namespace

void Tpreset::SaveToIni(TMemIniFile& ini, const QString& Topic) const
{
    ini.WriteString(Topic, slotKey("Fname", Nummer), FFname);
    ini.WriteString(Topic, slotKey("FaHint", Nummer), FaHint);
}

void Tpreset::LoadfromIni(const TMemIniFile& ini, const QString& Topic, const QString& dataFolder)
{
    const QString factory = FactoryPresetName(Nummer);
    FFname = ini.ReadString(Topic, slotKey("Fname", Nummer), factory.isEmpty() ? QString() : dataFolder + factory);
    FaHint = ini.ReadString(Topic, slotKey("FaHint", Nummer), factory);
}

bool Tpreset::assign(const QString& name)
{
    if (name.isEmpty() || name.contains(u'*')) return false;
    const QFileInfo fi(name);
    FFname = fi.fileName();
    FaHint = fi.absoluteFilePath();
    return true;
}

QString FactoryPresetName(int n)
{
    return n >= 1 && n <= kPresetSlots ? QString::fromLatin1(kFactoryNames[n - 1]) : QString();
}

QString ClearedPresetName(const QString& dataFolder) { return dataFolder + QStringLiteral("*.atp"); }

ePresetExec resolvePresetName(const QString& name, const QString& currentPreset, QString* file)
{
    if (name.isEmpty()) return pexEmpty;
    if (name.contains(u'*')) return pexPattern;
    QFileInfo fi(name);
    const bool bare = fi.fileName() == name;
    if (bare && !fi.exists()) fi = QFileInfo(QDir(QFileInfo(currentPreset).absolutePath()), name);
    if (!fi.isFile()) return pexMissing;
    *file = fi.absoluteFilePath();
    return pexDone;
}

bool readPresetFile(const QString& file, TMemIniFile& ini, QString* why)
{
    const QFileInfo fi(file);
    if (fi.size() > kMaxPresetBytes) {
        *why = "it is larger than " + QString::number(kMaxPresetBytes) + " bytes";
        return false;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return false;
    }
    const QByteArray data = f.read(kMaxPresetBytes + 1);
    if (data.size() > kMaxPresetBytes) { // grew while being read
        *why = "it is larger than " + QString::number(kMaxPresetBytes) + " bytes";
        return false;
    }
    TMemIniFile read;
    if (!read.setBytes(data, why)) return false;
    if (!read.SectionExists("MAIN")) {
        *why = "it has no section [MAIN]; it is no settings file";
        return false;
    }
    ini.setText(read.text());
    return true;
}

int32_t presetMeasuringMode(const TMemIniFile& ini)
{
    const int32_t m = ini.ReadInteger("MAIN", "measuringmode", 1);
    return m >= 1 && m <= 12 ? m : 1;
}

void overlayIni(TMemIniFile& into, const TMemIniFile& from)
{
    for (const QString& section : from.ReadSections())
        for (const QString& key : from.ReadSection(section))
            into.WriteString(section, key, from.ReadString(section, key, QString()));
}
