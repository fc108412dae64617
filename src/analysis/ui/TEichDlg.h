// The calibration dialog "Calibration": input voltage at full scale, microphone sensitivities, preamp gains, live input level.
#pragma once

#include "analysis/AnalysePara.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class TMemIniFile;

// Edits a copy of the calibration record. While open it runs its own acquisition of 8000-sample
// blocks of the first two inputs through the loaded sound module and shows each block's level
// (or the overload counts, or "sample error") with an activity mark, so the user can raise a
// sine until the input just overloads and type the RMS voltage measured there. The module is
// asked every 30 ms whether a block completed, so all work happens on the GUI thread and
// nothing arrives once the dialog closes.
// OK checks the state and the voltage (warnings "Calibration process not started" and "Not a
// valid voltage value", the dialog stays open); when they hold, INPUT and OUTPUT become the
// voltage, the entry joins the voltage history (section "EichCombo" of `ini`) and the dialog
// closes with Accepted; the caller then takes values(). Texts in German or English (lang 'D'
// / 'E'). GUI thread only; `ini` must outlive the dialog.
class TEichDlg : public QDialog {
    Q_OBJECT
public:
    // The process-wide calibration state.
    enum eCalState : int { csOpened = 0, csShown = 1, csMeasured = 2, csClosed = 99 };
    static constexpr int32_t kBlockSamples = 8000;

    TEichDlg(const TLevelCalibration& cal, TMemIniFile& ini, char lang, QWidget* parent = nullptr);
    ~TEichDlg() override;

    static int calState() { return s_state; }
    // The edited record (valid after OK).
    TLevelCalibration values() const;
    const QStringList& history() const { return m_history; }
    // Runs OK's checks as the button does.
    void okClicked();
    // Removes the selected history entry and selects the previous one (or the first).
    void deleteEntry();
    // Looks for a completed block and shows its level; true when one was there.
    bool pollBlock();

    QComboBox* EichCombo;   // voltage history, editable: number (mV RMS) and comment
    QLabel* LaLevel;        // level in % of full scale, overload counts or "sample error"
    QLabel* LaActive;       // activity mark
    QLineEdit* EdMicL;      // sensitivity left, mV/Pa
    QLineEdit* EdMicLdB;    // the same in dB re 1 V/Pa
    QLineEdit* EdMicR;
    QLineEdit* EdMicRdB;
    QLineEdit* EdPreAmpL;   // preamp gain left, dB
    QLineEdit* EdPreAmpR;

protected:
    void done(int r) override;

private:
    void build(char lang);
    QWidget* buildSensitivities(char lang);
    void linkUnits(QLineEdit* mv, QLineEdit* dB);
    void fillFields();
    void startAcquisition();
    void stopAcquisition();
    void finish();
    void readFields();

    static int s_state;                     // calibration state (eCalState)
    double InCalVal_mV;                     // INPUT being edited
    double OutCalVal_mV;                    // OUTPUT being edited
    double dMicsens_mVpPaL, dMicsens_mVpPaR; // microphone sensitivities, mV/Pa
    double dPreAmp_dBL, dPreAmp_dBR;        // preamp gains, dB
    std::vector<double> Caldata[2];         // the last block of each input, kBlockSamples
    bool bEichClosing = false;              // closing: late polls are no-ops
    bool m_linking = false;                 // a field is being set from its partner
    TMemIniFile& m_ini;                     // holds the voltage history
    QStringList m_history;                  // the voltage history, list order
    QTimer* m_poll = nullptr;               // asks the module for a completed block
};
