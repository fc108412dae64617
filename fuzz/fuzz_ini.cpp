// Fuzz target of the INI reader: bytes as text and as a file, value reads, writes, round trips.
#include "base/TMemIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A property the reader promises does not hold: report it and stop, as a crash would.
void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "INI fuzz check failed: %s\n", what);
        std::abort();
    }
}

// Files go to memory-backed storage when there is some: saving syncs to disk.
const QString& workFolder()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

// The text form is canonical: reading it back gives the same text and the same values.
void checkRoundTrip(const TMemIniFile& ini)
{
    const QString t = ini.text();
    TMemIniFile back;
    require(back.setText(t), "own text refused");
    require(back.text() == t, "text not stable after a round trip");
    for (const QString& s : ini.ReadSections())
        for (const QString& k : ini.ReadSection(s))
            require(back.ReadString(s, k, QStringLiteral("\x01")) == ini.ReadString(s, k, QString()),
                    "value changed in a round trip");
}

// Every listed name can be found, also in case-folded spelling; typed reads stay sane.
void checkLookups(const TMemIniFile& ini)
{
    for (const QString& s : ini.ReadSections()) {
        require(ini.SectionExists(s) && ini.SectionExists(s.toCaseFolded()), "section not found");
        for (const QString& k : ini.ReadSection(s)) {
            require(ini.ValueExists(s.toCaseFolded(), k.toCaseFolded()), "key not found");
            const double f = ini.ReadFloat(s, k, 0.5);
            require(std::isfinite(f), "non-finite float read");
            (void)ini.ReadInteger(s, k, 0);
            (void)ini.ReadBool(s, k, false);
        }
    }
}

// Writes derived from the input: an edited value, floats, a deleted key and section.
void mutate(TMemIniFile& ini, const QString& text)
{
    const QStringList sections = ini.ReadSections();
    const QString sec = sections.isEmpty() ? QStringLiteral("MAIN") : sections.first();
    ini.WriteString(sec, QStringLiteral("fuzzValue"), text.left(64));
    require(ini.ReadString(sec, QStringLiteral("FUZZVALUE"), QString()) == ini.ReadString(sec, QStringLiteral("fuzzvalue"), QStringLiteral("x")),
            "written value not found");
    const double v = ini.ReadFloat(sec, QStringLiteral("fuzzValue"), 1.25);
    for (const QLocale& l : {QLocale::c(), QLocale(QLocale::German)}) {
        ini.setFloatLocale(l);
        ini.WriteFloat(sec, QStringLiteral("fuzzFloat"), v);
        require(ini.ReadFloat(sec, QStringLiteral("fuzzFloat"), -1.0) == v, "float did not read back");
    }
    ini.WriteString(text.left(16), text.mid(16, 16), text.mid(32, 32));
    if (sections.size() > 1) {
        ini.EraseSection(sections.last());
        require(!ini.SectionExists(sections.last()), "erased section still there");
    }
    const QStringList keys = ini.ReadSection(sec);
    if (!keys.isEmpty()) {
        ini.DeleteKey(sec, keys.first());
        require(!ini.ValueExists(sec, keys.first()), "deleted key still there");
    }
}

// The same bytes through a file: read like setBytes, or moved aside intact.
void checkFile(const QByteArray& bytes, const TMemIniFile* parsed)
{
    const QString path = workFolder() + QStringLiteral("/velmora30.ini");
    {
        QFile f(path);
        require(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), "cannot write work file");
    }
    TMemIniFile ini(path);
    if (parsed) {
        require(ini.loadError().isEmpty() && ini.text() == parsed->text(), "file read differs from bytes");
        ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Saved"), QStringLiteral("1"));
        QString err;
        require(ini.UpdateFile(&err), "save failed");
        TMemIniFile again(path);
        require(again.text() == ini.text(), "saved file reads differently");
    } else {
        require(!ini.keptAsideAs().isEmpty() && !ini.loadError().isEmpty(), "bad file not kept aside");
        QFile aside(ini.keptAsideAs());
        require(aside.open(QIODevice::ReadOnly) && aside.readAll() == bytes, "kept-aside file changed");
        aside.remove();
    }
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    TMemIniFile fromBytes;
    const bool readable = fromBytes.setBytes(bytes);
    if (readable) {
        checkLookups(fromBytes);
        checkRoundTrip(fromBytes);
    } else {
        require(fromBytes.ReadSections().isEmpty(), "refused bytes left content");
    }

    // Lenient decoding reaches the parser with any text (replacement characters for bad UTF-8).
    TMemIniFile fromText;
    QString text = QString::fromUtf8(bytes);
    text.remove(QChar(0));
    require(fromText.setText(text), "text without NUL refused");
    checkLookups(fromText);
    mutate(fromText, text);
    checkRoundTrip(fromText);

    checkFile(bytes, readable ? &fromBytes : nullptr);
    return 0;
}
