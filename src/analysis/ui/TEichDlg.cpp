// The calibration dialog: its controls, its own acquisition loop and OK's checks.
#include "analysis/ui/TEichDlg.h"

#include "analysis/TEichModel.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

int TEichDlg::s_state = TEichDlg::csClosed;

namespace {

constexpr int kPollMs = 30;
constexpr int kInputError = 33; // the module's notice text, no error

QLineEdit* numberField(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(80);
    e->setAlignment(Qt::AlignRight);
    return e;
}

// A field's value, or `keep` when its text does not convert.
double fieldValue(const QLineEdit* e, double keep)
{
    bool ok = false;
    const double v = QString(e->text()).replace(',', '.').trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : keep;
}

} // namespace

TEichDlg::TEichDlg(const TLevelCalibration& cal, TMemIniFile& ini, char lang, QWidget* parent)
    : QDialog(parent), InCalVal_mV(cal.INPUT), OutCalVal_mV(cal.OUTPUT), dMicsens_mVpPaL(cal.MicSens_mVpPaL),
      dMicsens_mVpPaR(cal.MicSens_mVpPaR), dPreAmp_dBL(cal.PreAmp_dBL), dPreAmp_dBR(cal.PreAmp_dBR), m_ini(ini)
{
    s_state = csOpened;
    setObjectName("EichDlg");
    setWindowTitle(lang == 'D' ? "Kalibrierung" : "Calibration");
    build(lang);
    fillFields();
    s_state = csShown;
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, [this] { pollBlock(); });
    startAcquisition();
}

TEichDlg::~TEichDlg()
{
    if (!bEichClosing) finish();
}

void TEichDlg::build(char lang)
{
    const bool de = lang == 'D';
    auto* col = new QVBoxLayout(this);
    auto* hint = new QLabel(de ? "Sinus an den Eingang legen, anheben bis die Übersteuerung angezeigt wird,\n"
                                 "und die dort gemessene Spannung (mV eff.) eintragen."
                               : "Apply a sine to the line input, raise it until the overload shows,\n"
                                 "and enter the RMS voltage (mV) measured there.",
                            this);
    col->addWidget(hint);
    auto* row = new QHBoxLayout;
    EichCombo = new QComboBox(this);
    EichCombo->setObjectName("EichCombo");
    EichCombo->setEditable(true);
    EichCombo->setMinimumWidth(220);
    EichCombo->setToolTip("right click for options");
    EichCombo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(EichCombo, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("delete entry", this, &TEichDlg::deleteEntry);
        menu.exec(EichCombo->mapToGlobal(at));
    });
    row->addWidget(new QLabel(de ? "Eingangsspannung bei Vollaussteuerung (mV)" : "Input voltage at full scale (mV)", this));
    row->addWidget(EichCombo, 1);
    col->addLayout(row);
    auto* level = new QHBoxLayout;
    LaLevel = new QLabel(" --.-%", this);
    LaLevel->setObjectName("LaLevel");
    LaLevel->setMinimumWidth(160);
    QFont big = LaLevel->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    LaLevel->setFont(big);
    LaActive = new QLabel("O", this);
    LaActive->setObjectName("LaActive");
    level->addWidget(new QLabel(de ? "Eingangspegel:" : "Input level:", this));
    level->addWidget(LaLevel, 1);
    level->addWidget(LaActive);
    col->addLayout(level);
    col->addWidget(buildSensitivities(lang));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TEichDlg::okClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    col->addWidget(buttons);
}

QWidget* TEichDlg::buildSensitivities(char lang)
{
    const bool de = lang == 'D';
    auto* box = new QGroupBox(de ? "Mikrofon und Vorverstärker" : "Microphone and preamplifier", this);
    auto* g = new QGridLayout(box);
    g->addWidget(new QLabel(de ? "links" : "left", box), 0, 1);
    g->addWidget(new QLabel(de ? "rechts" : "right", box), 0, 2);
    EdMicL = numberField(box, "EdMicL");
    EdMicR = numberField(box, "EdMicR");
    EdMicLdB = numberField(box, "EdMicLdB");
    EdMicRdB = numberField(box, "EdMicRdB");
    EdPreAmpL = numberField(box, "EdPreAmpL");
    EdPreAmpR = numberField(box, "EdPreAmpR");
    const char* rows[3] = {de ? "Empfindlichkeit (mV/Pa)" : "Sensitivity (mV/Pa)",
                           de ? "Empfindlichkeit (dB re 1 V/Pa)" : "Sensitivity (dB re 1 V/Pa)",
                           de ? "Vorverstärkung (dB)" : "Preamp gain (dB)"};
    QLineEdit* fields[3][2] = {{EdMicL, EdMicR}, {EdMicLdB, EdMicRdB}, {EdPreAmpL, EdPreAmpR}};
    for (int r = 0; r < 3; ++r) {
        g->addWidget(new QLabel(rows[r], box), r + 1, 0);
        g->addWidget(fields[r][0], r + 1, 1);
        g->addWidget(fields[r][1], r + 1, 2);
    }
    linkUnits(EdMicL, EdMicLdB);
    linkUnits(EdMicR, EdMicRdB);
    return box;
}

// Typing in one unit rewrites the other; a text that does not convert leaves it alone.
void TEichDlg::linkUnits(QLineEdit* mv, QLineEdit* dB)
{
    auto follow = [this](QLineEdit* to, std::optional<QString> text) {
        if (m_linking || !text) return;
        m_linking = true;
        to->setText(*text);
        m_linking = false;
    };
    connect(mv, &QLineEdit::textEdited, this, [=](const QString& t) { follow(dB, eich::dbTextForMv(t)); });
    connect(dB, &QLineEdit::textEdited, this, [=](const QString& t) { follow(mv, eich::mvTextForDb(t)); });
}

void TEichDlg::fillFields()
{
    m_history = eich::loadHistory(m_ini);
    EichCombo->addItems(m_history);
    EichCombo->setCurrentText(eich::entryFor(m_history, InCalVal_mV));
    const auto f = [](double v) { return QString::asprintf("%1.2f", v); };
    EdMicL->setText(f(dMicsens_mVpPaL));
    EdMicR->setText(f(dMicsens_mVpPaR));
    EdMicLdB->setText(f(eich::sensitivityToDb(dMicsens_mVpPaL)));
    EdMicRdB->setText(f(eich::sensitivityToDb(dMicsens_mVpPaR)));
    EdPreAmpL->setText(f(dPreAmp_dBL));
    EdPreAmpR->setText(f(dPreAmp_dBR));
}

void TEichDlg::startAcquisition()
{
    for (auto& c : Caldata) c.assign(kBlockSamples, 0.0);
    TsoundDLLImpDyn& dll = soundDLL();
    if (dll.usable()) {
        dll.SDSetFuturePara(2, kBlockSamples);
        dll.SDStartSoundIn(1);
    }
    m_poll->start(kPollMs);
}

void TEichDlg::stopAcquisition()
{
    m_poll->stop();
    if (soundDLL().usable()) soundDLL().SDStartSoundIn(0);
}

bool TEichDlg::pollBlock()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (bEichClosing || !dll.usable() || Caldata[0].empty()) return false;
    int32_t in = 0, out = 0;
    dll.SDgetSoundDatsPropsCH(&in, &out);
    const int32_t channels = std::clamp(in, 1, 2);
    TsmView views[2] = {{Caldata[0].data(), kBlockSamples}, {Caldata[1].data(), kBlockSamples}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    if (dll.SDgetSoundDatsCH(ptrs, channels - 1) == 0) return false;
    const int32_t st = dll.SDgetSoundStatus();
    const bool error = (st & SD_ST_IN_ERR) && (st >> 16) != kInputError;
    const eich::TLevelReadout r = eich::levelReadout(Caldata[0].data(), channels > 1 ? Caldata[1].data() : nullptr,
                                                     kBlockSamples, st & SD_ST_IN_OVER, error);
    LaLevel->setText(r.text);
    LaLevel->setStyleSheet(r.red ? "color: red;" : "color: black;");
    LaActive->setText(eich::nextActivityMark(LaActive->text()));
    s_state = csMeasured;
    return true;
}

void TEichDlg::readFields()
{
    dMicsens_mVpPaL = fieldValue(EdMicL, dMicsens_mVpPaL);
    dMicsens_mVpPaR = fieldValue(EdMicR, dMicsens_mVpPaR);
    dPreAmp_dBL = fieldValue(EdPreAmpL, dPreAmp_dBL);
    dPreAmp_dBR = fieldValue(EdPreAmpR, dPreAmp_dBR);
}

void TEichDlg::okClicked()
{
    const QString entry = EichCombo->currentText().trimmed();
    switch (eich::checkOk(s_state, entry)) {
    case eich::eOkCheck::okNotStarted:
        vl::warningBox("Calibration process not started");
        stopAcquisition();
        startAcquisition();
        return;
    case eich::eOkCheck::okBadVoltage:
        vl::warningBox("Not a valid voltage value");
        return;
    case eich::eOkCheck::okAccept: break;
    }
    InCalVal_mV = OutCalVal_mV = *eich::leadingVoltage(entry);
    readFields();
    if (!m_history.contains(entry)) {
        m_history << entry;
        EichCombo->addItem(entry);
    }
    eich::saveHistory(m_ini, m_history);
    accept();
}

void TEichDlg::deleteEntry()
{
    const int i = EichCombo->currentIndex();
    if (i < 0 || i >= m_history.size()) return;
    m_history.removeAt(i);
    EichCombo->removeItem(i);
    EichCombo->setCurrentIndex(m_history.isEmpty() ? -1 : std::max(0, i - 1));
}

// Any way of closing: input stopped, the buffer freed, late polls ignored.
void TEichDlg::finish()
{
    bEichClosing = true;
    stopAcquisition();
    for (auto& c : Caldata) std::vector<double>().swap(c);
    s_state = csClosed;
}

void TEichDlg::done(int r)
{
    finish();
    QDialog::done(r);
}

TLevelCalibration TEichDlg::values() const
{
    TLevelCalibration c;
    c.INPUT = InCalVal_mV;
    c.OUTPUT = OutCalVal_mV;
    c.MicSens_mVpPaL = dMicsens_mVpPaL;
    c.MicSens_mVpPaR = dMicsens_mVpPaR;
    c.PreAmp_dBL = dPreAmp_dBL;
    c.PreAmp_dBR = dPreAmp_dBR;
    return c;
}
