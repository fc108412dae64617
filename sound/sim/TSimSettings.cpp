// Range rules of the virtual bench's settings.
#include "TSimSettings.h"

#include <algorithm>

double TSimModelSettings::value(const std::string& key, double def) const
{
    auto it = params.find(key);
    return it == params.end() ? def : it->second;
}

std::string TSimModelSettings::text(const std::string& key, const std::string& def) const
{
    auto it = texts.find(key);
    return it == texts.end() ? def : it->second;
}

bool simRateValid(long long rate)
{
    return rate == 44100 || rate == 48000 || rate == 96000 || rate == 192000;
}

int simRateOrDefault(long long rate)
{
    return simRateValid(rate) ? int(rate) : 48000;
}

int simBitsOrDefault(long long bits)
{
    return bits == 16 || bits == 24 || bits == 32 ? int(bits) : 24;
}

int simClampChannels(long long n)
{
    return int(std::clamp<long long>(n, 1, kSimMaxChannels));
}

int simClampBlock(long long n)
{
    return int(std::clamp<long long>(n, kSimMinBlock, kSimMaxBlock));
}
