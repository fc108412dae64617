// The sweep measurement: settings, generator record, start and stop around the sweep engine.
#include "measurements/tSweepmeas.h"
#include "measurements/TResultJson.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "display/IDiagramHost.h"
#include "base/utils.h"
#include "measurements/TSPreport.h"
#include "measurements/TSPsettings.h"

#include <vector>

QString DiagramTopicFor(int32_t mode, tmRefMess ref)
{
    const QString topic = MeasuringModeTopic(mode);
    return mode == 3 || mode == 6 || mode == 7 || mode == 8 ? topic + RefMessName(ref) : topic;
}

tSweepmeas::tSweepmeas(IDiagramHost* host) : m_host(host) {}

tSweepmeas::~tSweepmeas()
{
    if (ActiveWobDat().wobAktiv)
        m_engine.closefreqgen();
}

bool tSweepmeas::isShared(const QString& name) const { return m_sharedIni && m_sharedIni->FileName() == name; }

eMeasRes tSweepmeas::Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                          const Tcorri* dCor)
{
    tMeasureObj::Init(para1, para2, iCor, oCor, dCor);
    AnaFFTdM = para1;
    AnadataM = para2;
    m_mode = para1 ? para1->MeasuringModeF : 3;
    m_engine.setAnalysis(para1, para2);
    SetCors(iCor, oCor, dCor);
    LoadFromIni(m_iniFile);
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr) {
        SoundMerk = *go;
        m_soundKept = true;
        go->modeL = go->modeR = 0;
    }
    if (AnaFFTdM)
        AnaFFTdM->DiagramForm = Samplesweep;
    m_engine.FprogressNE = [this] { if (m_progress) m_progress(); };
    m_engine.initFreqgen(m_host, inCor.get(), outCor.get(), m_mode);
    if (m_host)
        m_host->openSecondaryPanel(m_mode);
    m_engine.FsweepMeasNE = [this] { WobEvent(); };
    BuildDia();
    return mereOK;
}

eMeasRes tSweepmeas::DeInit(int32_t para)
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_soundKept && dll.usable() && dll.waveGO()) {
        TwaveGO* go = dll.waveGO();
        const Twfs wfs = go->wfs; // the format belongs to the module, not to the kept settings
        *go = SoundMerk;
        go->wfs = wfs;
    }
    saveToINI(m_iniFile);
    if (dll.usable()) {
        dll.SDStartSoundOut(0);
        dll.SDStartSoundIn(0);
    }
    m_engine.FprogressNE = nullptr;
    m_engine.FsweepMeasNE = nullptr;
    m_engine.closefreqgen();
    inCor.reset();
    outCor.reset();
    dispCor.reset();
    if (m_host)
        m_host->openSecondaryPanel(9999);
    return tMeasureObj::DeInit(para);
}

eMeasRes tSweepmeas::Mstart(int32_t para)
{
    if (getMeasRun() || m_engine.wobbelnAktiv()) {
        m_engine.STOPbutClick();
        setMeasRun(false);
    } else if (para != -1) {
        TsoundDLLImpDyn& dll = soundDLL();
        if (dll.usable())
            dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
        if (AnaFFTdM && m_calibration)
            ApplyLevelCalibration(*AnaFFTdM, *m_calibration);
        m_engine.sweepStart();
        if (m_host && dll.usable())
            m_host->setCurveComments(dll.channelNames('I'));
        setMeasRun(m_engine.wobbelnAktiv());
    }
    toMain(cbmSetAverage, AnaFFTdM ? AnaFFTdM->AveValue : 1);
    return mereOK;
}

eMeasRes tSweepmeas::Mexecute(double)
{
    if (getMeasRun())
        m_engine.ISoundData();
    setMeasRun(m_engine.wobbelnAktiv());
    return mereOK;
}

double tSweepmeas::calcGoodFrameRate_ms() { return ActiveWobDat().wobSync ? 0.0 : m_frameResol_ms; }

void tSweepmeas::WobEvent() { setMeasRun(m_engine.wobbelnAktiv()); }

void tSweepmeas::BuildDia()
{
    if (m_host) {
        m_host->resetDiagram();
        m_host->setFFTInfo(AnaFFTdM ? AnaFFTdM->SamplesFFT : 4096, sfiMeas);
    }
    toMain(cbmDiagramKind, 0);
}

void tSweepmeas::LoadFromIni(const QString& LOADname)
{
    if (!AnaFFTdM || LOADname.isEmpty())
        return;
    const bool shared = isShared(LOADname);
    TMemIniFile disk(shared ? QString() : LOADname);
    TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_mode);
    AnaFFTdM->LoadFFTfromIniL(ini, topic);
    if (AnadataM)
        AnadataM->LoadAnafromIniL(ini, topic);
    Sweep_loadWobdatfromFile(ActiveWobDat(), ini);
    TSP_loadfromFile(ActiveTSP(), ini);
    if (m_host && !shared)
        m_host->loadDiagram(LOADname, DiagramTopicFor(m_mode, ActiveWobDat().RefMess));
}

void tSweepmeas::saveToINI(const QString& savename)
{
    if (!AnaFFTdM || savename.isEmpty())
        return;
    const bool shared = isShared(savename);
    TMemIniFile disk(shared ? QString() : savename);
    TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_mode);
    AnaFFTdM->SaveFFTtoIniL(ini, topic);
    if (AnadataM)
        AnadataM->SaveAnatoIniL(ini, topic);
    Twobdat w = ActiveWobDat();
    w.mSweepMode = m_mode;
    Sweep_saveWobdattoFile(w, ini);
    TSP_savetoFile(ActiveTSP(), ini);
    if (shared)
        return; // the main window saves its settings and the diagram's
    QString error;
    if (!ini.UpdateFile(&error))
        vl::errorBox("Error writing Ini-File " + savename + "\r\n" + error);
    if (m_host)
        m_host->saveDiagram(savename, DiagramTopicFor(m_mode, ActiveWobDat().RefMess));
}

eMeasRes tSweepmeas::SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor)
{
    // The engine reads through these pointers: the objects stay, their curves are replaced.
    for (auto* p : {&inCor, &outCor, &dispCor})
        if (!*p)
            *p = std::make_unique<Tcorri>();
    *inCor = Tcorri();
    *outCor = Tcorri();
    *dispCor = Tcorri();
    if (iCor)
        inCor->copyfrom(*iCor);
    if (oCor)
        outCor->copyfrom(*oCor);
    if (dCor)
        dispCor->copyfrom(*dCor);
    inCor->setapplDir(1);
    outCor->setapplDir(1);
    return mereOK;
}

eMeasRes tSweepmeas::SetChannels(int32_t iCha, int32_t oCha)
{
    m_engine.SetChannels(iCha, oCha);
    return mereOK;
}

QStringList tSweepmeas::resultText() const
{
    QStringList lines;
    if (m_engine.lastSweep_s() > 0.0)
        lines << QString::asprintf("Sweep: %1.3f s, settling and measuring %1.3f s", m_engine.lastSweep_s(),
                                   m_engine.nominal_s());
    const Tsamplemem& x = m_engine.frequencies();
    const auto& y = m_engine.values();
    for (int32_t k = 0; k < x.samples(); ++k) {
        QString l = QString::asprintf("Step %d: %.2f Hz", k + 1, x.getsmAr(k));
        for (const Tsamplemem& c : y)
            l += QString::asprintf("  %.3f", c.getsmAr(k));
        lines << l;
    }
    if (m_mode == 8)
        lines << tspLines();
    return lines;
}

// The first curve evaluated as a first measurement on a copy of the parameters in force: the
// report's parameter lines, or the error text.
QStringList tSweepmeas::tspLines() const
{
    const Tsamplemem& x = m_engine.frequencies();
    const auto& y = m_engine.values();
    if (y.empty())
        return {};
    std::vector<double> F, Z;
    for (int32_t k = 0; k < x.samples(); ++k)
        if (x.getsmAr(k) > 0.0) {
            F.push_back(x.getsmAr(k));
            Z.push_back(y[0].getsmAr(k));
        }
    tTSP t = ActiveTSP();
    const int32_t code = TSPCalculation({Z, F}, {}, t);
    if (code != 0)
        return {TSPErrorText(code, t)};
    return TSPParameterLines(t, vlIsGerman());
}

uint32_t tSweepmeas::overloadedChannels() const
{
    const int32_t o = m_engine.OverL;
    return ((o & 0xFF) ? 1u : 0u) | ((o & 0xFF00) ? 2u : 0u);
}

// One point list per recorded series (level, or impedance, per channel); mode 8 adds the
// Thiele-Small record when the first curve yields one.
QJsonObject tSweepmeas::resultFigures() const
{
    const Tsamplemem& x = m_engine.frequencies();
    if (x.samples() == 0 || m_engine.values().empty()) return {};
    QJsonArray series;
    for (const Tsamplemem& y : m_engine.values()) series.append(PointList(x, y));
    QJsonObject o{{"kind", "sweep"}, {"sweep_mode", m_mode}, {"series", series}};
    if (m_mode == 8) {
        std::vector<double> F, Z;
        for (int32_t k = 0; k < x.samples(); ++k)
            if (x.getsmAr(k) > 0.0) {
                F.push_back(x.getsmAr(k));
                Z.push_back(m_engine.values()[0].getsmAr(k));
            }
        tTSP t = ActiveTSP();
        o["thiele_small"] = TSPCalculation({Z, F}, {}, t) == 0 ? QJsonValue(TSPFigures(t)) : QJsonValue();
    }
    return o;
}
