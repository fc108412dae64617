// The sweep settings dialog "Wobbel-Einstellung": fields, arrow-button rules, "default".
#include "measurements/ui/Twobbeldlg.h"

#include "core/ui/TOutFilterSelDlg.h"
#include "core/ui/TUpDown.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

double numberOf(const QLineEdit* e, double def)
{
    bool ok = false;
    const double v = QLocale().toDouble(e->text().trimmed(), &ok);
    if (ok && std::isfinite(v))
        return v;
    const double c = e->text().trimmed().toDouble(&ok); // a point typed in a comma locale
    return ok && std::isfinite(c) ? c : def;
}

QString fmt(double v, int decimals)
{
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator); // "20000.00": a field reads back what it shows
    return l.toString(v, 'f', decimals);
}

QSpinBox* spin(int lo, int hi, QWidget* parent)
{
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    return s;
}

} // namespace

Twobbeldlg::Twobbeldlg(const Twobdat& w, int32_t mode, QWidget* parent)
    : QDialog(parent), dwobDat(w), m_mode(mode)
{
    setWindowTitle("Wobbel-Einstellung");
    setObjectName("wobbeldlg");
    build();
    showValues();
}

double Twobbeldlg::stepStartFrequency(double start, double stop, int delta)
{
    double f = start;
    if (delta > 0)
        f = std::floor(start / 10.0 + 1e-9) * 10.0 + 10.0; // the next whole ten
    else if (delta < 0)
        f = start - 10.0;
    return std::clamp(f, 0.1, std::max(stop, 0.1));
}

double Twobbeldlg::stepLevel(double level, int delta)
{
    return std::clamp(std::round((level + 0.1 * delta) * 10.0) / 10.0, -100.0, 0.0);
}

QString Twobbeldlg::levelText(double level) { return level <= -100.0 ? QStringLiteral("Off") : fmt(level, 2); }

void Twobbeldlg::build()
{
    auto* col = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(buildFrequencies());
    row->addWidget(buildMeasurement());
    row->addWidget(buildOptions());
    col->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    BtDefault = buttons->addButton("default", QDialogButtonBox::ResetRole);
    connect(BtDefault, &QPushButton::clicked, this, &Twobbeldlg::setDefaults);
    connect(buttons, &QDialogButtonBox::accepted, this, &Twobbeldlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    col->addWidget(buttons);
}

QWidget* Twobbeldlg::buildFrequencies()
{
    auto* box = new QGroupBox("Frequency", this);
    auto* g = new QGridLayout(box);
    EdFrom = new QLineEdit(box);
    EdTo = new QLineEdit(box);
    auto* upFrom = new TUpDown(box);
    connect(upFrom, &TUpDown::stepped, this, [this](int d) {
        const double f = stepStartFrequency(numberOf(EdFrom, dwobDat.wobfrom), numberOf(EdTo, dwobDat.wobto), d);
        EdFrom->setText(fmt(f, 2));
    });
    g->addWidget(new QLabel("Start", box), 0, 0);
    g->addWidget(EdFrom, 0, 1);
    g->addWidget(upFrom, 0, 2);
    g->addWidget(new QLabel("Hz", box), 0, 3);
    g->addWidget(new QLabel("Stop", box), 1, 0);
    g->addWidget(EdTo, 1, 1);
    g->addWidget(new QLabel("Hz", box), 1, 3);
    SeSteps = spin(5, 1000, box);
    g->addWidget(new QLabel("Anzahl Steps", box), 2, 0);
    g->addWidget(SeSteps, 2, 1);
    RbLin = new QRadioButton("linear", box);
    RbLog = new QRadioButton("logarithmisch", box);
    g->addWidget(RbLin, 3, 0);
    g->addWidget(RbLog, 3, 1);
    EdLevel = new QLineEdit(box);
    auto* upLevel = new TUpDown(box);
    connect(upLevel, &TUpDown::stepped, this, [this](int d) {
        const double cur = EdLevel->text() == "Off" ? -100.0 : numberOf(EdLevel, dwobDat.pegdigL);
        EdLevel->setText(levelText(stepLevel(cur, d)));
    });
    g->addWidget(new QLabel("Digital Level", box), 4, 0);
    g->addWidget(EdLevel, 4, 1);
    g->addWidget(upLevel, 4, 2);
    g->addWidget(new QLabel("dBFS", box), 4, 3);
    LaStart = new QLabel("wait before meas.", box);
    SeStart = spin(0, 100000, box);
    g->addWidget(LaStart, 5, 0);
    g->addWidget(SeStart, 5, 1);
    LaTotal = new QLabel(box);
    LaTotal->setObjectName("LaTotal");
    g->addWidget(new QLabel("total time", box), 6, 0);
    g->addWidget(LaTotal, 6, 1);
    connect(SeSteps, &QSpinBox::valueChanged, this, [this] { refreshRules(); });
    connect(SeStart, &QSpinBox::valueChanged, this, [this] { refreshRules(); });
    return box;
}

QWidget* Twobbeldlg::buildMeasurement()
{
    auto* box = new QGroupBox("Messung", this);
    auto* v = new QVBoxLayout(box);
    const char* refs[3] = {"Mono, right Ch. Ref.", "Mono, left Ch. Ref.", "Stereo, no Ch. Ref."};
    for (int i = 0; i < 3; ++i) {
        RbRef[i] = new QRadioButton(refs[i], box);
        v->addWidget(RbRef[i]);
        connect(RbRef[i], &QRadioButton::toggled, this, [this] { refreshRules(); });
    }
    auto* ph = new QGroupBox("Phase", box);
    auto* pg = new QGridLayout(ph);
    CbPhase = new QCheckBox("Messung", ph);
    EdPmin = new QLineEdit(ph);
    EdPmax = new QLineEdit(ph);
    pg->addWidget(CbPhase, 0, 0, 1, 2);
    pg->addWidget(new QLabel("min", ph), 1, 0);
    pg->addWidget(EdPmin, 1, 1);
    pg->addWidget(new QLabel("max", ph), 2, 0);
    pg->addWidget(EdPmax, 2, 1);
    v->addWidget(ph);
    GbImp = new QGroupBox("Impedance / TSP", box);
    auto* ig = new QGridLayout(GbImp);
    EdRs = new QLineEdit(GbImp);
    ig->addWidget(new QLabel("Rs (Ohm)", GbImp), 0, 0);
    ig->addWidget(EdRs, 0, 1);
    ig->addWidget(new QLabel("series resist.", GbImp), 0, 2);
    buildImpedance(ig);
    v->addWidget(GbImp);
    GbImp->setVisible(m_mode == 6 || m_mode == 8);
    v->addStretch(1);
    return box;
}

QWidget* Twobbeldlg::buildOptions()
{
    auto* box = new QGroupBox("Options", this);
    auto* g = new QGridLayout(box);
    CbConti = new QCheckBox("continuous", box);
    CbSync = new QCheckBox("sync", box);
    CbWait1k = new QCheckBox("wait 1kHz", box);
    CbTrack = new QCheckBox("Tracking Filter", box);
    BtTrack = new QPushButton("config tracking filter", box);
    CbNextCurve = new QCheckBox("new curve / meas.", box);
    SeThreshold = spin(-150, 20, box);
    SePause = spin(0, 1000, box);
    int r = 0;
    g->addWidget(CbConti, r++, 0, 1, 2);
    g->addWidget(CbSync, r++, 0, 1, 2);
    g->addWidget(CbWait1k, r++, 0, 1, 2);
    g->addWidget(new QLabel("Threshold", box), r, 0);
    g->addWidget(new QLabel("Level (dB)", box), r++, 1);
    g->addWidget(SeThreshold, r++, 1);
    g->addWidget(CbTrack, r++, 0, 1, 2);
    g->addWidget(BtTrack, r++, 0, 1, 2);
    g->addWidget(new QLabel("Pause", box), r, 0);
    g->addWidget(SePause, r++, 1);
    g->addWidget(CbNextCurve, r++, 0, 1, 2);
    auto* dist = new QPushButton("Distortion Parameters", box);
    auto* fft = new QPushButton("FFT Parameters", box);
    g->addWidget(dist, r++, 0, 1, 2);
    g->addWidget(fft, r++, 0, 1, 2);
    connect(dist, &QPushButton::clicked, this, [this] { if (onDistortionParameters) onDistortionParameters(); });
    connect(fft, &QPushButton::clicked, this, [this] { if (onFFTParameters) onFFTParameters(); });
    connect(BtTrack, &QPushButton::clicked, this, &Twobbeldlg::configTrackFilter);
    connect(CbSync, &QCheckBox::toggled, this, [this] { refreshRules(); });
    connect(CbPhase, &QCheckBox::toggled, this, [this] { refreshRules(); });
    return box;
}

void Twobbeldlg::showValues()
{
    m_filling = true;
    const Twobdat& w = dwobDat;
    EdFrom->setText(fmt(w.wobfrom, 2));
    EdTo->setText(fmt(w.wobto, 2));
    SeSteps->setValue(w.wobSyncSteps);
    RbLin->setChecked(w.woblin);
    RbLog->setChecked(!w.woblin);
    EdLevel->setText(levelText(w.pegdigL));
    CbSync->setChecked(w.wobSync);
    SeStart->setValue(w.wobSync ? w.startmess_ms : w.totalasyncmess_s);
    CbPhase->setChecked(w.wobphase);
    EdPmin->setText(fmt(w.pmin, 0));
    EdPmax->setText(fmt(w.pmax, 0));
    const int ref = (m_mode == 6 || m_mode == 8) ? int(w.mImpMode) : int(w.RefMess);
    RbRef[std::clamp(ref, 0, 2)]->setChecked(true);
    CbConti->setChecked(w.wobconti);
    CbWait1k->setChecked(w.waitOn1kHz);
    SeThreshold->setValue(int(std::lround(std::clamp(w.thresholdLevel_dB, -150.0, 20.0))));
    CbTrack->setChecked(w.TrackFilter);
    SePause->setValue(std::clamp(w.pause_s, 0, 1000));
    CbNextCurve->setChecked(w.nextCurve);
    EdRs->setText(fmt(w.Rs, 2));
    m_filling = false;
    refreshRules();
}

// The controls that depend on others: the start field's meaning, the total time, the phase.
void Twobbeldlg::refreshRules()
{
    if (m_filling)
        return;
    const bool sync = CbSync->isChecked();
    if (sync != dwobDat.wobSync) { // the start field changes meaning: keep what it held
        (dwobDat.wobSync ? dwobDat.startmess_ms : dwobDat.totalasyncmess_s) = SeStart->value();
        dwobDat.wobSync = sync;
        m_filling = true;
        SeStart->setValue(sync ? dwobDat.startmess_ms : dwobDat.totalasyncmess_s);
        m_filling = false;
    }
    LaStart->setText(sync ? "wait before meas." : "meas. time (s)");
    const double total = sync ? SeSteps->value() * double(SeStart->value()) / 1000.0 : double(SeStart->value());
    LaTotal->setText(QString::asprintf("%1.1fs", total));
    const bool stereo = m_mode != 6 && m_mode != 8 && RbRef[2]->isChecked();
    if (stereo && CbPhase->isChecked())
        CbPhase->setChecked(false);
    CbPhase->setEnabled(!stereo);
    EdPmin->setEnabled(!stereo && CbPhase->isChecked());
    EdPmax->setEnabled(!stereo && CbPhase->isChecked());
}

void Twobbeldlg::takeValues()
{
    Twobdat& w = dwobDat;
    w.wobfrom = std::max(numberOf(EdFrom, w.wobfrom), 0.1);
    w.wobto = numberOf(EdTo, w.wobto);
    w.wobSyncSteps = w.wobAnzSteps = SeSteps->value();
    w.woblin = RbLin->isChecked();
    const double lev = EdLevel->text() == "Off" ? -100.0 : std::clamp(numberOf(EdLevel, w.pegdigL), -100.0, 0.0);
    w.pegdigL = w.pegdigR = lev;
    w.wobSync = CbSync->isChecked();
    (w.wobSync ? w.startmess_ms : w.totalasyncmess_s) = SeStart->value();
    w.wobphase = CbPhase->isChecked();
    w.pmin = numberOf(EdPmin, w.pmin);
    w.pmax = numberOf(EdPmax, w.pmax);
    const int ref = RbRef[0]->isChecked() ? 0 : RbRef[1]->isChecked() ? 1 : 2;
    if (m_mode == 6 || m_mode == 8)
        w.mImpMode = ref == 0 ? mImpVar1 : mImpVar2;
    else
        w.RefMess = tmRefMess(ref);
    w.wobconti = CbConti->isChecked();
    w.waitOn1kHz = CbWait1k->isChecked();
    w.thresholdLevel_dB = SeThreshold->value();
    w.TrackFilter = CbTrack->isChecked();
    w.pause_s = SePause->value();
    w.nextCurve = CbNextCurve->isChecked();
    w.Rs = numberOf(EdRs, w.Rs);
}

void Twobbeldlg::accept()
{
    takeValues();
    takeTSP();
    QDialog::accept();
}

void Twobbeldlg::setDefaults()
{
    SetWobDefaults(dwobDat);
    showValues();
}

// The tracking filter in the filter table; its changes count only when the dialog is confirmed.
void Twobbeldlg::configTrackFilter()
{
    TOutFilterSelDlg dlg(dwobDat.TrackFilterBlock, dwobDat.TrackFilterBlock, true, [](const tFilterBlock&, const tFilterBlock&) {},
                         this);
    dlg.setWindowTitle("Tracking Filter");
    if (dlg.exec() == QDialog::Accepted)
        dwobDat.TrackFilterBlock = dlg.model().left();
}
