// The wave format records of a module's device: what it reports, what it takes from the program.
#include "soundWaveFormat.h"

#include <algorithm>
#include <cstring>
#include <iterator>

// Format GUIDs of WAVE_FORMAT_EXTENSIBLE (PCM and IEEE float), in their byte order.
static constexpr uint8_t kGuidPcm[16] = {0x01, 0, 0, 0,    0, 0,    0x10, 0,
                                         0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
static constexpr uint8_t kGuidFloat[16] = {0x03, 0, 0, 0,    0, 0,    0x10, 0,
                                           0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

void soundFillWaveFormat(Twfs& w, const std::u16string& name, int channels, int rate, int bits,
                         int latencyMs)
{
    const int bytes = bits / 8;
    w.Device = 0;
    std::fill(std::begin(w.name), std::end(w.name), char16_t(0));
    std::copy_n(name.begin(), std::min(name.size(), std::size(w.name) - 1), w.name);
    w.usersf = uint32_t(rate);
    w.buffers = 2;
    w.Latency = latencyMs;
    TWaveFormatExtensible& f = w.Wf;
    f.wFormatTag = 0xFFFE;
    f.nChannels = uint16_t(channels);
    f.nSamplesPerSec = uint32_t(rate);
    f.nBlockAlign = uint16_t(channels * bytes);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.wBitsPerSample = uint16_t(bytes * 8);
    f.cbSize = 22;
    f.samples = uint16_t(bits);
    f.dwChannelMask = (1u << channels) - 1u;
    std::memcpy(f.SubFormat, bits == 32 ? kGuidFloat : kGuidPcm, 16);
}

void soundTakeChannelFlags(Twfs& own, const Twfs& wfs)
{
    own.cpL = wfs.cpL, own.cpR = wfs.cpR, own.oniL = wfs.oniL, own.oniR = wfs.oniR;
    own.mono = wfs.mono, own.chch = wfs.chch, own.monoOver = wfs.monoOver;
    own.DCoffset[0] = wfs.DCoffset[0], own.DCoffset[1] = wfs.DCoffset[1];
    own.DCoffsetAuto = wfs.DCoffsetAuto;
}
