// An INI file held in memory: parsing, lookup without regard to case, atomic saving.
#include "base/TMemIniFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

QString folded(const QString& s) { return s.toCaseFolded(); }

// Makes a name or value fit on one INI line and read back as written.
QString oneLine(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    return r.trimmed();
}

// A key must not split at "=" or look like a comment. Applied to lookups as well, so a key
// reads back under the name it was written with.
QString cleanKey(const QString& key)
{
    QString r = oneLine(key);
    r.replace(u'=', u'_');
    if (!r.isEmpty() && (r[0] == u';' || r[0] == u'#'))
        r[0] = u'_';
    return r;
}

bool allHexDigits(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return isxdigit(c.unicode() < 128 ? c.unicode() : 0) != 0; });
}

// Decimal with optional sign, or unsigned "0x" hex of at most 8 digits taken as the 32 bits
// of the int (colour values 0x00BBGGRR and masks are stored that way).
bool parseInt(const QString& text, int& out)
{
    const QString s = text.trimmed();
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = s.mid(2);
        if (digits.isEmpty() || digits.size() > 8 || !allHexDigits(digits))
            return false;
        out = static_cast<int>(static_cast<uint32_t>(digits.toULongLong(nullptr, 16)));
        return true;
    }
    bool ok = false;
    const int v = s.toInt(&ok, 10);
    if (ok)
        out = v;
    return ok;
}

QString describe(const QString& fileName) { return QStringLiteral("\"%1\"").arg(fileName); }

} // namespace

TMemIniFile::TMemIniFile(const QString& fileName) : m_fileName(fileName), m_locale(QLocale::system())
{
    load();
}

// ---- lookup -----------------------------------------------------------------------------

void TMemIniFile::Section::reindex()
{
    keyIndex.clear();
    for (int i = 0; i < int(entries.size()); ++i)
    {
        const QString f = folded(entries[i].key);
        if (!keyIndex.contains(f)) // the first occurrence is the one read
            keyIndex.insert(f, i);
    }
}

TMemIniFile::Entry* TMemIniFile::Section::find(const QString& key)
{
    const int i = keyIndex.value(folded(key), -1);
    return i < 0 ? nullptr : &entries[i];
}

void TMemIniFile::Section::add(const QString& key, const QString& value)
{
    const QString f = folded(key);
    if (!keyIndex.contains(f))
        keyIndex.insert(f, int(entries.size()));
    entries.push_back(Entry{key, value});
}

void TMemIniFile::reindexSections()
{
    m_sectionIndex.clear();
    for (int i = 0; i < int(m_sections.size()); ++i)
        m_sectionIndex.insert(folded(m_sections[i].name), i);
}

const TMemIniFile::Section* TMemIniFile::findSection(const QString& name) const
{
    const int i = m_sectionIndex.value(folded(oneLine(name)), -1);
    return i < 0 ? nullptr : &m_sections[i];
}

TMemIniFile::Section& TMemIniFile::sectionFor(const QString& name)
{
    const int i = m_sectionIndex.value(folded(name), -1);
    if (i >= 0)
        return m_sections[i];
    m_sectionIndex.insert(folded(name), int(m_sections.size()));
    m_sections.push_back(Section{name, {}, {}});
    return m_sections.back();
}

const TMemIniFile::Entry* TMemIniFile::findEntry(const QString& section, const QString& key) const
{
    const Section* s = findSection(section);
    if (!s)
        return nullptr;
    const int i = s->keyIndex.value(folded(cleanKey(key)), -1);
    return i < 0 ? nullptr : &s->entries[i];
}

// ---- reading values ---------------------------------------------------------------------

QString TMemIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const Entry* e = findEntry(section, key);
    return e ? e->value : def;
}

int TMemIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    const Entry* e = findEntry(section, key);
    int v = def;
    return e && parseInt(e->value, v) ? v : def;
}

// Accepts "," and "." (and the float locale's own separator) as decimal point. Infinite and
// NaN values give the default: no setting is meant to hold them and clamping cannot catch NaN.
double TMemIniFile::ReadFloat(const QString& section, const QString& key, double def) const
{
    const Entry* e = findEntry(section, key);
    if (!e)
        return def;
    QString s = e->value.trimmed();
    s.replace(m_locale.decimalPoint(), QStringLiteral("."));
    s.replace(u',', u'.');
    bool ok = false;
    const double v = s.toDouble(&ok);
    return ok && std::isfinite(v) ? v : def;
}

bool TMemIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    const Entry* e = findEntry(section, key);
    if (!e)
        return def;
    const QString s = e->value.trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    int v = 0;
    return parseInt(s, v) ? v != 0 : def;
}

// ---- writing values ---------------------------------------------------------------------

void TMemIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QString k = cleanKey(key);
    const QString v = oneLine(value);
    if (k.isEmpty())
        return;
    if (k[0] == u'[' && v.endsWith(u']')) // "[k=v]" would read back as a section header
        k[0] = u'_';
    Section& s = sectionFor(oneLine(section));
    if (Entry* e = s.find(k))
        e->value = v;
    else
        s.add(k, v);
}

void TMemIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

// Shortest digits that read back to the same double; plain notation for everyday magnitudes,
// exponent notation for the very large and very small. Only the decimal separator follows
// the locale (its digits and grouping would not read back elsewhere).
void TMemIniFile::WriteFloat(const QString& section, const QString& key, double value)
{
    const double a = std::fabs(value);
    const bool plain = a == 0.0 || (a >= 1e-5 && a < 1e16);
    QString t = QString::number(value, plain ? 'f' : 'g', QLocale::FloatingPointShortest);
    if (m_locale.decimalPoint() != QLatin1String("."))
        t.replace(u'.', m_locale.decimalPoint());
    WriteString(section, key, t);
}

void TMemIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// ---- sections and keys ------------------------------------------------------------------

bool TMemIniFile::SectionExists(const QString& section) const { return findSection(section) != nullptr; }

bool TMemIniFile::ValueExists(const QString& section, const QString& key) const
{
    return findEntry(section, key) != nullptr;
}

QStringList TMemIniFile::ReadSections() const
{
    QStringList names;
    names.reserve(qsizetype(m_sections.size()));
    for (const Section& s : m_sections)
        names << s.name;
    return names;
}

// Each key once, in the spelling and place of its first occurrence.
QStringList TMemIniFile::ReadSection(const QString& section) const
{
    QStringList keys;
    const Section* s = findSection(section);
    if (!s)
        return keys;
    for (int i = 0; i < int(s->entries.size()); ++i)
        if (s->keyIndex.value(folded(s->entries[i].key)) == i)
            keys << s->entries[i].key;
    return keys;
}

void TMemIniFile::EraseSection(const QString& section)
{
    const int i = m_sectionIndex.value(folded(oneLine(section)), -1);
    if (i < 0)
        return;
    m_sections.erase(m_sections.begin() + i);
    reindexSections();
}

void TMemIniFile::DeleteKey(const QString& section, const QString& key)
{
    const int i = m_sectionIndex.value(folded(oneLine(section)), -1);
    if (i < 0)
        return;
    Section& s = m_sections[i];
    const QString f = folded(cleanKey(key));
    std::erase_if(s.entries, [&](const Entry& e) { return folded(e.key) == f; });
    s.reindex();
}

void TMemIniFile::Clear()
{
    m_sections.clear();
    m_sectionIndex.clear();
}

// ---- text -------------------------------------------------------------------------------

QString TMemIniFile::text() const
{
    QString out;
    for (const Section& s : m_sections) {
        if (!out.isEmpty())
            out += u'\n';
        out += u'[' + s.name + QLatin1String("]\n");
        for (const Entry& e : s.entries)
            out += e.key + u'=' + e.value + u'\n';
    }
    return out;
}

// One pass over the lines; lines end at LF, CR LF or a lone CR.
void TMemIniFile::parseInto(const QString& text, SectionList& out)
{
    QHash<QString, int> index;
    Section* cur = nullptr;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i;
        while (j < n && text[j] != u'\n' && text[j] != u'\r')
            ++j;
        const QStringView line = QStringView(text).mid(i, j - i).trimmed();
        i = (j + 1 < n && text[j] == u'\r' && text[j + 1] == u'\n') ? j + 2 : j + 1;
        if (line.isEmpty() || line[0] == u';' || line[0] == u'#')
            continue;
        if (line[0] == u'[' && line.back() == u']') {
            const QString name = line.mid(1, line.size() - 2).trimmed().toString();
            const QString f = folded(name);
            int at = index.value(f, -1);
            if (at < 0) {
                at = int(out.size());
                index.insert(f, at);
                out.push_back(Section{name, {}, {}});
            }
            cur = &out[at];
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        const QStringView key = eq < 0 ? QStringView() : line.left(eq).trimmed();
        if (cur && !key.isEmpty())
            cur->add(key.toString(), line.mid(eq + 1).trimmed().toString());
    }
}

bool TMemIniFile::setText(const QString& text, QString* error)
{
    QString why;
    if (text.size() > kMaxBytes)
        why = QStringLiteral("it is larger than 64 MiB");
    else if (text.contains(QChar(0)))
        why = QStringLiteral("it contains NUL characters");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    SectionList parsed;
    parseInto(text, parsed);
    m_sections = std::move(parsed);
    reindexSections();
    return true;
}

bool TMemIniFile::setBytes(const QByteArray& data, QString* error)
{
    QString why;
    if (data.size() > kMaxBytes)
        why = QStringLiteral("it is larger than 64 MiB");
    else if (data.contains('\0'))
        why = QStringLiteral("it contains NUL bytes (not a UTF-8 text file)");
    QString text;
    if (why.isEmpty()) {
        const QByteArrayView body = data.startsWith("\xEF\xBB\xBF") ? QByteArrayView(data).sliced(3) : QByteArrayView(data);
        // Stateless: a multi-byte sequence cut off at the end counts as an error too.
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = dec.decode(body);
        if (dec.hasError())
            why = QStringLiteral("it is not valid UTF-8 text");
    }
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    return setText(text, error);
}

// ---- files ------------------------------------------------------------------------------

void TMemIniFile::load()
{
    if (m_fileName.isEmpty())
        return;
    const QFileInfo fi(m_fileName);
    if (!fi.exists())
        return;
    const QString unreadable = QStringLiteral("The settings file %1 cannot be read: %2. It was left unchanged; "
                                              "default values are used.");
    if (!fi.isFile()) {
        m_loadError = unreadable.arg(describe(m_fileName), QStringLiteral("it is not a regular file"));
        return;
    }
    if (fi.size() > kMaxBytes) {
        keepAside(QStringLiteral("it is larger than 64 MiB"));
        return;
    }
    QFile f(m_fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        m_loadError = unreadable.arg(describe(m_fileName), f.errorString());
        return;
    }
    // In pieces: a single read(kMaxBytes) would reserve 64 MiB for every small file. Bounded
    // even if the file grows meanwhile.
    QByteArray data;
    data.reserve(qsizetype(std::min(fi.size(), kMaxBytes)) + 1);
    while (data.size() <= kMaxBytes && !f.atEnd() && f.error() == QFileDevice::NoError)
        data += f.read(64 * 1024);
    if (f.error() != QFileDevice::NoError) {
        m_loadError = unreadable.arg(describe(m_fileName), f.errorString());
        return;
    }
    QString why;
    if (!setBytes(data, &why))
        keepAside(why);
}

// Renames the unparseable file to "<name>.bad-YYYYMMDD-hhmmss" (a counter added when that is
// taken) so that the next save cannot destroy what the user may still want to rescue.
bool TMemIniFile::keepAside(const QString& reason)
{
    Clear();
    const QString base = m_fileName + QStringLiteral(".bad-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) && n < 1000; ++n)
        target = base + u'-' + QString::number(n);
    QFile f(m_fileName);
    if (!QFileInfo::exists(target) && f.rename(target)) {
        m_keptAside = target;
        m_loadError = QStringLiteral("The settings file %1 could not be read because %2. It was moved to %3; "
                                     "default values are used.")
                          .arg(describe(m_fileName), reason, describe(target));
        return true;
    }
    m_loadError = QStringLiteral("The settings file %1 could not be read because %2, and it could not be moved "
                                 "aside (%3); default values are used.")
                      .arg(describe(m_fileName), reason, f.errorString());
    return false;
}

bool TMemIniFile::UpdateFile(QString* error) const
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(describe(m_fileName), why);
        return false;
    };
    if (m_fileName.isEmpty())
        return fail(QStringLiteral("no file name given"));
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly))
        return fail(f.errorString());
    const QByteArray bytes = text().toUtf8();
    if (f.write(bytes) != bytes.size()) {
        const QString why = f.errorString();
        f.cancelWriting();
        return fail(why);
    }
    if (!f.commit()) // on failure the temporary file is removed and the old file stays
        return fail(f.errorString());
    return true;
}
