// Impulse-response maths: shot length, MLS deconvolution, the impulse start and the gated spectrum.
#include "dsp/ipsEval.h"

#include "dsp/FFtuli.h"
#include "dsp/Tsamplemem.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>

int32_t IpsShotLength(int genMode, int32_t fftSize, int32_t rate, int mlsOrder, int32_t waves,
                      double burstHz, int32_t zBands3D, double stepping_ms)
{
    int64_t n = 0;
    if (genMode == kIpsDirac)
        n = 2 * int64_t(fftSize);
    else if (genMode == kIpsMLS)
        n = (int64_t(1) << (std::clamp(mlsOrder, 2, 16) + 1)) + 2 * int64_t(fftSize);
    else if (genMode == kIpsBurst && burstHz > 0)
        n = std::llround(double(rate) * waves / burstHz) + 2 * int64_t(fftSize);
    n += std::llround(rate * 0.2);
    if (zBands3D > 0) n += std::llround(double(rate) * zBands3D * stepping_ms * 2.0 / 1000.0);
    n = (n + 7) / 8 * 8;
    return int32_t(std::min<int64_t>(n, int64_t(1) << 30));
}

int IpsMlsOrderFromLength(double pulse_ms)
{
    if (pulse_ms > 1100) return 16;
    if (pulse_ms > 600) return 15;
    if (pulse_ms > 300) return 14;
    if (pulse_ms > 60) return 12;
    return 0;
}

// ---- deconvolution ---------------------------------------------------------------------------

struct TMlsDeconvolver::Impl {
    FFtuliContext fft;
    int order = 0;                      // sequence the spectrum below belongs to
    int32_t N = 0;                      // transform length
    bool usable = false;                // the spectrum has no zero bin
    std::vector<std::complex<double>> invX; // 1 / X[k], k = 0..N/2
    std::vector<std::complex<double>> twiddle; // e^(+j 2 pi k / N), k < N/2
    std::vector<double> re, im, work;   // transform buffers

    void prepare(int ord, int32_t n);
    void inverseReal(double* out); // re/im hold bins 0..N/2; out gets N samples
};

// The sequence's spectrum is inverted once: the per-shot work is then one real transform, a
// product and one inverse real transform.
void TMlsDeconvolver::Impl::prepare(int ord, int32_t n)
{
    const int32_t len = std::max<int32_t>(int32_t(std::bit_ceil(uint32_t(n))), 8);
    if (ord == order && len == N) return;
    order = ord;
    N = len;
    Tsamplemem mls(std::max(N, 2 << ord));
    mls.fillwithMLS(ord, kIpsMlsLevel_dB);
    std::vector<double> x(mls.smpoi(), mls.smpoi() + N);
    re.assign(N / 2 + 1, 0.0);
    im.assign(N / 2 + 1, 0.0);
    work.assign(N, 0.0);
    fft.realTransform(x.data(), re.data(), im.data(), N);
    re[0] = 1e-18, im[0] = 0.0; // the sequence has no DC; the response's DC is found afterwards
    invX.resize(N / 2 + 1);
    usable = true;
    for (int32_t k = 0; k <= N / 2; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        if (p <= 1e-100) usable = false;
        invX[k] = std::complex<double>(re[k], -im[k]) / p;
    }
    twiddle.resize(N / 2);
    for (int32_t k = 0; k < N / 2; ++k)
        twiddle[k] = std::polar(1.0, 2.0 * std::numbers::pi * k / N);
}

// The inverse of a real signal's spectrum by one complex transform of half the length: the
// even and the odd samples become real and imaginary part of one complex sequence.
void TMlsDeconvolver::Impl::inverseReal(double* out)
{
    const int32_t M = N / 2;
    double* zr = work.data();
    double* zi = work.data() + M;
    for (int32_t k = 0; k < M; ++k) {
        const std::complex<double> a(re[k], im[k]), b(re[M - k], -im[M - k]);
        const std::complex<double> e = a + b, o = (a - b) * twiddle[k];
        const std::complex<double> z = e + std::complex<double>(0, 1) * o; // 2 (E + jO)
        zr[k] = z.real(), zi[k] = -z.imag(); // conjugated: the forward transform inverts
    }
    fft.fft(zr, zi, M);
    const double s = 0.5 / M;
    for (int32_t m = 0; m < M; ++m) {
        out[2 * m] = zr[m] * s;
        out[2 * m + 1] = -zi[m] * s;
    }
}

TMlsDeconvolver::TMlsDeconvolver() : d(std::make_unique<Impl>()) {}
TMlsDeconvolver::~TMlsDeconvolver() = default;

bool TMlsDeconvolver::deconvolve(std::vector<double>& y, int order)
{
    if (order < 2 || order > 16 || y.empty()) return false;
    d->prepare(order, int32_t(y.size()));
    if (!d->usable) return false;
    const int32_t N = d->N;
    std::vector<double>& in = d->work;
    std::copy(y.begin(), y.end(), in.begin());
    std::fill(in.begin() + std::ptrdiff_t(y.size()), in.end(), 0.0);
    d->fft.realTransform(in.data(), d->re.data(), d->im.data(), N);
    for (int32_t k = 0; k <= N / 2; ++k) {
        const std::complex<double> h = std::complex<double>(d->re[k], d->im[k]) * d->invX[k];
        d->re[k] = h.real(), d->im[k] = h.imag();
    }
    // The sequence has no DC, so the response's DC cannot be measured; it is continued from the
    // lowest bin instead of set to 0, which would shift every sample by the peak / N.
    d->re[0] = std::copysign(std::hypot(d->re[1], d->im[1]), d->re[1]);
    d->im[0] = d->im[N / 2] = 0.0;
    std::vector<double> h(N);
    d->inverseReal(h.data());
    std::copy_n(h.begin(), y.size(), y.begin());
    return true;
}

// ---- start and gate --------------------------------------------------------------------------

TIpsStart IpsFindStart(const std::vector<double>& x, double trigLevel, int32_t before,
                       double rate, double showBefore_ms)
{
    TIpsStart s;
    if (x.empty()) return s;
    int64_t i0 = 0;
    if (trigLevel < 0) {
        i0 = std::max_element(x.begin(), x.end(), [](double a, double b) {
                 return std::fabs(a) < std::fabs(b);
             }) - x.begin();
    } else {
        const auto it = std::find_if(x.begin(), x.end(), [&](double v) { return std::fabs(v) > trigLevel; });
        i0 = it == x.end() ? 0 : it - x.begin();
    }
    i0 = std::max<int64_t>(0, i0 - before);
    int64_t c = std::llround(rate * showBefore_ms / 1000.0);
    if (i0 - c < 0) c = 0;
    s.fftBegin = int32_t(c);
    s.cut = int32_t(std::max<int64_t>(0, i0 - c));
    return s;
}

namespace {

// Group delay (ms) at every bin from the phase step between its neighbours, each step taken in
// (-pi, pi], so no unwrapping is needed while the delay stays below fftSize / (2 rate).
void groupDelay(const std::vector<double>& re, const std::vector<double>& im, double rate,
                int32_t n, std::vector<double>& out)
{
    const int32_t half = n / 2;
    const double dOmega = 2.0 * std::numbers::pi * rate / n; // rad/s per bin
    for (int32_t k = 0; k < half; ++k) {
        const int32_t a = std::max(k - 1, 0), b = std::min(k + 1, half);
        const std::complex<double> za(re[a], im[a]), zb(re[b], im[b]);
        const double step = std::arg(zb * std::conj(za));
        out[k] = -step / (dOmega * (b - a)) * 1000.0;
    }
}

} // namespace

TIpsSpectrum IpsGatedSpectrum(FFtuliContext& ctx, const std::vector<double>& x, int32_t begin,
                              double echo_ms, double rate, int32_t n, int windowKind,
                              eIpsSecond second)
{
    TIpsSpectrum r;
    const int32_t last = int32_t(x.size()) - 1;
    if (last < 1 || n < 2) return r;
    begin = std::clamp(begin, 0, last - 1);
    int64_t e = echo_ms < 0 ? last : std::llround(echo_ms * rate / 1000.0);
    e = std::clamp<int64_t>(e, begin + 1, last);
    r.gateLength = int32_t(e - begin + 1);
    const int32_t used = std::min(r.gateLength, n);
    ctx.prepareWindow(windowKind, n);
    const double* w = ctx.window();
    std::vector<double> buf(n, 0.0);
    for (int32_t i = 0; i < used; ++i)
        buf[i] = x[size_t(begin + i)] * w[i];
    std::vector<double> re(n / 2 + 1), im(n / 2 + 1);
    ctx.realTransform(buf.data(), re.data(), im.data(), n);
    const int32_t half = n / 2;
    r.mag.resize(half);
    for (int32_t k = 0; k < half; ++k)
        r.mag[k] = std::hypot(re[k], im[k]) / n;
    if (second == isPhase) {
        r.second.resize(half);
        for (int32_t k = 0; k < half; ++k)
            r.second[k] = std::atan2(im[k], re[k]) * 57.29577951308232;
    } else if (second == isGroupDelay) {
        r.second.resize(half);
        groupDelay(re, im, rate, n, r.second);
    }
    if (used < n) { // the gate cannot resolve below one period of its length
        while (r.firstBin < half && double(r.firstBin) / n < 1.0 / used)
            ++r.firstBin;
        if (r.firstBin >= half) r.firstBin = 0;
        for (int32_t k = 0; k < r.firstBin; ++k) {
            r.mag[k] = 0.0;
            if (!r.second.empty()) r.second[k] = 0.0;
        }
    }
    return r;
}
