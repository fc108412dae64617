// Tests of the filter editor and the biquad list: the section budget, when the owner hears of an
// edit, edits reaching a running output path, and the list's grid and coefficient file.
#include "analysis/TOutputFilterPath.h"
#include "analysis/ui/TshowBiQuadF.h"
#include "base/vlMessages.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/TFilterForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts;
    int show(const vl::Message& m) override {
        texts << m.text;
        return m.defaultButton;
    }
};

// Pictures for the reader of a test run: written when VELMORA_TEST_PICTURES names a folder.
void keepPicture(QWidget& w, const char* name) {
    const QString dir = qEnvironmentVariable("VELMORA_TEST_PICTURES");
    if (dir.isEmpty()) return;
    w.show();
    QApplication::processEvents();
    w.grab().save(dir + "/" + name, "PNG");
}

class FilterForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_TFilterForm";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override { vl::setMessageService(&msgs); }
    void TearDown() override { vl::setMessageService(nullptr); }

    // Selects filter i of side s and gives it a type and order through the controls.
    static void setFilter(TFilterForm& f, int s, int i, int typ, int order) {
        f.side(s).LBFilter->setCurrentRow(i);
        f.side(s).CBTyp->setCurrentIndex(typ);
        f.side(s).CBOrder->setCurrentIndex(TFilterFormModel::indexFromOrder(typ, order));
    }

    Recorder msgs;
    tFilterBlock left, right;
};

// A sine through a path in blocks, as the sound module's thread runs it.
struct Player {
    TOutputFilterPath& path;
    double phase = 0;
    std::vector<double> out;
    void block(int n) {
        for (int k = 0; k < n; ++k, phase += 2 * std::numbers::pi * 1000.0 / 48000.0) {
            double l = 0.25 * std::sin(phase), r = l;
            path.process(&l, &r);
            out.push_back(l);
        }
    }
};

// Largest step between neighbouring samples of v[from, to).
double largestStep(const std::vector<double>& v, size_t from, size_t to) {
    double m = 0;
    for (size_t k = std::max<size_t>(from, 1); k < to; ++k)
        m = std::max(m, std::fabs(v[k] - v[k - 1]));
    return m;
}

// The filter block from rest, fed the player's sine from sample `start` on: its own start-up.
double ownStartStep(tFilterBlock b, size_t start, size_t n) {
    b.ClearData();
    std::vector<double> y;
    for (size_t k = start; k < start + n; ++k)
        y.push_back(
            b.newCycle(0.25 * std::sin(2 * std::numbers::pi * 1000.0 / 48000.0 * double(k))));
    return largestStep(y, 0, y.size());
}

} // namespace

TEST_F(FilterForm, OrderBeyondTheSectionBudgetIsRefused) {
    TFilterForm f("Time Domain Input-Filter select", left, right, false, 48000);
    EXPECT_EQ(f.side(0).LaUsed->text(), "Used Biquads: 0"); // 20 Flat filters use none
    for (int i = 0; i < 3; ++i)
        setFilter(f, 0, i, iirTP, 12); // 18 sections
    setFilter(f, 0, 3, iirAP, 1);      // an order-1 all-pass: one more
    EXPECT_EQ(f.side(0).LaUsed->text(), "Used Biquads: 19");
    setFilter(f, 0, 4, iirHP, 4); // 21: refused, the order stays 2
    EXPECT_EQ(msgs.texts, QStringList{"There are no more biquads available!"});
    EXPECT_EQ(f.model().dEQL.aEq[4].Grad(), 2);
    EXPECT_EQ(f.side(0).CBOrder->currentText(), "2");
    EXPECT_EQ(f.side(0).LaUsed->text(), "Used Biquads: 20");
    setFilter(f, 1, 0, iirPK, 2); // the other side has its own budget
    EXPECT_EQ(f.side(1).LaUsed->text(), "Used Biquads: 1");
    EXPECT_EQ(msgs.texts.size(), 1);
    for (int i : {5, 6, 7}) setFilter(f, 1, i, iirTP, 12);
    setFilter(f, 1, 8, iirTP, 2); // 1 + 18 + 1 = 20 sections
    f.side(1).LBFilter->setCurrentRow(9);
    f.side(1).CBTyp->setCurrentIndex(iirTP); // a Flat filter becoming a section more: refused
    EXPECT_EQ(msgs.texts.size(), 2);
    EXPECT_EQ(f.model().dEQR.aEq[9].Typ(), iirFlat);
    EXPECT_EQ(f.side(1).CBTyp->currentIndex(), int(iirFlat));
    EXPECT_EQ(f.side(1).LaUsed->text(), "Used Biquads: 20");
    EXPECT_EQ(f.model().dEQL.aEq[0].Limits().freqMax,
              TIIRObj::WideLimits().freqMax); // editor limits
}

TEST_F(FilterForm, TrackBarsNotifyAfterTheQuietTimeOtherControlsAtOnce) {
    TFilterForm f("Output Filter select", left, right, true, 48000);
    int notes = 0;
    f.model().onChange = [&] { ++notes; };
    f.side(0).CBTyp->setCurrentIndex(iirPK);
    EXPECT_EQ(notes, 1);
    for (int p : {500, 520, 540, 560})
        f.side(0).TBFreq->setValue(p);
    f.side(0).TBGain->setValue(9);
    EXPECT_EQ(notes, 1);
    QElapsedTimer t;
    t.start();
    while (notes < 2 && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(notes, 2); // one notification for the whole movement
    const double want = TFilterFormModel::freqFromPos(560, TFilterForm::kFreqSteps, 48000);
    EXPECT_DOUBLE_EQ(f.model().dEQL.aEq[0].Freq(), want);
    EXPECT_DOUBLE_EQ(f.model().dEQL.aEq[0].Gain(), 9.0);
    EXPECT_TRUE(f.LaCalcTime->text().startsWith("Calc time/sample "));
    EXPECT_TRUE(f.LaCalcTime->text().endsWith("\u00b5s"));
}

// The truth test of editing while the generator plays: each edit is in force from the first
// sample pair of the next block, and the step it causes is no larger than the edited filter's
// own start-up on the same sine.
TEST_F(FilterForm, EditsReachARunningOutputWithinOneBlockWithoutClick) {
    TOutputFilterPath path;
    TFilterForm f("Output Filter select", left, right, true, 48000);
    TFilterFormModel& m = f.model();
    m.onChange = [&] { path.publish(m.dEQL, m.dEQL, 48000); };
    Player play{path, 0.0, {}};
    constexpr int kBlock = 256;
    play.block(4 * kBlock);
    f.side(0).CBBypassAll->setChecked(false);
    setFilter(f, 0, 0, iirPK, 2);
    f.side(0).TBQ->setValue(8); // Q 2
    f.side(0).EdFreq->setText("1000");
    emit f.side(0).EdFreq->editingFinished();
    for (int gain : {6, 12}) {
        f.side(0).TBGain->setValue(gain);
        f.flushPending();
        const uint64_t gen = path.generationInUse();
        const size_t at = play.out.size();
        play.block(1);
        EXPECT_GT(path.generationInUse(), gen) << "not in force with the next sample pair";
        play.block(40 * kBlock - 1);
        const double own = ownStartStep(m.dEQL, at, 40 * kBlock);
        EXPECT_LE(largestStep(play.out, at, play.out.size()), own + 1e-6) << gain << " dB";
        double peak = 0;
        for (size_t k = play.out.size() - 480; k < play.out.size(); ++k)
            peak = std::max(peak, std::fabs(play.out[k]));
        EXPECT_NEAR(20 * std::log10(peak / 0.25), gain, 0.05);
        std::printf(
            "[ edit ] +%d dB: largest step %.4f, the filter's own start-up %.4f, level %.3f dB\n",
            gain, largestStep(play.out, at, play.out.size()), own, 20 * std::log10(peak / 0.25));
    }
    EXPECT_EQ(path.tornSections(), 0u);
    setFilter(f, 0, 1, iirTP, 4);
    f.side(0).EdFreq->setText("3000");
    emit f.side(0).EdFreq->editingFinished();
    f.resize(980, 760);
    keepPicture(f, "filter_editor.png");
}

TEST_F(FilterForm, LinkedEditorShowsOneCurveUnlinkedThree) {
    TFilterForm f("Output Filter select", left, right, true, 48000);
    TDiagramm& d = f.Diagram->dia();
    EXPECT_EQ(d.curve(0)->Name, "Filter linked");
    EXPECT_FALSE(d.curve(1)->Fcvis);
    f.CBLink->setChecked(false);
    EXPECT_EQ(d.curve(0)->Name, "Filter Left Channel");
    EXPECT_EQ(d.curve(1)->Name, "Filter Right Channel");
    EXPECT_EQ(d.curve(2)->Name, "Filter Left + Right Channel");
    EXPECT_TRUE(d.curve(2)->Fcvis);
    setFilter(f, 0, 0, iirTP, 4); // a crossover: low-pass left, high-pass right, at 1 kHz
    setFilter(f, 1, 0, iirHP, 4);
    f.side(1).CBBypassAll->setChecked(false);
    f.side(0).CBBypassAll->setChecked(false);
    f.resize(980, 760);
    keepPicture(f, "filter_editor_crossover.png");
}

TEST_F(FilterForm, BiquadListGridAndSavedFile) {
    left.aEq[0].SetParam(iirTP, 4, 1000, 0, 1, -3.1, 1, chButterworth);
    left.aEq[3].SetParam(iirPK, 2, 3000, 6, 2, -3.1, 1, chButterworth);
    TshowBiQuadF list(left, 48000);
    EXPECT_EQ(list.windowTitle(), "List Biquads IIR @ SF 48000Hz");
    ASSERT_EQ(list.Grid->rowCount(), 4);
    EXPECT_EQ(list.Grid->item(0, 0)->text(), "BiQ# / Coefs:");
    EXPECT_EQ(list.Grid->item(0, 5)->text(), "b2");
    EXPECT_EQ(list.Grid->item(2, 0)->text(), "Eq:0  Biq:2");
    EXPECT_EQ(list.Grid->item(3, 0)->text(), "Eq:3  Biq:1");
    EXPECT_EQ(list.Grid->item(3, 1)->background().color(),
              QColor(0xC0, 0xDC, 0xC0)); // odd filter: green
    EXPECT_EQ(list.Grid->item(1, 1)->background().color(), QColor(Qt::white));
    list.resize(720, 200);
    keepPicture(list, "biquad_list_float.png");
    list.RGFormat->button(fHex2_22)->click();
    EXPECT_EQ(list.OutFormat(), fHex2_22);
    EXPECT_EQ(list.Grid->item(1, 3)->text().size(), 6);
    keepPicture(list, "biquad_list_hex222.png");

    QTemporaryDir dir;
    const QString file = dir.filePath("Biquads12.txt");
    list.setFileChooser([&](const QString& start) {
        EXPECT_EQ(start, "Biquads12.txt");
        return file;
    });
    list.SaveBtn->click();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    EXPECT_EQ(lines.size(), 13);                           // 12 lines and the end
    EXPECT_EQ(lines[2], "00004000" + QByteArray(32, '0')); // filter 1 is Flat: its identity section
    if (const QString pics = qEnvironmentVariable("VELMORA_TEST_PICTURES"); !pics.isEmpty())
        QFile::copy(file, pics + "/Biquads12.txt");
    EXPECT_TRUE(msgs.texts.isEmpty());
    EXPECT_FALSE(list.saveTo(dir.filePath("missing/folder/b.txt"))); // unwritable: message, no file
    ASSERT_EQ(msgs.texts.size(), 1);
    EXPECT_TRUE(msgs.texts[0].startsWith("Error writing file"));
}
