// The list of model kinds of the virtual bench and the factory that builds them.
#include "TSimModel.h"

#include "TAmplifierModel.h"
#include "TImpedanceModel.h"
#include "TRoomModel.h"
#include "TTapeModel.h"
#include "TWireModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

const std::vector<TSimModelKind>& simModelKinds()
{
    // A new kind is added here; nothing else in the engine or the dialog has to change.
    static const std::vector<TSimModelKind> kinds = {
        {"wire", "Model", TWireModel::params(), &TWireModel::make},
        {"amplifier", "Amplifier", TAmplifierModel::params(), &TAmplifierModel::make},
        {"impedance", "Impedance", TImpedanceModel::params(), &TImpedanceModel::make},
        {"room", "Room", TRoomModel::params(), &TRoomModel::make, &TRoomModel::check},
        {"tape", "Tape", TTapeModel::params(), &TTapeModel::make},
    };
    return kinds;
}

static bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const TSimModelKind* simFindModelKind(std::string_view name)
{
    for (const auto& k : simModelKinds())
        if (sameText(k.name, name))
            return &k;
    return nullptr;
}

std::string simKey(std::string_view section, std::string_view key)
{
    std::string s;
    s.reserve(section.size() + key.size() + 1);
    s.append(section).append("/").append(key);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

double simParam(const TSimModelSettings& settings, const TSimModelKind& kind, const TSimParamInfo& info)
{
    double v = settings.value(simKey(kind.section, info.key), info.def);
    if (!std::isfinite(v))
        v = info.def;
    v = std::clamp(v, info.min, info.max);
    return info.decimals == 0 ? std::round(v) : v;
}

static const TSimParamInfo* findParam(const TSimModelKind& kind, std::string_view key)
{
    for (const TSimParamInfo& p : kind.params)
        if (sameText(p.key, key))
            return &p;
    return nullptr;
}

double simParam(const TSimModelSettings& settings, std::string_view kindName, std::string_view key)
{
    const TSimModelKind* kind = simFindModelKind(kindName);
    const TSimParamInfo* info = kind ? findParam(*kind, key) : nullptr;
    return info && !info->text ? simParam(settings, *kind, *info) : 0.0;
}

std::string simText(const TSimModelSettings& settings, std::string_view kindName, std::string_view key)
{
    const TSimModelKind* kind = simFindModelKind(kindName);
    const TSimParamInfo* info = kind ? findParam(*kind, key) : nullptr;
    if (!info || !info->text)
        return {};
    return settings.text(simKey(kind->section, info->key), info->text);
}

bool simOutOfRange(const TSimParamInfo& info, double value)
{
    return value < info.min || value > info.max;
}

std::unique_ptr<TSimModel> simMakeModel(const TSimModelSettings& settings, std::string* notice)
{
    const TSimModelKind* kind = simFindModelKind(settings.kind);
    std::string message;
    if (!kind) {
        kind = &simModelKinds().front();
        message = "Model kind \"" + settings.kind + "\" is not available; the " + kind->name +
                  " model is used instead.";
    } else if (kind->check) {
        message = kind->check(settings);
    }
    if (notice)
        *notice = message;
    return kind->make(settings);
}
