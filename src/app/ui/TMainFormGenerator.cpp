// The main window's generator: settings of the module's records, the parameter editor and the
// output "Setup" dialog loop.
#include "app/ui/TMainForm.h"

#include "analysis/TOutputFilterPath.h"
#include "app/ui/graphicsFadeButtons.h"
#include "core/TGenParamEditor.h"
#include "core/TGenerator.h"
#include "core/ui/TFWaveSynthesis.h"
#include "core/ui/TSoundODlgF.h"
#include "core/ui/TUpDown.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

bool isImpulseMeasuringMode(int mode) { return mode == 4 || mode == 5 || mode == 11; }

} // namespace

// ---- settings of the module's records -----------------------------------------------------------

TFWaveSynthesis& TMainForm::waveSynthesis()
{
    if (!m_waveSynth) m_waveSynth = new TFWaveSynthesis(this);
    return *m_waveSynth;
}

void TMainForm::loadGeneratorSettings(const TMemIniFile& ini)
{
    TsoundDLLImpDyn& dll = soundDLL();
    // A stored synthesis formula goes through the synthesis dialog's check, which keeps it.
    auto check = [this](TWaf& w) {
        waveSynthesis().model.sfi = soundDLL().waveGO() ? vlgen::outRate(*soundDLL().waveGO()) : 48000;
        return waveSynthesis().CheckWaf(w);
    };
    if (TwaveGO* go = dll.waveGO()) vlgen::loadOSound(ini, *go, check);
    if (TwaveGI* gi = dll.waveGI()) vlgen::loadISound(ini, *gi);
    m_generatorLoaded = dll.waveGO() || dll.waveGI();
}

// The rate the output filters run at: the module's output rate, 48 kHz before it is known.
double TMainForm::outputFilterRate()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int rate = dll.usable() ? dll.outSampleRate() : 0;
    return rate > 0 ? double(rate) : TIIRObj::kDefaultDesignSampleRate;
}

void TMainForm::publishOutputFilters() { publishOutputBlocks(m_filterBlocks, outputFilterRate()); }

void TMainForm::writeGeneratorSettings(TMemIniFile& ini)
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (const TwaveGO* go = dll.waveGO()) vlgen::saveOSound(ini, *go);
    if (const TwaveGI* gi = dll.waveGI()) {
        vlgen::TSoundFormatInfo info;
        info.inRate = dll.inSampleRate();
        info.outRate = dll.outSampleRate();
        info.inBits = dll.inBits();
        info.outBits = dll.outBits();
        info.inWDM = dll.inWDM();
        info.outWDM = (dll.waveGO() && dll.waveGO()->wfs.Wf.wFormatTag == 0xFFFE);
        vlgen::saveISound(ini, *gi, info);
    }
}

// ---- parameter editor ---------------------------------------------------------------------------

void TMainForm::buildGeneratorEditor(QBoxLayout* row)
{
    LaWaveOut = new QLabel(m_ctrlPanel);
    LaWaveOut->setObjectName("LaWaveOut");
    spSoundPara = new QLineEdit(m_ctrlPanel);
    spSoundPara->setObjectName("spSoundPara");
    spSoundPara->setFixedWidth(96);
    spSoundPara->setAlignment(Qt::AlignRight);
    UDSoundPara = new TUpDown(m_ctrlPanel);
    UDSoundPara->setObjectName("UDSoundPara");
    LaWOunit = new QLabel(m_ctrlPanel);
    LaWOunit->setObjectName("LaWOunit");
    auto* col = new QVBoxLayout;
    col->setSpacing(2);
    col->addWidget(LaWaveOut);
    auto* edit = new QHBoxLayout;
    edit->setSpacing(1);
    edit->addWidget(spSoundPara);
    edit->addWidget(UDSoundPara);
    col->addLayout(edit);
    col->addWidget(LaWOunit);
    row->addLayout(col);
    connect(spSoundPara, &QLineEdit::textChanged, this, &TMainForm::soundParaTyped);
    connect(spSoundPara, &QLineEdit::returnPressed, this, &TMainForm::refreshGeneratorDisplay);
    connect(UDSoundPara, &TUpDown::stepped, this, &TMainForm::soundParaStepped);
    connect(ButSetupOut, &QAbstractButton::clicked, this, [this] { openGeneratorDialog(); });
}

void TMainForm::refreshGeneratorDisplay()
{
    if (!spSoundPara) return;
    const TwaveGO* go = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    const bool shown = ModeControls(measuringMode(), m_fft.asyncIps).soundOut && go;
    m_refreshingGen = true;
    if (!go) {
        for (QWidget* w : {static_cast<QWidget*>(LaWaveOut), static_cast<QWidget*>(spSoundPara),
                           static_cast<QWidget*>(UDSoundPara), static_cast<QWidget*>(LaWOunit)})
            w->setVisible(false);
        m_refreshingGen = false;
        return;
    }
    const TGenEditorView v = TGenParamEditor::display(*go);
    LaWaveOut->setText(v.modeName);
    LaWOunit->setText(v.unit);
    LaWaveOut->setVisible(shown);
    LaWOunit->setVisible(shown);
    spSoundPara->setVisible(shown && v.visible);
    UDSoundPara->setVisible(shown && v.visible && !v.readOnly);
    spSoundPara->setReadOnly(v.readOnly);
    if (!v.keepText) spSoundPara->setText(v.text);
    for (QWidget* w : {static_cast<QWidget*>(LaWaveOut), static_cast<QWidget*>(ButSoundOn),
                       static_cast<QWidget*>(ButSetupOut)})
        w->setToolTip(v.hint);
    m_refreshingGen = false;
    refreshModePanel();
}

void TMainForm::soundParaTyped(const QString& text)
{
    if (m_refreshingGen || !soundDLL().usable()) return;
    if (TwaveGO* go = soundDLL().waveGO()) TGenParamEditor::typed(*go, text, vlgen::outRate(*go));
}

void TMainForm::soundParaStepped(int delta)
{
    if (!soundDLL().usable()) return;
    if (TwaveGO* go = soundDLL().waveGO()) TGenParamEditor::step(*go, delta);
    refreshGeneratorDisplay();
}

void TMainForm::setPinkNoiseFilterActive(bool on)
{
    m_pinkNoiseActive = on;
    refreshModePanel();
}

// ---- output "Setup" -----------------------------------------------------------------------------

int TMainForm::openGeneratorDialog(const std::function<int(TSoundODlgF&)>& run)
{
    TsoundDLLImpDyn& dll = soundDLL();
    TSoundOutSetup setup;
    setup.target = dll.usable() ? dll.waveGO() : nullptr;
    setup.readStatus = [&dll] { return dll.SDgetSoundStatus(); };
    setup.impulseMeasurement = isImpulseMeasuringMode(measuringMode());
    setup.filters = &m_filterBlocks;
    setup.publishFilters = [this](const tFilterBlock& l, const tFilterBlock& r) {
        outputFilterPath().publish(l, r, outputFilterRate());
    };
    setup.afterCopy = [this] { refreshGeneratorDisplay(); };
    setup.filterEditor = [this](tFilterBlock& l, tFilterBlock& r, bool& link, const TOutFilterSelect::Publisher& publish) {
        return runFilterForm("Output Filter select", l, r, link, outputFilterRate(), [&publish](const tFilterBlock& a, const tFilterBlock& b) {
            if (publish) publish(a, b);
        });
    };
    setup.synthesis = [this](TWaf& waf) {
        const TwaveGO* go = soundDLL().waveGO();
        switch (runWaveSynthesis(waveSynthesis(), waf, go ? vlgen::outRate(*go) : 48000)) {
        case eWaveSynthResult::wsOK: return int(QDialog::Accepted);
        case eWaveSynthResult::wsApply: return TSoundODlgF::kApplyResult;
        case eWaveSynthResult::wsCancel: break;
        }
        return int(QDialog::Rejected);
    };
    return runSoundOutDialog(setup, this, run);
}
