// Tests of correction curves (files, tables, interpolation, messages) and of the sample memory's
// correction methods.
#include "dsp/corObj.h"
#include "dsp/Tsamplemem.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Shown {
    std::string title; // message box caption
    std::string text;  // message text
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every test gets a fresh folder and records the messages the curves show.
class Corri : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
    }

    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    // Loads `content` written to a file with separator `sep`.
    Tcorri load(const std::string& content, char sep = ';', const char* name = "c.cor") {
        writeAll(path(name), content);
        Tcorri c;
        c.makeCorrArr(path(name), sep, false, report);
        return c;
    }

    QTemporaryDir dir;
    std::vector<Shown> shown;
    // What the loaders below are given: records every message.
    Tcorri::MessageSink report = [this](const std::string& t, const std::string& m) { shown.push_back({t, m}); };
};

const std::string kDefaultSemicolon = "10;0\r\n1000;0\r\n20000;0\r\n";

} // namespace

// ---- construction and tables ------------------------------------------------------------------

TEST_F(Corri, NewCurveIsEmptyInactiveAndLeavesValuesAlone) {
    Tcorri c;
    EXPECT_EQ(c.getPaare(), 0);
    EXPECT_FALSE(c.getaktiv());
    EXPECT_EQ(c.getMode(), 2);
    EXPECT_EQ(c.getapplDir(), -1);
    EXPECT_FALSE(c.getfit2_1kHz());
    c.setaktiv(true); // active but without points: still nothing to apply
    EXPECT_EQ(c.corri(-12.5, 1000.0, 3.0), -12.5);
    double x = 7, y = 7;
    EXPECT_FALSE(c.readXYfromCor(1, x, y));
    EXPECT_EQ(x, 7);
}

TEST_F(Corri, TablesBuffersAndPinkNoise) {
    const double table[] = {100, -6, 1000, 0, 10000, 4};
    Tcorri t;
    t.makecCorrArr(table, 3);
    EXPECT_TRUE(t.getaktiv());
    EXPECT_EQ(t.getapplDir(), -1);
    EXPECT_EQ(t.getFname(), "");
    // applDir -1 adds the curve; offs is added as well.
    EXPECT_NEAR(t.corri(10.0, 550.0, 1.0), 10.0 - 3.0 + 1.0, 1e-12);
    t.setapplDir(+1);
    EXPECT_NEAR(t.corri(10.0, 550.0, 0.0), 13.0, 1e-12);
    t.setaktiv(false);
    EXPECT_EQ(t.corri(10.0, 550.0, 1.0), 10.0);

    Tsamplemem xd(4), yd(2); // y shorter than x: missing y values read 0
    for (int i = 0; i < 4; ++i)
        xd.setsmAr(i, 100.0 * (i + 1));
    yd.setsmAr(0, 5.0);
    yd.setsmAr(1, 7.0);
    Tcorri b;
    b.makeSDCorrArr(yd, xd);
    ASSERT_EQ(b.getPaare(), 4);
    double x = 0, y = 0;
    ASSERT_TRUE(b.readXYfromCor(4, x, y));
    EXPECT_EQ(x, 400.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_NEAR(b.value(150.0), 6.0, 1e-12);

    Tcorri p;
    p.makeCorrArrPinkNoise();
    ASSERT_EQ(p.getPaare(), 16);
    ASSERT_TRUE(p.readXYfromCor(16, x, y));
    EXPECT_EQ(x, 327680.0);
    EXPECT_EQ(y, -45.0);
    EXPECT_NEAR(p.value(30.0), -4.5, 1e-12); // halfway between 20 Hz (-3) and 40 Hz (-6)
}

TEST_F(Corri, CopyAndTruncationNeverReachBeyondThePoints) {
    const double table[] = {10, 1, 20, 2, 30, 3};
    Tcorri a;
    a.makecCorrArr(table, 3);
    a.setMode(3);
    Tcorri b;
    b.setLang('D');
    b.copyfrom(a);
    EXPECT_EQ(b.getPaare(), 3);
    EXPECT_EQ(b.getMode(), 3);
    EXPECT_EQ(b.lang(), 'D');
    b.setPaare(100); // more points than there are: ignored
    EXPECT_EQ(b.getPaare(), 3);
    b.setPaare(2);
    EXPECT_EQ(b.getPaare(), 2);
    EXPECT_EQ(b.value(25.0), 2.0); // beyond the new last point
    b.setPaare(-1);
    EXPECT_EQ(b.getPaare(), 0);
    EXPECT_EQ(a.getPaare(), 3);
}

// ---- interpolation ----------------------------------------------------------------------------

TEST_F(Corri, LinearAndLargerNeighbourAndTheXMode) {
    const double table[] = {10, 4, 1000, 0, 2000, 3};
    Tcorri c;
    c.makecCorrArr(table, 3);
    EXPECT_NEAR(c.value(1500.0), 1.5, 1e-12);
    EXPECT_EQ(c.value(5.0), 4.0);     // before the first point
    EXPECT_EQ(c.value(2000.0), 3.0);  // at the last point
    EXPECT_EQ(c.value(48000.0), 3.0); // beyond it
    EXPECT_EQ(c.value(10.0), 4.0);
    c.setMode(3);
    EXPECT_EQ(c.value(500.0), 4.0);
    EXPECT_EQ(c.value(1500.0), 3.0);
    EXPECT_EQ(c.value(1000.0), 3.0); // at a point: that point and the next
    EXPECT_EQ(c.value(1.0), 4.0);
    EXPECT_EQ(c.value(1e6), 3.0);
    c.setMode(1);
    EXPECT_EQ(c.value(1234.5), 1234.5);
}

TEST_F(Corri, SplineIsNaturalAndExactForStraightLines) {
    std::vector<double> line;
    for (double x : {10.0, 35.0, 100.0, 1000.0, 1500.0, 20000.0})
        line.insert(line.end(), {x, 0.002 * x - 7.0});
    Tcorri s;
    s.makecCorrArr(line.data(), 6);
    s.setMode(0);
    for (double f : {11.0, 60.0, 999.0, 1234.0, 19999.0})
        EXPECT_NEAR(s.value(f), 0.002 * f - 7.0, 1e-9) << f;
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(s.TheCor().CorrectW[size_t(i)].y2, 0.0, 1e-15);

    // (0,0), (1,1), (2,0): y'' = -3 in the middle, 0 at both ends; S(0.5) = 0.6875.
    const double peak[] = {0, 0, 1, 1, 2, 0};
    s.makecCorrArr(peak, 3);
    s.setMode(0);
    EXPECT_NEAR(s.TheCor().CorrectW[1].y2, -3.0, 1e-12);
    EXPECT_EQ(s.TheCor().CorrectW[0].y2, 0.0);
    EXPECT_EQ(s.TheCor().CorrectW[2].y2, 0.0);
    EXPECT_NEAR(s.value(0.5), 0.6875, 1e-12);
    EXPECT_NEAR(s.value(1.5), 0.6875, 1e-12);
    // Numerical second derivative next to the ends tends to 0.
    const double h = 1e-3;
    EXPECT_NEAR((s.value(2 * h) - 2 * s.value(h) + s.value(0.0)) / (h * h), 0.0, 0.02);
    // Outside the points the end values hold (no cubic run-away).
    EXPECT_EQ(s.value(-5.0), 0.0);
    EXPECT_EQ(s.value(50.0), 0.0);
}

TEST_F(Corri, SplineOverRepeatedXFromBuffersStaysFinite) {
    const double table[] = {100, 1, 100, 5, 200, 2, 300, 0};
    Tcorri s;
    s.makecCorrArr(table, 4);
    s.setMode(0);
    for (double f : {50.0, 100.0, 150.0, 250.0, 400.0})
        EXPECT_TRUE(std::isfinite(s.value(f))) << f;
    EXPECT_NEAR(s.value(150.0), 3.5, 1e-12); // straight lines as fallback
}

// ---- files ------------------------------------------------------------------------------------

TEST_F(Corri, FileSyntaxCommasExponentsBlanksAndLineEnds) {
    Tcorri c = load("100,5;-3,5\r\n\r\n  2e3 ; +1.5E0 \n\n3000;\t-0,25\r4000;.5\n");
    ASSERT_TRUE(c.getaktiv());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(c.getapplDir(), 1);
    EXPECT_EQ(c.getFname(), path("c.cor"));
    ASSERT_EQ(c.getPaare(), 4);
    double x = 0, y = 0;
    c.readXYfromCor(1, x, y);
    EXPECT_EQ(x, 100.5);
    EXPECT_EQ(y, -3.5);
    c.readXYfromCor(2, x, y);
    EXPECT_EQ(x, 2000.0);
    EXPECT_EQ(y, 1.5);
    c.readXYfromCor(3, x, y);
    EXPECT_EQ(y, -0.25);
    c.readXYfromCor(4, x, y);
    EXPECT_EQ(x, 4000.0);
    EXPECT_EQ(y, 0.5);

    Tcorri b = load("10 1\n20   2\n", ' ');
    EXPECT_EQ(b.getPaare(), 2);
    EXPECT_NEAR(b.value(15.0), 1.5, 1e-12);
}

TEST_F(Corri, OnePointAndFitTo1kHz) {
    Tcorri one = load("1000;0\n");
    EXPECT_FALSE(one.getaktiv());
    EXPECT_EQ(one.getPaare(), 0);
    EXPECT_TRUE(shown.empty());

    writeAll(path("f.cor"), "1000;2\n2000;5\n");
    Tcorri f;
    EXPECT_TRUE(f.makeCorrArr(path("f.cor"), ';', true, report));
    double x = 0, y = 0;
    f.readXYfromCor(1, x, y);
    EXPECT_EQ(y, 0.0);
    f.readXYfromCor(2, x, y);
    EXPECT_EQ(y, 3.0);

    const double low[] = {10, 2, 500, 4}; // nothing at or above 1 kHz: unchanged
    f.makecCorrArr(low, 2);
    f.FITto1kHz();
    f.readXYfromCor(1, x, y);
    EXPECT_EQ(y, 2.0);
}

TEST_F(Corri, MissingFileIsCreatedInItsOwnFolder) {
    const fs::path cwdBefore = fs::current_path();
    Tcorri c;
    EXPECT_TRUE(c.makeCorrArr(path("new.cor"), ';', false, report));
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readAll(path("new.cor")), kDefaultSemicolon);
    EXPECT_EQ(c.getPaare(), 3);
    EXPECT_EQ(c.corri(-20.0, 123.0, 0.0), -20.0); // flat 0 dB
    EXPECT_FALSE(fs::exists(cwdBefore / "new.cor"));

    Tcorri b;
    EXPECT_TRUE(b.makeCorrArr(path("blank.cor"), ' ', false, report));
    EXPECT_EQ(readAll(path("blank.cor")), "10 0\r\n1000 0\r\n20000 0\r\n");

    Tcorri none; // a folder that does not exist: nothing is written anywhere
    EXPECT_FALSE(none.makeCorrArr(path("nope/x.cor"), ';', false, report));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Warning");
    EXPECT_EQ(shown[0].text, "Correct file '" + path("nope/x.cor") + " :\r\nUnable to create correct-file");
    EXPECT_FALSE(fs::exists(cwdBefore / "x.cor"));
    EXPECT_FALSE(none.getaktiv());
}

TEST_F(Corri, MessagesInBothLanguages) {
    writeAll(path("bad.cor"), "10;0\nxx\n30;1\n40;x\n");
    Tcorri e;
    EXPECT_FALSE(e.makeCorrArr(path("bad.cor"), ';', false, report));
    Tcorri d;
    d.setLang('D');
    d.makeCorrArr(path("bad.cor"), ' ', false, report);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Correct file '" + path("bad.cor") +
                                 " :\r\nError in line 4\r\nText separator correct? See miscellaneous "
                                 "dialog\r\nText separator is act.;");
    EXPECT_EQ(shown[1].text, "Correct file '" + path("bad.cor") +
                                 " :\r\nFehler in Zeile 4\r\nText separator correct? See miscellaneous "
                                 "dialog\r\nText separator is act. ");
    EXPECT_EQ(readAll(path("bad.cor")), "10;0\nxx\n30;1\n40;x\n"); // never rewritten
    EXPECT_EQ(e.getPaare(), 0);

    // Blank lines only: the default lines replace them.
    for (char lang : {'E', 'D'}) {
        shown.clear();
        writeAll(path("empty.cor"), " \r\n\t\n");
        Tcorri c;
        c.setLang(lang);
        EXPECT_FALSE(c.makeCorrArr(path("empty.cor"), ';', false, report));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "Correct file '" + path("empty.cor") + " :\r\n" +
                                     (lang == 'D' ? "Keine Zeilen in Datei,\r\ngeneriere Defaultzeile"
                                                  : "No lines in file !\r\nGenerate default line"));
        EXPECT_EQ(readAll(path("empty.cor")), kDefaultSemicolon);
        EXPECT_FALSE(c.getaktiv());
    }

    shown.clear(); // a folder under the name is neither read nor replaced
    fs::create_directory(path("folder.cor"));
    Tcorri f;
    f.setLang('D');
    EXPECT_FALSE(f.makeCorrArr(path("folder.cor"), ';', false, report));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Correct file '" + path("folder.cor") + " :\r\nFehler beim Lesen");
    EXPECT_TRUE(fs::is_directory(path("folder.cor")));
}

TEST_F(Corri, BadFilesGiveTheLineAndAnEmptyCurve) {
    struct Case {
        const char* what;    // the fault
        std::string content; // file bytes
        int line;            // the line the message must name
    };
    std::mt19937 rng(4711);
    std::string junk(4096, '\0');
    for (char& ch : junk)
        ch = char(rng() & 0xFF);
    const std::string longLine = "20;" + std::string(1 << 20, '1');
    const std::vector<Case> cases{
        {"binary junk", junk, -1},
        {"one word", "hello", 1},
        {"NUL bytes", std::string("10;0\n\0\0\0\n", 9), 2},
        {"comma as separator", "10,0\n1000,0\n", 2},
        {"three commas", "1,000,5;3\n2000;1\n", 1},
        {"not a number", "10;0\n20;nan\n30;inf\n40;0x10\n50;1e999\n", 5},
        {"trailing text", "10;0\n20;1 dB\n", 2},
        {"1 MB line", "10;0\n" + longLine + "\n30;1\n", 2},
        {"latin-1 text", "10;0\n20;\xe4\xf6\n", 2},
    };
    for (const Case& c : cases) {
        shown.clear();
        const Tcorri cor = load(c.content);
        EXPECT_FALSE(cor.getaktiv()) << c.what;
        EXPECT_EQ(cor.getPaare(), 0) << c.what;
        ASSERT_EQ(shown.size(), 1u) << c.what;
        const std::string& t = shown[0].text;
        EXPECT_NE(t.find("Error in line "), std::string::npos) << c.what;
        if (c.line > 0) {
            EXPECT_NE(t.find("Error in line " + std::to_string(c.line) + "\r\n"), std::string::npos)
                << c.what << t;
        }
        EXPECT_EQ(readAll(path("c.cor")), c.content) << c.what;
    }
    // A long line of blanks around a valid point, just under the cap, is still a point.
    shown.clear();
    const std::string padded = std::string(60000, ' ') + "20;1" + std::string(5000, ' ');
    EXPECT_EQ(load("10;0\n" + padded + "\n").getPaare(), 2);
    EXPECT_TRUE(shown.empty());
}

// A repeated x is a step in the curve and loads; a descending x is reported as out of order,
// not as a separator problem.
TEST_F(Corri, RepeatedXIsAStepDescendingXIsUnsorted) {
    shown.clear();
    const Tcorri step = load("10;0\n1000;0\n1000;6\n2000;6\n");
    EXPECT_TRUE(step.getaktiv());
    EXPECT_EQ(step.getPaare(), 4);
    EXPECT_TRUE(shown.empty());
    EXPECT_NEAR(step.corri(0.0, 500.0, 0.0), 0.0, 1e-12);  // below the step
    EXPECT_NEAR(step.corri(0.0, 1500.0, 0.0), -6.0, 1e-12); // above it (applDir +1 subtracts)
    shown.clear();
    const Tcorri unsorted = load("10;0\n1000;1\n500;2\n2000;3\n");
    EXPECT_FALSE(unsorted.getaktiv());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("Error in line 3\r\nx is smaller than in the line before"), std::string::npos)
        << shown[0].text;
    EXPECT_EQ(shown[0].text.find("Text separator"), std::string::npos);
}

TEST_F(Corri, TenMillionLines) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kLines = 1'000'000; // the sanitizers make every line several times slower
#else
    constexpr int kLines = 10'000'000;
#endif
    {
        std::FILE* f = std::fopen(path("big.cor").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string chunk;
        for (int i = 1; i <= kLines; ++i) {
            chunk += std::to_string(i);
            chunk += i % 2 ? ";1\n" : ";3\n";
            if (chunk.size() > (1 << 20)) {
                std::fwrite(chunk.data(), 1, chunk.size(), f);
                chunk.clear();
            }
        }
        std::fwrite(chunk.data(), 1, chunk.size(), f);
        std::fclose(f);
    }
    Tcorri c;
    ASSERT_TRUE(c.makeCorrArr(path("big.cor"), ';', false, report));
    EXPECT_EQ(c.getPaare(), kLines);
    EXPECT_NEAR(c.value(1.5), 2.0, 1e-12);
    EXPECT_NEAR(c.value(kLines - 0.75), 1.5, 1e-9);
    EXPECT_TRUE(shown.empty());

    // The same file with one bad line at the end: only that line is reported.
    { std::ofstream(path("big.cor"), std::ios::binary | std::ios::app) << "oops\n"; }
    c.makeCorrArr(path("big.cor"), ';', false, report);
    EXPECT_EQ(c.getPaare(), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("Error in line " + std::to_string(kLines + 1) + "\r\n"), std::string::npos);
}

TEST_F(Corri, ShippedSoneTable) {
    const std::string sone = std::string(VELMORA_FACTORY_DATA) + "/sonecor.dpf";
    Tcorri s;
    ASSERT_TRUE(s.makeCorrArr(sone, ' ', false, report));
    EXPECT_TRUE(shown.empty());
    EXPECT_GE(s.getPaare(), 61);
    EXPECT_NEAR(s.value(40.0), 1.0, 1e-3);
    EXPECT_NEAR(s.value(50.0), 2.0, 1e-3);
    EXPECT_NEAR(s.value(120.0), 256.0, 1e-3 * 256);
    EXPECT_NEAR(s.value(20.0), std::pow(0.5, 2.642), 1e-3);
}

// ---- the sample memory's correction methods ---------------------------------------------------

TEST_F(Corri, SampleMemoryLogAndCorrectAtBinFrequencies) {
    const double table[] = {0, 0, 1000, 10}; // C(f) = f / 100 dB
    Tcorri cor;
    cor.makecCorrArr(table, 2);
    cor.setapplDir(+1); // subtracted

    Tsamplemem s(6); // fftp 8, sf 1000: bins at 0, 125, 250, 375 Hz; 4 and 5 untouched
    const double in[] = {1.0, 0.1, 0.0, -1.0, 0.5, 0.5};
    for (int i = 0; i < 6; ++i)
        s.setsmAr(i, in[i]);
    s.corri(&cor, 8, 1000.0, 3.0, 1.0);
    EXPECT_NEAR(s.getsmAr(0), 3.0, 1e-12);
    EXPECT_NEAR(s.getsmAr(1), 3.0 - 20.0 - 1.25, 1e-12);
    EXPECT_EQ(s.getsmAr(2), -192.0); // zero
    EXPECT_EQ(s.getsmAr(3), -192.0); // no logarithm
    EXPECT_EQ(s.getsmAr(4), 0.5);
    EXPECT_EQ(s.getsmAr(5), 0.5);

    Tsamplemem t(6); // from index 2: frequencies of bins 2 and 3, nothing beyond the buffer
    t.fillComplete(10.0);
    t.corriInd(&cor, 2, 8, 1000.0, 0.0, 0.5);
    EXPECT_EQ(t.getsmAr(1), 10.0);
    EXPECT_NEAR(t.getsmAr(2), 10.0 - 2.5, 1e-12);
    EXPECT_NEAR(t.getsmAr(5), 10.0 - 6.25, 1e-12);
    t.fillComplete(10.0);
    t.corriInd(&cor, 5, 8, 1000.0, 0.0, 1.0); // runs off the end: only index 5
    EXPECT_EQ(t.getsmAr(4), 10.0);
    EXPECT_NEAR(t.getsmAr(5), 20.0 - 6.25, 1e-12);
    t.corriInd(&cor, -3, 0, 1000.0, 0.0, 1.0); // nothing to do, nothing touched
    EXPECT_NEAR(t.getsmAr(5), 13.75, 1e-12);

    Tsamplemem u(3); // without a curve: levels only
    u.fillComplete(10.0);
    u.corri(nullptr, 6, 1000.0, 0.0, 1.0);
    EXPECT_NEAR(u.getsmAr(2), 20.0, 1e-12);
}

TEST_F(Corri, SampleMemoryFastAndLog) {
    const double table[] = {0, 0, 1000, 10};
    Tcorri cor;
    cor.makecCorrArr(table, 2); // applDir -1: added
    Tsamplemem xax(3);
    xax.setsmAr(0, 100.0);
    xax.setsmAr(1, 200.0);
    xax.setsmAr(2, 300.0);
    auto make = [] {
        Tsamplemem s(3);
        s.setsmAr(0, 10.0);
        s.setsmAr(1, 0.0);
        s.setsmAr(2, -4.0);
        return s;
    };
    Tsamplemem a = make();
    a.corriFastandLog(1.0, 2.0, &xax, true, &cor);
    EXPECT_NEAR(a.getsmAr(0), 2.0 + 20.0 + 1.0, 1e-12);
    EXPECT_EQ(a.getsmAr(1), -192.0);
    EXPECT_EQ(a.getsmAr(2), -192.0);
    Tsamplemem b = make();
    b.corriFastandLog(1.0, 2.0, nullptr, true, &cor); // no x axis: no correction
    EXPECT_NEAR(b.getsmAr(0), 22.0, 1e-12);
    Tsamplemem c = make();
    c.corriFastandLog(1.0, 0.0, &xax, true, nullptr); // no curve: all missing
    EXPECT_EQ(c.getsmAr(0), -192.0);
    Tsamplemem d = make();
    d.corriFastandLog(2.0, 1.0, &xax, false, &cor);
    EXPECT_NEAR(d.getsmAr(0), 21.0 + 1.0, 1e-12);
    EXPECT_NEAR(d.getsmAr(1), 1.0 + 2.0, 1e-12);
    EXPECT_NEAR(d.getsmAr(2), -7.0 + 3.0, 1e-12);
    Tsamplemem e = make();
    e.corriFastandLog(2.0, 1.0, &xax, false, nullptr);
    EXPECT_NEAR(e.getsmAr(2), -7.0, 1e-12);
}

// Only plain levels (log, factor 1, offset 0, nothing corrected) hand out their powers: the
// squares of what they converted, none for a level of 0 dB and the given one for a missing
// level; everything else leaves the room given untouched and converts as without it.
TEST_F(Corri, PlainLevelsHandOutTheirPowers) {
    const double table[] = {0, 0, 1000, 10};
    Tcorri active;
    active.makecCorrArr(table, 2);
    const Tcorri inactive;
    Tsamplemem xax(4), shortAxis(2);
    for (int i = 0; i < 4; ++i)
        xax.setsmAr(i, 100.0 * (i + 1));
    struct Case {
        double fak, offs;
        bool log;
        const Tcorri* cor;
        const Tsamplemem* axis;
        bool plain;
    };
    const Case cases[] = {
        {1.0, 0.0, true, &inactive, &xax, true},       {1.0, 0.0, true, &inactive, nullptr, true},
        {1.0, 0.0, true, &active, nullptr, true},        // no axis: nothing corrected
        {1.0, 0.0, true, &active, &xax, false},          {1.0, 0.0, true, &inactive, &shortAxis, false},
        {1.0, 0.0, true, nullptr, &xax, false},          {2.0, 0.0, true, &inactive, &xax, false},
        {1.0, 0.5, true, &inactive, &xax, false},        {1.0, 0.0, false, &inactive, &xax, false},
    };
    auto make = [] {
        Tsamplemem s(4);
        s.setsmAr(0, 10.0);
        s.setsmAr(1, 0.0);  // missing
        s.setsmAr(2, -4.0); // missing
        s.setsmAr(3, 1.0);  // 0 dB: no value
        return s;
    };
    for (const Case& c : cases) {
        Tsamplemem s = make(), without = make();
        double room[4] = {-1.0, -1.0, -1.0, -1.0};
        const TLevelPowers powers{room, 7e-20};
        EXPECT_EQ(s.corriFastandLog(c.fak, c.offs, c.axis, c.log, c.cor, &powers), c.plain)
            << c.fak << " " << c.offs << " " << c.log;
        without.corriFastandLog(c.fak, c.offs, c.axis, c.log, c.cor);
        const double want[4] = {100.0, 7e-20, 7e-20, 0.0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(room[i], c.plain ? want[i] : -1.0) << i;
            EXPECT_EQ(s.getsmAr(i), without.getsmAr(i)) << "the levels are the same, " << i;
        }
    }
    Tsamplemem s(1);
    const Tcorri none;
    EXPECT_FALSE(s.corriFastandLog(1.0, 0.0, &xax, true, &none)) << "no room, no powers";
}
