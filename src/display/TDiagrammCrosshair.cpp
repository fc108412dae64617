// TDiagramm: the crosshair cursor: its mouse handling (reference click, zoom box) and its drawing.
#include "display/TDiagramm.h"

#include "base/utils.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
constexpr int32_t kDragPixels = 4; // movement with the button down that starts a zoom box
constexpr TColorBGR kHarmonicColour = 0x808080; // grey
constexpr int32_t kTextGap = 12;                // pixels between the pointer and the read-out box
QColor col(TColorBGR c) {
    return bgrToQColor(c);
}
} // namespace

void TDiagramm::setCrossHair(bool v) {
    m_cross.on = v;
    if (v) Fmfreq = Fmpeg = Fmflan = false;
    clearMouseCur(false);
    changed();
}

void TDiagramm::setHarmMarks(bool v) {
    m_cross.harmonics = v;
    changed();
}

void TDiagramm::crossMove(int32_t x, int32_t y) {
    if (m_cross.press.x() >= 0) {
        const QPoint d = QPoint(x, y) - m_cross.press;
        if (!m_cross.box.isEmpty() || std::abs(d.x()) > kDragPixels ||
            std::abs(d.y()) > kDragPixels)
            m_cross.box = QRect(m_cross.press, QPoint(x, y)).normalized().intersected(m_diareci);
    }
    if (!m_diareci.contains(x, y) && m_cross.box.isEmpty()) {
        if (dispVar != 0) clearMouseCur(true);
        return;
    }
    dispVar = kCursorCross;
    repaintOnly(); // the read-out is taken in the paint, from the curves it has just drawn
}

void TDiagramm::crossUp(int32_t button, int32_t x, int32_t y) {
    const QPoint press = m_cross.press;
    const QRect box = m_cross.box;
    m_cross.press = QPoint(-1, -1);
    m_cross.box = QRect();
    if (button != 1 || press.x() < 0) return;
    if (!box.isEmpty()) {
        if (!boxZoom(box)) repaintOnly();
        return;
    }
    const bool onRef = m_cross.ref && std::abs(XtoPix(m_cross.ref->x) - x) <= kReadoutSnapPixels;
    m_cross.ref = onRef ? std::nullopt : readoutRefAt(*this, x, y);
    if (m_diareci.contains(x, y)) dispVar = kCursorCross;
    repaintOnly();
}

void TDiagramm::mouseDoubleClick(int32_t button, int32_t, int32_t) {
    if (button != 1) return;
    m_cross.press = QPoint(-1, -1);
    m_cross.box = QRect();
    m_cross.ref.reset();
    if (m_zoomHome)
        restoreStoredRange();
    else
        repaintOnly();
}

// ---- drawing ------------------------------------------------------------------------------

void TDiagramm::paintHarmonics(QPainter& p) {
    const TReadout& r = m_cross.readout;
    if (!r.fundamental) return;
    QPen pen(col(kHarmonicColour));
    pen.setStyle(Qt::DashLine);
    for (size_t k = 0; k < r.harmonics.size(); ++k) {
        const int32_t x = int32_t(std::lround(XtoPix(r.harmonics[k])));
        p.setPen(pen);
        p.drawLine(x, m_diareci.top(), x, m_diareci.bottom());
        p.setPen(col(FColtext));
        p.drawText(QRect(x + 2, m_diareci.top() + 1, 4 * charwidth, textHigh + 2),
                   Qt::AlignLeft | Qt::AlignTop, QString::number(k + 2));
    }
}

void TDiagramm::paintCrosshair(QPainter& p) {
    const QPoint at(std::clamp(m_mouseX, m_diareci.left(), m_diareci.right()),
                    std::clamp(m_mouseY, m_diareci.top(), m_diareci.bottom()));
    m_cross.readout = computeReadout(*this, at.x(), at.y(), m_cross.ref, m_cross.harmonics);
    const TReadout& r = m_cross.readout;
    if (!r.valid) return;
    auto yPix = [this](int32_t slot, double v) {
        return valueToPix(v, aYgroup[size_t(aline[size_t(slot)].Cygroup)]);
    };
    p.save();
    p.setClipRect(m_diareci.adjusted(0, 0, 1, 1));
    paintHarmonics(p);
    QPen dotted(col(FColCur));
    dotted.setStyle(Qt::DotLine);
    p.setPen(dotted);
    const int32_t y = r.primary >= 0 ? yPix(r.primary, r.y) : at.y();
    p.drawLine(r.column, m_diareci.top(), r.column, m_diareci.bottom());
    p.drawLine(m_diareci.left(), y, m_diareci.right(), y);
    p.setPen(col(FColCur));
    if (r.snapped) p.drawEllipse(QPoint(r.column, y), 4, 4);
    if (r.ref) {
        const int32_t rx = int32_t(std::lround(XtoPix(r.ref->x)));
        const int32_t ry = r.ref->slot >= 0 ? yPix(r.ref->slot, r.ref->y) : at.y();
        p.drawPolygon(QPolygon(
            {QPoint(rx, ry - 5), QPoint(rx + 5, ry), QPoint(rx, ry + 5), QPoint(rx - 5, ry)}));
        p.drawText(QRect(rx + 6, ry - textHigh - 4, 3 * charwidth, textHigh + 2), Qt::AlignLeft,
                   "R");
    }
    if (!m_cross.box.isEmpty()) {
        QPen dashed(col(FColCur));
        dashed.setStyle(Qt::DashLine);
        p.setPen(dashed);
        p.drawRect(m_cross.box);
    }
    p.restore();
    paintReadoutText(p);
}

// The read-out lines in a framed box beside the pointer, kept inside the plot; each curve's
// line in its colour.
void TDiagramm::paintReadoutText(QPainter& p) {
    const TReadout& r = m_cross.readout;
    const std::vector<QString> lines = readoutLines(*this, r);
    const QFontMetrics fm(mFont);
    int32_t w = 0;
    for (const QString& l : lines)
        w = std::max(w, int32_t(fm.horizontalAdvance(l)));
    const int32_t lh = fm.height();
    const QSize size(w + 8, lh * int32_t(lines.size()) + 4);
    QPoint at(m_mouseX + kTextGap, m_mouseY + kTextGap);
    if (at.x() + size.width() > m_diareci.right()) at.setX(m_mouseX - kTextGap - size.width());
    if (at.y() + size.height() > m_diareci.bottom()) at.setY(m_mouseY - kTextGap - size.height());
    at.setX(std::max(at.x(), m_diareci.left() + 1));
    at.setY(std::max(at.y(), m_diareci.top() + 1));
    const QRect box(at, size);
    p.fillRect(box, col(FColDia));
    p.setPen(col(FColCur));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    for (size_t i = 0; i < lines.size(); ++i) {
        QColor c = col(FColtext);
        if (i >= 1 && i <= r.levels.size()) c = col(aline[size_t(r.levels[i - 1].slot)].FColLine);
        p.setPen(c);
        p.drawText(QRect(box.left() + 4, box.top() + 2 + int32_t(i) * lh, w + 2, lh),
                   Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    }
}
