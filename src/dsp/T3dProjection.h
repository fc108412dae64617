// The waterfall's geometry: central projection of the unit cube, world mapping of the axes, scale steps.
#pragma once

#include <cstdint>

// A point of the unit cube: x frequency, y level (up), z time, each 0..1.
struct T3dPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The screen window the projection is cut to (projected units) and the pixels it fills.
struct T3dScreen {
    int32_t left = 0, top = 0, right = 200, bottom = 200; // target rectangle, pixels
};

// Central projection from an eye point towards a reference point. The screen's horizontal axis
// lies in the x/z plane, its vertical axis follows y; the reference point lands in the middle
// of the projected window u -0.039..0.028, v -0.043..0.036. Plain value type, any thread.
class T3dProjection {
public:
    static constexpr double kULeft = -0.039, kURight = 0.028; // projected window, horizontal
    static constexpr double kVBottom = -0.043, kVTop = 0.036; // projected window, vertical
    static constexpr double kBehind = 1e-15;                  // depth at or below: not drawn

    T3dProjection() { setView({0.47, -0.12, 0.0}, {5.0, 16.0, 17.1}); }
    // Reference point (FLU) and eye point (BET); recomputes the projection values.
    void setView(T3dPoint ref, T3dPoint eye);
    T3dPoint ref() const { return m_ref; }
    T3dPoint eye() const { return m_eye; }
    void setScreen(const T3dScreen& s);
    const T3dScreen& screen() const { return m_screen; }

    // Depth of a point along the view direction, measured from the eye (exact 0 -> 1e-35).
    double depth(T3dPoint p) const;
    bool inFront(T3dPoint p) const { return depth(p) > kBehind; }
    // Projected coordinates; false (u, v untouched) for a point behind the eye.
    bool project(T3dPoint p, double& u, double& v) const;
    // Pixel of a point; false for a point behind the eye.
    bool pixel(T3dPoint p, double& xPix, double& yPix) const;
    // Pixel of projected coordinates (not rounded).
    void toPixel(double u, double v, double& xPix, double& yPix) const;
    // The segment a..b cut where it passes behind the eye: true when anything of it is in front;
    // a cut end lies just in front of the eye, so the drawn line leaves the picture.
    bool clipSegment(T3dPoint& a, T3dPoint& b) const;

private:
    T3dPoint m_ref, m_eye; // reference and eye point (world units)
    double A = 0, B = 0, C = 0;      // view vector ref - eye
    double VX = 0, VY = 0, VZ = 1;   // vertical screen axis: x and z share, y share (VZ)
    double UX = 0, UY = 0;           // horizontal screen axis, scaled by the view length
    double TA = 0;                   // half the squared view length
    T3dScreen m_screen;
    double sx = 1, ox = 0, sy = 1, oy = 0; // projected -> pixel
};

// World mapping of an axis value to 0..1 with clamping to the limits first; a logarithmic axis
// maps ln(v/min)/ln(max/min) and gives 1 when min or v is 0 or the ratio has no logarithm.
double T3dMapLinear(double v, double min, double max);
double T3dMapLog(double v, double min, double max);

// The grid step ladder 0.01, 0.02, 0.05 ... 5000000: the first value strictly above `teili`;
// 5000000 and more come back unchanged.
double T3dScaleStep(double teili);
