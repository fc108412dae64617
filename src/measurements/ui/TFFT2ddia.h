// The FFT settings dialog: transform size, window, 3D stepping and the impulse options.
#pragma once

#include "measurements/TFFT2ddiaModel.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QToolButton;

// Edits a TFFT2ddiaData; the option word decides what is shown and enabled. data() holds the
// result after OK. GUI thread only.
class TFFT2ddia : public QDialog {
    Q_OBJECT
public:
    TFFT2ddia(const TFFT2ddiaData& data, int32_t options, QWidget* parent = nullptr);

    const TFFT2ddiaData& data() const { return m_data; }
    int32_t helpTopic() const { return FFTDialogHelpTopic(m_options); }

    QComboBox* CBWindow;      // "FFT Window"
    QComboBox* CBPoints;      // "FFT Points"
    QLabel* LaResolution;     // "Resolution:" value
    QLabel* La3D;             // "3D Stepping / ms" value
    QToolButton* Up3D;        // one sample period more
    QToolButton* Down3D;      // one sample period less
    QCheckBox* CBNextCurve;   // "New curve / meas."
    QCheckBox* CBConti;       // "Continuous"
    QCheckBox* CBRef;         // "Reference"
    QSpinBox* SEBefore;       // "x samples before"
    QCheckBox* CBIps2Ch;      // "2 Ips Channels" (always disabled)
    QCheckBox* CBPhase;       // "2. curve is phase"
    QCheckBox* CBGD;          // "2. curve is group delay"
    QCheckBox* CBExternal;    // "external impulse"
    QCheckBox* CBMLSAuto;     // "Ips auto recognition (MLS)"
    QCheckBox* CBVU;          // "VU Meter" (hidden)

    void accept() override;

private:
    void build();
    void applyOptions();
    void show3D();
    void showResolution();
    void secondCurveClicked(bool phase);

    TFFT2ddiaData m_data; // what the dialog edits
    int32_t m_options;    // option word of the mode
};
