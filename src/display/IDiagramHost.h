// What a measurement needs from the diagram window; the window implements it, tests fake it.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QObject;

// The diagram window as the measurements see it. Measurements never include window code: the
// program hands them an implementation. GUI thread only.
class IDiagramHost {
public:
    virtual ~IDiagramHost() = default;
    // Receives result packages (message 1053 made by postPackage, which shares the package).
    virtual QObject* diagramReceiver() = 0;
    // Hosts the secondary panel of a measuring mode (9999 removes it).
    virtual void openSecondaryPanel(int32_t typ) = 0;
    // Diagram settings under a mode's topic of a settings file.
    virtual void loadDiagram(const QString& iniFile, const QString& topic) = 0;
    virtual void saveDiagram(const QString& iniFile, const QString& topic) = 0;
    // Unit texts of the two selectable curves (left, right).
    virtual void setUnitTexts(const QString& left, const QString& right) = 0;
    // FFT size and sample rate (Hz) of the running measurement.
    virtual void setFFTInfo(int32_t fftPoints, int32_t sampleRate) = 0;
    virtual void setMarkerOn(bool first, bool second) = 0;
    // Shows the window and lays it out again.
    virtual void resetDiagram() = 0;
    // y unit text of the cursor read-out ("dB" or "mV").
    virtual void setYUnit(const QString& unit) = 0;
    // Result lines under the diagram, at a font size.
    virtual void setCommentLines(const QStringList& lines, int32_t textSize) = 0;
    // The time diagram's x range (ms from 0) and y unit, when a time diagram is hosted.
    virtual void setTimeDiagramRange(double ms, const QString& yUnit) = 0;
    // "New curve / meas.": the next result goes to the next set of curves.
    virtual void newCurveSet() = 0;
    // Input channel names as the comments of the curves they feed.
    virtual void setCurveComments(const QStringList& names) = 0;
    // The x axis of a measurement over something other than frequency: range and unit
    // ("W", "mV", "ms"); a range from 0 asks for a linear axis. A window without such an axis
    // may leave it as it is.
    virtual void setXAxis(double from, double to, const QString& unit) { (void)from, (void)to, (void)unit; }
    // The impulse measurement's markers the user moves in the time diagram: trigger level (FS),
    // gate end (ms) and manual FFT start (samples); all null: none. Owned by the measurement.
    virtual void setIpsMarkers(double* triggLevel, double* echo_ms, int32_t* manFFTbegin)
    {
        (void)triggLevel, (void)echo_ms, (void)manFFTbegin;
    }
    // The time diagram's FFT range (start and length, ms) and gate end (ms, < 0: none).
    virtual void setTimeLines(double fftBegin_ms, double fftLength_ms, double echo_ms)
    {
        (void)fftBegin_ms, (void)fftLength_ms, (void)echo_ms;
    }
};
