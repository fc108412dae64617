// The frequency of a spectral peak between bins, from the window's known response.
#pragma once

#include <cstdint>

// Where between bins a single tone lies whose loudest bin is k, in Hz. p holds the linear
// powers of bins 0..bins-1 of a transform of n points with bin spacing fstep. With a known
// window kind (0..8) the ratio of bin k to its louder neighbour is matched against that
// window's response (WindowResponse), which is exact for a clean tone; with an unknown kind a
// parabola through the three log magnitudes is taken. k * fstep when k has no neighbour on
// either side or the powers cannot be used. Any thread.
double PeakFrequency(const double* p, int32_t bins, int32_t k, double fstep, int window, int32_t n);
