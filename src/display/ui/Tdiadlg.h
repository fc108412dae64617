// The dialog "Diagram Options": cursor mode, axes, colours, font and clear-curves flags.
#pragma once

#include "display/TDiaOptions.h"
#include "display/ui/diaDialogParts.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TFoSpecDia4;

// Edits a copy of the options (options()). Results: kOkResult, kApplyResult (the caller
// writes the options back and opens the dialog again), kCancelResult. Colour, font and the
// "special" dialog are replaceable (tests). Texts are English only. GUI thread only.
class Tdiadlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOkResult = 1;
    static constexpr int kCancelResult = 2;
    static constexpr int kApplyResult = 4;
    static constexpr int kHelpContext = 0; // no own help topic: the contents page

    explicit Tdiadlg(const TDiaOptions& options, QWidget* parent = nullptr);

    void setColorChooser(TColorChooser c) { m_chooseColor = std::move(c); }
    void setFontChooser(TFontChooser c) { m_chooseFont = std::move(c); }
    // Runs the "special" dialog; default exec().
    void setSpecialRunner(std::function<int(TFoSpecDia4&)> r) { m_runSpecial = std::move(r); }

    const TDiaOptions& options() const { return m_opt; }

    void setDefaults(); // "default"
    void chooseFont();  // "font"
    void runSpecial();  // "special"
    void apply();       // "Apply"
    void accept() override;
    void reject() override;

    QFrame* ShDiagram; // colour swatches
    QFrame* ShGrid;
    QFrame* ShMargin;
    QPushButton* BtnDiagram; // "change" of "Diagram Color"
    QPushButton* BtnGrid;    // "change" of "Grid Color"
    QPushButton* BtnMargin;  // "change" of "Margin Color"
    QPushButton* BtnDefault; // "default"
    QRadioButton* RBLevel;   // "Measurem. of"
    QRadioButton* RBFrequency;
    QRadioButton* RBSlope;
    QRadioButton* RBNone;
    QRadioButton* RBCross;    // "Crosshair"
    QCheckBox* CBHarmonics;   // "harmonic markers"
    QRadioButton* RBNormal; // "y-axis"
    QRadioButton* RB0dB1k;
    QRadioButton* RB0dBmax;
    QCheckBox* CBLogX;        // "log. X-Diagram"
    QCheckBox* CBAuto;        // "Auto" y step
    QLineEdit* EdYStep;       // y step "%1.3f", enabled without "Auto"
    QCheckBox* CBPink;        // "pink noise corr."
    QPushButton* BtnFont;     // "font"
    QCheckBox* CBClearCurves; // "clear curves"
    QCheckBox* CBClearSel;    // "clear selections"
    QPushButton* BtnSpecial;  // "special"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* ApplyBtn;
    QPushButton* HelpBtn;

signals:
    void helpRequested(int context);

private:
    QWidget* buildColors();
    QWidget* buildCursor();
    QWidget* buildYAxis();
    QWidget* buildScale();
    QWidget* buildClear();
    QWidget* buildButtons();
    void connectControls();
    void fillControls();
    void changeColor(TColorBGR& c);

    TDiaOptions m_opt;           // edited copy
    TColorChooser m_chooseColor; // colour dialog
    TFontChooser m_chooseFont;   // font dialog
    std::function<int(TFoSpecDia4&)> m_runSpecial;
};
