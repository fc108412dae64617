// The filter editor window.
#include "display/ui/TFilterForm.h"

#include "analysis/ui/TshowBiQuadF.h"
#include "base/utils.h"
#include "display/ui/TDiagrammView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const char* const kChars[4] = {"Butterworth", "Bessel", "Bessel -3dB", "Tschebyscheff"};
constexpr int kResponsePoints = 400;
constexpr double kResponseFrom = 10.0; // Hz

double toDb(std::complex<double> h) {
    return std::abs(h) > 0 ? 20 * std::log10(std::abs(h)) : -192.0;
}

} // namespace

TFilterForm::TFilterForm(const QString& title, const tFilterBlock& left, const tFilterBlock& right,
                         bool link, double fs, unsigned colLeft, unsigned colRight, QWidget* parent)
    : QDialog(parent), m_model(left, right, link, fs) {
    setObjectName("FilterForm");
    setWindowTitle(title);
    auto* lay = new QVBoxLayout(this);
    auto* sides = new QHBoxLayout;
    sides->addWidget(buildSide(0));
    sides->addWidget(buildSide(1));
    lay->addLayout(sides);
    Diagram = new TDiagrammView(this);
    Diagram->setMinimumHeight(260);
    lay->addWidget(Diagram, 1);
    auto* bottom = new QHBoxLayout;
    CBLink = new QCheckBox("Link Channels", this);
    CBLink->setChecked(link);
    LaCalcTime = new QLabel(this);
    bottom->addWidget(CBLink);
    bottom->addWidget(LaCalcTime, 1);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    bottom->addWidget(box);
    lay->addLayout(bottom);
    ChangeTimer = new QTimer(this);
    ChangeTimer->setSingleShot(true);
    ChangeTimer->setInterval(kDebounce_ms);
    connect(ChangeTimer, &QTimer::timeout, this, &TFilterForm::afterChange);
    connect(box, &QDialogButtonBox::accepted, this, [this] {
        flushPending();
        accept();
    });
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(CBLink, &QCheckBox::toggled, this, [this](bool on) {
        m_model.setLink(on);
        refreshSide(1);
        edited(0, true);
    });
    connectSide(0);
    connectSide(1);
    setupDiagram(colLeft, colRight);
    refreshSide(0);
    refreshSide(1);
    afterChange();
    resize(980, 760);
}

TFilterForm::~TFilterForm() = default;

QWidget* TFilterForm::buildSide(int s) {
    TFilterSideControls& c = side(s);
    auto* g = new QGroupBox(s == 0 ? "Left" : "Right", this);
    m_box[size_t(s == 1)] = g;
    auto* h = new QHBoxLayout(g);
    c.LBFilter = new QListWidget(g);
    for (int i = 0; i < tFilterBlock::kFilters; ++i)
        c.LBFilter->addItem(QString("Filter %1").arg(i + 1));
    c.LBFilter->setFixedWidth(90);
    h->addWidget(c.LBFilter);
    auto* f = new QFormLayout;
    c.CBTyp = new QComboBox(g);
    for (int t = 0; t < TFilterFormModel::kTypes; ++t)
        c.CBTyp->addItem(TIIRObj::TypLongName(t));
    c.CBOrder = new QComboBox(g);
    c.CBChar = new QComboBox(g);
    for (const char* n : kChars)
        c.CBChar->addItem(n);
    c.TBFreq = new QSlider(Qt::Horizontal, g);
    c.TBFreq->setRange(0, kFreqSteps);
    c.EdFreq = new QLineEdit(g);
    c.TBGain = new QSlider(Qt::Horizontal, g);
    c.TBGain->setRange(int(TIIRObj::WideLimits().gainMin), int(TIIRObj::WideLimits().gainMax));
    c.LaGain = new QLabel(g);
    c.TBQ = new QSlider(Qt::Horizontal, g);
    c.TBQ->setRange(1, int(TIIRObj::WideLimits().qMax * TFilterFormModel::kQSteps));
    c.LaQ = new QLabel(g);
    c.CBBypass = new QCheckBox("ByPass this Filter", g);
    c.CBBypassAll = new QCheckBox("Bypass all Filters", g);
    c.BtClear = new QPushButton("Clear Filter", g);
    c.BtBiquad = new QPushButton("Biquad", g);
    c.LaUsed = new QLabel(g);
    f->addRow("Type", c.CBTyp);
    f->addRow("Order", c.CBOrder);
    f->addRow("Characteristic", c.CBChar);
    f->addRow("Frequency (Hz)", c.EdFreq);
    f->addRow("", c.TBFreq);
    f->addRow(c.LaGain, c.TBGain);
    f->addRow(c.LaQ, c.TBQ);
    f->addRow(c.CBBypass, c.CBBypassAll);
    f->addRow(c.BtClear, c.BtBiquad);
    f->addRow(c.LaUsed);
    h->addLayout(f, 1);
    return g;
}

void TFilterForm::connectSide(int s) {
    TFilterSideControls& c = side(s);
    connect(c.LBFilter, &QListWidget::currentRowChanged, this, [this, s](int row) {
        if (m_filling) return;
        m_model.selectFilter(s, row);
        refreshSide(s);
    });
    auto now = [this, s](auto&& act) {
        return [this, s, act](int v) {
            if (!m_filling) {
                act(v);
                edited(s, true);
            }
        };
    };
    auto later = [this, s](auto&& act) {
        return [this, s, act](int v) {
            if (!m_filling) {
                act(v);
                edited(s, false);
            }
        };
    };
    connect(c.CBTyp, &QComboBox::currentIndexChanged, this,
            now([this, s](int i) { m_model.setTyp(s, i); }));
    connect(c.CBOrder, &QComboBox::currentIndexChanged, this, now([this, s](int i) {
                m_model.setOrder(s, TFilterFormModel::orderFromIndex(m_model.selected(s).Typ(), i));
            }));
    connect(c.CBChar, &QComboBox::currentIndexChanged, this,
            now([this, s](int i) { m_model.setChar(s, i); }));
    connect(c.CBBypass, &QCheckBox::toggled, this,
            now([this, s](int on) { m_model.setBypassFilter(s, on); }));
    connect(c.CBBypassAll, &QCheckBox::toggled, this,
            now([this, s](int on) { m_model.setBypassAll(s, on); }));
    connect(c.BtClear, &QPushButton::clicked, this, [this, s] {
        m_model.clearFilter(s);
        edited(s, true);
    });
    connect(c.BtBiquad, &QPushButton::clicked, this, [this, s] { showBiquads(s); });
    connect(c.TBFreq, &QSlider::valueChanged, this, later([this, s](int p) {
                m_model.setFreq(s,
                                TFilterFormModel::freqFromPos(p, kFreqSteps, m_model.sampleRate()));
            }));
    connect(c.TBGain, &QSlider::valueChanged, this,
            later([this, s](int p) { m_model.setGain(s, p); }));
    connect(c.TBQ, &QSlider::valueChanged, this,
            later([this, s](int p) { m_model.setQ(s, double(p) / TFilterFormModel::kQSteps); }));
    connect(c.EdFreq, &QLineEdit::editingFinished, this, [this, s] {
        if (m_filling) return;
        if (const auto v = vlParseNumber(side(s).EdFreq->text()); v && *v > 0)
            m_model.setFreq(s, *v);
        edited(s, true);
    });
}

void TFilterForm::fillOrders(int s) {
    QComboBox* o = side(s).CBOrder;
    const TIIRObj& f = m_model.selected(s);
    o->clear();
    for (int i = 0;; ++i) {
        const int n = TFilterFormModel::orderFromIndex(f.Typ(), i);
        if (n > 12 || f.GetValidOrder(f.Typ(), n, f.FilterChar()) != n) break;
        o->addItem(QString::number(n));
    }
    o->setCurrentIndex(TFilterFormModel::indexFromOrder(f.Typ(), f.Grad()));
}

void TFilterForm::refreshSide(int s) {
    m_filling = true;
    TFilterSideControls& c = side(s);
    const TIIRObj& f = m_model.selected(s);
    const double fs = m_model.sampleRate();
    c.LBFilter->setCurrentRow(m_model.filterNum(s));
    c.CBTyp->setCurrentIndex(f.Typ() < TFilterFormModel::kTypes ? f.Typ() : -1);
    fillOrders(s);
    c.CBChar->setCurrentIndex(f.FilterChar() < 4 ? f.FilterChar() : -1);
    c.TBFreq->setValue(TFilterFormModel::posFromFreq(f.Freq(), kFreqSteps, fs));
    c.EdFreq->setText(QString::number(f.Freq(), 'f', f.Freq() == std::floor(f.Freq()) ? 0 : 3));
    c.TBGain->setValue(int(std::lround(f.Gain())));
    c.LaGain->setText(QString("Gain %1 dB").arg(f.Gain(), 0, 'f', 1));
    c.TBQ->setValue(int(std::lround(f.Q() * TFilterFormModel::kQSteps)));
    c.LaQ->setText(QString("Q %1").arg(QString::asprintf("%2.2f", f.Q())));
    c.CBBypass->setChecked(f.Bypassed());
    c.CBBypassAll->setChecked(m_model.block(s).bypass);
    c.LaUsed->setText(
        QString("Used Biquads: %1").arg(s == 1 ? m_model.fBiquadsR : m_model.fBiquadsL));
    if (s == 1) m_box[1]->setEnabled(!m_model.dLinkFromEQL); // a linked right side follows the left
    m_filling = false;
}

void TFilterForm::edited(int s, bool now) {
    refreshSide(s);
    if (now) {
        ChangeTimer->stop();
        afterChange();
    } else {
        ChangeTimer->start();
    }
}

void TFilterForm::flushPending() {
    if (ChangeTimer->isActive()) {
        ChangeTimer->stop();
        afterChange();
    }
}

void TFilterForm::afterChange() {
    m_model.changed();
    const double us = std::max(m_model.calcTimePerSample_us(0),
                               m_model.dLinkFromEQL ? 0.0 : m_model.calcTimePerSample_us(1));
    LaCalcTime->setText(QString::asprintf("Calc time/sample %1.2f\u00b5s", us));
    renewDiagram();
}

void TFilterForm::setupDiagram(unsigned colLeft, unsigned colRight) {
    TDiagramm& d = Diagram->dia();
    d.clearDiaData();
    d.setxSkalalog(true);
    d.setxEinheit("Hz");
    d.setX_minX_Max(m_model.sampleRate() / 2, kResponseFrom);
    for (int32_t g = 0; g < kDiaCurves; ++g) {
        d.group(g)->fEinh = "dB";
        d.group(g)->Fymax = 20.0;
        d.group(g)->Fymin = -60.0;
    }
    d.setFreq_m(false);
    d.setCrossHair(false);
    const unsigned colours[3] = {colLeft, colRight, 0x008000};
    for (int32_t s = 0; s < kDiaCurves; ++s) {
        d.curve(s)->Fcvis = false;
        if (s < 3) d.curve(s)->FColLine = colours[s];
    }
    m_xAxis = Tsamplemem(kResponsePoints);
    const double top = m_model.sampleRate() / 2;
    for (int i = 0; i < kResponsePoints; ++i)
        m_xAxis.smpoi()[i] =
            kResponseFrom * std::pow(top / kResponseFrom, double(i) / (kResponsePoints - 1));
}

void TFilterForm::renewDiagram() {
    TDiagramm& d = Diagram->dia();
    const bool linked = m_model.dLinkFromEQL;
    const int shown = linked ? 1 : 3;
    const char* names[3] = {linked ? "Filter linked" : "Filter Left Channel",
                            "Filter Right Channel", "Filter Left + Right Channel"};
    for (int c = 0; c < 3; ++c) {
        m_curves[size_t(c)] = Tsamplemem(kResponsePoints);
        for (int i = 0; i < kResponsePoints; ++i) {
            const double f = m_xAxis.smpoi()[i];
            const std::complex<double> l = m_model.response(0, f), r = m_model.response(1, f);
            m_curves[size_t(c)].smpoi()[i] = toDb(c == 0 ? l : c == 1 ? r : l + r);
        }
        d.curve(c)->Name = names[c];
        d.curve(c)->Fcvis = c < shown;
        if (c < shown) d.SetdataPointer(m_curves[size_t(c)], m_xAxis, false, c);
    }
    Diagram->relayout();
    Diagram->update();
}

void TFilterForm::showBiquads(int s) {
    TshowBiQuadF list(m_model.block(s), m_model.sampleRate(), this);
    if (m_runList)
        m_runList(list);
    else
        list.exec();
}
