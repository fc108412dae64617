// TDiagramm: the mouse cursor read-out (frequency, level and slope between two points).
#include "display/TDiagramm.h"

#include <cmath>

namespace {
constexpr int32_t kLeaveMargin = 4; // pixels outside the plot before the cursor is cleared
}

void TDiagramm::clearMouseCur(bool c)
{
    curposX = curposXn = curposY = curposYn = -1;
    dispVar = 0;
    Xtext.clear();
    Ytext.clear();
    CarDiftxt.clear();
    m_cross.readout = TReadout();
    m_cross.box = QRect();
    if (c)
        repaintOnly();
}

void TDiagramm::mouseDown(int32_t button, int32_t x, int32_t y)
{
    m_mouseX = x;
    m_mouseY = y;
    if (!crossActive()) {
        curposX = x;
        curposY = y;
    } else if (button == 1)
        m_cross.press = QPoint(x, y);
    FcurXval = PixToX(x);
    const TYAXgroup& g = aYgroup[size_t(std::clamp(aline[0].Cygroup, 0, kDiaCurves - 1))];
    const double ppy = aline[0].PixYPdat != 0.0 ? aline[0].PixYPdat : 1.0;
    curYval = g.Fymax - (y - m_diareci.top()) / ppy;
    if (button == 1 && OnLeftMouseButClick)
        OnLeftMouseButClick();
    if (button == 2 && OnRightMouseButClick)
        OnRightMouseButClick();
    repaintOnly();
}

void TDiagramm::mouseUp(int32_t button, int32_t x, int32_t y)
{
    if (crossActive()) {
        crossUp(button, x, y);
        return;
    }
    if (button == 2) {
        mctoggle = false;
        clearMouseCur(true);
        return;
    }
    if (button != 1)
        return;
    const bool wasSet = mctoggle;
    mctoggle = !mctoggle;
    if (wasSet)
        clearMouseCur(true);
}

void TDiagramm::cursorFrequency(int32_t x)
{
    curposXn = x;
    const double f2 = PixToX(x);
    Xtext = QString::number(f2, 'f', 1) + xEinH;
    if (Fmfreq)
        dispVar = 1;
}

// Level difference in y units between the stored and the current y; false when it is 0.
bool TDiagramm::cursorLevel(int32_t y, double& d)
{
    curposYn = y;
    const double ppy = aline[0].PixYPdat;
    d = (curposY - y) / ppy;
    if (d == 0.0)
        return false;
    const double fac = std::pow(10.0, d / 20.0);
    QString facText;
    if (d >= 0)
        facText = QString::number(fac, 'f', 1) + " times";
    else {
        const double pc = 100.0 * fac;
        facText = QString::number(pc, 'f', pc > 1 ? 1 : 5) + "%";
    }
    Ytext = QString::number(d, 'f', std::fabs(d) >= 1 ? 1 : 2) + yEinH;
    if (yEinH == "dB")
        Ytext += " / " + facText;
    if (Fmpeg)
        dispVar = 2;
    return true;
}

void TDiagramm::mouseMove(int32_t x, int32_t y)
{
    m_mouseX = x;
    m_mouseY = y;
    if (crossActive()) {
        crossMove(x, y);
        return;
    }
    const QRect outer = m_diareci.adjusted(-kLeaveMargin, -kLeaveMargin, kLeaveMargin, kLeaveMargin);
    if (!outer.contains(x, y)) {
        if (curposX >= 0 || dispVar != 0)
            clearMouseCur(true);
        return;
    }
    const bool haveX = (Fmfreq || Fmflan) && curposX >= 0;
    const bool haveY = (Fmpeg || Fmflan) && curposY >= 0;
    if (!haveX && !haveY)
        return;
    double ratio = 1.0, d = 0.0;
    if (haveX) {
        cursorFrequency(x);
        const double f1 = PixToX(curposX), f2 = PixToX(x);
        ratio = std::max(f1, f2) / std::min(f1, f2);
    }
    if (haveY && !cursorLevel(y, d)) {
        if (!haveX || Fmflan)
            return;
    }
    setCursorTexts(d, ratio, haveX, haveY);
    repaintOnly();
}

void TDiagramm::setCursorTexts(double d, double ratio, bool haveX, bool haveY)
{
    if (Fmflan && haveX && haveY) {
        const double slope = std::fabs(d / (std::log(ratio) / std::log(2.0)));
        Xtext = QString::number(slope, 'f', 1) + yEinH + "/Okt";
        dispVar = 3;
        if (!std::isfinite(slope))
            Xtext = Ytext = CarDiftxt = QStringLiteral("FP error");
    }
    if (!std::isfinite(d) || !std::isfinite(ratio))
        Xtext = Ytext = CarDiftxt = QStringLiteral("FP error");
}
