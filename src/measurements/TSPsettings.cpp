// The Thiele-Small record in force, section "TSP" and the result codes' texts.
#include "measurements/TSPsettings.h"

#include "base/TMemIniFile.h"

#include <cmath>

namespace {

const QString kSec = QStringLiteral("TSP");

// A damaged number reads as the default: no NaN or infinity reaches the calculation.
double readFinite(const TMemIniFile& ini, const char* key, double def)
{
    const double v = ini.ReadFloat(kSec, key, def);
    return std::isfinite(v) ? v : def;
}

} // namespace

tTSP& ActiveTSP()
{
    static tTSP t;
    return t;
}

void TSP_loadfromFile(tTSP& t, const TMemIniFile& ini)
{
    t.Sd_cm = readFinite(ini, "Sdcm", 30.0);
    t.durch_mm = readFinite(ini, "durchmm", 300.0);
    t.Vb_dm = readFinite(ini, "Vbdm", 60.0);
    t.Mms_g = readFinite(ini, "Mms", 20.0);
    t.VasoverVb = ini.ReadBool(kSec, "VasoverVb", false);
    t.bVorgabeRdc = ini.ReadBool(kSec, "bVorgabeRdc", false);
    t.fVorgabeRdc = readFinite(ini, "fVorgabeRdc", 4.0);
    t.bAltUnits = ini.ReadBool(kSec, "bAltUnits", false);
}

void TSP_savetoFile(const tTSP& t, TMemIniFile& ini)
{
    ini.WriteFloat(kSec, "Sdcm", t.Sd_cm);
    ini.WriteFloat(kSec, "durchmm", t.durch_mm);
    ini.WriteFloat(kSec, "Vbdm", t.Vb_dm);
    ini.WriteFloat(kSec, "Mms", t.Mms_g);
    ini.WriteBool(kSec, "VasoverVb", t.VasoverVb);
    ini.WriteBool(kSec, "bVorgabeRdc", t.bVorgabeRdc);
    ini.WriteFloat(kSec, "fVorgabeRdc", t.fVorgabeRdc);
    ini.WriteBool(kSec, "bAltUnits", t.bAltUnits);
}

QString TSPErrorText(int32_t code, const tTSP& t)
{
    const auto freqs = [&](const char* head) {
        return QString::asprintf("%s (f1=%4.1fHz,fs=%4.1fHz,f2=%4.1fHz)!", head, t.f1, t.fs, t.f2);
    };
    switch (code) {
    case 0: return {};
    case 2: return "Error: f2-f1 = 0 !";
    case 3: case 4: return "Error: division by zero !";
    case 5: return "Error: calc Mmd !";
    case 6: return "Error: calc Cms !";
    case 7: return "Error: curves with and without mass are identical !";
    case 8: return "Error:floating point error !";
    case 9: return "Error:please make first measurement !";
    case 10: return "Error: curves with and without extra cabinet are identical !";
    case 100: return freqs("Error: fs not found");
    case 101: return freqs("Error: Rdc = 0");
    case 102: case 103: return freqs("Error: fs not plausible");
    default: return "Error: " + QString::number(code);
    }
}

double TSPPistonArea_cm2(const tTSP& t)
{
    return t.durch_mm != 0.0 ? t.durch_mm * t.durch_mm * 3.1415 / 4.0 / 100.0 : t.Sd_cm;
}
