// The "Miscellaneous" dialog.
#include "app/ui/TMiscDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The separators offered: shown text and character.
struct SepItem {
    const char* text;
    char sep;
};
constexpr SepItem kSeps[] = {{";", ';'}, {",", ','}, {"BLANK", ' '}, {":", ':'}, {"|", '|'}};

QSpinBox* spin(QWidget* parent, int lo, int hi, int v, const QString& tip)
{
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setValue(v);
    s->setToolTip(tip);
    return s;
}

} // namespace

TMiscDlg::TMiscDlg(const TMiscValues& v, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Miscellaneous");
    CBTextSep = new QComboBox(this);
    for (const SepItem& s : kSeps) CBTextSep->addItem(s.text, int(s.sep));
    if (CBTextSep->findData(int(v.textSep)) < 0) CBTextSep->addItem(QString(QChar(v.textSep)), int(v.textSep)); // kept as stored
    CBTextSep->setCurrentIndex(CBTextSep->findData(int(v.textSep)));
    CBTextSep->setToolTip("Column separator of text exports, correction and curve text files");
    SEPrec = spin(this, 1, 30, v.FPrec, "Width of each number in the diagram's text export");
    SEDigits = spin(this, 0, 15, v.FDigits, "Decimals of each number in the diagram's text export");
    SELines = spin(this, 2, 1000000, v.FTlines, "Rows of the diagram's text export");
    SEFrame = spin(this, 21, 60000, v.FRAMERESOL_ms, "Shortest time between two analysed blocks");
    SEFrame->setSuffix(" ms");
    CBAutoNamed = new QCheckBox("automatic file names (no save dialog)", this);
    CBAutoNamed->setChecked(v.AutoNamed);
    CBAutoNamed->setToolTip("Text and picture exports go to the last folder with a time-stamped name");
    auto* form = new QFormLayout;
    form->addRow("Text separator", CBTextSep);
    form->addRow("Number width", SEPrec);
    form->addRow("Decimals", SEDigits);
    form->addRow("Lines of text export", SELines);
    form->addRow("Frame resolution for 2D FFT and 3D FFT", SEFrame);
    form->addRow(QString(), CBAutoNamed);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* col = new QVBoxLayout(this);
    col->addLayout(form);
    col->addWidget(buttons);
}

TMiscValues TMiscDlg::values() const
{
    TMiscValues v;
    v.textSep = char(CBTextSep->currentData().toInt());
    v.FPrec = SEPrec->value();
    v.FDigits = SEDigits->value();
    v.FTlines = SELines->value();
    v.FRAMERESOL_ms = SEFrame->value();
    v.AutoNamed = CBAutoNamed->isChecked();
    return v;
}
