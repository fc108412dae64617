// The colour dialog of the oscilloscope and time diagrams ("Diagram Options").
#pragma once

#include "display/TDiaColorSet.h"
#include "display/ui/diaDialogParts.h"

#include <QDialog>

class QFrame;
class QPushButton;

// Edits a copy of a colour set (colors()): a swatch and a "change" button per colour, and
// "default" with the oscilloscope set (dOszi) or the time-diagram set (margin = the main
// window's colour). Results: QDialog::Accepted on OK, kCancelResult otherwise. The colour
// dialog is replaceable (tests). GUI thread only.
class TdiaCdlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCancelResult = 2;
    static constexpr int kColors =
        7; // diagram, grid, margin, curve, FFT line, echo point, info text

    TdiaCdlg(const TDiaColorSet& colors, bool dOszi, TColorBGR mainWindowColor,
             QWidget* parent = nullptr);

    void setColorChooser(TColorChooser c) { m_chooseColor = std::move(c); }
    const TDiaColorSet& colors() const { return m_colors; }

    void setDefaults();     // "default"
    void change(int index); // "change" of colour index 0..6
    void reject() override;

    QFrame* Shapes[kColors];         // swatches in the order above
    QPushButton* BtnChange[kColors]; // "change"
    QPushButton* BtnDefault;         // "default"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    TColorBGR& colorAt(int index);
    void showColors();

    TDiaColorSet m_colors;       // edited copy
    bool m_oszi;                 // the oscilloscope's defaults
    TColorBGR m_mainWindowColor; // margin default of the time diagram
    TColorChooser m_chooseColor; // colour dialog
};
