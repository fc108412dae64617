// Sample memory: spectra (octave smoothing, third-octave bands) and correction curves applied to them.
#include "dsp/Tsamplemem.h"
#include "dsp/TsamplememDetail.h"

#include "dsp/fftKernel.h"

#include "dsp/corObj.h"

#include <algorithm>
#include <bit>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>


using namespace samplememDetail;

// =============================================================================================
// Spectra

// Each point becomes the mean of the valid points in nested windows around it; the windows
// overlap on purpose so that near neighbours weigh more. Points already smoothed feed the later
// ones.
void Tsamplemem::smoothOktFD(int32_t mode) {
    std::vector<int32_t> widths{2, 3, 6};
    if (mode == 1 || mode == 2 || mode == 10) widths.push_back(10);
    if (mode == 1 || mode == 10) widths.push_back(40);
    if (mode == 10) widths.push_back(160);
    const int32_t count = n();
    for (int32_t i = 0; i < count; ++i) {
        if (!(d()[i] > -192.0)) continue;
        double sum = 0.0;
        int32_t used = 0;
        for (int32_t w : widths)
            for (int32_t j = std::max(0, i - w); j <= std::min(count - 1, i + w); ++j)
                if (d()[j] > -192.0) {
                    sum += d()[j];
                    ++used;
                }
        d()[i] = sum / used;
    }
}

int32_t Tsamplemem::octave13FD(const Tsamplemem& xa) {
    const int32_t count = std::min(n(), xa.n());
    const double factor = std::cbrt(2.0);
    double edge = 16.35; // upper edge of the current band, Hz
    for (int32_t i = 0; i < count && std::isfinite(edge); edge *= factor) {
        int32_t j = i;
        double sum = 0.0;
        for (; j < count && xa.d()[j] < edge; ++j)
            sum += d()[j];
        if (j > i) std::fill(d() + i, d() + j, sum / (j - i));
        i = j;
    }
    return n();
}

namespace {

constexpr double kMissingDb = -192.0; // the logarithm of 0 in dB data

// Offs + Fak*20*log10(x), or the missing value when x has no finite logarithm.
double levelDb(double x, double Offs, double Fak) {
    if (!(x > 0.0)) return kMissingDb;
    const double r = Offs + Fak * 20.0 * std::log10(x);
    return std::isfinite(r) ? r : kMissingDb;
}

double corrected(const Tcorri* cor, double v, double f) {
    return cor ? cor->corri(v, f, 0.0) : v;
}

// round(fftp/2) as the spectrum's bin count; halves go to the even neighbour.
int32_t halfBins(int32_t fftp) {
    return static_cast<int32_t>(std::nearbyint(fftp / 2.0));
}

} // namespace

void Tsamplemem::corri(const Tcorri* cor, int32_t fftp, double sf, double Offs, double Fak) {
    corriInd(cor, 0, fftp, sf, Offs, Fak);
}

void Tsamplemem::corriInd(const Tcorri* cor, int32_t Ind, int32_t fftp, double sf, double Offs,
                          double Fak) {
    const int64_t first = std::max<int64_t>(Ind, 0);
    const int64_t end = std::min<int64_t>(int64_t(Ind) + halfBins(fftp), n());
    for (int64_t i = first; i < end; ++i) {
        double& x = d()[i];
        const double v = levelDb(x, Offs, Fak);
        x = v != kMissingDb ? corrected(cor, v, (sf / 2.0) * double(i) / (fftp / 2.0)) : kMissingDb;
    }
}

bool Tsamplemem::corriFastandLog(double Fak, double Offs, const Tsamplemem* Xax, bool log,
                                 const Tcorri* cor, const TLevelPowers* powers) {
    double* x = d();
    const int32_t count = n();
    // An inactive curve returns every value unchanged; a short axis still reports its reads.
    const bool correct =
        Xax && cor && ((cor->getaktiv() && cor->getPaare() > 0) || Xax->samples() < count);
    const bool plain = powers && powers->p && log && cor && !correct && Fak == 1.0 && Offs == 0.0;
    if (!log) {
        for (int32_t i = 0; i < count; ++i)
            x[i] = Offs + Fak * x[i];
    } else if (!cor) {
        std::fill(x, x + count, kMissingDb);
        return false;
    } else if (plain) {
        // The logarithms go to the powers' room first, so that one pass sets both.
        double* p = powers->p;
        fftkernel::log10Array(x, p, size_t(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) {
            const double r = Offs + Fak * 20.0 * p[i];
            const double m = x[i];
            x[i] = std::isfinite(r) ? r : kMissingDb;
            p[i] = !std::isfinite(r) ? powers->missing : r == 0.0 ? 0.0 : m * m;
        }
        return true;
    } else {
        // levelDb over the block: 0, negative and non-finite values all end as missing, as
        // their logarithms (-inf, NaN, +inf) give no finite level.
        fftkernel::log10Array(x, x, size_t(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) {
            const double r = Offs + Fak * 20.0 * x[i];
            x[i] = std::isfinite(r) ? r : kMissingDb;
        }
    }
    if (!correct) return false;
    for (int32_t i = 0; i < count; ++i)
        if (!log || x[i] != kMissingDb) x[i] = cor->corri(x[i], Xax->getsmAr(i), 0.0);
    return false;
}

