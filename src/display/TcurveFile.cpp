// Tcurve: the curve file (".cur"): settings section "aCurve" followed by the "x , y" data lines.
#include "display/Tcurve.h"

#include "base/TMemIniFile.h"
#include "dsp/FFtuli.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const QString kSection = QStringLiteral("aCurve");          // the one settings section
const QByteArray kMarker = QByteArrayLiteral("// START-> X , Y Values"); // start of the data
constexpr qint64 kMaxLineBytes = 64 * 1024;                 // longer lines are not curve text
// The transform a spectrum was measured with; files of older versions lack them, and their
// readers pass over them.
const QString kWindowKey = QStringLiteral("FFTWIN");
const QString kSizeKey = QStringLiteral("FFTSIZE");
constexpr int kValueShown = 40; // characters of an unusable value quoted in a notice

// One number of a data line: up to 15 significant digits, '.' whatever the C locale says.
QByteArray number15(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    if (!std::isfinite(std::strtod(buf, nullptr)))
        std::snprintf(buf, sizeof buf, "%.17g", v); // near the largest double 15 digits overflow
    QByteArray s(buf);
    s.replace(',', '.');
    return s;
}

// The whole file: settings lines, then the data part; CR LF line ends throughout.
QByteArray fileContent(const Tcurve& c)
{
    TMemIniFile ini;
    ini.setFloatLocale(QLocale()); // the user's locale, as the settings dialogs show numbers
    c.save(ini, kSection);
    ini.WriteInteger(kSection, "SAMPLES", c.OriY.samples());
    if (IsValidWindowKind(c.FFTwin))
        ini.WriteInteger(kSection, kWindowKey, c.FFTwin);
    if (IsValidFFTSize(c.SamplesFFT))
        ini.WriteInteger(kSection, kSizeKey, c.SamplesFFT);
    QByteArray out = ini.text().toUtf8();
    out.replace("\n", "\r\n");
    out += kMarker + "\r\n";
    for (int32_t i = 0; i < c.OriY.samples(); ++i) {
        const double x = c.xaxis.getsmAr(i), y = c.OriY.getsmAr(i);
        // A value that would not read back would end the data part there; store "no data".
        out += number15(std::isfinite(x) ? x : 0.0) + " , " + number15(std::isfinite(y) ? y : kDiaNoData) + "\r\n";
    }
    return out;
}

// Settings text: UTF-8 when it is valid UTF-8, else Latin-1 (files of older versions).
QString decodeHeader(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString s = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : s;
}

// A line that opens the data part: it holds "//" and is no "key=value" line.
bool isMarker(const QByteArray& line) { return line.contains("//") && !line.contains('='); }

// What a curve file holds, read completely before the curve is touched.
struct CurveFileContent {
    TMemIniFile ini;         // the settings part
    bool marker = false;     // the data part exists
    int32_t samples = 0;     // "SAMPLES"
    Tsamplemem x, y;         // the points, 0 where the data part ends early
};

// Reads the settings part up to and including the marker line; false with *why on bad input.
bool readHeader(QFile& f, CurveFileContent& c, QString* why)
{
    QByteArray header;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(kMaxLineBytes);
        if (line.contains('\0') || (line.size() >= kMaxLineBytes - 1 && !line.endsWith('\n'))) {
            *why = QStringLiteral("it is not a text file");
            return false;
        }
        if (isMarker(line)) {
            c.marker = true;
            break;
        }
        header += line;
        if (header.size() > TMemIniFile::kMaxBytes) {
            *why = QStringLiteral("its settings part is too large");
            return false;
        }
    }
    if (!c.ini.setText(decodeHeader(header), why))
        return false;
    if (!c.ini.SectionExists(kSection)) {
        *why = QStringLiteral("it has no [aCurve] section");
        return false;
    }
    return true;
}

// "SAMPLES": refused above the limit so that a damaged file cannot claim gigabytes.
bool readSampleCount(CurveFileContent& c, QString* why)
{
    const QString raw = c.ini.ReadString(kSection, "SAMPLES", "0").trimmed();
    bool ok = false;
    const double n = raw.toDouble(&ok);
    if (ok && n > Tcurve::kMaxFilePoints) {
        *why = QStringLiteral("it announces %1 points (at most %2 can be loaded)").arg(raw).arg(Tcurve::kMaxFilePoints);
        return false;
    }
    c.samples = (ok && n > 0 && n == std::floor(n)) ? int32_t(n) : 0;
    if (c.samples > 0 && !c.marker) {
        *why = QStringLiteral("it has no data part");
        return false;
    }
    return true;
}

// A plain decimal number (exponent allowed); false for text, empty parts and inf/nan.
bool toNumber(QByteArray s, double& v)
{
    s.replace(',', '.');
    bool ok = false;
    v = s.toDouble(&ok);
    return ok && std::isfinite(v);
}

// One data line into point i; false when reading ends after it.
bool readDataLine(QByteArray line, CurveFileContent& c, int32_t i)
{
    line.replace(' ', QByteArray()).replace('\t', QByteArray());
    line.replace('\r', QByteArray()).replace('\n', QByteArray());
    const qsizetype comma = line.indexOf(',');
    if (line.isEmpty() || comma < 0)
        return false;
    double x = 0.0, y = 0.0;
    const bool xOk = toNumber(line.left(comma), x);
    const bool yOk = toNumber(line.mid(comma + 1), y);
    if (xOk)
        c.x.setsmAr(i, x);
    if (yOk)
        c.y.setsmAr(i, y);
    return xOk && yOk;
}

// The data part after the marker; a NUL byte makes the whole file unusable.
bool readData(QFile& f, CurveFileContent& c, QString* why)
{
    c.x = Tsamplemem(c.samples);
    c.y = Tsamplemem(c.samples);
    for (int32_t i = 0; i < c.samples && !f.atEnd(); ++i) {
        const QByteArray line = f.readLine(kMaxLineBytes);
        if (line.contains('\0')) {
            *why = QStringLiteral("it is not a text file");
            return false;
        }
        if (line.size() >= kMaxLineBytes - 1 && !line.endsWith('\n'))
            break; // no curve line is that long: the data part ends here
        if (!readDataLine(line, c, i))
            break;
    }
    return true;
}

// One transform key: its value when it is a decimal integer that `usable` accepts, else -1;
// a value that is there but cannot be used is named in `notes`.
int32_t readTransformKey(const TMemIniFile& ini, const QString& key, bool (*usable)(int32_t), QStringList& notes)
{
    if (!ini.ValueExists(kSection, key))
        return -1;
    const QString raw = ini.ReadString(kSection, key, QString()).trimmed();
    bool ok = false;
    const int v = raw.toInt(&ok, 10);
    if (ok && usable(v))
        return v;
    const QString shown = raw.size() > kValueShown ? raw.left(kValueShown) + QStringLiteral("...") : raw;
    notes << QStringLiteral("%1=%2 cannot be used").arg(key, shown);
    return -1;
}

} // namespace

bool Tcurve::savetoFile(const QString& Fname, QString* error) const
{
    QSaveFile f(Fname);
    const QByteArray content = fileContent(*this);
    if (f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.commit())
        return true;
    if (error)
        *error = QStringLiteral("Error writing Ini-File ") + Fname + QStringLiteral("\r\n") + f.errorString();
    return false;
}

int32_t Tcurve::loadfromFile(const QString& Fname, QString* error, QString* notice)
{
    if (notice)
        notice->clear();
    QString why;
    QFile f(Fname);
    CurveFileContent c;
    if (!f.open(QIODevice::ReadOnly))
        why = QStringLiteral("it cannot be opened (%1)").arg(f.errorString());
    else if (readHeader(f, c, &why) && readSampleCount(c, &why) && (c.samples == 0 || readData(f, c, &why)))
        why.clear();
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("Curve file %1 not loaded: %2").arg(Fname, why);
        return 0;
    }
    load(c.ini, kSection, -1, false);
    QStringList notes;
    FFTwin = readTransformKey(c.ini, kWindowKey, [](int32_t k) { return IsValidWindowKind(k); }, notes);
    SamplesFFT = std::max(0, readTransformKey(c.ini, kSizeKey, IsValidFFTSize, notes));
    if (notice)
        *notice = notes.join(QStringLiteral("; "));
    if (c.samples > 0) {
        OriY = c.y;
        xaxis = c.x;
        CpyY = OriY;
    }
    if (error)
        error->clear();
    return c.samples;
}
