// Reading and writing SoundSim.ini, the virtual bench's settings file.
#include "SimSettingsIni.h"

#include "TSimModel.h"

#include <base/TMemIniFile.h>
#include <base/utils.h>

#include <QStringList>

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

// A value as shown in a message: at most 40 characters.
static QString shown(const QString& raw)
{
    return raw.size() > 40 ? raw.left(40) + QStringLiteral("...") : raw;
}

// One parameter into m; what is wrong with it goes to *problems when `tell`.
static void readParam(const TMemIniFile& ini, const TSimModelKind& k, const TSimParamInfo& p, bool tell,
                      TSimModelSettings& m, QStringList* problems)
{
    const QString section = QString::fromLatin1(k.section), key = QString::fromLatin1(p.key);
    if (!ini.ValueExists(section, key))
        return;
    const QString raw = ini.ReadString(section, key, QString()).trimmed();
    const std::string id = simKey(k.section, p.key);
    if (p.text) {
        m.texts[id] = raw.toStdString();
        return;
    }
    double v = 0;
    const QString where = QStringLiteral("[%1] %2").arg(section, key);
    if (!parseNumber(raw, &v)) {
        if (tell)
            problems->append(QStringLiteral("%1=\"%2\" is not a number; the default %3 is used.")
                                 .arg(where, shown(raw), QString::number(p.def)));
        return;
    }
    if (tell && simOutOfRange(p, v))
        problems->append(QStringLiteral("%1=%2 lies outside %3..%4; %5 is used.")
                             .arg(where, shown(raw), QString::number(p.min), QString::number(p.max),
                                  QString::number(simParam(TSimModelSettings{k.name, {{id, v}}, {}}, k, p))));
    m.params[id] = v;
}

// The kind and the parameters of every kind, each from its own section (so the dialog can
// switch kinds without losing values). Problems are told for the kind in use only.
static void readModel(const TMemIniFile& ini, TSimModelSettings& m, QStringList* problems)
{
    const QString kind = ini.ReadString(kModel, "Kind", "wire").trimmed().toLower();
    m.kind = kind.isEmpty() ? std::string("wire") : kind.toStdString();
    m.params.clear();
    m.texts.clear();
    const TSimModelKind* used = simFindModelKind(m.kind);
    if (!used)
        used = &simModelKinds().front();
    for (const TSimModelKind& k : simModelKinds())
        for (const TSimParamInfo& p : k.params)
            readParam(ini, k, p, &k == used, m, problems);
}

TSimSettings simReadSettings(const QString& fileName, QString* notice)
{
    TMemIniFile ini(fileName);
    TSimSettings s;
    QStringList problems;
    readDevice(ini, s);
    readModel(ini, s.model, &problems);
    if (notice) {
        *notice = ini.loadError(); // already says what happened and that defaults are used
        if (!problems.isEmpty())
            *notice = (notice->isEmpty() ? QString() : *notice + QLatin1Char(' ')) +
                      QStringLiteral("SoundSim.ini: ") + problems.join(QLatin1Char(' '));
    }
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
    const QString section = QString::fromLatin1(kind->section);
    for (const TSimParamInfo& p : kind->params) {
        if (p.text) {
            const std::string before = simText(b, kind->name, p.key), after = simText(a, kind->name, p.key);
            if (before != after)
                ini.WriteString(section, p.key, QString::fromStdString(after));
            continue;
        }
        const double before = simParam(b, *kind, p), after = simParam(a, *kind, p);
        if (before == after)
            continue;
        if (p.decimals == 0)
            ini.WriteInteger(section, p.key, int(after));
        else
            ini.WriteFloat(section, p.key, after);
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
