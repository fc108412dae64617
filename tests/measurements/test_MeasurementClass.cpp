// Measurement contract: base-class run state and remote reply, mode tables, creation, frame-rate gate, block notification.
#include "core/winMessage.h"
#include "measurements/MeasurementClass.h"
#include "measurements/TFrameGate.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A measurement that only counts what is asked of it.
class CountingMeas : public tMeasureObj {
public:
    int executes = 0;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double) override { return ++executes, mereOK; }
    eMeasRes Mstart(int32_t) override
    {
        setMeasRun(!getMeasRun());
        toMain(cbmShowAveCounter, 7);
        return mereOK;
    }
    double calcGoodFrameRate_ms() override { return 50.0; }
    eMeasRes SetCors(const Tcorri*, const Tcorri*, const Tcorri*) override { return mereOK; }
    eMeasRes SetChannels(int32_t, int32_t) override { return mereOK; }
};

// Receives window messages.
class MsgSink : public QObject {
public:
    QList<int> msgs; // numbers received, in order
    bool event(QEvent* e) override
    {
        if (e->type() != TMsgEvent::eventType()) return QObject::event(e);
        msgs << static_cast<TMsgEvent*>(e)->msg;
        return true;
    }
};

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_MeasurementClass";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return a ? *a : *QCoreApplication::instance();
}

} // namespace

TEST(tMeasureObj, InitAndDeInitManageTheWorkBufferAndStopTheRun)
{
    CountingMeas m;
    EXPECT_EQ(m.samples(), nullptr);
    ASSERT_EQ(m.Init(nullptr, nullptr, nullptr, nullptr, nullptr), mereOK);
    ASSERT_NE(m.samples(), nullptr);
    EXPECT_EQ(m.samples()->samples(), 1000);
    m.Mstart(1);
    EXPECT_TRUE(m.Measrun());
    EXPECT_EQ(m.DeInit(0), mereOK);
    EXPECT_FALSE(m.Measrun());
    EXPECT_EQ(m.samples(), nullptr);
}

TEST(tMeasureObj, RemoteReplyOnlyWhenARunningMeasurementStopsAfterARequest)
{
    CountingMeas m;
    m.Init(nullptr, nullptr, nullptr, nullptr, nullptr);
    m.SendRemoteMeasReady("x");
    m.setMeasRun(false); // not running: no reply, the request stays
    EXPECT_TRUE(MeasRemoteReply().isEmpty());
    EXPECT_TRUE(m.sendRemote());
    m.setMeasRun(true);
    m.setMeasRun(false);
    EXPECT_EQ(MeasRemoteReply(), "Mready");
    EXPECT_FALSE(m.sendRemote());
    m.setMeasRun(true); // any later change clears the reply
    m.setMeasRun(false);
    EXPECT_TRUE(MeasRemoteReply().isEmpty());
}

TEST(tMeasureObj, CallbackReachesTheMainWindowOnlyWhenSet)
{
    CountingMeas m;
    m.Mstart(1); // no callback: nothing happens, nothing breaks
    QList<std::pair<int32_t, intptr_t>> got;
    m.SetMeasCallback([&](int32_t c, intptr_t p) { got.append({c, p}); });
    m.Mstart(1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].first, cbmShowAveCounter);
    EXPECT_EQ(got[0].second, 7);
}

TEST(MeasModes, TopicsAgreeWithTheAnalysisSettingsSections)
{
    for (int m = 0; m < kMeasModeCount; ++m) {
        EXPECT_EQ(MeasModeInfo(m).mode, m);
        EXPECT_EQ(QString(MeasModeInfo(m).topic), MeasuringModeTopic(m)) << m;
    }
    EXPECT_EQ(MeasModeInfo(14).mode, 0);
    EXPECT_EQ(MeasModeInfo(-1).mode, 0);
}

TEST(MeasModes, StoredModeOutsideOneToElevenStartsInMode1)
{
    for (int stored : {0, 12, 13, -1, 99}) EXPECT_EQ(StartModeFromStored(stored), 1) << stored;
    for (int stored = 1; stored <= 11; ++stored) EXPECT_EQ(StartModeFromStored(stored), stored);
}

TEST(MeasModes, WiringHelpTopics)
{
    const int expect[14] = {0, 2000, 2010, 2020, 2030, 2040, 2050, 2060, 2070, 2080, 2090, 2100, 2000, 2110};
    for (int m = 0; m < 14; ++m) EXPECT_EQ(WiringHelpTopic(m), expect[m]) << m;
    EXPECT_EQ(WiringHelpTopic(14), 2);
    EXPECT_EQ(WiringHelpTopic(-3), 2);
}

TEST(MeasModes, ControlsPerMode)
{
    for (int m = 1; m <= 11; ++m) EXPECT_EQ(ModeControls(m, false).pressedButton, m);
    EXPECT_EQ(ModeControls(12, false).pressedButton, 1);
    EXPECT_EQ(ModeControls(0, false).pressedButton, 0);
    EXPECT_EQ(ModeControls(13, false).pressedButton, 0);
    // The three displays next to the output volume never show together.
    for (int m = 0; m < 14; ++m)
        for (bool ext : {false, true}) {
            const TModeControls c = ModeControls(m, ext);
            EXPECT_EQ(int(c.soundOut) + int(c.sweepDisplay) + int(c.levelTrigger), 1) << m << ext;
        }
    EXPECT_TRUE(ModeControls(4, false).soundOut);
    EXPECT_FALSE(ModeControls(4, true).soundOut);
    EXPECT_TRUE(ModeControls(4, true).levelTrigger);
    EXPECT_TRUE(ModeControls(11, false).levelTrigger);
    EXPECT_TRUE(ModeControls(9, true).soundOut);
    for (int m : {1, 4, 12}) EXPECT_TRUE(ModeControls(m, false).average) << m;
    for (int m : {2, 3, 5, 9, 11}) EXPECT_FALSE(ModeControls(m, false).average) << m;
    EXPECT_FALSE(ModeControls(11, false).analyzeMenus);
    EXPECT_FALSE(ModeControls(0, false).analyzeMenus);
    EXPECT_TRUE(ModeControls(12, false).analyzeMenus);
    EXPECT_FALSE(ModeControls(2, false).freqTextExport);
}

TEST(MeasModes, OnlyRegisteredClassesCreateMeasurements)
{
    EXPECT_EQ(CreateMeasurement(1), nullptr);
    std::vector<eSampleMode> made;
    RegisterMeasurement(mcFFT2D, [&](const TMeasModeInfo& info) {
        made.push_back(info.diaMode);
        return std::make_unique<CountingMeas>();
    });
    EXPECT_NE(CreateMeasurement(1), nullptr);
    EXPECT_NE(CreateMeasurement(12), nullptr);
    EXPECT_NE(CreateMeasurement(2), nullptr);
    EXPECT_EQ(CreateMeasurement(3), nullptr);
    EXPECT_EQ(CreateMeasurement(0), nullptr);
    EXPECT_EQ(made, (std::vector<eSampleMode>{Sample_2D, Sample_2D, Sample_3D}));
    RegisterMeasurement(mcFFT2D, {});
    EXPECT_EQ(CreateMeasurement(1), nullptr);
}

TEST(TFrameGate, DropsBlocksFasterThanTheFramePeriodAndNeverQueuesThem)
{
    double now = 0.0;
    TFrameGate gate([&] { return now; });
    now = 100.0;
    EXPECT_TRUE(gate.admit(50.0));
    now = 105.0; // 5 ms later
    EXPECT_FALSE(gate.admit(50.0));
    now = 149.9;
    EXPECT_FALSE(gate.admit(50.0));
    now = 150.0; // exactly one period after the last block let through
    EXPECT_TRUE(gate.admit(50.0));
    EXPECT_EQ(gate.passed(), 2);
    EXPECT_EQ(gate.dropped(), 2);
    now = 400.0; // many periods of silence give one block, not a backlog
    EXPECT_TRUE(gate.admit(50.0));
    EXPECT_FALSE(gate.admit(50.0));
    gate.restart();
    now = 420.0;
    EXPECT_FALSE(gate.admit(50.0)); // a restart counts as a dispatch
    EXPECT_TRUE(gate.admit(0.0));   // no frame period lets every block through
    EXPECT_TRUE(gate.admit(-1.0));
}

TEST(TFrameGate, SteadyClockMeasuresMilliseconds)
{
    TFrameGate gate;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(gate.elapsed_ms(), 19.0); // sleep lasts at least as long, 1 ms clock granularity
    EXPECT_LT(gate.elapsed_ms(), 5000.0);
}

TEST(NewSampDat, EveryBlockReachesTheMainWindowOnItsOwnThreadWhileItTakesMessages)
{
    app();
    MsgSink sink;
    SetMainMsgReceiver(&sink);
    SetMainClosing(true);
    std::thread([] { NewSampDat(); }).join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(sink.msgs.isEmpty());
    SetMainClosing(false);
    // The module calls what was registered, from its own thread, three blocks in a row.
    const SDMethod& cb = NewBlockMethod();
    std::thread([&cb] {
        for (int i = 0; i < 3; ++i)
            cb.code(cb.context);
    }).join();
    EXPECT_TRUE(sink.msgs.isEmpty()) << "the module's thread only announces";
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.msgs, QList<int>({MSG_NEW_BLOCK, MSG_NEW_BLOCK, MSG_NEW_BLOCK}));
    SetMainMsgReceiver(nullptr);
    NewSampDat();
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.msgs.size(), 3);
    SetMainClosing(true);
}
