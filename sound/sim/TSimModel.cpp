// The list of model kinds of the virtual bench and the factory that builds them.
#include "TSimModel.h"

#include "TWireModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

const std::vector<TSimModelKind>& simModelKinds()
{
    // New kinds (amplifier, impedance bench, room, tape deck) are added here; nothing else in
    // the engine or the dialog has to change.
    static const std::vector<TSimModelKind> kinds = {
        {"wire", TWireModel::params(), &TWireModel::make},
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

double simParam(const TSimModelSettings& settings, const TSimParamInfo& info)
{
    std::string key = info.key;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    double v = settings.value(key, info.def);
    if (!std::isfinite(v))
        v = info.def;
    v = std::clamp(v, info.min, info.max);
    return info.decimals == 0 ? std::round(v) : v;
}

std::unique_ptr<TSimModel> simMakeModel(const TSimModelSettings& settings, std::string* notice)
{
    const TSimModelKind* kind = simFindModelKind(settings.kind);
    if (notice)
        notice->clear();
    if (!kind) {
        kind = &simModelKinds().front();
        if (notice)
            *notice = "Model kind \"" + settings.kind + "\" is not available; the " + kind->name +
                      " model is used instead.";
    }
    return kind->make(settings);
}
