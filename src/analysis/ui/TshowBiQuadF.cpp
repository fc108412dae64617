// The biquad list window.
#include "analysis/ui/TshowBiQuadF.h"

#include "base/vlMessages.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char* const kFormatNames[kBiqOutFormats] = {"Floating", "Hex 5.23", "Hex 25.23", "Hex 4.20",
                                                  "Hex 2.22"};
const char* const kHeader[6] = {"BiQ# / Coefs:", "a1", "a2", "b0", "b1", "b2"};

QColor fromBGR(unsigned c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

TshowBiQuadF::TshowBiQuadF(const tFilterBlock& block, double fs, QWidget* parent)
    : QDialog(parent), m_block(block) {
    setObjectName("showBiQuadF");
    setWindowTitle(QString("List Biquads IIR @ SF %1Hz").arg(fs, 0, 'f', 0));
    auto* lay = new QVBoxLayout(this);
    Grid = new QTableWidget(this);
    Grid->setColumnCount(6);
    Grid->horizontalHeader()->setVisible(false);
    Grid->verticalHeader()->setVisible(false);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lay->addWidget(Grid, 1);
    auto* row = new QHBoxLayout;
    RGFormat = new QButtonGroup(this);
    for (int i = 0; i < kBiqOutFormats; ++i) {
        auto* rb = new QRadioButton(kFormatNames[i], this);
        RGFormat->addButton(rb, i);
        row->addWidget(rb);
    }
    RGFormat->button(0)->setChecked(true);
    row->addStretch();
    SaveBtn = new QPushButton("Save", this);
    row->addWidget(SaveBtn);
    auto* close = new QPushButton("Close", this);
    row->addWidget(close);
    lay->addLayout(row);
    connect(RGFormat, &QButtonGroup::idClicked, this,
            [this](int id) { setOutFormat(TBiqOutFormat(id)); });
    connect(SaveBtn, &QPushButton::clicked, this, &TshowBiQuadF::save);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(720, 360);
    fill();
}

void TshowBiQuadF::setOutFormat(TBiqOutFormat f) {
    m_format = f;
    if (QAbstractButton* b = RGFormat->button(int(f))) b->setChecked(true);
    fill();
}

void TshowBiQuadF::fill() {
    const std::vector<TBiquadRow> rows = ListBiquads(m_block);
    Grid->setRowCount(int(rows.size()) + 1);
    for (int c = 0; c < 6; ++c)
        Grid->setItem(0, c, new QTableWidgetItem(kHeader[c]));
    for (size_t r = 0; r < rows.size(); ++r) {
        const TIIRSection& s = rows[r].coef;
        const QString cells[6] = {QString::fromStdString(BiquadRowLabel(rows[r])),
                                  QString::fromStdString(FormatBiqCoef(s.a1, m_format)),
                                  QString::fromStdString(FormatBiqCoef(s.a2, m_format)),
                                  QString::fromStdString(FormatBiqCoef(s.b0, m_format)),
                                  QString::fromStdString(FormatBiqCoef(s.b1, m_format)),
                                  QString::fromStdString(FormatBiqCoef(s.b2, m_format))};
        const QColor bg = rows[r].filter % 2 ? fromBGR(kOddRowColour) : QColor(Qt::white);
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setBackground(bg);
            Grid->setItem(int(r) + 1, c, item);
        }
    }
    Grid->resizeColumnsToContents();
}

void TshowBiQuadF::save() {
    const QString start = "Biquads12.txt";
    const QString name =
        m_choose ? m_choose(start) : QFileDialog::getSaveFileName(this, "Save", start, "*.txt");
    if (!name.isEmpty()) saveTo(name);
}

bool TshowBiQuadF::saveTo(const QString& fileName) {
    int clipped = 0;
    QByteArray text;
    for (const std::string& l : TAS5504Lines(m_block, &clipped))
        text += QByteArray::fromStdString(l) + "\n";
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
        vl::errorBox("Error writing file " + fileName + "\r\n" + f.errorString());
        return false;
    }
    if (clipped > 0)
        vl::warningBox(
            QString("%1 coefficient(s) lie outside the range of 2.22 fixed point (-2 .. 2) "
                    "and were saved at the end of the range.")
                .arg(clipped));
    return true;
}
