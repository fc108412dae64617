// The waterfall's data: bands of a spectrum each with its time stamp, display filters, level reference.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Display smoothing of a band (the diagram's filter numbers).
enum e3dFilter : int32_t { f3dNone = 0, f3dQuarter = 1, f3dHalf = 2, f3dStrong = 3, f3dThird = 4 };
// Where 0 dB of the level axis lies.
enum e3dYMode : int32_t { y3dNormal = 0, y3dAt1kHz = 1, y3dAtMax = 2 };

// Holds zBands bands of xSteps points, band 0 the newest, with one x axis for all and up to
// kStamps time stamps (ms), newest first. Plain value type; its owner decides the thread.
class T3dBands {
public:
    static constexpr int32_t kStamps = 64;       // time stamps kept
    static constexpr int32_t kMaxBands = 63;     // bands a waterfall can hold
    static constexpr double kEmpty = -3.4e38;    // a point never written
    static constexpr double kNoMax = -100000.0;  // running maximum: none yet

    T3dBands() { resize(16, 1024); }

    // Reallocate (every band empty, x axis 0) when the value changed; true then. zBands
    // outside 2..kMaxBands is ignored.
    bool setZBands(int32_t v);
    bool setXSteps(int32_t xs);
    int32_t zBands() const { return m_zBands; }
    int32_t xSteps() const { return m_xSteps; }
    // Empties every band and time stamp; the x axis becomes xmax*k/xSteps.
    void clear(double xmax);

    // A whole spectrum as the newest band at TimeStamp (ms), see the implementation.
    void pushBand(std::span<const double> sd, double timeStamp);
    // Step-wise writer: point aktstep of the current band. 1: aktstep past the band, 2: fault.
    int32_t setPoint(int32_t aktstep, double x, double y);
    // i != 0: the step-wise writer moves to the next band (cyclic); 0: back to band 0, and the
    // running maximum starts again.
    void nextBand(int32_t i);
    void setX(int32_t i, double x);

    void setFilter(int32_t f) { m_filter = f >= 0 && f <= 4 ? f : 0; }
    int32_t filter() const { return m_filter; }
    void setYMode(int32_t m) { m_yMode = m >= 0 && m <= 2 ? m : 0; }
    int32_t yMode() const { return m_yMode; }
    // A live series (every band measured anew): the level reference follows each band instead
    // of being taken at stamp 0 or from stamps beyond 50 s only.
    void setReferenceEachBand(bool on) { m_refEachBand = on; }

    // Value of point i of band b (b 0 = newest); kEmpty outside.
    double value(int32_t b, int32_t i) const;
    const double* band(int32_t b) const { return m_cube.data() + slot(b) * size_t(m_xSteps); }
    const std::vector<double>& xAxis() const { return m_x; }
    double stamp(int32_t i) const { return i >= 0 && i < kStamps ? m_stamp[size_t(i)] : 0.0; }
    double zMin() const { return m_zMin; }
    double zMax() const { return m_zMax; }
    double yOffset() const { return m_yOffs; }    // added to every value on the level axis
    double runningMax() const { return m_runMax; } // kNoMax: none
    int32_t bandIdx() const { return m_bandIdx; }
    int32_t bandsWritten() const { return m_written; } // bands pushed since the last clear
    // Where band b is kept, and a count that changes whenever that place is written: a painter
    // may keep what it derived from a band until either changes.
    size_t slotOf(int32_t b) const { return slot(b); }
    uint64_t slotVersion(size_t s) const { return s < m_slotVer.size() ? m_slotVer[s] : 0; }
    uint64_t xVersion() const { return m_xVer; } // changes with any x value

private:
    void resize(int32_t bands, int32_t steps);
    size_t slot(int32_t b) const { return size_t((m_head + b) % m_zBands); }
    double* bandData(int32_t b) { return m_cube.data() + slot(b) * size_t(m_xSteps); }
    std::vector<double> filtered(std::span<const double> sd) const;
    void takeReference(const std::vector<double>& v);
    void shiftStamps(double timeStamp);

    int32_t m_zBands = 16;          // bands held
    int32_t m_xSteps = 1024;        // points per band
    std::vector<double> m_cube;     // band-major values, a ring: band 0 (newest) in slot m_head
    int32_t m_head = 0;             // slot of the newest band
    std::vector<double> m_x;        // x value of each point
    std::vector<double> m_stamp;    // time stamps (ms), newest first; 0 = none
    double m_zMin = 0.0, m_zMax = 60.0; // time range of the bands shown (ms)
    double m_yOffs = 0.0;           // level offset of the y-axis mode
    double m_runMax = kNoMax;       // largest value written (before the offset)
    int32_t m_bandIdx = 0;          // band of the step-wise writer
    int32_t m_filter = f3dNone;     // display smoothing
    int32_t m_yMode = y3dNormal;    // 0 dB reference
    bool m_refEachBand = false;     // level reference from every band
    int32_t m_written = 0;          // bands pushed since the clear
    std::vector<uint64_t> m_slotVer; // per slot: bumped when written
    uint64_t m_xVer = 0;            // bumped when an x value changes
    uint64_t m_nextVer = 1;         // source of the versions
};

// Third-octave smoothing of a spectrum in dB over its x axis (Hz): every point of a band
// (edges 16.35 Hz * 2^(k/3)) gets the band's mean power, so the band's energy is kept.
void T3dThirdOctave(std::vector<double>& db, const std::vector<double>& x);
