// Editing the two output filter blocks, each change published at once.
#include "core/TOutFilterSelect.h"

#include <cmath>

TOutFilterSelect::TOutFilterSelect(const tFilterBlock& left, const tFilterBlock& right, bool link,
                                   Publisher publish)
    : m_left(left), m_right(right), m_origLeft(left), m_origRight(right), m_link(link), m_origLink(link),
      m_publish(std::move(publish))
{
}

void TOutFilterSelect::publish()
{
    if (m_publish) m_publish(m_left, m_link ? m_left : m_right);
}

void TOutFilterSelect::setLink(bool on)
{
    m_link = on;
    publish();
}

void TOutFilterSelect::setBlockBypass(bool on)
{
    edited().bypass = on;
    publish();
}

void TOutFilterSelect::setParam(int i, eParam p, double value)
{
    if (i < 0 || i >= tFilterBlock::kFilters || !std::isfinite(value)) return;
    TIIRObj& f = edited().aEq[size_t(i)];
    switch (p) {
    case fpType:
        if (value >= int(iirFlat) && value <= int(iirATP)) f.SetTyp(uint8_t(value));
        break;
    case fpFreq: f.SetFreq(value); break;
    case fpGain: f.SetGain(value); break;
    case fpQ: f.SetQ(value); break;
    case fpOrder:
        if (value >= 1 && value <= kIIRMaxOrder) f.SetGrad(uint8_t(value));
        break;
    case fpBypassed: f.SetBypassed(value != 0.0); break;
    }
    publish();
}

double TOutFilterSelect::param(int i, eParam p) const
{
    if (i < 0 || i >= tFilterBlock::kFilters) return 0.0;
    const TIIRObj& f = block().aEq[size_t(i)];
    switch (p) {
    case fpType: return f.Typ();
    case fpFreq: return f.Freq();
    case fpGain: return f.Gain();
    case fpQ: return f.Q();
    case fpOrder: return f.Grad();
    case fpBypassed: return f.Bypassed() ? 1.0 : 0.0;
    }
    return 0.0;
}

void TOutFilterSelect::cancel()
{
    if (m_publish) m_publish(m_origLeft, m_origLink ? m_origLeft : m_origRight);
}
