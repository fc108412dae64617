// Tests of the curve file (".cur") writer and reader and of the TTextFile line file.
#include "display/TTextFile.h"
#include "display/Tcurve.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

class CurveFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // decimal comma
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { QLocale::setDefault(m_oldLocale); }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
    static QByteArray read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A curve that every refused load must leave exactly as it is.
    static Tcurve sentinel()
    {
        Tcurve c(6);
        c.Name = "before";
        c.FColLine = 0xABCDEF;
        c.setNewPoints(2);
        c.setPoint(0, 10.0, -1.0);
        c.setPoint(1, 20.0, -2.0);
        return c;
    }
    static void expectUnchanged(const Tcurve& c)
    {
        EXPECT_EQ(c.Name, "before");
        EXPECT_EQ(c.FColLine, 0xABCDEFu);
        ASSERT_EQ(c.OriY.samples(), 2);
        EXPECT_EQ(c.OriY.getsmAr(1), -2.0);
        EXPECT_EQ(c.xaxis.getsmAr(1), 20.0);
    }
    // Loads `bytes` into the sentinel; the count and the message come back.
    int32_t loadBytes(const QByteArray& bytes, Tcurve& c, QString& err) const
    {
        c = sentinel();
        return c.loadfromFile(write("in.cur", bytes), &err);
    }

    QTemporaryDir m_dir;
    QLocale m_oldLocale;
};

const QByteArray kHead = "[aCurve]\r\nCNAME=loaded\r\nSAMPLES=";

// A literal with its embedded NUL bytes (without the terminating one).
template <size_t N>
QByteArray raw(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

TEST_F(CurveFile, RoundTripUnderDecimalComma)
{
    Tcurve a(3);
    a.Name = "Köln left";
    a.MarkerP = {1000.5, -3.25};
    a.FValuelogY = edBSPL;
    const double exact[] = {1234.56789012345, -3.14159265358979, 1e-05, 12345678901234.5, 0.0, -192.0};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-200.0, 200.0);
    a.setNewPoints(106);
    for (int32_t i = 0; i < 106; ++i)
        a.setPoint(i, 20.0 * (i + 1), i < 6 ? exact[i] : u(rng));
    Tsamplemem ph(106);
    ph.fillComplete(0.5);
    a.SetOriPh(ph);
    QString err;
    ASSERT_TRUE(a.savetoFile(path("a.cur"), &err)) << err.toStdString();

    const QByteArray text = read(path("a.cur"));
    EXPECT_TRUE(text.startsWith("[aCurve]\r\nCOLCUR="));
    EXPECT_TRUE(text.contains("\r\nMarkerPx=1000,5\r\nMarkerPy=-3,25\r\n")); // locale separator
    EXPECT_TRUE(text.contains("\r\nSAMPLES=106\r\n// START-> X , Y Values\r\n20 , 1234.56789012345\r\n"));
    EXPECT_TRUE(text.contains("\r\n60 , 1e-05\r\n"));
    EXPECT_FALSE(text.contains("\n\n"));
    EXPECT_EQ(text.count("\n"), text.count("\r\n"));
    const char* order[] = {"COLCUR", "LINE", "SFREQ", "FDFILTER", "MarkerPx", "MarkerPy", "MarkerPat",
                           "FCVIS", "FSEL", "FLOGX", "FLOGY", "CNAME", "COMMENT", "FILENAME", "Cygroup",
                           "LINEMODE", "LINEwidth", "Foperation", "Fop1", "Fop2", "dBMode", "FRem2Name", "SAMPLES"};
    qsizetype at = 0;
    for (const char* key : order) {
        const qsizetype next = text.indexOf("\r\n" + QByteArray(key) + "=", at);
        ASSERT_GT(next, at - 1) << key;
        at = next + 1;
    }

    Tcurve b;
    b.FColLine = 1;
    EXPECT_EQ(b.loadfromFile(path("a.cur"), &err), 106);
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(b.Name, "Köln left");
    EXPECT_EQ(b.MarkerP.x, 1000.5);
    EXPECT_EQ(b.MarkerP.y, -3.25);
    EXPECT_EQ(b.FValuelogY, edBSPL);
    EXPECT_TRUE(b.Fsel);
    EXPECT_EQ(b.line, 3);
    ASSERT_EQ(b.OriY.samples(), 106);
    EXPECT_EQ(b.OriPh.samples(), 256); // the phase is not stored and stays as it was
    for (int32_t i = 0; i < 6; ++i)
        EXPECT_EQ(b.OriY.getsmAr(i), exact[i]) << i; // 15 digits or fewer: exact
    for (int32_t i = 0; i < 106; ++i) {
        EXPECT_NEAR(b.OriY.getsmAr(i), a.OriY.getsmAr(i), 1e-14 * std::fabs(a.OriY.getsmAr(i))) << i;
        EXPECT_EQ(b.xaxis.getsmAr(i), a.xaxis.getsmAr(i));
        EXPECT_EQ(b.CpyY.getsmAr(i), b.OriY.getsmAr(i));
    }
}

TEST_F(CurveFile, DataLineRules)
{
    Tcurve c;
    QString err;
    // Blanks anywhere, exponent forms, LF-only line ends.
    EXPECT_EQ(loadBytes(kHead + "3\n//\n1 000 , - 3.5\n1e+05,-1.5E-3\n 2 , 4 \n", c, err), 3);
    EXPECT_EQ(c.xaxis.getsmAr(0), 1000.0);
    EXPECT_EQ(c.OriY.getsmAr(0), -3.5);
    EXPECT_EQ(c.xaxis.getsmAr(1), 1e5);
    EXPECT_EQ(c.OriY.getsmAr(1), -1.5e-3);
    EXPECT_EQ(c.OriY.getsmAr(2), 4.0);

    // Decimal commas: x keeps its integer part, y does not convert, reading stops there.
    EXPECT_EQ(loadBytes(kHead + "3\r\n// START-> X , Y Values\r\n20 , -3.5\r\n1000,5 , 0,25\r\n20000 , 1\r\n", c, err), 3);
    EXPECT_EQ(c.xaxis.getsmAr(1), 1000.0);
    EXPECT_EQ(c.OriY.getsmAr(1), 0.0);
    EXPECT_EQ(c.xaxis.getsmAr(2), 0.0);

    // More SAMPLES than lines; an empty line and a line without ',' end the data as well.
    EXPECT_EQ(loadBytes(kHead + "4\r\n//\r\n1 , 2\r\n3 , 4\r\n", c, err), 4);
    EXPECT_EQ(c.OriY.getsmAr(1), 4.0);
    EXPECT_EQ(c.OriY.getsmAr(3), 0.0);
    EXPECT_EQ(loadBytes(kHead + "4\r\n//\r\n1 , 2\r\n\r\n3 , 4\r\n", c, err), 4);
    EXPECT_EQ(c.OriY.getsmAr(1), 0.0);
    EXPECT_EQ(loadBytes(kHead + "3\r\n//\r\n1 , 2\r\n10", c, err), 3); // truncated file
    EXPECT_EQ(c.xaxis.getsmAr(1), 0.0);
    EXPECT_EQ(loadBytes(kHead + "2\r\n//\r\n1 , nan\r\n3 , 4\r\n", c, err), 2);
    EXPECT_EQ(c.OriY.getsmAr(0), 0.0); // inf and nan do not convert
    EXPECT_EQ(c.xaxis.getsmAr(1), 0.0);
    // Fewer SAMPLES than lines: only SAMPLES points.
    EXPECT_EQ(loadBytes(kHead + "1\r\n//\r\n1 , 2\r\n3 , 4\r\n", c, err), 1);
    EXPECT_EQ(c.OriY.samples(), 1);
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(CurveFile, HeaderWithoutPoints)
{
    Tcurve c;
    QString err;
    // "//" inside a value does not start the data part.
    EXPECT_EQ(loadBytes("[aCurve]\r\nCNAME=http://x\r\nSAMPLES=1\r\n//\r\n5 , 6\r\n", c, err), 1);
    EXPECT_EQ(c.Name, "http://x");
    EXPECT_EQ(c.OriY.getsmAr(0), 6.0);
    // SAMPLES 0: the keys load, the points stay.
    EXPECT_EQ(loadBytes(kHead + "0\r\n", c, err), 0);
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(c.Name, "loaded");
    EXPECT_EQ(c.OriY.samples(), 2);
    EXPECT_FALSE(c.Fsel); // read as curve number -1
    EXPECT_EQ(c.Cygroup, 0);
    // Latin-1 text still loads.
    EXPECT_EQ(loadBytes("[aCurve]\r\nCNAME=K\xf6ln \xb5V\r\nSAMPLES=1\r\n//\r\n1 , 2\r\n", c, err), 1);
    EXPECT_EQ(c.Name, QString::fromUtf8("Köln µV"));
}

TEST_F(CurveFile, BadFilesChangeNothing)
{
    Tcurve c;
    QString err;
    const QByteArray bad[] = {
        kHead + "3\r\n1 , 2\r\n",                                     // points announced, no "//"
        kHead + QByteArray::number(Tcurve::kMaxFilePoints + 1) + "\r\n//\r\n1 , 2\r\n",
        kHead + "99999999999999999999999\r\n//\r\n1 , 2\r\n",         // beyond any integer
        raw("[aCurve]\r\nCNAME=x\0y\r\nSAMPLES=1\r\n//\r\n1 , 2\r\n"), // NUL in the header
        kHead + raw("2\r\n//\r\n1 , 2\r\n\0\0\x07\xff"),   // NUL in the data
        raw("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"),
        "just some text\r\nwithout a section\r\n",
        QByteArray(200000, 'x'),                                       // one endless line
        "",                                                            // empty file
    };
    for (const QByteArray& bytes : bad) {
        err.clear();
        EXPECT_EQ(loadBytes(bytes, c, err), 0) << bytes.left(40).toStdString();
        EXPECT_TRUE(err.startsWith("Curve file ")) << err.toStdString();
        expectUnchanged(c);
    }
    EXPECT_TRUE(err.contains("not loaded"));

    loadBytes(kHead + "16777217\r\n//\r\n", c, err);
    EXPECT_TRUE(err.contains("16777217")) << err.toStdString();

    c = sentinel(); // a missing file: nothing loaded, the reason told
    EXPECT_EQ(c.loadfromFile(path("missing.cur"), &err), 0);
    EXPECT_TRUE(err.contains("missing.cur"));
    expectUnchanged(c);
}

TEST_F(CurveFile, FailedWriteIsReportedNotFatal)
{
    const QString blocker = write("file", "x"); // a file where a folder would have to be
    const QString target = blocker + "/c.cur";
    QString err;
    EXPECT_FALSE(sentinel().savetoFile(target, &err));
    EXPECT_TRUE(err.startsWith("Error writing Ini-File " + target)) << err.toStdString();

    // An existing file stays whole when a new one cannot be written over it.
    const QString old = write("old.cur", "keep me");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool folderLocked = !QFileInfo(m_dir.path()).isWritable();
    if (folderLocked) {
        EXPECT_FALSE(sentinel().savetoFile(old, &err));
        EXPECT_EQ(read(old), "keep me");
    }
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(TTextFile, LinesAndErrors)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("t.txt");
    TTextFile f;
    f.open(name, TTextFile::modeRewrite);
    f.writeLine("first; 1,5");
    f.writeLine("");
    f.writeLine("Grüße");
    f.close();
    f.open(name, TTextFile::modeAppend);
    f.writeLine("appended");
    f.close();
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("first; 1,5\r\n\r\nGr\xc3\xbc\xc3\x9f" "e\r\nappended\r\n"));

    f.open(name, TTextFile::modeRead);
    QString s;
    EXPECT_TRUE(f.readLine(s));
    EXPECT_EQ(s, "first; 1,5");
    EXPECT_FALSE(f.readLine(s)); // the empty line
    EXPECT_FALSE(f.atEnd());
    EXPECT_TRUE(f.readLine(s));
    EXPECT_EQ(s, "Grüße");
    EXPECT_TRUE(f.readLine(s));
    EXPECT_FALSE(f.readLine(s));
    EXPECT_TRUE(f.atEnd());
    EXPECT_THROW(f.writeLine("x"), EDiskIO);
    f.close();

    const QString missing = dir.filePath("no/such.txt");
    try {
        f.open(missing, TTextFile::modeRead);
        FAIL() << "no exception";
    } catch (const EDiskIO& e) {
        EXPECT_EQ(e.message(), "\r\ndiskIO open " + missing);
        EXPECT_EQ(std::string(e.what()), ("\r\ndiskIO open " + missing).toStdString());
    }
    EXPECT_FALSE(f.isOpen());
    try {
        f.readLine(s);
        FAIL() << "no exception";
    } catch (const EDiskIO& e) {
        EXPECT_TRUE(e.message().startsWith("\r\ndiskIO read "));
    }
}

// The factory target curve that "compare with ideal" loads: flat 0 dB over the audio band.
TEST(FactoryTargetCurve, LoadsAsAFlatLineOverTheAudioBand)
{
    Tcurve c(7);
    QString error;
    ASSERT_EQ(c.loadfromFile(QStringLiteral(VELMORA_FACTORY_DATA) + "/zielkurve.cur", &error), 31) << error.toStdString();
    EXPECT_DOUBLE_EQ(c.xaxis.getsmAr(0), 20.0);
    EXPECT_DOUBLE_EQ(c.xaxis.getsmAr(30), 20000.0);
    for (int32_t i = 0; i < 31; ++i)
        EXPECT_EQ(c.OriY.getsmAr(i), 0.0) << i;
    EXPECT_TRUE(c.Flogx);
}

} // namespace
