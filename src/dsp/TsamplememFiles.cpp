// Sample memory: text files (with and without an x axis) and 16-bit PCM files.
#include "dsp/Tsamplemem.h"
#include "dsp/TsamplememDetail.h"

#include "dsp/fftKernel.h"

#include "dsp/corObj.h"

#include <algorithm>
#include <bit>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>


using namespace samplememDetail;

namespace {

// ---------------------------------------------------------------------------------------------
// Text files

constexpr size_t kMaxLine = 4096; // longer lines cannot hold one number and are not kept whole

// Reads a file line by line with bounded memory whatever the file holds.
class LineReader {
public:
    explicit LineReader(std::FILE* f) : m_file(f), m_buf(1 << 16) {}

    // Next line without its line end; false at the end of the file.
    bool next() {
        m_line.clear();
        m_truncated = m_slashes = false;
        char prev = 0;
        bool any = false;
        for (;;) {
            if (m_pos == m_len && !refill()) return finish(any);
            any = true;
            const char* start = m_buf.data() + m_pos;
            const size_t avail = m_len - m_pos;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
            const size_t seg = nl ? static_cast<size_t>(nl - start) : avail;
            take(std::string_view(start, seg), prev);
            if (seg) prev = start[seg - 1];
            m_pos += nl ? seg + 1 : seg;
            if (nl) return finish(true);
        }
    }
    std::string_view text() const { return m_line; }
    bool truncated() const { return m_truncated; } // the line was longer than kMaxLine
    bool slashes() const { return m_slashes; }     // "//" occurs anywhere in the line

private:
    bool refill() {
        m_pos = 0;
        m_len = std::fread(m_buf.data(), 1, m_buf.size(), m_file);
        return m_len > 0;
    }
    void take(std::string_view seg, char prev) {
        if (!seg.empty() && (seg.find("//") != seg.npos || (prev == '/' && seg[0] == '/')))
            m_slashes = true;
        const size_t room = kMaxLine - std::min(kMaxLine, m_line.size());
        if (seg.size() > room) m_truncated = true;
        m_line.append(seg.substr(0, room));
    }
    bool finish(bool any) {
        if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
        return any;
    }

    std::FILE* m_file;       // the open file, not owned
    std::vector<char> m_buf; // read-ahead block
    size_t m_pos = 0;        // next unread byte in m_buf
    size_t m_len = 0;        // valid bytes in m_buf
    std::string m_line;      // current line, at most kMaxLine characters
    bool m_truncated = false;
    bool m_slashes = false;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// One number of a data file: blanks around it ignored, ',' taken as '.', nothing else allowed.
bool parseNumber(std::string_view s, double& v) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || s.size() > 400) return false;
    char buf[400];
    std::transform(s.begin(), s.end(), buf, [](char c) { return c == ',' ? '.' : c; });
    const auto r = std::from_chars(buf, buf + s.size(), v, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == buf + s.size();
}

// Positions the reader after the first line that contains "//"; false when there is none.
bool skipHeader(LineReader& r) {
    while (r.next())
        if (r.slashes()) return true;
    return false;
}

// Writes text in large blocks; remembers whether any write failed.
class TextSink {
public:
    explicit TextSink(std::FILE* f) : m_file(f) {}
    std::string& buffer() { return m_text; }
    void flushIfFull() {
        if (m_text.size() >= (1u << 16)) flush();
    }
    bool close() {
        flush();
        return m_ok;
    }

private:
    void flush() {
        if (!m_text.empty() &&
            std::fwrite(m_text.data(), 1, m_text.size(), m_file) != m_text.size())
            m_ok = false;
        m_text.clear();
    }
    std::FILE* m_file;  // destination, not owned
    std::string m_text; // pending text
    bool m_ok = true;   // no write failed so far
};

// Closes f and reports whether everything written reached the file.
bool closeFile(FilePtr& f, bool ok) {
    ok = std::fflush(f.get()) == 0 && !std::ferror(f.get()) && ok;
    return std::fclose(f.release()) == 0 && ok;
}

} // namespace


// =============================================================================================
// Files

int32_t Tsamplemem::save2file(const std::string& Fname) const {
    FilePtr f(std::fopen(Fname.c_str(), "wb"));
    if (!f) return 1;
    TextSink out(f.get());
    out.buffer() = "// START-> Y Values\r\n";
    for (double x : std::span(d(), n())) {
        appendG15(out.buffer(), x);
        out.buffer() += "\r\n";
        out.flushIfFull();
    }
    return closeFile(f, out.close()) ? 0 : 1;
}

int32_t Tsamplemem::save2filepX(const std::string& Fname, const Tsamplemem& Xaxis) const {
    if (Xaxis.n() < n()) return 1;               // lines without an x value would be unreadable
    FilePtr f(std::fopen(Fname.c_str(), "r+b")); // appends, and only to an existing file
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return 1;
    TextSink out(f.get());
    out.buffer() = "// START-> X , Y Values\r\n";
    for (int32_t i = 0; i < n(); ++i) {
        appendG15(out.buffer(), Xaxis.d()[i]);
        out.buffer() += " , ";
        appendG15(out.buffer(), d()[i]);
        out.buffer() += "\r\n";
        out.flushIfFull();
    }
    return closeFile(f, out.close()) ? 0 : 1;
}

namespace {
// Opens a text file for one of the loads; null with the reason in `error`.
FilePtr openForLoad(const std::string& Fname, int32_t sampl, std::string& error) {
    if (sampl <= 0) {
        error = "No samples requested from " + Fname;
        return nullptr;
    }
    FilePtr f(std::fopen(Fname.c_str(), "rb"));
    if (!f) error = "Cannot open " + Fname;
    return f;
}
} // namespace

bool Tsamplemem::loadFromFile(const std::string& Fname, int32_t sampl) {
    FilePtr f = openForLoad(Fname, sampl, m_lastError);
    if (!f) return false;
    LineReader r(f.get());
    std::vector<double> values;
    values.reserve(static_cast<size_t>(std::min(sampl, 1 << 16)));
    double v = 0.0;
    if (skipHeader(r))
        while (values.size() < size_t(sampl) && r.next() && !r.truncated() &&
               parseNumber(r.text(), v))
            values.push_back(v);
    if (values.size() != size_t(sampl)) {
        m_lastError = Fname + ": " + std::to_string(values.size()) + " of " +
                      std::to_string(sampl) + " values readable";
        return false;
    }
    double* p = allocSamples(sampl, false);
    std::copy(values.begin(), values.end(), p);
    release();
    adopt(p, sampl);
    return true;
}

bool Tsamplemem::loadFromFilepX(const std::string& Fname, int32_t sampl, Tsamplemem& Xaxis) {
    FilePtr f = openForLoad(Fname, sampl, m_lastError);
    if (!f) return false;
    LineReader r(f.get());
    std::vector<double> xs, ys;
    std::string line;
    double x = 0.0, y = 0.0;
    if (skipHeader(r))
        while (ys.size() < size_t(sampl) && r.next() && !r.truncated()) {
            line.assign(r.text());
            std::erase_if(line, isBlank);
            const size_t comma = line.find(',');
            if (comma == line.npos || !parseNumber(std::string_view(line).substr(0, comma), x) ||
                !parseNumber(std::string_view(line).substr(comma + 1), y))
                break;
            xs.push_back(x);
            ys.push_back(y);
        }
    if (ys.size() != size_t(sampl)) {
        m_lastError = Fname + ": " + std::to_string(ys.size()) + " of " + std::to_string(sampl) +
                      " value pairs readable";
        return false;
    }
    Tsamplemem nx(sampl), ny(sampl);
    std::copy(xs.begin(), xs.end(), nx.d());
    std::copy(ys.begin(), ys.end(), ny.d());
    ny.m_tag = m_tag;
    ny.m_align = m_align;
    Xaxis = std::move(nx);
    *this = std::move(ny);
    return true;
}

int32_t Tsamplemem::writeTo16bitPCMFile(const std::string& Fname) const {
    FilePtr f(std::fopen(Fname.c_str(), "wb"));
    if (!f) return 1;
    std::vector<unsigned char> bytes(static_cast<size_t>(n()) * 2);
    for (int32_t i = 0; i < n(); ++i) {
        double v = std::nearbyint(d()[i] * 32768.0); // the default mode rounds ties to even
        v = std::isnan(v) ? 0.0 : std::clamp(v, -32768.0, 32767.0);
        const auto word = static_cast<uint16_t>(static_cast<int16_t>(v));
        bytes[2 * size_t(i)] = static_cast<unsigned char>(word & 0xFF);
        bytes[2 * size_t(i) + 1] = static_cast<unsigned char>(word >> 8);
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return closeFile(f, ok) ? 0 : 1;
}

std::string Tsamplemem::tohdebug() const {
    std::string s;
    for (int32_t i = 0; i < std::min(n(), 512); ++i) {
        char head[16];
        std::snprintf(head, sizeof head, "%3d:", i);
        s += head;
        appendFixed(s, d()[i], 2);
        s += "   |";
    }
    return s;
}

