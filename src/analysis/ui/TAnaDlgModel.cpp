// The analysis dialog's fields: to and from the settings, the checks of OK and their messages.
#include "analysis/ui/TAnaDlgModel.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

std::optional<int> integerOf(const QString& s) {
    bool ok = false;
    const int v = s.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

// A number typed with "." or "," as the decimal separator.
std::optional<double> numberOf(const QString& s) {
    bool ok = false;
    QString t = s.trimmed();
    double v = t.toDouble(&ok);
    if (!ok) v = t.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

void TAnaDlgModel::load(const cAnaPara& a, double measured) {
    freqLow = QString::number(a.lfvon);
    freqHigh = QString::number(a.lfbis);
    filter = a.filter;
    userFile = a.UserFname;
    fundAuto = a.bFundAuto;
    fundamental = QString::number(std::lround(measured > 0.0 && a.bFundAuto ? measured : a.fManualFundamental));
    const double db = a.fFundlow > 0 ? 20.0 * std::log10(double(a.fFundlow)) : -192.0;
    thresholdDb = QString::number(std::round(db * 100.0) / 100.0);
    harmonics = uint32_t(a.Hx) & kHarmonics;
    thd = harmonics == kHarmonics;
    noise = (a.Hx & 1) != 0;
    percent = a.DistortionUnitInPercent;
    filterFFT = a.bFilterFFT;
    level = a.bLevelmess;
    distortion = a.bTHDmess;
    im = a.bIMmess;
    signalNoise = a.bSignal2Noisemess;
    modDist = a.bModDistMess;
    wowFlutter = a.bWuFmess;
    textLeft = a.bResultTextLeft;
    textRight = a.bResultTextRight;
    details = a.bResultTextDetails;
    textSize = std::clamp(a.iResultTextSize, kTextSizeMin, kTextSizeMax);
}

TAnaDlgModel::Check TAnaDlgModel::validate() const {
    const auto lo = integerOf(freqLow), hi = integerOf(freqHigh);
    if (!lo || *lo < 0) return FreqLow;
    if (!hi || *hi < 0) return FreqHigh;
    if (*hi <= *lo) return FreqOrder;
    const auto f = integerOf(fundamental);
    if (!f || *f < 0) return Fundamental;
    const auto t = numberOf(thresholdDb);
    if (!t || *t > 0.0) return Threshold;
    return Valid;
}

QString TAnaDlgModel::message(Check c, bool german) {
    switch (c) {
    case FreqLow:
        return german ? QStringLiteral("Frequenz low nicht korrekt")
                      : QStringLiteral("Frequency low not correct");
    case FreqHigh:
        return german ? QStringLiteral("Frequenz high nicht korrekt")
                      : QStringLiteral("Frequency high not correct");
    case FreqOrder:
        return german ? QStringLiteral("Frequenz high sollte größer low sein")
                      : QStringLiteral("Frequency high must be greater than low value");
    case Fundamental:
        return german ? QStringLiteral("Grundfrequenz nicht korrekt")
                      : QStringLiteral("Fundamental not correct");
    case Threshold:
        return german ? QStringLiteral("Pegel Schwellwert nicht korrekt")
                      : QStringLiteral("Treshhold Value not correct");
    case Valid:
        break;
    }
    return {};
}

bool TAnaDlgModel::store(cAnaPara& a) const {
    if (validate() != Valid) return false;
    a.lfvon = *integerOf(freqLow);
    a.lfbis = *integerOf(freqHigh);
    a.filter = filter;
    a.UserFname = userFile;
    a.bFundAuto = fundAuto;
    a.fManualFundamental = float(*integerOf(fundamental));
    a.fFundlow = float(std::pow(10.0, *numberOf(thresholdDb) / 20.0));
    a.Hx = int32_t((thd ? kHarmonics : harmonics & kHarmonics) | (noise ? 1u : 0u));
    a.DistortionUnitInPercent = percent;
    a.bFilterFFT = filterFFT;
    a.bLevelmess = level;
    a.bTHDmess = distortion;
    a.bIMmess = im;
    a.bSignal2Noisemess = signalNoise;
    a.bModDistMess = modDist;
    a.bWuFmess = wowFlutter;
    a.bResultTextLeft = textLeft;
    a.bResultTextRight = textRight;
    a.bResultTextDetails = details;
    a.iResultTextSize = std::clamp(textSize, kTextSizeMin, kTextSizeMax);
    // The result lines the text will have; the same count as when the settings are loaded.
    a.iMeasLines = a.countMeasLines();
    return true;
}
