// The 3D diagram: a waterfall of spectra (bands) over time as wires, plains or a surface in perspective.
#pragma once

#include "dsp/T3dBands.h"
#include "display/T3dworld.h"

#include <QString>
#include <functional>
#include <span>
#include <vector>

class TMemIniFile;

// Frequency along x, level along y (up) and time along z of a unit cube, seen from the eye point
// of T3dworld. Bands are drawn from the farthest to the nearest, so nearer ones hide what lies
// behind them. Every setter stores; PaintNew3D draws the image anew. GUI thread only.
class T3Ddiagr : public T3dworld {
public:
    T3Ddiagr();

    // --- mapping of values to the cube (0..1); values are clamped to the limits first
    double xv2xw(double x) const;
    double yv2yw(double y) const;
    double zv2zw(double z) const;
    static double xw2xv(double) { return 1.0; }
    static double yw2yv(double) { return 1.0; }
    static double zw2zv(double) { return 1.0; }
    void movetoxyz(double x, double y, double z);
    void linetoxyz(double x, double y, double z);

    // --- axes and look
    void setXmin(double v) { FXmin = v; }
    void setXmax(double v) { FXmax = v; }
    void setYmin(double v) { FYmin = v; }
    void setYmax(double v) { FYmax = v; }
    void setZmin(double v) { FZmin = v; }
    void setZmax(double v) { FZmax = v; }
    double Xmin() const { return FXmin; }
    double Xmax() const { return FXmax; }
    double Ymin() const { return FYmin; }
    double Ymax() const { return FYmax; }
    double Zmin() const { return FZmin; }
    double Zmax() const { return FZmax; }
    void setySkalDiff(double v) { FySkalDiff = v; }
    void setzSkalDiff(double v) { FzSkalDiff = v; }
    void setXlog(bool v) { FxLog = v; }
    bool Xlog() const { return FxLog; }
    void setBeschrift(bool v) { Fbeschrift = v; }
    void setZttreverse(bool v) { Fzttreverse = v; }
    void setZdiareverse(bool v) { Fzdiareverse = v; }
    bool Zdiareverse() const { return Fzdiareverse; }
    void setFlaeche(int32_t v) { Fflaeche = v >= 0 && v <= 2 ? v : 0; }
    int32_t Flaeche() const { return Fflaeche; }
    void setYmaxAuto(bool v) { FYmaxAuto = v; }
    bool YmaxAuto() const { return FYmaxAuto; }
    void setDFilter(int32_t f);
    int32_t DFilter() const { return m_bands.filter(); }
    void setYaxisMode(int32_t m);
    int32_t YaxisMode() const { return m_bands.yMode(); }
    void setReferenceEachBand(bool on) { m_bands.setReferenceEachBand(on); }

    // --- data
    // v < 64 and changed: reallocates and clears.
    void setZbands(int32_t v);
    int32_t Zbands() const { return m_bands.zBands(); }
    void setxSteps(int32_t xs);
    int32_t xSteps() const { return m_bands.xSteps(); }
    void ClearDats();
    void NextBand(int32_t i) { m_bands.nextBand(i); }
    int32_t Set3D_Diadata(int32_t aktstep, double x, double y) { return m_bands.setPoint(aktstep, x, y); }
    // The newest band (TimeStamp in ms); z range follows the stamps kept.
    void Set3D_DiadataComplete(std::span<const double> sd, double TimeStamp);
    void setXvals(int32_t i, double breal) { m_bands.setX(i, breal); }
    // A measured spectrum as the newest band: point i lies at the frequency of FFT bin i,
    // (sfi/2)*i/(fftp/2) Hz, then Set3D_DiadataComplete.
    void pushSpectrum(std::span<const double> sd, double TimeStamp, int32_t fftp, int32_t sfi);
    const T3dBands& bands() const { return m_bands; }

    // --- painting
    void PaintNew3D();
    void checkYAxis();        // y max auto from the running maximum
    double getXaxisAngle() const;
    void setTextAnzZ();       // text size and how many labels fit on the y and z axes
    int32_t textAnz() const { return yztextanz; }
    static double makSkal(double teili) { return T3dScaleStep(teili); }

    // --- settings
    void LoadFromIni(const TMemIniFile& fini, const QString& Topic);
    void SavetoIni(TMemIniFile& fini, const QString& Topic) const;

    // Colours (0x00BBGGRR).
    TColorBGR FBackCol = 0xFFFFFF;  // image background
    TColorBGR FgridCol = 0x808080;  // grid lines
    TColorBGR FLineCol = 0xFF;      // wires and outlines
    TColorBGR FFlaeCol = 0xFFFF;    // plains and surface
    TColorBGR FTextCol = 0;         // labels
    TColorBGR FDiaBGCol = 0xC0C0C0; // the cube's back faces
    TColorBGR mainWindowColour = 0xC0C0C0; // the main window's colour: background after a load
    QString FxStr = "Hz", FyStr = "dB", FzStr = "ms"; // axis units
    QString logoText = "Velmora ";  // drawn in the corner
    bool isOpenGL = false;          // never drawn differently; kept for the settings
    std::function<void(int x, int y)> OnLeftMouseButClick;  // pixel of the click
    std::function<void(int x, int y)> OnRightMouseButClick;

private:
    struct BandRun;
    void paintBackFaces();
    void paintGrid();
    void paintLabels();
    void paintLogo();
    void paintBands();
    void bucketsForPaint();
    const std::vector<double>* reducedBand(int b); // the band's largest value per column, x
    bool bandRun(int b, std::vector<QPointF>& out, QPointF base[2]);
    double bandZ(int b) const;
    double zPos(double z) const; // world z of a time, the direction applied
    std::vector<double> xLabelValues() const;
    double edgePixels(T3dPoint a, T3dPoint b) const;

    double FXmin = 20.0, FXmax = 2000.0;   // x limits (Hz)
    bool FxLog = true;                     // logarithmic x
    double FYmin = -80.0, FYmax = 0.0;     // level limits
    double FZmin = 0.0, FZmax = 60.0;      // time limits (ms), set by the bands' stamps
    double FySkalDiff = 10.0, FzSkalDiff = 10.0; // label steps
    int32_t Fflaeche = 0;                  // 0 wire, 1 plain, 2 surface
    bool Fbeschrift = true;                // labels
    bool Fzttreverse = false;              // time labels run the other way
    bool Fzdiareverse = false;             // the newest band at the back
    bool FYmaxAuto = true;                 // y max follows the running maximum
    int32_t yztextanz = 2;                 // labels that fit on the y and z axes
    int32_t texthigh = 8;                  // text size, points
    T3dBands m_bands;                      // the data
    int32_t m_lastFftp = 0, m_lastSfi = 0; // x axis of pushSpectrum last set for

    // What a paint derives from the data and keeps while it stays valid: each x point's
    // column, and per ring slot the band reduced to one value per column.
    struct ColumnMap {
        double xmin = 0, xmax = 0;
        bool xlog = false;
        int columns = 0;
        uint64_t xVer = 0;
        uint64_t generation = 0;      // bumped whenever the map changes
    } m_map;
    std::vector<int> m_bucket;        // column of each x point, -1 outside the x range
    std::vector<double> m_xw;         // world x of each x point
    struct Reduced {
        uint64_t slotVer = 0, mapGen = 0;
        std::vector<double> yx;       // per column: largest value, then its world x
    };
    std::vector<Reduced> m_reduced;   // per ring slot
};
