// Closed-form truth of the amplifier model.
#include "SimTruthAmplifier.h"

#include <cmath>
#include <numbers>

bool simAmpCornerActive(double cornerHz, double fs)
{
    return cornerHz >= 1.0 && cornerHz < 0.5 * fs;
}

std::complex<double> simButterworth2(bool highPass, double cornerHz, double f, double fs)
{
    using namespace std::complex_literals;
    const double pi = std::numbers::pi;
    const std::complex<double> s = 1i * (std::tan(pi * f / fs) / std::tan(pi * cornerHz / fs));
    const std::complex<double> den = 1.0 + std::numbers::sqrt2 * s + s * s;
    return (highPass ? s * s : 1.0) / den;
}

// Peak volts at the amplifier output per unit of generator amplitude, without the filters: a
// 0 dBFS sine (amplitude 1) is outputVoltsFS volts RMS.
static double voltsPerFs(const TSimAmpSpec& p)
{
    return std::numbers::sqrt2 * p.outputVoltsFS * std::pow(10.0, p.gainDb / 20.0);
}

// From instantaneous volts at the amplifier output to recorded full-scale units.
static double fsPerVolt(const TSimAmpSpec& p)
{
    return std::pow(10.0, -p.attenuationDb / 20.0) / (std::numbers::sqrt2 * p.inputVoltsFS);
}

static std::complex<double> filters(const TSimAmpSpec& p, double f, double fs)
{
    std::complex<double> h = 1.0;
    if (simAmpCornerActive(p.highPassHz, fs))
        h *= simButterworth2(true, p.highPassHz, f, fs);
    if (simAmpCornerActive(p.lowPassHz, fs))
        h *= simButterworth2(false, p.lowPassHz, f, fs);
    return h;
}

std::complex<double> simAmpResponse(const TSimAmpSpec& p, double f, double fs)
{
    return voltsPerFs(p) * fsPerVolt(p) * filters(p, f, fs);
}

TSimAmpHarmonics simAmpHarmonics(const TSimAmpSpec& p, double levelDbfs, double f, double fs)
{
    const std::complex<double> h = filters(p, f, fs);
    const double A = std::pow(10.0, levelDbfs / 20.0) * voltsPerFs(p) * std::abs(h);
    const double phi = std::arg(h);
    const double* a = p.a;
    const double A2 = A * A, A3 = A2 * A, A4 = A3 * A, A5 = A4 * A;
    // cos^k expanded into cos(m theta): cos^2 = (1 + cos2)/2, cos^3 = (3 cos + cos3)/4,
    // cos^4 = (3 + 4 cos2 + cos4)/8, cos^5 = (10 cos + 5 cos3 + cos5)/16.
    const double c[6] = {
        a[2] * A2 / 2 + 3 * a[4] * A4 / 8,
        A + 3 * a[3] * A3 / 4 + 10 * a[5] * A5 / 16,
        a[2] * A2 / 2 + a[4] * A4 / 2,
        a[3] * A3 / 4 + 5 * a[5] * A5 / 16,
        a[4] * A4 / 8,
        a[5] * A5 / 16,
    };
    const double out = fsPerVolt(p);
    TSimAmpHarmonics r;
    r.dc = c[0] * out;
    double harmonicPower = 0, bound = std::abs(c[0]);
    for (int m = 1; m <= 5; ++m) {
        bound += std::abs(c[m]);
        if (m * f >= 0.5 * fs)
            continue;
        const double phase = std::remainder(m * phi + (c[m] < 0 ? std::numbers::pi : 0.0), 2 * std::numbers::pi);
        r.lines.push_back({m, m * f, std::abs(c[m]) * out, phase});
        if (m > 1)
            harmonicPower += c[m] * c[m] * out * out;
    }
    const double fundamental = r.lines.empty() ? 0.0 : r.lines.front().amplitude;
    r.thdF = fundamental > 0 ? std::sqrt(harmonicPower) / fundamental : 0.0;
    const double total = fundamental * fundamental + harmonicPower;
    r.thdR = total > 0 ? std::sqrt(harmonicPower / total) : 0.0;
    r.peakVolts = bound;
    r.clips = p.railVolts > 0 && bound >= p.railVolts;
    return r;
}
