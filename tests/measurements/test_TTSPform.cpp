// The Thiele-Small panel, its report window and the sweep dialog's Thiele-Small inputs, offscreen.
#include "SimTruthImpedance.h"
#include "display/TDiagramm.h"
#include "display/ui/TCurvePanel.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/TSPsettings.h"
#include "measurements/ui/TTSPform.h"
#include "measurements/ui/TTSPmemoform.h"
#include "measurements/ui/Twobbeldlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class TSPWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TTSPform";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        ActiveTSP() = tTSP();
        ActiveTSP().bVorgabeRdc = true;
        ActiveTSP().fVorgabeRdc = 6.0;
        ActiveTSP().durch_mm = 0.0;
        ActiveTSP().Sd_cm = 200.0;
        ActiveTSP().Mms_g = 10.0;
    }
    // The bench driver's exact |Z| at 100 logarithmic points 10..200 Hz into diagram slot `slot`.
    void putCurve(int slot, double addedMass_g)
    {
        TSimSpeakerSpec s;
        s.addedMassG = addedMass_g;
        Tsamplemem x(100), y(100);
        for (int k = 0; k < 100; ++k) {
            const double f = 10.0 * std::pow(20.0, k / 99.0);
            x.setsmAr(k, f);
            y.setsmAr(k, std::abs(simSpeakerImpedance(s, f)));
        }
        dia.diagr2d().SetdataPointer(y, x, false, slot);
    }
    Tdiafrm dia;
};

// "1. Measurement" fills the Q factors, "2. Measurement" with the mass the moving mass; a curve
// that fails leaves the values and names its error.
TEST_F(TSPWindows, droppedCurvesAreEvaluatedAndAFailureKeepsTheDisplay)
{
    putCurve(0, 0.0);
    putCurve(2, 10.0);
    Tsamplemem x(3), rising(3);
    for (int k = 0; k < 3; ++k)
        x.setsmAr(k, 10.0 * (k + 1)), rising.setsmAr(k, 5.0 + k);
    dia.diagr2d().SetdataPointer(rising, x, false, 4);
    TTSPform panel(&dia);
    panel.Butdet2Click(2);
    EXPECT_EQ(panel.LaError->text(), "Error:please make first measurement !");
    panel.Butdet1Click(0);
    EXPECT_EQ(panel.LaError->text(), ".");
    EXPECT_EQ(panel.Lafs->text(), "39.8 Hz ");
    EXPECT_EQ(panel.LaQts->text(), " 0.52 ");
    EXPECT_EQ(panel.EdRdc->text(), " 6.0");
    EXPECT_TRUE(panel.EdRdc->isEnabled());
    panel.Butdet2Click(2);
    EXPECT_EQ(panel.LaError->text(), ".");
    EXPECT_TRUE(panel.LaMmd->text().startsWith(" 20.0")) << panel.LaMmd->text().toStdString();
    EXPECT_TRUE(panel.LaVas->text().startsWith(" 45.4")) << panel.LaVas->text().toStdString();
    panel.Butdet1Click(4);
    EXPECT_TRUE(panel.LaError->text().startsWith("Error: fs not plausible (f1=")) << panel.LaError->text().toStdString();
    EXPECT_EQ(panel.Lafs->text(), "39.8 Hz ");
    EXPECT_NEAR(ActiveTSP().fs, 39.77, 0.05); // the record kept the last good evaluation
    EXPECT_EQ(ActiveTSP().OK, 102);
    panel.EdRdc->setText("5,5");
    EXPECT_EQ(ActiveTSP().fVorgabeRdc, 5.5);
    panel.EdRdc->setText("x");
    EXPECT_EQ(ActiveTSP().fVorgabeRdc, 5.5);
}

TEST_F(TSPWindows, dropTargetsTakeOnlyTheDiagramsCurvePanels)
{
    QMimeData ok, beyond, other;
    ok.setData(TCurvePanel::kMimeType, "11");
    beyond.setData(TCurvePanel::kMimeType, "12");
    other.setText("3");
    EXPECT_EQ(TTSPDropTarget::slotOf(&ok), 11);
    EXPECT_EQ(TTSPDropTarget::slotOf(&beyond), -1);
    EXPECT_EQ(TTSPDropTarget::slotOf(&other), -1);
    TTSPform panel(&dia);
    EXPECT_EQ(panel.FirstTSPmea->text(), "1. Measurement");
    EXPECT_EQ(panel.FirstTSPmea->property("tag").toInt(), 723);
    EXPECT_EQ(panel.SecondTSPmea->property("tag").toInt(), 724);
}

// The report in both languages, saved as RTF and as text.
TEST_F(TSPWindows, reportInEnglishAndGermanSavedAsRtfAndText)
{
    tTSP t = ActiveTSP();
    t.fs = 39.77, t.Zmax = 38.67, t.Rdc = 6.0, t.Qms = 3.35, t.Qel = 0.616, t.Qts = 0.52, t.Mmd_g = 20.0;
    t.Cms_mmN = 0.8, t.Vas_dm = 45.44;
    TTSPmemoform en(t, false);
    const QString text = en.TSPmemo->toPlainText();
    EXPECT_TRUE(text.contains("Qts        0.52              total Q of the speaker")) << text.toStdString();
    EXPECT_TRUE(text.contains("Mmd       20.00 g/0.705 oz   mass of driver's cone"));
    EXPECT_TRUE(text.contains("Vas was determined with the elasticity of the membrane"));
    t.VasoverVb = true;
    TTSPmemoform de(t, true);
    const QString deText = de.TSPmemo->toPlainText();
    EXPECT_TRUE(deText.contains("für Lautsprecher: ..."));
    EXPECT_TRUE(deText.contains("Mmd        --               bewegte Membranmasse"));
    EXPECT_TRUE(deText.contains("Vas wurde über ein Prüfgehäuse (Vb= 60.0 l/ 2.12 ft³) ermittelt"));

    QTemporaryDir dir;
    ASSERT_TRUE(de.saveTo(dir.filePath("r.RTF")));
    QFile rtf(dir.filePath("r.RTF"));
    ASSERT_TRUE(rtf.open(QIODevice::ReadOnly));
    const QByteArray r = rtf.readAll();
    EXPECT_TRUE(r.startsWith("{\\rtf1"));
    EXPECT_TRUE(r.contains("f\\u252?r Lautsprecher")); // ü
    EXPECT_TRUE(r.contains("\\b\\i")) << "the heading's bold italic line";
    EXPECT_EQ(r.count('{'), r.count('}'));
    ASSERT_TRUE(de.saveTo(dir.filePath("r.txt")));
    QFile txt(dir.filePath("r.txt"));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(txt.readAll()), deText);
    EXPECT_FALSE(de.saveTo(dir.filePath("missing/r.txt")));
}

// Alternative units show and take cubic feet, ounces and inches; the record keeps litres, grams, mm.
TEST_F(TSPWindows, sweepDialogTakesTheInputsInEitherUnits)
{
    Twobbeldlg dlg(Twobdat(), 8);
    tTSP t;
    t.Vb_dm = 60.0, t.Mms_g = 20.0, t.durch_mm = 254.0;
    dlg.setTSP(t);
    EXPECT_EQ(dlg.LaVb->text(), "Vb (Liter)");
    EXPECT_FALSE(dlg.EdVb->isEnabled()); // added-mass method: no cabinet
    dlg.CbAltUnits->setChecked(true);
    EXPECT_EQ(dlg.LaVb->text(), "Vb (ft³)");
    EXPECT_EQ(dlg.LaD->text(), "d (inch)");
    EXPECT_EQ(dlg.EdVb->text(), "2.1");
    EXPECT_EQ(dlg.EdD->text(), "10.0");
    dlg.EdD->setText("6.5");
    dlg.EdMms->setText("1");
    dlg.CbVasoverVb->setChecked(true);
    EXPECT_TRUE(dlg.EdVb->isEnabled());
    EXPECT_FALSE(dlg.EdMms->isEnabled());
    dlg.accept();
    EXPECT_DOUBLE_EQ(dlg.tspData().durch_mm, 6.5 * 25.4);
    EXPECT_NEAR(dlg.tspData().Mms_g, 1.0 / 0.0352739619496, 1e-9);
    EXPECT_EQ(dlg.tspData().Vb_dm, 60.0); // untouched: not re-read from the one decimal shown
    EXPECT_TRUE(dlg.tspData().VasoverVb && dlg.tspData().bAltUnits);
}

} // namespace

namespace {

// Mode 8's secondary panel is the Thiele-Small panel the program's top makes; its report shows
// what the panel shows.
TEST_F(TSPWindows, modeEightHostsThePanelUnderTheDiagram)
{
    putCurve(0, 0.0);
    dia.makeThieleSmallPanel = [this](QWidget* parent) { return new TTSPform(&dia, parent); };
    auto* panel = qobject_cast<TTSPform*>(dia.OpenSecundaryWindow(8));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(dia.secondaryPanel(), panel);
    panel->Butdet1Click(0);
    EXPECT_EQ(panel->LaQts->text(), " 0.52 ");
    QString report;
    panel->runReport = [&](QDialog& d) { report = static_cast<TTSPmemoform&>(d).TSPmemo->toPlainText(); };
    panel->ListClick();
    EXPECT_TRUE(report.contains("Qts        0.52              total Q of the speaker")) << report.toStdString();
    dia.OpenSecundaryWindow(9999);
    EXPECT_EQ(dia.secondaryPanel(), nullptr);
}

} // namespace
