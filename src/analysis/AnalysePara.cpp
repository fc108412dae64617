// Analysis settings and parameters with their INI sections, level calibration, axis labels and
// the band level.
#include "analysis/AnalysePara.h"

#include "analysis/corObjMessages.h"
#include "dsp/evalLevel.h"

#include "base/TMemIniFile.h"
#include "base/utils.h"
#include "base/vlMessages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

constexpr double kMissing_dB = kEvalNoValue_dB; // marks a missing value in every dB quantity

constexpr std::array<const char*, 14> kTopics = {
    "nix",     "fft2d", "fft3d", "sweep",      "fftnah", "fftMLS", "imp",
    "thdmeas", "tsp",   "Oszi",  "powThdmeas", "RT60",   "Zeiger", "nonVis"};

// Stored values that no longer name a valid choice fall back to the given default.
int inRangeOr(int v, int lo, int hi, int def) {
    return v >= lo && v <= hi ? v : def;
}

bool sameSection(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// A float setting written as its shortest decimal form ("0.01", not "0.009999999776...").
void writeSingle(TMemIniFile& fini, const QString& sec, const QString& key, float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    double d = v;
    std::from_chars(buf, r.ptr, d);
    fini.WriteFloat(sec, key, d);
}

// An INI object whose file could not be read must not be written back: that would replace
// the whole unreadable file by our one section. A file that was set aside is safe to rewrite.
bool safeToWrite(const TMemIniFile& fini) {
    return fini.loadError().isEmpty() || !fini.keptAsideAs().isEmpty();
}

} // namespace

QString MeasuringModeTopic(int32_t mode) {
    const bool known = mode >= 0 && mode < int32_t(kTopics.size());
    return QString::fromLatin1(kTopics[known ? size_t(mode) : 0]);
}

// ---- cFFTdat ------------------------------------------------------------------------------

cFFTdat::cFFTdat() = default;

cFFTdat::cFFTdat(const cFFTdat& o) {
    *this = o;
}

// A copy is a new measurement's settings: it does not inherit the running state of an
// impulse measurement (continuous mode, manual FFT start).
cFFTdat& cFFTdat::operator=(const cFFTdat& o) {
    if (this == &o) return *this;
    fAnzICha = o.fAnzICha;
    fAnzOCha = o.fAnzOCha;
    MeasuringModeF = o.MeasuringModeF;
    DiagramForm = o.DiagramForm;
    SoneCor = o.SoneCor;
    sampdats = o.sampdats ? std::make_unique<Tsamplemem>(*o.sampdats) : nullptr;
    SamplesFFT = o.SamplesFFT;
    showbeforeIps_ms = o.showbeforeIps_ms;
    triggLevel = o.triggLevel;
    echo_ms = o.echo_ms;
    fftbeg_samp = o.fftbeg_samp;
    ManFFTbeg_samp = 0;
    fft3Dstepping_ms = o.fft3Dstepping_ms;
    SampleOffset = o.SampleOffset;
    AveValue = o.AveValue;
    Sbefore = o.Sbefore;
    FFTwin = o.FFTwin;
    NahConti = false;
    asyncIps = o.asyncIps;
    mlsAutoRecogn = o.mlsAutoRecogn;
    s2isphase = o.s2isphase;
    s2isGD = o.s2isGD;
    ips2ch = o.ips2ch;
    refmess = o.refmess;
    nextcurve = o.nextcurve;
    peakAuto = o.peakAuto;
    fdbMode = o.fdbMode;
    CorLFakL = o.CorLFakL;
    CorLFakR = o.CorLFakR;
    CorLOffsL = o.CorLOffsL;
    CorLOffsR = o.CorLOffsR;
    commentFFT = o.commentFFT;
    return *this;
}

void cFFTdat::setdBMode(edBModi amode, const QString& soneFile) {
    fdbMode = amode;
    SoneCor = Tcorri();
    if (amode != dbMode_Sone) return;
    const QString name =
        soneFile.isEmpty() ? vlCommonDataFolder() + QStringLiteral("sonecor.dpf") : soneFile;
    SoneCor.makeCorrArr(name.toStdString(), ' ', false, correctionMessageSink());
    SoneCor.setapplDir(-1); // corri(0, dBSPL, 0) then reads the table's Sone value
}

void cFFTdat::setAnzICha(int32_t cha) {
    fAnzICha = std::max(cha, 0);
}

void cFFTdat::saveFFTini(const QString& Fname) const {
    TMemIniFile ini(Fname);
    if (!safeToWrite(ini)) return;
    SaveFFTtoIniL(ini, MeasuringModeTopic(MeasuringModeF));
    ini.UpdateFile(); // the spectrum settings are not worth ending the program for
}

void cFFTdat::loadFFTini(const QString& Fname) {
    const TMemIniFile ini(Fname);
    if (!ini.loadError().isEmpty()) {
        vl::warningBox(ini.loadError());
        return;
    }
    LoadFFTfromIniL(ini, MeasuringModeTopic(MeasuringModeF));
}

// Keys in this order; "showbeforeIps_ms" is read but never written.
void cFFTdat::SaveFFTtoIniL(TMemIniFile& fini, const QString& T) const {
    fini.WriteInteger(T, "WIN", FFTwin);
    fini.WriteInteger(T, "SAMPLES", SamplesFFT);
    fini.WriteInteger(T, "AVERAGE", AveValue);
    fini.WriteInteger(T, "SBEFORE", Sbefore);
    fini.WriteInteger(T, "DBMODE", fdbMode);
    fini.WriteInteger(T, "DIAGRAMFORM", DiagramForm);
    fini.WriteFloat(T, "fft3Dstepping", fft3Dstepping_ms);
    fini.WriteFloat(T, "TECHO", echo_ms);
    fini.WriteInteger(T, "TFFTBEG", fftbeg_samp);
    fini.WriteFloat(T, "triggLevel", triggLevel);
    fini.WriteBool(T, "asyncIps", asyncIps);
    fini.WriteBool(T, "mlsAutoRecogn", mlsAutoRecogn);
    fini.WriteBool(T, "peakAuto", peakAuto);
    fini.WriteBool(T, "nextcurve", nextcurve);
    fini.WriteBool(T, "refmess", refmess);
    fini.WriteBool(T, "ips2ch", ips2ch);
    fini.WriteBool(T, "s2isphase", s2isphase);
    fini.WriteBool(T, "s2isGD", s2isGD);
    fini.WriteString(T, "COMMENT", commentFFT);
}

namespace {

// Sizes the transform cannot take: too small ones become the smallest size, anything else
// (too large, not a power of two) the default.
int32_t loadedFFTSize(int32_t v) {
    constexpr int32_t kDefault = 16384;
    constexpr int32_t kSmallest = 64;
    if (v < kSmallest) return kSmallest;
    return IsValidFFTSize(v) ? v : kDefault;
}

// Sone needs its table and is not restored at start; it comes back as dB SPL. Numbers that
// name no unit fall back to dBFS.
edBModi loadedUnit(int v) {
    if (v == dbMode_Sone) return dbMode_dBSPL;
    return edBModi(inRangeOr(v, dBMode_dbFS, dBMode_dB, dBMode_dbFS));
}

} // namespace

void cFFTdat::LoadFFTfromIniL(const TMemIniFile& f, const QString& T) {
    try {
        fft3Dstepping_ms = f.ReadFloat(T, "fft3Dstepping", 1.0);
        if (!(fft3Dstepping_ms > 0.0)) // a 3D run would never advance
            fft3Dstepping_ms = 1.0;
        commentFFT = f.ReadString(T, "COMMENT", "remark:");
        const bool impulse = sameSection(T, "fftnah") || sameSection(T, "fftMLS");
        FFTwin = inRangeOr(f.ReadInteger(T, "WIN", impulse ? 0 : 8), 0, 8, 0);
        SamplesFFT = loadedFFTSize(f.ReadInteger(T, "SAMPLES", 16384));
        AveValue = std::max(f.ReadInteger(T, "AVERAGE", 1), 1);
        setdBMode(loadedUnit(f.ReadInteger(T, "DBMODE", dBMode_dbFS)));
        Sbefore = std::max(f.ReadInteger(T, "SBEFORE", 0), 0);
        DiagramForm = eSampleMode(inRangeOr(f.ReadInteger(T, "DIAGRAMFORM", 0), 0, 4, 0));
        asyncIps = f.ReadBool(T, "asyncIps", false);
        mlsAutoRecogn = f.ReadBool(T, "mlsAutoRecogn", false);
        peakAuto = f.ReadBool(T, "peakAuto", false);
        nextcurve = f.ReadBool(T, "nextcurve", false);
        refmess = f.ReadBool(T, "refmess", false);
        // The second curve shows the phase or else the second channel; group delay is not
        // restored.
        s2isphase = f.ReadBool(T, "s2isphase", false);
        const bool gd = f.ReadBool(T, "s2isGD", false);
        s2isGD = false;
        ips2ch = !s2isphase && !gd;
        showbeforeIps_ms = f.ReadFloat(T, "showbeforeIps_ms", 10.0);
        echo_ms = -1.0;
        fftbeg_samp = std::max(f.ReadInteger(T, "TFFTBEG", 0), 0);
        triggLevel = f.ReadFloat(T, "triggLevel", 0.05);
    } catch (...) {
        // what was read so far stays
    }
}

// ---- cAnaPara -----------------------------------------------------------------------------

int32_t cAnaPara::countMeasLines() const {
    return int32_t(bLevelmess) + bIMmess + bTHDmess + bSignal2Noisemess + bWuFmess;
}

bool cAnaPara::SaveAnatoIni(const QString& Fname, const QString&) const {
    TMemIniFile ini(Fname);
    QString why = ini.loadError();
    if (safeToWrite(ini)) {
        SaveAnatoIniL(ini, "ANALYSE");
        if (ini.UpdateFile(&why)) return true;
    }
    // The program goes on: the message says what was lost, not that it ends.
    vl::errorBox("Error writing Ini-File " + Fname + "\r\n" + (why.isEmpty() ? QString() : why + "\r\n") +
                 "The analysis settings were not saved.");
    return false;
}

void cAnaPara::LoadAnafromIni(const QString& Fname, const QString&) {
    const TMemIniFile ini(Fname);
    if (!ini.loadError().isEmpty()) {
        vl::warningBox(ini.loadError());
        return;
    }
    LoadAnafromIniL(ini, "ANALYSE");
}

// Keys in this order.
void cAnaPara::SaveAnatoIniL(TMemIniFile& f, const QString& T) const {
    f.WriteBool(T, "THDMESS", bTHDmess);
    f.WriteBool(T, "IMMESS", bIMmess);
    f.WriteBool(T, "NOISEMESS", bLevelmess);
    f.WriteBool(T, "SNMESS", bSignal2Noisemess);
    f.WriteBool(T, "MODDIST", bModDistMess);
    f.WriteBool(T, "WUFMESS", bWuFmess);
    f.WriteInteger(T, "WUFfreq", WuFfreq);
    f.WriteString(T, "WUFfilter", WuFFilter);
    f.WriteInteger(T, "WUFefilter", WuFeFilter);
    f.WriteBool(T, "WUFeBP", WuFBP);
    f.WriteInteger(T, "WUFmodus", WuFmode);
    f.WriteBool(T, "FUNDAUTO", bFundAuto);
    f.WriteBool(T, "FILTERFFT", bFilterFFT);
    writeSingle(f, T, "FUNDAMENTAL", fManualFundamental);
    f.WriteInteger(T, "Hx", Hx);
    f.WriteBool(T, "DistortionUnitInPercent", DistortionUnitInPercent);
    f.WriteInteger(T, "FVON", lfvon);
    f.WriteInteger(T, "FBIS", lfbis);
    writeSingle(f, T, "FUNDLOW", fFundlow);
    f.WriteString(T, "FILTER", filter);
    f.WriteString(T, "USERFNAME", UserFname);
    f.WriteBool(T, "bResultTextLeft", bResultTextLeft);
    f.WriteBool(T, "bResultTextRight", bResultTextRight);
    f.WriteBool(T, "bResultTextDetails", bResultTextDetails);
    f.WriteInteger(T, "iResultTextSize", iResultTextSize);
}

namespace {

// A manual fundamental must be a frequency a sound card can produce.
float loadedFundamental(double v) {
    constexpr double kMaxHz = 1e6;
    return v >= 0.0 && v <= kMaxHz ? float(v) : 1000.0f;
}

// The threshold is a level at or below full scale (the dialog takes dB <= 0); 0 or less has
// no logarithm.
float loadedFundlow(double v) {
    return v > 0.0 && v <= 1.0 ? float(v) : 0.01f;
}

} // namespace

void cAnaPara::LoadAnafromIniL(const TMemIniFile& f, const QString& T) {
    try {
        bTHDmess = f.ReadBool(T, "THDMESS", false);
        bIMmess = f.ReadBool(T, "IMMESS", false);
        bLevelmess = f.ReadBool(T, "NOISEMESS", false);
        bSignal2Noisemess = f.ReadBool(T, "SNMESS", false);
        bModDistMess = f.ReadBool(T, "MODDIST", false);
        bWuFmess = f.ReadBool(T, "WUFMESS", false);
        WuFfreq = eWuFfreq(inRangeOr(f.ReadInteger(T, "WUFfreq", e3khz), e3khz, e315khz, e3khz));
        WuFFilter = f.ReadString(T, "WUFfilter", "none");
        WuFeFilter =
            eWuFMess(inRangeOr(f.ReadInteger(T, "WUFefilter", eDINIEC), eNab, eDINIEC, eDINIEC));
        WuFBP = f.ReadBool(T, "WUFeBP", true);
        WuFmode = eWuFModi(inRangeOr(f.ReadInteger(T, "WUFmodus", eWuF), eWuF, eFlutter, eWuF));
        iMeasLines = countMeasLines();
        bFundAuto = f.ReadBool(T, "FUNDAUTO", true);
        bFilterFFT = f.ReadBool(T, "FILTERFFT", false);
        fManualFundamental = loadedFundamental(f.ReadFloat(T, "FUNDAMENTAL", 1000.0));
        Hx = f.ReadInteger(T, "Hx", 65535);
        DistortionUnitInPercent = f.ReadBool(T, "DistortionUnitInPercent", false);
        lfvon = f.ReadInteger(T, "FVON", 100);
        lfbis = f.ReadInteger(T, "FBIS", 20000);
        fFundlow = loadedFundlow(f.ReadFloat(T, "FUNDLOW", 0.01));
        filter = f.ReadString(T, "FILTER", "none");
        UserFname = f.ReadString(T, "USERFNAME", QString());
        bResultTextLeft = f.ReadBool(T, "bResultTextLeft", true);
        bResultTextRight = f.ReadBool(T, "bResultTextRight", true);
        bResultTextDetails = f.ReadBool(T, "bResultTextDetails", true);
        iResultTextSize = inRangeOr(f.ReadInteger(T, "iResultTextSize", 11), 7, 144, 11);
    } catch (...) {
        // what was read so far stays
    }
}

// ---- level units --------------------------------------------------------------------------

bool IsLinearUnit(edBModi unit) {
    return unit == dbMode_Pa || unit == dbMode_milliVolt;
}

// Offsets turn 20*log10(magnitude) into the unit; factors turn a magnitude into Pa or mV.
// V is the RMS voltage of full scale, so 10^((P + 11.5)/20) * V is the millivolt reading of a
// magnitude of 1 and V / S the pascals of 1 mV at the microphone.
TLevelCorr LevelCorrFor(edBModi unit, const TLevelCalibration& cal, int channel) {
    const bool right = channel == 1;
    const double V = cal.INPUT;
    const double S = right ? cal.MicSens_mVpPaR : cal.MicSens_mVpPaL;
    const double P = (right ? cal.PreAmp_dBR : cal.PreAmp_dBL) + kSpectrumBinOffset_dB;
    switch (unit) {
    case dbMode_dBV:
        return {20.0 * std::log10(V / 1000.0) + P, 1.0};
    case dbMode_dBu:
    case dbMode_dBm:
        return {20.0 * std::log10(V / 775.0) + P, 1.0};
    case dbMode_dBSPL:
    case dbMode_Sone:
        return {20.0 * std::log10(V / S / 0.00002) + P, 1.0};
    case dbMode_Pa:
        return {0.0, std::pow(10.0, P / 20.0) * V / S};
    case dbMode_milliVolt:
        return {0.0, std::pow(10.0, P / 20.0) * V};
    case dBMode_dB:
        return {20.0 * std::log10(V / 1000.0) + P - 3.0, 1.0};
    default:
        return {P, 1.0}; // dBFS, and an unknown unit reads as dBFS
    }
}

void ApplyLevelCalibration(cFFTdat& fft, const TLevelCalibration& cal) {
    const TLevelCorr l = LevelCorrFor(fft.fdbMode, cal, 0);
    const TLevelCorr r = LevelCorrFor(fft.fdbMode, cal, 1);
    fft.CorLOffsL = l.offs;
    fft.CorLFakL = l.fak;
    fft.CorLOffsR = r.offs;
    fft.CorLFakR = r.fak;
}

TLevelCorr LevelCorrOf(const cFFTdat& fft, int channel) {
    if (channel == 1) return {fft.CorLOffsR, fft.CorLFakR};
    return {fft.CorLOffsL, fft.CorLFakL};
}

// ---- axis labels --------------------------------------------------------------------------

namespace {

QString baseUnitLabel(edBModi unit) {
    static const char* const kLabels[] = {"dBFS", "dBV", "dBu", "dBm",  "dBSPL",
                                          "Pa",   "mV",  "dB",  "dBSPL"};
    return unit <= dbMode_Sone ? QString::fromLatin1(kLabels[unit]) : QString();
}

QString distortionLabel(const TUnitLabelContext& ctx) {
    return ctx.distortionInPercent ? QStringLiteral("%") : QStringLiteral("dB");
}

bool sweepImpedance(const TUnitLabelContext& ctx) {
    return ctx.sweepActive && (ctx.sweepMode == 6 || ctx.sweepMode == 8);
}

bool sweepDistortion(const TUnitLabelContext& ctx) {
    return ctx.sweepActive && ctx.sweepMode == 7;
}

} // namespace

QString LevelUnitLabel(const cFFTdat& fft, const TUnitLabelContext& ctx) {
    if (sweepImpedance(ctx)) return QStringLiteral("Ohm");
    if (sweepDistortion(ctx) || fft.MeasuringModeF == 10) return distortionLabel(ctx);
    if (fft.MeasuringModeF == 11) return QStringLiteral("dB ");
    return baseUnitLabel(fft.fdbMode);
}

// The impulse modes (4, 5, 11) may show phase or group delay on the right axis; without
// either, RT60 (11) labels it as on the left.
QString RightAxisUnitLabel(const cFFTdat& fft, const TUnitLabelContext& ctx) {
    const int mode = fft.MeasuringModeF;
    if (mode == 4 || mode == 5 || mode == 11) {
        if (fft.s2isGD) return QStringLiteral("ms");
        if (fft.s2isphase) return QStringLiteral("°");
    }
    if (sweepImpedance(ctx) || (ctx.sweepActive && ctx.sweepShowsPhase)) return QStringLiteral("°");
    if (sweepDistortion(ctx) || mode == 10) return distortionLabel(ctx);
    if (mode == 11) return QStringLiteral("dB ");
    return baseUnitLabel(fft.fdbMode);
}

// ---- band level ---------------------------------------------------------------------------

double BandLevelOf(double L, const cFFTdat& fft, bool calibrate, int channel, edBModi unit) {
    const TLevelCorr corr = calibrate ? LevelCorrOf(fft, channel) : TLevelCorr{};
    const double wlf = WindowLevelFactor(fft.FFTwin);
    if (IsLinearUnit(unit)) return wlf * corr.fak * L;
    if (!(L * wlf > 0.0)) // no power, or a window kind without a level factor
        return kMissing_dB;
    const double level = corr.offs + 20.0 * std::log10(L * wlf);
    if (unit == dbMode_Sone && channel != 1) return fft.SoneCor.corri(0.0, level, 0.0);
    return level;
}

double BandLevel(const Tsamplemem* spectrum, const cAnaPara& ana, const cFFTdat& fft, bool calibrate,
                 int channel, const Tcorri* weighting, edBModi unit) {
    if (!spectrum || !spectrum->smpoi() || fft.SamplesFFT <= 0) return kMissing_dB;
    const int32_t bins = std::min(fft.SamplesFFT / 2, spectrum->samples());
    const double L = BandAmplitude(*spectrum, bins, ana.fsampFreq / fft.SamplesFFT, ana.lfvon,
                                   ana.lfbis, IsLinearUnit(unit), weighting);
    return BandLevelOf(L, fft, calibrate, channel, unit);
}
