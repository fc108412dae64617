// Closed loop of the 3D FFT on the virtual bench: a tone stepping its level mid-run lands in the
// waterfall's bands at its level and at its time.
#include "analysis/AnalysePara.h"
#include "base/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/T3Ddiagr.h"
#include "display/TGdata.h"
#include "measurements/tFFT2Dmeas.h"
#include "../support/measurementStandIns.h"
#include "../support/benchModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <vector>

namespace {

constexpr int kRate = 48000, kBlock = 1024, kN = 4096;
constexpr double kStepping_ms = 50.0;
constexpr double kBin = double(kRate) / kN;
constexpr int kToneBin = 86; // 1007.8 Hz, on a bin

// The tone's bin in the newest band, as the spectrum shows it (dB).
double toneLevel(const T3dBands& b) { return b.value(0, kToneBin); }

struct Band {
    double t_ms, level;
};

class Waterfall3D : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_fft3dWaterfall";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void SetUp() override
    {
        ASSERT_TRUE(startBenchModule(home, QString("[Device]\nSampleRate=%1\nBits=32\nPacing=fast\nBlockFrames=%2\n[Model]\nKind=wire\n")
                    .arg(kRate).arg(kBlock).toUtf8()));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        fft.SamplesFFT = kN;
        fft.FFTwin = 2;
        fft.fft3Dstepping_ms = kStepping_ms;
        TMemIniFile ini(home.filePath("velmora30.ini"));
        fft.SaveFFTtoIniL(ini, "fft3d");
        ana.SaveAnatoIniL(ini, "fft3d");
        ASSERT_TRUE(ini.UpdateFile());
        meas = std::make_unique<tFFT2Dmeas>(&host);
        meas->setDiaMode(Sample_3D);
        meas->setFrameResolution_ms(0);
        meas->setSettingsFile(home.filePath("velmora30.ini"));
        pump.meas = meas.get();
        ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        meas->SetChannels(2, 2);
        dia.setZbands(60);
        dia.setxSteps(kN / 2);
        dia.setReferenceEachBand(true);
        host.onDraw = [this](TGdata& g) {
            ASSERT_EQ(g.AnaFFT->DiagramForm, Sample_3D);
            dia.pushSpectrum(std::span<const double>(g.asdDia[0].smpoi(), size_t(g.asdDia[0].samples())),
                             g.timestamp * 1000.0, g.AnaFFT->SamplesFFT, g.sfi);
            bands.push_back({g.timestamp * 1000.0, toneLevel(dia.bands())});
        };
    }
    void TearDown() override
    {
        if (meas)
            meas->DeInit(0);
        pump.meas = nullptr;
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    void tone(double dBFS)
    {
        TwaveGO* go = soundDLL().waveGO();
        go->GenFreqL = go->GenFreqR = kToneBin * kBin;
        go->voldB_L = go->voldB_R = dBFS;
        go->modeL = go->modeR = 0;
        go->genOnL = go->genOnR = 1;
        soundDLL().SDStartSoundOut(1);
    }
    bool runUntilBands(size_t n)
    {
        QElapsedTimer t;
        t.start();
        while (bands.size() < n && t.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return bands.size() >= n;
    }

    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tFFT2Dmeas> meas;
    T3Ddiagr dia;
    std::vector<Band> bands;
};

TEST_F(Waterfall3D, aLevelStepLandsInTheBandsAtItsLevelAndTime)
{
    tone(-20.0);
    meas->Mstart(1);
    ASSERT_TRUE(runUntilBands(12));
    const double step_ms = soundDLL().SDGetFuturePara(1) * 1000.0 / kRate; // the change comes after this
    const size_t before = bands.size();
    tone(-10.0);
    ASSERT_TRUE(runUntilBands(before + 12));
    meas->Mstart(1);
    // Every band is one stepping interval or more after the last, stamped with recorded time.
    for (size_t i = 1; i < bands.size(); ++i)
        EXPECT_GE(bands[i].t_ms - bands[i - 1].t_ms, kStepping_ms - 1e-6) << i;
    // Levels: the settled bands on either side of the step read what a single spectrum of the
    // tone reads (the spectrum's own level, window 2), and the step is the 10 dB played
    // (goal +-0.1 dB).
    const double old = bands[2].level;
    EXPECT_NEAR(old, -20.0, 0.6); // the bin of a -20 dBFS tone, as the 2D diagram shows it
    for (size_t i = 2; i + 1 < before; ++i)
        EXPECT_NEAR(bands[i].level, old, 0.1) << "band " << i << " at " << bands[i].t_ms;
    for (size_t i = before + 4; i < bands.size(); ++i)
        EXPECT_NEAR(bands[i].level, old + 10.0, 0.1) << "band " << i << " at " << bands[i].t_ms;
    // Time: a band holds the kN samples before its stamp, so the new level is whole from the step
    // plus one window on; the first band reading it is due within one stepping interval of that.
    size_t first = before;
    while (first < bands.size() && std::fabs(bands[first].level - old - 10.0) > 0.1)
        ++first;
    ASSERT_LT(first, bands.size());
    const double due_ms = step_ms + kN * 1000.0 / kRate;
    std::printf("[table] level before %.3f after %.3f dB; step at %.1f ms, first new band %.1f ms, due %.1f ms\n",
                bands[before - 1].level, bands.back().level, step_ms, bands[first].t_ms, due_ms);
    EXPECT_NEAR(bands[first].t_ms, due_ms, kStepping_ms);
    // The waterfall's time range ends at the newest band and holds the bands kept.
    EXPECT_DOUBLE_EQ(dia.Zmax(), bands.back().t_ms);
    EXPECT_LT(dia.Zmin(), dia.Zmax());
}

} // namespace
