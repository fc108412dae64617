// The distortion-versus-power engine: start, gain check, steps, stop, and what it logs.
#include "measurements/TPowThdForm.h"

#include "analysis/AnaEval.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/IDiagramHost.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "dsp/FFtuli.h"
#include "dsp/corObj.h"

#include <QMetaObject>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr double kSilence_dBFS = -192.0;

const char* const kInputWarning =
    "Attention, input level will be greater than max. level of the soundcard!\r\n"
    "Add a voltage divider to the sound card input and recalibrate your Velmora!\r\n"
    "Are You sure, that the measurement runs till input is overdriven ?";
const char* const kOutputWarning =
    "Attention, calculated output level will be greater than 0dbFS!\r\n"
    "Please increase analog output level or increase the gain at the amp!\r\n"
    "Do You want, that the calculated output level runs only till 0dBFS?";

// "%2d:%2d:%2d,%3d" of the time of day with the blanks as "0".
QString timeStamp()
{
    const QTime t = QTime::currentTime();
    return QString::asprintf("%2d:%2d:%2d,%3d", t.hour(), t.minute(), t.second(), t.msec()).replace(' ', '0');
}

bool yesAsked(const char* text)
{
    return vl::showMessage(vl::MsgKind::Warning, "Warning", text, vl::mbYes | vl::mbNo, vl::mbYes) == vl::mbYes;
}

uint32_t fullScaleBits(const Tsamplemem* blocks, int n)
{
    uint32_t bits = 0;
    for (int c = 0; c < n; ++c) {
        const double* x = blocks[c].smpoi();
        if (x && std::any_of(x, x + blocks[c].samples(), [](double v) { return std::fabs(v) >= 1.0; }))
            bits |= 1u << c;
    }
    return bits;
}

} // namespace

TPowThdForm::TPowThdForm()
    : m_noCor(std::make_unique<Tcorri>()), m_fftCtx(std::make_unique<FFtuliContext>())
{
    setObjectName("PowThdForm");
    // THD only: no level, IM, S/N or modulation lines; the fundamental is the test frequency.
    PowAnaDat.bTHDmess = true;
    PowAnaDat.bIMmess = PowAnaDat.bLevelmess = PowAnaDat.bSignal2Noisemess = PowAnaDat.bModDistMess = false;
    PowAnaDat.bWuFmess = false;
    PowAnaDat.bFundAuto = false;
    for (auto& c : PowThdsd) c.assign(51, 0.0);
    PowThdsdx.assign(51, 0.0);
}

TPowThdForm::~TPowThdForm() = default;

QString TPowThdForm::caption() const
{
    return set.PoDPowerMeas ? "Power Thd Debug Window" : "Voltage Thd Debug Window";
}

void TPowThdForm::initPowThd(IDiagramHost* diaf, const Tcorri* icor, const Tcorri* ocor)
{
    m_dia = diaf;
    SinCor = icor;
    SoutCor = ocor;
    setXAxis();
    if (m_dia) {
        const QString unit = PowAnaDat.DistortionUnitInPercent ? "%" : "dB";
        m_dia->setUnitTexts(unit, unit);
    }
    running_up = true;
    shiftcurves = false;
    if (onWindow) onWindow(set.PoDdebugWindow);
}

void TPowThdForm::deinitPowThd()
{
    if (fsweepRuns || PowMeasState != stStop) stopIO();
    setRun(false);
    PowMeasState = stStop;
    if (onWindow) onWindow(false);
}

void TPowThdForm::setXAxis()
{
    if (!m_dia) return;
    if (set.PoDPowerMeas)
        m_dia->setXAxis(set.PoDPowBeg_W, set.PoDPowEnd_W, "W");
    else
        m_dia->setXAxis(set.PoDVoltBeg_mV, set.PoDVoltEnd_mV, "mV");
}

void TPowThdForm::log(const QString& line)
{
    const QString l = timeStamp() + line;
    Memo1 << l;
    if (onLog) onLog(l);
}

void TPowThdForm::setRun(bool on)
{
    fsweepRuns = on;
    if (onRun) onRun(on);
}

void TPowThdForm::setTestVolume(double dBFS)
{
    TwaveGO* go = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    if (!go) return;
    go->voldB_L = set.PoDleftCH ? dBFS : kSilence_dBFS;
    go->voldB_R = set.PoDrightCH ? dBFS : kSilence_dBFS;
}

double TPowThdForm::testVolume() const
{
    const TwaveGO* go = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    if (!go) return kSilence_dBFS;
    return set.PoDleftCH ? go->voldB_L : set.PoDrightCH ? go->voldB_R : kSilence_dBFS;
}

void TPowThdForm::sweepStart()
{
    if (onWindow && set.PoDdebugWindow) onWindow(true);
    if (m_drewCurves) shiftDiagram(); // the last run's curves stay where they are
    m_drewCurves = false;
    m_namesPending = true;
    const int32_t n = std::max(set.PoDSteps, 1);
    for (auto& c : PowThdsd) c.assign(size_t(n), 0.0);
    PowThdsdx.assign(size_t(n), 0.0);
    PowMeasState = stStart;
    setRun(true); // running from the start state on, as the caller sees it
    postStep();
}

void TPowThdForm::sweepStop()
{
    PowMeasState = stStop;
    runState();
}

void TPowThdForm::postStep() { postMsg(this, MSG_POWTHD_STEP); }

bool TPowThdForm::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() != TMsgEvent::eventType()) return QObject::event(e);
    if (static_cast<TMsgEvent*>(e)->msg == MSG_POWTHD_STEP) runState();
    return true;
}

void TPowThdForm::runState()
{
    switch (PowMeasState) {
    case stStart: stateStart(); break;
    case stCheck1: stateCheck1(); break;
    case stMeas: stateMeas(); break;
    case stStop: stateStop(); break;
    default: stateDefault(); break;
    }
}

// ---- stStart ------------------------------------------------------------------------------------

void TPowThdForm::logStartHeader()
{
    Memo1.clear();
    if (onLogCleared) onLogCleared();
    log(set.PoDBridgedAmp ? "-------------------- Bridged Amplifier  -------------------------"
                          : "-------------------- Normal Amplifier   -------------------------");
    if (set.PoDupdown) log("-------------------- Up / Down Mode     -------------------------");
    if (set.PoDsepHarmC) log("-------------------- Separate Harmonics -------------------------");
}

void TPowThdForm::stateStart()
{
    TsoundDLLImpDyn& dll = soundDLL();
    TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    TwaveGI* gi = dll.usable() ? dll.waveGI() : nullptr;
    setRun(true);
    running_up = true;
    shiftcurves = false;
    if (m_dia) m_dia->setMarkerOn(false, false);
    logStartHeader();
    setXAxis();
    aktThdL = aktThdR = aktPowL = aktPowR = 0.0;
    if (!go || !gi) {
        log(" No sound module, stop!");
        PowMeasState = stStop;
        postStep();
        return;
    }
    const TLevelCalibration cal = m_cal ? *m_cal : TLevelCalibration{};
    const TPowThdLevels lev = prepareRun(cal, *gi);
    // The generator is set up only once the run goes on: a run stopped by the question
    // leaves it as it was.
    if (!askInputLevel(lev.beg_dBFS, lev.end_dBFS)) return;
    go->modeL = go->modeR = 0;
    go->GenFreqR = go->GenFreqL = set.PoDFreq_Hz;
    log(QString::asprintf(" Sound card calibration values [Voltage / Preamp. gain]: %1.1fmV / %1.1fdB", cal.INPUT,
                          cal.PreAmp_dBL));
    log("-------------------- Begin Measurement ------------------------");
    beginRun(lev, *go, *gi);
}

// Block length, level unit and weighting of the run; logs the voltage and level ranges and
// returns the expected input levels (or, without gain check, the generator range).
TPowThdLevels TPowThdForm::prepareRun(const TLevelCalibration& cal, TwaveGI& gi)
{
    m_rate = std::max(soundDLL().inSampleRate(), 1);
    SampleShot_ms = int32_t(int64_t(PowFFTdat.SamplesFFT) * 1000 / m_rate);
    gi.OneShotTime_samps = int32_t(std::lround(4.0 * SampleShot_ms / 1000.0 * m_rate * 2.0));
    PowFFTdat.setdBMode(dbMode_milliVolt);
    ApplyLevelCalibration(PowFFTdat, cal);
    m_weighting = MakeWeighting(PowAnaDat); // once a run: a user filter file is read once
    const TPowThdVoltages u = PowThdVoltages(set);
    const TPowThdLevels lev = PowThdExpectedLevels(set, cal.INPUT, cal.PreAmp_dBL);
    if (set.PoDPowerMeas)
        log(QString::asprintf(" Calculated voltage:%1.7fV - %1.7fV @ %1.3fW - %1.3fW / %fOhm", u.beg_mV / 1000.0,
                              u.end_mV / 1000.0, set.PoDPowBeg_W, set.PoDPowEnd_W, set.PoDLoad_Ohm));
    else
        log(QString::asprintf(" Desired voltage:%7.2fmV - %7.2fmV ", u.beg_mV, u.end_mV));
    log(QString::asprintf(set.PoDGainCheck ? " Calculated Input Level sound card: %1.1fdBFS to %1.1fdBFS"
                                           : " Set Output Level sound card to : %1.1fdBFS to %1.1fdBFS",
                          lev.beg_dBFS, lev.end_dBFS));
    return lev;
}

// The gain check's test level, or without it the first step; then output and input run.
void TPowThdForm::beginRun(const TPowThdLevels& lev, TwaveGO& go, const TwaveGI& gi)
{
    if (set.PoDGainCheck) {
        setTestVolume(set.PoDtestOutLevel_dBFS);
        PowMeasState = stCheck1;
    } else {
        OutLevBeg_dBFS = lev.beg_dBFS;
        OutLevEnd_dBFS = 0.0;
        LevproStep = (OutLevEnd_dBFS - OutLevBeg_dBFS) / (set.PoDSteps - 1);
        cStep = 0;
        setTestVolume(OutLevBeg_dBFS);
        PowMeasState = stMeas;
    }
    setRun(true);
    go.ToneDura_ms = -1;
    TsoundDLLImpDyn& dll = soundDLL();
    dll.SDStartSoundOut(1);
    dll.SDSetFuturePara(2, gi.OneShotTime_samps);
    restartInput();
}

// The expected input overload: the run goes on only when the user says so and the first
// step is still below full scale.
bool TPowThdForm::askInputLevel(double begLevel, double endLevel)
{
    if (endLevel <= 0.0) return true;
    if (yesAsked(kInputWarning) && begLevel < 0.0) {
        log(" Warning dialog (input level), answered with yes, go on!");
        return true;
    }
    log(" Warning dialog (input level), answered with no, stop!");
    PowMeasState = stStop;
    postStep();
    return false;
}

void TPowThdForm::restartInput()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGI* gi = dll.waveGI()) gi->Mode = 0;
    dll.SDStartSoundIn(0);
    dll.SDStartSoundIn(1);
}

void TPowThdForm::stopIO()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable()) return;
    dll.SDStartSoundOut(0);
    dll.SDStartSoundIn(0);
}

// ---- measuring a block --------------------------------------------------------------------------

// One block of each of the first two inputs: level (mV) and power of each, the spectra for the
// THD, and which inputs reached full scale. False when no block is there yet.
bool TPowThdForm::measureBlock()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int32_t n = PowFFTdat.SamplesFFT, half = n / 2;
    const int32_t fetch = (2 * n) & ~7;
    int32_t in = 0, out = 0;
    dll.SDgetSoundDatsPropsCH(&in, &out);
    const int nCh = std::clamp(in, 1, 2);
    Tsamplemem block[2] = {Tsamplemem(fetch), Tsamplemem(nCh > 1 ? fetch : 0)};
    TsmView* views[2] = {block[0].view(), block[1].view()};
    if (!dll.usable() || dll.SDgetSoundDatsCH(views, nCh - 1) == 0) return false;
    overL = fullScaleBits(block, nCh);
    if (m_xAxis.samples() != half) {
        m_xAxis = Tsamplemem(half);
        for (int32_t i = 0; i < half; ++i) m_xAxis.smpoi()[i] = double(i) / half * (m_rate / 2.0);
    }
    m_fftCtx->prepareWindow(PowFFTdat.FFTwin, n);
    PowAnaDat.fsampFreq = m_rate;
    PowAnaDat.lsampFFTPoints = n;
    const TLevelCalibration cal = m_cal ? *m_cal : TLevelCalibration{};
    double mV[2] = {0.0, 0.0};
    for (int c = 0; c < 2; ++c) {
        std::vector<double> work(static_cast<size_t>(n));
        const Tsamplemem& b = block[c < nCh ? c : 0];
        m_fftCtx->windowedSpectrumFrom(b.smpoi() + (fetch - n), work.data(), nullptr, n, 0);
        m_spec[c] = Tsamplemem(half);
        std::copy_n(work.data(), half, m_spec[c].smpoi());
        m_specdB[c] = m_spec[c];
        // The conversion to dB needs a curve; an inactive one leaves the values uncorrected.
        const Tcorri* cor = SinCor ? SinCor : m_noCor.get();
        m_spec[c].corriFastandLog(1.0, 0.0, &m_xAxis, false, cor, nullptr);
        m_specdB[c].corriFastandLog(1.0, 0.0, &m_xAxis, true, cor, nullptr);
        mV[c] = BandLevel(&m_spec[c], PowAnaDat, PowFFTdat, true, c, m_weighting.get(), dbMode_milliVolt);
        const double full = cal.INPUT * std::pow(10.0, (c == 1 ? cal.PreAmp_dBR : cal.PreAmp_dBL) / 20.0);
        const double ratio = mV[c] / full;
        (c == 0 ? aktLevL : aktLevR) = 20.0 * std::log10(c == 0 && ratio == 0.0 ? 1e-10 : ratio);
    }
    aktPowL = set.PoDPowerMeas ? PowThdPower(set, mV[0]) : mV[0];
    aktPowR = set.PoDPowerMeas ? PowThdPower(set, mV[1]) : mV[1];
    return true;
}

// ---- stCheck1: the gain check -------------------------------------------------------------------

void TPowThdForm::stateCheck1()
{
    if (!measureBlock()) return;
    TsoundDLLImpDyn& dll = soundDLL();
    dll.SDStartSoundIn(0);
    const double x = usedX();
    const double test = set.PoDtestOutLevel_dBFS;
    log(QString::asprintf(set.PoDPowerMeas ? " Measured power(L): %1.7fW @ %1.1fdBFS Test Output level"
                                           : " Measured voltage(L): %1.2fmV @ %1.1fdBFS Test Output level",
                          x, test));
    const TPowThdLevels r = PowThdLevelRange(set, x, test);
    OutLevBeg_dBFS = r.beg_dBFS;
    OutLevEnd_dBFS = r.end_dBFS;
    log(QString::asprintf(set.PoDPowerMeas ? " Chosen output level range for selected power range is: %1.1fdBFS / %1.1fdBFS"
                                           : " Chosen output level range for selected voltage range is: %1.1fdBFS / %1.1fdBFS",
                          OutLevBeg_dBFS, OutLevEnd_dBFS));
    if (!(OutLevEnd_dBFS <= 0.0)) {
        dll.SDStartSoundOut(0);
        if (!yesAsked(kOutputWarning)) {
            log(" Warning dialog (output level), answered with no, stop!");
            PowMeasState = stStop;
            postStep();
            return;
        }
        OutLevEnd_dBFS = 0.0;
        log(" Warning dialog (output level), answered with yes, go on!");
    }
    if (overL) log(" sound card input overdriven");
    beginSteps();
}

void TPowThdForm::beginSteps()
{
    LevproStep = (OutLevEnd_dBFS - OutLevBeg_dBFS) / (set.PoDSteps - 1);
    cStep = 0;
    setTestVolume(OutLevBeg_dBFS);
    soundDLL().SDStartSoundOut(1);
    PowMeasState = stMeas;
    restartInput();
    shiftcurves = false;
    setRun(true);
}

// ---- stMeas: one step per block -----------------------------------------------------------------

void TPowThdForm::stateMeas()
{
    if (!measureBlock()) return;
    soundDLL().SDStartSoundIn(0);
    const double x = usedX();
    if (x > 0.0 && cStep >= 0 && cStep < int32_t(PowThdsdx.size())) {
        PowThdsdx[size_t(cStep)] = x;
        evaluateThd();
        drawCurves();
    }
    logStep();
    if (!nextStep()) {
        PowMeasState = stStop;
        postStep();
        return;
    }
    setTestVolume(cStep * LevproStep + OutLevBeg_dBFS);
    restartInput();
}

// The THD of each used channel at the test frequency: the total, or one curve pair per
// selected harmonic (at most four pairs fit the eight curves).
void TPowThdForm::evaluateThd()
{
    cAnaPara ana = PowAnaDat;
    ana.bFundAuto = false;
    ana.fManualFundamental = float(set.PoDFreq_Hz);
    std::vector<int32_t> masks;
    if (set.PoDsepHarmC) {
        for (int k = 2; k <= 9 && masks.size() < 4; ++k)
            if (PowAnaDat.Hx & (1 << (k - 1))) masks.push_back(1 << (k - 1));
    }
    if (masks.empty()) masks.push_back(PowAnaDat.Hx);
    const bool both = set.PoDleftCH && set.PoDrightCH;
    channels = int32_t(masks.size()) * (both ? 2 : 1);
    for (size_t e = 0; e < masks.size(); ++e) {
        ana.Hx = masks[e];
        for (int c = 0; c < 2; ++c) {
            if (!(c == 0 ? set.PoDleftCH : set.PoDrightCH)) continue;
            const double dB = DistortionNoise(&m_specdB[c], ana, m_weighting.get()).dB;
            const double v = PowAnaDat.DistortionUnitInPercent ? 100.0 * std::pow(10.0, dB / 20.0) : dB;
            PowThdsd[2 * e + size_t(c)][size_t(cStep)] = v;
            if (e == 0) (c == 0 ? aktThdL : aktThdR) = v;
        }
    }
}

void TPowThdForm::logStep()
{
    const bool right = !set.PoDleftCH && set.PoDrightCH;
    const double x = usedX(), lev = right ? aktLevR : aktLevL, thd = right ? aktThdR : aktThdL;
    const double out = cStep * LevproStep + OutLevBeg_dBFS;
    const bool pct = PowAnaDat.DistortionUnitInPercent;
    const char* fmt =
        set.PoDPowerMeas
            ? (pct ? " Step %3d Power:%1.7fW (%5.1fdBFS Inp. Level) Thd:%1.4f%%  @ %5.1fdB Output Level"
                   : " Step %3d Power:%1.7fW (%5.1fdBFS Inp. Level) Thd:%5.1fdB  @ %5.1fdB Output Level")
            : (pct ? " Step %3d Inp. Level:%6.2fmV = %5.1fdBFS  Thd:%1.4f%% @%5.1fdB Output Level"
                   : " Step %3d Inp. Level:%6.2fmV = %5.1fdBFS  Thd:%5.1fdB @%5.1fdB Output Level");
    log(QString::asprintf(fmt, cStep + 1, x, lev, thd, out));
    if (FprogressNE) FprogressNE({cStep + 1, set.PoDSteps, set.PoDPowerMeas, x, thd, pct, true});
}

// The stop and reversal rules after a step; false when the run ends.
bool TPowThdForm::nextStep()
{
    const int32_t measured = cStep;
    cStep += running_up ? 1 : -1;
    LevproStep = (OutLevEnd_dBFS - OutLevBeg_dBFS) / (set.PoDSteps - 1);
    if ((cStep >= set.PoDSteps && !set.PoDupdown) || cStep < 0) return false;
    if (!set.PoDupdown && overL) {
        log(" Stop, sound card input is overdriven");
        return false;
    }
    if (set.PoDupdown && running_up) {
        const bool top = cStep >= set.PoDSteps;
        // The step about to be played: reversing only after it, as a look one step further
        // ahead would, skips the top step whenever the range ends at 0 dBFS.
        const bool outTooHigh = cStep * LevproStep + OutLevBeg_dBFS > 0.0 + 1e-9;
        if (top || outTooHigh || overL) {
            if (overL) log(" Reverse, because Input overdriven");
            if (outTooHigh && !top) log(" Reverse, because output level will be > 0dBFS");
            // Down from the step below the last one measured (at the top: PoDSteps - 2).
            cStep = measured - 1;
            reverse();
            if (cStep < 0) return false;
        }
    }
    const double level = cStep * LevproStep + OutLevBeg_dBFS;
    if (level > 0.0 + 1e-9 && cStep < set.PoDSteps) {
        soundDLL().SDStartSoundOut(0);
        log(" Stop, output level > 0dBFS");
        return false;
    }
    return true;
}

// The way down becomes a new set of curves, drawn from its own points only.
void TPowThdForm::reverse()
{
    running_up = false;
    shiftDiagram();
    m_namesPending = true;
    for (auto& c : PowThdsd) std::fill(c.begin(), c.end(), 0.0);
    std::fill(PowThdsdx.begin(), PowThdsdx.end(), 0.0);
    shiftcurves = true;
}

// ---- stStop -------------------------------------------------------------------------------------

void TPowThdForm::stateStop()
{
    log("Enter State: stStop -----------------------------");
    stopIO();
    setRun(false);
    // The finished curves stay selected (exports read them); the next run shifts first.
    if (m_dia) m_dia->resetDiagram();
    if (FprogressNE) FprogressNE({cStep, set.PoDSteps, set.PoDPowerMeas, usedX(), aktThdL, PowAnaDat.DistortionUnitInPercent, false});
}

void TPowThdForm::stateDefault()
{
    log("Enter State: stDefault Mystery behaviour ------------------------");
    stopIO();
    setRun(false);
}

// ---- the curves ---------------------------------------------------------------------------------

// The next curves go to new slots once the packages already on their way are drawn.
void TPowThdForm::shiftDiagram()
{
    if (!m_dia) return;
    QMetaObject::invokeMethod(
        this, [this] { if (m_dia) m_dia->newCurveSet(); }, Qt::QueuedConnection);
}

// Each used curve as points sorted by x (equal x: the later step wins), with one x list for
// all of them, handed to the diagram as a sweep package.
void TPowThdForm::drawCurves()
{
    if (!m_dia) return;
    std::map<double, size_t> byX; // x -> step
    for (size_t i = 0; i < PowThdsdx.size(); ++i)
        if (PowThdsdx[i] > 0.0) byX[PowThdsdx[i]] = i;
    if (byX.empty()) return;
    std::vector<size_t> curves;
    for (size_t k = 0; k < 8 && curves.size() < size_t(channels); ++k)
        if ((k % 2 == 0) ? set.PoDleftCH : set.PoDrightCH) curves.push_back(k);
    PowFFTdat.DiagramForm = Samplesweep;
    PowFFTdat.fAnzICha = int32_t(curves.size());
    PowFFTdat.MeasuringModeF = 10;
    auto g = std::make_shared<TGdata>(&PowFFTdat);
    g->makeAsd(int32_t(curves.size()), int32_t(byX.size()));
    g->sdX = Tsamplemem(int32_t(byX.size()));
    g->eMode.assign(curves.size(), edBFS);
    g->sfi = m_rate;
    g->MsgHandle = this;
    int32_t j = 0;
    for (const auto& [x, step] : byX) {
        g->sdX.smpoi()[j] = x;
        for (size_t c = 0; c < curves.size(); ++c) g->asdDia[c].smpoi()[j] = PowThdsd[curves[c]][step];
        ++j;
    }
    postPackage(m_dia->diagramReceiver(), std::move(g));
    m_drewCurves = true;
    if (m_namesPending) nameCurves(curves);
}

// The curve panels say what each curve is: "THD L", "H3 R", ... (after the package, so they
// land on the slots it fills).
void TPowThdForm::nameCurves(const std::vector<size_t>& curves)
{
    m_namesPending = false;
    QStringList names;
    std::vector<int32_t> masks;
    if (set.PoDsepHarmC)
        for (int k = 2; k <= 9 && masks.size() < 4; ++k)
            if (PowAnaDat.Hx & (1 << (k - 1))) masks.push_back(k);
    for (size_t c : curves) {
        const QString what = masks.empty() || c / 2 >= masks.size() ? QStringLiteral("THD") : "H" + QString::number(masks[c / 2]);
        names << what + (c % 2 ? " R" : " L") + (running_up ? "" : " down");
    }
    QMetaObject::invokeMethod(
        this, [this, names] { if (m_dia) m_dia->setCurveComments(names); }, Qt::QueuedConnection);
}
