// The list of recently used preset files: its rules and its history file "PresetHist.ini".
#include "app/recentList.h"

#include "base/TMemIniFile.h"

namespace {

const char* const kHistory = "HISTORY";

QString entryKey(int i) { return QStringLiteral("ENTRY") + QString::number(i); }

} // namespace

QStringList readRecentList(const TMemIniFile& ini)
{
    QStringList list;
    for (int i = 0; i < kRecentEntries; ++i) {
        const QString e = ini.ReadString(kHistory, entryKey(i), QString());
        if (!e.isEmpty()) list << e;
    }
    return list;
}

void writeRecentList(TMemIniFile& ini, const QStringList& list)
{
    for (int i = 0; i < kRecentEntries; ++i) ini.WriteString(kHistory, entryKey(i), list.value(i));
}

bool addRecentName(QStringList& list, const QString& name)
{
    if (name.isEmpty() || name.contains(u'*')) return false;
    list.prepend(name);
    tidyRecentList(list);
    return true;
}

void tidyRecentList(QStringList& list)
{
    if (list.isEmpty()) return;
    const QString top = list.first();
    for (qsizetype i = list.size() - 1; i > 0; --i)
        if (list[i] == top) list.removeAt(i);
    while (list.size() > kRecentEntries) list.removeLast();
}

QString recentCaption(const QString& name) { return QString(name).replace(u'&', QStringLiteral("&&")); }

QString recentNameFromCaption(const QString& caption)
{
    QString name;
    name.reserve(caption.size());
    bool accelDropped = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            name += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            name += u'&'; // an escaped '&' of the name itself
            ++i;
        } else if (accelDropped) {
            name += u'&';
        } else {
            accelDropped = true; // the first single '&' marks the accelerator
        }
    }
    return name;
}
