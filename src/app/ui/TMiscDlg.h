// The "Miscellaneous" dialog: text separator, text-export number format, frame resolution, automatic names.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;

// The values the dialog edits (copies; the main window writes them back on OK).
struct TMiscValues {
    char textSep = ';';          // column separator of text files, ' ' for a blank
    int FPrec = 5;               // number field width of the diagram's text export
    int FDigits = 2;             // decimals of the text export
    int FTlines = 100;           // rows of the text export
    int FRAMERESOL_ms = 100;     // frame resolution of the 2D and 3D FFT, whole ms (> 20)
    bool AutoNamed = false;      // automatic names for text and picture exports
};

// GUI thread only.
class TMiscDlg : public QDialog {
    Q_OBJECT
public:
    explicit TMiscDlg(const TMiscValues& v, QWidget* parent = nullptr);
    TMiscValues values() const;

    QComboBox* CBTextSep;     // "Text separator"
    QSpinBox* SEPrec;         // "Number width"
    QSpinBox* SEDigits;       // "Decimals"
    QSpinBox* SELines;        // "Lines of text export"
    QSpinBox* SEFrame;        // "Frame resolution for 2D FFT and 3D FFT"
    QCheckBox* CBAutoNamed;   // "automatic file names"
};
