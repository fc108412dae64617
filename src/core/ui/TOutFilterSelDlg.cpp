// The compact "Output Filter select" dialog: a table of the 20 filters of one output block.
#include "core/ui/TOutFilterSelDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum eCol { colType, colFreq, colGain, colQ, colOrder, colOff, colCount };

QDoubleSpinBox* numberBox(double lo, double hi, int decimals, double step)
{
    auto* b = new QDoubleSpinBox;
    b->setRange(lo, hi);
    b->setDecimals(decimals);
    b->setSingleStep(step);
    b->setKeyboardTracking(false); // a value is taken when the user is done typing it
    b->setFrame(false);
    return b;
}

} // namespace

TOutFilterSelDlg::TOutFilterSelDlg(const tFilterBlock& left, const tFilterBlock& right, bool link,
                                   TOutFilterSelect::Publisher publish, QWidget* parent)
    : QDialog(parent), m_model(std::make_unique<TOutFilterSelect>(left, right, link, std::move(publish)))
{
    setWindowTitle(QStringLiteral("Output Filter select"));
    setObjectName(QStringLiteral("OutFilterSelDlg"));
    RBLeft = new QRadioButton(QStringLiteral("Left"), this);
    RBRight = new QRadioButton(QStringLiteral("Right"), this);
    CBLink = new QCheckBox(QStringLiteral("Right = Left"), this);
    CBBypass = new QCheckBox(QStringLiteral("Bypass block"), this);
    RBLeft->setChecked(true);
    CBLink->setChecked(link);
    auto* top = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(RBLeft), static_cast<QWidget*>(RBRight),
                       static_cast<QWidget*>(CBLink), static_cast<QWidget*>(CBBypass)})
        top->addWidget(w);
    top->addStretch(1);

    Table = new QTableWidget(tFilterBlock::kFilters, colCount, this);
    Table->setHorizontalHeaderLabels({"Type", "Freq (Hz)", "Gain (dB)", "Q", "Order", "Off"});
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 10);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setSectionResizeMode(colType, QHeaderView::Stretch);
    Table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int r = 0; r < tFilterBlock::kFilters; ++r) buildRow(r);
    Table->setMinimumSize(560, 360);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* col = new QVBoxLayout(this);
    col->addLayout(top);
    col->addWidget(Table, 1);
    col->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TOutFilterSelDlg::reject);
    connect(RBRight, &QRadioButton::toggled, this, [this](bool on) {
        m_model->setChannel(on ? 1 : 0);
        refresh();
    });
    connect(CBLink, &QCheckBox::toggled, this, [this](bool on) {
        if (m_filling) return;
        m_model->setLink(on);
        refresh();
    });
    connect(CBBypass, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) m_model->setBlockBypass(on);
    });
    refresh();
}

void TOutFilterSelDlg::buildRow(int row)
{
    auto* type = new QComboBox;
    type->setFrame(false);
    for (int t = iirFlat; t <= iirATP; ++t) {
        const char* longName = TIIRObj::TypLongName(t);
        type->addItem(QString::fromLatin1(*longName ? longName : TIIRObj::TypName(t)).trimmed());
    }
    Table->setCellWidget(row, colType, type);
    connect(type, &QComboBox::currentIndexChanged, this, [this, row](int t) {
        if (m_filling) return;
        m_model->setParam(row, TOutFilterSelect::fpType, t);
        refresh();
    });
    const struct {
        int col;
        TOutFilterSelect::eParam p;
        double lo, hi;
        int decimals;
        double step;
    } numbers[] = {{colFreq, TOutFilterSelect::fpFreq, 1, 100000, 1, 1},
                   {colGain, TOutFilterSelect::fpGain, -60, 60, 2, 0.5},
                   {colQ, TOutFilterSelect::fpQ, 0.01, 100, 3, 0.1}};
    for (const auto& n : numbers) {
        QDoubleSpinBox* b = numberBox(n.lo, n.hi, n.decimals, n.step);
        Table->setCellWidget(row, n.col, b);
        connect(b, &QDoubleSpinBox::valueChanged, this, [this, row, p = n.p](double v) {
            if (m_filling) return;
            m_model->setParam(row, p, v);
            refresh();
        });
    }
    auto* order = new QSpinBox;
    order->setRange(1, kIIRMaxOrder);
    order->setFrame(false);
    order->setKeyboardTracking(false);
    Table->setCellWidget(row, colOrder, order);
    connect(order, &QSpinBox::valueChanged, this, [this, row](int v) {
        if (m_filling) return;
        m_model->setParam(row, TOutFilterSelect::fpOrder, v);
        refresh();
    });
    auto* off = new QCheckBox;
    Table->setCellWidget(row, colOff, off);
    connect(off, &QCheckBox::toggled, this, [this, row](bool on) {
        if (!m_filling) m_model->setParam(row, TOutFilterSelect::fpBypassed, on ? 1 : 0);
    });
}

void TOutFilterSelDlg::refresh()
{
    m_filling = true;
    const bool linked = m_model->link();
    RBRight->setEnabled(!linked);
    CBBypass->setChecked(m_model->block().bypass);
    for (int r = 0; r < tFilterBlock::kFilters; ++r) {
        static_cast<QComboBox*>(Table->cellWidget(r, colType))->setCurrentIndex(int(m_model->param(r, TOutFilterSelect::fpType)));
        static_cast<QDoubleSpinBox*>(Table->cellWidget(r, colFreq))->setValue(m_model->param(r, TOutFilterSelect::fpFreq));
        static_cast<QDoubleSpinBox*>(Table->cellWidget(r, colGain))->setValue(m_model->param(r, TOutFilterSelect::fpGain));
        static_cast<QDoubleSpinBox*>(Table->cellWidget(r, colQ))->setValue(m_model->param(r, TOutFilterSelect::fpQ));
        static_cast<QSpinBox*>(Table->cellWidget(r, colOrder))->setValue(int(m_model->param(r, TOutFilterSelect::fpOrder)));
        static_cast<QCheckBox*>(Table->cellWidget(r, colOff))->setChecked(m_model->param(r, TOutFilterSelect::fpBypassed) != 0);
    }
    m_filling = false;
}

void TOutFilterSelDlg::reject()
{
    m_model->cancel();
    QDialog::reject();
}
