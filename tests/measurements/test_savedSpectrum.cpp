// A measured spectrum saved as a curve file reads, in the curve analysis, what the live result line read.
#include "analysis/AnalysePara.h"
#include "display/TDiaWindowModel.h"
#include "display/TGdata.h"
#include "display/curveAnalysis.h"
#include "dsp/FFtuli.h"
#include "measurements/tFFT2Dmeas.h"

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
        std::printf("%-16s %9.2f %11.2f %+11.2f\n", WindowName(kind), live, r.level, r.level - live);
        EXPECT_NEAR(r.level, live, 0.05) << WindowName(kind);
        EXPECT_NEAR(live, 20.0 * std::log10(0.25 * 0.497), 0.05) << WindowName(kind); // 0.25 FS at 497 mV
    }
}

} // namespace
