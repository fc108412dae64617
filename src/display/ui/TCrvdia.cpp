// The curve dialog: controls, their write-through into the curve, offset, files and "Reset".
#include "display/ui/TCrvdia.h"
#include "base/vlHelp.h"

#include "base/vlMessages.h"
#include "core/ui/TUpDown.h"
#include "display/TCurveEdit.h"
#include "display/TcurveExchange.h"
#include "display/TDiagramm.h"
#include "display/diaMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const char* const kLoadFilter = "Curves (*.cur);;Frequency response (*.frd);;Impedance (*.zma);;CSV (*.csv);;Text (*.txt);;all Files (*.*)";
const char* const kSaveFilter = "Curve (*.cur);;Frequency response (*.frd);;Impedance (*.zma);;CSV (*.csv);;Text (*.txt);;all Files (*.*)";

QComboBox* makeList(QWidget* parent, const QStringList& items) {
    auto* c = new QComboBox(parent);
    c->addItems(items);
    return c;
}

} // namespace

TCrvdia::TCrvdia(Tcurve& dlgCurve, TDiagramm* adia, bool dYaxlog, QObject* pwindow, QWidget* parent)
    : QDialog(parent), m_curve(dlgCurve), m_dia(adia), m_window(pwindow), m_dYaxlog(dYaxlog) {
    setWindowTitle("Curve Dialog");
    m_openFile = diaui::openDialog(this, "Load Curve", kLoadFilter);
    m_saveFile = diaui::saveDialog(this, "Save Curve", kSaveFilter);
    m_chooseColor = diaui::colorDialog(this, "Curve color");
    auto* top = new QHBoxLayout;
    top->addWidget(buildNames(), 1);
    top->addWidget(buildLook());
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(buildOperation());
    v->addWidget(buildFiles());
    v->addWidget(buildButtons());
    connectEdits();
    connectLook();
    activate();
}

QWidget* TCrvdia::buildNames() {
    auto* box = new QGroupBox("Curve", this);
    auto* f = new QFormLayout(box);
    auto* checks = new QHBoxLayout;
    CBvisible = new QCheckBox("visible", box);
    CBselected = new QCheckBox("selected", box);
    checks->addWidget(CBvisible);
    checks->addWidget(CBselected);
    checks->addStretch();
    f->addRow(checks);
    EdName = new QLineEdit(box);
    EdComment = new QLineEdit(box);
    EdUnit = new QLineEdit(box);
    f->addRow("Name", EdName);
    f->addRow("Comment", EdComment);
    CBComment2Name = new QCheckBox("Comment -> Name", box);
    f->addRow(CBComment2Name);
    f->addRow("Unit (text only)", EdUnit);
    auto* group = new QHBoxLayout;
    LaGroup = new QLabel("A", box);
    LaGroup->setFrameShape(QFrame::Panel);
    LaGroup->setFrameShadow(QFrame::Sunken);
    LaGroup->setAlignment(Qt::AlignCenter);
    LaGroup->setMinimumWidth(28);
    UDGroup = new TUpDown(box);
    UDGroup->setToolTip("scroll group");
    CBYaxisLog = new QCheckBox("y-Axis log.", box);
    group->addWidget(LaGroup);
    group->addWidget(UDGroup);
    group->addSpacing(16);
    group->addWidget(CBYaxisLog);
    group->addStretch();
    f->addRow("y group", group);
    return box;
}

QWidget* TCrvdia::buildLook() {
    auto* box = new QGroupBox("Display", this);
    auto* f = new QFormLayout(box);
    BtnColor = new QPushButton("Curve color", box);
    f->addRow(BtnColor);
    CBFilter = makeList(box, TCurveEdit::displayFilterNames());
    CBLineMode = makeList(box, TCurveEdit::lineModeNames());
    SEWidth = new QSpinBox(box);
    // A wider range than allowed, so that a typed 0 or 25 arrives and is clamped to 1 / 20.
    SEWidth->setRange(0, 99);
    SEWidth->setKeyboardTracking(false);
    f->addRow("Display filter", CBFilter);
    f->addRow("Line mode", CBLineMode);
    f->addRow("Line width", SEWidth);
    SEWidth->setMaximumWidth(80);
    return box;
}

QWidget* TCrvdia::buildOperation() {
    auto* box = new QGroupBox("Operation", this);
    CBOperation = makeList(box, TCurveEdit::operationNames());
    LaWith = new QLabel("with curve(s)", box);
    CBOp1 = makeList(box, TCurveEdit::operandNames());
    LaSign = new QLabel("+", box);
    LaSign->setAlignment(Qt::AlignCenter);
    LaSign->setMinimumWidth(16);
    CBOp2 = makeList(box, TCurveEdit::operandNames());
    BtnReset = new QPushButton("Reset", box);
    auto* op = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{CBOperation, LaWith, CBOp1, LaSign, CBOp2, BtnReset})
        op->addWidget(w);
    op->addStretch();
    EdOffset = new QLineEdit("0", box);
    EdOffset->setMaximumWidth(100);
    BtnAddOffset = new QPushButton("Add Offset", box);
    auto* offset = new QHBoxLayout;
    offset->addWidget(new QLabel("Offset Y", box));
    offset->addWidget(EdOffset);
    offset->addWidget(BtnAddOffset);
    offset->addStretch();
    auto* v = new QVBoxLayout(box);
    v->addLayout(op);
    v->addLayout(offset);
    return box;
}

QWidget* TCrvdia::buildFiles() {
    auto* box = new QGroupBox("Curve file", this);
    auto* h = new QHBoxLayout(box);
    EdFileName = new QLineEdit(box);
    EdFileName->setReadOnly(true);
    BtnLoad = new QPushButton("Load", box);
    BtnSave = new QPushButton("Save", box);
    h->addWidget(EdFileName, 1);
    h->addWidget(BtnLoad);
    h->addWidget(BtnSave);
    return box;
}

QWidget* TCrvdia::buildButtons() {
    const diaui::TButtonRow r = diaui::makeButtonRow(this);
    OKBtn = r.ok;
    CancelBtn = r.cancel;
    ApplyBtn = r.apply;
    HelpBtn = r.help;
    QWidget* w = r.row;
    connect(OKBtn, &QPushButton::clicked, this, &TCrvdia::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TCrvdia::reject);
    connect(ApplyBtn, &QPushButton::clicked, this, &TCrvdia::apply);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        vl::showHelp(kHelpContext);
        emit helpRequested(kHelpContext);
    });
    return w;
}

// Name, comment, unit, visibility and files.
void TCrvdia::connectEdits() {
    auto guarded = [this](auto fn) {
        return [this, fn](auto... a) {
            if (!m_filling) fn(a...);
        };
    };
    connect(EdName, &QLineEdit::textChanged, this,
            guarded([this](const QString& s) { m_curve.Name = s; }));
    connect(EdComment, &QLineEdit::textChanged, this, guarded([this](const QString& s) {
                m_curve.Comment = s;
                if (m_curve.frem2Name) EdName->setText(s);
            }));
    connect(EdUnit, &QLineEdit::textChanged, this, guarded([this](const QString& s) {
                if (TYAXgroup* g = m_dia ? m_dia->group(m_curve.Cygroup) : nullptr) g->fEinh = s;
            }));
    connect(CBvisible, &QCheckBox::toggled, this, guarded([this](bool on) { onVisible(on); }));
    connect(CBselected, &QCheckBox::toggled, this, guarded([this](bool on) {
                if (m_curve.Fcvis) m_curve.Fsel = on;
            }));
    connect(CBComment2Name, &QCheckBox::toggled, this,
            guarded([this](bool on) { onComment2Name(on); }));
    connect(EdOffset, &QLineEdit::textChanged, this,
            guarded([this](const QString& s) { diaui::takeNumber(s, m_offsetY); }));
    connect(BtnLoad, &QPushButton::clicked, this, &TCrvdia::loadCurve);
    connect(BtnSave, &QPushButton::clicked, this, &TCrvdia::saveCurve);
}

// Colour, display, group and arithmetic.
void TCrvdia::connectLook() {
    connect(BtnColor, &QPushButton::clicked, this, &TCrvdia::chooseColor);
    connect(BtnReset, &QPushButton::clicked, this, &TCrvdia::resetPeak);
    connect(UDGroup, &TUpDown::stepped, this, &TCrvdia::onGroupStep);
    connect(CBYaxisLog, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling) m_dYaxlog = on;
    });
    auto index = [this](QComboBox* c, int32_t& field) {
        connect(c, &QComboBox::currentIndexChanged, this, [this, &field](int i) {
            if (!m_filling && i >= 0) field = i;
        });
    };
    index(CBFilter, m_curve.FDFilter);
    index(CBLineMode, m_curve.FlineMode);
    index(CBOp1, m_curve.Fop1);
    index(CBOp2, m_curve.Fop2);
    connect(SEWidth, &QSpinBox::valueChanged, this, [this](int w) {
        if (m_filling) return;
        m_curve.FlineWidth = TCurveEdit::clampLineWidth(w);
        if (m_curve.FlineWidth != w) SEWidth->setValue(m_curve.FlineWidth);
    });
    connect(CBOperation, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (m_filling || i < 0) return;
        m_curve.Foperation = enumOpTyp(i);
        showOperands();
    });
}

void TCrvdia::activate() {
    m_loading = false;
    m_curve.frem2Name = false;
    CBComment2Name->hide();
    BtnAddOffset->hide();
    fillControls();
}

void TCrvdia::showEvent(QShowEvent* e) {
    activate();
    QDialog::showEvent(e);
}

void TCrvdia::fillControls() {
    m_filling = true;
    m_curve.FlineWidth = TCurveEdit::clampLineWidth(m_curve.FlineWidth);
    CBvisible->setChecked(m_curve.Fcvis);
    CBselected->setChecked(m_curve.Fsel);
    CBselected->setEnabled(m_curve.Fcvis);
    EdName->setText(m_curve.Name);
    EdComment->setText(m_curve.Comment);
    CBComment2Name->setChecked(m_curve.frem2Name);
    showGroup();
    CBYaxisLog->setChecked(m_dYaxlog);
    EdFileName->setText(m_curve.FileName);
    EdFileName->setToolTip(m_curve.FileName);
    CBFilter->setCurrentIndex(std::clamp(m_curve.FDFilter, 0, CBFilter->count() - 1));
    CBLineMode->setCurrentIndex(std::clamp(m_curve.FlineMode, 0, CBLineMode->count() - 1));
    SEWidth->setValue(m_curve.FlineWidth);
    CBOperation->setCurrentIndex(std::clamp(int(m_curve.Foperation), 0, CBOperation->count() - 1));
    CBOp1->setCurrentIndex(std::clamp(m_curve.Fop1, 0, CBOp1->count() - 1));
    CBOp2->setCurrentIndex(std::clamp(m_curve.Fop2, 0, CBOp2->count() - 1));
    EdOffset->setText(QString::number(m_offsetY));
    showColor();
    showOperands();
    m_filling = false;
}

void TCrvdia::showColor() {
    QPalette p = BtnColor->palette();
    p.setColor(QPalette::ButtonText, bgrToQColor(m_curve.FColLine));
    BtnColor->setPalette(p);
}

void TCrvdia::showOperands() {
    const TCurveEdit::TOperandView v = TCurveEdit::operandView(m_curve.Foperation);
    CBOp1->setVisible(v.op1);
    CBOp2->setVisible(v.op2);
    LaSign->setVisible(v.op2);
    LaSign->setText(v.sign);
    LaWith->setVisible(v.withText);
    BtnReset->setVisible(v.reset);
}

// Letter and unit of the curve's group (the unit edit follows the group).
void TCrvdia::showGroup() {
    const bool wasFilling = m_filling;
    m_filling = true;
    LaGroup->setText(TCurveEdit::groupLetter(m_curve.Cygroup));
    const TYAXgroup* g = m_dia ? m_dia->group(m_curve.Cygroup) : nullptr;
    EdUnit->setText(g ? g->fEinh : QString());
    EdUnit->setEnabled(g != nullptr);
    m_filling = wasFilling;
}

void TCrvdia::onVisible(bool on) {
    m_curve.Fcvis = on;
    if (!on) {
        m_curve.Fsel = false;
        const bool wasFilling = m_filling;
        m_filling = true;
        CBselected->setChecked(false);
        m_filling = wasFilling;
    }
    CBselected->setEnabled(on);
}

void TCrvdia::onGroupStep(int delta) {
    m_curve.Cygroup = TCurveEdit::stepGroup(m_curve.Cygroup, delta);
    showGroup();
}

void TCrvdia::onComment2Name(bool on) {
    m_curve.frem2Name = on;
    if (on) EdName->setText(m_curve.Comment);
}

void TCrvdia::chooseColor() {
    TColorBGR c = m_curve.FColLine;
    if (!m_chooseColor || !m_chooseColor(c)) return;
    m_curve.FColLine = c;
    showColor();
}

void TCrvdia::resetPeak() {
    postMsg(m_window, MSG_DIA_CLEARCURVE, m_curve.line, 0);
}

void TCrvdia::loadCurve() {
    const QString path = m_openFile ? m_openFile(m_curve.FileName) : QString();
    if (path.isEmpty()) return;
    QString error;
    if (!TCurveEdit::loadCurveKeeping(m_curve, path, &error)) {
        vl::errorBox(error.isEmpty() ? "Cannot load " + path : error);
        return;
    }
    fillControls();
    m_loading = true;
}

void TCrvdia::saveCurve() {
    const QString path = m_saveFile ? m_saveFile(m_curve.FileName) : QString();
    if (path.isEmpty()) return;
    m_curve.FileName = path;
    EdFileName->setText(path);
    EdFileName->setToolTip(path);
    QString error;
    if (!ExportCurve(m_curve, path, CurveFormatOfName(path), &error))
        vl::errorBox(error.isEmpty() ? "Error writing " + path : error);
}

void TCrvdia::finish(int result) {
    m_curve.AddOffset(m_offsetY);
    m_offsetY = 0.0;
    const bool wasFilling = m_filling;
    m_filling = true;
    EdOffset->setText("0");
    m_filling = wasFilling;
    done(result);
}

void TCrvdia::accept() {
    finish(kOkResult);
}
void TCrvdia::apply() {
    finish(kApplyResult);
}
void TCrvdia::reject() {
    done(kCancelResult);
}
