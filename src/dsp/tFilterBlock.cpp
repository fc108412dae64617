// Filter blocks: chains of IIR filters with a delay line, level and polarity.
#include "dsp/tFilterBlock.h"

#include <algorithm>
#include <cmath>

namespace {

bool isFlat(const TIIRObj& f) { return f.Typ() == iirFlat; }

// A filter that changes samples when its block is not bypassed.
bool isActive(const TIIRObj& f) { return !isFlat(f) && !f.Bypassed(); }

} // namespace

tFilterBlock::tFilterBlock() = default;

tFilterBlock::tFilterBlock(const tFilterBlock& other) { copyfrom(other); }

tFilterBlock& tFilterBlock::operator=(const tFilterBlock& other)
{
    if (this != &other)
        copyfrom(other);
    return *this;
}

void tFilterBlock::copyfrom(const tFilterBlock& other)
{
    Delay_samps = other.Delay_samps;
    Delaybuffer = other.Delaybuffer;
    fcpL = other.fcpL;
    foniL = other.foniL;
    fLevLin = other.fLevLin;
    fLeveldB = other.fLeveldB;
    ffak = other.ffak;
    bypass = other.bypass;
    for (int i = 0; i < kFilters; ++i)
        aEq[size_t(i)].CopyFrom(other.aEq[size_t(i)]);
}

double tFilterBlock::newCycle(double v) noexcept
{
    if (bypass)
        return v;
    for (TIIRObj& f : aEq)
        if (isActive(f))
            v = f.NewCycle(v);
    return v;
}

double tFilterBlock::DoDelay(double v) noexcept
{
    Delay_samps = std::clamp(Delay_samps, 0, kMaxDelay);
    std::copy_backward(Delaybuffer.begin(), Delaybuffer.end() - 1, Delaybuffer.end());
    Delaybuffer[0] = v;
    return Delaybuffer[size_t(Delay_samps)];
}

void tFilterBlock::ClearData() noexcept
{
    Delaybuffer.fill(0.0);
    for (TIIRObj& f : aEq)
        f.ClearData();
}

void tFilterBlock::SetDesignSampleRate(double fs)
{
    for (TIIRObj& f : aEq)
        f.SetDesignSampleRate(fs);
}

void tFilterBlock::SetLeveldB(double x)
{
    if (!(x <= 0.0)) // above 0 dB, or not a number
        return;
    fLeveldB = x;
    fLevLin = std::pow(10.0, x / 20.0);
    updateFak();
}

void tFilterBlock::SetInverted(bool inv)
{
    fcpL = inv;
    updateFak();
}

void tFilterBlock::SetOutputOn(bool on)
{
    foniL = on;
    updateFak();
}

bool tFilterBlock::inactive() const
{
    return bypass || std::none_of(aEq.begin(), aEq.end(), isActive);
}

void tFilterBlock::updateFak() { ffak = !foniL ? 0.0 : (fcpL ? -fLevLin : fLevLin); }

bool BlocksInactive(const tFilterBlock& left, const tFilterBlock& right)
{
    return left.inactive() && right.inactive();
}

void tFilterBlockSet::acceptInput(const tFilterBlock& left, const tFilterBlock& right)
{
    inpLeft.copyfrom(left);
    inpRight.copyfrom(linkInFromEQL ? left : right);
}

void tFilterBlockSet::acceptOutput(const tFilterBlock& left, const tFilterBlock& right)
{
    outLeft.copyfrom(left);
    outRight.copyfrom(linkOutFromEQL ? left : right);
}
