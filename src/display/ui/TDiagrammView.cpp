// TDiagrammView: shows a TDiagramm's image and puts its edit and scroll buttons where it says.
#include "display/ui/TDiagrammView.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QLocale>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace {
constexpr int kMinWidth = 50; // narrowest layout, pixels

QToolButton* arrowButton(QWidget* parent, Qt::ArrowType a)
{
    auto* b = new QToolButton(parent);
    b->setArrowType(a);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->hide();
    return b;
}

int mouseButton(Qt::MouseButton b)
{
    return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : 0;
}
} // namespace

TDiagrammView::TDiagrammView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_rem1 = new QLineEdit(this);
    m_rem1->setFrame(false);
    m_rem1->hide();
    connect(m_rem1, &QLineEdit::editingFinished, this, [this] {
        if (m_rem1->text() != m_dia.Rem_1())
            m_dia.setRem_1(m_rem1->text());
    });
    // x scroll: low down/up, high down/up.
    const Qt::ArrowType xa[4] = {Qt::LeftArrow, Qt::RightArrow, Qt::LeftArrow, Qt::RightArrow};
    for (int i = 0; i < 4; ++i) {
        m_xScroll[size_t(i)] = arrowButton(this, xa[i]);
        connect(m_xScroll[size_t(i)], &QToolButton::clicked, this,
                [this, i] { m_dia.xScrollClick(i >= 2, i % 2 == 1); });
    }
    // y buttons per group: upper up/down, lower up/down.
    for (int g = 0; g < kDiaCurves; ++g)
        for (int k = 0; k < 4; ++k) {
            auto* b = arrowButton(this, k % 2 == 0 ? Qt::UpArrow : Qt::DownArrow);
            m_yButtons[size_t(g * 4 + k)] = b;
            connect(b, &QToolButton::clicked, this, [this, g, k] { m_dia.yButtonClick(g, k < 2, k % 2 == 0); });
        }
    m_limitEdit = new QLineEdit(this);
    m_limitEdit->hide();
    connect(m_limitEdit, &QLineEdit::returnPressed, this, &TDiagrammView::commitLimit);
    connect(m_limitEdit, &QLineEdit::editingFinished, this, [this] {
        if (!m_limitEdit->hasFocus())
            m_limitEdit->hide();
    });
    m_dia.OnRepainted = [this] {
        placeWidgets();
        update(m_dia.changedRegion()); // the edit and buttons in the margins stay as they are
    };
    relayout();
}

TDiagrammView::~TDiagrammView()
{
    m_dia.OnRepainted = nullptr;
}

void TDiagrammView::relayout()
{
    m_dia.newsize(std::max(kMinWidth, width()), -1, std::max(1, height()));
}

void TDiagrammView::fitToView()
{
    if (!m_dia.laidOut() || !m_dia.paintDia() || m_dia.width() != std::max(kMinWidth, width()) ||
        m_dia.height() != std::max(1, height()))
        relayout();
}

void TDiagrammView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QImage& img = m_dia.getBitmap();
    const QRegion margin = QRegion(rect()).subtracted(QRegion(img.rect()));
    for (const QRect& r : margin)
        p.fillRect(r, bgrToQColor(m_dia.Color_Margin()));
    if (img.isNull())
        return;
    // What changed, a few rows at a time: Qt hands an image drawn over many rows to helper
    // threads, and waking them costs more than this copy.
    constexpr int kRows = 64;
    for (const QRect& r : e->region().intersected(img.rect()))
        for (int top = r.top(); top <= r.bottom(); top += kRows) {
            const QRect band(r.left(), top, r.width(), std::min(kRows, r.bottom() - top + 1));
            p.drawImage(band.topLeft(), img, band);
        }
}

void TDiagrammView::resizeEvent(QResizeEvent*)
{
    relayout();
}

void TDiagrammView::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const int b = mouseButton(e->button());
    const TAxisHit hit = b == 1 ? m_dia.axisLabelAt(pos.x(), pos.y()) : TAxisHit{};
    if (hit.limit != TAxisLimit::None) {
        openLimitEditor(hit);
        return;
    }
    m_dia.mouseDown(b, pos.x(), pos.y());
    if (b == 1)
        emit leftClicked(e->globalPosition().toPoint());
    else if (b == 2)
        emit rightClicked(e->globalPosition().toPoint());
}

void TDiagrammView::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    m_dia.mouseMove(pos.x(), pos.y());
}

void TDiagrammView::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    m_dia.mouseUp(mouseButton(e->button()), pos.x(), pos.y());
}

void TDiagrammView::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    m_dia.mouseDoubleClick(mouseButton(e->button()), pos.x(), pos.y());
}

void TDiagrammView::leaveEvent(QEvent*)
{
    constexpr int kFarOutside = -32000; // pixels: beyond any plot, so cursors clear
    m_dia.mouseMove(kFarOutside, kFarOutside);
}

void TDiagrammView::wheelEvent(QWheelEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const QPoint a = e->angleDelta(); // some platforms turn a shifted wheel into a horizontal one
    const double steps = (a.y() != 0 ? a.y() : a.x()) / 120.0;
    m_dia.wheelZoom(pos.x(), pos.y(), steps, e->modifiers() & Qt::ShiftModifier);
    e->accept();
}

void TDiagrammView::openLimitEditor(TAxisHit hit)
{
    m_limitHit = hit;
    QRect r = m_dia.axisLabelRect(hit);
    r.setWidth(std::max(r.width(), 70));
    r.setHeight(std::max(r.height(), m_limitEdit->sizeHint().height()));
    r.moveLeft(std::clamp(r.left(), 0, std::max(0, width() - r.width())));
    r.moveTop(std::clamp(r.top(), 0, std::max(0, height() - r.height())));
    m_limitEdit->setGeometry(r);
    m_limitEdit->setText(QLocale().toString(m_dia.axisLimit(hit), 'g', 7));
    m_limitEdit->selectAll();
    m_limitEdit->show();
    m_limitEdit->raise();
    m_limitEdit->setFocus();
}

// Enter in the limit editor: a number in the user's format (or with '.') the diagram accepts
// closes it; anything else leaves it open for another try.
void TDiagrammView::commitLimit()
{
    const QString t = m_limitEdit->text().trimmed();
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok)
        v = QString(t).replace(',', '.').toDouble(&ok);
    if (ok && m_dia.setAxisLimit(m_limitHit, v)) {
        m_limitEdit->hide();
        setFocus();
        return;
    }
    m_limitEdit->selectAll();
}

// Puts a pair of buttons into the two halves of r (hidden when r is empty).
static void placePair(QToolButton* a, QToolButton* b, const QRect& r, bool enabled)
{
    if (r.isEmpty()) {
        a->hide();
        b->hide();
        return;
    }
    const int half = r.width() / 2;
    a->setGeometry(r.left(), r.top(), half, r.height());
    b->setGeometry(r.left() + half, r.top(), r.width() - half, r.height());
    a->setEnabled(enabled);
    b->setEnabled(enabled);
    a->show();
    b->show();
}

void TDiagrammView::placeWidgets()
{
    const QRect rr = m_dia.remEditRect();
    m_rem1->setVisible(!rr.isEmpty());
    if (!rr.isEmpty()) {
        m_rem1->setGeometry(rr);
        if (!m_rem1->hasFocus() && m_rem1->text() != m_dia.Rem_1())
            m_rem1->setText(m_dia.Rem_1());
        QPalette pal = m_rem1->palette();
        const QColor base = bgrToQColor(m_dia.Color_Margin()), text = bgrToQColor(m_dia.Color_Text());
        if (pal.color(QPalette::Base) != base || pal.color(QPalette::Text) != text) { // not every frame
            pal.setColor(QPalette::Base, base);
            pal.setColor(QPalette::Text, text);
            m_rem1->setPalette(pal);
        }
    }
    placePair(m_xScroll[0], m_xScroll[1], m_dia.scrollLFRect(), true);
    placePair(m_xScroll[2], m_xScroll[3], m_dia.scrollHFRect(), true);
    for (int g = 0; g < kDiaCurves; ++g) {
        const TYAXgroup& gr = *m_dia.group(g);
        const TDiaButton* bs[2] = {&gr.SButUpper, &gr.SButLower};
        for (int k = 0; k < 2; ++k) {
            const TDiaButton& b = *bs[k];
            const QRect r = b.visible && m_dia.laidOut() ? QRect(b.left, b.top, b.width, b.height) : QRect();
            placePair(m_yButtons[size_t(g * 4 + 2 * k)], m_yButtons[size_t(g * 4 + 2 * k + 1)], r, b.enabled);
        }
    }
}
