// The evaluations with the settings of cAnaPara, the weighting filters and the result text lines.
#include "analysis/AnaEval.h"

#include "dsp/evalLevel.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>
#include <utility>

namespace {

constexpr double kNoValue = kEvalNoValue_dB;
constexpr int kHarmonicBits = 0x1FE; // H2..H9 in Hx
constexpr int kNoiseBit = 0x1;       // noise in Hx

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

// The band level as BandLevel reads it, from the unweighted powers p of the dB bins of a
// spectrum of fft.SamplesFFT points (logarithmic units only).
double levelFromPowers(const double* p, int32_t samples, const cAnaPara& ana, const cFFTdat& fft,
                       int channel, edBModi unit) {
    const double fstep = ana.fsampFreq / fft.SamplesFFT;
    const int32_t bins = std::min(fft.SamplesFFT / 2, samples);
    return BandLevelOf(BandAmplitudeOfPowers(p, bins, fstep, ana.lfvon, ana.lfbis), fft, true, channel, unit);
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
            BinPowers(s->smpoi(), s->samples(), 0.0, nullptr, e.p.get());
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

TEvalSettings EvalSettingsOf(const cAnaPara& ana) {
    TEvalSettings s;
    s.fsampFreq = ana.fsampFreq;
    s.points = ana.lsampFFTPoints;
    s.lfvon = ana.lfvon;
    s.lfbis = ana.lfbis;
    s.fFundlow = ana.fFundlow;
    s.GTfreq = ana.GTfreq;
    s.Hx = ana.Hx;
    s.bFundAuto = ana.bFundAuto;
    s.manualFundamental = ana.fManualFundamental;
    return s;
}

TWowFlutterSettings WowFlutterSettingsOf(const cAnaPara& ana) {
    return {ana.WuFfreq, ana.WuFeFilter, ana.WuFmode, ana.WuFBP};
}

double FindFundamental(const Tsamplemem* spectrum, const cAnaPara& ana) {
    return FindFundamental(spectrum, EvalSettingsOf(ana));
}

TDistortionResult DistortionNoise(const Tsamplemem* spectrum, const cAnaPara& ana,
                                  const Tcorri* weighting, QStringList* log) {
    const TDistortionResult r = DistortionNoise(spectrum, EvalSettingsOf(ana), weighting);
    if (log && r.fundamental > 0.0)
        *log << QString::asprintf("fu %f, Glev %1.6f, KxLev %1.8f, NLev %1.8f, erg %1.6f",
                                  r.fundamental, r.total, r.harmonics, r.noise, r.dB);
    return r;
}

double IMDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, double fLow, double fHigh) {
    return IMDistortion(spectrum, EvalSettingsOf(ana), fLow, fHigh);
}

double IMDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, const TwaveGO& go) {
    return IMDistortion(spectrum, ana, go.secfreqR, go.GenFreqR);
}

double ModulationDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, double fA, double fB) {
    return ModulationDistortion(spectrum, EvalSettingsOf(ana), fA, fB);
}

double ModulationDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, const TwaveGO& go) {
    return ModulationDistortion(spectrum, ana, go.secfreqR, go.GenFreqR);
}

TWowFlutterResult WowFlutter(const Tsamplemem* spectrum, const Tsamplemem* timeSignal,
                             const cAnaPara& ana) {
    return WowFlutter(spectrum, timeSignal, EvalSettingsOf(ana), WowFlutterSettingsOf(ana));
}

// ---- result text --------------------------------------------------------------------------

namespace {

// Where a line keeps what it measured: nowhere when the caller did not ask.
template <class T> void keep(T* slot, const T& value) {
    if (slot) *slot = value;
}

// The lines that read bin powers, sharing them through `cache`.
QString levelLine(const TResultTextInput& in, const cAnaPara& ana, TPowerCache& cache, TResultValues* out) {
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const bool shared = in.fft && present(s) && in.fft->SamplesFFT > 0 &&
                            ana.fsampFreq > 0.0 && std::isfinite(ana.fsampFreq) &&
                            !IsLinearUnit(in.unit) && !(in.weighting && in.weighting->getaktiv());
        const double v =
            shared ? levelFromPowers(cache.powers(s, ch, in.powers[ch]), s->samples(), ana, *in.fft, ch, in.unit)
            : in.fft ? BandLevel(s, ana, *in.fft, true, ch, in.weighting, in.unit)
                     : kNoValue;
        keep(out ? &out->level[ch] : nullptr, v);
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

// The evaluation settings of ana, with the window of the spectra for the fundamental's read-out.
TEvalSettings evalSettingsOf(const TResultTextInput& in, const cAnaPara& ana) {
    TEvalSettings s = EvalSettingsOf(ana);
    s.window = in.fft ? in.fft->FFTwin : -1;
    return s;
}

QString distLine(const TResultTextInput& in, const cAnaPara& ana, TPowerCache& cache, TResultValues* out) {
    const TEvalSettings settings = evalSettingsOf(in, ana);
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const TDistortionResult r = DistortionNoise(s, settings, nullptr, sharedPowers(in, ch, cache));
        keep(out ? &out->distortion[ch] : nullptr, r);
        const double v = r.dB, F = present(s) ? r.fundamental : 0.0;
        const QString detail = distDetail(ana, F > 0.0 ? r.peakFrequency : 0.0);
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

QString signalNoiseLine(const TResultTextInput& in, const cAnaPara& ana, TPowerCache& cache, TResultValues* out) {
    TEvalSettings noiseOnly = evalSettingsOf(in, ana);
    noiseOnly.Hx = kNoiseBit;
    const bool weighted = in.weighting && in.weighting->getaktiv();
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const TDistortionResult r = DistortionNoise(s, noiseOnly, in.weighting,
                                                    weighted ? nullptr : sharedPowers(in, ch, cache));
        keep(out ? &out->noise[ch] : nullptr, r);
        if (!present(s)) return channelLabel(ch) + "-192 dB ";
        if (!(r.fundamental > 0.0))
            return channelLabel(ch) + " no fundamental wave";
        return channelLabel(ch) + dBText(-r.dB, 1) + " dB " + (ana.bResultTextDetails ? " " : "");
    };
    return "S/N:\t" + channelParts(ana, part) + filterTail(ana, false);
}

} // namespace

QString LevelLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    TPowerCache cache;
    return levelLine(in, ana, cache, values);
}

QString DistLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    TPowerCache cache;
    return distLine(in, ana, cache, values);
}

QString IMDLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    auto part = [&](int ch) {
        const double v =
            in.generator ? IMDistortion(in.spectrum[ch], ana, *in.generator) : kNoValue;
        keep(values ? &values->imd_dB[ch] : nullptr, v);
        return dBPercentPart(ch, v);
    };
    QString line = "IMD  :\t" + channelParts(ana, part);
    if (ana.bResultTextDetails)
        line += " |   Filter: " + filterNameOf(ana) + filterTail(ana, false);
    return line;
}

QString ModDistLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    auto part = [&](int ch) {
        const double r =
            in.generator ? ModulationDistortion(in.spectrum[ch], ana, *in.generator) : 0.0;
        keep(values ? &values->modDistortion[ch] : nullptr, r);
        return dBPercentPart(ch, r > 0.0 ? 20.0 * std::log10(r) : kNoValue);
    };
    QString line = "Mod Dist:\t" + channelParts(ana, part);
    if (ana.bResultTextDetails)
        line += " |   Filter: " + filterNameOf(ana) + filterTail(ana, false);
    return line;
}

QString SignalNoiseLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    TPowerCache cache;
    return signalNoiseLine(in, ana, cache, values);
}

QString WowFlutterLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    const TEvalSettings settings = EvalSettingsOf(ana);
    auto part = [&](int ch) {
        const Tsamplemem* s = in.spectrum[ch];
        const bool carrier =
            present(s) && present(in.timeSignal[ch]) && FindFundamental(s, settings) > 0.0;
        const TWowFlutterResult r = WowFlutter(s, in.timeSignal[ch], settings, WowFlutterSettingsOf(ana));
        keep(values ? &values->wowFlutter[ch] : nullptr, r);
        if (!carrier) return channelLabel(ch) + " no fundamental wave";
        const QString t = channelLabel(ch) + QString::asprintf("%1.4f", r.percent) + "% ";
        if (!ana.bResultTextDetails) return t;
        static const char* const kModes[] = {"W && F", "Wow", "Flutter"};
        const int mode = ana.WuFmode <= eFlutter ? int(ana.WuFmode) : 0;
        return t + " " + " | Mode: " + kModes[mode] + " | Meas. Standard: " + ana.WuFFilter +
               " | Bandpass: " + (ana.WuFBP ? "On" : "Off") +
               " | Drift: " + QString::asprintf("%1.2f%%", r.drift);
    };
    return "W && F:\t" + channelParts(ana, part) + filterTail(ana, false);
}

QStringList BuildResultText(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values) {
    QStringList lines;
    TPowerCache cache; // every line reads the same spectra
    if (ana.bLevelmess) lines << levelLine(in, ana, cache, values);
    if (ana.bTHDmess) lines << distLine(in, ana, cache, values);
    if (ana.bIMmess) lines << IMDLine(in, ana, values);
    if (ana.bModDistMess) lines << ModDistLine(in, ana, values);
    if (ana.bSignal2Noisemess) lines << signalNoiseLine(in, ana, cache, values);
    if (ana.bWuFmess) lines << WowFlutterLine(in, ana, values);
    return lines;
}

double MeasuredFundamental(const TResultValues& values) {
    for (const TDistortionResult* r : {&values.distortion[0], &values.distortion[1], &values.noise[0], &values.noise[1]})
        if (r->fundamental > 0.0) return r->peakFrequency;
    return 0.0;
}

QString HarmonicSetText(int32_t Hx) {
    if ((Hx & kHarmonicBits) == kHarmonicBits) return QStringLiteral("THD");
    QStringList h;
    for (int i = 2; i <= 9; ++i)
        if (Hx & (1 << (i - 1))) h << "H" + QString::number(i);
    return h.join('+');
}
