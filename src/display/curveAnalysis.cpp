// The curve analysis: FFT-length check, settings copies, level and distortion lines.
#include "display/curveAnalysis.h"

#include "analysis/AnaEval.h"
#include "dsp/FFtuli.h"

#include <cmath>
#include <memory>

namespace {

constexpr int32_t kNoiseBit = 1;         // Hx bit 0: noise
constexpr int32_t kHarmonicBits = 0x1FE; // Hx bits 1..8: H2..H9

// The settings copies of one analysis.
struct TAnalysisSetup {
    cFFTdat fft;
    cAnaPara ana;
    edBModi unit = dBMode_dbFS;
    std::unique_ptr<Tcorri> weighting;
};

// The window the curve was measured with, else the settings' one; a note saying which.
QString takeWindow(TAnalysisSetup& s, const Tcurve& c) {
    const bool stored = IsValidWindowKind(c.FFTwin);
    if (stored) s.fft.FFTwin = c.FFTwin;
    return QStringLiteral("Window:\t\"%1\" ").arg(QString::fromLatin1(WindowName(s.fft.FFTwin))) +
           (stored ? QStringLiteral("(stored with the curve)")
                   : QStringLiteral("(of the analysis settings: the curve does not name one)"));
}

// A stored transform size that disagrees with the points; the points decide the bin spacing.
QString sizeNote(const Tcurve& c, int32_t n) {
    if (c.SamplesFFT <= 0 || c.SamplesFFT == n) return {};
    return QStringLiteral("FFT size %1 stored with the curve does not match its %2 points: %3 taken")
        .arg(c.SamplesFFT).arg(c.OriY.samples()).arg(n);
}

void prepare(TAnalysisSetup& s, const Tcurve& c, const TLevelCalibration& cal, QStringList& notes) {
    const int32_t n = 2 * c.OriY.samples();
    notes << takeWindow(s, c);
    if (const QString note = sizeNote(c, n); !note.isEmpty()) notes << note;
    s.fft.SamplesFFT = n;
    s.ana.lsampFFTPoints = n;
    s.ana.fsampFreq = c.Sfreq;
    s.unit = c.FdbMode != dBmode_unknown ? c.FdbMode : s.fft.fdbMode;
    s.fft.setdBMode(s.unit);
    s.fft.fdbMode = s.unit;
    ApplyLevelCalibration(s.fft, cal);
    s.weighting = MakeWeighting(s.ana);
}

// "THD+N", "H2+H3", " S/N" and the fundamental, as the result text names a distortion.
QString distortionText(const cAnaPara& ana, double fundamental) {
    QString t = HarmonicSetText(ana.Hx);
    if ((ana.Hx & kNoiseBit) && (ana.Hx & kHarmonicBits)) t += "+N";
    return t + QString::asprintf(" @ %1.0fHz", fundamental);
}

QString levelLine(TAnalysisSetup& s, const Tcurve& c, double& level) {
    // The curve holds the spectrum as the diagram showed it, calibrated to its unit already;
    // calibrating again would shift the level by the unit's offset (5.43 dB in dBV at 497 mV).
    level = BandLevel(&c.OriY, s.ana, s.fft, false, 0, s.weighting.get(), s.unit);
    return QString::asprintf("Level:%s%6.2f%s ", "\t", level,
                             qPrintable(" " + curveLevelUnitText(s.unit)));
}

QString distortionLine(TAnalysisSetup& s, const Tcurve& c, double& dist) {
    TEvalSettings settings = EvalSettingsOf(s.ana);
    settings.window = s.fft.FFTwin;
    const TDistortionResult r = DistortionNoise(&c.OriY, settings, nullptr);
    dist = r.dB;
    if (!(r.fundamental > 0.0)) return QStringLiteral("no fundamental wave");
    if (dist == kEvalNoValue_dB || !std::isfinite(dist))
        return QStringLiteral("no distortion measured");
    const QString text = distortionText(s.ana, r.peakFrequency);
    if ((s.ana.Hx & (kNoiseBit | kHarmonicBits)) == kNoiseBit) // noise alone: S/N
        return "S/N:\t" + QString::asprintf("%1.1f", -dist) + " dB " + text;
    return "Dist.:\t" + QString::asprintf("%1.1f", dist) + "/" +
           QString::asprintf("%1.4f", std::pow(10.0, dist / 20.0) * 100.0) + " [dB/%] " + text;
}

} // namespace

bool isFFTCurveLength(int32_t points) {
    if (points < 32 || points > 524288) return false;
    return (points & (points - 1)) == 0;
}

QString curveLevelUnitText(edBModi unit) {
    static const char* const kUnits[] = {"dBFS", "dBV", "dBu", "dBm", "dBSPL",
                                         "Pa",   "mV",  "dB",  "Sone"};
    return unit <= dbMode_Sone ? QString::fromLatin1(kUnits[unit]) : QString();
}

TCurveAnalysis analyzeCurve(const Tcurve& c, const cFFTdat& fft, const cAnaPara& ana,
                            const TLevelCalibration& cal) {
    TCurveAnalysis r;
    if (!isFFTCurveLength(c.OriY.samples())) {
        r.error = kCurveNotFFTText;
        return r;
    }
    TAnalysisSetup s{fft, ana, dBMode_dbFS, nullptr};
    prepare(s, c, cal, r.notes);
    if (s.ana.bLevelmess) r.lines << levelLine(s, c, r.level);
    if (s.ana.bTHDmess) r.lines << distortionLine(s, c, r.distortion_dB);
    r.ok = true;
    return r;
}
