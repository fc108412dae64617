// Reading and writing the main window's settings with their defaults and clamps.
#include "app/ui/TMainSettings.h"

#include "analysis/TCorrectionSet.h"
#include "base/TMemIniFile.h"
#include "base/utils.h"
#include "measurements/MeasurementClass.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kMain = "MAIN";
const char* const kVolume = "VOLUME";
const char* const kEich = "EICH";

uint32_t readColor(const TMemIniFile& ini, const char* key, uint32_t def)
{
    const int v = ini.ReadInteger(kMain, key, int(def));
    return (v >= 0 && v <= 0xFFFFFF) ? uint32_t(v) : def;
}

// Track bar positions: -1 counts as missing; anything else is kept inside 0..100.
int readVolume(const TMemIniFile& ini, const char* key, int def)
{
    const int v = ini.ReadInteger(kVolume, key, -1);
    return v == -1 ? def : std::clamp(v, 0, 100);
}

// Calibration values: a missing key, -1 or a value that is no voltage keeps the current one.
double readCalVoltage(const TMemIniFile& ini, const char* key, double current)
{
    const double v = ini.ReadFloat(kEich, key, -1.0);
    return (std::isfinite(v) && v > 0.0) ? v : current;
}

double readMicSens(const TMemIniFile& ini, const char* key)
{
    const double v = ini.ReadFloat(kEich, key, TMainSettings::kMicSensDefault);
    return (std::isfinite(v) && v > 0.0) ? v : TMainSettings::kMicSensDefault;
}

double readGain(const TMemIniFile& ini, const char* key)
{
    const double v = ini.ReadFloat(kEich, key, 0.0);
    return std::isfinite(v) ? v : 0.0;
}

} // namespace

void TMainSettings::readMain(const TMemIniFile& ini, const QString& dataFolder, const QString& defaultDLL)
{
    bFirstStart = ini.ReadBool(kMain, "bFirstStart", true);
    textSep = TCorrectionSet::textSeparator(ini);
    AutoNamed = ini.ReadBool(kMain, "AUTONAMED", false);
    left = ini.ReadInteger(kMain, "LEFT", 200);
    top = ini.ReadInteger(kMain, "TOP", 200);
    moni = std::max(0, ini.ReadInteger(kMain, "MONI", 0));
    wstate = std::clamp(ini.ReadInteger(kMain, "WSTATE", 0), 0, 2);
    MDiaInMWwidth = std::clamp(ini.ReadInteger(kMain, "MDiaInMWwidth", 720), 590, 16384);
    MDiaInMWheight = std::clamp(ini.ReadInteger(kMain, "MDiaInMWheight", 564), 360, 16384);
    measuringmode = StartModeFromStored(ini.ReadInteger(kMain, "measuringmode", 1));
    nahConti = ini.ReadBool(kMain, "nahConti", nahConti);
    SoundDLLname = ini.ReadString(kMain, "SoundDLLname", defaultDLL);
    if (ini.FileName().endsWith(".atp", Qt::CaseInsensitive))
        cfgATPname = ini.ReadString(kMain, "cfgATPname", cfgATPname);
    AsTextFname = ini.ReadString(kMain, "AsTextFname", dataFolder + "*.txt");
    AsDiaFname = ini.ReadString(kMain, "AsDiaFname", dataFolder + "*.bmp");
    AsInCorFname = ini.ReadString(kMain, "AsInCorFname", dataFolder + "*.cor");
    AsOutCorFname = ini.ReadString(kMain, "AsOutCorFname", dataFolder + "*.cor");
    COLFORM = readColor(ini, "COLFORM", kColForm);
    COLSOUNDOFF = readColor(ini, "COLSOUNDOFF", kColSoundOff);
    COLSOUNDON = readColor(ini, "COLSOUNDON", kColSoundOn);
    const double fr = ini.ReadFloat(kMain, "FRAMERESOL_ms", 100.0);
    FRAMERESOL_ms = (std::isfinite(fr) && fr > 20.0) ? fr : 100.0;
    ProcessPrio = ini.ReadInteger(kMain, "ProcessPrio", -1);
    IODlgLink = ini.ReadInteger(kMain, "IODlgLink", 0) != 0 ? 10 : 0;
    bTimeDebug1 = ini.ReadBool(kMain, "bTimeDebug1", false);
}

void TMainSettings::writeMain(TMemIniFile& ini) const
{
    ini.WriteBool(kMain, "bFirstStart", false);
    ini.WriteString(kMain, "TEXTSEP", textSep == ' ' ? QStringLiteral("BLANK") : QString(QChar(textSep)));
    ini.WriteBool(kMain, "AUTONAMED", AutoNamed);
    ini.WriteInteger(kMain, "LEFT", left);
    ini.WriteInteger(kMain, "TOP", top);
    ini.WriteInteger(kMain, "MONI", moni);
    ini.WriteInteger(kMain, "WSTATE", wstate);
    ini.WriteInteger(kMain, "MDiaInMWwidth", MDiaInMWwidth);
    ini.WriteInteger(kMain, "MDiaInMWheight", MDiaInMWheight);
    ini.WriteInteger(kMain, "measuringmode", measuringmode);
    ini.WriteBool(kMain, "nahConti", nahConti);
    ini.WriteString(kMain, "SoundDLLname", SoundDLLname);
    ini.WriteString(kMain, "AsTextFname", AsTextFname);
    ini.WriteString(kMain, "AsDiaFname", AsDiaFname);
    ini.WriteString(kMain, "AsInCorFname", AsInCorFname);
    ini.WriteString(kMain, "AsOutCorFname", AsOutCorFname);
    ini.WriteInteger(kMain, "COLFORM", int(COLFORM));
    ini.WriteInteger(kMain, "COLSOUNDOFF", int(COLSOUNDOFF));
    ini.WriteInteger(kMain, "COLSOUNDON", int(COLSOUNDON));
    ini.WriteFloat(kMain, "FRAMERESOL_ms", FRAMERESOL_ms);
    ini.WriteInteger(kMain, "ProcessPrio", ProcessPrio);
    ini.WriteInteger(kMain, "IODlgLink", IODlgLink);
    ini.WriteBool(kMain, "bTimeDebug1", bTimeDebug1);
}

void TMainSettings::readPerUser(const TMemIniFile& ini, TLevelCalibration& cal)
{
    FGoutVolume = readVolume(ini, "FGVOLUME", 20);
    FGinVolume = readVolume(ini, "FGINVOLUME", 100);
    const int ch = ini.ReadInteger(kVolume, "AUDIOINCHANNEL", 0);
    if (ch > 0) AudioInChannel = ch;
    cal.INPUT = readCalVoltage(ini, "INPUT", cal.INPUT);
    cal.OUTPUT = readCalVoltage(ini, "OUTPUT", cal.OUTPUT);
    const int lev = ini.ReadInteger(kEich, "InMixLev4Cal", -1);
    if (lev != -1) InMixLev4Cal = lev;
    cal.MicSens_mVpPaL = readMicSens(ini, "MicSens_mVpPaL");
    cal.MicSens_mVpPaR = readMicSens(ini, "MicSens_mVpPaR");
    cal.PreAmp_dBL = readGain(ini, "PreAmp_dBL");
    cal.PreAmp_dBR = readGain(ini, "PreAmp_dBR");
}

// The calibration first, then the volumes: the order the per-user set is written in. Keys
// already in the file are taken out first, so the file shows that order too.
void TMainSettings::writePerUser(TMemIniFile& ini, const TLevelCalibration& cal) const
{
    for (const char* k : {"INPUT", "OUTPUT", "InMixLev4Cal", "MicSens_mVpPaL", "MicSens_mVpPaR", "PreAmp_dBL", "PreAmp_dBR"})
        ini.DeleteKey(kEich, k);
    for (const char* k : {"AUDIOINCHANNEL", "FGVOLUME", "FGINVOLUME"}) ini.DeleteKey(kVolume, k);
    ini.WriteFloat(kEich, "INPUT", cal.INPUT);
    ini.WriteFloat(kEich, "OUTPUT", cal.OUTPUT);
    ini.WriteInteger(kEich, "InMixLev4Cal", InMixLev4Cal);
    ini.WriteFloat(kEich, "MicSens_mVpPaL", cal.MicSens_mVpPaL);
    ini.WriteFloat(kEich, "MicSens_mVpPaR", cal.MicSens_mVpPaR);
    ini.WriteFloat(kEich, "PreAmp_dBL", cal.PreAmp_dBL);
    ini.WriteFloat(kEich, "PreAmp_dBR", cal.PreAmp_dBR);
    ini.WriteInteger(kVolume, "AUDIOINCHANNEL", AudioInChannel);
    ini.WriteInteger(kVolume, "FGVOLUME", FGoutVolume);
    ini.WriteInteger(kVolume, "FGINVOLUME", FGinVolume);
}

void writeGeneralSection(TMemIniFile& ini, const QString& productName, const vlVersion& v,
                         const QString& saveTime)
{
    ini.WriteString("General", "Productname", productName);
    ini.WriteString("General", "Version", QString::number(v.major) + "." + QString::number(v.minor));
    ini.WriteString("General", "Revision", QString::number(v.release));
    ini.WriteString("General", "Build", QString::number(v.build));
    ini.WriteString("General", "SaveTime", saveTime);
}

QPoint restoredWindowPos(QPoint stored, const QMargins& frame, const QList<QRect>& screens)
{
    for (const QRect& g : screens) {
        const bool inside = stored.x() >= g.left() - frame.left() && stored.y() >= g.top() - frame.top() &&
                            stored.x() <= g.right() - 20 && stored.y() <= g.bottom() - 20;
        if (inside) return stored;
    }
    return QPoint(200, 200);
}

QRect firstRunWindowRect(const QRect& available)
{
    constexpr double kShare = 0.8;
    const auto share = [](int whole, int least) {
        return std::min(std::max(int(std::lround(whole * kShare)), least), whole);
    };
    const int w = share(available.width(), 590), h = share(available.height(), 360);
    QRect r(0, 0, w, h);
    r.moveCenter(available.center());
    return r;
}
