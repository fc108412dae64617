// The 3D diagram's mapping, data handling and settings.
#include "display/T3Ddiagr.h"

#include "base/TMemIniFile.h"

#include <algorithm>
#include <cmath>

T3Ddiagr::T3Ddiagr() { ClearDats(); }

double T3Ddiagr::xv2xw(double x) const { return FxLog ? T3dMapLog(x, FXmin, FXmax) : T3dMapLinear(x, FXmin, FXmax); }

double T3Ddiagr::yv2yw(double y) const { return T3dMapLinear(y, FYmin, FYmax); }

double T3Ddiagr::zv2zw(double z) const
{
    // Time is not clamped: a band outside the range lies outside the cube.
    return FZmax > FZmin ? (z - FZmin) / (FZmax - FZmin) : 1.0;
}

void T3Ddiagr::movetoxyz(double x, double y, double z) { MOVE_2D(zv2zw(z), yv2yw(y), xv2xw(x)); }

void T3Ddiagr::linetoxyz(double x, double y, double z) { DRAW_2D(zv2zw(z), yv2yw(y), xv2xw(x)); }

void T3Ddiagr::setDFilter(int32_t f) { m_bands.setFilter(f); }

void T3Ddiagr::setYaxisMode(int32_t m) { m_bands.setYMode(m); }

void T3Ddiagr::setZbands(int32_t v)
{
    if (v < 64 && m_bands.setZBands(v))
        ClearDats();
}

void T3Ddiagr::setxSteps(int32_t xs)
{
    if (m_bands.setXSteps(xs))
        ClearDats();
}

void T3Ddiagr::ClearDats()
{
    m_bands.clear(FXmax);
    m_lastFftp = m_lastSfi = 0;
    setTextAnzZ();
}

void T3Ddiagr::Set3D_DiadataComplete(std::span<const double> sd, double TimeStamp)
{
    m_bands.pushBand(sd, TimeStamp);
    FZmin = m_bands.zMin();
    FZmax = m_bands.zMax();
}

void T3Ddiagr::pushSpectrum(std::span<const double> sd, double TimeStamp, int32_t fftp, int32_t sfi)
{
    const double half = std::max(fftp / 2, 1);
    if (fftp != m_lastFftp || sfi != m_lastSfi) // the same axis for every band of a run
        for (int32_t i = 0; i < m_bands.xSteps(); ++i)
            m_bands.setX(i, sfi / 2.0 * i / half);
    m_lastFftp = fftp;
    m_lastSfi = sfi;
    Set3D_DiadataComplete(sd, TimeStamp);
}

void T3Ddiagr::checkYAxis()
{
    const double m = m_bands.runningMax();
    if (!FYmaxAuto || m == T3dBands::kNoMax)
        return;
    const double top = m + m_bands.yOffset();
    FYmax = 10.0 * std::trunc(top / 10.0) + (top > 0 ? 10.0 : 0.0);
    if (FYmin + 10.0 > FYmax)
        FYmin = FYmax - 20.0;
}

double T3Ddiagr::getXaxisAngle() const
{
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!m_proj.pixel({0, 0, 1}, x0, y0) || !m_proj.pixel({1, 0, 1}, x1, y1))
        return 0.0;
    const double a = std::atan2(y0 - y1, x1 - x0) * 180.0 / M_PI;
    return std::isfinite(a) ? a : 0.0;
}

double T3Ddiagr::edgePixels(T3dPoint a, T3dPoint b) const
{
    double xa = 0, ya = 0, xb = 0, yb = 0;
    if (!m_proj.pixel(a, xa, ya) || !m_proj.pixel(b, xb, yb))
        return 0.0;
    return std::hypot(xb - xa, yb - ya);
}

void T3Ddiagr::setTextAnzZ()
{
    texthigh = std::clamp(int(edgePixels({0, 0, 1}, {0, 1, 1}) / 25.0), 6, 12);
    const double textPixels = texthigh * 96.0 / 72.0 * 1.2; // a line of text, 96 dpi
    yztextanz = std::max(2, int(edgePixels({1, 0, 0}, {1, 0, 1}) / textPixels));
}

// ---- settings -------------------------------------------------------------------------------

void T3Ddiagr::LoadFromIni(const TMemIniFile& fini, const QString& Topic)
{
    FYmin = fini.ReadFloat(Topic, "ymin", -100.0);
    FYmax = fini.ReadFloat(Topic, "ymax", -20.0);
    if (!(FYmin < FYmax)) {
        FYmin = -100.0;
        FYmax = -20.0;
    }
    FXmin = fini.ReadFloat(Topic, "xmin", 20.0);
    FXmax = fini.ReadFloat(Topic, "xmax", 20000.0);
    if (!(FXmin < FXmax)) {
        FXmin = 20.0;
        FXmax = 20000.0;
    }
    setZbands(std::clamp(fini.ReadInteger(Topic, "zBands", 16), 2, 64));
    // The third-octave filter (4) is one the settings dialog offers: it is kept, not lost.
    const int f = fini.ReadInteger(Topic, "FDfilter", 0);
    setDFilter(f >= 0 && f <= 4 ? f : 0);
    setYaxisMode(fini.ReadInteger(Topic, "YaxisMode", 0));
    FBackCol = mainWindowColour;
    FLineCol = TColorBGR(fini.ReadInteger(Topic, "LineCol", 255));
    FgridCol = TColorBGR(fini.ReadInteger(Topic, "GridCol", 12632256));
    FFlaeCol = TColorBGR(fini.ReadInteger(Topic, "PlaineCol", 0xFFFF));
    FTextCol = TColorBGR(fini.ReadInteger(Topic, "TextCol", 0));
    FDiaBGCol = TColorBGR(fini.ReadInteger(Topic, "DiaBgCol", 0xFFFFFF));
    setFlaeche(fini.ReadInteger(Topic, "Plaines", 2));
    FYmaxAuto = fini.ReadBool(Topic, "YmaxAuto", true);
    VIEWPOINT_2D(fini.ReadFloat(Topic, "zflu", 0.0), fini.ReadFloat(Topic, "yflu", -0.12),
                 fini.ReadFloat(Topic, "xflu", 0.47), fini.ReadFloat(Topic, "zbet", 17.1),
                 fini.ReadFloat(Topic, "ybet", 16.0), fini.ReadFloat(Topic, "xbet", 5.0));
}

void T3Ddiagr::SavetoIni(TMemIniFile& fini, const QString& Topic) const
{
    fini.WriteFloat(Topic, "ymin", FYmin);
    fini.WriteFloat(Topic, "ymax", FYmax);
    fini.WriteFloat(Topic, "xmin", FXmin);
    fini.WriteFloat(Topic, "xmax", FXmax);
    fini.WriteInteger(Topic, "zBands", Zbands());
    fini.WriteInteger(Topic, "FDfilter", DFilter());
    fini.WriteInteger(Topic, "YaxisMode", YaxisMode());
    fini.WriteInteger(Topic, "BackCol", int(FBackCol));
    fini.WriteInteger(Topic, "LineCol", int(FLineCol));
    fini.WriteInteger(Topic, "GridCol", int(FgridCol));
    fini.WriteInteger(Topic, "PlaineCol", int(FFlaeCol));
    fini.WriteInteger(Topic, "TextCol", int(FTextCol));
    fini.WriteInteger(Topic, "DiaBgCol", int(FDiaBGCol));
    fini.WriteInteger(Topic, "Plaines", Fflaeche);
    fini.WriteBool(Topic, "YmaxAuto", FYmaxAuto);
    fini.WriteFloat(Topic, "xbet", XBET());
    fini.WriteFloat(Topic, "ybet", YBET());
    fini.WriteFloat(Topic, "zbet", ZBET());
    fini.WriteFloat(Topic, "xflu", XFLU());
    fini.WriteFloat(Topic, "yflu", YFLU());
    fini.WriteFloat(Topic, "zflu", ZFLU());
}
