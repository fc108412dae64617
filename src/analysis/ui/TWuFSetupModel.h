// What the wow and flutter setup dialog shows: reference frequency, standard, mode, band-pass.
#pragma once

#include "analysis/AnalysePara.h"

#include <QString>
#include <QStringList>

// The dialog's items as indices over a copy of the settings. GUI thread only.
class TWuFSetupModel {
public:
    static QStringList freqItems();      // "Reference Freq.": 3000 Hz, 3150 Hz
    static QStringList standardItems();  // "Meas. standard": NAB, JIS, DIN/IEC/CCIR, 2 Sigma 5s
    static QStringList modeItems();      // "W&&F Mode": W&F, Wow, Flutter (as captions)
    static constexpr int kSigmaItem = 3; // the standard that has a name but no detector

    // Items of the settings; a standard named "2 Sigma 5s" selects that item, any other the
    // detector's item.
    void load(const cAnaPara& ana);
    // The items into the settings: WuFfreq, WuFFilter and WuFeFilter (the fourth standard sets
    // only the name), WuFmode, WuFBP.
    void store(cAnaPara& ana) const;

    int freqItem = 1;     // 0 = 3000 Hz, 1 = 3150 Hz
    int standardItem = 2; // index into standardItems()
    int modeItem = 0;     // 0 W&F, 1 wow, 2 flutter
    bool bandPass = true; // "Bandpass 4Hz" "On"
};
