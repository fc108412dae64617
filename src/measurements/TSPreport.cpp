// The Thiele-Small report's lines.
#include "measurements/TSPreport.h"

#include "measurements/TSPsettings.h"

#include <QStringList>

namespace {

using Lines = std::vector<TSPReportLine>;

void plain(Lines& l, const QString& s) { l.push_back({s, false, false, {}, 0}); }
void italic(Lines& l, const QString& s) { l.push_back({s, false, true, {}, 0}); }

void massLines(Lines& l, const tTSP& t, bool de)
{
    const double mmd = t.Mmd_g, cms = t.Cms_mmN;
    if (t.VasoverVb) {
        plain(l, de ? "Mmd        --               bewegte Membranmasse          "
                    : "Mmd        --                mass of driver's cone           ");
        plain(l, de ? "Cms        --               Nachgiebigkeit Membraneinspannung"
                    : "Cms        --                compliance of driver's suspension ");
        return;
    }
    plain(l, QString::asprintf(de ? "Mmd       %5.2f g/%5.3f oz  bewegte Membranmasse          "
                                  : "Mmd       %5.2f g/%5.3f oz   mass of driver's cone           ",
                               mmd, mmd * kTSPozPerG));
    plain(l, QString::asprintf(de ? "Cms       %5.2f mm/N        Nachgiebigkeit Membraneinspannung"
                                  : "Cms       %5.2f mm/N         compliance of driver's suspension ",
                               cms));
}

void methodLine(Lines& l, const tTSP& t, bool de)
{
    const double vb = t.Vb_dm, ft3 = t.Vb_dm * kTSPft3PerL;
    if (t.VasoverVb)
        italic(l, QString::asprintf(de ? "Vas wurde über ein Prüfgehäuse (Vb=%5.1f l/%5.2f ft³) ermittelt"
                                       : "Vas was determined with a test cabinet (Vb=%4.1f l/%4.2f ft³)",
                                    vb, ft3));
    else
        italic(l, de ? "Vas wurde über die Nachgiebigkeit der Membraneinspannung ermittelt"
                     : "Vas was determined with the elasticity of the membrane");
}

// Everything from "fs" to the method line, blank lines included.
Lines parameterTable(const tTSP& t, bool de)
{
    Lines l;
    plain(l, QString::asprintf(de ? "fs       %5.1f Hz           Resonanzfrequenz              "
                                  : "fs       %5.1f Hz            free air resonance frequency    ", t.fs));
    plain(l, QString::asprintf(de ? "Zmax     %5.1f Ohm          Impedanz bei Resonanzfrequenz "
                                  : "Zmax     %5.1f Ohm           impedance at resonant frequency ", t.Zmax));
    plain(l, QString::asprintf(de ? "Rdc      %5.1f Ohm          Gleichstromwiderstand         "
                                  : "Rdc      %5.1f Ohm           DC-resistance                   ", t.Rdc));
    plain(l, QString::asprintf(de ? "Qms       %5.2f             mechanischer Q-Faktor         "
                                  : "Qms       %5.2f              mechanical Q of the speaker     ", t.Qms));
    plain(l, QString::asprintf(de ? "Qel       %5.2f             elektrischer Q-Faktor         "
                                  : "Qel       %5.2f              electrical Q of the speaker     ", t.Qel));
    plain(l, QString::asprintf(de ? "Qts       %5.2f             Gesamt Q-Faktor               "
                                  : "Qts       %5.2f              total Q of the speaker          ", t.Qts));
    plain(l, {});
    italic(l, QString::asprintf(de ? "Mms      %5.1f g/%5.2f oz   Zusatzmasse (vorgegeben)     "
                                   : "Mms      %5.1f g/%5.2f oz     extra mass (pretended)         ",
                                t.Mms_g, t.Mms_g * kTSPozPerG));
    italic(l, QString::asprintf(de ? "Vb       %5.1f l/%5.2f ft³  Volumen Prüfgehäuse (vorgebenen)"
                                   : "Vb       %5.1f l/%5.2f ft³    test volume (pretended)        ",
                                t.Vb_dm, t.Vb_dm * kTSPft3PerL));
    plain(l, {});
    massLines(l, t, de);
    plain(l, QString::asprintf(de ? "Vas       %5.2f l/%5.3f ft³ äquivalentes Luftnachgiebigkeitsvolumen"
                                  : "Vas       %5.2f l/%5.3f ft³  compliance volume of the speaker",
                               t.Vas_dm, t.Vas_dm * kTSPft3PerL));
    methodLine(l, t, de);
    return l;
}

} // namespace

std::vector<TSPReportLine> TSPReport(const tTSP& t, bool de, const QString& date)
{
    Lines l;
    l.push_back({"  Thiele-Small Parameter                                 " + date, true, false, {}, 9});
    l.push_back({"                                                                               Velmora", true, true,
                 "comic sans ms", 9});
    plain(l, {});
    plain(l, de ? "für Lautsprecher: ..." : "for Speaker: ...");
    plain(l, {});
    plain(l, de ? "Weitere Kommentare:" : "Additional comments:");
    plain(l, {});
    plain(l, {});
    plain(l, de ? "Parameter/Wert              Beschreibung " : "Parameter/Value              Description ");
    plain(l, de ? "-----------------------------------------------------------"
                : "-------------------------------------------------------------------");
    for (TSPReportLine& p : parameterTable(t, de))
        l.push_back(std::move(p));
    return l;
}

QStringList TSPParameterLines(const tTSP& t, bool german)
{
    QStringList out;
    for (const TSPReportLine& p : parameterTable(t, german))
        if (!p.text.isEmpty())
            out << p.text;
    return out;
}
