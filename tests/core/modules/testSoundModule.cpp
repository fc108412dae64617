// A small sound module for the binding tests; compile definitions pick its behaviour.
//
//   TM_DESC "text"       description (query 0)
//   TM_VERSION n         version x 100 (default 416)
//   TM_IN_DEVICES n      input devices (default 1), TM_OUT_DEVICES n output devices (default 1)
//   TM_INIT_RESULT n     result of SDInitSound (default 0)
//   TM_NO_FUNCTION       device names "NO FUNCTION" and no records
//   TM_NO_FREQVALID      SDSampleFreqValid is not exported
//   TM_UNRESOLVED        references a function that exists nowhere (dlopen with RTLD_NOW fails)
//
// Every entry point appends "name(arguments)" and a line feed to a call log that the tests read
// through tmCallLog(). Plain C storage only, so unloading really discards the module's state.
#include "soundDLLTypes.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#ifndef TM_DESC
#define TM_DESC "Test module"
#endif
#ifndef TM_VERSION
#define TM_VERSION 416
#endif
#ifndef TM_IN_DEVICES
#define TM_IN_DEVICES 1
#endif
#ifndef TM_OUT_DEVICES
#define TM_OUT_DEVICES 1
#endif
#ifndef TM_INIT_RESULT
#define TM_INIT_RESULT 0
#endif

#define TM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

char g_log[65536];        // the call log, NUL-terminated, truncated when full
[[maybe_unused]] TwaveGO g_go;             // output record handed out by SDgetSoundOutAdr
[[maybe_unused]] TwaveGI g_gi;             // input record handed out by SDgetSoundInAdr
Twfs g_fmt[2];            // current format: [0] input, [1] output
int32_t g_status = 0;     // value of SDgetSoundStatus
int32_t g_channels[2] = {3, 2}; // input and output channel counts
void* g_callbacks[1001];  // last pointer registered per callback id

void logCall(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void logCall(const char* fmt, ...)
{
    const size_t used = std::strlen(g_log);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(g_log + used, sizeof g_log - used, fmt, ap);
    va_end(ap);
    const size_t now = std::strlen(g_log);
    if (now + 1 < sizeof g_log) {
        g_log[now] = '\n';
        g_log[now + 1] = 0;
    }
}

// UTF-16 text as plain ASCII for the log (test texts are ASCII).
const char* ascii(const char16_t* s)
{
    static char buf[1024];
    size_t i = 0;
    for (; s && s[i] && i + 1 < sizeof buf; ++i)
        buf[i] = char(s[i] < 128 ? s[i] : '?');
    buf[i] = 0;
    return buf;
}

int32_t put(char16_t* text, int32_t maxLen, const char* s)
{
    if (!text || maxLen <= 0)
        return 0;
    int32_t i = 0;
    for (; s[i] && i < maxLen; ++i)
        text[i] = char16_t(s[i]);
    text[i] = 0;
    return i;
}

void setDefaultFormat(Twfs& w, int device)
{
    std::memset(&w, 0, sizeof w);
    w.Device = device;
    w.Wf.wFormatTag = 1;
    w.Wf.nChannels = 2;
    w.Wf.nSamplesPerSec = 48000;
    w.Wf.wBitsPerSample = 16;
}

int32_t deviceName(int dir, int n, char16_t* text, int32_t maxLen)
{
#ifdef TM_NO_FUNCTION
    (void)dir;
    (void)n;
    put(text, maxLen, "Dummy NO FUNCTION device");
    return 1;
#else
    const int count = dir == 0 ? TM_IN_DEVICES : TM_OUT_DEVICES;
    if (n < 0 || n >= count)
        return 0;
    char name[64];
    std::snprintf(name, sizeof name, "%s device %d", dir == 0 ? "In" : "Out", n);
    put(text, maxLen, name);
    return 1;
#endif
}

// Input channel 1 is unavailable (no "a" prefix); all other channels are available.
int32_t channelName(int dir, int i, char16_t* text, int32_t maxLen)
{
    char name[64];
    if (dir == 0 && i == 1)
        std::snprintf(name, sizeof name, "xBroken");
    else
        std::snprintf(name, sizeof name, "a%s %d", dir == 0 ? "In" : "Out", i);
    return put(text, maxLen, name);
}

} // namespace

#ifdef TM_UNRESOLVED
extern "C" int tmFunctionThatExistsNowhere(int);
#endif

TM_EXPORT int32_t SDInitSound(int32_t flags, const char16_t* appPath)
{
    // The path must be followed by a second NUL.
    const size_t len = std::char_traits<char16_t>::length(appPath);
    logCall("SDInitSound(%d,%s,%s)", flags, ascii(appPath), appPath[len + 1] == 0 ? "NUL" : "-");
    return TM_INIT_RESULT;
}

TM_EXPORT int32_t SDDeInitSound(int32_t value)
{
    logCall("SDDeInitSound(%d)", value);
#ifdef TM_UNRESOLVED
    return tmFunctionThatExistsNowhere(value);
#else
    return 0;
#endif
}

TM_EXPORT int32_t SDStartSoundOut(int32_t start)
{
    logCall("SDStartSoundOut(%d)", start);
    return 0;
}

TM_EXPORT TwaveGO* SDgetSoundOutAdr(int32_t count)
{
    logCall("SDgetSoundOutAdr(%d)", count);
#ifdef TM_NO_FUNCTION
    return nullptr;
#else
    return &g_go;
#endif
}

TM_EXPORT TwaveGI* SDgetSoundInAdr(int32_t count)
{
    logCall("SDgetSoundInAdr(%d)", count);
#ifdef TM_NO_FUNCTION
    return nullptr;
#else
    return &g_gi;
#endif
}

TM_EXPORT int32_t SDStartSoundIn(int32_t start)
{
    logCall("SDStartSoundIn(%d)", start);
    return start ? 1 : 0;
}

TM_EXPORT void* SDSetCallBack(int32_t id, void* pointer)
{
    if (id == SD_CB_FOLDER)
        logCall("SDSetCallBack(%d,%s)", id, ascii(static_cast<const char16_t*>(pointer)));
    else
        logCall("SDSetCallBack(%d,%s)", id, pointer ? "ptr" : "null");
    if (id >= 0 && id <= 1000)
        g_callbacks[id] = pointer;
    return pointer;
}

TM_EXPORT int32_t SDgetSoundStatus(void)
{
    logCall("SDgetSoundStatus()");
    return g_status;
}

TM_EXPORT int32_t SDgetsoundDats(int32_t* first, int32_t* second, TsmView** buffer)
{
    logCall("SDgetsoundDats(%s)", buffer ? "buf" : "null");
    *first = 2;
    *second = 8;
    return 0;
}

TM_EXPORT int32_t SDgetwaveFormatIn(Twfs* wfs)
{
    logCall("SDgetwaveFormatIn()");
    *wfs = g_fmt[0];
    return 0;
}

TM_EXPORT int32_t SDgetwaveFormatOut(Twfs* wfs)
{
    logCall("SDgetwaveFormatOut()");
    *wfs = g_fmt[1];
    return 0;
}

TM_EXPORT int32_t SDsetwaveFormatIn(Twfs* result, Twfs wfs)
{
    logCall("SDsetwaveFormatIn(%u)", wfs.Wf.nSamplesPerSec);
    g_fmt[0] = wfs;
    *result = wfs;
    return 0;
}

TM_EXPORT int32_t SDsetwaveFormatOut(Twfs* result, Twfs wfs)
{
    logCall("SDsetwaveFormatOut()");
    *result = wfs;
    return 0;
}

#ifndef TM_NO_FREQVALID
TM_EXPORT int32_t SDSampleFreqValid(int32_t rate)
{
    logCall("SDSampleFreqValid(%d)", rate);
    return 1;
}
#endif

TM_EXPORT int32_t SDSoundDlg(int32_t kind)
{
    logCall("SDSoundDlg(%d)", kind);
    if (kind == 99)
        throw std::runtime_error("dialog failed"); // a misbehaving module
    return 1;
}

TM_EXPORT int32_t SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code)
{
    logCall("SDDLLdescription(%d,%d,%s)", maxLen, code, text ? (text[0] ? "dirty" : "empty") : "null");
    if (code == SD_Q_DESCRIPTION) {
        put(text, maxLen, TM_DESC);
        return TM_VERSION;
    }
    if (code == SD_Q_VERSION)
        return TM_VERSION;
    if (code >= SD_Q_IN_DEVICE && code < SD_Q_IN_DEVICE + 0x10000)
        return deviceName(0, code - SD_Q_IN_DEVICE, text, maxLen);
    if (code >= SD_Q_OUT_DEVICE && code < SD_Q_OUT_DEVICE + 0x10000)
        return deviceName(1, code - SD_Q_OUT_DEVICE, text, maxLen);
    const int hi = code / 0x10000;
    if (hi >= 100 && hi < 100 + g_channels[0])
        return channelName(0, hi - 100, text, maxLen);
    if (hi >= 200 && hi < 200 + g_channels[1])
        return channelName(1, hi - 200, text, maxLen);
    return 0;
}

TM_EXPORT int32_t SDDLLErrorStr(int32_t code, char16_t* text, int32_t maxLen)
{
    logCall("SDDLLErrorStr(%d)", code);
    char msg[64];
    std::snprintf(msg, sizeof msg, "module error %d", code);
    return put(text, maxLen, msg);
}

TM_EXPORT int32_t SDSetFuturePara(int32_t id, int32_t value)
{
    logCall("SDSetFuturePara(%d,%d)", id, value);
    return 0;
}

TM_EXPORT int32_t SDGetFuturePara(int32_t id)
{
    logCall("SDGetFuturePara(%d)", id);
    return 0;
}

TM_EXPORT int32_t SDgetSoundDatsPropsCH(int32_t* inChannels, int32_t* outChannels)
{
    logCall("SDgetSoundDatsPropsCH()");
    *inChannels = g_channels[0];
    *outChannels = g_channels[1];
    return 0;
}

TM_EXPORT int32_t SDgetSoundDatsCH(TsmView** buffers, int32_t lastIndex)
{
    logCall("SDgetSoundDatsCH(%d)", lastIndex);
    for (int32_t i = 0; i <= lastIndex; ++i)
        for (int32_t k = 0; k < buffers[i]->Fsamples; ++k)
            buffers[i]->Fsmpoi[k] = i + 0.5;
    return 1;
}

// --- test controls, not part of the module interface ---

TM_EXPORT const char* tmCallLog(void) { return g_log; }
TM_EXPORT void tmClearLog(void) { g_log[0] = 0; }
TM_EXPORT void tmSetFormat(int input, const Twfs* wfs) { g_fmt[input ? 0 : 1] = *wfs; }
TM_EXPORT void tmSetStatus(int32_t status) { g_status = status; }
TM_EXPORT void tmSetChannels(int32_t in, int32_t out)
{
    g_channels[0] = in;
    g_channels[1] = out;
}
TM_EXPORT void* tmCallback(int32_t id) { return id >= 0 && id <= 1000 ? g_callbacks[id] : nullptr; }

__attribute__((constructor)) static void tmInit()
{
    setDefaultFormat(g_fmt[0], 0);
    setDefaultFormat(g_fmt[1], 0);
}
