// Two-lane vector helpers shared by the evaluation's per-bin scans (internal to src/dsp).
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

namespace evalvec {

// Two bins at a time in the compiler's generic vectors (one SSE2 register): scans built from
// these have no branches, so they run at the speed of memory.
typedef double V2d __attribute__((vector_size(16)));
typedef int64_t V2i __attribute__((vector_size(16)));

inline V2d load2(const double* p) {
    V2d v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// True lanes where the dB value is a finite number.
inline V2i finite2(V2d v) {
    return (V2d)((V2i)v & INT64_MAX) <= DBL_MAX;
}

} // namespace evalvec
