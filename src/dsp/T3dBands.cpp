// Storing the waterfall's bands: whole or step-wise, with display filters and the level reference.
#include "dsp/T3dBands.h"

#include "dsp/Tsamplemem.h"

#include <algorithm>
#include <cmath>

void T3dBands::resize(int32_t bands, int32_t steps)
{
    m_zBands = bands;
    m_xSteps = steps;
    m_cube.assign(size_t(bands) * size_t(steps), kEmpty);
    m_x.assign(size_t(steps), 0.0);
    m_stamp.assign(kStamps, 0.0);
    m_bandIdx = 0;
    m_head = 0;
    m_slotVer.assign(size_t(bands), 0);
    for (uint64_t& v : m_slotVer)
        v = m_nextVer++;
    m_xVer = m_nextVer++;
}

bool T3dBands::setZBands(int32_t v)
{
    if (v < 2 || v > kMaxBands || v == m_zBands)
        return false;
    resize(v, m_xSteps);
    return true;
}

bool T3dBands::setXSteps(int32_t xs)
{
    if (xs < 1 || xs == m_xSteps)
        return false;
    resize(m_zBands, xs);
    return true;
}

void T3dBands::clear(double xmax)
{
    std::fill(m_stamp.begin(), m_stamp.end(), 0.0);
    for (int32_t k = 0; k < m_xSteps; ++k)
        m_x[size_t(k)] = xmax * k / m_xSteps;
    std::fill(m_cube.begin(), m_cube.end(), kEmpty);
    for (uint64_t& v : m_slotVer)
        v = m_nextVer++;
    m_xVer = m_nextVer++;
    m_runMax = kNoMax;
    m_bandIdx = 0;
    m_written = 0;
}

std::vector<double> T3dBands::filtered(std::span<const double> sd) const
{
    std::vector<double> v(sd.begin(), sd.end());
    if (m_filter == f3dThird) {
        T3dThirdOctave(v, m_x);
    } else if (m_filter != f3dNone && !v.empty()) {
        static constexpr int32_t kOctMode[4] = {0, 4, 2, 1};
        Tsamplemem m(int32_t(v.size()));
        std::copy(v.begin(), v.end(), m.smpoi());
        m.smoothOktFD(kOctMode[m_filter]);
        std::copy_n(m.smpoi(), v.size(), v.begin());
    }
    return v;
}

void T3dBands::takeReference(const std::vector<double>& v)
{
    m_yOffs = 0.0;
    if (v.empty())
        return;
    if (m_yMode == y3dAt1kHz) {
        for (size_t i = 0; i < v.size() && i < m_x.size(); ++i)
            if (m_x[i] > 1000.0) {
                m_yOffs = -v[i];
                return;
            }
    } else if (m_yMode == y3dAtMax) {
        m_yOffs = -*std::max_element(v.begin(), v.end());
    }
}

void T3dBands::shiftStamps(double timeStamp)
{
    std::copy_backward(m_stamp.begin(), m_stamp.end() - 1, m_stamp.end());
    m_stamp[0] = timeStamp;
    m_zMax = timeStamp;
    double oldest = timeStamp;
    for (int32_t i = 1; i < m_zBands && i < kStamps; ++i)
        if (m_stamp[size_t(i)] != 0.0)
            oldest = m_stamp[size_t(i)];
    m_zMin = oldest != timeStamp ? oldest : timeStamp - 5000.0;
}

// The filter smooths the new spectrum; the level reference is taken from it at stamp 0 (a new
// series) or beyond 50 s (clock stamps), or every band for a live series; the stamps and bands
// move one place back and the spectrum's first points become the newest band, the rest of that
// band keeping what the band before held.
void T3dBands::pushBand(std::span<const double> sd, double timeStamp)
{
    const std::vector<double> v = filtered(sd);
    if (m_refEachBand || timeStamp == 0.0 || timeStamp > 50000.0)
        takeReference(v);
    shiftStamps(timeStamp);
    // The ring turns back one slot: the oldest band's slot becomes the newest, first holding a
    // copy of the band before it, so that points past a short spectrum keep those values.
    const size_t step = size_t(m_xSteps);
    const double* previous = band(0);
    m_head = (m_head + m_zBands - 1) % m_zBands;
    double* newest = bandData(0);
    std::copy_n(previous, step, newest);
    const size_t n = std::min(step, v.size());
    std::copy_n(v.begin(), n, newest);
    m_slotVer[slot(0)] = m_nextVer++;
    for (size_t i = 0; i < n; ++i)
        if (std::isfinite(v[i]))
            m_runMax = std::max(m_runMax, v[i]);
    ++m_written;
}

int32_t T3dBands::setPoint(int32_t aktstep, double x, double y)
{
    if (aktstep >= m_xSteps)
        return 1;
    if (aktstep < 0 || m_bandIdx < 0 || m_bandIdx >= m_zBands)
        return 2;
    bandData(m_bandIdx)[aktstep] = y;
    m_slotVer[slot(m_bandIdx)] = m_nextVer++;
    setX(aktstep, x);
    if (std::isfinite(y))
        m_runMax = std::max(m_runMax, y);
    return 0;
}

void T3dBands::nextBand(int32_t i)
{
    if (i == 0) {
        m_bandIdx = 0;
        m_runMax = kNoMax;
        return;
    }
    m_bandIdx = (m_bandIdx + 1) % m_zBands;
}

void T3dBands::setX(int32_t i, double x)
{
    if (i >= 0 && i < m_xSteps && m_x[size_t(i)] != x) {
        m_x[size_t(i)] = x;
        m_xVer = m_nextVer++;
    }
}

double T3dBands::value(int32_t b, int32_t i) const
{
    if (b < 0 || b >= m_zBands || i < 0 || i >= m_xSteps)
        return kEmpty;
    return band(b)[i];
}

void T3dThirdOctave(std::vector<double>& db, const std::vector<double>& x)
{
    const size_t count = std::min(db.size(), x.size());
    const double factor = std::cbrt(2.0);
    double edge = 16.35; // upper edge of the current band, Hz
    for (size_t i = 0; i < count && std::isfinite(edge); edge *= factor) {
        size_t j = i;
        double power = 0.0;
        for (; j < count && x[j] < edge; ++j)
            if (db[j] > T3dBands::kEmpty)
                power += std::pow(10.0, db[j] / 10.0);
        if (j > i) {
            const double mean = power / double(j - i);
            std::fill(db.begin() + long(i), db.begin() + long(j), mean > 0 ? 10.0 * std::log10(mean) : -192.0);
        }
        i = j;
    }
}
