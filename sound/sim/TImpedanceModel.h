// The "impedance" device under test: a series resistor feeding a loudspeaker's electrical impedance.
#pragma once

#include "SimTruthImpedance.h"
#include "TSimConvolver.h"
#include "TSimModel.h"

#include <vector>

// Output 1 (left) is the generator: it drives Rs in series with the driver. The generator-side
// voltage is recorded on input GeneratorChannel, the driver's voltage on the other one; a
// 0 dBFS sine at the output is 1 V RMS, InputVoltsFS V RMS reads 0 dBFS. Further inputs are
// silent.
//
// The divider Z/(Z+Rs) is realised as an FIR filter designed by frequency sampling of the exact
// analog response, so the bench's impedance equals the formula at every frequency below
// 0.45 fs (within 5e-5 relative); from there to fs/2 its phase is tapered to zero, which a real
// filter needs at fs/2. The FIR is centred kLatency samples late, and the generator channel is
// delayed by the same pure delay, so both channels share that latency. The FIR is as long as
// the driver rings (grown until its tail holds below 1e-18 of the energy), at most 2^20 taps;
// an extreme driver that rings longer is cut there and loses that accuracy near its resonance.
class TImpedanceModel final : public TSimModel {
public:
    static constexpr int kLatency = 64; // samples of delay on both recorded channels

    explicit TImpedanceModel(const TSimModelSettings& settings);
    static std::unique_ptr<TSimModel> make(const TSimModelSettings& settings);
    static std::vector<TSimParamInfo> params();
    // The bench the settings describe (what vl_simtruth computes from).
    static TSimSpeakerSpec spec(const TSimModelSettings& settings);
    // The FIR of the driver's voltage relative to the generator voltage at rate fs.
    static std::vector<double> design(const TSimSpeakerSpec& spec, double fs);

    void prepare(const TSimFormat& format) override;
    void process(const double* const* out, double* const* in, int frames) noexcept override;

private:
    TSimSpeakerSpec spec_;          // the bench
    int generatorChannel_ = 0;      // input that records the generator side
    double toFs_ = 1.0;             // volts -> recorded full-scale units
    int inChannels_ = 0;            // inputs written
    int outChannels_ = 0;           // outputs read
    TSimConvolver fir_;             // the divider
    std::vector<double> line_;      // generator delay line of kLatency samples
    size_t linePos_ = 0;            // position in line_
};
