// Whole-program runs: start-up on the virtual bench, picture of the main window, settings written,
// measuring modes, start and status from the command line.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

struct VelmoraRun {
    int exitCode = -1;
    QString out; // standard output
    QString err; // standard error
};

// platform: the Qt platform to run on (offscreen, or offscreen with a screen of a given size).
VelmoraRun runVelmora(const QStringList& args, const QString& home = QString(),
                      const QString& platform = QStringLiteral("offscreen"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", platform);
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP); // used only by sanitizer builds
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
    EXPECT_TRUE(QFile::exists(home.filePath("sonecor.dpf"))) << "factory data copied on first start";
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

namespace {

// The lines "status N: text" of a run, in order.
QStringList statusLines(const QString& out)
{
    QStringList lines;
    for (const QString& l : out.split('\n'))
        if (l.startsWith("status ")) lines << l;
    return lines;
}

QString iniOf(const QString& home)
{
    QFile ini(home + "/velmora30.ini");
    return ini.open(QIODevice::ReadOnly) ? QString::fromUtf8(ini.readAll()) : QString();
}

} // namespace

TEST(Startup, StatusPrintsTheFivePanelsOfTheVirtualBench)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora({"--mode", "1", "--status", "--quit"}, home.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = statusLines(r.out);
    ASSERT_EQ(lines.size(), 5) << r.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("status 0: GOut: 48000Hz")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("| Virtual bench")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("status 1: GIn: 48000Hz")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "status 2: G ");
    EXPECT_TRUE(lines[4].startsWith("status 4: B2D FFT [")) << lines[4].toStdString();
}

// One whole-program run per mode in the same settings folder, each starting the mode's
// measurement for a moment and quitting through the normal shutdown; every run must end cleanly
// and store the mode it ran in (12 is stored as it ran and read back as 1).
TEST(Startup, EveryMeasuringModeStartsRunsAndQuits)
{
    QTemporaryDir home;
    for (int mode = 0; mode <= 13; ++mode) {
        const VelmoraRun r = runVelmora({"--mode", QString::number(mode), "--start", "--measure", "0.2", "--status", "--quit"},
                                        home.path());
        ASSERT_EQ(r.exitCode, 0) << "mode " << mode << ": " << r.err.toStdString();
        EXPECT_EQ(statusLines(r.out).size(), 5) << mode;
        EXPECT_FALSE(r.err.contains("ERROR: AddressSanitizer")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("runtime error")) << r.err.toStdString();
        // Mode 12 runs the FFT measurement, which stores itself as mode 1 once initialised.
        const int stored = mode == 12 ? 1 : mode;
        EXPECT_TRUE(iniOf(home.path()).contains(QString("measuringmode=%1\n").arg(stored))) << mode;
    }
    const VelmoraRun again = runVelmora({"--status", "--quit"}, home.path()); // stored 13 starts in 1
    ASSERT_EQ(again.exitCode, 0);
    EXPECT_TRUE(iniOf(home.path()).contains("measuringmode=1\n"));
}

TEST(Startup, BadModeAndMeasureValuesAreRefused)
{
    for (const QStringList& args : {QStringList{"--mode", "14"}, QStringList{"--mode", "x"}, QStringList{"--mode", "-1"},
                                    QStringList{"--measure", "-2"}, QStringList{"--measure", "1e9"},
                                    QStringList{"--measure", "nan"}, QStringList{"--mode"}}) {
        const VelmoraRun r = runVelmora(args + QStringList{"--quit"});
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: velmora")) << r.err.toStdString();
    }
}

namespace {

// The first printed line that starts with `prefix`, empty when there is none.
QString lineStarting(const QString& out, const QString& prefix)
{
    for (const QString& l : out.split('\n'))
        if (l.startsWith(prefix)) return l.trimmed();
    return {};
}

// The left channel's "dBV/mV" pair of a level line; NaN when absent.
std::pair<double, double> leftLevel(const QString& line)
{
    const QRegularExpressionMatch m = QRegularExpression(R"(left Ch\. (-?[0-9.]+)/([0-9.]+) ?\[dBV/mV\])").match(line);
    if (!m.hasMatch()) return {NAN, NAN};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

// An offscreen screen of 1600 x 1000 pixels, described in a file in `dir`.
QString screen1600x1000(const QTemporaryDir& dir)
{
    QFile f(dir.filePath("screen.json"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"screens": [{"name": "S", "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96,)"
            R"( "logicalBaseDpi": 96, "dpr": 1}]})");
    return "offscreen:configfile=" + f.fileName();
}

} // namespace

// The first start on a fresh folder measures at once: the factory settings play 1 kHz at
// -10 dBFS through the default wire bench, calibrated so that 1 V reads 0 dBFS; the tone's RMS
// is then 10^(-10/20) V = -10 dBV = 316.23 mV. The level, THD+N and S/N lines print, nothing
// overloads, and the window takes 80 % of the 1600 x 1000 screen. A later start keeps the
// user's file: the level he set is what is measured then.
TEST(Startup, FirstRunMeasuresTheDefaultToneAndALaterStartKeepsTheUsersFile)
{
    QTemporaryDir home, scratch;
    const QString png = scratch.filePath("first.png");
    const QStringList args{"--sound-module", "libSoundSim.so", "--sound-on", "--start", "--measure", "3",
                           "--results", "--status", "--screenshot", png, "--quit"};
    const VelmoraRun r = runVelmora(args, home.path(), screen1600x1000(scratch));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString level = lineStarting(r.out, "Level:"), dist = lineStarting(r.out, "Dist:");
    ASSERT_FALSE(level.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(dist.contains("THD+N")) << r.out.toStdString();
    EXPECT_FALSE(lineStarting(r.out, "S/N:").isEmpty()) << r.out.toStdString();
    EXPECT_EQ(lineStarting(r.out, "status 2:"), "status 2: G") << "no overload";
    const double truth = -10.0; // dBV
    const auto [dBV, mV] = leftLevel(level);
    std::printf("[table] first run: level dBV  truth %8.3f  line %8.3f  from mV %8.4f\n", truth, dBV,
                20.0 * std::log10(mV / 1000.0));
    std::printf("[table] first run: %s\n", qUtf8Printable(dist));
    EXPECT_NEAR(dBV, truth, 0.05) << level.toStdString();
    EXPECT_NEAR(20.0 * std::log10(mV / 1000.0), truth, 0.05) << level.toStdString();
    const QImage img(png);
    EXPECT_EQ(img.size(), QSize(1280, 800));
    if (qEnvironmentVariableIsSet("VELMORA_E2E_KEEP")) QFile::copy(png, "/tmp/e2e-first-run.png");

    // The user's own level; a second start must measure it, not the factory's.
    QString ini = iniOf(home.path());
    ASSERT_TRUE(ini.contains("volL=-10")) << ini.toStdString();
    ini.replace("volL=-10", "volL=-20");
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(ini.toUtf8());
    f.close();
    const VelmoraRun again = runVelmora(args, home.path(), screen1600x1000(scratch));
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_NEAR(leftLevel(lineStarting(again.out, "Level:")).first, -20.0, 0.05) << again.out.toStdString();
    EXPECT_TRUE(iniOf(home.path()).contains("volL=-20")) << "the user's file was replaced";
}
