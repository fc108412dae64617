// Correction curves: interpolated (x, y) tables read from text files, tables or sample buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Tsamplemem;

// One point of a curve: x (usually Hz), y (usually dB) and the spline's second derivative there.
struct CorrectPoint {
    double x = 0.0;  // abscissa, never descending within a curve loaded from a file (a repeat is a step)
    double y = 0.0;  // value at x
    double y2 = 0.0; // second derivative of the natural cubic spline at x (0 at both ends)
};

// The curve's state, as the rest of the system sees it.
struct CorrectOTyp {
    int32_t paare = 0;                  // number of points in CorrectW
    std::string fname;                  // file the curve came from, empty for tables
    bool fit2_1kHz = false;             // normalise to 0 at 1 kHz after loading
    bool aktiv = false;                 // the curve is applied by corri()
    int32_t applDir = -1;               // +1 subtracts the curve from values, -1 adds it
    int32_t mode = 2;                   // 0 spline, 2 linear, 3 larger neighbour, else x itself
    std::vector<CorrectPoint> CorrectW; // the points, in file (ascending x) order
};

// A correction curve: a table of points interpolated at a frequency and added to or subtracted
// from measured values (input/output/display corrections, weighting filters, the Sone table).
//
// Text files (".cor", ".txt"): one "x<sep>y" point per line, ascending x; "," reads as ".";
// empty lines are skipped; x may repeat (a step). A file with any bad line, or one whose x descends, loads as an
// empty inactive curve after a "Warning" message naming the last bad line (1-based).
// Messages go to the sink the loader is given; they are written with "\r\n" line breaks.
//
// No Qt here: the sample memory and the sound modules link this code. Objects are used by one
// thread at a time; corri() and the getters only read and may run concurrently with each other.
class Tcorri {
public:
    // Where a loader's messages go: title ("Warning") and text. An empty sink writes them to
    // standard error.
    using MessageSink = std::function<void(const std::string& title, const std::string& text)>;

    static constexpr size_t kMaxLineBytes = 64 * 1024; // a longer line is an invalid line

    // create: no points, inactive, linear, applDir -1, English.
    Tcorri();

    // Copies the curve (points, file name, flags) of `a`; the language stays ours.
    void copyfrom(const Tcorri& a);
    // Reloads from a text file with separator `sep`: applDir +1, inactive, mode 2, and
    // fit2_1kHz as given (the editor rebuilds with it on). The language set by setLang stays,
    // so a new object reports in English. A path that does not exist is created with the
    // default lines "10<sep>0", "1000<sep>0", "20000<sep>0" (when its folder is writable) and
    // loaded. Returns whether the curve is active afterwards. Messages go to `report`.
    bool makeCorrArr(const std::string& fname, char sep, bool fit2_1kHz = false,
                     const MessageSink& report = {});
    // From `anz` pairs x0, y0, x1, y1, ... (2*anz doubles): active when anz > 0, no file.
    void makecCorrArr(const double* ddar, int32_t anz);
    // From two buffers: x from xd, y from yd (0 where yd is shorter), as many points as xd has.
    void makeSDCorrArr(const Tsamplemem& yd, const Tsamplemem& xd);
    // The pink-noise slope: 16 points, x = 10, 20, 40, ... Hz, y = 0, -3, -6, ... dB.
    void makeCorrArrPinkNoise();

    bool getaktiv() const { return m_cor.aktiv; }
    void setaktiv(bool a) { m_cor.aktiv = a; }
    int32_t getapplDir() const { return m_cor.applDir; }
    void setapplDir(int32_t d) { m_cor.applDir = d; }
    int32_t getMode() const { return m_cor.mode; }
    void setMode(int32_t m) { m_cor.mode = m; }
    const std::string& getFname() const { return m_cor.fname; }
    int32_t getPaare() const { return m_cor.paare; }
    // Keeps only the first n points (0 <= n <= getPaare()); it never adds points.
    void setPaare(int32_t n);
    bool getfit2_1kHz() const { return m_cor.fit2_1kHz; }
    void setfit2_1kHz(bool f) { m_cor.fit2_1kHz = f; }
    const CorrectOTyp& TheCor() const { return m_cor; }

    // Subtracts from every y the y of the first point at or above 1000 (if there is one).
    void FITto1kHz();
    // Point idx (1-based) into x, y; false (x, y untouched) outside 1..getPaare().
    bool readXYfromCor(int32_t idx, double& x, double& y) const;
    // inV - applDir * C(freq) + offs when the curve has points and is active; else inV.
    double corri(double inV, double freq, double offs) const;
    // The interpolated curve value C(f) in the current mode (0 for a curve without points).
    double value(double f) const;
    // Message language: 'D' German, anything else English.
    void setLang(char la);
    char lang() const { return m_lang; }

private:
    void reset(int32_t applDir);
    void setPoints(std::vector<CorrectPoint> pts);
    void prepareSpline();
    double linear(double f) const;
    double spline(double f) const;
    double larger(double f) const;
    void warn(const MessageSink& report, const std::string& name, const std::string& what) const;
    bool ensureFile(const std::string& fname, char sep, const MessageSink& report) const;

    std::string s1, s2, s3, s4; // message texts of the current language
    char m_lang = 'E';          // 'D' or 'E'
    CorrectOTyp m_cor;          // the curve
    bool m_sorted = true;       // x never descends, so the first x above f can be bisected
};
