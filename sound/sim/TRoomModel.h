// The "room" device under test: direct sound, discrete reflections and an exponentially decaying diffuse tail.
#pragma once

#include "SimTruthRoom.h"
#include "TSimConvolver.h"
#include "TSimModel.h"

#include <string>
#include <vector>

// Input i records output i convolved with the room's impulse response (vl_simtruth's
// simRoomImpulse, built at prepare() for the sample rate and the bench's seed); the channels
// are equal and independent. Inputs without a matching output are silent. The convolution is
// the project's FFT in partitioned overlap-save form, exact to rounding and without latency.
class TRoomModel final : public TSimModel {
public:
    explicit TRoomModel(const TSimModelSettings& settings);
    static std::unique_ptr<TSimModel> make(const TSimModelSettings& settings);
    static std::vector<TSimParamInfo> params();
    // What is wrong with Reflections (empty when nothing).
    static std::string check(const TSimModelSettings& settings);
    // The room the settings describe; malformed Reflections give the default list.
    static TSimRoomSpec spec(const TSimModelSettings& settings);

    void prepare(const TSimFormat& format) override;
    void process(const double* const* out, double* const* in, int frames) noexcept override;

private:
    TSimRoomSpec spec_;      // the room
    int inChannels_ = 0;     // inputs written
    int outChannels_ = 0;    // outputs read
    int pairs_ = 0;          // complex streams of the convolver
    TSimConvolver conv_;     // the impulse response
};
