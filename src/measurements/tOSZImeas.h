// The oscilloscope measurement (mode 9): feeds every block to the scope and keeps its settings.
#pragma once

#include "measurements/MeasurementClass.h"

#include <QString>
#include <functional>

class IDiagramHost;
class TMemIniFile;
class TOsziScope;
struct TLevelCalibration;

// Init loads the settings (FFT section "Oszi", the scope's "oszi"), opens the diagram window's
// scope panel and sizes the block; Mstart runs or stops the input; Mexecute fetches the newest
// block of getSampleCount samples, runs the scope's frame and asks for a repaint. The scope
// (the window's state) is not owned and outlives the measurement. GUI thread only.
class tOSZImeas : public tMeasureObj {
public:
    tOSZImeas(TOsziScope* scope, IDiagramHost* host = nullptr);
    ~tOSZImeas() override;

    eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                  const Tcorri* dCor) override;
    eMeasRes DeInit(int32_t para) override;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double para) override;
    eMeasRes Mstart(int32_t para) override;
    // min(duration of the last frame + the frame resolution, 1000) ms.
    double calcGoodFrameRate_ms() override;
    void LoadFromIni(const QString& LOADname) override;
    void saveToINI(const QString& savename) override;
    eMeasRes SetCors(const Tcorri*, const Tcorri*, const Tcorri*) override { return mereOK; }
    eMeasRes SetChannels(int32_t iCha, int32_t oCha) override;
    // "frames drawn" and the read-out line of the shown channels.
    QStringList resultText() const override;
    int32_t framesDrawn() const override { return m_frames; }
    uint32_t overloadedChannels() const override { return m_over; }
    // Shows the diagram window with the scope (callback command 4 with 0).
    void BuildDia();
    // The block size follows the scope's timebase (after the dialog changed it); with the
    // automatic sample rate the input moves to the rate the timebase wants.
    void timebaseChanged();

    void setSettingsIni(TMemIniFile* ini) { m_sharedIni = ini; }
    void setCalibration(const TLevelCalibration* cal) { m_calibration = cal; }
    void setFrameResolution_ms(double ms) { m_frameResol_ms = ms; }
    // Called after every shown frame and every settings change: the window repaints.
    std::function<void()> onRepaint;
    double theTime = 100.0; // duration of the last update, ms

private:
    void load(const TMemIniFile& ini);
    void save(TMemIniFile& ini) const;
    bool startInput();
    void repaint() const {
        if (onRepaint) onRepaint();
    }

    TOsziScope* m_scope;                              // the scope window's state, not owned
    IDiagramHost* m_host;                             // diagram window, not owned (may be null)
    cFFTdat* AnaFFTdM = nullptr;                      // shared FFT settings, not owned
    cAnaPara* AnadataM = nullptr;                     // shared analysis parameters, not owned
    const TLevelCalibration* m_calibration = nullptr; // not owned; null: the defaults
    TMemIniFile* m_sharedIni = nullptr;               // its copy in memory, not owned
    double m_frameResol_ms = 100.0;                   // the main window's frame resolution
    int32_t m_frames = 0;                             // frames shown since Init
    uint32_t m_over = 0;                              // channels at full scale in the last block
    std::vector<Tsamplemem> m_blocks;                 // the two channel buffers of a block
};
