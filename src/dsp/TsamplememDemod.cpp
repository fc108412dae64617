// Sample memory: FM demodulation of a recorded carrier (the wow-and-flutter deviation signal).
#include "dsp/Tsamplemem.h"
#include "dsp/TsamplememDetail.h"

#include "dsp/IIR_obj_D.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

using samplememDetail::validRate;

// The demodulator's four low-pass filters (I and Q of the even and of the odd sample): Bessel
// (3 dB), order 8, at 2*carrier (kept below Nyquist, where the design has no solution),
// designed at the data's rate. Each call makes its own, so a demodulation never depends on
// what was demodulated before, nor on another thread.
std::array<TIIRObj, 4> fmLowPasses(double carrier, double SF)
{
    TIIRObj f;
    f.SetDesignSampleRate(SF);
    f.SetTyp(iirTP);
    f.SetFilterChar(chBessel3dB);
    f.SetGrad(8);
    f.SetFreq(std::min(2.0 * carrier, 0.45 * SF));
    return {f, f, f, f};
}

} // namespace

int32_t Tsamplemem::FM_Demodulation(int32_t /*Mode*/, double TraegerF, double SF)
{
    const int32_t count = n();
    if (count == 0)
        return 0;
    if (!validRate(SF) || !(TraegerF > 0.0) || !std::isfinite(TraegerF)) {
        recordError(EsampleMemEx("FM_Demodulation: carrier or sample rate not valid"));
        return 0;
    }
    std::array<TIIRObj, 4> lp = fmLowPasses(TraegerF, SF);
    double* x = d();
    const double w = 2.0 * std::numbers::pi * TraegerF / SF;
    double sum = 0.0;
    for (int32_t i = 0; i < count - 2; i += 2) {
        const double i0 = lp[0].NewCycle(x[i] * std::cos(w * i));
        const double q0 = lp[1].NewCycle(-x[i] * std::sin(w * i));
        const double i1 = lp[2].NewCycle(x[i + 1] * std::cos(w * (i + 1)));
        const double q1 = lp[3].NewCycle(-x[i + 1] * std::sin(w * (i + 1)));
        const double pw = i1 * i1 + q1 * q1 + i0 * i0 + q0 * q0;
        const double r = pw > 0.0 ? std::clamp(2.0 * (i0 * q1 - q0 * i1) / pw, -1.0, 1.0) : 0.0;
        sum += x[i] + x[i + 1];
        x[i] = std::asin(r);
        sum += x[i];
    }
    const double mean = sum / count;
    for (int32_t i = 0; i < count; ++i)
        x[i] = x[i] * 6.8 - mean;
    return count;
}
