// Tests of the analysis settings: INI sections, level calibration, labels, averaging, band level.
#include "analysis/AnalysePara.h"

#include "dsp/FFtuli.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace {

// Collects the messages instead of showing them.
struct Recorder : vl::IMessageService {
    std::vector<vl::Message> seen;
    int show(const vl::Message& m) override {
        seen.push_back(m);
        return m.defaultButton;
    }
};

struct RecordingTest : ::testing::Test {
    Recorder rec;
    QTemporaryDir dir;
    void SetUp() override { vl::setMessageService(&rec); }
    void TearDown() override { vl::setMessageService(nullptr); }
    QString file(const char* name) const { return dir.filePath(name); }
};

TMemIniFile iniFrom(const QString& text) {
    TMemIniFile ini;
    EXPECT_TRUE(ini.setText(text));
    return ini;
}

// ---- spectrum settings in INI files ---------------------------------------------------------

TEST(FFTIni, EveryWrittenKeyReadsBack) {
    cFFTdat a;
    a.FFTwin = 5, a.SamplesFFT = 65536, a.AveValue = 7, a.Sbefore = 3;
    a.setdBMode(dbMode_Pa);
    a.DiagramForm = Sample_3D, a.fft3Dstepping_ms = 2.5, a.fftbeg_samp = 12, a.triggLevel = 0.125;
    a.asyncIps = a.mlsAutoRecogn = a.nextcurve = a.refmess = true, a.peakAuto = false;
    a.s2isphase = true, a.commentFFT = "bench 3 = left";
    TMemIniFile ini;
    a.SaveFFTtoIniL(ini, "fft3d");
    EXPECT_EQ(ini.ReadSection("fft3d").join(","),
              "WIN,SAMPLES,AVERAGE,SBEFORE,DBMODE,DIAGRAMFORM,fft3Dstepping,TECHO,TFFTBEG,"
              "triggLevel,asyncIps,mlsAutoRecogn,peakAuto,nextcurve,refmess,ips2ch,s2isphase,"
              "s2isGD,COMMENT");
    cFFTdat b;
    b.LoadFFTfromIniL(ini, "FFT3D"); // section names match without regard to case
    EXPECT_EQ(b.FFTwin, 5);
    EXPECT_EQ(b.SamplesFFT, 65536);
    EXPECT_EQ(b.AveValue, 7);
    EXPECT_EQ(b.Sbefore, 3);
    EXPECT_EQ(b.fdbMode, dbMode_Pa);
    EXPECT_EQ(b.DiagramForm, Sample_3D);
    EXPECT_DOUBLE_EQ(b.fft3Dstepping_ms, 2.5);
    EXPECT_EQ(b.fftbeg_samp, 12);
    EXPECT_DOUBLE_EQ(b.triggLevel, 0.125);
    EXPECT_TRUE(b.asyncIps && b.mlsAutoRecogn && b.nextcurve && b.refmess && !b.peakAuto);
    EXPECT_TRUE(b.s2isphase && !b.s2isGD && !b.ips2ch);
    EXPECT_EQ(b.commentFFT, "bench 3 = left");
    EXPECT_DOUBLE_EQ(b.echo_ms, -1.0);          // never read back
    EXPECT_DOUBLE_EQ(b.showbeforeIps_ms, 10.0); // never written
}

TEST(FFTIni, StoredValuesAreClampedAndNormalised) {
    struct Case {
        const char* text;
        const char* topic;
        int win, samples, average, unit;
    };
    const Case cases[] = {
        {"[fft2d]\nDBMODE=8\nWIN=9\nSAMPLES=32\nAVERAGE=0", "fft2d", 0, 64, 1, dbMode_dBSPL},
        {"[fftMLS]\nSAMPLES=2097152\nAVERAGE=-5", "fftMLS", 0, 16384, 1, dBMode_dbFS},
        {"[fftnah]\nWIN=-1\nSAMPLES=100000\nDBMODE=200", "fftnah", 0, 16384, 1, dBMode_dbFS},
        {"[fft2d]\nWIN=abc\nSAMPLES=99999999999\nDBMODE=-3", "fft2d", 8, 16384, 1, dBMode_dbFS},
        {"[fft2d]\nSAMPLES=-64\nDBMODE=9\nWIN=3", "fft2d", 3, 64, 1, dBMode_dbFS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        cFFTdat f;
        f.LoadFFTfromIniL(iniFrom(c.text), c.topic);
        EXPECT_EQ(f.FFTwin, c.win);
        EXPECT_EQ(f.SamplesFFT, c.samples);
        EXPECT_EQ(f.AveValue, c.average);
        EXPECT_EQ(f.fdbMode, c.unit);
    }
    cFFTdat f;
    f.LoadFFTfromIniL(iniFrom("[x]\nfft3Dstepping=0\nDIAGRAMFORM=7\nTFFTBEG=-9\ntriggLevel=inf"),
                      "x");
    EXPECT_DOUBLE_EQ(f.fft3Dstepping_ms, 1.0); // a zero step would never advance
    EXPECT_EQ(f.DiagramForm, SampleOff);
    EXPECT_EQ(f.fftbeg_samp, 0);
    EXPECT_DOUBLE_EQ(f.triggLevel, 0.05);
    EXPECT_EQ(f.commentFFT, "remark:");
    EXPECT_FALSE(f.peakAuto);
}

TEST(FFTIni, SecondCurveFlagsAreNormalised) {
    const struct {
        const char* stored;
        bool ips2ch, phase;
    } cases[] = {{"s2isGD=1\ns2isphase=0", false, false},
                 {"s2isphase=1\nips2ch=0", false, true},
                 {"s2isphase=1\ns2isGD=1", false, true},
                 {"ips2ch=0", true, false}};
    for (const auto& c : cases) {
        cFFTdat f;
        f.LoadFFTfromIniL(iniFrom(QString("[fft2d]\n") + c.stored), "fft2d");
        EXPECT_EQ(f.ips2ch, c.ips2ch) << c.stored;
        EXPECT_EQ(f.s2isphase, c.phase) << c.stored;
        EXPECT_FALSE(f.s2isGD) << c.stored;
    }
}

TEST_F(RecordingTest, FFTFileUsesTheModeSectionAndRefusesUnreadableFiles) {
    cFFTdat a;
    a.MeasuringModeF = 5;
    a.SamplesFFT = 2048;
    a.saveFFTini(file("v.ini"));
    EXPECT_TRUE(TMemIniFile(file("v.ini")).SectionExists("fftMLS"));
    cFFTdat b;
    b.MeasuringModeF = 5;
    b.loadFFTini(file("v.ini"));
    EXPECT_EQ(b.SamplesFFT, 2048);
    EXPECT_TRUE(rec.seen.empty());

    QFile junk(file("junk.ini"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("[fft2d]\nSAMPLES=1024\n\0\xff\xfe", 22));
    junk.close();
    cFFTdat c;
    c.loadFFTini(file("junk.ini"));
    ASSERT_EQ(rec.seen.size(), 1u); // the reader's message, and the settings stay as they were
    EXPECT_EQ(rec.seen[0].title, "Warning");
    EXPECT_EQ(c.SamplesFFT, 4096);

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    c.saveFFTini(file("folder.ini")); // cannot be read, so it is not replaced
    EXPECT_TRUE(QFileInfo(file("folder.ini")).isDir());
}

// ---- analysis parameters in INI files -------------------------------------------------------

TEST_F(RecordingTest, AnalysisKeysReadBackFromSectionANALYSE) {
    cAnaPara a;
    a.bTHDmess = a.bIMmess = a.bLevelmess = a.bWuFmess = a.bModDistMess = true;
    a.WuFfreq = e3khz, a.WuFFilter = "NAB", a.WuFeFilter = eJIS, a.WuFBP = false;
    a.WuFmode = eFlutter, a.bFundAuto = false, a.bFilterFFT = true;
    a.fManualFundamental = 997.5f, a.Hx = 0x1FE, a.DistortionUnitInPercent = true;
    a.lfvon = 22, a.lfbis = 22000, a.fFundlow = 0.001f, a.filter = "USER";
    a.UserFname = "/tmp/a b.cor", a.bResultTextLeft = true, a.bResultTextRight = false;
    a.bResultTextDetails = false, a.iResultTextSize = 14;
    ASSERT_TRUE(a.SaveAnatoIni(file("a.ini"), "fft2d"));
    EXPECT_TRUE(TMemIniFile(file("a.ini")).SectionExists("ANALYSE"));
    EXPECT_FALSE(TMemIniFile(file("a.ini")).SectionExists("fft2d"));

    cAnaPara b;
    b.LoadAnafromIni(file("a.ini"), "whatever");
    EXPECT_TRUE(b.bTHDmess && b.bIMmess && b.bLevelmess && b.bWuFmess && b.bModDistMess);
    EXPECT_FALSE(b.bSignal2Noisemess);
    EXPECT_EQ(b.iMeasLines, 4);
    EXPECT_EQ(b.WuFfreq, e3khz);
    EXPECT_EQ(b.WuFFilter, "NAB");
    EXPECT_EQ(b.WuFeFilter, eJIS);
    EXPECT_FALSE(b.WuFBP);
    EXPECT_EQ(b.WuFmode, eFlutter);
    EXPECT_TRUE(!b.bFundAuto && b.bFilterFFT && b.DistortionUnitInPercent);
    EXPECT_EQ(b.fManualFundamental, 997.5f);
    EXPECT_EQ(b.Hx, 0x1FE);
    EXPECT_EQ(b.lfvon, 22);
    EXPECT_EQ(b.lfbis, 22000);
    EXPECT_EQ(b.fFundlow, 0.001f);
    EXPECT_EQ(TMemIniFile(file("a.ini")).ReadString("ANALYSE", "FUNDLOW", ""), "0.001");
    EXPECT_EQ(b.filter, "USER");
    EXPECT_EQ(b.UserFname, "/tmp/a b.cor");
    EXPECT_TRUE(b.bResultTextLeft && !b.bResultTextRight && !b.bResultTextDetails);
    EXPECT_EQ(b.iResultTextSize, 14);
    EXPECT_TRUE(rec.seen.empty());
}

TEST(AnaIni, MissingAndBadValuesGiveTheDefaults) {
    cAnaPara p;
    p.LoadAnafromIniL(iniFrom("[s]\nWUFfreq=5\nWUFefilter=9\nWUFmodus=-1\nFUNDLOW=0\n"
                              "FUNDAMENTAL=x\niResultTextSize=1000\nHx=zz"),
                      "s");
    EXPECT_EQ(p.WuFfreq, e3khz);
    EXPECT_EQ(p.WuFeFilter, eDINIEC);
    EXPECT_EQ(p.WuFmode, eWuF);
    EXPECT_EQ(p.fFundlow, 0.01f);
    EXPECT_EQ(p.fManualFundamental, 1000.0f);
    EXPECT_EQ(p.iResultTextSize, 11);
    EXPECT_EQ(p.Hx, 65535);
    EXPECT_EQ(p.WuFFilter, "none");
    EXPECT_EQ(p.filter, "none");
    EXPECT_TRUE(p.bResultTextLeft && p.bResultTextRight && p.bResultTextDetails && p.WuFBP);
    EXPECT_EQ(p.iMeasLines, 0);
    for (const char* v : {"-0.5", "1e300", "2"}) {
        p.LoadAnafromIniL(iniFrom(QString("[s]\nFUNDLOW=") + v + "\nFUNDAMENTAL=" + v), "s");
        EXPECT_EQ(p.fFundlow, 0.01f) << v;
    }
    EXPECT_EQ(p.fManualFundamental, 2.0f);
}

TEST_F(RecordingTest, FailedAnalysisSaveSaysSoAndKeepsAnUnreadableFile) {
    const QString lost = dir.path() + "/no/such/folder/a.ini";
    EXPECT_FALSE(cAnaPara().SaveAnatoIni(lost, "x"));
    ASSERT_EQ(rec.seen.size(), 1u);
    EXPECT_EQ(rec.seen[0].title, "Error");
    EXPECT_TRUE(rec.seen[0].text.startsWith("Error writing Ini-File " + lost + "\r\n")) << rec.seen[0].text.toStdString();
    EXPECT_TRUE(rec.seen[0].text.endsWith("The analysis settings were not saved.")) << rec.seen[0].text.toStdString();
    EXPECT_FALSE(rec.seen[0].text.contains("Abort program")) << "the program goes on";

    ASSERT_TRUE(QDir(dir.path()).mkdir("d.ini"));
    EXPECT_FALSE(cAnaPara().SaveAnatoIni(file("d.ini"), "x"));
    EXPECT_TRUE(QFileInfo(file("d.ini")).isDir());
}

// ---- object life --------------------------------------------------------------------------

TEST(FFTdat, CopyDuplicatesBuffersButNotTheRunningImpulseState) {
    cFFTdat a;
    a.setAnzICha(2);
    a.sampdats = std::make_unique<Tsamplemem>(8);
    a.NahConti = true, a.ManFFTbeg_samp = 99, a.FFTwin = 2, a.commentFFT = "c";
    const double pts[] = {0.0, 1.0, 100.0, 2.0};
    a.SoneCor.makecCorrArr(pts, 2);
    cFFTdat b(a);
    a.sampdats->setsmAr(0, 5.0);
    EXPECT_DOUBLE_EQ(b.sampdats->getsmAr(0), 0.0);
    EXPECT_EQ(b.fAnzICha, 2);
    EXPECT_FALSE(b.NahConti);
    EXPECT_EQ(b.ManFFTbeg_samp, 0);
    EXPECT_EQ(b.FFTwin, 2);
    EXPECT_EQ(b.commentFFT, "c");
    EXPECT_EQ(b.SoneCor.getPaare(), 2);
}

TEST(FFTdat, TopicOfEveryMeasuringMode) {
    EXPECT_EQ(MeasuringModeTopic(11), "RT60");
    EXPECT_EQ(MeasuringModeTopic(14), "nix");
}

// ---- level calibration and labels ---------------------------------------------------------

TEST(LevelCalibration, EveryUnitAtAKnownCalibration) {
    TLevelCalibration cal;
    cal.INPUT = 1000.0, cal.MicSens_mVpPaL = 10.0, cal.MicSens_mVpPaR = 50.0;
    cal.PreAmp_dBL = 0.0, cal.PreAmp_dBR = 20.0;
    const double g = std::pow(10.0, 11.5 / 20.0);
    const struct {
        edBModi unit;
        double offsL, fakL, offsR, fakR;
    } cases[] = {
        {dBMode_dbFS, 11.5, 1, 31.5, 1},
        {dbMode_dBV, 11.5, 1, 31.5, 1},
        {dbMode_dBu, 11.5 + 20 * std::log10(1000 / 775.0), 1, 31.5 + 20 * std::log10(1000 / 775.0),
         1},
        {dbMode_dBSPL, 11.5 + 20 * std::log10(100 / 2e-5), 1, 31.5 + 20 * std::log10(20 / 2e-5), 1},
        {dbMode_Sone, 11.5 + 20 * std::log10(100 / 2e-5), 1, 31.5 + 20 * std::log10(20 / 2e-5), 1},
        {dbMode_Pa, 0, g * 100, 0, g * 10 * 20},
        {dbMode_milliVolt, 0, g * 1000, 0, g * 10 * 1000},
        {dBMode_dB, 8.5, 1, 28.5, 1},
    };
    for (const auto& c : cases) {
        cFFTdat f;
        f.fdbMode = c.unit;
        ApplyLevelCalibration(f, cal);
        EXPECT_NEAR(f.CorLOffsL, c.offsL, 1e-12) << int(c.unit);
        EXPECT_NEAR(f.CorLOffsR, c.offsR, 1e-12) << int(c.unit);
        EXPECT_NEAR(f.CorLFakL, c.fakL, 1e-9 * c.fakL) << int(c.unit);
        EXPECT_NEAR(f.CorLFakR, c.fakR, 1e-9 * c.fakR) << int(c.unit);
    }
    for (int ch : {0, 1, 2}) // dBm shares the 775 mV reference of dBu
        EXPECT_EQ(LevelCorrFor(dbMode_dBm, cal, ch).offs, LevelCorrFor(dbMode_dBu, cal, ch).offs);
    EXPECT_EQ(LevelCorrFor(dbMode_dBV, cal, 2).offs, 11.5); // channels above 1 use the left
}

TEST(UnitLabels, BaseUnitsAndMeasurementOverrides) {
    cFFTdat f;
    const char* base[] = {"dBFS", "dBV", "dBu", "dBm", "dBSPL", "Pa", "mV", "dB", "dBSPL"};
    for (int u = 0; u <= dbMode_Sone; ++u) {
        f.fdbMode = edBModi(u);
        EXPECT_EQ(LevelUnitLabel(f), base[u]);
        EXPECT_EQ(RightAxisUnitLabel(f), base[u]);
    }
    TUnitLabelContext sweep{true, 6, false, true};
    EXPECT_EQ(LevelUnitLabel(f, sweep), "Ohm");
    EXPECT_EQ(RightAxisUnitLabel(f, sweep), "°");
    sweep.sweepMode = 7;
    EXPECT_EQ(LevelUnitLabel(f, sweep), "%");
    EXPECT_EQ(RightAxisUnitLabel(f, {true, 1, true, false}), "°");
    f.MeasuringModeF = 10;
    EXPECT_EQ(LevelUnitLabel(f), "dB");
    f.MeasuringModeF = 11;
    EXPECT_EQ(LevelUnitLabel(f), "dB ");
    EXPECT_EQ(RightAxisUnitLabel(f), "dB ");
    f.s2isphase = true;
    EXPECT_EQ(RightAxisUnitLabel(f), "°");
    f.MeasuringModeF = 4, f.s2isphase = false, f.s2isGD = true;
    EXPECT_EQ(RightAxisUnitLabel(f), "ms");
    EXPECT_EQ(LevelUnitLabel(f), "dBSPL");
}

// ---- band level ---------------------------------------------------------------------------

constexpr double kFs = 48000.0;

// Raw dB spectrum (or magnitudes) of a sine of peak `amp` at `cycles` periods per block.
Tsamplemem sineSpectrum(int kind, int n, double cycles, double amp, bool linear = false) {
    std::vector<double> x(size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        x[size_t(i)] = amp * std::sin(2 * std::numbers::pi * cycles * i / n + 0.3);
    FFtuliContext transform;
    transform.prepareWindow(kind, n);
    transform.windowedSpectrum(x.data(), nullptr, n, 0);
    Tsamplemem s(n / 2);
    for (int k = 0; k < n / 2; ++k) {
        const double m = x[size_t(k)];
        s.setsmAr(k, linear ? m : (m > 0 ? 20 * std::log10(m) : -192.0));
    }
    return s;
}

struct BandLevelTest : ::testing::Test {
    cFFTdat fft;
    cAnaPara ana;
    TLevelCalibration cal;
    void setUnit(edBModi u, int n) {
        fft.SamplesFFT = n;
        fft.setdBMode(u, soneFile);
        ApplyLevelCalibration(fft, cal);
        ana.fsampFreq = kFs, ana.lfvon = 20, ana.lfbis = 20000;
    }
    QString soneFile;
};

TEST_F(BandLevelTest, FullScaleSineReadsZeroDBFSInEveryWindow) {
    for (int n : {1024, 65536}) {
        for (int kind = 0; kind <= 8; ++kind) {
            fft.FFTwin = kind;
            setUnit(dBMode_dbFS, n);
            const double onBin = n / 48.0;
            const Tsamplemem s = sineSpectrum(kind, n, std::round(onBin), 1.0);
            EXPECT_NEAR(BandLevel(&s, ana, fft, true, 0, nullptr, dBMode_dbFS), 0.0, 0.001)
                << WindowName(kind) << " n=" << n;
            if (kind == 0) continue; // the plain window's leakage leaves the band
            const Tsamplemem t = sineSpectrum(kind, n, std::round(onBin) + 0.5, 1.0);
            EXPECT_NEAR(BandLevel(&t, ana, fft, true, 0, nullptr, dBMode_dbFS), 0.0, 0.01)
                << WindowName(kind) << " n=" << n << " between bins";
        }
    }
}

TEST_F(BandLevelTest, KnownVoltageAndPressureReadTheirValues) {
    cal.INPUT = 497.0, cal.MicSens_mVpPaL = 12.5, cal.PreAmp_dBR = 6.0;
    const int n = 4096;
    const Tsamplemem db = sineSpectrum(8, n, 100, 0.5), lin = sineSpectrum(8, n, 100, 0.5, true);
    const double mV = 0.5 * 497.0, Pa = mV / 12.5;
    const struct {
        edBModi unit;
        const Tsamplemem* s;
        double expected, tol;
    } cases[] = {{dbMode_dBV, &db, 20 * std::log10(mV / 1000), 0.001},
                 {dbMode_dBu, &db, 20 * std::log10(mV / 775), 0.001},
                 {dbMode_dBSPL, &db, 20 * std::log10(Pa / 2e-5), 0.001},
                 {dBMode_dB, &db, 20 * std::log10(mV / 1000) - 3, 0.001},
                 {dbMode_milliVolt, &lin, mV, mV * 1.2e-4},
                 {dbMode_Pa, &lin, Pa, Pa * 1.2e-4}};
    for (const auto& c : cases) {
        setUnit(c.unit, n);
        EXPECT_NEAR(BandLevel(c.s, ana, fft, true, 0, nullptr, c.unit), c.expected, c.tol)
            << int(c.unit);
    }
    setUnit(dbMode_dBV, n); // the right channel adds its preamp gain; uncalibrated is raw
    const double left = BandLevel(&db, ana, fft, true, 0, nullptr, dbMode_dBV);
    EXPECT_NEAR(BandLevel(&db, ana, fft, true, 1, nullptr, dbMode_dBV) - left, 6.0, 1e-9);
    EXPECT_NEAR(left - BandLevel(&db, ana, fft, false, 0, nullptr, dbMode_dBV), fft.CorLOffsL,
                1e-9);
}

TEST_F(BandLevelTest, WeightingBandLimitsAndMissingValues) {
    setUnit(dBMode_dbFS, 4096);
    fft.FFTwin = 2;
    const Tsamplemem s = sineSpectrum(2, 4096, 100, 1.0); // 1171.875 Hz
    Tcorri minus6;
    const double pts[] = {10.0, -6.0, 24000.0, -6.0};
    minus6.makecCorrArr(pts, 2); // applied with direction -1: added
    EXPECT_NEAR(BandLevel(&s, ana, fft, true, 0, &minus6, dBMode_dbFS), -6.0, 0.001);
    minus6.setaktiv(false);
    EXPECT_NEAR(BandLevel(&s, ana, fft, true, 0, &minus6, dBMode_dbFS), 0.0, 0.001);

    ana.lfvon = 2000;
    EXPECT_LT(BandLevel(&s, ana, fft, true, 0, nullptr, dBMode_dbFS), -60.0);
    ana.lfvon = 20;
    Tsamplemem holes(s);
    holes.setsmAr(10, 0.0); // exactly 0 dB marks a bin without a value
    EXPECT_NEAR(BandLevel(&holes, ana, fft, true, 0, nullptr, dBMode_dbFS), 0.0, 0.001);

    Tsamplemem silent(2048);
    EXPECT_EQ(BandLevel(&silent, ana, fft, true, 0, nullptr, dBMode_dbFS), -192.0);
    EXPECT_EQ(BandLevel(&silent, ana, fft, true, 0, nullptr, dbMode_Pa), 0.0);
    EXPECT_EQ(BandLevel(nullptr, ana, fft, true, 0, nullptr, dbMode_Pa), -192.0);
}

TEST_F(BandLevelTest, SoneMapsTheLeftChannelThroughTheTable) {
    QTemporaryDir dir;
    soneFile = dir.filePath("sonecor.dpf");
    QFile f(soneFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0 0\n100 50\n200 100\n");
    f.close();
    cal.MicSens_mVpPaL = cal.MicSens_mVpPaR = 10.0;
    setUnit(dbMode_Sone, 4096);
    const Tsamplemem s = sineSpectrum(8, 4096, 100, 1.0);
    const double spl = BandLevel(&s, ana, fft, true, 1, nullptr, dbMode_Sone); // right: dB SPL
    EXPECT_NEAR(spl, 20 * std::log10(49.7 / 2e-5), 0.001);
    EXPECT_NEAR(BandLevel(&s, ana, fft, true, 0, nullptr, dbMode_Sone), spl / 2, 0.001);

    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0 0\nnot a number\n");
    f.close();
    setUnit(dbMode_Sone, 4096); // a table that fails to load reads 0 Sone
    EXPECT_EQ(BandLevel(&s, ana, fft, true, 0, nullptr, dbMode_Sone), 0.0);
}

} // namespace
