// The power-distortion dialog: fields, the refresh on message 1042, and what OK takes.
#include "measurements/ui/TdlgPowThd.h"

#include "analysis/ui/TAnaDlg.h"
#include "base/utils.h"
#include "core/winMessage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {

const char* const kPowerItems[] = {"0.001", "0.01", "0.1", "1", "10", "100", "1000"};
const char* const kVoltItems[] = {"1", "10", "100", "1000", "10000"};

// A positive number from a field, else keep.
double positiveOf(const QString& text, double keep)
{
    bool ok = false;
    const double v = QString(text).replace(',', '.').trimmed().toDouble(&ok);
    return ok && std::isfinite(v) && v > 0.0 ? v : keep;
}

double finiteOf(const QString& text, double keep)
{
    bool ok = false;
    const double v = QString(text).replace(',', '.').trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : keep;
}

QComboBox* editableCombo(QWidget* parent, const char* name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setMinimumWidth(100);
    return c;
}

} // namespace

TdlgPowThd::TdlgPowThd(const TPowThdSettings& s, const cAnaPara& ana, const TLevelCalibration& cal, QWidget* parent)
    : QDialog(parent), m_set(s), m_ana(ana), m_cal(cal)
{
    setObjectName("dlgPowThd");
    m_runAna = [](TAnaDlg& d) { return d.exec(); };
    build();
    fill(s);
    refresh();
}

void TdlgPowThd::build()
{
    auto* col = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(buildRanges(), 1);
    top->addWidget(buildSwitches());
    col->addLayout(top);
    col->addWidget(buildPanels());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* dist = buttons->addButton("Distortion Parameters", QDialogButtonBox::ActionRole);
    connect(dist, &QPushButton::clicked, this, [this] {
        TAnaDlg d(m_ana, vlLanguageCode(), 0.0, this);
        if (m_runAna(d) != QDialog::Rejected) m_ana = d.copy();
        changed();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    col->addWidget(buttons);
}

QWidget* TdlgPowThd::buildRanges()
{
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    SESteps = new QSpinBox(box);
    SESteps->setObjectName("SESteps");
    SESteps->setRange(4, 1000);
    EdFreq = new QLineEdit(box);
    EdFreq->setObjectName("EdFreq");
    CBFrom = editableCombo(box, "CBFrom");
    CBTo = editableCombo(box, "CBTo");
    CBLoad = editableCombo(box, "CBLoad");
    for (const char* l : {"2", "4", "6", "8", "16"}) CBLoad->addItem(l);
    EdTestLevel = new QLineEdit(box);
    EdTestLevel->setObjectName("EdTestLevel");
    LaRange = new QLabel("Power range", box);
    LaUnitFrom = new QLabel("W", box);
    LaUnitTo = new QLabel("W", box);
    LaLoad = new QLabel("Load", box);
    int r = 0;
    g->addWidget(new QLabel("Steps", box), r, 0), g->addWidget(SESteps, r++, 1);
    g->addWidget(new QLabel("Test frequency", box), r, 0), g->addWidget(EdFreq, r, 1), g->addWidget(new QLabel("Hz", box), r++, 2);
    g->addWidget(LaRange, r, 0), g->addWidget(CBFrom, r, 1), g->addWidget(LaUnitFrom, r++, 2);
    g->addWidget(new QLabel("to", box), r, 0), g->addWidget(CBTo, r, 1), g->addWidget(LaUnitTo, r++, 2);
    g->addWidget(LaLoad, r, 0), g->addWidget(CBLoad, r, 1), g->addWidget(new QLabel("Ohm", box), r++, 2);
    g->addWidget(new QLabel("Test Level for gain check", box), r, 0), g->addWidget(EdTestLevel, r, 1);
    g->addWidget(new QLabel("dBFS", box), r++, 2);
    for (QLineEdit* e : {EdFreq, EdTestLevel}) connect(e, &QLineEdit::textEdited, this, &TdlgPowThd::changed);
    for (QComboBox* c : {CBFrom, CBTo, CBLoad}) connect(c, &QComboBox::currentTextChanged, this, &TdlgPowThd::changed);
    connect(SESteps, &QSpinBox::valueChanged, this, &TdlgPowThd::changed);
    return box;
}

QWidget* TdlgPowThd::buildSwitches()
{
    auto* box = new QGroupBox(this);
    auto* v = new QVBoxLayout(box);
    auto check = [&](const char* caption, const char* name) {
        auto* c = new QCheckBox(caption, box);
        c->setObjectName(name);
        v->addWidget(c);
        connect(c, &QCheckBox::toggled, this, &TdlgPowThd::changed);
        return c;
    };
    CBPowerMeas = check("Power Measurement", "CBPowerMeas");
    CBGainCheck = check("Gain check", "CBGainCheck");
    CBBridged = check("Bridged Amplifier", "CBBridged");
    CBSepHarm = check("Separate  harmonic curves", "CBSepHarm");
    CBUpDown = check("Up/Down measurement", "CBUpDown");
    CBLeft = check("Left Ch.", "CBLeft");
    CBRight = check("Right Ch.", "CBRight");
    CBDebug = check("Debug Window", "CBDebug");
    v->addStretch(1);
    return box;
}

QWidget* TdlgPowThd::buildPanels()
{
    auto* box = new QGroupBox(this);
    auto* f = new QFormLayout(box);
    auto panel = [box](const char* name) {
        auto* l = new QLabel(box);
        l->setObjectName(name);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(180);
        return l;
    };
    PaVoltage = panel("PaVoltage");
    PaCurves = panel("PaCurves");
    PaOutBeg = panel("PaOutBeg");
    PaOutEnd = panel("PaOutEnd");
    f->addRow("Voltage range @ sound card input", PaVoltage);
    f->addRow("Used curves", PaCurves);
    f->addRow("Level of the first step (dBFS)", PaOutBeg);
    f->addRow("Level of the last step (dBFS)", PaOutEnd);
    return box;
}

void TdlgPowThd::showRangeItems(bool power)
{
    m_shownPower = power;
    for (QComboBox* c : {CBFrom, CBTo}) {
        const QSignalBlocker block(c);
        c->clear();
        if (power)
            for (const char* i : kPowerItems) c->addItem(i);
        else
            for (const char* i : kVoltItems) c->addItem(i);
    }
}

void TdlgPowThd::fill(const TPowThdSettings& s)
{
    m_filling = true;
    SESteps->setValue(s.PoDSteps);
    EdFreq->setText(QString::asprintf("%1.0f", s.PoDFreq_Hz));
    showRangeItems(s.PoDPowerMeas);
    CBFrom->setCurrentText(QString::asprintf("%5.3f", s.PoDPowerMeas ? s.PoDPowBeg_W : s.PoDVoltBeg_mV).trimmed());
    CBTo->setCurrentText(QString::asprintf("%5.3f", s.PoDPowerMeas ? s.PoDPowEnd_W : s.PoDVoltEnd_mV).trimmed());
    CBLoad->setCurrentText(QString::asprintf("%1.1f", s.PoDLoad_Ohm));
    EdTestLevel->setText(QString::asprintf("%1.1f", s.PoDtestOutLevel_dBFS));
    CBPowerMeas->setChecked(s.PoDPowerMeas);
    CBGainCheck->setChecked(s.PoDGainCheck);
    CBBridged->setChecked(s.PoDBridgedAmp);
    CBSepHarm->setChecked(s.PoDsepHarmC);
    CBUpDown->setChecked(s.PoDupdown);
    CBLeft->setChecked(s.PoDleftCH);
    CBRight->setChecked(s.PoDrightCH);
    CBDebug->setChecked(s.PoDdebugWindow);
    m_filling = false;
}

TPowThdSettings TdlgPowThd::settings() const
{
    TPowThdSettings s = m_set;
    s.PoDSteps = SESteps->value();
    s.PoDFreq_Hz = positiveOf(EdFreq->text(), s.PoDFreq_Hz);
    (m_shownPower ? s.PoDPowBeg_W : s.PoDVoltBeg_mV) =
        positiveOf(CBFrom->currentText(), m_shownPower ? s.PoDPowBeg_W : s.PoDVoltBeg_mV);
    (m_shownPower ? s.PoDPowEnd_W : s.PoDVoltEnd_mV) =
        positiveOf(CBTo->currentText(), m_shownPower ? s.PoDPowEnd_W : s.PoDVoltEnd_mV);
    s.PoDLoad_Ohm = positiveOf(CBLoad->currentText(), s.PoDLoad_Ohm);
    s.PoDtestOutLevel_dBFS = finiteOf(EdTestLevel->text(), s.PoDtestOutLevel_dBFS);
    s.PoDPowerMeas = CBPowerMeas->isChecked();
    s.PoDGainCheck = CBGainCheck->isChecked();
    s.PoDBridgedAmp = CBBridged->isChecked();
    s.PoDsepHarmC = CBSepHarm->isChecked();
    s.PoDupdown = CBUpDown->isChecked();
    s.PoDleftCH = CBLeft->isChecked();
    s.PoDrightCH = CBRight->isChecked();
    s.PoDdebugWindow = CBDebug->isChecked();
    return s;
}

void TdlgPowThd::changed()
{
    if (!m_filling) postMsg(this, kRefreshMsg);
}

bool TdlgPowThd::event(QEvent* e)
{
    if (e->type() != TMsgEvent::eventType()) return QDialog::event(e);
    msgReceived(e);
    if (static_cast<TMsgEvent*>(e)->msg == kRefreshMsg) refresh();
    return true;
}

QString TdlgPowThd::usedCurvesText(const TPowThdSettings& s) const
{
    QStringList names;
    if (s.PoDsepHarmC) {
        for (int k = 2; k <= 9 && names.size() < 4; ++k)
            if (m_ana.Hx & (1 << (k - 1))) names << "H" + QString::number(k);
    }
    if (names.isEmpty()) names << "THD";
    QStringList curves;
    for (const QString& n : names) {
        if (s.PoDleftCH) curves << n + " L";
        if (s.PoDrightCH) curves << n + " R";
    }
    return curves.isEmpty() ? QStringLiteral("none") : curves.join(", ");
}

void TdlgPowThd::refresh()
{
    TPowThdSettings s = settings();
    if (s.PoDPowerMeas != m_shownPower) { // the mode changed: the range fields take the other unit
        m_set = s;
        fill(s);
    }
    const bool power = s.PoDPowerMeas;
    setWindowTitle(power ? "Power Thd Dialog" : "Voltage Thd Dialog");
    LaRange->setText(power ? "Power range" : "Voltage range");
    LaUnitFrom->setText(power ? "W" : "mV");
    LaUnitTo->setText(power ? "W" : "mV");
    for (QWidget* w : {static_cast<QWidget*>(LaLoad), static_cast<QWidget*>(CBLoad), static_cast<QWidget*>(CBBridged)})
        w->setVisible(power);
    CBPowerMeas->setText(power ? "Power Measurement" : "Voltage Measurement");
    EdTestLevel->setEnabled(s.PoDGainCheck);
    PaVoltage->setText(PowThdVoltagePanel(s));
    PaCurves->setText(usedCurvesText(s));
    const TPowThdLevels lev = PowThdExpectedLevels(s, m_cal.INPUT, m_cal.PreAmp_dBL);
    PaOutBeg->setText(QString::asprintf("%1.2f", lev.beg_dBFS));
    PaOutEnd->setText(QString::asprintf("%1.2f", lev.end_dBFS));
    PaOutEnd->setStyleSheet(s.PoDGainCheck && lev.end_dBFS > 0.0 ? "color: red;" : QString());
}
