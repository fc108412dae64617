// The oscilloscope's frame: trigger search, cut and scaling, read-out and the automatic sample
// rate.
#include "measurements/TOsziScope.h"

#include <algorithm>
#include <cmath>

namespace {

const int32_t kAutoRates[] = {8000, 11025, 22050, 32000, 44100, 48000, 55200, 96000, 192000};

} // namespace

TOsziScope::TOsziScope() {
    settimeIdx(d.timeBidx);
}

double TOsziScope::eichFor(double input_mV, double preAmp_dB) {
    return 2.0 * std::sqrt(2.0) * std::pow(10.0, preAmp_dB / 20.0) * input_mV;
}

void TOsziScope::StartOszi(bool run) {
    Running = run;
    if (run) singleShot = true;
}

void TOsziScope::applySettings(const TOsziData& nd) {
    const bool rearm = nd.TriggSingle && !d.TriggSingle;
    d = nd;
    if (rearm) singleShot = true;
    settimeIdx(d.timeBidx);
}

int32_t TOsziScope::getSampleCount() const {
    if (xyMode()) return 10000;
    const int64_t n = std::llround(double(sampleFreq_Hz) * timeBaseVal * 25.0) + 1;
    return int32_t(std::max<int64_t>(n & ~int64_t(1), 2));
}

int32_t TOsziScope::pointsOnScreen(int32_t n) const {
    const int64_t p = xyMode() ? 512 : std::llround(10.0 * timeBaseVal * sampleFreq_Hz) + 2;
    return int32_t(std::clamp<int64_t>(p, 0, n));
}

// A crossing is judged from the sample before (the backward difference), so a steep edge
// can never step over the level unnoticed. The level and the slope are those of the trace as
// drawn: an inverted source is searched inverted, so the marker and the crossing agree.
int32_t TOsziScope::findTrigg(const double* x, int32_t n, int32_t P, double vPerDiv, bool& found,
                              int32_t from) const {
    found = false;
    const bool inverted = d.triggCha1 ? d.Cha1inv : d.Cha2inv;
    const double k = EichFaktor_mVss * kOsziScreenPerMvss * (inverted ? -1.0 : 1.0);
    const double b = (1.0 - 2.0 * d.triggLev) * vPerDiv;
    const int64_t first =
        int64_t(n) - 2 * int64_t(P) - std::llround(sampleFreq_Hz * 10.0 * timeBaseVal);
    const int32_t start = int32_t(std::max<int64_t>(first, 0));
    for (int32_t idx = std::max({start, from, 1}); idx + 1 < n - P - 1; ++idx) {
        const double xi = x[idx] * k;
        const double dd = xi - x[idx - 1] * k;
        const bool slope = d.triggSlopeP ? dd >= 0 : dd < 0;
        if (slope && ((d.triggSlopeP && b <= xi && xi - dd <= b) ||
                      (!d.triggSlopeP && xi <= b && xi - dd > b))) {
            found = true;
            return idx;
        }
    }
    return start;
}

bool TOsziScope::doTheOszi(const double* ch1, const double* ch2, int32_t n) {
    if (!ch1 || !ch2 || n <= 0) return false;
    const int32_t P = pointsOnScreen(n);
    d.VperDia = P;
    bool show = true;
    int32_t start = 0, trig = -1, delay = 0;
    if (!xyMode()) {
        const bool src1 = d.triggCha1;
        delay =
            int32_t(std::clamp<int64_t>(std::llround(d.Triggdelaytime_s * sampleFreq_Hz), 0, n));
        trig = findTrigg(src1 ? ch1 : ch2, n, P,
                         OsziVoltsPerDiv(src1 ? d.PegCha1Idx : d.PegCha2Idx), TriggerFound, delay);
        if (d.TriggSingle) {
            show = singleShot && TriggerFound;
            if (show) singleShot = false;
        } else {
            show = TriggerFound || d.triggAuto;
        }
        start = std::max(trig - delay, 0);
    }
    if (!show) return false;
    m_frame.start = start;
    m_frame.trigIdx = trig;
    m_frame.delaySamples = trig - start;
    m_frame.triggered = !xyMode() && TriggerFound;
    ++m_frame.number;
    cut(ch1 + start, ch2 + start, std::min(P, n - start));
    measure(ch1, ch2, n);
    return true;
}

void TOsziScope::cut(const double* ch1, const double* ch2, int32_t P) {
    const double k = EichFaktor_mVss * kOsziScreenPerMvss;
    const double f1 =
        (d.Cha1gnd ? 0.0 : 1.0) * (d.Cha1inv ? -k : k) / OsziVoltsPerDiv(d.PegCha1Idx);
    const double f2 =
        (d.Cha2gnd ? 0.0 : 1.0) * (d.Cha2inv ? -k : k) / OsziVoltsPerDiv(d.PegCha2Idx);
    m_frame.y1.resize(size_t(P));
    m_frame.y2.resize(size_t(P));
    m_frame.t_ms.resize(size_t(P));
    const double ms = 1000.0 / std::max(sampleFreq_Hz, 1);
    for (int32_t i = 0; i < P; ++i) {
        m_frame.y1[size_t(i)] = ch1[i] * f1;
        m_frame.y2[size_t(i)] = ch2[i] * f2;
        m_frame.t_ms[size_t(i)] = i * ms;
    }
    // The sum is drawn at channel 1's scale, as the two inputs add on the screen.
    if (d.Add12)
        for (int32_t i = 0; i < P; ++i)
            m_frame.y1[size_t(i)] += m_frame.y2[size_t(i)] * OsziVoltsPerDiv(d.PegCha2Idx) /
                                     OsziVoltsPerDiv(d.PegCha1Idx);
}

void TOsziScope::measure(const double* ch1, const double* ch2, int32_t n) {
    const double mVperFS = EichFaktor_mVss / 2.0;
    const double s1 = d.Cha1gnd ? 0.0 : (d.Cha1inv ? -1.0 : 1.0);
    const double s2 = d.Cha2gnd ? 0.0 : (d.Cha2inv ? -1.0 : 1.0);
    m_sum.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i)
        m_sum[size_t(i)] = s1 * ch1[i] + (d.Add12 ? s2 * ch2[i] : 0.0);
    m_read[0] = OsziReadout(m_sum.data(), n, sampleFreq_Hz, mVperFS);
    m_read[0].on = d.Cha1On;
    for (int32_t i = 0; i < n; ++i)
        m_sum[size_t(i)] = s2 * ch2[i];
    m_read[1] = OsziReadout(m_sum.data(), n, sampleFreq_Hz, mVperFS);
    m_read[1].on = d.Cha2On && !d.Add12;
}

void TOsziScope::settimeIdx(int32_t idx) {
    d.timeBidx = OsziClampIdx(idx);
    timeBaseVal = OsziTimeBase(d.timeBidx);
    SDdp = getSampleCount();
}

int32_t TOsziScope::searchOptSF(const std::function<bool(int32_t rate)>& inputRunsAt) {
    if (auto it = m_rateCache.find(d.timeBidx); it != m_rateCache.end()) return it->second;
    int32_t chosen = 0;
    for (auto it = std::rbegin(kAutoRates); it != std::rend(kAutoRates) && !chosen; ++it)
        if (inputRunsAt(*it) && std::llround(10.0 * timeBaseVal * *it) + 2 < dediPoints)
            chosen = *it;
    for (auto it = std::begin(kAutoRates); it != std::end(kAutoRates) && !chosen; ++it)
        if (inputRunsAt(*it)) chosen = *it;
    m_rateCache[d.timeBidx] = chosen;
    return chosen;
}

TOsziReadout OsziReadout(const double* x, int32_t n, double fs, double mVperFS) {
    TOsziReadout r;
    if (n <= 0 || !(fs > 0)) return r;
    const auto [mn, mx] = std::minmax_element(x, x + n);
    double mean = 0;
    for (int32_t i = 0; i < n; ++i)
        mean += x[i];
    mean /= n;
    r.vpp_mV = (*mx - *mn) * mVperFS;
    // Rising crossings of the mean, armed only below a tenth of the swing, so noise on a slow
    // edge is not counted twice.
    const double hyst = 0.1 * (*mx - *mn);
    bool armed = false;
    int count = 0;
    double first = 0, last = 0;
    for (int32_t i = 1; i < n; ++i) {
        if (x[i] < mean - hyst) armed = true;
        if (armed && x[i - 1] < mean && x[i] >= mean) {
            const double t = (i - 1) + (mean - x[i - 1]) / (x[i] - x[i - 1]);
            if (count++ == 0) first = t;
            last = t;
            armed = false;
        }
    }
    int32_t a = 0, b = n;
    if (count >= 2 && hyst > 0) {
        r.freq_Hz = (count - 1) * fs / (last - first);
        a = int32_t(std::lround(first));
        b = int32_t(std::lround(last));
    }
    double sq = 0;
    for (int32_t i = a; i < b; ++i)
        sq += x[i] * x[i];
    r.vrms_mV = std::sqrt(sq / std::max(b - a, 1)) * mVperFS;
    return r;
}
