// The measurement contract: base class, result codes, the callback to the main window, mode tables.
#pragma once

#include "analysis/AnalysePara.h"
#include "dsp/Tsamplemem.h"
#include "soundDLLTypes.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;

// Result of the measurement operations (one byte).
enum eMeasRes : uint8_t { mereOK = 0, mereFault = 1, mereBusy = 2 };

// Commands a measurement sends to the main window; any other number is ignored there.
enum eCBtoMainCmd : int32_t {
    cbmSetAverage = 2,    // para: averaging count; the spin edit takes it and runs its handler
    cbmShowAveCounter = 3, // para: averaging counter; shown without running the handler
    cbmDiagramKind = 4,   // para: 0 the 2D diagram is shown now, 1 the 3D diagram
    cbmRemark = 5,        // para: address of a NUL-terminated UTF-8 text (diagram remark line)
    cbmVULeft = 6,        // para: left-channel level, dB
    cbmVURight = 7,       // para: right-channel level, dB
    cbmRefreshSignal = 8  // para unused: refresh the signal and status display
};

// The measurement's line to the main window: (command, parameter). The parameter is pointer
// sized because command 5 passes the address of a text.
using tCBtoMain = std::function<void(int32_t cmd, intptr_t para)>;

// Base of every measurement. The main window owns exactly one (the active measurement), creates
// it on a mode change, calls Init, starts and stops it with Mstart, hands it new blocks through
// Mexecute at the rate calcGoodFrameRate_ms allows, and calls DeInit before freeing it.
// GUI thread only.
class tMeasureObj {
public:
    tMeasureObj();
    virtual ~tMeasureObj();
    tMeasureObj(const tMeasureObj&) = delete;
    tMeasureObj& operator=(const tMeasureObj&) = delete;

    virtual bool getMeasRun() const { return fMeasrun; }
    // Clears the remote reply; a running measurement that stops while a remote client waits
    // leaves "Mready" as the reply and forgets the request.
    void setMeasRun(bool bo);
    bool Measrun() const { return getMeasRun(); }

    // Base part, called first by every override: stopped, no remote request, the module's input
    // sample rate (Hz) in sfiMeas, a fresh 1000-sample buffer. The corrections may be null.
    virtual eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                          const Tcorri* dCor);
    // Base part, called last by every override: stopped, the buffer freed.
    virtual eMeasRes DeInit(int32_t para);
    virtual int32_t Mexecute2(int32_t para) = 0;
    // A new block is ready (already rate limited by the caller).
    virtual eMeasRes Mexecute(double para) = 0;
    // Toggles: starts an idle measurement, stops a running one.
    virtual eMeasRes Mstart(int32_t para) = 0;
    // Shortest time between two Mexecute calls, ms; 0 or less lets every block through.
    virtual double calcGoodFrameRate_ms() = 0;
    virtual void LoadFromIni(const QString& LOADname) { (void)LOADname; }
    virtual void saveToINI(const QString& savename) { (void)savename; }
    virtual eMeasRes SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor) = 0;
    virtual eMeasRes SetChannels(int32_t iCha, int32_t oCha) = 0;
    // The result lines of the last evaluation (levels, distortion, ...); empty when none.
    virtual QStringList resultText() const { return {}; }
    // The same results as numbers for the results file ("figures": per channel values, point
    // lists, parameter records; null where nothing was measured); empty when there are none.
    virtual QJsonObject resultFigures() const { return {}; }
    // The time signal of the last block (or shot): one vector per input channel, full scale
    // +-1.0, at sampleRate(); empty when nothing was recorded yet.
    virtual std::vector<std::vector<double>> recordedSignal() const { return {}; }
    // Results handed to the diagram since Init (frames drawn).
    virtual int32_t framesDrawn() const { return 0; }
    // Input channels whose last fetched block reached full scale, bit n = channel n; 0 when
    // none did or the measurement does not look.
    virtual uint32_t overloadedChannels() const { return 0; }
    // True once a measurement that ends by itself (a sweep that does not repeat) has ended.
    virtual bool endedByItself() const { return false; }
    // Evaluates the last recorded data again with the current settings ("Recalculate", moved
    // markers); measurements that keep nothing to evaluate again do nothing.
    virtual void recalc() {}

    void SetMeasCallback(tCBtoMain cb) { CBtoMain = std::move(cb); }
    // The settings file Init reads and DeInit writes (its name). A preset being executed hands
    // its own file for Init and the main settings file afterwards.
    void setSettingsFile(const QString& f) { m_iniFile = f; }
    const QString& settingsFile() const { return m_iniFile; }
    // A remote client asks to be told when the running measurement ends.
    void SendRemoteMeasReady(const QString& Tpara);

    bool sendRemote() const { return bSendRemote; }
    int32_t sampleRate() const { return sfiMeas; }      // Hz, taken at Init
    const Tsamplemem* samples() const { return Sdatas.get(); }

protected:
    // Calls the main window when a callback is set.
    void toMain(int32_t cmd, intptr_t para) const;

    bool fMeasrun = false;               // running
    bool bSendRemote = false;            // a remote client waits for the end of the run
    std::unique_ptr<Tsamplemem> Sdatas;  // work buffer, created by Init, freed by DeInit
    int32_t sfiMeas = 0;                 // input sample rate at Init, Hz
    tCBtoMain CBtoMain;                  // line to the main window, empty until set
    QString m_iniFile;                   // settings file of LoadFromIni/saveToINI at Init/DeInit
};

// The process-wide reply a remote-control front end would send back ("Mready" or empty).
QString& MeasRemoteReply();

// ---- measuring modes -----------------------------------------------------------------------

// Which class a mode creates.
enum eMeasClass : uint8_t { mcNone, mcFFT2D, mcSweep, mcIps, mcOszi, mcPowDist };
// Which handler the start button runs.
enum eStartKind : uint8_t { skNone, skBBdStart, skBBsweepStart, skBBPowThd };
// Which dialog the input "Setup" button opens.
enum eSetupKind : uint8_t { sdNone, sdFFT, sdSweep, sdOszi, sdPowThd };

constexpr int32_t kMeasModeCount = 14; // modes 0..13

// One row of the mode table.
struct TMeasModeInfo {
    int32_t mode;            // 0..13
    const char* topic;       // INI section of the measurement's own settings
    eMeasClass cls;          // class created
    eSampleMode diaMode;     // diagram mode of the FFT measurement (SampleOff for others)
    const char* menuCaption; // item of the menu "Measure", nullptr when the mode has none
    const char* startAction; // caption of the start action, nullptr when none
    eStartKind start;        // start handler
    eSetupKind setup;        // setup dialog
    int32_t helpContext;     // help context of the window in this mode
    int32_t toolButton;      // mode of the tool button shown pressed (0: none)
};

extern const char* const MeasTopics[kMeasModeCount];
// The row of a mode; modes outside 0..13 give the row of mode 0.
const TMeasModeInfo& MeasModeInfo(int32_t mode);
// Help topic of the wiring diagram of a mode: 1 and 12 -> 2000, ..., 0 -> 0, any other -> 2.
int32_t WiringHelpTopic(int32_t mode);
// The mode to start in from the stored "measuringmode": outside 1..11 (12 included) gives 1.
int32_t StartModeFromStored(int32_t stored);
// The modes of the menu "Measure" in menu order (every mode of the tool buttons), and of the
// tool buttons in button order.
extern const int32_t kMeasureMenuModes[11];
extern const int32_t kToolButtonModes[11];
// Caption of the tool button of a mode ("2D FFT", ..., "RT60").
const char* ToolButtonCaption(int32_t mode);

// Controls shown for a mode (applied on every mode change).
struct TModeControls {
    int32_t pressedButton = 0;   // tool button shown pressed (its mode), 0 none
    bool soundOut = false;       // "Sound on", output "Setup" and the generator editor
    bool average = false;        // averaging spin edit and "Average"
    bool sweepDisplay = false;   // sweep frequency and the two level read-outs
    bool levelTrigger = false;   // level trigger panel
    bool recalculate = false;    // "Recalculate"
    bool analyzeMenus = false;   // "&Analyze", "&Analyze Dialog", "Level Units" enabled
    bool freqTextExport = true;  // "&Save freq. diagram as text" enabled
};
TModeControls ModeControls(int32_t mode, bool externalImpulse);

// A measurement's own copy of a correction it was handed; an empty correction for none.
std::unique_ptr<Tcorri> CopyOfCorrection(const Tcorri* cor);

// ---- creating measurements --------------------------------------------------------------------

// Makes the measurement of a class; a class that is not registered creates nothing, and the
// program runs in that mode without an active measurement.
using TMeasFactory = std::function<std::unique_ptr<tMeasureObj>(const TMeasModeInfo& info)>;
void RegisterMeasurement(eMeasClass cls, TMeasFactory factory); // an empty factory unregisters
std::unique_ptr<tMeasureObj> CreateMeasurement(int32_t mode);

// ---- the block notification -----------------------------------------------------------------

// The window that receives the module's notifications, and whether it takes them now. Set by the
// main window on the GUI thread; SetMainMsgReceiver also makes the receiver's thread watch the
// blocks that callback 5 announces. SetMainClosing may be called from any thread.
void SetMainMsgReceiver(QObject* receiver);
void SetMainClosing(bool closing);
// Posts msg to the receiver unless it is closing or absent. For the module's callbacks 1..4,
// which the modules call from inside their entry points, on the GUI thread.
void PostToMain(int msg);
// Callback 5 of the module, on the module's real-time thread: a new input block is ready. It
// only counts the block and wakes the GUI thread (no lock, no allocation, no Qt call); the GUI
// thread then sends the receiver message 0x40D once for every block announced.
void NewSampDat();
// Callback 5 as it is registered with the module (SDSetCallBack kind 5): NewSampDat, no context.
const SDMethod& NewBlockMethod();
