// TGdata: the per-channel result package a measurement hands to the diagram window.
#include "display/TGdata.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

TGdata::TGdata(cFFTdat* ana) : asdZz(asdZ), AnaFFT(ana) {}

TGdata::~TGdata()
{
    ReleaseGMem();
    sdX = Tsamplemem();
}

void TGdata::makeAsd(int32_t channels, int32_t points, bool cleared)
{
    const size_t n = size_t(std::max(0, channels));
    const int32_t p = std::max(0, points);
    for (std::vector<Tsamplemem>* list : {&asdDia, &asdZ, &asdPh})
        keepBuffers(*list);
    for (std::vector<Tsamplemem>* list : {&asdDia, &asdZ, &asdPh})
        for (size_t i = 0; i < n; ++i)
            list->push_back(takeBuffer(p, cleared));
    m_spare.clear();
    eMode.resize(n, edBFS);
    memalloced = true;
}

void TGdata::keepBuffers(std::vector<Tsamplemem>& list)
{
    for (Tsamplemem& b : list)
        if (b.memIsAlloc() && std::as_const(b).smpoi() && b.samples() > 0)
            m_spare.push_back(std::move(b));
    list.clear();
}

Tsamplemem TGdata::takeBuffer(int32_t points, bool cleared)
{
    for (auto it = m_spare.rbegin(); it != m_spare.rend(); ++it) {
        if (it->samples() != points || it->shared())
            continue; // a diagram still shows the samples of a shared one
        Tsamplemem b = std::move(*it);
        m_spare.erase(std::next(it).base());
        if (cleared)
            b.fillComplete(0.0);
        b.setTag(0);
        b.setAlign(0);
        return b;
    }
    return cleared ? Tsamplemem(points) : Tsamplemem::uncleared(points);
}

void TGdata::copy(const TGdata& src)
{
    if (this == &src)
        return;
    asdDia = src.asdDia;
    asdZ = src.asdZ; // asdZz is bound to asdZ, so it follows
    asdPh = src.asdPh;
    eMode = src.eMode;
    sdX = src.sdX;
    memalloced = src.memalloced;
    ComStrList = src.ComStrList;
    sfi = src.sfi;
    timestamp = src.timestamp;
    Working = src.Working;
    xlinear = src.xlinear;
    MsgHandle = src.MsgHandle;
    // AnaFFT and Withdrawn stay: this package frees the averaging memory of its own settings only.
}

void TGdata::withdraw()
{
    Withdrawn = true;
    AnaFFT = nullptr;
}

void TGdata::ReleaseGMem()
{
    for (std::vector<Tsamplemem>* list : {&asdDia, &asdZ, &asdPh})
        keepBuffers(*list);
    memalloced = false;
}
