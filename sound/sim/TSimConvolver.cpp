// Zero-latency partitioned FFT convolution (see the header for the scheme).
#include "TSimConvolver.h"

#include <algorithm>
#include <cstring>

using fftkernel::ComplexPlan;
using fftkernel::UnitCircle;

// Taps applied directly; also the partition size of the first level and the work period.
static constexpr size_t kHead = 128;
// Partition sizes of the levels; level i > 0 starts at tap 2 * kSizes[i].
static constexpr size_t kSizes[] = {128, 2048, 16384};
static constexpr size_t kLevels = sizeof(kSizes) / sizeof(kSizes[0]);

static size_t levelStart(size_t i)
{
    return i == 0 ? kHead : 2 * kSizes[i];
}

// One partition size: the spectra of its share of the response and the transform.
struct TSimConvolver::Level {
    size_t P = 0;                // partition size; transforms have 2P points
    size_t K = 0;                // partitions
    bool immediate = false;      // work done at once when a partition is complete (level 0)
    std::unique_ptr<UnitCircle> circle; // unit roots of 2P
    std::unique_ptr<ComplexPlan> plan;  // 2P-point transform
    std::vector<double> hRe, hIm; // K spectra of 2P bins, scaled by 1/(2P)
};

// The running state of one level for one stream.
struct TSimConvolver::LevelState {
    std::vector<double> inRe, inIm;   // previous and current input partition (2P)
    std::vector<double> fdlRe, fdlIm; // spectra of the last K input windows (K x 2P)
    size_t newest = 0;                // slot of the newest spectrum in the delay line
    std::vector<double> accRe, accIm; // sum of products being built (2P)
    std::vector<double> tmpRe, tmpIm; // inverse transform (2P)
    std::vector<double> curRe, curIm; // output partition being emitted (P)
    std::vector<double> nextRe, nextIm; // output partition being built (P), spread levels
};

// One complex stream.
struct TSimConvolver::Stream {
    std::vector<double> histRe, histIm; // last kHead inputs, written twice for contiguous reads
    std::vector<LevelState> levels;     // one per level
    uint64_t pos = 0;                   // samples processed
};

TSimConvolver::TSimConvolver() = default;
TSimConvolver::~TSimConvolver() = default;

// The spectra of taps [start, end) of h in partitions of P, for transforms of 2P points.
static std::unique_ptr<TSimConvolver::Level> makeLevel(const std::vector<double>& h, size_t P, size_t start, size_t end)
{
    auto L = std::make_unique<TSimConvolver::Level>();
    L->P = P;
    L->immediate = start == P;
    L->K = (end - start + P - 1) / P;
    const size_t N = 2 * P;
    L->circle = std::make_unique<UnitCircle>(N);
    L->plan = std::make_unique<ComplexPlan>(N, *L->circle);
    L->hRe.assign(L->K * N, 0.0);
    L->hIm.assign(L->K * N, 0.0);
    std::vector<double> re(N), im(N);
    for (size_t j = 0; j < L->K; ++j) {
        std::fill(re.begin(), re.end(), 0.0);
        for (size_t k = 0; k < P && start + j * P + k < end; ++k)
            re[k] = h[start + j * P + k] / double(N);
        L->plan->transform(re.data(), im.data(), &L->hRe[j * N], &L->hIm[j * N]);
    }
    return L;
}

void TSimConvolver::prepare(const std::vector<double>& h, int streams)
{
    length_ = h.size();
    headTap_.clear();
    headGain_.clear();
    for (size_t k = 0; k < std::min(kHead, h.size()); ++k)
        if (h[k] != 0.0)
            headTap_.push_back(uint32_t(k)), headGain_.push_back(h[k]);
    levels_.clear();
    for (size_t i = 0; i < kLevels && levelStart(i) < h.size(); ++i) {
        const size_t end = i + 1 < kLevels ? std::min(h.size(), levelStart(i + 1)) : h.size();
        levels_.push_back(makeLevel(h, kSizes[i], levelStart(i), end));
    }
    streams_.clear();
    for (int s = 0; s < streams; ++s)
        streams_.push_back(makeStream());
}

std::unique_ptr<TSimConvolver::Stream> TSimConvolver::makeStream() const
{
    auto st = std::make_unique<Stream>();
    st->histRe.assign(2 * kHead, 0.0);
    st->histIm.assign(2 * kHead, 0.0);
    for (const auto& L : levels_) {
        const size_t N = 2 * L->P;
        LevelState ls;
        ls.inRe.assign(N, 0.0), ls.inIm.assign(N, 0.0);
        ls.fdlRe.assign(L->K * N, 0.0), ls.fdlIm.assign(L->K * N, 0.0);
        ls.accRe.assign(N, 0.0), ls.accIm.assign(N, 0.0);
        ls.tmpRe.assign(N, 0.0), ls.tmpIm.assign(N, 0.0);
        ls.curRe.assign(L->P, 0.0), ls.curIm.assign(L->P, 0.0);
        ls.nextRe.assign(L->P, 0.0), ls.nextIm.assign(L->P, 0.0);
        st->levels.push_back(std::move(ls));
    }
    return st;
}

void TSimConvolver::process(int stream, const double* inRe, const double* inIm, double* outRe, double* outIm,
                            int frames) noexcept
{
    Stream& s = *streams_[size_t(stream)];
    const size_t taps = headTap_.size();
    for (int n = 0; n < frames; ++n) {
        const double xr = inRe[n], xi = inIm ? inIm[n] : 0.0;
        const size_t j = size_t(s.pos % kHead);
        s.histRe[j] = s.histRe[j + kHead] = xr;
        s.histIm[j] = s.histIm[j + kHead] = xi;
        double yr = 0, yi = 0;
        for (size_t t = 0; t < taps; ++t) {
            const size_t at = j + kHead - headTap_[t];
            yr += headGain_[t] * s.histRe[at];
            yi += headGain_[t] * s.histIm[at];
        }
        for (size_t l = 0; l < levels_.size(); ++l) {
            LevelState& ls = s.levels[l];
            const size_t P = levels_[l]->P, k = size_t(s.pos % P);
            ls.inRe[P + k] = xr, ls.inIm[P + k] = xi;
            yr += ls.curRe[k], yi += ls.curIm[k];
        }
        outRe[n] = yr;
        if (outIm)
            outIm[n] = yi;
        if (++s.pos % kHead == 0 && !levels_.empty())
            tick(s);
    }
}

namespace {

// acc += X * H over partitions [lo, hi) of a level, X taken from the delay line newest first.
void multiplyAdd(const double* hRe, const double* hIm, const double* fRe, const double* fIm, size_t newest,
                 size_t K, size_t N, size_t lo, size_t hi, double* aRe, double* aIm) noexcept
{
    for (size_t j = lo; j < hi; ++j) {
        const size_t slot = (newest + K - j) % K;
        const double* xr = fRe + slot * N;
        const double* xi = fIm + slot * N;
        const double* gr = hRe + j * N;
        const double* gi = hIm + j * N;
        for (size_t b = 0; b < N; ++b) {
            aRe[b] += xr[b] * gr[b] - xi[b] * gi[b];
            aIm[b] += xr[b] * gi[b] + xi[b] * gr[b];
        }
    }
}

} // namespace

// Every kHead samples: levels whose partition is complete transform it; spread levels do
// their share of the products and, at the end of their period, the inverse transform.
void TSimConvolver::tick(Stream& s) noexcept
{
    for (size_t l = 0; l < levels_.size(); ++l) {
        const Level& L = *levels_[l];
        LevelState& ls = s.levels[l];
        const size_t N = 2 * L.P, S = L.P / kHead;
        const size_t r = size_t((s.pos / kHead) % S);
        if (r == 0) {
            if (!L.immediate)
                std::swap(ls.curRe, ls.nextRe), std::swap(ls.curIm, ls.nextIm);
            ls.newest = (ls.newest + 1) % L.K;
            L.plan->transform(ls.inRe.data(), ls.inIm.data(), &ls.fdlRe[ls.newest * N], &ls.fdlIm[ls.newest * N]);
            std::memmove(ls.inRe.data(), ls.inRe.data() + L.P, L.P * sizeof(double));
            std::memmove(ls.inIm.data(), ls.inIm.data() + L.P, L.P * sizeof(double));
            std::fill(ls.accRe.begin(), ls.accRe.end(), 0.0);
            std::fill(ls.accIm.begin(), ls.accIm.end(), 0.0);
        }
        multiplyAdd(L.hRe.data(), L.hIm.data(), ls.fdlRe.data(), ls.fdlIm.data(), ls.newest, L.K, N,
                    r * L.K / S, (r + 1) * L.K / S, ls.accRe.data(), ls.accIm.data());
        if (r + 1 == S) {
            // Inverse transform by exchanging real and imaginary parts around the forward one.
            L.plan->transform(ls.accIm.data(), ls.accRe.data(), ls.tmpIm.data(), ls.tmpRe.data());
            double* dRe = L.immediate ? ls.curRe.data() : ls.nextRe.data();
            double* dIm = L.immediate ? ls.curIm.data() : ls.nextIm.data();
            std::copy_n(ls.tmpRe.data() + L.P, L.P, dRe);
            std::copy_n(ls.tmpIm.data() + L.P, L.P, dIm);
        }
    }
}
