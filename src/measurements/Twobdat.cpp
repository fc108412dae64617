// The sweep's settings record: defaults, section "WOB" with its repair rules, and the step rules.
#include "measurements/Twobdat.h"

#include "analysis/tFilterBlockIni.h"
#include "base/TMemIniFile.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kSec = QStringLiteral("WOB");
constexpr int32_t kMaxSweepSteps = 1000; // the dialog's upper limit
const QString kTrackSection = QStringLiteral("SweepTrackFilter");

tmRefMess refOf(int v) { return v >= mRefRight && v <= mRefStereo ? tmRefMess(v) : mRefStereo; }
tmImpMode impOf(int v) { return v == mImpVar1 ? mImpVar1 : mImpVar2; }

} // namespace

Twobdat& ActiveWobDat()
{
    static Twobdat w;
    return w;
}

void SetWobDefaults(Twobdat& w)
{
    w.wobfrom = 20.0;
    w.wobto = 20000.0;
    w.wobSyncSteps = w.wobAnzSteps = 50;
    w.wobphase = false;
    w.wobconti = false;
    w.wobSync = true;
    w.waitOn1kHz = false;
    w.pmin = -90.0;
    w.pmax = 90.0;
    w.pegdigL = w.pegdigR = 0.0;
    w.startmess_ms = 100;
    w.totalasyncmess_s = 50;
    w.RefMess = mRefStereo;
    w.pause_s = 0;
    w.nextCurve = false;
    w.thresholdLevel_dB = -50.0;
    w.TrackFilter = false;
}

void ResetTrackFilter(tFilterBlock& block)
{
    block = tFilterBlock();
    block.aEq[0].SetParam(6, 8, 20.0, 0.0, 2.0, 0.0, 0.0, 0);
    block.bypass = false;
}

void Sweep_loadWobdatfromFile(Twobdat& w, TMemIniFile& ini)
{
    w.wobfrom = ini.ReadFloat(kSec, "FROMR", 20.0);
    if (!(w.wobfrom > 0.1)) // NaN too
        w.wobfrom = 20.0;
    w.wobto = ini.ReadFloat(kSec, "TOR", 22000.0);
    if (w.wobto == 0.0 || !std::isfinite(w.wobto))
        w.wobto = 20000.0;
    w.wobAnzSteps = ini.ReadInteger(kSec, "STEPSR", 50);
    w.wobSyncSteps = ini.ReadInteger(kSec, "SYNCSTEP", 50);
    // A negative count would make every buffer of the sweep negative in size: read like 0. A
    // count beyond what the dialog accepts comes from a damaged file and would claim gigabytes.
    for (int32_t* steps : {&w.wobAnzSteps, &w.wobSyncSteps}) {
        if (*steps <= 0)
            *steps = 50;
        *steps = std::min(*steps, kMaxSweepSteps);
    }
    w.pegdigL = ini.ReadFloat(kSec, "PEGDIGL", 0.0);
    w.pegdigR = ini.ReadFloat(kSec, "PEGDIGR", 0.0);
    w.wobSync = ini.ReadBool(kSec, "SYNC", true);
    w.wobconti = ini.ReadBool(kSec, "CONTI", false);
    w.woblin = ini.ReadBool(kSec, "METHODE", false);
    w.wobphase = ini.ReadBool(kSec, "PHASE", false);
    w.RefMess = refOf(ini.ReadInteger(kSec, "REFMESS", 2));
    w.pmin = ini.ReadFloat(kSec, "PMIN", -90.0);
    w.pmax = ini.ReadFloat(kSec, "PMAX", 90.0);
    w.startmess_ms = std::max(0, ini.ReadInteger(kSec, "STARTMESS", 100));
    w.totalasyncmess_s = ini.ReadInteger(kSec, "totalasyncmess", 50);
    w.Rs = ini.ReadFloat(kSec, "RS", 8.0);
    w.mImpMode = impOf(ini.ReadInteger(kSec, "mImpMode", 1));
    w.mSweepMode = ini.ReadInteger(kSec, "mSweepMode", 3);
    w.pause_s = std::max(0, ini.ReadInteger(kSec, "pause_s", 0));
    w.nextCurve = ini.ReadBool(kSec, "nextcurve", false);
    w.waitOn1kHz = ini.ReadBool(kSec, "waitOn1kHz", false);
    w.thresholdLevel_dB = ini.ReadFloat(kSec, "thresholdLevel_dB", -50.0);
    w.wobCC = ini.ReadBool(kSec, "wobCC", false);
    w.Rshunt = ini.ReadFloat(kSec, "Rshunt", 0.1);
    w.Ushunt_mV = ini.ReadFloat(kSec, "Ushunt_mV", 10.0);
    w.TrackFilter = ini.ReadBool(kSec, "TrackFilter", false);
    ResetTrackFilter(w.TrackFilterBlock);
    if (ini.SectionExists(kTrackSection))
        LoadfromIniMem(w.TrackFilterBlock, ini, kTrackSection);
}

void Sweep_saveWobdattoFile(const Twobdat& w, TMemIniFile& ini)
{
    ini.WriteFloat(kSec, "FROMR", w.wobfrom);
    ini.WriteFloat(kSec, "TOR", w.wobto);
    ini.WriteInteger(kSec, "STEPSR", w.wobAnzSteps);
    ini.WriteInteger(kSec, "SYNCSTEP", w.wobSyncSteps);
    ini.WriteFloat(kSec, "PEGDIGL", w.pegdigL);
    ini.WriteFloat(kSec, "PEGDIGR", w.pegdigR);
    ini.WriteBool(kSec, "SYNC", w.wobSync);
    ini.WriteBool(kSec, "CONTI", w.wobconti);
    ini.WriteBool(kSec, "METHODE", w.woblin);
    ini.WriteBool(kSec, "PHASE", w.wobphase);
    ini.WriteInteger(kSec, "REFMESS", int(w.RefMess));
    ini.WriteFloat(kSec, "PMIN", w.pmin);
    ini.WriteFloat(kSec, "PMAX", w.pmax);
    ini.WriteInteger(kSec, "STARTMESS", w.startmess_ms);
    ini.WriteInteger(kSec, "totalasyncmess", w.totalasyncmess_s);
    ini.WriteFloat(kSec, "RS", w.Rs);
    ini.WriteInteger(kSec, "mImpMode", int(w.mImpMode));
    ini.WriteInteger(kSec, "mSweepMode", w.mSweepMode);
    ini.WriteInteger(kSec, "pause_s", w.pause_s);
    ini.WriteBool(kSec, "nextcurve", w.nextCurve);
    ini.WriteBool(kSec, "waitOn1kHz", w.waitOn1kHz);
    ini.WriteFloat(kSec, "thresholdLevel_db", w.thresholdLevel_dB);
    ini.WriteBool(kSec, "wobCC", w.wobCC);
    ini.WriteFloat(kSec, "Rshunt", w.Rshunt);
    ini.WriteFloat(kSec, "Ushunt_mV", w.Ushunt_mV);
    ini.WriteBool(kSec, "TrackFilter", w.TrackFilter);
    SavetoIniMem(w.TrackFilterBlock, ini, kTrackSection);
}

QString RefMessName(tmRefMess r)
{
    switch (r) {
    case mRefRight: return QStringLiteral("RIGHTref");
    case mRefLeft: return QStringLiteral("LEFTref");
    default: return QStringLiteral("STEREOnoref");
    }
}

double SweepStepFrequency(double from, double to, int32_t n, int32_t k, bool linear)
{
    if (linear)
        return n > 1 ? from + (to - from) / double(n - 1) * k : from;
    if (n - 1 == 0 || from == 0.0)
        return 666.0;
    return std::exp(std::log(from) + std::log(to / from) / double(n - 1) * k);
}

TSweepTiming SweepTimingFor(int32_t mode, int32_t rate, int32_t samplesFFT)
{
    const int32_t r = std::max(rate, 1);
    const int32_t tbuf = 4 * int32_t(std::lround(524288.0 / r * 1000.0));
    if (mode == 6 || mode == 8)
        return {25, 100, std::min(500, tbuf)};
    if (mode == 7) {
        const int32_t a = int32_t(int64_t(samplesFFT) * 1000 / r);
        return {20, a + 20, std::min(a + 40, tbuf)};
    }
    return {20, 100, std::min(100000, tbuf)};
}

int32_t SweepMeasuringTime_ms(const TSweepTiming& t, double f)
{
    if (!(f > 0.0))
        return t.MAXTIM;
    const double p = t.AnzWELL * 1000.0 / f;
    double ms = p >= 0 ? std::nearbyint(p - 0.5) : std::nearbyint(p + 0.5); // ties to even
    ms = std::clamp(ms, double(t.MINTIM), double(t.MAXTIM));
    return int32_t(std::lround(ms));
}

int32_t SweepBlockLength(int32_t rate, int32_t mtime_ms)
{
    const int64_t n = int64_t(rate) * 2 * mtime_ms / 1000;
    return int32_t(n / 8 * 8);
}

int32_t SweepTHDFFTSize(double f) { return f > 1500.0 ? 4096 : 32768; }

int32_t ermiTHDStartmess(int32_t mode, double f, int32_t rate, int32_t startmess_ms, int32_t* ffts)
{
    const int32_t n = SweepTHDFFTSize(f);
    if (ffts)
        *ffts = n;
    if (mode != 7)
        return startmess_ms;
    return int32_t(std::lround(double(n) * 1000.0 / std::max(rate, 1))) + 150;
}
