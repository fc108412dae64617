// The distortion-versus-power engine: a hidden step object that drives the generator level by level and measures power and THD.
#pragma once

#include "analysis/AnalysePara.h"
#include "dsp/Tsamplemem.h"
#include "measurements/TPowThdSettings.h"
#include "soundDLLTypes.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class FFtuliContext;
class IDiagramHost;
class Tcorri;

// The engine's states; the numbers are those of the stored state byte.
enum stState : uint8_t { stStart = 0, stCheck1 = 1, stMeas = 2, stMeas1 = 3, stStop = 4 };

// Message 1054 (WM_USER + 30): run the current state.
constexpr int MSG_POWTHD_STEP = 0x400 + 30;

// What the progress display shows after each step.
struct TPowThdProgress {
    int32_t step = 0;      // 1-based
    int32_t steps = 0;
    bool power = true;     // x in W, else mV
    double x = 0.0;        // power or voltage of the step
    double thd = 0.0;      // THD of the used channel, dB or %
    bool percent = false;  // thd in %
    bool running = false;
};

// The engine. sweepStart() begins a run: with the gain check it first plays the test level
// and measures the chain's gain (stCheck1), then steps the generator from the first to the
// last level, one measured block per step (stMeas), until a stop rule ends it (stStop). Each
// state runs on message 1054, posted by the measurement for every new input block and by the
// engine itself after a stop decision; a state that needs a block and finds none waits for the
// next message. Every decision is logged with the time of day (Memo1); the two warning
// questions go through the message service, so a run without a user takes their default
// answer and the log says which.
// Curves: 8 THD curves (even = left channel, odd = right) over the x values (W or mV) of the
// steps, handed to the diagram window after every step as a sweep package.
// GUI thread only.
class TPowThdForm : public QObject {
public:
    TPowThdForm();
    ~TPowThdForm() override;

    // Takes the diagram window and the corrections (not owned; any may be null).
    void initPowThd(IDiagramHost* diaf, const Tcorri* icor, const Tcorri* ocor);
    void deinitPowThd();
    void sweepStart();
    void sweepStop();
    // Runs the current state now (what message 1054 does).
    void runState();
    bool event(QEvent* e) override;

    // The calibration of the program (not owned; null: the defaults).
    void setCalibration(const TLevelCalibration* cal) { m_cal = cal; }
    // Told when the running flag changes (the measurement's Measrun follows it).
    std::function<void(bool)> onRun;
    // The progress display of the main window (PowThdShowWatt).
    std::function<void(const TPowThdProgress&)> FprogressNE;
    // Told of every log line (the debug window), and whether that window shows: with "Debug
    // Window" from initPowThd and each start on, hidden by deinitPowThd.
    std::function<void(const QString&)> onLog;
    std::function<void()> onLogCleared;
    std::function<void(bool)> onWindow;

    // "Power Thd Debug Window" or "Voltage Thd Debug Window".
    QString caption() const;
    // Output level of the generator (property TestVolume): the used channels get the level,
    // the others -192 dBFS.
    void setTestVolume(double dBFS);
    double testVolume() const;
    bool sweepruns() const { return fsweepRuns; }
    // The diagram's x axis from the settings (after the dialog changed them).
    void setXAxis();

    TPowThdSettings set;              // the dialog's settings
    cAnaPara PowAnaDat;               // THD on, the rest off; fundamental fixed at the test frequency
    cFFTdat PowFFTdat;                // transform size, window; level unit mV while measuring
    QStringList Memo1;                // the log
    stState PowMeasState = stStop;    // current state
    int32_t cStep = 0;                // current step, 0-based
    double LevproStep = 0.0;          // generator level increment per step, dB
    double OutLevBeg_dBFS = 0.0;      // generator level of the first and last step
    double OutLevEnd_dBFS = 0.0;
    bool running_up = true;           // levels rise (false after the reversal)
    bool shiftcurves = false;         // the way down is drawn as a new set of curves
    uint32_t overL = 0;               // input channels at full scale in the last block, bit n
    double aktThdL = 0.0, aktThdR = 0.0; // last THD per channel (dB or %)
    double aktPowL = 0.0, aktPowR = 0.0; // last power (W) or voltage (mV) per channel
    double aktLevL = -192.0, aktLevR = -192.0; // last input level per channel, dBFS
    std::vector<double> PowThdsd[8];  // THD curves per step (even left, odd right)
    std::vector<double> PowThdsdx;    // x per step (W or mV), 0 = no point
    int32_t channels = 2;             // result curves of the last step
    int32_t SampleShot_ms = 0;        // duration of one transform block, ms

private:
    void log(const QString& line);
    void setRun(bool on);
    void stateStart();
    void stateCheck1();
    void stateMeas();
    void stateStop();
    void stateDefault();
    void logStartHeader();
    TPowThdLevels prepareRun(const TLevelCalibration& cal, TwaveGI& gi);
    void beginRun(const TPowThdLevels& lev, TwaveGO& go, const TwaveGI& gi);
    bool askInputLevel(double begLevel, double endLevel);
    void beginSteps();
    bool measureBlock();
    double usedX() const { return (set.PoDleftCH || !set.PoDrightCH) ? aktPowL : aktPowR; }
    void evaluateThd();
    void logStep();
    bool nextStep();            // false: the run stops
    void reverse();
    void shiftDiagram();
    void restartInput();
    void stopIO();
    void drawCurves();
    void nameCurves(const std::vector<size_t>& curves);
    void postStep();

    IDiagramHost* m_dia = nullptr;    // diagram window, not owned
    const Tcorri* SinCor = nullptr;   // input correction, not owned
    const Tcorri* SoutCor = nullptr;  // output correction, not owned
    std::unique_ptr<Tcorri> m_noCor;  // an inactive curve: the dB conversion without a correction
    const TLevelCalibration* m_cal = nullptr; // calibration, not owned
    bool fsweepRuns = false;          // the run is on
    std::unique_ptr<FFtuliContext> m_fftCtx; // transform tables
    std::unique_ptr<Tcorri> m_weighting;     // weighting of the analysis settings
    Tsamplemem m_spec[2];             // magnitude spectra of the last block (mV correction applied)
    Tsamplemem m_specdB[2];           // raw dB spectra of the last block
    Tsamplemem m_xAxis;               // bin frequencies, Hz
    int32_t m_rate = 48000;           // input sample rate, Hz
    bool m_drewCurves = false;        // this run has drawn: the next one starts on new slots
    bool m_namesPending = false;      // the curves of the set have not been named yet
};
