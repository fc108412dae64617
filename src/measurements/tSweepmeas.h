// The sweep measurement of modes 3, 6, 7 and 8: the main window's side of the sweep engine.
#pragma once

#include "measurements/MeasurementClass.h"
#include "measurements/Tsweepfrm2.h"

#include <QString>
#include <memory>

class IDiagramHost;
class TMemIniFile;

// Connects the sweep engine to the main window: settings ("WOB" and the mode's analysis and
// spectrum settings), the generator record kept and given back, start and stop, the block
// notifications. Modes 6 and 8 add only their evaluation to the engine. GUI thread only.
class tSweepmeas : public tMeasureObj {
public:
    explicit tSweepmeas(IDiagramHost* host = nullptr);
    ~tSweepmeas() override;

    eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                  const Tcorri* dCor) override;
    eMeasRes DeInit(int32_t para) override;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double para) override;
    eMeasRes Mstart(int32_t para) override;
    // 0 (every block) for a synchronous sweep, else the frame resolution.
    double calcGoodFrameRate_ms() override;
    void LoadFromIni(const QString& LOADname) override;
    void saveToINI(const QString& savename) override;
    eMeasRes SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor) override;
    eMeasRes SetChannels(int32_t iCha, int32_t oCha) override;
    void BuildDia();
    // The run state follows the engine's.
    void WobEvent();

    QStringList resultText() const override;
    QJsonObject resultFigures() const override;
    int32_t framesDrawn() const override { return m_engine.packagesSent(); }
    uint32_t overloadedChannels() const override;
    bool endedByItself() const override { return !getMeasRun() && m_engine.ranToEnd(); }

    // As for the FFT measurement: the main window's settings file (and its copy in memory),
    // frame resolution, calibration and input filters.
    void setSettingsIni(TMemIniFile* ini) { m_sharedIni = ini; }
    void setFrameResolution_ms(double ms) { m_frameResol_ms = ms; }
    void setCalibration(const TLevelCalibration* cal) { m_calibration = cal; m_engine.setCalibration(cal); }
    void setInputFilters(tFilterBlockSet* blocks) { m_engine.setInputFilters(blocks); }
    // The progress display (SweepShowFreq), called after every change the display shows.
    void setProgressDisplay(std::function<void()> show) { m_progress = std::move(show); }

    Tsweepfrm2& engine() { return m_engine; }
    const Tsweepfrm2& engine() const { return m_engine; }
    int32_t mode() const { return m_mode; }

private:
    bool isShared(const QString& name) const;
    QStringList tspLines() const;

    IDiagramHost* m_host;                 // diagram window, not owned (may be null)
    Tsweepfrm2 m_engine;                  // the hidden engine window
    TwaveGO SoundMerk{};                  // generator record at Init, given back at DeInit
    bool m_soundKept = false;             // SoundMerk holds a record
    cFFTdat* AnaFFTdM = nullptr;          // spectrum settings, not owned
    cAnaPara* AnadataM = nullptr;         // analysis settings, not owned
    std::unique_ptr<Tcorri> dispCor, inCor, outCor; // copies of the corrections
    const TLevelCalibration* m_calibration = nullptr; // not owned (may be null)
    TMemIniFile* m_sharedIni = nullptr;   // the program's settings in memory, not owned
    double m_frameResol_ms = 100.0;       // rate limit of the asynchronous sweep
    int32_t m_mode = 3;                   // measuring mode 3, 6, 7 or 8
    std::function<void()> m_progress;     // the main window's progress display
};

// The diagram settings' section of a mode: a sweep mode's topic followed by its reference name
// ("sweepSTEREOnoref"), every other mode's topic as it is.
QString DiagramTopicFor(int32_t mode, tmRefMess ref);
