// The waterfall's drawing surface: an off-screen image with the central projection of world points.
#pragma once

#include "dsp/T3dProjection.h"
#include "display/diaTypes.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>
#include <vector>

class QPainter;

// Base of the 3D diagram: holds the image (at most 4000 x 3000 pixels) and the projection of
// world points (x, y, z each 0..1) onto it. The drawing calls need an open painter (begin/end
// around them). GUI thread only.
class T3dworld {
public:
    T3dworld();
    virtual ~T3dworld();
    T3dworld(const T3dworld&) = delete;
    T3dworld& operator=(const T3dworld&) = delete;

    // Size of the panel; the projection is recomputed for it.
    void resize(int w, int h);
    int width() const { return m_img.width(); }
    int height() const { return m_img.height(); }
    const QImage& getBitmap() const { return m_img; }

    // Reference point (FLU) and eye point (BET), in the order of the diagram's world (Z, Y, X).
    void VIEWPOINT_2D(double ZFLU, double YFLU, double XFLU, double ZBET, double YBET, double XBET);
    double XBET() const { return m_proj.eye().x; }
    double YBET() const { return m_proj.eye().y; }
    double ZBET() const { return m_proj.eye().z; }
    double XFLU() const { return m_proj.ref().x; }
    double YFLU() const { return m_proj.ref().y; }
    double ZFLU() const { return m_proj.ref().z; }
    void setXBET(double v);
    void setYBET(double v);
    void setZBET(double v);
    void setXFLU(double v);
    void setYFLU(double v);
    void setZFLU(double v);
    const T3dProjection& projection() const { return m_proj; }

    // Pen moves / lines to world points; a line reaching behind the eye is cut there.
    void MOVE_2D(double Z, double Y, double X);
    void DRAW_2D(double Z, double Y, double X);
    // Pixel of a world point (rounded); false when it lies behind the eye.
    bool getPix_2D(int& xr, int& yr, double Z, double Y, double X) const;
    void Text_2D(const QString& str, double Z, double Y, double X);
    void textOut2d(int x, int y, const QString& tstr);

    // Point run for ribbons, plains and surfaces: room for pois + 2 points.
    void setpoints3D(int pois);
    // Point ind of the run (repeats of the last pixel dropped); after the last index the base
    // points (z0, 0, a) and (z0, 0, 0) are kept for closing a ribbon.
    void setpoint3D(int points, int ind, double z0, double yw, double a);
    // 2: filled polygon of the points; 1: the ribbon closed to the base line, filled; 0: line.
    // The brush is cl when non-zero. The run is emptied.
    void drawpoints3D(int Flaeche, TColorBGR cl);

protected:
    // Painter of the current paint (null outside of one).
    QPainter* painter() const { return m_p; }
    void beginPaint();
    void endPaint();
    void addRunPixel(double xPix, double yPix); // appends unless it repeats the last pixel

    QImage m_img;                     // the picture
    T3dProjection m_proj;             // world -> pixel
    QFont m_font;                     // text font
    QPainter* m_p = nullptr;          // open painter while painting
    QPointF m_pen;                    // last pen position (pixels)
    T3dPoint m_penWorld;              // last pen position (world)
    std::vector<QPointF> m_run;       // point run of setpoint3D
    QPointF m_base[2];                // the run's two base points
    bool m_baseSet = false;           // the base points were stored
};
