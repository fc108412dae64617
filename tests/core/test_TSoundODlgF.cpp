// Generator dialog: mode items and capabilities, controls per mode, field and arrow rules,
// "Reset", the rebuild message, the modal Apply loop, and the main window's generator on the
// virtual bench (settings at start and close, the editor, the output "Setup" button).
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/TGenerator.h"
#include "core/soundDLLImpDyn.h"
#include "app/ui/TMainForm.h"
#include "core/ui/TOutFilterSelDlg.h"
#include "core/ui/TSoundODlgF.h"
#include "core/ui/TUpDown.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace vlgen;

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts; // "title|text" of every message, in order
    int show(const vl::Message& m) override
    {
        texts << m.title + "|" + m.text;
        return m.defaultButton;
    }
};

const QString kImpulseWarning = "Warning|impulse length greater than rep. time";
const QString kRepeatWarning = "Warning|repeat time is less than impulse length";

TwaveGO record(int mode, int rate = 48000)
{
    TwaveGO go{};
    setMode(go, mode);
    go.wfs.Wf.nSamplesPerSec = uint32_t(rate);
    setFrequency(go, 1000.0);
    setLevel(go, -10.0);
    setSecondFrequency(go, 2000.0);
    go.OShotsamples = 1;
    go.MLSsize = 12;
    go.AnzWave = 10;
    go.repTime_ms = 1000;
    return go;
}

class GeneratorDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TSoundODlgF";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
        QLocale::setDefault(QLocale::c());
    }
    void SetUp() override { vl::setMessageService(&messages); }
    void TearDown() override { vl::setMessageService(nullptr); }

    TSoundOModel model(int mode, int32_t caps = capSynthesis | capSoundFile | capOutFilterWithFile)
    {
        TSoundOModel m;
        m.setRecord(record(mode));
        m.setCapabilities(caps);
        return m;
    }

    Recorder messages;
};

} // namespace

// ---- model --------------------------------------------------------------------------------------

TEST_F(GeneratorDialogTest, RadioItemsAndModes)
{
    const int modes[] = {0, 1, 8, 2, 3, 7, 5, 6, 10, 11, 12};
    for (int item = 0; item < TSoundOModel::kItems; ++item) {
        EXPECT_EQ(TSoundOModel::itemToMode(item), modes[item]) << item;
        EXPECT_EQ(TSoundOModel::modeToItem(modes[item]), item) << item;
    }
    EXPECT_EQ(TSoundOModel::modeToItem(4), -1);
    EXPECT_EQ(TSoundOModel::modeToItem(9), -1);
    EXPECT_EQ(TSoundOModel::modeToItem(40), -1);
    EXPECT_EQ(TSoundOModel::itemCaption(8), "Dual Sine ");
    EXPECT_EQ(TSoundOModel::itemCaption(10), "Wave Synthesis");
}

TEST_F(GeneratorDialogTest, UnsupportedModesFallBackToSineWithInformation)
{
    TSoundOModel m = model(gmDirac, 0);
    m.chooseItem(9);
    EXPECT_EQ(m.record().modeL, gmSine);
    EXPECT_EQ(m.record().modeR, gmSine);
    m.chooseItem(10);
    EXPECT_EQ(m.record().modeL, gmSine);
    EXPECT_EQ(messages.texts, QStringList({"Information|The act. soundDLL doesn't support sound files output",
                                           "Information|The act. soundDLL doesn't support wave synthesis"}));
    messages.texts.clear();
    TSoundOModel s = model(gmSine, capSoundFile | capSynthesis);
    s.chooseItem(9);
    EXPECT_EQ(s.record().modeR, gmSoundFile);
    s.chooseItem(10);
    EXPECT_EQ(s.record().modeL, gmSynthesis);
    s.chooseItem(2);
    EXPECT_EQ(s.record().modeL, gmTriangle);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(GeneratorDialogTest, ControlsPerMode)
{
    TSoundOView v = model(gmSine).view();
    EXPECT_TRUE(v.levelVisible && v.freqVisible);
    EXPECT_FALSE(v.secondVisible || v.thirdVisible || v.contiVisible || v.dualVisible);
    EXPECT_EQ(v.freqText, "1000.0000");

    TSoundOModel d = model(gmDirac);
    d.record().OShotsamples = 2;
    v = d.view();
    EXPECT_FALSE(v.freqVisible);
    EXPECT_EQ(v.secondCaption, "width (samples)");
    EXPECT_EQ(v.infoCaption, "DIRAC width");
    // 2 samples at 48 kHz = 41.6667 us; fg = 500000 / 41.6667 = 12000.0 Hz
    EXPECT_EQ(v.infoText, "41.6667us   fg: 12000.0Hz -3dB");
    EXPECT_TRUE(v.contiVisible && v.thirdVisible);
    EXPECT_EQ(v.thirdCaption, "repeat time (ms)");

    TSoundOModel mls = model(gmMLS);
    mls.record().MLSsize = 13;
    v = mls.view();
    EXPECT_TRUE(v.secondReadOnly);
    EXPECT_EQ(v.secondText, "12");
    EXPECT_EQ(v.infoText, "85.31"); // (2^12 - 1) * 1000 / 48000 = 85.3125 ms
    mls.rebuild();
    EXPECT_EQ(mls.record().MLSsize, 12) << "13 is stored as 12";

    v = model(gmBurst).view();
    EXPECT_TRUE(v.freqVisible && v.secondVisible && v.contiVisible);
    EXPECT_EQ(v.secondCaption, "waves");

    TSoundOModel dual = model(gmDualSine);
    dual.record().dualTfunc = 7;
    v = dual.view();
    EXPECT_TRUE(v.dualVisible);
    EXPECT_EQ(v.dualFunc, 0) << "other values show Add";
    EXPECT_EQ(v.secondCaption, "Second frequency");
    EXPECT_EQ(v.thirdCaption, "Second dig.Level (dbFS)");

    TSoundOModel file = model(gmSoundFile, capSoundFile);
    v = file.view();
    EXPECT_FALSE(v.levelVisible || v.freqVisible || v.secondVisible);
    EXPECT_TRUE(v.openFileVisible && v.openFileEnabled);
    EXPECT_FALSE(v.outFilterEnabled);
    file.setCapabilities(capSoundFile | capOutFilterWithFile);
    EXPECT_TRUE(file.view().outFilterEnabled);

    TSoundOModel syn = model(gmSynthesis, 0);
    v = syn.view();
    EXPECT_TRUE(v.synthesisVisible && v.levelVisible);
    EXPECT_FALSE(v.synthesisEnabled || v.freqVisible);
    EXPECT_EQ(model(gmUserWave).view().radioItem, -1);
}

TEST_F(GeneratorDialogTest, RebuildWarnsWhenTheImpulseOutlastsTheRepeatTime)
{
    TSoundOModel m = model(gmMLS);
    m.record().MLSsize = 16;  // 1365.3 ms at 48 kHz
    m.record().repTime_ms = 1000;
    m.rebuild();
    m.rebuild();
    EXPECT_EQ(messages.texts, QStringList({kImpulseWarning, kImpulseWarning})) << "on each rebuild";
    messages.texts.clear();
    m.setImpulseMeasurement(true);
    m.rebuild();
    m.record().repTime_ms = 2000;
    m.setImpulseMeasurement(false);
    m.rebuild();
    TSoundOModel sine = model(gmSine);
    sine.record().repTime_ms = 1;
    sine.rebuild();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
}

TEST_F(GeneratorDialogTest, LevelAndFrequencyFields)
{
    TSoundOModel m = model(gmSine);
    m.levelLeft("-3.5");
    EXPECT_EQ(m.record().voldB_L, -3.5);
    EXPECT_EQ(m.record().voldB_R, -3.5);
    m.levelLeft("loud");
    EXPECT_EQ(m.record().voldB_R, -3.5) << "unreadable text changes nothing";
    m.levelLeft("12");
    EXPECT_EQ(m.record().voldB_R, 0.0);
    m.levelStep(+1);
    EXPECT_EQ(m.record().voldB_R, 0.0) << "the arrows stay at 0 dBFS";
    m.levelStep(-1);
    EXPECT_NEAR(m.record().voldB_L, -0.1, 1e-12);
    m.levelLeft("-500");
    EXPECT_EQ(m.record().voldB_L, -192.0);
    m.levelStep(-1);
    EXPECT_EQ(m.record().voldB_L, -192.0) << "and at -192";
    for (int i = 0; i < 30; ++i) m.levelStep(+1);
    EXPECT_NEAR(m.record().voldB_L, -189.0, 1e-9) << "30 steps of 0.1 dB";
    m.levelLeft("-3.25");
    m.levelStep(+1);
    EXPECT_NEAR(m.record().voldB_R, -3.15, 1e-9) << "a step keeps a typed value off the 0.1 grid";

    m.freqLeft("96000");
    EXPECT_EQ(m.record().GenFreqL, 96000.0) << "the dialog sets any positive frequency";
    m.freqStep(+1);
    EXPECT_EQ(m.record().GenFreqR, 96001.0);
    m.freqLeft("0");
    m.freqLeft("-5");
    EXPECT_EQ(m.record().GenFreqR, 96001.0);
}

TEST_F(GeneratorDialogTest, SecondAndThirdFieldsPerMode)
{
    TSoundOModel d = model(gmDirac);
    d.secondLeft("3.4");
    EXPECT_EQ(d.record().OShotsamples, 3);
    d.secondLeft("0");
    EXPECT_EQ(d.record().OShotsamples, 3);
    d.record().OShotsamples = 400;
    d.secondStep(+1);
    EXPECT_EQ(d.record().OShotsamples, 400);
    d.record().OShotsamples = 1;
    d.secondStep(-1);
    EXPECT_EQ(d.record().OShotsamples, 1);

    TSoundOModel mls = model(gmMLS);
    mls.secondLeft("13");
    EXPECT_EQ(mls.record().MLSsize, 12);
    mls.secondLeft("15");
    EXPECT_EQ(mls.record().MLSsize, 15);
    mls.record().MLSsize = 12;
    mls.secondStep(+1);
    EXPECT_EQ(mls.record().MLSsize, 14);
    mls.secondStep(-1);
    EXPECT_EQ(mls.record().MLSsize, 12);

    TSoundOModel b = model(gmBurst);
    b.record().AnzWave = 100;
    b.secondStep(+1);
    EXPECT_EQ(b.record().AnzWave, 100);
    b.secondLeft("250");
    EXPECT_EQ(b.record().AnzWave, 250) << "typing has no upper limit";

    TSoundOModel dual = model(gmDualSine);
    dual.secondLeft("123.5");
    EXPECT_EQ(dual.record().secfreqL, 123.5);
    dual.record().secfreqR = dual.record().secfreqL = 1.0;
    dual.secondStep(-1);
    EXPECT_EQ(dual.record().secfreqR, 1.0);
    dual.thirdLeft("-12");
    EXPECT_EQ(dual.record().secvoldB_L, -12.0);
    EXPECT_EQ(dual.record().secvoldB_R, -12.0);
    dual.thirdStep(+1);
    EXPECT_EQ(dual.record().secvoldB_R, -11.0);

    // Repeat time: rounded; a value shorter than the impulse warns at once.
    TSoundOModel m = model(gmMLS); // 85.3 ms
    m.thirdLeft("80.4");
    EXPECT_EQ(m.record().repTime_ms, 80);
    EXPECT_EQ(messages.texts, QStringList({kRepeatWarning}));
    m.thirdLeft("0");
    EXPECT_EQ(m.record().repTime_ms, 80) << "at least 1 ms";
    m.record().repTime_ms = 1;
    m.thirdStep(-1);
    EXPECT_EQ(m.record().repTime_ms, 1);

    TSoundOModel s = model(gmSine);
    s.secondLeft("99");
    s.thirdLeft("5");
    EXPECT_EQ(s.record().repTime_ms, 5);
    EXPECT_EQ(s.record().OShotsamples, 1);
    EXPECT_EQ(messages.texts.size(), 1) << "no impulse, no warning";
}

TEST_F(GeneratorDialogTest, ResetPerMode)
{
    TSoundOModel dual = model(gmDualSine);
    dual.record().dualTfunc = 2;
    dual.reset();
    const TwaveGO& g = dual.record();
    EXPECT_EQ(QList<double>({g.GenFreqL, g.GenFreqR, g.voldB_L, g.voldB_R, g.secfreqL, g.secfreqR, g.secvoldB_L, g.secvoldB_R}),
              QList<double>({7000, 7000, -15, -15, 60, 60, -3, -3}));
    EXPECT_EQ(g.dualTfunc, 0);

    struct Want {
        int mode;
        double freq, level;
        int width, order, waves, repeat, conti;
    };
    const Want wants[] = {
        {gmSine, 440, 0, 1, 12, 10, 1000, 0},      {gmSquare, 1000, -3, 1, 12, 10, 1000, 0},
        {gmTriangle, 1000, -3, 1, 12, 10, 1000, 0}, {gmWhiteNoise, 1000, -6, 1, 12, 10, 1000, 0},
        {gmPinkNoise, 1000, 0, 1, 12, 10, 1000, 0}, {gmDirac, 1000, -9, 1, 12, 10, 100, 1},
        {gmMLS, 1000, -9, 1, 12, 10, 1000, 1},      {gmBurst, 1000, -3, 1, 12, 10, 100, 1},
        {gmRaw, 1234, -10, 5, 15, 3, 777, 0},
    };
    for (const Want& w : wants) {
        TSoundOModel m = model(w.mode);
        TwaveGO& r = m.record();
        setFrequency(r, 1234);
        r.OShotsamples = 5;
        r.MLSsize = 15;
        r.AnzWave = 3;
        r.repTime_ms = 777;
        m.reset();
        const double freq = (w.mode == gmSine || w.mode == gmSquare || w.mode == gmTriangle || w.mode == gmBurst) ? w.freq : 1234;
        EXPECT_EQ(r.GenFreqR, freq) << w.mode;
        EXPECT_EQ(r.voldB_L, w.level) << w.mode;
        const bool imp = w.mode == gmDirac || w.mode == gmMLS || w.mode == gmBurst;
        EXPECT_EQ(r.OShotsamples, w.mode == gmDirac ? 1 : 5) << w.mode;
        EXPECT_EQ(r.MLSsize, w.mode == gmMLS ? 12 : 15) << w.mode;
        EXPECT_EQ(r.AnzWave, w.mode == gmBurst ? 10 : 3) << w.mode;
        EXPECT_EQ(r.repTime_ms, imp ? w.repeat : 777) << w.mode;
        EXPECT_EQ(r.Conti, w.conti) << w.mode;
    }
}

// ---- the dialog ---------------------------------------------------------------------------------

namespace {

// The rebuild message, then the layout requests it caused.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QRadioButton* item(TSoundODlgF& dlg, int i) { return static_cast<QRadioButton*>(dlg.m_modeGroup->button(i)); }

void leaveWith(QLineEdit* e, const QString& text)
{
    e->setText(text);
    emit e->editingFinished();
    settle();
}

} // namespace

TEST_F(GeneratorDialogTest, DialogFollowsTheRecordOnlyOnTheFirstRebuild)
{
    TSoundODlgF dlg;
    EXPECT_EQ(dlg.windowTitle(), "Sound Out Values");
    dlg.model().setRecord(record(gmDirac));
    dlg.model().setCapabilities(capSoundFile | capSynthesis);
    dlg.show();
    settle();
    EXPECT_TRUE(item(dlg, 6)->isChecked());
    EXPECT_TRUE(dlg.EdSecond->isVisible());
    EXPECT_EQ(dlg.LaSecond->text(), "width (samples)");
    EXPECT_FALSE(dlg.EdFreq->isVisible());

    // A click changes the mode; the rebuilds after it leave the radio where the user put it.
    item(dlg, 8)->click();
    settle();
    EXPECT_EQ(dlg.model().record().modeL, gmDualSine);
    EXPECT_TRUE(item(dlg, 8)->isChecked());
    EXPECT_TRUE(dlg.GBDual->isVisible());
    dlg.model().record().modeL = gmSine; // the record moves without a click
    dlg.rebuildNow();
    EXPECT_TRUE(item(dlg, 8)->isChecked()) << "only the first rebuild after showing moves the radio";
    dlg.hide();
    dlg.show();
    settle();
    EXPECT_TRUE(item(dlg, 0)->isChecked());
    dlg.hide();
}

TEST_F(GeneratorDialogTest, DialogFieldsArrowsAndFallback)
{
    TSoundODlgF dlg;
    dlg.model().setRecord(record(gmBurst));
    dlg.show();
    settle();
    leaveWith(dlg.EdFreq, "250");
    EXPECT_EQ(dlg.model().record().GenFreqL, 250.0);
    leaveWith(dlg.EdSecond, "4");
    EXPECT_EQ(dlg.model().record().AnzWave, 4);
    EXPECT_EQ(dlg.EdSecond->text(), "4");
    leaveWith(dlg.EdLevel, "xyz");
    EXPECT_EQ(dlg.EdLevel->text(), "-10.00") << "unreadable text: the rebuild shows the old value";
    dlg.UDLevel->upButton()->click();
    settle();
    EXPECT_EQ(dlg.EdLevel->text(), "-9.90");
    dlg.CBConti->click();
    settle();
    EXPECT_EQ(dlg.model().record().Conti, 1);
    // 4 waves of 250 Hz last 16 ms: a 10 ms repeat time warns when left and on the rebuild.
    leaveWith(dlg.EdThird, "10");
    EXPECT_EQ(messages.texts, QStringList({kRepeatWarning, kImpulseWarning}));
    messages.texts.clear();

    item(dlg, 9)->click(); // no sound file support
    settle();
    EXPECT_TRUE(item(dlg, 0)->isChecked()) << "the radio shows the sine the record fell back to";
    EXPECT_EQ(dlg.model().record().modeL, gmSine);
    EXPECT_EQ(messages.texts.first(), "Information|The act. soundDLL doesn't support sound files output");

    item(dlg, 8)->click();
    settle();
    dlg.ButReset->click();
    settle();
    EXPECT_EQ(dlg.EdFreq->text(), "7000.0000");
    EXPECT_EQ(dlg.EdLevel->text(), "-15.00");
    EXPECT_EQ(dlg.EdSecond->text(), "60.0000");
    EXPECT_EQ(dlg.EdThird->text(), "-3.00");
    EXPECT_TRUE(dlg.RBAdd->isChecked());
    dlg.RBLeRi->click();
    settle();
    EXPECT_EQ(dlg.model().record().dualTfunc, 2);
    dlg.hide();
}

TEST_F(GeneratorDialogTest, SoundFileSynthesisAndHelp)
{
    TSoundODlgF dlg;
    dlg.model().setRecord(record(gmSoundFile));
    dlg.model().setCapabilities(capSoundFile | capSynthesis);
    QString offered;
    dlg.setFileChooser([&](const QString& start) {
        offered = start;
        return QString::fromUtf8("/music/straße.wav");
    });
    setRecordText(dlg.model().record().ufname, "/old.wav");
    dlg.show();
    settle();
    EXPECT_FALSE(dlg.EdLevel->isVisible());
    EXPECT_TRUE(dlg.ButOpenFile->isVisible() && dlg.ButOpenFile->isEnabled());
    EXPECT_FALSE(dlg.ButOutFilter->isEnabled());
    dlg.ButOpenFile->click();
    settle();
    EXPECT_EQ(offered, "/old.wav");
    EXPECT_EQ(recordText(dlg.model().record().ufname), QString::fromUtf8("/music/straße.wav"));
    EXPECT_EQ(dlg.ButOpenFile->toolTip(), QString::fromUtf8("/music/straße.wav"));
    dlg.model().setSoundFile("/" + QString(2000, 'a') + ".wav");
    EXPECT_EQ(recordText(dlg.model().record().ufname), QString::fromUtf8("/music/straße.wav")) << "never cut";
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith("Error|The sound file name is too long"));
    messages.texts.clear();

    int help = 0;
    QObject::connect(&dlg, &TSoundODlgF::helpRequested, [&](int c) { help = c; });
    dlg.HelpBtn->click();
    EXPECT_EQ(help, 42);

    // Synthesis: the formula goes through the synthesis loop; its OK closes with Apply.
    item(dlg, 10)->click();
    settle();
    EXPECT_TRUE(dlg.ButSynthesis->isVisible() && dlg.ButSynthesis->isEnabled());
    dlg.setSynthesisRunner([](TWaf& w) {
        setRecordText(w.functionStr, "sin(f1)");
        return int(QDialog::Accepted);
    });
    dlg.ButSynthesis->click();
    EXPECT_EQ(dlg.result(), TSoundODlgF::kApplyResult);
    EXPECT_EQ(recordText(dlg.model().record().WaF.functionStr), "sin(f1)");
}

TEST_F(GeneratorDialogTest, ApplyLoopCopiesBackAndShowsAgain)
{
    TwaveGO target = record(gmSine);
    tFilterBlockSet filters;
    filters.outLeft.Delay_samps = 17;
    int refreshed = 0, shown = 0;
    TSoundOutSetup setup;
    setup.target = &target;
    setup.readStatus = [] { return int32_t(capSynthesis); };
    setup.impulseMeasurement = true;
    setup.filters = &filters;
    setup.afterCopy = [&] { ++refreshed; };
    const int r = runSoundOutDialog(setup, nullptr, [&](TSoundODlgF& dlg) {
        ++shown;
        EXPECT_EQ(dlg.dOutLeft.Delay_samps, 17);
        EXPECT_TRUE(dlg.model().impulseMeasurement());
        EXPECT_EQ(dlg.model().capabilities(), capSynthesis);
        if (shown == 1) {
            dlg.model().freqLeft("123");
            return int(TSoundODlgF::kApplyResult);
        }
        EXPECT_EQ(dlg.model().record().GenFreqR, 123.0) << "shown again with the applied record";
        dlg.model().levelLeft("-20");
        return shown == 2 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    EXPECT_EQ(r, QDialog::Accepted);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(refreshed, 2);
    EXPECT_EQ(target.GenFreqL, 123.0);
    EXPECT_EQ(target.voldB_R, -20.0);

    const int c = runSoundOutDialog(setup, nullptr, [](TSoundODlgF& dlg) {
        dlg.model().freqLeft("5");
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(c, QDialog::Rejected);
    EXPECT_EQ(target.GenFreqL, 123.0) << "Cancel keeps the module's record";
    EXPECT_EQ(refreshed, 2);

    setup.target = nullptr;
    bool ran = false;
    runSoundOutDialog(setup, nullptr, [&](TSoundODlgF&) { return ran = true, int(QDialog::Accepted); });
    EXPECT_FALSE(ran) << "no output record: nothing happens";
}

// ---- output filters -------------------------------------------------------------------------------

namespace {

// What reached the output path: the blocks of every publication.
struct PublishLog {
    int count = 0;
    tFilterBlock left, right; // last published
    TOutFilterSelect::Publisher publisher()
    {
        return [this](const tFilterBlock& l, const tFilterBlock& r) {
            ++count;
            left = l;
            right = r;
        };
    }
};

double gainAt(const tFilterBlock& b, int i, double hz) { return b.aEq[size_t(i)].Hz(hz, TSubject::Betrag); }

} // namespace

TEST_F(GeneratorDialogTest, FilterEditsPlayAtOnceAndCancelRestores)
{
    PublishLog log;
    tFilterBlock left, right;
    left.bypass = right.bypass = false;
    TOutFilterSelect m(left, right, true, log.publisher());
    m.setParam(0, TOutFilterSelect::fpType, iirPK);
    m.setParam(0, TOutFilterSelect::fpFreq, 1000);
    m.setParam(0, TOutFilterSelect::fpGain, 6);
    EXPECT_EQ(log.count, 3) << "every change is published";
    // A peak filter has its set gain at its centre: 10^(6/20) = 1.99526; tolerance 1e-6.
    EXPECT_NEAR(gainAt(log.left, 0, 1000), std::pow(10.0, 6.0 / 20), 1e-6);
    EXPECT_NEAR(gainAt(log.right, 0, 1000), std::pow(10.0, 6.0 / 20), 1e-6) << "linked: right plays the left block";
    m.setChannel(1);
    EXPECT_EQ(m.channel(), 0) << "a linked pair edits the left block";
    m.setLink(false);
    m.setChannel(1);
    m.setParam(1, TOutFilterSelect::fpType, iirTP);
    m.setParam(1, TOutFilterSelect::fpOrder, 4);
    EXPECT_EQ(log.right.aEq[1].Typ(), iirTP);
    EXPECT_EQ(log.right.aEq[1].Grad(), 4);
    EXPECT_EQ(log.right.aEq[0].Typ(), iirFlat) << "unlinked: the right block is its own";
    m.setParam(20, TOutFilterSelect::fpGain, 3);
    m.setParam(0, TOutFilterSelect::fpFreq, std::nan(""));
    EXPECT_EQ(log.count, 6) << "no filter 20, no NaN frequency";
    m.cancel();
    EXPECT_EQ(log.left.aEq[0].Typ(), iirFlat);
    EXPECT_EQ(log.right.aEq[1].Typ(), iirFlat);
}

TEST_F(GeneratorDialogTest, OutputFilterButtonEditsTheBlocksOfTheLoop)
{
    TwaveGO target = record(gmSine);
    tFilterBlockSet filters;
    filters.linkOutFromEQL = false;
    PublishLog log;
    TSoundOutSetup setup;
    setup.target = &target;
    setup.filters = &filters;
    setup.publishFilters = log.publisher();
    auto editFirstFilter = [&](int genResult) {
        return [&, genResult](TSoundODlgF& dlg) {
            dlg.setFilterDialogRunner([](TOutFilterSelDlg& f) {
                EXPECT_EQ(f.windowTitle(), "Output Filter select");
                f.RBRight->click();
                static_cast<QComboBox*>(f.Table->cellWidget(0, 0))->setCurrentIndex(iirHP);
                static_cast<QDoubleSpinBox*>(f.Table->cellWidget(0, 1))->setValue(80);
                return int(QDialog::Accepted);
            });
            dlg.ButOutFilter->click();
            EXPECT_TRUE(dlg.filtersEdited());
            return genResult;
        };
    };
    runSoundOutDialog(setup, nullptr, editFirstFilter(QDialog::Rejected));
    EXPECT_EQ(filters.outRight.aEq[0].Typ(), iirFlat) << "Cancel keeps the blocks";
    EXPECT_EQ(log.right.aEq[0].Typ(), iirFlat) << "and plays them again";
    const int during = log.count;
    runSoundOutDialog(setup, nullptr, editFirstFilter(QDialog::Accepted));
    EXPECT_EQ(filters.outRight.aEq[0].Typ(), iirHP);
    EXPECT_EQ(filters.outRight.aEq[0].Freq(), 80.0);
    EXPECT_EQ(filters.outLeft.aEq[0].Typ(), iirFlat);
    EXPECT_EQ(log.right.aEq[0].Typ(), iirHP);
    EXPECT_GT(log.count, during + 1);
}

// Pictures of the dialog in a few modes, for looking at; written when VELMORA_PICTURE_DIR is set.
TEST_F(GeneratorDialogTest, PicturesOfTheDialog)
{
    const QString dir = qEnvironmentVariable("VELMORA_PICTURE_DIR");
    for (auto [mode, name] : {std::pair{gmSine, "sine"}, {gmDirac, "dirac"}, {gmMLS, "mls"}, {gmDualSine, "dualsine"},
                              {gmSoundFile, "soundfile"}}) {
        TSoundODlgF dlg;
        dlg.model().setRecord(record(mode));
        setRecordText(dlg.model().record().ufname, "/home/user/Music/test tone 1kHz -6dBFS.wav");
        dlg.model().setCapabilities(capSoundFile | capSynthesis);
        dlg.model().setImpulseMeasurement(true);
        dlg.show();
        settle();
        const QPixmap p = dlg.grab();
        EXPECT_GE(p.width(), dlg.minimumSizeHint().width());
        EXPECT_LE(p.width(), 900) << name;
        if (!dir.isEmpty()) p.save(dir + "/soundodlg_" + name + ".png");
        dlg.hide();
    }
    tFilterBlock l, r;
    l.aEq[0].SetTyp(iirPK);
    l.aEq[1].SetTyp(iirHP);
    TOutFilterSelDlg f(l, r, false, {});
    f.show();
    settle();
    const QPixmap p = f.grab();
    EXPECT_LE(p.width(), 900);
    if (!dir.isEmpty()) p.save(dir + "/outfilterselect.png");
    EXPECT_TRUE(messages.texts.isEmpty());
}

// ---- the main window's generator on the virtual bench ---------------------------------------------

namespace {

class MainGeneratorTest : public GeneratorDialogTest {
protected:
    void SetUp() override
    {
        GeneratorDialogTest::SetUp();
        qputenv("VELMORA_HOME", home.path().toUtf8());
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
    }
    void writeIni(const QByteArray& text)
    {
        QFile f(home.filePath("velmora30.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir home;
};

} // namespace

TEST_F(MainGeneratorTest, SettingsReachTheModuleAtStartAndComeBackAtClose)
{
    writeIni("[OSOUND]\nModeL=5\nModeR=5\nOShotsamples=7\nrepTime=5\nGenFreqR=440\n[ISOUND]\nOneShotTime_samps=9000\n"
             "[MAIN]\nmeasuringmode=1\n");
    {
        TMainForm w(TMainForm::Options{});
        ASSERT_FALSE(w.startupFailed());
        TwaveGO* go = soundDLL().waveGO();
        ASSERT_TRUE(go);
        EXPECT_EQ(go->modeL, gmDirac);
        EXPECT_EQ(go->OShotsamples, 7);
        EXPECT_EQ(go->repTime_ms, 1000);
        EXPECT_EQ(soundDLL().waveGI()->OneShotTime_samps, 9000);
        w.ensureActivated();
        auto* edit = qobject_cast<QLineEdit*>(w.controlFor("spSoundPara"));
        auto* name = qobject_cast<QLabel*>(w.controlFor("LaWaveOut"));
        auto* unit = qobject_cast<QLabel*>(w.controlFor("LaWOunit"));
        ASSERT_TRUE(edit && name && unit);
        EXPECT_EQ(edit->text(), "7");
        EXPECT_EQ(name->text(), "dirac");
        EXPECT_EQ(unit->text(), "samples");
        edit->setText("100");
        EXPECT_EQ(go->OShotsamples, 40);
        EXPECT_EQ(edit->text(), "100") << "typing does not rewrite the text";
        w.soundParaStepped(+1);
        EXPECT_EQ(edit->text(), "41");
        const QString dir = qEnvironmentVariable("VELMORA_PICTURE_DIR");
        if (!dir.isEmpty()) {
            w.show();
            settle();
            w.grab().save(dir + "/mainform_generator.png");
        }

        // The output "Setup" button: the dialog's OK reaches the module's record and the editor.
        const int r = w.openGeneratorDialog([](TSoundODlgF& dlg) {
            dlg.model().chooseItem(7); // MLS
            return int(QDialog::Accepted);
        });
        EXPECT_EQ(r, QDialog::Accepted);
        EXPECT_EQ(go->modeL, gmMLS);
        EXPECT_EQ(go->modeR, gmMLS);
        EXPECT_EQ(name->text(), "MLS");
        EXPECT_EQ(edit->text(), "12");
        go->MLSsize = 15;
        w.close();
    }
    TMemIniFile back(home.filePath("velmora30.ini"));
    EXPECT_EQ(back.ReadInteger("OSOUND", "ModeL", -1), gmMLS);
    EXPECT_EQ(back.ReadInteger("OSOUND", "MLSsize", -1), 15);
    EXPECT_EQ(back.ReadInteger("OSOUND", "OShotsamples", -1), 41);
    EXPECT_EQ(back.ReadInteger("ISOUND", "OneShotTime_samps", -1), 9000);
    EXPECT_EQ(back.ReadInteger("ISOUND", "oSF", -1), 48000);
    EXPECT_TRUE(back.ValueExists("ISOUND", "iWDM"));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
}

// The shutdown save that cannot be written (file size limit) ends with the abort message.
TEST_F(MainGeneratorTest, FailedShutdownSaveAbortsWithMessage)
{
    const QByteArray old = "[Other]\nbig=" + QByteArray(20000, 'x') + "\n";
    writeIni(old);
    TMainForm w(TMainForm::Options{});
    rlimit lim{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &lim), 0);
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = lim;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = w.saveAllSettings();
    setrlimit(RLIMIT_FSIZE, &lim);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(w.abortRequested());
    const QString path = home.filePath("velmora30.ini");
    EXPECT_EQ(messages.texts, QStringList({"Error|Error writing Ini-File " + path + "\r\nAbort program"}));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old) << "the old file is untouched";
}

// A stored synthesis formula is checked by the synthesis dialog at start; a bad one is reported
// by that check and stays in the record as it was stored.
TEST_F(MainGeneratorTest, StoredSynthesisFormulaIsCheckedAtStart)
{
    writeIni("[OSOUND]\nModeL=12\nModeR=12\nWAFfuncstr=sin(f1)\nWAFvnamestr=f1\nWAFvaluestr=440\n");
    {
        TMainForm w(TMainForm::Options{});
        ASSERT_FALSE(w.startupFailed());
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('\n').toStdString();
        EXPECT_EQ(recordText(soundDLL().waveGO()->WaF.functionStr), "sin(f1)");
        w.close();
    }
    writeIni("[OSOUND]\nModeL=12\nModeR=12\nWAFfuncstr=sin(f1\nWAFvnamestr=f1\nWAFvaluestr=440\n");
    TMainForm w(TMainForm::Options{});
    ASSERT_FALSE(messages.texts.isEmpty());
    EXPECT_TRUE(messages.texts.first().startsWith("Error|")) << messages.texts.first().toStdString();
    EXPECT_EQ(recordText(soundDLL().waveGO()->WaF.functionStr), "sin(f1");
}
