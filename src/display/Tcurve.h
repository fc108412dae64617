// One curve of a diagram: its data, display copy, appearance, arithmetic and files.
#pragma once

#include "dsp/Tsamplemem.h"
#include "display/diaTypes.h"

#include <QString>
#include <cstdint>

class TMemIniFile;
class Tcorri;

// A curve of a TDiagramm slot 0..11. Values: OriY in the unit of FValuelogY (dB or linear),
// xaxis in the diagram's x unit (Hz, ms, ...), phases in radians. CpyY is what the diagram
// draws: OriY resampled to one value per pixel column, smoothed and shifted; -192 = no data.
// GUI thread only (measurements hand their data over in a TGdata).
class Tcurve {
public:
    // Slot `num` (use -1 for a free-standing curve, e.g. one loaded from a file): five buffers
    // of 256 zeros, Fsel true, Fop2 1, line width 1, solid pen, no data (ValidData false).
    explicit Tcurve(int32_t num = -1);

    // Everything, data and appearance, from `a` (deep copies).
    void copy(const Tcurve& a);
    // As copy(); the name the window code has always used for writing a dialog copy back.
    void copyfrom(const Tcurve& a) { copy(a); }
    // Values only: OriY, CpyY, OriPh, CpyPh, xaxis, FValuelogY, Flogx and Cygroup.
    void copyValuesfrom(const Tcurve& a);
    // All five buffers back to 256 zeros, no valid data, marker cleared.
    void clearall();
    // OriY and CpyY become copies of yw; both phases zeros of that length; ValidData true.
    void SetOriY(const Tsamplemem& yw);
    // OriPh and CpyPh become copies of ph.
    void SetOriPh(const Tsamplemem& ph);
    // SetOriY (yw) and SetOriPh (ph) at once, without clearing the phase first.
    void SetOriYPh(const Tsamplemem& yw, const Tsamplemem& ph);
    // New zeroed buffers of `points` samples (all five).
    void setNewPoints(int32_t points);
    // Writes OriY, CpyY and xaxis at idx; ignored outside 0..size-1.
    void setPoint(int32_t idx, double x, double y);
    // First / last non-zero x of xaxis (0 when there is none).
    double getxfbeg() const;
    double getxfend() const;

    // A correction curve as a curve: Typ 0 input, 1 output (name prefix), visible, unselected,
    // unfiltered, group 0, valid.
    void Cor2Curve(const Tcorri& cor, int32_t Typ);

    // This := this <oper> acurve (complex, with phase); acurve is resampled first when the two
    // differ in size, log flag, dB-valuedness or x span (missing values -192).
    void Operation(const Tcurve& acurve, enumOpTyp oper);
    // Per point the larger of this and acurve (acurve aligned as in Operation).
    void doPeak(const Tcurve& acurve);
    // This := acurve1 <op> acurve2.
    void doAddi(const Tcurve& acurve1, const Tcurve& acurve2);
    void doSubtr(const Tcurve& acurve1, const Tcurve& acurve2);
    void doMulti(const Tcurve& acurve1, const Tcurve& acurve2);
    void doDivi(const Tcurve& acurve1, const Tcurve& acurve2);
    // OriY := -1000 (dB-valued) or 0 (linear): the start of a peak hold.
    void clearPeak();
    // Adds offs to every OriY value.
    void AddOffset(double offs);
    // Reference value of a y-axis mode on the display copy over the grid xc: 0 dB @ 1 kHz takes
    // CpyY at the first grid x above 1000, 0 dB @ max takes the maximum of CpyY; normal gives 0.
    double checkYAxis(enumYaxisMode yaxisM, const Tsamplemem& xc) const;

    // The curve keys in `section`. `num` decides the read defaults: "FSEL" is true for curves
    // 0 and 1; "Cygroup" is 1 for odd curves when secactive, else 0 (clamped 0..11).
    void load(const TMemIniFile& ini, const QString& section, int32_t num, bool secactive);
    void save(TMemIniFile& ini, const QString& section) const;
    // The curve file (".cur"): INI section "aCurve" plus the data part. savetoFile replaces
    // the file atomically and returns false, with "Error writing Ini-File <name>..." in *error,
    // when it could not be written; loadfromFile returns the SAMPLES count. A missing,
    // unreadable or damaged file (not text, no "aCurve" section, points announced without a
    // data part, more than kMaxFilePoints) returns 0, leaves the curve untouched and says
    // why in *error; on success *error is emptied. The transform keys ("FFTWIN", "FFTSIZE")
    // are written when known; on reading, a missing one leaves FFTwin / SamplesFFT unknown,
    // and so does a value that cannot be used, which *notice (when given) then names; it is
    // emptied otherwise.
    bool savetoFile(const QString& Fname, QString* error = nullptr) const;
    int32_t loadfromFile(const QString& Fname, QString* error = nullptr, QString* notice = nullptr);

    // Largest SAMPLES count a curve file may announce (points); larger files are refused.
    static constexpr int32_t kMaxFilePoints = 1 << 24;

    int32_t line = -1;              // slot 0..11 in its diagram (-1: none)
    TColorBGR FColLine = 0;         // line colour, 0x00BBGGRR
    uint32_t Tag = 0;               // free for the owner
    int32_t Sfreq = 0;              // sample rate of the data it came from, Hz
    bool Fcvis = false;             // visible
    bool Fsel = true;               // selected: receives data, takes part in export and legend
    Tsamplemem OriY;                // original y values
    Tsamplemem CpyY;                // display copy (resampled, filtered, shifted)
    Tsamplemem OriPh;               // phase of OriY, radians
    Tsamplemem CpyPh;               // phase of CpyY, radians
    Tsamplemem xaxis;               // x value of every original point
    int32_t Cygroup = 0;            // y-axis group 0..11 it is drawn against
    bool Flogx = false;             // x values are meant for a logarithmic axis
    enumYvalueTyp FValuelogY = edBFS; // value kind
    int32_t FDFilter = 0;           // display smoothing 0..4
    QString Name = "no name";       // shown in the curve panel and the legend
    QString Comment = "...";        // free text
    QString FileName = "*.cur";     // last curve file
    double PixYPdat = 1.0;          // pixels per y unit (set by the layout)
    TFpoint MarkerP;                // marker position, data units
    int32_t MarkPat = 0;            // 1 draws an X-shaped marker
    bool ValidData = false;         // holds data worth drawing
    int32_t FxIbeg = 0;             // first x-grid index covered by the display copy
    int32_t FxIend = 0;             // last x-grid index covered by the display copy
    int32_t FlineMode = 0;          // pen style 0..4 (lineModeToPenStyle)
    int32_t FlineWidth = 1;         // pen width, pixels
    enumOpTyp Foperation = eMeasure; // arithmetic recipe
    int32_t Fop1 = 0;               // first operand slot
    int32_t Fop2 = 1;               // second operand slot
    int32_t Fspez = 0;              // 1: special slot (9..11) that never receives measurements
    edBModi FdbMode = dBmode_unknown; // level unit the values were made in
    // The transform a spectrum curve was measured with, so that its level can be read again
    // with the right window correction: window kind 0..8 (-1 unknown) and size (0 unknown).
    int32_t FFTwin = -1;
    int32_t SamplesFFT = 0;
    bool frem2Name = false;         // when set, Name is replaced by Comment
};
