// The FFT measurement's start, stop, settings and its chain of evaluation steps.
#include "measurements/tFFT2Dmeas.h"
#include "measurements/TResultJson.h"

#include "analysis/AnaEval.h"
#include "dsp/FFtuli.h"
#include "dsp/tFilterBlock.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/TGdata.h"
#include "display/IDiagramHost.h"
#include "measurements/I3DWindow.h"

#include <algorithm>
#include <cmath>
#include <sys/resource.h>

namespace {

constexpr int kMsgStep = 0x400 + 28;    // step message, also the diagram window's reply
constexpr intptr_t kStepWParam = 723;   // wParam of every step message
constexpr intptr_t kRunCurrent = 9990;  // lParam: run the current step
constexpr int kNiceBelowNormal = 5;     // nice value while measuring

} // namespace

bool TF2dMeas::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() != TMsgEvent::eventType())
        return QObject::event(e);
    const auto* m = static_cast<TMsgEvent*>(e);
    if (m->msg == kMsgStep && m->wParam == kStepWParam && m_owner)
        m_owner->onStepMessage(m->lParam);
    return true;
}

tFFT2Dmeas::tFFT2Dmeas(IDiagramHost* host)
    : m_host(host), m_stepWnd(this), m_transform(std::make_unique<FFtuliContext>())
{
}

tFFT2Dmeas::~tFFT2Dmeas()
{
    if (fMeasrun)
        setPriority(false);
    retirePackage();
}

// ---- settings and diagram -----------------------------------------------------------------

int32_t tFFT2Dmeas::CalcSampleMem() const
{
    if (!m_fft)
        return 0;
    int64_t extra = 0;
    if (DiaMode == Sample_3D)
        extra = std::llround(double(m_zBands) * m_fft->fft3Dstepping_ms * sfiMeas * 2.0 / 1000.0);
    const int64_t mem = int64_t(m_fft->SamplesFFT) + std::max<int64_t>(extra, 0);
    return int32_t((mem + 7) / 8 * 8);
}

QString tFFT2Dmeas::yUnit() const
{
    return m_fft && m_fft->fdbMode == dbMode_milliVolt ? QStringLiteral("mV") : QStringLiteral("dB");
}

void tFFT2Dmeas::BuildDia2D(bool Load)
{
    if (m_host && m_fft) {
        m_host->openSecondaryPanel(9999);
        m_host->openSecondaryPanel(m_fft->MeasuringModeF);
        if (Load && !m_iniFile.isEmpty() && !isShared(m_iniFile))
            m_host->loadDiagram(m_iniFile, MeasuringModeTopic(m_fft->MeasuringModeF));
        m_host->setUnitTexts(LevelUnitLabel(*m_fft), RightAxisUnitLabel(*m_fft));
        m_host->setFFTInfo(m_fft->SamplesFFT, sfiMeas);
        m_host->setMarkerOn(false, false);
        m_host->resetDiagram();
        m_host->setYUnit(yUnit());
    }
    toMain(cbmDiagramKind, 0);
}

void tFFT2Dmeas::BuildDia3D()
{
    if (m_win3D && m_fft) {
        m_win3D->setFFTpoints(m_fft->SamplesFFT);
        m_win3D->setSF(sfiMeas);
        m_win3D->Clear3DDia();
        m_win3D->show3D(true);
        m_zBands = m_win3D->getZBands();
    }
    toMain(cbmDiagramKind, 1);
}

bool tFFT2Dmeas::isShared(const QString& name) const
{
    return m_sharedIni && m_sharedIni->FileName() == name;
}

void tFFT2Dmeas::LoadFromIni(const QString& LOADname)
{
    if (!Gdata || !m_fft || LOADname.isEmpty())
        return;
    const bool shared = isShared(LOADname);
    const TMemIniFile disk(shared ? QString() : LOADname);
    const TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_fft->MeasuringModeF);
    m_fft->LoadFFTfromIniL(ini, topic);
    if (AnadataM)
        AnadataM->LoadAnafromIniL(ini, topic);
    m_fft->DiagramForm = DiaMode;
    if (m_win3D && DiaMode == Sample_3D)
        m_win3D->loadDia(ini, topic);
    if (m_host && DiaMode == Sample_2D && !shared)
        m_host->loadDiagram(LOADname, topic);
}

void tFFT2Dmeas::saveToINI(const QString& savename)
{
    if (!Gdata || !m_fft || savename.isEmpty())
        return;
    const bool shared = isShared(savename);
    TMemIniFile disk(shared ? QString() : savename);
    TMemIniFile& ini = shared ? *m_sharedIni : disk;
    const QString topic = MeasuringModeTopic(m_fft->MeasuringModeF);
    m_fft->SaveFFTtoIniL(ini, topic);
    if (AnadataM)
        AnadataM->SaveAnatoIniL(ini, topic);
    if (m_win3D && DiaMode == Sample_3D)
        m_win3D->saveDia(ini, topic);
    if (shared)
        return; // the main window saves its settings and the diagram's
    QString error;
    if (!ini.UpdateFile(&error))
        vl::errorBox("Error writing Ini-File " + savename + "\r\n" + error);
    if (m_host && DiaMode == Sample_2D)
        m_host->saveDiagram(savename, topic);
}

// ---- life cycle ---------------------------------------------------------------------------

eMeasRes tFFT2Dmeas::Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                          const Tcorri* dCor)
{
    tMeasureObj::Init(para1, para2, iCor, oCor, dCor);
    m_fft = para1;
    AnadataM = para2;
    if (!m_fft)
        return mereOK;
    newPackage();
    m_fft->DiagramForm = DiaMode == Sample_2D ? Sample_2D : Sample_3D;
    m_fft->MeasuringModeF = DiaMode == Sample_2D ? 1 : 2;
    SetCors(iCor, oCor, dCor);
    m_fft->SampleOffset = 0;
    m_average.setChannels(m_fft->fAnzICha);
    m_average.clear();
    LoadFromIni(m_iniFile);
    m_average.restart(m_fft->AveValue); // a new average starts with the loaded count
    prepareTransform();
    toMain(cbmShowAveCounter, m_fft->AveValue);
    if (DiaMode == Sample_2D)
        BuildDia2D(true);
    else
        BuildDia3D();
    if (m_host)
        m_host->setYUnit(yUnit());
    FFTstep = fsParked;
    return mereOK;
}

eMeasRes tFFT2Dmeas::DeInit(int32_t para)
{
    if (soundDLL().usable())
        soundDLL().SDStartSoundOut(0);
    MRun(false);
    saveToINI(m_iniFile);
    if (m_win3D && DiaMode == Sample_3D)
        m_win3D->show3D(false);
    retirePackage();
    inCor.reset();
    Dispcor.reset();
    if (m_host)
        m_host->openSecondaryPanel(9999);
    m_average.setChannels(0);
    return tMeasureObj::DeInit(para);
}

// The old package goes first: it frees the averaging memory that the new one makes.
void tFFT2Dmeas::newPackage()
{
    retirePackage();
    Gdata = std::make_shared<TGdata>(m_fft);
    Gdata->makeAsd(std::max(m_fft->fAnzICha, 0), 0);
    Gdata->MsgHandle = &m_stepWnd;
}

void tFFT2Dmeas::retirePackage()
{
    m_awaitingDraw = false;
    if (!Gdata)
        return;
    Gdata->withdraw();
    Gdata.reset();
}

eMeasRes tFFT2Dmeas::SetCors(const Tcorri* iCor, const Tcorri*, const Tcorri* dCor)
{
    inCor = CopyOfCorrection(iCor);
    Dispcor = CopyOfCorrection(dCor);
    return mereOK;
}

eMeasRes tFFT2Dmeas::SetChannels(int32_t iCha, int32_t oCha)
{
    if (!m_fft)
        return mereOK;
    m_fft->setAnzICha(iCha);
    m_fft->setAnzOCha(oCha);
    m_average.setChannels(m_fft->fAnzICha);
    m_average.resize(CalcSampleMem());
    return mereOK;
}

eMeasRes tFFT2Dmeas::Mstart(int32_t)
{
    if (!Gdata || !m_fft)
        return mereOK;
    MRun(!getMeasRun());
    m_average.restart(m_fft->AveValue);
    toMain(cbmShowAveCounter, m_average.counter());
    if (m_host && soundDLL().usable())
        m_host->setCurveComments(soundDLL().channelNames('I'));
    if (m_stepWnd.visible)
        m_stepWnd.Memo1 << QString::asprintf("SampleMem %lld", (long long)Tsamplemem::allocatedSamples());
    return mereOK;
}

bool tFFT2Dmeas::MRun(bool Run)
{
    if (Run) {
        FFTstep = fsStart;
    } else {
        FFTstep = fsStop;
        setMeasRun(false);
        if (soundDLL().usable()) {
            soundDLL().SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
            soundDLL().SDStartSoundIn(0);
        }
    }
    postStep();
    return Run;
}

eMeasRes tFFT2Dmeas::Mexecute(double)
{
    if (getMeasRun() && Gdata && !Gdata->Working && FFTstep == fsIdle) {
        FFTstep = fsFetch;
        postStep();
    }
    return mereOK;
}

void tFFT2Dmeas::setPriority(bool belowNormal)
{
    // Failure (no right to raise the priority again) is of no consequence.
    (void)setpriority(PRIO_PROCESS, 0, belowNormal ? kNiceBelowNormal : 0);
}

// ---- the chain ----------------------------------------------------------------------------

void tFFT2Dmeas::postStep(intptr_t lParam) { postMsg(&m_stepWnd, kMsgStep, kStepWParam, lParam); }

void tFFT2Dmeas::next()
{
    ++FFTstep;
    postStep();
}

void tFFT2Dmeas::advance(bool goOn)
{
    if (goOn)
        next();
}

bool tFFT2Dmeas::evaluateBlocks(std::vector<Tsamplemem> blocks)
{
    if (!Gdata || !m_fft || blocks.empty())
        return false;
    Gdata->makeAsd(int32_t(blocks.size()), 0);
    const int32_t len = blocks.front().samples();
    for (size_t ch = 0; ch < blocks.size(); ++ch) {
        Gdata->asdDia[ch] = std::move(blocks[ch]);
        Gdata->asdPh[ch] = Tsamplemem(len);
    }
    Gdata->Working = true;
    m_stepWnd.iR = std::max(0, len - m_fft->SamplesFFT);
    const bool done = stepFilter() && stepSpectrum() && stepAverage() && stepLogConvert() && stepResultText() &&
                      stepScale() && stepWeighting();
    Gdata->Working = false;
    return done;
}

void tFFT2Dmeas::onStepMessage(intptr_t lParam)
{
    if (!Gdata || !m_fft)
        return; // a message left over from before Init or after DeInit
    if (lParam == fsDone) {
        stepDone();
        return;
    }
    if (lParam < kRunCurrent)
        FFTstep = int32_t(lParam);
    switch (FFTstep) {
    case fsIdle:
        if (m_stepWnd.visible)
            m_stepWnd.Memo1 << QString::asprintf("%d Time: %1.2f", FFTstep, m_stepWnd.time);
        break;
    case fsFetch: advance(stepFetch()); break;
    case fsFilter: advance(stepFilter()); break;
    case fsSpectrum: advance(stepSpectrum()); break;
    case fsAverage: advance(stepAverage()); break;
    case fsLogConvert: advance(stepLogConvert()); break;
    case fsResultText: advance(stepResultText()); break;
    case fsScale: advance(stepScale()); break;
    case fsWeighting: advance(stepWeighting()); break;
    case fsSend: stepSend(); break;
    case fsStop: stepStop(); break;
    case fsStart: stepStart(); break;
    case 4: case 7: case 10: next(); break;
    default: break; // parked
    }
}

QJsonObject tFFT2Dmeas::resultFigures() const
{
    if (!AnadataM || !m_fft || m_resultLines.isEmpty()) return {};
    return SpectrumFigures(m_results, *AnadataM, LevelUnitLabel(*m_fft));
}

// The blocks of the last pass as step 2 left them (filtered when input filters are on).
std::vector<std::vector<double>> tFFT2Dmeas::recordedSignal() const
{
    return m_recorded;
}
