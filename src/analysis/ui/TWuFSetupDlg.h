// The wow and flutter setup dialog: reference frequency, standard, mode and the 4 Hz band-pass.
#pragma once

#include "analysis/AnalysePara.h"
#include "analysis/ui/TWuFSetupModel.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;

// Edits a copy of the settings; OK stores the items into the copy and copies it back into the
// settings given, Cancel leaves them alone. GUI thread only; `settings` must outlive the dialog.
class TWuFSetupDlg : public QDialog {
    Q_OBJECT
public:
    explicit TWuFSetupDlg(cAnaPara& settings, QWidget* parent = nullptr);

    // The items as the controls show them.
    TWuFSetupModel items() const;
    const cAnaPara& copy() const { return m_copy; }

    QGroupBox* RGFreq;     // "Reference Freq."
    QButtonGroup* m_freq;  // its items, id = item
    QGroupBox* RGStandard; // "Meas. standard"
    QButtonGroup* m_standard;
    QGroupBox* RGMode; // "W&&F Mode"
    QButtonGroup* m_mode;
    QGroupBox* GBBandpass; // "Bandpass 4Hz"
    QCheckBox* CBBandpass; // "On"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void accept() override;

private:
    QGroupBox* radioGroup(const QString& caption, const QStringList& items, QButtonGroup*& group);

    cAnaPara& m_target; // the caller's settings, written on OK only
    cAnaPara m_copy;    // what the dialog edits
};
