// The diagram options dialog.
#include "display/ui/Tdiadlg.h"
#include "base/vlHelp.h"

#include "display/ui/TFoSpecDia4.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Tdiadlg::Tdiadlg(const TDiaOptions& options, QWidget* parent) : QDialog(parent), m_opt(options) {
    setWindowTitle("Diagram Options");
    m_chooseColor = diaui::colorDialog(this, "Diagram Options");
    m_chooseFont = diaui::fontDialog(this);
    m_runSpecial = [](TFoSpecDia4& d) { return d.exec(); };
    auto* g = new QGridLayout(this);
    g->addWidget(buildColors(), 0, 0, 2, 1);
    g->addWidget(buildCursor(), 0, 1);
    g->addWidget(buildYAxis(), 1, 1);
    g->addWidget(buildScale(), 2, 0);
    g->addWidget(buildClear(), 2, 1);
    g->addWidget(buildButtons(), 3, 0, 1, 2);
    connectControls();
    fillControls();
}

QWidget* Tdiadlg::buildColors() {
    auto* box = new QGroupBox("Colors", this);
    auto* g = new QGridLayout(box);
    auto row = [&](int r, const char* text, QFrame*& sh, QPushButton*& btn) {
        sh = diaui::makeSwatch(box);
        btn = new QPushButton("change", box);
        g->addWidget(new QLabel(text, box), r, 0);
        g->addWidget(sh, r, 1);
        g->addWidget(btn, r, 2);
    };
    row(0, "Diagram Color", ShDiagram, BtnDiagram);
    row(1, "Grid Color", ShGrid, BtnGrid);
    row(2, "Margin Color", ShMargin, BtnMargin);
    BtnDefault = new QPushButton("default", box);
    g->addWidget(BtnDefault, 3, 2);
    g->setRowStretch(4, 1);
    return box;
}

QWidget* Tdiadlg::buildCursor() {
    auto* box = new QGroupBox("Measurem. of", this);
    auto* h = new QHBoxLayout(box);
    RBLevel = new QRadioButton("Level", box);
    RBFrequency = new QRadioButton("Frequency", box);
    RBSlope = new QRadioButton("Slope", box);
    RBNone = new QRadioButton("none", box);
    RBCross = new QRadioButton("Crosshair", box);
    CBHarmonics = new QCheckBox("harmonic markers", box);
    for (QRadioButton* b : {RBLevel, RBFrequency, RBSlope, RBNone, RBCross})
        h->addWidget(b);
    h->addWidget(CBHarmonics);
    return box;
}

QWidget* Tdiadlg::buildYAxis() {
    auto* box = new QGroupBox("y-axis", this);
    auto* h = new QHBoxLayout(box);
    RBNormal = new QRadioButton("normal", box);
    RB0dB1k = new QRadioButton("0dB @ 1kHz", box);
    RB0dBmax = new QRadioButton("0dB @ max.Value", box);
    for (QRadioButton* b : {RBNormal, RB0dB1k, RB0dBmax})
        h->addWidget(b);
    return box;
}

QWidget* Tdiadlg::buildScale() {
    auto* box = new QGroupBox("Scale", this);
    auto* g = new QGridLayout(box);
    CBLogX = new QCheckBox("log. X-Diagram", box);
    CBPink = new QCheckBox("pink noise corr.", box);
    CBAuto = new QCheckBox("Auto", box);
    EdYStep = new QLineEdit(box);
    EdYStep->setMaximumWidth(90);
    BtnFont = new QPushButton("font", box);
    BtnSpecial = new QPushButton("special", box);
    g->addWidget(CBLogX, 0, 0, 1, 2);
    g->addWidget(CBPink, 0, 2);
    g->addWidget(new QLabel("y step", box), 1, 0);
    g->addWidget(EdYStep, 1, 1);
    g->addWidget(CBAuto, 1, 2);
    g->addWidget(BtnFont, 2, 0, 1, 2);
    g->addWidget(BtnSpecial, 2, 2);
    return box;
}

QWidget* Tdiadlg::buildClear() {
    auto* box = new QGroupBox("on clear curves", this);
    auto* v = new QVBoxLayout(box);
    CBClearCurves = new QCheckBox("clear curves", box);
    CBClearSel = new QCheckBox("clear selections", box);
    v->addWidget(CBClearCurves);
    v->addWidget(CBClearSel);
    v->addStretch();
    return box;
}

QWidget* Tdiadlg::buildButtons() {
    const diaui::TButtonRow r = diaui::makeButtonRow(this);
    OKBtn = r.ok;
    CancelBtn = r.cancel;
    ApplyBtn = r.apply;
    HelpBtn = r.help;
    QWidget* w = r.row;
    return w;
}

void Tdiadlg::connectControls() {
    connect(BtnDiagram, &QPushButton::clicked, this, [this] { changeColor(m_opt.colDiagram); });
    connect(BtnGrid, &QPushButton::clicked, this, [this] { changeColor(m_opt.colGrid); });
    connect(BtnMargin, &QPushButton::clicked, this, [this] { changeColor(m_opt.colMargin); });
    connect(BtnDefault, &QPushButton::clicked, this, &Tdiadlg::setDefaults);
    auto mode = [this](QRadioButton* b, TDiaCursorMode m) {
        connect(b, &QRadioButton::toggled, this, [this, m](bool on) {
            if (on) m_opt.cursorMode = m;
        });
    };
    mode(RBLevel, TDiaCursorMode::Level);
    mode(RBFrequency, TDiaCursorMode::Frequency);
    mode(RBSlope, TDiaCursorMode::Slope);
    mode(RBNone, TDiaCursorMode::None);
    mode(RBCross, TDiaCursorMode::Crosshair);
    connect(RBCross, &QRadioButton::toggled, CBHarmonics, &QCheckBox::setEnabled);
    connect(CBHarmonics, &QCheckBox::toggled, this,
            [this](bool on) { m_opt.harmonicMarkers = on; });
    auto axis = [this](QRadioButton* b, enumYaxisMode m) {
        connect(b, &QRadioButton::toggled, this, [this, m](bool on) {
            if (on) m_opt.yAxisMode = m;
        });
    };
    axis(RBNormal, eYAMnormal);
    axis(RB0dB1k, eYAM0db1kHz);
    axis(RB0dBmax, eYAM0dbmaxV);
    connect(CBLogX, &QCheckBox::toggled, this, [this](bool on) { m_opt.logX = on; });
    connect(CBPink, &QCheckBox::toggled, this, [this](bool on) { m_opt.pinkNoise = on; });
    connect(CBAuto, &QCheckBox::toggled, this, [this](bool on) {
        m_opt.yStepAuto = on;
        EdYStep->setEnabled(!on);
    });
    connect(EdYStep, &QLineEdit::textEdited, this,
            [this](const QString& s) { diaui::takeNumber(s, m_opt.yStep); });
    connect(CBClearCurves, &QCheckBox::toggled, this, [this](bool on) { m_opt.clearCurves = on; });
    connect(CBClearSel, &QCheckBox::toggled, this, [this](bool on) { m_opt.clearSelections = on; });
    connect(BtnFont, &QPushButton::clicked, this, &Tdiadlg::chooseFont);
    connect(BtnSpecial, &QPushButton::clicked, this, &Tdiadlg::runSpecial);
    connect(OKBtn, &QPushButton::clicked, this, &Tdiadlg::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &Tdiadlg::reject);
    connect(ApplyBtn, &QPushButton::clicked, this, &Tdiadlg::apply);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        vl::showHelp(kHelpContext);
        emit helpRequested(kHelpContext);
    });
}

void Tdiadlg::fillControls() {
    const TDiaOptions o = m_opt; // the toggles below write into m_opt
    diaui::showSwatch(ShDiagram, o.colDiagram);
    diaui::showSwatch(ShGrid, o.colGrid);
    diaui::showSwatch(ShMargin, o.colMargin);
    QRadioButton* modes[] = {RBNone, RBLevel, RBFrequency, RBSlope, RBCross};
    const int mode = int(o.cursorMode);
    modes[mode <= int(TDiaCursorMode::Crosshair) ? mode : 0]->setChecked(true);
    CBHarmonics->setChecked(o.harmonicMarkers);
    CBHarmonics->setEnabled(o.cursorMode == TDiaCursorMode::Crosshair);
    QRadioButton* axes[] = {RBNormal, RB0dB1k, RB0dBmax};
    axes[o.yAxisMode <= eYAM0dbmaxV ? int(o.yAxisMode) : 0]->setChecked(true);
    CBLogX->setChecked(o.logX);
    CBPink->setChecked(o.pinkNoise);
    CBAuto->setChecked(o.yStepAuto);
    EdYStep->setEnabled(!o.yStepAuto);
    EdYStep->setText(QString::asprintf("%1.3f", o.yStep));
    CBClearCurves->setChecked(o.clearCurves);
    CBClearSel->setChecked(o.clearSelections);
    m_opt = o;
}

void Tdiadlg::changeColor(TColorBGR& c) {
    TColorBGR chosen = c;
    if (!m_chooseColor || !m_chooseColor(chosen)) return;
    c = chosen;
    fillControls();
}

void Tdiadlg::setDefaults() {
    m_opt.setDefaultColors();
    fillControls();
}

void Tdiadlg::chooseFont() {
    QFont f = m_opt.font;
    if (m_chooseFont && m_chooseFont(f)) m_opt.font = f;
}

void Tdiadlg::runSpecial() {
    TFoSpecDia4 d({m_opt.xFactor, m_opt.xUnit, m_opt.yFactor, m_opt.yOffset}, this);
    if (!m_runSpecial || m_runSpecial(d) != QDialog::Accepted) return;
    m_opt.xFactor = d.values().xFactor;
    m_opt.xUnit = d.values().xUnit;
    m_opt.yFactor = d.values().yFactor;
    m_opt.yOffset = d.values().yOffset;
}

void Tdiadlg::accept() {
    done(kOkResult);
}
void Tdiadlg::apply() {
    done(kApplyResult);
}
void Tdiadlg::reject() {
    done(kCancelResult);
}
