// Diagram options: reading them from a diagram and writing them back.
#include "display/TDiaOptions.h"

#include "display/TDiagramm.h"

namespace {

TDiaCursorMode cursorModeOf(const TDiagramm& dia) {
    if (dia.CrossHair()) return TDiaCursorMode::Crosshair;
    if (dia.Level_m()) return TDiaCursorMode::Level;
    if (dia.Freq_m()) return TDiaCursorMode::Frequency;
    if (dia.Flanke_m()) return TDiaCursorMode::Slope;
    return TDiaCursorMode::None;
}

void applyCursorMode(TDiagramm& dia, TDiaCursorMode m) {
    dia.setLevel_m(false);
    dia.setFreq_m(false);
    dia.setFlanke_m(false);
    dia.setCrossHair(m == TDiaCursorMode::Crosshair);
    if (m == TDiaCursorMode::Level) dia.setLevel_m(true);
    if (m == TDiaCursorMode::Frequency) dia.setFreq_m(true);
    if (m == TDiaCursorMode::Slope) dia.setFlanke_m(true);
}

} // namespace

TDiaOptions TDiaOptions::fromDiagram(const TDiagramm& dia) {
    TDiaOptions o;
    o.cursorMode = cursorModeOf(dia);
    o.harmonicMarkers = dia.HarmMarks();
    o.yStepAuto = dia.YstepAuto();
    o.logX = dia.xSkalalog();
    o.yStep = dia.YDiaSteps();
    o.yAxisMode = dia.YaxisMode();
    o.xFactor = dia.xSkalFaktor();
    o.xUnit = dia.xEinheit();
    o.yFactor = dia.ySkalFaktor();
    o.yOffset = dia.ySkalOffset();
    o.pinkNoise = dia.comppink();
    o.colDiagram = dia.Color_Diagram();
    o.colGrid = dia.Color_Grid();
    o.colMargin = dia.Color_Margin();
    o.font = dia.font();
    return o;
}

void TDiaOptions::applyTo(TDiagramm& dia) const {
    applyCursorMode(dia, cursorMode);
    dia.setHarmMarks(harmonicMarkers);
    dia.setxSkalFaktor(xFactor);
    dia.setxEinheit(xUnit);
    dia.setySkalFaktor(yFactor);
    dia.setySkalOffset(yOffset);
    dia.setcomppink(pinkNoise);
    dia.setColor_Diagram(colDiagram);
    dia.setColor_Grid(colGrid);
    dia.setColor_Margin(colMargin);
    dia.setFont(font);
    dia.setYaxisMode(yAxisMode);
    dia.setYDiaSteps(yStep);
    dia.setYstepAuto(yStepAuto);
    dia.setxSkalalog(logX);
}

void TDiaOptions::setDefaultColors() {
    colDiagram = kDiaDefColDiagram;
    colGrid = kDiaDefColGrid;
    colMargin = kDiaDefColMargin;
    colSoundOn = kDiaDefColSoundOn;
    colSoundOff = kDiaDefColSoundOff;
}
