// Reading number columns of text files from other programs, and the sensitivity line of microphone calibrations.
#include "dsp/columnText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <regex>
#include <system_error>

namespace {

constexpr size_t kMaxSensitivityLine = 256; // longest note searched for a sensitivity, bytes

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool isComment(std::string_view l)
{
    return l.front() == '*' || l.front() == '"' || l.front() == '#' || l.front() == '!' || l.front() == ';' ||
           l.substr(0, 2) == "//";
}

// A whole token as a finite number; ',' read as '.', a leading '+' allowed.
bool toNumber(std::string_view t, double& v)
{
    std::string s(trim(t));
    std::replace(s.begin(), s.end(), ',', '.');
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    if (b == e) return false;
    const auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e && std::isfinite(v);
}

std::vector<std::string_view> split(std::string_view l, std::string_view seps)
{
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= l.size()) {
        const size_t j = std::min(l.find_first_of(seps, i), l.size());
        if (j > i) parts.push_back(l.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

bool allNumbers(const std::vector<std::string_view>& parts, std::vector<double>& v)
{
    v.clear();
    for (std::string_view p : parts) {
        double d = 0.0;
        if (!toNumber(p, d)) return false;
        v.push_back(d);
    }
    return v.size() >= 2;
}

// The numbers of a row (at least two), or false.
bool rowNumbers(std::string_view l, std::vector<double>& v)
{
    if (l.find_first_of(";\t") != std::string_view::npos) return allNumbers(split(l, "; \t"), v);
    if (l.find(',') != std::string_view::npos) {
        std::vector<std::string_view> parts = split(l, ",");
        for (auto& p : parts) p = trim(p);
        if (allNumbers(parts, v)) return true;
    }
    return allNumbers(split(l, " "), v);
}

std::string lineError(size_t line, const char* what)
{
    return "line " + std::to_string(line) + ": " + what;
}

bool fail(std::string* error, std::string text)
{
    if (error) *error = std::move(text);
    return false;
}

bool looksBinary(std::string_view text)
{
    if (text.size() >= 2 && ((uint8_t(text[0]) == 0xFF && uint8_t(text[1]) == 0xFE) ||
                             (uint8_t(text[0]) == 0xFE && uint8_t(text[1]) == 0xFF)))
        return true; // UTF-16 byte order mark
    return text.find('\0') != std::string_view::npos;
}

} // namespace

bool ReadColumnText(std::string_view text, TColumnTable& out, std::string* error)
{
    if (text.size() > kMaxColumnFileBytes) return fail(error, "the file is too large for a curve");
    if (looksBinary(text)) return fail(error, "not a text file (binary data or UTF-16)");
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    TColumnTable t;
    bool phaseEveryRow = true;
    std::vector<double> v;
    size_t lineNo = 0, pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view l = trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (l.empty()) continue;
        if (isComment(l) || (t.x.empty() && !rowNumbers(l, v))) {
            t.notes.emplace_back(l);
            continue;
        }
        if (!rowNumbers(l, v)) return fail(error, lineError(lineNo, "not a row of numbers"));
        if (!t.x.empty() && !(v[0] > t.x.back())) return fail(error, lineError(lineNo, "the frequency does not rise"));
        if (t.x.size() >= kMaxColumnRows) return fail(error, "too many rows for a curve");
        t.x.push_back(v[0]);
        t.y.push_back(v[1]);
        phaseEveryRow = phaseEveryRow && v.size() >= 3;
        if (phaseEveryRow) t.phase.push_back(v[2]);
    }
    if (t.x.size() < 2) return fail(error, "fewer than two rows of numbers");
    if (!phaseEveryRow) t.phase.clear();
    out = std::move(t);
    return true;
}

std::optional<TMicSensitivity> FindMicSensitivity(const std::vector<std::string>& notes)
{
    static const std::regex re(R"(sens[a-z]*\s*(factor)?\s*[=:]?\s*([-+]?[0-9]+(?:[.,][0-9]+)?)\s*(db|mv\s*/\s*pa)?)",
                               std::regex::icase);
    for (const std::string& n : notes) {
        std::smatch m;
        // The library's matcher recurses per character: long lines are no sensitivity line.
        if (n.size() > kMaxSensitivityLine || !std::regex_search(n, m, re)) continue;
        double v = 0.0;
        if (!toNumber(m[2].str(), v)) continue;
        std::string unit = m[3].str();
        std::transform(unit.begin(), unit.end(), unit.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        const bool dB = unit == "db" || (unit.empty() && m[1].matched);
        if (!dB && unit.empty()) continue; // a bare number: unit unknown
        if (!dB && !(v > 0.0)) continue;
        return TMicSensitivity{v, dB};
    }
    return std::nullopt;
}
