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

// The record's views as reference x, y, z then eye x, y, z.
std::array<double, 6> current(const T3dViewRec& r) { return {r.xflu, r.yflu, r.zflu, r.xbe, r.ybe, r.zbe}; }

void setCurrent(T3dViewRec& r, const std::array<double, 6>& v)
{
    r.xflu = v[0], r.yflu = v[1], r.zflu = v[2], r.xbe = v[3], r.ybe = v[4], r.zbe = v[5];
}

std::array<double, 6> stored(const T3dViewRec& r, int which)
{
    if (which == 1)
        return {r.d1xflu, r.d1yflu, r.d1zflu, r.d1xbe, r.d1ybe, r.d1zbe};
    return {r.d2xflu, r.d2yflu, r.d2zflu, r.d2xbe, r.d2ybe, r.d2zbe};
}

void setStored(T3dViewRec& r, int which, const std::array<double, 6>& v)
{
    if (which == 1)
        r.d1xflu = v[0], r.d1yflu = v[1], r.d1zflu = v[2], r.d1xbe = v[3], r.d1ybe = v[4], r.d1zbe = v[5];
    else
        r.d2xflu = v[0], r.d2yflu = v[1], r.d2zflu = v[2], r.d2xbe = v[3], r.d2ybe = v[4], r.d2zbe = v[5];
}

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
    const std::array<double, 6> v = current(m_rec);
    for (int i = 0; i < 6; ++i) {
        m_bars[size_t(i)]->setValue(int(std::lround(v[size_t(i)] * kScale[i])));
        m_bars[size_t(i)]->setToolTip(QString::number(std::lround(v[size_t(i)])));
    }
    m_filling = false;
}

void Tview3dset::fromBars()
{
    if (m_filling)
        return;
    std::array<double, 6> v{};
    for (int i = 0; i < 6; ++i) {
        v[size_t(i)] = m_bars[size_t(i)]->value() / kScale[i];
        m_bars[size_t(i)]->setToolTip(QString::number(std::lround(v[size_t(i)])));
    }
    setCurrent(m_rec, v);
    if (onView)
        onView(m_rec);
}

void Tview3dset::restore(int which)
{
    static const std::array<double, 6> initial{0.47, -0.12, 0, 5, 16, 17.1}; // the initial view
    setCurrent(m_rec, which == 0 ? initial : stored(m_rec, which));
    toBars();
    if (onView)
        onView(m_rec);
}

void Tview3dset::store(int which)
{
    const QString text = QString("store current view in preset %1").arg(which);
    if (vl::showMessage(vl::MsgKind::Confirmation, "Confirm", text, vl::mbYes | vl::mbNo, vl::mbNo) != vl::mbYes)
        return;
    setStored(m_rec, which, current(m_rec));
    if (onView)
        onView(m_rec);
}

void Tview3dset::placeBeside(const QRect& owner)
{
    adjustSize();
    move(owner.right() - width(), owner.bottom() - height());
}
