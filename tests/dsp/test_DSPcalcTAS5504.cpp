// Tests of the biquad list formats and the TAS5504 coefficient file: conversions, and a designed
// block read back from its file and run as a cascade against the designed response.
#include "dsp/DSPcalcTAS5504.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kFs = 48000.0;
constexpr double kLsb = 1.0 / (1 << 22); // one step of 2.22 fixed point

// The inverse of TAS5504Word: 8 hex digits, bytes least significant first, padding "00".
double readWord(const std::string& w) {
    EXPECT_EQ(w.substr(6, 2), "00");
    uint32_t u = 0;
    for (int byte = 0; byte < 3; ++byte)
        u |= uint32_t(std::stoul(w.substr(size_t(2 * byte), 2), nullptr, 16)) << (8 * byte);
    const int32_t v = (u & 0x800000u) ? int32_t(u) - (1 << 24) : int32_t(u);
    return v * kLsb;
}

// A file line as a section in the recursion's sign convention (y = ... + a1*y1 + a2*y2).
TIIRSection readLine(const std::string& line) {
    EXPECT_EQ(line.size(), 40u);
    TIIRSection s;
    s.b0 = readWord(line.substr(0, 8));
    s.b1 = readWord(line.substr(8, 8));
    s.b2 = readWord(line.substr(16, 8));
    s.a1 = -readWord(line.substr(24, 8));
    s.a2 = -readWord(line.substr(32, 8));
    return s;
}

// Steady-state gain of the cascade for a sine of integer frequency f (Hz): one second settles,
// the next second (a whole number of periods) is correlated with sine and cosine.
double cascadeGain(const std::vector<TIIRSection>& secs, double f) {
    std::vector<std::array<double, 4>> st(secs.size(), {0, 0, 0, 0}); // x1 x2 y1 y2
    double re = 0, im = 0;
    const int n = int(kFs);
    for (int k = 0; k < 2 * n; ++k) {
        const double ph = 2 * std::numbers::pi * f * k / kFs;
        double x = std::sin(ph);
        for (size_t i = 0; i < secs.size(); ++i) {
            const TIIRSection& c = secs[i];
            auto& s = st[i];
            const double y = c.b0 * x + c.b1 * s[0] + c.b2 * s[1] + c.a1 * s[2] + c.a2 * s[3];
            s = {x, s[0], y, s[2]};
            x = y;
        }
        if (k >= n) {
            re += x * std::sin(ph);
            im += x * std::cos(ph);
        }
    }
    return 2 * std::hypot(re, im) / n;
}

// First-order bound of the relative gain error when every coefficient of every section is off
// by at most half a step: per section |dH/H| <= e * (sum |z^-k| / |N| + sum |z^-k| / |D|).
double quantisationBound(const std::vector<TIIRSection>& secs, double f) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * f / kFs);
    double rel = 0;
    for (const TIIRSection& c : secs) {
        const double N = std::abs(c.b0 + c.b1 * z1 + c.b2 * z1 * z1);
        const double D = std::abs(1.0 - c.a1 * z1 - c.a2 * z1 * z1);
        rel += 0.5 * kLsb * (3 / N + 2 / D);
    }
    return rel;
}

} // namespace

TEST(DSPcalcTAS5504, FormatsOfTheBiquadList) {
    EXPECT_EQ(FormatBiqCoef(-1.0, fHex2_22), "C00000");
    EXPECT_EQ(FormatBiqCoef(1.0, fHex2_22), "400000");
    EXPECT_EQ(FormatBiqCoef(-1.0, fHex4_20), "F00000");
    EXPECT_EQ(FormatBiqCoef(0.5, fHex5_25), "0400000");
    EXPECT_EQ(FormatBiqCoef(-1.0, fHex5_25), "F800000");
    EXPECT_EQ(FormatBiqCoef(-0.5, fHex23_25), "FFFFFFC00000");
    EXPECT_EQ(FormatBiqCoef(1.9999999, fHex23_25), "000000FFFFFF"); // rounds to 2^24 - 1
    EXPECT_EQ(FormatBiqCoef(-1.0, fFloat), "-1.000000000000");
    EXPECT_EQ(FormatBiqCoef(0.25, fFloat), "0.250000000000");
    EXPECT_EQ(FormatBiqCoef(std::nan(""), fHex2_22), "000000"); // never undefined behaviour
}

TEST(DSPcalcTAS5504, WordsAreLittleEndianAndSaturate) {
    bool clipped = false;
    EXPECT_EQ(TAS5504Word(1.0, &clipped), "00004000");
    EXPECT_EQ(TAS5504Word(-1.0, &clipped), "0000C000");
    EXPECT_EQ(TAS5504Word(-2.0, &clipped), "00008000");
    EXPECT_EQ(TAS5504Word(kLsb, &clipped), "01000000");
    EXPECT_FALSE(clipped);
    EXPECT_EQ(TAS5504Word(2.5, &clipped), "FFFF7F00");
    EXPECT_TRUE(clipped);
    clipped = false;
    EXPECT_EQ(TAS5504Word(-1e300, &clipped), "00008000");
    EXPECT_TRUE(clipped);
}

TEST(DSPcalcTAS5504, FlatFiltersAreSavedAsIdentitiesButNotListed) {
    tFilterBlock b;
    EXPECT_TRUE(ListBiquads(b).empty());
    int clipped = -1;
    const std::vector<std::string> lines = TAS5504Lines(b, &clipped);
    ASSERT_EQ(lines.size(), size_t(kTAS5504Lines));
    EXPECT_EQ(clipped, 0);
    for (const std::string& l : lines)
        EXPECT_EQ(l, "00004000" + std::string(32, '0'));
}

TEST(DSPcalcTAS5504, ListNamesEverySectionOfTheUsedFilters) {
    tFilterBlock b;
    b.aEq[1].SetParam(iirTP, 4, 1000, 0, 1, -3.1, 1, chButterworth);
    b.aEq[4].SetParam(iirPK, 2, 3000, 6, 2, -3.1, 1, chButterworth);
    const std::vector<TBiquadRow> rows = ListBiquads(b);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(BiquadRowLabel(rows[0]), "Eq:1  Biq:1");
    EXPECT_EQ(BiquadRowLabel(rows[1]), "Eq:1  Biq:2");
    EXPECT_EQ(BiquadRowLabel(rows[2]), "Eq:4  Biq:1");
    EXPECT_EQ(rows[2].coef.a1, b.aEq[4].Iir()[0].a1);
}

// The truth test: the file of a designed block, read back and run sample by sample, has the
// designed response within the first-order bound of 2.22 rounding (plus 1e-6 for the measurement).
TEST(DSPcalcTAS5504, SavedCoefficientsReproduceTheDesignedResponse) {
    tFilterBlock b;
    b.bypass = false;
    b.aEq[0].SetParam(iirTP, 4, 1000, 0, 1, -3.1, 1, chButterworth); // 2 sections
    b.aEq[1].SetParam(iirPK, 2, 3000, 6, 2, -3.1, 1, chButterworth); // 1 section
    b.aEq[2].SetParam(iirHP, 2, 80, 0, 1, -3.1, 1, chBessel);        // 1 section
    int clipped = -1;
    const std::vector<std::string> lines = TAS5504Lines(b, &clipped);
    ASSERT_EQ(lines.size(), size_t(kTAS5504Lines));
    EXPECT_EQ(clipped, 0);
    std::vector<TIIRSection> secs;
    for (const std::string& l : lines)
        secs.push_back(readLine(l));
    for (size_t i = 4; i < secs.size(); ++i) // the 17 Flat filters: identities
        EXPECT_EQ(secs[i].b0, 1.0);
    double worst_dB = 0, largestBound = 0;
    for (double f : {40.0, 100.0, 300.0, 1000.0, 2000.0, 3000.0, 5000.0, 10000.0}) {
        double designed = 1;
        for (int i = 0; i < 3; ++i)
            designed *= b.aEq[size_t(i)].Hz(f, TSubject::Betrag);
        const double measured = cascadeGain(secs, f);
        const double bound = quantisationBound(secs, f);
        EXPECT_NEAR(measured / designed, 1.0, bound + 1e-6) << "at " << f << " Hz";
        worst_dB = std::max(worst_dB, std::fabs(20 * std::log10(measured / designed)));
        largestBound = std::max(largestBound, bound);
    }
    std::printf("[ TAS5504 ] worst deviation %.2e dB, largest relative bound %.2e\n", worst_dB,
                largestBound);
}
