// The level meter with the trigger-level slider.
#include "measurements/ui/TVUTRIGG.h"

#include <QLabel>
#include <QSlider>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLabelHeight = 14;
const char* const kGreen = "background: rgb(0,255,0);";
const char* const kRed = "background: rgb(255,0,0);";

} // namespace

TVUTRIGG::TVUTRIGG(QWidget* owner) : QFrame(owner) {
    setVisible(false);
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(true);
    if (!owner) setStyleSheet("background: white;");
    Lbar = new QFrame(this);
    Rbar = new QFrame(this);
    for (QFrame* b : {Lbar, Rbar})
        b->setStyleSheet(kGreen);
    Lbar->setToolTip("left(1) Ch. Level");
    Rbar->setToolTip("right(2) Ch. Level");
    texLabel = new QLabel("trigger", this);
    texLabel->setAlignment(Qt::AlignCenter);
    texLabel->hide();
    TBtrigg = new QSlider(Qt::Horizontal, this);
    TBtrigg->setRange(int(std::lround(mindB)), int(std::lround(maxdB)));
    TBtrigg->setTickPosition(QSlider::TicksBothSides);
    TBtrigg->setTickInterval(std::abs(int(std::lround(maxdB - mindB))) / 10);
    TBtrigg->setToolTip("Trigger Level");
    connect(TBtrigg, &QSlider::valueChanged, this, [this] {
        if (fOnTrackChange) fOnTrackChange();
    });
    setLlevdB(fLlevdB);
    setRlevdB(fRlevdB);
}

void TVUTRIGG::setHoriz(bool h) {
    const double v = TrackValdB();
    fhoriz = h;
    TBtrigg->setOrientation(h ? Qt::Horizontal : Qt::Vertical);
    setTrackValdB(v);
    layoutParts();
}

void TVUTRIGG::setATstyle(int style) {
    fATstyle = style == 1 ? 1 : 0;
    texLabel->setVisible(fATstyle == 1);
    layoutParts();
}

int TVUTRIGG::barLength(double dB) const {
    const int full = fhoriz ? Fwidth : Fheight;
    const long len = std::lround((dB - mindB) / (maxdB - mindB) * full);
    return int(std::clamp<long>(len, 0, full));
}

void TVUTRIGG::setBar(QFrame* bar, double dB, const char* hint) {
    bar->setToolTip(QString::asprintf(hint, dB));
    bar->setStyleSheet(dB > fmaxLevdB ? kRed : kGreen);
    bar->setProperty("levelRed", dB > fmaxLevdB);
    const int len = barLength(dB);
    const QRect r = bar->geometry();
    if (fhoriz)
        bar->setGeometry(0, r.top(), len, r.height());
    else
        bar->setGeometry(r.left(), Fheight - len + (height() - Fheight), r.width(), len);
}

void TVUTRIGG::setLlevdB(double dB) {
    fLlevdB = dB;
    setBar(Lbar, dB, "left(1) Ch. Level %2.0fdBFS");
}

void TVUTRIGG::setRlevdB(double dB) {
    fRlevdB = dB;
    setBar(Rbar, dB, "right(2) Ch. Level %2.0fdBFS");
}

void TVUTRIGG::setmaxLevdB(double dB) {
    fmaxLevdB = dB;
    setLlevdB(fLlevdB);
    setRlevdB(fRlevdB);
}

// Vertical: position = min - max - value, so that the top of the bar is the loudest.
void TVUTRIGG::setTrackValdB(double dB) {
    TBtrigg->setToolTip(QString::asprintf("Trigger Level: %3.0fdbFS", dB));
    const double v = std::isfinite(dB) ? dB : mindB;
    const int pos = int(std::lround(std::clamp(v, mindB, maxdB)));
    TBtrigg->setValue(fhoriz ? pos : int(std::lround(mindB - maxdB)) - pos);
}

double TVUTRIGG::TrackValdB() {
    const double v = fhoriz ? TBtrigg->value() : -(maxdB - mindB) - TBtrigg->value();
    TBtrigg->setToolTip(QString::asprintf("Trigger Level: %3.0fdbFS", v));
    return v;
}

void TVUTRIGG::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    layoutParts();
}

void TVUTRIGG::layoutParts() {
    Fwidth = width();
    Fheight = height() - (fATstyle == 1 && !fhoriz ? kLabelHeight : 0);
    const int w = width(), h = height();
    if (fhoriz) {
        Lbar->setGeometry(0, 0, 0, h / 6);
        Rbar->setGeometry(0, h * 5 / 6, 0, h - h * 5 / 6);
        TBtrigg->setGeometry(0, h / 6, w - 1, h * 4 / 6);
    } else {
        const int parts = fATstyle == 1 ? 5 : 6, top = h - Fheight;
        Lbar->setGeometry(0, top, w / parts, 0);
        Rbar->setGeometry(w - w / parts, top, w / parts, 0);
        TBtrigg->setGeometry(w / parts, top, w - 2 * (w / parts), Fheight);
        texLabel->setGeometry(0, 0, w, kLabelHeight);
    }
    setLlevdB(fLlevdB);
    setRlevdB(fRlevdB);
}
