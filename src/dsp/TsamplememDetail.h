// Small helpers shared by the sample memory's topic files (not part of its interface).
#pragma once

#include "dsp/Tsamplemem.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace samplememDetail {

// ---------------------------------------------------------------------------------------------
// Small helpers

[[noreturn]] inline __attribute__((format(printf, 1, 2))) void raise(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw EsampleMemEx(text);
}

// Sample memory from the heap; zeroed on request. Out of memory throws std::bad_alloc.
inline double* allocSamples(int32_t count, bool zeroed) {
    const size_t bytes = static_cast<size_t>(count) * sizeof(double);
    void* p = zeroed ? std::calloc(static_cast<size_t>(count), sizeof(double)) : std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    return static_cast<double*>(p);
}

inline bool inside(int32_t idx, int32_t count) {
    return idx >= 0 && idx < count;
}

// Appends v as printf's "%.15g" would, always with '.' as decimal point.
inline void appendG15(std::string& out, double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    out.append(buf, r.ptr);
}

// Appends v as printf's "%1.<decimals>f" would, always with '.' as decimal point.
inline void appendFixed(std::string& out, double v, int decimals) {
    char buf[400]; // the largest double has 309 integer digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    out.append(buf, r.ptr);
}

// A sample rate the filters and the demodulator can work at (Hz).
inline bool validRate(double sr) { return std::isfinite(sr) && sr > 0.0; }

} // namespace samplememDetail
