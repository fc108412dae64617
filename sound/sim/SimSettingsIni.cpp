// Reading and writing SoundSim.ini, the virtual bench's settings file.
#include "SimSettingsIni.h"

#include "TSimModel.h"

#include <app/TMemIniFile.h>
#include <app/utils.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

static const QString kDevice = QStringLiteral("Device");
static const QString kModel = QStringLiteral("Model");

QString simIniFileName()
{
    return vlProgramDataFolder() + QStringLiteral("SoundSim.ini");
}

// A number written with "." or "," as decimal point; false when the text is none.
static bool parseNumber(QString text, double* value)
{
    bool ok = false;
    *value = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(*value);
}

// An integer key; fractions are cut and huge values saturate, so they clamp afterwards.
static long long readInt(const TMemIniFile& ini, const QString& section, const QString& key, long long def)
{
    const QString text = ini.ReadString(section, key, QString()).trimmed();
    bool ok = false;
    const long long v = text.toLongLong(&ok);
    if (ok)
        return v;
    double d = 0;
    if (!parseNumber(text, &d))
        return def;
    return std::llround(std::clamp(std::trunc(d), -1e18, 1e18));
}

static void readDevice(const TMemIniFile& ini, TSimSettings& s)
{
    s.sampleRate = simRateOrDefault(readInt(ini, kDevice, "SampleRate", 48000));
    s.bits = simBitsOrDefault(readInt(ini, kDevice, "Bits", 24));
    s.inChannels = simClampChannels(readInt(ini, kDevice, "InputChannels", 2));
    s.outChannels = simClampChannels(readInt(ini, kDevice, "OutputChannels", 2));
    const QString pacing = ini.ReadString(kDevice, "Pacing", "realtime").trimmed();
    s.pacing = pacing.compare("fast", Qt::CaseInsensitive) == 0 ? TSimPacing::fast : TSimPacing::realtime;
    s.blockFrames = simClampBlock(readInt(ini, kDevice, "BlockFrames", 1024));
    s.seed = uint32_t(std::clamp<long long>(readInt(ini, kDevice, "Seed", 1), 0, UINT32_MAX));
}

static void readModel(const TMemIniFile& ini, TSimModelSettings& m)
{
    const QString kind = ini.ReadString(kModel, "Kind", "wire").trimmed().toLower();
    m.kind = kind.isEmpty() ? std::string("wire") : kind.toStdString();
    m.params.clear();
    for (const QString& key : ini.ReadSection(kModel)) {
        double v = 0;
        if (key.compare("Kind", Qt::CaseInsensitive) != 0 && parseNumber(ini.ReadString(kModel, key, QString()), &v))
            m.params[key.toLower().toStdString()] = v;
    }
}

TSimSettings simReadSettings(const QString& fileName, QString* notice)
{
    TMemIniFile ini(fileName);
    if (notice)
        *notice = ini.loadError(); // already says what happened and that defaults are used
    TSimSettings s;
    readDevice(ini, s);
    readModel(ini, s.model);
    return s;
}

static void writeDevice(TMemIniFile& ini, const TSimSettings& b, const TSimSettings& a)
{
    auto put = [&](const char* key, int before, int after) {
        if (before != after)
            ini.WriteInteger(kDevice, key, after);
    };
    put("SampleRate", b.sampleRate, a.sampleRate);
    put("Bits", b.bits, a.bits);
    put("InputChannels", b.inChannels, a.inChannels);
    put("OutputChannels", b.outChannels, a.outChannels);
    put("BlockFrames", b.blockFrames, a.blockFrames);
    if (b.seed != a.seed)
        ini.WriteString(kDevice, "Seed", QString::number(a.seed));
    if (b.pacing != a.pacing)
        ini.WriteString(kDevice, "Pacing", a.pacing == TSimPacing::fast ? "fast" : "realtime");
}

static void writeModel(TMemIniFile& ini, const TSimModelSettings& b, const TSimModelSettings& a)
{
    if (b.kind != a.kind)
        ini.WriteString(kModel, "Kind", QString::fromStdString(a.kind));
    const TSimModelKind* kind = simFindModelKind(a.kind);
    if (!kind)
        return;
    for (const TSimParamInfo& p : kind->params) {
        const double before = simParam(b, p), after = simParam(a, p);
        if (before == after)
            continue;
        if (p.decimals == 0)
            ini.WriteInteger(kModel, p.key, int(after));
        else
            ini.WriteFloat(kModel, p.key, after);
    }
}

bool simWriteChanges(const QString& fileName, const TSimSettings& before, const TSimSettings& after, QString* error)
{
    if (before == after)
        return true;
    TMemIniFile ini(fileName);
    writeDevice(ini, before, after);
    writeModel(ini, before.model, after.model);
    return ini.UpdateFile(error);
}
