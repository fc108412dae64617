// What the diagram window does with its two diagrams: results in, curve slots, arithmetic, settings.
#pragma once

#include "base/utils.h" // vlFontInfo
#include "display/TDiagramm.h"
#include "display/diaMessages.h" // MSG_DIA_CLEARCURVE, MSG_DIA_DRAWN, MSG_DIA_PUTDIA

#include <QString>
#include <cstdint>
#include <functional>

class TGdata;
class TMemIniFile;
class Tcorri;

// Tags of the hosted secondary panel.
enum : int32_t {
    kSecTagTimeDia = 749,        // low 16 bits; the measurement type sits in the high 16 bits
    kSecTagTimeDiaGone = 347,    // time diagram taken away
    kSecTagThieleSmall = 525037, // Thiele-Small result panel
    kSecTagOszi = 590573,        // oscilloscope panel
    kSecTagFreePanel = 943       // a panel freed by OpenSecundaryWindow(9999)
};

// One curve of a result package; absent buffers are null (not owned).
struct tDiaCurveData {
    const Tsamplemem* y0fd_v = nullptr;  // frequency-domain values
    const Tsamplemem* y0fd_ph = nullptr; // their phase, radians
    const Tsamplemem* y0td_V = nullptr;  // time-domain values, FS
    enumYvalueTyp Ylogfdv = edBFS;       // value kind of y0fd_v
    edBModi YdbMode = dBMode_dbFS;       // level unit the values were made in
    int32_t FFTwin = -1;                 // window kind of a spectrum (-1: none, or unknown)
    int32_t SamplesFFT = 0;              // transform size of a spectrum (0: none, or unknown)
};
using ptDiaCurveData = tDiaCurveData*;

// Where the user clicked in the time diagram (for its popup menu).
struct TTimeDiaPoint {
    double x_ms = 0.0; // x minus the diagram's x offset, ms
    double y = 0.0;    // FS
};

// The level unit of a spectrum as the value kind of its curve.
enumYvalueTyp yValueTypOf(edBModi m);

// The diagram window without its widgets: drives the main (frequency-domain) diagram and, when
// one is hosted, the time diagram. Neither diagram is owned. The window installs the callbacks
// below to repaint its curve panels and views. GUI thread only.
class TDiaWindowModel {
public:
    TDiaWindowModel(TDiagramm& mainDia, TDiagramm* timeDia = nullptr);

    TDiagramm& mainDia() { return m_main; }
    // The hosted time diagram, null when the secondary panel is none or another kind.
    TDiagramm* timeDia() const { return timeHosted() ? m_time : nullptr; }
    void setTimeDiagram(TDiagramm* t) { m_time = t; }
    // Tag of the hosted secondary panel (0: none).
    int32_t SecTag = 0;
    bool timeHosted() const { return m_time && (SecTag & 0xFFFF) == kSecTagTimeDia; }
    // Sets up the time diagram for measurement type `typ` (tag (typ << 16) + 749).
    void configureTimeDiagram(int32_t typ);

    // --- results in
    // Items with y0fd_v go in order to the selected, non-special slots 0..11; items with y0td_V
    // to the time diagram's slots 0, 1, ... (x in ms, colour of the main slot of that item).
    void putCurvesNew(const tDiaCurveData* dc, int32_t anz, bool logx, int32_t sfreq, const Tsamplemem& xaxis);
    // The older two-curve entry: y[k]/ph[k] of kind kinds[k] to the first two selected,
    // non-special slots, td[k] to time-diagram slots 0 and 1 (x from the sample rate).
    void putCurves(const Tsamplemem* const y[2], const Tsamplemem* const ph[2], const enumYvalueTyp kinds[2],
                   const Tsamplemem* const td[2], int32_t sfreq, const Tsamplemem& xaxis, bool logx);
    // Recomputes slot tline from its operands (Foperation, Fop1, Fop2).
    void doCurveOperations(int32_t tline);
    // Selected main curves: odd groups get Pstr2, even ones Pstr1 ("dB" in a y-axis mode
    // other than normal unless the unit starts with "dB").
    void setUnit2selCurves(const QString& Pstr1, const QString& Pstr2);
    // Message 1053. Null or a package its measurement withdrew does nothing. Distributes the
    // package by its diagram form, clears its Working flag and posts 1052 (723, 13) to its
    // MsgHandle. Returns whether it was processed.
    bool wmPutDia(TGdata* pkg);
    // Message 1040: clears the peak hold of slot wParam (0..11, others ignored) and shows it.
    void wmclearcurve(intptr_t wParam);

    // --- slots and selections
    // Shifts the selection of slots 0..7 by `shift` (positive: towards higher slots); what
    // passes 7 or 0 is lost; |shift| > 56 does nothing. Newly selected curves become visible.
    void newcurves(int32_t shift);
    // "Shift to next curve": by the number of selected curves, down = towards higher slots.
    void shiftnewcurves(bool down);
    // "clear curves" per ConCCcurves / ConCCselections.
    void clearCurves();
    // The target curve file into slot 7, aligned at 1 kHz with slot aCurve.
    bool compare2Ideal(int32_t aCurve);
    // Correction curves in slots 6 (input) and 7 (output); without Open the slots are cleared.
    void showCors(const Tcorri* OutCor, const Tcorri* InCor, bool Open);
    void setMarker(bool an1, bool an2, double y2, double a, double y1, double b);
    void setMarkerOn(bool an1, bool an2);
    void setText2selCurves(const QString& s1, const QString& s2);
    // The curve No places after the first selected slot of 0..7 (slot 0 past 7); false if none.
    bool getselectedCurve(int32_t No, Tcurve*& Curve);
    // Drops slot s on slot t (0..7): replace keeping t's colour, or t := t + s with add.
    // Nothing happens for s == t or a slot outside 0..7. Returns whether t changed.
    bool dropCurve(int32_t s, int32_t t, bool add);
    // Time-diagram curve k takes the colour of the k-th selected main curve (k = 0, 1).
    void syncTimeColours();

    // --- x limit edits ("X min / Hz", "X max / Hz")
    // Fixed point with 6 significant digits and the makSkal decimals of v.
    static QString xLimitText(double v);
    // Applies an edit's text; false (nothing changed) when it is no number or breaks min < max.
    bool applyXminText(const QString& text);
    bool applyXmaxText(const QString& text);

    // --- the time diagram's popup menu (texts and actions; see the window)
    QString popupPointText(const TTimeDiaPoint& p) const;
    QString popupTriggerText() const;
    QString popupAroundText() const;
    void fftBeginAt(const TTimeDiaPoint& p);
    void diagramBeginAt(const TTimeDiaPoint& p);
    void diagramEndAt(const TTimeDiaPoint& p);
    void echoPointAt(const TTimeDiaPoint& p);
    void diagramYmaxAt(const TTimeDiaPoint& p);
    void triggerLevelAt(const TTimeDiaPoint& p);
    void toggleAroundIps();
    void diagramDefault();
    void applyVisTdom();

    // --- settings
    // Window keys of section "diapriv"; clientHeight gives SplitterTop's default (x ds.splitr).
    void LoadfromIni(const TMemIniFile& ini, int32_t clientHeight, const tdiaset& ds);
    void SavetoIni(TMemIniFile& ini) const;
    // Window keys, the main diagram from section Topic, a hosted time diagram from Topic + "Z".
    void loadDia(const TMemIniFile& ini, const QString& Topic, const tdiaset& ds, int32_t clientHeight);
    void saveDia(TMemIniFile& ini, const QString& Topic) const;
    // Text of the main ('F'/'f', 70/102) or time ('T'/'t', 84/116) diagram; empty otherwise.
    QString getLastDiagrammText(int32_t DiaType, int32_t Mode);
    // Writes that text; true on FAILURE (reason in *error), as the callers have always tested.
    bool SaveAsText(const QString& Fname, int32_t DiaType, QString* error = nullptr);

    // --- state
    double splitratio = 0.2;        // initial splitter position, fraction of the client height
    bool ConCCselections = false;   // "clear curves" resets the selections
    bool ConCCcurves = true;        // "clear curves" clears the data
    int32_t visTdom = 1;            // bit k shows time-diagram curve k (k = 0, 1)
    int32_t SplitterTop = -1;       // splitter position read from the settings, pixels (-1: none)
    vlFontInfo font;                // window font
    double* pTriggLevel = nullptr;  // running measurement's trigger level, FS (null: none)
    double* pEcho_ms = nullptr;     // its echo point, ms (null: none)
    int32_t* pManFFTbegin_samp = nullptr; // its manual FFT start, samples (null: none)
    int32_t Samplefreq = 44100;     // sample rate of the running measurement, Hz
    int32_t FFTpoints = 4096;       // its transform size
    QString unitLeft = "dBFS";      // current unit texts of the left and right channel
    QString unitRight = "dBFS";
    QChar textSep = u';';           // column separator of text exports

    // --- events
    std::function<void()> fOnParaChange;    // a measurement parameter was changed from here
    std::function<void()> onPanelsChanged;  // the curve panels need repainting
    std::function<void(TColorBGR, TColorBGR)> onChannelColours; // first two selected colours
    std::function<void(TGdata&)> on3DData;  // a Sample_3D package for the 3D window
    std::function<void()> onReset;          // the window relays out after a big change

private:
    Tcurve* userSlot(int32_t s);
    void fillCurve(Tcurve& c, const tDiaCurveData& d, bool logx, int32_t sfreq, const Tsamplemem& xaxis);
    void fillTimeCurve(int32_t k, const Tsamplemem& td, int32_t sfreq, TColorBGR col);
    void finishPut();
    void putPackage(TGdata& g, bool sweep);
    void setLimit(bool high, double v);
    void paramChanged();
    void panelsChanged();

    TDiagramm& m_main;             // main frequency-domain diagram
    TDiagramm* m_time = nullptr;   // time diagram when one exists (hosted per SecTag)
    TColorBGR m_corCol[2] = {0, 0}; // colours of slots 6 and 7 before showCors
    Tsamplemem m_timeAxis;          // x axis of the time curves, ms (kept while size and rate hold)
    int32_t m_timeAxisRate = 0;     // sample rate m_timeAxis was built for, Hz
};
