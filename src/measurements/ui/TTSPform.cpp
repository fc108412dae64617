// The Thiele-Small panel of mode 8.
#include "measurements/ui/TTSPform.h"
#include "base/vlHelp.h"

#include "display/TDiagramm.h"
#include "display/ui/TCurvePanel.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/TSPsettings.h"
#include "measurements/ui/TTSPmemoform.h"
#include "base/utils.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <vector>

namespace {

constexpr int kHelpTopic = 72;
constexpr int kDiagramCurves = 12; // slots a drop may name

// A curve of the diagram as the calculation reads it: its original values over its own x axis.
struct TCurveCopy {
    std::vector<double> Z, F;
    TImpCurve imp() const { return {Z, F}; }
};

TCurveCopy curveOf(Tdiafrm* dia, int slot)
{
    TCurveCopy c;
    const Tcurve* t = dia ? dia->diagr2d().curve(slot) : nullptr;
    if (!t)
        return c;
    const int32_t n = std::min(t->OriY.samples(), t->xaxis.samples());
    for (int32_t i = 0; i < n; ++i) {
        c.F.push_back(t->xaxis.getsmAr(i));
        c.Z.push_back(t->OriY.getsmAr(i));
    }
    return c;
}

} // namespace

TTSPDropTarget::TTSPDropTarget(const QString& caption, int tag, QWidget* parent) : QLabel(caption, parent)
{
    setProperty("tag", tag);
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setMinimumWidth(104);
    setMinimumHeight(22);
}

int TTSPDropTarget::slotOf(const QMimeData* data)
{
    if (!data || !data->hasFormat(TCurvePanel::kMimeType))
        return -1;
    bool ok = false;
    const int slot = data->data(TCurvePanel::kMimeType).toInt(&ok);
    return ok && slot >= 0 && slot < kDiagramCurves ? slot : -1;
}

void TTSPDropTarget::dragEnterEvent(QDragEnterEvent* e)
{
    if (slotOf(e->mimeData()) >= 0)
        e->acceptProposedAction();
}

void TTSPDropTarget::dropEvent(QDropEvent* e)
{
    const int slot = slotOf(e->mimeData());
    if (slot < 0)
        return;
    e->acceptProposedAction();
    emit curveDropped(slot);
}

QLabel* TTSPform::value(QGridLayout* g, int row, int col, const QString& caption)
{
    g->addWidget(new QLabel(caption, this), row, col);
    auto* v = new QLabel(this);
    g->addWidget(v, row, col + 1);
    return v;
}

TTSPform::TTSPform(Tdiafrm* diagram, QWidget* parent) : QFrame(parent), m_diagram(diagram)
{
    setObjectName("TSPpanel");
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* g = new QGridLayout(this);
    g->setContentsMargins(6, 2, 6, 2);
    g->setVerticalSpacing(0);
    g->setHorizontalSpacing(6);
    Lafs = value(g, 0, 0, "fs:"), Laf1 = value(g, 1, 0, "f1:"), Laf2 = value(g, 2, 0, "f2:");
    LaZmax = value(g, 3, 0, "Zmax:");
    LaQms = value(g, 0, 2, "Qms:"), LaQel = value(g, 1, 2, "Qel:"), LaQts = value(g, 2, 2, "Qts:");
    g->addWidget(new QLabel("Rdc:", this), 3, 2);
    EdRdc = new QLineEdit(this);
    EdRdc->setMaximumWidth(70);
    g->addWidget(EdRdc, 3, 3);
    LaMmd = value(g, 0, 4, "Mmd:"), LaCms = value(g, 1, 4, "Cms:"), LaVas = value(g, 2, 4, "Vas:");
    LaSd = value(g, 0, 6, "Sd:"), LaMms = value(g, 1, 6, "Mms:"), LaVb = value(g, 2, 6, "Vb:");
    FirstTSPmea = new TTSPDropTarget("1. Measurement", 723, this);
    SecondTSPmea = new TTSPDropTarget("2. Measurement", 724, this);
    BtList = new QPushButton("List / Print", this);
    auto* help = new QPushButton("?", this);
    help->setToolTip("Click for help for TSP measurement");
    help->setMaximumWidth(24);
    g->addWidget(FirstTSPmea, 0, 8);
    g->addWidget(SecondTSPmea, 1, 8);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(BtList, 1);
    buttons->addWidget(help);
    g->addLayout(buttons, 2, 8);
    LaError = new QLabel(".", this);
    LaError->setStyleSheet("color: #a00000;");
    g->addWidget(LaError, 3, 4, 1, 5);
    g->setColumnStretch(7, 1);
    connect(FirstTSPmea, &TTSPDropTarget::curveDropped, this, &TTSPform::Butdet1Click);
    connect(SecondTSPmea, &TTSPDropTarget::curveDropped, this, &TTSPform::Butdet2Click);
    connect(EdRdc, &QLineEdit::textChanged, this, [this] { EdRdcChange(); });
    connect(BtList, &QPushButton::clicked, this, &TTSPform::ListClick);
    connect(help, &QPushButton::clicked, this, [this] {
        if (onHelp) onHelp(kHelpTopic);
        else vl::showHelp(kHelpTopic);
    });
    showTSPS(ActiveTSP());
}

void TTSPform::showTSPS(const tTSP& d)
{
    tTSP t = d;
    t.Sd_cm = TSPPistonArea_cm2(t);
    LaSd->setText(QString::asprintf("%6.1f cm²,%5.2f in²", t.Sd_cm, t.Sd_cm * kTSPin2PerCm2));
    LaMms->setText(QString::asprintf("%6.1f g  ,%5.2f oz", t.Mms_g, t.Mms_g * kTSPozPerG));
    LaVb->setText(QString::asprintf("%6.1f l  ,%5.2f ft³", t.Vb_dm, t.Vb_dm * kTSPft3PerL));
    Laf1->setText(QString::asprintf("%4.1f Hz ", t.f1));
    Laf2->setText(QString::asprintf("%4.1f Hz ", t.f2));
    Lafs->setText(QString::asprintf("%4.1f Hz ", t.fs));
    LaZmax->setText(QString::asprintf("%4.1f Ohm", t.Zmax));
    m_showing = true;
    EdRdc->setText(QString::asprintf("%4.1f", t.bVorgabeRdc ? t.fVorgabeRdc : t.Rdc));
    m_showing = false;
    EdRdc->setEnabled(t.bVorgabeRdc);
    EdRdc->setStyleSheet(t.bVorgabeRdc ? "background: #ffffc0;" : "");
    LaQms->setText(QString::asprintf("%5.2f ", t.Qms));
    LaQel->setText(QString::asprintf("%5.2f ", t.Qel));
    LaQts->setText(QString::asprintf("%5.2f ", t.Qts));
    if (t.VasoverVb) {
        LaMmd->setText("   -- ");
        LaCms->setText("   -- ");
    } else {
        LaMmd->setText(QString::asprintf("%6.2f g,%6.3f oz", t.Mmd_g, t.Mmd_g * kTSPozPerG));
        LaCms->setText(QString::asprintf("%6.2f mm/N", t.Cms_mmN));
    }
    LaVas->setText(QString::asprintf("%6.2f l,%6.3f ft³", t.Vas_dm, t.Vas_dm * kTSPft3PerL));
}

// The calculation runs on a copy: a failed evaluation leaves the record and the display as they were.
void TTSPform::evaluate(int slot, bool second)
{
    LaError->setText(".");
    const TCurveCopy c = curveOf(m_diagram, slot);
    tTSP t = ActiveTSP();
    const int32_t code = second ? TSPCalculation({}, c.imp(), t) : TSPCalculation(c.imp(), {}, t);
    ActiveTSP().OK = code;
    if (code != 0) {
        LaError->setText(TSPErrorText(code, t));
        return;
    }
    ActiveTSP() = t;
    showTSPS(t);
}

void TTSPform::Butdet1Click(int slot) { evaluate(slot, false); }
void TTSPform::Butdet2Click(int slot) { evaluate(slot, true); }

void TTSPform::EdRdcChange()
{
    tTSP& t = ActiveTSP();
    if (m_showing || !t.bVorgabeRdc)
        return;
    bool ok = false;
    const double v = EdRdc->text().trimmed().replace(',', '.').toDouble(&ok);
    if (ok && std::isfinite(v))
        t.fVorgabeRdc = v;
}

void TTSPform::ListClick()
{
    TTSPmemoform report(ActiveTSP(), vlIsGerman(), this);
    report.onHelp = onHelp;
    if (runReport)
        runReport(report);
    else
        report.exec();
}
