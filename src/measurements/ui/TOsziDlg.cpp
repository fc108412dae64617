// The oscilloscope's settings dialog.
#include "measurements/ui/TOsziDlg.h"

#include "measurements/ui/TOszidia.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kDelayMax = 1000; // delay scroll bar, samples
constexpr int kTrackMax = 1000; // track bars, thousandths

QScrollBar* scrollBar(int max, QWidget* parent) {
    auto* s = new QScrollBar(Qt::Horizontal, parent);
    s->setRange(0, max);
    s->setMinimumWidth(160);
    return s;
}

QSlider* track(int from, int to, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(from, to);
    return s;
}

} // namespace

TOsziDlg::TOsziDlg(QObject* target, QWidget* parent) : QDialog(parent), m_target(target) {
    setWindowTitle("Oscilloscope Settings");
    setObjectName("OsziDlg");
    build();
    fill();
}

QWidget* TOsziDlg::channelBox(int c) {
    auto* box = new QGroupBox(QString("channel %1").arg(c), this);
    auto* g = new QGridLayout(box);
    QScrollBar*& sb = c == 1 ? SBcha1 : SBcha2;
    QLabel*& la = c == 1 ? LaCha1 : LaCha2;
    sb = scrollBar(kOsziTableMax, box);
    la = new QLabel("1V/div", box);
    (c == 1 ? TBpos1 : TBpos2) = track(0, kTrackMax, box);
    (c == 1 ? CBoff1 : CBoff2) = new QCheckBox("off", box);
    (c == 1 ? CBinv1 : CBinv2) = new QCheckBox("inv.", box);
    (c == 1 ? CBgnd1 : CBgnd2) = new QCheckBox("gnd", box);
    g->addWidget(sb, 0, 0, 1, 3);
    g->addWidget(la, 0, 3);
    g->addWidget(new QLabel("position", box), 1, 0);
    g->addWidget(c == 1 ? TBpos1 : TBpos2, 1, 1, 1, 3);
    g->addWidget(c == 1 ? CBoff1 : CBoff2, 2, 0);
    g->addWidget(c == 1 ? CBinv1 : CBinv2, 2, 1);
    g->addWidget(c == 1 ? CBgnd1 : CBgnd2, 2, 2);
    return box;
}

QWidget* TOsziDlg::timeBox() {
    auto* box = new QGroupBox("timebase", this);
    auto* g = new QGridLayout(box);
    SBtime = scrollBar(kOsziTableMax, box);
    LaTime = new QLabel("20ms/div", box);
    CBx10 = new QCheckBox("x10Mag", box);
    TBxpos = track(1, kTrackMax, box);
    CBautoRate = new QCheckBox("auto samplerate", box);
    g->addWidget(SBtime, 0, 0, 1, 2);
    g->addWidget(LaTime, 0, 2);
    g->addWidget(CBx10, 1, 0);
    g->addWidget(TBxpos, 1, 1, 1, 2);
    g->addWidget(CBautoRate, 2, 0, 1, 3);
    return box;
}

QWidget* TOsziDlg::triggerBox() {
    auto* box = new QGroupBox("trigger", this);
    auto* g = new QGridLayout(box);
    TBtrigg = track(0, kTrackMax, box);
    CBslope = new QCheckBox("+ trigg. slope", box);
    RBcha1 = new QRadioButton("channel 1", box);
    RBcha2 = new QRadioButton("channel 2", box);
    CBauto = new QCheckBox("auto", box);
    CBsingle = new QCheckBox("single", box);
    SBdelay = scrollBar(kDelayMax, box);
    LaDelay = new QLabel("0.000ms", box);
    g->addWidget(new QLabel("level", box), 0, 0);
    g->addWidget(TBtrigg, 0, 1, 1, 3);
    g->addWidget(CBslope, 1, 0);
    g->addWidget(RBcha1, 1, 1);
    g->addWidget(RBcha2, 1, 2);
    g->addWidget(CBauto, 2, 0);
    g->addWidget(CBsingle, 2, 1);
    g->addWidget(new QLabel("delay", box), 3, 0);
    g->addWidget(SBdelay, 3, 1, 1, 2);
    g->addWidget(LaDelay, 3, 3);
    return box;
}

QWidget* TOsziDlg::screenBox() {
    auto* box = new QGroupBox("screen", this);
    auto* g = new QGridLayout(box);
    CBscreen = new QCheckBox("Screen Settings", box);
    CBadd = new QCheckBox("add 1+2", box);
    TBfocus = track(1, 20, box);
    g->addWidget(CBscreen, 0, 0);
    g->addWidget(CBadd, 0, 1);
    g->addWidget(new QLabel("Focus", box), 1, 0);
    g->addWidget(TBfocus, 1, 1);
    return box;
}

void TOsziDlg::build() {
    auto* col = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(channelBox(1));
    top->addWidget(channelBox(2));
    col->addLayout(top);
    auto* mid = new QHBoxLayout;
    mid->addWidget(timeBox());
    mid->addWidget(triggerBox());
    col->addLayout(mid);
    col->addWidget(screenBox());
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton("Reset", this);
    auto* close = new QPushButton("Close", this);
    buttons->addStretch();
    buttons->addWidget(reset);
    buttons->addWidget(close);
    col->addLayout(buttons);
    connect(reset, &QPushButton::clicked, this, [this] { resetClicked(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    for (QScrollBar* s : {SBcha1, SBcha2, SBtime, SBdelay})
        connect(s, &QScrollBar::valueChanged, this, [this] { changed(); });
    for (QSlider* s : {TBpos1, TBpos2, TBtrigg, TBxpos, TBfocus})
        connect(s, &QSlider::valueChanged, this, [this] { changed(); });
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             CBx10, CBscreen, CBslope, CBauto, CBadd, CBsingle, CBautoRate, CBoff1, CBinv1, CBgnd1,
             CBoff2, CBinv2, CBgnd2, RBcha1, RBcha2})
        connect(b, &QAbstractButton::toggled, this, [this] { changed(); });
}

void TOsziDlg::setData(const TOsziData& d, int32_t sampleRate) {
    m_d = d;
    m_rate = sampleRate > 0 ? sampleRate : 48000;
    fill();
}

void TOsziDlg::resetClicked() {
    m_d = TOsziData();
    fill();
    changed();
}

void TOsziDlg::fill() {
    m_filling = true;
    SBcha1->setValue(kOsziTableMax - m_d.PegCha1Idx);
    SBcha2->setValue(kOsziTableMax - m_d.PegCha2Idx);
    SBtime->setValue(kOsziTableMax - m_d.timeBidx);
    SBdelay->setValue(kDelayMax -
                      std::min(int(std::lround(m_d.Triggdelaytime_s * m_rate)), kDelayMax));
    TBpos1->setValue(int(std::lround(m_d.Cha1pos * kTrackMax)));
    TBpos2->setValue(int(std::lround(m_d.Cha2pos * kTrackMax)));
    TBtrigg->setValue(int(std::lround(m_d.triggLev * kTrackMax)));
    TBxpos->setValue(int(std::lround(m_d.XposBegRel * kTrackMax)));
    TBfocus->setValue(m_d.LineWidth);
    CBx10->setChecked(m_d.x10Mag);
    CBscreen->setChecked(m_d.SinScr);
    CBslope->setChecked(m_d.triggSlopeP);
    CBauto->setChecked(m_d.triggAuto);
    CBadd->setChecked(m_d.Add12);
    CBsingle->setChecked(m_d.TriggSingle);
    CBautoRate->setChecked(m_d.AutoSampleRate);
    CBoff1->setChecked(!m_d.Cha1On);
    CBoff2->setChecked(!m_d.Cha2On);
    CBinv1->setChecked(m_d.Cha1inv);
    CBinv2->setChecked(m_d.Cha2inv);
    CBgnd1->setChecked(m_d.Cha1gnd);
    CBgnd2->setChecked(m_d.Cha2gnd);
    (m_d.triggCha1 ? RBcha1 : RBcha2)->setChecked(true);
    showLabels();
    m_filling = false;
}

void TOsziDlg::showLabels() {
    LaCha1->setText(OsziVoltsLabel(m_d.PegCha1Idx) + "/div");
    LaCha2->setText(OsziVoltsLabel(m_d.PegCha2Idx) + "/div");
    LaTime->setText(m_d.timeBidx == 0 ? OsziTimeLabel(0) : OsziTimeLabel(m_d.timeBidx) + "/div");
    LaDelay->setText(QString::asprintf("%0.3fms", m_d.Triggdelaytime_s * 1000.0));
}

void TOsziDlg::changed() {
    if (m_filling) return;
    m_d.PegCha1Idx = kOsziTableMax - SBcha1->value();
    m_d.PegCha2Idx = kOsziTableMax - SBcha2->value();
    m_d.timeBidx = kOsziTableMax - SBtime->value();
    m_d.Triggdelaytime_s = double(kDelayMax - SBdelay->value()) / m_rate;
    m_d.Cha1pos = TBpos1->value() / double(kTrackMax);
    m_d.Cha2pos = TBpos2->value() / double(kTrackMax);
    m_d.triggLev = TBtrigg->value() / double(kTrackMax);
    m_d.XposBegRel = TBxpos->value() / double(kTrackMax);
    m_d.LineWidth = TBfocus->value();
    m_d.x10Mag = CBx10->isChecked();
    m_d.SinScr = CBscreen->isChecked();
    m_d.triggSlopeP = CBslope->isChecked();
    m_d.triggAuto = CBauto->isChecked();
    m_d.Add12 = CBadd->isChecked();
    m_d.TriggSingle = CBsingle->isChecked();
    m_d.AutoSampleRate = CBautoRate->isChecked();
    m_d.Cha1On = !CBoff1->isChecked();
    m_d.Cha2On = !CBoff2->isChecked();
    m_d.Cha1inv = CBinv1->isChecked();
    m_d.Cha2inv = CBinv2->isChecked();
    m_d.Cha1gnd = CBgnd1->isChecked();
    m_d.Cha2gnd = CBgnd2->isChecked();
    m_d.triggCha1 = RBcha1->isChecked();
    showLabels();
    postMsgEvent(m_target, new TOsziSettingsEvent(m_d));
}
