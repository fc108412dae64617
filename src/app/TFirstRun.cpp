// Seeding the settings file of a first start from the factory settings.
#include "app/TFirstRun.h"

#include "base/TMemIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// The factory file's bytes when they are usable INI text; else empty with *why set.
QByteArray readFactory(const QString& factoryFile, QString* why)
{
    const QFileInfo fi(factoryFile);
    if (!fi.isFile()) return {};
    if (fi.size() > kMaxFactoryBytes) {
        *why = "it is larger than " + QString::number(kMaxFactoryBytes) + " bytes";
        return {};
    }
    QFile f(factoryFile);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return {};
    }
    QByteArray data = f.read(kMaxFactoryBytes + 1);
    if (data.size() > kMaxFactoryBytes) {
        *why = "it is larger than " + QString::number(kMaxFactoryBytes) + " bytes";
        return {};
    }
    // The same test the settings reader applies: what it would refuse is not copied.
    if (!TMemIniFile().setBytes(data, why)) return {};
    if (data.isEmpty()) *why = "it is empty";
    return data;
}

// Writes data to a temporary file beside target and renames it into place; false with *why
// when the folder cannot take it or target appeared meanwhile.
bool placeFile(const QString& target, const QByteArray& data, QString* why)
{
    QTemporaryFile tmp(QFileInfo(target).absolutePath() + "/.velmora-seed-XXXXXX");
    if (!tmp.open() || tmp.write(data) != data.size() || !tmp.flush()) {
        *why = tmp.errorString();
        return false;
    }
    tmp.close();
    if (!QFile::rename(tmp.fileName(), target)) { // never replaces an existing file
        *why = "the settings file could not be created";
        return false;
    }
    tmp.setAutoRemove(false);
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                 QFile::ReadOther);
    return true;
}

} // namespace

eSettingsSeed seedSettingsFile(const QString& settingsFile, const QString& factoryFile,
                               QString* error)
{
    if (QFileInfo::exists(settingsFile) || QFileInfo(settingsFile).isSymLink())
        return eSettingsSeed::userFile;
    QString why;
    const QByteArray data = readFactory(factoryFile, &why);
    const bool placed = !data.isEmpty() && placeFile(settingsFile, data, &why);
    if (!why.isEmpty() && error)
        *error = "The factory settings " + QDir::toNativeSeparators(factoryFile) +
                 " were not used: " + why + ".";
    return placed ? eSettingsSeed::seeded : eSettingsSeed::notSeeded;
}

QString factorySettingsFile(const QString& programFolder)
{
    return QDir(programFolder).filePath("../data/factory/velmora30.ini");
}
