// The distortion-versus-power measurement: settings, generator copy, start and stop of the engine.
#include "measurements/tPowDistMeas.h"

#include "base/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/IDiagramHost.h"
#include "dsp/corObj.h"

#include <algorithm>

namespace {

const char* const kSection = "POWTHD";
const char* const kTopic = "powThdmeas";

std::unique_ptr<Tcorri> copyOf(const Tcorri* c) { return c ? std::make_unique<Tcorri>(*c) : nullptr; }

} // namespace

tPowDistMeas::tPowDistMeas(IDiagramHost* host) : m_host(host)
{
    m_engine.onRun = [this](bool on) { fMeasrun = on; };
}

tPowDistMeas::~tPowDistMeas()
{
    if (AnaFFTdM) DeInit(0);
}

eMeasRes tPowDistMeas::Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                            const Tcorri* dCor)
{
    tMeasureObj::Init(para1, para2, iCor, oCor, dCor);
    AnaFFTdM = para1;
    AnadataM = para2;
    SetCors(iCor, oCor, dCor);
    LoadFromIni(m_iniFile);
    if (const TwaveGO* go = soundDLL().usable() ? soundDLL().waveGO() : nullptr) {
        SoundMerk = *go;
        m_haveSoundMerk = true;
    }
    m_engine.initPowThd(m_host, inCor.get(), outCor.get());
    return mereOK;
}

eMeasRes tPowDistMeas::DeInit(int32_t para)
{
    TsoundDLLImpDyn& dll = soundDLL();
    m_engine.deinitPowThd();
    if (m_haveSoundMerk && dll.usable() && dll.waveGO()) *dll.waveGO() = SoundMerk;
    m_haveSoundMerk = false;
    saveToINI(m_iniFile);
    if (dll.usable()) {
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        dll.SDStartSoundOut(0);
        dll.SDStartSoundIn(0);
    }
    AnaFFTdM = nullptr;
    AnadataM = nullptr;
    return tMeasureObj::DeInit(para);
}

eMeasRes tPowDistMeas::Mstart(int32_t para)
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_engine.sweepruns()) {
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        m_engine.sweepStop();
    } else if (para != -1) {
        // The module only reads the record.
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
        m_engine.sweepStart();
    }
    if (AnaFFTdM) toMain(cbmSetAverage, AnaFFTdM->AveValue);
    return mereOK;
}

eMeasRes tPowDistMeas::Mexecute(double)
{
    if (m_engine.sweepruns()) postMsg(&m_engine, MSG_POWTHD_STEP);
    return mereOK;
}

void tPowDistMeas::BuildDia()
{
    if (m_host) m_host->resetDiagram();
    toMain(cbmDiagramKind, 0);
}

// A settings file without the harmonic selection measures THD (H2..H9) rather than THD + N.
void tPowDistMeas::load(const TMemIniFile& ini)
{
    m_engine.set.load(ini, kSection);
    m_engine.PowFFTdat.LoadFFTfromIniL(ini, kTopic);
    m_engine.PowAnaDat.LoadAnafromIniL(ini, kTopic);
    if (!ini.ValueExists(kTopic, "Hx")) m_engine.PowAnaDat.Hx = 0x1FE;
    m_engine.PowAnaDat.bTHDmess = true;
    m_engine.PowAnaDat.bIMmess = m_engine.PowAnaDat.bLevelmess = m_engine.PowAnaDat.bSignal2Noisemess = false;
    m_engine.PowAnaDat.bModDistMess = m_engine.PowAnaDat.bWuFmess = false;
}

void tPowDistMeas::save(TMemIniFile& ini) const
{
    m_engine.set.save(ini, kSection);
    m_engine.PowFFTdat.SaveFFTtoIniL(ini, kTopic);
    m_engine.PowAnaDat.SaveAnatoIniL(ini, kTopic);
}

void tPowDistMeas::LoadFromIni(const QString& LOADname)
{
    if (LOADname.isEmpty()) return;
    const bool shared = m_sharedIni && LOADname == m_sharedIni->FileName();
    if (shared) {
        load(*m_sharedIni);
        return;
    }
    load(TMemIniFile(LOADname));
    if (m_host) m_host->loadDiagram(LOADname, kTopic);
}

void tPowDistMeas::saveToINI(const QString& savename)
{
    if (savename.isEmpty()) return;
    if (m_sharedIni && savename == m_sharedIni->FileName()) {
        save(*m_sharedIni);
        return;
    }
    TMemIniFile ini(savename);
    save(ini);
    ini.UpdateFile();
    if (m_host) m_host->saveDiagram(savename, kTopic);
}

eMeasRes tPowDistMeas::SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor)
{
    inCor = copyOf(iCor);
    outCor = copyOf(oCor);
    dispCor = copyOf(dCor);
    m_engine.initPowThd(m_host, inCor.get(), outCor.get());
    return mereOK;
}

eMeasRes tPowDistMeas::SetChannels(int32_t iCha, int32_t oCha)
{
    if (AnaFFTdM) {
        AnaFFTdM->fAnzICha = iCha;
        AnaFFTdM->fAnzOCha = oCha;
    }
    return mereOK;
}

QStringList tPowDistMeas::resultText() const
{
    const TPowThdForm& e = m_engine;
    const QString unit = e.set.PoDPowerMeas ? "W" : "mV";
    const QString thdUnit = e.PowAnaDat.DistortionUnitInPercent ? "%" : "dB";
    QStringList lines;
    for (size_t i = 0; i < e.PowThdsdx.size(); ++i) {
        if (!(e.PowThdsdx[i] > 0.0)) continue;
        QString l = QString::asprintf("Step %3d: %12.7f ", int(i) + 1, e.PowThdsdx[i]) + unit;
        if (e.set.PoDleftCH) l += QString::asprintf("  THD L %9.4f ", e.PowThdsd[0][i]) + thdUnit;
        if (e.set.PoDrightCH) l += QString::asprintf("  THD R %9.4f ", e.PowThdsd[1][i]) + thdUnit;
        lines << l;
    }
    return lines;
}

int32_t tPowDistMeas::framesDrawn() const
{
    return int32_t(std::count_if(m_engine.PowThdsdx.begin(), m_engine.PowThdsdx.end(), [](double x) { return x > 0.0; }));
}
