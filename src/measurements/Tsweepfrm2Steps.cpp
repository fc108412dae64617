// The sweep engine's evaluation of a step: response (level, ratio, phase), distortion, and the asynchronous detection.
#include "measurements/Tsweepfrm2.h"

#include "analysis/AnaEval.h"
#include "core/soundDLLImpDyn.h"
#include "dsp/FFtuli.h"
#include "dsp/tFilterBlock.h"
#include "measurements/sweepEval.h"

#include <algorithm>
#include <cmath>

namespace {

double dB(double ratio) { return 20.0 * std::log10(ratio); }

} // namespace

void Tsweepfrm2::evaluateStep()
{
    Twobdat& w = ActiveWobDat();
    const double f = w.wobisfreq;
    const int32_t frames = SweepBlockLength(rate(), w.mtime) / 2;
    std::vector<Tsamplemem> blocks;
    if (!fetchBlocks(frames, blocks))
        return; // nothing new yet: the next notification tries again
    m_lastBlockFrames = frames;
    readOverload();
    if (w.mSweepMode == 7)
        evaluateTHD(blocks, f);
    else if (w.mSweepMode == 6 || w.mSweepMode == 8)
        evaluateImpedance(blocks, f);
    else
        evaluateSync(blocks, f);
    afterStep();
}

// Tracking filter, then each channel's own input filter block (even and odd channels).
void Tsweepfrm2::filterChannels(std::vector<Tsamplemem>& blocks, double f)
{
    Twobdat& w = ActiveWobDat();
    const double r = rate();
    for (size_t ch = 0; ch < blocks.size(); ++ch) {
        if (w.TrackFilter)
            blocks[ch].timeDomainFilterTrackEQ(r, w.TrackFilterBlock, f);
        tFilterBlock* own = !m_filters ? nullptr : ch % 2 ? &m_filters->inpRight : &m_filters->inpLeft;
        if (own && !own->inactive())
            blocks[ch].timeDomainFilterEQ(r, *own);
    }
}

// The calibration pair of a channel for levels read in the time domain: the settings' pair
// holds the offset of a spectrum's bins too, which a block's RMS does not have.
TLevelCorr Tsweepfrm2::timeDomainCorr(int channel) const
{
    TLevelCorr c = AnaFFTdSW ? LevelCorrOf(*AnaFFTdSW, channel) : TLevelCorr{0.0, 1.0};
    if (!AnaFFTdSW)
        return c;
    if (IsLinearUnit(AnaFFTdSW->fdbMode))
        c.fak /= std::pow(10.0, kSpectrumBinOffset_dB / 20.0);
    else
        c.offs -= kSpectrumBinOffset_dB;
    return c;
}

// An absolute level in the current unit with a channel's calibration, then the input correction.
double Tsweepfrm2::absoluteLevel(double U, double f, int channel) const
{
    const TLevelCorr c = timeDomainCorr(channel);
    const bool linear = AnaFFTdSW && IsLinearUnit(AnaFFTdSW->fdbMode);
    const double v = linear ? U * c.fak : dB(U) + c.offs;
    return SinCor && SinCor->getaktiv() ? SinCor->corri(v, f, 0.0) : v;
}

void Tsweepfrm2::evaluateSync(std::vector<Tsamplemem>& blocks, double f)
{
    Twobdat& w = ActiveWobDat();
    filterChannels(blocks, f);
    const size_t n = blocks.size();
    std::vector<double> U(n), val(n, -192.0);
    for (size_t ch = 0; ch < n; ++ch)
        U[ch] = SweepValRms(blocks[ch], 2);
    for (size_t e = 0; e < n; e += 2) {
        const bool pair = e + 1 < n;
        if (w.RefMess == mRefStereo || !pair) {
            val[e] = absoluteLevel(U[e], f, 0);
            if (pair)
                val[e + 1] = absoluteLevel(U[e + 1], f, 0);
            continue;
        }
        const bool right = w.RefMess == mRefRight;
        val[e] = right ? dB(U[e] / U[e + 1]) : dB(U[e + 1] / U[e]);
        const Tsamplemem& ref = right ? blocks[e + 1] : blocks[e];
        const Tsamplemem& other = right ? blocks[e] : blocks[e + 1];
        val[e + 1] = SweepPhaseCH(ref, other, f, rate());
    }
    const int32_t k = w.wobisSteps;
    for (size_t ch = 0; ch < n && ch < Wobsdata.size(); ++ch)
        Wobsdata[ch].setsmAr(k, val[ch]);
    Wobsdx.setsmAr(k, f);
    aktLevL = n > 0 ? val[0] : 0.0;
    aktLevR = n > 1 ? val[1] : 0.0;
    if (visible)
        Memo1 << QString::asprintf("CalcSync f:%f step:%d block:%lld", f, k, (long long)m_lastBlockFrames);
}

void Tsweepfrm2::evaluateTHD(std::vector<Tsamplemem>& blocks, double f)
{
    Twobdat& w = ActiveWobDat();
    const int32_t N = SweepTHDFFTSize(f);
    TEvalSettings s = AnadataSW ? EvalSettingsOf(*AnadataSW) : TEvalSettings{};
    s.manualFundamental = f;
    const bool percent = AnadataSW && AnadataSW->DistortionUnitInPercent;
    const int32_t k = w.wobisSteps;
    for (size_t ch = 0; ch < blocks.size() && ch < Wobsdata.size(); ++ch) {
        const Tsamplemem& b = blocks[ch];
        const double level = b.getRMStdLevel(0, b.samples() - 1);
        if (ch == 0)
            aktLevL = level;
        else if (ch == 1)
            aktLevR = level;
        const TDistortionResult r = SweepBlockTHD(b, N, 8, rate(), s);
        double v = r.dB;
        if (percent && v != kEvalNoValue_dB)
            v = std::pow(10.0, v / 20.0) * 100.0;
        Wobsdata[ch].setsmAr(k, v);
        if (visible)
            Memo1 << QString::asprintf("THD step:%d f:%.2f FFT:%d ch:%d thd:%.4f", k, f, N, int(ch), v);
    }
    Wobsdx.setsmAr(k, f);
}

// Each channel pair is one measuring circuit: the generator side of Rs on one channel, the device
// on the other (odd = generator with mImpVar1, even with mImpVar2). The divider is taken from the
// complex amplitudes at the step frequency: from RMS values alone it is right only for a resistive
// device and reads a driver's flanks 28 % high. Curve e holds |Z|, curve e+1 its phase.
void Tsweepfrm2::evaluateImpedance(std::vector<Tsamplemem>& blocks, double f)
{
    Twobdat& w = ActiveWobDat();
    filterChannels(blocks, f);
    const size_t n = std::min(blocks.size(), Wobsdata.size());
    const int32_t k = w.wobisSteps;
    const bool oddIsGenerator = w.mImpMode == mImpVar1;
    for (size_t e = 0; e + 1 < n; e += 2) {
        const Tsamplemem& gen = oddIsGenerator ? blocks[e + 1] : blocks[e];
        const Tsamplemem& dev = oddIsGenerator ? blocks[e] : blocks[e + 1];
        const TSweepImpedance z = SweepImpedance(gen, dev, f, rate(), w.Rs);
        Wobsdata[e].setsmAr(k, z.ohm);
        Wobsdata[e + 1].setsmAr(k, z.deg);
        if (visible)
            Memo1 << QString::asprintf("Imp step:%d f:%.6f Z:%.6f phase:%.4f Zmagnitudes:%.6f", k, f, z.ohm, z.deg,
                                       SweepImpedanceOfMagnitudes(SweepValRms(gen, 2), SweepValRms(dev, 2), w.Rs));
    }
    // Every step records its frequency, the first too: its point is as good as the others.
    Wobsdx.setsmAr(k, f);
    aktLevL = n > 0 ? Wobsdata[0].getsmAr(k) : 0.0;
    aktLevR = n > 1 ? Wobsdata[1].getsmAr(k) : 0.0;
}

// ---- the asynchronous sweep -------------------------------------------------------------------

namespace {

// The transform size of the second estimate at a first estimate of f Hz (0: keep the first).
int32_t asyncLadder(double f)
{
    if (f >= 96000.0) return 0;
    if (f >= 10000.0) return 1024;
    if (f >= 4000.0) return 2048;
    if (f >= 600.0) return 4096;
    if (f >= 200.0) return 8192;
    return 16384;
}

// The tone of the newest n samples of `x`: its frequency between bins, 0 when none stands above
// the threshold. `offset_dB` lifts the spectrum before the search.
double findTone(const std::vector<double>& x, int32_t n, double rate, float fundLow, double offset_dB)
{
    if (int32_t(x.size()) < n)
        return 0.0;
    FFtuliContext t;
    t.prepareWindow(8, n);
    Tsamplemem spec(n);
    t.windowedSpectrumFrom(x.data() + (x.size() - size_t(n)), spec.smpoi(), nullptr, n, 0);
    spec.resize2(n / 2);
    double* s = spec.smpoi();
    for (int32_t i = 0; i < n / 2; ++i)
        s[i] = s[i] > 0.0 ? 20.0 * std::log10(s[i]) + offset_dB : kEvalNoValue_dB;
    TEvalSettings e;
    e.fsampFreq = rate;
    e.points = n;
    e.lfvon = 10;
    e.lfbis = 96000;
    e.fFundlow = fundLow;
    e.Hx = 0xFF << 1;
    e.window = 8;
    if (FindFundamental(&spec, e) <= 0.0)
        return 0.0;
    return DistortionNoise(&spec, e, nullptr).peakFrequency;
}

} // namespace

bool Tsweepfrm2::estimateAsync(std::vector<Tsamplemem>& blocks, double& freq)
{
    const Twobdat& w = ActiveWobDat();
    freq = 0.0;
    if (blocks.empty())
        return false;
    const size_t len = size_t(blocks[0].samples());
    const bool sum = w.RefMess == mRefStereo && blocks.size() > 1;
    const size_t src = w.RefMess == mRefRight && blocks.size() > 1 ? 1 : 0;
    std::vector<double> x(blocks[src].smpoi(), blocks[src].smpoi() + len);
    if (sum)
        for (size_t i = 0; i < len; ++i) x[i] += blocks[1].smpoi()[i];
    const float fundLow = float(std::pow(10.0, w.thresholdLevel_dB / 20.0));
    const double offset = sum ? 26.0 : 12.5;
    const double first = findTone(x, 1024, rate(), fundLow, offset);
    if (first <= 0.0)
        return false;
    const int32_t n = asyncLadder(first);
    freq = n > 0 ? findTone(x, n, rate(), fundLow, offset) : first;
    if (freq <= 0.0)
        freq = first;
    if (freq > 3000.0)
        ++m_highDetections;
    // The levels over the samples the estimate saw.
    const int32_t used = n > 0 ? n : 1024;
    for (Tsamplemem& b : blocks)
        b = Tsamplemem::copyPart(b, b.samples() - used, used);
    return true;
}

void Tsweepfrm2::evaluateAsync()
{
    Twobdat& w = ActiveWobDat();
    std::vector<Tsamplemem> blocks; // how often this runs is the main window's frame gate's matter
    if (!fetchBlocks(32768, blocks))
        return;
    const int64_t rec = recorded();
    readOverload();
    double f = 0.0;
    const bool found = estimateAsync(blocks, f);
    const bool marker = found && std::fabs(f - w.p1_1khz) <= 15.0;
    if (w.waitOn1kHz && wait1kHzStep < 4) { // no frequency is reported while waiting
        if (wait1kHzStep == 0 && marker && ++asyncCount > 0)
            wait1kHzStep = 2;
        else if (wait1kHzStep == 2 && !marker)
            wait1kHzStep = 4;
        if (wait1kHzStep < 4)
            return;
    }
    if (m_asyncStart < 0)
        m_asyncStart = rec;
    if (found) {
        filterChannels(blocks, f);
        appendAsyncPoint(blocks, f);
    }
    progress();
    sendResults();
    if (rec - m_asyncStart >= int64_t(w.totalasyncmess_s) * rate())
        endOfSweep();
}

void Tsweepfrm2::appendAsyncPoint(std::vector<Tsamplemem>& blocks, double f)
{
    Twobdat& w = ActiveWobDat();
    const int32_t k = std::max(w.wobisSteps, 0);
    if (k >= Wobsdx.samples())
        resizeResults(k + 1);
    const size_t n = std::min(blocks.size(), Wobsdata.size());
    for (size_t e = 0; e < n; e += 2) {
        const double Ue = SweepValRms(blocks[e], 2);
        const double Uo = e + 1 < n ? SweepValRms(blocks[e + 1], 2) : 0.0;
        double ve = 0.0, vo = 0.0;
        if (w.RefMess == mRefStereo || e + 1 >= n) { // each channel with its own calibration
            ve = absoluteLevel(Ue, f, 0);
            vo = e + 1 < n ? absoluteLevel(Uo, f, 1) : 0.0;
        } else {
            ve = w.RefMess == mRefRight ? dB(Ue / Uo) : dB(Uo / Ue);
        }
        Wobsdata[e].setsmAr(k, ve);
        if (e + 1 < n) Wobsdata[e + 1].setsmAr(k, vo);
    }
    Wobsdx.setsmAr(k, f);
    aktFreq = f;
    aktLevL = n > 0 ? Wobsdata[0].getsmAr(k) : 0.0;
    aktLevR = n > 1 ? Wobsdata[1].getsmAr(k) : 0.0;
    aktStepG = k;
    w.wobisSteps = k + 1;
    w.wobAnzSteps = k + 1;
}
