// Microphone calibration files as the input correction: the curve at the file's points, the sensitivity, nothing rewritten.
#include "analysis/TCorrectionSet.h"
#include "analysis/TMicCalibration.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A measuring microphone's file as its maker ships it: quoted header with the sensitivity
// factor, then frequency, dB and phase, blank separated.
const QByteArray kMicFile = "\"Sens Factor =-1.5dB, AGain =18dB, SERNO: 7001234\"\r\n"
                            "10.0 -3.20 12.0\r\n100.0 -0.41 2.0\r\n1000 0.00 0\r\n"
                            "10000 1.73 -9.5\r\n20000 -2.95 -20\r\n";

} // namespace

// Through the correction set, as the menu and the command line load it: the curve subtracts the
// file's dB plus the sensitivity factor at every point of the file (±0.01 dB), and the file
// stays byte for byte as it was, also when loaded again as at the next start.
TEST(MicCalibration, CorrectsByItsCurveAndSensitivityFactor)
{
    QTemporaryDir dir;
    const QString path = write(dir, "mic.txt", kMicFile);
    TCorrectionSet set;
    ASSERT_TRUE(set.open(TCorrectionSet::Input, path));
    const Tcorri& cor = set.curve(TCorrectionSet::Input);
    const double f[] = {10, 100, 1000, 10000, 20000}, dB[] = {-3.20, -0.41, 0.0, 1.73, -2.95};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(cor.corri(60.0, f[i], 0.0), 60.0 - (dB[i] - 1.5), 0.01) << f[i] << " Hz";
    EXPECT_NEAR(cor.corri(60.0, 550.0, 0.0), 60.0 - (-0.41 + 0.41 * 450.0 / 900.0 - 1.5), 0.01) << "linear between points";
    ASSERT_TRUE(set.open(TCorrectionSet::Input, path));
    EXPECT_EQ(contents(path), kMicFile) << "a microphone file is never rewritten";

    TMicCalibrationFile mic;
    ASSERT_TRUE(ReadMicCalibration(path, mic));
    EXPECT_FALSE(OfferedMicSensitivity(mic)) << "a dB factor is not a sensitivity in mV/Pa";
    ASSERT_TRUE(ReadMicCalibration(write(dir, "mv.cal", "* Sensitivity: 25.3 mV/Pa\n20 0\n20000 0\n"), mic));
    ASSERT_TRUE(OfferedMicSensitivity(mic));
    EXPECT_DOUBLE_EQ(*OfferedMicSensitivity(mic), 25.3);
}

// A plain correction file still loads as before (separator ';'), and a bad microphone file
// leaves the correction that was loaded untouched in the reader.
TEST(MicCalibration, PlainCorrectionFilesAndBadFiles)
{
    QTemporaryDir dir;
    TCorrectionSet set;
    ASSERT_TRUE(set.open(TCorrectionSet::Input, write(dir, "plain.cor", "10;1\n1000;2\n20000;3\n")));
    EXPECT_NEAR(set.curve(TCorrectionSet::Input).corri(0.0, 1000.0, 0.0), -2.0, 1e-12);

    TMicCalibrationFile mic;
    mic.table.x = {1.0};
    QString why;
    EXPECT_FALSE(ReadMicCalibration(write(dir, "bin.cal", QByteArray("\x00\x01\x02\x03", 4)), mic, &why));
    EXPECT_EQ(why, "bin.cal: not a text file (binary data or UTF-16)");
    EXPECT_FALSE(ReadMicCalibration(write(dir, "down.cal", "* x\n100 0\n50 1\n"), mic, &why));
    EXPECT_EQ(why, "down.cal: line 3: the frequency does not rise");
    EXPECT_EQ(mic.table.x, std::vector<double>{1.0});
}
