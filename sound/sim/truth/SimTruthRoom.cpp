// The room's impulse response, the reflection list parser and the Schroeder decay.
#include "SimTruthRoom.h"

#include "TSimNoise.h"

#include <algorithm>
#include <charconv>
#include <cmath>

// Noise stream of the tail (see simNoiseSeed).
static constexpr uint32_t kTailStream = 300;

static std::string_view trim(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

static bool number(std::string_view s, double* v)
{
    s = trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty() && std::isfinite(*v);
}

bool simParseReflections(std::string_view text, std::vector<TSimReflection>* out, std::string* error)
{
    std::vector<TSimReflection> list;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (text.size() > 4096)
        return fail("the reflection list is longer than 4096 characters");
    for (size_t pos = 0; pos <= text.size();) {
        const size_t end = std::min(text.find_first_of(",;", pos), text.size());
        const std::string_view item = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (item.empty())
            continue;
        const size_t colon = item.find(':');
        TSimReflection r{};
        if (colon == std::string_view::npos || !number(item.substr(0, colon), &r.delayMs) ||
            !number(item.substr(colon + 1), &r.gainDb))
            return fail(std::string("\"").append(item).append("\" is not \"delay ms : gain dB\""));
        if (r.delayMs < 0 || r.delayMs > kSimMaxReflectionMs)
            return fail("a reflection delay must lie between 0 and 1000 ms");
        if (r.gainDb < -200 || r.gainDb > 20)
            return fail("a reflection gain must lie between -200 and +20 dB");
        if (list.size() == kSimMaxReflections)
            return fail("more than 64 reflections");
        list.push_back(r);
    }
    if (out)
        *out = std::move(list);
    return true;
}

size_t simRoomSamples(double ms, double fs)
{
    return size_t(std::llround(std::max(0.0, ms) * fs / 1000.0));
}

// Samples of the tail: until it has decayed by kSimTailRangeDb.
static size_t tailSamples(const TSimRoomSpec& p, double fs)
{
    return p.tailLevelDb <= -200 ? 0 : simRoomSamples(p.rt60Ms * kSimTailRangeDb / 60.0, fs);
}

size_t simRoomLength(const TSimRoomSpec& p, double fs)
{
    const size_t direct = simRoomSamples(p.delayMs, fs);
    size_t end = direct + 1;
    for (const TSimReflection& r : p.reflections)
        end = std::max(end, direct + simRoomSamples(r.delayMs, fs) + 1);
    const size_t tail = tailSamples(p, fs);
    if (tail > 0)
        end = std::max(end, direct + simRoomSamples(p.tailStartMs, fs) + tail);
    return end;
}

std::vector<double> simRoomImpulse(const TSimRoomSpec& p, double fs, uint32_t seed)
{
    std::vector<double> h(simRoomLength(p, fs), 0.0);
    const size_t direct = simRoomSamples(p.delayMs, fs);
    h[direct] += 1.0;
    for (const TSimReflection& r : p.reflections)
        if (r.gainDb > -200)
            h[direct + simRoomSamples(r.delayMs, fs)] += std::pow(10.0, r.gainDb / 20.0);
    const size_t start = direct + simRoomSamples(p.tailStartMs, fs), n = tailSamples(p, fs);
    TSimNoise noise;
    noise.seed(simNoiseSeed(seed, kTailStream));
    const double level = std::pow(10.0, p.tailLevelDb / 20.0);
    // Amplitude falls 60 dB in rt60: factor 10^(-3 t / rt60) with t in samples.
    const double decay = -3.0 / (p.rt60Ms * fs / 1000.0);
    for (size_t i = 0; i < n; ++i)
        h[start + i] += level * std::pow(10.0, decay * double(i)) * noise.gauss();
    return h;
}

std::vector<double> simSchroederDb(const std::vector<double>& h)
{
    std::vector<double> e(h.size());
    long double sum = 0;
    for (size_t i = h.size(); i-- > 0;) {
        sum += (long double)h[i] * h[i];
        e[i] = double(sum);
    }
    const double total = e.empty() ? 0.0 : e[0];
    for (double& v : e)
        v = v > 0 && total > 0 ? 10.0 * std::log10(v / total) : -INFINITY;
    return e;
}

double simRt60FromDecay(const std::vector<double>& d, double fs, size_t from)
{
    if (from >= d.size())
        return 0.0;
    const double top = d[from] - 5.0, bottom = d[from] - 35.0;
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    bool reached = false;
    for (size_t i = from; i < d.size(); ++i) {
        if (d[i] < bottom) {
            reached = true;
            break;
        }
        if (d[i] > top)
            continue;
        const double x = double(i) / fs;
        n += 1, sx += x, sy += d[i], sxx += x * x, sxy += x * d[i];
    }
    const double den = n * sxx - sx * sx;
    if (!reached || n < 2 || den <= 0)
        return 0.0;
    const double slope = (n * sxy - sx * sy) / den; // dB per second
    return slope < 0 ? -60.0 / slope * 1000.0 : 0.0;
}
