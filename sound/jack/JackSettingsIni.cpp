// Reading and writing SoundJack.ini, the JACK module's settings file.
#include "JackSettingsIni.h"

#include <base/TMemIniFile.h>
#include <base/utils.h>

#include <QStringList>

#include <algorithm>

static const QString kClient = QStringLiteral("Client");
static const QString kConnections = QStringLiteral("Connections");
// Longest client name the server takes, and longest full port name ("client:port").
static constexpr int kMaxClientName = 63;
static constexpr int kMaxPortName = 320;

QString jackIniFileName()
{
    return vlProgramDataFolder() + QStringLiteral("SoundJack.ini");
}

// A value as shown in a message: at most 40 characters.
static QString shown(const QString& raw)
{
    return raw.size() > 40 ? raw.left(40) + QStringLiteral("...") : raw;
}

static int readCount(const TMemIniFile& ini, const QString& key, QStringList* problems)
{
    const QString raw = ini.ReadString(kClient, key, QString()).trimmed();
    if (raw.isEmpty())
        return 2;
    bool ok = false;
    const long long v = raw.toLongLong(&ok);
    if (!ok) {
        problems->append(QStringLiteral("[Client] %1=\"%2\" is not a whole number; 2 is used.").arg(key, shown(raw)));
        return 2;
    }
    const int clamped = int(std::clamp<long long>(v, 1, kJackMaxChannels));
    if (clamped != v)
        problems->append(QStringLiteral("[Client] %1=%2 is outside 1..%3; %4 is used.")
                             .arg(key, shown(raw)).arg(kJackMaxChannels).arg(clamped));
    return clamped;
}

static std::vector<std::string> readPorts(const TMemIniFile& ini, const char* prefix, int count, QStringList* problems)
{
    std::vector<std::string> v;
    for (int c = 0; c < count; ++c) {
        const QString key = QString::fromLatin1(prefix) + QString::number(c + 1);
        QString name = ini.ReadString(kConnections, key, QString()).trimmed();
        if (name.size() > kMaxPortName || (!name.isEmpty() && name != "-" && !name.contains(QLatin1Char(':')))) {
            problems->append(QStringLiteral("[Connections] %1=\"%2\" is not a JACK port name (client:port); the "
                                            "default connection is used.").arg(key, shown(name)));
            name.clear();
        }
        v.push_back(name.toStdString());
    }
    while (!v.empty() && v.back().empty())
        v.pop_back();
    return v;
}

TJackSettings jackReadSettings(const QString& fileName, QString* notice)
{
    TMemIniFile ini(fileName);
    QStringList problems;
    if (!ini.loadError().isEmpty())
        problems.append(ini.loadError());
    TJackSettings s;
    const QString name = ini.ReadString(kClient, "Name", QStringLiteral("velmora")).trimmed();
    if (name.isEmpty() || name.size() > kMaxClientName || name.contains(QLatin1Char(':')))
        problems.append(QStringLiteral("[Client] Name=\"%1\" cannot name a JACK client (1..%2 characters, no "
                                       "\":\"); \"velmora\" is used.").arg(shown(name)).arg(kMaxClientName));
    else
        s.clientName = name.toStdString();
    s.inChannels = readCount(ini, "InputChannels", &problems);
    s.outChannels = readCount(ini, "OutputChannels", &problems);
    const QString loop = ini.ReadString(kClient, "Loopback", "0").trimmed();
    s.loopback = loop == "1" || loop.compare("true", Qt::CaseInsensitive) == 0;
    s.outPorts = readPorts(ini, "Output", s.outChannels, &problems);
    s.inPorts = readPorts(ini, "Input", s.inChannels, &problems);
    if (notice)
        *notice = problems.isEmpty() ? QString() : QStringLiteral("SoundJack.ini: ") + problems.join(QLatin1Char(' '));
    return s;
}

bool jackWriteSettings(const QString& fileName, const TJackSettings& s, QString* error)
{
    TMemIniFile ini(fileName);
    ini.WriteString(kClient, "Name", QString::fromStdString(s.clientName));
    ini.WriteInteger(kClient, "InputChannels", s.inChannels);
    ini.WriteInteger(kClient, "OutputChannels", s.outChannels);
    ini.WriteInteger(kClient, "Loopback", s.loopback ? 1 : 0);
    for (int c = 0; c < kJackMaxChannels; ++c) {
        const QString out = QStringLiteral("Output%1").arg(c + 1), in = QStringLiteral("Input%1").arg(c + 1);
        if (size_t(c) < s.outPorts.size() && !s.outPorts[size_t(c)].empty())
            ini.WriteString(kConnections, out, QString::fromStdString(s.outPorts[size_t(c)]));
        else
            ini.DeleteKey(kConnections, out);
        if (size_t(c) < s.inPorts.size() && !s.inPorts[size_t(c)].empty())
            ini.WriteString(kConnections, in, QString::fromStdString(s.inPorts[size_t(c)]));
        else
            ini.DeleteKey(kConnections, in);
    }
    return ini.UpdateFile(error);
}
