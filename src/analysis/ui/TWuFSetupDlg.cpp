// The wow and flutter setup dialog: radio groups over TWuFSetupModel, copy back on OK.
#include "analysis/ui/TWuFSetupDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TWuFSetupDlg::TWuFSetupDlg(cAnaPara& settings, QWidget* parent)
    : QDialog(parent), m_target(settings), m_copy(settings) {
    setWindowTitle(QStringLiteral("Wow & Flutter Setup"));
    setObjectName(QStringLiteral("WuFSetupDlg"));
    RGFreq = radioGroup(QStringLiteral("Reference Freq."), TWuFSetupModel::freqItems(), m_freq);
    RGStandard =
        radioGroup(QStringLiteral("Meas. standard"), TWuFSetupModel::standardItems(), m_standard);
    RGMode = radioGroup(QStringLiteral("W&&F Mode"), TWuFSetupModel::modeItems(), m_mode);
    GBBandpass = new QGroupBox(QStringLiteral("Bandpass 4Hz"), this);
    CBBandpass = new QCheckBox(QStringLiteral("On"), GBBandpass);
    auto* bp = new QVBoxLayout(GBBandpass);
    bp->addWidget(CBBandpass);
    bp->addStretch(1);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(RGFreq, 0, 0);
    grid->addWidget(RGStandard, 0, 1);
    grid->addWidget(RGMode, 1, 0);
    grid->addWidget(GBBandpass, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    TWuFSetupModel m;
    m.load(m_copy);
    m_freq->button(m.freqItem)->setChecked(true);
    m_standard->button(m.standardItem)->setChecked(true);
    m_mode->button(m.modeItem)->setChecked(true);
    CBBandpass->setChecked(m.bandPass);
}

QGroupBox* TWuFSetupDlg::radioGroup(const QString& caption, const QStringList& items,
                                    QButtonGroup*& group) {
    auto* box = new QGroupBox(caption, this);
    group = new QButtonGroup(box);
    auto* lay = new QVBoxLayout(box);
    lay->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* rb = new QRadioButton(items[i], box);
        group->addButton(rb, i);
        lay->addWidget(rb);
    }
    lay->addStretch(1);
    return box;
}

TWuFSetupModel TWuFSetupDlg::items() const {
    TWuFSetupModel m;
    m.freqItem = m_freq->checkedId();
    m.standardItem = m_standard->checkedId();
    m.modeItem = m_mode->checkedId();
    m.bandPass = CBBandpass->isChecked();
    return m;
}

void TWuFSetupDlg::accept() {
    items().store(m_copy);
    m_target.copyfrom(m_copy);
    QDialog::accept();
}
