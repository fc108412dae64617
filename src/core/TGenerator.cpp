// The output generator over the module's TwaveGO record: names, lengths, texts and settings.
#include "core/TGenerator.h"

#include "base/TMemIniFile.h"

#include <QLocale>
#include <cmath>
#include <cstring>
#include <algorithm>

namespace vlgen {

namespace {

const char* const kOSound = "OSOUND";
const char* const kISound = "ISOUND";

// Defaults of the settings keys.
constexpr double kDefFreq = 1000.0;   // Hz
constexpr double kDefSecFreq = 60.0;  // Hz
constexpr double kDefSecLevel = -6.0; // dBFS
constexpr double kDefOutdB = -1.0;    // dB
constexpr int kDefRepTime = 1000;     // ms
constexpr int kMinStoredRepTime = 10; // ms; shorter stored values are replaced by the default

} // namespace

QString modeName(int mode)
{
    static const char* const names[] = {"sine",  "square", "white noise", "pink noise", "user wave",
                                        "dirac", "MLS",    "Burst",       "triangle",   "raw",
                                        "dual sine", "sound file", "synthesis"};
    return (mode >= 0 && mode <= gmSynthesis) ? QString::fromLatin1(names[mode]) : QStringLiteral("unknown");
}

bool isFrequencyMode(int mode)
{
    return mode == gmSine || mode == gmSquare || mode == gmBurst || mode == gmTriangle || mode == gmDualSine;
}

QString unitLabel(int mode)
{
    if (isFrequencyMode(mode)) return QStringLiteral("Freq. (Hz)");
    if (mode == gmDirac) return QStringLiteral("samples");
    if (mode == gmMLS) return QStringLiteral("order");
    return QString();
}

int outRate(const TwaveGO& go) { return int(go.wfs.Wf.nSamplesPerSec); }

double signalLength_ms(const TwaveGO& go, double rate)
{
    if (!(rate > 0.0)) return 0.0;
    switch (go.modeL) {
    case gmDirac: return go.OShotsamples / rate * 1000.0;
    case gmMLS:
        // Orders outside what a shift register of an int can hold have no defined length.
        if (go.MLSsize < 1 || go.MLSsize > 30) return 0.0;
        return (std::ldexp(1.0, go.MLSsize) - 1.0) * 1000.0 / rate;
    case gmBurst: return go.GenFreqR > 0.0 ? go.AnzWave / go.GenFreqR * 1000.0 : 0.0;
    default: return 0.0;
    }
}

void setMode(TwaveGO& go, int mode) { go.modeL = go.modeR = mode; }
void setFrequency(TwaveGO& go, double hz) { go.GenFreqL = go.GenFreqR = hz; }
void setLevel(TwaveGO& go, double dBFS) { go.voldB_L = go.voldB_R = dBFS; }
void setSecondFrequency(TwaveGO& go, double hz) { go.secfreqL = go.secfreqR = hz; }
void setSecondLevel(TwaveGO& go, double dBFS) { go.secvoldB_L = go.secvoldB_R = dBFS; }

// ---- record texts -------------------------------------------------------------------------------

QString recordText(const char* field, size_t capacity)
{
    const void* nul = std::memchr(field, 0, capacity);
    const size_t n = nul ? size_t(static_cast<const char*>(nul) - field) : capacity;
    return QString::fromUtf8(field, qsizetype(n));
}

bool setRecordText(char* field, size_t capacity, const QString& text)
{
    if (capacity == 0) return text.isEmpty();
    const QByteArray u = text.toUtf8();
    size_t n = std::min(size_t(u.size()), capacity - 1);
    // Never cut inside a character: step back over continuation bytes (10xxxxxx).
    if (n < size_t(u.size()))
        while (n > 0 && (uchar(u[qsizetype(n)]) & 0xC0) == 0x80) --n;
    std::memcpy(field, u.constData(), n);
    std::memset(field + n, 0, capacity - n);
    return n == size_t(u.size());
}

// ---- numbers as the user types them --------------------------------------------------------------

QString formatFixed(double v, int decimals)
{
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'f', decimals);
}

bool parseNumber(const QString& text, double& v)
{
    QString s = text;
    s.remove(u' ');
    s.remove(QChar(0xA0));
    if (s.isEmpty()) return false;
    QLocale l;
    l.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double r = l.toDouble(s, &ok);
    if (!ok) r = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(r)) return false;
    v = r;
    return true;
}

bool parseWholeNumber(const QString& text, int& v)
{
    QString s = text;
    s.remove(u' ');
    s.remove(QChar(0xA0));
    bool ok = false;
    const int r = s.toInt(&ok);
    if (!ok) return false;
    v = r;
    return true;
}

// ---- settings -----------------------------------------------------------------------------------

namespace {

// Reads a text key into a record field; a read failure keeps the default (empty).
void readText(const TMemIniFile& ini, const char* key, char* field, size_t capacity, const QString& def)
{
    setRecordText(field, capacity, ini.ReadString(kOSound, key, def));
}

} // namespace

bool loadOSound(const TMemIniFile& ini, TwaveGO& go, const TFormulaCheck& check)
{
    go.GenFreqR = ini.ReadFloat(kOSound, "GenFreqR", kDefFreq);
    go.GenFreqL = ini.ReadFloat(kOSound, "GenFreqL", kDefFreq);
    go.voldB_L = ini.ReadFloat(kOSound, "volL", 0.0);
    go.voldB_R = ini.ReadFloat(kOSound, "volR", 0.0);
    go.secfreqR = ini.ReadFloat(kOSound, "secfreqR", kDefSecFreq);
    go.secfreqL = ini.ReadFloat(kOSound, "secfreqL", kDefSecFreq);
    go.secvoldB_L = ini.ReadFloat(kOSound, "secvoldB_L", kDefSecLevel);
    go.secvoldB_R = ini.ReadFloat(kOSound, "secvoldB_R", kDefSecLevel);
    go.outdB_L = ini.ReadFloat(kOSound, "outdBL", kDefOutdB);
    go.outdB_R = ini.ReadFloat(kOSound, "outdBR", kDefOutdB);
    go.genOnL = ini.ReadBool(kOSound, "genOnL", true);
    go.genOnR = ini.ReadBool(kOSound, "genOnR", true);
    go.dualTfunc = ini.ReadInteger(kOSound, "dualfunc", 0);
    go.phaseL = ini.ReadInteger(kOSound, "phaseL", 0);
    go.phaseR = ini.ReadInteger(kOSound, "phaseR", 0);
    go.MLSsize = ini.ReadInteger(kOSound, "MLSsize", 12);
    go.OShotsamples = ini.ReadInteger(kOSound, "OShotsamples", 1);
    go.AnzWave = ini.ReadInteger(kOSound, "AnzWave", 10);
    go.repTime_ms = ini.ReadInteger(kOSound, "repTime", kDefRepTime);
    if (go.repTime_ms < kMinStoredRepTime) go.repTime_ms = kDefRepTime;
    go.Conti = ini.ReadInteger(kOSound, "Conti", 0);
    go.modeL = ini.ReadInteger(kOSound, "ModeL", 0);
    go.modeR = ini.ReadInteger(kOSound, "ModeR", 0);
    readText(ini, "ufname", go.ufname, sizeof go.ufname, QStringLiteral("unknown"));
    go.wPlaysnd = ini.ReadBool(kOSound, "wPlaysnd", false);
    go.AnaVol = ini.ReadInteger(kOSound, "AnaVol", 100);
    readText(ini, "WAFfuncstr", go.WaF.functionStr, sizeof go.WaF.functionStr, QString());
    readText(ini, "WAFvnamestr", go.WaF.VnameStr, sizeof go.WaF.VnameStr, QString());
    readText(ini, "WAFvaluestr", go.WaF.VvalueStr, sizeof go.WaF.VvalueStr, QString());
    if (go.modeL != gmSynthesis || !check) return false;
    TWaf w = go.WaF;
    return check(w) == 1.0;
}

void loadISound(const TMemIniFile& ini, TwaveGI& gi)
{
    gi.OneShotTime_samps = ini.ReadInteger(kISound, "OneShotTime_samps", 4410);
    gi.Mode = ini.ReadInteger(kISound, "Mode", 1);
    gi.wfs.mono = ini.ReadBool(kISound, "mono", false);
}

void saveOSound(TMemIniFile& ini, const TwaveGO& go)
{
    ini.WriteFloat(kOSound, "GenFreqR", go.GenFreqR);
    ini.WriteFloat(kOSound, "GenFreqL", go.GenFreqL);
    ini.WriteFloat(kOSound, "volL", go.voldB_L);
    ini.WriteFloat(kOSound, "volR", go.voldB_R);
    ini.WriteFloat(kOSound, "secfreqR", go.secfreqR);
    ini.WriteFloat(kOSound, "secfreqL", go.secfreqL);
    ini.WriteFloat(kOSound, "secvoldB_L", go.secvoldB_L);
    ini.WriteFloat(kOSound, "secvoldB_R", go.secvoldB_R);
    ini.WriteFloat(kOSound, "outdBL", go.outdB_L);
    ini.WriteFloat(kOSound, "outdBR", go.outdB_R);
    ini.WriteBool(kOSound, "genOnL", go.genOnL != 0);
    ini.WriteBool(kOSound, "genOnR", go.genOnR != 0);
    ini.WriteInteger(kOSound, "dualfunc", go.dualTfunc);
    ini.WriteInteger(kOSound, "phaseL", go.phaseL);
    ini.WriteInteger(kOSound, "phaseR", go.phaseR);
    ini.WriteInteger(kOSound, "MLSsize", go.MLSsize);
    ini.WriteInteger(kOSound, "OShotsamples", go.OShotsamples);
    ini.WriteInteger(kOSound, "AnzWave", go.AnzWave);
    ini.WriteInteger(kOSound, "repTime", go.repTime_ms);
    ini.WriteInteger(kOSound, "Conti", go.Conti);
    ini.WriteInteger(kOSound, "ModeL", go.modeL);
    ini.WriteInteger(kOSound, "ModeR", go.modeR);
    ini.WriteString(kOSound, "ufname", recordText(go.ufname));
    ini.WriteBool(kOSound, "wPlaysnd", go.wPlaysnd != 0);
    ini.WriteInteger(kOSound, "AnaVol", go.AnaVol);
    ini.WriteString(kOSound, "WAFfuncstr", recordText(go.WaF.functionStr));
    ini.WriteString(kOSound, "WAFvnamestr", recordText(go.WaF.VnameStr));
    ini.WriteString(kOSound, "WAFvaluestr", recordText(go.WaF.VvalueStr));
}

void saveISound(TMemIniFile& ini, const TwaveGI& gi, const TSoundFormatInfo& info)
{
    ini.WriteInteger(kISound, "OneShotTime_samps", gi.OneShotTime_samps);
    ini.WriteInteger(kISound, "Mode", gi.Mode);
    ini.WriteBool(kISound, "mono", gi.wfs.mono != 0);
    ini.WriteInteger(kISound, "iSF", info.inRate);
    ini.WriteInteger(kISound, "oSF", info.outRate);
    ini.WriteInteger(kISound, "iDB", info.inBits);
    ini.WriteInteger(kISound, "oDB", info.outBits);
    ini.WriteBool(kISound, "iWDM", info.inWDM);
    ini.WriteBool(kISound, "oWDM", info.outWDM);
}

QString iniWriteFailureText(const QString& fileName)
{
    return "Error writing Ini-File " + fileName + "\r\n" + "Abort program";
}

// ---- description --------------------------------------------------------------------------------

QString impulseSignalText(const TwaveGO* go, bool externalImpulse, int fftSize)
{
    if (externalImpulse) return QStringLiteral("ext. Impulse");
    if (!go) return QString();
    const QString fft = "  FFT: " + QString::number(fftSize);
    switch (go->modeL) {
    case gmDirac: return "dirac length: " + QString::number(go->OShotsamples) + fft;
    case gmMLS: return "MLS size: " + QString::number(go->MLSsize) + fft;
    case gmBurst: {
        const double f = std::isfinite(go->GenFreqR) ? std::round(go->GenFreqR) : 0.0;
        return "Burst Freq/Waves: " + QString::number(qint64(std::clamp(f, -9e15, 9e15))) + "/" +
               QString::number(go->AnzWave) + fft;
    }
    default: return QString();
    }
}

} // namespace vlgen
