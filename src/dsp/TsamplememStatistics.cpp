// Sample memory: statistics (maxima, peaks, RMS, impulse length, overload) and sorting.
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
// Statistics

int32_t Tsamplemem::getmaxIndex() const {
    int32_t best = 0;
    double bestAbs = 0.0;
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) > bestAbs) {
            bestAbs = std::fabs(d()[i]);
            best = i;
        }
    return best;
}

double Tsamplemem::getmaxVal() const {
    double m = -1e17;
    for (double x : std::span(d(), n()))
        m = x > m ? x : m;
    return m;
}

double Tsamplemem::getmaxVal_vb(int32_t von, int32_t bis) const {
    try {
        if (!inside(von, n()) || !inside(bis, n()) || von > bis)
            raise("\r\ngetmaxVal_vb von, bis, Samples: %d,%d, %d", von, bis, n());
        double m = -1e17;
        for (int32_t i = von; i <= bis; ++i)
            m = d()[i] > m ? d()[i] : m;
        return m;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0.0;
    }
}

int32_t Tsamplemem::getmaxIndexGT(double val) const {
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) > val) return i;
    return n();
}

int32_t Tsamplemem::getPeak(double level) const {
    for (int32_t i = 0; i < n(); ++i)
        if (std::fabs(d()[i]) >= level) return i;
    return -1;
}

// The mean is that of the range's own samples; the spread divides by one less than their
// number (sample standard deviation). `squared`: RMS deviation, else mean absolute deviation.
double Tsamplemem::rangeSpread(int32_t von, int32_t bis, bool squared) const {
    try {
        if (!inside(von, n()) || !inside(bis, n()) || von > bis)
            raise("\r\ngetRMStsLevel von, bis, Samples: %d,%d, %d", von, bis, n());
        const int32_t dof = bis - von;
        if (dof == 0) return 0.0;
        const double mean = std::accumulate(d() + von, d() + bis + 1, 0.0) / (dof + 1.0);
        double sum = 0.0;
        for (int32_t i = von; i <= bis; ++i) {
            const double dev = d()[i] - mean;
            sum += squared ? dev * dev : std::fabs(dev);
        }
        return squared ? std::sqrt(sum / dof) : sum / dof;
    } catch (const EsampleMemEx& e) {
        recordError(e);
        return 0.0;
    }
}

double Tsamplemem::getRMStdLevel(int32_t von, int32_t bis) const { return rangeSpread(von, bis, true); }

double Tsamplemem::getARMtdLevel(int32_t von, int32_t bis) const { return rangeSpread(von, bis, false); }

int32_t Tsamplemem::getmaxValIPSlength(double triggLevLin, double sf, double& Llen_ms) const {
    int32_t bidx = 0, eidx = 0;
    return getmaxValIPSlengthIO(triggLevLin, sf, Llen_ms, bidx, eidx);
}

// Hysteresis detector on a 64-sample moving average of |x|, starting 10 ms into the buffer
// (the history before the start counts as silence). On at the trigger level, off below a third
// of it; an on-phase of 30 samples or less is taken as a click and forgotten.
int32_t Tsamplemem::getmaxValIPSlengthIO(double triggLevLin, double sf, double& Llen_ms,
                                         int32_t& bidx, int32_t& eidx) const {
    Llen_ms = 0.0;
    bidx = eidx = 0;
    if (!(sf > 0) || !(sf * 0.01 < n())) return 0;
    const int32_t start = static_cast<int32_t>(std::lround(sf * 0.01));
    double window = 0.0; // sum of |x| over the last 64 samples
    bool on = false;
    int64_t counter = 0;
    for (int32_t i = start; i < n(); ++i) {
        window += std::fabs(d()[i]);
        if (i - 64 >= start) window -= std::fabs(d()[i - 64]);
        const double avg = window / 64.0;
        if (!on && avg >= triggLevLin) {
            on = true;
            counter = 0;
            bidx = i;
        } else if (on && avg < triggLevLin / 3.0) {
            on = false;
            if (counter > 30) {
                eidx = i;
                break;
            }
            counter = 0;
        }
        if (on) ++counter;
    }
    Llen_ms = static_cast<double>(counter) / sf * 1000.0;
    return 0;
}

void Tsamplemem::checkOver(double overVal, int32_t& Fover) const {
    for (double x : std::span(d(), n()))
        if (std::fabs(x) >= overVal && Fover < 255) ++Fover;
}

void Tsamplemem::checkOverLRLR(double overVal, int32_t& FoverL, int32_t& FoverR) const {
    FoverL = FoverR = 0;
    for (int32_t i = 0; i < n(); ++i) {
        int32_t& counter = (i % 2 == 0) ? FoverL : FoverR;
        if (std::fabs(d()[i]) >= overVal && counter < 255) ++counter;
    }
}

std::string Tsamplemem::makeStr(int32_t von, int32_t bis) const {
    if (!inside(von, n()) || !inside(bis, n()) || von > bis) return "Exception";
    std::string s;
    for (int32_t i = von; i <= bis; ++i) {
        s += ' ';
        appendFixed(s, d()[i], 1);
    }
    return s;
}


// =============================================================================================
// Sorting and duplicates

// Stable ascending order (the order of a bubble sort); NaN values go to the end.
void Tsamplemem::sortWith(std::span<Tsamplemem* const> companions) {
    const int32_t count = n();
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    const double* x = d();
    std::stable_sort(order.begin(), order.end(), [x](int32_t a, int32_t b) {
        return x[a] < x[b] || (!std::isnan(x[a]) && std::isnan(x[b]));
    });
    std::vector<double> tmp(static_cast<size_t>(count));
    auto apply = [&](double* data) {
        for (int32_t i = 0; i < count; ++i)
            tmp[i] = data[order[i]];
        std::copy(tmp.begin(), tmp.end(), data);
    };
    for (Tsamplemem* c : companions)
        apply(c->d());
    apply(d());
}

void Tsamplemem::sort(Tsamplemem* sek1, Tsamplemem* sek2) {
    std::vector<Tsamplemem*> along;
    for (Tsamplemem* s : {sek1, sek2})
        if (s && s != this && s->n() == n() && (along.empty() || along[0] != s)) along.push_back(s);
    sortWith(along);
}

void Tsamplemem::sortCH(std::span<Tsamplemem* const> companions) {
    const bool all = std::all_of(companions.begin(), companions.end(),
                                 [this](const Tsamplemem* c) { return c && c->n() == n(); });
    std::vector<Tsamplemem*> along;
    if (all)
        for (Tsamplemem* c : companions)
            if (c != this && std::find(along.begin(), along.end(), c) == along.end())
                along.push_back(c);
    sortWith(along);
}

// A run of equal values becomes a staircase of 0.01 steps, so that the axis keeps rising
// also when a value occurs three or more times.
void Tsamplemem::remDouble() {
    double previous = n() > 0 ? d()[0] : 0.0; // value of x[i] before it was raised
    for (int32_t i = 0; i + 1 < n(); ++i) {
        const double original = d()[i + 1];
        if (original == previous && previous != 0.0) d()[i + 1] = d()[i] + 0.01;
        previous = original;
    }
}

int32_t Tsamplemem::remDouble2(Tsamplemem* sek1, Tsamplemem* sek2) {
    const int32_t count = n();
    if (count == 0) return 0;
    std::vector<Tsamplemem*> along;
    for (Tsamplemem* s : {sek1, sek2})
        if (s && s != this && s->n() == count && (along.empty() || along[0] != s))
            along.push_back(s);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (i + 1 < count && d()[i + 1] == d()[i]) continue;
        for (Tsamplemem* s : along)
            s->d()[kept] = s->d()[i];
        d()[kept++] = d()[i];
    }
    for (Tsamplemem* s : along)
        s->setSamples(kept);
    setSamples(kept);
    return kept;
}

