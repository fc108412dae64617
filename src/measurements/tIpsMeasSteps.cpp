// The impulse measurement's steps: trigger, fetch, deconvolution, impulse start, gated spectrum, averaging, drawing.
#include "measurements/tIpsMeas.h"

#include "core/soundDLLImpDyn.h"
#include "display/IDiagramHost.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "dsp/FFtuli.h"
#include "dsp/corObj.h"
#include "measurements/I3DWindow.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr intptr_t kRunCurrent = 9990;
constexpr double kTimeCurveShow_ms = 2000; // longest time signal handed to the time diagram

double dBFS(double v) { return v > 0 ? 20.0 * std::log10(v) : -192.0; }

double peakOf(const std::vector<double>& x)
{
    double p = 0;
    for (double v : x)
        p = std::max(p, std::fabs(v));
    return p;
}

} // namespace

void tIpsMeas::onStepMessage(intptr_t lParam)
{
    if (!m_fft || !Gdata)
        return; // left over from before Init or after DeInit
    if (lParam < kRunCurrent)
        ipsStep = int32_t(lParam);
    if (!m_stepWnd.Timer1.isActive() && ipsStep != ipsParked)
        m_stepWnd.Timer1.start();
    if (m_stepWnd.visible)
        m_stepWnd.Memo1 << QString::asprintf("IpsStep:%d msg:%d time:%1.1fms Llev:%1.3f", ipsStep, int(lParam),
                                             readTime_ms(), levLdbfs);
    switch (ipsStep) {
    case ipsSearch: stepSearch(); break;
    case ipsCollect: stepCollect(); break;
    case ipsFetch:
        status(QStringLiteral("Get sample datas"));
        ipsStep = stepFetch() ? ipsCheck : ipsEnd;
        post(9992);
        break;
    case ipsCheck:
        status(QStringLiteral("Do ips calculation"));
        checkIps();
        post(9993);
        break;
    case ipsDiracs:
        status(QStringLiteral("Do ips calculation"));
        calcDiracs();
        post(9994);
        break;
    case ipsFFT:
        FFTundDiagram();
        post(9995);
        break;
    case ipsReady:
        status(QStringLiteral("Ready"));
        post(ipsAfter);
        break;
    case ipsEnd: post(ipsStop); break;
    case ipsAfter: stepAfter(); break;
    case ipsStop: stepStop(); break;
    case ipsStart:
        if (m_stopAsked && lParam == ipsStart) { // posted by the last shot before the stop
            ipsStep = ipsParked;
            break;
        }
        stepStart();
        break;
    default: break; // initialised or parked
    }
}

// ---- the recording ------------------------------------------------------------------------

int64_t tIpsMeas::recorded() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    return dll.usable() ? std::max(dll.SDGetFuturePara(1), 0) : 0;
}

bool tIpsMeas::recordedFrames(int64_t frames, std::vector<std::vector<double>>& out)
{
    TsoundDLLImpDyn& dll = soundDLL();
    int32_t in = 0, o = 0;
    dll.SDgetSoundDatsPropsCH(&in, &o);
    in = std::max(in, 1);
    std::vector<Tsamplemem> blocks;
    blocks.resize(size_t(in));
    std::vector<TsmView*> views;
    for (Tsamplemem& b : blocks) {
        b = Tsamplemem(int32_t(std::max<int64_t>(frames, 1)));
        views.push_back(b.view());
    }
    if (!dll.usable() || dll.SDgetSoundDatsCH(views.data(), in - 1) == 0)
        return false;
    out.assign(size_t(in), {});
    for (int c = 0; c < in; ++c)
        out[size_t(c)].assign(blocks[size_t(c)].smpoi(), blocks[size_t(c)].smpoi() + blocks[size_t(c)].samples());
    return true;
}

// The module tells in which recorded frame the generator's first sample lies; a module that
// does not know says 0 (the output assumed to start with the input).
int64_t tIpsMeas::outputStartFrame() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable())
        return 0;
    const int32_t at = dll.SDGetFuturePara(3);
    return at == INT_MIN ? -1 : std::max<int32_t>(at, 0);
}

void tIpsMeas::acknowledge()
{
    std::vector<std::vector<double>> tiny;
    recordedFrames(1, tiny);
}

// Step 0: an internal shot is complete once its length is recorded from the frame where the
// generator's first sample arrived, so the impulse lies where the device put it however late
// the output started; an external impulse is looked for in what arrived since the last look.
void tIpsMeas::stepSearch()
{
    if (!m_fft->asyncIps) {
        const int64_t from = outputStartFrame();
        if (from >= 0)
            m_fetchFrom = from;
        else if (m_firedAt >= 0)
            m_fetchFrom = m_firedAt; // best guess until the module says
        // An output that never plays (its start failed) ends the wait two shots after the start.
        const int64_t due = m_fetchFrom + (from >= 0 ? 1 : 2) * int64_t(m_shotLen);
        if ((from >= 0 || m_firedAt >= 0) && recorded() >= due) {
            ipsStep = ipsFetch;
            post(9990);
        } else {
            acknowledge();
        }
        return;
    }
    if (triggerFound()) {
        status(QStringLiteral("Impulse triggered"));
        scount = 1;
        ipsStep = ipsCollect;
        post(9990);
    } else if (readTime_ms() > asyncMessTime) {
        ipsStep = ipsStop;
        status(QStringLiteral("Break, no trigger ips"));
        post(9990);
    } else {
        status(scount++ % 2 ? QStringLiteral("Waiting for external trigger impulse \\")
                            : QStringLiteral("Waiting for external trigger impulse /"));
    }
}

// The shot starts a little before the trigger sample so that the rise of the impulse is kept.
bool tIpsMeas::triggerFound()
{
    const int64_t rec = recorded();
    const int64_t fresh = std::clamp<int64_t>(rec - m_lastFetched, 1, 2 * int64_t(m_shotLen));
    std::vector<std::vector<double>> x;
    if (!recordedFrames(fresh, x))
        return false;
    m_lastFetched = rec;
    calcLevdB(x);
    const double level = m_fft->triggLevel > 0 ? m_fft->triggLevel : 0.1;
    for (const std::vector<double>& ch : x)
        for (size_t i = 0; i < ch.size(); ++i)
            if (std::fabs(ch[i]) > level) {
                const int64_t before = std::min<int64_t>(m_shotLen / 8, std::llround(sfiMeas * 0.05));
                m_fetchFrom = std::max<int64_t>(0, rec - int64_t(ch.size()) + int64_t(i) - before);
                return true;
            }
    return false;
}

// Step 1: collects until the shot's length after the trigger is recorded.
void tIpsMeas::stepCollect()
{
    status(scount % 2 ? QStringLiteral("Data sampling /") : QStringLiteral("Data sampling \\"));
    ++scount;
    if (recorded() < m_fetchFrom + m_shotLen) {
        acknowledge();
        return;
    }
    status(QStringLiteral("Data collected"));
    soundDLL().SDStartSoundIn(0);
    levLdbfs = levRdbFs = -192.0;
    toMain(cbmVULeft, -192);
    toMain(cbmVURight, -192);
    ipsStep = ipsFetch;
    post(9990);
}

// VU levels of an external impulse: the peak of what the trigger search fetched, per input.
// (A fetch of its own would make a module paced by fetching run ahead of the search.)
void tIpsMeas::calcLevdB(const std::vector<std::vector<double>>& x)
{
    levLdbfs = x.size() >= 2 ? dBFS(peakOf(x[0])) : -192.0;
    levRdbFs = x.size() >= 2 ? dBFS(peakOf(x[1])) : -192.0;
    toMain(cbmVURight, std::lround(levRdbFs));
    toMain(cbmVULeft, std::lround(levLdbfs));
}

// Step 2: the shot from its first frame; a module that recorded more gives the newest frames.
bool tIpsMeas::stepFetch()
{
    if (AnadataM)
        AnadataM->fsampFreq = sfiMeas;
    const int64_t frames = std::clamp<int64_t>(recorded() - m_fetchFrom, m_shotLen, 2 * int64_t(m_shotLen));
    if (!recordedFrames(frames, m_rec))
        return false;
    for (std::vector<double>& ch : m_rec)
        ch.resize(size_t(m_shotLen));
    return true;
}

// ---- evaluation ---------------------------------------------------------------------------

const TIpsShotResult& tIpsMeas::evaluateShot(std::vector<std::vector<double>> channels)
{
    m_rec = std::move(channels);
    checkIps();
    if (ipsStep == ipsDiracs) {
        calcDiracs();
        FFTundDiagram();
    }
    return m_shot;
}

// Step 3: an MLS (the generator's, or an external one recognised by its length) is
// deconvolved; anything else is already the response.
void tIpsMeas::checkIps()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    bool noMls = false;
    for (size_t c = m_rec.size(); c-- > 0;) {
        int order = 0;
        if (!m_fft->asyncIps && go && go->modeL == kIpsMLS && !m_fft->refmess)
            order = go->MLSsize;
        if (m_fft->asyncIps && m_fft->mlsAutoRecogn) {
            Tsamplemem t(int32_t(m_rec[c].size()));
            std::copy(m_rec[c].begin(), m_rec[c].end(), t.smpoi());
            double len_ms = 0;
            t.getmaxValIPSlength(m_fft->triggLevel, sfiMeas, len_ms);
            m_stepWnd.Label1 = QString::asprintf("%1.3f", len_ms);
            order = IpsMlsOrderFromLength(len_ms);
            noMls = order == 0;
        }
        if (order > 0)
            m_deconv.deconvolve(m_rec[c], order);
    }
    if (noMls) {
        ipsStep = ipsReady;
        status(QStringLiteral("No MLS pulse recognized"));
        return;
    }
    ipsStep = ipsDiracs;
    status(QStringLiteral("Show time domain"));
}

// Step 4: the impulse start of channel 0 decides the cut of every channel; a manual FFT start
// works on the stored signals of the last shot and moves the FFT start there.
void tIpsMeas::calcDiracs()
{
    const int32_t rate = std::max(sfiMeas, 1);
    if (m_fft->ManFFTbeg_samp < 0 || ReCalcTimeDats.size() != m_rec.size()) {
        const TIpsStart st = m_rec.empty() ? TIpsStart{}
                                           : IpsFindStart(m_rec[0], m_fft->triggLevel > 0 ? m_fft->triggLevel : -1,
                                                          m_fft->Sbefore, rate, m_fft->showbeforeIps_ms);
        m_fft->fftbeg_samp = st.fftBegin;
        m_shot.cut = st.cut;
        for (std::vector<double>& ch : m_rec)
            ch.erase(ch.begin(), ch.begin() + std::min<std::ptrdiff_t>(st.cut, std::ptrdiff_t(ch.size())));
        ReCalcTimeDats = m_rec;
    } else {
        m_rec = ReCalcTimeDats;
        m_fft->fftbeg_samp = m_fft->ManFFTbeg_samp;
    }
    m_shot.fftBegin = m_fft->fftbeg_samp;
    m_shot.time = m_rec;
    if (m_host && m_mode != 5)
        m_host->setTimeLines(m_fft->fftbeg_samp * 1000.0 / rate, m_fft->SamplesFFT * 1000.0 / rate, m_fft->echo_ms);
    status(QStringLiteral("Do FFT"));
    ipsStep = ipsFFT;
}

double tIpsMeas::excitationGain() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    if (!go || m_fft->asyncIps)
        return 1.0;
    const double level = std::pow(10.0, go->voldB_L / 20.0);
    if (go->modeL == kIpsMLS)
        return level / std::pow(10.0, kIpsMlsLevel_dB / 20.0);
    return level;
}

// Step 5: the gated spectrum of every channel (of every slice in 3D), in dB re the excitation
// (a wire reads 0 dB), summed for the average; drawn when the average is complete.
void tIpsMeas::FFTundDiagram()
{
    const int32_t n = m_fft->SamplesFFT, rate = std::max(sfiMeas, 1);
    const eIpsSecond second = m_fft->s2isGD ? isGroupDelay : m_fft->s2isphase ? isPhase : isNone;
    const double gain = WindowCoherentGain(m_fft->FFTwin) * excitationGain();
    const int slices = m_mode == 5 && m_win3D ? std::max(m_win3D->getZBands(), 1) : 1;
    m_shot.mag_dB.assign(m_rec.size(), {});
    m_shot.second.assign(m_rec.size(), {});
    m_shot.freq.resize(size_t(n / 2));
    for (int32_t k = 0; k < n / 2; ++k)
        m_shot.freq[size_t(k)] = double(k) * rate / n;
    double t = 1.0;
    for (int s = 0; s < slices; ++s) {
        const int32_t begin = m_fft->fftbeg_samp + int32_t(std::lround((t - 1.0) * rate / 1000.0));
        for (size_t c = 0; c < m_rec.size(); ++c) {
            m_shot.peak_dBFS[std::min<size_t>(c, 1)] = dBFS(peakOf(m_rec[c]));
            if (begin >= int32_t(m_rec[c].size()) - 1) {
                m_shot.mag_dB[c].assign(size_t(n / 2), -192.0);
                continue;
            }
            TIpsSpectrum sp = IpsGatedSpectrum(*m_fftCtx, m_rec[c], begin, m_fft->echo_ms, rate, n, m_fft->FFTwin, second);
            m_shot.firstBin = sp.firstBin;
            for (double& v : sp.mag)
                v = v * n / gain;
            m_shot.mag_dB[c] = std::move(sp.mag);
            m_shot.second[c] = std::move(sp.second);
        }
        if (slices > 1) {
            status(QStringLiteral("Paint diagram: ") + QString::number(s + 1));
            std::vector<double> db(m_shot.mag_dB.empty() ? 0 : m_shot.mag_dB[0].size());
            for (size_t k = 0; k < db.size(); ++k)
                db[k] = dBFS(m_shot.mag_dB[0][k]);
            if (onSlice)
                onSlice(db, m_shot.freq, t - 1.0);
            t += m_fft->fft3Dstepping_ms;
        }
    }
    if (m_mode == 11 && !m_rec.empty()) {
        const std::vector<double> h(m_rec[0].begin() + std::min<std::ptrdiff_t>(m_fft->fftbeg_samp, std::ptrdiff_t(m_rec[0].size())),
                                    m_rec[0].end());
        m_shot.rt = RtAnalyse(h, rate);
    }
    if (!m_recalcPending)
        ++shotsTaken; // a recalculation is no new shot
    if (slices == 1) {
        accumulate();
    } else { // the waterfall shows every shot: each one completes the run's count
        AveCounter = m_fft->NahConti ? std::max(m_fft->AveValue, 1) : 0;
        toMain(cbmShowAveCounter, AveCounter);
        resultLines();
        ++m_drawn;
    }
    ipsStep = ipsReady;
    status(QStringLiteral("Diagram ready"));
}

// Linear magnitudes are averaged; the second curve likewise.
void tIpsMeas::accumulate()
{
    if (m_sumMag.size() != m_shot.mag_dB.size()) {
        m_sumMag.assign(m_shot.mag_dB.size(), {});
        m_sumSecond.assign(m_shot.mag_dB.size(), {});
    }
    for (size_t c = 0; c < m_sumMag.size(); ++c) {
        auto add = [](std::vector<double>& sum, const std::vector<double>& v) {
            if (sum.size() != v.size())
                sum.assign(v.size(), 0.0);
            for (size_t k = 0; k < v.size(); ++k)
                sum[k] += v[k];
        };
        add(m_sumMag[c], m_shot.mag_dB[c]);
        add(m_sumSecond[c], m_shot.second[c]);
    }
    --AveCounter;
    toMain(cbmShowAveCounter, AveCounter);
    if (AveCounter > 0)
        return;
    const double count = std::max(m_fft->AveValue, 1);
    for (size_t c = 0; c < m_sumMag.size(); ++c) {
        const bool cor = inCor && inCor->getaktiv();
        for (size_t k = 0; k < m_sumMag[c].size(); ++k) {
            const double db = dBFS(m_sumMag[c][k] / count);
            m_shot.mag_dB[c][k] = k < size_t(m_shot.firstBin) ? -192.0 : cor ? inCor->corri(db, m_shot.freq[k], 0.0) : db;
        }
        for (size_t k = 0; k < m_sumSecond[c].size(); ++k)
            m_shot.second[c][k] = m_sumSecond[c][k] / count;
    }
    m_sumMag.clear();
    m_sumSecond.clear();
    if (m_fft->NahConti)
        AveCounter = std::max(m_fft->AveValue, 1);
    toMain(cbmShowAveCounter, AveCounter);
    status(QStringLiteral("Paint diagram: 1"));
    resultLines();
    draw();
}

void tIpsMeas::resultLines()
{
    m_resultLines.clear();
    if (!m_shot.time.empty())
        m_resultLines << QString::asprintf("Level: impulse peak L %1.2f dBFS  R %1.2f dBFS  shots %d", m_shot.peak_dBFS[0],
                                           m_shot.time.size() > 1 ? m_shot.peak_dBFS[1] : -192.0, shotsTaken);
    if (m_mode == 11) {
        auto line = [](const char* name, const TRtBand& b) {
            return QString::asprintf("RT60 %-6s EDT %6.3f s  T20 %6.3f s  T30 %6.3f s", name, b.edt, b.t20, b.t30);
        };
        m_resultLines << line("broad", m_shot.rt.broadband);
        for (const TRtBand& b : m_shot.rt.octaves)
            m_resultLines << line(b.centreHz >= 1000 ? qPrintable(QString::number(b.centreHz / 1000) + "k")
                                                     : qPrintable(QString::number(b.centreHz)),
                                  b);
        m_resultLines << QString::asprintf("RT60 noise floor %1.1f dB, truncated at %1.3f s",
                                           m_shot.rt.broadband.noise_dB, m_shot.rt.broadband.crossing_s);
    }
    if (m_host)
        m_host->setCommentLines(m_resultLines, AnadataM ? AnadataM->iResultTextSize : 10);
}

// The package: per channel the spectrum in dB and its second curve over the bin frequencies
// (mode 11: the Schroeder decays in dB over ms), and the time signal for the time diagram.
void tIpsMeas::draw()
{
    ++m_drawn;
    if (!Gdata || Gdata->Working)
        return;
    const size_t ch = m_shot.mag_dB.size();
    Gdata->makeAsd(int32_t(ch), 0);
    const int32_t rate = std::max(sfiMeas, 1);
    const size_t timeLen = std::min<size_t>(m_shot.time.empty() ? 0 : m_shot.time[0].size(),
                                            size_t(kTimeCurveShow_ms * rate / 1000));
    auto toMem = [](const std::vector<double>& v, size_t len) {
        Tsamplemem m(int32_t(std::max<size_t>(len, 1)));
        std::copy_n(v.begin(), std::min(len, v.size()), m.smpoi());
        return m;
    };
    if (m_mode == 11) {
        const std::vector<double>& d = m_shot.rt.broadband.decay_dB;
        const size_t step = std::max<size_t>(1, d.size() / 4000);
        std::vector<double> x, y;
        for (size_t i = 0; i < d.size(); i += step)
            x.push_back(i * 1000.0 / rate), y.push_back(d[i]);
        Gdata->sdX = toMem(x, x.size());
        for (size_t c = 0; c < ch; ++c)
            Gdata->asdDia[c] = toMem(y, y.size());
        Gdata->xlinear = true;
        // the main window loads the mode's stored diagram after Init: the axis is set here
        if (m_host && !x.empty())
            m_host->setXAxis(0, std::ceil(x.back() / 100.0) * 100.0, QStringLiteral("ms"));
    } else {
        Gdata->sdX = toMem(m_shot.freq, m_shot.freq.size());
        for (size_t c = 0; c < ch; ++c)
            Gdata->asdDia[c] = toMem(m_shot.mag_dB[c], m_shot.mag_dB[c].size());
        Gdata->xlinear = false;
    }
    for (size_t c = 0; c < ch; ++c) {
        Gdata->asdPh[c] = toMem(m_shot.second[c], m_shot.second[c].size());
        Gdata->asdZ[c] = toMem(m_shot.time[c], timeLen);
    }
    Gdata->sfi = rate;
    Gdata->ComStrList = m_resultLines;
    QObject* window = m_host ? m_host->diagramReceiver() : nullptr;
    if (window) {
        Gdata->Working = true;
        postPackage(window, Gdata);
    }
}

// ---- the end of a shot ----------------------------------------------------------------------

void tIpsMeas::stepAfter()
{
    if (m_fft->NahConti && m_fft->nextcurve && m_host)
        m_host->newCurveSet();
    post(ipsStop);
    if (m_recalcPending) {
        m_recalcPending = false;
        return;
    }
    if ((AveCounter > 0 || m_fft->NahConti) && getMeasRun()) {
        post(ipsStart);
    } else {
        AveCounter = std::max(m_fft->AveValue, 1);
        toMain(cbmShowAveCounter, AveCounter);
        m_ended = m_drawn > 0;
    }
}

void tIpsMeas::stepStop()
{
    status(QString());
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_stepWnd.visible)
        m_stepWnd.Memo1 << QString::asprintf("IpsStep:%d msg:%d time:%1.1fms vor soundin false", ipsStep, 100, readTime_ms());
    if (dll.usable()) {
        dll.SDStartSoundIn(0);
        if (m_stepWnd.visible)
            m_stepWnd.Memo1 << QString::asprintf("IpsStep:%d msg:%d time:%1.1fms nach soundin false", ipsStep, 100,
                                                 readTime_ms());
        dll.SDStartSoundOut(0);
    }
    setMeasRun(false);
    toMain(cbmShowAveCounter, AveCounter);
    levLdbfs = levRdbFs = -192.0;
    toMain(cbmVULeft, -192);
    toMain(cbmVURight, -192);
    ipsStep = ipsParked;
    m_stepWnd.Timer1.stop();
}

void tIpsMeas::stepStart()
{
    setMeasRun(true);
    ipsStep = ipsSearch;
    m_fetchFrom = 0;
    m_firedAt = -1;
    scount = 0;
    startTime_ms();
    const bool ok = m_fft->asyncIps ? StartSiSampAsync() : StartSiSampSync();
    toMain(cbmShowAveCounter, AveCounter);
    if (!ok) {
        setMeasRun(false);
        ipsStep = ipsParked;
        m_stepWnd.Timer1.stop();
    }
}

// Evaluates the stored time signals again (steps 4, 5, 6, 20, 100) without a new shot.
void tIpsMeas::recalc()
{
    if (!m_fft || getMeasRun() || ReCalcTimeDats.empty())
        return;
    if (m_fft->ManFFTbeg_samp <= 0)
        m_fft->ManFFTbeg_samp = m_fft->fftbeg_samp;
    AveCounter = 1;
    m_sumMag.clear();
    m_sumSecond.clear();
    m_recalcPending = true;
    ipsStep = ipsDiracs;
    post(9990);
}
