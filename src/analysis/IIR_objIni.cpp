// Storage of IIR filter settings in INI files, and the filters' message hook into the message service.
#include "analysis/IIR_objIni.h"

#include "dsp/IIR_obj_D.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QFile>

#include <cmath>

namespace {

QString sectionName(const QString& Section, int Id) { return Section + "_" + QString::number(Id); }

bool inside(double v, double lo, double hi) { return v >= lo && v <= hi; }

// A float key with a fallback for values outside [lo, hi] (NaN marks an unreadable value).
double readChecked(const TMemIniFile& ini, const QString& sec, const char* key, double lo,
                   double hi, double fallback)
{
    const double v = ini.ReadFloat(sec, key, std::nan(""));
    return inside(v, lo, hi) ? v : fallback;
}

// Reads the file's bytes into ini without the side effects of opening a TMemIniFile on it.
bool readFile(TMemIniFile& ini, const QString& Path, QString* error)
{
    QFile file(Path);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("Cannot read %1: %2").arg(Path, file.errorString());
        return false;
    }
    const QByteArray data = file.read(TMemIniFile::kMaxBytes + 1);
    QString why;
    if (!ini.setBytes(data, &why)) {
        if (error) *error = QString("Cannot load the filter from %1: %2").arg(Path, why);
        return false;
    }
    return true;
}

} // namespace

bool ReportDesignWarning(const TIIRObj& f)
{
    if (!*f.DesignWarning()) return false;
    vl::showMessage(vl::MsgKind::Warning, QStringLiteral("Warning"), QString::fromLatin1(f.DesignWarning()));
    return true;
}

void SaveToIniMem(const TIIRObj& f, TMemIniFile& ini, const QString& Section, int Id)
{
    const QString s = sectionName(Section, Id);
    ini.WriteBool(s, "Bypassed", f.Bypassed());
    ini.WriteInteger(s, "Typ", f.Typ());
    ini.WriteFloat(s, "Freq", f.Freq());
    ini.WriteFloat(s, "Gain", f.Gain());
    ini.WriteFloat(s, "Att", f.Att());
    ini.WriteFloat(s, "Ratio", f.Ratio());
    ini.WriteFloat(s, "Amax", f.Amax());
    ini.WriteInteger(s, "Grad", f.Grad());
    ini.WriteFloat(s, "Q", f.Q());
    ini.WriteInteger(s, "Char", f.FilterChar());
}

bool SaveToIni(const TIIRObj& f, const QString& Path, const QString& Section, int Id, QString* error)
{
    TMemIniFile ini(Path); // an unparseable file is kept aside by TMemIniFile, never overwritten
    if (!ini.loadError().isEmpty() && ini.keptAsideAs().isEmpty()) {
        if (error) *error = ini.loadError();
        return false;
    }
    SaveToIniMem(f, ini, Section, Id);
    return ini.UpdateFile(error);
}

void LoadFromIniMem(TIIRObj& f, TMemIniFile& ini, const QString& Section, int Id)
{
    const QString s = sectionName(Section, Id);
    for (const char* key : {"Gain", "Q", "Ratio", "Amax", "Att"})
        ini.WriteString(s, key, ini.ReadString(s, key, "0"));
    const TIIRLimits& L = f.Limits();
    const double gain = readChecked(ini, s, "Gain", L.gainMin, L.gainMax, 0.0);
    const double q = readChecked(ini, s, "Q", L.qMin, L.qMax, 1.0);
    const double ratio = readChecked(ini, s, "Ratio", L.ratioMin, L.ratioMax, 1.4142);
    const double amax = readChecked(ini, s, "Amax", L.amaxMin, L.amaxMax, -3.1);
    const double att = readChecked(ini, s, "Att", L.attMin, L.attMax, 1.0);
    int grad = ini.ReadInteger(s, "Grad", 2);
    if (grad < 1 || grad > kIIRMaxOrder) grad = 2;
    double freq = ini.ReadFloat(s, "Freq", 5555.0);
    if (!inside(freq, L.freqMin, L.freqMax)) freq = 1000.0;
    int typ = ini.ReadInteger(s, "Typ", 0);
    if (typ < 0 || typ > 13) typ = 0;
    int ch = ini.ReadInteger(s, "Char", 0);
    if (ch < 0 || ch > 6) ch = 0;
    f.SetBypassed(ini.ReadBool(s, "ByPassed", false));
    f.SetRatio(ratio);
    f.SetParam(typ, grad, freq, gain, q, amax, att, ch);
    ReportDesignWarning(f);
}

bool LoadFromIni(TIIRObj& f, const QString& Path, const QString& Section, int Id, QString* error)
{
    TMemIniFile ini; // empty and unnamed: nothing here is ever written back to Path
    if (!readFile(ini, Path, error)) return false;
    LoadFromIniMem(f, ini, Section, Id);
    return true;
}
