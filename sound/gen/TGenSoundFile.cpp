// Sound files for the generator, read with libsndfile.
#include "TGenSoundFile.h"

#include <sndfile.h>

#include <cmath>
#include <new>

namespace {

constexpr int kChunkFrames = 4096; // frames per read
constexpr int kMaxChannels = 1024; // more is not a sound file we can make sense of

struct Closer {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace

std::shared_ptr<const TGenSoundFile> TGenSoundFile::load(const std::string& name, int rate,
                                                         std::string& error) {
    error.clear();
    try {
        SF_INFO info{};
        std::unique_ptr<SNDFILE, Closer> f(sf_open(name.c_str(), SFM_READ, &info));
        if (!f) {
            error =
                "The sound file " + quoted(name) + " cannot be read: " + sf_strerror(nullptr) + ".";
            return nullptr;
        }
        if (info.channels < 1 || info.channels > kMaxChannels) {
            error = "The sound file " + quoted(name) + " has " + std::to_string(info.channels) +
                    " channels; it cannot be played.";
            return nullptr;
        }
        if (info.samplerate != rate) {
            error = "The sound file " + quoted(name) + " has a sample rate of " +
                    std::to_string(info.samplerate) + " Hz, the output runs at " +
                    std::to_string(rate) + " Hz; it is not played.";
            return nullptr;
        }
        std::shared_ptr<TGenSoundFile> file(new TGenSoundFile);
        file->channels_ = info.channels;
        file->rate_ = info.samplerate;
        if (info.frames > 0 && info.frames <= kMaxFrames)
            file->samples_.reserve(size_t(2 * info.frames));
        std::vector<float> chunk(size_t(kChunkFrames) * size_t(info.channels));
        for (;;) {
            const sf_count_t got = sf_readf_float(f.get(), chunk.data(), kChunkFrames);
            if (got <= 0) break;
            if (file->frames_ + got > kMaxFrames) {
                error = "The sound file " + quoted(name) + " is longer than " +
                        std::to_string(kMaxFrames) + " samples per channel; it is not played.";
                return nullptr;
            }
            for (sf_count_t i = 0; i < got; ++i) {
                const float* frame = chunk.data() + size_t(i) * size_t(info.channels);
                const float l = frame[0], r = info.channels > 1 ? frame[1] : frame[0];
                if (!(std::fabs(l) <= kMaxMagnitude) || !(std::fabs(r) <= kMaxMagnitude)) {
                    error = "The sound file " + quoted(name) + " holds values that are not " +
                            "numbers or far beyond full scale (frame " +
                            std::to_string(file->frames_ + i) + "); it is not played.";
                    return nullptr;
                }
                file->samples_.push_back(l);
                file->samples_.push_back(r);
            }
            file->frames_ += got;
        }
        if (sf_error(f.get()) != SF_ERR_NO_ERROR && file->frames_ == 0) {
            error =
                "The sound file " + quoted(name) + " cannot be read: " + sf_strerror(f.get()) + ".";
            return nullptr;
        }
        if (file->frames_ == 0) {
            error = "The sound file " + quoted(name) + " holds no samples.";
            return nullptr;
        }
        file->samples_.shrink_to_fit();
        return file;
    } catch (const std::bad_alloc&) {
        error = "Not enough memory to load the sound file " + quoted(name) + ".";
        return nullptr;
    }
}
