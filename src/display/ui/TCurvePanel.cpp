// One curve panel of the diagram window: painting rules, clicks, selection toggles, drag and drop.
#include "display/ui/TCurvePanel.h"

#include <QApplication>
#include <algorithm>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

const char* const TCurvePanel::kMimeType = "application/x-velmora-curve-slot";

TCurvePanel::TCurvePanel(int slot, QWidget* parent) : QFrame(parent), m_slot(slot)
{
    setObjectName(QString("curvePanel%1").arg(slot));
    setAutoFillBackground(true);
    setAcceptDrops(true);
    setToolTip("ready for drag&drop");
    setMinimumHeight(24);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(4);
    m_group = new QLabel(this);
    m_group->setFixedWidth(12);
    m_group->setAlignment(Qt::AlignCenter);
    m_name = new QLabel(this);
    m_name->setToolTip("click for properties");
    m_name->setAutoFillBackground(true);
    m_name->setIndent(3);
    m_name->setMinimumWidth(20);
    m_name->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_group->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(m_group);
    row->addWidget(m_name, 1);
    m_click = new QTimer(this);
    m_click->setSingleShot(true);
    connect(m_click, &QTimer::timeout, this, [this] { emit clicked(m_slot); });
}

void TCurvePanel::showCurve(const Tcurve& c, const QFont& windowFont)
{
    // Called after every result package: a panel whose curve looks the same is left alone.
    const TShown shown{c.FColLine, int(c.Fcvis) * 2 + int(c.Fsel), c.Cygroup, windowFont,
                       QApplication::palette().color(QPalette::Button).rgb(), c.Name};
    if (shown == m_shown) return;
    m_shown = shown;
    QPalette pal = palette();
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor back = c.Fcvis ? bgrToQColor(c.FColLine) : face;
    pal.setColor(QPalette::Window, back);
    // The bevel in shades of the panel's own colour, so raised and lowered stay visible.
    pal.setColor(QPalette::Light, back.lighter(175));
    pal.setColor(QPalette::Midlight, back.lighter(130));
    pal.setColor(QPalette::Dark, back.darker(250));
    pal.setColor(QPalette::Mid, back.darker(160));
    pal.setColor(QPalette::Shadow, Qt::black);
    setPalette(pal);
    setFrameStyle(QFrame::Panel | (c.Fsel ? QFrame::Raised : QFrame::Sunken));
    setLineWidth(c.Fsel ? 1 : 3);
    // The name sits on a light plate so it stays readable on dark curve colours.
    QPalette np = m_name->palette();
    np.setColor(QPalette::Window, c.Fcvis ? QColor(250, 250, 250) : face);
    np.setColor(QPalette::WindowText, c.Fcvis ? Qt::black : bgrToQColor(0x808080));
    m_name->setPalette(np);
    QFont f = windowFont;
    if (f.pointSizeF() > 12.0) f.setPointSizeF(12.0);
    m_name->setFont(f);
    m_name->setText(c.Name);
    QPalette gp = m_group->palette();
    gp.setColor(QPalette::WindowText, qGray(bgrToQColor(c.FColLine).rgb()) < 128 ? Qt::white : Qt::black);
    m_group->setPalette(gp);
    QFont bold = f;
    bold.setBold(true);
    m_group->setFont(bold);
    m_group->setText(c.Fcvis ? QString(QChar('A' + std::clamp(c.Cygroup, 0, 25))) : QString(" "));
}

void TCurvePanel::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton && (e->modifiers() & Qt::ControlModifier)) {
        emit toggleSelection(m_slot);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    m_pressed = true;
    m_pressPos = e->position().toPoint();
}

void TCurvePanel::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_pressed || (e->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    startDrag();
}

void TCurvePanel::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !m_pressed) return;
    m_pressed = false;
    m_click->start(QApplication::doubleClickInterval());
}

void TCurvePanel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    m_click->stop();
    m_pressed = false;
    emit toggleSelection(m_slot);
}

void TCurvePanel::startDrag()
{
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(kMimeType, QByteArray::number(m_slot));
    drag->setMimeData(data);
    drag->setPixmap(grab());
    drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void TCurvePanel::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasFormat(kMimeType)) e->acceptProposedAction();
}

void TCurvePanel::dropEvent(QDropEvent* e)
{
    bool ok = false;
    const int source = e->mimeData()->data(kMimeType).toInt(&ok);
    if (!ok) return;
    e->acceptProposedAction();
    emit dropped(source, m_slot, (e->modifiers() & Qt::ControlModifier) != 0);
}
