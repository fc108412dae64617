// The DC offset dialog: two bars, their labels, the auto switch and the buttons.
#include "analysis/ui/TDCoffsetDlg.h"

#include "base/vlMessages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

TDCoffsetDlg::TDCoffsetDlg(const Twfs& input, QWidget* parent) : QDialog(parent), m_wfs(input)
{
    setObjectName("DCoffsetDlg");
    setWindowTitle("Input DC-Offset");
    auto* col = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    K1 = bar("K1", LaK1, input.DCoffset[0]);
    K2 = bar("K2", LaK2, input.DCoffset[1]);
    grid->addWidget(new QLabel("Left", this), 0, 0);
    grid->addWidget(K1, 0, 1);
    grid->addWidget(LaK1, 0, 2);
    grid->addWidget(new QLabel("Right", this), 1, 0);
    grid->addWidget(K2, 1, 1);
    grid->addWidget(LaK2, 1, 2);
    col->addLayout(grid);
    CBAuto = new QCheckBox(" Auto DC-Offset", this);
    CBAuto->setObjectName("CBAuto");
    CBAuto->setChecked(input.DCoffsetAuto != 0);
    connect(CBAuto, &QCheckBox::toggled, this, &TDCoffsetDlg::showAuto);
    col->addWidget(CBAuto);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    QPushButton* apply = buttons->addButton("&Apply", QDialogButtonBox::ApplyRole);
    QPushButton* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, [this] { done(kApplyResult); });
    connect(help, &QPushButton::clicked, this, [] {
        vl::infoBox("The offset is added to every recorded sample of its input (full scale = 1).\r\n"
                    "With Auto DC-Offset the input's mean since its start is removed instead.");
    });
    col->addWidget(buttons);
    showAuto();
}

QSlider* TDCoffsetDlg::bar(const char* name, QLabel*& label, double offset)
{
    auto* s = new QSlider(Qt::Horizontal, this);
    s->setObjectName(name);
    s->setRange(-kBarRange, kBarRange);
    s->setTickInterval(2000);
    s->setTickPosition(QSlider::TicksBelow);
    s->setMinimumWidth(320);
    s->setValue(std::isfinite(offset) ? int(std::lround(-offset * 1e6)) : 0);
    label = new QLabel(offsetText(offsetOf(s->value())), this);
    label->setMinimumWidth(110);
    QLabel* l = label;
    connect(s, &QSlider::valueChanged, this, [l](int v) { l->setText(offsetText(offsetOf(v))); });
    return s;
}

QString TDCoffsetDlg::offsetText(double offset) { return QString::asprintf("%1.6f", offset) + " FS"; }

void TDCoffsetDlg::showAuto()
{
    K1->setEnabled(!CBAuto->isChecked());
    K2->setEnabled(!CBAuto->isChecked());
}

Twfs TDCoffsetDlg::wfs() const
{
    Twfs w = m_wfs;
    w.DCoffset[0] = offsetOf(K1->value());
    w.DCoffset[1] = offsetOf(K2->value());
    w.DCoffsetAuto = CBAuto->isChecked() ? 1 : 0;
    return w;
}
