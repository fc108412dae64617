// The evaluation steps of the FFT measurement: fetch, filter, transform, average, convert, send.
#include "measurements/tFFT2Dmeas.h"

#include "analysis/AnaEval.h"
#include "dsp/FFtuli.h"
#include "dsp/tFilterBlock.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "display/IDiagramHost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int kMsgStep = 0x400 + 28;   // step message / the diagram window's reply

double msSince(int64_t startNs)
{
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch()).count();
    return double(now - startNs) / 1e6;
}

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A correction in dB applied to one bin: added to a dB value, or as a factor to a magnitude.
double applyDB(double v, double corrDB, bool linear)
{
    return linear ? v * std::pow(10.0, corrDB / 20.0) : v + corrDB;
}

// Every pass allocates and frees blocks of up to several MB. Kept by the allocator instead of
// being handed back to the system, they are not faulted in and cleared again on the next pass.
// Process-wide, set once.
void keepPassMemory()
{
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    });
#endif
}

// Keeps samples ind..ind+size-1 of b (0 past its end); a leading part is kept in place.
void keepPart(Tsamplemem& b, int32_t ind, int32_t size)
{
    if (ind == 0 && size > 0 && size <= b.samples() && b.memIsAlloc())
        b.resize2(size);
    else
        b = Tsamplemem::copyPart(b, ind, size);
}

// The channels (bit n = channel n) whose block reaches full scale. A 16-bit card clips its
// positive half one step below 1.0, so that step counts as full scale too.
uint32_t fullScaleChannels(const std::vector<Tsamplemem>& blocks)
{
    constexpr double kFullScale = 1.0 - 1.0 / 32768.0;
    uint32_t mask = 0;
    for (size_t ch = 0; ch < blocks.size() && ch < 32; ++ch)
        if (blocks[ch].getPeak(kFullScale) >= 0)
            mask |= 1u << ch;
    return mask;
}

} // namespace

bool tFFT2Dmeas::stepFetch()
{
    m_passStart_ns = nowNs();
    const int32_t nCh = std::max(m_fft->fAnzICha, 0);
    // Not cleared: the fetch writes every sample, step 2 copies the block into asdZ and step 3
    // writes the phases that step 6 keeps.
    Gdata->makeAsd(nCh, CalcSampleMem(), false);
    std::vector<TsmView*> views;
    for (Tsamplemem& b : Gdata->asdDia)
        views.push_back(b.view());
    const bool can = nCh > 0 && soundDLL().usable();
    int32_t got = can ? soundDLL().SDgetSoundDatsCH(views.data(), nCh - 1) : 0;
    Gdata->timestamp = got;
    if (got != 0 && DiaMode == Sample_3D && !bandDue())
        got = 0; // too soon for the next band: wait for a later block
    if (got == 0) {
        FFTstep = fsIdle;
        Gdata->Working = false;
        return false;
    }
    Gdata->Working = true;
    m_overChannels = fullScaleChannels(Gdata->asdDia);
    const int32_t len = Gdata->asdDia.front().samples();
    m_stepWnd.iR = std::max(0, len - m_fft->SamplesFFT);
    for (Tsamplemem& ph : Gdata->asdPh) // of that length as a rule
        if (ph.samples() != len)
            ph = Tsamplemem(len);
    return true;
}

// The block ends at the input recorded so far; its time (ms since the start) stamps the band.
bool tFFT2Dmeas::bandDue()
{
    const double rate = sfiMeas > 0 ? double(sfiMeas) : 48000.0;
    const double now_ms = soundDLL().SDGetFuturePara(1) * 1000.0 / rate;
    const double step = m_fft->fft3Dstepping_ms > 0 ? m_fft->fft3Dstepping_ms : 1000.0 / rate;
    if (now_ms - m_lastBand_ms < step - 1e-9)
        return false;
    m_lastBand_ms = now_ms;
    Gdata->timestamp = now_ms / 1000.0;
    return true;
}

bool tFFT2Dmeas::stepFilter()
{
    for (size_t ch = 0; ch < Gdata->asdDia.size(); ++ch) {
        Tsamplemem& block = Gdata->asdDia[ch];
        tFilterBlock* filter = !m_filters ? nullptr : ch % 2 ? &m_filters->inpRight : &m_filters->inpLeft;
        if (filter && !filter->inactive()) {
            filter->SetDesignSampleRate(sfiMeas); // redesigns only when the rate changed
            for (int32_t i = 0; i < block.samples(); ++i)
                block.smpoi()[i] = filter->newCycle(block.smpoi()[i]);
        }
        keepTimeSignal(block, Gdata->asdZ[ch]);
    }
    keepRecording();
    return true;
}

// The package's buffers are released once drawn: the last pass's blocks are kept for saving.
void tFFT2Dmeas::keepRecording()
{
    m_recorded.resize(Gdata->asdZ.size());
    for (size_t ch = 0; ch < Gdata->asdZ.size(); ++ch) {
        const Tsamplemem& b = Gdata->asdZ[ch];
        m_recorded[ch].assign(b.smpoi(), b.smpoi() + std::max(b.samples(), 0));
    }
}

// asdZ gets the filtered block and asdDia a buffer of the same size for step 3 to write the
// spectrum into. The buffers are exchanged rather than copied; what step 3 does not write
// (the samples before iR) is copied back, so asdDia holds what a copy would have left.
void tFFT2Dmeas::keepTimeSignal(Tsamplemem& block, Tsamplemem& timeSignal)
{
    std::swap(block, timeSignal);
    const int32_t len = timeSignal.samples();
    if (block.samples() != len || !block.memIsAlloc())
        block = Tsamplemem::uncleared(len);
    block.setTag(timeSignal.tag());
    block.setAlign(timeSignal.align());
    const bool transformed = m_stepWnd.iR + m_fft->SamplesFFT <= len;
    const int32_t unwritten = transformed ? std::clamp(m_stepWnd.iR, 0, len) : len;
    if (unwritten > 0)
        std::copy_n(timeSignal.smpoi(), unwritten, block.smpoi());
}

bool tFFT2Dmeas::stepSpectrum()
{
    const int32_t n = m_fft->SamplesFFT, iR = m_stepWnd.iR;
    prepareTransform(); // the settings may have changed since the start
    for (size_t ch = 0; ch < Gdata->asdDia.size(); ++ch) {
        Tsamplemem& block = Gdata->asdDia[ch];
        if (iR + n > block.samples()) { // the module delivered a shorter block than asked for
            Gdata->asdPh[ch].fillComplete(0.0);
            continue;
        }
        // Of the filtered block kept in asdZ (step 2), into asdDia.
        m_transform->windowedSpectrumFrom(Gdata->asdZ[ch].smpoi() + iR, block.smpoi() + iR, Gdata->asdPh[ch].smpoi() + iR,
                             n, 1);
    }
    return true;
}

bool tFFT2Dmeas::stepAverage()
{
    std::vector<Tsamplemem*> mag, ph;
    for (size_t ch = 0; ch < Gdata->asdDia.size(); ++ch) {
        mag.push_back(&Gdata->asdDia[ch]);
        ph.push_back(&Gdata->asdPh[ch]);
    }
    const int32_t left = m_average.add(mag, ph, m_fft->AveValue);
    if (left > 0) {
        toMain(cbmShowAveCounter, left);
        Gdata->Working = false;
        FFTstep = fsIdle;
        Gdata->ReleaseGMem();
        return false;
    }
    m_average.restart(m_fft->AveValue);
    toMain(cbmSetAverage, m_fft->AveValue);
    ApplyLevelCalibration(*m_fft, m_calibration ? *m_calibration : TLevelCalibration{});
    if (AnadataM)
        AnadataM->lsampFFTPoints = m_fft->SamplesFFT;
    m_stepWnd.s2 = m_fft->SamplesFFT / 2;
    return true;
}

bool tFFT2Dmeas::stepLogConvert()
{
    const int32_t s2 = m_stepWnd.s2, iR = m_stepWnd.iR;
    const bool linear = IsLinearUnit(m_fft->fdbMode);
    m_powersKnown[0] = m_powersKnown[1] = false;
    static const double missingPower = PowerOfMissingLevel();
    for (size_t ch = 0; ch < Gdata->asdDia.size(); ++ch) {
        Tsamplemem& spec = Gdata->asdDia[ch];
        keepPart(spec, iR, s2);
        keepPart(Gdata->asdPh[ch], iR, s2);
        TLevelPowers powers; // for the result text, which reads the first two channels
        if (ch < 2) {
            m_binPowers[ch].resize(size_t(std::max(spec.samples(), 0)));
            powers = {m_binPowers[ch].data(), missingPower};
        }
        m_powersKnown[ch] = spec.corriFastandLog(1.0, 0.0, &Gdata->sdX, !linear, inCor.get(), &powers);
    }
    return true;
}

bool tFFT2Dmeas::stepResultText()
{
    TResultTextInput in;
    for (size_t c = 0; c < 2 && c < Gdata->asdDia.size(); ++c) {
        in.spectrum[c] = &Gdata->asdDia[c];
        in.timeSignal[c] = &Gdata->asdZ[c];
    }
    in.unit = m_fft->fdbMode;
    in.unitText = m_fft->fdbMode == dbMode_Sone ? QStringLiteral(" Sone") : LevelUnitLabel(*m_fft);
    in.fft = m_fft;
    in.weighting = m_weighting.get();
    in.generator = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    for (size_t c = 0; c < 2; ++c)
        in.powers[c] = m_powersKnown[c] ? m_binPowers[c].data() : nullptr;
    m_results = TResultValues{};
    m_resultLines = AnadataM ? BuildResultText(in, *AnadataM, &m_results) : QStringList();
    Gdata->ComStrList = m_resultLines;
    if (m_host)
        m_host->setCommentLines(m_resultLines, AnadataM ? AnadataM->iResultTextSize : 10);
    return true;
}

bool tFFT2Dmeas::stepScale()
{
    for (size_t ch = 0; ch < Gdata->asdDia.size(); ++ch) {
        const TLevelCorr c = LevelCorrOf(*m_fft, int(ch) == 1 ? 1 : 0);
        if (c.fak != 1.0 || c.offs != 0.0) // without a calibration every value stays as it is
            Gdata->asdDia[ch].calcDats(c.fak, c.offs);
    }
    return true;
}

bool tFFT2Dmeas::stepWeighting()
{
    const bool linear = IsLinearUnit(m_fft->fdbMode);
    const bool weigh = AnadataM && AnadataM->bFilterFFT && m_weighting && m_weighting->getaktiv();
    const bool disp = Dispcor && Dispcor->getapplDir() == 1 && Dispcor->getaktiv();
    if (!weigh && !disp)
        return true;
    for (Tsamplemem& spec : Gdata->asdDia) {
        for (int32_t i = 0; i < spec.samples(); ++i) {
            const double f = Gdata->sdX.getsmAr(i);
            double v = spec.smpoi()[i];
            if (weigh)
                v = applyDB(v, -m_weighting->getapplDir() * m_weighting->value(f), linear);
            if (disp)
                v = applyDB(v, -Dispcor->value(f), linear);
            spec.smpoi()[i] = v;
        }
    }
    return true;
}

void tFFT2Dmeas::stepSend()
{
    // The results are final: the diagram's copies take their stamps, so that its curves,
    // copied once more for display, are not compared again.
    for (std::vector<Tsamplemem>* list : {&Gdata->asdDia, &Gdata->asdZ, &Gdata->asdPh})
        for (Tsamplemem& b : *list)
            b.seal();
    FFTstep = fsParked;
    ++m_passesDrawn;
    m_awaitingDraw = true;
    QObject* window = m_host ? m_host->diagramReceiver() : nullptr;
    if (window) {
        postPackage(window, Gdata);
        return;
    }
    // Nobody draws: the package is free again at once.
    Gdata->Working = false;
    postMsg(&m_stepWnd, kMsgStep, 723, fsDone);
}

void tFFT2Dmeas::stepDone()
{
    if (!m_awaitingDraw)
        return; // no package on its way: an answer for one of an earlier run
    m_awaitingDraw = false;
    m_stepWnd.time = msSince(m_passStart_ns);
    if (m_timeDebug && m_stepWnd.visible)
        m_stepWnd.Memo1 << QString::asprintf("%1.3fms", m_stepWnd.time);
    Gdata->ReleaseGMem();
    if (FFTstep == fsParked) // a stop or a start asked for meanwhile runs its own step
        FFTstep = getMeasRun() ? fsIdle : fsParked;
}

void tFFT2Dmeas::stepStop()
{
    setPriority(false);
    if (m_fft->nextcurve && m_host)
        m_host->newCurveSet();
    setMeasRun(false);
    Gdata->Working = false;
    FFTstep = fsParked;
    if (soundDLL().usable())
        soundDLL().SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
    toMain(cbmShowAveCounter, m_average.counter());
}

void tFFT2Dmeas::stepStart()
{
    setMeasRun(true);
    m_lastBand_ms = -1e300;
    toMain(cbmShowAveCounter, m_average.counter());
    if (Gdata->Working)
        return;
    if (m_awaitingDraw) // the last package is still on its way: the window drops it
        newPackage();
    TsoundDLLImpDyn& dll = soundDLL();
    const int32_t mem = preparePasses(dll.usable() ? dll.inSampleRate() : sfiMeas);
    if (dll.usable() && dll.waveGI())
        dll.waveGI()->Mode = 1;
    if (m_host && sfiMeas > 0)
        m_host->setTimeDiagramRange(mem / 2 * 1000.0 / sfiMeas, yUnit());
    const int32_t st = dll.usable() ? startInput(mem) : 0;
    if ((st & 9) == 1) {
        FFTstep = fsIdle;
        setPriority(true);
    } else {
        setMeasRun(false);
        FFTstep = fsParked;
    }
}

int32_t tFFT2Dmeas::preparePasses(int32_t sampleRate)
{
    keepPassMemory();
    sfiMeas = sampleRate;
    if (AnadataM) {
        AnadataM->fsampFreq = sfiMeas;
        if (AnadataM->bWuFmess) {
            m_fft->SamplesFFT = AnadataM->WuFmode == eFlutter ? 65536 : 262144;
            toMain(cbmRefreshSignal, 0);
        }
        // Loudness in Sone is defined on the A-weighted level: the unit brings its filter.
        if (m_fft->fdbMode == dbMode_Sone) AnadataM->filter = QStringLiteral("A Weighting");
        m_weighting = MakeWeighting(*AnadataM);
    }
    const int32_t mem = CalcSampleMem();
    m_average.resize(mem);
    m_average.clear();
    const int32_t s2 = m_fft->SamplesFFT / 2;
    m_stepWnd.s2 = s2;
    Gdata->sdX = Tsamplemem(s2);
    for (int32_t i = 0; i < s2; ++i)
        Gdata->sdX.smpoi()[i] = double(i) / s2 * double(sfiMeas / 2);
    Gdata->sdX.seal(); // the same axis for every pass: its copies in the diagram stay as they are
    Gdata->sfi = sfiMeas;
    prepareTransform();
    return mem;
}

void tFFT2Dmeas::prepareTransform()
{
    if (m_windowKind == m_fft->FFTwin && m_transform->windowSize() == m_fft->SamplesFFT)
        return;
    m_transform->prepareWindow(m_fft->FFTwin, m_fft->SamplesFFT);
    m_windowKind = m_fft->FFTwin;
}

int32_t tFFT2Dmeas::startInput(int32_t mem)
{
    TsoundDLLImpDyn& dll = soundDLL();
    // The module only reads the record.
    dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
    dll.SDSetFuturePara(2, mem);
    return dll.SDStartSoundIn(1);
}
