// The "tape" device under test: playback at a varying speed (drift, wow and flutter).
#pragma once

#include "SimTruthTape.h"
#include "TSimModel.h"

#include <cstdint>
#include <vector>

// Input i records output i read back at speed(t) = 1 + drift + wow sin(2 pi fw t) + flutter
// sin(2 pi ff t): a reader follows the writer through a ring of past samples at a lag of
// lag(t) = base - fs * simTapeAdvance(t), interpolated by an 8-point Lagrange polynomial. So
// every tone is frequency modulated by exactly the depths. The base lag is the least the wow and
// flutter swing needs (a few ms), so without drift the reader never jumps. With drift the lag
// runs away; when it leaves the ring (about 5.5 s at every rate) the reader
// jumps by most of the ring (a splice, every ring length / drift, e.g. 110 s at 5 % drift) and
// the tone's phase jumps there. A faster-than-nominal drift starts with 5 % of the ring as lag
// (0.27 s at 48 kHz), so the first splice comes after the ring has filled.
class TTapeModel final : public TSimModel {
public:
    explicit TTapeModel(const TSimModelSettings& settings);
    static std::unique_ptr<TSimModel> make(const TSimModelSettings& settings);
    static std::vector<TSimParamInfo> params();
    // The tape deck the settings describe (what vl_simtruth computes from).
    static TSimTapeSpec spec(const TSimModelSettings& settings);

    void prepare(const TSimFormat& format) override;
    void process(const double* const* out, double* const* in, int frames) noexcept override;
    // Lag (samples) of the reader at the start of the run; the first output sample equals the
    // input that long ago when the speed swing starts at zero.
    double baseLag() const { return base_; }

private:
    double lag() noexcept;

    TSimTapeSpec spec_;            // the tape deck
    double fs_ = 48000;            // sample rate, Hz
    double base_ = 0;              // initial lag, samples
    double minSlow_ = 0;           // least lag without the periodic swing
    double maxSlow_ = 0;           // most lag the ring allows
    double splice_ = 0;            // lag added by splices, samples
    int channels_ = 0;             // channels read and written
    int inChannels_ = 0;           // inputs written
    std::vector<std::vector<double>> ring_; // past outputs per channel
    size_t mask_ = 0;              // ring size - 1 (a power of two)
    uint64_t n_ = 0;               // samples processed
};
