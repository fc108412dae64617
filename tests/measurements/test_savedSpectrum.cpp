// A measured spectrum saved as a curve file reads, in the curve analysis, what the live result line read.
#include "analysis/AnalysePara.h"
#include "display/TDiaWindowModel.h"
#include "display/TGdata.h"
#include "display/curveAnalysis.h"
#include "dsp/FFtuli.h"
#include "measurements/tFFT2Dmeas.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int32_t kRate = 48000;
constexpr int32_t kSize = 16384;

// Two channels of a 1 kHz tone (between bins at this size) with a little noise.
std::vector<Tsamplemem> toneBlocks(double amplitude, unsigned seed) {
    std::vector<Tsamplemem> b;
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 1e-5);
    for (int ch = 0; ch < 2; ++ch) {
        Tsamplemem m(kSize);
        for (int32_t i = 0; i < kSize; ++i)
            m.smpoi()[i] = amplitude * std::sin(2.0 * M_PI * 1000.0 * i / kRate) + noise(gen);
        b.push_back(std::move(m));
    }
    return b;
}

class SavedSpectrum : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_savedSpectrum";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QGuiApplication(argc, argv);
    }
    void SetUp() override {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        mainDia.newsize(600, -1, 300);
        for (int s = 0; s < kDiaCurves; ++s)
            mainDia.curve(s)->Fsel = s == 0;
    }

    // Measures the tone with window `kind` in dBV (calibration 497 mV) as the 2D FFT does, puts
    // the package into the diagram and saves the left curve to `path`. Returns the live level.
    double measureAndSave(int kind, const QString& path) {
        cFFTdat fft;
        cAnaPara ana;
        fft.SamplesFFT = kSize;
        fft.FFTwin = kind;
        fft.setdBMode(dbMode_dBV);
        ana.bLevelmess = true;
        ana.bResultTextLeft = true;
        tFFT2Dmeas meas;
        meas.setCalibration(&cal);
        meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
        meas.SetChannels(2, 2);
        meas.preparePasses(kRate);
        EXPECT_TRUE(meas.evaluateBlocks(toneBlocks(0.25, unsigned(kind) + 1)));
        const double live = meas.results().level[0];
        model.wmPutDia(meas.gdata());
        QString error;
        EXPECT_TRUE(mainDia.curve(0)->savetoFile(path, &error)) << error.toStdString();
        meas.DeInit(0);
        return live;
    }

    // The curve analysis of a file with the "current" settings: window `currentKind`, dBV.
    TCurveAnalysis analyse(const QString& path, int currentKind) {
        Tcurve c(-1);
        QString error;
        EXPECT_GT(c.loadfromFile(path, &error), 0) << error.toStdString();
        cFFTdat fft;
        fft.FFTwin = currentKind;
        fft.setdBMode(dbMode_dBV);
        cAnaPara ana;
        ana.bLevelmess = true;
        return analyzeCurve(c, fft, ana, cal);
    }

    QTemporaryDir home;
    TLevelCalibration cal; // INPUT 497 mV: dBV reads 5.43 dB off when the calibration counts twice
    TDiagramm mainDia;
    TDiaWindowModel model{mainDia};
};

// For each of the nine windows: the curve analysis of the saved spectrum equals the live level
// line within 0.05 dB, while the analysis settings hold another window than the one measured.
TEST_F(SavedSpectrum, curveAnalysisReadsTheLiveLevelInEveryWindow) {
    std::printf("window             live dBV   curve dBV   difference\n");
    for (int kind = 0; kind < kWindowKinds; ++kind) {
        const QString path = home.filePath(QString("w%1.cur").arg(kind));
        const double live = measureAndSave(kind, path);
        const TCurveAnalysis r = analyse(path, (kind + 4) % kWindowKinds);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        std::printf("%-16s %9.3f %11.3f %+11.4f\n", WindowName(kind), live, r.level, r.level - live);
        EXPECT_NEAR(r.level, live, 0.05) << WindowName(kind);
        EXPECT_NEAR(live, 20.0 * std::log10(0.25 * 0.497), 0.05) << WindowName(kind); // 0.25 FS at 497 mV
        ASSERT_FALSE(r.notes.isEmpty());
        EXPECT_EQ(r.notes[0], QString("Window:\t\"%1\" (stored with the curve)").arg(WindowName(kind)));
    }
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The file with the line of `key` replaced by `line` (removed when empty).
QByteArray withKeyLine(QByteArray bytes, const QByteArray& key, const QByteArray& line) {
    const qsizetype at = bytes.indexOf("\r\n" + key + "=") + 2;
    const qsizetype end = bytes.indexOf("\r\n", at) + 2;
    return bytes.replace(at, end - at, line.isEmpty() ? QByteArray() : line + "\r\n");
}

// A file written before the transform keys existed: the window of the analysis settings is
// taken, and said so; with another window there the level moves by the two windows' factors.
TEST_F(SavedSpectrum, fileWithoutTheTransformKeysTakesTheSettingsWindow) {
    const QString path = home.filePath("flattop.cur"), old = home.filePath("old.cur");
    const double live = measureAndSave(5, path);
    const QByteArray saved = fileBytes(path);
    EXPECT_TRUE(saved.contains("\r\nFFTWIN=5\r\nFFTSIZE=16384\r\n")) << saved.left(600).toStdString();
    writeBytes(old, withKeyLine(withKeyLine(saved, "FFTWIN", {}), "FFTSIZE", {}));
    TCurveAnalysis r = analyse(old, 5);
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.level, live, 0.05);
    EXPECT_EQ(r.notes, QStringList{"Window:\t\"Flat Top\" (of the analysis settings: the curve does not name one)"});
    r = analyse(old, 8);
    EXPECT_NEAR(r.level - live, 20.0 * std::log10(WindowLevelFactor(8) / WindowLevelFactor(5)), 0.01);
}

// Transform keys that cannot be used are named and passed over (the settings' window is
// taken); a file too damaged to read is refused with its reason. The file stays as it was.
TEST_F(SavedSpectrum, unusableTransformKeysFallBackAndChangeNothing) {
    const QString path = home.filePath("hann.cur"), bad = home.filePath("bad.cur");
    const double live = measureAndSave(2, path);
    const QByteArray saved = fileBytes(path);
    const QByteArray longValue(1000, '7');
    const std::vector<std::pair<QByteArray, QString>> usable = {
        {"FFTWIN=abc", "FFTWIN=abc cannot be used"},
        {"FFTWIN=9", "FFTWIN=9 cannot be used"},
        {"FFTWIN=-1", "FFTWIN=-1 cannot be used"},
        {"FFTWIN=2.5", "FFTWIN=2.5 cannot be used"},
        {"FFTWIN=", "FFTWIN= cannot be used"},
        {"FFTWIN=99999999999999999999", "FFTWIN=99999999999999999999 cannot be used"},
        {"FFTWIN=\xEF\xBC\x92", QString::fromUtf8("FFTWIN=\xEF\xBC\x92 cannot be used")}, // a full-width 2
        {"FFTWIN=2\xB5", QString::fromLatin1("FFTWIN=2\xB5 cannot be used")}, // no UTF-8: read as Latin-1
        {"FFTWIN=" + longValue, "FFTWIN=" + QString(40, '7') + "... cannot be used"},
        {"FFTSIZE=12345", "FFTSIZE=12345 cannot be used"},
    };
    for (const auto& [line, note] : usable) {
        const QByteArray key = line.left(line.indexOf('='));
        const QByteArray bytes = withKeyLine(saved, key, line);
        writeBytes(bad, bytes);
        Tcurve c(-1);
        QString error, notice;
        ASSERT_EQ(c.loadfromFile(bad, &error, &notice), kSize / 2) << error.toStdString();
        EXPECT_EQ(notice, note);
        EXPECT_EQ(c.FFTwin, key == "FFTWIN" ? -1 : 2);
        const TCurveAnalysis r = analyse(bad, 2);
        EXPECT_NEAR(r.level, live, 0.05) << line.left(60).toStdString();
        EXPECT_EQ(fileBytes(bad), bytes);
    }
    // A size that is an FFT size but not the points': the points decide.
    writeBytes(bad, withKeyLine(saved, "FFTSIZE", "FFTSIZE=1024"));
    const TCurveAnalysis r = analyse(bad, 8);
    EXPECT_NEAR(r.level, live, 0.05);
    EXPECT_TRUE(r.notes.contains("FFT size 1024 stored with the curve does not match its 8192 points: 16384 taken"))
        << r.notes.join('|').toStdString();

    const qsizetype cut = saved.indexOf("FFTWIN=") + 4;
    const std::vector<std::pair<QByteArray, QString>> refused = {
        {saved.left(cut), "it has no data part"},                                               // truncated
        {withKeyLine(saved, "FFTWIN", "FFTWIN=" + QByteArray(70000, '1')), "not a text file"}, // huge
        {withKeyLine(saved, "FFTWIN", QByteArray("F\0F\0T\0W\0I\0N\0=\0\x32\0", 16)), "not a text file"}, // UTF-16
    };
    for (const auto& [bytes, why] : refused) {
        writeBytes(bad, bytes);
        Tcurve c(-1);
        QString error;
        EXPECT_EQ(c.loadfromFile(bad, &error), 0);
        EXPECT_TRUE(error.contains(why)) << error.toStdString();
        EXPECT_EQ(fileBytes(bad), bytes);
    }
}

} // namespace
