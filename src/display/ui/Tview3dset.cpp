// The 3D view tool: six scroll bars for the reference and eye point, default and stored views.
#include "display/ui/Tview3dset.h"

#include "base/vlMessages.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr double kScale[6] = {100, 100, 100, 10, 10, 10}; // position per unit of each bar

} // namespace

Tview3dset::Tview3dset(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName("3D");
    setWindowTitle("3D");
    setFixedWidth(84);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(3, 3, 3, 3);
    for (int g = 0; g < 2; ++g) {
        col->addWidget(new QLabel(g == 0 ? "Ref. Point" : "Eye Point", this));
        auto* row = new QHBoxLayout;
        for (int i = 0; i < 3; ++i) {
            auto* b = new QScrollBar(Qt::Vertical, this);
            b->setRange(-500, 500);
            b->setMinimumHeight(90);
            m_bars[size_t(g * 3 + i)] = b;
            row->addWidget(b);
            connect(b, &QScrollBar::valueChanged, this, [this] { fromBars(); });
        }
        col->addLayout(row);
    }
    const char* names[5] = {"Default View", "View 1", "View 2", "Store current values", "Store current values"};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton(names[i], this);
        b->setObjectName(i < 3 ? QString("view%1").arg(i) : QString("store%1").arg(i - 2));
        col->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { i < 3 ? restore(i) : store(i - 2); });
    }
    toBars();
}

void Tview3dset::setViews(const T3dViewRec& r)
{
    m_rec = r;
    toBars();
}

void Tview3dset::toBars()
{
    m_filling = true;
    const double v[6] = {m_rec.xflu, m_rec.yflu, m_rec.zflu, m_rec.xbe, m_rec.ybe, m_rec.zbe};
    for (int i = 0; i < 6; ++i) {
        m_bars[size_t(i)]->setValue(int(std::lround(v[i] * kScale[i])));
        m_bars[size_t(i)]->setToolTip(QString::number(std::lround(v[i])));
    }
    m_filling = false;
}

void Tview3dset::fromBars()
{
    if (m_filling)
        return;
    double* v[6] = {&m_rec.xflu, &m_rec.yflu, &m_rec.zflu, &m_rec.xbe, &m_rec.ybe, &m_rec.zbe};
    for (int i = 0; i < 6; ++i) {
        *v[i] = m_bars[size_t(i)]->value() / kScale[i];
        m_bars[size_t(i)]->setToolTip(QString::number(std::lround(*v[i])));
    }
    if (onView)
        onView(m_rec);
}

void Tview3dset::restore(int which)
{
    const T3dViewRec def;
    const double* src = which == 0 ? &def.d1xflu : which == 1 ? &m_rec.d1xflu : &m_rec.d2xflu;
    const double init[6] = {0.47, -0.12, 0, 5, 16, 17.1}; // the initial view
    double* cur[6] = {&m_rec.xflu, &m_rec.yflu, &m_rec.zflu, &m_rec.xbe, &m_rec.ybe, &m_rec.zbe};
    for (int i = 0; i < 6; ++i)
        *cur[i] = which == 0 ? init[i] : src[i];
    toBars();
    if (onView)
        onView(m_rec);
}

void Tview3dset::store(int which)
{
    const QString text = QString("store current view in preset %1").arg(which);
    if (vl::showMessage(vl::MsgKind::Confirmation, "Confirm", text, vl::mbYes | vl::mbNo, vl::mbNo) != vl::mbYes)
        return;
    double* dst = which == 1 ? &m_rec.d1xflu : &m_rec.d2xflu;
    const double cur[6] = {m_rec.xflu, m_rec.yflu, m_rec.zflu, m_rec.xbe, m_rec.ybe, m_rec.zbe};
    for (int i = 0; i < 6; ++i)
        dst[i] = cur[i];
    if (onView)
        onView(m_rec);
}

void Tview3dset::placeBeside(const QRect& owner)
{
    adjustSize();
    move(owner.right() - width(), owner.bottom() - height());
}
