// The main window: owns the running system, starts and stops the sound module, runs the measuring modes.
#pragma once

#include "analysis/AnalysePara.h"
#include "analysis/TCorrectionSet.h"
#include "base/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"
#include "app/Tpreset.h"
#include "app/ui/TMainSettings.h"
#include "app/ui/Trecent.h"
#include "display/TDiagramm.h" // tdiaset
#include "dsp/tFilterBlock.h"
#include "measurements/MeasurementClass.h"
#include "measurements/TFrameGate.h"

#include <QJsonObject>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class TAnaDlg;
class TDCoffsetDlg;
class TdlgPowThd;
class TPowThdDebugWnd;
struct TPowThdProgress;
class TEichDlg;
class Tdiafrm;
class TChild3D;
class TOszidia;
class TVUTRIGG;
class QDialog;
class TFoToolAnalyzeCurve;
class TFilterForm;
class Tmixu;
class QDateTime;
class QToolButton;
class QAbstractButton;
class QBoxLayout;
class QAction;
class QActionGroup;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QSlider;
class QSpinBox;
class QWidget;
class TFadedButton;
class TMainStatusBar;
class TFWaveSynthesis;
class TSoundODlgF;
class TUpDown;
class QToolBar;
class THelpWindow;
class TMiscDlg;
struct TMiscValues;
class QPrinter;
class QPrintDialog;
class QPageSetupDialog;
class QPainter;
struct TPictureMeta;

// The main window. Creating it loads the settings and starts the sound module; the first
// activation makes the stored measuring mode active; closing it saves the settings, releases
// the measurement and shuts the module down in the required order. Every posted message is
// ignored while the window is being created or closed.
// GUI thread only; the module's callbacks only post messages to it.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString soundModule; // module to start with instead of the stored one (empty: stored)
        int startMode = -1;  // measuring mode of the first activation instead of the stored one
        bool firstRun = false; // no settings file existed: window and splitter sized from the screen
        bool scripted = false; // a script runs the window and ends it (--quit): no welcome page
    };

    explicit TMainForm(const Options& options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The module start-up asked to end the program (no usable module); nothing is running.
    bool startupFailed() const { return m_startAction == eSoundStart::ssTerminate; }
    // The module refused to initialise; the window closes itself through its close path.
    bool closeRequested() const { return m_startAction == eSoundStart::ssCloseWindow; }
    const QString& soundDLLname() const { return m_set.SoundDLLname; }
    static QString settingsFileName();
    // The texts of the sound-module overview, for tests and scripts.
    QString overviewText() const;
    QAction* altDLLAction() const { return m_altDLL; }
    // Writes "General", "MAIN" and the per-user set; false after showing the error.
    bool saveSettings();
    // The shutdown save: the above and, while the module is usable, "OSOUND" and "ISOUND". A
    // failure with the module's settings shows "Error writing Ini-File ... Abort program" and
    // makes the program end with a failure code once the shutdown order has run.
    bool saveAllSettings();
    bool abortRequested() const { return m_abortAfterShutdown; }

    // The generator: the output "Setup" button's dialog loop, the display of the parameter
    // editor and its labels, and the rules of typing and arrows (on the module's record).
    // run replaces the modal showing of the dialog (tests).
    int openGeneratorDialog(const std::function<int(TSoundODlgF&)>& run = {});
    void refreshGeneratorDisplay();
    void soundParaTyped(const QString& text);
    void soundParaStepped(int delta);
    // The pink-noise compensation of the diagram, shown in the mode panel.
    void setPinkNoiseFilterActive(bool on);

    // Runs the work of the first activation unless it already ran (a platform without window
    // activation, scripts). Later calls do nothing.
    void ensureActivated();
    // Switches to measuring mode MM: releases the active measurement, creates and initialises
    // the one of MM (none for modes whose measurement does not exist), adjusts the controls.
    void setMeasuringModeF(int MM);
    // Detaches the start button, de-initialises and frees the active measurement, and hands the
    // separator to the module.
    void releaseFuncMM(int MM);
    // A mode chosen from a tool button or the menu "Measure".
    void selectMeasuringMode(int MM);
    // The start command (start button, "Start Measure", F4): runs the bound start handler.
    // False when the mode has none.
    bool startCommand();
    // Registers the program's measurements (the FFT measurement on this window's diagram);
    // tests that bring their own leave it out. Call before the first activation.
    void useProgramMeasurements();
    // The active measurement's result lines (empty without one).
    QStringList measurementResults() const;
    int measurementFrames() const; // results the active measurement has drawn since it began
    // The FFT settings dialog of the FFT and impulse modes (the input "Setup" button).
    void FFT1Click();
    // The sweep settings dialog of modes 3, 6, 7, 8 (the input "Setup" button there).
    void WobDialogButClick();
    // Replaces the sweep dialog's exec() in tests: gets the dialog, returns its result.
    void setSweepDialogRunner(std::function<int(QDialog&)> run) { m_runWobDlg = std::move(run); }
    // The sweep's progress display: step, frequency, both values, overload, pause.
    void SweepShowFreq();
    // The texts of the progress display (heading, step, frequency, left, right), for tests.
    QStringList sweepDisplayTexts() const;
    // True once the active measurement ended by itself (a sweep that does not repeat).
    bool measurementEnded() const { return m_meas && m_meas->endedByItself(); }
    // Replaces the FFT dialog's exec() in tests: gets the dialog, returns its result.
    void setFFTDialogRunner(std::function<int(QDialog&)> run) { m_runFFTDlg = std::move(run); }
    // "Sound On" (F3): posts the sound on/off message.
    void soundOnCommand();
    // The measurement's line back to the window (commands 2 to 8; others are ignored).
    void CBfromMeas(int32_t cmd, intptr_t para);
    // getMeasRun of the active measurement, false without one.
    bool MeasRun() const;

    // ---- state, for tests and scripts
    QString overloadBanner() const; // the banner's text while it shows, else empty
    int measuringMode() const { return m_fft.MeasuringModeF; }
    tMeasureObj* activeMeasurement() const { return m_meas.get(); }
    TFrameGate& frameGate() { return m_frameGate; }
    QStringList statusTexts() const; // the five panel texts, colour letter first
    const TMainSettings& settings() const { return m_set; }
    QChar separatorChar() const { return zustr; }
    cFFTdat& fftSettings() { return m_fft; }
    QAbstractButton* modeButton(int mode) const; // tool button of a mode 1..11
    QSpinBox* averageEdit() const { return seAverVal; }
    QAbstractButton* startButton() const;
    QAbstractButton* soundButton() const;
    QWidget* controlFor(const QString& objectName) const; // a named control of the window
    QMenu* outputPopup() const { return m_outPopup; }
    QMenu* inputPopup() const { return m_inPopup; }
    bool firstActivationDone() const { return m_activated; }
    const cAnaPara& analysisSettings() const { return m_ana; }
    // "&Analyze Dialog": the analysis dialog on the analysis settings, opened again after each
    // "Apply". Tests replace how the dialog is run (default: exec()).
    void runAnalyzeDialog();
    void setAnalyzeDialogRunner(std::function<int(TAnaDlg&)> run) { m_runAnaDlg = std::move(run); }

    // ---- calibration and DC offset
    // "&Calibration": the calibration dialog on the calibration record; on OK the record takes
    // its six values, InMixLev4Cal the input volume, and the settings file is written. Tests
    // replace how the dialog is run (default: exec()). Returns the dialog's result.
    int openCalibration(const std::function<int(TEichDlg&)>& run = {});
    // "Audio-In DC-Offset": the DC offset dialog on a copy of the input format record; OK and
    // "&Apply" write it back to the module ("&Apply" opens the dialog again).
    void openDCOffset(const std::function<int(TDCoffsetDlg&)>& run = {});
    const TLevelCalibration& calibration() const { return m_calibration; }

    // ---- distortion versus power (mode 10)
    // The Setup button of mode 10: the power-distortion dialog; OK hands its settings to the
    // engine. Tests replace how the dialog is run (default: exec()).
    void PowThdDlgButClick();
    void setPowThdDialogRunner(std::function<int(TdlgPowThd&)> run) { m_runPowThdDlg = std::move(run); }
    // The progress display: step, power (or voltage) and THD in the sweep read-outs.
    void PowThdShowWatt(const TPowThdProgress& p);
    TPowThdDebugWnd* powThdDebugWindow() const { return m_powThdDebug; }

    // ---- the oscilloscope (mode 9) and the level meter of the impulse trigger
    // The Setup button of mode 9: the scope's settings dialog (not modal).
    void OsziDlgButClick();
    TOszidia* scopeWindow() const { return m_scopeWnd; }
    TVUTRIGG* vuTrigger() const { return m_vuTrigg; }
    // The impulse comes from outside (the level meter shows then); one place to read it.
    bool externalImpulse() const;
    // The slider shows the analysis settings' trigger level again (after they changed).
    void syncVUTrigger();
    QAction* dcOffsetAction() const { return m_acDCOffset; }

    // ---- the diagram window and its exports
    Tdiafrm* diagramWindow() const { return m_diafrm; }
    TChild3D* window3D() const { return m_child3D; }
    // "&Save freq. diagram as text file" ('F') / "Save time diagram as text file" ('T'): the
    // automatic name with AutoNamed, else the save dialog (the chosen name becomes the last
    // one). False when nothing was written: cancelled, or failed with " could not created".
    bool saveDiagramText(int DiaType);
    // Alt+F2: the frequency diagram at once to the last text name (the dialog when none).
    bool saveFreqTextToLastName();
    // The frequency diagram's text to `file` (scripts); false with the reason in *error.
    bool exportFrequencyText(const QString& file, QString* error = nullptr);
    // ---- interchange: results file, curves, microphone calibration, recordings
    // The active measurement's results with the settings that made them (TResultJson.h).
    QJsonObject resultsDocument() const;
    // "Save results as JSON...": the document to `file`; false with the reason in *error.
    bool saveResultsJson(const QString& file, QString* error = nullptr);
    // Curve `number` (1..12) of the 2D diagram to `file` in the layout its extension names
    // (".frd", ".zma", ".csv", ".txt", else a curve file); false with the reason in *error.
    bool exportCurve(int number, const QString& file, QString* error = nullptr);
    // "Save recording as WAV...": the last block (or shot) of every input channel at the
    // measurement's sample rate; false with the reason in *error.
    bool saveRecordingWav(const QString& file, bool float32, QString* error = nullptr);
    // "Open Microphone Calibration File...": the file becomes the active input correction;
    // a sensitivity in mV/Pa becomes both channels' microphone sensitivity when `takeSensitivity`
    // (the menu asks first). False with the reason in *error; nothing changes then.
    bool loadMicCalibration(const QString& file, bool takeSensitivity, QString* error = nullptr);
    // "&Copy diagram to clipboard": the 2D diagram's picture (diagram forms 1 and 3).
    void copyDiagramToClipboard();
    // "Analyse measured curves".
    void openCurveAnalysis();
    // Folder of `last` + stem + "_YYYY_MM_DD_hh-mm-ss" + ext.
    static QString autoExportName(const QString& last, const QString& stem, const QString& ext, const QDateTime& t);
    // Tests replace the text save dialog (title, start name -> chosen name, empty = cancel)
    // and how the curve tool is shown (default: exec()).
    void setTextFileChooser(std::function<QString(const QString&, const QString&)> c) { m_chooseTextFile = std::move(c); }
    void setCurveAnalysisRunner(std::function<int(TFoToolAnalyzeCurve&)> r) { m_runCurveTool = std::move(r); }
    // "Time Domain Filter [Input]": the filter editor on the input filter blocks; every change
    // applies at once (the acquisition's filters restart), Cancel restores the blocks.
    void openInputFilterEditor();
    // Tests replace how the filter editor is shown (default: exec()).
    void setFilterFormRunner(std::function<int(TFilterForm&)> r) { m_runFilterForm = std::move(r); }
    const tFilterBlockSet& filterBlocks() const { return m_filterBlocks; }
    // The sound card's mixer ("Mixer Support ", "Wave In Channel", the volume bars).
    Tmixu& mixer() { return *m_mixer; }
    // Rebuilds the mixer items of the Options menu from the mixer's state.
    void refreshMixerItems();

    // ---- presets and recent files
    // Executes a preset file (execPresetN): pexDone, or why not (an empty name, a name with
    // '*' and a missing file silently; a file that is no preset with a message, changing
    // nothing). The file becomes the current preset and the first recent entry; the window
    // switches to its measuring mode, takes its main and generator settings (keys it does not
    // hold keep their values; the sound module, its dialog link and the window's place stay),
    // the new measurement reads its settings from it, and the diagram's curves are cleared.
    // Settings are saved to the main settings file only.
    int execPresetN(const QString& name);
    // Writes the main settings, the active measurement's settings with its diagram and the
    // generator settings into file, which becomes the current preset and the first recent
    // entry; false after the error was shown.
    bool savePreset(const QString& file);
    // "Load Preset": the open dialog, then the chosen file is executed.
    void LoadPresetClick();
    // "Save Preset": the save dialog, then savePreset; the saved file, or empty.
    QString SavePresetClick();
    // Back to no preset: the current preset name becomes the data folder + "*.atp".
    void ClearPresets(int para);
    // Slot n (1..6): the left button executes it (after a notice when it is empty); the right
    // button assigns a file chosen with the "Load Preset" dialog, with Shift the file saved by
    // "Save Preset".
    void presetSlotClicked(int n, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    const QString& presetName() const { return m_presetName; }
    const Tpreset& presetSlot(int n) const { return m_presets.at(size_t(n - 1)); }
    QAbstractButton* presetSlotButton(int n) const { return m_slotButtons.at(size_t(n - 1)); }
    QMenu* presetsMenu() const { return m_presetsMenu; }
    Trecent* recentFiles() const { return m_recent.get(); }
    // Tests replace the preset file dialogs: (save, title, start name) -> chosen name, empty = cancel.
    void setPresetFileChooser(std::function<QString(bool, const QString&, const QString&)> c) { m_choosePreset = std::move(c); }

    // ---- pictures and printing
    // "Save diagram to BMP/JPG-File" (F2): with AutoNamed the automatic name ("FreqDiaAsPic"
    // with the last picture's extension; nothing is written unless that is bmp or jpg), else the
    // picture dialog (the chosen name becomes the last one). False when nothing was written.
    bool saveDiagramPicture();
    // The diagram picture of the current diagram form to `file`, BMP or JPEG (with metadata) by
    // the extension (scripts: --save-picture); false with the reason in *error.
    bool exportPicture(const QString& file, QString* error = nullptr);
    // The picture of the current diagram form (2D diagram, 3D window or oscilloscope); null
    // when the form has none.
    QImage diagramPicture();
    TPictureMeta pictureMeta() const;
    // "&Print" (Ctrl+P, Print Screen): the print dialog, then one page per copy.
    bool printCommand();
    // "Printer &Setup": the page setup dialog on the program's printer.
    void printerSetup();
    // The page on `p`: the diagram (and the time diagram when shown) with the result lines.
    bool printDiagram(QPrinter& p, QString* error = nullptr);
    // The page into a PDF file, on the printer's page size and orientation (--print-pdf).
    bool printToPdf(const QString& file, QString* error = nullptr);
    QPrinter& printer();
    // The preset the settings came from, for the picture's keywords: empty while none is chosen.
    QString currentPresetName() const;
    // Tests replace the picture dialog (title, start name -> chosen name, empty = cancel) and how
    // the print and page setup dialogs are run.
    void setPictureFileChooser(std::function<QString(const QString&, const QString&)> c) { m_choosePictureFile = std::move(c); }
    void setPrintDialogRunner(std::function<int(QPrintDialog&)> r) { m_runPrintDialog = std::move(r); }
    void setPageSetupRunner(std::function<int(QPageSetupDialog&)> r) { m_runPageSetup = std::move(r); }

    // ---- the remaining menu items
    // "Test vs. Reference" (F5): the target curve against the first selected curve; false when
    // there is no selected curve or no target curve.
    bool testVsReference();
    // "Test Correction Files": slots 6 and 7 show the active corrections (on) or not (off).
    void showCorrections(bool on);
    bool correctionsShown() const { return m_corsShown; }
    // "&Miscellaneous": the dialog on copies; OK writes them back. Returns the dialog's result.
    int openMiscDialog();
    TMiscValues miscValues() const;
    void applyMiscValues(const TMiscValues& v);
    void setMiscDialogRunner(std::function<int(TMiscDlg&)> r) { m_runMiscDlg = std::move(r); }

    // ---- files dropped on the window
    // A ".cur" loads into the first selected curve slot; a preset file (".atp") goes to the
    // preset handler when the presets installed one (otherwise it is not taken). False when
    // nothing was loaded (a message says why).
    bool dropFile(const QString& file);
    // Executes a dropped preset file, true when it did (the presets install it).
    void setPresetDropHandler(std::function<bool(const QString&)> h) { m_dropPreset = std::move(h); }

    // ---- help
    // The help window at the page of `topic` (0 and topics without a page: the contents);
    // returns the topic shown. Also what every dialog's help button reaches (vl::showHelp).
    int openHelp(int topic);
    THelpWindow* helpWindow() const { return m_helpWnd; }
    // The about box's text: caption, version, and the sound module with its version.
    QString aboutText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void useSweepMeasurement();
    // start-up and shutdown
    void loadSettings();
    void startSound();
    // Hands the output filter blocks to the output path, designed for the module's output rate.
    void publishOutputFilters();
    double outputFilterRate();
    double inputFilterRate(); // the input's sample rate, 48 kHz before it is known
    // Runs the filter editor on l, r and link (edited in place on OK); apply hears every change
    // with the blocks as they now sound, and the original blocks after Cancel.
    bool runFilterForm(const QString& title, tFilterBlock& l, tFilterBlock& r, bool& link, double fs,
                       const std::function<void(const tFilterBlock&, const tFilterBlock&)>& apply);
    void loadGeneratorSettings(const TMemIniFile& ini);
    void writeGeneratorSettings(TMemIniFile& ini);
    void writeMainSettings();
    // What the main settings take from the window (place, mode) before they are written.
    void collectMainSettings();
    // "General", "MAIN" with the preset slots, the corrections' keys and the filter blocks.
    void writeMainSection(TMemIniFile& ini);
    // The main settings of ini: "MAIN", the corrections and the filter blocks.
    void loadMainSettings(TMemIniFile& ini); // (the filter blocks read through a writable INI)
    // presets
    void loadPresetSlots();
    void buildPresetMenu();
    void buildPresetSlots();
    void refreshPresetSlots();
    void loadPresetSettings(const TMemIniFile& preset, const QString& file);
    bool writePresetFile(const QString& file);
    QString choosePresetFile(bool save);
    // The settings being read: the preset while one executes, else the main settings.
    const TMemIniFile& readIni() const { return m_presetIni ? *m_presetIni : m_ini; }
    TFWaveSynthesis& waveSynthesis();
    void buildGeneratorEditor(QBoxLayout* row);
    void runShutdownOrder(bool save);
    void onActivation();
    void placeForFirstRun();
    void restoreGeometryFromSettings();
    void storeGeometryInSettings();
    TsoundCallbacks callbacks();
    // window parts
    void buildButtons();
    void buildControls();
    void buildToolButtons();
    void buildMenus();
    void buildMeasureMenu();
    void buildAnalyzeMenu();
    void buildOptionsMenu();
    void buildCorrectionMenu();
    void buildCalibrationItems(QMenu* opt);
    void registerPowerDistortion();
    void registerOscilloscope();
    void buildScopeWindow(QWidget* central, QBoxLayout* col);
    void applyScopeMode(int MM);     // the scope takes the diagram window's place in mode 9
    // In mode 9: the scope's settings under the mode's topic instead of the hidden diagram's
    // (whose colour keys would overwrite the scope's: keys ignore case); false in other modes.
    bool saveScopeSettings();
    void buildVUTrigger();
    void applyVUTriggerMode(int MM);
    void showVULevel(int32_t cmd, double dB); // callback commands 6 and 7
    void registerImpulse();
    void recalcImpulse();                  // "Recalculate" and moved markers: the last shot again
    void showRemark(const QString& text);  // callback command 5
    void refreshDCOffsetItem(int32_t status);
    void openCorrectionFile(TCorrectionSet::Which w);
    void editCorrectionFile(TCorrectionSet::Which w);
    void refreshCorrectionMenu();
    void buildStatusBar();
    void buildOverview();
    // The 3D window beside the diagram window in the central area, fed by the 3D packages.
    void build3DWindow(QWidget* central, QBoxLayout* col);
    // The 3D window takes the diagram window's place (on) or gives it back.
    void show3DWindow(bool on);
    // In the 3D FFT mode: the 3D window's settings under the mode's topic; false in other modes.
    bool save3DWindowSettings();
    // While the 3D window shows, there is no frequency diagram to write: true, with the reason.
    bool refuse3DFrequencyText(QString* error) const;
    void buildTextExportItems(QMenu* file);
    void buildInterchangeItems(QMenu* file); // "Save results as JSON...", "Save recording as WAV..."
    void chooseMicCalibration();
    void buildEditMenu();
    void buildPictureItems(QMenu* file);
    void buildHelpMenu();
    void buildAnalyzeExtras(QMenu* analyze);
    void buildCorrectionTest(QMenu* correction);
    void buildMiscItem(QMenu* options);
    void subscribeDiagramChanges();   // the diagram options change the display correction
    void rebuildDisplayCorrection();  // pink-noise compensation or none, handed to the measurement
    void markModeMenuItems(int MM);   // the frequency-text item and the comment lines per mode
    void connectModeButtonHelp();
    void showFirstStartHelp(); // topic 999 on the very first start
    void buildPrintItems(QMenu* file);
    void paintPrintPage(QPainter& painter, QPrinter& p, const QImage& picture);
    QImage printableTimeDiagram();   // the hosted time diagram's picture while it shows, else null
    static QImage stackPictures(const QImage& top, const QImage& bottom);
    void buildToolsMenu();
    void switchDiagramMode(int MM);
    void clearDiagramData();
    void hostSecondaryFor(int MM);
    void saveDiagramSettings();
    tdiaset diagramDefaults() const;
    void applyColours();
    void refreshSoundTexts();
    void refreshAudioMenus();
    // measuring modes
    void bindStart(const TMeasModeInfo& info);
    void VisualModeSettings(int MM);
    void pressModeButton(int mode);
    void refreshModePanel();
    void BBdStartClick();
    void BBsweepStart();
    void BBPowThdMeasurementClick();
    void startCommon();
    void ButManuellClick();
    void setLevelUnit(edBModi unit);
    void levelUnitChosen(edBModi unit); // the "Level Units" items: the unit, then a fresh diagram
    void checkLevelUnitItems();
    // messages
    void handleMessage(int msg, intptr_t wParam);
    void onNewBlock();
    void showOverloadBanner(const QString& text); // empty: hidden
    void onInState();
    void onOutState();
    void updateInState();  // onInState's work; a failure colours the start button red
    void updateOutState(); // onOutState's work; a failure colours "Sound on" red
    void onInText();
    void onOutText();
    void onSoundOnOff();
    void showMemCounter();
    // module commands
    void selectAlternativeDLL();
    void soundDialog(int kind);
    int separatorCode() const { return zustr.unicode(); }

    // ---- state
    bool bMainClosing = true;         // true until start-up ends and again from shutdown on
    QChar zustr = u'.';               // separator handed to the module; 0x41A sets ';' or ','
    TMainSettings m_set;              // the main and per-user settings
    TMemIniFile m_ini;                // the main settings file
    Options m_options;                // command-line choices
    eSoundStart m_startAction = eSoundStart::ssOK; // what the module start-up asked for
    bool m_shutDown = false;          // shutdown order already run
    bool m_activated = false;         // first activation done
    QString m_helpFile;               // help file of the interface language
    int m_helpContext = 0;            // help context of the current mode
    cFFTdat m_fft;                    // analysis settings (mode, averaging, level unit)
    cAnaPara m_ana;                   // analysis parameters
    TLevelCalibration m_calibration;  // full scale in volts and pascals (per-user settings)
    tFilterBlockSet m_filterBlocks;   // input and output filter blocks (the measurement borrows the input ones)
    std::function<int(TAnaDlg&)> m_runAnaDlg; // runs the analysis dialog (tests); empty: exec()
    std::unique_ptr<TCorrectionSet> m_cors; // input and output correction curves
    QAction* m_acCorActive[2] = {};   // "Input/Output Correction active"
    Tcorri m_dispCor;                 // display correction handed to the measurement
    std::unique_ptr<tMeasureObj> m_meas; // the active measurement, or none
    TFrameGate m_frameGate;           // frame-rate limit of the block dispatch
    std::function<void()> m_startHandler; // bound start handler, empty when none
    std::function<void()> m_setupHandler; // the mode's settings dialog, empty when none exists
    QString m_remark;                 // last remark line sent by the measurement
    double m_vuLeft_dB = -192.0;      // last left level for the level meter
    double m_vuRight_dB = -192.0;     // last right level for the level meter
    bool m_refreshingGen = false;     // the editor is being filled: its text changes are no typing
    bool m_abortAfterShutdown = false; // the generator settings could not be written
    bool m_generatorLoaded = false;   // "OSOUND"/"ISOUND" were read into the module's records
    bool m_pinkNoiseActive = false;   // the diagram's pink-noise compensation is on
    TFWaveSynthesis* m_waveSynth = nullptr; // the wave synthesis dialog (child), made on first use

    // ---- controls
    TFadedButton* ButSetupInp = nullptr; // input "Setup": the mode's settings dialog
    TFadedButton* ButSampleIn = nullptr; // "Start" / "Stop"
    TFadedButton* ButManuell = nullptr;  // "Recalculate" (impulse modes)
    TFadedButton* ButSoundOn = nullptr;  // "Sound on" / "Sound off"
    TFadedButton* ButSetupOut = nullptr; // output "Setup": the generator dialog
    QLabel* LaWaveOut = nullptr;         // generator mode name
    QLineEdit* spSoundPara = nullptr;    // generator parameter: frequency, width, order, formula
    TUpDown* UDSoundPara = nullptr;      // its arrows
    QLabel* LaWOunit = nullptr;          // unit of the parameter
    QSpinBox* seAverVal = nullptr;       // averaging count 1..10000
    QLabel* laAverage = nullptr;         // "Average"
    QWidget* m_sweepDisplay = nullptr;   // sweep frequency and the two levels
    QSlider* TBinVol = nullptr;          // input volume 0..100
    QSlider* TBoutVol = nullptr;         // output volume 0..100
    QLabel* laMem = nullptr;             // "GM %d": samples allocated
    QWidget* m_ctrlPanel = nullptr;      // panel holding the controls above
    QButtonGroup* m_modeGroup = nullptr; // tool buttons of the modes, id = mode
    TMainStatusBar* m_status = nullptr;  // the five panels
    QLabel* m_overview = nullptr;        // module, devices, formats and channels (folded away)
    QToolButton* m_overviewToggle = nullptr; // shows / hides the overview
    Tdiafrm* m_diafrm = nullptr;         // the diagram window in the central area
    TChild3D* m_child3D = nullptr;       // the 3D window, in the diagram window's place in mode 2
    QLabel* m_overBanner = nullptr;      // red "Overload: ..." over the diagram, hidden otherwise
    bool m_programMeasurements = false;  // useProgramMeasurements registered the factories
    std::function<int(QDialog&)> m_runFFTDlg; // tests: runs the FFT dialog instead of exec()
    std::function<int(QDialog&)> m_runWobDlg; // tests: runs the sweep dialog instead of exec()
    QString m_diaTopic;                  // section the diagram window settings came from
    std::function<QString(const QString&, const QString&)> m_chooseTextFile; // tests; empty: dialog
    std::function<int(TFoToolAnalyzeCurve&)> m_runCurveTool; // tests; empty: exec()
    QMenu* m_outPopup = nullptr;         // panel 0 menu
    QMenu* m_inPopup = nullptr;          // panel 1 menu
    QMenu* m_analyzeMenu = nullptr;      // "&Analyze"
    QMenu* m_levelUnitMenu = nullptr;    // "Level Units"
    QActionGroup* m_levelUnits = nullptr; // the unit items, data = edBModi
    QAction* m_acStartMeasure = nullptr; // "Start Measure" (F4)
    QAction* m_acSoundOn = nullptr;      // "Sound On" (F3)
    QAction* m_altDLL = nullptr;         // "Alternative sound DLL"
    QAction* m_altDLLSep = nullptr;      // its separator
    QAction* m_acDCOffset = nullptr;     // "Audio-In DC-Offset", follows status bit 0x1000
    TPowThdDebugWnd* m_powThdDebug = nullptr; // the power-distortion log, made on first use
    TOszidia* m_scopeWnd = nullptr;      // the oscilloscope, in the diagram window's place in mode 9
    TVUTRIGG* m_vuTrigg = nullptr;       // level meter and trigger slider, at the output Setup's place
    std::function<int(TdlgPowThd&)> m_runPowThdDlg; // tests; empty: exec()
    // ---- presets
    std::array<Tpreset, kPresetSlots> m_presets; // the six slots
    std::unique_ptr<Trecent> m_recent;   // recent preset files under "&Presets"
    QString m_presetName;                // preset last executed or saved; data folder + "*.atp" when none
    const TMemIniFile* m_presetIni = nullptr; // the preset being executed, read instead of m_ini
    QString m_presetFile;                // its file, read by the measurement the mode switch makes
    QMenu* m_presetsMenu = nullptr;      // "&Presets"
    std::array<QAbstractButton*, kPresetSlots> m_slotButtons = {}; // the slot buttons 1..6
    std::function<QString(bool, const QString&, const QString&)> m_choosePreset; // tests; empty: dialog
    QAction* m_optAudio[4] = {};         // Options: out device, out parameter, in device, in parameter
    THelpWindow* m_helpWnd = nullptr;    // the help window, made on first use
    QAction* m_acTestCors = nullptr;     // "Test Correction Files" (check mark while shown)
    bool m_corsShown = false;
    std::function<bool(const QString&)> m_dropPreset; // the presets' drop handler, empty until they exist            // slots 6 and 7 show the corrections
    std::function<int(TMiscDlg&)> m_runMiscDlg; // tests; empty: exec()
    std::unique_ptr<QPrinter> m_printer; // the program's printer, made on first use
    std::function<QString(const QString&, const QString&)> m_choosePictureFile; // tests; empty: dialog
    std::function<int(QPrintDialog&)> m_runPrintDialog;     // tests; empty: exec()
    std::function<int(QPageSetupDialog&)> m_runPageSetup;   // tests; empty: exec()
    QAction* m_popAudio[4] = {};         // the same in the panel menus
    std::function<int(TFilterForm&)> m_runFilterForm; // tests; empty: exec()
    void buildMixerItems(QMenu* opt);
    void volumeBarsToMixer();
    Tmixu* m_mixer = nullptr;            // the card's mixer (child object)
    QAction* m_acMixOn = nullptr;        // "Mixer Support "
    QMenu* m_mixChannels = nullptr;      // "Wave In Channel": the recording sources
};
