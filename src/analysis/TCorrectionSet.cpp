// The input and output correction curves of the main window, their settings and menu commands.
#include "analysis/TCorrectionSet.h"

#include "analysis/TMicCalibration.h"
#include "analysis/corObjMessages.h"
#include "base/TMemIniFile.h"

#include <QFile>

namespace {

const QString kMain = QStringLiteral("MAIN");

struct Keys {
    QString name;   // file name key
    QString active; // active flag key
};

Keys keysOf(TCorrectionSet::Which w)
{
    if (w == TCorrectionSet::Output)
        return {QStringLiteral("OUTCONAME"), QStringLiteral("OUTCOAKT")};
    return {QStringLiteral("INCONAME"), QStringLiteral("INCOAKT")};
}

} // namespace

TCorrectionSet::TCorrectionSet(char lang)
{
    for (Slot& s : m_slots) {
        s.cor.setLang(lang);
        s.cor.setapplDir(+1);
    }
}

char TCorrectionSet::textSeparator(const TMemIniFile& ini)
{
    const QString v = ini.ReadString(kMain, QStringLiteral("TEXTSEP"), QStringLiteral(";"));
    if (v == QLatin1String("BLANK"))
        return ' ';
    if (v.isEmpty() || v.at(0).unicode() > 0x7F) // one byte of the file must match it
        return ';';
    return char(v.at(0).unicode());
}

void TCorrectionSet::readSettings(const TMemIniFile& ini)
{
    m_sep = textSeparator(ini);
    for (Which w : {Input, Output}) {
        const Keys k = keysOf(w);
        const QString name = ini.ReadString(kMain, k.name, QString());
        if (!name.isEmpty())
            open(w, name);
        curve(w).setaktiv(curve(w).getaktiv() && ini.ReadBool(kMain, k.active, false));
    }
}

void TCorrectionSet::writeSettings(TMemIniFile& ini) const
{
    for (Which w : {Input, Output}) {
        const Keys k = keysOf(w);
        ini.WriteString(kMain, k.name, fileName(w));
        ini.WriteBool(kMain, k.active, active(w));
    }
}

bool TCorrectionSet::open(Which w, const QString& fname)
{
    Slot& s = slot(w);
    s.fname = fname;
    // Files from other programs (microphone calibrations) carry comment lines or other
    // separators; they are read as columns, and never rewritten.
    TMicCalibrationFile mic;
    if (IsForeignColumnFile(fname, m_sep, mic)) {
        MicCorrection(mic, s.cor);
        return s.cor.getaktiv();
    }
    return s.cor.makeCorrArr(QFile::encodeName(fname).toStdString(), m_sep, false, correctionMessageSink());
}

bool TCorrectionSet::toggleActive(Which w)
{
    Slot& s = slot(w);
    s.cor.setaktiv(!s.cor.getaktiv() && !s.fname.isEmpty());
    return s.cor.getaktiv();
}

QString TCorrectionSet::edit(Which w, const QString& fnameIfNone)
{
    Slot& s = slot(w);
    if (s.fname.isEmpty()) {
        if (fnameIfNone.isEmpty())
            return QString();
        open(w, fnameIfNone);
    }
    s.cor.setaktiv(true);
    return s.fname;
}
