// The curve analysis tool "Analyze Curve (Level, Distortion)": figures of a stored FFT curve.
#pragma once

#include "analysis/AnalysePara.h"
#include "display/ui/diaDialogParts.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Works on copies of the caller's analysis settings (taken at construction). "Open Curve"
// asks for a curve file (replaceable chooser), lists its name, a note on transform keys that
// could not be used, the window the level is corrected for, and the level / distortion lines
// in the memo; a file that is no FFT curve gives "Error" / "Curve is not from a fft
// measurement!", an unreadable one the loader's reason, both through the message service.
// GUI thread only.
class TFoToolAnalyzeCurve : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 44; // help topic of "Help"

    TFoToolAnalyzeCurve(const cFFTdat& fft, const cAnaPara& ana, const TLevelCalibration& cal,
                        QWidget* parent = nullptr);

    void setOpenFileChooser(TFileChooser c) { m_openFile = std::move(c); }

    // Clears the memo, file name "..." (what activation does).
    void activate();
    void openCurve(); // "Open Curve"
    // Loads and analyses one file; false when it could not be analysed (message shown).
    bool analyzeFile(const QString& path);

    QLabel* LaFileName;   // file name ("..." before the first)
    QPlainTextEdit* Memo; // file names and result lines
    QPushButton* OpenBtn; // "Open Curve"
    QPushButton* HelpBtn;
    QPushButton* CloseBtn;

signals:
    void helpRequested(int context);

protected:
    void showEvent(QShowEvent* e) override;

private:
    cFFTdat m_fft;           // the caller's FFT settings, copied
    cAnaPara m_ana;          // the caller's analysis settings, copied
    TLevelCalibration m_cal; // the caller's level calibration, copied
    TFileChooser m_openFile; // "Curves [*.cur]" open dialog
};
