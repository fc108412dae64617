// The results file: settings and figures of the active measurement as a JSON document.
#include "measurements/TResultJson.h"

#include "core/TGenerator.h"
#include "dsp/corObj.h"
#include "dsp/evalThieleSmall.h"
#include "dsp/reverbTime.h"
#include "measurements/MeasurementClass.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

QJsonValue JsonNumber(double v)
{
    if (!std::isfinite(v) || v <= kEvalNoValue_dB) return QJsonValue(QJsonValue::Null);
    return v;
}

namespace {

QJsonObject methodOf(const TResultJsonSetup& s)
{
    QJsonObject m{{"sample_rate_Hz", s.sampleRate}};
    if (s.fft) {
        m["fft_size"] = s.fft->SamplesFFT;
        m["window"] = QString::fromLatin1(WindowName(s.fft->FFTwin));
        m["averaging"] = s.fft->AveValue;
        m["level_unit"] = LevelUnitLabel(*s.fft);
    }
    if (s.ana) {
        m["band_Hz"] = QJsonArray{s.ana->lfvon, s.ana->lfbis};
        m["weighting"] = IsNoWeighting(s.ana->filter) ? QStringLiteral("none") : s.ana->filter;
        m["harmonics"] = HarmonicSetText(s.ana->Hx);
        m["fundamental"] = s.ana->bFundAuto ? QJsonValue("auto") : QJsonValue(double(s.ana->fManualFundamental));
    }
    return m;
}

QJsonValue calibrationOf(const TLevelCalibration* c)
{
    if (!c) return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"input_full_scale_mV", c->INPUT},
                       {"output_mV", c->OUTPUT},
                       {"mic_sensitivity_mV_per_Pa", QJsonArray{c->MicSens_mVpPaL, c->MicSens_mVpPaR}},
                       {"preamp_gain_dB", QJsonArray{c->PreAmp_dBL, c->PreAmp_dBR}}};
}

QJsonObject generatorChannel(int mode, double freq, double level, bool on)
{
    return QJsonObject{{"on", on}, {"mode", vlgen::modeName(mode)}, {"frequency_Hz", freq},
                       {"level_dBFS", JsonNumber(level)}};
}

QJsonValue generatorOf(const TwaveGO* g)
{
    if (!g) return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"left", generatorChannel(g->modeL, g->GenFreqL, g->voldB_L, g->genOnL != 0)},
                       {"right", generatorChannel(g->modeR, g->GenFreqR, g->voldB_R, g->genOnR != 0)}};
}

QJsonValue correctionOf(const Tcorri* c, const QString& file)
{
    if (!c) return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"active", c->getaktiv() && c->getPaare() > 0}, {"file", file}};
}

// One channel's figures of the lines that are enabled.
QJsonObject channelFigures(const TResultValues& r, const cAnaPara& ana, int ch)
{
    QJsonObject o{{"channel", ch == 0 ? "left" : "right"}};
    if (ana.bLevelmess) o["level"] = JsonNumber(r.level[ch]);
    if (ana.bTHDmess) {
        const TDistortionResult& d = r.distortion[ch];
        o["thd_dB"] = JsonNumber(d.dB);
        o["thd_percent"] = d.dB > kEvalNoValue_dB ? JsonNumber(100.0 * std::pow(10.0, d.dB / 20.0)) : QJsonValue();
        o["fundamental_Hz"] = d.fundamental > 0.0 ? JsonNumber(d.peakFrequency) : QJsonValue();
    }
    if (ana.bIMmess) o["imd_dB"] = JsonNumber(r.imd_dB[ch]);
    if (ana.bModDistMess)
        o["mod_distortion_dB"] = r.modDistortion[ch] > 0.0 ? JsonNumber(20.0 * std::log10(r.modDistortion[ch])) : QJsonValue();
    if (ana.bSignal2Noisemess) o["snr_dB"] = r.noise[ch].dB > kEvalNoValue_dB ? JsonNumber(-r.noise[ch].dB) : QJsonValue();
    if (ana.bWuFmess) {
        const TWowFlutterResult& w = r.wowFlutter[ch];
        o["wow_flutter_percent"] = w.measured ? JsonNumber(w.percent) : QJsonValue();
        o["wow_flutter_drift_percent"] = w.measured ? JsonNumber(w.drift) : QJsonValue();
    }
    return o;
}

} // namespace

QJsonObject SpectrumFigures(const TResultValues& r, const cAnaPara& ana, const QString& levelUnit)
{
    QJsonArray channels;
    if (ana.bResultTextLeft) channels.append(channelFigures(r, ana, 0));
    if (ana.bResultTextRight) channels.append(channelFigures(r, ana, 1));
    return QJsonObject{{"kind", "spectrum"}, {"level_unit", levelUnit}, {"channels", channels}};
}

QJsonArray PointList(const Tsamplemem& x, const Tsamplemem& y, const Tsamplemem* phase_deg)
{
    QJsonArray points;
    const int32_t n = std::min(x.samples(), y.samples());
    for (int32_t k = 0; k < n; ++k) {
        QJsonObject p{{"frequency_Hz", JsonNumber(x.getsmAr(k))}, {"value", JsonNumber(y.getsmAr(k))}};
        if (phase_deg && k < phase_deg->samples()) p["phase_deg"] = JsonNumber(phase_deg->getsmAr(k));
        points.append(p);
    }
    return points;
}

QJsonObject TSPFigures(const tTSP& t)
{
    auto found = [](double v) { return v > 0.0 ? JsonNumber(v) : QJsonValue(); };
    return QJsonObject{{"fs_Hz", found(t.fs)},      {"Re_ohm", found(t.Rdc)},    {"Zmax_ohm", found(t.Zmax)},
                       {"f1_Hz", found(t.f1)},      {"f2_Hz", found(t.f2)},      {"Qms", found(t.Qms)},
                       {"Qes", found(t.Qel)},       {"Qts", found(t.Qts)},       {"Mms_g", found(t.Mmd_g)},
                       {"Cms_mm_per_N", found(t.Cms_mmN)}, {"Vas_l", found(t.Vas_dm)}, {"Sd_cm2", found(t.Sd_cm)}};
}

QJsonArray RT60Table(const TRtResult& rt)
{
    auto row = [](const TRtBand& b) {
        auto t = [](double s) { return s > 0.0 ? JsonNumber(s) : QJsonValue(); };
        return QJsonObject{{"band_Hz", b.centreHz > 0.0 ? JsonNumber(b.centreHz) : QJsonValue("broadband")},
                           {"EDT_s", t(b.edt)}, {"T20_s", t(b.t20)}, {"T30_s", t(b.t30)},
                           {"noise_dB", b.noise_dB > -200.0 ? JsonNumber(b.noise_dB) : QJsonValue()}};
    };
    QJsonArray table{row(rt.broadband)};
    for (const TRtBand& b : rt.octaves) table.append(row(b));
    return table;
}

QJsonObject ResultsDocument(const TResultJsonSetup& s, const tMeasureObj* meas)
{
    return QJsonObject{{"format", "velmora-results"},
                       {"version", kResultsJsonVersion},
                       {"mode", s.mode},
                       {"mode_topic", MeasuringModeTopic(s.mode)},
                       {"sound_module", s.soundModule},
                       {"method", methodOf(s)},
                       {"calibration", calibrationOf(s.cal)},
                       {"generator", generatorOf(s.generator)},
                       {"input_correction", correctionOf(s.inputCorrection, s.inputCorrectionFile)},
                       {"figures", meas ? meas->resultFigures() : QJsonObject()}};
}

bool WriteResultsJson(const QString& file, const QJsonObject& doc, QString* error)
{
    QSaveFile f(file);
    if (f.open(QIODevice::WriteOnly) && f.write(QJsonDocument(doc).toJson(QJsonDocument::Indented)) >= 0 &&
        f.commit())
        return true;
    if (error) *error = "Cannot write " + QFileInfo(file).fileName() + ": " + f.errorString();
    return false;
}
