// Reading column files of other programs from disk.
#include "analysis/columnFile.h"

#include <QFile>
#include <QFileInfo>

bool ReadColumnFile(const QString& path, TColumnTable& out, QString* error)
{
    const QString name = QFileInfo(path).fileName();
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return fail("Cannot open " + name + ": " + f.errorString());
    if (f.size() > qint64(kMaxColumnFileBytes)) return fail(name + ": the file is too large");
    const QByteArray bytes = f.readAll();
    std::string why;
    if (!ReadColumnText(std::string_view(bytes.constData(), size_t(bytes.size())), out, &why))
        return fail(name + ": " + QString::fromStdString(why));
    return true;
}
