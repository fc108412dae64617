// TTextFile: line-oriented text file access that reports failures as EDiskIO.
#include "display/TTextFile.h"

#include <QStringConverter>

EDiskIO::EDiskIO(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}

namespace {
[[noreturn]] void fail(const char* what, const QString& name)
{
    throw EDiskIO(QStringLiteral("\r\ndiskIO %1 %2").arg(QLatin1String(what), name));
}
} // namespace

TTextFile::~TTextFile()
{
    if (m_stream)
        m_stream->flush();
}

void TTextFile::open(const QString& name, int mode)
{
    if (isOpen())
        close();
    m_name = name;
    QIODevice::OpenMode om = QIODevice::NotOpen;
    if (mode & modeRewrite)
        om = QIODevice::WriteOnly | QIODevice::Truncate;
    else if (mode & modeAppend)
        om = QIODevice::WriteOnly | QIODevice::Append;
    else if (mode & modeRead)
        om = QIODevice::ReadOnly;
    auto file = std::make_unique<QFile>(name);
    if (om == QIODevice::NotOpen || !file->open(om))
        fail("open", name);
    m_file = std::move(file);
    m_stream = std::make_unique<QTextStream>(m_file.get());
    m_stream->setEncoding(QStringConverter::Utf8);
}

void TTextFile::writeLine(const QString& s)
{
    if (!m_file || !m_file->isWritable())
        fail("write", m_name);
    *m_stream << s << "\r\n";
    if (m_stream->status() != QTextStream::Ok)
        fail("write", m_name);
}

bool TTextFile::readLine(QString& s)
{
    if (!m_file || !m_file->isReadable())
        fail("read", m_name);
    s = m_stream->readLine();
    if (m_stream->status() == QTextStream::ReadCorruptData)
        fail("read", m_name);
    return !s.isEmpty();
}

bool TTextFile::atEnd() const { return !m_stream || m_stream->atEnd(); }

void TTextFile::close()
{
    if (!m_file)
        return;
    m_stream->flush();
    const bool ok = m_stream->status() == QTextStream::Ok && m_file->error() == QFileDevice::NoError;
    m_stream.reset();
    m_file->close();
    const bool closed = m_file->error() == QFileDevice::NoError;
    m_file.reset();
    if (!ok || !closed)
        fail("close", m_name);
}

bool TTextFile::isOpen() const { return m_file != nullptr; }
