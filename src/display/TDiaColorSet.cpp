// Colours of a secondary diagram: defaults, reading and writing.
#include "display/TDiaColorSet.h"

#include "display/TDiagramm.h"

TDiaColorSet TDiaColorSet::defaults(bool oszi, TColorBGR mainWindowColor) {
    TDiaColorSet s;
    if (oszi) {
        s.diagram = 0x808000;
        s.grid = 8421504;
        s.margin = 0x8000;
        s.curve = 0x8000;
        s.fftLine = 255;
        s.echoPoint = 0xFF0000;
    } else {
        s.diagram = 0xFFFFFF;
        s.grid = 12632256;
        s.margin = mainWindowColor;
        s.curve = 0xFF0000;
        s.fftLine = 0x8000;
        s.echoPoint = 255;
    }
    s.infoText = 0;
    return s;
}

TDiaColorSet TDiaColorSet::fromDiagram(const TDiagramm& dia) {
    TDiaColorSet s;
    s.diagram = dia.Color_Diagram();
    s.grid = dia.Color_Grid();
    s.margin = dia.Color_Margin();
    s.curve = dia.getColline(0);
    s.fftLine = dia.Color_RangeL();
    s.echoPoint = dia.Color_ExtraL();
    s.infoText = dia.Color_Text();
    return s;
}

void TDiaColorSet::applyTo(TDiagramm& dia) const {
    dia.setColor_Diagram(diagram);
    dia.setColor_Grid(grid);
    dia.setColor_Margin(margin);
    dia.setColline(0, curve);
    dia.setColor_RangeL(fftLine);
    dia.setColor_ExtraL(echoPoint);
    dia.setColor_Text(infoText);
}
