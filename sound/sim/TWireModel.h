// The "wire" device under test: gain, delay, crosstalk and a noise floor.
#pragma once

#include "TSimModel.h"
#include "TSimNoise.h"

#include <vector>

// Input i = gain * (output i + crosstalk * output partner) delayed, plus Gaussian noise.
// The partner of channel i is channel i xor 1 (left <-> right, 3 <-> 4, ...). Inputs without
// a matching output get only crosstalk and noise.
class TWireModel final : public TSimModel {
public:
    explicit TWireModel(const TSimModelSettings& settings);
    static std::unique_ptr<TSimModel> make(const TSimModelSettings& settings);
    static std::vector<TSimParamInfo> params();

    void prepare(const TSimFormat& format) override;
    void process(const double* const* out, double* const* in, int frames) noexcept override;

private:
    double delayed(int channel, double x) noexcept;

    double gain_ = 1.0;                      // linear gain from Gain_dB
    double crosstalk_ = 0.0;                 // linear crosstalk factor from Crosstalk_dB
    double noiseRms_ = 0.0;                  // RMS of the added noise, full scale = 1
    size_t delay_ = 0;                       // delay in samples
    int inChannels_ = 0;                     // inputs written
    int outChannels_ = 0;                    // outputs read
    std::vector<std::vector<double>> lines_; // one delay line of delay_ samples per output
    size_t pos_ = 0;                         // read/write position in the delay lines
    std::vector<double> frame_;              // delayed outputs of the current frame
    std::vector<TSimNoise> noise_;           // one noise source per input
};
