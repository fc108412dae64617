// Texts a sound module hands the program: UTF-8 decoding, bounded copies, the module's file name.
#include "soundModuleText.h"

#include <dlfcn.h>

#include <algorithm>

namespace {

// Length of the sequence a lead byte begins (0 for a byte that cannot begin one).
int sequenceLength(unsigned char b)
{
    return b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
}

// Decodes the sequence at utf8[i]; false when it is not well formed.
bool decode(const std::string& utf8, size_t i, int len, char32_t* cp)
{
    static constexpr char32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000}; // below: overlong
    if (len == 0 || i + size_t(len) > utf8.size())
        return false;
    char32_t c = static_cast<unsigned char>(utf8[i]) & kLeadMask[len];
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(utf8[i + size_t(k)]);
        if ((b >> 6) != 2)
            return false;
        c = (c << 6) | (b & 0x3F);
    }
    *cp = c;
    return c >= kShortest[len] && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
}

void append(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += char16_t(cp);
        return;
    }
    out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
    out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
}

} // namespace

std::u16string soundUtf16(const std::string& utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const int len = sequenceLength(static_cast<unsigned char>(utf8[i]));
        char32_t cp = 0;
        const bool ok = decode(utf8, i, len, &cp);
        append(out, ok ? cp : U'\uFFFD');
        i += ok ? size_t(len) : 1;
    }
    return out;
}

void soundWriteText(char16_t* dst, int maxLen, const std::u16string& s)
{
    if (!dst || maxLen <= 0)
        return;
    const size_t n = std::min(s.size(), size_t(maxLen - 1));
    std::copy_n(s.data(), n, dst);
    dst[n] = 0;
}

std::u16string soundModuleFile()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&soundModuleFile), &info) || !info.dli_fname)
        return {};
    return soundUtf16(info.dli_fname);
}
