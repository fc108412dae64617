// Thiele-Small parameters from impedance curves: the resonance and Q-frequency searches and the parameter calculation.
#pragma once

#include <cstdint>
#include <span>

// The current parameters and their inputs. One process-wide record holds them (ActiveTSP in the
// measurements layer); the sweep dialog edits a copy. Units as in the field comments.
struct tTSP {
    double Sd_cm = 30.0;       // effective piston area, cm^2 (from the diameter when that is not 0)
    double durch_mm = 300.0;   // effective diameter, mm
    double Vb_dm = 60.0;       // test cabinet volume, litres (closed-box method)
    double Mms_g = 20.0;       // added test mass, g (added-mass method)
    double Zmax = 0.0;         // impedance maximum, ohms
    double Rdc = 0.0;          // DC resistance, ohms: the impedance minimum, or the forced value
    double fs = 0.0;           // resonance of the first measurement, Hz
    double fsm = 0.0;          // kept for the record's layout; the second resonance stays inside the calculation
    double f1 = -1.0;          // lower crossing of R1, Hz (-1: not found)
    double f2 = -1.0;          // upper crossing of R1, Hz (-1: not found)
    double R1 = 0.0;           // sqrt(Rdc * Zmax), ohms
    double K = 0.0;            // Zmax / Rdc
    double Mmd_g = -1.0;       // moving mass, g (-1: not determined)
    double Cms_mmN = -1.0;     // suspension compliance, mm/N (-1: not determined)
    double Qms = 0.0;          // mechanical Q
    double Qel = 0.0;          // electrical Q
    double Qts = 0.0;          // total Q
    double Vas_dm = 0.0;       // equivalent compliance volume, litres
    bool bVorgabeRdc = false;  // use the forced DC resistance
    double fVorgabeRdc = 4.0;  // forced DC resistance, ohms
    bool VasoverVb = false;    // closed-box method (true) instead of the added-mass method
    bool bAltUnits = false;    // the dialog shows inch / ounce / cubic-foot units
    int32_t OK = 0;            // result code of the last calculation
};

// An impedance curve: Z in ohms at the frequencies F in Hz (same length; F rising).
struct TImpCurve {
    std::span<const double> Z;
    std::span<const double> F;
    bool empty() const { return Z.empty() || F.empty(); }
};

// Resonance search: Zmax, Rdc and fs of the record from the curve's points whose Z lies in
// [0, 1e10]. fs and Zmax sit at the vertex of a parabola through the maximum and its two
// neighbours over log f (the maximum point itself where that is not possible). Returns 0, 100
// (no point) or 102 (the maximum is the last point). f1 and f2 become -1.
int32_t TSPResonanceSearch(const TImpCurve& c, tTSP& t);
// Resonance search, then K, R1 and the crossings f1, f2 of R1, each interpolated over log f
// between its two bracketing points. Returns 0, 101 (Rdc 0), 103 (fs outside f1..f2) or the
// resonance search's code.
int32_t TSPQFrequencySearch(const TImpCurve& c, tTSP& t);
// The calculation: Q factors from the first curve (when not empty), then Mmd, Cms and Vas from
// the second (when not empty) with the stored first results, by the added-mass or closed-box
// method. Returns the result code and stores it in t.OK.
int32_t TSPCalculation(const TImpCurve& first, const TImpCurve& second, tTSP& t);
