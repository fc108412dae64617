// The measurement base class, the measuring-mode tables and the block notification.
#include "measurements/MeasurementClass.h"

#include "core/TWakeSignal.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <atomic>

// ---- base class -------------------------------------------------------------------------------

tMeasureObj::tMeasureObj() { MeasRemoteReply().clear(); }

tMeasureObj::~tMeasureObj() = default;

QString& MeasRemoteReply()
{
    static QString reply;
    return reply;
}

void tMeasureObj::setMeasRun(bool bo)
{
    QString& reply = MeasRemoteReply();
    reply.clear();
    if (!bo && fMeasrun && bSendRemote) reply = QStringLiteral("Mready");
    fMeasrun = bo;
    if (!reply.isEmpty()) bSendRemote = false;
}

eMeasRes tMeasureObj::Init(cFFTdat*, cAnaPara*, const Tcorri*, const Tcorri*, const Tcorri*)
{
    setMeasRun(false);
    bSendRemote = false;
    sfiMeas = soundDLL().inSampleRate();
    Sdatas = std::make_unique<Tsamplemem>(1000);
    return mereOK;
}

eMeasRes tMeasureObj::DeInit(int32_t)
{
    setMeasRun(false);
    Sdatas.reset();
    return mereOK;
}

void tMeasureObj::SendRemoteMeasReady(const QString&) { bSendRemote = true; }

void tMeasureObj::toMain(int32_t cmd, intptr_t para) const
{
    if (CBtoMain) CBtoMain(cmd, para);
}

// ---- mode tables ------------------------------------------------------------------------------

const char* const MeasTopics[kMeasModeCount] = {"nix",  "fft2d", "fft3d", "sweep",      "fftnah",
                                                "fftMLS", "imp", "thdmeas", "tsp",      "Oszi",
                                                "powThdmeas", "RT60", "Zeiger", "nonVis"};

namespace {

// clang-format off
const TMeasModeInfo kModes[kMeasModeCount] = {
    {0,  MeasTopics[0],  mcNone,    SampleOff, nullptr,            nullptr,                        skNone,         sdNone,   0,  0},
    {1,  MeasTopics[1],  mcFFT2D,   Sample_2D, "2D FFT",           "Sample 2D",                    skBBdStart,     sdFFT,    4,  1},
    {2,  MeasTopics[2],  mcFFT2D,   Sample_3D, "3D FFT",           "Sample 3D",                    skBBdStart,     sdFFT,    5,  2},
    {3,  MeasTopics[3],  mcSweep,   SampleOff, "Sweep",            "Normal Sweep",                 skBBsweepStart, sdSweep,  6,  3},
    {4,  MeasTopics[4],  mcIps,     SampleOff, "2D Impulse",       "Impulse",                      skBBdStart,     sdFFT,    8,  4},
    {5,  MeasTopics[5],  mcIps,     SampleOff, "3D Impulse",       "Impulse",                      skBBdStart,     sdFFT,    9,  5},
    {6,  MeasTopics[6],  mcSweep,   SampleOff, "Impedance",        "Normal Sweep",                 skBBsweepStart, sdSweep,  7,  6},
    {7,  MeasTopics[7],  mcSweep,   SampleOff, "Distortion",       "Distortion Measurement",       skBBsweepStart, sdSweep,  10, 7},
    {8,  MeasTopics[8],  mcSweep,   SampleOff, "TSP",              "Normal Sweep",                 skBBsweepStart, sdSweep,  72, 8},
    {9,  MeasTopics[9],  mcOszi,    SampleOff, "Oscilloscope",     "Oscilloscope",                 skBBdStart,     sdOszi,   80, 9},
    {10, MeasTopics[10], mcPowDist, SampleOff, "Power distortion", "Power Distortion Measurement", skBBPowThd,     sdPowThd, 73, 10},
    {11, MeasTopics[11], mcIps,     SampleOff, "RT60 (reverberation time)", "Impulse",                      skBBdStart,     sdFFT,    8,  11},
    {12, MeasTopics[12], mcFFT2D,   Sample_2D, nullptr,            "Sample 2D",                    skBBdStart,     sdFFT,    4,  1},
    {13, MeasTopics[13], mcNone,    SampleOff, nullptr,            nullptr,                        skNone,         sdNone,   0,  0},
};
// clang-format on

const char* const kToolCaptions[12] = {nullptr,   "2D FFT",  "3D FFT", "Sweep", "2D Imp.", "3D Imp.",
                                       "Imped.",  "Distort.", "TSP",   "Scope", "Pow. Dist.", "RT60"};

bool inModes(int32_t m, std::initializer_list<int32_t> set)
{
    for (int32_t x : set)
        if (x == m) return true;
    return false;
}

std::array<TMeasFactory, 6>& factories()
{
    static std::array<TMeasFactory, 6> f;
    return f;
}

std::atomic<QObject*> g_receiver{nullptr}; // main window, or null
std::atomic<bool> g_closing{true};         // the main window takes no messages now
TWakeSignal g_blocks;                      // blocks announced by callback 5, not yet delivered
QPointer<QObject> g_blockWatch;            // GUI thread's watch on g_blocks, child of the receiver
constexpr int kBlockPoll_ms = 5;           // polling period when the system gave no eventfd

// GUI thread: message 0x40D once for every block announced, as if the module had posted each;
// a receiver that goes or starts closing meanwhile takes no more.
void deliverBlocks()
{
    for (uint64_t n = g_blocks.take(); n > 0; --n) {
        QObject* receiver = g_receiver.load(std::memory_order_acquire);
        if (!receiver || g_closing.load(std::memory_order_acquire))
            return;
        TMsgEvent e(MSG_NEW_BLOCK, 0, 0);
        QCoreApplication::sendEvent(receiver, &e);
    }
}

// GUI thread: the receiver's thread watches the wake-up of callback 5 from now on.
void watchBlocks(QObject* receiver)
{
    delete g_blockWatch.data();
    g_blocks.take(); // what was announced for an earlier receiver is not this one's
    if (!receiver)
        return;
    if (g_blocks.fd() >= 0) {
        auto* notifier = new QSocketNotifier(g_blocks.fd(), QSocketNotifier::Read, receiver);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { deliverBlocks(); });
        g_blockWatch = notifier;
        return;
    }
    auto* timer = new QTimer(receiver);
    QObject::connect(timer, &QTimer::timeout, timer, [] { deliverBlocks(); });
    timer->start(kBlockPoll_ms);
    g_blockWatch = timer;
}

void newBlockFromModule(void*) { NewSampDat(); }
const SDMethod g_newBlockMethod{&newBlockFromModule, nullptr};

} // namespace

const int32_t kMeasureMenuModes[11] = {1, 2, 3, 6, 8, 7, 10, 4, 5, 9, 11};
const int32_t kToolButtonModes[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

const TMeasModeInfo& MeasModeInfo(int32_t mode)
{
    return (mode >= 0 && mode < kMeasModeCount) ? kModes[mode] : kModes[0];
}

int32_t WiringHelpTopic(int32_t mode)
{
    if (mode == 0) return 0;
    if (mode >= 1 && mode <= 11) return 2000 + 10 * (mode - 1);
    if (mode == 12) return 2000;
    if (mode == 13) return 2110;
    return 2;
}

int32_t StartModeFromStored(int32_t stored) { return (stored >= 1 && stored <= 11) ? stored : 1; }

const char* ToolButtonCaption(int32_t mode)
{
    return (mode >= 1 && mode <= 11) ? kToolCaptions[mode] : "";
}

std::unique_ptr<Tcorri> CopyOfCorrection(const Tcorri* cor)
{
    auto copy = std::make_unique<Tcorri>();
    if (cor)
        copy->copyfrom(*cor);
    return copy;
}

TModeControls ModeControls(int32_t mode, bool externalImpulse)
{
    TModeControls c;
    c.pressedButton = MeasModeInfo(mode).toolButton;
    c.soundOut = inModes(mode, {1, 2, 12, 9}) || (inModes(mode, {4, 5}) && !externalImpulse);
    c.average = inModes(mode, {1, 4, 12});
    c.sweepDisplay = inModes(mode, {3, 6, 7, 8, 10});
    // The level trigger panel takes the place of the generator controls in every other mode.
    c.levelTrigger = !c.soundOut && !c.sweepDisplay;
    c.recalculate = inModes(mode, {4, 5});
    c.analyzeMenus = (mode >= 1 && mode <= 10) || mode == 12;
    c.freqTextExport = mode != 2;
    return c;
}

void RegisterMeasurement(eMeasClass cls, TMeasFactory factory)
{
    if (cls < factories().size()) factories()[cls] = std::move(factory);
}

std::unique_ptr<tMeasureObj> CreateMeasurement(int32_t mode)
{
    const TMeasModeInfo& info = MeasModeInfo(mode);
    const TMeasFactory& f = factories()[info.cls];
    if (info.cls == mcNone || !f) return nullptr;
    return f(info);
}

// ---- block notification -----------------------------------------------------------------------

void SetMainMsgReceiver(QObject* receiver)
{
    g_receiver.store(receiver, std::memory_order_release);
    watchBlocks(receiver);
}

void SetMainClosing(bool closing) { g_closing.store(closing, std::memory_order_release); }

void PostToMain(int msg)
{
    if (g_closing.load(std::memory_order_acquire)) return;
    postMsg(g_receiver.load(std::memory_order_acquire), msg);
}

void NewSampDat()
{
    if (g_closing.load(std::memory_order_acquire) || !g_receiver.load(std::memory_order_acquire))
        return;
    g_blocks.notify();
}

const SDMethod& NewBlockMethod() { return g_newBlockMethod; }
