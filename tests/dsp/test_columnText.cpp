// Column files of other programs: the documented layouts read right, sensitivity lines found, bad input refused.
#include "dsp/columnText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TColumnTable read(const std::string& text, std::string* error = nullptr)
{
    TColumnTable t;
    std::string why;
    EXPECT_TRUE(ReadColumnText(text, t, &why)) << why;
    if (error) *error = why;
    return t;
}

// The table t is still the sentinel after a refused read, and the reason names `expected`.
void expectRefused(const std::string& text, const std::string& expected)
{
    TColumnTable t;
    t.x = {42.0};
    std::string why;
    EXPECT_FALSE(ReadColumnText(text, t, &why)) << text.substr(0, 60);
    EXPECT_NE(why.find(expected), std::string::npos) << why;
    EXPECT_EQ(t.x, std::vector<double>{42.0}) << "a refused file changed the table";
}

} // namespace

// Written by hand from the layouts measurement programs document: a loudspeaker response
// (FRD: '*' comments, blanks, phase), an impedance (ZMA: tabs, no phase), a spreadsheet CSV
// with a header row and a European one (';' and decimal comma).
TEST(ColumnText, DocumentedLayoutsOfOtherToolsRead)
{
    const TColumnTable frd = read("* Woofer 8 inch, on-axis, 1 m\r\n* Freq(Hz) SPL(dB) Phase(deg)\r\n"
                                  "20.0  78.31 -12.5\r\n  1000   90.02   3.25  \r\n\r\n20000 84.5 -170\r\n");
    EXPECT_EQ(frd.x, (std::vector<double>{20.0, 1000.0, 20000.0}));
    EXPECT_EQ(frd.y, (std::vector<double>{78.31, 90.02, 84.5}));
    EXPECT_EQ(frd.phase, (std::vector<double>{-12.5, 3.25, -170.0}));
    EXPECT_EQ(frd.notes.size(), 2u);

    const TColumnTable zma = read("10\t6.21\n100\t32.4\n1000\t7.9\n");
    EXPECT_EQ(zma.y, (std::vector<double>{6.21, 32.4, 7.9}));
    EXPECT_TRUE(zma.phase.empty()) << "no phase column: no phase";

    const TColumnTable csv = read("Frequency (Hz),Level (dB),Phase (deg)\n100,-3.5,10\n200,-1e-1,+20\n");
    EXPECT_EQ(csv.y, (std::vector<double>{-3.5, -0.1}));
    EXPECT_EQ(csv.phase, (std::vector<double>{10.0, 20.0}));
    EXPECT_EQ(csv.notes, std::vector<std::string>{"Frequency (Hz),Level (dB),Phase (deg)"});

    const TColumnTable eu = read("\"Frequenz\";\"Pegel\"\n100,5;-3,5\n1000;0,25\n");
    EXPECT_EQ(eu.x, (std::vector<double>{100.5, 1000.0}));
    EXPECT_EQ(eu.y, (std::vector<double>{-3.5, 0.25}));

    // Blank separated with decimal commas, and a phase missing in one row: no phase at all.
    const TColumnTable mixed = read("\xEF\xBB\xBF" "100,5 -3,5 10\n200 -1 \n");
    EXPECT_EQ(mixed.x, (std::vector<double>{100.5, 200.0}));
    EXPECT_TRUE(mixed.phase.empty());
}

TEST(ColumnText, BadInputIsRefusedWithItsLine)
{
    expectRefused("100 1\n200 2\n150 3\n", "line 3: the frequency does not rise");
    expectRefused("100 1\n100 2\n", "line 2: the frequency does not rise");
    expectRefused("100 1\n200 2\n300\n", "line 3: not a row");         // truncated after the first number
    expectRefused("100|1\n200|2\n", "fewer than two rows");              // separator nobody uses
    expectRefused("100 1\n200 abc\n", "line 2: not a row");
    expectRefused("100 1\n200 nan\n", "line 2");                        // not a finite number
    expectRefused("100 1\n200 1e999\n", "line 2");
    expectRefused(std::string("100 1\n\0\x01\x02 2\n", 12), "not a text file");
    expectRefused("\xFF\xFE" "1\0" "0\0", "not a text file");           // UTF-16
    expectRefused("", "fewer than two rows");
    expectRefused("* only a comment\n1000 0\n", "fewer than two rows");
    expectRefused(std::string(kMaxColumnFileBytes + 1, '1'), "too large");
}

TEST(ColumnText, SensitivityLinesOfMicrophoneFiles)
{
    auto sens = [](const std::string& text) { return FindMicSensitivity(read(text).notes); };
    const auto dB = sens("\"Sens Factor =-1.5dB, AGain =0dB, SERNO: 7000123\"\n20 -0.5\n20000 2.1\n");
    ASSERT_TRUE(dB);
    EXPECT_TRUE(dB->inDecibel);
    EXPECT_DOUBLE_EQ(dB->value, -1.5);

    const auto mv = sens("* Sensitivity: 12,5 mV/Pa\n20 0\n20000 0\n");
    ASSERT_TRUE(mv);
    EXPECT_FALSE(mv->inDecibel);
    EXPECT_DOUBLE_EQ(mv->value, 12.5);

    EXPECT_FALSE(sens("* Sensitivity 12\n20 0\n20000 0\n")) << "a bare number has no unit";
    EXPECT_FALSE(sens("* Sensitivity 0 mV/Pa\n20 0\n20000 0\n")) << "no microphone has no sensitivity";
    EXPECT_FALSE(sens("* no sensitivity here\n20 0\n20000 0\n"));
}
