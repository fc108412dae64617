// The curve dialog "Curve Dialog": appearance, group, arithmetic, offset and files of one curve.
#pragma once

#include "display/Tcurve.h"
#include "display/ui/diaDialogParts.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TDiagramm;
class TUpDown;

// Edits dlgCurve (a copy the caller owns and writes back on OK or Apply) in place; the group
// unit is written straight into the diagram's y group. Results: kOkResult, kApplyResult (the
// caller applies and opens the dialog again), kCancelResult. "Reset" posts MSG_DIA_CLEARCURVE
// with the curve's slot to pwindow. Showing the dialog (activation) refills every control
// from dlgCurve. File and colour dialogs are replaceable (tests). GUI thread only; dlgCurve,
// adia and pwindow must outlive the dialog (adia and pwindow may be null).
class TCrvdia : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOkResult = 1;     // OK
    static constexpr int kCancelResult = 2; // Cancel
    static constexpr int kApplyResult = 4;  // Apply: caller applies and reopens
    static constexpr int kHelpContext = 22; // help topic of "Help"

    TCrvdia(Tcurve& dlgCurve, TDiagramm* adia, bool dYaxlog, QObject* pwindow,
            QWidget* parent = nullptr);

    void setOpenFileChooser(TFileChooser c) { m_openFile = std::move(c); }
    void setSaveFileChooser(TFileChooser c) { m_saveFile = std::move(c); }
    void setColorChooser(TColorChooser c) { m_chooseColor = std::move(c); }

    Tcurve& dlgCurve() { return m_curve; }
    bool dYaxlog() const { return m_dYaxlog; }   // "y-Axis log." as left by the user
    bool loading() const { return m_loading; }   // a curve file was loaded while open
    double OffsetY() const { return m_offsetY; } // typed offset, applied on OK / Apply

    // Fills every control from dlgCurve (what activation does).
    void activate();
    void loadCurve();   // "Load"
    void saveCurve();   // "Save"
    void chooseColor(); // "Curve color"
    void resetPeak();   // "Reset"
    void apply();       // "Apply"
    void accept() override;
    void reject() override;

    QCheckBox* CBvisible;      // "visible"
    QCheckBox* CBselected;     // "selected" (enabled while visible)
    QLineEdit* EdName;         // curve name
    QLineEdit* EdComment;      // comment
    QLineEdit* EdUnit;         // "Unit (text only)" of the curve's y group
    QLabel* LaGroup;           // group letter 'A' + Cygroup
    TUpDown* UDGroup;          // "scroll group"
    QCheckBox* CBYaxisLog;     // "y-Axis log."
    QLineEdit* EdFileName;     // curve file name (read only)
    QPushButton* BtnColor;     // "Curve color", text in the curve colour
    QComboBox* CBFilter;       // display filter 0..4
    QComboBox* CBLineMode;     // pen style 0..4
    QSpinBox* SEWidth;         // line width, typed values clamped to 1..20
    QComboBox* CBOperation;    // operation 0..5
    QComboBox* CBOp1;          // first operand slot
    QLabel* LaSign;            // "+", "-", "*", "/"
    QComboBox* CBOp2;          // second operand slot
    QLabel* LaWith;            // "with curve(s)"
    QPushButton* BtnReset;     // "Reset" (peak hold)
    QLineEdit* EdOffset;       // y offset, ',' read as '.'
    QPushButton* BtnAddOffset; // "Add Offset" (hidden)
    QCheckBox* CBComment2Name; // "Comment -> Name" (hidden)
    QPushButton* BtnLoad;      // "Load"
    QPushButton* BtnSave;      // "Save"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* ApplyBtn;
    QPushButton* HelpBtn;

signals:
    void helpRequested(int context);

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* buildNames();
    QWidget* buildLook();
    QWidget* buildOperation();
    QWidget* buildFiles();
    QWidget* buildButtons();
    void connectEdits();
    void connectLook();
    void fillControls();
    void showColor();
    void showOperands();
    void showGroup();
    void onVisible(bool on);
    void onGroupStep(int delta);
    void onComment2Name(bool on);
    void finish(int result);

    Tcurve& m_curve;             // the edited curve (the caller's copy)
    TDiagramm* m_dia;            // diagram of the curve, for its y groups (may be null)
    QObject* m_window;           // receiver of "Reset" (may be null)
    bool m_dYaxlog;              // "y-Axis log."
    bool m_loading = false;      // a file was loaded while open
    double m_offsetY = 0.0;      // offset to add on OK / Apply, y units
    bool m_filling = false;      // controls are being filled: edits do not write back
    TFileChooser m_openFile;     // "Load Curve" dialog
    TFileChooser m_saveFile;     // "Save Curve" dialog
    TColorChooser m_chooseColor; // colour dialog
};
