// Tests of the in-memory INI file: lookup rules, value formats, bad files and atomic saving.
#include "base/TMemIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

// Readable failure output for Qt strings.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join("|").toStdString() << '}'; }

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

TMemIniFile fromText(const QString& text)
{
    TMemIniFile ini;
    EXPECT_TRUE(ini.setText(text));
    return ini;
}

} // namespace

TEST(TMemIniFile, NamesMatchWithoutCaseAndKeepFirstSpellingAndOrder)
{
    TMemIniFile ini = fromText("[Main]\nLeft=1\nright=2\n[oszi]\nX=3\n");
    EXPECT_EQ(ini.ReadString("MAIN", "LEFT", "-"), "1");
    EXPECT_EQ(ini.ReadString("Oszi", "x", "-"), "3");
    ini.WriteString("MAIN", "RIGHT", "20");
    ini.WriteString("mAiN", "Mid", "5");
    ini.WriteString("General", "a", "b");
    EXPECT_EQ(ini.ReadSections(), QStringList({"Main", "oszi", "General"}));
    EXPECT_EQ(ini.ReadSection("main"), QStringList({"Left", "right", "Mid"}));
    EXPECT_EQ(ini.text(), "[Main]\nLeft=1\nright=20\nMid=5\n\n[oszi]\nX=3\n\n[General]\na=b\n");
}

TEST(TMemIniFile, RepeatedKeysAndSections)
{
    TMemIniFile ini = fromText("[a]\nk=first\nK=second\n[b]\nx=1\n[A]\nk=third\nz=9\n");
    EXPECT_EQ(ini.ReadString("a", "k", "-"), "first");
    EXPECT_EQ(ini.ReadString("a", "z", "-"), "9"); // the repeated section is merged
    EXPECT_EQ(ini.ReadSection("a"), QStringList({"k", "z"}));
    ini.WriteString("a", "k", "new");
    EXPECT_EQ(ini.ReadString("a", "k", "-"), "new");
    // Later repeats stay in the file untouched, so nothing the user wrote is lost.
    EXPECT_EQ(ini.text(), "[a]\nk=new\nK=second\nk=third\nz=9\n\n[b]\nx=1\n");
    ini.DeleteKey("A", "K");
    EXPECT_FALSE(ini.ValueExists("a", "k"));
    EXPECT_EQ(ini.ReadSection("a"), QStringList({"z"}));
    ini.EraseSection("A");
    EXPECT_EQ(ini.ReadSections(), QStringList({"b"}));
    EXPECT_EQ(ini.ReadString("b", "x", "-"), "1"); // index still right after the erase
}

TEST(TMemIniFile, LineFormsAndEndings)
{
    const QString text = "orphan=0\r\n[s]\r\n; comment=1\r# also=2\n  key  =  a = b  \r\n"
                         "no equals sign\n=novalue\n\n[ spaced ]\rlast=x";
    TMemIniFile ini = fromText(text);
    EXPECT_EQ(ini.ReadSections(), QStringList({"s", "spaced"}));
    EXPECT_EQ(ini.ReadSection("s"), QStringList({"key"}));
    EXPECT_EQ(ini.ReadString("s", "key", "-"), "a = b");
    EXPECT_EQ(ini.ReadString("spaced", "last", "-"), "x"); // last line without line end
    EXPECT_FALSE(ini.ValueExists("s", "comment"));
}

TEST(TMemIniFile, IntegersAndBooleans)
{
    TMemIniFile ini = fromText("[n]\na= -42 \nb=0x1F\nc=0xFFFFFFFF\nd=2147483648\ne=12abc\nf=0x\n"
                               "g=0x1G\nh=0x123456789\ni=1.5\nt=TRUE\nu=false\nv=7\nw=0\n");
    EXPECT_EQ(ini.ReadInteger("n", "a", 0), -42);
    EXPECT_EQ(ini.ReadInteger("n", "b", 0), 31);
    EXPECT_EQ(ini.ReadInteger("n", "c", 0), -1); // 32-bit pattern, as colour values are stored
    for (const char* bad : {"d", "e", "f", "g", "h", "i", "missing"})
        EXPECT_EQ(ini.ReadInteger("n", bad, 77), 77) << bad;
    EXPECT_TRUE(ini.ReadBool("n", "t", false));
    EXPECT_FALSE(ini.ReadBool("n", "u", true));
    EXPECT_TRUE(ini.ReadBool("n", "v", false));
    EXPECT_FALSE(ini.ReadBool("n", "w", true));
    EXPECT_TRUE(ini.ReadBool("n", "e", true));
    ini.WriteBool("n", "t", false);
    ini.WriteInteger("n", "a", -7);
    EXPECT_EQ(ini.ReadString("n", "t", "-"), "0");
    EXPECT_EQ(ini.ReadString("n", "a", "-"), "-7");
}

TEST(TMemIniFile, FloatsFollowTheLocaleAndReadBackExactly)
{
    TMemIniFile ini;
    ini.setFloatLocale(QLocale(QLocale::German, QLocale::Germany));
    ini.WriteFloat("f", "x", 1234567.25);
    EXPECT_EQ(ini.ReadString("f", "x", "-"), "1234567,25"); // no grouping
    ini.WriteFloat("f", "tiny", 1.5e-300);
    EXPECT_EQ(ini.ReadString("f", "tiny", "-"), "1,5e-300");
    ini.WriteString("f", "dot", "0.125");
    ini.WriteString("f", "comma", " -2,5 ");
    EXPECT_EQ(ini.ReadFloat("f", "dot", 0), 0.125);
    EXPECT_EQ(ini.ReadFloat("f", "comma", 0), -2.5);
    for (const char* bad : {"nan", "inf", "1.000,5", "abc", ""}) {
        ini.WriteString("f", "bad", bad);
        EXPECT_EQ(ini.ReadFloat("f", "bad", 3.0), 3.0) << bad;
    }
    // Shortest text still reads back to the identical double (tolerance: exact).
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mant(-10.0, 10.0);
    std::uniform_int_distribution<int> ex(-320, 300);
    for (const QLocale& loc : {QLocale::c(), QLocale(QLocale::German), QLocale(QLocale::French)}) {
        ini.setFloatLocale(loc);
        for (int i = 0; i < 2000; ++i) {
            const double v = std::ldexp(mant(rng), ex(rng) * 3);
            ini.WriteFloat("r", "v", v);
            ASSERT_EQ(ini.ReadFloat("r", "v", 0.5), v) << ini.ReadString("r", "v", "").toStdString();
        }
    }
}

TEST(TMemIniFile, WrittenEntriesSurviveASaveUnchanged)
{
    TMemIniFile ini;
    ini.WriteString("sec\nx", "k=1", "line1\r\nline2");
    ini.WriteString("s", ";key", "v");
    ini.WriteString("s", "[k", "v]");
    ini.WriteString("s", "  ", "dropped");
    TMemIniFile back = fromText(ini.text());
    EXPECT_EQ(back.text(), ini.text());
    EXPECT_EQ(back.ReadString("sec x", "k_1", "-"), "line1  line2");
    EXPECT_EQ(back.ReadSection("s"), QStringList({"_key", "_k"}));
}

TEST(TMemIniFile, MissingFileStartsEmptyAndUpdateFileWritesIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmora30.ini");
    TMemIniFile ini(path);
    EXPECT_TRUE(ini.loadError().isEmpty());
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    ini.WriteFloat("MAIN", "gain", 0.5);
    QString err;
    ASSERT_TRUE(ini.UpdateFile(&err)) << err.toStdString();
    TMemIniFile again(path);
    EXPECT_EQ(again.ReadFloat("main", "GAIN", 0), 0.5);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"velmora30.ini"}));
}

TEST(TMemIniFile, BomAndTruncatedFilesAreRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    writeBytes(path, "\xEF\xBB\xBF[\xC3\x9C" "ber]\r\nk=v\r\ncut=in the mid");
    TMemIniFile ini(path);
    EXPECT_TRUE(ini.loadError().isEmpty());
    EXPECT_EQ(ini.ReadString(QString::fromUtf8("\xC3\xBC" "BER"), "cut", "-"), "in the mid");
    writeBytes(path, "[s]\nk=v\n[half");
    TMemIniFile half(path);
    EXPECT_EQ(half.ReadSections(), QStringList({"s"}));
}

// Each kind of unparseable file is moved aside intact; the object starts empty.
TEST(TMemIniFile, UnparseableFilesAreKeptAside)
{
    const QByteArray utf16("\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0", 16);
    const QList<QByteArray> bad = {QByteArray("[s]\nk=a\0b\n", 10), "[s]\nk=\xC3(\n", "[s]\nk=\xE2\x82", utf16,
                                   "[s]\nk=\xED\xA0\x80\n"};
    for (const QByteArray& data : bad) {
        QTemporaryDir dir;
        const QString path = dir.filePath("velmora30.ini");
        writeBytes(path, data);
        TMemIniFile ini(path);
        EXPECT_EQ(ini.ReadString("s", "k", "def"), "def");
        ASSERT_FALSE(ini.keptAsideAs().isEmpty()) << data.toHex().toStdString();
        EXPECT_TRUE(QFileInfo(ini.keptAsideAs()).fileName().contains(QRegularExpression(
            R"(^velmora30\.ini\.bad-\d{8}-\d{6}$)")));
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(readAll(ini.keptAsideAs()), data);
        EXPECT_TRUE(ini.loadError().contains(path));
        EXPECT_TRUE(ini.loadError().contains(ini.keptAsideAs()));
    }
}

TEST(TMemIniFile, HugeFileAndTakenAsideNames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(TMemIniFile::kMaxBytes + 1)); // sparse, cheap
    f.close();
    TMemIniFile big(path);
    ASSERT_FALSE(big.keptAsideAs().isEmpty());
    EXPECT_TRUE(big.loadError().contains("64 MiB"));
    EXPECT_EQ(QFileInfo(big.keptAsideAs()).size(), TMemIniFile::kMaxBytes + 1);
    // Within the same second the next bad file gets a counter instead of replacing the first.
    writeBytes(path, QByteArray("\0", 1));
    TMemIniFile second(path);
    ASSERT_FALSE(second.keptAsideAs().isEmpty());
    EXPECT_NE(second.keptAsideAs(), big.keptAsideAs());
    if (second.keptAsideAs().startsWith(big.keptAsideAs())) {
        EXPECT_TRUE(second.keptAsideAs().endsWith("-2"));
    }
    EXPECT_EQ(QFileInfo(big.keptAsideAs()).size(), TMemIniFile::kMaxBytes + 1);
}

TEST(TMemIniFile, UnreadableFileIsLeftAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmora30.ini");
    ASSERT_TRUE(QDir(dir.path()).mkdir("velmora30.ini"));
    TMemIniFile ini(path);
    EXPECT_TRUE(ini.loadError().contains(path));
    EXPECT_TRUE(ini.keptAsideAs().isEmpty());
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

TEST(TMemIniFile, FailedSavesReportAndLeaveTheOldFile)
{
    QTemporaryDir dir;
    TMemIniFile ini;
    ini.WriteString("s", "k", "v");
    QString err;
    EXPECT_FALSE(ini.UpdateFile(&err)); // no file name
    EXPECT_FALSE(err.isEmpty());

    ASSERT_TRUE(QDir(dir.path()).mkdir("isdir.ini"));
    TMemIniFile onDir(dir.filePath("isdir.ini"));
    onDir.WriteString("s", "k", "v");
    err.clear();
    EXPECT_FALSE(onDir.UpdateFile(&err));
    EXPECT_TRUE(err.contains("isdir.ini"));
    EXPECT_TRUE(QFileInfo(dir.filePath("isdir.ini")).isDir());

    TMemIniFile noFolder(dir.filePath("missing/x.ini"));
    noFolder.WriteString("s", "k", "v");
    EXPECT_FALSE(noFolder.UpdateFile(&err));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
}

// A write that fails half-way (file size limit, which holds even for root) keeps the old file.
TEST(TMemIniFile, FailedWriteMidwayKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmora30.ini");
    writeBytes(path, "[old]\nk=1\n");
    TMemIniFile ini(path);
    ini.WriteString("big", "data", QString(20000, u'x'));

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto prevHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString err;
    const bool ok = ini.UpdateFile(&err);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, prevHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(readAll(path), "[old]\nk=1\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"velmora30.ini"})); // no temporary left
}

TEST(TMemIniFile, SetTextRefusesNulAndKeepsContent)
{
    TMemIniFile ini = fromText("[s]\nk=v\n");
    QString err;
    EXPECT_FALSE(ini.setText(QString::fromUtf8("[t]\nx=1\0", 9), &err));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(ini.setBytes("[t]\n\xFF", &err));
    EXPECT_EQ(ini.text(), "[s]\nk=v\n");
}
