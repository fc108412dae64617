// The wiring diagrams of the help pages, drawn by the program.
#include "app/ui/THelpWindow.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kW = 640; // picture size, pixels
constexpr int kH = 220;

// A labelled box; returns its rectangle.
QRect box(QPainter& p, int x, int y, int w, int h, const QString& text, QColor fill = QColor(0xEE, 0xF4, 0xFF))
{
    const QRect r(x, y, w, h);
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text);
    return r;
}

// A cable from a to b with a label above its middle; an arrow at b.
void wire(QPainter& p, QPoint a, QPoint b, const QString& label = {})
{
    p.drawLine(a, b);
    const QPointF d = QPointF(b - a) / std::max(1.0, std::hypot(double(b.x() - a.x()), double(b.y() - a.y())));
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(b);
    head.lineTo(QPointF(b) - 9 * d + 4 * n);
    head.lineTo(QPointF(b) - 9 * d - 4 * n);
    head.closeSubpath();
    p.fillPath(head, p.pen().color());
    if (!label.isEmpty()) p.drawText(QRect((a + b) / 2 - QPoint(80, 22), QSize(160, 18)), Qt::AlignCenter, label);
}

// The sound interface on the left: outputs above, inputs below.
QRect soundInterface(QPainter& p)
{
    const QRect r = box(p, 10, 40, 130, 140, "Sound interface\n\nOut L / R\n\n\nIn L / R", QColor(0xE8, 0xF5, 0xE0));
    return r;
}

void drawLoopback(QPainter& p)
{
    const QRect si = soundInterface(p);
    const QRect dut = box(p, 300, 60, 160, 100, "Device under test\n(sound card, preamp,\nfilter, cable)");
    wire(p, QPoint(si.right(), 80), QPoint(dut.left(), 80), "Out L/R");
    wire(p, QPoint(dut.left(), 140), QPoint(si.right(), 140), "In L/R");
    p.drawText(QRect(470, 60, 165, 100), Qt::AlignLeft | Qt::TextWordWrap,
               "Without a device: connect Out directly to In (loopback) to measure the interface itself.");
}

void drawAmplifier(QPainter& p)
{
    const QRect si = soundInterface(p);
    const QRect amp = box(p, 190, 55, 110, 60, "Amplifier");
    const QRect load = box(p, 350, 55, 90, 60, "Load\nresistor");
    const QRect div = box(p, 350, 140, 90, 50, "Divider\n10:1", QColor(0xFF, 0xF4, 0xE0));
    wire(p, QPoint(si.right(), 85), QPoint(amp.left(), 85), "Out L");
    wire(p, QPoint(amp.right(), 85), QPoint(load.left(), 85));
    wire(p, QPoint(load.center().x(), load.bottom()), QPoint(div.center().x(), div.top()));
    wire(p, QPoint(div.left(), 165), QPoint(si.right(), 165), "In L");
    p.drawText(QRect(455, 55, 180, 140), Qt::AlignLeft | Qt::TextWordWrap,
               "Keep the input below full scale: the divider brings the amplifier's output voltage "
               "into the input's range. Enter its ratio in the calibration.");
}

void drawImpedance(QPainter& p)
{
    const QRect si = soundInterface(p);
    const QRect rs = box(p, 200, 55, 100, 50, "Series resistor\nR (e.g. 100 Ω)");
    const QRect spk = box(p, 370, 55, 110, 110, "Loudspeaker\nor impedance Z", QColor(0xFF, 0xEE, 0xEE));
    wire(p, QPoint(si.right(), 80), QPoint(rs.left(), 80), "Out L");
    wire(p, QPoint(rs.right(), 80), QPoint(spk.left(), 80));
    wire(p, QPoint(rs.left() + 10, rs.bottom()), QPoint(si.right(), 125), "In R: before R");
    wire(p, QPoint(spk.left(), 150), QPoint(si.right(), 160), "In L: across Z");
    p.drawText(QRect(490, 55, 145, 130), Qt::AlignLeft | Qt::TextWordWrap,
               "The current through Z is the voltage across R divided by R.");
}

void drawAcoustic(QPainter& p)
{
    const QRect si = soundInterface(p);
    const QRect amp = box(p, 180, 45, 100, 45, "Power amplifier");
    const QRect spk = box(p, 330, 40, 90, 55, "Loudspeaker", QColor(0xFF, 0xEE, 0xEE));
    const QRect mic = box(p, 470, 120, 90, 50, "Measuring\nmicrophone", QColor(0xFF, 0xEE, 0xEE));
    const QRect pre = box(p, 300, 130, 110, 45, "Mic preamp");
    wire(p, QPoint(si.right(), 67), QPoint(amp.left(), 67), "Out L");
    wire(p, QPoint(amp.right(), 67), QPoint(spk.left(), 67));
    p.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    p.drawLine(spk.right(), spk.center().y(), mic.center().x(), mic.top());
    p.setPen(QPen(Qt::black, 1.5));
    wire(p, QPoint(mic.left(), 150), QPoint(pre.right(), 150));
    wire(p, QPoint(pre.left(), 155), QPoint(si.right(), 155), "In L");
}

void drawInput(QPainter& p)
{
    const QRect si = soundInterface(p);
    const QRect src = box(p, 320, 110, 170, 60, "Signal source\n(device output, test point)");
    wire(p, QPoint(src.left(), 150), QPoint(si.right(), 150), "In L / In R");
    p.drawText(QRect(320, 40, 300, 60), Qt::AlignLeft | Qt::TextWordWrap,
               "Only the inputs are used; the generator may feed the device through Out L/R.");
}

} // namespace

QImage helpWiringPicture(const QString& name)
{
    static const struct {
        const char* name;
        void (*draw)(QPainter&);
    } kPictures[] = {{"loopback", drawLoopback}, {"amplifier", drawAmplifier}, {"impedance", drawImpedance},
                     {"acoustic", drawAcoustic}, {"input", drawInput}};
    for (const auto& k : kPictures) {
        if (name != QLatin1String(k.name)) continue;
        QImage img(kW, kH, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1.5));
        QFont f = p.font();
        f.setPixelSize(12);
        p.setFont(f);
        k.draw(p);
        return img;
    }
    return {};
}
