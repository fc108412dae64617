// The curve analysis tool window.
#include "display/ui/TFoToolAnalyzeCurve.h"
#include "base/vlHelp.h"

#include "base/vlMessages.h"
#include "display/curveAnalysis.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFoToolAnalyzeCurve::TFoToolAnalyzeCurve(const cFFTdat& fft, const cAnaPara& ana,
                                         const TLevelCalibration& cal, QWidget* parent)
    : QDialog(parent), m_fft(fft), m_ana(ana), m_cal(cal) {
    setWindowTitle("Analyze Curve (Level, Distortion)");
    m_openFile = diaui::openDialog(this, "Open Curve", "Curves [*.cur] (*.cur)");
    OpenBtn = new QPushButton("Open Curve", this);
    LaFileName = new QLabel("...", this);
    LaFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Memo = new QPlainTextEdit(this);
    Memo->setReadOnly(true);
    Memo->setMinimumSize(520, 220);
    HelpBtn = new QPushButton("Help", this);
    CloseBtn = new QPushButton("Close", this);
    auto* top = new QHBoxLayout;
    top->addWidget(OpenBtn);
    top->addWidget(LaFileName, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(HelpBtn);
    bottom->addWidget(CloseBtn);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(Memo, 1);
    v->addLayout(bottom);
    connect(OpenBtn, &QPushButton::clicked, this, &TFoToolAnalyzeCurve::openCurve);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        vl::showHelp(kHelpContext);
        emit helpRequested(kHelpContext);
    });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
    activate();
}

void TFoToolAnalyzeCurve::activate() {
    Memo->clear();
    LaFileName->setText("...");
}

void TFoToolAnalyzeCurve::showEvent(QShowEvent* e) {
    activate();
    QDialog::showEvent(e);
}

void TFoToolAnalyzeCurve::openCurve() {
    const QString path = m_openFile ? m_openFile(QString()) : QString();
    if (!path.isEmpty()) analyzeFile(path);
}

bool TFoToolAnalyzeCurve::analyzeFile(const QString& path) {
    Tcurve curve(-1);
    QString error, notice;
    curve.loadfromFile(path, &error, &notice);
    LaFileName->setText(QFileInfo(path).fileName());
    Memo->appendPlainText(path);
    if (!error.isEmpty()) {
        vl::errorBox(error);
        return false;
    }
    const TCurveAnalysis r = analyzeCurve(curve, m_fft, m_ana, m_cal);
    if (!r.ok) {
        vl::errorBox(r.error);
        return false;
    }
    if (!notice.isEmpty())
        Memo->appendPlainText(QStringLiteral("Note:\t") + notice);
    for (const QString& line : r.notes + r.lines)
        Memo->appendPlainText(line);
    return true;
}
