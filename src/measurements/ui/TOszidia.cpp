// The oscilloscope window's painting and its link to the settings dialog.
#include "measurements/ui/TOszidia.h"

#include "measurements/TOsziPaint.h"
#include "measurements/ui/TOsziDlg.h"

#include <QPainter>

TOszidia::TOszidia(QWidget* parent) : QWidget(parent) {
    setObjectName("oszidia");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

TOszidia::~TOszidia() = default;

void TOszidia::DoDlg() {
    if (!m_dlg) m_dlg = new TOsziDlg(this, this);
    m_dlg->setData(m_scope.d, m_scope.sampleFreq_Hz);
    m_dlg->show();
    m_dlg->raise();
}

void TOszidia::hideDialog() {
    if (m_dlg) m_dlg->hide();
}

QImage TOszidia::picture(QSize size) {
    if (size.isEmpty()) size = this->size();
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    p.setFont(font());
    PaintTheOszi(p, img.rect(), m_scope);
    return img;
}

bool TOszidia::event(QEvent* e) {
    if (e->type() != TMsgEvent::eventType()) return QWidget::event(e);
    msgReceived(e);
    if (const auto* s = dynamic_cast<const TOsziSettingsEvent*>(static_cast<TMsgEvent*>(e))) {
        m_scope.applySettings(s->data);
        if (onSettingsApplied) onSettingsApplied();
        update();
    }
    return true;
}

void TOszidia::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTheOszi(p, rect(), m_scope);
}
