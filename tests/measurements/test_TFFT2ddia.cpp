// FFT settings dialog: option words per mode, the size list and its clamp, 3D stepping, second curve.
#include "measurements/TFFT2ddiaModel.h"
#include "measurements/ui/TFFT2ddia.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class FFT2ddia : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TFFT2ddia";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
};

TEST_F(FFT2ddia, optionWordsOfTheModes)
{
    EXPECT_EQ(FFTDialogOptions(1, 0), fdoNextCurve | fdoWindow);
    EXPECT_EQ(FFTDialogOptions(12, 0), FFTDialogOptions(1, 0));
    EXPECT_EQ(FFTDialogOptions(4, 0), fdoContinuous | fdoReference | fdoWindow | fdoExternal | fdoMLSAuto);
    // An impulse signal of the generator adds the impulse options in mode 4, samples-before in 5.
    EXPECT_EQ(FFTDialogOptions(4, 6) & 0x7FF, 0x7FE);
    EXPECT_EQ(FFTDialogOptions(5, 5), fdo3DStepping | fdoContinuous | fdoReference | fdoSamplesBefore | fdoWindow |
                                          fdoExternal | fdoMLSAuto);
    EXPECT_EQ(FFTDialogOptions(2, 0), 0);
    EXPECT_EQ(FFTDialogHelpTopic(FFTDialogOptions(11, 0)), 43);
    EXPECT_EQ(FFTDialogHelpTopic(FFTDialogOptions(1, 0)), 41);
}

TEST_F(FFT2ddia, fifteenSizesAndALargerStoredSizeIsCut)
{
    const QStringList sizes = FFTSizeItems();
    ASSERT_EQ(sizes.size(), 15);
    EXPECT_EQ(sizes.front(), "64");
    EXPECT_EQ(sizes.back(), "1048576");
    cFFTdat fft;
    fft.SamplesFFT = 4194304;
    TFFT2ddia dlg(FFTDialogDataFrom(fft, 1, 48000), FFTDialogOptions(1, 0));
    EXPECT_EQ(dlg.CBPoints->currentText(), "1048576");
    EXPECT_EQ(dlg.LaResolution->text(), "0.05 Hz");
    dlg.accept();
    EXPECT_EQ(FFTDialogDataTo(dlg.data(), fft), 1);
    EXPECT_EQ(fft.SamplesFFT, 1048576);
    dlg.CBPoints->setCurrentIndex(0);
    EXPECT_EQ(dlg.LaResolution->text(), "750.00 Hz");
}

TEST_F(FFT2ddia, threeDSteppingMovesBySamplePeriodsAndNeverBelowOne)
{
    EXPECT_NEAR(Step3D(10.0, 48000, 1), 10.0 + 1000.0 / 48000, 1e-12);
    EXPECT_NEAR(Step3D(0.0, 48000, -1), 1000.0 / 48000, 1e-12);
    TFFT2ddiaData d;
    d.dsamplef = 1000;
    d.dfft3Dstepping_ms = 3.0;
    TFFT2ddia dlg(d, FFTDialogOptions(5, 0));
    dlg.Down3D->click();
    dlg.Down3D->click();
    dlg.Down3D->click();
    EXPECT_EQ(dlg.La3D->text(), "1.000");
    dlg.Up3D->click();
    EXPECT_EQ(dlg.La3D->text(), "2.000");
}

TEST_F(FFT2ddia, phaseAndGroupDelayExcludeEachOtherAndModeTwelveBecomesOne)
{
    TFFT2ddiaData d;
    d.dMeasMode = 12;
    TFFT2ddia dlg(d, FFTDialogOptions(4, 6));
    EXPECT_FALSE(dlg.CBIps2Ch->isEnabled());
    EXPECT_TRUE(dlg.CBIps2Ch->isChecked());
    dlg.CBPhase->click();
    EXPECT_FALSE(dlg.CBIps2Ch->isChecked());
    dlg.CBGD->click();
    EXPECT_FALSE(dlg.CBPhase->isChecked());
    EXPECT_TRUE(dlg.CBGD->isChecked());
    dlg.CBGD->click();
    EXPECT_TRUE(dlg.CBIps2Ch->isChecked());
    EXPECT_TRUE(dlg.CBVU->isHidden());
    dlg.accept();
    EXPECT_EQ(dlg.data().dMeasMode, 1); // "VU Meter" is unchecked on activation
    TFFT2ddiaData impulse;
    impulse.dMeasMode = 4;
    TFFT2ddia dlg4(impulse, FFTDialogOptions(4, 0));
    dlg4.accept();
    EXPECT_EQ(dlg4.data().dMeasMode, 4);
}

} // namespace
