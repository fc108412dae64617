// What the FFT measurement needs of the 3D (waterfall) window; the window implements it, tests fake it.
#pragma once

#include <QString>
#include <cstdint>

class TMemIniFile;

// The waterfall window as a measurement sees it. GUI thread only.
class I3DWindow {
public:
    virtual ~I3DWindow() = default;
    // Points per transform: each band gets fftp/2 points; returns that number.
    virtual int32_t setFFTpoints(int32_t fftp) = 0;
    virtual void setSF(int32_t sampleRate) = 0;
    virtual void Clear3DDia() = 0;
    // Bands the waterfall holds.
    virtual int32_t getZBands() const = 0;
    // Shown while the measurement's 3D diagram is the one in use.
    virtual void show3D(bool on) = 0;
    // The window's and both diagrams' settings under Topic (the time diagram's under Topic + "Z").
    virtual void loadDia(const TMemIniFile& ini, const QString& topic) = 0;
    virtual void saveDia(TMemIniFile& ini, const QString& topic) const = 0;
};
