// The colour dialog of the secondary diagrams.
#include "display/ui/TdiaCdlg.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TdiaCdlg::TdiaCdlg(const TDiaColorSet& colors, bool dOszi, TColorBGR mainWindowColor,
                   QWidget* parent)
    : QDialog(parent), m_colors(colors), m_oszi(dOszi), m_mainWindowColor(mainWindowColor) {
    setWindowTitle("Diagram Options");
    m_chooseColor = diaui::colorDialog(this, "Diagram Options");
    static const char* const kNames[kColors] = {
        "Diagram", "Grid", "Margin", "Curve", "FFT line", "Echo point", "Measure info text"};
    auto* g = new QGridLayout(this);
    for (int i = 0; i < kColors; ++i) {
        Shapes[i] = diaui::makeSwatch(this);
        BtnChange[i] = new QPushButton("change", this);
        g->addWidget(new QLabel(kNames[i], this), i, 0);
        g->addWidget(Shapes[i], i, 1);
        g->addWidget(BtnChange[i], i, 2);
        connect(BtnChange[i], &QPushButton::clicked, this, [this, i] { change(i); });
    }
    BtnDefault = new QPushButton("default", this);
    OKBtn = new QPushButton("OK", this);
    CancelBtn = new QPushButton("Cancel", this);
    OKBtn->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnDefault);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    g->addLayout(buttons, kColors, 0, 1, 3);
    connect(BtnDefault, &QPushButton::clicked, this, &TdiaCdlg::setDefaults);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TdiaCdlg::reject);
    showColors();
}

TColorBGR& TdiaCdlg::colorAt(int index) {
    TColorBGR* all[kColors] = {&m_colors.diagram, &m_colors.grid,    &m_colors.margin,
                               &m_colors.curve,   &m_colors.fftLine, &m_colors.echoPoint,
                               &m_colors.infoText};
    return *all[index];
}

void TdiaCdlg::showColors() {
    for (int i = 0; i < kColors; ++i)
        diaui::showSwatch(Shapes[i], colorAt(i));
}

void TdiaCdlg::setDefaults() {
    m_colors = TDiaColorSet::defaults(m_oszi, m_mainWindowColor);
    showColors();
}

void TdiaCdlg::change(int index) {
    if (index < 0 || index >= kColors) return;
    TColorBGR c = colorAt(index);
    if (!m_chooseColor || !m_chooseColor(c)) return;
    colorAt(index) = c;
    showColors();
}

void TdiaCdlg::reject() {
    done(kCancelResult);
}
