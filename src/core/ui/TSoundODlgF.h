// The generator dialog "Sound Out Values" and the modal loop of the output "Setup" button.
#pragma once

#include "dsp/tFilterBlock.h"
#include "core/TOutFilterSelect.h"
#include "core/TSoundOModel.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TOutFilterSelDlg;
class TUpDown;

// Message the dialog posts to itself after every change; it rebuilds its controls on it.
inline constexpr int MSG_SOUNDO_REBUILD = 0x412;

// The full filter editor for "Output Filter ", supplied by the program (it lives above this
// layer): edits left, right and the link flag in place, handing every change to the publisher;
// true after OK. Without one the compact "Output Filter select" dialog is used.
using TOutFilterEditor = std::function<bool(tFilterBlock& left, tFilterBlock& right, bool& link,
                                            const TOutFilterSelect::Publisher& publish)>;

// Runs the wave synthesis dialog on a formula in a loop: returns QDialog::Accepted, the Apply
// result (TSoundODlgF::kApplyResult) or QDialog::Rejected, with the formula edited in place.
using TSynthesisRunner = std::function<int(TWaf&)>;

// The generator dialog. Works on its own copy of the generator record (model()) and of the two
// output filter blocks; the caller copies them in before showing and out after OK or Apply.
// Every change posts MSG_SOUNDO_REBUILD; the rebuild moves the mode radio to the record's mode
// only on the first rebuild after the dialog is shown, so a click on an item is not overridden.
// GUI thread only.
class TSoundODlgF : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 42;  // help topic of the "&Help" button
    static constexpr int kApplyResult = 2;   // result of "&Apply" (besides Accepted, Rejected)

    explicit TSoundODlgF(QWidget* parent = nullptr);

    TSoundOModel& model() { return m_model; }
    // The dialog's output filter blocks (left, right) and whether the right follows the left.
    tFilterBlock dOutLeft;
    tFilterBlock dOutRight;
    bool dOutLink = true;
    // True once "Output Filter " was closed with OK since the blocks were copied in.
    bool filtersEdited() const { return m_filtersEdited; }
    void resetFiltersEdited() { m_filtersEdited = false; }
    // Hands edited blocks to the output path while the filter dialog is open.
    void setFilterPublisher(TOutFilterSelect::Publisher p) { m_publishFilters = std::move(p); }
    // Runs the "Output Filter select" dialog (tests replace it); default: exec().
    void setFilterDialogRunner(std::function<int(TOutFilterSelDlg&)> run) { m_runFilterDlg = std::move(run); }
    // Opens this editor for "Output Filter " instead of the compact dialog.
    void setFilterEditor(TOutFilterEditor e) { m_filterEditor = std::move(e); }

    // Runs the synthesis dialog for "Synthesis"; without one the button tells the user so.
    void setSynthesisRunner(TSynthesisRunner run) { m_synthesis = std::move(run); }
    // Asks for a sound file for "Open File" (start: the current name); empty when cancelled.
    // Default: QFileDialog "Open Sound File".
    void setFileChooser(std::function<QString(const QString&)> choose) { m_chooseFile = std::move(choose); }

    // Applies the model to the controls now (what MSG_SOUNDO_REBUILD does).
    void rebuildNow();
    int helpContext() const { return kHelpContext; }

    // ---- controls, named as the window has always named them
    QGroupBox* RGMode;          // "Mode"
    QButtonGroup* m_modeGroup;  // its radio items, id = item
    QLabel* LaLevel;            // "dig. Level (dBFS)"
    QLineEdit* EdLevel;
    TUpDown* UDLevel;
    QLabel* LaFreq;             // "Frequency (Hz)"
    QLineEdit* EdFreq;
    TUpDown* UDFreq;
    QLabel* LaSecond;           // per mode
    QLineEdit* EdSecond;
    TUpDown* UDSecond;
    QLabel* LaThird;            // "repeat time (ms)" or the second level
    QLineEdit* EdThird;
    TUpDown* UDThird;
    QLabel* LaInfoCaption;      // "DIRAC width" / "MLS duration (ms)"
    QLabel* LaInfo;             // the value
    QLabel* LaFile;             // mode 11: the sound file name
    QCheckBox* CBConti;         // "conti"
    QGroupBox* GBDual;          // holds the three combinations of the dual sine
    QRadioButton* RBAdd;        // "Add"
    QRadioButton* RBMulti;      // "Multiply"
    QRadioButton* RBLeRi;       // "Le/Ri"
    QPushButton* ButReset;      // "Reset"
    QPushButton* ButSynthesis;  // "Synthesis"
    QPushButton* ButOpenFile;   // "Open File"
    QPushButton* ButOutFilter;  // "Output Filter "
    QPushButton* OKBtn;
    QPushButton* ApplyBtn;      // "&Apply"
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;       // emits helpRequested(kHelpContext)

signals:
    void helpRequested(int context);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildControls();
    void buildButtons();
    void connectFields();
    void postRebuild();
    void onItemClicked(int item);
    void openFile();
    void runSynthesis();
    void editOutputFilters();
    void applyView(const TSoundOView& v);

    QWidget* m_rowLevel = nullptr;    // field rows, hidden as a whole
    QWidget* m_rowFreq = nullptr;
    QWidget* m_rowSecond = nullptr;
    QWidget* m_rowThird = nullptr;
    QWidget* m_rowInfo = nullptr;     // dirac width or MLS duration
    TSoundOModel m_model;             // the record copy and the rules
    bool m_firstRebuild = true;       // the next rebuild moves the mode radio
    bool m_rebuilding = false;        // controls are being filled: their signals change nothing
    TSynthesisRunner m_synthesis;     // the wave synthesis dialog, when there is one
    bool m_filtersEdited = false;     // the output blocks were edited
    TOutFilterSelect::Publisher m_publishFilters;          // output path of the filter dialog
    std::function<int(TOutFilterSelDlg&)> m_runFilterDlg; // the filter dialog's modal run
    TOutFilterEditor m_filterEditor;                       // the full editor, when supplied
    std::function<QString(const QString&)> m_chooseFile; // "Open File"
};

// Runs a TSoundODlgF modally and returns its result; tests replace it to drive the dialog.
using TSoundODlgRunner = std::function<int(TSoundODlgF&)>;

// What the output "Setup" button hands to the generator dialog.
struct TSoundOutSetup {
    TwaveGO* target = nullptr;                 // the module's record; nothing happens without one
    std::function<int32_t()> readStatus;       // the module's status word (capability bits)
    bool impulseMeasurement = false;           // the active measuring mode is 4, 5 or 11
    tFilterBlockSet* filters = nullptr;        // the output filter blocks (copied in; edits back)
    TOutFilterSelect::Publisher publishFilters; // hands output blocks to the output path
    std::function<void()> afterCopy;           // refreshes the main window's parameter editor
    TSynthesisRunner synthesis;                // the wave synthesis dialog, when there is one
    TOutFilterEditor filterEditor;             // the full filter editor, when there is one
};

// The modal loop: copies the record and the output blocks into the dialog, shows it, and after
// OK or "&Apply" copies the record back into the module's record and calls afterCopy; "&Apply"
// shows the dialog again at once. Output blocks edited in the dialog (each change was already
// playing) are taken into filters after OK or Apply and published; after Cancel the blocks of
// filters are published again. Returns the last result (Rejected when there is no record).
int runSoundOutDialog(const TSoundOutSetup& setup, QWidget* parent = nullptr, const TSoundODlgRunner& run = {});
