// Tests of IIR filter storage in INI files and of the filters' warnings reaching the message service.
#include "analysis/IIR_objIni.h"

#include "dsp/IIR_obj_D.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records every message instead of showing it.
class Recorder : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        shown.push_back(m);
        return m.defaultButton;
    }
    std::vector<vl::Message> shown; // messages in the order shown
};

class IIRIni : public ::testing::Test {};

void expectSameParams(const TIIRObj& a, const TIIRObj& b)
{
    EXPECT_EQ(a.Typ(), b.Typ());
    EXPECT_EQ(a.Grad(), b.Grad());
    EXPECT_EQ(a.FilterChar(), b.FilterChar());
    EXPECT_EQ(a.Bypassed(), b.Bypassed());
    // Floats go through text: the INI writer keeps enough digits for 1e-9 relative.
    EXPECT_NEAR(a.Freq(), b.Freq(), 1e-9 * a.Freq());
    EXPECT_NEAR(a.Gain(), b.Gain(), 1e-9);
    EXPECT_NEAR(a.Q(), b.Q(), 1e-9);
    EXPECT_NEAR(a.Ratio(), b.Ratio(), 1e-9);
    EXPECT_NEAR(a.Amax(), b.Amax(), 1e-9);
    EXPECT_NEAR(a.Att(), b.Att(), 1e-9);
    EXPECT_EQ(a.GetParameterStr(), b.GetParameterStr());
}

TEST_F(IIRIni, RoundTripInMemoryKeepsKeyOrderAndEveryField)
{
    TIIRObj f;
    f.SetHWbiquads(7);
    ASSERT_TRUE(f.SetParam(iirBS, 6, 1234.5678, 0, 2.25, -0.75, 0.8, chTschebyscheff));
    f.SetRatio(3.5);
    f.SetBypassed(true);
    TMemIniFile ini;
    SaveToIniMem(f, ini, "Filter", 3);
    EXPECT_EQ(ini.ReadSection("Filter_3"), (QStringList{"Bypassed", "Typ", "Freq", "Gain", "Att", "Ratio",
                                                        "Amax", "Grad", "Q", "Char"}));
    TIIRObj g;
    g.SetHWbiquads(7);
    LoadFromIniMem(g, ini, "Filter", 3);
    expectSameParams(f, g);
    for (double fr : {100.0, 1234.5678, 9000.0})
        EXPECT_NEAR(std::abs(f.Hz_Complex(fr) - g.Hz_Complex(fr)), 0.0, 1e-9);
}

TEST_F(IIRIni, GarbageAndOutOfRangeValuesLoadTheDefaults)
{
    TMemIniFile ini;
    ASSERT_TRUE(ini.setText("[F_1]\nByPassed=maybe\nTyp=77\nFreq=1e9\nGain=abc\nAtt=xyz\nRatio=-5\n"
                            "Amax=3\nGrad=99\nQ=1e99\nChar=-1\n"));
    TIIRObj f;
    f.SetParam(iirPK, 2, 300, 6, 3, -1, 1.5, 0); // something to overwrite
    LoadFromIniMem(f, ini, "F", 1);
    EXPECT_EQ(f.Typ(), 0);
    EXPECT_EQ(f.Grad(), 2);
    EXPECT_EQ(f.FilterChar(), 0);
    EXPECT_FALSE(f.Bypassed());
    EXPECT_EQ(f.Freq(), 1000.0);
    EXPECT_EQ(f.Gain(), 0.0);
    EXPECT_EQ(f.Q(), 1.0);
    EXPECT_EQ(f.Ratio(), 1.4142);
    EXPECT_EQ(f.Amax(), -3.1);
    EXPECT_EQ(f.Att(), 1.0);
    // An unreadable frequency reads as its read default, 5555 Hz, which is inside the limits.
    ASSERT_TRUE(ini.setText("[F_1]\nFreq=nan\n"));
    LoadFromIniMem(f, ini, "F", 1);
    EXPECT_EQ(f.Freq(), 5555.0);
    // Values inside the wide set only count while the wide set is in force.
    ASSERT_TRUE(ini.setText("[F_1]\nTyp=4\nFreq=250000\nGain=30\nGrad=4\n"));
    LoadFromIniMem(f, ini, "F", 1);
    EXPECT_EQ(f.Freq(), 1000.0);
    EXPECT_EQ(f.Gain(), 0.0);
    f.UseWideLimits(true);
    LoadFromIniMem(f, ini, "F", 1);
    EXPECT_EQ(f.Freq(), 250000.0);
    EXPECT_EQ(f.Gain(), 30.0);
}

TEST_F(IIRIni, MissingSectionReadsFreq5555AndWritesTheTextKeysBack)
{
    TMemIniFile ini;
    TIIRObj f;
    LoadFromIniMem(f, ini, "Out", 0);
    EXPECT_EQ(f.Freq(), 5555.0);
    EXPECT_EQ(f.Typ(), 0);
    EXPECT_EQ(f.Q(), 1.0); // "0" is outside the Q limits
    for (const char* key : {"Gain", "Q", "Ratio", "Amax", "Att"})
        EXPECT_EQ(ini.ReadString("Out_0", key, "missing"), "0") << key;
    // Decimal commas read as points; the text is written back as it stood.
    ASSERT_TRUE(ini.setText("[Out_0]\nGain=2,5\n"));
    LoadFromIniMem(f, ini, "Out", 0);
    EXPECT_EQ(f.Gain(), 2.5);
    EXPECT_EQ(ini.ReadString("Out_0", "Gain", ""), "2,5");
}

TEST_F(IIRIni, FilesRoundTripAndBadFilesChangeNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("filters.ini");
    TIIRObj f;
    ASSERT_TRUE(f.SetParam(iirHP, 3, 80, 0, 1, -1, 1, chBessel));
    QString err;
    ASSERT_TRUE(SaveToIni(f, path, "Blk", 7, &err)) << err.toStdString();
    TIIRObj g;
    ASSERT_TRUE(LoadFromIni(g, path, "Blk", 7, &err)) << err.toStdString();
    expectSameParams(f, g);

    // A missing file loads the defaults and is not created.
    TIIRObj m;
    EXPECT_TRUE(LoadFromIni(m, dir.filePath("none.ini"), "Blk", 7));
    EXPECT_EQ(m.Freq(), 5555.0);
    EXPECT_FALSE(QFile::exists(dir.filePath("none.ini")));

    const auto badFile = [&](const QByteArray& bytes, const char* what) {
        SCOPED_TRACE(what);
        const QString p = dir.filePath("bad.ini");
        QFile out(p);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
        out.close();
        TIIRObj h = g;
        QString e;
        EXPECT_FALSE(LoadFromIni(h, p, "Blk", 7, &e));
        EXPECT_FALSE(e.isEmpty());
        expectSameParams(h, g); // the filter is unchanged
        QFile in(p);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_EQ(in.size(), bytes.size()); // and the file is still there, untouched
    };
    badFile(QByteArray("[Blk_7]\nTyp=5\n\0\0garbage", 22), "NUL bytes");
    badFile(QByteArray("[Blk_7]\nTyp=\xff\xfe\xc3\n"), "invalid UTF-8");
    QByteArray huge(TMemIniFile::kMaxBytes + 16, 'a');
    for (qsizetype i = 63; i < huge.size(); i += 64) huge[i] = '\n';
    badFile(huge, "larger than the limit");

    // A truncated file reads what is there; the rest are defaults.
    QFile t(dir.filePath("trunc.ini"));
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write("[Blk_7]\nTyp=4\nFreq=20");
    t.close();
    TIIRObj tr;
    ASSERT_TRUE(LoadFromIni(tr, t.fileName(), "Blk", 7));
    EXPECT_EQ(tr.Typ(), 4);
    EXPECT_EQ(tr.Freq(), 20.0);
    EXPECT_EQ(tr.Grad(), 2);
}

TEST_F(IIRIni, SectionWithoutPoleWarnsThroughTheMessageService)
{
    Recorder rec;
    vl::setMessageService(&rec);
    TIIRObj f;
    // A first-order Tschebyscheff with an absurd ripple has its real pole at 0: no pole left.
    f.SetParam(iirHP, 1, 1000, 0, 1, -1, 1, chTschebyscheff);
    EXPECT_FALSE(ReportDesignWarning(f));
    f.SetAmax(-4000);
    EXPECT_TRUE(rec.shown.empty()); // the design itself reports nothing
    EXPECT_TRUE(ReportDesignWarning(f));
    ASSERT_EQ(rec.shown.size(), 1u);
    EXPECT_EQ(rec.shown[0].title, "Warning");
    EXPECT_EQ(rec.shown[0].text, "analoge function without pole !");
    EXPECT_TRUE(std::isfinite(f.NewCycle(1.0))); // the design went on
    f.SetAmax(-1);
    EXPECT_STREQ(f.DesignWarning(), ""); // a sound redesign clears it
    vl::setMessageService(nullptr);
}

} // namespace
