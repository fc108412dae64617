// Whole-program runs of the frequency sweep on the virtual bench: the headless command line ends
// when the sweep has ended, and the exported diagram lists every point at the amplifier's truth.
#include "SimTruthAmplifier.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void writeText(const QString& file, const QString& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(text.toUtf8());
}

// A stereo response sweep of 31 points 20 Hz..20 kHz of a 6 dB amplifier with a 100 Hz
// high-pass, asked to measure for up to 100 s: it returns as soon as the sweep has ended, and
// every exported row is a sweep point with both channels at the truth.
TEST(E2ESweep, headlessSweepEndsEarlyAndExportsEveryPoint)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"), "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=1024\n"
                                             "[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=6\nHighPass_Hz=100\n");
    writeText(home.filePath("velmora30.ini"), "[WOB]\nFROMR=20\nTOR=20000\nSYNCSTEP=31\nPEGDIGL=-6\nPEGDIGR=-6\n"
                                              "REFMESS=2\n[sweep]\nDBMODE=0\n[sweepSTEREOnoref]\nOriSizeLines=1\n");
    const QString txt = home.filePath("sweep.txt"), png = home.filePath("sweep.png");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("VELMORA_HOME");
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            {"--home", home.path(), "--sound-module", "libSoundSim.so", "--mode", "3", "--start", "--measure", "100",
             "--results", "--export-text", txt, "--screenshot", png, "--quit"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_LT(t.elapsed(), 60000); // ended with the sweep, not after 100 s
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains("Step 31: 20000.00 Hz")) << out.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 31);
    TSimAmpSpec amp;
    amp.gainDb = 6.0;
    amp.highPassHz = 100.0;
    for (int k = 0; k < 31; ++k) {
        const QStringList c = rows[k].trimmed().replace(',', '.').split(QRegularExpression("[;\\t]"));
        ASSERT_EQ(c.size(), 3) << rows[k].toStdString();
        const double fk = 20.0 * std::pow(1000.0, k / 30.0);
        EXPECT_NEAR(c[0].toDouble(), fk, 0.006);
        const double truth = -6.0 + 20.0 * std::log10(std::abs(simAmpResponse(amp, fk, 48000.0)));
        EXPECT_NEAR(c[1].toDouble(), truth, 0.03) << fk; // the export's two decimals
        EXPECT_NEAR(c[2].toDouble(), truth, 0.03) << fk;
    }
    EXPECT_FALSE(QImage(png).isNull());
}

} // namespace
