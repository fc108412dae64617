// The averaging state of a spectrum measurement.
#include "measurements/tSpectrumAverager.h"

#include <algorithm>

namespace {

// Adds one channel's spectrum into its sum, or, at the end of an average, also writes the
// mean back.
void accumulate(Tsamplemem& sum, Tsamplemem* spec, bool complete, double scale) {
    if (!spec) return;
    sum.add(*spec);
    if (!complete) return;
    sum.calcDats(scale, 0.0);
    spec->copyfrom(sum);
}

} // namespace

void tSpectrumAverager::setChannels(int32_t channels) {
    channels = std::max(channels, 0);
    if (channels == this->channels()) return;
    m_mag.clear();
    m_ph.clear();
    for (int32_t i = 0; i < channels; ++i) {
        m_mag.emplace_back(kInitialSamples);
        m_ph.emplace_back(kInitialSamples);
    }
}

void tSpectrumAverager::resize(int32_t samples) {
    if (samples <= 0) return;
    for (std::vector<Tsamplemem>* sums : {&m_mag, &m_ph})
        for (Tsamplemem& m : *sums)
            m.resize2(samples);
}

void tSpectrumAverager::clear() {
    for (std::vector<Tsamplemem>* sums : {&m_mag, &m_ph})
        for (Tsamplemem& m : *sums)
            m.fillComplete(0.0);
}

int32_t tSpectrumAverager::add(std::span<Tsamplemem* const> mag, std::span<Tsamplemem* const> ph,
                               int32_t value) {
    m_counter = std::max(m_counter - 1, 0);
    if (value <= 1) // every spectrum is final; the sums are never touched
        return m_counter;
    const bool complete = m_counter == 0;
    const double scale = 1.0 / value;
    for (size_t c = 0; c < m_mag.size(); ++c) {
        if (c < mag.size())
            accumulate(m_mag[c], mag[c], complete, scale);
        if (c < ph.size())
            accumulate(m_ph[c], ph[c], complete, scale);
    }
    if (complete) clear();
    return m_counter;
}
