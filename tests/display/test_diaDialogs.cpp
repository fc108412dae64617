// Tests of the curve and diagram dialogs, driven offscreen; pictures go to /tmp/dlg-*.png.
#include "dsp/FFtuli.h"
#include "base/vlMessages.h"
#include "core/ui/TUpDown.h"
#include "core/winMessage.h"
#include "display/TDiagramm.h"
#include "display/diaMessages.h"
#include "display/ui/TCrvdia.h"
#include "display/ui/TFoSpecDia4.h"
#include "display/ui/TFoToolAnalyzeCurve.h"
#include "display/ui/TFormAddCurve.h"
#include "display/ui/TdiaCdlg.h"
#include "display/ui/Tdiadlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Records every message box instead of showing it.
struct Recorder : vl::IMessageService {
    std::vector<vl::Message> shown;
    Recorder() { vl::setMessageService(this); }
    ~Recorder() override { vl::setMessageService(nullptr); }
    int show(const vl::Message& m) override {
        shown.push_back(m);
        return m.defaultButton;
    }
};

// Catches posted window messages.
struct MsgSink : QObject {
    std::vector<std::pair<int, intptr_t>> got;
    bool event(QEvent* e) override {
        if (e->type() != TMsgEvent::eventType()) return QObject::event(e);
        auto* m = static_cast<TMsgEvent*>(e);
        got.emplace_back(m->msg, m->wParam);
        return true;
    }
};

void app() {
    static int argc = 1;
    static char name[] = "test_diaDialogs";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv); // lives until the process ends
}

void savePicture(QWidget& w, const char* name) {
    w.show();
    QApplication::processEvents();
    w.grab().save(QString("/tmp/dlg-%1.png").arg(name));
}

class DiaDialogs : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

Tcurve slotCurve(int slot) {
    Tcurve c(slot);
    c.Fcvis = true;
    c.Fsel = true;
    c.FColLine = 0x0000FF;
    c.Name = "left";
    c.Comment = "measured";
    c.Cygroup = 1;
    return c;
}

} // namespace

// ---- curve dialog --------------------------------------------------------------------------

TEST_F(DiaDialogs, CurveDialogShowsAndWritesTheCurve) {
    TDiagramm dia;
    dia.group(1)->fEinh = "dBV";
    Tcurve c = slotCurve(3);
    TCrvdia d(c, &dia, true, nullptr);
    EXPECT_EQ(d.windowTitle(), "Curve Dialog");
    EXPECT_EQ(d.EdUnit->text(), "dBV");
    EXPECT_EQ(d.LaGroup->text(), "B");
    EXPECT_TRUE(d.CBYaxisLog->isChecked());
    EXPECT_TRUE(d.CBComment2Name->isHidden());
    EXPECT_TRUE(d.BtnAddOffset->isHidden());

    d.EdName->setText("new name");
    d.EdUnit->setText("mV");
    d.CBFilter->setCurrentIndex(4);
    d.CBLineMode->setCurrentIndex(2);
    d.CBYaxisLog->setChecked(false);
    EXPECT_EQ(c.Name, "new name");
    EXPECT_EQ(dia.group(1)->fEinh, "mV");
    EXPECT_EQ(c.FDFilter, 4);
    EXPECT_EQ(c.FlineMode, 2);
    EXPECT_FALSE(d.dYaxlog());
    EXPECT_EQ(d.CBFilter->itemText(4), "steps 1/3 octave");

    // The group scrolls within A..L and the unit edit follows it.
    for (int i = 0; i < 15; ++i)
        d.UDGroup->upButton()->click();
    EXPECT_EQ(c.Cygroup, 11);
    EXPECT_EQ(d.LaGroup->text(), "L");
    for (int i = 0; i < 15; ++i)
        d.UDGroup->downButton()->click();
    EXPECT_EQ(c.Cygroup, 0);
    EXPECT_EQ(d.LaGroup->text(), "A");
}

TEST_F(DiaDialogs, CurveDialogVisibleAndSelectedAreCoupled) {
    Tcurve c = slotCurve(0);
    TCrvdia d(c, nullptr, false, nullptr);
    d.CBvisible->setChecked(false);
    EXPECT_FALSE(c.Fcvis);
    EXPECT_FALSE(c.Fsel);
    EXPECT_FALSE(d.CBselected->isChecked());
    EXPECT_FALSE(d.CBselected->isEnabled());
    d.CBvisible->setChecked(true);
    EXPECT_TRUE(d.CBselected->isEnabled());
    EXPECT_FALSE(c.Fsel);
    d.CBselected->setChecked(true);
    EXPECT_TRUE(c.Fsel);
}

TEST_F(DiaDialogs, CurveDialogLineWidthIsClamped) {
    Tcurve c = slotCurve(0);
    c.FlineWidth = 25;
    TCrvdia d(c, nullptr, false, nullptr);
    EXPECT_EQ(d.SEWidth->value(), 20);
    EXPECT_EQ(c.FlineWidth, 20);
    auto type = [&](const char* text) {
        d.SEWidth->selectAll();
        QTest::keyClicks(d.SEWidth, text);
        QTest::keyClick(d.SEWidth, Qt::Key_Return);
    };
    d.show();
    type("0");
    EXPECT_EQ(c.FlineWidth, 1);
    type("25");
    EXPECT_EQ(c.FlineWidth, 20);
    EXPECT_EQ(d.SEWidth->value(), 20);
    type("7");
    EXPECT_EQ(c.FlineWidth, 7);
    type("20");
    d.SEWidth->stepUp(); // the arrows stay within 1..20 as well
    EXPECT_EQ(c.FlineWidth, 20);
    d.hide();
}

TEST_F(DiaDialogs, CurveDialogOperandsAndReset) {
    Tcurve c = slotCurve(6);
    MsgSink window;
    TCrvdia d(c, nullptr, false, &window);
    d.show();
    EXPECT_FALSE(d.CBOp1->isVisible() || d.CBOp2->isVisible() || d.BtnReset->isVisible());
    d.CBOperation->setCurrentIndex(ePeak);
    EXPECT_EQ(c.Foperation, ePeak);
    EXPECT_TRUE(d.CBOp1->isVisible() && d.LaWith->isVisible() && d.BtnReset->isVisible());
    EXPECT_FALSE(d.CBOp2->isVisible() || d.LaSign->isVisible());
    d.CBOperation->setCurrentIndex(eDivi);
    EXPECT_TRUE(d.CBOp1->isVisible() && d.CBOp2->isVisible() && d.LaSign->isVisible());
    EXPECT_FALSE(d.BtnReset->isVisible() || d.LaWith->isVisible());
    EXPECT_EQ(d.LaSign->text(), "/");
    d.CBOp1->setCurrentIndex(4);
    d.CBOp2->setCurrentIndex(7);
    EXPECT_EQ(c.Fop1, 4);
    EXPECT_EQ(c.Fop2, 7);

    d.CBOperation->setCurrentIndex(ePeak);
    d.BtnReset->click();
    QCoreApplication::sendPostedEvents(&window);
    ASSERT_EQ(window.got.size(), 1u);
    EXPECT_EQ(window.got[0].first, 1040);
    EXPECT_EQ(window.got[0].second, 6);
    d.hide();
}

TEST_F(DiaDialogs, CurveDialogOffsetOnOkAndApply) {
    Tcurve c = slotCurve(0);
    c.setNewPoints(3);
    TCrvdia d(c, nullptr, false, nullptr);
    d.EdOffset->setText("1,5");
    EXPECT_DOUBLE_EQ(d.OffsetY(), 1.5);
    d.EdOffset->setText("x");
    EXPECT_DOUBLE_EQ(d.OffsetY(), 1.5); // not a number: the last value stays
    d.ApplyBtn->click();
    EXPECT_EQ(d.result(), TCrvdia::kApplyResult);
    for (int i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(c.OriY.getsmAr(i), 1.5);
    EXPECT_EQ(d.EdOffset->text(), "0");
    EXPECT_DOUBLE_EQ(d.OffsetY(), 0.0);
    d.EdOffset->setText("-0.5");
    d.OKBtn->click();
    EXPECT_EQ(d.result(), TCrvdia::kOkResult);
    EXPECT_DOUBLE_EQ(c.OriY.getsmAr(0), 1.0);
    d.EdOffset->setText("3");
    d.CancelBtn->click();
    EXPECT_EQ(d.result(), TCrvdia::kCancelResult);
    EXPECT_DOUBLE_EQ(c.OriY.getsmAr(0), 1.0);
}

TEST_F(DiaDialogs, CurveDialogLoadKeepsSlotColourAndSelection) {
    QTemporaryDir dir;
    const QString path = dir.filePath("stored.cur");
    Tcurve stored(-1);
    stored.setNewPoints(5);
    stored.FColLine = 0x00FF00;
    stored.Fsel = false;
    stored.Name = "from file";
    stored.FlineWidth = 4;
    ASSERT_TRUE(stored.savetoFile(path));

    Tcurve c = slotCurve(2);
    TCrvdia d(c, nullptr, false, nullptr);
    QString asked;
    d.setOpenFileChooser([&](const QString& start) {
        asked = start;
        return path;
    });
    d.BtnLoad->click();
    EXPECT_EQ(asked, "*.cur");
    EXPECT_TRUE(d.loading());
    EXPECT_EQ(c.line, 2);
    EXPECT_EQ(c.FColLine, 0x0000FFu);
    EXPECT_TRUE(c.Fsel);
    EXPECT_TRUE(c.ValidData);
    EXPECT_EQ(c.FileName, path);
    EXPECT_EQ(c.OriY.samples(), 5);
    EXPECT_EQ(d.EdName->text(), "from file");
    EXPECT_EQ(d.SEWidth->value(), 4);
    EXPECT_EQ(d.EdFileName->text(), path);
}

TEST_F(DiaDialogs, CurveDialogFileFailuresAreShown) {
    QTemporaryDir dir;
    Recorder rec;
    Tcurve c = slotCurve(1);
    TCrvdia d(c, nullptr, false, nullptr);
    const QString junk = dir.filePath("junk.cur");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[aCurve]\r\nSAMPLES=2000000000\r\n//\r\n1,2\r\n");
    f.close();
    d.setOpenFileChooser([&](const QString&) { return junk; });
    d.BtnLoad->click();
    ASSERT_EQ(rec.shown.size(), 1u);
    EXPECT_EQ(rec.shown[0].title, "Error");
    EXPECT_FALSE(d.loading());
    EXPECT_EQ(c.Name, "left");

    d.setSaveFileChooser([&](const QString&) { return dir.filePath("no/such/dir/x.cur"); });
    d.BtnSave->click();
    ASSERT_EQ(rec.shown.size(), 2u);
    EXPECT_EQ(rec.shown[1].title, "Error");

    d.setSaveFileChooser([&](const QString&) { return QString(); }); // cancelled: nothing
    d.BtnSave->click();
    EXPECT_EQ(rec.shown.size(), 2u);
}

TEST_F(DiaDialogs, CurveDialogColourAndSave) {
    QTemporaryDir dir;
    Tcurve c = slotCurve(1);
    c.setNewPoints(8);
    TCrvdia d(c, nullptr, false, nullptr);
    TColorBGR preset = 0;
    d.setColorChooser([&](TColorBGR& col) {
        preset = col;
        col = 0x00A0FF;
        return true;
    });
    d.BtnColor->click();
    EXPECT_EQ(preset, 0x0000FFu);
    EXPECT_EQ(c.FColLine, 0x00A0FFu);
    EXPECT_EQ(d.BtnColor->palette().color(QPalette::ButtonText), bgrToQColor(0x00A0FF));
    const QString path = dir.filePath("saved.cur");
    d.setSaveFileChooser([&](const QString&) { return path; });
    d.BtnSave->click();
    EXPECT_EQ(c.FileName, path);
    Tcurve back(-1);
    EXPECT_EQ(back.loadfromFile(path), 8);
    EXPECT_EQ(back.FColLine, 0x00A0FFu);
}

TEST_F(DiaDialogs, CurveDialogPicture) {
    TDiagramm dia;
    Tcurve c = slotCurve(0);
    c.Foperation = eSubtr;
    c.FileName = "/home/user/measurements/loudspeaker-left-near-field.cur";
    TCrvdia d(c, &dia, false, nullptr);
    savePicture(d, "curve");
    // Every text fits its control.
    for (QPushButton* b : d.findChildren<QPushButton*>()) {
        if (!b->isVisible()) continue;
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    }
    for (QCheckBox* b : d.findChildren<QCheckBox*>()) {
        if (!b->isVisible()) continue;
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    }
    d.CBOperation->setCurrentIndex(ePeak);
    savePicture(d, "curve-peak");
    EXPECT_GE(d.BtnReset->width(), d.BtnReset->sizeHint().width());
    d.hide();
}

// ---- add-curve confirmation ----------------------------------------------------------------

TEST_F(DiaDialogs, AddCurveConfirmation) {
    TFormAddCurve d(0x0000FF, TFormAddCurve::curveText(0), 0xFF0000, TFormAddCurve::curveText(4));
    EXPECT_EQ(d.windowTitle(), "Add Curves");
    EXPECT_EQ(d.LaCurve1->text(), "curve 1");
    EXPECT_EQ(d.LaCurve2->text(), "curve 5");
    EXPECT_EQ(d.LaAdded->text(), "is added to ");
    EXPECT_EQ(d.LaProceed->text(), "Proceed ?");
    EXPECT_EQ(d.LaCurve1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    d.YesBtn->click();
    EXPECT_EQ(d.result(), TFormAddCurve::kYesResult);
    d.NoBtn->click();
    EXPECT_EQ(d.result(), TFormAddCurve::kNoResult);
    d.reject();
    EXPECT_EQ(d.result(), 7);
}

// ---- special parameters, options and colours ------------------------------------------------

TEST_F(DiaDialogs, SpecialParametersKeepTheLastValidValue) {
    TFoSpecDia4 d(TSpecDiaValues{});
    EXPECT_EQ(d.windowTitle(), "special diagram parameter");
    EXPECT_EQ(d.EdXFactor->text(), "1");
    EXPECT_EQ(d.EdXUnit->text(), "Hz");
    EXPECT_EQ(d.EdYFactor->text(), "1");
    EXPECT_EQ(d.EdYOffset->text(), "0");
    EXPECT_EQ(d.EdXFactor->toolTip(), "Multiply the x axis values (no effect in x-scale)");
    EXPECT_EQ(d.EdXUnit->toolTip(), "visible unit identifier");
    d.EdXFactor->setText("2,5");
    d.EdXFactor->setText("abc");
    d.EdYOffset->setText("-3.25");
    d.EdYOffset->setText("");
    d.EdYFactor->setText("1e3");
    d.EdXUnit->setText("ms");
    EXPECT_DOUBLE_EQ(d.values().xFactor, 2.5);
    EXPECT_DOUBLE_EQ(d.values().yOffset, -3.25);
    EXPECT_DOUBLE_EQ(d.values().yFactor, 1000.0);
    EXPECT_EQ(d.values().xUnit, "ms");
}

TEST_F(DiaDialogs, DiagramOptionsEditACopy) {
    TDiaOptions o;
    o.cursorMode = TDiaCursorMode::Frequency;
    o.yStepAuto = true;
    o.yStep = 5.0;
    o.colGrid = 0x123456;
    Tdiadlg d(o);
    EXPECT_EQ(d.windowTitle(), "Diagram Options");
    EXPECT_TRUE(d.RBFrequency->isChecked());
    EXPECT_TRUE(d.RBNormal->isChecked());
    EXPECT_EQ(d.EdYStep->text(), "5.000");
    EXPECT_FALSE(d.EdYStep->isEnabled());
    d.CBAuto->setChecked(false);
    EXPECT_TRUE(d.EdYStep->isEnabled());
    d.EdYStep->setText("");
    QTest::keyClicks(d.EdYStep, "2,5");
    QTest::keyClicks(d.EdYStep, "x");
    d.RBSlope->setChecked(true);
    d.RB0dBmax->setChecked(true);
    d.CBClearSel->setChecked(true);
    d.setColorChooser([](TColorBGR& c) {
        c = 0x00FF00;
        return true;
    });
    d.BtnMargin->click();
    EXPECT_EQ(d.options().cursorMode, TDiaCursorMode::Slope);
    EXPECT_EQ(d.options().yAxisMode, eYAM0dbmaxV);
    EXPECT_FALSE(d.options().yStepAuto);
    EXPECT_DOUBLE_EQ(d.options().yStep, 2.5);
    EXPECT_TRUE(d.options().clearSelections);
    EXPECT_EQ(d.options().colMargin, 0x00FF00u);
    EXPECT_EQ(d.options().colGrid, 0x123456u);
    EXPECT_EQ(o.colMargin, kDiaDefColMargin); // the caller's options are untouched

    d.BtnDefault->click();
    EXPECT_EQ(d.options().colGrid, 12632256u);
    EXPECT_EQ(d.options().colMargin, 12639424u);
    EXPECT_EQ(d.options().colSoundOn, 0xD0FF90u);
    EXPECT_EQ(d.ShGrid->palette().color(QPalette::Window), bgrToQColor(12632256));

    d.ApplyBtn->click();
    EXPECT_EQ(d.result(), Tdiadlg::kApplyResult);
    d.OKBtn->click();
    EXPECT_EQ(d.result(), Tdiadlg::kOkResult);
}

TEST_F(DiaDialogs, DiagramOptionsSpecialAndFont) {
    Tdiadlg d(TDiaOptions{});
    d.setSpecialRunner([](TFoSpecDia4& s) {
        EXPECT_EQ(s.EdXUnit->text(), "Hz");
        s.EdXFactor->setText("0,001");
        s.EdXUnit->setText("kHz");
        s.EdYOffset->setText("6");
        return int(QDialog::Accepted);
    });
    d.BtnSpecial->click();
    EXPECT_DOUBLE_EQ(d.options().xFactor, 0.001);
    EXPECT_EQ(d.options().xUnit, "kHz");
    EXPECT_DOUBLE_EQ(d.options().yOffset, 6.0);
    d.setSpecialRunner([](TFoSpecDia4& s) {
        s.EdXUnit->setText("s");
        return TFoSpecDia4::kCancelResult;
    });
    d.BtnSpecial->click();
    EXPECT_EQ(d.options().xUnit, "kHz");
    d.setFontChooser([](QFont& f) {
        f.setPointSize(14);
        return true;
    });
    d.BtnFont->click();
    EXPECT_EQ(d.options().font.pointSize(), 14);
}

TEST_F(DiaDialogs, DiagramOptionsPicture) {
    TDiaOptions o;
    o.yStepAuto = false;
    Tdiadlg d(o);
    savePicture(d, "options");
    for (QRadioButton* b : d.findChildren<QRadioButton*>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    for (QPushButton* b : d.findChildren<QPushButton*>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    d.hide();
}

TEST_F(DiaDialogs, TimeDiagramColours) {
    TdiaCdlg osc(TDiaColorSet{}, true, 0x0F0F0F);
    EXPECT_EQ(osc.windowTitle(), "Diagram Options");
    osc.BtnDefault->click();
    EXPECT_EQ(osc.colors().diagram, 0x808000u);
    EXPECT_EQ(osc.colors().fftLine, 255u);
    EXPECT_EQ(osc.Shapes[0]->palette().color(QPalette::Window), bgrToQColor(0x808000));
    TdiaCdlg time(TDiaColorSet{}, false, 0x0F0F0F);
    time.setColorChooser([](TColorBGR& c) {
        c = 0x00AA00;
        return true;
    });
    time.BtnChange[5]->click();
    EXPECT_EQ(time.colors().echoPoint, 0x00AA00u);
    time.BtnDefault->click();
    EXPECT_EQ(time.colors().margin, 0x0F0F0Fu);
    EXPECT_EQ(time.colors().echoPoint, 255u);
    savePicture(time, "colours");
    time.hide();
}

// ---- curve analysis tool -------------------------------------------------------------------

TEST_F(DiaDialogs, AnalysisToolRefusesACurveThatIsNoFFT) {
    QTemporaryDir dir;
    const QString path = dir.filePath("short.cur");
    Tcurve c(-1);
    c.setNewPoints(100);
    c.Sfreq = 48000;
    ASSERT_TRUE(c.savetoFile(path));
    Recorder rec;
    cFFTdat fft;
    cAnaPara ana;
    ana.bLevelmess = true;
    TFoToolAnalyzeCurve d(fft, ana, TLevelCalibration{});
    EXPECT_EQ(d.windowTitle(), "Analyze Curve (Level, Distortion)");
    EXPECT_EQ(d.LaFileName->text(), "...");
    d.setOpenFileChooser([&](const QString&) { return path; });
    d.OpenBtn->click();
    ASSERT_EQ(rec.shown.size(), 1u);
    EXPECT_EQ(rec.shown[0].title, "Error");
    EXPECT_EQ(rec.shown[0].text, "Curve is not from a fft measurement!");
    EXPECT_EQ(d.LaFileName->text(), "short.cur");
    EXPECT_EQ(d.Memo->toPlainText(), path);
}

TEST_F(DiaDialogs, AnalysisToolListsTheLevel) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sine.cur");
    const int32_t n = 4096, rate = 48000;
    std::vector<double> x(n);
    for (int32_t i = 0; i < n; ++i)
        x[size_t(i)] = 0.25 * std::sin(2.0 * M_PI * 1000.0 * i / rate);
    FFtuliContext transform;
    transform.prepareWindow(2, n);
    transform.windowedSpectrum(x.data(), nullptr, n, 0);
    Tcurve c(-1);
    c.setNewPoints(n / 2);
    for (int32_t k = 0; k < n / 2; ++k)
        c.setPoint(k, double(k) * rate / n,
                   x[size_t(k)] > 0 ? 20.0 * std::log10(x[size_t(k)]) + kSpectrumBinOffset_dB : -300.0);
    c.Sfreq = rate; // dBFS as the diagram shows it; no window stored, as in older files
    c.FdbMode = dBMode_dbFS;
    ASSERT_TRUE(c.savetoFile(path));
    Recorder rec;
    cFFTdat fft;
    fft.FFTwin = 2;
    cAnaPara ana;
    ana.bLevelmess = true;
    TFoToolAnalyzeCurve d(fft, ana, TLevelCalibration{});
    ASSERT_TRUE(d.analyzeFile(path));
    EXPECT_TRUE(rec.shown.empty());
    const QStringList lines = d.Memo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "Window:\t\"van Hann\" (of the analysis settings: the curve does not name one)");
    EXPECT_EQ(lines[2].toStdString(), "Level:\t-12.04 dBFS "); // 20*log10(0.25) to 0.01 dB

    // A window key that cannot be used is named, and the settings' window taken instead.
    c.FFTwin = 5;
    ASSERT_TRUE(c.savetoFile(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll().replace("FFTWIN=5", "FFTWIN=x5");
    f.close();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    d.Memo->clear();
    ASSERT_TRUE(d.analyzeFile(path));
    EXPECT_EQ(d.Memo->toPlainText().split('\n').mid(1),
              QStringList({"Note:\tFFTWIN=x5 cannot be used",
                           "Window:\t\"van Hann\" (of the analysis settings: the curve does not name one)",
                           "Level:\t-12.04 dBFS "}));
    d.show();
    EXPECT_TRUE(d.Memo->toPlainText().isEmpty()); // activation clears
    d.hide();
}
