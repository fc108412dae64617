// Small helpers the tests share: whole files written and read, and a message service that
// records what it is shown.
#pragma once

#include "base/vlMessages.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

inline void writeBytes(const QString& file, const QByteArray& bytes)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(bytes);
}

inline QByteArray readBytes(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers every message with its default button and keeps its text.
struct Recorder : vl::IMessageService {
    QStringList texts; // every message shown, in order
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
};
