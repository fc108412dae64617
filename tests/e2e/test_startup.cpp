// Whole-program runs: start-up on the virtual bench, picture of the main window, settings written.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct VelmoraRun {
    int exitCode = -1;
    QString out; // standard output
    QString err; // standard error
};

VelmoraRun runVelmora(const QStringList& args, const QString& home = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    if (!home.isEmpty()) env.insert("VELMORA_HOME", home);
    p.setProcessEnvironment(env);
    p.start(QString(VELMORA_BIN_DIR) + "/velmora", args);
    EXPECT_TRUE(p.waitForFinished(60000)) << "velmora did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// True when the picture holds more than one colour (something was drawn).
bool hasContent(const QImage& img)
{
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3)
            if (img.pixel(x, y) != first) return true;
    return false;
}

} // namespace

TEST(Startup, VirtualBenchScreenshotAndSettingsWritten)
{
    QTemporaryDir home;
    const QString png = home.filePath("start.png");
    const VelmoraRun r = runVelmora({"--screenshot", png, "--quit"}, home.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("libSoundSim.so")) << r.out.toStdString();

    const QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_GE(img.width(), 590);
    EXPECT_GE(img.height(), 360);
    EXPECT_TRUE(hasContent(img));

    QFile ini(home.filePath("velmora30.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_TRUE(text.contains("SoundDLLname=libSoundSim.so", Qt::CaseInsensitive)) << text.toStdString();
}

TEST(Startup, HomeOptionEqualsEnvironmentAndMissingModuleFallsBack)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora({"--home", home.path(), "--sound-module", "libSoundGone.so", "--quit"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("libSoundSim.so")) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(home.filePath("velmora30.ini")));
}

TEST(Startup, BadCommandLineIsRefusedWithUsage)
{
    const VelmoraRun unknown = runVelmora({"--frobnicate", "--quit"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("unknown option --frobnicate"));
    EXPECT_TRUE(unknown.err.contains("Usage: velmora"));

    const VelmoraRun noValue = runVelmora({"--screenshot"});
    EXPECT_EQ(noValue.exitCode, 2);
    EXPECT_TRUE(noValue.err.contains("--screenshot needs a value"));

    const VelmoraRun help = runVelmora({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--sound-module"));
}

TEST(Startup, UnwritableScreenshotFailsWithMessage)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora({"--screenshot", home.filePath("no/such/folder/x.png"), "--quit"}, home.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("could not be written")) << r.err.toStdString();
}
