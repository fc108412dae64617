// The "3D" window: the time signal above a splitter, the waterfall of its spectra below.
#pragma once

#include "display/T3Ddiagr.h"
#include "display/T3dRecords.h"
#include "dsp/Tsamplemem.h"
#include "measurements/I3DWindow.h"

#include <QImage>
#include <QWidget>
#include <functional>

class QDialog;
class QMenu;
class QSplitter;
class TDiagrammView;
class T3DView;
class TGdata;
class Tview3dset;
class TDia3dDlgF;

// One instance, made at program start and shown while a measurement feeds it. A right click on
// the waterfall opens the settings dialog (its Apply loop), the view tool moves the eye.
// GUI thread only.
class TChild3D : public QWidget, public I3DWindow {
public:
    explicit TChild3D(QWidget* parent = nullptr);
    ~TChild3D() override;

    // I3DWindow
    int32_t setFFTpoints(int32_t fftp) override;
    void setSF(int32_t sf) override { Samplefreq = sf; }
    void Clear3DDia() override;
    int32_t getZBands() const override { return diagr3D.Zbands(); }
    void show3D(bool on) override;
    void loadDia(const TMemIniFile& ini, const QString& topic) override;
    void saveDia(TMemIniFile& ini, const QString& topic) const override;

    // The settings in a file of their own (a preset): read, or written at once. A write that
    // fails says so ("Error writing Ini-File ...") and returns false; the program goes on.
    void LoadDia(const QString& Fname, const QString& Topic);
    bool SaveDia(const QString& Fname, const QString& Topic) const;
    int32_t getSF() const { return Samplefreq; }
    // Its settings were read (saving before that would store the defaults over the user's).
    bool settingsLoaded() const { return m_loaded; }
    // One slice: the spectrum sd3D (dB per FFT bin) becomes the newest band at TimeStamp (ms),
    // sdZ the time diagram's curve (either may be null); both are repainted.
    void PushDatas(const Tsamplemem* sd3D, const Tsamplemem* sdZ, double TimeStamp, int32_t fftp, int32_t sfi);
    // A result package of the 3D mode (its time stamp in s).
    void pushPackage(const TGdata& g);
    void PaintNew3D();
    // The waterfall's picture, freshly painted; EditCut puts it on the clipboard.
    QImage diagramImage();
    void EditCut();
    void setDlgVals(const T3dSettingsRec& td);
    void setDlgValsS(const T3dViewRec& tds);
    T3dSettingsRec dlgRecord() const;
    // The settings dialog, again after each Apply. runDialog replaces exec (tests).
    void openSettings();
    std::function<int(TDia3dDlgF&)> runDialog;
    // Shows or hides the window in its host's place (null: the window itself).
    std::function<void(bool on)> onShow3D;

    // --- the time diagram: its popup menu (left click in the plot) and colours (right click)
    // References into the running measurement's settings; null when it has none.
    double* pTriggLevel = nullptr;    // trigger level, FS
    double* pEcho_ms = nullptr;       // echo point, ms (-1: none)
    int32_t* pFFtbegin_samp = nullptr; // FFT start, samples
    std::function<void()> fOnParaChange; // a parameter of the measurement changed
    // The menu for a point of the time diagram (x in ms without the x offset, y in FS).
    QMenu* makeTimePopup(double x_ms, double y);
    // FFT range lines from t: to t + FFTpoints samples, or to the echo point when it comes first.
    void FFTLines(double t);
    void fftBeginAt(double x_ms);
    void echoPointAt(double x_ms);
    void triggerLevelAt(double y);
    void diagramYmaxAt(double y);
    void toggleAroundIps();
    void diagramDefault();
    void openTimeColours();
    std::function<int(QDialog&)> runColourDialog; // replaces exec (tests)
    double fftRangeFrom() const { return m_rangeFrom; } // range lines, ms
    double fftRangeTo() const { return m_rangeTo; }

    T3Ddiagr diagr3D;                 // the waterfall
    TDiagrammView* diagrammZ = nullptr; // the time diagram
    T3DView* view3D = nullptr;        // shows diagr3D
    Tview3dset* viewTool = nullptr;   // reference and eye point
    TColorBGR mainWindowColour = 0xC0C0C0; // background of the waterfall after a load

protected:
    void resizeEvent(QResizeEvent*) override; // keeps the splitter at splitratio

private:
    void switch3D();
    void setupTimeDiagram();

    QSplitter* m_split = nullptr;     // time diagram above, waterfall below
    Tsamplemem m_timeAxis;            // x of the time diagram, ms per sample
    double m_rangeFrom = 0, m_rangeTo = 0; // FFT range lines, ms
    void paraChanged() { if (fOnParaChange) fOnParaChange(); }
    void timeDiagramClicked(QPoint global);
    int32_t m_timeAxisRate = 0;       // sample rate m_timeAxis was made for
    int32_t Samplefreq = 44100;       // Hz
    int32_t FFTpoints = 4096;         // transform size
    int32_t FFTwin = 0;               // window number
    bool tfromAuto = true;            // kept for the settings
    double tfrom = 0.0;               // ms, kept for the settings
    double tstep = 1000.0 / 44100.0;  // ms, kept for the settings
    T3dViewRec m_views;               // current and stored views
    bool zreverse = false;            // time runs the other way
    bool OpenGldesi = false;          // OpenGL offered: never, drawing is the same without it
    bool makeOpenGL = false;          // OpenGL chosen (only when offered)
    bool audioRight = false;          // the right channel feeds the waterfall
    double splitratio = 0.25;         // splitter position, fraction of the height
    bool m_loaded = false;            // loadDia ran
};
