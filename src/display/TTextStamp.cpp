// A line of text laid out once and drawn many times.
#include "display/TTextStamp.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

TTextStamp::TTextStamp() = default;
TTextStamp::~TTextStamp() = default;
TTextStamp::TTextStamp(const TTextStamp&) : TTextStamp() {}

TTextStamp& TTextStamp::operator=(const TTextStamp& other)
{
    if (this != &other)
        m_layout.reset();
    return *this;
}

// Single lines with no more than an alignment: what the stamp draws exactly as drawText does.
bool TTextStamp::drawable(int flags, const QString& text)
{
    if (flags & ~int(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask))
        return false;
    if (flags & (Qt::AlignJustify | Qt::AlignAbsolute | Qt::AlignBaseline))
        return false;
    return !text.isEmpty() && !text.contains(u'\n') && !text.contains(QChar(0x9c)) &&
           !text.contains(QChar::LineSeparator) && !text.contains(QChar::ParagraphSeparator);
}

void TTextStamp::layOut(QPainter& p, const QString& text)
{
    QString shown = text; // as drawText shows a single line: no tab stops, no carriage returns
    shown.replace(u'\t', u' ').replace(u'\r', u' ');
    m_layout = std::make_unique<QTextLayout>(shown, p.font(), p.device());
    m_layout->setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    option.setTextDirection(p.layoutDirection());
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    m_layout->setTextOption(option);
    m_layout->beginLayout();
    QTextLine line = m_layout->createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0.0, 0.0));
    m_layout->endLayout();
    m_text = text;
    m_font = p.font();
    m_dpiX = p.device()->logicalDpiX();
    m_dpiY = p.device()->logicalDpiY();
    m_dir = p.layoutDirection();
}

void TTextStamp::draw(QPainter& p, const QRect& r, int flags, const QString& text)
{
    if (!p.device() || p.layoutDirection() == Qt::RightToLeft || !drawable(flags, text)) {
        p.drawText(r, flags, text);
        return;
    }
    if (!m_layout || text != m_text || p.font() != m_font || p.layoutDirection() != m_dir ||
        p.device()->logicalDpiX() != m_dpiX || p.device()->logicalDpiY() != m_dpiY)
        layOut(p, text);
    const QTextLine line = m_layout->lineAt(0);
    const qreal height = line.ascent() + line.descent();
    qreal yoff = 0.0;
    if (flags & Qt::AlignBottom)
        yoff = r.height() - height;
    else if (flags & Qt::AlignVCenter)
        yoff = (r.height() - height) / 2;
    // The line is placed by its advance, but whether it fits is judged by its natural width
    // placed the same way (an italic overhang may reach out of the rectangle unclipped).
    auto offset = [&](qreal width) {
        return flags & Qt::AlignRight ? r.width() - width
             : flags & Qt::AlignHCenter ? (r.width() - width) / 2
                                         : 0.0;
    };
    const qreal xoff = offset(line.horizontalAdvance());
    const qreal natural = line.naturalTextWidth();
    const QRectF bounds(r.x() + offset(natural), r.y() + yoff, natural, height);
    const bool clip = !QRectF(r).contains(bounds);
    if (clip) {
        p.save();
        p.setClipRect(r, Qt::IntersectClip);
    }
    line.draw(&p, QPointF(r.x() + xoff, r.y() + yoff));
    if (clip)
        p.restore();
}
