// Tcurve: the curve keys of a settings section (read with defaults and limits, written in file order).
#include "display/Tcurve.h"

#include "base/TMemIniFile.h"

#include <algorithm>

namespace {
constexpr int32_t kMaxLineWidth = 20;      // widest pen the curve dialog offers, pixels
constexpr int32_t kMaxFilter = 4;          // display smoothing 0..4
constexpr int32_t kMaxLineMode = 4;        // pen styles 0..4
constexpr int32_t kKeepColour = -1;        // "COLCUR" default: keep the current colour

int32_t clampInt(int32_t v, int32_t lo, int32_t hi) { return std::clamp(v, lo, hi); }
} // namespace

void Tcurve::load(const TMemIniFile& ini, const QString& section, int32_t num, bool secactive)
{
    const int32_t col = ini.ReadInteger(section, "COLCUR", kKeepColour);
    if (col >= 0)
        FColLine = TColorBGR(col) & 0xFFFFFFu;
    Fcvis = ini.ReadBool(section, "FCVIS", true);
    Fsel = ini.ReadBool(section, "FSEL", num == 0 || num == 1);
    const int32_t defGroup = (secactive && num >= 0 && num % 2 == 1) ? 1 : 0;
    Cygroup = clampInt(ini.ReadInteger(section, "Cygroup", defGroup), 0, kDiaCurves - 1);
    line = ini.ReadInteger(section, "LINE", 0);
    Sfreq = ini.ReadInteger(section, "SFREQ", 0);
    FDFilter = clampInt(ini.ReadInteger(section, "FDFILTER", 0), 0, kMaxFilter);
    MarkerP.x = ini.ReadFloat(section, "MarkerPx", 0.0);
    MarkerP.y = ini.ReadFloat(section, "MarkerPy", 0.0);
    MarkPat = ini.ReadInteger(section, "MarkerPat", 0);
    Flogx = ini.ReadBool(section, "FLOGX", false);
    const int32_t kind = ini.ReadInteger(section, "FLOGY", 0);
    FValuelogY = (kind >= 0 && kind <= int32_t(eLevLin)) ? enumYvalueTyp(kind) : edBFS;
    Name = ini.ReadString(section, "CNAME", "unknown");
    Comment = ini.ReadString(section, "COMMENT", "...");
    FileName = ini.ReadString(section, "FILENAME", "*.cur");
    FlineMode = clampInt(ini.ReadInteger(section, "LINEMODE", 0), 0, kMaxLineMode);
    FlineWidth = clampInt(ini.ReadInteger(section, "linewidth", 1), 1, kMaxLineWidth);
    const int32_t op = ini.ReadInteger(section, "Foperation", 0);
    Foperation = (op >= 0 && op <= int32_t(eDivi)) ? enumOpTyp(op) : eMeasure;
    Fop1 = clampInt(ini.ReadInteger(section, "Fop1", 0), 0, kDiaCurves - 1);
    Fop2 = clampInt(ini.ReadInteger(section, "Fop2", 1), 0, kDiaCurves - 1);
    const int32_t mode = ini.ReadInteger(section, "dBMode", int32_t(dBmode_unknown));
    FdbMode = (mode >= 0 && mode <= int32_t(dBmode_unknown)) ? edBModi(mode) : dBmode_unknown;
    frem2Name = false; // written for other readers, never taken back
}

void Tcurve::save(TMemIniFile& ini, const QString& section) const
{
    ini.WriteInteger(section, "COLCUR", int(FColLine & 0xFFFFFFu));
    ini.WriteInteger(section, "LINE", line);
    ini.WriteInteger(section, "SFREQ", Sfreq);
    ini.WriteInteger(section, "FDFILTER", FDFilter);
    ini.WriteFloat(section, "MarkerPx", MarkerP.x);
    ini.WriteFloat(section, "MarkerPy", MarkerP.y);
    ini.WriteInteger(section, "MarkerPat", MarkPat);
    ini.WriteBool(section, "FCVIS", Fcvis);
    ini.WriteBool(section, "FSEL", Fsel);
    ini.WriteBool(section, "FLOGX", Flogx);
    ini.WriteInteger(section, "FLOGY", int(FValuelogY));
    ini.WriteString(section, "CNAME", Name);
    ini.WriteString(section, "COMMENT", Comment);
    ini.WriteString(section, "FILENAME", FileName);
    ini.WriteInteger(section, "Cygroup", Cygroup);
    ini.WriteInteger(section, "LINEMODE", FlineMode);
    ini.WriteInteger(section, "LINEwidth", FlineWidth);
    ini.WriteInteger(section, "Foperation", int(Foperation));
    ini.WriteInteger(section, "Fop1", Fop1);
    ini.WriteInteger(section, "Fop2", Fop2);
    ini.WriteInteger(section, "dBMode", int(FdbMode));
    ini.WriteBool(section, "FRem2Name", frem2Name);
}
