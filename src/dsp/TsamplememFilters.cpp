// Sample memory: time-domain filtering through IIR filters and filter blocks.
#include "dsp/Tsamplemem.h"
#include "dsp/TsamplememDetail.h"

#include "dsp/IIR_obj_D.h"
#include "dsp/tFilterBlock.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using samplememDetail::validRate;

template <class Fn>
void forNonFlat(tFilterBlock& b, Fn&& fn)
{
    for (TIIRObj& f : b.aEq)
        if (f.Typ() != iirFlat)
            fn(f);
}

double chain(tFilterBlock& b, double x) noexcept
{
    for (TIIRObj& f : b.aEq)
        if (f.Typ() != iirFlat)
            x = f.NewCycle(x);
    return x;
}

} // namespace

void Tsamplemem::timeDomainFilterEQ(double sr, tFilterBlock& block)
{
    if (block.bypass || n() == 0)
        return;
    if (!validRate(sr))
        return recordError(EsampleMemEx("timeDomainFilterEQ: sample rate not valid"));
    // A filter designed for another rate would put its corner at the wrong frequency.
    forNonFlat(block, [&](TIIRObj& f) { f.SetDesignSampleRate(sr); });
    forNonFlat(block, [&](TIIRObj& f) { f.NewCycleBlock(d(), d(), size_t(n())); });
}

void Tsamplemem::timeDomainFilterTrackEQ(double sr, tFilterBlock& block, double freq)
{
    if (!validRate(sr))
        return recordError(EsampleMemEx("timeDomainFilterTrackEQ: sample rate not valid"));
    for (TIIRObj& f : block.aEq) {
        f.SetDesignSampleRate(sr);
        f.SetFreq(freq);
        f.ClearData();
    }
    timeDomainFilterEQ(sr, block);
}

void Tsamplemem::timeDomainFilterEQRL(double sr, tFilterBlock& left, tFilterBlock& right)
{
    if (n() == 0 || (left.bypass && right.bypass))
        return;
    if (!validRate(sr))
        return recordError(EsampleMemEx("timeDomainFilterEQRL: sample rate not valid"));
    for (tFilterBlock* b : {&left, &right})
        forNonFlat(*b, [&](TIIRObj& f) { f.SetDesignSampleRate(sr); });
    double* x = d();
    for (int32_t i = 0; i < n(); ++i) {
        tFilterBlock& b = (i % 2 == 0) ? left : right;
        if (!b.bypass)
            x[i] = chain(b, x[i]);
    }
}

void Tsamplemem::timeDomainFilterSingleF(double sr, TIIRObj& filter)
{
    if (n() == 0)
        return;
    if (!validRate(sr))
        return recordError(EsampleMemEx("timeDomainFilterSingleF: sample rate not valid"));
    filter.SetDesignSampleRate(sr);
    filter.NewCycleBlock(d(), d(), size_t(n()));
}
