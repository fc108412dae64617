// Whole-program runs of the 2D FFT measurement on the virtual bench: the printed level and
// distortion against the amplifier's closed form, the exported spectrum, the picture, the demo.
#include "../support/velmoraRun.h"
#include "SimTruthAmplifier.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr int kRate = 48000;
constexpr int kN = 65536;                    // transform size of the runs
constexpr double kStep = double(kRate) / kN; // bin spacing, Hz

VelmoraRun runVelmora(const QStringList& args, const QString& home) { return runVelmoraIn(home, args); }

// The measurement as a user would script it: the 2D FFT with the sound on, for 3 s (5 s in the
// sanitizer builds, where a 65536-point pass is many times slower and the machine is shared).
QStringList measureArgs(const QString& txt, const QString& png)
{
    const char* seconds = kSanitized ? "5" : "3";
    return {"--sound-module", "libSoundSim.so", "--mode", "1", "--sound-on", "--start", "--measure", seconds,
            "--results", "--export-text", txt, "--screenshot", png, "--quit"};
}

void writeText(const QString& file, const QString& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(text.toUtf8());
}

double dB(double v) { return 20.0 * std::log10(v); }

// One line of the truth-versus-measured table printed with the test output.
void tableRow(const std::string& what, double truth, double measured)
{
    std::printf("[table] %-40s truth %10.4f  measured %10.4f  dev %+8.4f\n", what.c_str(), truth, measured,
                measured - truth);
}

// The first printed line that starts with `prefix`, empty when there is none.
QString lineStarting(const QString& out, const QString& prefix)
{
    for (const QString& l : out.split('\n'))
        if (l.startsWith(prefix)) return l.trimmed();
    return {};
}

// The two numbers of the left channel's "a/b" pair in front of `unit`; NaN when absent.
std::pair<double, double> leftPair(const QString& line, const QString& unit)
{
    const QRegularExpression re("left Ch\\. (-?[0-9.]+)/([0-9.]+) ?" + QRegularExpression::escape(unit));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch()) return {NAN, NAN};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

// Rows "x;y..." of an exported diagram text: x and the first curve.
std::vector<std::pair<double, double>> exportedRows(const QString& file)
{
    std::vector<std::pair<double, double>> rows;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return rows;
    for (const QString& l : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList cols = l.trimmed().split(QRegularExpression("[;\\t]"));
        bool okX = false, okY = false;
        const double x = cols.value(0).toDouble(&okX), y = cols.value(1).toDouble(&okY);
        if (okX && okY) rows.emplace_back(x, y);
    }
    return rows;
}

// The number of different colours in the picture, counted up to atLeast.
int colourCount(const QImage& img, int atLeast)
{
    std::vector<QRgb> seen;
    for (int y = 0; y < img.height() && int(seen.size()) < atLeast; y += 2)
        for (int x = 0; x < img.width() && int(seen.size()) < atLeast; x += 2)
            if (std::find(seen.begin(), seen.end(), img.pixel(x, y)) == seen.end()) seen.push_back(img.pixel(x, y));
    return int(seen.size());
}

// One bench set-up: the amplifier model and the measurement's settings.
struct BenchCase {
    const char* name;
    TSimAmpSpec amp;
    double genDbfs;  // generator level, dBFS (sine peak)
    int bin;         // generator frequency as FFT bin
    int window;      // "WIN" of the FFT settings
    const char* pacing; // "realtime": 65536 points take 1.4 s; "fast" is bounded by the frame rate
};

QString soundSimIni(const BenchCase& c)
{
    const TSimAmpSpec& a = c.amp;
    return QString("[Device]\nSampleRate=%1\nBits=32\nPacing=%2\n[Model]\nKind=amplifier\n[Amplifier]\n"
                   "OutputVoltsFS=%3\nGain_dB=%4\nA2=%5\nA3=%6\nAttenuation_dB=%7\nInputVoltsFS=%8\nNoise_dBFS=%9\n")
        .arg(kRate)
        .arg(c.pacing)
        .arg(a.outputVoltsFS, 0, 'g', 17)
        .arg(a.gainDb, 0, 'g', 17)
        .arg(a.a[2], 0, 'g', 17)
        .arg(a.a[3], 0, 'g', 17)
        .arg(a.attenuationDb, 0, 'g', 17)
        .arg(a.inputVoltsFS, 0, 'g', 17)
        .arg(a.noiseDbfs, 0, 'g', 17);
}

// Generator on both channels, INPUT calibrated to the bench's input full scale, and the FFT in dBV
// with the level and THD (harmonics 2..9 over the total) lines of the left channel; the diagram
// exports its original points (one row per FFT bin).
QString velmoraIni(const BenchCase& c)
{
    const QString f = QString::number(c.bin * kStep, 'g', 17);
    return QString("[MAIN]\nSoundDLLname=libSoundSim.so\n[EICH]\nINPUT=%1\n"
                   "[OSOUND]\nModeL=0\nModeR=0\nGenFreqL=%2\nGenFreqR=%2\nvolL=%3\nvolR=%3\n"
                   "[fft2d]\nSAMPLES=%4\nWIN=%5\nAVERAGE=1\nDBMODE=1\nNOISEMESS=1\nTHDMESS=1\nHx=%6\n"
                   "bResultTextLeft=1\nbResultTextRight=0\nOriSizeLines=1\n")
        .arg(1000.0 * c.amp.inputVoltsFS, 0, 'g', 17)
        .arg(f)
        .arg(c.genDbfs, 0, 'g', 17)
        .arg(kN)
        .arg(c.window)
        .arg(0x1FE);
}

TSimAmpSpec amplifier(double outV, double gainDb, double a2, double a3, double attDb, double inV)
{
    TSimAmpSpec a;
    a.outputVoltsFS = outV;
    a.gainDb = gainDb;
    a.a[2] = a2;
    a.a[3] = a3;
    a.attenuationDb = attDb;
    a.inputVoltsFS = inV;
    a.noiseDbfs = -110.0; // 100 dB under the signal: below 1e-6 dB in the level, and in no harmonic's bin
    return a;
}

// Level in dBV of everything the bench records in the level band (all harmonics lie inside it).
double truthLevelDbv(const TSimAmpSpec& a, const TSimAmpHarmonics& h)
{
    double power = 0.0;
    for (const TSimHarmonic& l : h.lines)
        power += l.amplitude * l.amplitude;
    return dB(std::sqrt(power) * a.inputVoltsFS); // a 0 dBFS sine reads InputVoltsFS
}

} // namespace

// The closed loop: velmora plays the generator through the amplifier model, measures for 3 s and
// prints the result lines; level and THD must equal the model's closed form.
TEST(Fft2dClosedLoop, LevelAndThdEqualTheAmplifierTruth)
{
    const std::vector<BenchCase> cases = {
        {"gain 6 dB, A2 A3, window 8", amplifier(2.0, 6.0, 3e-3, -2e-3, 12.0, 1.5), -6.0, 1365, 8, "realtime"},
        {"gain 20 dB, A3, window 0", amplifier(0.5, 20.0, 0.0, 4e-4, 20.0, 1.0), -10.0, 2730, 0, "realtime"},
    };
    for (const BenchCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        writeText(home.filePath("SoundSim.ini"), soundSimIni(c));
        writeText(home.filePath("velmora30.ini"), velmoraIni(c));
        const QString txt = home.filePath("spectrum.txt"), png = home.filePath("main.png");
        const VelmoraRun r = runVelmora(measureArgs(txt, png), home.path());
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("runtime error")) << r.err.toStdString();

        const double f = c.bin * kStep;
        const TSimAmpHarmonics truth = simAmpHarmonics(c.amp, c.genDbfs, f, kRate);
        ASSERT_FALSE(truth.clips);
        const QString level = lineStarting(r.out, "Level:"), dist = lineStarting(r.out, "Dist:");
        ASSERT_FALSE(level.isEmpty()) << r.out.toStdString();
        ASSERT_FALSE(dist.isEmpty()) << r.out.toStdString();
        // Spectra were drawn (about one per 100 ms frame; far fewer under a sanitizer).
        EXPECT_GE(lineStarting(r.out, "frames drawn:").section(':', 1).trimmed().toInt(), 1) << r.out.toStdString();
        // The finer of each pair decides: mV with two decimals, percent with four.
        const auto [dBV, mV] = leftPair(level, "[dBV/mV]");
        const auto [thdDb, thdPct] = leftPair(dist, "[dB/%]");
        const double levelTruth = truthLevelDbv(c.amp, truth), thdTruth = dB(truth.thdR);
        tableRow(std::string(c.name) + ": level dBV", levelTruth, dB(mV / 1000.0));
        tableRow(std::string(c.name) + ": THD dB", thdTruth, dB(thdPct / 100.0));
        EXPECT_NEAR(dB(mV / 1000.0), levelTruth, 0.01) << level.toStdString();
        EXPECT_NEAR(dBV, levelTruth, 0.01) << level.toStdString();
        EXPECT_NEAR(dB(thdPct / 100.0), thdTruth, 0.05) << dist.toStdString();
        EXPECT_NEAR(thdDb, thdTruth, 0.1) << dist.toStdString();
        EXPECT_TRUE(dist.contains(QString("@ %1Hz").arg(std::lround(f)))) << dist.toStdString();

        // The exported spectrum (one row per bin from 20 Hz up) peaks in the generator's bin, at
        // the fundamental's level less what the window spreads into the neighbouring bins.
        const auto rows = exportedRows(txt);
        ASSERT_GE(rows.size(), size_t(20000 / kStep)) << "exported rows: every bin of 20 Hz .. 20 kHz at least";
        size_t top = 0;
        for (size_t i = 1; i < rows.size(); ++i)
            if (rows[i].second > rows[top].second) top = i;
        EXPECT_NEAR(rows[top].first, f, 0.5 * kStep) << "peak row";
        const double fundDbv = dB(truth.lines.front().amplitude * c.amp.inputVoltsFS);
        tableRow(std::string(c.name) + ": peak bin dBV", fundDbv, rows[top].second);
        EXPECT_LE(rows[top].second, fundDbv + 0.01);
        EXPECT_GE(rows[top].second, fundDbv - 6.0) << "the fundamental lost on the way to the diagram";

        const QImage img(png);
        ASSERT_FALSE(img.isNull()) << png.toStdString();
        EXPECT_GE(img.width(), 590);
        EXPECT_GE(img.height(), 360);
        EXPECT_GE(colourCount(img, 8), 8) << "the picture is nearly blank";
        if (qEnvironmentVariableIsSet("VELMORA_E2E_KEEP"))
            QFile::copy(png, QString("/tmp/e2e-fft2d-%1.png").arg(c.window));
    }
}

// Settings that cannot be used as they are (no power of two, unknown window and unit) fall back
// to the defaults; the measurement still runs and prints its lines in dBFS.
TEST(Fft2dClosedLoop, UnusableFftSettingsFallBackAndStillMeasure)
{
    QTemporaryDir home;
    BenchCase c{"bad", amplifier(1.0, 0.0, 0.0, 1e-3, 0.0, 1.0), -6.0, 1365, 8, "fast"};
    writeText(home.filePath("SoundSim.ini"), soundSimIni(c));
    QString ini = velmoraIni(c);
    ini.replace("SAMPLES=65536", "SAMPLES=12345").replace("WIN=8", "WIN=99").replace("DBMODE=1", "DBMODE=x7");
    writeText(home.filePath("velmora30.ini"), ini);
    const VelmoraRun r = runVelmora({"--sound-module", "libSoundSim.so", "--mode", "1", "--sound-on", "--start",
                                     "--measure", "2", "--results", "--status", "--quit"},
                                    home.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(lineStarting(r.out, "status 4:").contains("16384 Points")) << r.out.toStdString();
    const QString level = lineStarting(r.out, "Level:");
    ASSERT_FALSE(level.isEmpty()) << r.out.toStdString();
    EXPECT_FALSE(level.contains("dBV")) << level.toStdString();
    EXPECT_FALSE(lineStarting(r.out, "Dist:").isEmpty()) << r.out.toStdString();
}

// A 1 kHz tone between bins (16384 points at 48 kHz: bins 999.02 and 1001.95 Hz) prints its own
// frequency as the fundamental, in the flat-top window too, whose flat peak hides where it lies.
TEST(Fft2dClosedLoop, FundamentalBetweenBinsPrintsItsFrequency)
{
    for (const int window : {2, 5}) {
        QTemporaryDir home;
        BenchCase c{"between bins", amplifier(1.0, 0.0, 0.0, 1e-3, 0.0, 1.0), -10.0, 0, window, "fast"};
        writeText(home.filePath("SoundSim.ini"), soundSimIni(c));
        QString ini = velmoraIni(c);
        ini.replace("SAMPLES=65536", "SAMPLES=16384").replace(QRegularExpression("GenFreq([LR])=[^\\n]*"), "GenFreq\\1=1000");
        writeText(home.filePath("velmora30.ini"), ini);
        const VelmoraRun r = runVelmora({"--sound-module", "libSoundSim.so", "--mode", "1", "--sound-on", "--start",
                                         "--measure", "2", "--results", "--quit"},
                                        home.path());
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString dist = lineStarting(r.out, "Dist:");
        EXPECT_TRUE(dist.trimmed().endsWith("THD @ 1000Hz")) << "window " << window << ": " << dist.toStdString();
    }
}

// The demonstration's settings kept in the repository give a level and a distortion line, with
// the fundamental within a bin of the generator's 997 Hz.
TEST(Fft2dDemo, DemoSettingsPrintLevelAndDist)
{
    const QDir demo(QString(VELMORA_FACTORY_DATA) + "/demo");
    QTemporaryDir home;
    for (const char* name : {"velmora30.ini", "SoundSim.ini"})
        ASSERT_TRUE(QFile::copy(demo.filePath(name), home.filePath(name))) << name;

    const VelmoraRun r =
        runVelmora(measureArgs(home.filePath("velmora-demo.txt"), home.filePath("velmora-demo.png")), home.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString level = lineStarting(r.out, "Level:"), dist = lineStarting(r.out, "Dist:");
    EXPECT_TRUE(std::isfinite(leftPair(level, "[dBV/mV]").first)) << r.out.toStdString();
    const double thd = leftPair(dist, "[dB/%]").first;
    EXPECT_TRUE(thd < -20.0 && thd > -120.0) << dist.toStdString();
    const QRegularExpressionMatch fund = QRegularExpression("@ ([0-9]+)Hz").match(dist);
    ASSERT_TRUE(fund.hasMatch()) << dist.toStdString();
    EXPECT_NEAR(fund.captured(1).toDouble(), 997.0, kStep + 0.5) << "within a bin (printed in whole Hz)";
    EXPECT_TRUE(QFile::exists(home.filePath("velmora-demo.txt")));
    EXPECT_TRUE(QFile::exists(home.filePath("velmora-demo.png")));
}

// The launcher without a display and without arguments: it says what it does, measures on a
// temporary copy of the demo settings, writes both files into the current folder, and leaves
// the user's own settings and no temporary folder behind.
TEST(Fft2dDemo, LauncherWithoutDisplayRunsTheDemoAndKeepsTheUsersSettings)
{
    QTemporaryDir work, config, tmp, runtime;
    const QString userIni = config.filePath("velmora30/velmora30.ini");
    ASSERT_TRUE(QDir().mkpath(config.filePath("velmora30")));
    const QByteArray own = "[MAIN]\nmeasuringmode=5\n[OSOUND]\nGenFreqL=123\nvolL=-20\n";
    writeText(userIni, QString::fromUtf8(own));

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "VELMORA_HOME"})
        env.remove(v);
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_DATA_HOME", config.filePath("data"));
    env.insert("TMPDIR", tmp.path());
    env.insert("XDG_RUNTIME_DIR", runtime.path()); // else Qt makes its runtime folder in TMPDIR
    env.insert("VELMORA_BUILD_DIR", QString(VELMORA_BIN_DIR) + "/..");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP); // used only by sanitizer builds
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work.path());
    p.start("bash", {QString(VELMORA_FACTORY_DATA) + "/../velmora"});
    ASSERT_TRUE(p.waitForFinished(300000)) << "the launcher did not finish";
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_EQ(p.exitCode(), 0) << out.toStdString() << p.readAllStandardError().toStdString();

    EXPECT_TRUE(out.startsWith("velmora: no display - demonstration")) << out.toStdString();
    EXPECT_TRUE(out.section('\n', 1, 1).contains(work.filePath("velmora-demo.png"))) << out.toStdString();
    EXPECT_FALSE(lineStarting(out, "Level:").isEmpty()) << out.toStdString();
    EXPECT_FALSE(lineStarting(out, "Dist:").isEmpty()) << out.toStdString();
    EXPECT_GE(exportedRows(work.filePath("velmora-demo.txt")).size(), size_t(50));
    EXPECT_FALSE(QImage(work.filePath("velmora-demo.png")).isNull());

    QFile ini(userIni);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), own) << "the user's settings were touched";
    EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << "the temporary settings folder was left behind";
}

// The 3D FFT headless on the demo settings: it measures, and the picture of the main window
// shows the waterfall (its plains' colour below the control panel) instead of the 2D diagram.
TEST(Fft3dHeadless, ModeTwoMeasuresAndThePictureShowsTheWaterfall)
{
    const QDir demo(QString(VELMORA_FACTORY_DATA) + "/demo");
    QTemporaryDir home;
    for (const char* name : {"velmora30.ini", "SoundSim.ini"})
        ASSERT_TRUE(QFile::copy(demo.filePath(name), home.filePath(name))) << name;
    const QString png = home.filePath("wf.png");
    const VelmoraRun r = runVelmora({"--sound-module", "libSoundSim.so", "--mode", "2", "--sound-on", "--start",
                                     "--measure", kSanitized ? "6" : "3", "--results", "--screenshot", png, "--quit"},
                                    home.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QRegularExpressionMatch frames = QRegularExpression("frames drawn: ([0-9]+)").match(r.out);
    ASSERT_TRUE(frames.hasMatch()) << r.out.toStdString();
    EXPECT_GE(frames.captured(1).toInt(), 2);
    const QImage img(png);
    ASSERT_FALSE(img.isNull());
    int plains = 0; // the factory colour of the plains, yellow
    for (int y = img.height() / 3; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            plains += QColor(img.pixel(x, y)) == QColor(255, 255, 0);
    EXPECT_GT(plains, 500);
    // The settings of the 3D window were written under the mode's topic.
    QFile ini(home.filePath("velmora30.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_TRUE(text.contains("[fft3d]") && text.contains("zBands=") && text.contains("x1bet="));
    EXPECT_TRUE(text.contains("[fft3dZ]"));
}
