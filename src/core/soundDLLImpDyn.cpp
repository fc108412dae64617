// The program side of the sound module: entry-point table, guarded wrappers, folder scan, start-up.
#include "core/soundDLLImpDyn.h"

#include "base/utils.h"
#include "base/vlMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

const char* const TsoundDLLImpDyn::kEntryNames[sdeCount] = {
    "SDInitSound", "SDDeInitSound", "SDStartSoundOut", "SDgetSoundOutAdr", "SDgetSoundInAdr",
    "SDStartSoundIn", "SDSetCallBack", "SDgetSoundStatus", "SDgetsoundDats", "SDgetwaveFormatIn",
    "SDgetwaveFormatOut", "SDsetwaveFormatIn", "SDsetwaveFormatOut", "SDSampleFreqValid",
    "SDSoundDlg", "SDDLLdescription", "SDDLLErrorStr", "SDSetFuturePara", "SDGetFuturePara",
    "SDgetSoundDatsPropsCH", "SDgetSoundDatsCH"};

namespace {

constexpr int kNameLen = 255;        // characters of a device or error text query
constexpr int kDescLen = 120;        // characters of a module description in the scan
constexpr int kMaxChannelIndex = 100; // channel name codes of one direction before the next range
const char* const kIniProgram = "velmora30";
const char* const kIniFile = "velmora30.ini";

// The extensible format's SubFormat for IEEE float samples, as it lies in memory.
constexpr uint8_t kFloatGuid[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                    0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

QString executablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString executableFolder() { return QFileInfo(executablePath()).absolutePath(); }

std::u16string toU16(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

// A number as floating-point text with the user's decimal separator, shortest exact form.
QString floatText(double v)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(v, 'g', QLocale::FloatingPointShortest);
}

void setAsideIni() { vlSetFileAside(kIniProgram, kIniFile); }

} // namespace

// --- instance ---

TsoundDLLImpDyn::TsoundDLLImpDyn() = default;

TsoundDLLImpDyn::~TsoundDLLImpDyn()
{
    if (fHandle)
        unloadDLL(fHandle);
}

namespace {
std::unique_ptr<TsoundDLLImpDyn>& instanceSlot()
{
    // Deliberately leaked at exit: the module's own statics may already be gone by then.
    static auto* slot = new std::unique_ptr<TsoundDLLImpDyn>(new TsoundDLLImpDyn);
    return *slot;
}
} // namespace

TsoundDLLImpDyn& soundDLL() { return *instanceSlot(); }

void resetSoundDLL() { instanceSlot() = std::make_unique<TsoundDLLImpDyn>(); }

// --- calling through the table ---

template <typename F, typename R, typename... A>
R TsoundDLLImpDyn::callRaw(eSDEntry e, R neutral, A... args)
{
    auto f = reinterpret_cast<F>(fEntries[e]);
    if (!f)
        return neutral;
    try {
        return f(args...);
    } catch (...) {
        // A module must not throw across the boundary; contain it like a missing entry.
        return neutral;
    }
}

template <typename F, typename R, typename... A>
R TsoundDLLImpDyn::callGuarded(eSDEntry e, R neutral, A... args)
{
    if (!fUsable)
        return R(SD_NOT_LOADED);
    return callRaw<F, R>(e, neutral, args...);
}

int32_t TsoundDLLImpDyn::SDInitSound(int32_t flags, const char16_t* appPath)
{
    return callRaw<SDInitSound_t, int32_t>(sdeInitSound, 0, flags, appPath);
}

int32_t TsoundDLLImpDyn::SDDeInitSound(int32_t value)
{
    return callGuarded<SDDeInitSound_t, int32_t>(sdeDeInitSound, 0, value);
}

int32_t TsoundDLLImpDyn::SDStartSoundOut(int32_t start)
{
    return callGuarded<SDStartSoundOut_t, int32_t>(sdeStartSoundOut, 0, start);
}

TwaveGO* TsoundDLLImpDyn::SDgetSoundOutAdr(int32_t count)
{
    return callRaw<SDgetSoundOutAdr_t, TwaveGO*>(sdeGetSoundOutAdr, nullptr, count);
}

TwaveGI* TsoundDLLImpDyn::SDgetSoundInAdr(int32_t count)
{
    return callRaw<SDgetSoundInAdr_t, TwaveGI*>(sdeGetSoundInAdr, nullptr, count);
}

int32_t TsoundDLLImpDyn::SDStartSoundIn(int32_t start)
{
    return callGuarded<SDStartSoundIn_t, int32_t>(sdeStartSoundIn, 0, start);
}

void* TsoundDLLImpDyn::SDSetCallBack(int32_t id, void* pointer)
{
    if (!fUsable)
        return reinterpret_cast<void*>(uintptr_t(SD_NOT_LOADED));
    return callRaw<SDSetCallBack_t, void*>(sdeSetCallBack, pointer, id, pointer);
}

int32_t TsoundDLLImpDyn::SDgetSoundStatus()
{
    return callGuarded<SDgetSoundStatus_t, int32_t>(sdeGetSoundStatus, 24);
}

int32_t TsoundDLLImpDyn::SDgetsoundDats(int32_t* first, int32_t* second, TsmView** buffer)
{
    return callGuarded<SDgetsoundDats_t, int32_t>(sdeGetsoundDats, 0, first, second, buffer);
}

int32_t TsoundDLLImpDyn::SDgetwaveFormatIn(Twfs* wfs)
{
    return callRaw<SDgetwaveFormatIn_t, int32_t>(sdeGetwaveFormatIn, 0, wfs);
}

int32_t TsoundDLLImpDyn::SDgetwaveFormatOut(Twfs* wfs)
{
    return callRaw<SDgetwaveFormatOut_t, int32_t>(sdeGetwaveFormatOut, 0, wfs);
}

int32_t TsoundDLLImpDyn::SDsetwaveFormatIn(Twfs* result, const Twfs& wfs)
{
    return callRaw<SDsetwaveFormatIn_t, int32_t>(sdeSetwaveFormatIn, 0, result, wfs);
}

int32_t TsoundDLLImpDyn::SDsetwaveFormatOut(Twfs* result, const Twfs& wfs)
{
    return callGuarded<SDsetwaveFormatOut_t, int32_t>(sdeSetwaveFormatOut, 0, result, wfs);
}

int32_t TsoundDLLImpDyn::SDSampleFreqValid(int32_t rate)
{
    return callGuarded<SDSampleFreqValid_t, int32_t>(sdeSampleFreqValid, 0, rate);
}

int32_t TsoundDLLImpDyn::SDSoundDlg(int32_t kind)
{
    return callGuarded<SDSoundDlg_t, int32_t>(sdeSoundDlg, 0, kind);
}

int32_t TsoundDLLImpDyn::SDDLLdescription(char16_t* text, int32_t maxLen, int32_t code)
{
    if (text && maxLen > 0)
        text[0] = 0;
    return callGuarded<SDDLLdescription_t, int32_t>(sdeDLLdescription, 0, text, maxLen, code);
}

int32_t TsoundDLLImpDyn::SDDLLErrorStr(int32_t code, char16_t* text, int32_t maxLen)
{
    if (code == 0x7001 && text && maxLen > 0) {
        const std::u16string msg = u"Sound IO(DLL) not available";
        const size_t n = std::min(msg.size(), size_t(maxLen));
        std::copy_n(msg.data(), n, text);
        text[n] = 0;
    }
    return callGuarded<SDDLLErrorStr_t, int32_t>(sdeDLLErrorStr, 0, code, text, maxLen);
}

int32_t TsoundDLLImpDyn::SDSetFuturePara(int32_t id, int32_t value)
{
    return callGuarded<SDSetFuturePara_t, int32_t>(sdeSetFuturePara, 0, id, value);
}

int32_t TsoundDLLImpDyn::SDGetFuturePara(int32_t id)
{
    return callGuarded<SDGetFuturePara_t, int32_t>(sdeGetFuturePara, 0, id);
}

int32_t TsoundDLLImpDyn::SDgetSoundDatsPropsCH(int32_t* inChannels, int32_t* outChannels)
{
    return callGuarded<SDgetSoundDatsPropsCH_t, int32_t>(sdeGetSoundDatsPropsCH, 0, inChannels,
                                                         outChannels);
}

int32_t TsoundDLLImpDyn::SDgetSoundDatsCH(TsmView** buffers, int32_t lastIndex)
{
    return callGuarded<SDgetSoundDatsCH_t, int32_t>(sdeGetSoundDatsCH, 0, buffers, lastIndex);
}

// --- loading and unloading ---

void TsoundDLLImpDyn::clearTable() { fEntries.fill(nullptr); }

int TsoundDLLImpDyn::boundEntries() const
{
    return int(std::count_if(fEntries.begin(), fEntries.end(), [](void* p) { return p != nullptr; }));
}

bool TsoundDLLImpDyn::loadDLL(const QString& fullName)
{
    clearTable();
    fHandle = dlopen(QFile::encodeName(fullName).constData(), RTLD_NOW | RTLD_LOCAL);
    bool ok = fHandle != nullptr;
    // Table order; SDgetSoundDatsCH, the last entry, is looked up last.
    for (int e = 0; ok && e < sdeCount; ++e)
        fEntries[e] = dlsym(fHandle, kEntryNames[e]);
    if (ok && boundEntries() != sdeCount) {
        clearTable();
        dlclose(fHandle);
        fHandle = nullptr;
        ok = false;
    }
    fUsable = ok;
    return ok;
}

void TsoundDLLImpDyn::unloadDLL(void* handle, const QString& fileName)
{
    SDDeInitSound(1);
    clearTable();
    fWaveGO = nullptr;
    fWaveGI = nullptr;
    if (!handle && !fileName.isEmpty()) {
        const QString full = QDir::isAbsolutePath(fileName) ? fileName : folder() + fileName;
        handle = dlopen(QFile::encodeName(full).constData(), RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            dlclose(handle); // RTLD_NOLOAD took a reference of its own
    }
    if (!handle)
        return;
    if (handle == fHandle)
        fHandle = nullptr;
    if (dlclose(handle) != 0)
        vl::errorBox(QStringLiteral("freeLibray failed"));
}

// --- scanning ---

QString TsoundDLLImpDyn::description(int32_t code, int maxLen, int32_t* result)
{
    std::vector<char16_t> buf(size_t(std::max(maxLen, 0)) + 1, 0);
    const int32_t r = SDDLLdescription(buf.data(), maxLen, code);
    buf.back() = 0; // a module that fills the whole buffer still ends inside it
    if (result)
        *result = r;
    return QString::fromUtf16(buf.data());
}

int TsoundDLLImpDyn::scanFolder(const QString& folderPath, const QString& mask)
{
    fDllList.clear();
    QDir dir(folderPath);
    const QStringList files = dir.entryList({mask}, QDir::Files | QDir::Hidden | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        if (!loadDLL(dir.filePath(file)))
            continue;
        const QString entry = description(SD_Q_DESCRIPTION, kDescLen) + " @ " + file;
        int32_t in = 0, out = 0;
        description(SD_Q_IN_DEVICE, kNameLen, &in);
        description(SD_Q_OUT_DEVICE, kNameLen, &out);
        // Compared in 64 bits so that two huge results cannot wrap round to "positive".
        if (int64_t(in) + int64_t(out) > 0)
            fDllList << entry;
        unloadDLL(fHandle);
    }
    fDllCount = int(fDllList.size());
    return fDllCount;
}

QString TsoundDLLImpDyn::entryFileName(const QString& entry)
{
    // The list builds entries as description + " @ " + file name, and a description may
    // contain an at sign of its own: the separator is the last " @ ".
    const qsizetype sep = entry.lastIndexOf(QStringLiteral(" @ "));
    if (sep >= 0)
        return entry.mid(sep + 3);
    const qsizetype at = entry.indexOf('@');
    return at < 0 ? entry : entry.mid(at + 2);
}

// --- start-up ---

bool TsoundDLLImpDyn::deviceAccepted()
{
    int32_t r = 0;
    description(SD_Q_IN_DEVICE, kNameLen, &r);
    if (r == 1)
        return true;
    description(SD_Q_OUT_DEVICE, kNameLen, &r);
    return r == 1;
}

// The stored module, else the default one, else the first listed one. A module that loads but
// has neither input nor output device 0 counts as failed, so that a default module without
// its server (no devices) gives way to the first listed module.
bool TsoundDLLImpDyn::loadWithFallback(QString& fileName)
{
    if (loadDLL(folder() + fileName) && deviceAccepted())
        return true;
    unloadDLL(fHandle);
    fileName = fDefaultName;
    if (loadDLL(folder() + fileName) && deviceAccepted())
        return true;
    unloadDLL(fHandle);
    if (fDllList.isEmpty())
        return false;
    fileName = entryFileName(fDllList.first());
    return loadDLL(folder() + fileName);
}

bool TsoundDLLImpDyn::initSound(uint32_t flags, const QString& inName)
{
    fAppPath16 = toU16(executablePath());
    fAppPath16.push_back(u'\0'); // the path is followed by one extra NUL
    const int32_t r = SDInitSound(int32_t((flags & 0xFFFFF000u) | 0x11u), fAppPath16.c_str());
    if (r == 0)
        return true;
    const QString detail = (r & 3) ? QStringLiteral("No sound,") : QString();
    vl::errorBox("Error init Sound (" + inName + ": " + detail + " result: " + QString::number(r) +
                 ")" + "\r\n" + "sound card removed?");
    return false;
}

void TsoundDLLImpDyn::checkVersion()
{
    const int32_t v = version();
    if (v >= kMinVersion)
        return;
    vl::errorBox("Wrong Sound DLL Version\rVelmora requires V" + floatText(kMinVersion / 100.0) +
                 "\r" + "currently available is V" + floatText(v / 100.0));
}

TsoundStartResult TsoundDLLImpDyn::startup(bool scanFirst, uint32_t flags, QString& fileName)
{
    TsoundStartResult res;
    res.count = 1;
    if (scanFirst) {
        res.count = scanFolder(folder(), QStringLiteral("libSound*.so"));
        if (res.count == 0) {
            vl::errorBox("No sound card or sound DLL available----------------------- \r\n( in " +
                         folder() + " ) !");
            setAsideIni();
            res.action = eSoundStart::ssTerminate;
            return res;
        }
    }
    if (!loadWithFallback(fileName)) {
        vl::errorBox(QStringLiteral("No sound card or sound DLL available !(2)"));
        setAsideIni();
        res.action = eSoundStart::ssTerminate;
        return res;
    }
    const QString inName = description(SD_Q_IN_DEVICE, kNameLen);
    fFolder16 = toU16(folder());
    SDSetCallBack(SD_CB_FOLDER, const_cast<char16_t*>(fFolder16.c_str()));
    SDSetFuturePara(5, 0);
    if (!initSound(flags, inName))
        res.action = eSoundStart::ssCloseWindow;
    else
        checkVersion();
    return res;
}

// --- record addresses ---

void TsoundDLLImpDyn::setRecordFlags(Twfs& wfs, bool output)
{
    wfs.cpL = false;
    wfs.cpR = false;
    wfs.oniL = true;
    wfs.oniR = true;
    wfs.chch = false;
    wfs.mono = false;
    if (output)
        wfs.monoOver = true;
}

bool TsoundDLLImpDyn::readAddresses(int count, const TsoundCallbacks& cb)
{
    // A module without one direction names that direction's device "NO FUNCTION" and stays usable.
    fWaveGO = SDgetSoundOutAdr(count);
    fUsable = inDeviceName().toUpper().contains("NO FUNCTION") || fWaveGO != nullptr;
    fWaveGI = SDgetSoundInAdr(count);
    fUsable = outDeviceName().toUpper().contains("NO FUNCTION") || fWaveGI != nullptr;
    if (count == 0) {
        fWaveGO = nullptr;
        fWaveGI = nullptr;
    }
    if (fWaveGI) {
        setRecordFlags(fWaveGI->wfs, false);
        SDSetCallBack(SD_CB_IN_STATE, reinterpret_cast<void*>(cb.inState));
        SDSetCallBack(SD_CB_IN_TEXT, reinterpret_cast<void*>(cb.inText));
        SDSetCallBack(SD_CB_APP, cb.app);
    }
    if (fWaveGO) {
        setRecordFlags(fWaveGO->wfs, true);
        SDSetCallBack(SD_CB_OUT_STATE, reinterpret_cast<void*>(cb.outState));
        SDSetCallBack(SD_CB_OUT_TEXT, reinterpret_cast<void*>(cb.outText));
        SDSetCallBack(SD_CB_OUT_FILTER, reinterpret_cast<void*>(cb.outFilter));
        SDSetCallBack(SD_CB_APP, cb.app);
    }
    return fWaveGO || fWaveGI;
}

void TsoundDLLImpDyn::shutdown(int separatorCode)
{
    if (!fUsable)
        return;
    SDSetFuturePara(1, separatorCode);
    SDStartSoundOut(0);
    SDSetCallBack(SD_CB_NEW_BLOCK, nullptr);
    SDStartSoundIn(0);
    SDSetCallBack(SD_CB_CLEAR, nullptr);
    SDDeInitSound(0);
}

// --- formats and devices ---

Twfs TsoundDLLImpDyn::readFormat(bool input)
{
    Twfs w;
    std::memset(&w, 0, sizeof w);
    if (input)
        SDgetwaveFormatIn(&w);
    else
        SDgetwaveFormatOut(&w);
    return w;
}

QString TsoundDLLImpDyn::inDeviceName()
{
    return description(SD_Q_IN_DEVICE + readFormat(true).Device, kNameLen);
}

QString TsoundDLLImpDyn::outDeviceName()
{
    return description(SD_Q_OUT_DEVICE + readFormat(false).Device, kNameLen);
}

namespace {
int bitsOf(const Twfs& w)
{
    return w.Wf.wFormatTag == kTagExtensible ? w.Wf.samples : w.Wf.wBitsPerSample;
}

bool isFloat(const Twfs& w)
{
    if (w.Wf.wFormatTag == kTagFloat)
        return true;
    return w.Wf.wFormatTag == kTagExtensible &&
           std::memcmp(w.Wf.SubFormat, kFloatGuid, sizeof kFloatGuid) == 0;
}
} // namespace

QString TsoundDLLImpDyn::formatText(bool input)
{
    const Twfs w = readFormat(input);
    const int bits = bitsOf(w);
    const QString depth = (bits > 32 || isFloat(w)) ? QStringLiteral("float")
                                                     : QString::number(bits) + "Bit";
    const QString wdm = w.Wf.wFormatTag == kTagExtensible ? QStringLiteral("WDM") : QString();
    return QString::number(w.Wf.nSamplesPerSec) + "Hz " + depth + " " + wdm;
}

QString TsoundDLLImpDyn::inFormatText() { return formatText(true); }
QString TsoundDLLImpDyn::outFormatText() { return formatText(false); }
int TsoundDLLImpDyn::inSampleRate() { return int(readFormat(true).Wf.nSamplesPerSec); }
int TsoundDLLImpDyn::outSampleRate() { return int(readFormat(false).Wf.nSamplesPerSec); }
int TsoundDLLImpDyn::inBits() { return bitsOf(readFormat(true)); }
int TsoundDLLImpDyn::outBits() { return bitsOf(readFormat(false)); }
bool TsoundDLLImpDyn::inWDM() { return readFormat(true).Wf.wFormatTag == kTagExtensible; }

int TsoundDLLImpDyn::setInSampleRate(int rate)
{
    Twfs w = readFormat(true);
    w.Wf.nSamplesPerSec = uint32_t(rate);
    Twfs result;
    std::memset(&result, 0, sizeof result);
    SDsetwaveFormatIn(&result, w);
    return rate;
}

QStringList TsoundDLLImpDyn::channelNames(char direction)
{
    int32_t in = 0, out = 0;
    SDgetSoundDatsPropsCH(&in, &out);
    const bool input = direction == 'I';
    const int wanted = std::clamp(input ? in : out, 0, kMaxChannelIndex);
    QStringList names;
    for (int i = 0; i < kMaxChannelIndex && names.size() < wanted; ++i) {
        const int32_t code = input ? SD_Q_IN_CHANNEL(i) : SD_Q_OUT_CHANNEL(i);
        const QString name = description(code, kNameLen);
        if (name.startsWith('a'))
            names << name.mid(1);
    }
    return names;
}

double TsoundDLLImpDyn::samplesToMs(double samples)
{
    const int rate = inSampleRate();
    return rate > 0 ? samples / 2.0 / rate * 1000.0 : 0.0;
}

int64_t TsoundDLLImpDyn::msToSamples(double ms)
{
    return int64_t(std::llround(ms / 1000.0 * inSampleRate() * 2.0));
}

int TsoundDLLImpDyn::maxBlockLength(int requested)
{
    const double limit = 4.0 * std::trunc(samplesToMs(0x100000));
    return limit < requested ? int(limit) : requested;
}

QString TsoundDLLImpDyn::errorText(int32_t status)
{
    std::vector<char16_t> buf(kNameLen + 1, 0);
    SDDLLErrorStr(int32_t((uint32_t(status) >> 16) & 0xFFFF), buf.data(), kNameLen);
    buf.back() = 0;
    return QString::fromUtf16(buf.data());
}

int32_t TsoundDLLImpDyn::version() { return SDDLLdescription(nullptr, 0, SD_Q_DESCRIPTION); }

// --- folder ---

QString TsoundDLLImpDyn::folder()
{
    if (fFolder.isEmpty())
        fFolder = QDir::cleanPath(executableFolder() + "/../" + fFolderName) + "/";
    return fFolder;
}

void TsoundDLLImpDyn::setFolder(const QString& folderPath)
{
    fFolder = folderPath.endsWith('/') ? folderPath : folderPath + "/";
}

void TsoundDLLImpDyn::setFolderName(const QString& name)
{
    fFolderName = name;
    fFolder.clear();
}
