// Reverberation time from an impulse response: octave bands, Lundeby truncation, Schroeder decay, EDT/T20/T30.
#include "dsp/reverbTime.h"

#include "dsp/IIR_obj_D.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double kTiny = 1e-300;

double dB10(double p) { return 10.0 * std::log10(std::max(p, kTiny)); }

// The squared response averaged over intervals of `step` samples from `start`: one value (dB)
// per interval, placed at its centre (samples after start).
struct TEnvelope {
    std::vector<double> t, level;
};
TEnvelope envelope(const std::vector<double>& sq, size_t start, size_t end, size_t step)
{
    TEnvelope e;
    for (size_t i = start; i + step <= end; i += step) {
        const double s = std::accumulate(sq.begin() + std::ptrdiff_t(i), sq.begin() + std::ptrdiff_t(i + step), 0.0);
        e.t.push_back(double(i - start) + 0.5 * double(step));
        e.level.push_back(dB10(s / double(step)));
    }
    return e;
}

// Least-squares line level = a + b t over the points i in [from, to).
struct TLine {
    double a = 0, b = 0;
    bool ok = false;
};
TLine fitLine(const std::vector<double>& t, const std::vector<double>& y, size_t from, size_t to)
{
    TLine l;
    const double n = double(to > from ? to - from : 0);
    if (n < 2) return l;
    double st = 0, sy = 0, stt = 0, sty = 0;
    for (size_t i = from; i < to; ++i)
        st += t[i], sy += y[i], stt += t[i] * t[i], sty += t[i] * y[i];
    const double den = n * stt - st * st;
    if (den == 0) return l;
    l.b = (n * sty - st * sy) / den;
    l.a = (sy - l.b * st) / n;
    l.ok = l.b < 0;
    return l;
}

double meanPower(const std::vector<double>& sq, size_t from, size_t to)
{
    if (to <= from) return 0.0;
    return std::accumulate(sq.begin() + std::ptrdiff_t(from), sq.begin() + std::ptrdiff_t(to), 0.0) / double(to - from);
}

// First envelope point at or after `from` whose level lies below `level`, or the count.
size_t firstBelow(const TEnvelope& e, size_t from, double level)
{
    for (size_t i = from; i < e.level.size(); ++i)
        if (e.level[i] < level) return i;
    return e.level.size();
}

// The truncation point (samples after start), the late decay line and the noise level found by
// Lundeby's iteration over the squared response sq (start .. end).
struct TTruncation {
    double cross = 0;   // samples after start
    TLine line;         // late decay, dB over samples after start
    double noise = -300; // dB
};

TTruncation lundeby(const std::vector<double>& sq, size_t start, size_t end, double rate)
{
    TTruncation r;
    const size_t len = end - start;
    r.cross = double(len);
    const double peak = dB10(*std::max_element(sq.begin() + std::ptrdiff_t(start), sq.begin() + std::ptrdiff_t(end)));
    r.noise = dB10(meanPower(sq, end - len / 10, end));
    if (r.noise < peak - 150) { // no noise to speak of: the whole response is decay
        r.noise = -300;
        return r;
    }
    size_t step = std::max<size_t>(1, size_t(rate * 0.01));
    TEnvelope e = envelope(sq, start, end, step);
    if (e.level.size() < 3) return r;
    const size_t top = size_t(std::max_element(e.level.begin(), e.level.end()) - e.level.begin());
    TLine l = fitLine(e.t, e.level, top, std::max(firstBelow(e, top, r.noise + 10), top + 2));
    if (!l.ok) return r;
    double cross = std::min(double(len), (r.noise - l.a) / l.b);
    for (int it = 0; it < 5; ++it) {
        // 5 envelope intervals per 10 dB of decay; noise from 10 dB of decay past the crossing
        step = std::max<size_t>(1, size_t(-10.0 / l.b / 5.0));
        const double noiseFrom = cross + -10.0 / l.b;
        const size_t nf = noiseFrom < double(len - len / 10) ? start + size_t(std::max(0.0, noiseFrom)) : end - len / 10;
        r.noise = dB10(meanPower(sq, nf, end));
        e = envelope(sq, start, end, step);
        const size_t top2 = size_t(std::max_element(e.level.begin(), e.level.end()) - e.level.begin());
        const size_t from = std::max(firstBelow(e, top2, r.noise + 25), top2);
        const size_t to = std::max(firstBelow(e, from, r.noise + 5), from + 2);
        const TLine l2 = fitLine(e.t, e.level, from, std::min(to, e.level.size()));
        if (!l2.ok) break;
        l = l2;
        const double c2 = std::clamp((r.noise - l.a) / l.b, 0.0, double(len));
        const bool settled = std::fabs(c2 - cross) < double(step);
        cross = c2;
        if (settled) break;
    }
    r.cross = cross;
    r.line = l;
    return r;
}

// Butterworth 4th order of the project's IIR design.
TIIRObj butterworth4(TIIRTyp type, double corner, double fs)
{
    TIIRObj f;
    f.SetDesignSampleRate(fs);
    f.SetFilterChar(chButterworth);
    f.SetGrad(4);
    f.SetFreq(corner);
    f.SetTyp(type);
    return f;
}

} // namespace

size_t RtStart(const std::vector<double>& h)
{
    if (h.empty()) return 0;
    double peak = 0;
    for (double v : h)
        peak = std::max(peak, std::fabs(v));
    for (size_t i = 0; i < h.size(); ++i)
        if (std::fabs(h[i]) >= peak * 0.1) return i;
    return 0;
}

double RtFromDecay(const std::vector<double>& decay, double rate, double top_dB, double bottom_dB)
{
    size_t from = 0;
    while (from < decay.size() && decay[from] > top_dB)
        ++from;
    size_t to = from;
    while (to < decay.size() && decay[to] >= bottom_dB)
        ++to;
    if (to >= decay.size()) return 0.0; // never fell far enough
    std::vector<double> t(to - from), y(to - from);
    for (size_t i = from; i < to; ++i)
        t[i - from] = double(i) / rate, y[i - from] = decay[i];
    const TLine l = fitLine(t, y, 0, t.size());
    return l.ok ? -60.0 / l.b : 0.0;
}

TRtBand RtEvaluate(const std::vector<double>& h, double rate, size_t start)
{
    TRtBand b;
    if (start >= h.size() || h.size() - start < 16 || !(rate > 0)) return b;
    std::vector<double> sq(h.size());
    for (size_t i = 0; i < h.size(); ++i)
        sq[i] = h[i] * h[i];
    const TTruncation tr = lundeby(sq, start, h.size(), rate);
    const size_t stop = start + size_t(tr.cross);
    // energy the fitted late decay carries beyond the truncation point
    double tail = 0;
    if (tr.line.ok) {
        const double pCross = std::pow(10.0, (tr.line.a + tr.line.b * tr.cross) / 10.0);
        const double perSample = -tr.line.b * std::log(10.0) / 10.0;
        tail = pCross / perSample;
    }
    b.decay_dB.resize(stop - start);
    double acc = tail;
    for (size_t i = stop; i-- > start;) {
        acc += sq[i];
        b.decay_dB[i - start] = dB10(acc);
    }
    const double ref = b.decay_dB.empty() ? 0 : b.decay_dB[0];
    for (double& v : b.decay_dB)
        v -= ref;
    b.edt = RtFromDecay(b.decay_dB, rate, -0.0, -10.0);
    b.t20 = RtFromDecay(b.decay_dB, rate, -5.0, -25.0);
    b.t30 = RtFromDecay(b.decay_dB, rate, -5.0, -35.0);
    const double peak = dB10(*std::max_element(sq.begin() + std::ptrdiff_t(start), sq.end()));
    b.noise_dB = tr.noise <= -300 ? -200 : tr.noise - peak;
    b.crossing_s = tr.cross / rate;
    return b;
}

TRtResult RtAnalyse(const std::vector<double>& h, double rate)
{
    TRtResult r;
    const size_t start = RtStart(h);
    r.broadband = RtEvaluate(h, rate, start);
    // Filtered backwards in time, so the filters' own ringing lies before the decay instead of
    // lengthening it, which matters in the low bands of short decays.
    const std::vector<double> reversed(h.rbegin(), h.rend() - std::ptrdiff_t(start));
    std::vector<double> band(reversed.size());
    for (double fc : kRtOctaves) {
        if (fc * std::sqrt(2.0) >= rate / 2 * 0.95) break;
        TIIRObj hp = butterworth4(iirHP, fc / std::sqrt(2.0), rate);
        TIIRObj lp = butterworth4(iirTP, fc * std::sqrt(2.0), rate);
        hp.NewCycleBlock(reversed.data(), band.data(), band.size());
        lp.NewCycleBlock(band.data(), band.data(), band.size());
        std::reverse(band.begin(), band.end());
        TRtBand b = RtEvaluate(band, rate, RtStart(band));
        b.centreHz = fc;
        r.octaves.push_back(std::move(b));
    }
    return r;
}
