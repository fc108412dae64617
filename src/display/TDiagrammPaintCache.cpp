#include "display/TDiagrammPaintCache.h"

#include <QFontMetrics>

const TTextMetrics& TTextMetrics::of(const QFont& f)
{
    if (!valid || font != f) {
        const QFontMetrics fm(f);
        font = f;
        valid = true;
        height = fm.height();
        digitWidth = fm.horizontalAdvance(u'8');
        widths.clear();
    }
    return *this;
}

int32_t TTextMetrics::advance(const QFont& f, const QString& s)
{
    of(f);
    if (const auto it = widths.constFind(s); it != widths.cend())
        return *it;
    if (widths.size() >= 256) // labels of ranges long gone
        widths.clear();
    const int32_t w = QFontMetrics(f).horizontalAdvance(s);
    widths.insert(s, w);
    return w;
}
