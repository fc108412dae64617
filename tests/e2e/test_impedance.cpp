// Whole-program runs of the impedance and Thiele-Small sweeps on the impedance bench: the exported
// impedance and phase at the driver's truth, and the parameter lines of a Thiele-Small sweep.
#include "SimTruthImpedance.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void writeText(const QString& file, const QString& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(text.toUtf8());
}

QString runHeadless(const QTemporaryDir& home, int mode, const QString& txt)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "C");
    env.remove("VELMORA_HOME");
    p.setProcessEnvironment(env);
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            {"--home", home.path(), "--sound-module", "libSoundSim.so", "--mode", QString::number(mode), "--start",
             "--measure", "100", "--results", "--export-text", txt, "--quit"});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

const char* kBench = "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=1024\n[Model]\nKind=impedance\n";

TEST(E2EImpedance, impedanceSweepExportsTheDriversImpedanceAndPhase)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"), kBench);
    writeText(home.filePath("velmora30.ini"), "[WOB]\nFROMR=10\nTOR=20000\nSYNCSTEP=20\nPEGDIGL=-6\nPEGDIGR=-6\nRS=8\n"
                                              "PHASE=1\n[impSTEREOnoref]\nOriSizeLines=1\nxmin=10\nxmax=20000\n");
    const QString txt = home.filePath("imp.txt");
    runHeadless(home, 6, txt);
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 20);
    for (const QString& r : rows) {
        const QStringList c = r.trimmed().replace(',', '.').split(QRegularExpression("[;\\t]"));
        ASSERT_EQ(c.size(), 3) << r.toStdString();
        const std::complex<double> z = simSpeakerImpedance(TSimSpeakerSpec{}, c[0].toDouble());
        EXPECT_NEAR(c[1].toDouble(), std::abs(z), std::max(0.005 * std::abs(z), 0.01)) << r.toStdString();
        EXPECT_NEAR(c[2].toDouble(), std::arg(z) * 180.0 / M_PI, 1.0) << r.toStdString();
    }
}

TEST(E2EImpedance, thieleSmallSweepPrintsTheReportsParameterLines)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"), kBench);
    writeText(home.filePath("velmora30.ini"), "[WOB]\nFROMR=10\nTOR=200\nSYNCSTEP=100\nPEGDIGL=-6\nPEGDIGR=-6\nRS=8\n"
                                              "[TSP]\nbVorgabeRdc=1\nfVorgabeRdc=6\n");
    const QString out = runHeadless(home, 8, home.filePath("tsp.txt"));
    EXPECT_TRUE(out.contains("fs        39.8 Hz            free air resonance frequency")) << out.toStdString();
    EXPECT_TRUE(out.contains("Rdc        6.0 Ohm           DC-resistance"));
    EXPECT_TRUE(out.contains("Qts        0.52              total Q of the speaker"));
    EXPECT_TRUE(out.contains("Vas was determined with the elasticity of the membrane"));
}

} // namespace
