// The analysis dialog: controls over TAnaDlgModel, the "USER" file prompt, the W&F setup.
#include "analysis/ui/TAnaDlg.h"

#include "analysis/AnaEval.h"
#include "analysis/ui/TWuFSetupDlg.h"
#include "base/vlMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kUser = QStringLiteral("USER");

QLineEdit* field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(80);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QCheckBox* check(const QString& caption, QWidget* parent, const char* name) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

} // namespace

TAnaDlg::TAnaDlg(cAnaPara& settings, char lang, double measuredFundamental, QWidget* parent)
    : QDialog(parent), m_target(settings), m_copy(settings), m_german(lang == 'D') {
    setWindowTitle(tr2("Analyze Dialog", "Analyse Dialog"));
    setObjectName(QStringLiteral("AnaDlg"));
    buildLayout();
    m_chooseFile = [this](const QString& start) {
        return QFileDialog::getOpenFileName(this, tr2("Filter File", "Filterdatei"), start,
                                            QStringLiteral("Filter File (*.cor)"));
    };
    m_runWuF = [](TWuFSetupDlg& d) { return d.exec(); };
    TAnaDlgModel m;
    m.load(m_copy, measuredFundamental);
    showFields(m);
}

QString TAnaDlg::tr2(const char* en, const char* de) const {
    return m_german ? QString::fromUtf8(de) : QString::fromUtf8(en);
}

QWidget* TAnaDlg::buildBand() {
    auto* box = new QGroupBox(tr2("Band", "Bereich"), this);
    auto* f = new QFormLayout(box);
    EdFreqLow = field(box, "EdFreqLow");
    EdFreqHigh = field(box, "EdFreqHigh");
    f->addRow(tr2("Frequency low (Hz)", "Frequenz low (Hz)"), EdFreqLow);
    f->addRow(tr2("Frequency high (Hz)", "Frequenz high (Hz)"), EdFreqHigh);
    return box;
}

QWidget* TAnaDlg::buildFilter() {
    auto* box = new QGroupBox(tr2("Weighting filter", "Bewertungsfilter"), this);
    auto* v = new QVBoxLayout(box);
    CBFilter = new QComboBox(box);
    CBFilter->setObjectName("CBFilter");
    CBFilter->addItems(WeightingFilterNames());
    LaUserFile = new QLabel(box);
    LaUserFile->setObjectName("LaUserFile");
    LaUserFile->setMinimumWidth(180);
    CBFilterFFT = check(tr2("Apply filter also to  diagram", "Filter auch auf Diagramm anwenden"),
                        box, "CBFilterFFT");
    v->addWidget(CBFilter);
    v->addWidget(LaUserFile);
    v->addWidget(CBFilterFFT);
    connect(CBFilter, &QComboBox::activated, this, &TAnaDlg::onFilterChosen);
    return box;
}

QWidget* TAnaDlg::buildFundamental() {
    auto* box = new QGroupBox(tr2("Fundamental", "Grundfrequenz"), this);
    auto* f = new QFormLayout(box);
    CBFundAuto = check(tr2("automatic", "automatisch"), box, "CBFundAuto");
    EdFundamental = field(box, "EdFundamental");
    EdThreshold = field(box, "EdThreshold");
    f->addRow(CBFundAuto);
    f->addRow(tr2("manual (Hz)", "manuell (Hz)"), EdFundamental);
    f->addRow(tr2("Threshold (dB)", "Schwellwert (dB)"), EdThreshold);
    connect(CBFundAuto, &QCheckBox::toggled, EdFundamental, &QWidget::setDisabled);
    return box;
}

QWidget* TAnaDlg::buildDistortion() {
    auto* box = new QGroupBox(tr2("Distortion", "Klirrfaktor"), this);
    auto* g = new QGridLayout(box);
    g->setVerticalSpacing(2);
    for (int i = 0; i < 8; ++i) {
        CBH[i] = check(QStringLiteral("H%1").arg(i + 2), box, "CBH");
        CBH[i]->setObjectName(QStringLiteral("CBH%1").arg(i + 2));
        g->addWidget(CBH[i], i % 4, i / 4);
    }
    CBTHD = check(QStringLiteral("THD"), box, "CBTHD");
    CBNoise = check(tr2("Noise", "Rauschen"), box, "CBNoise");
    CBPercent = check(tr2("Distortion in %", "Klirrfaktor in %"), box, "CBPercent");
    g->addWidget(CBTHD, 4, 0);
    g->addWidget(CBNoise, 4, 1);
    g->addWidget(CBPercent, 5, 0, 1, 2);
    connect(CBTHD, &QCheckBox::toggled, this, &TAnaDlg::onTHD);
    return box;
}

QWidget* TAnaDlg::buildResults() {
    auto* box = new QGroupBox(tr2("Results", "Ergebnisse"), this);
    auto* g = new QGridLayout(box);
    g->setVerticalSpacing(2);
    CBLevel = check(tr2("Level", "Pegel"), box, "CBLevel");
    CBDistortion = check(tr2("Distortion", "Klirrfaktor"), box, "CBDistortion");
    CBIM = check(tr2("IM Distortion", "IM Verzerrung"), box, "CBIM");
    CBSignalNoise = check(tr2("Signal to Noise", "Signal/Rauschabstand"), box, "CBSignalNoise");
    CBModDist = check(tr2("Modulation Distortion", "Modulationsverzerrung"), box, "CBModDist");
    CBWuF = check(tr2("Wow && Flutter", "Gleichlauf (Wow && Flutter)"), box, "CBWuF");
    ButWuFSetup = new QPushButton(QStringLiteral("Setup"), box);
    ButWuFSetup->setObjectName("ButWuFSetup");
    int row = 0;
    for (QCheckBox* c : {CBLevel, CBDistortion, CBIM, CBSignalNoise, CBModDist, CBWuF})
        g->addWidget(c, row++, 0);
    g->addWidget(ButWuFSetup, row - 1, 1);
    connect(ButWuFSetup, &QPushButton::clicked, this, &TAnaDlg::runWuFSetup);
    return box;
}

QWidget* TAnaDlg::buildText() {
    auto* box = new QGroupBox(tr2("Result text", "Ergebnistext"), this);
    auto* g = new QGridLayout(box);
    g->setVerticalSpacing(2);
    CBTextLeft = check(tr2("left Channel", "linker Kanal"), box, "CBTextLeft");
    CBTextRight = check(tr2("right Channel", "rechter Kanal"), box, "CBTextRight");
    CBDetails = check(tr2("details", "Details"), box, "CBDetails");
    SETextSize = new QSpinBox(box);
    SETextSize->setObjectName("SETextSize");
    SETextSize->setRange(TAnaDlgModel::kTextSizeMin, TAnaDlgModel::kTextSizeMax);
    SETextSize->setFixedWidth(80);
    g->addWidget(CBTextLeft, 0, 0);
    g->addWidget(CBTextRight, 1, 0);
    g->addWidget(CBDetails, 2, 0);
    g->addWidget(new QLabel(tr2("text size", "Textgröße"), box), 0, 1);
    g->addWidget(SETextSize, 1, 1);
    return box;
}

void TAnaDlg::buildLayout() {
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    ApplyBtn = new QPushButton(tr2("Apply", "Übernehmen"), this);
    CancelBtn = new QPushButton(tr2("Cancel", "Abbrechen"), this);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TAnaDlg::accept);
    connect(ApplyBtn, &QPushButton::clicked, this, &TAnaDlg::apply);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(buildBand());
    left->addWidget(buildFilter());
    left->addWidget(buildFundamental());
    left->addWidget(buildText());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(buildDistortion());
    right->addWidget(buildResults());
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    columns->addLayout(left);
    columns->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {OKBtn, ApplyBtn, CancelBtn})
        buttons->addWidget(b);
    auto* top = new QVBoxLayout(this);
    top->addLayout(columns);
    top->addSpacing(6);
    top->addLayout(buttons);
}

void TAnaDlg::showFields(const TAnaDlgModel& m) {
    EdFreqLow->setText(m.freqLow);
    EdFreqHigh->setText(m.freqHigh);
    const int at = CBFilter->findText(m.filter);
    m_filterIndex = at >= 0 ? at : 0; // an empty or unknown name shows as "none"
    CBFilter->setCurrentIndex(m_filterIndex);
    m_userFile = m.userFile;
    LaUserFile->setText(CBFilter->currentText() == kUser ? QFileInfo(m_userFile).fileName()
                                                         : QString());
    LaUserFile->setToolTip(m_userFile);
    CBFilterFFT->setChecked(m.filterFFT);
    CBFundAuto->setChecked(m.fundAuto);
    EdFundamental->setDisabled(m.fundAuto);
    EdFundamental->setText(m.fundamental);
    EdThreshold->setText(m.thresholdDb);
    for (int i = 0; i < 8; ++i)
        CBH[i]->setChecked((m.harmonics >> (i + 1)) & 1u);
    CBTHD->setChecked(m.thd);
    onTHD(m.thd);
    CBNoise->setChecked(m.noise);
    CBPercent->setChecked(m.percent);
    CBLevel->setChecked(m.level);
    CBDistortion->setChecked(m.distortion);
    CBIM->setChecked(m.im);
    CBSignalNoise->setChecked(m.signalNoise);
    CBModDist->setChecked(m.modDist);
    CBWuF->setChecked(m.wowFlutter);
    CBTextLeft->setChecked(m.textLeft);
    CBTextRight->setChecked(m.textRight);
    CBDetails->setChecked(m.details);
    SETextSize->setValue(m.textSize);
}

TAnaDlgModel TAnaDlg::fields() const {
    TAnaDlgModel m;
    m.freqLow = EdFreqLow->text();
    m.freqHigh = EdFreqHigh->text();
    m.filter = CBFilter->currentText();
    m.userFile = m_userFile;
    m.fundAuto = CBFundAuto->isChecked();
    m.fundamental = EdFundamental->text();
    m.thresholdDb = EdThreshold->text();
    for (int i = 0; i < 8; ++i)
        if (CBH[i]->isChecked()) m.harmonics |= 1u << (i + 1);
    m.thd = CBTHD->isChecked();
    m.noise = CBNoise->isChecked();
    m.percent = CBPercent->isChecked();
    m.filterFFT = CBFilterFFT->isChecked();
    m.level = CBLevel->isChecked();
    m.distortion = CBDistortion->isChecked();
    m.im = CBIM->isChecked();
    m.signalNoise = CBSignalNoise->isChecked();
    m.modDist = CBModDist->isChecked();
    m.wowFlutter = CBWuF->isChecked();
    m.textLeft = CBTextLeft->isChecked();
    m.textRight = CBTextRight->isChecked();
    m.details = CBDetails->isChecked();
    m.textSize = SETextSize->value();
    return m;
}

// "USER" takes effect only with a file; cancelling the prompt keeps the filter shown before.
void TAnaDlg::onFilterChosen(int index) {
    if (CBFilter->itemText(index) == kUser) {
        const QString file = m_chooseFile(m_userFile);
        if (file.isEmpty()) {
            CBFilter->setCurrentIndex(m_filterIndex);
            return;
        }
        m_userFile = file;
    }
    m_filterIndex = index;
    LaUserFile->setText(CBFilter->itemText(index) == kUser ? QFileInfo(m_userFile).fileName()
                                                           : QString());
    LaUserFile->setToolTip(m_userFile);
}

// All harmonics, locked while THD is on; switching it off leaves them set and free.
void TAnaDlg::onTHD(bool on) {
    for (QCheckBox* h : CBH) {
        if (on) h->setChecked(true);
        h->setEnabled(!on);
    }
}

void TAnaDlg::runWuFSetup() {
    TWuFSetupDlg dlg(m_copy, this);
    m_runWuF(dlg);
}

// The checks of OK and Apply; on success the fields are in the copy and the settings.
bool TAnaDlg::takeFields() {
    const TAnaDlgModel m = fields();
    const TAnaDlgModel::Check c = m.validate();
    if (c != TAnaDlgModel::Valid) {
        vl::showMessage(vl::MsgKind::Warning, tr2("Warning", "Warnung"),
                        TAnaDlgModel::message(c, m_german));
        QLineEdit* at[] = {EdFreqLow, EdFreqHigh, EdFreqHigh, EdFundamental, EdThreshold};
        at[c]->setFocus();
        return false;
    }
    m.store(m_copy);
    m_target.copyfrom(m_copy);
    return true;
}

void TAnaDlg::accept() {
    if (takeFields()) QDialog::accept();
}

void TAnaDlg::apply() {
    if (takeFields()) done(kApplyResult);
}
