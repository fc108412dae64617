// Writing recorded time signals as WAV files through libsndfile.
#include "core/TRecordingWav.h"

#include <sndfile.h>

#include <cstdio>
#include <memory>

namespace {

struct Closer {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

// Interleaved frames of the channels, the first channel's length.
std::vector<float> interleave(const std::vector<std::vector<double>>& channels)
{
    const size_t frames = channels.front().size(), n = channels.size();
    std::vector<float> out(frames * n, 0.0f);
    for (size_t c = 0; c < n; ++c)
        for (size_t i = 0; i < frames && i < channels[c].size(); ++i)
            out[i * n + c] = float(channels[c][i]);
    return out;
}

bool writeFrames(const std::string& path, const std::vector<float>& data, int channels, int rate,
                 eWavSample format, std::string& error)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (format == eWavSample::ws_Float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
    std::unique_ptr<SNDFILE, Closer> f(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!f) {
        error = std::string("cannot write the file: ") + sf_strerror(nullptr);
        return false;
    }
    sf_command(f.get(), SFC_SET_CLIPPING, nullptr, format == eWavSample::ws_PCM24 ? SF_TRUE : SF_FALSE);
    const sf_count_t frames = sf_count_t(data.size() / size_t(channels));
    if (sf_writef_float(f.get(), data.data(), frames) != frames) {
        error = std::string("writing failed: ") + sf_strerror(f.get());
        return false;
    }
    return true;
}

} // namespace

bool WriteRecordingWav(const std::string& path, const std::vector<std::vector<double>>& channels, int rate,
                       eWavSample format, std::string& error)
{
    if (channels.empty() || channels.front().empty()) {
        error = "there is no recording to save";
        return false;
    }
    if (channels.size() > 64 || rate < 1 || rate > 768000) {
        error = "the recording's channel count or sample rate cannot be stored";
        return false;
    }
    const std::string part = path + ".part";
    if (!writeFrames(part, interleave(channels), int(channels.size()), rate, format, error)) {
        std::remove(part.c_str());
        return false;
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        error = "cannot replace " + path;
        return false;
    }
    return true;
}
