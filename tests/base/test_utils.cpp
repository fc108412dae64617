// Tests of the program-wide utilities: folders, time texts, version, fonts, timing, helpers.
#include "base/TMemIniFile.h"
#include "base/utils.h"
#include "base/vlMessages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Fonts, painting and event loops need an application object; one for the whole run.
void ensureApp()
{
    static QGuiApplication* app = nullptr;
    if (app)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_utils";
    static char* argv[] = {name, nullptr};
    app = new QGuiApplication(argc, argv);
}

// Sets environment variables for one test and puts the old values back afterwards.
class EnvGuard {
public:
    void set(const char* var, const QByteArray& value)
    {
        m_saved.push_back({var, qgetenv(var), qEnvironmentVariableIsSet(var)});
        if (value.isNull())
            qunsetenv(var);
        else
            qputenv(var, value);
    }
    ~EnvGuard()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            it->wasSet ? qputenv(it->var, it->value) : qunsetenv(it->var);
    }

private:
    struct Saved {
        const char* var;
        QByteArray value;
        bool wasSet;
    };
    std::vector<Saved> m_saved;
};

// Records messages instead of showing them.
class RecordingService : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
    QStringList texts;
};

const QDateTime kSample(QDate(2024, 3, 7), QTime(9, 5, 3, 7));

} // namespace

TEST(utils, TimeTexts)
{
    EXPECT_EQ(vlTimeText(0, kSample), "09:05:03,007");
    EXPECT_EQ(vlTimeText(0, QDateTime(QDate(2024, 1, 1), QTime(23, 59, 59, 999))), "23:59:59,999");
    EXPECT_EQ(vlTimeText(1, kSample), " 7. 3.2024 09:05:03");
    EXPECT_EQ(vlTimeText(2, kSample), "SuperNow.. no Parameter");
    EXPECT_EQ(vlTimeText(-1, kSample), "SuperNow.. no Parameter");
    EXPECT_EQ(vlFileTimeStamp(kSample), "_2024_03_07_09-05-03");
    EXPECT_EQ(vlFullTimeStamp(kSample), "2024 03 07 09:05:03,007");
    EXPECT_EQ(vlTimeText(0).size(), 12);
}

TEST(utils, VersionTexts)
{
    const vlVersion v{3, 1, 2, 345, true};
    EXPECT_EQ(vlVersionLine(v), "V 3.1B Build 345 (64bit)");
    EXPECT_EQ(vlVersionLine(v, 32), "V 3.1B Build 345 (32bit)");
    EXPECT_EQ(vlVersionLine(vlVersion{}), "V ? Build ? (64bit)");
    EXPECT_EQ(vlVersionText(vlVersion{3, 0, 0, 0, true}), "3.0ß");
    EXPECT_EQ(vlVersionText(vlVersion{3, 0, 1, 0, true}), "3.0A");
    // The program's own line has the build's real pointer size.
    const QString own = vlVersionLine();
    EXPECT_TRUE(own.contains(QRegularExpression(R"(^V \d+\.\d+\S+ Build \d+ \(\d+bit\)$)"))) << own.toStdString();
    EXPECT_TRUE(own.endsWith(QStringLiteral("(%1bit)").arg(sizeof(void*) * 8)));

    EXPECT_EQ(vlVersionedBaseName("/p/My.Set.atp", vlVersion{3, 0, 0, 0, true}), "MySet30ß");
    EXPECT_EQ(vlVersionedBaseName("/p/preset31b.atp", v), "preset31b"); // already versioned, any case
    EXPECT_EQ(vlVersionedBaseName("noext", v), "noext31B");
}

TEST(utils, LanguageAndOS)
{
    EXPECT_EQ(vlLanguageName(QLocale(QLocale::German, QLocale::Germany)), "DEUTSCH");
    EXPECT_TRUE(vlLanguageName(QLocale(QLocale::German, QLocale::Austria)).contains("DEUTSCH"));
    EXPECT_TRUE(vlIsGerman(QLocale(QLocale::German, QLocale::Switzerland)));
    EXPECT_EQ(vlLanguageCode(QLocale(QLocale::German)), 'D');
    EXPECT_EQ(vlLanguageCode(QLocale(QLocale::French)), 'E');
    EXPECT_EQ(vlLanguageCode(QLocale::c()), 'E');

    EXPECT_EQ(vlOSNameFromOsRelease("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(vlOSNameFromOsRelease("NAME=Fedora\n# PRETTY_NAME=x\n"), "Fedora");
    EXPECT_EQ(vlOSNameFromOsRelease("PRETTY_NAME='It''s'\nPRETTY_NAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
    EXPECT_EQ(vlOSNameFromOsRelease("garbage\n\x01=\n"), "OS Unknown");
    EXPECT_FALSE(vlOSName().isEmpty());
}

TEST(utils, FontsInIniSections)
{
    ensureApp();
    TMemIniFile ini;
    vlFontInfo f{QFont("DejaVu Sans", 14), 0x00336699, 0};
    f.font.setItalic(true);
    f.font.setStrikeOut(true);
    vlReadFont(ini, "empty", f); // nothing stored: only the face changes
    EXPECT_EQ(f.font.family(), "Arial");
    EXPECT_EQ(f.font.pointSize(), 14);
    EXPECT_EQ(f.color, 0x00336699);
    EXPECT_EQ(f.charSet, 0);
    EXPECT_TRUE(f.font.italic() && f.font.strikeOut() && !f.font.bold() && !f.font.underline());

    vlFontInfo w{QFont("DejaVu Serif", 9), 0x000080FF, 1};
    w.font.setBold(true);
    w.font.setUnderline(true);
    vlWriteFont(ini, "Axis", w);
    EXPECT_EQ(ini.ReadInteger("axis", "Style", -1), 5);
    vlReadFont(ini, "AXIS", f);
    EXPECT_EQ(f.font.family(), "DejaVu Serif");
    EXPECT_EQ(f.font.pointSize(), 9);
    EXPECT_EQ(f.color, 0x000080FF);
    EXPECT_TRUE(f.font.bold() && f.font.underline() && !f.font.italic() && !f.font.strikeOut());

    ini.WriteInteger("Axis", "Size", 0); // a broken size keeps the current one
    vlReadFont(ini, "Axis", f);
    EXPECT_EQ(f.font.pointSize(), 9);
}

// Bounding box of the dark pixels of an image.
static QRect inkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(utils, RotatedTextTurnsAboutItsTopLeftCorner)
{
    ensureApp();
    QFont font("DejaVu Sans");
    font.setPixelSize(20);
    auto draw = [&](double angle) {
        QImage img(200, 200, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setPen(Qt::red);
        const QTransform before = p.transform();
        vlDrawRotatedText(p, 100, 100, "HHHHH", font, angle);
        EXPECT_EQ(p.transform(), before);
        EXPECT_EQ(p.pen().color(), QColor(Qt::red));
        return inkBox(img);
    };
    const QRect flat = draw(0);
    ASSERT_FALSE(flat.isEmpty());
    EXPECT_GE(flat.left(), 99);
    EXPECT_GE(flat.top(), 99);
    EXPECT_GT(flat.width(), flat.height());
    const QRect up = draw(90); // counter-clockwise: reads bottom to top, right of x stays empty of width
    ASSERT_FALSE(up.isEmpty());
    EXPECT_LE(up.bottom(), 101);
    EXPECT_GE(up.left(), 99);
    EXPECT_GT(up.height(), up.width());
    EXPECT_NEAR(up.height(), flat.width(), 3); // tolerance: 3 px of anti-aliasing
}

TEST(utils, FoldersFollowVelmoraHomeAndXdg)
{
    QTemporaryDir tmp;
    EnvGuard env;
    env.set("VELMORA_HOME", (tmp.path() + "/home/vh").toUtf8());
    EXPECT_EQ(vlProgramDataFolder(), tmp.path() + "/home/vh/");
    EXPECT_EQ(vlCommonDataFolder(), tmp.path() + "/home/vh/");
    EXPECT_TRUE(QFileInfo(tmp.path() + "/home/vh").isDir());

    env.set("VELMORA_HOME", QByteArray());
    env.set("XDG_CONFIG_HOME", (tmp.path() + "/cfg").toUtf8());
    env.set("XDG_DATA_HOME", (tmp.path() + "/data").toUtf8());
    EXPECT_EQ(vlProgramDataFolder(), tmp.path() + "/cfg/velmora30/");
    EXPECT_EQ(vlCommonDataFolder("other"), tmp.path() + "/data/other/");
    EXPECT_TRUE(QFileInfo(tmp.path() + "/cfg/velmora30").isDir());
    EXPECT_TRUE(QFileInfo(tmp.path() + "/data/other").isDir());

    // Relative XDG paths are invalid and fall back to the defaults under home.
    env.set("HOME", tmp.path().toUtf8());
    env.set("XDG_CONFIG_HOME", "relative/cfg");
    env.set("XDG_DATA_HOME", QByteArray());
    EXPECT_EQ(vlProgramDataFolder(), tmp.path() + "/.config/velmora30/");
    EXPECT_EQ(vlCommonDataFolder(), tmp.path() + "/.local/share/velmora30/");
    EXPECT_TRUE(vlStartFolder().endsWith('/'));
}

TEST(utils, UncreatableSettingsFolderWarnsOnceAndUsesTheSharedFolder)
{
    QTemporaryDir tmp;
    EnvGuard env;
    QFile blocker(tmp.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    env.set("VELMORA_HOME", QByteArray());
    env.set("XDG_CONFIG_HOME", (tmp.path() + "/blocker").toUtf8()); // a file where a folder must go
    env.set("XDG_DATA_HOME", (tmp.path() + "/data").toUtf8());
    RecordingService rec;
    vl::setMessageService(&rec);
    vlDataFolderWarningAllowed() = true;
    EXPECT_EQ(vlProgramDataFolder(), tmp.path() + "/data/velmora30/");
    EXPECT_EQ(vlProgramDataFolder(), tmp.path() + "/data/velmora30/");
    vl::setMessageService(nullptr);
    ASSERT_EQ(rec.texts.size(), 1);
    EXPECT_TRUE(rec.texts[0].endsWith("| program uses \"all users\" now"));
    EXPECT_FALSE(vlDataFolderWarningAllowed());
}

TEST(utils, FilesAsideUsableAndFound)
{
    QTemporaryDir tmp;
    EnvGuard env;
    env.set("VELMORA_HOME", tmp.path().toUtf8());
    auto put = [&](const QString& rel, const QByteArray& data) {
        QDir().mkpath(QFileInfo(tmp.path() + "/" + rel).path());
        QFile f(tmp.path() + "/" + rel);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    put("x.ini", "new");
    put("COPY_as_FAILx.ini", "old");
    vlSetFileAside("velmora30", "x.ini");
    EXPECT_FALSE(QFile::exists(tmp.path() + "/x.ini"));
    QFile moved(tmp.path() + "/COPY_as_FAILx.ini");
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), "new");
    // When the file can be neither moved nor copied it is kept, not deleted.
    put("y.ini", "keep");
    put("COPY_as_FAILy.ini/inside", "");
    vlSetFileAside("velmora30", "y.ini");
    EXPECT_TRUE(QFile::exists(tmp.path() + "/y.ini"));

    EXPECT_TRUE(vlFileUsable("  " + tmp.path() + "/y.ini "));
    EXPECT_FALSE(vlFileUsable(tmp.path() + "/*.ini"));
    EXPECT_FALSE(vlFileUsable(tmp.path()));
    EXPECT_FALSE(vlFileUsable(tmp.path() + "/missing.ini"));
    EXPECT_FALSE(vlFileUsable(""));

    put("bin/../commonV3/libSoundB.so", "");
    put("bin/../commonV3/libSoundA.so", "");
    put("bin/../mods/libSoundZ.so", "");
    const QString base = tmp.path() + "/bin/";
    EXPECT_EQ(vlFindFile(base, "../", "libSound*.so"), base + "../commonV3/libSoundA.so");
    EXPECT_EQ(vlFindFile(base, "../", "libSound*.so", "mods"), base + "../mods/libSoundZ.so");
    EXPECT_EQ(vlFindFile(base, "../", "*.dll"), "");
}

TEST(utils, FactoryDataFillsOnlyWhatTheUserLacks)
{
    QTemporaryDir factory, user;
    auto put = [](const QString& path, const QByteArray& data) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    put(factory.filePath("sonecor.dpf"), "factory");
    put(factory.filePath("zielkurve.cur"), "factory");
    put(user.filePath("sonecor.dpf"), "mine");
    EXPECT_EQ(vlFillDataFolder(factory.path(), user.path()), 1);
    QFile kept(user.filePath("sonecor.dpf")), added(user.filePath("zielkurve.cur"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly) && added.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "mine");
    EXPECT_EQ(added.readAll(), "factory");
    EXPECT_EQ(vlFillDataFolder(factory.path(), user.path()), 0);
    EXPECT_EQ(vlFillDataFolder(factory.filePath("no-such-folder"), user.path()), 0);
}

TEST(utils, WaitingHandlesEventsAndSetsTheFlag)
{
    ensureApp();
    bool flagSeenDuringWait = true;
    QTimer::singleShot(10, [&] { flagSeenDuringWait = vlNotWaiting(); });
    vlTimerStart();
    vlWaitMs(60);
    const double ms = vlTimerStop();
    EXPECT_FALSE(flagSeenDuringWait); // the timer ran inside the wait
    EXPECT_TRUE(vlNotWaiting());
    EXPECT_GE(ms, 59.0);   // tolerance: timer granularity 1 ms
    EXPECT_LT(ms, 2000.0); // generous upper bound for a loaded machine
    EXPECT_EQ(vlStopWatchText(12.3454), "12.345ms");
    EXPECT_EQ(vlStopWatchText(0), "0.000ms");
}

TEST(utils, PriorityAndTransparency)
{
    EXPECT_EQ(vlNiceValue(1), -5);
    EXPECT_EQ(vlNiceValue(-1), 5);
    EXPECT_EQ(vlNiceValue(7), 0);
    if (vlSetPriority(-1)) {
        EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 5);
    }
    vlSetPriority(0); // a refusal (no privileges) is ignored, as in the program

    EXPECT_EQ(vlWindowAlpha(150), std::nullopt); // treated as 100: opaque, left alone
    EXPECT_EQ(vlWindowAlpha(100), std::nullopt);
    EXPECT_EQ(vlWindowAlpha(50), 128);
    EXPECT_EQ(vlWindowAlpha(-20), 0);
    EXPECT_EQ(vlWindowAlpha(99), 252);
}

TEST(utils, NumberHelpers)
{
    EXPECT_DOUBLE_EQ(vlPow10(-2), 0.01);
    EXPECT_EQ(vlRoundTowardZero(2.7), 2);
    EXPECT_EQ(vlRoundTowardZero(-2.7), -2);
    EXPECT_EQ(vlRoundTowardZero(3.0), 3); // exact odd integers stay (no half-even dip to 2)
    EXPECT_EQ(vlRoundTowardZero(-5.0), -5);
    EXPECT_EQ(vlRoundTowardZero(std::nan("")), 0);
    EXPECT_EQ(vlRoundTowardZero(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(vlRoundTowardZero(-1e300), std::numeric_limits<int64_t>::min());

    EXPECT_EQ(vlParseNumber("  -1,5e3 "), -1500.0);
    EXPECT_EQ(vlParseNumber("0.25"), 0.25);
    for (const char* bad : {"", "abc", "1,2,3", "nan", "inf", "1e999"})
        EXPECT_EQ(vlParseNumber(bad), std::nullopt) << bad;

    EXPECT_EQ(vlHexToInt("ff"), 255);
    EXPECT_EQ(vlHexToInt(" 1A "), 26);
    EXPECT_EQ(vlHexToInt("7FFFFFFFFFFFFFFF"), std::numeric_limits<int64_t>::max());
    for (const char* bad : {"", "8000000000000000", "12G", "0x10", "-1", "1 2"})
        EXPECT_EQ(vlHexToInt(bad), std::nullopt) << bad;
}

TEST(utils, StringHelpers)
{
    EXPECT_EQ(vlCommaToDot("1,5;2,5"), "1.5;2.5");
    EXPECT_EQ(vlRemoveChar("a-b-c", '-'), "abc");
    EXPECT_EQ(vlRemoveBlanks(" a b "), "ab");
    EXPECT_EQ(vlTrimBlanks("\t a b \r\n"), "a b");
    EXPECT_EQ(vlTrimBlanks("   "), "");
    EXPECT_EQ(vlDropLast("abc"), "ab");
    EXPECT_EQ(vlDropLast(""), "");
    EXPECT_EQ(vlRemoveNul(QString::fromUtf8("a\0b\0", 4)), "ab");
    vlRefreshExportDecimalSeparator(QLocale(QLocale::German));
    EXPECT_EQ(vlExportDecimalSeparator(), ",");
    vlRefreshExportDecimalSeparator(QLocale::c());
    EXPECT_EQ(vlExportDecimalSeparator(), ".");
}
