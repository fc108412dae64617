// Tests of the wave synthesis dialog: its check and messages, the record it hands back, the
// Apply loop and the widgets, offscreen.
#include "base/vlMessages.h"
#include "core/ui/TFWaveSynthesis.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class RecordingMessages : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        shown.push_back(m);
        return m.defaultButton;
    }
    std::vector<vl::Message> shown; // every message, in order
};

TWaf makeWaf(const char* formula, const char* names, const char* values)
{
    TWaf w{};
    std::strncpy(w.functionStr, formula, sizeof w.functionStr - 1);
    std::strncpy(w.VnameStr, names, sizeof w.VnameStr - 1);
    std::strncpy(w.VvalueStr, values, sizeof w.VvalueStr - 1);
    w.New = 1;
    w.Valid = 1;
    return w;
}

class WaveSynthesis : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "test_TFWaveSynthesis";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv); // lives until the process ends
    }
    void SetUp() override { vl::setMessageService(&messages); }
    void TearDown() override { vl::setMessageService(nullptr); }

    // Runs the model's check on a record at 48 kHz with '.' as separator.
    double checkRecord(TWaf& w)
    {
        model.sfi = 48000;
        model.CalcExpress.setDecimalSeparator('.');
        return model.CheckWaf(w);
    }
    QString lastText() const { return messages.shown.empty() ? QString() : messages.shown.back().text; }

    RecordingMessages messages;
    TWaveSynthesisModel model;
};

TEST_F(WaveSynthesis, AcceptedFormulaIsStoredUpperCasedWithResultAndTime)
{
    TWaf w = makeWaf("a*cos(f1)", " f 1;a ", "1000; 0.5");
    EXPECT_EQ(checkRecord(w), 1.0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_STREQ(w.VnameStr, "F1;A");
    EXPECT_STREQ(w.VvalueStr, "1000;0.5");
    EXPECT_STREQ(w.functionStr, "a*cos(f1)");
    EXPECT_EQ(w.New, 1);
    EXPECT_EQ(w.Valid, 1);
    // The last of 48001 samples is at phase 2 pi * 1000: 0.5 * cos = 0.5 to 4 decimals.
    EXPECT_EQ(model.resultText, "Calc Result: 0.5000");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Calc Time  : \\d+\\.\\d{6}\u00b5s$"))
                    .match(model.timeText).hasMatch()) << model.timeText.toStdString();
    EXPECT_EQ(model.internals.value(0), "0.1309"); // 2 pi 1000 / 48000 rad per sample
    EXPECT_EQ(model.internals.value(1), "0.5");
    EXPECT_EQ(model.internals.value(2), "");
}

TEST_F(WaveSynthesis, RejectionsShowTheirMessageAndLeaveTheListsAlone)
{
    struct Case {
        const char *formula, *names, *values, *message;
    };
    const Case cases[] = {
        {"sin(F1)", "F1;A", "1000", "Variable count must be equal thenvalue count"},
        {"sin(F1)", "F1", "1000;2", "Variable count must be equal thenvalue count"},
        {"sin(F1)", "F1;A", "1000;x7", "Variable count must be equal thenvalue count"},
        {"sin(1)", "", "", "No Variable found"},
        {"sin(F1)*B", "F1", "1000", "Error in formula\nUnknown variable b"},
        {"sin(F1", "F1", "1000", "Error in formula\nbrackets?"},
        {"2^sin(F1)", "F1", "1000", "Error in formula\nvalue?"},
        {"a/(F1-F1)", "F1;a", "1000;1", "Division by zero"},
        {"ln(a-1)", "a", "1", "Logarithm of a number that is not positive"},
        {"exp(a)", "a", "20000", "Result is not a finite number"},
    };
    for (const Case& c : cases) {
        messages.shown.clear();
        TWaf w = makeWaf(c.formula, c.names, c.values);
        EXPECT_EQ(checkRecord(w), -1.0) << c.formula;
        ASSERT_EQ(messages.shown.size(), 1u) << c.formula;
        EXPECT_EQ(messages.shown[0].text, c.message) << c.formula;
        EXPECT_EQ(messages.shown[0].title, "Error");
        EXPECT_STREQ(w.VnameStr, c.names);
        EXPECT_STREQ(w.VvalueStr, c.values);
        EXPECT_EQ(w.Valid, 0);
    }
}

TEST_F(WaveSynthesis, EmptyFormulaIsReportedButCheckedAsOneWithoutValid)
{
    TWaf w = makeWaf("   ", "F1", "1000");
    EXPECT_EQ(checkRecord(w), 1.0);
    EXPECT_EQ(lastText(), "No Function formula");
    EXPECT_EQ(w.Valid, 0);
    EXPECT_EQ(w.New, 0);
}

TEST_F(WaveSynthesis, DecimalSeparatorOfTheEvaluatorAppliesToValuesAndResult)
{
    TWaf w = makeWaf("a+0,25", "a", "1,5");
    model.sfi = 100;
    model.CalcExpress.setDecimalSeparator(',');
    EXPECT_EQ(model.CheckWaf(w), 1.0);
    EXPECT_EQ(model.resultText, "Calc Result: 1,7500");
}

TEST_F(WaveSynthesis, DamagedRecordsAreReadWithinTheirFields)
{
    TWaf w;
    std::memset(&w, 0xFF, sizeof w); // no terminating NULs, invalid UTF-8
    EXPECT_EQ(checkRecord(w), -1.0);
    EXPECT_EQ(w.Valid, 0);
    TWaf junk = makeWaf("sin(F1)\xC3", "F1\x01", "1000");
    EXPECT_EQ(checkRecord(junk), -1.0);
    EXPECT_TRUE(lastText().startsWith("Error in formula")) << lastText().toStdString();
}

TEST_F(WaveSynthesis, LongTextsAreCutAtACharacterBoundaryOrRejected)
{
    model.setFormula(QString(VL_TWAF_FUNC_LEN - 2, QLatin1Char('x')) + QString::fromUtf8("\u00e4\u00e4"));
    EXPECT_EQ(std::strlen(model.dWaF.functionStr), size_t(VL_TWAF_FUNC_LEN - 2));
    // Eleven valid names whose joined list does not fit the record.
    model.dWaF = makeWaf("a", "", "");
    model.activate();
    for (int i = 0; i < 11; ++i) {
        model.names[i] = QString(100, QLatin1Char('a' + i));
        model.values[i] = QStringLiteral("1");
    }
    model.setFormula(QString(100, QLatin1Char('a')));
    EXPECT_EQ(model.check(), -1.0);
    EXPECT_EQ(lastText(), "Variable list too long");
    EXPECT_EQ(model.dWaF.Valid, 0);
}

TEST_F(WaveSynthesis, DialogActivationFillsGridAndEditingReachesTheRecord)
{
    TFWaveSynthesis dlg;
    dlg.model.dWaF = makeWaf("sin(F1)", "F1;AMP", "440;0.5");
    dlg.activate();
    EXPECT_EQ(dlg.EdFormula->text(), "sin(F1)");
    EXPECT_EQ(dlg.StringGrid1->horizontalHeaderItem(2)->text(), "internal Value");
    ASSERT_GE(dlg.StringGrid1->rowCount(), kCalcMaxVars);
    EXPECT_EQ(dlg.StringGrid1->item(1, 0)->text(), "AMP");
    EXPECT_EQ(dlg.StringGrid1->item(1, 1)->text(), "0.5");
    EXPECT_EQ(dlg.model.dWaF.Valid, 0);
    dlg.EdFormula->setText("amp*sin(F1)");
    EXPECT_STREQ(dlg.model.dWaF.functionStr, "amp*sin(F1)");
}

TEST_F(WaveSynthesis, ButtonsCloseOnlyAfterAPassingCheck)
{
    TFWaveSynthesis dlg;
    dlg.model.sfi = 1000;
    dlg.model.CalcExpress.setDecimalSeparator('.');
    dlg.model.dWaF = makeWaf("sin(F1)", "F1", "10");
    dlg.show();
    dlg.EdFormula->setText("sin(F1");
    dlg.OKBtn->click();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(lastText(), "Error in formula\nbrackets?");
    dlg.EdFormula->setText("cos(F1)");
    dlg.StringGrid1->item(0, 1)->setText("250");
    dlg.CheckBtn->click();
    EXPECT_EQ(dlg.LaResult->text(), "Calc Result: 1.0000");
    EXPECT_TRUE(dlg.LaTime->text().startsWith("Calc Time  : "));
    EXPECT_EQ(dlg.StringGrid1->item(0, 2)->text(), "1.5708"); // 2 pi 250 / 1000
    dlg.ApplyBtn->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), TFWaveSynthesis::kApplyResult);
    EXPECT_STREQ(dlg.model.dWaF.VvalueStr, "250");
}

TEST_F(WaveSynthesis, ApplyReopensAndOnlyOkOrApplyCopyBack)
{
    TFWaveSynthesis dlg;
    dlg.model.CalcExpress.setDecimalSeparator('.');
    const TWaf original = makeWaf("sin(F1)", "F1", "1000");
    TWaf waf = original;
    int shows = 0;
    auto applyThen = [&](QPushButton* TFWaveSynthesis::*last) {
        return [&, last](TFWaveSynthesis& d) {
            d.show();
            EXPECT_EQ(d.model.sfi, 8000);
            d.EdFormula->setText(QStringLiteral("sin(F1)*%1").arg(++shows));
            (d.*(shows == 1 ? &TFWaveSynthesis::ApplyBtn : last))->click();
            return d.result();
        };
    };
    EXPECT_EQ(runWaveSynthesis(dlg, waf, 8000, applyThen(&TFWaveSynthesis::OKBtn)), eWaveSynthResult::wsOK);
    EXPECT_EQ(shows, 2);
    EXPECT_STREQ(waf.functionStr, "sin(F1)*2");
    EXPECT_EQ(waf.Valid, 1);

    waf = original;
    shows = 0;
    EXPECT_EQ(runWaveSynthesis(dlg, waf, 8000, applyThen(&TFWaveSynthesis::CancelBtn)),
              eWaveSynthResult::wsApply);
    EXPECT_STREQ(waf.functionStr, "sin(F1)*1");

    waf = original;
    shows = 1; // straight to Cancel
    EXPECT_EQ(runWaveSynthesis(dlg, waf, 8000, applyThen(&TFWaveSynthesis::CancelBtn)),
              eWaveSynthResult::wsCancel);
    EXPECT_EQ(std::memcmp(&waf, &original, sizeof waf), 0);
}

TEST_F(WaveSynthesis, HelpGoesToTheHelpSystemOrSaysThereIsNone)
{
    TFWaveSynthesis dlg;
    dlg.HelpBtn->click();
    EXPECT_EQ(lastText(), "no help available");
    QSignalSpy spy(&dlg, &TFWaveSynthesis::helpRequested);
    messages.shown.clear();
    dlg.HelpBtn->click();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 501);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace

// A picture of the dialog after a passing check, for looking at; written when
// VELMORA_PICTURE_DIR is set. The result and time labels must fit the dialog.
TEST_F(WaveSynthesis, PictureAfterACheck)
{
    TFWaveSynthesis dlg;
    dlg.model.sfi = 48000;
    dlg.model.CalcExpress.setDecimalSeparator('.');
    dlg.model.dWaF = makeWaf("a*sin(F1)+b*sin(F2)", "F1;F2;A;B", "1000;3000;0.5;0.3");
    dlg.show();
    dlg.activate();
    EXPECT_EQ(dlg.check(), 1.0);
    QApplication::processEvents();
    const QPixmap p = dlg.grab();
    EXPECT_TRUE(dlg.LaResult->text().startsWith("Calc Result:"));
    EXPECT_GE(p.width(), dlg.LaTime->sizeHint().width());
    const QString dir = qEnvironmentVariable("VELMORA_PICTURE_DIR");
    if (!dir.isEmpty()) p.save(dir + "/wavesynthesis.png");
}
