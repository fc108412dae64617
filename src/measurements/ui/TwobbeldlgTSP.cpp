// The sweep dialog's Thiele-Small inputs: cabinet volume, added mass, diameter, method and units.
#include "measurements/TSPsettings.h"
#include "measurements/ui/Twobbeldlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <cmath>

namespace {

constexpr double kMmPerInch = 25.4;

double numberIn(const QLineEdit* e, double def)
{
    bool ok = false;
    double v = QLocale().toDouble(e->text().trimmed(), &ok);
    if (!ok)
        v = e->text().trimmed().toDouble(&ok); // a point typed in a comma locale
    return ok && std::isfinite(v) ? v : def;
}

} // namespace

void Twobbeldlg::buildImpedance(QGridLayout* g)
{
    auto row = [&](int r, QLineEdit*& edit, QLabel*& label, const char* hint) {
        label = new QLabel(GbImp);
        edit = new QLineEdit(GbImp);
        g->addWidget(label, r, 0);
        g->addWidget(edit, r, 1);
        g->addWidget(new QLabel(hint, GbImp), r, 2);
    };
    row(1, EdVb, LaVb, "cabinet volume");
    row(2, EdMms, LaMms, "Extra mass");
    row(3, EdD, LaD, "diameter");
    CbVasoverVb = new QCheckBox("Vas via cabinet Vb", GbImp);
    CbRdcForced = new QCheckBox("Rdc forced", GbImp);
    CbAltUnits = new QCheckBox("Alternative Units", GbImp);
    g->addWidget(CbVasoverVb, 4, 0, 1, 3);
    g->addWidget(CbRdcForced, 5, 0, 1, 3);
    g->addWidget(CbAltUnits, 6, 0, 1, 3);
    connect(CbVasoverVb, &QCheckBox::toggled, this, [this] { refreshTSPRules(); });
    // The values typed so far are kept and shown again in the other units.
    connect(CbAltUnits, &QCheckBox::toggled, this, [this] {
        if (m_filling)
            return;
        takeTSP();
        showTSP();
    });
    showTSP();
}

void Twobbeldlg::setTSP(const tTSP& t)
{
    dTSP = t;
    showTSP();
}

void Twobbeldlg::showTSP()
{
    const bool filling = m_filling;
    m_filling = true;
    const bool alt = dTSP.bAltUnits;
    m_altShown = alt;
    LaVb->setText(alt ? "Vb (ft³)" : "Vb (Liter)");
    LaMms->setText(alt ? "Mms (oz)" : "Mms (g)");
    LaD->setText(alt ? "d (inch)" : "d (mm)");
    EdVb->setText(QString::asprintf("%1.1f", alt ? dTSP.Vb_dm * kTSPft3PerL : dTSP.Vb_dm));
    EdMms->setText(QString::asprintf("%1.1f", alt ? dTSP.Mms_g * kTSPozPerG : dTSP.Mms_g));
    EdD->setText(QString::asprintf("%1.1f", alt ? dTSP.durch_mm / kMmPerInch : dTSP.durch_mm));
    m_shownTSP = {EdVb->text(), EdMms->text(), EdD->text()};
    CbVasoverVb->setChecked(dTSP.VasoverVb);
    CbRdcForced->setChecked(dTSP.bVorgabeRdc);
    CbAltUnits->setChecked(alt);
    m_filling = filling;
    refreshTSPRules();
}

// The fields are read in the units they are shown in; the record keeps litres, grams, mm.
void Twobbeldlg::takeTSP()
{
    // A field left as it was shown keeps the stored value: the one decimal shown (in ft³ a
    // step of 2.8 litres) would otherwise replace it on every OK.
    const bool alt = m_altShown;
    auto take = [&](const QLineEdit* e, int i, double& stored, double perUnit) {
        if (e->text() != m_shownTSP[i])
            stored = numberIn(e, stored * perUnit) / perUnit;
    };
    take(EdVb, 0, dTSP.Vb_dm, alt ? kTSPft3PerL : 1.0);
    take(EdMms, 1, dTSP.Mms_g, alt ? kTSPozPerG : 1.0);
    take(EdD, 2, dTSP.durch_mm, alt ? 1.0 / kMmPerInch : 1.0);
    dTSP.VasoverVb = CbVasoverVb->isChecked();
    dTSP.bVorgabeRdc = CbRdcForced->isChecked();
    dTSP.bAltUnits = CbAltUnits->isChecked();
}

// The closed-box method needs the cabinet volume, the added-mass method the mass.
void Twobbeldlg::refreshTSPRules()
{
    EdVb->setEnabled(CbVasoverVb->isChecked());
    EdMms->setEnabled(!CbVasoverVb->isChecked());
}
