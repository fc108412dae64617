// The analysis dialog and the wow and flutter setup dialog: checks of OK in their order and
// language, the THD lock, the "USER" file prompt, the W&F items, and what reaches the
// settings (only on OK or Apply).
#include "analysis/ui/TAnaDlg.h"
#include "analysis/ui/TWuFSetupDlg.h"
#include "base/vlMessages.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts; // "title|text" of every message, in order
    int show(const vl::Message& m) override {
        texts << m.title + "|" + m.text;
        return m.defaultButton;
    }
};

class AnaDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char arg0[] = "test_AnaDialogs";
        static char* argv[] = {arg0, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv); // lives until the process ends
    }
    void SetUp() override { vl::setMessageService(&rec); }
    void TearDown() override { vl::setMessageService(nullptr); }
    Recorder rec;
};

// Settings every field of which differs from the defaults.
cAnaPara sample() {
    cAnaPara a;
    a.lfvon = 20;
    a.lfbis = 15000;
    a.filter = "C Weighting";
    a.bFundAuto = false;
    a.fManualFundamental = 997;
    a.fFundlow = 0.001f; // -60 dB
    a.Hx = 0x00B;        // noise, H2, H4
    a.bTHDmess = a.bLevelmess = a.bWuFmess = true;
    a.bResultTextLeft = true;
    a.iResultTextSize = 12;
    a.WuFfreq = e3khz;
    a.WuFFilter = "NAB";
    a.WuFeFilter = eNab;
    a.WuFmode = eWow;
    a.WuFBP = false;
    return a;
}

void click(QAbstractButton* b) {
    b->click();
}

} // namespace

TEST_F(AnaDialogs, ControlsShowTheSettings) {
    cAnaPara a = sample();
    TAnaDlg d(a, 'E');
    EXPECT_EQ(d.windowTitle(), "Analyze Dialog");
    EXPECT_EQ(d.EdFreqLow->text(), "20");
    EXPECT_EQ(d.EdFreqHigh->text(), "15000");
    EXPECT_EQ(d.CBFilter->currentText(), "C Weighting");
    EXPECT_FALSE(d.CBFundAuto->isChecked());
    EXPECT_TRUE(d.EdFundamental->isEnabled());
    EXPECT_EQ(d.EdFundamental->text(), "997");
    EXPECT_EQ(d.EdThreshold->text(), "-60");
    EXPECT_TRUE(d.CBH[0]->isChecked());
    EXPECT_FALSE(d.CBH[1]->isChecked());
    EXPECT_TRUE(d.CBH[2]->isChecked());
    EXPECT_TRUE(d.CBNoise->isChecked());
    EXPECT_FALSE(d.CBTHD->isChecked());
    EXPECT_TRUE(d.CBLevel->isChecked() && d.CBDistortion->isChecked() && d.CBWuF->isChecked());
    EXPECT_FALSE(d.CBIM->isChecked() || d.CBSignalNoise->isChecked() || d.CBModDist->isChecked());
    EXPECT_EQ(d.SETextSize->value(), 12);
    EXPECT_EQ(d.SETextSize->minimum(), 7);
    EXPECT_EQ(d.SETextSize->maximum(), 144);
    EXPECT_EQ(d.CBFilter->count(), 16) << "none, 14 tables, USER";
    EXPECT_EQ(d.CBFilter->itemText(d.CBFilter->count() - 1), "USER");

    TAnaDlg german(a, 'D');
    EXPECT_EQ(german.windowTitle(), "Analyse Dialog");

    // What a measurement found shows only while the search is on; the manual one otherwise.
    EXPECT_EQ(TAnaDlg(a, 'E', 1234.4).EdFundamental->text(), "997");
    a.bFundAuto = true;
    EXPECT_EQ(TAnaDlg(a, 'E', 1234.4).EdFundamental->text(), "1234");
    EXPECT_EQ(TAnaDlg(a, 'E').EdFundamental->text(), "997");
}

// Each bad field in turn, in the order the checks run: a warning naming the first one, the
// dialog stays open and the settings keep their values; when all are right OK closes.
TEST_F(AnaDialogs, OkChecksInOrderAndWarnsInTheProgramsLanguage) {
    struct Lang {
        char code;
        QString title;
        QStringList texts;
    };
    const Lang langs[] = {
        {'E',
         "Warning",
         {"Frequency low not correct", "Frequency high not correct",
          "Frequency high must be greater than low value", "Fundamental not correct",
          "Treshhold Value not correct"}},
        {'D',
         "Warnung",
         {"Frequenz low nicht korrekt", "Frequenz high nicht korrekt",
          "Frequenz high sollte größer low sein", "Grundfrequenz nicht korrekt",
          "Pegel Schwellwert nicht korrekt"}},
    };
    for (const Lang& l : langs) {
        rec.texts.clear();
        cAnaPara a = sample();
        const cAnaPara before = a;
        TAnaDlg d(a, l.code);
        d.show();
        d.EdFreqLow->setText("abc");
        d.EdFreqHigh->setText("12.5");
        d.EdFundamental->setText("");
        d.EdThreshold->setText("3");
        click(d.OKBtn);
        d.EdFreqLow->setText("-5");
        click(d.OKBtn);
        d.EdFreqLow->setText(" 400 ");
        click(d.OKBtn);
        d.EdFreqHigh->setText("400");
        click(d.OKBtn);
        d.EdFreqHigh->setText("300");
        click(d.OKBtn);
        d.EdFreqHigh->setText("18000");
        click(d.OKBtn);
        d.EdFundamental->setText("1000x");
        click(d.OKBtn);
        d.EdFundamental->setText("1000");
        click(d.OKBtn);
        d.EdThreshold->setText("-");
        click(d.OKBtn);
        const int m = 0, h = 1, o = 2, f = 3, t = 4;
        QStringList want;
        for (int i : {m, m, h, o, o, f, f, t, t})
            want << l.title + "|" + l.texts[i];
        EXPECT_EQ(rec.texts, want);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(a.lfvon, before.lfvon) << "nothing stored while a field is wrong";
        EXPECT_EQ(a.lfbis, before.lfbis);
        EXPECT_TRUE(d.EdThreshold->hasFocus() || !QApplication::focusWidget());

        d.EdThreshold->setText(l.code == 'D' ? "-20,5" : "-20.5");
        click(d.OKBtn);
        EXPECT_EQ(rec.texts.size(), want.size()) << "no further warning";
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(a.lfvon, 400);
        EXPECT_EQ(a.lfbis, 18000);
        EXPECT_FLOAT_EQ(a.fManualFundamental, 1000.f);
        EXPECT_NEAR(a.fFundlow, std::pow(10.0, -20.5 / 20), 1e-7) << "stored linear";
    }
}

TEST_F(AnaDialogs, ThresholdZeroIsAllowedAndStoredAsOne) {
    cAnaPara a;
    TAnaDlg d(a, 'E');
    EXPECT_EQ(d.EdThreshold->text(), "-40") << "default 0.01";
    d.EdThreshold->setText("0");
    click(d.OKBtn);
    EXPECT_TRUE(rec.texts.isEmpty());
    EXPECT_FLOAT_EQ(a.fFundlow, 1.0f);
}

// THD sets and locks H2..H9; off again they are free and stay set. Hx: noise bit 0, H2..H9 1..8.
TEST_F(AnaDialogs, ThdSetsAndLocksAllHarmonics) {
    cAnaPara a = sample();
    TAnaDlg d(a, 'E');
    click(d.CBTHD);
    for (QCheckBox* h : d.CBH) {
        EXPECT_TRUE(h->isChecked());
        EXPECT_FALSE(h->isEnabled());
    }
    click(d.CBNoise);
    click(d.OKBtn);
    EXPECT_EQ(a.Hx, 0x1FE) << "THD without noise";

    TAnaDlg again(a, 'E');
    EXPECT_TRUE(again.CBTHD->isChecked()) << "all harmonics show as THD";
    EXPECT_FALSE(again.CBH[7]->isEnabled());
    click(again.CBTHD);
    for (QCheckBox* h : again.CBH)
        EXPECT_TRUE(h->isChecked() && h->isEnabled());
    click(again.CBH[0]);
    click(again.CBNoise);
    click(again.OKBtn);
    EXPECT_EQ(a.Hx, 0x1FC | 1);
}

// "USER" asks for a file starting from the current one; cancelling keeps the filter before.
TEST_F(AnaDialogs, UserFilterAsksForAFile) {
    cAnaPara a = sample();
    a.UserFname = "/old/room.cor";
    TAnaDlg d(a, 'E');
    QStringList asked;
    QString answer;
    d.setFileChooser([&](const QString& start) {
        asked << start;
        return answer;
    });
    const int user = d.CBFilter->findText("USER");
    d.CBFilter->setCurrentIndex(user);
    emit d.CBFilter->activated(user);
    EXPECT_EQ(asked, QStringList{"/old/room.cor"});
    EXPECT_EQ(d.CBFilter->currentText(), "C Weighting") << "cancelled";

    answer = "/tmp/speaker.cor";
    d.CBFilter->setCurrentIndex(user);
    emit d.CBFilter->activated(user);
    EXPECT_EQ(d.CBFilter->currentText(), "USER");
    EXPECT_EQ(d.LaUserFile->text(), "speaker.cor");
    const int a_weighting = d.CBFilter->findText("A Weighting");
    d.CBFilter->setCurrentIndex(a_weighting);
    emit d.CBFilter->activated(a_weighting);
    EXPECT_EQ(asked.size(), 2) << "other filters ask nothing";
    d.CBFilter->setCurrentIndex(user);
    emit d.CBFilter->activated(user);
    EXPECT_EQ(asked.last(), "/tmp/speaker.cor");
    click(d.OKBtn);
    EXPECT_EQ(a.filter, "USER");
    EXPECT_EQ(a.UserFname, "/tmp/speaker.cor");
}

// OK and Apply store and recount the result lines; Apply closes with the retry result; Cancel
// stores nothing.
TEST_F(AnaDialogs, ApplyAndCancel) {
    cAnaPara a = sample();
    {
        TAnaDlg d(a, 'E');
        click(d.CBIM);
        click(d.CBSignalNoise);
        click(d.CBModDist);
        d.SETextSize->setValue(30);
        click(d.CancelBtn);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(a.bIMmess);
        EXPECT_EQ(a.iResultTextSize, 12);
    }
    TAnaDlg d(a, 'E');
    d.show();
    click(d.CBIM);
    click(d.CBWuF);
    d.SETextSize->setValue(30);
    click(d.ApplyBtn);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), TAnaDlg::kApplyResult);
    EXPECT_TRUE(a.bIMmess);
    EXPECT_FALSE(a.bWuFmess);
    EXPECT_EQ(a.iResultTextSize, 30);
    EXPECT_EQ(a.iMeasLines, 3) << "level, distortion, IM";
}

// The setup dialog: items into the fields on OK, nothing on Cancel; "2 Sigma 5s" names the
// standard but keeps the detector.
TEST_F(AnaDialogs, WowFlutterSetupItemsToFields) {
    cAnaPara a = sample();
    {
        TWuFSetupDlg d(a);
        EXPECT_TRUE(d.m_freq->button(0)->isChecked());
        EXPECT_TRUE(d.m_standard->button(0)->isChecked());
        EXPECT_TRUE(d.m_mode->button(1)->isChecked());
        EXPECT_FALSE(d.CBBandpass->isChecked());
        EXPECT_EQ(d.m_freq->button(1)->text(), "3.15kHz DIN/IEC ");
        EXPECT_EQ(d.m_standard->button(2)->text(), "DIN/IEC/CCIR");
        EXPECT_EQ(d.RGMode->title(), "W&&F Mode");
        click(d.m_freq->button(1));
        click(d.m_standard->button(2));
        click(d.CancelBtn);
        EXPECT_EQ(a.WuFfreq, e3khz) << "cancelled";
        EXPECT_EQ(a.WuFFilter, "NAB");
    }
    struct Case {
        int standard;
        const char* name;
        eWuFMess detector;
    };
    for (const Case c : {Case{0, "NAB", eNab}, Case{1, "JIS", eJIS}, Case{2, "DIN/IEC", eDINIEC},
                         Case{3, "2 Sigma 5s", eJIS}}) {
        a.WuFeFilter = eJIS;
        TWuFSetupDlg d(a);
        click(d.m_freq->button(1));
        click(d.m_standard->button(c.standard));
        click(d.m_mode->button(2));
        click(d.CBBandpass);
        click(d.OKBtn);
        EXPECT_EQ(a.WuFfreq, e315khz);
        EXPECT_EQ(a.WuFFilter, c.name);
        EXPECT_EQ(a.WuFeFilter, c.detector);
        EXPECT_EQ(a.WuFmode, eFlutter);
        EXPECT_TRUE(a.WuFBP);
        a.WuFBP = false;
    }
    TWuFSetupDlg sigma(a);
    EXPECT_TRUE(sigma.m_standard->button(3)->isChecked()) << "the name selects its item";
}

// "Setup" edits the analysis dialog's copy: Cancel of the analysis dialog drops it, OK keeps it.
TEST_F(AnaDialogs, SetupButtonEditsTheDialogsCopy) {
    cAnaPara a = sample();
    auto pickJis = [](TWuFSetupDlg& w) {
        click(w.m_standard->button(1));
        click(w.OKBtn);
        return w.result();
    };
    {
        TAnaDlg d(a, 'E');
        d.setWuFRunner(pickJis);
        click(d.ButWuFSetup);
        EXPECT_EQ(d.copy().WuFFilter, "JIS");
        click(d.CancelBtn);
        EXPECT_EQ(a.WuFFilter, "NAB");
    }
    TAnaDlg d(a, 'E');
    d.setWuFRunner(pickJis);
    click(d.ButWuFSetup);
    click(d.OKBtn);
    EXPECT_EQ(a.WuFFilter, "JIS");
    EXPECT_EQ(a.WuFeFilter, eJIS);
}

// Pictures of both dialogs for a look (VL_SHOT_DIR set): the grab has the dialog's size.
TEST_F(AnaDialogs, Pictures) {
    cAnaPara a = sample();
    a.filter = "USER";
    a.UserFname = "/home/user/measurements/speaker response.cor";
    for (char lang : {'E', 'D'}) {
        TAnaDlg d(a, lang);
        d.show();
        const QPixmap p = d.grab();
        EXPECT_EQ(p.size(), d.size());
        const QString dir = qEnvironmentVariable("VL_SHOT_DIR");
        if (!dir.isEmpty()) {
            EXPECT_TRUE(p.save(QDir(dir).filePath(QString("AnaDlg_%1.png").arg(lang))));
        }
        if (lang == 'E') {
            TWuFSetupDlg w(a);
            w.show();
            const QPixmap q = w.grab();
            EXPECT_EQ(q.size(), w.size());
            if (!dir.isEmpty()) {
                EXPECT_TRUE(q.save(QDir(dir).filePath("WuFSetupDlg.png")));
            }
        }
    }
}
