// What the wow and flutter setup dialog shows, to and from the analysis settings.
#include "analysis/ui/TWuFSetupModel.h"

#include <algorithm>

namespace {

// Names stored in WuFFilter, per standard item.
const char* const kStandardNames[] = {"NAB", "JIS", "DIN/IEC", "2 Sigma 5s"};

} // namespace

QStringList TWuFSetupModel::freqItems() {
    return {"3.00kHz NAB/JIS", "3.15kHz DIN/IEC "};
}

QStringList TWuFSetupModel::standardItems() {
    return {"NAB", "JIS", "DIN/IEC/CCIR", "2 Sigma 5s"};
}

QStringList TWuFSetupModel::modeItems() {
    return {"W&&F", "Wow", "Flutter"};
}

void TWuFSetupModel::load(const cAnaPara& ana) {
    freqItem = ana.WuFfreq == e3khz ? 0 : 1;
    if (ana.WuFFilter == QLatin1String(kStandardNames[kSigmaItem]))
        standardItem = kSigmaItem;
    else
        standardItem = std::clamp(int(ana.WuFeFilter), 0, 2);
    modeItem = std::clamp(int(ana.WuFmode), 0, 2);
    bandPass = ana.WuFBP;
}

void TWuFSetupModel::store(cAnaPara& ana) const {
    ana.WuFfreq = freqItem == 0 ? e3khz : e315khz;
    const int s = std::clamp(standardItem, 0, kSigmaItem);
    ana.WuFFilter = QLatin1String(kStandardNames[s]);
    if (s != kSigmaItem) ana.WuFeFilter = eWuFMess(s);
    ana.WuFmode = eWuFModi(std::clamp(modeItem, 0, 2));
    ana.WuFBP = bandPass;
}
