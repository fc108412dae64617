// The sweep engine: set-up, start and stop, the sample-clock step timer, the end of a sweep and the results to the diagram.
#include "measurements/Tsweepfrm2.h"

#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/IDiagramHost.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "dsp/tFilterBlock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr int kMsgSoundData = 0x400 + 14; // 1038: a block arrived
constexpr int kMsgDrawn = 0x400 + 28;     // 1052: the diagram drew the package (723, 13)
constexpr double kNoValue = -192.0;       // a point without a value

int64_t framesOf(double ms, int32_t rate) { return int64_t(std::ceil(ms * rate / 1000.0)); }

int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Tsweepfrm2::Tsweepfrm2()
{
    m_pauseTimer.setInterval(100);
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] { pauseTick(); });
}

Tsweepfrm2::~Tsweepfrm2()
{
    if (Gdata)
        Gdata->withdraw();
}

bool Tsweepfrm2::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() != TMsgEvent::eventType())
        return QObject::event(e);
    const auto* m = static_cast<TMsgEvent*>(e);
    if (m->msg == kMsgSoundData)
        onSoundData();
    else if (m->msg == kMsgDrawn && m->wParam == 723 && m->lParam == 13)
        onDrawn();
    return true;
}

int32_t Tsweepfrm2::inChannels() const { return AnaFFTdSW ? std::max(AnaFFTdSW->fAnzICha, 0) : 2; }

int32_t Tsweepfrm2::rate() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int r = dll.usable() ? dll.inSampleRate() : 0;
    return r > 0 ? r : 48000;
}

// ---- set-up ---------------------------------------------------------------------------------

void Tsweepfrm2::initFreqgen(IDiagramHost* diaf, const Tcorri* icor, const Tcorri* ocor, int32_t Mmode)
{
    Twobdat& w = ActiveWobDat();
    diagramfrm = diaf;
    SinCor = icor;
    SoutCor = ocor;
    w.mSweepMode = Mmode;
    w.wobAktiv = true;
    wait1kHzStep = 0;
    calcMinMaxTime();
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr) {
        Merkfreq = go->GenFreqR;
        MerkFreqL = go->GenFreqL;
        MerkModeL = go->modeL;
        MerkModeR = go->modeR;
        MerkToneDura = go->ToneDura_ms;
        go->modeL = go->modeR = 0;
    }
    if (TwaveGI* gi = dll.usable() ? dll.waveGI() : nullptr)
        gi->Mode = 1;
    if (AnaFFTdSW) {
        int32_t in = 0, out = 0;
        if (dll.usable())
            dll.SDgetSoundDatsPropsCH(&in, &out);
        if (in > 0)
            AnaFFTdSW->setAnzICha(in);
        Gdata = std::make_shared<TGdata>(AnaFFTdSW);
        Gdata->MsgHandle = this;
    }
    resizeResults(51);
    clearMeasVal();
    w.open = true;
    w.wobbelnStart = w.wobbelnAktiv = false;
    progress();
}

bool Tsweepfrm2::closefreqgen()
{
    Twobdat& w = ActiveWobDat();
    WobCalcActiv = 1;
    m_pauseTimer.stop();
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDStartSoundOut(0);
        if (TwaveGO* go = dll.waveGO()) {
            go->GenFreqR = Merkfreq;
            go->GenFreqL = MerkFreqL;
            go->modeL = MerkModeL;
            go->modeR = MerkModeR;
            go->ToneDura_ms = MerkToneDura;
        }
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        dll.SDStartSoundIn(0);
    }
    Wobsdata.clear();
    Wobsdx = Tsamplemem();
    if (Gdata) {
        Gdata->withdraw();
        Gdata.reset();
    }
    w.wobbelnAktiv = w.open = w.wobAktiv = false;
    WobCalcActiv = 0;
    return true;
}

void Tsweepfrm2::calcMinMaxTime()
{
    Twobdat& w = ActiveWobDat();
    m_timing = SweepTimingFor(w.mSweepMode, rate(), AnaFFTdSW ? AnaFFTdSW->SamplesFFT : 4096);
    if (w.mSweepMode == 7)
        w.RefMess = mRefStereo;
    if (w.mSweepMode == 6 || w.mSweepMode == 8)
        w.wobSync = true;
}

void Tsweepfrm2::clearMeasVal()
{
    Wobsdx.fillComplete(0.0);
    for (Tsamplemem& b : Wobsdata)
        b.fillComplete(kNoValue);
}

void Tsweepfrm2::resizeResults(int32_t points)
{
    Wobsdata.resize(size_t(inChannels()));
    for (Tsamplemem& b : Wobsdata)
        b.resize2(points);
    Wobsdx.resize2(points);
}

void Tsweepfrm2::SetChannels(int32_t iCha, int32_t oCha)
{
    if (!AnaFFTdSW)
        return;
    AnaFFTdSW->setAnzICha(iCha);
    AnaFFTdSW->setAnzOCha(oCha);
    if (int32_t(Wobsdata.size()) != inChannels()) {
        const int32_t points = std::max(Wobsdx.samples(), 1);
        Wobsdata.resize(size_t(inChannels()));
        for (Tsamplemem& b : Wobsdata)
            if (b.samples() != points) {
                b = Tsamplemem(points);
                b.fillComplete(kNoValue);
            }
    }
}

// ---- start and stop -------------------------------------------------------------------------

void Tsweepfrm2::sweepStart()
{
    Twobdat& w = ActiveWobDat();
    if (w.wobbelnAktiv) // already running: the caller stops it
        return;
    WobCalcActiv = 1;
    calcMinMaxTime();
    w.wobAnzSteps = w.wobSyncSteps;
    const bool resume = Wobsdx.samples() == w.wobAnzSteps && w.wobSync && w.mSweepMode != 7 &&
                        int32_t(Wobsdata.size()) == inChannels();
    const int32_t points = w.wobSync ? w.wobAnzSteps : 1;
    resizeResults(points);
    if (!resume)
        clearMeasVal();
    w.wobisSteps = 0;
    w.wobisfreq = aktFreq = w.wobSync ? w.wobfrom : 0.0;
    m_highDetections = 0;
    w.mtime = SweepMeasuringTime_ms(m_timing, w.wobisfreq);
    w.wobbelnAktiv = true;
    WorkSweepStep = swSettle;
    aktStepG = 0;
    wait1kHzStep = 0;
    asyncCount = 0;
    m_asyncStart = -1;
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGI* gi = dll.usable() ? dll.waveGI() : nullptr)
        gi->Mode = 1;
    if (AnadataSW)
        AnadataSW->fsampFreq = rate();
    if (dll.usable()) {
        // The longest block of the sweep, so that the module's buffer is sized once.
        int32_t block = 0x8000;
        if (w.wobSync && w.mSweepMode != 7)
            block = SweepBlockLength(rate(), std::max(SweepMeasuringTime_ms(m_timing, std::min(w.wobfrom, w.wobto)),
                                                      w.mtime));
        else if (w.mSweepMode == 7)
            block = 161072;
        dll.SDSetFuturePara(2, block);
        if (TwaveGO* go = dll.waveGO()) {
            go->ToneDura_ms = -1;
            go->genOnL = go->genOnR = 1;
        }
        if (w.wobSync)
            setGenerator(w.wobfrom);
        dll.SDStartSoundOut(w.wobSync ? 1 : 0);
        const int32_t st = dll.SDStartSoundIn(1);
        if ((st & 9) != 1)
            w.wobbelnAktiv = false;
    } else {
        w.wobbelnAktiv = false;
    }
    m_lastRec = recorded();
    m_deliverFrames = 0;
    m_runStartNs = steadyNs();
    m_runEndNs = 0;
    m_ranToEnd = false;
    m_nominal_ms = 0.0;
    if (w.wobSync) {
            armStep(w.wobisfreq);
    } else {
        WorkSweepStep = swReady;
    }
    WobCalcActiv = 0;
    if (visible)
        Memo1 << QString::asprintf("start %d steps %.2f..%.2f Hz", w.wobAnzSteps, w.wobfrom, w.wobto);
    progress();
    runState();
}

void Tsweepfrm2::STOPbutClick()
{
    Twobdat& w = ActiveWobDat();
    WobCalcActiv = 1;
    m_pauseTimer.stop();
    pauseCountDown = 0.0f;
    w.wobbelnAktiv = false;
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDStartSoundIn(0);
        dll.SDStartSoundOut(0);
        // Blocks the module still announces are no longer asked for.
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
    }
    aktStepG = std::min(w.wobisSteps, std::max(w.wobAnzSteps - 1, 0)); // a finished sweep shows its last step
    aktFreq = 0.0;
    WobCalcActiv = 0;
    progress();
    runState();
}

void Tsweepfrm2::ISoundData()
{
    if (!WobCalcActiv)
        postMsg(this, kMsgSoundData);
}

// ---- the step timer on the input sample clock -----------------------------------------------

int64_t Tsweepfrm2::recorded() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    return dll.usable() ? std::max(dll.SDGetFuturePara(1), 0) : 0;
}

// Fetching marks the recorded data as seen: a module that makes the next block only then (the
// bench in fast pacing) goes on. One sample per channel is enough for that.
void Tsweepfrm2::acknowledge()
{
    std::vector<Tsamplemem> tiny;
    fetchBlocks(1, tiny);
}

// The generator now plays f: settling counts from where that is certain to be heard.
void Tsweepfrm2::armStep(double f)
{
    Twobdat& w = ActiveWobDat();
    const int32_t r = rate();
    TsoundDLLImpDyn& dll = soundDLL();
    const TwaveGI* gi = dll.usable() ? dll.waveGI() : nullptr;
    const int64_t latency = gi ? framesOf(std::max(gi->wfs.Latency, 0), r) : 0;
    const int64_t mark = recorded();
    m_lastRec = mark;
    // Mode 7's settling and measuring times follow the step's transform size. They stay the
    // engine's: the user's settling time in the record (shared with mode 3) is not replaced.
    if (w.mSweepMode == 7)
        m_timing = SweepTimingFor(7, r, SweepTHDFFTSize(f));
    m_settle_ms = ermiTHDStartmess(w.mSweepMode, f, r, w.startmess_ms, nullptr);
    // The settling time counts from the change; when the change may still be on its way after
    // it (a module delivering long blocks, its latency), the step waits for that instead.
    m_settleEnd = mark + std::max(framesOf(m_settle_ms, r), m_deliverFrames + latency);
    w.mtime = SweepMeasuringTime_ms(m_timing, f);
    m_measureEnd = m_settleEnd + SweepBlockLength(r, w.mtime) / 2;
    WorkSweepStep = swSettle;
}

void Tsweepfrm2::advanceClock(int64_t rec)
{
    if (rec < m_lastRec) { // the module restarted its recording: the step starts over
        m_lastRec = rec;
        armStep(ActiveWobDat().wobisfreq);
        return;
    }
    m_deliverFrames = std::max(m_deliverFrames, rec - m_lastRec);
    m_lastRec = rec;
    if (WorkSweepStep == swSettle && rec >= m_settleEnd)
        WorkSweepStep = swMeasure;
    if (WorkSweepStep == swMeasure && rec >= m_measureEnd)
        WorkSweepStep = swReady;
}

void Tsweepfrm2::setGenerator(double f)
{
    Twobdat& w = ActiveWobDat();
    TsoundDLLImpDyn& dll = soundDLL();
    TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    if (!go)
        return;
    const bool corr = SoutCor && SoutCor->getaktiv();
    go->GenFreqR = go->GenFreqL = f;
    go->voldB_L = corr ? SoutCor->corri(w.pegdigL, f, 0.0) : w.pegdigL;
    go->voldB_R = corr ? SoutCor->corri(w.pegdigR, f, 0.0) : w.pegdigR;
    go->modeL = go->modeR = 0;
    dll.SDgetSoundStatus(); // hands the record to the module's generator now
}

void Tsweepfrm2::onSoundData()
{
    Twobdat& w = ActiveWobDat();
    if (WobCalcActiv)
        return;
    if (!w.wobbelnAktiv || pauseCountDown > 0.0f) {
        if (w.wobbelnAktiv)
            acknowledge();
        return;
    }
    WobCalcActiv = 1;
    if (!w.wobSync) {
        evaluateAsync();
    } else {
        advanceClock(recorded());
        if (WorkSweepStep == swReady)
            evaluateStep();
        else
            acknowledge();
    }
    WobCalcActiv = 0;
}

bool Tsweepfrm2::fetchBlocks(int32_t frames, std::vector<Tsamplemem>& blocks)
{
    const int32_t n = inChannels();
    blocks.assign(size_t(n), Tsamplemem());
    std::vector<TsmView*> views;
    for (Tsamplemem& b : blocks) {
        b = Tsamplemem::uncleared(frames);
        views.push_back(b.view());
    }
    TsoundDLLImpDyn& dll = soundDLL();
    return n > 0 && dll.usable() && dll.SDgetSoundDatsCH(views.data(), n - 1) != 0;
}

void Tsweepfrm2::readOverload()
{
    const int32_t st = soundDLL().SDgetSoundStatus();
    OverL = (st & 4) ? ((st >> 16) & 0xFFFF) : 0;
    if ((st & 4) && OverL == 0)
        OverL = 0x0101; // overloaded without naming the channel
}

// ---- after each step --------------------------------------------------------------------------

void Tsweepfrm2::afterStep()
{
    Twobdat& w = ActiveWobDat();
    if (w.wobSync)
        m_nominal_ms += m_settle_ms + w.mtime;
    aktStepG = w.wobisSteps;
    progress();
    sendResults();
    if (visible)
        Memo1 << QString::asprintf("WMwobi Step/Freq. %d/%f", w.wobisSteps, w.wobisfreq);
    const int32_t outRate = soundDLL().usable() ? soundDLL().outSampleRate() : rate();
    if (w.wobSync && w.wobisfreq > double(outRate / 2) && w.wobisSteps + 1 != w.wobAnzSteps) {
        endOfSweep(); // the next frequency cannot be played
        return;
    }
    if (!w.wobSync)
        return;
    ++w.wobisSteps;
    if (w.wobisSteps >= w.wobAnzSteps) {
        endOfSweep();
        return;
    }
    w.wobCCready = false;
    w.wobisfreq = aktFreq = SweepStepFrequency(w.wobfrom, w.wobto, w.wobAnzSteps, w.wobisSteps, w.woblin);
    setGenerator(w.wobisfreq);
    armStep(w.wobisfreq);
    runState();
}

void Tsweepfrm2::endOfSweep()
{
    Twobdat& w = ActiveWobDat();
    ++m_finished;
    m_ranToEnd = !w.wobconti;
    m_runEndNs = steadyNs();
    if (w.nextCurve && diagramfrm) {
        if (m_inFlight)
            m_newCurvesAfterDraw = true;
        else
            diagramfrm->newCurveSet();
    }
    if (w.wobconti) {
        startPause();
        return;
    }
    STOPbutClick();
    if (diagramfrm)
        diagramfrm->setMarkerOn(false, false);
}

void Tsweepfrm2::startPause()
{
    Twobdat& w = ActiveWobDat();
    w.wobAnzSteps = w.wobSyncSteps;
    w.wobisSteps = 0;
    w.wobisfreq = w.wobfrom;
    if (w.pause_s <= 0) {
        StartFreqOut(w);
        return;
    }
    setGenerator(0.0); // silence during the pause
    pauseCountDown = float(w.pause_s);
    m_pauseTimer.start();
    progress();
}

void Tsweepfrm2::pauseTick()
{
    pauseCountDown = std::max(0.0f, pauseCountDown - 0.1f);
    if (pauseCountDown <= 0.0f) {
        m_pauseTimer.stop();
        if (ActiveWobDat().wobbelnAktiv)
            StartFreqOut(ActiveWobDat());
    }
    progress();
}

double Tsweepfrm2::lastSweep_s() const
{
    return m_runEndNs > m_runStartNs ? double(m_runEndNs - m_runStartNs) / 1e9 : 0.0;
}

bool Tsweepfrm2::StartFreqOut(Twobdat& wo)
{
    m_runStartNs = steadyNs();
    m_nominal_ms = 0.0;
    wo.wobAnzSteps = wo.wobSyncSteps;
    wo.wobbelnAktiv = true;
    wo.wobisSteps = 0;
    wo.wobisfreq = aktFreq = wo.wobfrom;
    pauseCountDown = 0.0f;
    if (!wo.wobSync) {
        resizeResults(1);
        clearMeasVal();
        m_asyncStart = -1;
        return true;
    }
    setGenerator(wo.wobfrom);
    armStep(wo.wobfrom);
    return true;
}

// ---- results to the diagram -------------------------------------------------------------------

void Tsweepfrm2::sendResults()
{
    if (!Gdata)
        return;
    QObject* window = diagramfrm ? diagramfrm->diagramReceiver() : nullptr;
    if (m_inFlight) {
        m_dirty = true;
        return;
    }
    m_dirty = false;
    buildPackage(*Gdata);
    ++m_sent;
    if (!window)
        return;
    m_inFlight = true;
    Gdata->Working = true;
    postPackage(window, Gdata);
}

void Tsweepfrm2::onDrawn()
{
    if (!m_inFlight)
        return;
    m_inFlight = false;
    if (m_newCurvesAfterDraw && !m_dirty) {
        m_newCurvesAfterDraw = false;
        if (diagramfrm)
            diagramfrm->newCurveSet();
    }
    if (m_dirty)
        sendResults();
}

// Curve kinds: even curves impedance in modes 6 and 8, odd curves phase when it is measured.
// A reference sweep without phase shows no odd curve.
void Tsweepfrm2::buildPackage(TGdata& g) const
{
    const Twobdat& w = ActiveWobDat();
    const int32_t n = int32_t(Wobsdata.size());
    const bool oddHidden = w.RefMess != mRefStereo && !w.wobphase && w.mSweepMode != 8;
    g.ReleaseGMem();
    g.makeAsd(n, 0);
    g.eMode.assign(size_t(n), edBFS);
    // Points without a frequency (not reached yet) are left out: they would draw at 0 Hz. The
    // listened-to points come in the order they were heard: sorted, equal frequencies merged.
    std::vector<size_t> idx;
    for (int32_t i = 0; i < Wobsdx.samples(); ++i)
        if (Wobsdx.getsmAr(i) > 0.0)
            idx.push_back(size_t(i));
    if (!w.wobSync) {
        std::stable_sort(idx.begin(), idx.end(),
                         [&](size_t a, size_t b) { return Wobsdx.getsmAr(int32_t(a)) < Wobsdx.getsmAr(int32_t(b)); });
        idx.erase(std::unique(idx.begin(), idx.end(),
                              [&](size_t a, size_t b) { return Wobsdx.getsmAr(int32_t(a)) == Wobsdx.getsmAr(int32_t(b)); }),
                  idx.end());
    }
    const int32_t points = int32_t(idx.size());
    Tsamplemem x(points);
    std::vector<Tsamplemem> y(Wobsdata.size(), Tsamplemem(points));
    for (int32_t i = 0; i < points; ++i) {
        x.setsmAr(i, Wobsdx.getsmAr(int32_t(idx[size_t(i)])));
        for (size_t c = 0; c < y.size(); ++c)
            y[c].setsmAr(i, Wobsdata[c].getsmAr(int32_t(idx[size_t(i)])));
    }
    for (int32_t c = 0; c < n; ++c) {
        const bool odd = c % 2 == 1;
        g.eMode[size_t(c)] = odd ? (w.wobphase ? eGrad : edBFS) : ((w.mSweepMode == 6 || w.mSweepMode == 8) ? eOhm : edBFS);
        g.asdDia[size_t(c)] = odd && oddHidden ? Tsamplemem() : y[size_t(c)];
    }
    g.sdX = x;
    g.sfi = rate();
    g.xlinear = false;
    g.Withdrawn = false;
}
