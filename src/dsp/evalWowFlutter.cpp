// Wow and flutter: carrier band-pass, FM demodulation, weighting, detector by standard.
#include "dsp/evalWowFlutter.h"

#include "dsp/evalDistortion.h"
#include "dsp/tFilterBlock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kSettling_s = 0.5;      // filter settling discarded before the detector
constexpr double kCarrierHalfBand = 500; // carrier band-pass: F0 +- this, Hz
constexpr double kDemodLowPass = 200;    // low-pass after the demodulator, Hz
constexpr double kWeightingFreq = 4;     // centre of the weighting band-pass, Hz
constexpr double kModeFreq = 10;         // wow / flutter split, Hz

// The gain FM_Demodulation applies to the phase step of each even sample.
constexpr double kDemodGain = 6.8;

// Scale from the filtered demodulator output to the deviation in % of the carrier F0.
//
// FM_Demodulation mixes the signal down to I/Q and writes into every even element the phase
// step between two neighbouring samples, asin(sin(dphi)) = dphi = 2 pi df / SF for a carrier
// deviating by df Hz, times 6.8. The odd elements keep the (scaled) input, i.e. the carrier.
// The 200 Hz low-pass that follows averages the pairs: a sequence that carries the value v on
// every second element and something else on the others has v/2 in its base band; the carrier
// on the odd elements lands at F0 and SF/2 - F0, far in the stop band, as do the demodulator's
// own mixing products around 2 F0. So a deviation df gives
//     y = 6.8 / 2 * 2 pi df / SF = 3.4 * 2 pi * df / SF.
// The deviation in % of the nominal carrier is therefore
//     100 * df / F0 = 100 * y * SF / (3.4 * 2 pi * F0).
// Taking the detector value y itself as the fraction, as a bare 20*log10(y) would, reads
// 2 pi * 3.4 * F0 / SF times the true deviation (1.40 at 3150 Hz and 48 kHz, 1.53 at
// 44.1 kHz), which moreover changes with the sample rate.
double percentPerUnit(double F0, double SF) {
    return 100.0 * SF / (kDemodGain / 2.0 * 2.0 * std::numbers::pi * F0);
}

// One section; the design limits the order (Bessel to 10, band-passes to even orders).
void setFilter(TIIRObj& f, TIIRTyp typ, TIIRChar ch, int order, double hz, double q = 1.0) {
    f.SetParam(typ, order, hz, 0.0, q, f.Amax(), f.Att(), ch);
}

// Step 2: a block of a high-pass at F0 - 500 Hz and a low-pass at F0 + 500 Hz.
void carrierBandPass(tFilterBlock& b, double F0) {
    setFilter(b.aEq[0], iirHP, chBessel3dB, 4, F0 - kCarrierHalfBand);
    setFilter(b.aEq[1], iirTP, chBessel3dB, 4, F0 + kCarrierHalfBand);
    b.bypass = false;
}

// Steps 4 to 6 in one block.
void weightingChain(tFilterBlock& b, const TWowFlutterSettings& w) {
    // Step 4: what is left of the carrier and of the demodulator's mixing products.
    setFilter(b.aEq[0], iirTP, chBessel3dB, 12, kDemodLowPass);
    // Step 5: the weighting band-pass (order 1 is made a second-order band-pass by the design).
    if (w.bandPass && w.standard <= eDINIEC) {
        setFilter(b.aEq[1], iirBP, chBessel3dB, 1, kWeightingFreq, 0.5);
    }
    // Step 6: wow below, flutter above 10 Hz; both: no filter.
    if (w.mode == eWow)
        setFilter(b.aEq[2], iirTP, chButterworth, 8, kModeFreq);
    else if (w.mode == eFlutter)
        setFilter(b.aEq[2], iirHP, chButterworth, 8, kModeFreq);
    b.bypass = false;
}

// Step 8 over von..end.
double detect(const Tsamplemem& x, int32_t von, eWuFMess standard) {
    const int32_t bis = x.samples() - 1;
    switch (standard) {
    case eNab:
        return x.getARMtdLevel(von, bis);
    case eJIS:
        return x.getRMStdLevel(von, bis);
    default: {
        // The peak about the middle of the swing, half the peak-to-peak value: a constant left
        // by a speed error (drift) is no flutter, and the mean of a slow wow over a record that
        // is not a whole number of its periods is not its centre.
        double lo = x.getsmAr(von);
        for (int32_t i = von; i <= bis; ++i)
            lo = std::min(lo, x.getsmAr(i));
        const double peak = (x.getmaxVal_vb(von, bis) - lo) / 2.0;
        return standard == eDINIEC ? peak / std::numbers::sqrt2 : peak;
    }
    }
}

} // namespace

double WowFlutterCarrier(eWuFfreq f) { return f == e3khz ? 3000.0 : 3150.0; }

TWowFlutterResult WowFlutter(const Tsamplemem* spectrum, const Tsamplemem* timeSignal,
                             const TEvalSettings& s, const TWowFlutterSettings& w) {
    TWowFlutterResult r;
    const double SF = s.fsampFreq;
    const double fm = spectrum ? FindFundamental(spectrum, s) : 0.0;
    const double F0 = WowFlutterCarrier(w.carrier);
    r.carrier = F0;

    const int32_t rate = int32_t(std::lround(SF));
    const int32_t von = int32_t(std::lround(kSettling_s * SF));
    const bool usable =
        timeSignal && rate > 2 * (F0 + kCarrierHalfBand) && von < timeSignal->samples() - 1;
    if (fm == 0.0 || !usable)
        return r;

    Tsamplemem x(*timeSignal);
    tFilterBlock band;
    band.SetDesignSampleRate(rate);
    carrierBandPass(band, F0);
    x.timeDomainFilterEQ(rate, band);
    x.FM_Demodulation(0, F0, rate);
    tFilterBlock weighting;
    weighting.SetDesignSampleRate(rate);
    weightingChain(weighting, w);
    x.timeDomainFilterEQ(rate, weighting);

    const double detector = detect(x, von, w.standard);
    r.measured = true;
    r.drift = (fm - F0) / F0 * 100.0;
    r.percent = std::fabs(detector) * percentPerUnit(F0, rate);
    // The result in dB of the fraction, so that 10^(dB/20) * 100 is the reading in %.
    r.dB = r.percent > 0.0 ? 20.0 * std::log10(r.percent / 100.0) : kEvalNoValue_dB;
    return r;
}
