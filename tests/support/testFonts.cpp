// Font sets for GUI tests: the fontconfig file of each, written before the application starts.
#include "testFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>

namespace testFonts {
namespace {

struct TFontSet {
    const char* name;
    const char* package;    // the Debian package that brings the set's own family
    const char* folders[2]; // where that package puts its fonts (the second may be null)
    const char* probe;      // a file of the family: whether the package is there
    const char* sans;       // the family "Arial" and the other sans names resolve to
    const char* hintStyle;  // the sets hint differently, so that hinting is covered too
};

// Every set holds DejaVu too, for the glyphs its own family lacks (as desktops do).
constexpr const char* kDejaVuFolder = "/usr/share/fonts/truetype/dejavu";
constexpr const char* kDejaVuProbe = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

const TFontSet kSets[] = {
    {"dejavu", "fonts-dejavu-core", {kDejaVuFolder, nullptr}, kDejaVuProbe, "DejaVu Sans",
     "hintslight"},
    // Both forms the package installs: Qt takes the Type 1 faces, whose line spacing is less
    // than their height (a negative leading).
    {"urw", "fonts-urw-base35",
     {"/usr/share/fonts/opentype/urw-base35", "/usr/share/fonts/type1/urw-base35"},
     "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1", "Nimbus Sans", "hintslight"},
    {"liberation", "fonts-liberation2", {"/usr/share/fonts/truetype/liberation2", nullptr},
     "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", "Liberation Sans",
     "hintfull"},
};

// The family names the program asks for, and the generic ones, all mapped to the set's sans.
const char* const kSansNames[] = {"Arial",     "arial",      "MS Sans Serif",
                                  "Helvetica", "sans-serif", "sans"};

const TFontSet* findSet(const QString& name)
{
    for (const TFontSet& s : kSets)
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

QString chosenName()
{
    const char* env = std::getenv("VELMORA_TEST_FONTS");
    return env && *env ? QString::fromLatin1(env) : QStringLiteral("dejavu");
}

// Only the set's folders, its aliases and its rendering: nothing of /etc/fonts takes part.
QString configXml(const TFontSet& s, const QString& cacheDir)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n"
                                 "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n");
    xml += QStringLiteral("  <dir>%1</dir>\n").arg(QLatin1String(kDejaVuFolder));
    for (const char* folder : s.folders)
        if (folder && QLatin1String(folder) != QLatin1String(kDejaVuFolder))
            xml += QStringLiteral("  <dir>%1</dir>\n").arg(QLatin1String(folder));
    xml += QStringLiteral("  <cachedir>%1</cachedir>\n").arg(cacheDir);
    for (const char* n : kSansNames)
        xml += QStringLiteral("  <alias binding=\"same\"><family>%1</family><prefer>"
                              "<family>%2</family><family>DejaVu Sans</family></prefer></alias>\n")
                   .arg(QLatin1String(n), QLatin1String(s.sans));
    xml += QStringLiteral("  <match target=\"font\">\n"
                          "    <edit name=\"antialias\" mode=\"assign\"><bool>true</bool></edit>\n"
                          "    <edit name=\"hinting\" mode=\"assign\"><bool>true</bool></edit>\n"
                          "    <edit name=\"hintstyle\" mode=\"assign\"><const>%1</const></edit>\n"
                          "    <edit name=\"rgba\" mode=\"assign\"><const>none</const></edit>\n"
                          "  </match>\n</fontconfig>\n")
               .arg(QLatin1String(s.hintStyle));
    return xml;
}

// Writes the set's file into a folder that lives as long as the process.
QString writeConfig(const TFontSet& s)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velmora-fonts-XXXXXX"));
    if (!dir.isValid())
        return QStringLiteral("cannot make a folder for the fontconfig file: ") + dir.errorString();
    QFile f(dir.filePath(QStringLiteral("fonts.conf")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(configXml(s, dir.filePath(QStringLiteral("cache"))).toUtf8()) < 0)
        return QStringLiteral("cannot write ") + f.fileName();
    f.close();
    qputenv("FONTCONFIG_FILE", f.fileName().toLocal8Bit());
    return {};
}

// Empty when the set's fonts are all there, else which package is missing.
QString missingPackage(const TFontSet& s)
{
    const struct {
        const char* path;
        const char* package;
    } needs[] = {{kDejaVuProbe, "fonts-dejavu-core"},
                 {s.probe, s.package},
                 {s.folders[0], s.package},
                 {s.folders[1], s.package}};
    for (const auto& n : needs)
        if (n.path && !QFileInfo::exists(QLatin1String(n.path)))
            return QStringLiteral("font set \"%1\" needs the package %2 (%3 is missing; "
                                  "test.sh installs it)")
                .arg(QLatin1String(s.name), QLatin1String(n.package), QLatin1String(n.path));
    return {};
}

// Whether every sans name comes out as the set's family through Qt's font matching.
QString checkResolution(const TFontSet& s)
{
    for (const char* n : kSansNames) {
        // Qt names the foundry when a family comes from more than one: "Nimbus Sans [urw]".
        const QString family = QFontInfo(QFont(QLatin1String(n), 8)).family();
        const QString got = family.section(QStringLiteral(" ["), 0, 0);
        if (got != QLatin1String(s.sans))
            return QStringLiteral("font set \"%1\": \"%2\" resolves to \"%3\", not \"%4\"")
                .arg(QLatin1String(s.name), QLatin1String(n), got, QLatin1String(s.sans));
    }
    return {};
}

QString start(const char* programName)
{
    if (QCoreApplication::instance())
        return QStringLiteral("an application was made before the font set was chosen");
    const TFontSet* s = findSet(chosenName());
    if (!s)
        return QStringLiteral("VELMORA_TEST_FONTS names an unknown font set \"%1\" "
                              "(dejavu, urw, liberation)")
            .arg(chosenName());
    if (QString why = missingPackage(*s); !why.isEmpty())
        return why;
    if (QString why = writeConfig(*s); !why.isEmpty())
        return why;
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(programName), nullptr};
    new QGuiApplication(argc, argv); // lives until the process ends
    return checkResolution(*s);
}

} // namespace

QString startGuiApp(const char* programName)
{
    static const QString why = start(programName);
    return why;
}

} // namespace testFonts
