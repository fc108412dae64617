// The oscilloscope's frame without its window: samples per block, trigger search, cut and scaling,
// read-out, sample-rate choice.
#pragma once

#include "measurements/TOsziData.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

// Screen heights per mV peak-to-peak and V/div: mVpp / 2 / 1000 is the peak in volts, divided
// by V/div the divisions, divided by the divisions up the screen the screen height.
constexpr double kOsziScreenPerMvss = 1.0 / (2.0 * 1000.0 * kOsziDivY);

// What the last shown frame put on the screen.
struct TOsziFrame {
    std::vector<double> y1, y2; // channel traces, screen heights above their zero line (up = +)
    std::vector<double> t_ms;   // time of each point from the picture's start, ms
    int32_t start = 0;          // first block sample on the screen
    int32_t trigIdx = -1;       // block sample of the trigger (or the search start), -1 in X-Y
    int32_t delaySamples = 0;   // samples the picture starts before the trigger
    bool triggered = false;     // the frame was triggered
    int64_t number = 0;         // frames shown since the start
};

// Calibrated read-out of one channel over the whole block.
struct TOsziReadout {
    bool on = false;      // the channel is shown
    double vpp_mV = 0.0;  // peak to peak
    double vrms_mV = 0.0; // RMS over whole periods (over the block when fewer than two)
    double freq_Hz = 0.0; // from the rising crossings of the mean; 0 when fewer than two
};

// The scope's state and its frame. Plain code: the window paints what it holds, the
// measurement feeds it blocks. GUI thread only.
class TOsziScope {
public:
    TOsziScope();

    TOsziData d;                                                // settings
    TosziScreen scr;                                            // colours
    double EichFaktor_mVss = 2.0 * 1.4142135623730951 * 1000.0; // mVpp of a full-scale sine
    int32_t sampleFreq_Hz = 48000;                              // input rate
    double timeBaseVal = 5e-3;                                  // s/div, -1 in X-Y
    bool Running = false;                                       // blocks are taken
    bool singleShot = false;                                    // single shot armed
    bool TriggerFound = false;                                  // the last block had a trigger
    int32_t SDdp = 0;                                           // samples per block
    int32_t dediPoints = 1000; // most points the screen wants (automatic sample rate)

    // mVpp of a full-scale sine: 2*sqrt(2) * 10^(preamp dB/20) * INPUT mV RMS.
    static double eichFor(double input_mV, double preAmp_dB);
    void setEichmVss(double mVss) { EichFaktor_mVss = mVss; }
    // Runs or stops; running arms the single shot.
    void StartOszi(bool run);
    // Applies a whole settings record (the dialog's message): timebase and block follow.
    void applySettings(const TOsziData& nd);
    // The block: the even number not above round(fs * timebase * 25) + 1, 10000 in X-Y.
    int32_t getSampleCount() const;
    // Points on the screen for a block of n: round(10 * timebase * fs) + 2 (512 in X-Y), at most n.
    int32_t pointsOnScreen(int32_t n) const;
    // Edge search on x (n samples, full scale) for a picture of P points with the source
    // channel's V/div, from sample `from` on at the earliest (the trigger delay, so that the
    // picture before the trigger fits and the crossing keeps its place on the screen). Returns
    // the first crossing of the level with the slope, else the search start; found tells which.
    int32_t findTrigg(const double* x, int32_t n, int32_t P, double vPerDiv, bool& found,
                      int32_t from = 0) const;
    // One block of both channels (n samples each): trigger, cut, scale, read-out. True when
    // the frame was shown; false keeps the last picture (no trigger without auto, single shot
    // spent).
    bool doTheOszi(const double* ch1, const double* ch2, int32_t n);
    // Clamps and sets the timebase index; timeBaseVal and SDdp follow.
    void settimeIdx(int32_t idx);
    // The automatic sample rate of the current timebase: cached per timebase index, else the
    // highest rate (going down) at which inputRunsAt says input runs and the screen needs
    // fewer than dediPoints points; failing that the lowest at which it runs (0: none).
    int32_t searchOptSF(const std::function<bool(int32_t rate)>& inputRunsAt);

    const TOsziFrame& frame() const { return m_frame; }
    const TOsziReadout& readout(int c) const { return m_read[c & 1]; }
    bool xyMode() const { return timeBaseVal < 0; }

private:
    void cut(const double* ch1, const double* ch2, int32_t P);
    void measure(const double* ch1, const double* ch2, int32_t n);

    TOsziFrame m_frame;                     // the picture
    TOsziReadout m_read[2];                 // read-out of both channels
    std::vector<double> m_sum;              // channel 1 + 2 for the read-out of "add 1+2"
    std::map<int32_t, int32_t> m_rateCache; // automatic sample rate per timebase index
};

// The calibrated read-out of x (n samples, full scale) at fs Hz, mV = sample * mVperFS.
TOsziReadout OsziReadout(const double* x, int32_t n, double fs, double mVperFS);
