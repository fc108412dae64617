// Program-wide small services: folders, time texts, version, language, fonts, timing, helpers.
#include "base/utils.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <limits>
#include <sys/resource.h>
#include <thread>

#ifndef VL_VERSION_MAJOR
#error "vl_util needs the VL_VERSION_* compile definitions"
#endif

namespace {

using Clock = std::chrono::steady_clock;

const QString g_startFolder = QDir::currentPath() + u'/'; // current folder at program start
bool g_warningAllowed = true;                            // the data-folder warning not yet shown
int g_waitDepth = 0;                                      // nested vlWaitMs() calls running
Clock::time_point g_timerStart = Clock::now();            // last vlTimerStart()
Clock::time_point g_timerStop = g_timerStart;             // last vlTimerStop()
QString g_exportDecimal = QStringLiteral(".");            // separator for text exports

QString withSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

// An XDG base folder: the variable when it holds an absolute path, else the default under home.
QString xdgFolder(const char* var, const QString& fallbackUnderHome)
{
    const QString v = qEnvironmentVariable(var);
    if (!v.isEmpty() && QDir::isAbsolutePath(v))
        return withSlash(v);
    return withSlash(QDir::homePath()) + fallbackUnderHome;
}

QString velmoraHome()
{
    const QString v = qEnvironmentVariable("VELMORA_HOME");
    return v.isEmpty() ? QString() : withSlash(QDir(v).absolutePath());
}

bool makeFolder(const QString& folder) { return QDir().mkpath(folder) && QFileInfo(folder).isDir(); }

double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace

// ---- folders ------------------------------------------------------------------------------

QString vlStartFolder() { return g_startFolder; }

bool& vlDataFolderWarningAllowed() { return g_warningAllowed; }

QString vlCommonDataFolder(const QString& name)
{
    QString folder = velmoraHome();
    if (folder.isEmpty())
        folder = xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share/")) + name + u'/';
    makeFolder(folder);
    return folder;
}

QString vlProgramDataFolder(const QString& name)
{
    QString folder = velmoraHome();
    if (folder.isEmpty())
        folder = xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config/")) + name + u'/';
    if (makeFolder(folder) || !velmoraHome().isEmpty())
        return folder;
    if (g_warningAllowed) {
        g_warningAllowed = false;
        vl::warningBox(QStringLiteral("Cannot create the folder %1| program uses \"all users\" now").arg(folder));
    }
    return vlCommonDataFolder(name);
}

int vlFillDataFolder(const QString& source, const QString& dataFolder)
{
    int copied = 0;
    const QDir from(source);
    for (const QFileInfo& fi : from.entryInfoList(QDir::Files | QDir::Readable)) {
        const QString target = QDir(dataFolder).filePath(fi.fileName());
        if (!QFileInfo::exists(target) && QFile::copy(fi.absoluteFilePath(), target)) {
            QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                         QFile::ReadOther);
            ++copied;
        }
    }
    return copied;
}

void vlSetFileAside(const QString& name, const QString& fileName)
{
    const QString folder = vlProgramDataFolder(name);
    const QString from = folder + fileName;
    const QString to = folder + QStringLiteral("COPY_as_FAIL") + fileName;
    if (!QFileInfo::exists(from))
        return;
    if (QFileInfo(to).isFile())
        QFile::remove(to);
    if (QFile::rename(from, to))
        return;
    if (QFile::copy(from, to)) // rename fails across file systems, a copy does not
        QFile::remove(from);
}

bool vlFileUsable(const QString& fileName)
{
    const QString f = fileName.trimmed();
    return !f.isEmpty() && !f.contains(u'*') && QFileInfo(f).isFile();
}

QString vlFindFile(const QString& base, const QString& subFolder, const QString& pattern, const QString& folderName)
{
    const QString folder = base + subFolder + (folderName.isEmpty() ? QStringLiteral("commonV3") : folderName) + u'/';
    const QStringList hits = QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
    return hits.isEmpty() ? QString() : folder + hits.first();
}

// ---- version and language -----------------------------------------------------------------

vlVersion vlProgramVersion()
{
    return vlVersion{VL_VERSION_MAJOR, VL_VERSION_MINOR, VL_VERSION_RELEASE, VL_VERSION_BUILD, true};
}

QString vlVersionText(const vlVersion& v)
{
    if (!v.known)
        return QStringLiteral("?");
    const QString letter = v.release == 0 ? QStringLiteral("ß") : QString(QChar(char16_t(64 + (v.release & 0xFFFF))));
    return QStringLiteral("%1.%2").arg(v.major).arg(v.minor) + letter;
}

QString vlVersionLine(const vlVersion& v, int pointerBits)
{
    const QString build = v.known ? QString::number(v.build) : QStringLiteral("?");
    return QStringLiteral("V %1 Build %2 (%3bit)").arg(vlVersionText(v), build).arg(pointerBits);
}

QString vlVersionLine() { return vlVersionLine(vlProgramVersion()); }

QString vlVersionedBaseName(const QString& path, const vlVersion& v)
{
    QString name = QFileInfo(path).completeBaseName();
    name.remove(u'.');
    const QString version = vlVersionText(v).remove(u'.');
    return name.contains(version, Qt::CaseInsensitive) ? name : name + version;
}

QString vlLanguageName(const QLocale& l) { return l.nativeLanguageName().toUpper(); }

bool vlIsGerman(const QLocale& l) { return l.language() == QLocale::German; }

char vlLanguageCode(const QLocale& l) { return vlIsGerman(l) ? 'D' : 'E'; }

// One value of an os-release file: unquoted, or in single or double quotes (with \ escapes).
static QString osReleaseValue(QStringView raw)
{
    raw = raw.trimmed();
    if (raw.size() >= 2 && (raw.front() == u'"' || raw.front() == u'\'') && raw.back() == raw.front()) {
        const bool escapes = raw.front() == u'"';
        raw = raw.mid(1, raw.size() - 2);
        QString out;
        for (qsizetype i = 0; i < raw.size(); ++i)
            out += (escapes && raw[i] == u'\\' && i + 1 < raw.size()) ? raw[++i] : raw[i];
        return out;
    }
    return raw.toString();
}

QString vlOSNameFromOsRelease(const QString& content)
{
    QString pretty, name;
    for (const QString& line : content.split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        const QStringView key = QStringView(line).left(eq).trimmed();
        if (eq > 0 && key == u"PRETTY_NAME")
            pretty = osReleaseValue(QStringView(line).mid(eq + 1));
        else if (eq > 0 && key == u"NAME")
            name = osReleaseValue(QStringView(line).mid(eq + 1));
    }
    if (!pretty.trimmed().isEmpty())
        return pretty.trimmed();
    return name.trimmed().isEmpty() ? QStringLiteral("OS Unknown") : name.trimmed();
}

QString vlOSName()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile f(QString::fromLatin1(path));
        if (f.open(QIODevice::ReadOnly))
            return vlOSNameFromOsRelease(QString::fromUtf8(f.read(64 * 1024)));
    }
    return QStringLiteral("OS Unknown");
}

// ---- time texts ---------------------------------------------------------------------------

// Replaces every blank among the last n characters by '0'.
static QString zeroFillTail(QString s, qsizetype n)
{
    for (qsizetype i = std::max<qsizetype>(0, s.size() - n); i < s.size(); ++i)
        if (s[i] == u' ')
            s[i] = u'0';
    return s;
}

QString vlTimeText(int mode, const QDateTime& t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    if (mode == 0)
        return zeroFillTail(QString::asprintf("%2d:%2d:%2d,%3d", c.hour(), c.minute(), c.second(), c.msec()), 12);
    if (mode == 1)
        return zeroFillTail(QString::asprintf("%2d.%2d.%4d %2d:%2d:%2d", d.day(), d.month(), d.year(), c.hour(),
                                              c.minute(), c.second()),
                            8);
    return QStringLiteral("SuperNow.. no Parameter");
}

QString vlTimeText(int mode) { return vlTimeText(mode, QDateTime::currentDateTime()); }

QString vlFileTimeStamp(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("_%.4d_%.2d_%.2d_%.2d-%.2d-%.2d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                             c.second());
}

QString vlFileTimeStamp() { return vlFileTimeStamp(QDateTime::currentDateTime()); }

QString vlFullTimeStamp(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%.4d %.2d %.2d %.2d:%.2d:%.2d,%.3d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                             c.second(), c.msec());
}

// ---- fonts --------------------------------------------------------------------------------

void vlWriteFont(TMemIniFile& ini, const QString& section, const vlFontInfo& f)
{
    const QFont& q = f.font;
    const int style = (q.bold() ? 1 : 0) | (q.italic() ? 2 : 0) | (q.underline() ? 4 : 0) | (q.strikeOut() ? 8 : 0);
    ini.WriteString(section, QStringLiteral("Name"), q.family());
    ini.WriteInteger(section, QStringLiteral("CharSet"), f.charSet);
    ini.WriteInteger(section, QStringLiteral("Color"), f.color);
    ini.WriteInteger(section, QStringLiteral("Size"), q.pointSize());
    ini.WriteInteger(section, QStringLiteral("Style"), style);
}

void vlReadFont(const TMemIniFile& ini, const QString& section, vlFontInfo& f)
{
    QFont& q = f.font;
    const int oldStyle = (q.bold() ? 1 : 0) | (q.italic() ? 2 : 0) | (q.underline() ? 4 : 0) | (q.strikeOut() ? 8 : 0);
    q.setFamily(ini.ReadString(section, QStringLiteral("Name"), QStringLiteral("Arial")));
    f.charSet = ini.ReadInteger(section, QStringLiteral("CharSet"), f.charSet);
    f.color = ini.ReadInteger(section, QStringLiteral("Color"), f.color);
    const int size = ini.ReadInteger(section, QStringLiteral("Size"), q.pointSize());
    if (size >= 1 && size <= 1000)
        q.setPointSize(size);
    const int style = ini.ReadInteger(section, QStringLiteral("Style"), oldStyle);
    q.setBold(style & 1);
    q.setItalic(style & 2);
    q.setUnderline(style & 4);
    q.setStrikeOut(style & 8);
}

void vlDrawRotatedText(QPainter& p, int x, int y, const QString& text, const QFont& font, double angleDeg)
{
    QFont f(font.family());
    if (font.pixelSize() > 0)
        f.setPixelSize(font.pixelSize());
    else
        f.setPointSizeF(font.pointSizeF());
    f.setWeight(font.bold() ? QFont::Bold : QFont::Medium);
    f.setItalic(font.italic());
    f.setStyleHint(QFont::SansSerif, QFont::PreferQuality);
    p.save();
    p.setFont(f);
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::TransparentMode);
    p.translate(x, y);
    p.rotate(-angleDeg); // screen y points down, so counter-clockwise is a negative angle here
    p.drawText(0, QFontMetrics(f, p.device()).ascent(), text);
    p.restore();
}

// ---- timing and waiting -------------------------------------------------------------------

void vlTimerStart() { g_timerStart = Clock::now(); }

double vlTimerStop()
{
    g_timerStop = Clock::now();
    return msBetween(g_timerStart, g_timerStop);
}

double vlMsSinceTimerStart() { return msBetween(g_timerStart, Clock::now()); }

QString vlStopWatchText(double ms) { return QString::asprintf("%1.3fms", ms); }

void vlWaitMs(int ms)
{
    if (ms <= 0)
        return;
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    ++g_waitDepth;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    if (!QCoreApplication::closingDown())
        loop.exec();
    --g_waitDepth;
}

bool vlNotWaiting() { return g_waitDepth == 0; }

void vlProcessMessages()
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int vlNiceValue(int level) { return level == 1 ? -5 : level == -1 ? 5 : 0; }

bool vlSetPriority(int level) { return setpriority(PRIO_PROCESS, 0, vlNiceValue(level)) == 0; }

std::optional<int> vlWindowAlpha(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == 100)
        return std::nullopt;
    return int(std::lround(percent * 255.0 / 100.0));
}

// ---- numbers and strings ------------------------------------------------------------------

double vlPow10(double x) { return std::pow(10.0, x); }

int64_t vlRoundTowardZero(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double lim = 9.2233720368547748e18; // 2^63, the first double beyond int64
    if (x >= lim)
        return std::numeric_limits<int64_t>::max();
    if (x <= -lim)
        return std::numeric_limits<int64_t>::min();
    return int64_t(std::trunc(x));
}

std::optional<double> vlParseNumber(const QString& s)
{
    bool ok = false;
    const double v = vlCommaToDot(s.trimmed()).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

QString vlCommaToDot(const QString& s) { return QString(s).replace(u',', u'.'); }

QString vlRemoveChar(const QString& s, QChar c) { return QString(s).remove(c); }

QString vlRemoveBlanks(const QString& s) { return vlRemoveChar(s, u' '); }

QString vlTrimBlanks(const QString& s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s[a].unicode() <= u' ')
        ++a;
    while (b > a && s[b - 1].unicode() <= u' ')
        --b;
    return s.mid(a, b - a);
}

QString vlDropLast(const QString& s) { return s.isEmpty() ? s : s.left(s.size() - 1); }

QString vlRemoveNul(const QString& s) { return vlRemoveChar(s, QChar(0)); }

std::optional<int64_t> vlHexToInt(const QString& s)
{
    const QString t = vlTrimBlanks(s);
    if (t.isEmpty())
        return std::nullopt;
    uint64_t v = 0;
    for (QChar c : t) {
        const char16_t u = c.unicode();
        const int digit = (u >= u'0' && u <= u'9')   ? u - u'0'
                          : (u >= u'A' && u <= u'F') ? u - u'A' + 10
                          : (u >= u'a' && u <= u'f') ? u - u'a' + 10
                                                     : -1;
        if (digit < 0 || v > (uint64_t(std::numeric_limits<int64_t>::max()) - digit) / 16)
            return std::nullopt;
        v = v * 16 + uint64_t(digit);
    }
    return int64_t(v);
}

QString vlExportDecimalSeparator() { return g_exportDecimal; }

void vlRefreshExportDecimalSeparator(const QLocale& l) { g_exportDecimal = l.decimalPoint(); }
