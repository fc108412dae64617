// The oscilloscope measurement: settings, start and stop of the input, one scope frame per block.
#include "measurements/tOSZImeas.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "display/IDiagramHost.h"
#include "measurements/TOsziScope.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace {

const char* const kTopic = "Oszi"; // FFT and analysis settings of mode 9
const char* const kScopeSection = "oszi";
constexpr int32_t kInitialBlock = 262144;

uint32_t fullScale(const std::vector<Tsamplemem>& blocks) {
    uint32_t bits = 0;
    for (size_t c = 0; c < blocks.size() && c < 32; ++c) {
        const double* x = blocks[c].smpoi();
        for (int32_t i = 0; i < blocks[c].samples(); ++i)
            if (std::abs(x[i]) >= 1.0) {
                bits |= 1u << c;
                break;
            }
    }
    return bits;
}

} // namespace

tOSZImeas::tOSZImeas(TOsziScope* scope, IDiagramHost* host) : m_scope(scope), m_host(host) {}

tOSZImeas::~tOSZImeas() {
    if (AnaFFTdM) DeInit(0);
}

eMeasRes tOSZImeas::Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                         const Tcorri* dCor) {
    tMeasureObj::Init(para1, para2, iCor, oCor, dCor);
    AnaFFTdM = para1;
    AnadataM = para2;
    if (AnaFFTdM) AnaFFTdM->MeasuringModeF = 9;
    LoadFromIni(m_iniFile);
    if (m_host) m_host->openSecondaryPanel(9);
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDSetFuturePara(2, kInitialBlock);
        m_scope->sampleFreq_Hz = dll.inSampleRate();
    }
    m_scope->settimeIdx(m_scope->d.timeBidx);
    BuildDia();
    repaint();
    theTime = 100.0;
    m_frames = 0;
    return mereOK;
}

eMeasRes tOSZImeas::DeInit(int32_t para) {
    saveToINI(m_iniFile);
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        dll.SDStartSoundIn(0);
    }
    m_scope->StartOszi(false);
    m_blocks.clear();
    AnaFFTdM = nullptr;
    AnadataM = nullptr;
    return tMeasureObj::DeInit(para);
}

bool tOSZImeas::startInput() {
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable()) return false;
    dll.SDSetCallBack(SD_CB_NEW_BLOCK, const_cast<SDMethod*>(&NewBlockMethod()));
    dll.SDSetFuturePara(2, m_scope->SDdp);
    if (dll.waveGI()) dll.waveGI()->Mode = 1;
    const int32_t st = dll.SDStartSoundIn(1);
    if ((st & 9) == 1) return true;
    vl::errorBox(dll.errorText(st) + ")");
    return false;
}

eMeasRes tOSZImeas::Mstart(int32_t para) {
    TsoundDLLImpDyn& dll = soundDLL();
    if (fMeasrun) {
        setMeasRun(false);
        dll.SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
        m_scope->StartOszi(false);
        const int32_t st = dll.usable() ? dll.SDStartSoundIn(0) : 0;
        if (st >> 16) vl::errorBox(dll.errorText(st) + ")");
        return mereOK;
    }
    if (para == -1) return mereOK;
    m_scope->sampleFreq_Hz = dll.usable() ? dll.inSampleRate() : m_scope->sampleFreq_Hz;
    const TLevelCalibration cal = m_calibration ? *m_calibration : TLevelCalibration{};
    m_scope->setEichmVss(TOsziScope::eichFor(cal.INPUT, cal.PreAmp_dBL));
    timebaseChanged();
    m_scope->StartOszi(true);
    setMeasRun(startInput());
    if (!fMeasrun) m_scope->StartOszi(false);
    return fMeasrun ? mereOK : mereFault;
}

void tOSZImeas::timebaseChanged() {
    TsoundDLLImpDyn& dll = soundDLL();
    m_scope->settimeIdx(m_scope->d.timeBidx);
    if (m_scope->d.AutoSampleRate && dll.usable()) {
        const int32_t was = dll.inSampleRate();
        const bool running = fMeasrun;
        const int32_t rate = m_scope->searchOptSF([&dll](int32_t r) {
            dll.SDStartSoundIn(0);
            dll.setInSampleRate(r);
            return (dll.SDStartSoundIn(1) & 9) == 1 && dll.inSampleRate() == r;
        });
        dll.SDStartSoundIn(0);
        dll.setInSampleRate(rate > 0 ? rate : was);
        m_scope->sampleFreq_Hz = dll.inSampleRate();
        m_scope->settimeIdx(m_scope->d.timeBidx);
        if (running) dll.SDStartSoundIn(1);
    }
    if (dll.usable()) dll.SDSetFuturePara(2, m_scope->SDdp);
}

eMeasRes tOSZImeas::Mexecute(double) {
    QElapsedTimer t;
    t.start();
    const int32_t n = m_scope->getSampleCount();
    if (m_blocks.size() != 2 || m_blocks[0].samples() != n) m_blocks.assign(2, Tsamplemem(n));
    TsoundDLLImpDyn& dll = soundDLL();
    if (!fMeasrun || !dll.usable()) return mereOK;
    TsmView* views[2] = {m_blocks[0].view(), m_blocks[1].view()};
    if (dll.SDgetSoundDatsCH(views, 1) == 0) return mereOK; // no data: the picture stays
    if (AnadataM) AnadataM->fsampFreq = m_scope->sampleFreq_Hz;
    m_over = fullScale(m_blocks);
    const int32_t len = std::min(m_blocks[0].samples(), m_blocks[1].samples());
    if (m_scope->doTheOszi(m_blocks[0].smpoi(), m_blocks[1].smpoi(), len)) ++m_frames;
    repaint();
    theTime = t.nsecsElapsed() / 1e6;
    return mereOK;
}

double tOSZImeas::calcGoodFrameRate_ms() {
    return std::min(theTime + m_frameResol_ms, 1000.0);
}

void tOSZImeas::BuildDia() {
    if (m_host) m_host->setFFTInfo(AnaFFTdM ? AnaFFTdM->SamplesFFT : 0, m_scope->sampleFreq_Hz);
    toMain(cbmDiagramKind, 0);
}

void tOSZImeas::load(const TMemIniFile& ini) {
    if (AnaFFTdM) AnaFFTdM->LoadFFTfromIniL(ini, kTopic);
    if (AnadataM) AnadataM->LoadAnafromIniL(ini, kTopic);
    if (AnaFFTdM) AnaFFTdM->MeasuringModeF = 9;
    LoadOsziData(ini, kScopeSection, m_scope->d, m_scope->scr);
}

void tOSZImeas::save(TMemIniFile& ini) const {
    if (AnaFFTdM) AnaFFTdM->SaveFFTtoIniL(ini, kTopic);
    if (AnadataM) AnadataM->SaveAnatoIniL(ini, kTopic);
    SaveOsziData(ini, kScopeSection, m_scope->d, m_scope->scr);
}

void tOSZImeas::LoadFromIni(const QString& LOADname) {
    if (LOADname.isEmpty()) return;
    if (m_sharedIni && LOADname == m_sharedIni->FileName()) {
        load(*m_sharedIni);
        return;
    }
    load(TMemIniFile(LOADname));
}

void tOSZImeas::saveToINI(const QString& savename) {
    if (savename.isEmpty()) return;
    if (m_sharedIni && savename == m_sharedIni->FileName()) {
        save(*m_sharedIni);
        return;
    }
    TMemIniFile ini(savename);
    save(ini);
    ini.UpdateFile();
}

eMeasRes tOSZImeas::SetChannels(int32_t iCha, int32_t oCha) {
    if (AnaFFTdM) {
        AnaFFTdM->fAnzICha = iCha;
        AnaFFTdM->fAnzOCha = oCha;
    }
    return mereOK;
}

QStringList tOSZImeas::resultText() const {
    QStringList lines;
    for (int c = 0; c < 2; ++c) {
        const TOsziReadout& r = m_scope->readout(c);
        if (!r.on || m_frames == 0) continue;
        lines << QString::asprintf("Scope ch%d: Vpp %.2f mV  Vrms %.2f mV  f %.3f Hz", c + 1,
                                   r.vpp_mV, r.vrms_mV, r.freq_Hz);
    }
    return lines;
}
