// The oscilloscope screen's painting.
#include "measurements/TOsziPaint.h"

#include "measurements/TOsziScope.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {

QColor bgr(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

constexpr int kTextLines = 2; // info and read-out under the screen

void paintGrid(QPainter& p, const QRectF& g, const TosziScreen& scr) {
    p.setPen(QPen(bgr(scr.ColGrid), 1, Qt::DotLine));
    for (int i = 1; i < kOsziDivX; ++i)
        p.drawLine(QPointF(g.left() + g.width() * i / kOsziDivX, g.top()),
                   QPointF(g.left() + g.width() * i / kOsziDivX, g.bottom()));
    for (int i = 1; i < kOsziDivY; ++i)
        p.drawLine(QPointF(g.left(), g.top() + g.height() * i / kOsziDivY),
                   QPointF(g.right(), g.top() + g.height() * i / kOsziDivY));
    p.setPen(QPen(bgr(scr.ColGrid), 1));
    p.drawRect(g);
    // Fifth-division ticks on the centre lines, as on a graticule.
    const double cx = g.center().x(), cy = g.center().y();
    for (int i = 0; i <= kOsziDivX * 5; ++i) {
        const double x = g.left() + g.width() * i / (kOsziDivX * 5);
        p.drawLine(QPointF(x, cy - 3), QPointF(x, cy + 3));
    }
    for (int i = 0; i <= kOsziDivY * 5; ++i) {
        const double y = g.top() + g.height() * i / (kOsziDivY * 5);
        p.drawLine(QPointF(cx - 3, y), QPointF(cx + 3, y));
    }
}

// The trace y (screen heights above its zero line at pos) as a pixel row.
double rowOf(const QRectF& g, double pos, double y) {
    return g.top() + (pos - y) * g.height();
}

// Samples [i0, i0 + span) across the width; above two points a pixel column, min and max.
QPolygonF traceLine(const QRectF& g, const std::vector<double>& y, double pos, double i0,
                    double span) {
    QPolygonF line;
    const int n = int(y.size());
    const double perPx = span / g.width();
    if (perPx <= 2.0) {
        const int a = std::max(0, int(std::floor(i0))),
                  b = std::min(n, int(std::ceil(i0 + span)) + 1);
        line.reserve(b - a);
        for (int i = a; i < b; ++i)
            line << QPointF(g.left() + (i - i0) / span * g.width(), rowOf(g, pos, y[size_t(i)]));
        return line;
    }
    line.reserve(int(g.width()) * 2 + 2);
    for (int px = 0; px < int(g.width()); ++px) {
        const int a = std::clamp(int(i0 + px * perPx), 0, n),
                  b = std::clamp(int(i0 + (px + 1) * perPx), 0, n);
        if (a >= b) continue;
        const auto [mn, mx] = std::minmax_element(y.begin() + a, y.begin() + b);
        line << QPointF(g.left() + px, rowOf(g, pos, *mx))
             << QPointF(g.left() + px, rowOf(g, pos, *mn));
    }
    return line;
}

void paintXY(QPainter& p, const QRectF& g, const TOsziScope& s) {
    const TOsziFrame& f = s.frame();
    QPolygonF line;
    line.reserve(int(f.y1.size()));
    const double xScale = g.width() * kOsziDivY / kOsziDivX; // channel 1 in divisions across
    for (size_t i = 0; i < f.y1.size(); ++i)
        line << QPointF(g.center().x() + f.y1[i] * xScale, g.center().y() - f.y2[i] * g.height());
    p.setPen(QPen(bgr(s.scr.ColLine1), s.d.LineWidth));
    p.drawPolyline(line);
}

void paintTraces(QPainter& p, const QRectF& g, const TOsziScope& s) {
    const TOsziFrame& f = s.frame();
    const double span = 10.0 * s.timeBaseVal * s.sampleFreq_Hz; // samples across the screen
    double vis = span, i0 = 0;
    if (s.d.x10Mag) { // a tenth of the trace, from where the X position points
        vis = span / 10.0;
        i0 = s.d.XposBegRel * (span - vis);
    }
    if (s.d.Cha2On && !s.d.Add12) {
        p.setPen(QPen(bgr(s.scr.ColLine2), s.d.LineWidth));
        p.drawPolyline(traceLine(g, f.y2, s.d.Cha2pos, i0, vis));
    }
    if (s.d.Cha1On) {
        p.setPen(QPen(bgr(s.scr.ColLine1), s.d.LineWidth));
        p.drawPolyline(traceLine(g, f.y1, s.d.Cha1pos, i0, vis));
    }
    // Cursors: the trigger time and the zero line marks of the channels; the level marker.
    p.setPen(QPen(bgr(s.scr.ColCur), 1, Qt::DashLine));
    const double tx = g.left() + (f.delaySamples - i0) / vis * g.width();
    if (tx >= g.left() && tx <= g.right())
        p.drawLine(QPointF(tx, g.top()), QPointF(tx, g.bottom()));
    p.setPen(bgr(s.scr.ColCur));
    const double srcPos = s.d.triggCha1 ? s.d.Cha1pos : s.d.Cha2pos;
    const double ty = std::clamp(rowOf(g, srcPos, 1.0 - 2.0 * s.d.triggLev), g.top(), g.bottom());
    p.setBrush(bgr(s.scr.ColCur));
    p.drawPolygon(QPolygonF(
        {QPointF(g.right(), ty), QPointF(g.right() + 8, ty - 5), QPointF(g.right() + 8, ty + 5)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(bgr(s.scr.ColText));
    if (s.d.Cha1On) p.drawText(QPointF(g.left() - 12, rowOf(g, s.d.Cha1pos, 0) + 4), "1");
    if (s.d.Cha2On && !s.d.Add12)
        p.drawText(QPointF(g.left() - 12, rowOf(g, s.d.Cha2pos, 0) + 4), "2");
}

} // namespace

QString OsziInfoText(const TOsziScope& s) {
    QString t;
    if (s.d.Cha1On) t += "ch1: " + OsziVoltsLabel(s.d.PegCha1Idx) + "/div  ";
    if (s.d.Cha2On && !s.d.Add12) t += "ch2: " + OsziVoltsLabel(s.d.PegCha2Idx) + "/div  ";
    if (s.d.Add12) t += "1+2  ";
    if (s.xyMode()) return t + " X/Y ";
    const double tb = s.timeBaseVal / (s.d.x10Mag ? 10.0 : 1.0);
    t += tb >= 1e-3 ? QString::number(tb * 1e3, 'g', 3) + " ms/div"
                    : QString::number(tb * 1e6, 'g', 3) + QString::fromUtf8(" µs/div");
    t += "  trig.: " + QString(s.d.triggCha1 ? "ch1 " : "ch2 ") + (s.d.triggSlopeP ? "+" : "-");
    t += s.d.TriggSingle ? (s.singleShot ? " single (armed)" : " single")
                         : (s.d.triggAuto ? " auto" : " normal");
    if (s.d.Triggdelaytime_s > 0)
        t += QString::asprintf("  delay %0.3fms", s.d.Triggdelaytime_s * 1e3);
    return t;
}

QString OsziReadoutText(const TOsziScope& s) {
    QString t;
    for (int c = 0; c < 2; ++c) {
        const TOsziReadout& r = s.readout(c);
        if (!r.on) continue;
        t += QString::asprintf("ch%d: %.1f mVpp  %.1f mVrms  ", c + 1, r.vpp_mV, r.vrms_mV);
        t += r.freq_Hz > 0 ? QString::asprintf("%.2f Hz    ", r.freq_Hz) : QString("--- Hz    ");
    }
    return t.trimmed();
}

void PaintTheOszi(QPainter& p, const QRect& r, const TOsziScope& s) {
    p.fillRect(r, bgr(s.scr.ColDia));
    const int lineH = p.fontMetrics().height();
    const QRectF g(r.left() + 16.5, r.top() + 6.5, std::max(r.width() - 34, 10),
                   std::max(r.height() - 12 - kTextLines * lineH, 10));
    if (s.d.SinScr) paintGrid(p, g, s.scr);
    if (!s.frame().y1.empty()) {
        p.save();
        p.setClipRect(g.adjusted(-1, -1, 10, 1));
        s.xyMode() ? paintXY(p, g, s) : paintTraces(p, g, s);
        p.restore();
    }
    p.setPen(bgr(s.scr.ColInfoText));
    const double base = g.bottom() + lineH;
    p.drawText(QPointF(g.left(), base), OsziInfoText(s));
    p.drawText(QPointF(g.left(), base + lineH), OsziReadoutText(s));
}
