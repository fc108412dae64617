// The FFT measurement: continuously updated spectra of every input channel, evaluated in steps.
#pragma once

#include "analysis/AnaEval.h"
#include "measurements/MeasurementClass.h"
#include "measurements/tSpectrumAverager.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

class FFtuliContext;
class I3DWindow;
class IDiagramHost;
class TMemIniFile;
class TGdata;
class tFFT2Dmeas;
struct TLevelCalibration;
struct tFilterBlockSet;

// Step numbers of the evaluation chain. 0 waits for a block, 1..12 are one pass, 13 ends it.
enum eFFTStep : int32_t {
    fsIdle = 0,
    fsFetch = 1,
    fsFilter = 2,
    fsSpectrum = 3,
    fsAverage = 5,
    fsLogConvert = 6,
    fsResultText = 8,
    fsScale = 9,
    fsWeighting = 11,
    fsSend = 12,
    fsDone = 13,
    fsStop = 100,
    fsStart = 101,
    fsParked = 999
};

// The hidden step window: receives the step messages (1052, wParam 723) of its measurement and,
// when shown, collects debug lines. GUI thread only.
class TF2dMeas : public QObject {
public:
    explicit TF2dMeas(tFFT2Dmeas* owner) : m_owner(owner) {}
    bool event(QEvent* e) override;

    int32_t iR = 0;         // first sample of the transform in the block
    int32_t s2 = 0;         // half the transform size
    double time = 0.0;      // duration of the last pass, ms
    bool visible = false;   // debug lines are collected
    QStringList Memo1;      // the debug lines

private:
    tFFT2Dmeas* m_owner;    // measurement whose steps run here
};

// The 2D (and the 3D window's) FFT measurement. Each step is run by a posted message so that
// the user interface stays responsive between steps; passes never overlap: a pass starts only
// from step 0, after the window answered for the last package (1052, 723, 13), and a block
// that arrives meanwhile is dropped. The package goes to the window shared, and is never
// changed while the window may still read it: one still on its way when the measurement ends
// (DeInit, destruction) or starts again is withdrawn, so the window drops it, and a start
// fills a new one. GUI thread only.
class tFFT2Dmeas : public tMeasureObj {
public:
    // host: the diagram window (may be null: results are then only kept in the package).
    explicit tFFT2Dmeas(IDiagramHost* host = nullptr);
    ~tFFT2Dmeas() override;

    void setDiaMode(eSampleMode Mode) { DiaMode = Mode; }
    eSampleMode diaMode() const { return DiaMode; }
    bool MRun(bool Run);
    // Samples fetched per pass: SamplesFFT (plus the 3D depth), rounded up to a multiple of 8.
    int32_t CalcSampleMem() const;
    void BuildDia2D(bool Load);
    void BuildDia3D();

    eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                  const Tcorri* dCor) override;
    eMeasRes DeInit(int32_t para) override;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double para) override;
    eMeasRes Mstart(int32_t para) override;
    double calcGoodFrameRate_ms() override { return m_frameResol_ms; }
    void LoadFromIni(const QString& LOADname) override;
    void saveToINI(const QString& savename) override;
    eMeasRes SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor) override;
    eMeasRes SetChannels(int32_t iCha, int32_t oCha) override;

    // The main window's frame resolution ("FRAMERESOL_ms").
    void setFrameResolution_ms(double ms) { m_frameResol_ms = ms; }
    // The program's settings held in memory (saved by the main window): LoadFromIni and
    // saveToINI of that file's name use it instead of the disk, and leave the diagram's own
    // settings to the main window. Not owned; may be null.
    void setSettingsIni(TMemIniFile* ini) { m_sharedIni = ini; }
    QStringList resultText() const override { return m_resultLines; }
    QJsonObject resultFigures() const override;
    std::vector<std::vector<double>> recordedSignal() const override;
    // Depth bands of the 3D window (3D diagram only).
    void setZBands(int32_t z) { m_zBands = z; }
    // The waterfall window the 3D diagram mode feeds. Not owned; may be null.
    void setWindow3D(I3DWindow* w) { m_win3D = w; }
    // Time of the last band handed to the waterfall, ms of recorded input since the start.
    double lastBandTime_ms() const { return m_lastBand_ms; }
    // Shows the pass time "%1.3fms" at step 13 (the main window's time debug switch).
    void setTimeDebug(bool on) { m_timeDebug = on; }
    // The program's filter blocks, whose input blocks filter the recorded blocks in step 2 (at
    // the measurement's sample rate, their state carried from pass to pass). Not owned; null:
    // no input filtering.
    void setInputFilters(tFilterBlockSet* blocks) { m_filters = blocks; }
    // The calibration record the levels are converted with. Not owned; null: the defaults.
    void setCalibration(const TLevelCalibration* cal) { m_calibration = cal; }

    // Runs the current step (lParam 9990), or first jumps to step lParam (< 9990). lParam 13
    // is the window's answer: it ends the pass of the package sent, and is ignored when no
    // package is on its way; it leaves a stop or start asked for meanwhile to run.
    void onStepMessage(intptr_t lParam);
    int32_t FFTstep = fsParked;           // step of the evaluation chain
    TGdata* gdata() { return Gdata.get(); }
    TF2dMeas& stepWindow() { return m_stepWnd; }
    const QStringList& resultLines() const { return m_resultLines; } // last result text
    const TResultValues& results() const { return m_results; }       // what it measured
    const tSpectrumAverager& average() const { return m_average; }   // the averaging state
    // Empties the sums of the average in progress (the settings changed under it).
    void clearAverage() { m_average.clear(); }
    int32_t passesDrawn() const { return m_passesDrawn; }            // packages sent
    int32_t framesDrawn() const override { return m_passesDrawn; }
    uint32_t overloadedChannels() const override { return m_overChannels; }
    // Steps 2 to 11 at once on blocks already fetched (one per input channel, each at least
    // SamplesFFT long), after a start: what one pass computes, without the messages.
    bool evaluateBlocks(std::vector<Tsamplemem> blocks);
    // What a start prepares for the passes at a sample rate (Hz): the frequency axis, the
    // averaging memory, the window and the weighting. Returns the samples fetched per pass.
    int32_t preparePasses(int32_t sampleRate);
    double lastPassTime_ms() const { return m_stepWnd.time; }

private:
    void next();
    void advance(bool goOn); // next() when the step says the chain goes on
    void postStep(intptr_t lParam = 9990);
    bool stepFetch();
    bool bandDue(); // 3D: a fetched block becomes a band once fft3Dstepping has passed
    bool stepFilter();
    void keepTimeSignal(Tsamplemem& block, Tsamplemem& timeSignal);
    void keepRecording();
    bool stepSpectrum();
    bool stepAverage();
    bool stepLogConvert();
    bool stepResultText();
    bool stepScale();
    bool stepWeighting();
    void stepSend();
    void stepDone();
    void stepStop();
    void stepStart();
    void newPackage();    // a fresh, empty package that answers to the step window
    void retirePackage(); // the package withdrawn and let go, its averaging memory freed
    int32_t startInput(int32_t mem); // registers the block callback, starts input; status word
    void setPriority(bool belowNormal);
    QString yUnit() const;
    bool isShared(const QString& name) const; // name is the file of the shared settings
    void prepareTransform();                  // window and tables for the settings' kind and size

    IDiagramHost* m_host;                  // diagram window, not owned (may be null)
    std::shared_ptr<TGdata> Gdata;         // result package, shared with message 1053 on its way
    bool m_awaitingDraw = false;           // a package was sent and the window has not answered
    eSampleMode DiaMode = Sample_2D;       // 2D or 3D diagram
    cFFTdat* m_fft = nullptr;              // shared FFT settings, not owned
    cAnaPara* AnadataM = nullptr;          // shared analysis parameters, not owned
    std::unique_ptr<Tcorri> inCor;         // copy of the input correction
    std::unique_ptr<Tcorri> Dispcor;       // copy of the display correction
    std::unique_ptr<Tcorri> m_weighting;   // weighting curve of the analysis settings
    TF2dMeas m_stepWnd;                    // receives the step messages
    std::unique_ptr<FFtuliContext> m_transform; // window and transform tables of step 3
    int32_t m_windowKind = -1;             // kind m_transform's window was prepared for
    tFilterBlockSet* m_filters = nullptr;  // the program's filter blocks, not owned (may be null)
    const TLevelCalibration* m_calibration = nullptr; // level calibration, not owned (may be null)
    QStringList m_resultLines;             // result text of the last pass
    TResultValues m_results;               // what the last result text measured
    std::vector<std::vector<double>> m_recorded; // time signal of the last pass per channel (full scale 1)
    tSpectrumAverager m_average;           // summed spectra and the count still to collect
    // Linear powers of the left and right spectrum's bins, taken in step 6 for the result
    // text when the levels there are plain (m_powersKnown), so step 7 need not raise them.
    std::vector<double> m_binPowers[2];
    bool m_powersKnown[2] = {false, false};
    TMemIniFile* m_sharedIni = nullptr;    // the program's settings in memory, not owned
    double m_frameResol_ms = 100.0;        // shortest time between two passes
    int32_t m_zBands = 0;                  // 3D depth bands
    I3DWindow* m_win3D = nullptr;          // waterfall window, not owned (may be null)
    double m_lastBand_ms = -1e300;         // recorded time of the last band sent (3D)
    bool m_timeDebug = false;              // show pass times
    int32_t m_passesDrawn = 0;             // packages sent to the diagram
    uint32_t m_overChannels = 0;           // channels at full scale in the last block, bit n = channel n
    int64_t m_passStart_ns = 0;            // steady clock at step 1
};
