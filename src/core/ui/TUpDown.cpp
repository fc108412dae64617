// A small pair of arrow buttons that step a field's value.
#include "core/ui/TUpDown.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <tuple>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    for (auto [b, arrow, delta] : {std::tuple{m_up, Qt::UpArrow, 1}, std::tuple{m_down, Qt::DownArrow, -1}}) {
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
        b->setFocusPolicy(Qt::NoFocus);
        col->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, d = delta] { emit stepped(d); });
    }
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
