// Closed-form truth of the impedance bench.
#include "SimTruthImpedance.h"

#include <cmath>
#include <numbers>

namespace {

// Mass (kg) and compliance (m/N) of the moving system as mounted.
struct Mechanics {
    double mms, cms;
};

Mechanics mechanics(const TSimSpeakerSpec& p, TSimSpeakerMount mount)
{
    Mechanics m{p.mmsG * 1e-3, p.cmsMmN * 1e-3};
    if (mount != TSimSpeakerMount::freeAir)
        m.mms += p.addedMassG * 1e-3;
    if (mount == TSimSpeakerMount::box && p.boxVolumeL > 0) {
        const double sd = p.sdCm2 * 1e-4;
        const double cmb = p.boxVolumeL * 1e-3 / (kSimRhoC2 * sd * sd);
        m.cms = m.cms * cmb / (m.cms + cmb);
    }
    return m;
}

} // namespace

std::complex<double> simSpeakerImpedance(const TSimSpeakerSpec& p, double f)
{
    using namespace std::complex_literals;
    const Mechanics m = mechanics(p, TSimSpeakerMount::box);
    const double w = 2 * std::numbers::pi * f;
    const std::complex<double> zm = p.rms + 1i * w * m.mms + 1.0 / (1i * w * m.cms);
    return p.re + 1i * w * p.leMh * 1e-3 + p.bl * p.bl / zm;
}

std::complex<double> simSpeakerDivider(const TSimSpeakerSpec& p, double f)
{
    const std::complex<double> z = simSpeakerImpedance(p, f);
    return z / (z + p.rs);
}

TSimThieleSmall simThieleSmall(const TSimSpeakerSpec& p, TSimSpeakerMount mount)
{
    const Mechanics m = mechanics(p, mount);
    const double ws = 1.0 / std::sqrt(m.mms * m.cms);
    TSimThieleSmall t{};
    t.fs = ws / (2 * std::numbers::pi);
    t.qms = ws * m.mms / p.rms;
    t.qes = ws * m.mms * p.re / (p.bl * p.bl);
    t.qts = t.qms * t.qes / (t.qms + t.qes);
    const double sd = p.sdCm2 * 1e-4;
    t.vasL = kSimRhoC2 * sd * sd * p.cmsMmN * 1e-3 * 1e3;
    t.mmsG = m.mms * 1e3;
    t.cmsMmN = m.cms * 1e3;
    return t;
}
