// The settings dialog of the distortion-versus-power measurement ("Power Thd Dialog" / "Voltage Thd Dialog").
#pragma once

#include "analysis/AnalysePara.h"
#include "measurements/TPowThdSettings.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class TAnaDlg;

// Edits a copy of the settings and of the engine's analysis parameters. Every change posts
// message 1042 to the dialog, whose handler shows the mode (power: caption "Power Thd Dialog",
// "Power range" in W, load and "Bridged Amplifier"; voltage: "Voltage Thd Dialog", "Voltage
// range" in mV, no load), the voltage panel, the curves used and the expected levels (with the
// gain check the sound-card input levels of the first and last step, the upper red above
// 0 dBFS; without it the generator range). OK takes the fields; a field that does not convert
// keeps the value it had. GUI thread only.
class TdlgPowThd : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMsg = 0x400 + 18; // 1042

    TdlgPowThd(const TPowThdSettings& s, const cAnaPara& ana, const TLevelCalibration& cal, QWidget* parent = nullptr);

    // The settings as the fields show them.
    TPowThdSettings settings() const;
    const cAnaPara& analysis() const { return m_ana; }
    // Runs the analysis dialog of "Distortion Parameters" (tests replace it; default exec()).
    void setAnaDlgRunner(std::function<int(TAnaDlg&)> run) { m_runAna = std::move(run); }
    // The handler of message 1042.
    void refresh();

    QSpinBox* SESteps;          // "Steps"
    QLineEdit* EdFreq;          // "Test frequency", Hz
    QComboBox* CBFrom;          // range from (W or mV)
    QComboBox* CBTo;            // range to
    QComboBox* CBLoad;          // "Load", ohm
    QLineEdit* EdTestLevel;     // "Test Level for gain check", dBFS
    QLabel* LaRange;            // "Power range" / "Voltage range"
    QLabel* LaUnitFrom;         // "W" / "mV"
    QLabel* LaUnitTo;
    QLabel* LaLoad;             // "Load"
    QLabel* PaVoltage;          // "Voltage range @ sound card input" panel
    QLabel* PaCurves;           // "Used curves" panel
    QLabel* PaOutBeg;           // output range panels, "%1.2f"
    QLabel* PaOutEnd;
    QCheckBox* CBDebug;         // "Debug Window"
    QCheckBox* CBBridged;       // "Bridged Amplifier"
    QCheckBox* CBPowerMeas;     // "Power Measurement" / "Voltage Measurement"
    QCheckBox* CBSepHarm;       // "Separate  harmonic curves"
    QCheckBox* CBUpDown;        // "Up/Down measurement"
    QCheckBox* CBLeft;          // "Left Ch."
    QCheckBox* CBRight;         // "Right Ch."
    QCheckBox* CBGainCheck;     // "Gain check"

protected:
    bool event(QEvent* e) override;

private:
    void build();
    QWidget* buildRanges();
    QWidget* buildSwitches();
    QWidget* buildPanels();
    void fill(const TPowThdSettings& s);
    void changed();
    void showRangeItems(bool power);
    QString usedCurvesText(const TPowThdSettings& s) const;

    TPowThdSettings m_set;      // the settings given; what fields that do not convert keep
    cAnaPara m_ana;             // the analysis parameters being edited
    TLevelCalibration m_cal;    // for the expected input levels
    bool m_filling = false;     // the fields are being filled: no change messages
    bool m_shownPower = true;   // the range fields hold W (else mV)
    std::function<int(TAnaDlg&)> m_runAna; // runs the analysis dialog
};
