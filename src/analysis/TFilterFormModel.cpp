// The filter editor's model.
#include "analysis/TFilterFormModel.h"

#include "base/vlMessages.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

TFilterFormModel::TFilterFormModel(const tFilterBlock& left, const tFilterBlock& right, bool link,
                                   double fs)
    : dEQL(left), dEQR(right), dLinkFromEQL(link),
      m_fs(fs > 0 && std::isfinite(fs) ? fs : 48000.0) {
    for (tFilterBlock* b : {&dEQL, &dEQR}) {
        for (TIIRObj& f : b->aEq)
            f.UseWideLimits(true);
        b->SetDesignSampleRate(m_fs);
    }
    usedBiquads(0);
    usedBiquads(1);
}

TIIRObj& TFilterFormModel::prepare(int side) {
    TIIRObj& f = selected(side);
    f.UseWideLimits(true);
    return f;
}

void TFilterFormModel::selectFilter(int side, int i) {
    if (i < 0 || i >= tFilterBlock::kFilters) return;
    (side == 1 ? dFilterNumR : dFilterNumL) = i;
}

bool TFilterFormModel::setTyp(int side, int typ) {
    if (typ < 0 || typ >= kTypes) return false;
    TIIRObj& f = prepare(side);
    const uint8_t oldTyp = f.Typ(), oldGrad = f.Grad();
    f.SetTyp(uint8_t(typ));
    f.SetGrad(uint8_t(f.GetValidOrder(typ, f.Grad(), f.FilterChar())));
    if (usedBiquads(side) <= (side == 1 ? NUM_BiQuadsR : NUM_BiQuadsL)) return true;
    // A Flat filter taking a type needs sections the side may not have: it stays as it was.
    f.SetTyp(oldTyp);
    f.SetGrad(oldGrad);
    usedBiquads(side);
    refuse();
    return false;
}

bool TFilterFormModel::setOrder(int side, int order) {
    TIIRObj& f = prepare(side);
    const uint8_t old = f.Grad();
    f.SetGrad(uint8_t(std::clamp(order, 1, kIIRMaxOrder)));
    const int limit = side == 1 ? NUM_BiQuadsR : NUM_BiQuadsL;
    if (usedBiquads(side) <= limit) return true;
    f.SetGrad(old);
    usedBiquads(side);
    refuse();
    return false;
}

void TFilterFormModel::refuse() {
    vl::showMessage(vl::MsgKind::Information, "Information",
                    "There are no more biquads available!");
}

void TFilterFormModel::setChar(int side, int c) {
    prepare(side).SetFilterChar(uint8_t(std::clamp(c, 0, 6)));
}

void TFilterFormModel::setFreq(int side, double hz) {
    const TIIRLimits& l = TIIRObj::WideLimits();
    if (std::isfinite(hz))
        prepare(side).SetFreq(std::clamp(hz, l.freqMin, std::min(l.freqMax, m_fs / 2 - 1)));
}

void TFilterFormModel::setGain(int side, double dB) {
    const TIIRLimits& l = TIIRObj::WideLimits();
    if (std::isfinite(dB)) prepare(side).SetGain(std::clamp(dB, l.gainMin, l.gainMax));
}

void TFilterFormModel::setQ(int side, double q) {
    const TIIRLimits& l = TIIRObj::WideLimits();
    if (std::isfinite(q)) prepare(side).SetQ(std::clamp(q, l.qMin, l.qMax));
}

void TFilterFormModel::setBypassFilter(int side, bool on) {
    prepare(side).SetBypassed(on);
}
void TFilterFormModel::setBypassAll(int side, bool on) {
    block(side).bypass = on;
}

void TFilterFormModel::clearFilter(int side) {
    TIIRObj& f = selected(side);
    f.Create();
    f.UseWideLimits(true);
    f.SetDesignSampleRate(m_fs);
    usedBiquads(side);
}

int TFilterFormModel::usedBiquads(int side) {
    int n = 0;
    for (TIIRObj& f : block(side).aEq) {
        if (f.Typ() == iirFlat) continue;
        if ((f.Typ() < iirTP || f.Typ() > iirAP) && f.Grad() != 2) f.SetGrad(2);
        n += (f.Grad() + 1) / 2;
    }
    (side == 1 ? fBiquadsR : fBiquadsL) = n;
    return n;
}

double TFilterFormModel::calcTimePerSample_us(int side) {
    constexpr int kSamples = 10000;
    tFilterBlock& b = block(side);
    std::vector<double> x(kSamples);
    std::mt19937 gen(1234);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (double& v : x)
        v = dist(gen);
    b.ClearData();
    const auto t0 = std::chrono::steady_clock::now();
    if (!b.bypass)
        for (TIIRObj& f : b.aEq)
            if (f.Typ() != iirFlat) f.NewCycleBlock(x.data(), x.data(), x.size());
    const auto t1 = std::chrono::steady_clock::now();
    b.ClearData();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / kSamples;
}

void TFilterFormModel::changed() const {
    if (onChange) onChange();
}

int TFilterFormModel::orderFromIndex(int typ, int index) {
    return typ == iirAP || typ == iirATP ? index + 1 : (index + 1) * 2;
}

int TFilterFormModel::indexFromOrder(int typ, int order) {
    return typ == iirAP || typ == iirATP ? order - 1 : order / 2 - 1;
}

double TFilterFormModel::freqFromPos(int pos, int maximum, double fs) {
    if (maximum <= 0) return 1.0;
    return std::round(std::pow(10.0, pos * std::log10(fs / 2 - 1) / maximum));
}

int TFilterFormModel::posFromFreq(double hz, int maximum, double fs) {
    const double top = std::log10(fs / 2 - 1);
    if (!(hz >= 1.0) || top <= 0) return 0;
    return std::clamp(int(std::lround(std::log10(hz) / top * maximum)), 0, maximum);
}

std::complex<double> TFilterFormModel::response(int side, double hz) const {
    const tFilterBlock& b = block(side);
    std::complex<double> h = 1.0;
    if (b.bypass) return h;
    for (const TIIRObj& f : b.aEq)
        if (f.Typ() != iirFlat && !f.Bypassed()) h *= f.Hz_Complex(hz);
    return h;
}
