// The impulse measurement (modes 4, 5 and 11): one shot of a dirac, MLS or burst response, gated spectrum, reverberation time.
#pragma once

#include "dsp/ipsEval.h"
#include "dsp/reverbTime.h"
#include "measurements/MeasurementClass.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class FFtuliContext;
class I3DWindow;
class IDiagramHost;
class TGdata;
class TMemIniFile;
class tIpsMeas;

// The step numbers; those of the stored state.
enum eIpsStep : int32_t {
    ipsSearch = 0,   // external impulse: waiting for the trigger
    ipsCollect = 1,  // external impulse: collecting after the trigger
    ipsFetch = 2,
    ipsCheck = 3,
    ipsDiracs = 4,
    ipsFFT = 5,
    ipsReady = 6,
    ipsEnd = 7,
    ipsAfter = 20,   // the shot is evaluated: another one, or the end of the run
    ipsInit = 99,
    ipsStop = 100,
    ipsStart = 101,
    ipsParked = 999
};

// Message 1051 (WM_USER + 27) to the step window; wParam 723. lParam below 9990 sets the step
// first, 9990 and above only run the current one.
constexpr int kMsgIpsStep = 0x400 + 27;

// The hidden step window: receives the step messages, repeats the status text every 50 ms
// while a shot runs (Timer1), and, when shown, collects debug lines (Memo1) and the measured
// pulse length (Label1). GUI thread only.
class TFipsForm : public QObject {
public:
    explicit TFipsForm(tIpsMeas* owner);
    bool event(QEvent* e) override;
    void clear() { Memo1.clear(); } // the "clear" button

    QStringList Memo1;   // debug lines
    QString Label1;      // pulse length, "%1.3f" ms
    QTimer Timer1;       // 50 ms: the status text again
    bool visible = false; // the window is shown: debug lines are collected

private:
    tIpsMeas* m_owner;   // measurement whose steps run here
};

// What a shot came to: per channel the trimmed time signal and the gated spectrum (dB re the
// excitation, and phase in degrees or group delay in ms), the frequency axis, and for mode 11
// the reverberation times of channel 0.
struct TIpsShotResult {
    std::vector<std::vector<double>> time;   // per channel, cut in front of the impulse
    std::vector<std::vector<double>> mag_dB; // per channel, SamplesFFT/2 values
    std::vector<std::vector<double>> second; // per channel, empty without a second curve
    std::vector<double> freq;                // Hz per bin
    int32_t firstBin = 0;                    // the gate's lowest valid bin
    int32_t fftBegin = 0;                    // FFT start in the cut time signal, samples
    int32_t cut = 0;                         // samples dropped in front
    double peak_dBFS[2] = {-192, -192};      // largest sample of each channel's response
    TRtResult rt;                            // mode 11
};

// The impulse measurement. Each shot: start input and the generator's single signal (or wait
// for an external impulse), fetch the recording, deconvolve an MLS, find the impulse, gate it,
// transform, average over shots, draw. Every step runs on message 1051 posted to the step
// window, so the user interface stays responsive; the module's notifications only post.
// GUI thread only.
class tIpsMeas : public tMeasureObj {
public:
    // host: the diagram window (may be null); mode: 4, 5 or 11.
    tIpsMeas(IDiagramHost* host, int32_t mode);
    ~tIpsMeas() override;

    eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                  const Tcorri* dCor) override;
    eMeasRes DeInit(int32_t para) override;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double para) override;
    eMeasRes Mstart(int32_t para) override;
    double calcGoodFrameRate_ms() override { return 0.0; }
    void LoadFromIni(const QString& LOADname) override;
    void saveToINI(const QString& savename) override;
    eMeasRes SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor) override;
    eMeasRes SetChannels(int32_t iCha, int32_t oCha) override;
    QStringList resultText() const override { return m_resultLines; }
    QJsonObject resultFigures() const override;
    std::vector<std::vector<double>> recordedSignal() const override { return m_shot.time; }
    int32_t framesDrawn() const override { return m_drawn; }
    // A run that is not continuous ends by itself once its average is drawn.
    bool endedByItself() const override { return m_ended; }

    void setSettingsIni(TMemIniFile* ini) { m_sharedIni = ini; }
    void setWindow3D(I3DWindow* w) { m_win3D = w; }
    // The 3D window's bands: (magnitude dB, frequency axis, slice time ms); mode 5.
    std::function<void(const std::vector<double>&, const std::vector<double>&, double)> onSlice;
    // The 3D window's caption (mode 5).
    std::function<void(const QString&)> onCaption;

    void BuildDia();
    // Evaluates the last shot again from its stored time signals ("Recalculate", moved markers).
    void recalc() override;
    QString getDiagramCaption() const { return m_status; }
    double startTime_ms();
    double stopTime_ms() { return readTime_ms(); }
    double readTime_ms() const;

    // Runs the current step (lParam >= 9990) or first sets it (< 9990).
    void onStepMessage(intptr_t lParam);
    // Steps 3 to 5 at once on recorded channels (test entry): deconvolution as the generator
    // says, start, gate, spectrum, averaging. Returns the shot's result.
    const TIpsShotResult& evaluateShot(std::vector<std::vector<double>> channels);
    const TIpsShotResult& lastShot() const { return m_shot; }
    TFipsForm& stepWindow() { return m_stepWnd; }
    // Status text of every step (the last one sent through callback command 5).
    const QStringList& statusLog() const { return m_statusLog; }
    void repeatStatus(); // Timer1

    int32_t ipsStep = ipsInit;       // current step
    double levLdbfs = -192.0;        // VU levels of an external impulse, dBFS
    double levRdbFs = -192.0;
    int32_t asyncMessTime = 10000;   // ms to wait for an external trigger ("asyncMessTime")
    int32_t scount = 0;              // blocks collected since the trigger
    int32_t AveCounter = 1;          // shots still to collect for the average
    int32_t shotsTaken = 0;          // shots evaluated since the start

private:
    void post(intptr_t lParam);
    void status(const QString& s);
    void stepSearch();
    void stepCollect();
    bool stepFetch();
    void stepCheck();
    void stepDiracs();
    void stepFFT();
    void stepAfter();
    void stepStop();
    void stepStart();
    bool StartSiSampSync();
    bool StartSiSampAsync();
    void fireSignal(); // the generator's single signal out
    int32_t getSampsize() const;
    int32_t generatorMode() const;
    bool triggerFound();
    void calcLevdB(const std::vector<std::vector<double>>& block);
    void checkIps();
    void calcDiracs();
    void FFTundDiagram();
    void accumulate();
    void draw();
    void resultLines();
    double excitationGain() const; // linear level the response is divided by
    bool isShared(const QString& name) const;

    IDiagramHost* m_host;               // diagram window, not owned (may be null)
    I3DWindow* m_win3D = nullptr;       // waterfall window, not owned (may be null)
    int32_t m_mode;                     // 4, 5 or 11
    TFipsForm m_stepWnd;                // receives the step messages
    cFFTdat* m_fft = nullptr;           // shared FFT settings, not owned
    cAnaPara* AnadataM = nullptr;       // shared analysis parameters, not owned
    std::unique_ptr<Tcorri> inCor, Dispcor; // copies of the corrections
    std::shared_ptr<TGdata> Gdata;      // the package the diagram draws
    TwaveGO SoundMerk{};                // generator record at Init, restored at DeInit
    bool m_haveSoundMerk = false;
    std::unique_ptr<FFtuliContext> m_fftCtx; // transform tables
    TMlsDeconvolver m_deconv;           // the MLS spectrum, kept per order
    std::vector<std::vector<double>> m_rec;  // the recorded shot per channel
    std::vector<std::vector<double>> ReCalcTimeDats; // cut time signals of the last shot
    TIpsShotResult m_shot;              // the last evaluation
    std::vector<std::vector<double>> m_sumMag, m_sumSecond; // averaging sums per channel
    int32_t m_shotLen = 0;              // samples per channel of the running shot
    int64_t m_t1 = 0;                   // steady clock at the shot's start, ns
    bool m_recalcPending = false;       // a recalculation waits for the shot to end
    bool m_stopAsked = false;           // the user stopped the run: a queued next shot is dropped
    bool m_ended = false;               // the run ended with its average drawn
    int32_t m_drawn = 0;                // results drawn since Init
    QString m_status;                   // last status text
    QStringList m_statusLog;            // every status text since Init
    QStringList m_resultLines;          // result lines of the last drawing
    TMemIniFile* m_sharedIni = nullptr; // the program's settings in memory, not owned
    int64_t m_lastFetched = 0;          // frames recorded at the last trigger search
    int64_t m_fetchFrom = 0;            // first frame of the shot, counted from the input's start
    int64_t m_firedAt = -1;             // frames recorded when the signal was sent out; -1: not yet
    bool recordedFrames(int64_t frames, std::vector<std::vector<double>>& out); // newest frames
    int64_t recorded() const;           // frames recorded since the input started
    int64_t outputStartFrame() const;   // where the generator's first sample was recorded; -1: not yet
    void acknowledge();                 // lets a module paced by fetching go on
};
