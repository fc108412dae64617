// Tests of the sample memory's text and raw PCM files, including damaged and hostile files.
#include "dsp/Tsamplemem.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

class TsamplememFiles : public ::testing::Test {
protected:
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
    static std::string read(const std::string& f) {
        std::ifstream in(f, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void write(const std::string& f, const std::string& text) {
        std::ofstream(f, std::ios::binary) << text;
    }
    // A buffer whose content shows whether a failed load touched it.
    static Tsamplemem marker() {
        Tsamplemem s(3);
        s.fillComplete(7.0);
        return s;
    }
    static void expectUntouched(const Tsamplemem& s) {
        ASSERT_EQ(s.samples(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(s.getsmAr(i), 7.0);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(TsamplememFiles, YFileRoundTripKeepsFifteenDigitsWithPointsAndCrLf) {
    // A locale with a decimal comma must not leak into the files.
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    const std::vector<double> v{0.1, -1.0 / 3.0, 1e-300, 123456.789012345, -0.0, 2.5e17};
    Tsamplemem s(static_cast<int32_t>(v.size()));
    for (size_t i = 0; i < v.size(); ++i)
        s.setsmAr(int32_t(i), v[i]);
    const std::string f = path("y.txt");
    ASSERT_EQ(s.save2file(f), 0);
    std::setlocale(LC_NUMERIC, "C");
    const std::string text = read(f);
    EXPECT_EQ(text.substr(0, 31), "// START-> Y Values\r\n0.1\r\n-0.33");
    EXPECT_NE(text.find("\r\n1e-300\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(','), std::string::npos) << (german ? "German locale active" : "");
    Tsamplemem back;
    ASSERT_TRUE(back.loadFromFile(f, 6));
    for (size_t i = 0; i < v.size(); ++i)
        EXPECT_NEAR(back.getsmAr(int32_t(i)), v[i], std::fabs(v[i]) * 1e-14) << i;
    EXPECT_TRUE(std::signbit(back.getsmAr(4)));
    EXPECT_EQ(s.save2file(path("no/such/dir.txt")), 1);
}

TEST_F(TsamplememFiles, ReadingRules) {
    const std::string f = path("rules.txt");
    write(f, "title 1.0\n2.0\nheader // here\r\n  1,5 \t\r\n+2\n-3e2\n4\n");
    Tsamplemem s;
    ASSERT_TRUE(s.loadFromFile(f, 3)) << "lines up to the first // are skipped";
    EXPECT_EQ(s.getsmAr(0), 1.5);
    EXPECT_EQ(s.getsmAr(1), 2.0);
    EXPECT_EQ(s.getsmAr(2), -300.0);
    EXPECT_EQ(s.samples(), 3);

    write(f, "//\n1\n2\nnot a number\n3\n");
    Tsamplemem m = marker();
    EXPECT_FALSE(m.loadFromFile(f, 3)) << "reading ends at the first line that is no number";
    expectUntouched(m);
    EXPECT_NE(m.lastError().find("2 of 3"), std::string::npos) << m.lastError();
}

TEST_F(TsamplememFiles, XYFileAppendsAndReadsBack) {
    const std::string f = path("xy.txt");
    write(f, "my header\r\n");
    Tsamplemem x = Tsamplemem::constructXaxis(4, 8, 0, 48000), y(4);
    for (int i = 0; i < 4; ++i)
        y.setsmAr(i, -i * 0.25);
    ASSERT_EQ(y.save2filepX(f, x), 0);
    EXPECT_EQ(read(f), "my header\r\n// START-> X , Y Values\r\n0 , 0\r\n6000 , -0.25\r\n"
                       "12000 , -0.5\r\n18000 , -0.75\r\n");
    Tsamplemem xb, yb;
    ASSERT_TRUE(yb.loadFromFilepX(f, 4, xb));
    EXPECT_EQ(xb.getsmAr(3), 18000.0);
    EXPECT_EQ(yb.getsmAr(2), -0.5);

    EXPECT_EQ(y.save2filepX(path("missing.txt"), x), 1) << "appends only to an existing file";
    Tsamplemem shortX(2);
    EXPECT_EQ(y.save2filepX(f, shortX), 1);
    EXPECT_EQ(read(f).size(), 86u) << "a refused save leaves the file as it was";

    write(f, "//\n1 , 2\n3 ; 4\n");
    Tsamplemem m = marker(), mx = marker();
    EXPECT_FALSE(m.loadFromFilepX(f, 2, mx)) << "a line without ',' ends the reading";
    expectUntouched(m);
    expectUntouched(mx);
}

// Whatever a file holds, a load gives false, keeps the buffer and uses bounded memory.
TEST_F(TsamplememFiles, DamagedAndHostileFiles) {
    const std::string f = path("bad.txt");
    auto rejects = [&](const std::string& content, int32_t sampl, const char* what) {
        write(f, content);
        Tsamplemem m = marker(), mx = marker();
        EXPECT_FALSE(m.loadFromFile(f, sampl)) << what;
        expectUntouched(m);
        EXPECT_FALSE(m.loadFromFilepX(f, sampl, mx)) << what;
        expectUntouched(mx);
        EXPECT_FALSE(m.lastError().empty()) << what;
    };
    rejects("// START-> Y Values\r\n1\r\n2\r\n", 3, "truncated");
    rejects("no header at all\n1\n2\n3\n", 3, "no header");
    rejects("", 1, "empty");
    rejects(std::string("//\n\x01\xff\x00\x80garbage\n", 15), 1, "binary");
    const char16_t utf16[] = u"// START-> Y Values\r\n1\r\n";
    rejects(std::string(reinterpret_cast<const char*>(utf16), sizeof utf16 - 2), 1, "UTF-16");
    rejects("//\n1e999\n", 1, "out of double range");
    rejects("//\n1\n", 0, "nothing requested");
    rejects("//\n1\n", -5, "negative count");

    const int64_t before = Tsamplemem::allocatedSamples();
    rejects("//\n1\n2\n", std::numeric_limits<int32_t>::max(), "absurd count");
    EXPECT_EQ(Tsamplemem::allocatedSamples(), before);

    // 100 MB without a line end: in the header, then as a data line.
    std::string huge(100u << 20, '7');
    rejects(huge, 1, "huge header line");
    rejects("//\n" + huge + "\n", 1, "huge data line");
    huge.replace(huge.size() - 3, 3, "//\n");
    write(f, huge + "0.5\n");
    Tsamplemem ok;
    EXPECT_TRUE(ok.loadFromFile(f, 1)) << "a // far into a long line still ends the header";
    EXPECT_EQ(ok.getsmAr(0), 0.5);

    Tsamplemem m = marker();
    EXPECT_FALSE(m.loadFromFile(path("does-not-exist.txt"), 1));
    expectUntouched(m);
    EXPECT_NE(m.lastError().find("does-not-exist"), std::string::npos);
}

TEST_F(TsamplememFiles, Pcm16RoundsHalfToEvenAndClamps) {
    const std::vector<double> v{1.0,          -1.0, 0.5,  0.5 / 32768, 1.5 / 32768,
                                -2.5 / 32768, 2.0,  -7.0, std::nan("")};
    const std::vector<int> want{32767, -32768, 16384, 0, 2, -2, 32767, -32768, 0};
    Tsamplemem s(static_cast<int32_t>(v.size()));
    for (size_t i = 0; i < v.size(); ++i)
        s.setsmAr(int32_t(i), v[i]);
    const std::string f = path("pcm.raw");
    ASSERT_EQ(s.writeTo16bitPCMFile(f), 0);
    const std::string bytes = read(f);
    ASSERT_EQ(bytes.size(), 2 * v.size()) << "no header";
    for (size_t i = 0; i < v.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
        EXPECT_EQ(static_cast<int16_t>(lo | (hi << 8)), want[i]) << i;
    }
    EXPECT_EQ(s.writeTo16bitPCMFile(path("no/such/dir.raw")), 1);
}
