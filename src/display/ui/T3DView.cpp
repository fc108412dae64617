// The 3D diagram's widget: blits the image, repaints on resize, reports clicks.
#include "display/ui/T3DView.h"

#include <QMouseEvent>
#include <QPainter>

T3DView::T3DView(T3Ddiagr& dia, QWidget* parent) : QWidget(parent), m_dia(dia)
{
    setMinimumSize(50, 50);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void T3DView::repaintDia()
{
    m_dia.PaintNew3D();
    update();
}

void T3DView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_dia.getBitmap());
}

void T3DView::resizeEvent(QResizeEvent*)
{
    m_dia.resize(width(), height());
    repaintDia();
}

void T3DView::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton && m_dia.OnLeftMouseButClick)
        m_dia.OnLeftMouseButClick(at.x(), at.y());
    if (e->button() == Qt::RightButton && m_dia.OnRightMouseButClick)
        m_dia.OnRightMouseButClick(at.x(), at.y());
}
