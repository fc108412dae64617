// The Thiele-Small record in force, its INI section "TSP", the result codes' texts and the unit factors.
#pragma once

#include "dsp/evalThieleSmall.h"

#include <QString>

class TMemIniFile;

// The parameters in force (process-wide, GUI thread only).
tTSP& ActiveTSP();

// Section "TSP": inputs and options (the results are not stored).
void TSP_loadfromFile(tTSP& t, const TMemIniFile& ini);
void TSP_savetoFile(const tTSP& t, TMemIniFile& ini);

// The text a result code shows: empty for 0; the frequency texts name f1, fs and f2 of `t`.
QString TSPErrorText(int32_t code, const tTSP& t);

// The area from the diameter (cm^2; the record's own value when the diameter is 0).
double TSPPistonArea_cm2(const tTSP& t);

// Alternative units.
constexpr double kTSPin2PerCm2 = 0.155000310001;
constexpr double kTSPozPerG = 0.0352739619496;
constexpr double kTSPft3PerL = 0.0353146667215;
