// The waterfall's drawing surface: projection of world points, lines, texts and point runs.
#include "display/T3dworld.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

T3dworld::T3dworld() : m_font("MS Sans Serif", 8) { resize(200, 200); }

T3dworld::~T3dworld() { endPaint(); }

void T3dworld::resize(int w, int h)
{
    w = std::clamp(w, 1, 4000);
    h = std::clamp(h, 1, 3000);
    if (m_img.width() != w || m_img.height() != h)
        m_img = QImage(w, h, QImage::Format_RGB32);
    m_proj.setScreen({0, 0, w - 1, h - 1});
}

void T3dworld::VIEWPOINT_2D(double ZFLU, double YFLU, double XFLU, double ZBET, double YBET, double XBET)
{
    m_proj.setView({XFLU, YFLU, ZFLU}, {XBET, YBET, ZBET});
}

void T3dworld::setXBET(double v) { m_proj.setView(m_proj.ref(), {v, YBET(), ZBET()}); }
void T3dworld::setYBET(double v) { m_proj.setView(m_proj.ref(), {XBET(), v, ZBET()}); }
void T3dworld::setZBET(double v) { m_proj.setView(m_proj.ref(), {XBET(), YBET(), v}); }
void T3dworld::setXFLU(double v) { m_proj.setView({v, YFLU(), ZFLU()}, m_proj.eye()); }
void T3dworld::setYFLU(double v) { m_proj.setView({XFLU(), v, ZFLU()}, m_proj.eye()); }
void T3dworld::setZFLU(double v) { m_proj.setView({XFLU(), YFLU(), v}, m_proj.eye()); }

void T3dworld::beginPaint()
{
    if (m_p)
        return;
    m_p = new QPainter(&m_img);
    m_p->setFont(m_font);
}

void T3dworld::endPaint()
{
    delete m_p;
    m_p = nullptr;
}

void T3dworld::MOVE_2D(double Z, double Y, double X)
{
    m_penWorld = {X, Y, Z};
    double x = 0, y = 0;
    if (m_proj.pixel(m_penWorld, x, y))
        m_pen = QPointF(std::round(x), std::round(y));
}

void T3dworld::DRAW_2D(double Z, double Y, double X)
{
    T3dPoint a = m_penWorld, b{X, Y, Z};
    m_penWorld = b;
    if (!m_proj.clipSegment(a, b))
        return;
    double xa = 0, ya = 0, xb = 0, yb = 0;
    m_proj.pixel(a, xa, ya);
    m_proj.pixel(b, xb, yb);
    if (m_p)
        m_p->drawLine(QPointF(std::round(xa), std::round(ya)), QPointF(std::round(xb), std::round(yb)));
    m_pen = QPointF(std::round(xb), std::round(yb));
}

bool T3dworld::getPix_2D(int& xr, int& yr, double Z, double Y, double X) const
{
    double x = 0, y = 0;
    if (!m_proj.pixel({X, Y, Z}, x, y))
        return false;
    xr = int(std::lround(x));
    yr = int(std::lround(y));
    return true;
}

void T3dworld::Text_2D(const QString& str, double Z, double Y, double X)
{
    int x = 0, y = 0;
    if (getPix_2D(x, y, Z, Y, X))
        textOut2d(x, y, str);
}

void T3dworld::textOut2d(int x, int y, const QString& tstr)
{
    if (m_p)
        m_p->drawText(x, y, tstr);
}

void T3dworld::setpoints3D(int pois)
{
    m_run.clear();
    m_run.reserve(size_t(std::max(pois, 0)) + 2);
    m_baseSet = false;
}

void T3dworld::addRunPixel(double xPix, double yPix)
{
    const QPointF p(std::round(xPix), std::round(yPix));
    if (m_run.empty() || m_run.back() != p)
        m_run.push_back(p);
}

void T3dworld::setpoint3D(int points, int ind, double z0, double yw, double a)
{
    double x = 0, y = 0;
    if (m_proj.pixel({a, yw, z0}, x, y))
        addRunPixel(x, y);
    if (ind < points - 1)
        return;
    m_proj.pixel({a, 0.0, z0}, x, y);
    m_base[0] = QPointF(std::round(x), std::round(y));
    m_proj.pixel({0.0, 0.0, z0}, x, y);
    m_base[1] = QPointF(std::round(x), std::round(y));
    m_baseSet = true;
}

void T3dworld::drawpoints3D(int Flaeche, TColorBGR cl)
{
    if (m_p && !m_run.empty()) {
        if (cl)
            m_p->setBrush(bgrToQColor(cl));
        if (Flaeche == 0) {
            m_p->drawPolyline(m_run.data(), int(m_run.size()));
        } else {
            if (Flaeche == 1 && m_baseSet) {
                m_run.push_back(m_base[0]);
                m_run.push_back(m_base[1]);
            }
            m_p->drawPolygon(m_run.data(), int(m_run.size()));
        }
    }
    m_run.clear();
    m_baseSet = false;
}
