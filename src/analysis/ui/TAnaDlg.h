// The analysis dialog "Analyze Dialog": band, weighting, fundamental, harmonics and result lines.
#pragma once

#include "analysis/AnalysePara.h"
#include "analysis/ui/TAnaDlgModel.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TWuFSetupDlg;

// Edits a copy of the settings (copy()). OK checks the fields (TAnaDlgModel order), shows the
// first failure as a warning and stays open; when all are right it stores them and copies the
// copy back into the settings given. "Apply" does the same and closes with kApplyResult (the
// "retry" result: the caller applies the settings and opens the dialog again). Cancel changes
// nothing. "Setup" edits the wow and flutter part of the copy.
// Texts in German or English (lang 'D' / 'E', from vlLanguageCode()). GUI thread only;
// `settings` must outlive the dialog.
class TAnaDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kApplyResult = 4; // the "retry" result of "Apply"

    // measuredFundamental: what the running measurement last found, Hz (0: nothing).
    TAnaDlg(cAnaPara& settings, char lang, double measuredFundamental = 0.0, QWidget* parent = nullptr);

    // Asks for the "USER" filter's correction file (start: the current name); empty when
    // cancelled. Default: a file dialog with the filter "Filter File (*.cor)".
    void setFileChooser(std::function<QString(const QString&)> choose) {
        m_chooseFile = std::move(choose);
    }
    // Runs the wow and flutter setup dialog (tests replace it); default: exec().
    void setWuFRunner(std::function<int(TWuFSetupDlg&)> run) { m_runWuF = std::move(run); }

    const cAnaPara& copy() const { return m_copy; }
    // The fields as the controls show them.
    TAnaDlgModel fields() const;

    QLineEdit* EdFreqLow;     // "Frequency low"
    QLineEdit* EdFreqHigh;    // "Frequency high"
    QComboBox* CBFilter;      // weighting filter
    QLabel* LaUserFile;       // the "USER" filter's file
    QCheckBox* CBFilterFFT;   // "Apply filter also to  diagram"
    QCheckBox* CBFundAuto;    // automatic fundamental
    QLineEdit* EdFundamental; // manual fundamental, Hz
    QLineEdit* EdThreshold;   // threshold, dB
    QCheckBox* CBH[8];        // H2..H9
    QCheckBox* CBTHD;         // "THD"
    QCheckBox* CBNoise;       // "Noise"
    QCheckBox* CBPercent;     // "Distortion in %"
    QCheckBox* CBLevel;       // result lines
    QCheckBox* CBDistortion;
    QCheckBox* CBIM;
    QCheckBox* CBSignalNoise;
    QCheckBox* CBModDist;
    QCheckBox* CBWuF;
    QPushButton* ButWuFSetup; // "Setup"
    QCheckBox* CBTextLeft;    // result text
    QCheckBox* CBTextRight;
    QCheckBox* CBDetails;
    QSpinBox* SETextSize; // 7..144
    QPushButton* OKBtn;
    QPushButton* ApplyBtn;
    QPushButton* CancelBtn;

    void accept() override;
    void apply();

private:
    QString tr2(const char* en, const char* de) const;
    QWidget* buildBand();
    QWidget* buildFilter();
    QWidget* buildFundamental();
    QWidget* buildDistortion();
    QWidget* buildResults();
    QWidget* buildText();
    void buildLayout();
    void showFields(const TAnaDlgModel& m);
    void onFilterChosen(int index);
    void onTHD(bool on);
    void runWuFSetup();
    bool takeFields();

    cAnaPara& m_target;    // the caller's settings, written on OK and Apply only
    cAnaPara m_copy;       // what the dialog edits
    bool m_german;         // texts in German
    QString m_userFile;    // correction file of "USER"
    int m_filterIndex = 0; // the filter shown before the last choice
    std::function<QString(const QString&)> m_chooseFile;
    std::function<int(TWuFSetupDlg&)> m_runWuF;
};
