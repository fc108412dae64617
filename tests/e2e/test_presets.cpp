// Whole-program runs of the six factory presets on the virtual bench, each by its bare name on
// a fresh settings folder (the factory settings and data as a first start finds them), against
// the bench's truth; and a preset the command line cannot find.
#include "SimTruthAmplifier.h"
#include "../support/velmoraProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double kRate = 48000.0;

struct VelmoraRun {
    int exitCode = -1;
    QString out, err;
};

// velmora on `home` (only SoundSim.ini written there) with `args`, then --quit.
VelmoraRun runVelmora(const QTemporaryDir& home, const QByteArray& simIni, const QStringList& args)
{
    QFile sim(home.filePath("SoundSim.ini"));
    EXPECT_TRUE(sim.open(QIODevice::WriteOnly));
    sim.write(simIni);
    sim.close();
    QProcess p;
    p.setProcessEnvironment(velmoraProcessEnvironment());
    p.start(QString(VELMORA_BIN_DIR) + "/velmora",
            QStringList{"--home", home.path(), "--sound-module", "libSoundSim.so"} + args + QStringList{"--quit"});
    EXPECT_TRUE(p.waitForFinished(180000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// A factory preset run by its bare name with --start and --results (and `extra`), its frequency
// diagram exported to txt.
VelmoraRun runPreset(const QTemporaryDir& home, const QByteArray& simIni, const char* preset, const QStringList& extra,
                     const QString& txt)
{
    return runVelmora(home, simIni,
                      QStringList{"--preset", preset} + extra + QStringList{"--start", "--results", "--export-text", txt});
}

// Rows of an exported diagram: frequency, then each curve.
std::vector<std::vector<double>> rows(const QString& file)
{
    std::vector<std::vector<double>> out;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QString& l : QString::fromUtf8(f.readAll()).split(QRegularExpression("[\r\n]+"), Qt::SkipEmptyParts)) {
        std::vector<double> r;
        for (const QString& c : l.trimmed().split(QRegularExpression("[;\t]"))) r.push_back(QString(c).replace(',', '.').toDouble());
        if (r.size() >= 2) out.push_back(r);
    }
    return out;
}

double dB(double x) { return 20.0 * std::log10(x); }

// The amplifier the response presets are checked with: a gain and a 100 Hz high-pass.
TSimAmpSpec highPassAmp(double gainDb)
{
    TSimAmpSpec a;
    a.gainDb = gainDb;
    a.highPassHz = 100.0;
    return a;
}

QByteArray ampIni(double gainDb)
{
    return "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\n[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=" +
           QByteArray::number(gainDb) + "\nHighPass_Hz=100\n";
}

void report(const char* preset, const char* what, double truth, double measured)
{
    std::printf("[ preset ] %-17s %-28s truth %9.3f  measured %9.3f  diff %+.3f\n", preset, what, truth, measured,
                measured - truth);
}

} // namespace

// SPL1khz: 1 kHz at -20 dBFS through a wire reads, with the factory calibration (1000 mV at
// full scale) and the default microphone (14 mV/Pa), 100 mV = 7.14 Pa = 111.06 dB SPL; the A
// weighting is 0 dB at 1 kHz.
TEST(FactoryPresets, splAtOneKilohertz)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora(home, "[Device]\nBits=32\nPacing=fast\n[Model]\nKind=wire\n",
                             {"--preset", "SPL1khz.atp", "--sound-on", "--start", "--measure", "3", "--results"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QRegularExpressionMatch m =
        QRegularExpression(R"(Level:\s+left Ch\. (-?[0-9.]+) ?dBSPL \| right Ch\. (-?[0-9.]+) ?dBSPL.*A Weighting)").match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    const double truth = -20.0 + dB(1000.0 / 14.0 / 0.00002);
    report("SPL1khz", "level left, dB SPL", truth, m.captured(1).toDouble());
    EXPECT_NEAR(m.captured(1).toDouble(), truth, 0.05);
    EXPECT_NEAR(m.captured(2).toDouble(), truth, 0.05);
}

// FreqResNoise: pink noise through the 100 Hz high-pass, compensated by +3 dB per octave, reads
// the amplifier's response: each octave's mean level relative to the 1 kHz octave's, against
// the truth. A bin of 32 averaged noise spectra (overlapping, about 8 independent ones) scatters
// by 5.6 dB / sqrt(8); the tolerance is three times the scatter of the octave's mean, at least
// 0.3 dB (the compensation curve is a spline through one point per octave).
TEST(FactoryPresets, pinkNoiseResponse)
{
    QTemporaryDir home;
    const QString txt = home.filePath("noise.txt");
    const VelmoraRun r = runPreset(home, ampIni(0.0), "FreqResNoise.atp", {"--sound-on", "--measure", "12"}, txt);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("frames drawn:")) << r.out.toStdString();
    const auto rs = rows(txt);
    ASSERT_GT(rs.size(), 5000u) << "one row per bin";
    const TSimAmpSpec amp = highPassAmp(0.0);
    struct Octave {
        double measured = 0.0, truth = 0.0;
        int bins = 0;
    };
    auto octave = [&](double centre) {
        Octave o;
        for (const auto& row : rs)
            if (row[0] >= centre / std::sqrt(2.0) && row[0] < centre * std::sqrt(2.0)) {
                o.measured += row[1];
                o.truth += dB(std::abs(simAmpResponse(amp, row[0], kRate)));
                ++o.bins;
            }
        if (o.bins) o.measured /= o.bins, o.truth /= o.bins;
        return o;
    };
    const Octave ref = octave(1000.0);
    for (double c : {63.0, 125.0, 250.0, 500.0, 2000.0, 4000.0, 8000.0, 16000.0}) {
        const Octave o = octave(c);
        ASSERT_GT(o.bins, 5) << c;
        const double spread = 5.6 / std::sqrt(8.0);
        const double tol = std::max(0.3, 3.0 * spread * std::sqrt(1.0 / o.bins + 1.0 / ref.bins));
        report("FreqResNoise", ("octave " + std::to_string(int(c)) + " Hz re 1 kHz, dB").c_str(), o.truth - ref.truth,
               o.measured - ref.measured);
        EXPECT_NEAR(o.measured - ref.measured, o.truth - ref.truth, tol) << c << " Hz, " << o.bins << " bins";
    }
}

// sweep_fast: 31 points 20 Hz..20 kHz at -10 dBFS through 6 dB and the high-pass: every point
// of both channels at the truth in dBV (0 dBFS in = 1 V), within the export's two decimals.
TEST(FactoryPresets, fastStereoSweep)
{
    QTemporaryDir home;
    const QString txt = home.filePath("sweep.txt");
    const VelmoraRun r = runPreset(home, ampIni(6.0), "sweep_fast.atp", {"--measure", "100"}, txt);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Step 31: 20000.00 Hz")) << r.out.toStdString();
    const auto rs = rows(txt);
    ASSERT_EQ(rs.size(), 31u);
    const TSimAmpSpec amp = highPassAmp(6.0);
    double worst = 0.0;
    for (int k = 0; k < 31; ++k) {
        const double f = 20.0 * std::pow(1000.0, k / 30.0);
        ASSERT_EQ(rs[k].size(), 3u);
        EXPECT_NEAR(rs[k][0], f, 0.006);
        const double truth = -10.0 + dB(std::abs(simAmpResponse(amp, f, kRate)));
        EXPECT_NEAR(rs[k][1], truth, 0.03) << f;
        EXPECT_NEAR(rs[k][2], truth, 0.03) << f;
        worst = std::max(worst, std::fabs(rs[k][1] - truth));
        if (k == 0 || k == 15 || k == 30) report("sweep_fast", ("point " + std::to_string(k + 1) + ", dBV").c_str(), truth, rs[k][1]);
    }
    std::printf("[ preset ] sweep_fast        largest deviation of 31 points %.3f dB\n", worst);
}

// sweep_async only listens; on the bench nothing plays while it waits for the marker (its
// start switches the program's own output off), so the run ends after its time with no point.
// That it measures what it hears is shown with the bench's generator playing the tones (the
// preset test of the main window).
TEST(FactoryPresets, asynchronousSweepWaitsForItsMarker)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora(home, ampIni(0.0), {"--preset", "sweep_async.atp", "--start", "--measure", "2", "--results", "--status"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("status 4: BSweep")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Setup: sweep_async.atp")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QRegularExpression(R"(Step \d+: [1-9])"))) << r.out.toStdString();
}

// freqResDirac and freqResMLS: the impulse response of the high-pass amplifier, gated and
// transformed, reads its magnitude response from 200 Hz to 15 kHz within 0.1 dB.
TEST(FactoryPresets, impulseResponses)
{
    for (const char* preset : {"freqResDirac.atp", "freqResMLS.atp"}) {
        SCOPED_TRACE(preset);
        QTemporaryDir home;
        const QString txt = home.filePath("ir.txt");
        const VelmoraRun r = runPreset(home, ampIni(0.0), preset, {"--measure", "60"}, txt);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("Level: impulse peak")) << r.out.toStdString();
        const auto rs = rows(txt);
        ASSERT_GT(rs.size(), 50u);
        const TSimAmpSpec amp = highPassAmp(0.0);
        int checked = 0;
        double worst = 0.0;
        for (const auto& row : rs) {
            if (row[0] < 200.0 || row[0] > 15000.0) continue;
            ASSERT_EQ(row.size(), 3u);
            const double truth = dB(std::abs(simAmpResponse(amp, row[0], kRate)));
            EXPECT_NEAR(row[1], truth, 0.1) << row[0];
            worst = std::max(worst, std::fabs(row[1] - truth));
            ++checked;
        }
        EXPECT_GT(checked, 20);
        std::printf("[ preset ] %-17s largest deviation 200 Hz..15 kHz over %d rows %.3f dB\n", preset, checked, worst);
    }
}

// A preset the command line cannot find ends the program with a message and code 1 before
// anything is measured.
TEST(FactoryPresets, missingPresetOnTheCommandLine)
{
    QTemporaryDir home;
    const VelmoraRun r = runVelmora(home, "[Model]\nKind=wire\n", {"--preset", "nowhere.atp", "--start", "--measure", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("the preset nowhere.atp was not found")) << r.err.toStdString();
}
