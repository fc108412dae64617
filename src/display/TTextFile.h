// A small line-oriented text file with the program's "diskIO" errors.
#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>
#include <memory>
#include <stdexcept>

// Raised by TTextFile. what() is the UTF-8 of message(): "\r\ndiskIO open <name>",
// "\r\ndiskIO write <name>", "\r\ndiskIO read <name>" or "\r\ndiskIO close <name>".
class EDiskIO : public std::runtime_error {
public:
    explicit EDiskIO(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Text lines end with CR LF when written; reading accepts LF, CR LF and CR. Text is UTF-8.
// Any thread; one object per thread.
class TTextFile {
public:
    // Open modes, combinable as the callers have always passed them.
    enum : int { modeRewrite = 1, modeRead = 2, modeAppend = 4 };

    TTextFile() = default;
    ~TTextFile();
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;

    // Bit 0: rewrite (create or truncate); bit 1 without bit 0: read; bit 2: append.
    // Throws EDiskIO("\r\ndiskIO open <name>") when the file cannot be opened.
    void open(const QString& name, int mode);
    // Writes s and CR LF. Throws EDiskIO "write".
    void writeLine(const QString& s);
    // Reads the next line into s (without its line end); returns whether it was non-empty.
    // At the end of the file s is empty and the result false; atEnd() tells the two apart.
    // Throws EDiskIO "read" when the file is not open for reading.
    bool readLine(QString& s);
    bool atEnd() const;
    // Flushes and closes; throws EDiskIO "close" when the data could not be written.
    void close();
    bool isOpen() const;
    const QString& fileName() const { return m_name; }

private:
    QString m_name;                         // name given to open()
    std::unique_ptr<QFile> m_file;          // the open file, null when closed
    std::unique_ptr<QTextStream> m_stream;  // text stream on m_file
};
