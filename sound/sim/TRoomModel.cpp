// The "room" device under test.
#include "TRoomModel.h"

#include <algorithm>

static constexpr const char* kDefaultReflections = "3.1:-6, 7.4:-9";

std::vector<TSimParamInfo> TRoomModel::params()
{
    return {
        {"Delay_ms", "Direct sound after (ms)", 2.0, 0.0, 1000.0, 3},
        {"Reflections", "Reflections (ms:dB, ...)", 0, 0, 0, 0, kDefaultReflections},
        {"RT60_ms", "Reverberation time RT60 (ms)", 400.0, 10.0, 3000.0, 1},
        {"TailStart_ms", "Tail starts after the direct sound (ms)", 10.0, 0.0, 500.0, 2},
        {"TailLevel_dB", "Tail level re direct sound (dB, -200 = none)", -20.0, -200.0, 0.0, 2},
    };
}

std::string TRoomModel::check(const TSimModelSettings& s)
{
    std::string why;
    if (simParseReflections(simText(s, "room", "Reflections"), nullptr, &why))
        return {};
    return "[Room] Reflections: " + why + "; the default \"" + kDefaultReflections + "\" is used.";
}

TSimRoomSpec TRoomModel::spec(const TSimModelSettings& s)
{
    auto p = [&](const char* key) { return simParam(s, "room", key); };
    TSimRoomSpec r;
    r.delayMs = p("Delay_ms");
    if (!simParseReflections(simText(s, "room", "Reflections"), &r.reflections, nullptr))
        simParseReflections(kDefaultReflections, &r.reflections, nullptr);
    r.rt60Ms = p("RT60_ms");
    r.tailStartMs = p("TailStart_ms");
    r.tailLevelDb = p("TailLevel_dB");
    return r;
}

TRoomModel::TRoomModel(const TSimModelSettings& s) : spec_(spec(s)) {}

std::unique_ptr<TSimModel> TRoomModel::make(const TSimModelSettings& settings)
{
    return std::make_unique<TRoomModel>(settings);
}

void TRoomModel::prepare(const TSimFormat& f)
{
    inChannels_ = f.inChannels;
    outChannels_ = f.outChannels;
    pairs_ = (std::min(inChannels_, outChannels_) + 1) / 2;
    conv_.prepare(simRoomImpulse(spec_, f.sampleRate, f.seed), pairs_);
}

void TRoomModel::process(const double* const* out, double* const* in, int frames) noexcept
{
    for (int p = 0; p < pairs_; ++p) {
        const int l = 2 * p, r = l + 1;
        conv_.process(p, out[l], r < outChannels_ ? out[r] : nullptr, in[l], r < inChannels_ ? in[r] : nullptr, frames);
    }
    for (int i = 2 * pairs_; i < inChannels_; ++i)
        std::fill_n(in[i], frames, 0.0);
}
