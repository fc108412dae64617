// The oscilloscope's tables and the reading and writing of its settings section.
#include "measurements/TOsziData.h"

#include "base/TMemIniFile.h"

#include <algorithm>
#include <cmath>
#include <variant>

namespace {

const double kVolts[kOsziTableMax + 1] = {1e-4, 2e-4, 5e-4, 1e-3, 2e-3, 5e-3, 1e-2,
                                          2e-2, 5e-2, 0.1,  0.2,  0.5,  1.0,  2.0};
const char* const kVoltLabels[kOsziTableMax + 1] = {"100uV", "200uV", "500uV", "1mV",   "2mV",
                                                    "5mV",   "10mV",  "20mV",  "50mV",  "100mV",
                                                    "200mV", "500mV", "1V",    "2V"};
const double kTimes[kOsziTableMax + 1] = {-1,   2e-5, 5e-5, 1e-4, 2e-4, 5e-4, 1e-3,
                                          2e-3, 5e-3, 1e-2, 2e-2, 5e-2, 0.1,  0.2};
const char* const kTimeLabels[kOsziTableMax + 1] = {"X-Y", "20us", "50us", "100us", "200us",
                                                    "500us", "1ms", "2ms",  "5ms",   "10ms",
                                                    "20ms", "50ms", "100ms", "200ms"};

// One key of the section: its name and the member it stands for.
using tMember = std::variant<int32_t TOsziData::*, bool TOsziData::*, double TOsziData::*, uint32_t TosziScreen::*>;
struct TKey {
    const char* key;
    tMember m;
};

// In the writing order.
const TKey kKeys[] = {
    {"PegCha1Idx", &TOsziData::PegCha1Idx}, {"PegCha2Idx", &TOsziData::PegCha2Idx},
    {"Cha1On", &TOsziData::Cha1On},         {"Cha2On", &TOsziData::Cha2On},
    {"Cha1gnd", &TOsziData::Cha1gnd},       {"Cha2gnd", &TOsziData::Cha2gnd},
    {"Cha1inv", &TOsziData::Cha1inv},       {"Cha2inv", &TOsziData::Cha2inv},
    {"Cha1pos", &TOsziData::Cha1pos},       {"Cha2pos", &TOsziData::Cha2pos},
    {"Add12", &TOsziData::Add12},           {"VperDia", &TOsziData::VperDia},
    {"triggAuto", &TOsziData::triggAuto},   {"triggSlopeP", &TOsziData::triggSlopeP},
    {"triggCha1", &TOsziData::triggCha1},   {"triggLev", &TOsziData::triggLev},
    {"timeBidx", &TOsziData::timeBidx},     {"xMag10", &TOsziData::x10Mag},
    {"XposBegRel", &TOsziData::XposBegRel}, {"SinCr", &TOsziData::SinScr},
    {"linewidth", &TOsziData::LineWidth},   {"triggdelayTime", &TOsziData::Triggdelaytime_s},
    {"triggdelayStore", &TOsziData::TriggDelayStore}, {"triggdelaySingle", &TOsziData::TriggSingle},
    {"autoSamplerate", &TOsziData::AutoSampleRate},
    {"ColCur", &TosziScreen::ColCur},       {"ColText", &TosziScreen::ColText},
    {"ColDia", &TosziScreen::ColDia},       {"ColLine1", &TosziScreen::ColLine1},
    {"ColLine2", &TosziScreen::ColLine2},   {"ColGrid", &TosziScreen::ColGrid},
    {"ColInfoText", &TosziScreen::ColInfoText},
};

double clamp01(double v, double def) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : def; }

void repair(TOsziData& d)
{
    const TOsziData def;
    d.PegCha1Idx = OsziClampIdx(d.PegCha1Idx);
    d.PegCha2Idx = OsziClampIdx(d.PegCha2Idx);
    d.timeBidx = OsziClampIdx(d.timeBidx);
    d.Cha1pos = clamp01(d.Cha1pos, def.Cha1pos);
    d.Cha2pos = clamp01(d.Cha2pos, def.Cha2pos);
    d.triggLev = clamp01(d.triggLev, def.triggLev);
    d.XposBegRel = clamp01(d.XposBegRel, def.XposBegRel);
    d.LineWidth = std::clamp(d.LineWidth, 1, 20);
    d.VperDia = std::max(d.VperDia, 2);
    // A delay beyond a second would never fit a block.
    if (!std::isfinite(d.Triggdelaytime_s)) d.Triggdelaytime_s = 0.0;
    d.Triggdelaytime_s = std::clamp(d.Triggdelaytime_s, 0.0, 1.0);
}

} // namespace

int32_t OsziClampIdx(int32_t idx) { return std::clamp(idx, 0, kOsziTableMax); }
double OsziVoltsPerDiv(int32_t idx) { return kVolts[OsziClampIdx(idx)]; }
QString OsziVoltsLabel(int32_t idx) { return kVoltLabels[OsziClampIdx(idx)]; }
double OsziTimeBase(int32_t idx) { return kTimes[OsziClampIdx(idx)]; }
QString OsziTimeLabel(int32_t idx) { return kTimeLabels[OsziClampIdx(idx)]; }

void LoadOsziData(const TMemIniFile& ini, const QString& section, TOsziData& d, TosziScreen& s)
{
    for (const TKey& k : kKeys) {
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, int32_t TOsziData::*>) d.*m = ini.ReadInteger(section, k.key, d.*m);
                else if constexpr (std::is_same_v<M, bool TOsziData::*>) d.*m = ini.ReadBool(section, k.key, d.*m);
                else if constexpr (std::is_same_v<M, double TOsziData::*>) d.*m = ini.ReadFloat(section, k.key, d.*m);
                else s.*m = uint32_t(ini.ReadInteger(section, k.key, int(s.*m))) & 0xFFFFFFu;
            },
            k.m);
    }
    repair(d);
}

void SaveOsziData(TMemIniFile& ini, const QString& section, const TOsziData& d, const TosziScreen& s)
{
    for (const TKey& k : kKeys) {
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, int32_t TOsziData::*>) ini.WriteInteger(section, k.key, d.*m);
                else if constexpr (std::is_same_v<M, bool TOsziData::*>) ini.WriteBool(section, k.key, d.*m);
                else if constexpr (std::is_same_v<M, double TOsziData::*>) ini.WriteFloat(section, k.key, d.*m);
                else ini.WriteInteger(section, k.key, int(s.*m));
            },
            k.m);
    }
}
