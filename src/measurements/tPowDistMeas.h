// The distortion-versus-power measurement (mode 10): the framework's side of the power-THD engine.
#pragma once

#include "measurements/MeasurementClass.h"
#include "measurements/TPowThdForm.h"

#include <memory>

class IDiagramHost;
class TMemIniFile;

// Owns the engine (TPowThdForm). Init loads the settings (section "POWTHD", the engine's FFT
// and analysis settings under "powThdmeas"), keeps a copy of the generator record and attaches
// the engine to the diagram window; DeInit restores the generator, saves and stops. Mstart
// toggles the run; Mexecute hands every block notification to the engine as message 1054.
// Running means the engine runs. GUI thread only.
class tPowDistMeas : public tMeasureObj {
public:
    explicit tPowDistMeas(IDiagramHost* host = nullptr);
    ~tPowDistMeas() override;

    bool getMeasRun() const override { return m_engine.sweepruns(); }
    eMeasRes Init(cFFTdat* para1, cAnaPara* para2, const Tcorri* iCor, const Tcorri* oCor,
                  const Tcorri* dCor) override;
    eMeasRes DeInit(int32_t para) override;
    int32_t Mexecute2(int32_t) override { return 0; }
    eMeasRes Mexecute(double para) override;
    eMeasRes Mstart(int32_t para) override;
    double calcGoodFrameRate_ms() override { return 0.0; }
    void LoadFromIni(const QString& LOADname) override;
    void saveToINI(const QString& savename) override;
    eMeasRes SetCors(const Tcorri* iCor, const Tcorri* oCor, const Tcorri* dCor) override;
    eMeasRes SetChannels(int32_t iCha, int32_t oCha) override;
    // One line per measured step: x, THD of the used channels.
    QStringList resultText() const override;
    int32_t framesDrawn() const override;
    uint32_t overloadedChannels() const override { return m_engine.overL; }

    // The settings file (its name) and the program's copy of it in memory (may be null; not
    // owned): LoadFromIni and saveToINI of that name use the memory copy.
    void setSettingsIni(TMemIniFile* ini) { m_sharedIni = ini; }
    void setCalibration(const TLevelCalibration* cal) { m_engine.setCalibration(cal); }
    TPowThdForm& engine() { return m_engine; }
    const TPowThdForm& engine() const { return m_engine; }
    // Shows the diagram window anew (callback command 4 with 0).
    void BuildDia();

private:
    void load(const TMemIniFile& ini);
    void save(TMemIniFile& ini) const;

    IDiagramHost* m_host;             // diagram window, not owned (may be null)
    TPowThdForm m_engine;             // the engine and its settings
    TwaveGO SoundMerk{};              // the generator record before Init
    bool m_haveSoundMerk = false;     // SoundMerk holds a copy
    cFFTdat* AnaFFTdM = nullptr;      // shared FFT settings, not owned
    cAnaPara* AnadataM = nullptr;     // shared analysis parameters, not owned
    std::unique_ptr<Tcorri> inCor, outCor, dispCor; // copies of the corrections
    TMemIniFile* m_sharedIni = nullptr; // its copy in memory, not owned
};
