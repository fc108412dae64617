// Fuzz target of the column reader (FRD, ZMA, CSV, text, microphone files): bytes as text, read, checked, written and read again.
#include "dsp/columnText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// A property the reader promises does not hold: report it and stop, as a crash would.
void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "column fuzz check failed: %s\n", what);
        std::abort();
    }
}

// A read table: at least two rows of finite numbers, x strictly rising, phase for all or none.
void checkTable(const TColumnTable& t)
{
    require(t.x.size() >= 2 && t.x.size() <= kMaxColumnRows, "row count out of range");
    require(t.y.size() == t.x.size(), "y count differs");
    require(t.phase.empty() || t.phase.size() == t.x.size(), "phase count differs");
    for (size_t i = 0; i < t.x.size(); ++i) {
        require(std::isfinite(t.x[i]) && std::isfinite(t.y[i]), "value not finite");
        require(i == 0 || t.x[i] > t.x[i - 1], "x does not rise");
    }
}

// Written with 17 digits and read again, the rows come back exactly.
void checkRoundTrip(const TColumnTable& t)
{
    std::string text = "* written back\n";
    char buf[96];
    for (size_t i = 0; i < t.x.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%.17g %.17g", t.x[i], t.y[i]);
        text += buf;
        if (!t.phase.empty()) {
            std::snprintf(buf, sizeof buf, " %.17g", t.phase[i]);
            text += buf;
        }
        text += '\n';
    }
    TColumnTable back;
    std::string why;
    require(ReadColumnText(text, back, &why), "written table not read back");
    require(back.x == t.x && back.y == t.y && back.phase == t.phase, "rows changed in a round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TColumnTable t;
    t.x = {-1.0};
    std::string why;
    if (!ReadColumnText(text, t, &why)) {
        require(!why.empty(), "refusal without a reason");
        require(t.x.size() == 1 && t.x[0] == -1.0 && t.y.empty(), "a refused text changed the table");
        return 0;
    }
    checkTable(t);
    if (const auto s = FindMicSensitivity(t.notes))
        require(std::isfinite(s->value) && (s->inDecibel || s->value > 0.0), "sensitivity out of range");
    checkRoundTrip(t);
    return 0;
}
