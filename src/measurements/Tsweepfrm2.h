// The sweep engine: steps the generator over frequency, times each step on the input sample
// clock, evaluates each step's block and hands the growing curves to the diagram.
#pragma once

#include "analysis/AnalysePara.h"
#include "measurements/Twobdat.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class IDiagramHost;
class TGdata;
struct TLevelCalibration;
struct tFilterBlockSet;

// Phases of a synchronous step.
enum eSweepStep : int32_t {
    swSettle = 0,  // the generator changed; waiting for the device to settle
    swMeasure = 1, // the block is being recorded
    swReady = 2    // the block is complete: evaluate on the next notification
};

// The hidden engine window of modes 3, 6, 7 and 8 (one per sweep measurement). It receives the
// engine's messages (1038: a block arrived; 1052 with 723/13: the diagram drew the package) and,
// when `visible`, collects debug lines in Memo1.
//
// Step timing: settling and measuring are counted in input samples, read from the module's
// record counter (SDGetFuturePara 1), starting where the generator's change is certain to play:
// the count when the change was handed over, plus the largest stretch the module delivers at
// once, plus its reported latency. So a step's block never holds the previous frequency,
// whatever the module's block size; on real hardware this is the same time as a wall clock,
// and on the virtual bench in fast pacing a sweep runs as fast as it can be computed.
// GUI thread only.
class Tsweepfrm2 : public QObject {
public:
    Tsweepfrm2();
    ~Tsweepfrm2() override;
    bool event(QEvent* e) override;

    // Set-up and close. The corrections are not owned (null: none); diaf may be null.
    void initFreqgen(IDiagramHost* diaf, const Tcorri* icor, const Tcorri* ocor, int32_t Mmode);
    bool closefreqgen();
    // Starts a sweep (resuming an interrupted synchronous one of modes 3, 6, 8 when its points
    // are still there); stops a running one instead.
    void sweepStart();
    void STOPbutClick();
    // A new block was announced: message 1038 to itself unless the engine is busy.
    void ISoundData();
    // Restarts a continuous sweep from its start frequency after the pause.
    bool StartFreqOut(Twobdat& wo);
    void calcMinMaxTime();
    Twobdat getWobDat() const { return ActiveWobDat(); }
    void setWobconti(bool conti) { ActiveWobDat().wobconti = conti; }
    bool wobbelnAktiv() const { return ActiveWobDat().wobbelnAktiv; }
    // Every frequency 0, every value -192 (a point without a value).
    void clearMeasVal();
    tmRefMess getRefMess() const { return ActiveWobDat().RefMess; }
    QString getRMname() const { return RefMessName(ActiveWobDat().RefMess); }
    void SetChannels(int32_t iCha, int32_t oCha);

    // What the engine measures with, not owned: the spectrum and analysis settings (channel
    // counts, level unit and its calibration pair), the input filter blocks (may be null).
    void setAnalysis(cFFTdat* fft, cAnaPara* ana) { AnaFFTdSW = fft; AnadataSW = ana; }
    void setCalibration(const TLevelCalibration* cal) { m_calibration = cal; }
    void setInputFilters(tFilterBlockSet* blocks) { m_filters = blocks; }

    std::function<void()> FprogressNE;  // progress display (the main window's SweepShowFreq)
    std::function<void()> FsweepMeasNE; // the run state changed

    // The results so far: one value per step and input channel, the frequency per step.
    const std::vector<Tsamplemem>& values() const { return Wobsdata; }
    const Tsamplemem& frequencies() const { return Wobsdx; }
    int32_t WorkSweepStep = swSettle;   // phase of the current step
    double aktFreq = 0.0;               // current frequency, Hz
    double aktLevL = 0.0, aktLevR = 0.0; // the two channel values of the display
    int32_t aktStepG = 0;               // current step
    int32_t OverL = 0;                  // input overload: low byte left, second byte right
    float pauseCountDown = 0.0f;        // seconds of pause left (0: no pause)
    int32_t wait1kHzStep = 0;           // phase of the marker-tone wait
    int32_t asyncCount = 0;             // marker-tone detections
    bool visible = false;               // debug lines are collected
    QStringList Memo1;                  // the debug lines
    int32_t sweepsFinished() const { return m_finished; } // sweeps that ran to their end
    bool ranToEnd() const { return m_ranToEnd; } // the last sweep started ended by itself
    int32_t packagesSent() const { return m_sent; }       // results handed to the diagram
    int64_t stepFrames() const { return m_lastBlockFrames; } // samples of the last step's block
    // The last sweep that ran to its end: how long it took (s, steady clock), and the sum of its
    // steps' settling and measuring times (s), what a wall-clock timer would have taken.
    double lastSweep_s() const;
    double nominal_s() const { return m_nominal_ms / 1000.0; }

private:
    void onSoundData();
    void onDrawn();
    int64_t recorded() const;
    void acknowledge();
    void armStep(double f);
    void advanceClock(int64_t rec);
    void setGenerator(double f);
    bool fetchBlocks(int32_t frames, std::vector<Tsamplemem>& blocks);
    void evaluateStep();
    void evaluateSync(std::vector<Tsamplemem>& blocks, double f);
    void evaluateTHD(std::vector<Tsamplemem>& blocks, double f);
    void evaluateImpedance(std::vector<Tsamplemem>& blocks, double f);
    void evaluateAsync();
    bool estimateAsync(std::vector<Tsamplemem>& blocks, double& freq);
    void appendAsyncPoint(std::vector<Tsamplemem>& blocks, double f);
    void filterChannels(std::vector<Tsamplemem>& blocks, double f);
    TLevelCorr timeDomainCorr(int channel) const;
    double absoluteLevel(double U, double f, int channel) const;
    void afterStep();
    void endOfSweep();
    void startPause();
    void pauseTick();
    void sendResults();
    void buildPackage(TGdata& g) const;
    void readOverload();
    void resizeResults(int32_t points);
    void progress() { if (FprogressNE) FprogressNE(); }
    void runState() { if (FsweepMeasNE) FsweepMeasNE(); }
    int32_t inChannels() const;
    int32_t rate() const;

    IDiagramHost* diagramfrm = nullptr;   // the 2D diagram window, not owned (may be null)
    const Tcorri* SinCor = nullptr;       // input correction, not owned
    const Tcorri* SoutCor = nullptr;      // output correction, not owned
    cFFTdat* AnaFFTdSW = nullptr;         // spectrum settings, not owned
    cAnaPara* AnadataSW = nullptr;        // analysis settings, not owned
    const TLevelCalibration* m_calibration = nullptr; // level calibration, not owned
    tFilterBlockSet* m_filters = nullptr; // input filter blocks, not owned
    std::shared_ptr<TGdata> Gdata;        // result package, shared while on its way
    std::vector<Tsamplemem> Wobsdata;     // measured value per step, one buffer per input
    Tsamplemem Wobsdx;                    // frequency per step
    TSweepTiming m_timing;                // AnzWELL, MINTIM, MAXTIM
    int32_t WobCalcActiv = 0;             // 1 while busy: notifications are ignored
    double Merkfreq = 1000.0;             // generator frequency at set-up, restored at close
    int32_t MerkModeL = 0, MerkModeR = 0; // generator modes at set-up
    double MerkFreqL = 1000.0;            // left generator frequency at set-up
    int32_t MerkToneDura = -1;            // tone duration at set-up
    int64_t m_lastRec = 0;                // record counter at the last look
    int64_t m_deliverFrames = 0;          // largest stretch the module delivered at once
    int64_t m_settleEnd = 0;              // record count where the step's settling ends
    int64_t m_measureEnd = 0;             // record count where the step's block is complete
    int64_t m_lastBlockFrames = 0;        // frames of the last evaluated block
    int64_t m_asyncStart = -1;            // record count where the asynchronous measurement began
    int32_t m_highDetections = 0;         // estimates above 3000 Hz
    bool m_inFlight = false;              // a package is on its way to the diagram
    bool m_dirty = false;                 // results changed while it was
    bool m_newCurvesAfterDraw = false;    // a finished sweep moves on once its last package is drawn
    int32_t m_finished = 0;               // sweeps that ran to their end
    bool m_ranToEnd = false;              // the sweep started last ended by itself (not continuous)
    int32_t m_sent = 0;                   // packages sent
    QTimer m_pauseTimer;                  // counts the pause down in 0.1 s
    int64_t m_runStartNs = 0;             // steady clock at the start of the current sweep
    int64_t m_runEndNs = 0;               // steady clock at its end (0: not ended)
    double m_nominal_ms = 0.0;            // settling and measuring times of its steps so far
    int32_t m_settle_ms = 100;            // settling time of the current step, ms
};
