// The averaging state of a spectrum measurement: summed spectra per input channel and the count
// of spectra still to collect.
#pragma once

#include "dsp/Tsamplemem.h"

#include <cstdint>
#include <span>
#include <vector>

// Averages `value` spectra (the setting cFFTdat::AveValue) element by element: each step adds
// one magnitude and one phase spectrum per channel to its sum; the step that completes an
// average writes the means back into the spectra and clears the sums. Owned by the measurement
// that averages. GUI thread only.
class tSpectrumAverager {
public:
    static constexpr int32_t kInitialSamples = 1000; // length of fresh sums

    // One magnitude and one phase sum per channel, kInitialSamples long and zero; a count equal
    // to the present one keeps the sums.
    void setChannels(int32_t channels);
    int32_t channels() const { return int32_t(m_mag.size()); }
    // Every sum to `samples` values (> 0; other values are ignored).
    void resize(int32_t samples);
    // Zero-fills every sum.
    void clear();
    // A new average of `value` spectra starts with the next step.
    void restart(int32_t value) { m_counter = value; }
    // Spectra still to collect for the current average.
    int32_t counter() const { return m_counter; }

    // One averaging step over magnitude spectra mag and phase spectra ph (linear values; absent
    // spectra, and channels without a sum, are skipped) for an average of `value` spectra.
    // Returns the spectra still to collect; at 0 the averages have been written back into mag
    // and ph and the sums cleared. With a value of 1 (or less) the sums are never touched.
    int32_t add(std::span<Tsamplemem* const> mag, std::span<Tsamplemem* const> ph, int32_t value);

    const std::vector<Tsamplemem>& magnitudeSums() const { return m_mag; }
    const std::vector<Tsamplemem>& phaseSums() const { return m_ph; }

private:
    std::vector<Tsamplemem> m_mag; // per input channel: summed magnitude spectra
    std::vector<Tsamplemem> m_ph;  // per input channel: summed phase spectra
    int32_t m_counter = 1;         // spectra still to collect for the current average
};
