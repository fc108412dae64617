// Correction curves: interpolated (x, y) tables read from text files, tables or sample buffers.
#include "dsp/corObj.h"

#include "dsp/Tsamplemem.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------------------------
// Messages

void writeToStderr(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "velmora %s: %s\n", title.c_str(), text.c_str());
}

// ---------------------------------------------------------------------------------------------
// Reading text files

// Lines of a file in fixed-size chunks, so a file of any size or line length needs bounded
// memory. LF, CR LF and a lone CR end a line; a line longer than the cap is cut and flagged.
class LineReader {
public:
    explicit LineReader(std::FILE* f) : m_f(f) {}

    // The next line without its end; false when the file has no more lines.
    bool next(std::string& line, bool& tooLong) {
        line.clear();
        tooLong = false;
        bool any = false;
        for (;;) {
            if (m_pos == m_len && !refill()) return any;
            if (m_skipLF) { // the LF of a CR LF that straddled a chunk or a call
                m_skipLF = false;
                if (m_buf[m_pos] == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            any = true;
            if (scan(line, tooLong)) return true;
        }
    }

    bool failed() const { return std::ferror(m_f) != 0; }

private:
    bool refill() {
        m_len = std::fread(m_buf, 1, sizeof m_buf, m_f);
        m_pos = 0;
        return m_len > 0;
    }

    // Appends up to the next line end; true when the end was found (and consumed).
    bool scan(std::string& line, bool& tooLong) {
        const char* start = m_buf + m_pos;
        const char* end = m_buf + m_len;
        const char* p = start;
        while (p != end && *p != '\n' && *p != '\r')
            ++p;
        const size_t n = static_cast<size_t>(p - start);
        const size_t room = Tcorri::kMaxLineBytes - std::min(line.size(), Tcorri::kMaxLineBytes);
        if (n > room) tooLong = true;
        line.append(start, std::min(n, room));
        m_pos += n;
        if (p == end) return false;
        m_skipLF = *p == '\r';
        ++m_pos;
        return true;
    }

    std::FILE* m_f;       // open file, not owned
    char m_buf[1 << 16];  // current chunk
    size_t m_pos = 0;     // next unread byte in m_buf
    size_t m_len = 0;     // bytes in m_buf
    bool m_skipLF = false; // the last line ended in CR: a following LF belongs to it
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A decimal number ("," read as "."), optional sign and exponent, converted completely and
// finite; independent of the locale. Names like "nan" or "inf" and hex forms are refused.
bool toNumber(std::string_view s, double& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || (s.size() > 1 && s[0] == '-' && s[1] == '+'))
        return false;
    std::string t(s);
    for (char& c : t) {
        if (c == ',') c = '.';
        const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' ||
                             c == '+' || c == '-';
        if (!allowed) return false;
    }
    double v = 0.0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

enum class LineKind { Empty, Point, Bad };

// One line of a correction file: x before the first separator, y after it.
LineKind parseLine(std::string_view line, char sep, double& x, double& y) {
    line = trimmed(line);
    if (line.empty()) return LineKind::Empty;
    const size_t at = line.find(sep);
    if (at == std::string_view::npos) return LineKind::Bad;
    return toNumber(line.substr(0, at), x) && toNumber(line.substr(at + 1), y) ? LineKind::Point
                                                                               : LineKind::Bad;
}

// What one pass over a file found.
struct Scan {
    bool readable = false; // the file was opened and read to its end
    int64_t points = 0;    // valid points
    int64_t badLine = 0;   // 1-based number of the last invalid line, 0 when none
    int64_t unsortedLine = 0; // 1-based number of the last point whose x is below the one before
};

// Reads the file once; stores the points in `out` when given. x may repeat (a step in the
// curve) but never descend: a point below the one before is counted apart from unreadable lines,
// so the user is told the file is out of order rather than that its separator is wrong.
Scan scanFile(const std::string& name, char sep, std::vector<CorrectPoint>* out) {
    Scan r;
    const FilePtr f(std::fopen(name.c_str(), "rb"));
    if (!f) return r;
    LineReader reader(f.get());
    std::string line;
    bool tooLong = false;
    int64_t lineNo = 0;
    double lastX = -std::numeric_limits<double>::infinity();
    while (reader.next(line, tooLong)) {
        ++lineNo;
        double x = 0.0, y = 0.0;
        const LineKind k = tooLong ? LineKind::Bad : parseLine(line, sep, x, y);
        if (k == LineKind::Empty) continue;
        if (k == LineKind::Bad || r.points >= std::numeric_limits<int32_t>::max()) {
            r.badLine = lineNo;
            continue;
        }
        if (x < lastX) {
            r.unsortedLine = lineNo;
            continue;
        }
        lastX = x;
        ++r.points;
        if (out) out->push_back(CorrectPoint{x, y, 0.0});
    }
    r.readable = !reader.failed();
    return r;
}

// The three lines every new or emptied file gets. `exclusive` refuses to replace a file.
bool writeDefaultFile(const std::string& name, char sep, bool exclusive) {
    const FilePtr f(std::fopen(name.c_str(), exclusive ? "wbx" : "wb"));
    if (!f) return false;
    const std::string s(1, sep);
    const std::string text = "10" + s + "0\r\n1000" + s + "0\r\n20000" + s + "0\r\n";
    const bool ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    return std::fflush(f.get()) == 0 && ok;
}

// The message for a file whose x descends, in language 'D' or 'E'.
std::string unsortedText(char lang) {
    return lang == 'D' ? "x ist kleiner als in der Zeile davor: die Punkte müssen nach x aufsteigend sortiert sein"
                       : "x is smaller than in the line before: the points must be sorted by ascending x";
}

bool ascending(const std::vector<CorrectPoint>& p) {
    for (size_t i = 1; i < p.size(); ++i)
        if (!(p[i].x > p[i - 1].x)) return false;
    return true;
}

} // namespace

// =============================================================================================
// Construction

Tcorri::Tcorri() {
    setLang('E');
}

void Tcorri::reset(int32_t applDir) {
    m_cor = CorrectOTyp{};
    m_cor.applDir = applDir;
    m_sorted = true;
}

void Tcorri::copyfrom(const Tcorri& a) {
    m_cor = a.m_cor;
    m_sorted = a.m_sorted;
}

void Tcorri::setPoints(std::vector<CorrectPoint> pts) {
    m_cor.CorrectW = std::move(pts);
    m_cor.paare = static_cast<int32_t>(m_cor.CorrectW.size());
    m_sorted = std::is_sorted(m_cor.CorrectW.begin(), m_cor.CorrectW.end(),
                              [](const CorrectPoint& a, const CorrectPoint& b) { return a.x < b.x; });
    prepareSpline();
}

void Tcorri::makecCorrArr(const double* ddar, int32_t anz) {
    reset(-1);
    std::vector<CorrectPoint> pts;
    for (int32_t i = 0; ddar && i < anz; ++i)
        pts.push_back(CorrectPoint{ddar[2 * i], ddar[2 * i + 1], 0.0});
    setPoints(std::move(pts));
    m_cor.aktiv = m_cor.paare > 0;
}

void Tcorri::makeSDCorrArr(const Tsamplemem& yd, const Tsamplemem& xd) {
    reset(-1);
    std::vector<CorrectPoint> pts(static_cast<size_t>(std::max(0, xd.samples())));
    for (size_t i = 0; i < pts.size(); ++i)
        pts[i] = CorrectPoint{xd.getsmAr(int32_t(i)), yd.getsmAr(int32_t(i)), 0.0};
    setPoints(std::move(pts));
    m_cor.aktiv = m_cor.paare > 0;
}

void Tcorri::makeCorrArrPinkNoise() {
    reset(-1);
    std::vector<CorrectPoint> pts;
    for (int k = 0; k < 16; ++k)
        pts.push_back(CorrectPoint{10.0 * std::ldexp(1.0, k), -3.0 * k, 0.0});
    setPoints(std::move(pts));
    m_cor.aktiv = true;
}

// =============================================================================================
// Loading a file

void Tcorri::warn(const MessageSink& report, const std::string& name, const std::string& what) const {
    const std::string text = "Correct file '" + name + " :\r\n" + what;
    if (report)
        report("Warning", text);
    else
        writeToStderr("Warning", text);
}

// Makes sure a regular file exists under `fname`: a missing one is created with the default
// lines in its own folder. Anything else under that name (a folder, a device) is not read.
bool Tcorri::ensureFile(const std::string& fname, char sep, const MessageSink& report) const {
    std::error_code ec;
    const fs::file_status st = fs::status(fname, ec);
    if (fs::is_regular_file(st)) return true;
    if (st.type() != fs::file_type::not_found) {
        warn(report, fname, s4);
        return false;
    }
    if (!writeDefaultFile(fname, sep, true)) {
        warn(report, fname, s1);
        return false;
    }
    return true;
}

bool Tcorri::makeCorrArr(const std::string& fname, char sep, bool fit2_1kHz, const MessageSink& report) {
    reset(+1);
    m_cor.fit2_1kHz = fit2_1kHz;
    if (!ensureFile(fname, sep, report)) return false;
    const Scan first = scanFile(fname, sep, nullptr);
    if (!first.readable) {
        warn(report, fname, s4);
        return false;
    }
    if (first.badLine > 0) {
        warn(report, fname, s2 + std::to_string(first.badLine) +
                        "\r\nText separator correct? See miscellaneous dialog\r\n"
                        "Text separator is act." + std::string(1, sep));
        return false;
    }
    if (first.unsortedLine > 0) {
        warn(report, fname, s2 + std::to_string(first.unsortedLine) + "\r\n" + unsortedText(m_lang));
        return false;
    }
    if (first.points == 0) {
        warn(report, fname, s3);
        writeDefaultFile(fname, sep, false);
        return false;
    }
    if (first.points == 1) return false;
    std::vector<CorrectPoint> pts;
    pts.reserve(static_cast<size_t>(first.points));
    const Scan second = scanFile(fname, sep, &pts);
    if (!second.readable || second.badLine > 0 || second.unsortedLine > 0 || second.points != first.points) {
        warn(report, fname, s4); // changed or vanished between the passes
        return false;
    }
    m_cor.fname = fname;
    setPoints(std::move(pts));
    if (m_cor.fit2_1kHz) FITto1kHz();
    m_cor.aktiv = true;
    return true;
}

// =============================================================================================
// Points

void Tcorri::setPaare(int32_t n) {
    n = std::clamp(n, 0, m_cor.paare);
    if (n == m_cor.paare) return;
    std::vector<CorrectPoint> pts(m_cor.CorrectW.begin(), m_cor.CorrectW.begin() + n);
    setPoints(std::move(pts));
}

void Tcorri::FITto1kHz() {
    auto& w = m_cor.CorrectW;
    const auto ref = std::find_if(w.begin(), w.end(), [](const CorrectPoint& p) { return p.x >= 1000.0; });
    if (ref == w.end()) return;
    const double y0 = ref->y;
    for (CorrectPoint& p : w) // a constant shift leaves the second derivatives as they are
        p.y -= y0;
}

bool Tcorri::readXYfromCor(int32_t idx, double& x, double& y) const {
    if (idx < 1 || idx > m_cor.paare) return false;
    x = m_cor.CorrectW[size_t(idx - 1)].x;
    y = m_cor.CorrectW[size_t(idx - 1)].y;
    return true;
}

void Tcorri::setLang(char la) {
    m_lang = la == 'D' ? 'D' : 'E';
    if (m_lang == 'D') {
        s1 = "Kann Korrektur-Datei nicht erzeugen";
        s2 = "Fehler in Zeile ";
        s3 = "Keine Zeilen in Datei,\r\ngeneriere Defaultzeile";
        s4 = "Fehler beim Lesen";
    } else {
        s1 = "Unable to create correct-file";
        s2 = "Error in line ";
        s3 = "No lines in file !\r\nGenerate default line";
        s4 = "Error while reading";
    }
}

// =============================================================================================
// Interpolation

// Natural cubic spline: the second derivatives from the tridiagonal system with y'' = 0 at both
// ends. Points that are not strictly ascending (possible only for buffers and tables) or values
// that overflow get all-zero second derivatives, so the spline falls back to straight lines.
void Tcorri::prepareSpline() {
    auto& p = m_cor.CorrectW;
    const size_t n = p.size();
    for (CorrectPoint& q : p)
        q.y2 = 0.0;
    if (n < 3 || !ascending(p)) return;
    std::vector<double> u(n, 0.0);
    for (size_t i = 1; i + 1 < n; ++i) {
        const double sig = (p[i].x - p[i - 1].x) / (p[i + 1].x - p[i - 1].x);
        const double d = sig * p[i - 1].y2 + 2.0;
        p[i].y2 = (sig - 1.0) / d;
        const double slope = (p[i + 1].y - p[i].y) / (p[i + 1].x - p[i].x) -
                             (p[i].y - p[i - 1].y) / (p[i].x - p[i - 1].x);
        u[i] = (6.0 * slope / (p[i + 1].x - p[i - 1].x) - sig * u[i - 1]) / d;
    }
    p[n - 1].y2 = 0.0;
    bool finite = true;
    for (size_t k = n - 1; k-- > 0;) {
        p[k].y2 = p[k].y2 * p[k + 1].y2 + u[k];
        finite = finite && std::isfinite(p[k].y2);
    }
    if (!finite)
        for (CorrectPoint& q : p)
            q.y2 = 0.0;
}

// Index of the first point with x > f (the count when there is none).
static size_t firstAbove(const std::vector<CorrectPoint>& p, bool sorted, double f) {
    const auto above = [f](const CorrectPoint& q) { return q.x > f; };
    if (sorted)
        return size_t(std::partition_point(p.begin(), p.end(), [&](const CorrectPoint& q) { return !above(q); }) -
                      p.begin());
    return size_t(std::find_if(p.begin(), p.end(), above) - p.begin());
}

double Tcorri::linear(double f) const {
    const auto& p = m_cor.CorrectW;
    const size_t i = firstAbove(p, m_sorted, f);
    if (i == p.size()) return p.back().y;
    if (i == 0) return p.front().y;
    const CorrectPoint& a = p[i - 1];
    const CorrectPoint& b = p[i];
    double t = (f - a.x) / (b.x - a.x);
    t = t >= 0.0 ? std::min(t, 1.0) : 0.0; // only x differences that overflow leave 0..1
    const double dy = b.y - a.y;
    return std::isfinite(dy) ? a.y + dy * t : a.y * (1.0 - t) + b.y * t;
}

double Tcorri::larger(double f) const {
    const auto& p = m_cor.CorrectW;
    const size_t i = firstAbove(p, m_sorted, f);
    if (i == p.size()) return p.back().y;
    if (i == 0) return p.front().y;
    return std::max(p[i - 1].y, p[i].y);
}

// Inside the points the natural spline; outside, the end values are held as in the other
// modes (extending the end interval's cubic would run away within a few intervals).
double Tcorri::spline(double f) const {
    const auto& p = m_cor.CorrectW;
    if (!(f > p.front().x)) return p.front().y;
    if (!(f < p.back().x)) return p.back().y;
    size_t lo = 0, hi = p.size() - 1;
    while (hi - lo > 1) {
        const size_t k = (hi + lo) / 2;
        (p[k].x > f ? hi : lo) = k;
    }
    const double h = p[hi].x - p[lo].x;
    if (!(h > 0.0)) return p[lo].y;
    const double a = (p[hi].x - f) / h;
    const double b = (f - p[lo].x) / h;
    return a * p[lo].y + b * p[hi].y +
           ((a * a * a - a) * p[lo].y2 + (b * b * b - b) * p[hi].y2) * (h * h) / 6.0;
}

double Tcorri::value(double f) const {
    if (m_cor.CorrectW.empty()) return 0.0;
    switch (m_cor.mode) {
    case 0: return spline(f);
    case 2: return linear(f);
    case 3: return larger(f);
    default: return f; // kept from the table's definition: the x itself
    }
}

double Tcorri::corri(double inV, double freq, double offs) const {
    if (m_cor.paare <= 0 || !m_cor.aktiv) return inV;
    return inV - m_cor.applDir * value(freq) + offs;
}
