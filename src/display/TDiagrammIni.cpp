// TDiagramm: the diagram's settings in an INI file (diagram keys, y groups, curves).
#include "display/TDiagramm.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <algorithm>

namespace {

const QString kLogoText = QStringLiteral("Velmora "); // logo text after every load

QString groupSection(const QString& d, int32_t n) { return d + "DIAAX_" + QString::number(n); }
QString curveSection(const QString& d, int32_t n) { return d + "DIACURVE_" + QString::number(n); }

TColorBGR readColour(const TMemIniFile& ini, const QString& s, const QString& k, TColorBGR def)
{
    return TColorBGR(ini.ReadInteger(s, k, int(def))) & 0xFFFFFFu;
}

} // namespace

void TDiagramm::loadGroups(const TMemIniFile& ini, const QString& diagpriv, const tdiaset& ds)
{
    const int32_t groups = FsaveOfirst ? 1 : kDiaCurves;
    for (int32_t n = 0; n < groups; ++n) {
        TYAXgroup& g = aYgroup[size_t(n)];
        const QString s = groupSection(diagpriv, n);
        const bool odd = n % 2 == 1;
        g.Fymax = ini.ReadFloat(s, "YMAX", odd ? ds.ymaxsec : ds.ymax);
        g.Fymin = ini.ReadFloat(s, "YMIN", odd ? ds.yminsec : ds.ymin);
        g.fEinh = ini.ReadString(s, "EINH", odd ? ds.Einhsec : ds.Einh);
        g.FyScalog = ini.ReadBool(s, "FYSCALOG", false);
        g.Fyaxisvis = ini.ReadBool(s, "FYAXISVIS", true);
        if (!(g.Fymax > g.Fymin)) {
            g.Fymax = 0.0;
            g.Fymin = -100.0;
        }
    }
    for (TYAXgroup& g : aYgroup)
        g.setYteil(FyDiaSteps);
}

// The crosshair is the cursor of a new diagram and of settings written before it existed that
// name no measuring mode; settings that stored the modes keep what they chose.
void TDiagramm::readCrossHair(const TMemIniFile& ini, const QString& s)
{
    const bool modesStored = ini.ValueExists(s, "Freq_m") || ini.ValueExists(s, "Level_m") ||
                             ini.ValueExists(s, "Flanke_m");
    const bool modeOn = Fmfreq || Fmpeg || Fmflan;
    m_cross.on = !modeOn && ini.ReadBool(s, "CrossHair", !modesStored);
    m_cross.harmonics = ini.ReadBool(s, "HarmMarks", false);
    m_cross.ref.reset();
}

void TDiagramm::LoadfromIni(const TMemIniFile& ini, const QString& diagpriv, const tdiaset& ds)
{
    const QString& s = diagpriv;
    m_zoomHome.reset();
    Flogo = ini.ReadString(s, "LOGOSTR", kLogoText);
    Flogo = kLogoText;
    FColCur = readColour(ini, s, "COLCUR", 0);
    FColRangeL = readColour(ini, s, "COLRANGEL", 32768);
    FcolExtraL = readColour(ini, s, "COLEXTRAL", 255);
    FColtext = readColour(ini, s, "COLTEXT", 0);
    FCollogo = readColour(ini, s, "COLLOGO", 32896);
    FColDia = readColour(ini, s, "COLDIA", 16777215);
    FColGrid = readColour(ini, s, "COLGRID", 12632256);
    FColmargin = readColour(ini, s, "COLMARGIN", ds.colMargin);
    const int32_t mode = ini.ReadInteger(s, "YaxisMode", 0);
    FYaxisMode = mode >= 0 && mode <= 2 ? enumYaxisMode(mode) : eYAMnormal;
    bDrawPolyLine = ini.ReadBool(s, "bDrawPolyLine", true);
    FcompPink = ini.ReadBool(s, "CompPink", false);
    Fxlog = ini.ReadBool(s, "XLOG", ds.xlog);
    xminSteps = Fxlog ? 10.0 : 1.0;
    xmaxSteps = Fxlog ? 500.0 : 1.0;
    Fsliding = ini.ReadBool(s, "SLIDING", false);
    FyDiaSteps = ini.ReadFloat(s, "YDIASTEPS", 5.0);
    Fmfreq = ini.ReadBool(s, "Freq_m", false);
    Fmpeg = ini.ReadBool(s, "Level_m", false);
    Fmflan = ini.ReadBool(s, "Flanke_m", false);
    readCrossHair(ini, s);
    FaroundIps = ini.ReadBool(s, "aroundIps", false);
    FaroundMin = ini.ReadFloat(s, "aroundMin", 1.0);
    FaroundMax = ini.ReadFloat(s, "aroundMax", 5.0);
    Fxmin = ini.ReadFloat(s, "xmin", ds.xmin);
    Fxmax = ini.ReadFloat(s, "xmax", ds.xmax);
    Fystepauto = ini.ReadBool(s, "ystepauto", true);
    FDia2Up = ini.ReadBool(s, "Dia2Up", ds.diaUp);
    FRangeLines = ini.ReadBool(s, "RangeLines", false);
    FExtraLine = ini.ReadBool(s, "ExtraLine", false);
    Frem1 = ini.ReadString(s, "REM1", "remark");
    FPrec = ini.ReadInteger(s, "FPrec", 5);
    FDigits = ini.ReadInteger(s, "FDigs", 2);
    FTlines = ini.ReadInteger(s, "FTlines", 100);
    OriSizeLines = ini.ReadBool(s, "OriSizeLines", false);
    m_h = std::clamp(ini.ReadInteger(s, "height", 100), 1, 1 << 15);
    FxSkalfak = 1.0;
    xEinH = ds.XEinheit;
    loadGroups(ini, diagpriv, ds);
    const int32_t curves = FsaveOfirst ? 1 : kDiaCurves;
    for (int32_t n = 0; n < curves; ++n) {
        Tcurve& c = aline[size_t(n)];
        c.load(ini, curveSection(diagpriv, n), n, ds.secactive);
        c.line = n; // the slot number is where the curve sits, whatever the file says
        c.frem2Name = false;
    }
    newsize(m_w, -1, m_h);
}

void TDiagramm::SavetoIni(TMemIniFile& ini, const QString& diagpriv) const
{
    const QString& s = diagpriv;
    ini.WriteString(s, "LOGOSTR", Flogo);
    ini.WriteInteger(s, "COLCUR", int(FColCur));
    ini.WriteInteger(s, "COLRANGEL", int(FColRangeL));
    ini.WriteInteger(s, "COLEXTRAL", int(FcolExtraL));
    ini.WriteInteger(s, "COLTEXT", int(FColtext));
    ini.WriteInteger(s, "COLLOGO", int(FCollogo));
    ini.WriteInteger(s, "COLDIA", int(FColDia));
    ini.WriteInteger(s, "COLGRID", int(FColGrid));
    ini.WriteInteger(s, "COLMARGIN", int(FColmargin));
    ini.WriteInteger(s, "YaxisMode", int(FYaxisMode));
    ini.WriteBool(s, "bDrawPolyLine", bDrawPolyLine);
    ini.WriteBool(s, "CompPink", FcompPink);
    ini.WriteBool(s, "XLOG", Fxlog);
    ini.WriteBool(s, "SLIDING", Fsliding);
    ini.WriteFloat(s, "YDIASTEPS", FyDiaSteps);
    ini.WriteBool(s, "Freq_m", Fmfreq);
    ini.WriteBool(s, "Level_m", Fmpeg);
    ini.WriteBool(s, "Flanke_m", Fmflan);
    ini.WriteBool(s, "CrossHair", m_cross.on);
    ini.WriteBool(s, "HarmMarks", m_cross.harmonics);
    ini.WriteBool(s, "aroundIps", FaroundIps);
    ini.WriteFloat(s, "aroundMin", FaroundMin);
    ini.WriteFloat(s, "aroundMax", FaroundMax);
    // A zoom is a look: the settings keep the range it started from.
    ini.WriteFloat(s, "xmin", m_zoomHome ? m_zoomHome->x.lo : Fxmin);
    ini.WriteFloat(s, "xmax", m_zoomHome ? m_zoomHome->x.hi : Fxmax);
    ini.WriteBool(s, "YSTEPAUTO", Fystepauto); // the same key as "ystepauto": names match without case
    ini.WriteBool(s, "Dia2Up", FDia2Up);
    ini.WriteBool(s, "RangeLines", FRangeLines);
    ini.WriteBool(s, "ExtraLine", FExtraLine);
    ini.WriteString(s, "REM1", Frem1);
    ini.WriteInteger(s, "FPrec", FPrec);
    ini.WriteInteger(s, "FDigs", FDigits);
    ini.WriteInteger(s, "FTlines", FTlines);
    ini.WriteBool(s, "OriSizeLines", OriSizeLines);
    ini.WriteInteger(s, "height", m_h);
    ini.WriteFloat(s, "xSkalFak", FxSkalfak);
    ini.WriteFloat(s, "ySkalFak", fySkalFaktor);
    ini.WriteFloat(s, "ySkalOffset", fySkalOffset);
    ini.WriteString(s, "xEinh", xEinH);
    if (Rem3.lines > 0 && !Rem3.Llist.isEmpty())
        ini.WriteString(s, "REM2", Rem3.Llist.front() + Rem3.sep + Rem3.Rlist.value(0));
    for (int32_t n = 0; n < kDiaCurves; ++n) {
        const TYAXgroup& g = aYgroup[size_t(n)];
        const QString gs = groupSection(diagpriv, n);
        ini.WriteFloat(gs, "Yoffs", g.FyoffStat);
        ini.WriteFloat(gs, "Yfak", g.FyfakStat);
        ini.WriteFloat(gs, "YMAX", m_zoomHome ? m_zoomHome->y[size_t(n)].hi : g.Fymax);
        ini.WriteFloat(gs, "YMIN", m_zoomHome ? m_zoomHome->y[size_t(n)].lo : g.Fymin);
        ini.WriteBool(gs, "FYSCALOG", g.FyScalog);
        ini.WriteString(gs, "EINH", g.fEinh);
        ini.WriteBool(gs, "FYAXISVIS", g.Fyaxisvis);
    }
    const int32_t curves = FsaveOfirst ? 1 : kDiaCurves;
    for (int32_t n = 0; n < curves; ++n)
        aline[size_t(n)].save(ini, curveSection(diagpriv, n));
}

bool TDiagramm::LoadfromIni(const QString& Fname, const QString& diagpriv, const tdiaset* ds)
{
    const TMemIniFile ini(Fname);
    LoadfromIni(ini, diagpriv, ds ? *ds : tdiaset{});
    return ini.loadError().isEmpty();
}

bool TDiagramm::SavetoIni(const QString& Fname, const QString& diagpriv, QString* error) const
{
    TMemIniFile ini(Fname);
    // A file that exists but could not be read is not overwritten (its other sections would be
    // lost); one that could not be parsed has been moved aside and is replaced.
    QString why = ini.keptAsideAs().isEmpty() ? ini.loadError() : QString();
    if (why.isEmpty()) {
        SavetoIni(ini, diagpriv);
        if (ini.UpdateFile(&why))
            return true;
    }
    if (error)
        *error = why;
    vl::errorBox("Error writing Ini-File " + Fname + "\r\n" + why);
    return false;
}
