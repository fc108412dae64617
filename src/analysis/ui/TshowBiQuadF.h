// The biquad list: the digital sections of one filter block in a grid, and the DSP coefficient
// file.
#pragma once

#include "dsp/DSPcalcTAS5504.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QTableWidget;
class QPushButton;

// Shows the sections of every filter of a block that is not Flat, one row each, in the chosen
// output format; "Save" writes the 12-line TAS5504 file. The block is copied in. GUI thread.
class TshowBiQuadF : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kOddRowColour = 12639424; // 0x00BBGGRR: rows of odd filters

    // Title "List Biquads IIR @ SF <fs>Hz".
    TshowBiQuadF(const tFilterBlock& block, double fs, QWidget* parent = nullptr);

    void setOutFormat(TBiqOutFormat f); // refills the grid
    TBiqOutFormat OutFormat() const { return m_format; }
    // Writes the coefficient file atomically; false after a message when it could not. A
    // coefficient out of the 2.22 range is written saturated, with a warning.
    bool saveTo(const QString& fileName);
    // Asks for the file for "Save" (start: a name); empty when cancelled. Tests replace it.
    void setFileChooser(std::function<QString(const QString&)> f) { m_choose = std::move(f); }

    QTableWidget* Grid;     // header row, then one row per section
    QButtonGroup* RGFormat; // "Floating" .. "Hex 2.22", id = TBiqOutFormat
    QPushButton* SaveBtn;   // "Save"

private:
    void fill();
    void save();

    tFilterBlock m_block;                            // the block shown
    TBiqOutFormat m_format = fFloat;                 // format of the grid
    std::function<QString(const QString&)> m_choose; // file chooser; empty: QFileDialog
};
