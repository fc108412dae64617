// The 2D x/y diagram: twelve curves on twelve y axes, drawn into an off-screen image.
#pragma once

#include "dsp/Tsamplemem.h"
#include "display/TYAXgroup.h"
#include "display/TDiagrammPaintCache.h"
#include "display/TDiagrammReadout.h"
#include "display/TDiagrammZoom.h"
#include "display/Tcurve.h"
#include "display/diaTypes.h"
#include "display/tColorListImg.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <optional>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TMemIniFile;

// Per-window defaults handed to LoadfromIni.
struct tdiaset {
    bool secactive = false; // a secondary (right-hand) channel exists: odd curves on group 1
    bool xlog = true;       // logarithmic x
    bool diaUp = false;     // compact layout
    double splitr = 0.3;    // splitter position, fraction of the window height
    double xmin = 20.0;
    double xmax = 22000.0;
    double ymax = 0.0;
    double ymaxsec = 0.0;   // limits of the odd groups
    double ymin = -120.0;
    double yminsec = -120.0;
    QString Einhsec = "n.a."; // unit of the odd groups
    QString XEinheit = "Hz";  // x unit
    QString Einh = "n.a.";    // unit of the even groups
    TColorBGR colMargin = 12639424; // margin colour when the INI has none (the window's colour)
};
using ptDiaSet = tdiaset*;

// The diagram model. All drawing goes into one QImage (getBitmap()); a window only shows that
// image and places real widgets where remEditRect(), the x scroll buttons and every group's
// SButUpper/SButLower say, forwarding their clicks to the *Click methods below. Mouse events
// come in through mouseDown/mouseMove/mouseUp in image pixels.
// Curves are resampled onto one x value per plot pixel column (Curve2Dia), so drawing cost
// does not depend on the data length. GUI thread only.
class TDiagramm {
public:
    TDiagramm();
    ~TDiagramm();
    TDiagramm(const TDiagramm&) = delete;
    TDiagramm& operator=(const TDiagramm&) = delete;

    // --- data in
    // Slot 0..11 (others ignored): OriY/CpyY := yw, zero phases, xaxis := xw, ValidData; without
    // interpolation the x grid becomes xw too. doPaint lays out and repaints without rescaling.
    void SetdataPointer(const Tsamplemem& yw, const Tsamplemem& xw, bool doPaint, int32_t LineNum);
    // Resamples curve `tline` onto the x grid into its CpyY (FxIbeg..FxIend), then applies the
    // y factor and offset.
    void Curve2Dia(int32_t tline);
    // Display smoothing of a curve's CpyY per its FDFilter.
    void DispFilter(Tcurve& aline);
    // Shifts a curve by its group's dynamic reference (y-axis modes).
    void fit2YaxisMode(int32_t tline, enumYaxisMode YaxisM);
    void preparefit2YaxisMode();
    // Slot access; null outside 0..11.
    Tcurve* curve(int32_t slot);
    const Tcurve* curve(int32_t slot) const;
    TYAXgroup* group(int32_t g);
    const TYAXgroup* group(int32_t g) const;

    // --- axes and settings (every setter stores and repaints)
    double X_min() const { return Fxmin; }
    double X_max() const { return Fxmax; }
    void setX_min(double v); // fires OnXminClick with v first
    void setX_max(double v); // fires OnXmaxClick with v first
    void setX_minX_Max(double xmax, double xmin); // fires both events, one repaint
    double Y1_max() const;
    double Y1_min() const;
    void setY1_max(double v);
    void setY1_min(double v);
    double xScalOffset() const { return FxScalOffset; }
    void setxScalOffset(double v);
    double xSkalFaktor() const { return FxSkalfak; }
    void setxSkalFaktor(double v);
    double ySkalFaktor() const { return fySkalFaktor; }
    void setySkalFaktor(double v);
    double ySkalOffset() const { return fySkalOffset; }
    void setySkalOffset(double v);
    const QString& xEinheit() const { return xEinH; }
    void setxEinheit(const QString& v);
    bool xSkalalog() const { return Fxlog; }
    void setxSkalalog(bool v); // also sets the x scroll steps: 10/500 (log) or 1/1
    enumYaxisMode YaxisMode() const { return FYaxisMode; }
    void setYaxisMode(int32_t v); // above 2 -> 0; 0 resets every group's static offset/factor
    bool YstepAuto() const { return Fystepauto; }
    void setYstepAuto(bool v);
    double YDiaSteps() const { return FyDiaSteps; }
    void setYDiaSteps(double v);
    bool Dia2Up() const { return FDia2Up; }
    void setDia2Up(bool v); // hides and disables every upper y button
    bool RangeLines() const { return FRangeLines; }
    void setRangeLines(bool v);
    bool ExtraLine() const { return FExtraLine; }
    void setExtraLine(bool v);
    bool sliding() const { return Fsliding; }
    void setsliding(bool v);
    bool aroundIps() const { return FaroundIps; }
    void setaroundIps(bool v);
    double aroundMin() const { return FaroundMin; }
    void setaroundMin(double v);
    double aroundMax() const { return FaroundMax; }
    void setaroundMax(double v);
    bool comppink() const { return FcompPink; }
    void setcomppink(bool v);
    bool interpol() const { return Finterpol; }
    void setinterpol(bool v);
    bool saveOfirst() const { return FsaveOfirst; }
    void setsaveOfirst(bool v);
    bool paintDia() const { return FpaintDia; }
    void setpaintDia(bool v);
    bool Freq_m() const { return Fmfreq; }
    bool Level_m() const { return Fmpeg; }
    bool Flanke_m() const { return Fmflan; }
    void setFreq_m(bool v); // the three cursor modes exclude each other
    void setLevel_m(bool v);
    void setFlanke_m(bool v);
    // The crosshair read-out (the default cursor) excludes the three modes above.
    bool CrossHair() const { return m_cross.on; }
    void setCrossHair(bool v);
    bool HarmMarks() const { return m_cross.harmonics; } // harmonic markers with the crosshair
    void setHarmMarks(bool v);
    TColorBGR Color_Cursor() const { return FColCur; }
    TColorBGR Color_Diagram() const { return FColDia; }
    TColorBGR Color_Grid() const { return FColGrid; }
    TColorBGR Color_Margin() const { return FColmargin; }
    TColorBGR Color_Text() const { return FColtext; }
    TColorBGR Color_Logo() const { return FCollogo; }
    TColorBGR Color_RangeL() const { return FColRangeL; }
    TColorBGR Color_ExtraL() const { return FcolExtraL; }
    void setColor_Cursor(TColorBGR c);
    void setColor_Diagram(TColorBGR c);
    void setColor_Grid(TColorBGR c);
    void setColor_Margin(TColorBGR c); // also the remark edit and the legend
    void setColor_Text(TColorBGR c);
    void setColor_Logo(TColorBGR c);
    void setColor_RangeL(TColorBGR c);
    void setColor_ExtraL(TColorBGR c);
    const QString& Rem_1() const { return Frem1; }
    void setRem_1(const QString& s);
    const QString& logo() const { return Flogo; }
    void setlogo(const QString& s);
    double curXval_ms() const { return FcurXval; }
    void setcurXval_ms(double v);
    // The x grid: one value per plot pixel column (with interpolation).
    const Tsamplemem& Xaxis() const { return pXdat; }
    const QFont& font() const { return mFont; }
    void setFont(const QFont& f);
    void setXaxis(const Tsamplemem& x); // the x grid (used without interpolation)
    int32_t diaNummer() const { return DiaNummer; }

    // --- curve access
    void setcvis(bool c1, bool setit, int32_t ind);
    void makdiaVis(int32_t c);           // slots 0..7 visible iff slot < c
    int32_t getAnzVisCurv() const;
    void setCurveName(int32_t ind, const QString& name);
    QString getCurveName(int32_t ind) const;
    int32_t getGroup(int32_t ind) const;
    void setColline(int32_t ind, TColorBGR c);
    TColorBGR getColline(int32_t ind) const;
    void setEinh(const QString& Ein, int32_t ind); // unit of curve ind's group
    // The ind-th (from 0) curve that is selected and has valid data; null when none.
    Tcurve* getIndCurve(int32_t ind);
    // Colours of the first two selected curves among slots 0..7 (123456 when missing).
    void getfirstsecondColLine(TColorBGR& Lcol, TColorBGR& Rcol) const;

    // --- scaling helpers
    void SetRangeLinesValues_ms(double RLr, double RLl);
    void SetExtraLineValue(double v);
    void SetaroundSkal_ms(double Around);
    void setXmax2_100ms(double time);
    // The grid step ladder: first step strictly greater than teili; yko gets its decimals.
    static double makSkal(int32_t& yko, double teili);
    // y rounded to a multiple of curve al's group step.
    double fit2xteil(int32_t al, double y) const;
    static int32_t getXKommastellen(double xteil);
    // Label of log-table entry i with the unit's "k"/"M" folded into the number ("1km" -> "1000m").
    static QString getLogText(int32_t i, const QString& Einh);
    static double logGridValue(int32_t i); // LogGridTable[i], i in 0..98
    static QString logGridLabel(int32_t i); // its label ("" for 4, 6, 7, 8, 9 multipliers)
    double getXminDat() const;
    double getXmaxDat() const;
    bool PointInDiaReci(int32_t x, int32_t y) const;

    // --- coordinates (valid after a layout)
    double XtoPix(double x) const;
    double PixToX(double px) const;
    int32_t YtoPix(double v, const TYAXgroup& g) const;
    int32_t LogYtoPix(double ymax, double ymin, double v) const;
    // Pixel row of v on group g's scale, linear or logarithmic.
    int32_t valueToPix(double v, const TYAXgroup& g) const
    {
        return g.FyScalog ? LogYtoPix(g.Fymax, g.Fymin, v) : YtoPix(v, g);
    }
    const QRect& Diareci() const { return m_diareci; } // plot rectangle (right/bottom inclusive as laid out)
    // Linear x to pixels per unit and log x pixels per ln unit of the current layout.
    double pixPerX() const { return pixPfreq; }
    double logScale() const { return logSko; }
    double xGridStep() const { return xteil; } // x label step of the last paint

    // --- layout and painting
    // Lays out for a w x h image. doBits: bit 0/1 x scaling, bits 2/3 y scaling, any non-zero
    // also the label columns; -1 = everything, 0 = repaint only.
    void newsize(int32_t w, int32_t doBits, int32_t h);
    void paintNew(bool dob);  // relayout (everything when dob) and repaint
    void refreshX_();          // new x scaling and repaint
    void PaintBitM();          // paints the image from the current layout
    // Repaints asked for between holdRepaints() and releaseRepaints() (nesting) are gathered:
    // at the outermost release one repaint follows when one was asked for, or, with paintNow
    // false, it stays pending until flushRepaint() or the next repaint.
    void holdRepaints() { ++m_hold; }
    void releaseRepaints(bool paintNow = true);
    bool repaintPending() const { return m_repaintPending; }
    void flushRepaint();       // the pending repaint, now
    const QImage& getBitmap() const { return Bitm2; }
    // The part of the image the last repaint may have changed: all of it, or, when the axes
    // were kept and no cursor is shown, the plot (with the rows curves may reach) and legend.
    const QRegion& changedRegion() const { return m_changed; }
    int32_t width() const { return m_w; }   // size of the last layout, pixels
    int32_t height() const { return m_h; }
    bool laidOut() const { return m_laidOut; } // the last layout produced a plot
    // Clip bits of the last paint per slot: 2 = some point above the plot, 4 = below.
    int32_t clipBits(int32_t slot) const;
    // Fills the user slots with no data and draws no curve until new data arrives.
    void clearDiaData();
    void dataArrived() { FirstD = 0; } // a measurement's new data: curves are drawn again
    void clearMouseCur(bool c);
    // The next y limit of one automatic scroll step from `value` on group g: the neighbouring
    // log-table entry (log group) or makSkal(|ymax - ymin|/10) * (round(value/step) +- 1).
    double doYskalAuto(int32_t group, double value, bool up) const;
    // Window widgets report here. y buttons: group, upper (ymax) or lower (ymin), up or down.
    void yButtonClick(int32_t group, bool upper, bool up);
    // x scroll buttons: high (xmax) or low (xmin), up or down.
    void xScrollClick(bool high, bool up);
    QRect remEditRect() const;      // where the remark edit sits (empty: hidden)
    QRect scrollLFRect() const;     // low x scroll button (empty: hidden)
    QRect scrollHFRect() const;     // high x scroll button (empty: hidden)
    QRect legendRect() const;       // the legend between them

    // --- legend and remark
    void setRem2(const QStringList& lines);
    const tColorListImg& legend() const { return Rem3; }
    void setLegendFontSize(int32_t pt);
    void setLang(char) {}

    // --- mouse (image pixels); buttons: 1 left, 2 right
    void mouseDown(int32_t button, int32_t x, int32_t y);
    void mouseMove(int32_t x, int32_t y);
    void mouseUp(int32_t button, int32_t x, int32_t y);
    int32_t cursorKind() const { return dispVar; }
    // A cursor and its read-out are shown.
    bool cursorShown() const { return dispVar >= 1 && dispVar <= kCursorCross; }
    const QString& cursorXtext() const { return Xtext; }
    const QString& cursorYtext() const { return Ytext; }
    double cursorYval() const { return curYval; }
    // Crosshair: the read-out at the pointer and the reference marker a click sets.
    const TReadout& readout() const { return m_cross.readout; }
    const std::optional<TReadoutRef>& readoutRef() const { return m_cross.ref; }
    const QRect& zoomBox() const { return m_cross.box; } // being dragged (empty: none)
    void mouseDoubleClick(int32_t button, int32_t x, int32_t y); // left: the stored range again

    // --- zoom. The first zoom step remembers the limits (the stored range, which the settings
    // keep); limits set any other way (setters, scroll buttons, loading) make the view the
    // stored range.
    // Wheel at pixel (px, py): steps > 0 zoom in by kWheelZoomStep each, around the pointer;
    // x, or with yAxes the y range of every shown group. Zooming out stops at the stored range.
    void wheelZoom(int32_t px, int32_t py, double steps, bool yAxes);
    bool boxZoom(const QRect& box); // false (nothing done) when smaller than kMinZoomBox
    void restoreStoredRange();
    const std::optional<TZoomHome>& zoomHome() const { return m_zoomHome; }
    // The axis end labels a click edits: which limit lies at pixel (x, y), where its label is,
    // its value, and setting it (false when rejected: not above the other end, log <= 0).
    TAxisHit axisLabelAt(int32_t x, int32_t y) const;
    QRect axisLabelRect(TAxisHit h) const;
    double axisLimit(TAxisHit h) const;
    bool setAxisLimit(TAxisHit h, double v);

    // --- text export
    // Export rows (see the class comment in the .cpp): x, then sep + value per selected valid
    // curve, "\r\n" ending each line. sep is the program's text column separator.
    QString getLastDiagrammText(int32_t Mode, QChar sep = u';');
    // Writes getLastDiagrammText to a file; false with the reason in *error on failure.
    bool saveasText(const QString& fname, QChar sep = u';', QString* error = nullptr);
    int32_t FPrec = 5;          // export field width
    int32_t FDigits = 2;        // export decimals
    int32_t FTlines = 100;      // export rows
    bool OriSizeLines = false;  // export the original points of the curves

    // --- settings
    void LoadfromIni(const TMemIniFile& ini, const QString& diagpriv, const tdiaset& ds);
    void SavetoIni(TMemIniFile& ini, const QString& diagpriv) const;
    // The same on a file (ds null: the tdiaset defaults). Loading a file that cannot be read
    // gives the defaults and returns false. Saving merges into the file and writes it
    // atomically; on failure it shows "Error writing Ini-File <name>" and returns false
    // (the program goes on; *error gets the reason).
    bool LoadfromIni(const QString& Fname, const QString& diagpriv, const tdiaset* ds = nullptr);
    bool SavetoIni(const QString& Fname, const QString& diagpriv, QString* error = nullptr) const;
    // The caption written small at the lower right of the plot.
    static QString fixedCaption();

    // --- events
    std::function<void()> OnLeftMouseButClick;
    std::function<void()> OnRightMouseButClick;
    std::function<void(double xvNew)> OnXminClick;
    std::function<void(double xvNew)> OnXmaxClick;
    // Fired after every repaint of the image (a window updates itself).
    std::function<void()> OnRepainted;

    // Layout figures the window and tests read.
    int32_t orand = 0, urand = 0, lrand = 0, rrand = 0; // margins, pixels
    int32_t textHigh = 0;      // height of "8"
    int32_t charwidth = 0;     // width of "8"
    int32_t anaResultHei = 26; // legend height
    int32_t XAxYpos = 0;       // y of the x labels
    int32_t NewSizes = 0;      // layouts, modulo 32768
    bool bDrawPolyLine = true; // poly-line, else Bezier
    QString yEinH = "dB";      // y unit of the cursor read-out
    // First drawn grid index: clearDiaData sets it to grid size - 1, which stops every curve
    // from being drawn until SetdataPointer (or a caller that fills curves itself) sets 0.
    int32_t FirstD = 0;
    int32_t curposX = -1, curposXn = -1, curposY = -1, curposYn = -1; // cursor, pixels

private:
    // Layout without touching the image: margins, label columns, scaling, x grid.
    bool computeLayout(int32_t w, int32_t doBits, int32_t h);
    void layoutYaxes();
    int32_t yColumnWidth(const TYAXgroup& g) const;
    static bool guiAvailable();
    QString yLabelText(const TYAXgroup& g, double v) const;
    void placeWidgetRects();
    void makeXaxis(int32_t w);
    void computeScaling();
    void changed();            // a setter stored something: relayout and repaint
    void repaintOnly();        // paint and tell the window
    // Painting steps.
    // Background, frame, axes and grid: repainted when what they show changed, else taken
    // from the last paint (a measurement repaints many times a second over the same axes).
    void paintStaticLayers(QPainter& p);
    QByteArray staticLayerKey() const;
    void paintBackground(QPainter& p);
    void paintFrame(QPainter& p);
    void paintYaxes(QPainter& p);
    void paintLinYaxis(QPainter& p, TYAXgroup& g, bool grid);
    void paintLogYaxis(QPainter& p, TYAXgroup& g, bool grid);
    void paintXaxis(QPainter& p);
    void paintLinXaxis(QPainter& p);
    void paintLogXaxis(QPainter& p);
    void paintLines(QPainter& p);
    void paintCurves(QPainter& p);
    void paintMarker(QPainter& p, const Tcurve& c, const TYAXgroup& g);
    void paintCursor(QPainter& p);
    void paintLogo(QPainter& p);
    void paintLogoText(QPainter& p);
    QFont logoFont() const;
    QString logoText() const;
    bool logoWithAxes() const;
    int32_t logoWidth() const;
    // Draws CpyY of c over grid indices ibeg..iend; returns the clip bits.
    int32_t drawCurve(QPainter& p, const Tcurve& c, const TYAXgroup& g, int32_t ibeg, int32_t iend);
    int32_t columnOf(double x) const; // pixel column of x within the plot (XtoPix, rounded)
    bool thinSolidPen(const QPainter& p) const;
    struct TColumnMemo {
        const TDiagramm* dia;
        const double* xs;
        int32_t index = -1, column = 0;
        int32_t operator()(int32_t k);
    };
    static int32_t lastInColumn(TColumnMemo& col, int32_t i, int32_t last, int32_t count);
    using TColumnSamples = TDiagrammPaintCache::TColumnSamples;
    using TColumnKey = TDiagrammPaintCache::TColumnKey;
    using TColumnSpan = TDiagrammPaintCache::TColumnSpan;
    const std::vector<TColumnSamples>* columnsOfGrid(int32_t a, int32_t b);
    QRect curveClipRect() const; // where curves are drawn: the plot and a few rows beyond
    // Everything a paint draws over the kept axes but its curves: lines, legend, logo, caption.
    QRegion overAxesRegion() const;
    QRect captionRect() const;
    QRect captionPlace() const;
    bool captionOverAxesOnly(const QRect& place) const;
    void paintCaption(QPainter& p);
    QFont captionFont() const;
    void restoreFromStatic(const QRegion& r);
    static void copyPixels(QImage& to, QPoint at, const QImage& from, const QRect& part);
    void markCurve(bool spans);
    QRect logoRect() const;  // the logo's line, right-aligned at the plot's right edge
    QRect logoPlace() const; // where its ink may go
    void fillColumnSpans(QRgb colour);
    // Curve2Dia, display smoothing and y-axis mode of one slot, as a paint does.
    bool prepareCurve(int32_t slot);
    bool curveDrawable(int32_t slot) const;
    // One column of the resampler: value at bis from the source points after von.
    static double sumF(const Tcurve& c, int32_t& last, double bis, double von);
    // Cursor helpers.
    void cursorFrequency(int32_t x);
    bool cursorLevel(int32_t y, double& d);
    void setCursorTexts(double d, double ratio, bool haveX, bool haveY);
    // Crosshair and zoom helpers.
    static constexpr int32_t kCursorCross = 4; // dispVar of the crosshair
    bool crossActive() const { return m_cross.on && !Fmfreq && !Fmpeg && !Fmflan; }
    void crossMove(int32_t x, int32_t y);
    void crossUp(int32_t button, int32_t x, int32_t y);
    void paintCrosshair(QPainter& p);
    void paintReadoutText(QPainter& p);
    void paintHarmonics(QPainter& p);
    void limitsSetExplicitly();
    void rememberHome();
    bool groupShown(int32_t g) const;
    double yValueAt(const TYAXgroup& g, int32_t py) const;
    void applyZoom(TRange x, const std::array<TRange, kDiaCurves>& y);
    std::array<TRange, kDiaCurves> yRanges() const;
    int32_t labelColumnAt(int32_t x) const;
    // Export helpers.
    bool exportSpan(double& xlo, double& xhi) const;
    // Export row g's first grid column of the temporary export layout, and its column where c
    // is largest.
    int32_t firstColumnOfRow(int32_t g) const { return g * 10 + (g * 10) / FTlines; }
    int32_t peakColumnOfRow(const Tcurve& c, int32_t g) const;
    QString exportLine(double x, const std::vector<const Tcurve*>& cs, int32_t idx, bool ori,
                       const QString& fmt, const QString& dec, QChar sep) const;
    void readCrossHair(const TMemIniFile& ini, const QString& s);
    void loadGroups(const TMemIniFile& ini, const QString& diagpriv, const tdiaset& ds);

    std::array<Tcurve, kDiaCurves> aline;       // the twelve curves
    std::array<TYAXgroup, kDiaCurves> aYgroup;  // the twelve y axes
    std::array<int32_t, kDiaCurves> m_clip{};   // clip bits of the last paint per slot
    std::array<int32_t, kDiaCurves> m_colLeft{}; // left edge of each group's label column, pixels
    tColorListImg Rem3;                          // legend
    QImage Bitm2;                                // the off-screen image
    QRect m_diareci;                             // plot rectangle
    Tsamplemem pXdat;                            // x grid
    QFont mFont;                                 // diagram font (Arial 8)
    int32_t m_w = 60, m_h = 40;                  // size of the last layout, pixels
    bool m_laidOut = false;                      // the last layout produced a plot
    int32_t m_hold = 0;                          // holdRepaints() depth
    mutable TDiagrammPaintCache m_paint;         // what the painter reuses between paints
    QRegion m_changed;                           // see changedRegion()
    bool m_repaintPending = false;               // a held repaint was asked for
    QRect m_remRect, m_lfRect, m_hfRect, m_legRect; // window widget places, pixels
    int32_t m_legFit = 0; // width the last layout fitted the legend into, pixels
    QSize m_legSize;      // the legend's size in that layout
    struct TXGridKey {
        int32_t points = 0;
        double xmin = 0.0, xmax = 0.0;
        bool log = false;
        bool operator==(const TXGridKey&) const = default;
    };
    std::optional<TXGridKey> m_xGridKey;         // what makeXaxis last built pXdat from
    int32_t m_mouseX = 0, m_mouseY = 0;          // last mouse position, pixels
    double PixXPdat = 1.0, logSko = 1.0, pixPfreq = 1.0, xteil = 1.0;
    int32_t DiaNummer = 0;
    int32_t dispVar = 0;
    bool mctoggle = false;
    QString Xtext, Ytext, CarDiftxt;
    double curYval = 0.0;
    double RangeLX = 0.0, RangeRX = 0.0, ExtraLineX = 0.0;
    int32_t RangeLXPix = 0, RangeRXPix = 0, ExtraLineXPix = 0;
    bool Fmfreq = false, Fmpeg = false, Fmflan = false;
    bool Fystepauto = true, Fxlog = true, FDia2Up = false, FRangeLines = false, FExtraLine = false;
    bool Fsliding = false, FcompPink = false;
    TColorBGR FColCur = 0, FColDia = 0xFFFF00, FColGrid = 0xFFFF, FColmargin = 0x808080, FColtext = 0;
    TColorBGR FCollogo = 0xFF0000, FColRangeL = 0x8000, FcolExtraL = 0xFF;
    double FxScalOffset = 0.0, Fxmax = 20000.0, Fxmin = 20.0;
    bool Finterpol = true, FsaveOfirst = false, FaroundIps = false;
    double FaroundMin = 0.2, FaroundMax = 5.0, FyDiaSteps = 10.0;
    bool FpaintDia = true;
    QString Flogo = "Logo", Frem1;
    enumYaxisMode FYaxisMode = eYAMnormal;
    QString xEinH = "Hz";
    double FxSkalfak = 1.0, fySkalFaktor = 1.0, fySkalOffset = 0.0, FcurXval = 0.0, oldXmax = 99.0;
    double xminSteps = 1.0, xmaxSteps = 500.0;
    int32_t XtextMaxKomma = 0, XtextMinKomma = 0;
    int32_t logTextAnf = 0;
    TCrosshairState m_cross;                     // the crosshair read-out
    std::optional<TZoomHome> m_zoomHome;         // limits before zooming (none: not zoomed)
    bool m_zooming = false;                      // limits being set by a zoom step
};
