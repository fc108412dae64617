// The settings the diagram options dialog edits, taken from and written back to a diagram.
#pragma once

#include "display/diaTypes.h"

#include <QFont>
#include <QString>

class TDiagramm;

// Cursor read-out of the main diagram: the three measuring modes and the crosshair exclude
// each other.
enum class TDiaCursorMode : uint8_t { None, Level, Frequency, Slope, Crosshair };

// Default colours of the "default" button (0x00BBGGRR).
constexpr TColorBGR kDiaDefColDiagram = 0xFFFFFF;
constexpr TColorBGR kDiaDefColGrid = 12632256;   // 0xC0C0C0
constexpr TColorBGR kDiaDefColMargin = 12639424; // 0xC0DCC0
constexpr TColorBGR kDiaDefColSoundOn = 0xD0FF90;
constexpr TColorBGR kDiaDefColSoundOff = 15790320; // 0xF0F0F0

// Everything "Diagram Options" shows. The diagram window fills it (fromDiagram plus its own
// sound-button colours, font and clear flags), lets the dialog edit a copy, and on OK or Apply
// writes it back (applyTo plus its own parts). Plain value type; GUI thread only.
struct TDiaOptions {
    TDiaCursorMode cursorMode = TDiaCursorMode::Crosshair; // "Measurem. of"
    bool harmonicMarkers = false;                     // "harmonic markers" with the crosshair
    bool yStepAuto = true;                            // "Auto": automatic y grid step
    bool logX = true;                                 // "log. X-Diagram"
    double yStep = 10.0;                              // y grid step when not automatic, y units
    enumYaxisMode yAxisMode = eYAMnormal;             // "y-axis"
    double xFactor = 1.0;                             // x data factor ("special")
    QString xUnit = "Hz";                             // x unit text ("special")
    double yFactor = 1.0;                             // y data factor ("special")
    double yOffset = 0.0;                             // y data offset ("special")
    bool pinkNoise = false;                           // "pink noise corr."
    TColorBGR colDiagram = kDiaDefColDiagram;         // plot area
    TColorBGR colGrid = kDiaDefColGrid;               // grid lines
    TColorBGR colMargin = kDiaDefColMargin;           // margin and window background
    TColorBGR colSoundOn = kDiaDefColSoundOn;         // main window's sound button while on
    TColorBGR colSoundOff = kDiaDefColSoundOff;       // main window's sound button while off
    QFont font;                                       // diagram window font
    bool clearCurves = true;      // "clear curves" clears the data (ConCCcurves)
    bool clearSelections = false; // "clear curves" resets the selection (ConCCselections)

    // The diagram's parts (cursor mode, axes, factors, colours, font); the rest keep defaults.
    static TDiaOptions fromDiagram(const TDiagramm& dia);
    // Writes the diagram's parts back (each setter repaints).
    void applyTo(TDiagramm& dia) const;
    // The five colours of the "default" button.
    void setDefaultColors();
};
