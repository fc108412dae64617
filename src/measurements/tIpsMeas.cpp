// The impulse measurement's life cycle, settings and shot start; the steps are in tIpsMeasSteps.cpp.
#include "measurements/tIpsMeas.h"
#include "measurements/TResultJson.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/IDiagramHost.h"
#include "display/TGdata.h"
#include "dsp/FFtuli.h"
#include "dsp/corObj.h"
#include "measurements/I3DWindow.h"

#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr intptr_t kStepWParam = 723;

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

TFipsForm::TFipsForm(tIpsMeas* owner) : m_owner(owner)
{
    Timer1.setInterval(50);
    QObject::connect(&Timer1, &QTimer::timeout, this, [this] { m_owner->repeatStatus(); });
}

bool TFipsForm::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() != TMsgEvent::eventType())
        return QObject::event(e);
    const auto* m = static_cast<TMsgEvent*>(e);
    if (m->msg == kMsgIpsStep && m->wParam == kStepWParam && m_owner)
        m_owner->onStepMessage(m->lParam);
    return true;
}

tIpsMeas::tIpsMeas(IDiagramHost* host, int32_t mode)
    : m_host(host), m_mode(mode), m_stepWnd(this), m_fftCtx(std::make_unique<FFtuliContext>())
{
}

tIpsMeas::~tIpsMeas()
{
    if (Gdata)
        Gdata->withdraw();
}

// ---- settings -----------------------------------------------------------------------------

bool tIpsMeas::isShared(const QString& name) const
{
    return m_sharedIni && m_sharedIni->FileName() == name;
}

void tIpsMeas::LoadFromIni(const QString& LOADname)
{
    if (!m_fft || LOADname.isEmpty())
        return;
    const bool shared = isShared(LOADname);
    const TMemIniFile disk(shared ? QString() : LOADname);
    const TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_mode);
    m_fft->LoadFFTfromIniL(ini, topic);
    if (AnadataM)
        AnadataM->LoadAnafromIniL(ini, topic);
    asyncMessTime = std::clamp(ini.ReadInteger(topic, "asyncMessTime", 10000), 100, 3600000);
    if (m_win3D && m_mode == 5)
        m_win3D->loadDia(ini, topic);
    if (m_host && m_mode != 5 && !shared)
        m_host->loadDiagram(LOADname, topic);
}

void tIpsMeas::saveToINI(const QString& savename)
{
    if (!m_fft || savename.isEmpty())
        return;
    const bool shared = isShared(savename);
    TMemIniFile disk(shared ? QString() : savename);
    TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_mode);
    m_fft->SaveFFTtoIniL(ini, topic);
    if (AnadataM)
        AnadataM->SaveAnatoIniL(ini, topic);
    ini.WriteInteger(topic, "asyncMessTime", asyncMessTime);
    if (m_win3D && m_mode == 5)
        m_win3D->saveDia(ini, topic);
    if (shared)
        return; // the main window saves its settings and the diagram's
    QString error;
    if (!ini.UpdateFile(&error))
        vl::errorBox("Error writing Ini-File " + savename + "\r\n" + error);
    if (m_host && m_mode != 5)
        m_host->saveDiagram(savename, topic);
}

eMeasRes tIpsMeas::SetCors(const Tcorri* iCor, const Tcorri*, const Tcorri* dCor)
{
    inCor = CopyOfCorrection(iCor);
    Dispcor = CopyOfCorrection(dCor);
    return mereOK;
}

eMeasRes tIpsMeas::SetChannels(int32_t iCha, int32_t oCha)
{
    if (m_fft) {
        m_fft->setAnzICha(iCha);
        m_fft->setAnzOCha(oCha);
    }
    return mereOK;
}

// ---- life cycle ---------------------------------------------------------------------------

eMeasRes tIpsMeas::Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                        const Tcorri* dCor)
{
    tMeasureObj::Init(para1, para2, iCor, oCor, dCor);
    m_fft = para1;
    AnadataM = para2;
    ipsStep = ipsInit;
    if (!m_fft)
        return mereOK;
    m_fft->MeasuringModeF = m_mode;
    m_fft->DiagramForm = m_mode == 5 ? Sample_3D : Sample_2D;
    Gdata = std::make_shared<TGdata>(m_fft);
    Gdata->MsgHandle = &m_stepWnd;
    LoadFromIni(m_iniFile);
    m_fft->MeasuringModeF = m_mode;
    m_fft->DiagramForm = m_mode == 5 ? Sample_3D : Sample_2D;
    m_fft->SampleOffset = 0;
    m_fft->ManFFTbeg_samp = -1;
    m_fft->echo_ms = -1;
    AveCounter = std::max(m_fft->AveValue, 1);
    if (AnadataM) {
        AnadataM->bTHDmess = AnadataM->bIMmess = AnadataM->bSignal2Noisemess = false;
        AnadataM->bModDistMess = AnadataM->bWuFmess = false;
    }
    SetCors(iCor, oCor, dCor);
    if (m_host)
        m_host->setIpsMarkers(&m_fft->triggLevel, &m_fft->echo_ms, &m_fft->ManFFTbeg_samp);
    toMain(cbmShowAveCounter, m_fft->AveValue);
    levLdbfs = levRdbFs = -192.0;
    toMain(cbmVULeft, -192);
    toMain(cbmVURight, -192);
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr) {
        SoundMerk = *go;
        m_haveSoundMerk = true;
        if (go->modeR < kIpsDirac || go->modeR > kIpsBurst)
            go->modeL = go->modeR = kIpsDirac;
        go->Conti = 0;
    }
    m_statusLog.clear();
    status(QString());
    BuildDia();
    return mereOK;
}

eMeasRes tIpsMeas::DeInit(int32_t para)
{
    ReCalcTimeDats.clear();
    inCor.reset();
    Dispcor.reset();
    status(QString());
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        dll.SDStartSoundOut(0);
        dll.SDStartSoundIn(0);
    }
    m_sumMag.clear();
    m_sumSecond.clear();
    saveToINI(m_iniFile);
    if (m_mode == 5) {
        if (m_win3D)
            m_win3D->show3D(false);
    } else if (m_host) {
        m_host->setIpsMarkers(nullptr, nullptr, nullptr);
        m_host->openSecondaryPanel(9999);
    }
    if (m_haveSoundMerk && dll.usable() && dll.waveGO())
        *dll.waveGO() = SoundMerk;
    if (Gdata)
        Gdata->withdraw();
    Gdata.reset();
    m_stepWnd.Timer1.stop();
    ipsStep = ipsParked;
    return tMeasureObj::DeInit(para);
}

void tIpsMeas::BuildDia()
{
    if (!m_fft)
        return;
    m_fft->echo_ms = -1;
    if (m_mode == 5) {
        if (m_win3D) {
            m_win3D->Clear3DDia();
            m_win3D->setFFTpoints(m_fft->SamplesFFT);
            m_win3D->setSF(sfiMeas);
            m_win3D->show3D(true);
        }
        toMain(cbmDiagramKind, 1);
        return;
    }
    if (m_host) {
        m_host->setIpsMarkers(&m_fft->triggLevel, &m_fft->echo_ms, &m_fft->ManFFTbeg_samp);
        m_host->openSecondaryPanel(9999);
        m_host->openSecondaryPanel(m_mode);
        m_host->setUnitTexts(QStringLiteral("dB"), m_fft->s2isGD ? QStringLiteral("ms") : QStringLiteral("deg"));
        m_host->setFFTInfo(m_fft->SamplesFFT, sfiMeas);
        m_host->setMarkerOn(false, false);
        m_host->resetDiagram();
        m_host->setYUnit(QStringLiteral("dB"));
        if (m_mode == 11)
            m_host->setXAxis(0, 2000, QStringLiteral("ms"));
    }
    toMain(cbmDiagramKind, 0);
}

// ---- start and stop -----------------------------------------------------------------------

eMeasRes tIpsMeas::Mstart(int32_t para)
{
    if (!m_fft || !Gdata)
        return mereOK;
    const bool running = getMeasRun() || (ipsStep != ipsInit && ipsStep != ipsParked);
    m_stopAsked = running; // a next shot already on its way must not start again
    if (running)
        ipsStep = ipsStop;
    else if (para != -1)
        ipsStep = ipsStart;
    if (m_host && soundDLL().usable())
        m_host->setCurveComments(soundDLL().channelNames('I'));
    m_fft->ManFFTbeg_samp = -1;
    AveCounter = std::max(m_fft->AveValue, 1);
    if (!running) {
        m_sumMag.clear();
        m_sumSecond.clear();
        shotsTaken = 0;
        m_ended = false;
    }
    toMain(cbmShowAveCounter, AveCounter);
    post(9996);
    return mereOK;
}

eMeasRes tIpsMeas::Mexecute(double)
{
    if (ipsStep <= ipsCollect && ipsStep >= ipsSearch && getMeasRun())
        post(9991); // with an external impulse the search also gives the VU levels
    return mereOK;
}

double tIpsMeas::startTime_ms()
{
    m_t1 = nowNs();
    return 0.0;
}

double tIpsMeas::readTime_ms() const
{
    return double(nowNs() - m_t1) / 1e6;
}

void tIpsMeas::post(intptr_t lParam)
{
    postMsg(&m_stepWnd, kMsgIpsStep, kStepWParam, lParam);
}

// Status texts go to the remark line (2D) or the 3D window's caption through command 5.
void tIpsMeas::status(const QString& s)
{
    m_status = s;
    m_statusLog << s;
    repeatStatus();
}

void tIpsMeas::repeatStatus()
{
    const QByteArray utf8 = m_status.toUtf8();
    toMain(cbmRemark, reinterpret_cast<intptr_t>(utf8.constData()));
    if (m_mode == 5 && onCaption)
        onCaption(m_status);
}

int32_t tIpsMeas::generatorMode() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    return go ? go->modeR : kIpsDirac;
}

int32_t tIpsMeas::getSampsize() const
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TwaveGO* go = dll.usable() ? dll.waveGO() : nullptr;
    const int32_t rate = sfiMeas > 0 ? sfiMeas : 48000;
    const int32_t bands = m_mode == 5 && m_win3D ? m_win3D->getZBands() : 0;
    if (!go)
        return IpsShotLength(kIpsDirac, m_fft->SamplesFFT, rate, 0, 0, 0, bands, m_fft->fft3Dstepping_ms);
    return IpsShotLength(go->modeR, m_fft->SamplesFFT, rate, go->MLSsize, go->AnzWave, go->GenFreqR, bands,
                         m_fft->fft3Dstepping_ms);
}

// The internal generator: input first, then the single signal; the shot is complete once the
// input has recorded its length (counted from the input's start, so nothing is missed).
bool tIpsMeas::StartSiSampSync()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable())
        return false;
    m_shotLen = getSampsize();
    if (TwaveGO* go = dll.waveGO())
        go->ToneDura_ms = -1;
    int32_t in = 0, out = 0;
    dll.SDgetSoundDatsPropsCH(&in, &out);
    if (TwaveGI* gi = dll.waveGI()) {
        gi->OneShotTime_samps = m_shotLen * std::max(in, 1);
        gi->Mode = 0;
    }
    dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
    dll.SDSetFuturePara(2, std::max(in, 1) * m_shotLen * 2);
    dll.SDStartSoundIn(0);
    const int32_t st = dll.SDStartSoundIn(1);
    if ((st & 9) != 1) {
        dll.SDStartSoundIn(0);
        dll.SDStartSoundOut(0);
        setMeasRun(false);
        vl::warningBox("dosample failed Sound DLL error:" + QString::number(st & 0xFF));
        return false;
    }
    // The signal goes out once the input is sure to hear it from its start.
    const TwaveGI* gi = dll.waveGI();
    const int latency_ms = gi ? std::clamp(gi->wfs.Latency, 0, 2000) : 0;
    if (latency_ms > 0)
        QTimer::singleShot(latency_ms, &m_stepWnd, [this] {
            if (getMeasRun() && ipsStep == ipsSearch)
                fireSignal();
        });
    else
        fireSignal();
    if (m_host && m_mode != 5)
        m_host->setTimeDiagramRange(m_shotLen * 1000.0 / std::max(sfiMeas, 1), QStringLiteral("FS"));
    if (m_fft->nextcurve && m_host)
        m_host->newCurveSet();
    return true;
}

void tIpsMeas::fireSignal()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (TwaveGO* go = dll.waveGO()) {
        if (m_mode != 11 && (go->modeR < kIpsDirac || go->modeR > kIpsBurst))
            go->modeL = go->modeR = kIpsDirac;
        go->Conti = 0;
        go->phaseL = go->phaseR = 0;
    }
    dll.SDStartSoundOut(0);
    m_firedAt = recorded();
    const int32_t so = dll.SDStartSoundOut(1);
    if ((so & 0x12) != 2)
        vl::warningBox("dosound failed " + QString::number(so & 0xFF));
    status(QStringLiteral("Start impulse and sample"));
}

// An external impulse: only the input runs; the trigger search looks at every new block.
bool tIpsMeas::StartSiSampAsync()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable())
        return false;
    m_shotLen = getSampsize();
    int32_t in = 0, out = 0;
    dll.SDgetSoundDatsPropsCH(&in, &out);
    if (TwaveGI* gi = dll.waveGI())
        gi->Mode = 1;
    dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
    setMeasRun(true);
    dll.SDSetFuturePara(2, std::max(in, 1) * m_shotLen * 2);
    dll.SDStartSoundIn(0);
    const int32_t st = dll.SDStartSoundIn(1);
    m_lastFetched = 0;
    if ((st & 9) != 1) {
        setMeasRun(false);
        vl::warningBox("dosample failed Sound DLL error:" + QString::number(st & 0xFF));
        return false;
    }
    if (m_fft->nextcurve && m_host)
        m_host->newCurveSet();
    return true;
}

// Peak levels of the last shot's response, and in the RT60 mode the reverberation table.
QJsonObject tIpsMeas::resultFigures() const
{
    if (m_shot.time.empty()) return {};
    QJsonObject o{{"kind", "impulse"},
                  {"peak_dBFS", QJsonArray{JsonNumber(m_shot.peak_dBFS[0]), JsonNumber(m_shot.peak_dBFS[1])}}};
    if (!m_shot.rt.octaves.empty() || m_shot.rt.broadband.t30 > 0.0 || m_shot.rt.broadband.edt > 0.0)
        o["rt60"] = RT60Table(m_shot.rt);
    return o;
}
