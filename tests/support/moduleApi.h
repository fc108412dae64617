// A sound module's entry points, loaded with dlopen as the program does, for the tests that
// drive a module from outside.
#pragma once

#include <soundDLLTypes.h>

#include <dlfcn.h>

struct TModuleApi {
    void* handle = nullptr; // null when the module could not be loaded
    SDInitSound_t init = nullptr;
    SDDeInitSound_t deinit = nullptr;
    SDStartSoundOut_t startOut = nullptr;
    SDgetSoundOutAdr_t outAdr = nullptr;
    SDStartSoundIn_t startIn = nullptr;
    SDSetCallBack_t setCallBack = nullptr;
    SDgetSoundStatus_t status = nullptr;
    SDgetsoundDats_t soundDats = nullptr;
    SDgetwaveFormatIn_t formatIn = nullptr;
    SDgetwaveFormatOut_t formatOut = nullptr;
    SDsetwaveFormatIn_t setFormatIn = nullptr;
    SDSampleFreqValid_t rateValid = nullptr;
    SDSoundDlg_t dialog = nullptr;
    SDDLLdescription_t description = nullptr;
    SDDLLErrorStr_t errorStr = nullptr;
    SDSetFuturePara_t setFuture = nullptr;
    SDGetFuturePara_t getFuture = nullptr;
    SDgetSoundDatsPropsCH_t channels = nullptr;
    SDgetSoundDatsCH_t fetch = nullptr;
};

template <class F>
void moduleBind(void* handle, F& f, const char* name)
{
    f = reinterpret_cast<F>(dlsym(handle, name));
}

// Loads the module at path (kept loaded for the rest of the process) and binds its entry points.
inline TModuleApi loadModuleApi(const char* path)
{
    TModuleApi a;
    a.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!a.handle)
        return a;
    moduleBind(a.handle, a.init, "SDInitSound");
    moduleBind(a.handle, a.deinit, "SDDeInitSound");
    moduleBind(a.handle, a.startOut, "SDStartSoundOut");
    moduleBind(a.handle, a.outAdr, "SDgetSoundOutAdr");
    moduleBind(a.handle, a.startIn, "SDStartSoundIn");
    moduleBind(a.handle, a.setCallBack, "SDSetCallBack");
    moduleBind(a.handle, a.status, "SDgetSoundStatus");
    moduleBind(a.handle, a.soundDats, "SDgetsoundDats");
    moduleBind(a.handle, a.formatIn, "SDgetwaveFormatIn");
    moduleBind(a.handle, a.formatOut, "SDgetwaveFormatOut");
    moduleBind(a.handle, a.setFormatIn, "SDsetwaveFormatIn");
    moduleBind(a.handle, a.rateValid, "SDSampleFreqValid");
    moduleBind(a.handle, a.dialog, "SDSoundDlg");
    moduleBind(a.handle, a.description, "SDDLLdescription");
    moduleBind(a.handle, a.errorStr, "SDDLLErrorStr");
    moduleBind(a.handle, a.setFuture, "SDSetFuturePara");
    moduleBind(a.handle, a.getFuture, "SDGetFuturePara");
    moduleBind(a.handle, a.channels, "SDgetSoundDatsPropsCH");
    moduleBind(a.handle, a.fetch, "SDgetSoundDatsCH");
    return a;
}
