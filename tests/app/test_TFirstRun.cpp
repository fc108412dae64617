// First start: seeding from the factory file, never over the user's file, never from bad input.
#include "app/TFirstRun.h"
#include "../support/testFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kFactory = "; first start\n[OSOUND]\nvolL=-10\n[EICH]\nINPUT=1000\n";

} // namespace

TEST(FirstRun, SeedsOnlyWhenNoSettingsFileExists)
{
    QTemporaryDir dir;
    const QString factory = dir.filePath("factory.ini"), settings = dir.filePath("velmora30.ini");
    writeBytes(factory, kFactory);
    QString error;
    EXPECT_EQ(seedSettingsFile(settings, factory, &error), eSettingsSeed::seeded);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(readBytes(settings), kFactory);
    EXPECT_TRUE(QFile(settings).permissions() & QFile::WriteOwner) << "the user's copy can be saved";

    // The user's file, whatever it holds (even nothing, even something unreadable), stays.
    for (const QByteArray& own : {QByteArray("[OSOUND]\nvolL=-30\n"), QByteArray(), QByteArray("\0\xff", 2)}) {
        writeBytes(settings, own);
        EXPECT_EQ(seedSettingsFile(settings, factory, &error), eSettingsSeed::userFile);
        EXPECT_EQ(readBytes(settings), own);
    }
    // Nothing is left behind in the folder but the two files.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(FirstRun, NoFactoryFileStartsOnTheDefaultsSilently)
{
    QTemporaryDir dir;
    const QString settings = dir.filePath("velmora30.ini");
    QString error;
    EXPECT_EQ(seedSettingsFile(settings, dir.filePath("gone.ini"), &error), eSettingsSeed::notSeeded);
    EXPECT_EQ(seedSettingsFile(settings, dir.path(), &error), eSettingsSeed::notSeeded) << "a folder is no file";
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(settings));
}

// A factory file that the settings reader would refuse is not copied (the user would be told
// his settings were unreadable on the very first start), and is itself left where it is.
TEST(FirstRun, BadFactoryFileIsNotCopiedAndSaysWhy)
{
    QTemporaryDir dir;
    const QString factory = dir.filePath("factory.ini"), settings = dir.filePath("velmora30.ini");
    const struct {
        const char* name;
        QByteArray bytes;
        const char* why;
    } cases[] = {
        {"NUL bytes", QByteArray("[MAIN]\nmeasuringmode=1\n\0\0\0", 26), "NUL"},
        {"Latin-1 text", QByteArray("[MAIN]\nREM=M\xfcller\n"), "UTF-8"},
        {"cut inside a UTF-8 sequence", QByteArray("[MAIN]\nREM=\xe2\x82"), "UTF-8"},
        {"huge", QByteArray(int(kMaxFactoryBytes) + 1, 'x'), "larger"},
        {"empty", QByteArray(), "empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(factory, c.bytes);
        QString error;
        EXPECT_EQ(seedSettingsFile(settings, factory, &error), eSettingsSeed::notSeeded);
        EXPECT_TRUE(error.contains(c.why)) << error.toStdString();
        EXPECT_TRUE(error.contains("factory.ini")) << error.toStdString();
        EXPECT_FALSE(QFile::exists(settings));
        EXPECT_EQ(readBytes(factory), c.bytes) << "the factory file was moved or changed";
    }
    // A truncated but well-formed file is INI text: what it holds is taken.
    writeBytes(factory, kFactory.left(20));
    EXPECT_EQ(seedSettingsFile(settings, factory), eSettingsSeed::seeded);
}

TEST(FirstRun, FactoryFileLiesBesideTheProgram)
{
    EXPECT_EQ(QDir::cleanPath(factorySettingsFile("/opt/velmora/bin")), "/opt/velmora/data/factory/velmora30.ini");
}
