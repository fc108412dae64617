// An INI file held in memory: case-insensitive sections and keys, order kept, atomic save.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

// Reads a whole INI file into memory at construction; every Read/Write works on memory and
// UpdateFile() writes it back atomically (temporary file + rename), so a crash or a full disk
// never leaves a torn or empty file. Section and key names match without regard to case;
// the order of sections and keys is kept as read or first written.
// Floats are written with the decimal separator of floatLocale() (the user's locale unless
// set otherwise); on reading both "," and "." are accepted as the decimal point.
// A file that cannot be parsed (not text, invalid UTF-8, or too large) is renamed aside
// with a time stamp, the object starts empty (every Read gives its default) and
// loadError() says what happened; the caller shows it. A file that exists but cannot be
// opened (permissions, a folder of that name) only sets loadError(); nothing is moved.
//
// File format: UTF-8 (a leading BOM is accepted), lines end in LF, CR LF or CR; LF is written.
// "[name]" starts a section; "key=value" lines (key and value trimmed, the value may contain
// "=") belong to the section above. Blank lines, comments (";" or "#" first) and lines
// without "=" are dropped on reading and therefore not written back; so are keys before the
// first section. A section whose name repeats is merged into the first one. A key that
// repeats inside a section: the first occurrence is read and written to, later ones are
// kept unchanged in the file; DeleteKey removes them all.
// Names and values cannot hold line breaks or NUL: Write* replaces them by blanks, trims
// names and values, and in a key replaces "=" and a leading ";" or "#" by "_" (a leading "["
// too when the value ends in "]"), so what is written reads back as the same entry after a
// save; lookups clean names the same way. An empty key is not written.
// Not thread-safe: one thread uses one object.
class TMemIniFile {
public:
    explicit TMemIniFile(const QString& fileName = QString());

    const QString& FileName() const { return m_fileName; }
    // Empty when the file was read or did not exist; else the message for the user.
    const QString& loadError() const { return m_loadError; }
    // Where an unparseable file was moved to (empty when none was).
    const QString& keptAsideAs() const { return m_keptAside; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    double ReadFloat(const QString& section, const QString& key, double def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteFloat(const QString& section, const QString& key, double value);
    void WriteBool(const QString& section, const QString& key, bool value);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList ReadSections() const;                       // section names in file order
    QStringList ReadSection(const QString& section) const;  // key names in file order
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);
    void Clear();

    // The whole content as INI text, and replacing it from text (false, nothing changed,
    // and *error set when the text cannot be parsed).
    QString text() const;
    bool setText(const QString& text, QString* error = nullptr);
    // The same from the bytes of a file: UTF-8, BOM accepted; refused (false, nothing
    // changed, *error set) when they hold a NUL byte, invalid UTF-8 or more than kMaxBytes.
    bool setBytes(const QByteArray& data, QString* error = nullptr);

    static constexpr qint64 kMaxBytes = 64LL * 1024 * 1024; // largest file read, bytes

    // Writes the content to FileName() atomically; false (and the old file untouched) on
    // failure, with the reason in *error.
    bool UpdateFile(QString* error = nullptr) const;

    // Locale used for writing floats (default: the system locale).
    void setFloatLocale(const QLocale& l) { m_locale = l; }
    const QLocale& floatLocale() const { return m_locale; }

private:
    struct Entry {
        QString key;   // as first written
        QString value; // raw text
    };
    struct Section {
        QString name;                 // as first written
        std::vector<Entry> entries;   // in file order, repeated keys included
        QHash<QString, int> keyIndex; // case-folded key -> first entry with that key
        void reindex();
        Entry* find(const QString& key);
        void add(const QString& key, const QString& value); // a later repeat stays unread
    };
    using SectionList = std::vector<Section>;
    const Section* findSection(const QString& name) const;
    Section& sectionFor(const QString& name);
    const Entry* findEntry(const QString& section, const QString& key) const;
    void reindexSections();
    static void parseInto(const QString& text, SectionList& out);
    void load();
    bool keepAside(const QString& reason);

    QString m_fileName;              // file read at construction and written by UpdateFile
    QString m_loadError;             // message about an unreadable file, empty when fine
    QString m_keptAside;             // new name of a file moved aside
    QLocale m_locale;                // decimal separator for WriteFloat
    SectionList m_sections;             // content, in file order
    QHash<QString, int> m_sectionIndex; // case-folded section name -> index in m_sections
};
