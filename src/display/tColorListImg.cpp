// tColorListImg: splitting the legend lines into two coloured columns and drawing them.
#include "display/tColorListImg.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxLines = 5;     // more lines than this are not laid out
constexpr int kColumnGap = 10;   // pixels between the two columns
constexpr int kMinPt = 6;        // smallest font fitWidth draws with, points
}

// The family as named, resolved by Qt's font matching like the diagram's own font.
tColorListImg::tColorListImg() : font("Arial", 8) {}


bool tColorListImg::setContent(const QStringList& List, TColorBGR Lcol, TColorBGR Rcol)
{
    const int oldLines = lines;
    const QStringList oldL = Llist, oldR = Rlist;
    LeCol = Lcol;
    RiCol = Rcol;
    Llist.clear();
    Rlist.clear();
    lines = List.size() > kMaxLines ? 0 : int(List.size());
    for (int i = 0; i < lines; ++i) {
        const QString& l = List[i];
        const int at = l.indexOf(sep);
        Llist << (at < 0 ? l : l.left(at));
        Rlist << (at < 0 ? QString() : l.mid(at + 1));
    }
    if (Llist != oldL || Rlist != oldR)
        m_measured.clear();
    font.setPointSize(prefPt);
    measure();
    return lines != oldLines;
}

void tColorListImg::measure()
{
    maxL = MaxR = 0;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return; // no fonts to measure without a GUI application
    // Every layout fits the legend again; the texts change far less often.
    for (const TMeasured& m : m_measured)
        if (m.font == font) {
            maxL = m.maxL;
            MaxR = m.MaxR;
            Ty = m.Ty;
            return;
        }
    QFontMetrics fm(font);
    for (int i = 0; i < lines; ++i) {
        maxL = std::max(maxL, fm.horizontalAdvance(Llist[i]) + 2);
        MaxR = std::max(MaxR, fm.horizontalAdvance(Rlist[i]) + 2);
    }
    Ty = fm.height() + 1;
    m_measured.push_back({font, maxL, MaxR, Ty});
}

void tColorListImg::fitWidth(int maxWidth)
{
    if (font.pointSize() != prefPt) {
        font.setPointSize(prefPt);
        measure();
    }
    while (lines > 0 && size().width() > maxWidth && font.pointSize() > kMinPt) {
        font.setPointSize(font.pointSize() - 1);
        measure();
    }
}

QSize tColorListImg::size() const
{
    if (lines == 0)
        return QSize(0, 0);
    return QSize(maxL + MaxR + 12, lines * Ty);
}

void tColorListImg::paint(QPainter& p, int x, int y, TColorBGR background) const
{
    if (lines == 0)
        return;
    const int dpiX = p.device() ? p.device()->logicalDpiX() : 0, dpiY = p.device() ? p.device()->logicalDpiY() : 0;
    if (m_picture.isNull() || m_picture.size() != size() || m_pictureOf.L != Llist || m_pictureOf.R != Rlist ||
        m_pictureOf.left != LeCol || m_pictureOf.right != RiCol || m_pictureOf.background != background ||
        m_pictureOf.font != font || m_pictureOf.dpiX != dpiX || m_pictureOf.dpiY != dpiY) {
        m_picture = QImage(size(), QImage::Format_RGB32);
        if (p.device()) { // the texts in the size they have on the device
            m_picture.setDotsPerMeterX(int(std::lround(dpiX / 0.0254)));
            m_picture.setDotsPerMeterY(int(std::lround(dpiY / 0.0254)));
        }
        QPainter q(&m_picture);
        paintLines(q, background);
        m_pictureOf = {Llist, Rlist, LeCol, RiCol, background, font, dpiX, dpiY};
    }
    p.drawImage(QPoint(x, y), m_picture);
}

// The legend on its background, top-left at (0, 0).
void tColorListImg::paintLines(QPainter& p, TColorBGR background) const
{
    p.fillRect(QRect(QPoint(0, 0), size()), bgrToQColor(background));
    p.setFont(font);
    m_stamps.resize(size_t(2 * lines));
    for (int i = 0; i < lines; ++i) {
        const int ty = i * Ty;
        p.setPen(bgrToQColor(Llist[i].contains("left") ? LeCol : RiCol));
        m_stamps[size_t(2 * i)].draw(p, QRect(1, ty, maxL, Ty), Qt::AlignLeft | Qt::AlignVCenter, Llist[i]);
        p.setPen(bgrToQColor(RiCol));
        m_stamps[size_t(2 * i + 1)].draw(p, QRect(maxL + kColumnGap, ty, MaxR, Ty), Qt::AlignLeft | Qt::AlignVCenter,
                                         Rlist[i]);
    }
}

void tColorListImg::setFontSize(int pt)
{
    if (pt <= 0)
        return;
    prefPt = pt;
    font.setPointSize(pt);
}
