// Fuzz target of the correction-file reader: bytes as a file, loaded and interpolated in all modes.
#include "dsp/corObj.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A property the reader promises does not hold: report it and stop, as a crash would.
void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "correction fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The work file, in memory-backed storage when there is some; removed at exit.
const std::string& workFile() {
    static const std::string path = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string tmpl = (base / "velmora-corfuzz-XXXXXX").string();
        require(::mkdtemp(tmpl.data()) != nullptr, "cannot create work folder");
        static const std::string folder = tmpl;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(folder, ec);
        });
        return tmpl + "/input.cor";
    }();
    return path;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string lastMessage; // text of the last message the curve showed

// A loaded curve is either empty and inactive, or at least two finite, strictly ascending points.
void checkShape(const Tcorri& c) {
    const CorrectOTyp& t = c.TheCor();
    require(t.paare == int32_t(t.CorrectW.size()), "point count differs from the points");
    if (!c.getaktiv()) {
        require(t.paare == 0, "inactive curve kept points");
        return;
    }
    require(t.paare >= 2, "active curve with fewer than two points");
    for (size_t i = 0; i < t.CorrectW.size(); ++i) {
        require(std::isfinite(t.CorrectW[i].x) && std::isfinite(t.CorrectW[i].y), "point not finite");
        require(i == 0 || t.CorrectW[i].x > t.CorrectW[i - 1].x, "x not ascending");
    }
}

// Moderate data, for which the spline must stay finite.
bool moderate(const CorrectOTyp& t) {
    for (size_t i = 0; i < t.CorrectW.size(); ++i) {
        const CorrectPoint& p = t.CorrectW[i];
        if (std::fabs(p.y) > 1e6 || std::fabs(p.x) > 1e9) return false;
        if (i > 0 && p.x - t.CorrectW[i - 1].x < 1e-6) return false;
    }
    return true;
}

// Linear and larger-neighbour values lie within the points' range; the spline stays finite.
void checkValues(Tcorri& c) {
    const CorrectOTyp& t = c.TheCor();
    if (t.CorrectW.empty()) {
        require(c.corri(1.5, 1000.0, 2.0) == 1.5, "empty curve changed a value");
        return;
    }
    const auto [lo, hi] = std::minmax_element(t.CorrectW.begin(), t.CorrectW.end(),
                                              [](const CorrectPoint& a, const CorrectPoint& b) { return a.y < b.y; });
    const double freqs[] = {-1.0, 0.0, 5.0, 999.5, 1000.0, 12345.678, 1e30,
                         t.CorrectW.front().x, t.CorrectW.back().x,
                         0.5 * (t.CorrectW.front().x + t.CorrectW.back().x)};
    for (int mode : {0, 2, 3}) {
        c.setMode(mode);
        for (double f : freqs) {
            const double v = c.value(f);
            const double slack = 1e-12 * std::max(std::fabs(lo->y), std::fabs(hi->y));
            if (mode != 0)
                require(v >= lo->y - slack && v <= hi->y + slack, "interpolation outside the points' range");
            else if (moderate(t))
                require(std::isfinite(v), "spline not finite");
        }
    }
    double x = 0, y = 0;
    require(!c.readXYfromCor(0, x, y) && !c.readXYfromCor(t.paare + 1, x, y), "read beyond the points");
    require(c.readXYfromCor(t.paare, x, y) && x == t.CorrectW.back().x, "last point unreadable");
}

// Loading never changes the file, except that a file without any line becomes the defaults.
void checkFile(const std::string& before, char sep) {
    const std::string after = fileBytes(workFile());
    if (lastMessage.find("No lines in file") != std::string::npos) {
        const std::string s(1, sep);
        require(after == "10" + s + "0\r\n1000" + s + "0\r\n20000" + s + "0\r\n", "defaults not written");
    } else {
        require(after == before, "file changed by loading");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Tcorri::MessageSink keepLast = [](const std::string&, const std::string& text) { lastMessage = text; };
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (char sep : {';', ' '}) {
        {
            std::ofstream out(workFile(), std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), std::streamsize(bytes.size()));
            require(bool(out), "cannot write work file");
        }
        lastMessage.clear();
        Tcorri c;
        c.makeCorrArr(workFile(), sep, sep == ' ', keepLast);
        checkShape(c);
        checkFile(bytes, sep);
        checkValues(c);
        c.FITto1kHz();
        checkValues(c);
    }
    return 0;
}
