// Recordings saved as WAV read back through the generator's sound-file loader.
#include "core/TRecordingWav.h"

#include "TGenSoundFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

// Float files give back every sample as its float; 24-bit files within half a step (2^-24),
// with values beyond full scale clipped. Rate and channel count survive.
TEST(RecordingWav, RoundTripsThroughTheGeneratorsLoader)
{
    QTemporaryDir dir;
    const int rate = 44100, n = 4410;
    std::vector<std::vector<double>> ch(2, std::vector<double>(n));
    for (int i = 0; i < n; ++i) {
        ch[0][i] = 0.9 * std::sin(2 * std::numbers::pi * 997.0 * i / rate);
        ch[1][i] = 1.25 * std::sin(2 * std::numbers::pi * 50.0 * i / rate); // over full scale
    }
    for (eWavSample fmt : {eWavSample::ws_Float32, eWavSample::ws_PCM24}) {
        const std::string path = dir.filePath(fmt == eWavSample::ws_Float32 ? "f.wav" : "p.wav").toStdString();
        std::string why;
        ASSERT_TRUE(WriteRecordingWav(path, ch, rate, fmt, why)) << why;
        const auto back = TGenSoundFile::load(path, rate, why);
        ASSERT_TRUE(back) << why;
        ASSERT_EQ(back->frames(), n);
        EXPECT_EQ(back->channels(), 2);
        for (int i = 0; i < n; ++i) {
            if (fmt == eWavSample::ws_Float32) {
                ASSERT_EQ(back->at(0, i), double(float(ch[0][i])));
                ASSERT_EQ(back->at(1, i), double(float(ch[1][i])));
            } else {
                ASSERT_NEAR(back->at(0, i), ch[0][i], std::ldexp(1.0, -23));
                ASSERT_NEAR(back->at(1, i), std::clamp(ch[1][i], -1.0, 1.0), std::ldexp(1.0, -23));
            }
        }
        EXPECT_FALSE(TGenSoundFile::load(path, 48000, why)) << "the real rate is stored";
    }
}

TEST(RecordingWav, NothingToSaveOrNowhereToSaveItLeavesNoFile)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("r.wav").toStdString();
    std::string why;
    EXPECT_FALSE(WriteRecordingWav(path, {}, 48000, eWavSample::ws_Float32, why));
    EXPECT_EQ(why, "there is no recording to save");
    EXPECT_FALSE(WriteRecordingWav(path, {{0.1, 0.2}}, 0, eWavSample::ws_Float32, why));
    EXPECT_FALSE(WriteRecordingWav(dir.filePath("no/such/dir/r.wav").toStdString(), {{0.1, 0.2}}, 48000,
                                   eWavSample::ws_PCM24, why));
    EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
    EXPECT_FALSE(std::filesystem::exists(path));
}
