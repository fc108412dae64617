// Whole-program run of the power sweep on the virtual bench: it ends by itself long before the
// measuring time, prints a line per step and exports the curves.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void writeText(const QString& file, const QByteArray& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

TEST(PowThdRun, headlessSweepEndsWithItsLastStepAndExportsTheCurves)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"),
              "[Device]\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=26\n"
              "A2=0.0002\nRailVolts=20\nAttenuation_dB=30\n");
    writeText(home.filePath("velmora30.ini"),
              "[MAIN]\nSoundDLLname=libSoundSim.so\n[EICH]\nINPUT=1000\nPreAmp_dBL=30\nPreAmp_dBR=30\n"
              "[POWTHD]\nSteps=20\nPowBeg_W=0.1\nPowEnd_W=40\n");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP);
    env.remove("VELMORA_HOME");
    p.setProcessEnvironment(env);
    const QString txt = home.filePath("thd.txt");
    QElapsedTimer t;
    t.start();
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            {"--home", home.path(), "--mode", "10", "--start", "--measure", "100", "--results", "--export-text", txt, "--quit"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_LT(t.elapsed(), 60000) << "the run ended before the measuring time";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains("frames drawn: 20")) << out.toStdString();
    const auto m = QRegularExpression(R"(Step   1:\s+([0-9.]+) W)").match(out);
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();
    EXPECT_NEAR(10.0 * std::log10(m.captured(1).toDouble() / 0.1), 0.0, 0.05) << "the gain check hits the first power";
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.front().split(';').size(), 3) << "power, THD left, THD right";
}

} // namespace
