// The sweep settings dialog "Wobbel-Einstellung".
#pragma once

#include "dsp/evalThieleSmall.h"
#include "measurements/Twobdat.h"

#include <QDialog>
#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// Edits a copy of the sweep settings (dwobDat); the caller takes the copy on OK. Modes 6 and 8
// show the impedance group and use the reference radio group for the measuring circuit.
// GUI thread only.
class Twobbeldlg : public QDialog {
    Q_OBJECT
public:
    Twobbeldlg(const Twobdat& w, int32_t mode, QWidget* parent = nullptr);

    const Twobdat& data() const { return dwobDat; }
    // The Thiele-Small inputs of the group "Impedance / TSP": a copy, taken back on OK.
    void setTSP(const tTSP& t);
    const tTSP& tspData() const { return dTSP; }
    // "Distortion Parameters" and "FFT Parameters": the analysis dialogs, run by the owner.
    std::function<void()> onDistortionParameters;
    std::function<void()> onFFTParameters;

    // The rules of the arrow buttons, as the dialog applies them.
    // Start frequency one step of 10 Hz up or down: never below 0.1 Hz nor above `stop`;
    // going up from an odd value lands on the next whole ten.
    static double stepStartFrequency(double start, double stop, int delta);
    // Digital level 0.1 dB up or down within -100..0 dB.
    static double stepLevel(double level, int delta);
    // The level as shown: "Off" at -100 dB and below, else "%1.2f".
    static QString levelText(double level);

    void accept() override;
    // Sets the values of the "default" button.
    void setDefaults();

    QLineEdit* EdFrom;       // start frequency, Hz
    QLineEdit* EdTo;         // stop frequency, Hz
    QSpinBox* SeSteps;       // "Anzahl Steps"
    QRadioButton* RbLin;     // "linear"
    QRadioButton* RbLog;     // "logarithmisch"
    QLineEdit* EdLevel;      // "Digital Level"
    QLabel* LaStart;         // "wait before meas." or the asynchronous duration
    QSpinBox* SeStart;       // settling time ms (sync) or duration s (async)
    QLabel* LaTotal;         // total time "%1.1fs"
    QCheckBox* CbPhase;      // phase "Messung"
    QLineEdit* EdPmin;       // phase range min, degrees
    QLineEdit* EdPmax;       // phase range max, degrees
    QRadioButton* RbRef[3];  // "Mono, right Ch. Ref.", "Mono, left Ch. Ref.", "Stereo, no Ch. Ref."
    QCheckBox* CbConti;      // "continuous"
    QCheckBox* CbSync;       // "sync"
    QCheckBox* CbWait1k;     // "wait 1kHz"
    QSpinBox* SeThreshold;   // "Threshold" "Level (dB)"
    QCheckBox* CbTrack;      // "Tracking Filter"
    QPushButton* BtTrack;    // "config tracking filter"
    QSpinBox* SePause;       // "Pause", s
    QCheckBox* CbNextCurve;  // "new curve / meas."
    QGroupBox* GbImp;        // "Impedance / TSP"
    QLineEdit* EdRs;         // series resistor, ohms
    QLineEdit* EdVb;         // cabinet volume, litres or ft³
    QLineEdit* EdMms;        // added mass, g or oz
    QLineEdit* EdD;          // diameter, mm or inch
    QLabel *LaVb, *LaMms, *LaD; // their labels, naming the unit
    QCheckBox* CbVasoverVb;  // "Vas via cabinet Vb"
    QCheckBox* CbRdcForced;  // "Rdc forced"
    QCheckBox* CbAltUnits;   // "Alternative Units"
    QPushButton* BtDefault;  // "default"

private:
    void build();
    QWidget* buildFrequencies();
    QWidget* buildMeasurement();
    QWidget* buildOptions();
    void showValues();
    void takeValues();
    void refreshRules();
    void configTrackFilter();
    void buildImpedance(class QGridLayout* g);
    void showTSP();
    void takeTSP();
    void refreshTSPRules();

    Twobdat dwobDat; // the copy being edited
    tTSP dTSP;       // the Thiele-Small inputs being edited
    bool m_altShown = false; // the three inputs are shown in the alternative units
    std::array<QString, 3> m_shownTSP; // the texts Vb, Mms and d were shown with
    int32_t m_mode;  // measuring mode 3, 6, 7 or 8
    bool m_filling = false; // the fields are being filled: no rules run
};
