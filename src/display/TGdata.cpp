// TGdata: the per-channel result package a measurement hands to the diagram window.
#include "display/TGdata.h"

#include <algorithm>

TGdata::TGdata(cFFTdat* ana) : asdZz(asdZ), AnaFFT(ana)
{
    if (AnaFFT) {
        AnaFFT->CreateAvemem();
        AnaFFT->ClearAvemem();
    }
}

TGdata::~TGdata()
{
    ReleaseGMem();
    sdX = Tsamplemem();
    if (AnaFFT)
        AnaFFT->removeAveMem();
}

void TGdata::makeAsd(int32_t channels, int32_t points)
{
    const size_t n = size_t(std::max(0, channels));
    const int32_t p = std::max(0, points);
    asdDia.assign(n, Tsamplemem(p));
    asdZ.assign(n, Tsamplemem(p));
    asdPh.assign(n, Tsamplemem(p));
    eMode.resize(n, edBFS);
    memalloced = true;
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
    // AnaFFT stays: this package frees the averaging memory of its own settings only.
}

void TGdata::ReleaseGMem()
{
    asdDia.clear();
    asdZ.clear();
    asdPh.clear();
    memalloced = false;
}
