// The dialog "Input DC-Offset": the DC offset correction of the two inputs, or its automatic removal.
#pragma once

#include "soundDLLTypes.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QSlider;

// Edits a copy of the input format record's DC offsets. Each bar holds -offset * 1e6 (offset in
// full-scale units, 1e-6 resolution, -0.02 .. 0.02 FS); its label shows the offset "%1.6f FS".
// " Auto DC-Offset" disables both bars. OK closes with Accepted, "&Apply" with kApplyResult
// (the caller writes the record back and opens the dialog again), "Cancel" changes nothing.
// GUI thread only.
class TDCoffsetDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kApplyResult = 4; // the "retry" result of "&Apply"
    static constexpr int kBarRange = 20000;

    explicit TDCoffsetDlg(const Twfs& input, QWidget* parent = nullptr);

    // The record with the offsets and the auto flag as the controls show them.
    Twfs wfs() const;
    // Offset (FS) of a bar position, and the label text of it.
    static double offsetOf(int position) { return -position / 1e6; }
    static QString offsetText(double offset);

    QSlider* K1;          // left input
    QSlider* K2;          // right input
    QLabel* LaK1;         // "0.001500 FS"
    QLabel* LaK2;
    QCheckBox* CBAuto;    // " Auto DC-Offset"

private:
    QSlider* bar(const char* name, QLabel*& label, double offset);
    void showAuto();

    Twfs m_wfs; // the record edited
};
