// Biquad lists of a filter block: coefficient formats for fixed-point DSPs and the 12-line
// coefficient file of a TAS5504 audio DSP.
#pragma once

#include "dsp/tFilterBlock.h"

#include <cstdint>
#include <string>
#include <vector>

// How the biquad list writes a coefficient (the order of its radio buttons).
enum TBiqOutFormat : uint8_t {
    fFloat = 0,    // "%14.12f"
    fHex5_25 = 1,  // round(c * 2^23), low 28 bits as 7 hex digits
    fHex23_25 = 2, // round(c * 2^23) in 64 bits, low 48 bits as 12 hex digits
    fHex4_20 = 3,  // round(c * 2^20), low 24 bits as 6 hex digits
    fHex2_22 = 4   // round(c * 2^22), low 24 bits as 6 hex digits
};
constexpr int kBiqOutFormats = 5;

// One coefficient in format f: negative values in two's complement, digits 0-9 and A-F, most
// significant first. Values beyond the format's range keep their low bits, as the DSP would
// read them.
std::string FormatBiqCoef(double c, TBiqOutFormat f);

// One digital section of a block: filter index (0-based), section (1-based) and coefficients
// (a1, a2 with the sign that is added in the recursion).
struct TBiquadRow {
    int filter = 0;
    int section = 1;
    TIIRSection coef;
};

// The sections of every filter of the block that is not Flat, filter by filter.
std::vector<TBiquadRow> ListBiquads(const tFilterBlock& block);
// "Eq:<filter>  Biq:<section>".
std::string BiquadRowLabel(const TBiquadRow& r);

// The coefficient file of a TAS5504: exactly kTAS5504Lines lines, the sections of filter 0,
// then filter 1, ... (a Flat filter gives its identity section), each line b0, b1, b2, -a1, -a2
// as 2.22 fixed point words (see TAS5504Word). Values outside -2 .. 2 - 2^-22 cannot be
// represented: they are written at the nearest end of the range and counted in *clipped.
constexpr int kTAS5504Lines = 12;
std::vector<std::string> TAS5504Lines(const tFilterBlock& block, int* clipped = nullptr);
// round(v * 2^22) as its low three bytes, least significant first, then "00": a little-endian
// 32-bit word of 8 hex digits. Saturates to the 24-bit range (sets *clipped when it did).
std::string TAS5504Word(double v, bool* clipped = nullptr);
