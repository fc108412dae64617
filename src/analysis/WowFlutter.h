// Wow and flutter of a recorded test tone: the speed deviation of a tape or disc transport,
// read from the frequency modulation of a 3000 Hz or 3150 Hz carrier.
#pragma once

#include "analysis/AnalysePara.h"
#include "dsp/Tsamplemem.h"

// Evaluates wow and flutter on a copy of timeSignal (full scale +-1, sample rate ana.fsampFreq)
// with the settings of ana (WuFfreq, WuFeFilter, WuFmode, WuFBP). The spectrum (raw dB per bin,
// ana.lsampFFTPoints points) gives the measured carrier for the drift.
// Returns 20*log10 of the reading in percent of the nominal carrier (0 when there is no
// carrier); stores the reading in % in ana.fresultWuF, the drift in % in ana.fresultWufDrift
// (100 without carrier), and the nominal carrier in ana.fresultFundamental.
// Sets ana.fstep. A missing or too short time signal reads 0 like a missing carrier.
double WowFlutter(const Tsamplemem* spectrum, const Tsamplemem* timeSignal, cAnaPara& ana);
