// The "amplifier" device under test: gain, Butterworth band limits, polynomial distortion, clipping, noise.
#pragma once

#include "SimTruthAmplifier.h"
#include "TSimModel.h"
#include "TSimNoise.h"

#include <dsp/IIR_obj_D.h>

#include <vector>

// Per channel (input i records output i; both equal and independent): generator sample ->
// volts (OutputVoltsFS RMS for 0 dBFS) -> gain -> 2nd-order Butterworth high-pass and low-pass
// (the project's IIR design at the bench's sample rate) -> v = w + A2 w^2 + ... + A5 w^5 on the
// instantaneous volts -> clipping at +-RailVolts -> attenuator -> full scale (InputVoltsFS RMS
// for 0 dBFS) -> plus Gaussian noise and the input's DC offset (InputDC_FS, full scale). The polynomial runs at the sample rate, so harmonics at or
// above fs/2 alias. Inputs without a matching output get only noise.
class TAmplifierModel final : public TSimModel {
public:
    explicit TAmplifierModel(const TSimModelSettings& settings);
    static std::unique_ptr<TSimModel> make(const TSimModelSettings& settings);
    static std::vector<TSimParamInfo> params();
    // The amplifier the settings describe (what vl_simtruth computes from).
    static TSimAmpSpec spec(const TSimModelSettings& settings);

    void prepare(const TSimFormat& format) override;
    void process(const double* const* out, double* const* in, int frames) noexcept override;

private:
    double shape(int channel, double x) noexcept;

    TSimAmpSpec spec_;               // the amplifier
    double toVolts_ = 1.0;           // generator sample -> volts after the gain
    double toFs_ = 1.0;              // volts -> recorded full-scale units
    double noiseRms_ = 0.0;          // RMS of the added noise, full scale = 1
    double inputDC_ = 0.0;           // DC the sound-card input adds, full scale = 1
    bool highPass_ = false;          // high-pass active at this rate
    bool lowPass_ = false;           // low-pass active at this rate
    int inChannels_ = 0;             // inputs written
    int outChannels_ = 0;            // outputs read
    std::vector<TIIRObj> hp_, lp_;   // one filter pair per channel
    std::vector<TSimNoise> noise_;   // one noise source per input
};
