// Runs the built program as a script would: a settings folder, options, exit code and output.
#pragma once

#include "velmoraProcess.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

struct VelmoraRun {
    int exitCode = -1;
    QString out; // standard output
    QString err; // standard error
};

// velmora --home home <args>, offscreen, waited for up to two minutes.
inline VelmoraRun runVelmoraIn(const QString& home, const QStringList& args)
{
    QProcess p;
    p.setProcessEnvironment(velmoraProcessEnvironment());
    p.start(QString(VELMORA_BIN_DIR) + "/velmora", QStringList{"--home", home} + args);
    EXPECT_TRUE(p.waitForFinished(120000)) << "velmora did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
