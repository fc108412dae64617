// Biquad list formats and the TAS5504 coefficient file.
#include "dsp/DSPcalcTAS5504.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The low `digits` hex digits of v (two's complement), most significant first.
std::string hexDigits(int64_t v, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s(size_t(digits), '0');
    uint64_t u = uint64_t(v);
    for (int i = digits - 1; i >= 0; --i, u >>= 4)
        s[size_t(i)] = kHex[u & 0xF];
    return s;
}

int64_t scaled(double c, int fracBits) {
    return int64_t(std::llround(std::ldexp(c, fracBits)));
}

} // namespace

std::string FormatBiqCoef(double c, TBiqOutFormat f) {
    if (!std::isfinite(c)) c = 0.0;
    switch (f) {
    case fHex5_25:
        return hexDigits(scaled(c, 23), 7);
    case fHex23_25:
        return hexDigits(scaled(c, 23), 12);
    case fHex4_20:
        return hexDigits(scaled(c, 20), 6);
    case fHex2_22:
        return hexDigits(scaled(c, 22), 6);
    case fFloat:
        break;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%14.12f", c);
    return buf;
}

std::vector<TBiquadRow> ListBiquads(const tFilterBlock& block) {
    std::vector<TBiquadRow> rows;
    for (int i = 0; i < tFilterBlock::kFilters; ++i) {
        const TIIRObj& f = block.aEq[size_t(i)];
        if (f.Typ() == iirFlat) continue;
        for (int s = 0; s < f.Biquads(); ++s)
            rows.push_back({i, s + 1, f.Iir()[s]});
    }
    return rows;
}

std::string BiquadRowLabel(const TBiquadRow& r) {
    return "Eq:" + std::to_string(r.filter) + "  Biq:" + std::to_string(r.section);
}

std::string TAS5504Word(double v, bool* clipped) {
    constexpr int64_t kMax = (int64_t(1) << 23) - 1, kMin = -(int64_t(1) << 23);
    const int64_t raw = std::isfinite(v) ? scaled(std::clamp(v, -4.0, 4.0), 22) : 0;
    const int64_t w = std::clamp(raw, kMin, kMax);
    if (clipped && (w != raw || !std::isfinite(v))) *clipped = true;
    const uint64_t u = uint64_t(w);
    std::string s;
    for (int byte = 0; byte < 3; ++byte)
        s += hexDigits(int64_t((u >> (8 * byte)) & 0xFF), 2);
    return s + "00";
}

std::vector<std::string> TAS5504Lines(const tFilterBlock& block, int* clipped) {
    std::vector<std::string> lines;
    int bad = 0;
    for (int i = 0; i < tFilterBlock::kFilters && int(lines.size()) < kTAS5504Lines; ++i) {
        const TIIRObj& f = block.aEq[size_t(i)];
        for (int s = 0; s < f.Biquads() && int(lines.size()) < kTAS5504Lines; ++s) {
            const TIIRSection& q = f.Iir()[s];
            std::string line;
            for (double v : {q.b0, q.b1, q.b2, -q.a1, -q.a2}) {
                bool c = false;
                line += TAS5504Word(v, &c);
                bad += c ? 1 : 0;
            }
            lines.push_back(std::move(line));
        }
    }
    if (clipped) *clipped = bad;
    return lines;
}
