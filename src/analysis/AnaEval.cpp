// Fundamental search, distortion and noise, IM and modulation distortion, weighting filters and
// the result text lines.
#include "analysis/AnaEval.h"

#include "dsp/FFtuli.h"
#include "analysis/WowFlutter.h"
#include "dsp/fftKernel.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>

namespace {

constexpr double kNoValue = kEvalNoValue_dB;
constexpr double kSearchStart_dB = -1920.0; // below every real bin value
constexpr double kFundHalfWidth = 12.0;     // bins around the fundamental that are not noise
constexpr double kHarmHalfWidth = 6.0;      // bins around a harmonic
constexpr double kHarmNyquistGap = 3.0;     // a harmonic must stay this many bins below fs/2
constexpr double kImToneHalfWidth = 4.0;    // bins around the IM reference tone
constexpr double kImSideMinHalfWidth = 2.0; // narrowest sideband region, bins
constexpr double kModHalfWidth = 2.0;       // bins around each tone of the modulation distortion
constexpr int kHarmonicBits = 0x1FE;        // H2..H9 in Hx
constexpr int kNoiseBit = 0x1;              // noise in Hx

// ---- weighting tables (Hz, dB) ----

constexpr double kA[] = {10,   -70, 20,   -50, 90,   -20, 100,   -18, 132,   -15,
                         200,  -10, 400,  -5,  500,  -3,  1000,  0,   1300,  0.5,
                         2000, 1,   3000, 1,   5000, 0,   10000, -3,  20000, -10};
constexpr double kB[] = {10,   -38, 20,   -25, 40,   -35, 100,   -6, 300,   -1,
                         1000, 0,   2000, 0,   3000, 0,   10000, -4, 20000, -11};
constexpr double kC[] = {10,   -14, 20,   -7, 40,   -3,   100,   0,    400,   0,
                         1000, 0,   2000, 0,  3000, -0.5, 10000, -4.5, 20000, -11};
constexpr double kCMessage[] = {20, -77,  50, -57,  100,  -41,  200, -25,  400, -11,   1000,
                                0,  2000, -1, 2500, -0.5, 4000, -15, 9000, -50, 20000, -72};
constexpr double kCcitt[] = {5, -110, 30, -80,  50, -60,  100, -39,  200, -20,   400, -6,    1000,
                             0, 2000, -3, 3000, -6, 5000, -35, 6000, -53, 10000, -90, 20000, -140};
constexpr double kCcirWtd[] = {10,   -38, 20,   -32,  50,    -25,  100,   -20, 200,  -14,
                               300,  -10, 400,  -7.5, 600,   -4.5, 1050,  0,   2000, 5,
                               4000, 10,  6000, 12,   10000, 8,    20000, -30};
constexpr double kCcirArm[] = {20, -38,  50, -31,  100, -25,   200, -20,   500, -12,   1000,
                               -6, 2000, 0,  5000, 6,   10000, 2,   20000, -35, 24000, -45};
constexpr double kRumbleWtd[] = {5,     -55, 20,   -39, 50,    -25.5, 70,    -19.5, 100,
                                 -14.5, 200, -2.7, 300, 0,     1000,  -15,   2000,  -27.5,
                                 3000,  -35, 5000, -43, 10000, -55,   20000, -70};
constexpr double kRumbleUnw[] = {5,    -2.5, 20,   0,   50,    0,   100,   0,
                                 200,  0,    300,  0,   1000,  -15, 2000,  -27.5,
                                 3000, -35,  5000, -43, 10000, -55, 24000, -76};
constexpr double kTuner[] = {10,   -60, 20,   -60, 30,    -60, 50,    -45, 100,   -20, 170,   0,
                             200,  0,   220,  0,   250,   0,   400,   0,   1000,  0,   5000,  0,
                             8000, 0,   9000, 0,   10000, 0,   13000, 0,   20000, -80, 22000, -120};
constexpr double kDeem5015[] = {20,   0,    100,  0,    500,   0,  600,   0,    1000,  -0.5,
                                2000, -1.5, 5000, -4.5, 10000, -8, 20000, -9.5, 24000, -10};
constexpr double kDeemph50[] = {20,   0,  100,  0,  400,   -0.68,  1000,  -0.4,  2000,  -1.44,
                                3180, -3, 6400, -7, 10000, -10.37, 20000, -16.1, 24000, -17.6};
constexpr double kDeemph75[] = {20,    0,    100,   0,    400,    -0.15, 1000,  -0.87, 2122,
                                -3.01, 3000, -4.77, 6500, -10.16, 18000, -18.6, 24000, -21.1};
constexpr double kDeemphJ17[] = {20,   18, 80,   18,  500,   16,  1000,  12, 3000,  4.2,
                                 4000, 3,  6000, 1.5, 10000, 0.7, 20000, 0,  24000, 0};
// What an unknown name gets: flat, and switched off.
constexpr double kInactive[] = {10, 0, 1000, 0, 24000, 0};

struct TWeightingDef {
    const char* name;            // as shown and stored
    std::span<const double> pts; // pairs (Hz, dB); empty for "none" and "USER"
};

constexpr std::array<TWeightingDef, 16> kWeightings = {{
    {"none", {}},
    {"A Weighting", kA},
    {"B Weighting", kB},
    {"C Weighting", kC},
    {"C Message", kCMessage},
    {"CCITT-Filter", kCcitt},
    {"CCIR wtd", kCcirWtd},
    {"CCIR ARM", kCcirArm},
    {"RUMBLE wtd", kRumbleWtd},
    {"RUMBLE unw", kRumbleUnw},
    {"IEC Tuner IEC 315", kTuner},
    {"DEEM 50/15", kDeem5015},
    {"DEEMPH 50", kDeemph50},
    {"DEEMPH 75", kDeemph75},
    {"DEEMPH J.17", kDeemphJ17},
    {"USER", {}},
}};

const QString kUser = QStringLiteral("USER");

// ---- spectrum scans ----

// Sets ana.fstep and gives the number of bins to read; 0 when nothing can be evaluated.
int32_t prepareScan(const Tsamplemem* spectrum, cAnaPara& ana) {
    if (ana.lsampFFTPoints < 2 || !(ana.fsampFreq > 0.0) || !std::isfinite(ana.fsampFreq)) return 0;
    ana.fstep = ana.fsampFreq / ana.lsampFFTPoints;
    if (!spectrum || !spectrum->smpoi()) return 0;
    return std::min(ana.lsampFFTPoints / 2, spectrum->samples());
}

constexpr double kLn10 = 2.302585092994045684; // ln 10

// Linear magnitude of a raw dB bin at f Hz, weighted when the curve is active; 0 for a bin
// without a value (exactly 0, or not a finite number).
double binAmplitude(double v, double f, const Tcorri* weighting) {
    if (v == 0.0 || !std::isfinite(v)) return 0.0;
    if (weighting && weighting->getaktiv()) v = weighting->corri(v, f, 0.0);
    return std::exp(v * kLn10 / 20.0); // 10^(v/20); exp is several times faster than pow
}

bool inBand(double f, const cAnaPara& ana) {
    return f >= ana.lfvon && f <= ana.lfbis;
}

// Power of the band's bins strictly within halfWidth bins of fc.
double regionPower(const double* x, int32_t bins, const cAnaPara& ana, double fc,
                   double halfWidth) {
    if (!std::isfinite(fc)) return 0.0;
    const double reach = halfWidth * ana.fstep;
    // Clamped before the conversion, so far-off frequencies cannot overflow the index.
    const double first = std::max(0.0, std::floor((fc - reach) / ana.fstep));
    const double last = std::min(double(bins - 1), std::ceil((fc + reach) / ana.fstep));
    if (first > last) return 0.0;
    const int32_t lo = int32_t(first), hi = int32_t(last);
    double p = 0.0;
    for (int32_t k = lo; k <= hi; ++k) {
        const double f = k * ana.fstep;
        if (std::abs(f - fc) < reach && inBand(f, ana)) {
            const double a = binAmplitude(x[k], f, nullptr);
            p += a * a;
        }
    }
    return p;
}

// The harmonic orders 2..9 that lie far enough below half the sample rate.
int usableHarmonics(double F, const cAnaPara& ana, std::array<int, 8>& orders) {
    int n = 0;
    for (int i = 2; i <= 9; ++i)
        if (ana.fsampFreq / 2.0 >= i * F + kHarmNyquistGap * ana.fstep) orders[size_t(n++)] = i;
    return n;
}

// Two bins at a time in the compiler's generic vectors (one SSE2 register): the per-bin scans
// below have no branches, so they run at the speed of memory.
typedef double V2d __attribute__((vector_size(16)));
typedef int64_t V2i __attribute__((vector_size(16)));

inline V2d load2(const double* p) {
    V2d v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// True lanes where the dB value is a finite number.
inline V2i finite2(V2d v) {
    return (V2d)((V2i)v & INT64_MAX) <= DBL_MAX;
}

// Bins are converted in chunks of this many, so the exponentials run over data in the cache.
constexpr int32_t kChunk = 1024;
constexpr double kPowerExp = 2.302585092994045684 / 10.0; // 10^(v/10) = e^(v * kPowerExp)

// Linear powers of raw dB bins: p[k] = 10^(x[k]/10), 0 for a bin of exactly 0 (no value).
// Non-finite bins pass through (+inf, NaN) as the band level takes them; with an active
// weighting (at the bin frequency k * fstep) the weighted value is raised instead.
void binPowers(const double* x, int32_t n, double fstep, const Tcorri* weighting, double* p) {
    const bool weighted = weighting && weighting->getaktiv();
    for (int32_t k0 = 0; k0 < n; k0 += kChunk) {
        const int32_t len = std::min(kChunk, n - k0);
        int32_t j = 0;
        for (; j + 2 <= len; j += 2) {
            const V2d v = load2(x + k0 + j);
            const V2d e = v == 0.0 ? V2d{} - HUGE_VAL : v * kPowerExp;
            std::memcpy(p + k0 + j, &e, sizeof e);
        }
        for (; j < len; ++j) {
            const double v = x[k0 + j];
            p[k0 + j] = v == 0.0 ? -HUGE_VAL : v * kPowerExp;
        }
        if (weighted)
            for (int32_t j = 0; j < len; ++j)
                if (x[k0 + j] != 0.0)
                    p[k0 + j] = weighting->corri(x[k0 + j], (k0 + j) * fstep, 0.0) * kPowerExp;
        fftkernel::expArray(p + k0, p + k0, size_t(len));
    }
}

// Sum of the powers of bins first..end-1, in four interleaved partial sums. With `valued`
// a bin whose dB value is not finite counts as no value (the distortion's reading).
template <bool valued>
double sumPowers(const double* x, const double* p, int32_t first, int32_t end) {
    V2d s0{}, s1{};
    int32_t k = first;
    for (; k + 4 <= end; k += 4) {
        V2d a = load2(p + k), b = load2(p + k + 2);
        if constexpr (valued) {
            a = finite2(load2(x + k)) ? a : V2d{};
            b = finite2(load2(x + k + 2)) ? b : V2d{};
        }
        s0 += a, s1 += b;
    }
    double tail = 0.0;
    for (; k < end; ++k)
        tail += !valued || std::fabs(x[k]) <= DBL_MAX ? p[k] : 0.0;
    return ((s0[0] + s0[1]) + (s1[0] + s1[1])) + tail;
}

// The first bin k of 0..bins for which pass(k) holds, pass being false below some bin and
// true from it on; the search starts at the estimate `guess` (any value).
template <class Pass> int32_t firstPassing(int32_t bins, double guess, Pass pass) {
    int32_t k = std::isfinite(guess) ? int32_t(std::clamp(guess, 0.0, double(bins))) : 0;
    while (k > 0 && pass(k - 1)) --k;
    while (k < bins && !pass(k)) ++k;
    return k;
}

// The bins of [lfvon, lfbis] as first..end-1: contiguous, as k * fstep grows with k.
std::pair<int32_t, int32_t> bandBins(const cAnaPara& ana, int32_t bins) {
    const double fs = ana.fstep;
    const int32_t first = firstPassing(bins, ana.lfvon / fs, [&](int32_t k) { return k * fs >= ana.lfvon; });
    const int32_t above = firstPassing(bins, ana.lfbis / fs, [&](int32_t k) { return k * fs > ana.lfbis; });
    return {first, std::max(first, above)};
}

// The bins a region of halfWidth bins about c bins may hold: a few bins wider than the
// region, so the exact test only needs to run there. Empty (first > last) outside 0..bins-1.
struct TBinRange {
    int32_t first = 0, last = -1;
};

TBinRange candidateRange(double c, double halfWidth, int32_t bins) {
    const double lo = std::max(0.0, std::floor(c) - halfWidth - 2.0);
    const double hi = std::min(double(bins - 1), std::ceil(c) + halfWidth + 2.0);
    return lo <= hi ? TBinRange{int32_t(lo), int32_t(hi)} : TBinRange{};
}

// Where the fundamental and the harmonics lie: the exact per-bin test of the sums.
struct TDistRegions {
    double F = 0.0;               // fundamental, Hz
    std::array<int, 8> orders{};  // usable harmonic orders
    int nh = 0;                   // how many
    std::array<TBinRange, 9> cand{}; // candidate bins: the fundamental's, then the harmonics'
};

TDistRegions distRegions(int32_t bins, const cAnaPara& ana, double F) {
    TDistRegions r;
    r.F = F;
    r.nh = usableHarmonics(F, ana, r.orders);
    r.cand[0] = candidateRange(F / ana.fstep, kFundHalfWidth, bins);
    for (int j = 0; j < r.nh; ++j)
        r.cand[size_t(j) + 1] = candidateRange(r.orders[size_t(j)] * F / ana.fstep, kHarmHalfWidth, bins);
    std::sort(r.cand.begin(), r.cand.begin() + r.nh + 1,
              [](const TBinRange& a, const TBinRange& b) { return a.first < b.first; });
    return r;
}

struct TDistSums {
    double T = 0.0; // all bins
    double H = 0.0; // selected harmonic regions in the band
    double N = 0.0; // band bins outside the fundamental and every harmonic region
};

// One band bin within a candidate range: in the fundamental's or a harmonic's region? A bin
// shared by two harmonic regions counts once.
void addRegionBin(int32_t k, double p, const TDistRegions& r, const cAnaPara& ana, bool noise,
                  TDistSums& s) {
    const double f = k * ana.fstep;
    bool mark = std::abs(f - r.F) < kFundHalfWidth * ana.fstep;
    bool selected = false;
    for (int j = 0; j < r.nh; ++j) {
        const int i = r.orders[size_t(j)];
        if (std::abs(f - i * r.F) < kHarmHalfWidth * ana.fstep) {
            mark = true;
            selected = selected || (ana.Hx & (1 << (i - 1))) != 0;
        }
    }
    s.H += selected ? p : 0.0;
    s.N += !mark && noise ? p : 0.0;
}

// The sums over the powers p of the dB bins x; only the candidate ranges need the exact test,
// the band bins between them are noise.
TDistSums distortionSums(const double* x, const double* p, int32_t bins, const cAnaPara& ana,
                         double F) {
    const TDistRegions r = distRegions(bins, ana, F);
    const bool noise = (ana.Hx & kNoiseBit) != 0;
    const auto [first, end] = bandBins(ana, bins);
    TDistSums s;
    s.T = sumPowers<true>(x, p, 0, bins);
    int32_t k = first;
    for (int c = 0; c <= r.nh; ++c) {
        const int32_t lo = std::max(r.cand[size_t(c)].first, k);
        const int32_t hi = std::min(r.cand[size_t(c)].last, end - 1);
        if (lo > hi) continue;
        if (noise) s.N += sumPowers<true>(x, p, k, lo);
        for (k = lo; k <= hi; ++k)
            addRegionBin(k, std::fabs(x[k]) <= DBL_MAX ? p[k] : 0.0, r, ana, noise, s);
    }
    if (noise) s.N += sumPowers<true>(x, p, k, end);
    return s;
}

// The band level as BandLevel reads it, from the unweighted powers p of the dB bins of a
// spectrum of fft.SamplesFFT points (logarithmic units only).
double levelFromPowers(const double* p, int32_t samples, cAnaPara& ana, const cFFTdat& fft,
                       int channel, edBModi unit) {
    ana.fstep = ana.fsampFreq / fft.SamplesFFT;
    const auto [first, end] = bandBins(ana, std::min(fft.SamplesFFT / 2, samples));
    const double L = std::sqrt(sumPowers<false>(nullptr, p, first, end)) / std::sqrt(2.0);
    ana.fresultFS = L;
    const double wlf = WindowLevelFactor(fft.FFTwin);
    if (!(L * wlf > 0.0)) return kNoValue;
    const double level = LevelCorrOf(fft, channel).offs + 20.0 * std::log10(L * wlf);
    if (unit == dbMode_Sone && channel != 1) return fft.SoneCor.corri(0.0, level, 0.0);
    return level;
}

// The unweighted powers of the result text's two spectra, computed on first use and shared
// by its lines.
class TPowerCache {
public:
    // `known`: the caller's powers of s (TResultTextInput::powers), taken as they are.
    const double* powers(const Tsamplemem* s, int ch, const double* known) {
        if (known)
            return known;
        Entry& e = m_entry[ch == 1 ? 1 : 0];
        if (e.src != s || e.n != s->samples()) {
            e.p.reset(new double[size_t(s->samples())]);
            binPowers(s->smpoi(), s->samples(), 0.0, nullptr, e.p.get());
            e.src = s, e.n = s->samples();
        }
        return e.p.get();
    }

private:
    struct Entry {
        const Tsamplemem* src = nullptr; // spectrum the powers belong to
        int32_t n = 0;                   // its sample count
        std::unique_ptr<double[]> p;     // the powers
    };
    Entry m_entry[2]; // left, right
};

// ---- result text pieces ----

QString channelLabel(int ch) {
    return ch == 1 ? QStringLiteral("right Ch. ") : QStringLiteral("left Ch. ");
}

bool isNoValue(double dB) {
    return dB == kNoValue || !std::isfinite(dB);
}

// A dB value with the given decimals; "-192" when it was never computed.
QString dBText(double dB, int decimals) {
    if (isNoValue(dB)) return QStringLiteral("-192");
    return QString::asprintf("%1.*f", decimals, dB);
}

// The percentage of a dB ratio; "0.000" when the ratio was never computed.
QString percentText(double dB) {
    if (isNoValue(dB)) return QStringLiteral("0.000");
    return QString::asprintf("%1.4f", std::pow(10.0, dB / 20.0) * 100.0);
}

// "x.x/y.yyyy [dB/%]" with the blank the left part carries before a right part.
QString dBPercentPart(int ch, double dB) {
    return channelLabel(ch) + dBText(dB, 1) + "/" + percentText(dB) +
           (ch == 1 ? QStringLiteral(" [dB/%]") : QStringLiteral(" [dB/%] "));
}

// The parts of the channels the text shows, joined by " | ".
template <class Part> QString channelParts(const cAnaPara& ana, Part part) {
    QStringList parts;
    if (ana.bResultTextLeft) parts << part(0);
    if (ana.bResultTextRight) parts << part(1);
    return parts.join(QStringLiteral(" | "));
}

// " | Filter: "name" applied to value[ + diagram]", with the USER file when asked for.
QString filterTail(const cAnaPara& ana, bool withUserFile) {
    if (!ana.bResultTextDetails || IsNoWeighting(ana.filter)) return {};
    QString t = " | Filter: \"" + ana.filter + "\"";
    if (withUserFile && ana.filter == kUser) t += " [=" + ana.UserFname + "]";
    t += " applied to value";
    if (ana.bFilterFFT) t += " + diagram";
    return t;
}

QString filterNameOf(const cAnaPara& ana) {
    return IsNoWeighting(ana.filter) ? QStringLiteral("none") : ana.filter;
}

// "THD" or "H2+H3..", then "+N " or " S/N", then the fundamental.
QString distDetail(const cAnaPara& ana, double F) {
    const QString fund = F > 0.0 ? " @ " + QString::asprintf("%1.0f", F) + "Hz "
                                 : QStringLiteral(" no fundamental wave");
    if (!ana.bResultTextDetails) return F > 0.0 ? QString() : fund;
    QString t = HarmonicSetText(ana.Hx);
    const bool noise = (ana.Hx & kNoiseBit) != 0, harm = (ana.Hx & kHarmonicBits) != 0;
    if (noise && harm)
        t += "+N ";
    else if (noise)
        t += " S/N";
    return t + fund;
}

bool present(const Tsamplemem* s) {
    return s && s->smpoi() && s->samples() > 0;
}

} // namespace

double PowerOfMissingLevel() {
    double p = kNoValue;
    binPowers(&p, 1, 0.0, nullptr, &p);
    return p;
}

// ---- weighting filters --------------------------------------------------------------------

QStringList WeightingFilterNames() {
    QStringList names;
    for (const TWeightingDef& d : kWeightings)
        names << QString::fromLatin1(d.name);
    return names;
}

std::span<const double> WeightingTable(const QString& name) {
    for (const TWeightingDef& d : kWeightings)
        if (name == QLatin1String(d.name)) return d.pts;
    return {};
}

bool IsNoWeighting(const QString& name) {
    return name.isEmpty() || name == QLatin1String("none");
}

std::unique_ptr<Tcorri> MakeWeighting(const cAnaPara& ana, char sep, const Tcorri::MessageSink& report) {
    if (IsNoWeighting(ana.filter)) return nullptr;
    auto curve = std::make_unique<Tcorri>();
    if (ana.filter == kUser) {
        // A weighting gain is added to the values like the built-in tables, whatever
        // direction a correction file normally has.
        curve->makeCorrArr(QFile::encodeName(ana.UserFname).toStdString(), sep, false, report);
        curve->setapplDir(-1);
        curve->setMode(2);
        return curve;
    }
    const std::span<const double> pts = WeightingTable(ana.filter);
    if (!pts.empty()) {
        curve->makecCorrArr(pts.data(), int32_t(pts.size() / 2));
    } else {
        curve->makecCorrArr(kInactive, int32_t(std::size(kInactive) / 2));
        curve->setaktiv(false);
    }
    return curve;
}

// ---- single evaluations -------------------------------------------------------------------

double FindFundamental(const Tsamplemem* spectrum, cAnaPara& ana) {
    const int32_t bins = prepareScan(spectrum, ana);
    const double threshold = 20.0 * std::log10(double(ana.fFundlow));
    const double* x = bins > 0 ? spectrum->smpoi() : nullptr;
    const int32_t k0 = firstPassing(bins, ana.GTfreq / ana.fstep,
                                    [&](int32_t k) { return k * ana.fstep > ana.GTfreq; });
    // The loudest bin with a value; the threshold then holds for it or for none, as v + 11.5
    // grows with v. Interleaved maxima keep the scan free of branches.
    const V2d none = V2d{} + kSearchStart_dB;
    V2d m0 = none, m1 = none;
    int32_t k = k0;
    for (; k + 4 <= bins; k += 4) {
        const V2d a = load2(x + k), b = load2(x + k + 2);
        const V2d va = (a != 0.0) & finite2(a) ? a : none, vb = (b != 0.0) & finite2(b) ? b : none;
        m0 = va > m0 ? va : m0;
        m1 = vb > m1 ? vb : m1;
    }
    double best = std::max(std::max(m0[0], m0[1]), std::max(m1[0], m1[1]));
    for (; k < bins; ++k)
        if (x[k] != 0.0 && std::isfinite(x[k])) best = std::max(best, x[k]);
    int32_t bestK = 0;
    if (best > kSearchStart_dB && threshold < best + kSpectrumBinOffset_dB)
        for (bestK = k0; x[bestK] != best;) // the first of equal maxima
            ++bestK;
    const double F = bestK > 1 ? bestK * ana.fstep : 0.0;
    ana.fresultFundamental = float(F);
    return F;
}

namespace {

// DistortionNoise with the unweighted powers of the spectrum given (null: computed here).
double distortionNoise(const Tsamplemem* spectrum, cAnaPara& ana, const Tcorri* weighting,
                       QStringList* log, const double* unweighted) {
    const int32_t bins = prepareScan(spectrum, ana);
    if (bins <= 0) return kNoValue;
    const double F =
        ana.bFundAuto ? FindFundamental(spectrum, ana) : double(ana.fresultFundamental);
    if (!(F > 0.0)) return kNoValue;
    const double* x = spectrum->smpoi();
    std::unique_ptr<double[]> own;
    const bool weighted = weighting && weighting->getaktiv();
    if (weighted || !unweighted) {
        own.reset(new double[size_t(bins)]);
        binPowers(x, bins, ana.fstep, weighting, own.get());
    }
    const TDistSums s = distortionSums(x, own ? own.get() : unweighted, bins, ana, F);
    double result = kNoValue;
    if (s.T > 0.0 && s.H + s.N > 0.0)
        result = 20.0 * std::log10((std::sqrt(s.H) + std::sqrt(s.N)) / std::sqrt(s.T));
    ana.fresultLevel = s.T / 2.0;
    ana.fresultTHD = result;
    ana.fresultNoise = s.N / 2.0;
    if (log)
        *log << QString::asprintf("fu %f, Glev %1.6f, KxLev %1.8f, NLev %1.8f, erg %1.6f", F, s.T,
                                  s.H, s.N, result);
    return result;
}

} // namespace

double DistortionNoise(const Tsamplemem* spectrum, cAnaPara& ana, const Tcorri* weighting,
                       QStringList* log) {
    return distortionNoise(spectrum, ana, weighting, log, nullptr);
}

double IMDistortion(const Tsamplemem* spectrum, cAnaPara& ana, double fLow, double fHigh) {
    const int32_t bins = prepareScan(spectrum, ana);
    if (bins <= 0 || !(fLow > 0.0) || !(fHigh > 0.0)) return kNoValue;
    const double* x = spectrum->smpoi();
    const double R = regionPower(x, bins, ana, fHigh, kImToneHalfWidth);
    // Half the spacing keeps neighbouring sideband regions apart.
    const double side = std::clamp(fLow / ana.fstep / 2.0, kImSideMinHalfWidth, kImToneHalfWidth);
    double S = 0.0;
    for (double fs : {fHigh - fLow, fHigh + fLow, fHigh - 2.0 * fLow, fHigh + 2.0 * fLow})
        S += regionPower(x, bins, ana, fs, side);
    if (R > 0.0 && std::sqrt(R) > ana.fFundlow && S > 0.0)
        return 20.0 * std::log10(std::sqrt(S / R));
    return kNoValue;
}

double IMDistortion(const Tsamplemem* spectrum, cAnaPara& ana, const TwaveGO& go) {
    return IMDistortion(spectrum, ana, go.secfreqR, go.GenFreqR);
}

double ModulationDistortion(const Tsamplemem* spectrum, cAnaPara& ana, double fA, double fB) {
    const int32_t bins = prepareScan(spectrum, ana);
    if (bins <= 0) return 0.0;
    const double* x = spectrum->smpoi();
    auto amplitude = [&](double f) {
        return std::sqrt(regionPower(x, bins, ana, f, kModHalfWidth)) / std::sqrt(2.0);
    };
    const double b = amplitude(fB), a = amplitude(fA);
    const double d2 = amplitude(std::abs(fA - fB)), d3 = amplitude(2.0 * fB - fA);
    if (!(a + b > 0.0)) return 0.0;
    return std::sqrt(d2 * d2 + d3 * d3) / (b + a);
}

double ModulationDistortion(const Tsamplemem* spectrum, cAnaPara& ana, const TwaveGO& go) {
    return ModulationDistortion(spectrum, ana, go.secfreqR, go.GenFreqR);
}

// ---- result text --------------------------------------------------------------------------

namespace {

// The lines that read bin powers, sharing them through `cache`.
QString levelLine(const TResultTextInput& in, cAnaPara& ana, TPowerCache& cache) {
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const bool shared = in.fft && present(s) && in.fft->SamplesFFT > 0 &&
                            ana.fsampFreq > 0.0 && std::isfinite(ana.fsampFreq) &&
                            !IsLinearUnit(in.unit) && !(in.weighting && in.weighting->getaktiv());
        const double v =
            shared ? levelFromPowers(cache.powers(s, ch, in.powers[ch]), s->samples(), ana, *in.fft, ch, in.unit)
            : in.fft ? BandLevel(s, ana, *in.fft, true, ch, in.weighting, in.unit)
                     : kNoValue;
        QString unit = (in.unit == dbMode_Sone && ch == 1) ? QStringLiteral("dBSPL") : in.unitText;
        QString t = channelLabel(ch) + dBText(v, 2);
        if (in.unit == dbMode_dBV) {
            t +=
                "/" + (isNoValue(v) ? QStringLiteral("0.000")
                                    : QString::asprintf("%.2f", std::pow(10.0, v / 20.0) * 1000.0));
            unit = "[dBV/mV]";
        }
        return t + unit;
    };
    return "Level:\t" + channelParts(ana, part) + filterTail(ana, true);
}

// The unweighted powers of a channel's spectrum, or null when it has none.
const double* sharedPowers(const TResultTextInput& in, int ch, TPowerCache& cache) {
    return present(in.spectrum[ch]) ? cache.powers(in.spectrum[ch], ch, in.powers[ch]) : nullptr;
}

QString distLine(const TResultTextInput& in, cAnaPara& ana, TPowerCache& cache) {
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const double v = distortionNoise(s, ana, nullptr, nullptr, sharedPowers(in, ch, cache));
        const double F = present(s) ? double(ana.fresultFundamental) : 0.0;
        const QString detail = distDetail(ana, F);
        if (present(s) && !(F > 0.0)) return channelLabel(ch) + detail;
        if ((ana.Hx & (kHarmonicBits | kNoiseBit)) == kNoiseBit)
            return channelLabel(ch) + dBText(v, 1) + " dB " + detail;
        return channelLabel(ch) + dBText(v, 1) + "/" + percentText(v) + " [dB/%] " + detail;
    };
    QString line = "Dist:\t" + channelParts(ana, part);
    // The value itself is never weighted; the filter may still be shown in the diagram.
    if (ana.bResultTextDetails && !IsNoWeighting(ana.filter) && ana.bFilterFFT)
        line += " | Filter: \"" + ana.filter + "\" applied to diagram";
    return line;
}

QString signalNoiseLine(const TResultTextInput& in, cAnaPara& ana, TPowerCache& cache) {
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        cAnaPara noiseOnly = ana;
        noiseOnly.Hx = kNoiseBit;
        const bool weighted = in.weighting && in.weighting->getaktiv();
        const double v = distortionNoise(s, noiseOnly, in.weighting, nullptr,
                                         weighted ? nullptr : sharedPowers(in, ch, cache));
        if (!present(s)) return channelLabel(ch) + "-192 dB ";
        if (!(noiseOnly.fresultFundamental > 0.0f))
            return channelLabel(ch) + " no fundamental wave";
        return channelLabel(ch) + dBText(-v, 1) + " dB " + (ana.bResultTextDetails ? " " : "");
    };
    return "S/N:\t" + channelParts(ana, part) + filterTail(ana, false);
}

} // namespace

QString LevelLine(const TResultTextInput& in, cAnaPara& ana) {
    TPowerCache cache;
    return levelLine(in, ana, cache);
}

QString DistLine(const TResultTextInput& in, cAnaPara& ana) {
    TPowerCache cache;
    return distLine(in, ana, cache);
}

QString IMDLine(const TResultTextInput& in, cAnaPara& ana) {
    auto part = [&](int ch) {
        const double v =
            in.generator ? IMDistortion(in.spectrum[ch], ana, *in.generator) : kNoValue;
        return dBPercentPart(ch, v);
    };
    QString line = "IMD  :\t" + channelParts(ana, part);
    if (ana.bResultTextDetails)
        line += " |   Filter: " + filterNameOf(ana) + filterTail(ana, false);
    return line;
}

QString ModDistLine(const TResultTextInput& in, cAnaPara& ana) {
    auto part = [&](int ch) {
        const double r =
            in.generator ? ModulationDistortion(in.spectrum[ch], ana, *in.generator) : 0.0;
        return dBPercentPart(ch, r > 0.0 ? 20.0 * std::log10(r) : kNoValue);
    };
    QString line = "Mod Dist:\t" + channelParts(ana, part);
    if (ana.bResultTextDetails)
        line += " |   Filter: " + filterNameOf(ana) + filterTail(ana, false);
    return line;
}

QString SignalNoiseLine(const TResultTextInput& in, cAnaPara& ana) {
    TPowerCache cache;
    return signalNoiseLine(in, ana, cache);
}

QString WowFlutterLine(const TResultTextInput& in, cAnaPara& ana) {
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const bool carrier =
            present(s) && present(in.timeSignal[ch]) && FindFundamental(s, ana) > 0.0;
        WowFlutter(s, in.timeSignal[ch], ana);
        if (!carrier) return channelLabel(ch) + " no fundamental wave";
        const QString t = channelLabel(ch) + QString::asprintf("%1.4f", ana.fresultWuF) + "% ";
        if (!ana.bResultTextDetails) return t;
        static const char* const kModes[] = {"W && F", "Wow", "Flutter"};
        const int mode = ana.WuFmode <= eFlutter ? int(ana.WuFmode) : 0;
        return t + " " + " | Mode: " + kModes[mode] + " | Meas. Standard: " + ana.WuFFilter +
               " | Bandpass: " + (ana.WuFBP ? "On" : "Off") +
               " | Drift: " + QString::asprintf("%1.2f%%", ana.fresultWufDrift);
    };
    return "W && F:\t" + channelParts(ana, part) + filterTail(ana, false);
}

QStringList BuildResultText(const TResultTextInput& in, cAnaPara& ana) {
    QStringList lines;
    TPowerCache cache; // every line reads the same spectra
    if (ana.bLevelmess) lines << levelLine(in, ana, cache);
    if (ana.bTHDmess) lines << distLine(in, ana, cache);
    if (ana.bIMmess) lines << IMDLine(in, ana);
    if (ana.bModDistMess) lines << ModDistLine(in, ana);
    if (ana.bSignal2Noisemess) lines << signalNoiseLine(in, ana, cache);
    if (ana.bWuFmess) lines << WowFlutterLine(in, ana);
    return lines;
}

QString HarmonicSetText(int32_t Hx) {
    if ((Hx & kHarmonicBits) == kHarmonicBits) return QStringLiteral("THD");
    QStringList h;
    for (int i = 2; i <= 9; ++i)
        if (Hx & (1 << (i - 1))) h << "H" + QString::number(i);
    return h.join('+');
}
