// The main window: start-up and shutdown order, settings, activation and the window messages.
#include "app/ui/TMainForm.h"

#include "app/ui/graphicsFadeButtons.h"
#include "base/utils.h"
#include "base/vlHelp.h"
#include "base/vlMessages.h"
#include "analysis/TOutputFilterPath.h"
#include "analysis/tFilterBlockIni.h"
#include "analysis/Tmixu.h"
#include "core/TGenerator.h"
#include "dsp/Tsamplemem.h"
#include "app/ui/TMainStatusBar.h"
#include "core/ui/TSelSoundDLL.h"
#include "core/winMessage.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/Tdiafrm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QPrinter>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QWindow>

namespace {

// The module's callbacks: each only posts a message to the main window.
void cbInState() { PostToMain(MSG_IN_STATE); }
void cbOutState() { PostToMain(MSG_OUT_STATE); }
void cbInText() { PostToMain(MSG_IN_TEXT); }
void cbOutText() { PostToMain(MSG_OUT_TEXT); }

const char* const kProductName = "velmora30";
// Button colours (0x00BBGGRR): a time-domain filter is applied, the display failed.
constexpr uint32_t kColFilter = 0x80C0FF;
constexpr uint32_t kColFailed = 0x0000FF;
// The time diagram's share of the diagram height on a first start.
constexpr double kFirstRunTimeShare = 0.25;

// Busy cursor for the lifetime of the object.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TMainForm::TMainForm(const Options& options, QWidget* parent)
    : QMainWindow(parent), m_ini(settingsFileName()), m_options(options)
{
    // 1. buttons; messages are ignored until start-up ends
    SetMainClosing(true);
    SetMainMsgReceiver(this);
    buildButtons();
    // 2. help file of the interface language, in the folder the program started in
    m_helpFile = vlStartFolder() + (vlLanguageCode() == 'D' ? "vlmr30_ger.chm" : "vlmr30_eng.chm");
    // 3. analysis settings, corrections, caption, separator
    m_cors = std::make_unique<TCorrectionSet>(vlLanguageCode());
    setWindowTitle("Velmora  V " + vlVersionText(vlProgramVersion()));
    zustr = u'.';
    // 4. the level trigger works on a linear level: 0 would be minus infinity dB
    if (m_fft.triggLevel == 0.0) m_fft.triggLevel = 0.001;
    // 5. main settings, then the per-user set
    loadSettings();
    if (options.firstRun) placeForFirstRun();
    // 6. the sound module
    if (!options.soundModule.isEmpty()) m_set.SoundDLLname = options.soundModule;
    startSound();
    // 7. window
    setMinimumSize(590, 360);
    setAcceptDrops(true); // curve files (and preset files once presets exist) dropped on the window
    resize(m_set.MDiaInMWwidth, m_set.MDiaInMWheight);
    vlSetPriority(0);
    buildControls();
    buildMenus();
    buildPresetMenu();
    buildStatusBar();
    buildOverview();
    applyColours();
    if (m_startAction != eSoundStart::ssOK) return;
    // 8. running
    bMainClosing = false;
    SetMainClosing(false);
    postMsg(this, MSG_IN_STATE);
    // 9. the measurements' tool buttons and the preset slots
    buildToolButtons();
    buildPresetSlots();
    // 10. the first start is over once the settings are saved (bFirstStart is written false)
}

TMainForm::~TMainForm()
{
    if (!m_shutDown && m_startAction != eSoundStart::ssTerminate) runShutdownOrder(false);
    SetMainMsgReceiver(nullptr);
    vl::setHelpHandler({});
}

QString TMainForm::settingsFileName() { return vlProgramDataFolder() + kProductName + QStringLiteral(".ini"); }

void TMainForm::loadSettings()
{
    if (!m_ini.loadError().isEmpty()) vl::warningBox(m_ini.loadError());
    loadMainSettings(m_ini);
    loadPresetSlots();
    m_set.readPerUser(m_ini, m_calibration);
    ApplyLevelCalibration(m_fft, m_calibration);
}

void TMainForm::loadMainSettings(TMemIniFile& ini)
{
    m_set.nahConti = m_fft.NahConti;
    m_set.readMain(ini, vlCommonDataFolder(), soundDLL().defaultName());
    m_fft.NahConti = m_set.nahConti;
    m_cors->readSettings(ini);
    loadFilterBlocks(m_filterBlocks, ini);
    publishOutputFilters();
}

void TMainForm::startSound()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TsoundStartResult r = dll.startup(true, TsoundDLLImpDyn::kStartFlags, m_set.SoundDLLname);
    m_startAction = r.action;
    if (r.action == eSoundStart::ssOK && dll.readAddresses(r.count, callbacks())) loadGeneratorSettings(m_ini);
    publishOutputFilters(); // now at the module's output rate
}

TsoundCallbacks TMainForm::callbacks()
{
    TsoundCallbacks cb;
    cb.inState = cbInState;
    cb.outState = cbOutState;
    cb.inText = cbInText;
    cb.outText = cbOutText;
    cb.outFilter = vlOutputFilter;
    cb.app = qApp;
    return cb;
}

// ---- settings -----------------------------------------------------------------------------------

bool TMainForm::saveSettings()
{
    writeMainSettings();
    QString why;
    if (m_ini.UpdateFile(&why)) return true;
    vl::errorBox("Error writing Ini-File " + m_ini.FileName() + "\r\n" + why);
    return false;
}

bool TMainForm::saveAllSettings()
{
    writeMainSettings();
    // Settings never read from the file (the module did not start) are not written over it.
    const bool withGenerator = m_generatorLoaded && soundDLL().usable();
    if (withGenerator) writeGeneratorSettings(m_ini);
    QString why;
    if (m_ini.UpdateFile(&why)) return true;
    if (!withGenerator) {
        vl::errorBox("Error writing Ini-File " + m_ini.FileName() + "\r\n" + why);
        return false;
    }
    vl::errorBox(vlgen::iniWriteFailureText(m_ini.FileName()));
    m_abortAfterShutdown = true;
    return false;
}

void TMainForm::writeMainSettings()
{
    collectMainSettings();
    writeMainSection(m_ini);
    saveDiagramSettings();
    if (m_mixer) m_mixer->SaveToFile(m_ini); // the card's, not a preset's
    m_set.writePerUser(m_ini, m_calibration);
}

void TMainForm::collectMainSettings()
{
    storeGeometryInSettings();
    // Before the first activation no mode was made active: the stored one still holds.
    if (m_activated) m_set.measuringmode = m_fft.MeasuringModeF;
    m_set.nahConti = m_fft.NahConti;
}

void TMainForm::writeMainSection(TMemIniFile& ini)
{
    writeGeneralSection(ini, kProductName, vlProgramVersion(), vlTimeText(1));
    m_set.writeMain(ini);
    for (const Tpreset& p : m_presets) p.SaveToIni(ini, "MAIN");
    m_cors->writeSettings(ini);
    writeFilterBlocks(m_filterBlocks, ini);
}

void TMainForm::storeGeometryInSettings()
{
    if (!m_activated) return; // never shown: keep what was read
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    m_set.left = frameGeometry().x();
    m_set.top = frameGeometry().y();
    m_set.MDiaInMWwidth = g.width();
    m_set.MDiaInMWheight = g.height();
    m_set.wstate = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* s = QGuiApplication::screenAt(frameGeometry().topLeft());
    m_set.moni = s ? int(screens.indexOf(s)) : 0;
}

// A first start has no stored window: it opens on most of the screen instead of the small
// default size, so the diagram is not squeezed once result lines show.
void TMainForm::placeForFirstRun()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect r = firstRunWindowRect(screen->availableGeometry());
    m_set.left = r.left();
    m_set.top = r.top();
    m_set.MDiaInMWwidth = r.width();
    m_set.MDiaInMWheight = r.height();
}

void TMainForm::restoreGeometryFromSettings()
{
    QList<QRect> screens;
    for (QScreen* s : QGuiApplication::screens()) screens << s->geometry();
    const QMargins frame = frameGeometry().isValid() && frameGeometry() != geometry()
                               ? QMargins(geometry().left() - frameGeometry().left(),
                                          geometry().top() - frameGeometry().top(), 0, 0)
                               : QMargins();
    move(restoredWindowPos(QPoint(m_set.left, m_set.top), frame, screens));
    resize(m_set.MDiaInMWwidth, m_set.MDiaInMWheight);
    // A window that was minimised at exit opens normal, so the program never seems not to start.
    if (m_set.wstate == 2) setWindowState(windowState() | Qt::WindowMaximized);
}

// ---- showing, activation ------------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event)
{
    static_cast<void>(event);
    if (!m_activated) restoreGeometryFromSettings();
    QMainWindow::showEvent(event);
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) onActivation();
}

void TMainForm::ensureActivated()
{
    if (!m_activated) onActivation();
}

void TMainForm::onActivation()
{
    if (bMainClosing) return;
    onInText();
    if (bMainClosing) return; // the wait inside may have seen a close request
    onOutText();
    if (!m_activated) {
        m_activated = true;
        const int mode = m_options.startMode >= 0 ? m_options.startMode : m_set.measuringmode;
        setMeasuringModeF(mode);
        if (m_options.firstRun) m_diafrm->setSecondaryShare(kFirstRunTimeShare);
        showFirstStartHelp();
    }
    refreshGeneratorDisplay();
    applyColours();
    postMsg(this, MSG_IN_STATE);
    postMsg(this, MSG_OUT_STATE);
    m_frameGate.restart();
}

// ---- shutdown -----------------------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A wait that handles messages is in progress further up the stack: closing now would pull
    // the window out from under it.
    if (!vlNotWaiting()) {
        event->ignore();
        return;
    }
    if (!m_shutDown) runShutdownOrder(m_startAction != eSoundStart::ssTerminate);
    event->accept();
}

void TMainForm::runShutdownOrder(bool save)
{
    bMainClosing = true;
    SetMainClosing(true);
    BusyCursor busy;
    // The measurement's settings as its release would write them, so that they reach the file.
    if (save && m_meas) m_meas->saveToINI(m_ini.FileName());
    if (save) saveAllSettings();
    hide();
    m_recent.reset(); // writes the history file
    // The measurement goes before the corrections it was handed.
    releaseFuncMM(0);
    // The factories hold this window: none may outlive it (the sweep's included).
    if (m_programMeasurements)
        for (eMeasClass c : {mcFFT2D, mcSweep, mcPowDist, mcOszi, mcIps}) RegisterMeasurement(c, {});
    m_cors.reset();
    if (m_startAction != eSoundStart::ssTerminate && soundDLL().usable()) soundDLL().shutdown(separatorCode());
    m_shutDown = true;
    // The generator settings could not be kept: the program ends with a failure code.
    if (m_abortAfterShutdown) QCoreApplication::exit(1);
}

// ---- messages -----------------------------------------------------------------------------------

bool TMainForm::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() == TMsgEvent::eventType()) {
        const auto* m = static_cast<TMsgEvent*>(e);
        if (!bMainClosing) handleMessage(m->msg, m->wParam);
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::handleMessage(int msg, intptr_t wParam)
{
    switch (msg) {
    case MSG_NEW_BLOCK: onNewBlock(); break;
    case MSG_IN_STATE: onInState(); break;
    case MSG_OUT_STATE: onOutState(); break;
    case MSG_IN_TEXT: onInText(); break;
    case MSG_OUT_TEXT: onOutText(); break;
    case MSG_SEPARATOR: zustr = wParam == 1 ? u';' : u','; break;
    case MSG_SOUND_ONOFF: onSoundOnOff(); break;
    default: break; // 0x422 and anything else: no effect
    }
}

void TMainForm::onNewBlock()
{
    const int32_t st = soundDLL().SDgetSoundStatus();
    m_status->setPanelText(2, overloadPanelText(st));
    if (m_meas && m_frameGate.admit(m_meas->calcGoodFrameRate_ms())) m_meas->Mexecute(0);
    showOverloadBanner(overloadBannerText(st, m_meas ? m_meas->overloadedChannels() : 0));
}

void TMainForm::showOverloadBanner(const QString& text)
{
    if (text.isEmpty()) {
        m_overBanner->hide();
        return;
    }
    if (m_overBanner->text() != text) {
        m_overBanner->setText(text);
        m_overBanner->adjustSize();
    }
    // Just inside the top of the plot, centred on it: over the curves, clear of the frame.
    QRect plot;
    if (const TDiagrammView* v = m_diafrm->mainView())
        plot = v->dia().Diareci().translated(v->mapTo(m_diafrm, QPoint(0, 0)));
    const int centre = plot.isValid() ? plot.center().x() : m_diafrm->width() / 2;
    m_overBanner->move(centre - m_overBanner->width() / 2, plot.isValid() ? plot.top() + 6 : 8);
    if (m_overBanner->isHidden()) { // once per overload, not with every block
        m_overBanner->raise();
        m_overBanner->show();
    }
}

void TMainForm::showMemCounter() { laMem->setText(QString::asprintf("GM %lld", (long long)Tsamplemem::allocatedSamples())); }

void TMainForm::onInState()
{
    try {
        updateInState();
    } catch (const std::exception&) {
        ButSampleIn->setButtonColor(kColFailed); // the display could not follow the module
    }
}

void TMainForm::updateInState()
{
    showMemCounter();
    const int32_t st = soundDLL().SDgetSoundStatus();
    const bool inRun = soundDLL().usable() && (st & SD_ST_IN_RUN);
    const bool filtered = inRun && !BlocksInactive(m_filterBlocks.inpLeft, m_filterBlocks.inpRight);
    ButSampleIn->setCaption(inRun ? "Stop" : "Start");
    ButSampleIn->setButtonColor(filtered ? kColFilter : inRun ? m_set.COLSOUNDON : m_set.COLSOUNDOFF);
    ButSampleIn->setToolTip(filtered ? QStringLiteral("Time domain filter applied !")
                                     : QString(MeasModeInfo(measuringMode()).startAction));
    ButManuell->setEnabled(!inRun);
    ButManuell->setButtonColor(inRun ? m_set.COLSOUNDOFF : m_set.COLSOUNDON);
    ButSetupInp->setEnabled(m_setupHandler && (!inRun || measuringMode() == 9));
    seAverVal->setEnabled(!inRun);
    m_acStartMeasure->setText(inRun ? "Stop Measure" : "Start Measure");
    refreshDCOffsetItem(st);
    if (!inRun) showOverloadBanner({}); // no more blocks will say that the overload ended
}

void TMainForm::onOutState()
{
    try {
        updateOutState();
    } catch (const std::exception&) {
        ButSoundOn->setButtonColor(kColFailed);
    }
}

void TMainForm::updateOutState()
{
    showMemCounter();
    const int32_t st = soundDLL().SDgetSoundStatus();
    const bool outRun = soundDLL().usable() && (st & SD_ST_OUT_RUN);
    const bool filtered = outRun && !BlocksInactive(m_filterBlocks.outLeft, m_filterBlocks.outRight);
    ButSoundOn->setCaption(outRun ? "Sound off" : "Sound on");
    m_acSoundOn->setText(outRun ? "Sound Off" : "Sound On");
    ButSoundOn->setButtonColor(filtered ? kColFilter : outRun ? m_set.COLSOUNDON : m_set.COLSOUNDOFF);
    ButSoundOn->setToolTip(filtered ? QStringLiteral("Time domain filter applied !") : QString());
}

void TMainForm::onInText()
{
    TsoundDLLImpDyn& dll = soundDLL();
    try {
        const int32_t st = dll.SDgetSoundStatus();
        m_status->setPanelText(1, inputPanelText(st, [&] { return dll.errorText(st); }, dll.inFormatText(),
                                                 dll.inDeviceName()));
    } catch (const std::exception&) {
        m_status->setPanelText(1, QStringLiteral("RException In-Error"));
    }
    vlWaitMs(1);
}

void TMainForm::onOutText()
{
    TsoundDLLImpDyn& dll = soundDLL();
    try {
        const int32_t st = dll.SDgetSoundStatus();
        m_status->setPanelText(0, outputPanelText(st, [&] { return dll.errorText(st); }, dll.outFormatText(),
                                                  dll.outDeviceName()));
    } catch (const std::exception&) {
        m_status->setPanelText(0, QStringLiteral("Rexcept Out-Error"));
    }
    vlWaitMs(1);
}

void TMainForm::onSoundOnOff()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (!dll.usable()) return;
    dll.SDSetCallBack(SD_CB_OUT_STATE, reinterpret_cast<void*>(cbOutState));
    dll.SDSetCallBack(SD_CB_OUT_TEXT, reinterpret_cast<void*>(cbOutText));
    refreshGeneratorDisplay();
    if (dll.waveGO()) dll.waveGO()->ToneDura_ms = -1;
    dll.SDStartSoundOut((dll.SDgetSoundStatus() & SD_ST_OUT_RUN) ? 0 : 1);
}

void TMainForm::startCommon()
{
    TsoundDLLImpDyn& dll = soundDLL();
    dll.SDSetCallBack(SD_CB_IN_STATE, reinterpret_cast<void*>(cbInState));
    dll.SDSetCallBack(SD_CB_IN_TEXT, reinterpret_cast<void*>(cbInText));
    onInText();
    if (bMainClosing) return; // closed during the wait inside
    refreshGeneratorDisplay();
    dll.SDSetFuturePara(1, separatorCode());
    if (m_meas) m_meas->Mstart(1);
}

void TMainForm::soundOnCommand() { postMsg(this, MSG_SOUND_ONOFF); }

QStringList TMainForm::statusTexts() const { return m_status->panelTexts(); }

// ---- module commands ----------------------------------------------------------------------------

void TMainForm::selectAlternativeDLL()
{
    TsoundDLLImpDyn& dll = soundDLL();
    SetMainClosing(true);
    if (selectSoundDLL(dll, m_set.SoundDLLname, this) < 0 && dll.handle()) {
        SetMainClosing(bMainClosing);
        return;
    }
    releaseFuncMM(measuringMode());
    BusyCursor busy;
    const TsoundRestartResult r = restartSoundDLL(dll, m_set.SoundDLLname, callbacks());
    m_startAction = r.start.action;
    if (r.records) loadGeneratorSettings(m_ini);
    m_altDLL->setVisible(dll.altDLLVisible());
    m_altDLLSep->setVisible(dll.altDLLVisible());
    refreshSoundTexts();
    if (m_startAction == eSoundStart::ssOK) {
        SetMainClosing(bMainClosing);
        setMeasuringModeF(measuringMode());
        onInText();
        onOutText();
        return;
    }
    close();
}

void TMainForm::soundDialog(int kind)
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int st = dll.SDgetSoundStatus();
    const bool input = kind < 2;
    if (!dll.usable() || (st & (input ? SD_ST_IN_RUN : SD_ST_OUT_RUN))) return;
    dll.SDSoundDlg(m_set.IODlgLink + kind);
    publishOutputFilters(); // the output rate may have changed
    refreshSoundTexts();
    onInText();
    onOutText();
    int32_t in = 0, out = 0;
    dll.SDgetSoundDatsPropsCH(&in, &out);
    if (m_meas) m_meas->SetChannels(in, out);
}
