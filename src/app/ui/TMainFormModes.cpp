// The main window's controls and menus, the measuring modes, the start commands and the measurement's callback.
#include "app/ui/TMainForm.h"

#include "app/ui/graphicsFadeButtons.h"
#include "analysis/ui/TAnaDlg.h"
#include "base/utils.h"
#include "core/TGenerator.h"
#include "app/ui/TMainStatusBar.h"
#include "core/ui/TUpDown.h"
#include "core/winMessage.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tFFT2Dmeas.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Level units of the menu, in menu order; "dB" and "Sone" are hidden.
struct LevelUnitItem {
    const char* caption; // menu text
    edBModi unit;        // unit set by the item
    bool visible;        // shown in the menu
};
const LevelUnitItem kLevelUnits[] = {
    {"dBFS", dBMode_dbFS, true},  {"dB", dBMode_dB, false},       {"dBV", dbMode_dBV, true},
    {"dBu", dbMode_dBu, true},    {"dBm", dbMode_dBm, true},      {"dBSPL", dbMode_dBSPL, true},
    {"Pa (Sound Level)", dbMode_Pa, true}, {"Sone", dbMode_Sone, false}, {"mV", dbMode_milliVolt, true},
};

QLabel* smallLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QSlider* volumeBar(const QString& name, const QString& tip, QWidget* parent)
{
    auto* s = new QSlider(Qt::Vertical, parent);
    s->setObjectName(name);
    s->setRange(0, 100);
    s->setToolTip(tip);
    s->setFixedHeight(56);
    return s;
}

// Why an audio item of the Options menu is disabled.
QString audioMenuReason(bool output, bool linked)
{
    if (output) return linked ? QStringLiteral("Linked dialogs: use the input items") : QStringLiteral("Not while the output runs");
    return linked ? QStringLiteral("Not while the input or the output runs") : QStringLiteral("Not while the input runs");
}

} // namespace

// ---- building the window ------------------------------------------------------------------------

void TMainForm::buildButtons()
{
    auto make = [this](const char* name, const QString& caption) {
        auto* b = new TFadedButton(caption, this);
        b->setObjectName(name);
        b->setMinimumSize(84, 30);
        return b;
    };
    ButSetupInp = make("ButSetupInp", "Setup");
    ButManuell = make("ButManuell", "Recalculate");
    ButSoundOn = make("ButSoundOn", "Sound on");
    ButSetupOut = make("ButSetupOut", "Setup");
    ButSampleIn = make("ButSampleIn", "Start");
    connect(ButSampleIn, &QAbstractButton::clicked, this, [this] { startCommand(); });
    connect(ButSoundOn, &QAbstractButton::clicked, this, &TMainForm::soundOnCommand);
    connect(ButManuell, &QAbstractButton::clicked, this, &TMainForm::ButManuellClick);
    connect(ButSetupInp, &QAbstractButton::clicked, this, [this] {
        if (m_setupHandler) m_setupHandler();
    });
}

void TMainForm::buildControls()
{
    m_ctrlPanel = new QWidget(this);
    m_ctrlPanel->setObjectName("ctrlPanel");
    m_ctrlPanel->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(m_ctrlPanel);
    row->setContentsMargins(8, 6, 8, 6);
    for (QWidget* b : {static_cast<QWidget*>(ButSetupInp), static_cast<QWidget*>(ButSampleIn),
                       static_cast<QWidget*>(ButManuell)})
        row->addWidget(b);
    laAverage = smallLabel("Average", m_ctrlPanel);
    seAverVal = new QSpinBox(m_ctrlPanel);
    seAverVal->setObjectName("seAverVal");
    seAverVal->setRange(1, 10000);
    seAverVal->setValue(1);
    connect(seAverVal, &QSpinBox::valueChanged, this, [this](int v) { m_fft.AveValue = v; });
    row->addWidget(laAverage);
    row->addWidget(seAverVal);
    TBinVol = volumeBar("TBinVol", "Input volume", m_ctrlPanel);
    TBinVol->setValue(m_set.FGinVolume);
    connect(TBinVol, &QSlider::valueChanged, this, [this](int v) { m_set.FGinVolume = v; });
    row->addWidget(TBinVol);
    row->addSpacing(16);
    row->addWidget(ButSoundOn);
    row->addWidget(ButSetupOut);
    buildGeneratorEditor(row);
    m_sweepDisplay = new QWidget(m_ctrlPanel);
    m_sweepDisplay->setObjectName("sweepDisplay");
    auto* sw = new QVBoxLayout(m_sweepDisplay);
    sw->setContentsMargins(0, 0, 0, 0);
    for (const char* t : {"--- Hz", "L: --- dB", "R: --- dB"}) sw->addWidget(smallLabel(t, m_sweepDisplay));
    row->addWidget(m_sweepDisplay);
    TBoutVol = volumeBar("TBoutVol", "Output volume", m_ctrlPanel);
    TBoutVol->setValue(m_set.FGoutVolume);
    connect(TBoutVol, &QSlider::valueChanged, this, [this](int v) { m_set.FGoutVolume = v; });
    row->addWidget(TBoutVol);
    row->addStretch(1);
    laMem = smallLabel("GM 0", m_ctrlPanel);
    laMem->setObjectName("laMem");
    row->addWidget(laMem);
    buildVUTrigger();
}

void TMainForm::buildToolButtons()
{
    auto* bar = new QToolBar("Measurements", this);
    bar->setObjectName("measureTools");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_modeGroup = new QButtonGroup(this);
    m_modeGroup->setExclusive(true);
    for (int mode : kToolButtonModes) {
        auto* b = new QToolButton(bar);
        b->setText(ToolButtonCaption(mode));
        b->setToolTip(MeasModeInfo(mode).menuCaption);
        b->setCheckable(true);
        bar->addWidget(b);
        m_modeGroup->addButton(b, mode);
    }
    connect(m_modeGroup, &QButtonGroup::idClicked, this, &TMainForm::selectMeasuringMode);
    addToolBar(Qt::TopToolBarArea, bar);
    pressModeButton(measuringMode());
    connectModeButtonHelp();
}

void TMainForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    buildTextExportItems(file);
    buildInterchangeItems(file);
    buildPictureItems(file);
    m_acSoundOn = file->addAction("Sound On", this, &TMainForm::soundOnCommand);
    m_acSoundOn->setShortcut(Qt::Key_F3);
    m_acStartMeasure = file->addAction("Start Measure", this, [this] { startCommand(); });
    m_acStartMeasure->setShortcut(Qt::Key_F4);
    m_acStartMeasure->setEnabled(false);
    buildPrintItems(file);
    file->addSeparator();
    file->addAction("&Exit", this, &QWidget::close);
    buildEditMenu();
    buildMeasureMenu();
    buildAnalyzeMenu();
    buildToolsMenu();
    buildCorrectionMenu();
    buildOptionsMenu();
    buildHelpMenu();
}

void TMainForm::buildMeasureMenu()
{
    QMenu* m = menuBar()->addMenu("Measure");
    for (int mode : kMeasureMenuModes)
        m->addAction(MeasModeInfo(mode).menuCaption, this, [this, mode] { selectMeasuringMode(mode); });
}

void TMainForm::buildAnalyzeMenu()
{
    m_analyzeMenu = menuBar()->addMenu("&Analyze");
    m_analyzeMenu->addAction("Time Domain Filter [Input]", this, &TMainForm::openInputFilterEditor);
    m_analyzeMenu->addAction("&Analyze Dialog", this, &TMainForm::runAnalyzeDialog);
    buildAnalyzeExtras(m_analyzeMenu);
    m_levelUnitMenu = m_analyzeMenu->addMenu("Level Units");
    m_levelUnits = new QActionGroup(this);
    for (const LevelUnitItem& u : kLevelUnits) {
        QAction* a = m_levelUnitMenu->addAction(u.caption);
        a->setCheckable(true);
        a->setVisible(u.visible);
        a->setData(int(u.unit));
        m_levelUnits->addAction(a);
        const edBModi unit = u.unit;
        connect(a, &QAction::triggered, this, [this, unit] { levelUnitChosen(unit); });
    }
    checkLevelUnitItems();
}

void TMainForm::runAnalyzeDialog()
{
    for (;;) {
        const auto* fft = dynamic_cast<const tFFT2Dmeas*>(m_meas.get());
        TAnaDlg dlg(m_ana, vlLanguageCode(), fft ? MeasuredFundamental(fft->results()) : 0.0, this);
        const int result = m_runAnaDlg ? m_runAnaDlg(dlg) : dlg.exec();
        if (result != TAnaDlg::kApplyResult)
            break;
    }
}

void TMainForm::buildOptionsMenu()
{
    QMenu* opt = menuBar()->addMenu("&Options");
    m_altDLL = opt->addAction("Alternative sound DLL", this, &TMainForm::selectAlternativeDLL);
    m_altDLLSep = opt->addSeparator();
    buildMiscItem(opt);
    m_altDLL->setVisible(soundDLL().altDLLVisible());
    m_altDLLSep->setVisible(soundDLL().altDLLVisible());
    const int kinds[4] = {2, 3, 0, 1};
    m_outPopup = new QMenu(this);
    m_inPopup = new QMenu(this);
    for (int i = 0; i < 4; ++i) {
        const int kind = kinds[i];
        m_optAudio[i] = opt->addAction(QString(), this, [this, kind] { soundDialog(kind); });
        m_popAudio[i] = (i < 2 ? m_outPopup : m_inPopup)->addAction(QString(), this, [this, kind] { soundDialog(kind); });
    }
    QAction* link = opt->addAction("Link Audio-In/Out-Dialogs");
    link->setCheckable(true);
    link->setChecked(m_set.IODlgLink != 0);
    connect(link, &QAction::toggled, this, [this](bool on) {
        m_set.IODlgLink = on ? 10 : 0;
        refreshAudioMenus();
    });
    buildCalibrationItems(opt);
    buildMixerItems(opt);
    connect(opt, &QMenu::aboutToShow, this, &TMainForm::refreshAudioMenus);
    connect(m_outPopup, &QMenu::aboutToShow, this, &TMainForm::refreshAudioMenus);
    connect(m_inPopup, &QMenu::aboutToShow, this, &TMainForm::refreshAudioMenus);
    refreshAudioMenus();
}

void TMainForm::refreshAudioMenus()
{
    const TAudioMenuState s = audioMenuState(soundDLL().SDgetSoundStatus(), m_set.IODlgLink != 0);
    const QString captions[4] = {s.outDevice, s.outParam, s.inDevice, s.inParam};
    for (int i = 0; i < 4; ++i)
        for (QAction* a : {m_optAudio[i], m_popAudio[i]}) {
            a->setText(captions[i]);
            a->setEnabled(i < 2 ? s.outEnabled : s.inEnabled);
            a->setStatusTip(a->isEnabled() ? QString() : audioMenuReason(i < 2, m_set.IODlgLink != 0));
        }
}

void TMainForm::buildStatusBar()
{
    m_status = new TMainStatusBar(this);
    m_status->setObjectName("mainStatus");
    statusBar()->addWidget(m_status, 1);
    connect(m_status, &TMainStatusBar::panelClicked, this, [this](int panel, QPoint at) {
        if (panel == 0) m_outPopup->popup(at);
        if (panel == 1) m_inPopup->popup(at);
    });
    m_status->setPanelText(3, calibPanelText(m_fft, m_calibration.INPUT));
}

void TMainForm::buildOverview()
{
    auto* central = new QWidget(this);
    auto* col = new QVBoxLayout(central);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    col->addWidget(m_ctrlPanel);
    m_diafrm = new Tdiafrm(central);
    m_diafrm->model().textSep = m_set.textSep == ' ' ? QChar(u' ') : QChar::fromLatin1(m_set.textSep);
    m_diafrm->colSoundOn = m_set.COLSOUNDON;
    m_diafrm->colSoundOff = m_set.COLSOUNDOFF;
    m_diafrm->mainWindowColour = m_set.COLFORM;
    connect(m_diafrm, &Tdiafrm::soundColoursChanged, this, [this](uint32_t on, uint32_t off) {
        m_set.COLSOUNDON = on;
        m_set.COLSOUNDOFF = off;
        onInState();
        onOutState();
    });
    col->addWidget(m_diafrm, 1);
    subscribeDiagramChanges();
    build3DWindow(central, col);
    buildScopeWindow(central, col);
    // Over the diagram, outside its layout: where the eye is while measuring.
    m_overBanner = new QLabel(m_diafrm);
    m_overBanner->setObjectName("overloadBanner");
    m_overBanner->setStyleSheet("QLabel { background: #d01010; color: white; font-weight: bold; "
                                "padding: 6px 18px; border-radius: 4px; }");
    m_overBanner->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_overBanner->hide();
    // The sound-module overview folds away under the diagram.
    m_overviewToggle = new QToolButton(central);
    m_overviewToggle->setObjectName("overviewToggle");
    m_overviewToggle->setText("Sound module details");
    m_overviewToggle->setCheckable(true);
    m_overviewToggle->setAutoRaise(true);
    m_overviewToggle->setArrowType(Qt::RightArrow);
    m_overviewToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_overview = new QLabel(central);
    m_overview->setTextFormat(Qt::PlainText);
    m_overview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_overview->setContentsMargins(16, 0, 16, 6);
    m_overview->setVisible(false);
    connect(m_overviewToggle, &QToolButton::toggled, this, [this](bool on) {
        m_overview->setVisible(on);
        m_overviewToggle->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
    });
    col->addWidget(m_overviewToggle, 0, Qt::AlignLeft);
    col->addWidget(m_overview);
    setCentralWidget(central);
    m_diaTopic = MeasuringModeTopic(m_options.startMode >= 0 ? m_options.startMode : m_set.measuringmode);
    hostSecondaryFor(m_options.startMode >= 0 ? m_options.startMode : m_set.measuringmode);
    m_diafrm->loadDia(m_ini, m_diaTopic, diagramDefaults());
    refreshSoundTexts();
}

QString TMainForm::overloadBanner() const
{
    return m_overBanner->isVisibleTo(m_diafrm) ? m_overBanner->text() : QString();
}

QString TMainForm::overviewText() const { return m_overview ? m_overview->text() : QString(); }

void TMainForm::refreshSoundTexts()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_startAction != eSoundStart::ssOK) {
        m_overview->setText("No sound module is running.");
        return;
    }
    QStringList lines;
    lines << "Sound module:\t" + dll.description(SD_Q_DESCRIPTION, 120) + "  (" + m_set.SoundDLLname + ", V" +
                 QString::number(dll.version() / 100.0, 'f', 2) + ")";
    lines << "Input device:\t" + dll.inDeviceName() + "  " + dll.inFormatText();
    lines << "Input channels:\t" + dll.channelNames('I').join(", ");
    lines << "Output device:\t" + dll.outDeviceName() + "  " + dll.outFormatText();
    lines << "Output channels:\t" + dll.channelNames('O').join(", ");
    lines << "Module folder:\t" + dll.folder();
    m_overview->setText(lines.join('\n'));
}

void TMainForm::applyColours()
{
    QPalette pal = m_ctrlPanel->palette();
    pal.setColor(QPalette::Window, fadeQColor(m_set.COLFORM));
    m_ctrlPanel->setPalette(pal);
    ButSetupInp->setButtonColor(m_set.COLFORM);
    ButSetupOut->setButtonColor(m_set.COLFORM);
}

QAbstractButton* TMainForm::modeButton(int mode) const { return m_modeGroup ? m_modeGroup->button(mode) : nullptr; }
QAbstractButton* TMainForm::startButton() const { return ButSampleIn; }
QAbstractButton* TMainForm::soundButton() const { return ButSoundOn; }
QWidget* TMainForm::controlFor(const QString& objectName) const { return findChild<QWidget*>(objectName); }

// ---- measuring modes ----------------------------------------------------------------------------

void TMainForm::selectMeasuringMode(int MM)
{
    ClearPresets(0);
    setMeasuringModeF(MM);
}

void TMainForm::releaseFuncMM(int MM)
{
    static_cast<void>(MM);
    m_startHandler = nullptr;
    m_setupHandler = nullptr;
    m_acStartMeasure->setEnabled(false);
    m_acStartMeasure->setStatusTip(QStringLiteral("This measuring mode has no measurement to start"));
    ButSampleIn->setEnabled(false);
    if (m_meas) {
        m_meas->DeInit(0);
        m_meas.reset();
    }
    soundDLL().SDSetFuturePara(1, separatorCode());
}

void TMainForm::setMeasuringModeF(int MM)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TsoundDLLImpDyn& dll = soundDLL();
    // The old mode's diagram is saved before the new measurement builds its own diagram.
    saveDiagramSettings();
    releaseFuncMM(measuringMode());
    // What the previous mode measured means nothing in the new one: its curves and result
    // lines go before the new measurement sets up the diagram. The same mode again keeps them.
    if (MM != measuringMode() && m_diafrm) clearDiagramData();
    m_fft.MeasuringModeF = MM;
    dll.SDgetSoundOutAdr(1);
    dll.SDgetSoundInAdr(1);
    ButSampleIn->setCaption("Start");
    const TMeasModeInfo& info = MeasModeInfo(MM);
    m_meas = CreateMeasurement(MM);
    if (m_meas) {
        m_meas->SetMeasCallback([this](int32_t cmd, intptr_t para) { CBfromMeas(cmd, para); });
        // A preset being executed is what the new measurement reads; it saves where it was told.
        const QString saveFile = m_meas->settingsFile();
        if (m_presetIni) m_meas->setSettingsFile(m_presetFile);
        m_meas->Init(&m_fft, &m_ana, &m_cors->curve(TCorrectionSet::Input),
                     &m_cors->curve(TCorrectionSet::Output), &m_dispCor);
        m_meas->setSettingsFile(saveFile);
        bindStart(info);
        if (info.setup == sdFFT) m_setupHandler = [this] { FFT1Click(); };
        if (info.setup == sdSweep) m_setupHandler = [this] { WobDialogButClick(); };
        if (info.setup == sdPowThd) m_setupHandler = [this] { PowThdDlgButClick(); };
        if (info.setup == sdOszi) m_setupHandler = [this] { OsziDlgButClick(); };
    }
    m_helpContext = info.helpContext;
    if (MM == 9) setLevelUnit(dbMode_dBV);
    markModeMenuItems(MM);
    if (m_meas) {
        int32_t in = 0, out = 0;
        dll.SDgetSoundDatsPropsCH(&in, &out);
        m_meas->SetChannels(in, out);
    }
    switchDiagramMode(MM);
    rebuildDisplayCorrection();
    VisualModeSettings(MM);
    refreshModePanel();
    if (MM != 0) refreshGeneratorDisplay();
    applyScopeMode(MM);
    QApplication::restoreOverrideCursor();
}

void TMainForm::bindStart(const TMeasModeInfo& info)
{
    switch (info.start) {
    case skBBdStart: m_startHandler = [this] { BBdStartClick(); }; break;
    case skBBsweepStart: m_startHandler = [this] { BBsweepStart(); }; break;
    case skBBPowThd: m_startHandler = [this] { BBPowThdMeasurementClick(); }; break;
    case skNone: m_startHandler = nullptr; break;
    }
    const bool bound = static_cast<bool>(m_startHandler);
    ButSampleIn->setEnabled(bound);
    m_acStartMeasure->setEnabled(bound);
    m_acStartMeasure->setStatusTip(bound ? QString() : QStringLiteral("This measuring mode has no measurement to start"));
    ButSampleIn->setToolTip(info.startAction ? QString(info.startAction) : QString());
}

void TMainForm::VisualModeSettings(int MM)
{
    const TModeControls c = ModeControls(MM, m_fft.asyncIps);
    pressModeButton(MM);
    ButSoundOn->setVisible(c.soundOut);
    ButSetupOut->setVisible(c.soundOut);
    if (!c.soundOut)
        for (QWidget* w : {static_cast<QWidget*>(LaWaveOut), static_cast<QWidget*>(spSoundPara),
                           static_cast<QWidget*>(UDSoundPara), static_cast<QWidget*>(LaWOunit)})
            w->setVisible(false);
    seAverVal->setVisible(c.average);
    laAverage->setVisible(c.average);
    m_sweepDisplay->setVisible(c.sweepDisplay);
    ButManuell->setVisible(c.recalculate);
    m_analyzeMenu->setEnabled(c.analyzeMenus);
    m_levelUnitMenu->setEnabled(c.analyzeMenus);
    const QString noAnalysis = c.analyzeMenus ? QString() : QStringLiteral("This measuring mode analyses no spectrum");
    m_analyzeMenu->menuAction()->setStatusTip(noAnalysis);
    m_levelUnitMenu->menuAction()->setStatusTip(noAnalysis);
    ButSetupInp->setEnabled(static_cast<bool>(m_setupHandler));
    applyVUTriggerMode(MM);
}

void TMainForm::pressModeButton(int mode)
{
    if (!m_modeGroup) return;
    const int pressed = MeasModeInfo(mode).toolButton;
    m_modeGroup->setExclusive(false);
    for (QAbstractButton* b : m_modeGroup->buttons()) b->setChecked(m_modeGroup->id(b) == pressed);
    m_modeGroup->setExclusive(true);
}

void TMainForm::refreshModePanel()
{
    if (!m_status) return;
    const int mode = measuringMode();
    const bool corr = m_cors && (m_cors->active(TCorrectionSet::Input) || m_cors->active(TCorrectionSet::Output));
    const TwaveGO* go = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    const QString signal = vlgen::impulseSignalText(go, m_fft.asyncIps, m_fft.SamplesFFT);
    m_status->setPanelText(4, mode == 0 ? QStringLiteral("G ")
                                        : modePanelText(mode, m_fft, QString(zustr), m_presetName, corr, signal,
                                                        m_pinkNoiseActive));
}

bool TMainForm::MeasRun() const { return m_meas && m_meas->getMeasRun(); }

// ---- start commands -----------------------------------------------------------------------------

bool TMainForm::startCommand()
{
    if (!m_startHandler) return false;
    const auto handler = m_startHandler; // the handler may rebind the start button
    handler();
    return true;
}

void TMainForm::BBdStartClick()
{
    m_frameGate.restart();
    startCommon();
}

// The sweep and power-distortion starts also clear the diagram's comment lines.
void TMainForm::BBsweepStart()
{
    m_diafrm->diagr2d().setRem2({});
    startCommon();
}

void TMainForm::BBPowThdMeasurementClick()
{
    m_diafrm->diagr2d().setRem2({});
    startCommon();
}

void TMainForm::ButManuellClick()
{
    m_fft.peakAuto = false;
    recalcImpulse();
}

// ---- level units --------------------------------------------------------------------------------

void TMainForm::setLevelUnit(edBModi unit)
{
    m_fft.setdBMode(unit);
    ApplyLevelCalibration(m_fft, m_calibration);
    checkLevelUnitItems();
    m_status->setPanelText(3, calibPanelText(m_fft, m_calibration.INPUT));
    if (m_diafrm) m_diafrm->setUnitTexts(LevelUnitLabel(m_fft), RightAxisUnitLabel(m_fft));
}

// A level unit from the menu: curves and result lines in the old unit mean nothing in the new
// one, so the diagram starts again on the new unit's axis.
void TMainForm::levelUnitChosen(edBModi unit)
{
    setLevelUnit(unit);
    if (!m_diafrm) return;
    clearDiagramData();
    m_diafrm->resetDiagram();
}

void TMainForm::checkLevelUnitItems()
{
    for (QAction* a : m_levelUnits->actions()) a->setChecked(a->data().toInt() == int(m_fft.fdbMode));
}

// ---- the measurement's callback -----------------------------------------------------------------

void TMainForm::CBfromMeas(int32_t cmd, intptr_t para)
{
    switch (cmd) {
    // Every pass reports the count; an unchanged one leaves the spin edit alone, which would
    // otherwise repaint (and drop what the user is typing into it) once per frame.
    case cbmSetAverage:
        if (seAverVal->value() != int(para)) seAverVal->setValue(int(para));
        break;
    case cbmShowAveCounter: {
        const QSignalBlocker block(seAverVal);
        if (seAverVal->value() != int(para)) seAverVal->setValue(int(para));
        break;
    }
    case cbmDiagramKind:
        show3DWindow(para == 1);
        checkLevelUnitItems();
        m_status->setPanelText(3, calibPanelText(m_fft, m_calibration.INPUT));
        break;
    case cbmRemark:
        m_remark = para ? QString::fromUtf8(reinterpret_cast<const char*>(para)) : QString();
        showRemark(m_remark);
        break;
    case cbmVULeft: m_vuLeft_dB = double(para); showVULevel(cmd, m_vuLeft_dB); break;
    case cbmVURight: m_vuRight_dB = double(para); showVULevel(cmd, m_vuRight_dB); break;
    case cbmRefreshSignal:
        refreshModePanel();
        onInText();
        break;
    default: break;
    }
}
