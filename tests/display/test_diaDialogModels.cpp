// Tests of the models behind the diagram dialogs: curve dialog rules, curve analysis, options.
#include "dsp/FFtuli.h"
#include "base/vlMessages.h"
#include "display/TCurveEdit.h"
#include "display/TDiaColorSet.h"
#include "display/TDiaOptions.h"
#include "display/TDiagramm.h"
#include "display/curveAnalysis.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Swallows message boxes (the Sone table or a bad weighting file may warn).
struct QuietMessages : vl::IMessageService {
    int show(const vl::Message&) override { return vl::mbOK; }
};

// A spectrum curve as the FFT measurement stores it: raw dB per bin, x = bin frequency.
Tcurve spectrumCurve(const std::vector<double>& signal, int32_t rate, int window) {
    const int32_t n = int32_t(signal.size());
    std::vector<double> s = signal;
    FFtuliContext transform;
    transform.prepareWindow(window, n);
    transform.windowedSpectrum(s.data(), nullptr, n, 0);
    Tcurve c(-1);
    c.setNewPoints(n / 2);
    for (int32_t k = 0; k < n / 2; ++k)
        c.setPoint(k, double(k) * rate / n, s[k] > 0.0 ? 20.0 * std::log10(s[k]) + kSpectrumBinOffset_dB : -300.0);
    c.Sfreq = rate; // dBFS as the diagram shows it, from the window `window`
    c.FdbMode = dBMode_dbFS;
    c.FFTwin = window;
    return c;
}

std::vector<double> sine(int32_t n, int32_t rate, double f, double a, double a2 = 0.0) {
    std::vector<double> x(size_t(n), 0.0);
    for (int32_t i = 0; i < n; ++i) {
        const double t = 2.0 * M_PI * f * i / rate;
        x[size_t(i)] = a * std::sin(t) + a2 * std::sin(2.0 * t);
    }
    return x;
}

struct Settings {
    cFFTdat fft;
    cAnaPara ana;
    Settings() {
        fft.FFTwin = 2;           // van Hann
        fft.fdbMode = dbMode_dBV; // the curve's own unit must win
        ana.lfvon = 20;
        ana.lfbis = 20000;
        ana.bLevelmess = true;
        ana.bTHDmess = true;
    }
};

// The diagram paints with fonts: a GUI application must exist (offscreen).
void needGui() {
    static int argc = 1;
    static char name[] = "test_diaDialogModels";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv); // lives until the end
}

} // namespace

// ---- curve dialog rules --------------------------------------------------------------------

TEST(CurveEdit, LimitsOfWidthAndGroup) {
    EXPECT_EQ(TCurveEdit::clampLineWidth(0), 1);
    EXPECT_EQ(TCurveEdit::clampLineWidth(25), 20);
    EXPECT_EQ(TCurveEdit::clampLineWidth(7), 7);
    EXPECT_EQ(TCurveEdit::stepGroup(0, -1), 0);
    EXPECT_EQ(TCurveEdit::stepGroup(11, +1), 11);
    EXPECT_EQ(TCurveEdit::stepGroup(3, +1), 4);
    EXPECT_EQ(TCurveEdit::groupLetter(11), "L");
}

TEST(CurveEdit, OperandsShownPerOperation) {
    const auto measure = TCurveEdit::operandView(eMeasure);
    EXPECT_FALSE(measure.op1 || measure.op2 || measure.withText || measure.reset);
    const auto peak = TCurveEdit::operandView(ePeak);
    EXPECT_TRUE(peak.op1 && peak.withText && peak.reset);
    EXPECT_FALSE(peak.op2);
    const char* signs[] = {"+", "-", "*", "/"};
    for (int op = eAddi; op <= eDivi; ++op) {
        const auto v = TCurveEdit::operandView(op);
        EXPECT_TRUE(v.op1 && v.op2) << op;
        EXPECT_FALSE(v.reset || v.withText) << op;
        EXPECT_EQ(v.sign, signs[op - eAddi]);
    }
    EXPECT_EQ(TCurveEdit::operationNames().at(3), "Subtraction ");
}

TEST(CurveEdit, LoadKeepsSlotColourAndSelection) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.cur");
    Tcurve stored(-1);
    stored.setNewPoints(4);
    for (int i = 0; i < 4; ++i)
        stored.setPoint(i, 100.0 * (i + 1), -10.0 * i);
    stored.FColLine = 0x123456;
    stored.Fsel = false;
    stored.Name = "stored";
    ASSERT_TRUE(stored.savetoFile(path));

    Tcurve c(5);
    c.FColLine = 0xABCDEF;
    c.Fsel = true;
    QString error;
    ASSERT_TRUE(TCurveEdit::loadCurveKeeping(c, path, &error)) << error.toStdString();
    EXPECT_EQ(c.line, 5);
    EXPECT_EQ(c.FColLine, 0xABCDEFu);
    EXPECT_TRUE(c.Fsel);
    EXPECT_EQ(c.Name, "stored");
    EXPECT_EQ(c.FileName, path);
    EXPECT_TRUE(c.ValidData);
    ASSERT_EQ(c.OriY.samples(), 4);
    EXPECT_DOUBLE_EQ(c.OriY.getsmAr(3), -30.0);
}

TEST(CurveEdit, BadFilesChangeNothing) {
    QTemporaryDir dir;
    Tcurve c(2);
    c.Name = "kept";
    c.setNewPoints(3);
    auto expectUnchanged = [&](const QString& path) {
        QString error;
        EXPECT_FALSE(TCurveEdit::loadCurveKeeping(c, path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(c.Name, "kept");
        EXPECT_EQ(c.OriY.samples(), 3);
        EXPECT_EQ(c.FileName, "*.cur");
    };
    expectUnchanged(dir.filePath("missing.cur"));
    const QString huge = dir.filePath("huge.cur");
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[aCurve]\r\nCNAME=bad\r\nSAMPLES=999999999\r\n// START-> X , Y Values\r\n1 , 2\r\n");
    f.close();
    expectUnchanged(huge);
}

// ---- curve analysis ------------------------------------------------------------------------

TEST(CurveAnalysis, RefusesCurvesThatAreNoFFT) {
    EXPECT_TRUE(isFFTCurveLength(32));
    EXPECT_TRUE(isFFTCurveLength(524288));
    EXPECT_FALSE(isFFTCurveLength(16));
    EXPECT_FALSE(isFFTCurveLength(100));
    EXPECT_FALSE(isFFTCurveLength(1048576));
    Tcurve c(-1);
    c.setNewPoints(100);
    c.Sfreq = 48000;
    Settings s;
    const TCurveAnalysis r = analyzeCurve(c, s.fft, s.ana, TLevelCalibration{});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Curve is not from a fft measurement!");
    EXPECT_TRUE(r.lines.isEmpty());
}

// A 1 kHz sine of amplitude 0.5 reads 20*log10(0.5) = -6.02 dBFS (RMS re a full-scale sine);
// the band collects the window's leakage, so 0.02 dB covers it.
TEST(CurveAnalysis, LevelOfAKnownSine) {
    QuietMessages quiet;
    vl::setMessageService(&quiet);
    const int32_t n = 8192, rate = 48000;
    Settings s;
    const Tcurve c = spectrumCurve(sine(n, rate, 1000.0, 0.5), rate, s.fft.FFTwin);
    const TCurveAnalysis r = analyzeCurve(c, s.fft, s.ana, TLevelCalibration{});
    vl::setMessageService(nullptr);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_NEAR(r.level, 20.0 * std::log10(0.5), 0.02);
    ASSERT_GE(r.lines.size(), 1);
    EXPECT_EQ(r.lines[0], QString::asprintf("Level:\t%6.2f dBFS ", r.level));
}

// Second harmonic at 1 % of a bin-centred fundamental: THD = -40 dB within 0.1 dB.
TEST(CurveAnalysis, DistortionAndSignalToNoise) {
    const int32_t n = 8192, rate = 48000;
    const double f = 171.0 * rate / n; // 1001.95 Hz, on a bin
    Settings s;
    s.ana.bLevelmess = false;
    s.ana.Hx = 0x1FF; // noise and H2..H9
    const Tcurve c = spectrumCurve(sine(n, rate, f, 0.5, 0.005), rate, s.fft.FFTwin);
    TCurveAnalysis r = analyzeCurve(c, s.fft, s.ana, TLevelCalibration{});
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.distortion_dB, -40.0, 0.1);
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_TRUE(r.lines[0].startsWith("Dist.:\t-40.0/1.00")) << r.lines[0].toStdString();
    EXPECT_TRUE(r.lines[0].contains("[dB/%] THD+N @ 1002Hz")) << r.lines[0].toStdString();

    s.ana.Hx = 1; // noise only: signal to noise, positive
    r = analyzeCurve(c, s.fft, s.ana, TLevelCalibration{});
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_TRUE(r.lines[0].startsWith("S/N:\t")) << r.lines[0].toStdString();
    EXPECT_GT(r.lines[0].mid(5).section(' ', 0, 0).toDouble(), 100.0);
}

TEST(CurveAnalysis, SilenceHasNoFundamental) {
    Tcurve c(-1);
    c.setNewPoints(512);
    for (int k = 0; k < 512; ++k)
        c.setPoint(k, k * 46.875, -300.0);
    c.Sfreq = 48000;
    Settings s;
    s.ana.bLevelmess = false;
    const TCurveAnalysis r = analyzeCurve(c, s.fft, s.ana, TLevelCalibration{});
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_EQ(r.lines[0], "no fundamental wave");
}

// ---- diagram options -----------------------------------------------------------------------

TEST(DiaOptions, RoundTripThroughADiagram) {
    needGui();
    TDiagramm dia;
    TDiaOptions o;
    o.cursorMode = TDiaCursorMode::Slope;
    o.yStepAuto = false;
    o.logX = false;
    o.yStep = 2.5;
    o.yAxisMode = eYAM0db1kHz;
    o.xFactor = 2.0;
    o.xUnit = "ms";
    o.yFactor = 3.0;
    o.yOffset = -4.0;
    o.pinkNoise = true;
    o.colDiagram = 0x112233;
    o.colGrid = 0x445566;
    o.colMargin = 0x778899;
    o.font = QFont("Sans", 11);
    o.applyTo(dia);
    const TDiaOptions back = TDiaOptions::fromDiagram(dia);
    EXPECT_EQ(back.cursorMode, TDiaCursorMode::Slope);
    EXPECT_FALSE(dia.Level_m() || dia.Freq_m());
    EXPECT_FALSE(back.yStepAuto);
    EXPECT_FALSE(back.logX);
    EXPECT_DOUBLE_EQ(back.yStep, 2.5);
    EXPECT_EQ(back.yAxisMode, eYAM0db1kHz);
    EXPECT_DOUBLE_EQ(back.xFactor, 2.0);
    EXPECT_EQ(back.xUnit, "ms");
    EXPECT_DOUBLE_EQ(back.yFactor, 3.0);
    EXPECT_DOUBLE_EQ(back.yOffset, -4.0);
    EXPECT_TRUE(back.pinkNoise);
    EXPECT_EQ(back.colDiagram, 0x112233u);
    EXPECT_EQ(back.colGrid, 0x445566u);
    EXPECT_EQ(back.colMargin, 0x778899u);
    EXPECT_EQ(back.font.pointSize(), 11);

    o.cursorMode = TDiaCursorMode::None;
    o.applyTo(dia);
    EXPECT_FALSE(dia.Level_m() || dia.Freq_m() || dia.Flanke_m());
}

TEST(DiaOptions, DefaultColours) {
    TDiaOptions o;
    o.colGrid = o.colSoundOn = 1;
    o.setDefaultColors();
    EXPECT_EQ(o.colDiagram, 0xFFFFFFu);
    EXPECT_EQ(o.colGrid, 12632256u);
    EXPECT_EQ(o.colMargin, 12639424u);
    EXPECT_EQ(o.colSoundOn, 0xD0FF90u);
    EXPECT_EQ(o.colSoundOff, 15790320u);

    const TDiaColorSet osc = TDiaColorSet::defaults(true, 0x010203);
    EXPECT_EQ(osc.diagram, 0x808000u);
    EXPECT_EQ(osc.grid, 8421504u);
    EXPECT_EQ(osc.margin, 0x8000u);
    EXPECT_EQ(osc.echoPoint, 0xFF0000u);
    const TDiaColorSet time = TDiaColorSet::defaults(false, 0x010203);
    EXPECT_EQ(time.margin, 0x010203u);
    EXPECT_EQ(time.curve, 0xFF0000u);
    EXPECT_EQ(time.fftLine, 0x8000u);
    EXPECT_EQ(time.infoText, 0u);
}

TEST(DiaColorSet, RoundTripThroughADiagram) {
    needGui();
    TDiagramm dia;
    TDiaColorSet s{1, 2, 3, 4, 5, 6, 7};
    s.applyTo(dia);
    const TDiaColorSet b = TDiaColorSet::fromDiagram(dia);
    EXPECT_EQ(b.diagram, 1u);
    EXPECT_EQ(b.grid, 2u);
    EXPECT_EQ(b.margin, 3u);
    EXPECT_EQ(b.curve, 4u);
    EXPECT_EQ(b.fftLine, 5u);
    EXPECT_EQ(b.echoPoint, 6u);
    EXPECT_EQ(b.infoText, 7u);
}
