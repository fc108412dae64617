// The special scaling dialog of the diagram options.
#include "display/ui/TFoSpecDia4.h"

#include "display/ui/diaDialogParts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit* numberEdit(double v, QWidget* parent) {
    auto* e = new QLineEdit(QString::number(v, 'g', 12), parent);
    e->setMinimumWidth(140);
    return e;
}

} // namespace

TFoSpecDia4::TFoSpecDia4(const TSpecDiaValues& v, QWidget* parent) : QDialog(parent), m_values(v) {
    setWindowTitle("special diagram parameter");
    EdXFactor = numberEdit(v.xFactor, this);
    EdXFactor->setToolTip("Multiply the x axis values (no effect in x-scale)");
    EdXUnit = new QLineEdit(v.xUnit, this);
    EdXUnit->setToolTip("visible unit identifier");
    EdYFactor = numberEdit(v.yFactor, this);
    EdYOffset = numberEdit(v.yOffset, this);
    OKBtn = new QPushButton("OK", this);
    CancelBtn = new QPushButton("Cancel", this);
    OKBtn->setDefault(true);
    auto* f = new QFormLayout(this);
    f->addRow("x-data factor", EdXFactor);
    f->addRow("x-axis unit", EdXUnit);
    f->addRow("y-data factor", EdYFactor);
    f->addRow("y-data offset", EdYOffset);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    f->addRow(buttons);
    connect(EdXFactor, &QLineEdit::textChanged, this,
            [this](const QString& s) { diaui::takeNumber(s, m_values.xFactor); });
    connect(EdXUnit, &QLineEdit::textChanged, this,
            [this](const QString& s) { m_values.xUnit = s; });
    connect(EdYFactor, &QLineEdit::textChanged, this,
            [this](const QString& s) { diaui::takeNumber(s, m_values.yFactor); });
    connect(EdYOffset, &QLineEdit::textChanged, this,
            [this](const QString& s) { diaui::takeNumber(s, m_values.yOffset); });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TFoSpecDia4::reject);
}

void TFoSpecDia4::reject() {
    done(kCancelResult);
}
