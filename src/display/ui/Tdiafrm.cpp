// The diagram window: layout, curve panels, dialogs, the time-diagram popup and the window messages.
#include "display/ui/Tdiafrm.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "display/TDiaColorSet.h"
#include "display/TDiaOptions.h"
#include "display/TGdata.h"
#include "display/ui/TCrvdia.h"
#include "display/ui/TCurvePanel.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/TFormAddCurve.h"
#include "display/ui/TdiaCdlg.h"
#include "display/ui/Tdiadlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kThieleSmallHeight = 105; // fixed height of the Thiele-Small panel, pixels
constexpr int kSideWidth = 118;         // width of the curve panel column, pixels
constexpr int kTypicalHeight = 400;     // window height assumed before the first layout, pixels
constexpr int kMinSecHeight = 80;       // smallest secondary panel a diagram can be drawn in, pixels
constexpr int kCommentPaintDelay_ms = 100; // result lines without a package are painted after this

// Busy cursor for the lifetime of the object.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

Tdiafrm::Tdiafrm(QWidget* parent) : QWidget(parent)
{
    setObjectName("diafrm");
    setAutoFillBackground(true);
    m_mainView = new TDiagrammView(this);
    m_mainView->setObjectName("diagr2d");
    m_timeView = new TDiagrammView(this);
    m_timeView->setObjectName("DiaZpanel");
    m_timeView->hide();
    m_model = std::make_unique<TDiaWindowModel>(m_mainView->dia(), &m_timeView->dia());
    m_model->SecTag = kSecTagTimeDiaGone;
    m_commentPaint = new QTimer(this);
    m_commentPaint->setSingleShot(true);
    m_commentPaint->setInterval(kCommentPaintDelay_ms);
    connect(m_commentPaint, &QTimer::timeout, this, [this] { diagr2d().flushRepaint(); });

    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_mainView);
    m_secHost = new QWidget(m_split);
    auto* hostLayout = new QVBoxLayout(m_secHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    m_split->addWidget(m_secHost);
    m_split->setStretchFactor(0, 1);
    m_secHost->hide();
    // Once the user moved the splitter, that height is the one to keep.
    connect(m_split, &QSplitter::splitterMoved, this, [this] { m_secWanted = m_secHost->height(); });

    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(2);
    left->addWidget(m_split, 1);
    left->addWidget(buildXRow());
    auto* side = new QVBoxLayout;
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(2);
    buildPanels(side);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(4);
    row->addLayout(left, 1);
    row->addLayout(side);

    TDiagramm& d = diagr2d();
    for (int32_t s = 0; s < kDiaCurves; ++s) d.curve(s)->Fsel = s < 2; // as a diagram without settings loads
    d.setxSkalalog(true);
    d.setX_minX_Max(22000.0, 20.0);
    d.setYstepAuto(true);
    connectDiagrams();
    m_xmin->setText(TDiaWindowModel::xLimitText(d.X_min()));
    m_xmax->setText(QString::asprintf("%1.1f", d.X_max()));
    showCurvesDats();
    applyMarginColour();
}

Tdiafrm::~Tdiafrm()
{
    // The diagrams' events point back into this window.
    for (TDiagramm* d : {&m_mainView->dia(), &m_timeView->dia()}) {
        d->OnXminClick = nullptr;
        d->OnXmaxClick = nullptr;
    }
}

TDiagramm& Tdiafrm::diagr2d() { return m_mainView->dia(); }

TCurvePanel* Tdiafrm::curvePanel(int slot) const
{
    return slot >= 0 && slot < kDiaUserCurves ? m_panels[size_t(slot)] : nullptr;
}

// ---- building -----------------------------------------------------------------------------------

void Tdiafrm::buildPanels(QVBoxLayout* col)
{
    auto* panels = new QHBoxLayout;
    panels->setSpacing(2);
    m_shift = new QScrollBar(Qt::Vertical, this);
    m_shift->setObjectName("shiftNextCurve");
    m_shift->setToolTip("Shift to next curve");
    m_shift->setRange(0, 2);
    m_shift->setValue(1);
    m_shift->setPageStep(1);
    connect(m_shift, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderSingleStepAdd) shiftCurves(true);
        if (action == QAbstractSlider::SliderSingleStepSub) shiftCurves(false);
        QMetaObject::invokeMethod(m_shift, [this] { m_shift->setValue(1); }, Qt::QueuedConnection);
    });
    auto* list = new QVBoxLayout;
    list->setSpacing(2);
    for (int s = 0; s < kDiaUserCurves; ++s) {
        auto* p = new TCurvePanel(s, this);
        p->setFixedWidth(kSideWidth - 20);
        connect(p, &TCurvePanel::clicked, this, &Tdiafrm::curveClicked);
        connect(p, &TCurvePanel::toggleSelection, this, &Tdiafrm::toggleSelected);
        connect(p, &TCurvePanel::dropped, this, &Tdiafrm::dropPanel);
        m_panels[size_t(s)] = p;
        list->addWidget(p);
    }
    m_ideal = new TCurvePanel(TCurvePanel::kIdealSlot, this);
    m_ideal->nameLabel()->setText("Ideal");
    m_ideal->hide();
    connect(m_ideal, &TCurvePanel::dropped, this, &Tdiafrm::dropPanel);
    list->addWidget(m_ideal);
    panels->addWidget(m_shift);
    panels->addLayout(list);
    col->addLayout(panels);
    col->addStretch(1);
    m_clear = new QPushButton("clear curves", this);
    m_clear->setObjectName("clearCurves");
    m_clear->setFixedWidth(kSideWidth);
    connect(m_clear, &QPushButton::clicked, this, &Tdiafrm::clearCurvesClicked);
    col->addWidget(m_clear);
}

QWidget* Tdiafrm::buildXRow()
{
    auto* w = new QWidget(this);
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    auto edit = [w](const char* name) {
        auto* e = new QLineEdit(w);
        e->setObjectName(name);
        e->setFixedWidth(80);
        e->setAlignment(Qt::AlignRight);
        return e;
    };
    m_xminLabel = new QLabel("X min / Hz", w);
    m_xmin = edit("xMinEdit");
    m_xmaxLabel = new QLabel("X max / Hz", w);
    m_xmax = edit("xMaxEdit");
    row->addWidget(m_xminLabel);
    row->addWidget(m_xmin);
    row->addStretch(1);
    row->addWidget(m_xmaxLabel);
    row->addWidget(m_xmax);
    connect(m_xmin, &QLineEdit::editingFinished, this, &Tdiafrm::xMinEdited);
    connect(m_xmax, &QLineEdit::editingFinished, this, &Tdiafrm::xMaxEdited);
    return w;
}

void Tdiafrm::connectDiagrams()
{
    TDiagramm& d = diagr2d();
    d.OnXminClick = [this](double v) { m_xmin->setText(TDiaWindowModel::xLimitText(v)); };
    d.OnXmaxClick = [this](double v) { m_xmax->setText(TDiaWindowModel::xLimitText(v)); };
    connect(m_mainView, &TDiagrammView::rightClicked, this, [this] { openDiagramOptions(); });
    connect(m_timeView, &TDiagrammView::rightClicked, this, [this] { openTimeColours(); });
    connect(m_timeView, &TDiagrammView::leftClicked, this, &Tdiafrm::timeDiagramClicked);
    m_model->onPanelsChanged = [this] { showCurvesDats(); };
    m_model->onChannelColours = [this](TColorBGR l, TColorBGR r) { emit channelColoursChanged(l, r); };
    m_model->onReset = [this] { relayoutViews(); };
}

// ---- curve panels -------------------------------------------------------------------------------

void Tdiafrm::showCurvesDats()
{
    TDiagramm& d = diagr2d();
    for (int s = 0; s < kDiaUserCurves; ++s) m_panels[size_t(s)]->showCurve(*d.curve(s), m_model->font.font);
}

void Tdiafrm::curveClicked(int slot)
{
    TDiagramm& d = diagr2d();
    if (!d.curve(slot) || slot >= kDiaUserCurves) return;
    for (;;) {
        Tcurve copy(*d.curve(slot));
        copy.line = slot;
        const TYAXgroup* g = d.group(copy.Cygroup);
        TCrvdia dlg(copy, &d, g && g->FyScalog, this, this);
        const int r = runCurveDialog ? runCurveDialog(dlg) : dlg.exec();
        if (r != TCrvdia::kOkResult && r != TCrvdia::kApplyResult) break;
        Tcurve& c = *d.curve(slot);
        c.copyfrom(dlg.dlgCurve());
        c.line = slot;
        if (TYAXgroup* cg = d.group(c.Cygroup)) cg->FyScalog = dlg.dYaxlog();
        m_model->setUnit2selCurves(m_model->unitLeft, m_model->unitRight);
        showCurvesDats();
        d.Curve2Dia(slot);
        d.paintNew(true);
        m_model->syncTimeColours();
        if (r != TCrvdia::kApplyResult) break;
    }
}

void Tdiafrm::toggleSelected(int slot)
{
    Tcurve* c = diagr2d().curve(slot);
    if (!c || slot >= kDiaUserCurves) return;
    c->Fsel = !c->Fsel;
    m_model->syncTimeColours();
    diagr2d().paintNew(false);
    showCurvesDats();
}

void Tdiafrm::dropPanel(int source, int target, bool ctrl)
{
    if (target == TCurvePanel::kIdealSlot) {
        WaitCursor wait;
        m_model->compare2Ideal(source);
        return;
    }
    if (source == target || !curvePanel(source) || !curvePanel(target)) return;
    if (ctrl) {
        TDiagramm& d = diagr2d();
        TFormAddCurve ask(d.getColline(source), TFormAddCurve::curveText(source), d.getColline(target),
                          TFormAddCurve::curveText(target), this);
        const int r = runAddCurveDialog ? runAddCurveDialog(ask) : ask.exec();
        if (r != TFormAddCurve::kYesResult) return;
    }
    m_model->dropCurve(source, target, ctrl);
}

void Tdiafrm::clearCurvesClicked() { m_model->clearCurves(); }

void Tdiafrm::shiftCurves(bool down) { m_model->shiftnewcurves(down); }

// ---- x limits -----------------------------------------------------------------------------------

void Tdiafrm::showXLimits()
{
    m_xmin->setText(TDiaWindowModel::xLimitText(diagr2d().X_min()));
    m_xmax->setText(TDiaWindowModel::xLimitText(diagr2d().X_max()));
}

void Tdiafrm::xMinEdited()
{
    m_model->applyXminText(m_xmin->text());
    showXLimits();
}

void Tdiafrm::xMaxEdited()
{
    m_model->applyXmaxText(m_xmax->text());
    showXLimits();
}

// ---- dialogs ------------------------------------------------------------------------------------

void Tdiafrm::openDiagramOptions()
{
    for (;;) {
        TDiaOptions o = TDiaOptions::fromDiagram(diagr2d());
        o.colSoundOn = colSoundOn;
        o.colSoundOff = colSoundOff;
        o.font = m_model->font.font;
        o.clearCurves = m_model->ConCCcurves;
        o.clearSelections = m_model->ConCCselections;
        Tdiadlg dlg(o, this);
        const int r = runOptionsDialog ? runOptionsDialog(dlg) : dlg.exec();
        if (r != Tdiadlg::kOkResult && r != Tdiadlg::kApplyResult) break;
        applyOptions(dlg.options());
        if (r != Tdiadlg::kApplyResult) break;
    }
}

void Tdiafrm::applyOptions(const TDiaOptions& o)
{
    TDiagramm& d = diagr2d();
    o.applyTo(d);
    TDiagramm& t = m_timeView->dia();
    t.setColor_Diagram(o.colDiagram);
    t.setColor_Grid(o.colGrid);
    t.setColor_Margin(o.colMargin);
    m_model->font.font = o.font;
    m_model->ConCCcurves = o.clearCurves;
    m_model->ConCCselections = o.clearSelections;
    colSoundOn = o.colSoundOn;
    colSoundOff = o.colSoundOff;
    emit soundColoursChanged(colSoundOn, colSoundOff);
    applyMarginColour();
    showCurvesDats();
    showXLimits();
    relayoutViews();
    emit diagramPropertiesChanged();
}

void Tdiafrm::openTimeColours()
{
    TDiagramm& t = m_timeView->dia();
    TdiaCdlg dlg(TDiaColorSet::fromDiagram(t), false, mainWindowColour, this);
    const int r = runColourDialog ? runColourDialog(dlg) : dlg.exec();
    if (r != QDialog::Accepted) return;
    dlg.colors().applyTo(t);
    m_timeView->relayout();
}

// ---- time diagram popup -------------------------------------------------------------------------

QMenu* Tdiafrm::makeTimePopup(const TTimeDiaPoint& p)
{
    auto* m = new QMenu(this);
    m->setAttribute(Qt::WA_DeleteOnClose);
    TDiaWindowModel& md = *m_model;
    m->addAction(md.popupPointText(p))->setEnabled(false);
    m->addAction("FFT begin (for recalculate)", this, [&md, p] { md.fftBeginAt(p); });
    m->addAction("diagram begin", this, [&md, p] { md.diagramBeginAt(p); });
    m->addAction("diagram end", this, [&md, p] { md.diagramEndAt(p); });
    m->addAction("echo point", this, [&md, p] { md.echoPointAt(p); });
    m->addAction("diagram y max", this, [&md, p] { md.diagramYmaxAt(p); });
    m->addAction(md.popupTriggerText(), this, [&md, p] { md.triggerLevelAt(p); })->setEnabled(md.pTriggLevel != nullptr);
    m->addSeparator();
    m->addAction(md.popupAroundText(), this, [&md] { md.toggleAroundIps(); });
    m->addAction("diagram default", this, [&md] { md.diagramDefault(); });
    QMenu* vis = m->addMenu("visible curve ");
    for (int k = 0; k < 2; ++k) {
        QAction* a = vis->addAction(QString::number(k + 1));
        a->setCheckable(true);
        a->setChecked(md.visTdom & (1 << k));
        connect(a, &QAction::toggled, this, [&md, k](bool on) {
            md.visTdom = on ? (md.visTdom | (1 << k)) : (md.visTdom & ~(1 << k));
            md.applyVisTdom();
        });
    }
    return m;
}

void Tdiafrm::timeDiagramClicked(QPoint global)
{
    TDiagramm& t = m_timeView->dia();
    const QPoint local = m_timeView->mapFromGlobal(global);
    if (!m_model->timeHosted() || !t.PointInDiaReci(local.x(), local.y())) return;
    const TTimeDiaPoint p{t.curXval_ms() - t.xScalOffset(), t.cursorYval()};
    QMenu* m = makeTimePopup(p);
    if (runPopup) {
        runPopup(*m, global);
        m->deleteLater();
    } else {
        m->popup(global);
    }
}

// ---- secondary panel ----------------------------------------------------------------------------

QWidget* Tdiafrm::makePlaceholder(const QString& text, int32_t tag)
{
    auto* l = new QLabel(text, m_secHost);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setProperty("secTag", tag);
    return l;
}

void Tdiafrm::removePlaceholder()
{
    delete m_placeholder;
    m_placeholder = nullptr;
}

void Tdiafrm::placeSecondary(QWidget* w, int height, bool draggable)
{
    if (w != m_timeView) m_timeView->hide();
    if (w != m_placeholder) removePlaceholder();
    if (m_secHost->layout()->indexOf(w) < 0) {
        w->setParent(m_secHost);
        m_secHost->layout()->addWidget(w);
    }
    w->show();
    m_secHost->show();
    m_secPanel = w;
    m_split->handle(1)->setEnabled(draggable);
    const int total = std::max(m_split->height(), 200);
    const int h = std::clamp(height, std::min(kMinSecHeight, total / 2), total - 60);
    m_split->setSizes({total - h, h});
    m_secWanted = height;
}

void Tdiafrm::setSecondaryShare(double share)
{
    m_secShare = std::clamp(share, 0.0, 1.0);
    applySplit();
}

void Tdiafrm::applySplit()
{
    if (!m_secHost->isVisible() || m_split->height() < 100) return;
    const int total = m_split->height();
    if (m_secShare > 0.0 && m_split->handle(1)->isEnabled()) {
        m_secWanted = int(std::lround(total * m_secShare));
        m_secShare = 0.0;
    }
    if (m_secWanted <= 0) return;
    const int h = std::clamp(m_secWanted, std::min(kMinSecHeight, total / 2), total - 60);
    m_split->setSizes({total - h, h});
}

void Tdiafrm::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    applySplit();
}

QWidget* Tdiafrm::OpenSecundaryWindow(int32_t typ)
{
    if (typ == 9999) {
        m_timeView->hide();
        m_model->SecTag = kSecTagTimeDiaGone;
        removePlaceholder();
        m_secHost->hide();
        m_secPanel = nullptr;
        return nullptr;
    }
    if (typ == 8 || typ == 9) {
        removePlaceholder();
        const bool ts = typ == 8;
        m_model->SecTag = ts ? kSecTagThieleSmall : kSecTagOszi;
        m_placeholder = ts && makeThieleSmallPanel ? makeThieleSmallPanel(m_secHost)
                                                   : makePlaceholder(ts ? "Thiele-Small parameters" : "Oscilloscope", m_model->SecTag);
        m_placeholder->setProperty("secTag", m_model->SecTag);
        placeSecondary(m_placeholder, ts ? kThieleSmallHeight : m_split->height(), !ts);
        if (ts) m_placeholder->setFixedHeight(kThieleSmallHeight);
        return m_placeholder;
    }
    m_model->configureTimeDiagram(typ);
    const int wh = height() >= 200 ? height() : kTypicalHeight;
    const int h = m_model->SplitterTop > 0 ? m_model->SplitterTop : int(wh * m_model->splitratio);
    placeSecondary(m_timeView, std::max(h, kMinSecHeight), true);
    m_model->syncTimeColours();
    m_timeView->relayout();
    return m_timeView;
}

// ---- text, pictures, settings -------------------------------------------------------------------

QString Tdiafrm::getLastDiagrammText(int32_t DiaType, int32_t Mode) { return m_model->getLastDiagrammText(DiaType, Mode); }

bool Tdiafrm::SaveAsText(const QString& Fname, int32_t DiaType, QString* error)
{
    return m_model->SaveAsText(Fname, DiaType, error);
}

QImage Tdiafrm::diagramImage()
{
    diagr2d().paintNew(false);
    return diagr2d().getBitmap();
}

void Tdiafrm::EditCut() { QGuiApplication::clipboard()->setImage(diagramImage()); }

QImage Tdiafrm::getFormImage() { return grab().toImage(); }

void Tdiafrm::setResultTextSize(int32_t pt)
{
    m_resultTextSize = pt;
    diagr2d().setLegendFontSize(pt);
    if (isVisible()) m_mainView->fitToView();
}

void Tdiafrm::loadDia(const TMemIniFile& ini, const QString& Topic, const tdiaset& ds)
{
    // Before the first layout the window has no real height yet: take a typical one.
    m_model->loadDia(ini, Topic, ds, height() >= 200 ? height() : kTypicalHeight);
    const bool splitterApplies = m_secPanel && m_model->SecTag != kSecTagThieleSmall && m_model->SplitterTop > 0;
    if (splitterApplies) placeSecondary(m_secPanel, std::max(m_model->SplitterTop, kMinSecHeight), true);
    showXLimits();
    showCurvesDats();
    applyMarginColour();
    relayoutViews();
}

void Tdiafrm::saveDia(TMemIniFile& ini, const QString& Topic)
{
    if (m_secPanel && m_model->SecTag != kSecTagThieleSmall && m_secWanted > 0) m_model->SplitterTop = m_secWanted;
    m_model->saveDia(ini, Topic);
}

void Tdiafrm::relayoutViews()
{
    m_mainView->relayout();
    if (m_model->timeHosted()) m_timeView->relayout();
}

void Tdiafrm::applyMarginColour()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, bgrToQColor(diagr2d().Color_Margin()));
    setPalette(pal);
}

// ---- the window as the measurements see it -----------------------------------------------------

void Tdiafrm::loadDiagram(const QString& iniFile, const QString& topic)
{
    const TMemIniFile ini(iniFile);
    if (!ini.loadError().isEmpty()) vl::warningBox(ini.loadError());
    loadDia(ini, topic, tdiaset{});
}

void Tdiafrm::saveDiagram(const QString& iniFile, const QString& topic)
{
    TMemIniFile ini(iniFile);
    if (!ini.loadError().isEmpty()) {
        vl::warningBox(ini.loadError());
        return; // what could not be read is not written over
    }
    saveDia(ini, topic);
    QString why;
    if (!ini.UpdateFile(&why)) vl::errorBox("Error writing Ini-File " + iniFile + "\r\n" + why);
}

void Tdiafrm::setUnitTexts(const QString& left, const QString& right)
{
    m_model->unitLeft = left;
    m_model->unitRight = right;
    m_model->setUnit2selCurves(left, right);
    m_mainView->relayout();
}

void Tdiafrm::setFFTInfo(int32_t fftPoints, int32_t sampleRate)
{
    m_model->FFTpoints = fftPoints;
    m_model->Samplefreq = sampleRate;
}

void Tdiafrm::resetDiagram()
{
    show();
    showCurvesDats();
    relayoutViews();
}

void Tdiafrm::setYUnit(const QString& unit) { diagr2d().yEinH = unit; }

void Tdiafrm::setCommentLines(const QStringList& lines, int32_t textSize)
{
    // A measurement sends its package right after its lines: that repaint shows both. The
    // timer paints the lines only when no package follows.
    TDiagramm& d = diagr2d();
    d.holdRepaints();
    setResultTextSize(textSize);
    d.setRem2(lines);
    m_mainView->fitToView();
    d.releaseRepaints(false);
    if (d.repaintPending()) m_commentPaint->start();
}

void Tdiafrm::setTimeDiagramRange(double ms, const QString& yUnit)
{
    TDiagramm* t = m_model->timeDia();
    if (!t) return;
    t->setXmax2_100ms(ms);
    for (int32_t g = 0; g < kDiaCurves; ++g) t->group(g)->fEinh = yUnit;
    m_timeView->relayout();
}

void Tdiafrm::setIpsMarkers(double* triggLevel, double* echo_ms, int32_t* manFFTbegin)
{
    m_model->pTriggLevel = triggLevel;
    m_model->pEcho_ms = echo_ms;
    m_model->pManFFTbegin_samp = manFFTbegin;
}

void Tdiafrm::setTimeLines(double fftBegin_ms, double fftLength_ms, double echo_ms)
{
    TDiagramm* t = m_model->timeDia();
    if (!t) return;
    t->SetRangeLinesValues_ms(fftBegin_ms + fftLength_ms, fftBegin_ms);
    t->setRangeLines(true);
    t->setExtraLine(echo_ms >= 0);
    if (echo_ms >= 0) t->SetExtraLineValue(echo_ms);
    m_timeView->update();
}

void Tdiafrm::setRemark(const QString& text)
{
    if (diagr2d().Rem_1() != text) diagr2d().setRem_1(text);
}

void Tdiafrm::setCurveComments(const QStringList& names)
{
    int k = 0;
    for (int32_t s = 0; s < kDiaUserCurves && k < names.size(); ++s) {
        Tcurve& c = *diagr2d().curve(s);
        if (c.Fsel) c.Comment = names[k++];
    }
}

void Tdiafrm::setXAxis(double from, double to, const QString& unit)
{
    if (from == 0.0 && to > from) diagr2d().setxSkalalog(false); // an axis from 0 is linear
    else if (!(from > 0.0 && to > from)) return; // a log axis needs a positive, rising range
    diagr2d().setxEinheit(unit);
    diagr2d().setX_minX_Max(to, from);
    showXLimits();
}

// ---- events -------------------------------------------------------------------------------------

bool Tdiafrm::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() != TMsgEvent::eventType()) return QWidget::event(e);
    const auto* m = static_cast<TMsgEvent*>(e);
    if (m->msg == MSG_DIA_PUTDIA) {
        m_model->wmPutDia(packageOf(*m)); // the event holds the package while it is drawn
    } else if (m->msg == MSG_DIA_CLEARCURVE) {
        m_model->wmclearcurve(m->wParam);
    }
    return true;
}

void Tdiafrm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    applySplit();
    showCurvesDats();
    applyMarginColour();
}
