// Whole-program run of the oscilloscope on the virtual bench: the read-out in volts through the
// calibration and an attenuator undone by the preamplifier gain, and the picture.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void writeText(const QString& file, const QByteArray& text) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// A 1 kHz sine at -6 dBFS through 0 dB of amplifier and a 6 dB attenuator; INPUT 1000 mV and a
// preamplifier gain of 6 dB: the scope reads the generator's voltage, 501.2 mV RMS.
TEST(OsziRun, headlessReadoutIsTheCalibratedVoltage) {
    QTemporaryDir home;
    writeText(
        home.filePath("SoundSim.ini"),
        "[Device]\nPacing=fast\nBlockFrames=4096\nBits=32\n[Model]\nKind=amplifier\n[Amplifier]\n"
        "Attenuation_dB=6\n");
    writeText(
        home.filePath("velmora30.ini"),
        "[MAIN]\nSoundDLLname=libSoundSim.so\n[EICH]\nINPUT=1000\nPreAmp_dBL=6\nPreAmp_dBR=6\n"
        "[OSOUND]\nModeL=0\nModeR=0\nGenFreqL=1000\nGenFreqR=1000\nvolL=-6\nvolR=-6\n"
        "[oszi]\ntimeBidx=6\nPegCha1Idx=9\ntriggLev=0.45\n");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP);
    env.remove("VELMORA_HOME");
    p.setProcessEnvironment(env);
    const QString png = home.filePath("scope.png");
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            {"--home", home.path(), "--mode", "9", "--sound-on", "--start", "--measure", "2",
             "--results", "--screenshot", png, "--quit"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto m =
        QRegularExpression(R"(Scope ch1: Vpp ([0-9.]+) mV  Vrms ([0-9.]+) mV  f ([0-9.]+) Hz)")
            .match(out);
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();
    const double vrms = 1000.0 * std::pow(10.0, -6.0 / 20.0);
    EXPECT_NEAR(m.captured(1).toDouble(), 2 * std::sqrt(2.0) * vrms, 0.005 * 1414);
    EXPECT_NEAR(m.captured(2).toDouble(), vrms, 0.005 * 500);
    EXPECT_NEAR(m.captured(3).toDouble(), 1000.0, 1.0);
    EXPECT_FALSE(QImage(png).isNull());
    QFile ini(home.filePath("velmora30.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("\ntimeBidx=6")) << "the scope's settings are kept";
    EXPECT_FALSE(text.contains("\nCOLDIA="))
        << "the hidden diagram's colours stay out of the scope's section";
}

} // namespace
