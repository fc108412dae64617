// Zero-latency partitioned FFT convolution of channel pairs with one long real impulse response.
#pragma once

#include <dsp/fftKernel.h>

#include <cstdint>
#include <memory>
#include <vector>

// Convolves streams with a real impulse response of any length, sample-exact and without
// latency, with a per-sample cost that does not depend on how the stream is cut into blocks.
// Two real channels travel as one complex stream (left = real part, right = imaginary part):
// the response is real, so the parts never mix.
//
// The response is split: its first 128 taps are applied directly (zero taps skipped, so the
// sparse start of a room costs nothing), the rest by uniformly partitioned overlap-save
// convolution in three levels of growing partition size (128, 2048, 16384). A level whose
// taps start two partitions late has a whole partition's time for its work, which is done in
// equal shares every 128 samples, so no block carries a big transform alone.
//
// prepare() allocates (GUI thread); process() never allocates or locks (audio thread).
class TSimConvolver {
public:
    TSimConvolver();
    ~TSimConvolver();
    TSimConvolver(const TSimConvolver&) = delete;
    TSimConvolver& operator=(const TSimConvolver&) = delete;

    // The response and the number of independent complex streams. Clears every stream.
    void prepare(const std::vector<double>& impulse, int streams);
    // Stream s: out = impulse * in for `frames` samples. inIm or outIm may be null (a zero
    // imaginary part in, or none wanted). in and out may be the same arrays.
    void process(int stream, const double* inRe, const double* inIm, double* outRe, double* outIm,
                 int frames) noexcept;
    size_t length() const { return length_; }

    struct Level; // one partition size (defined in the .cpp)

private:
    struct LevelState;
    struct Stream;
    std::unique_ptr<Stream> makeStream() const;
    void tick(Stream& s) noexcept;

    size_t length_ = 0;                       // taps of the response
    std::vector<uint32_t> headTap_;           // non-zero taps among the first kHead
    std::vector<double> headGain_;            // their values
    std::vector<std::unique_ptr<Level>> levels_; // partitioned levels, shortest first
    std::vector<std::unique_ptr<Stream>> streams_; // per-stream state
};
