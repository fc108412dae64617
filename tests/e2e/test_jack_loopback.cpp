// Whole-program runs on the JACK module: a sine played into a private server's loopback and measured by the FFT mode.
#include "../support/jackServer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace {

using namespace jacktest;

struct VelmoraRun {
    int exitCode = -1;
    QString out;               // standard output
    QString err;               // standard error
    QStringList loopPorts;     // what velmora:out_1 was connected to while the program ran
};

QProcessEnvironment velmoraEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); // the server chosen above included
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP); // used only by sanitizer builds
    return env;
}

// The ports `port` is connected to, from the output of `jack_lsp -c`.
QStringList connectionsOf(const QString& lsp, const QString& port)
{
    QStringList found;
    bool inside = false;
    for (const QString& line : lsp.split('\n')) {
        if (!line.isEmpty() && !line.front().isSpace())
            inside = line == port;
        else if (inside && !line.trimmed().isEmpty())
            found << line.trimmed();
    }
    return found;
}

QString lspConnections()
{
    QProcess lsp;
    lsp.start("jack_lsp", {"-c"});
    lsp.waitForFinished(5000);
    return QString::fromUtf8(lsp.readAllStandardOutput());
}

// Runs the program to its end; while it runs, the server is asked what the program's first
// output is connected to.
VelmoraRun runVelmora(const QStringList& args)
{
    QProcess p;
    p.setProcessEnvironment(velmoraEnvironment());
    p.start(QString(VELMORA_BIN_DIR) + "/velmora", args);
    VelmoraRun r;
    EXPECT_TRUE(p.waitForStarted(10000));
    bool finished = false;
    while (r.loopPorts.isEmpty() && !(finished = p.waitForFinished(100)))
        r.loopPorts = connectionsOf(lspConnections(), "velmora:out_1");
    EXPECT_TRUE(finished || p.waitForFinished(60000)) << "velmora did not finish";
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// The level of `channel` ("left" or "right") in the Level line, and its unit; NaN without one.
double levelOf(const QString& out, const QString& channel, QString* unit)
{
    const QRegularExpression re("^Level:.*" + channel + R"( Ch\. (-?[0-9]+\.[0-9]+)([A-Za-z]+))");
    for (const QString& line : out.split('\n')) {
        const auto m = re.match(line);
        if (m.hasMatch()) {
            *unit = m.captured(2);
            return m.captured(1).toDouble();
        }
    }
    return NAN;
}

const QStringList kMeasure = {"--sound-module", "libSoundJack.so", "--mode", "1", "--sound-on", "--start",
                              "--measure", "3", "--results", "--quit"};

// The generator: a 997 Hz sine at -6.02 dBFS peak on both channels. The FFT mode: 16384 points,
// van Hann window, level in dBFS, the Level line for both channels.
const QByteArray kSettings = "[OSOUND]\nGenFreqL=997\nGenFreqR=997\nvolL=-6.02\nvolR=-6.02\nModeL=0\nModeR=0\n"
                             "genOnL=1\ngenOnR=1\nphaseL=0\nphaseR=0\n"
                             "[fft2d]\nSAMPLES=16384\nWIN=2\nDBMODE=0\nAVERAGE=1\nNOISEMESS=1\n"
                             "bResultTextLeft=1\nbResultTextRight=1\n";

} // namespace

// The program plays the sine through the JACK module into the server's loopback and its FFT
// measurement reads the level played on both channels.
TEST(JackLoopback, ProgramReadsTheLevelItPlays)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    std::cout << "[ server ] " << server.name() << " started, pid " << server.pid() << "\n";
    QTemporaryDir home;
    ASSERT_TRUE(writeFile(home.filePath("SoundJack.ini"), "[Client]\nLoopback=1\n"));
    ASSERT_TRUE(writeFile(home.filePath("velmora30.ini"), kSettings));

    const VelmoraRun r = runVelmora(QStringList{"--home", home.path()} + kMeasure);
    for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
        std::cout << "[ velmora ] " << line.toStdString() << "\n";
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("velmora: sound module libSoundJack.so\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("libSoundSim.so")) << "fell back to the virtual bench";
    EXPECT_EQ(r.loopPorts, QStringList{"velmora:in_1"}) << "the output looped back inside the server";
    EXPECT_FALSE(r.err.contains("Wrong Sound DLL Version")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("ThreadSanitizer")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("runtime error")) << r.err.toStdString();

    for (const QString& channel : {QStringLiteral("left"), QStringLiteral("right")}) {
        QString unit;
        const double level = levelOf(r.out, channel, &unit);
        EXPECT_NEAR(level, -6.02, 0.01) << channel.toStdString() << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(unit, "dBFS") << channel.toStdString();
    }
    std::cout << "[ server ] " << server.name() << " stopping, pid " << server.pid() << "\n";
}

// The module is asked for but no server runs: the program falls back to the virtual bench,
// starts no server of its own and still measures.
TEST(JackLoopback, WithoutServerTheProgramFallsBackToTheVirtualBench)
{
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("JACK_DEFAULT_SERVER", ("velmora-none-" + std::to_string(getpid())).c_str(), 1);
    QTemporaryDir home;
    ASSERT_TRUE(writeFile(home.filePath("velmora30.ini"), kSettings));
    const VelmoraRun r = runVelmora(QStringList{"--home", home.path()} + kMeasure);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("velmora: sound module libSoundSim.so\n")) << r.out.toStdString();
    EXPECT_TRUE(r.loopPorts.isEmpty());
    EXPECT_NE(run({"jack_lsp"}), 0) << "the program must not have started a server";
    QString unit;
    EXPECT_FALSE(std::isnan(levelOf(r.out, "left", &unit))) << "the virtual bench measured: " << r.out.toStdString();
}
