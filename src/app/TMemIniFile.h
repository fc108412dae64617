// An INI file held in memory: case-insensitive sections and keys, order kept, atomic save.
#pragma once

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
// loadError() says what happened; the caller shows it.
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
        QString name;               // as first written
        std::vector<Entry> entries; // in file order
    };
    const Section* findSection(const QString& name) const;
    Section& sectionFor(const QString& name);
    const Entry* findEntry(const QString& section, const QString& key) const;
    void load();

    QString m_fileName;              // file read at construction and written by UpdateFile
    QString m_loadError;             // message about an unreadable file, empty when fine
    QString m_keptAside;             // new name of a file moved aside
    QLocale m_locale;                // decimal separator for WriteFloat
    std::vector<Section> m_sections; // content, in file order
};
