// The generator dialog "Sound Out Values": controls over TSoundOModel, rebuild message, modal loop.
#include "core/ui/TSoundODlgF.h"
#include "base/vlHelp.h"

#include "base/vlMessages.h"
#include "core/TGenerator.h"
#include "core/ui/TOutFilterSelDlg.h"
#include "core/ui/TUpDown.h"
#include "core/winMessage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(110);
    e->setAlignment(Qt::AlignRight);
    return e;
}

TUpDown* upDown(const char* name, QWidget* parent)
{
    auto* u = new TUpDown(parent);
    u->setObjectName(name);
    return u;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

TSoundODlgF::TSoundODlgF(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Sound Out Values"));
    setObjectName(QStringLiteral("SoundODlgF"));
    buildControls();
    buildButtons();
    connectFields();
    m_chooseFile = [this](const QString& start) {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open Sound File"), start,
                                            QStringLiteral("Sound files (*.wav *.flac *.ogg *.aif *.aiff);;All files (*)"));
    };
}

void TSoundODlgF::buildControls()
{
    RGMode = new QGroupBox(QStringLiteral("Mode"), this);
    RGMode->setObjectName(QStringLiteral("RGMode"));
    m_modeGroup = new QButtonGroup(this);
    auto* modes = new QVBoxLayout(RGMode);
    modes->setSpacing(2);
    // The first nine items; "Sound File Out" and "Wave Synthesis" are added after them.
    for (int i = 0; i < TSoundOModel::kItems; ++i) {
        auto* rb = new QRadioButton(TSoundOModel::itemCaption(i), RGMode);
        m_modeGroup->addButton(rb, i);
        modes->addWidget(rb);
    }
    modes->addStretch(1);

    LaLevel = new QLabel(QStringLiteral("dig. Level (dBFS)"), this);
    EdLevel = field("EdLevel", this);
    UDLevel = upDown("UDLevel", this);
    LaFreq = new QLabel(QStringLiteral("Frequency (Hz)"), this);
    EdFreq = field("EdFreq", this);
    UDFreq = upDown("UDFreq", this);
    LaSecond = new QLabel(this);
    EdSecond = field("EdSecond", this);
    UDSecond = upDown("UDSecond", this);
    LaThird = new QLabel(QStringLiteral("repeat time (ms)"), this);
    EdThird = field("EdThird", this);
    UDThird = upDown("UDThird", this);
    LaInfoCaption = new QLabel(this);
    LaInfo = new QLabel(this);
    LaInfo->setObjectName(QStringLiteral("LaInfo"));
    // Wide enough for the longest dirac text, so the dialog need not grow while it is open.
    LaInfo->setMinimumWidth(LaInfo->fontMetrics().horizontalAdvance(QStringLiteral("8888.8888us   fg: 888888.8Hz -3dB")));
    CBConti = new QCheckBox(QStringLiteral("conti"), this);
    CBConti->setObjectName(QStringLiteral("CBConti"));

    GBDual = new QGroupBox(this);
    GBDual->setObjectName(QStringLiteral("GBDual"));
    RBAdd = new QRadioButton(QStringLiteral("Add"), GBDual);
    RBMulti = new QRadioButton(QStringLiteral("Multiply"), GBDual);
    RBLeRi = new QRadioButton(QStringLiteral("Le/Ri"), GBDual);
    auto* dualRow = new QHBoxLayout(GBDual);
    dualRow->setContentsMargins(6, 2, 6, 2);
    for (QRadioButton* rb : {RBAdd, RBMulti, RBLeRi}) dualRow->addWidget(rb);

    // One row widget per field, so a hidden field leaves no gap.
    auto* fields = new QVBoxLayout;
    fields->setSpacing(4);
    const int captionWidth = LaLevel->fontMetrics().horizontalAdvance(QStringLiteral("Second dig.Level (dbFS)")) + 12;
    auto addRow = [&](QWidget* caption, QWidget* a, QWidget* b) {
        auto* rowW = new QWidget(this);
        auto* row = new QHBoxLayout(rowW);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        caption->setParent(rowW);
        caption->setFixedWidth(captionWidth);
        row->addWidget(caption);
        for (QWidget* w : {a, b})
            if (w) {
                w->setParent(rowW);
                row->addWidget(w);
            }
        row->addStretch(1);
        fields->addWidget(rowW);
        return rowW;
    };
    m_rowLevel = addRow(LaLevel, EdLevel, UDLevel);
    m_rowFreq = addRow(LaFreq, EdFreq, UDFreq);
    m_rowSecond = addRow(LaSecond, EdSecond, UDSecond);
    m_rowThird = addRow(LaThird, EdThird, UDThird);
    m_rowInfo = addRow(LaInfoCaption, LaInfo, nullptr);
    LaFile = new QLabel(this);
    LaFile->setObjectName(QStringLiteral("LaFile"));
    LaFile->setWordWrap(true);
    LaFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fields->addWidget(LaFile);
    fields->addWidget(CBConti);
    fields->addWidget(GBDual);
    fields->addStretch(1);

    ButReset = button("ButReset", QStringLiteral("Reset"), this);
    ButSynthesis = button("ButSynthesis", QStringLiteral("Synthesis"), this);
    ButOpenFile = button("ButOpenFile", QStringLiteral("Open File"), this);
    ButOutFilter = button("ButOutFilter", QStringLiteral("Output Filter "), this);
    auto* tools = new QHBoxLayout;
    tools->addWidget(ButReset);
    tools->addStretch(1);
    // "Synthesis" and "Open File" share one place: each is shown in its own mode only.
    tools->addWidget(ButSynthesis);
    tools->addWidget(ButOpenFile);
    tools->addWidget(ButOutFilter);

    auto* right = new QVBoxLayout;
    right->addLayout(fields, 1);
    right->addLayout(tools);
    auto* top = new QHBoxLayout;
    top->addWidget(RGMode);
    top->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
}

void TSoundODlgF::buildButtons()
{
    OKBtn = button("OKBtn", QStringLiteral("OK"), this);
    ApplyBtn = button("ApplyBtn", QStringLiteral("&Apply"), this);
    CancelBtn = button("CancelBtn", QStringLiteral("Cancel"), this);
    HelpBtn = button("HelpBtn", QStringLiteral("&Help"), this);
    OKBtn->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {OKBtn, ApplyBtn, CancelBtn, HelpBtn}) row->addWidget(b);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    // A field being left by a click on OK or Apply takes its value first (editingFinished runs
    // on the focus change before the click).
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ApplyBtn, &QPushButton::clicked, this, [this] { done(kApplyResult); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        vl::showHelp(kHelpContext);
        emit helpRequested(kHelpContext);
    });
}

void TSoundODlgF::connectFields()
{
    auto onLeave = [this](QLineEdit* e, void (TSoundOModel::*rule)(const QString&)) {
        connect(e, &QLineEdit::editingFinished, this, [this, e, rule] {
            if (m_rebuilding) return;
            (m_model.*rule)(e->text());
            postRebuild();
        });
    };
    onLeave(EdLevel, &TSoundOModel::levelLeft);
    onLeave(EdFreq, &TSoundOModel::freqLeft);
    onLeave(EdSecond, &TSoundOModel::secondLeft);
    onLeave(EdThird, &TSoundOModel::thirdLeft);
    auto onStep = [this](TUpDown* u, void (TSoundOModel::*rule)(int)) {
        connect(u, &TUpDown::stepped, this, [this, rule](int d) {
            (m_model.*rule)(d);
            postRebuild();
        });
    };
    onStep(UDLevel, &TSoundOModel::levelStep);
    onStep(UDFreq, &TSoundOModel::freqStep);
    onStep(UDSecond, &TSoundOModel::secondStep);
    onStep(UDThird, &TSoundOModel::thirdStep);
    connect(m_modeGroup, &QButtonGroup::idClicked, this, &TSoundODlgF::onItemClicked);
    connect(CBConti, &QCheckBox::toggled, this, [this](bool on) {
        if (m_rebuilding) return;
        m_model.setConti(on);
        postRebuild();
    });
    int f = 0;
    for (QRadioButton* rb : {RBAdd, RBMulti, RBLeRi}) {
        connect(rb, &QRadioButton::toggled, this, [this, f](bool on) {
            if (m_rebuilding || !on) return;
            m_model.setDualFunc(f);
            postRebuild();
        });
        ++f;
    }
    connect(ButReset, &QPushButton::clicked, this, [this] {
        m_model.reset();
        postRebuild();
    });
    connect(ButOpenFile, &QPushButton::clicked, this, &TSoundODlgF::openFile);
    connect(ButSynthesis, &QPushButton::clicked, this, &TSoundODlgF::runSynthesis);
    connect(ButOutFilter, &QPushButton::clicked, this, &TSoundODlgF::editOutputFilters);
}

void TSoundODlgF::onItemClicked(int item)
{
    m_model.chooseItem(item);
    // A mode the module cannot play fell back to sine: the radio shows what the record holds.
    const int shown = TSoundOModel::modeToItem(m_model.record().modeL);
    if (shown != item && m_modeGroup->button(shown)) m_modeGroup->button(shown)->setChecked(true);
    postRebuild();
}

void TSoundODlgF::openFile()
{
    const QString name = m_chooseFile ? m_chooseFile(vlgen::recordText(m_model.record().ufname)) : QString();
    if (name.isEmpty()) return;
    m_model.setSoundFile(name);
    postRebuild();
}

void TSoundODlgF::runSynthesis()
{
    if (!m_synthesis) {
        vl::infoBox(QStringLiteral("The wave synthesis dialog is not available in this version."));
        return;
    }
    TWaf waf = m_model.record().WaF;
    const int r = m_synthesis(waf);
    if (r != QDialog::Accepted && r != kApplyResult) return;
    m_model.record().WaF = waf;
    done(kApplyResult);
}

void TSoundODlgF::editOutputFilters()
{
    if (m_filterEditor) {
        tFilterBlock l = dOutLeft, r = dOutRight;
        bool link = dOutLink;
        if (!m_filterEditor(l, r, link, m_publishFilters)) return;
        dOutLeft = l;
        dOutRight = r;
        dOutLink = link;
        m_filtersEdited = true;
        return;
    }
    TOutFilterSelDlg f(dOutLeft, dOutRight, dOutLink, m_publishFilters, this);
    if ((m_runFilterDlg ? m_runFilterDlg(f) : f.exec()) != QDialog::Accepted) return;
    dOutLeft = f.model().left();
    dOutRight = f.model().right();
    dOutLink = f.model().link();
    m_filtersEdited = true;
}

// ---- rebuild ------------------------------------------------------------------------------------

void TSoundODlgF::postRebuild() { postMsg(this, MSG_SOUNDO_REBUILD); }

bool TSoundODlgF::event(QEvent* e)
{
    msgReceived(e);
    if (e->type() == TMsgEvent::eventType()) {
        if (static_cast<TMsgEvent*>(e)->msg == MSG_SOUNDO_REBUILD) rebuildNow();
        return true;
    }
    return QDialog::event(e);
}

void TSoundODlgF::showEvent(QShowEvent* e)
{
    m_firstRebuild = true;
    QDialog::showEvent(e);
    postRebuild();
}

void TSoundODlgF::rebuildNow() { applyView(m_model.rebuild()); }

void TSoundODlgF::applyView(const TSoundOView& v)
{
    m_rebuilding = true;
    if (m_firstRebuild) {
        m_firstRebuild = false;
        if (QAbstractButton* b = m_modeGroup->button(v.radioItem)) b->setChecked(true);
        else {
            m_modeGroup->setExclusive(false);
            for (QAbstractButton* x : m_modeGroup->buttons()) x->setChecked(false);
            m_modeGroup->setExclusive(true);
        }
    }
    m_rowLevel->setVisible(v.levelVisible);
    EdLevel->setText(v.levelText);
    m_rowFreq->setVisible(v.freqVisible);
    LaFreq->setText(v.freqCaption);
    EdFreq->setText(v.freqText);
    m_rowSecond->setVisible(v.secondVisible);
    LaSecond->setText(v.secondCaption);
    EdSecond->setText(v.secondText);
    EdSecond->setReadOnly(v.secondReadOnly);
    m_rowThird->setVisible(v.thirdVisible);
    LaThird->setText(v.thirdCaption);
    EdThird->setText(v.thirdText);
    m_rowInfo->setVisible(v.infoVisible);
    LaInfoCaption->setText(v.infoCaption);
    LaInfo->setText(v.infoText);
    CBConti->setVisible(v.contiVisible);
    CBConti->setChecked(v.contiChecked);
    GBDual->setVisible(v.dualVisible);
    (v.dualFunc == 1 ? RBMulti : v.dualFunc == 2 ? RBLeRi : RBAdd)->setChecked(true);
    ButOpenFile->setVisible(v.openFileVisible);
    ButOpenFile->setEnabled(v.openFileEnabled);
    ButOpenFile->setToolTip(v.fileHint);
    LaFile->setVisible(v.openFileVisible);
    LaFile->setText(QStringLiteral("Sound file:\n") + v.fileHint);
    ButSynthesis->setVisible(v.synthesisVisible);
    ButSynthesis->setEnabled(v.synthesisEnabled);
    ButOutFilter->setEnabled(v.outFilterEnabled);
    m_rebuilding = false;
}

// ---- the output "Setup" button ------------------------------------------------------------------

int runSoundOutDialog(const TSoundOutSetup& setup, QWidget* parent, const TSoundODlgRunner& run)
{
    if (!setup.target) return QDialog::Rejected;
    TSoundODlgF dlg(parent);
    dlg.setSynthesisRunner(setup.synthesis);
    dlg.setFilterPublisher(setup.publishFilters);
    dlg.setFilterEditor(setup.filterEditor);
    int result = QDialog::Rejected;
    do {
        dlg.model().setRecord(*setup.target);
        dlg.model().setImpulseMeasurement(setup.impulseMeasurement);
        dlg.model().setCapabilities(setup.readStatus ? setup.readStatus() : 0);
        if (setup.filters) {
            dlg.dOutLeft = setup.filters->outLeft;
            dlg.dOutRight = setup.filters->outRight;
            dlg.dOutLink = setup.filters->linkOutFromEQL;
        }
        dlg.resetFiltersEdited();
        result = run ? run(dlg) : dlg.exec();
        const bool taken = result == QDialog::Accepted || result == TSoundODlgF::kApplyResult;
        if (taken) {
            *setup.target = dlg.model().record();
            if (setup.afterCopy) setup.afterCopy();
        }
        if (dlg.filtersEdited() && setup.filters) {
            if (taken) {
                setup.filters->linkOutFromEQL = dlg.dOutLink;
                setup.filters->acceptOutput(dlg.dOutLeft, dlg.dOutRight);
            }
            // Taken: the blocks now kept; cancelled: the blocks as they were before the edits.
            if (setup.publishFilters) setup.publishFilters(setup.filters->outLeft, setup.filters->outRight);
        }
    } while (result == TSoundODlgF::kApplyResult);
    return result;
}
