// The entry points every sound module answers by handing the call to its device unchanged.
// Called by the program on its GUI thread, like the device members they forward to.
#pragma once

#include <soundDLLTypes.h>

#define SD_EXPORT extern "C" __attribute__((visibility("default")))

// Defines the 18 forwarding entry points; dev() returns the module's one device (a
// TSoundDeviceCore). The module writes SDInitSound, SDSampleFreqValid and SDSoundDlg itself.
#define SD_FORWARDING_ENTRY_POINTS(dev)                                                                \
    SD_EXPORT int32_t SDDeInitSound(int32_t) { return dev().deinit(); }                               \
    SD_EXPORT int32_t SDStartSoundOut(int32_t start) { return dev().startOut((start & 0xFF) == 1); }  \
    SD_EXPORT TwaveGO* SDgetSoundOutAdr(int32_t) { return dev().outRecord(); }                        \
    SD_EXPORT TwaveGI* SDgetSoundInAdr(int32_t) { return dev().inRecord(); }                          \
    SD_EXPORT int32_t SDStartSoundIn(int32_t start) { return dev().startIn((start & 0xFF) == 1); }    \
    SD_EXPORT void* SDSetCallBack(int32_t id, void* pointer) { return dev().setCallback(id, pointer); } \
    SD_EXPORT int32_t SDgetSoundStatus(void) { return dev().status(); }                               \
    SD_EXPORT int32_t SDgetsoundDats(int32_t* first, int32_t* second, TsmView** buffer)               \
    {                                                                                                  \
        return dev().soundDats(first, second, buffer);                                                \
    }                                                                                                  \
    SD_EXPORT int32_t SDgetwaveFormatIn(Twfs* wfs) { return dev().waveFormat(wfs, true); }            \
    SD_EXPORT int32_t SDgetwaveFormatOut(Twfs* wfs) { return dev().waveFormat(wfs, false); }          \
    SD_EXPORT int32_t SDsetwaveFormatIn(Twfs* result, Twfs wfs) { return dev().setWaveFormat(result, wfs, true); } \
    SD_EXPORT int32_t SDsetwaveFormatOut(Twfs* result, Twfs wfs)                                      \
    {                                                                                                  \
        return dev().setWaveFormat(result, wfs, false);                                               \
    }                                                                                                  \
    SD_EXPORT int32_t SDDLLErrorStr(int32_t code, char16_t* text, int32_t maxLen)                     \
    {                                                                                                  \
        return dev().errorText(code, text, maxLen);                                                   \
    }                                                                                                  \
    SD_EXPORT int32_t SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code)                  \
    {                                                                                                  \
        return dev().description(text, maxLen, code);                                                 \
    }                                                                                                  \
    SD_EXPORT int32_t SDSetFuturePara(int32_t id, int32_t value) { return dev().setFuturePara(id, value); } \
    SD_EXPORT int32_t SDGetFuturePara(int32_t id) { return dev().getFuturePara(id); }                 \
    SD_EXPORT int32_t SDgetSoundDatsPropsCH(int32_t* inChannels, int32_t* outChannels)                \
    {                                                                                                  \
        return dev().channelCounts(inChannels, outChannels);                                          \
    }                                                                                                  \
    SD_EXPORT int32_t SDgetSoundDatsCH(TsmView** buffers, int32_t lastIndex) { return dev().fetch(buffers, lastIndex); }
