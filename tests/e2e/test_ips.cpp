// Whole-program runs of the impulse measurements on the virtual bench: mode 4 ends with its
// average and exports a flat wire (a trigger timeout that is no number does not stop it);
// mode 11 prints the reverberation table of the room.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeText(const QString& file, const QByteArray& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QString run(const QTemporaryDir& home, const QString& mode, const QStringList& extra = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP);
    env.remove("VELMORA_HOME");
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            QStringList{"--home", home.path(), "--mode", mode, "--start", "--measure", "100", "--results"} + extra +
                QStringList{"--quit"});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_LT(t.elapsed(), 60000) << "the run ended with its shots, before the measuring time";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(IpsRun, headlessImpulseAveragesFourShotsOfAWire)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"), "[Device]\nPacing=fast\n[Model]\nKind=wire\nDelay_samples=500\n");
    writeText(home.filePath("velmora30.ini"),
              "[MAIN]\nSoundDLLname=libSoundSim.so\n[OSOUND]\nModeL=6\nModeR=6\nMLSsize=14\nvolL=-6\nvolR=-6\n"
              "[fftnah]\nSAMPLES=8192\nWIN=0\nAVERAGE=4\nasyncMessTime=abc\n");
    const QString txt = home.filePath("ir.txt");
    const QString out = run(home, "4", {"--export-text", txt});
    EXPECT_TRUE(out.contains("frames drawn: 1")) << out.toStdString();
    EXPECT_TRUE(out.contains("Level: impulse peak L 3.00 dBFS  R 3.00 dBFS  shots 4")) << out.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GT(rows.size(), 50);
    for (const QString& r : rows) {
        const QStringList c = r.split(';');
        ASSERT_EQ(c.size(), 3) << r.toStdString();
        EXPECT_NEAR(c[1].toDouble(), 0.0, 0.01) << r.toStdString();
    }
}

TEST(IpsRun, headlessRt60PrintsTheTable)
{
    QTemporaryDir home;
    writeText(home.filePath("SoundSim.ini"), "[Device]\nPacing=fast\n[Model]\nKind=room\n[Room]\nRT60_ms=800\n");
    writeText(home.filePath("velmora30.ini"),
              "[MAIN]\nSoundDLLname=libSoundSim.so\n[OSOUND]\nModeL=6\nModeR=6\nMLSsize=16\nvolL=-30\nvolR=-30\n");
    const QString out = run(home, "11");
    const auto m = QRegularExpression(R"(RT60 broad\s+EDT\s+[0-9.]+ s\s+T20\s+([0-9.]+) s\s+T30\s+([0-9.]+) s)").match(out);
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();
    EXPECT_NEAR(m.captured(1).toDouble(), 0.8, 0.04);
    EXPECT_NEAR(m.captured(2).toDouble(), 0.8, 0.04);
    EXPECT_EQ(out.count(QRegularExpression("RT60 [0-9]+k? ")), 7) << out.toStdString();
}

} // namespace
