// The program side of the sound module: entry-point table, guarded wrappers, folder scan, start-up.
#pragma once

#include "soundDLLTypes.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <string>

// Procedures the main window hands to the module after start-up (readAddresses). Each one
// runs on a module thread and must do nothing but post a message. Null entries are
// registered as null.
struct TsoundCallbacks {
    SDProc inState = nullptr;            // id 1: input started/stopped
    SDProc outState = nullptr;           // id 2: output started/stopped
    SDProc inText = nullptr;             // id 3: input status text changed
    SDProc outText = nullptr;            // id 4: output status text changed
    SDOutFilterProc outFilter = nullptr; // id 6: output filter, runs on the audio thread
    void* app = nullptr;                 // id 200: application object for the module's dialogs
};

// What the caller of startup() has to do next. The binding never ends the process itself.
enum class eSoundStart : uint8_t {
    ssOK,          // a module is loaded and initialised (it may still be too old: a warning was shown)
    ssTerminate,   // no module could be loaded: the message was shown, the INI set aside; end the program
    ssCloseWindow, // the module refused to initialise: the message was shown; close the main window
};

// Result of startup(): the action and the number of usable modules (1 when the scan was skipped).
struct TsoundStartResult {
    eSoundStart action = eSoundStart::ssOK; // what the caller must do
    int count = 0;                          // usable modules found by the scan
};

// Index of each entry point in the table; the order is the binding order.
enum eSDEntry : int {
    sdeInitSound, sdeDeInitSound, sdeStartSoundOut, sdeGetSoundOutAdr, sdeGetSoundInAdr,
    sdeStartSoundIn, sdeSetCallBack, sdeGetSoundStatus, sdeGetsoundDats, sdeGetwaveFormatIn,
    sdeGetwaveFormatOut, sdeSetwaveFormatIn, sdeSetwaveFormatOut, sdeSampleFreqValid,
    sdeSoundDlg, sdeDLLdescription, sdeDLLErrorStr, sdeSetFuturePara, sdeGetFuturePara,
    sdeGetSoundDatsPropsCH, sdeGetSoundDatsCH,
    sdeCount // 21
};

// The binding to one loaded sound module (libSound*.so). One process-wide instance serves the
// program (soundDLL()); tests create their own. GUI thread only: every method, including the
// wrappers, is called from the main thread; the module calls back on its own threads.
//
// Guard rule of the wrappers: while usable() is false a guarded wrapper returns SD_NOT_LOADED
// (0x70010018) without calling; while its entry is null it returns 0 (SDgetSoundStatus: 24,
// SDSetCallBack: the pointer passed). The six unguarded wrappers (SDInitSound, SDgetSoundOutAdr,
// SDgetSoundInAdr, SDgetwaveFormatIn, SDgetwaveFormatOut, SDsetwaveFormatIn) skip the usable
// check but still return 0 / null for a missing entry. An exception thrown by a module is
// caught and gives the same neutral value.
class TsoundDLLImpDyn {
public:
    static constexpr int kMinVersion = 416;         // oldest module version accepted silently (x 100)
    static constexpr uint32_t kStartFlags = 0x100000; // flags the program hands to startup()
    static const char* const kEntryNames[sdeCount]; // exported names, in binding order

    TsoundDLLImpDyn();
    ~TsoundDLLImpDyn(); // unloads a module that is still loaded (without messages on success)
    TsoundDLLImpDyn(const TsoundDLLImpDyn&) = delete;
    TsoundDLLImpDyn& operator=(const TsoundDLLImpDyn&) = delete;

    // --- the 21 wrappers, named after the entry points ---
    int32_t SDInitSound(int32_t flags, const char16_t* appPath); // unguarded
    int32_t SDDeInitSound(int32_t value);
    int32_t SDStartSoundOut(int32_t start);
    TwaveGO* SDgetSoundOutAdr(int32_t count); // unguarded
    TwaveGI* SDgetSoundInAdr(int32_t count);  // unguarded
    int32_t SDStartSoundIn(int32_t start);    // status word; started when (result & 9) == 1
    // Not usable: returns the code SD_NOT_LOADED as a pointer value; never dereference the result.
    void* SDSetCallBack(int32_t id, void* pointer);
    int32_t SDgetSoundStatus();
    int32_t SDgetsoundDats(int32_t* first, int32_t* second, TsmView** buffer);
    int32_t SDgetwaveFormatIn(Twfs* wfs);  // unguarded
    int32_t SDgetwaveFormatOut(Twfs* wfs); // unguarded
    int32_t SDsetwaveFormatIn(Twfs* result, const Twfs& wfs); // unguarded
    int32_t SDsetwaveFormatOut(Twfs* result, const Twfs& wfs);
    int32_t SDSampleFreqValid(int32_t rate);
    int32_t SDSoundDlg(int32_t kind);
    // Writes an empty string into text first when maxLen > 0; text must hold maxLen + 1 units.
    int32_t SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code);
    // For code 0x7001 the text is first set to "Sound IO(DLL) not available", so the caller
    // has that message when no module is usable. text must hold maxLen + 1 units.
    int32_t SDDLLErrorStr(int32_t code, char16_t* text, int32_t maxLen);
    int32_t SDSetFuturePara(int32_t id, int32_t value);
    int32_t SDGetFuturePara(int32_t id);
    int32_t SDgetSoundDatsPropsCH(int32_t* inChannels, int32_t* outChannels);
    // buffers holds lastIndex + 1 views, one per input channel; non-zero when new data came.
    int32_t SDgetSoundDatsCH(TsmView** buffers, int32_t lastIndex);

    // --- loading ---
    // Clears the table, dlopens the file (RTLD_NOW | RTLD_LOCAL) and binds all 21 entries;
    // a file lacking any entry is closed again. usable() becomes the result.
    bool loadDLL(const QString& fullName);
    // SDDeInitSound(1), clears the table and the record addresses, then closes `handle`, or,
    // when it is null, the module loaded from `fileName` (relative names are taken in
    // folder()). Nothing loaded is no failure; a failing dlclose shows "freeLibray failed".
    void unloadDLL(void* handle, const QString& fileName = QString());
    // Fills dllList() with "description @ file name" for every file in `folder` matching `mask`
    // (case-insensitive, e.g. "libsound*.so") that loads and has input or output device 0.
    // Each module is unloaded after its queries. Returns and stores the count.
    int scanFolder(const QString& folder, const QString& mask);
    // The file name inside a list entry: the text after the last " @ "; without one, the text
    // from the second character after the first "@", or the whole entry when it has none.
    static QString entryFileName(const QString& entry);
    // Scans (when scanFirst), loads fileName from folder(), falls back to the default module
    // and then to the first listed one, initialises it and checks its version. fileName is
    // updated to the module finally loaded. Messages go through the message service.
    TsoundStartResult startup(bool scanFirst, uint32_t flags, QString& fileName);
    // Reads the record addresses with `count`, sets the program's flags in them and registers
    // the callbacks of `cb`. True when at least one record is available.
    bool readAddresses(int count, const TsoundCallbacks& cb);
    // SDSetFuturePara(1, separator), stop output, clear callback 5, stop input, clear all
    // callbacks, SDDeInitSound(0); only while usable. The module stays loaded.
    void shutdown(int separatorCode);

    // --- queries on the loaded module ---
    QString inDeviceName();
    QString outDeviceName();
    // "48000Hz 24Bit WDM": rate, "Hz ", depth + "Bit" (or "float" for IEEE float or a depth
    // above 32 bits), a blank, "WDM" for the extensible format (else nothing after the blank).
    QString inFormatText();
    QString outFormatText();
    int inSampleRate();  // Hz
    int outSampleRate(); // Hz
    int inBits();        // valid bits when extensible, else container bits
    int outBits();
    bool inWDM();
    int setInSampleRate(int rate); // Hz; returns rate
    // Channel names of direction 'I' (input) or any other letter (output): the available
    // channels (names beginning with "a"), without that letter.
    QStringList channelNames(char direction);
    double samplesToMs(double samples); // ms = samples / 2 / input rate * 1000; 0 without a rate
    int64_t msToSamples(double ms);     // round(ms / 1000 * input rate * 2)
    int maxBlockLength(int requested);  // min(requested, 4 * trunc(samplesToMs(0x100000)))
    QString errorText(int32_t status); // module text for the high word of a status word
    int32_t version();                  // module version x 100 (description query 0 without buffer)
    // The query code's text (at most maxLen characters) and the module's result.
    QString description(int32_t code, int maxLen, int32_t* result = nullptr);

    // --- state ---
    bool usable() const { return fUsable; }
    void setUsable(bool usable) { fUsable = usable; }
    void* handle() const { return fHandle; }
    int boundEntries() const; // non-null table entries (0 or 21 outside load)
    TwaveGO* waveGO() const { return fWaveGO; }
    TwaveGI* waveGI() const { return fWaveGI; }
    const QStringList& dllList() const { return fDllList; }
    int dllCount() const { return fDllCount; }
    // "Alternative sound DLL" and its separator are shown only when the last scan found more
    // than one usable module.
    bool altDLLVisible() const { return fDllCount > 1; }
    // Module folder, ending in "/": <executable folder>/../<folderName>/, normalised.
    QString folder();
    void setFolder(const QString& folder); // overrides the computed folder (tests, scripts)
    QString folderName() const { return fFolderName; }
    void setFolderName(const QString& name); // recomputes folder()
    QString defaultName() const { return fDefaultName; }
    void setDefaultName(const QString& name) { fDefaultName = name; }

private:
    template <typename F, typename R, typename... A> R callRaw(eSDEntry e, R neutral, A... args);
    template <typename F, typename R, typename... A> R callGuarded(eSDEntry e, R neutral, A... args);
    void clearTable();
    bool deviceAccepted();
    bool loadWithFallback(QString& fileName);
    bool initSound(uint32_t flags, const QString& inName);
    void checkVersion();
    void setRecordFlags(Twfs& wfs, bool output);
    Twfs readFormat(bool input);
    QString formatText(bool input);

    std::array<void*, sdeCount> fEntries{}; // bound entry points, all null outside a load
    void* fHandle = nullptr;                // dlopen handle of the loaded module
    bool fUsable = true;                    // guard flag; true before any load
    TwaveGO* fWaveGO = nullptr;             // module's generator record from readAddresses
    TwaveGI* fWaveGI = nullptr;             // module's acquisition record from readAddresses
    QString fFolder;                        // module folder; empty until computed or set
    QString fFolderName = QStringLiteral("commonV3"); // folder name setting
    QString fDefaultName = QStringLiteral("libSoundJack.so"); // module tried after the stored one
    QStringList fDllList;                   // "description @ file name" of the last scan
    int fDllCount = 0;                      // usable modules found by the last scan
    std::u16string fFolder16;               // folder handed over as id 1000; kept alive for the module
    std::u16string fAppPath16;              // executable path handed to SDInitSound; kept alive
};

// The program's instance (created on first use, never destroyed before exit).
TsoundDLLImpDyn& soundDLL();
// Replaces the program's instance by a fresh one (tests).
void resetSoundDLL();
