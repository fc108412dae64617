// Tests of the generator synthesis library: every mode against its definition, block-size
// independence, and bad records, files and formulas.
#include <TGenBuilder.h>
#include <TGenRenderer.h>

#include <dsp/FFtuli.h>
#include <dsp/TCalcExpress.h>
#include <dsp/Tsamplemem.h>

#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;
using Channels = std::vector<std::vector<double>>;

double amp(double db) {
    return std::pow(10.0, db / 20.0);
}
double dB(double v) {
    return 20.0 * std::log10(v);
}

// A record with both channels on, in mode `mode`, at 1000 Hz and `db` dBFS.
TwaveGO record(int mode, double db = -6.0) {
    TwaveGO go{};
    go.GenFreqL = go.GenFreqR = 1000.0;
    go.voldB_L = go.voldB_R = db;
    go.secfreqL = go.secfreqR = 300.0;
    go.secvoldB_L = go.secvoldB_R = -12.0;
    go.genOnL = go.genOnR = 1;
    go.MLSsize = 12;
    go.OShotsamples = 1;
    go.AnzWave = 10;
    go.repTime_ms = 100;
    go.Conti = 1;
    go.modeL = go.modeR = mode;
    return go;
}

template <size_t N> void setText(char (&dst)[N], const std::string& s) {
    std::memset(dst, 0, N);
    std::memcpy(dst, s.data(), std::min(s.size(), N - 1));
}

// Builds and plays a record: `frames` samples per channel in blocks of `block`.
struct Player {
    TGenBuilder builder;
    TGenRenderer renderer;
    std::unique_ptr<TGenSignal> signal;

    explicit Player(const TwaveGO& go, int rate = 48000) {
        signal = builder.build(go, rate, 77);
        renderer.reset(11, 22);
    }
    void update(const TwaveGO& go, int rate = 48000) { signal = builder.build(go, rate, 77); }
    Channels play(int frames, int block = 0) {
        Channels out(2, std::vector<double>(size_t(frames)));
        block = block > 0 ? block : frames;
        for (int done = 0; done < frames; done += block) {
            const int n = std::min(block, frames - done);
            renderer.render(signal.get(), out[0].data() + done, out[1].data() + done, n);
        }
        return out;
    }
};

Channels play(const TwaveGO& go, int frames, int rate = 48000) {
    Player p(go, rate);
    return p.play(frames);
}

// Amplitude of the component at f (Hz) by correlation; exact for whole periods in x.
double amplitudeAt(const std::vector<double>& x, double f, double rate) {
    std::complex<double> s = 0;
    for (size_t n = 0; n < x.size(); ++n)
        s += x[n] * std::polar(1.0, -2 * kPi * f * double(n) / rate);
    return 2.0 * std::abs(s) / double(x.size());
}

// Amplitudes of bins 0..n/2 of x (n a power of two).
std::vector<double> spectrum(const std::vector<double>& x) {
    const int n = int(x.size());
    std::vector<double> re(size_t(n / 2 + 1)), im(re.size()), a(re.size());
    FFtuliContext fft;
    fft.realTransform(x.data(), re.data(), im.data(), n);
    for (size_t k = 0; k < a.size(); ++k)
        a[k] = 2.0 * std::hypot(re[k], im[k]) / n;
    return a;
}

double peak(const std::vector<double>& x) {
    double m = 0;
    for (double v : x)
        m = std::max(m, std::fabs(v));
    return m;
}

double rms(const std::vector<double>& x) {
    double s = 0;
    for (double v : x)
        s += v * v;
    return std::sqrt(s / double(x.size()));
}

bool silent(const std::vector<double>& x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

// A temporary folder for the sound files of one test.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/genSynthXXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes interleaved float frames with libsndfile.
bool writeSound(const std::string& name, int format, int rate, int channels,
                const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(name.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const sf_count_t n = sf_count_t(frames.size()) / channels;
    const bool ok = sf_writef_float(f, frames.data(), n) == n;
    sf_close(f);
    return ok;
}

} // namespace

// Sine: frequency and level exact at the bin, nothing elsewhere; start phase; channel enables
// and the silence level.
TEST(GenSynth, SineFrequencyLevelPhaseAndEnables) {
    TwaveGO go = record(0, -6.0);
    go.phaseL = 90;
    auto x = play(go, 48000);
    EXPECT_NEAR(amplitudeAt(x[1], 1000, 48000), amp(-6.0), 1e-12);
    EXPECT_NEAR(amplitudeAt(x[1], 999, 48000), 0.0, 1e-12);
    EXPECT_NEAR(amplitudeAt(x[1], 2000, 48000), 0.0, 1e-12);
    EXPECT_NEAR(x[0][0], amp(-6.0), 1e-15) << "90 degrees: starts at the peak";
    EXPECT_EQ(x[1][0], 0.0);
    EXPECT_NEAR(x[1][12], amp(-6.0), 1e-15) << "a quarter wave later";
    EXPECT_NEAR(peak(x[1]), amp(-6.0), 1e-15);

    go.genOnR = 0;
    go.voldB_L = -192.0;
    x = play(go, 4800);
    EXPECT_TRUE(silent(x[0]) && silent(x[1]));
    go.voldB_L = -191.0;
    EXPECT_NEAR(peak(play(go, 4800)[0]), amp(-191.0), 1e-20);
}

// Square and triangle: odd harmonics 1/k and (-1)^((k-1)/2)/k^2 up to half the rate, nothing
// else (an aliased harmonic would land between the harmonics at this frequency), peak = level.
TEST(GenSynth, SquareAndTriangleAreBandLimited) {
    const int n = 1 << 16;
    const double rate = 48000, f = 1500 * rate / n; // 1098.6 Hz: bin 1500, rate/f not whole
    for (int mode : {1, 8}) {
        SCOPED_TRACE(mode == 1 ? "square" : "triangle");
        TwaveGO go = record(mode, -3.0);
        go.GenFreqL = go.GenFreqR = f;
        auto x = play(go, n);
        EXPECT_NEAR(peak(x[0]), amp(-3.0), 1e-6 * amp(-3.0)) << "peak = level";
        const auto a = spectrum(x[0]);
        const double a1 = a[1500];
        double others = 0;
        int harmonics = 0;
        for (size_t k = 1; k < a.size(); ++k) {
            if (k % 1500 != 0) {
                others = std::max(others, a[k]);
                continue;
            }
            const int h = int(k / 1500);
            const double want = h % 2 == 0 || h * f >= rate / 2 ? 0.0
                                : mode == 1                     ? 1.0 / h
                                                                : 1.0 / (h * h);
            EXPECT_NEAR(a[k] / a1, want, 1e-7) << "harmonic " << h;
            harmonics += want > 0;
        }
        EXPECT_EQ(harmonics, 11) << "1, 3, ..., 21 lie below 24 kHz";
        EXPECT_LT(others / a1, 1e-7) << "nothing between the harmonics: no aliasing";
        if (mode == 8) { // peak at a quarter period: sum of 8/(pi^2 k^2) over k = 1, 3, ..., 21
            double s = 0;
            for (int k = 1; k <= 21; k += 2)
                s += 1.0 / (k * k);
            EXPECT_NEAR(a1, amp(-3.0) / s, 1e-9);
        } else {
            EXPECT_NEAR(a1 / amp(-3.0), 4 / kPi / 1.1790, 2e-3) << "Gibbs overshoot about 17.9 %";
        }
    }
}

// A low square (many harmonics, large table) keeps its shape and stays below the level.
TEST(GenSynth, LowSquareAtHighRate) {
    TwaveGO go = record(1, 0.0);
    go.GenFreqL = go.GenFreqR = 20.0;
    auto x = play(go, 192000, 192000);
    EXPECT_LE(peak(x[0]), 1.0 + 1e-6);
    EXPECT_GT(peak(x[0]), 1.0 - 1e-6);
    EXPECT_NEAR(amplitudeAt(x[0], 20, 192000) / amplitudeAt(x[0], 60, 192000), 3.0, 1e-6);
    EXPECT_NEAR(amplitudeAt(x[0], 40, 192000), 0.0, 1e-9);
}

// White noise: uniform in [-A, A), independent channels.
TEST(GenSynth, WhiteNoiseIsUniformAtThePeakLevel) {
    auto x = play(record(2, -6.0), 1 << 17);
    EXPECT_LE(peak(x[0]), amp(-6.0));
    EXPECT_GT(peak(x[0]), 0.999 * amp(-6.0));
    EXPECT_NEAR(dB(rms(x[0])), -6.0 - 4.7712, 0.05);
    EXPECT_NE(x[0], x[1]);
}

// Pink noise: equal power in every octave from 20 Hz to 20 kHz (the density falls 3 dB per
// octave) within 0.5 dB, largest sample = level, at 48 and 192 kHz.
TEST(GenSynth, PinkNoiseFallsThreeDbPerOctave) {
    for (int rate : {48000, 192000}) {
        SCOPED_TRACE(rate);
        const int n = 1 << 20; // one whole period: the bins are exact
        auto x = play(record(3, -10.0), n, rate);
        EXPECT_NEAR(peak(x[0]), amp(-10.0), 1e-7);
        EXPECT_NEAR(peak(x[1]), amp(-10.0), 1e-7);
        const auto a = spectrum(x[0]);
        const double binHz = double(rate) / n;
        std::vector<double> density; // mean power per bin of each octave
        for (double lo = 20.0; lo < 20000.0; lo *= 2) {
            double p = 0;
            int count = 0;
            for (int k = int(std::ceil(lo / binHz)); k * binHz < 2 * lo; ++k)
                p += a[size_t(k)] * a[size_t(k)], ++count;
            density.push_back(p / count);
        }
        for (size_t i = 1; i < density.size(); ++i)
            EXPECT_NEAR(10 * std::log10(density[i] / density[i - 1]), -3.0103, 0.5)
                << "octave " << i;
        double low = 0;
        for (int k = 1; k * binHz < 9.0; ++k)
            low = std::max(low, a[size_t(k)]);
        EXPECT_LT(low, 1e-6) << "nothing below 10 Hz";
        EXPECT_NE(x[0], x[1]) << "independent channels";
    }
}

// Dirac: OShotsamples samples at the level, repeated every repTime when Conti is 1, once
// otherwise.
TEST(GenSynth, DiracWidthAndRepetition) {
    TwaveGO go = record(5, -9.0);
    go.OShotsamples = 3;
    go.repTime_ms = 10; // 480 samples
    auto x = play(go, 2000);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(x[0][size_t(i)], i % 480 < 3 ? amp(-9.0) : 0.0) << i;
    go.Conti = 0;
    x = play(go, 2000);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(x[0][size_t(i)], i < 3 ? amp(-9.0) : 0.0) << i;
}

// Burst: AnzWave whole sine waves from phase 0, then silence until the repeat time.
TEST(GenSynth, BurstCountAndRepetition) {
    TwaveGO go = record(7, -3.0);
    go.AnzWave = 5;
    go.repTime_ms = 20; // 960 samples; the burst is 240
    auto x = play(go, 3000);
    int peaks = 0;
    for (int i = 0; i < 3000; ++i) {
        const int w = i % 960;
        const double want = w < 240 ? amp(-3.0) * std::sin(2 * kPi * 1000.0 * w / 48000.0) : 0.0;
        ASSERT_NEAR(x[0][size_t(i)], want, 1e-12) << i;
        peaks += i < 960 && i > 0 && x[0][size_t(i)] > x[0][size_t(i - 1)] &&
                 x[0][size_t(i)] > x[0][size_t(i + 1)];
    }
    EXPECT_EQ(peaks, 5);
    go.AnzWave = 0;
    Player p(go);
    EXPECT_TRUE(silent(p.play(1000)[0]));
    EXPECT_NE(p.signal->error.find("burst"), std::string::npos);
}

// MLS: the values of fillwithMLS, once or as a gapless periodic sequence, and its circular
// deconvolution (FastHamadard) of a recording through a known response gives that response.
TEST(GenSynth, MlsIsTheSequenceOfFillwithMLS) {
    const int order = 12, length = 1 << order, period = length - 1;
    Tsamplemem ref(2 * length);
    ref.fillwithMLS(order, -9.0);
    TwaveGO go = record(6, -9.0);
    go.Conti = 0;
    auto x = play(go, 3 * length);
    for (int i = 0; i < 3 * length; ++i)
        ASSERT_EQ(x[0][size_t(i)], i < length ? ref.smpoi()[i] : 0.0) << i;

    go.Conti = 1;
    go.repTime_ms = 1; // shorter than the sequence: periodic
    x = play(go, 4 * period);
    for (int i = 0; i < 4 * period; ++i)
        ASSERT_EQ(x[0][size_t(i)], ref.smpoi()[i % period]) << i;

    // Through h = 0.5 d[n] - 0.25 d[n-3] + 0.125 d[n-40]; one period after the first.
    const double h[3] = {0.5, -0.25, 0.125};
    const int at[3] = {0, 3, 40};
    Tsamplemem y(2 * length);
    for (int i = 0; i < period; ++i)
        for (int j = 0; j < 3; ++j)
            y.smpoi()[i] += h[j] * x[0][size_t(period + i - at[j])];
    ASSERT_EQ(y.FastHamadard(order, 0), 0);
    const double a = amp(-9.0);
    for (int j = 0; j < period; ++j) {
        const double got = y.smpoi()[period - j]; // written backwards
        double want = 0;
        for (int k = 0; k < 3; ++k)
            want += at[k] == j ? a * h[k] : 0.0;
        ASSERT_NEAR(got, want, 1e-3 * a) << "lag " << j;
    }

    go.MLSsize = 17;
    Player p(go);
    EXPECT_TRUE(silent(p.play(100)[0]));
    EXPECT_NE(p.signal->error.find("MLS order 17"), std::string::npos);
}

// Dual sine: the sum, the product (components at f1 +- f2 of half the product of the peaks),
// and one tone per channel.
TEST(GenSynth, DualSineAddMultiplyAndLeftRight) {
    TwaveGO go = record(10, -6.0); // 1000 Hz -6 dB, 300 Hz -12 dB
    go.dualTfunc = 0;
    auto x = play(go, 48000);
    EXPECT_NEAR(amplitudeAt(x[0], 1000, 48000), amp(-6), 1e-12);
    EXPECT_NEAR(amplitudeAt(x[0], 300, 48000), amp(-12), 1e-12);
    EXPECT_LE(peak(x[0]), amp(-6) + amp(-12));
    EXPECT_GT(peak(x[0]), 0.99 * (amp(-6) + amp(-12)));

    go.dualTfunc = 1;
    x = play(go, 48000);
    for (double f : {700.0, 1300.0})
        EXPECT_NEAR(amplitudeAt(x[0], f, 48000), amp(-6) * amp(-12) / 2, 1e-12) << f;
    for (double f : {300.0, 1000.0})
        EXPECT_NEAR(amplitudeAt(x[0], f, 48000), 0.0, 1e-12) << f;

    go.dualTfunc = 2;
    x = play(go, 48000);
    EXPECT_NEAR(amplitudeAt(x[0], 1000, 48000), amp(-6), 1e-12);
    EXPECT_NEAR(amplitudeAt(x[0], 300, 48000), 0.0, 1e-12);
    EXPECT_NEAR(amplitudeAt(x[1], 300, 48000), amp(-12), 1e-12);
    EXPECT_NEAR(amplitudeAt(x[1], 1000, 48000), 0.0, 1e-12);
}

// Sound files: a float WAV plays bit for bit and loops; a mono FLAC plays on both channels.
TEST(GenSynth, SoundFilePlaysBitExactAndLoops) {
    TempDir dir;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> frames(2 * 1000);
    for (float& v : frames)
        v = u(rng);
    frames[0] = 1.0f, frames[1] = -1.0f, frames[2] = 1e-30f;
    const std::string wav = dir.file("stereo.wav");
    ASSERT_TRUE(writeSound(wav, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, frames));
    TwaveGO go = record(11, -40.0); // the level does not apply to files
    setText(go.ufname, wav);
    Player p(go);
    EXPECT_EQ(p.signal->error, "");
    auto x = p.play(2500);
    for (int i = 0; i < 2500; ++i) {
        ASSERT_EQ(x[0][size_t(i)], double(frames[size_t(2 * (i % 1000))])) << i;
        ASSERT_EQ(x[1][size_t(i)], double(frames[size_t(2 * (i % 1000) + 1)])) << i;
    }

    std::vector<float> mono = {0.5f, -0.25f, 0.125f};
    const std::string flac = dir.file("mono.flac");
    ASSERT_TRUE(writeSound(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, mono));
    setText(go.ufname, flac);
    p.update(go);
    x = p.play(6);
    EXPECT_EQ(x[0], (std::vector<double>{0.5, -0.25, 0.125, 0.5, -0.25, 0.125}));
    EXPECT_EQ(x[1], x[0]);
}

// Unreadable, malformed, empty, wrongly encoded, wrong-rate and broken files: a clear message
// and silence.
TEST(GenSynth, BadSoundFilesGiveAnErrorAndSilence) {
    TempDir dir;
    const std::string garbage = dir.file("garbage.wav"), empty = dir.file("empty.wav"),
                      rate44 = dir.file("rate44.wav"), nan = dir.file("nan.wav"),
                      truncated = dir.file("truncated.wav");
    std::ofstream(garbage) << "RIFF\x10\0\0\0WAVEfmt nonsense that is no header";
    std::ofstream(empty).flush();
    ASSERT_TRUE(writeSound(rate44, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, {0.5f, 0.5f}));
    ASSERT_TRUE(
        writeSound(nan, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, {0.5f, std::nanf(""), 0.5f}));
    ASSERT_TRUE(writeSound(truncated, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                           std::vector<float>(1000, 0.5f)));
    std::filesystem::resize_file(truncated, 44); // header only, claiming 1000 frames
    // A codec tag nobody knows, and a data chunk claiming about 2 GB for 10 frames.
    const std::string codec = dir.file("codec.wav"), huge = dir.file("huge.wav");
    ASSERT_TRUE(writeSound(codec, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1,
                           std::vector<float>(10, 0.5f)));
    ASSERT_TRUE(
        writeSound(huge, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, std::vector<float>(10, 0.5f)));
    auto patch = [](const std::string& name, long at, uint32_t value) {
        std::fstream f(name, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(at);
        const unsigned char b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                                    uint8_t(value >> 24)};
        f.write(reinterpret_cast<const char*>(b), 4);
    };
    patch(codec, 20, 0x00011234); // format tag 0x1234, still one channel
    patch(huge, 4, 0x7FFFFFF0);   // RIFF size
    patch(huge, 40, 0x7FFFFFC0);  // data size

    const struct {
        std::string name, says;
    } cases[] = {{dir.file("missing.wav"), "cannot be read"},
                 {garbage, "cannot be read"},
                 {empty, "cannot be read"},
                 {std::string("/tmp/\xff\xfe.wav"), "cannot be read"},
                 {rate44, "44100 Hz"},
                 {nan, "not numbers"},
                 {truncated, "no samples"},
                 {codec, "cannot be read"},
                 {"", "No sound file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TwaveGO go = record(11);
        setText(go.ufname, c.name);
        Player p(go);
        EXPECT_NE(p.signal->error.find(c.says), std::string::npos) << p.signal->error;
        auto x = p.play(1000);
        EXPECT_TRUE(silent(x[0]) && silent(x[1]));
    }
    // The claimed size is not believed: the ten frames there are play.
    TwaveGO go = record(11);
    setText(go.ufname, huge);
    Player p(go);
    EXPECT_EQ(p.signal->error, "");
    EXPECT_EQ(p.play(20)[0], std::vector<double>(20, 0.5));
}

// The formula plays what evaluating it directly gives, which is the analytic signal.
TEST(GenSynth, FormulaEqualsDirectEvaluation) {
    TwaveGO go = record(12, -6.0);
    setText(go.WaF.functionStr, "a*sin(f1)+b*sin(f2)*c");
    setText(go.WaF.VnameStr, "A;B;C;F1;F2");
    setText(go.WaF.VvalueStr, "0.5;0.25;2;1000;300");
    Player p(go);
    ASSERT_EQ(p.signal->error, "");
    auto x = p.play(4800, 100);

    TCalcExpress e;
    e.parseVariString("A;B;C;F1;F2");
    e.parseValueString("0.5;0.25;2;1000;300");
    long double args[kCalcMaxVars] = {};
    ASSERT_EQ(e.prepareFreqArgs(args, 48000, "a*sin(f1)+b*sin(f2)*c"), 1);
    for (int i = 0; i < 4800; ++i) {
        const double direct = double(e.calc(args, kCalcMaxVars - 1));
        e.doFreqInc(args);
        ASSERT_EQ(x[0][size_t(i)], amp(-6.0) * direct) << i;
        ASSERT_EQ(x[1][size_t(i)], x[0][size_t(i)]);
        const double analytic = 0.5 * std::sin(2 * kPi * 1000 * i / 48000.0) +
                                0.5 * std::sin(2 * kPi * 300 * i / 48000.0);
        ASSERT_NEAR(direct, analytic, 1e-12) << i;
    }
    EXPECT_EQ(p.renderer.takeFaults(), 0u);
}

// Formulas that cannot be played: an unknown variable, a parse error, more values than names;
// and formulas that fault while playing: division by zero, logarithm of a negative, overflow,
// a huge value. All give an error and silence, never garbage.
TEST(GenSynth, BadFormulasGiveAnErrorAndSilence) {
    const struct {
        const char *func, *names, *values;
    } unplayable[] = {{"sin(f1)*q", "F1", "1000"},
                      {"sin(f1", "F1", "1000"},
                      {"sin(f1)", "F1", "1000;2"},
                      {" ", "", ""}};
    for (const auto& c : unplayable) {
        SCOPED_TRACE(c.func);
        TwaveGO go = record(12);
        setText(go.WaF.functionStr, c.func);
        setText(go.WaF.VnameStr, c.names);
        setText(go.WaF.VvalueStr, c.values);
        Player p(go);
        EXPECT_NE(p.signal->error.find("formula"), std::string::npos);
        auto x = p.play(1000);
        EXPECT_TRUE(silent(x[0]) && silent(x[1]));
    }
    const struct {
        const char *func, *values;
        uint32_t fault;
    } faulting[] = {{"1/(a-a)", "1", gfFormulaMath},
                    {"ln(a)", "-1", gfFormulaMath},
                    {"exp(a)*exp(a)", "11000", gfFormulaMath | gfFormulaValue},
                    {"a", "1e300", gfFormulaValue},
                    {"a*1e10", "1", gfFormulaValue}};
    for (const auto& c : faulting) {
        SCOPED_TRACE(c.func);
        TwaveGO go = record(12, 0.0);
        setText(go.WaF.functionStr, c.func);
        setText(go.WaF.VnameStr, "A");
        setText(go.WaF.VvalueStr, c.values);
        Player p(go);
        EXPECT_EQ(p.signal->error, "");
        auto x = p.play(1000);
        EXPECT_TRUE(silent(x[0]) && silent(x[1]));
        const uint32_t f = p.renderer.takeFaults();
        EXPECT_NE(f & c.fault, 0u) << f;
        EXPECT_EQ(p.renderer.takeFaults(), 0u) << "taken once";
    }
}

// A formula that faults after two samples: those two play, then silence, whatever the blocks.
TEST(GenSynth, FormulaFaultSilencesFromThatSampleOn) {
    TwaveGO go = record(12, 0.0);
    setText(go.WaF.functionStr, "ln(a-f1)");
    setText(go.WaF.VnameStr, "A;F1");
    setText(go.WaF.VvalueStr, "0.01;48"); // step 2 pi 48 / 48000 = 0.00628 per sample
    for (int block : {1, 3, 1000}) {
        Player p(go);
        auto x = p.play(1000, block);
        EXPECT_NEAR(x[0][0], std::log(0.01), 1e-12);
        EXPECT_NEAR(x[0][1], std::log(0.01 - 2 * kPi * 48 / 48000), 1e-12);
        EXPECT_TRUE(std::all_of(x[0].begin() + 2, x[0].end(), [](double v) { return v == 0.0; }));
        EXPECT_EQ(p.renderer.takeFaults(), uint32_t(gfFormulaMath));
    }
}

// Every mode gives the same samples whether rendered in one block or split into many.
TEST(GenSynth, OutputDoesNotDependOnBlockSize) {
    TempDir dir;
    const std::string wav = dir.file("a.wav");
    std::vector<float> frames(2 * 777);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = float(std::sin(0.01 * double(i)));
    ASSERT_TRUE(writeSound(wav, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, frames));
    for (int mode : {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12}) {
        SCOPED_TRACE(mode);
        TwaveGO go = record(mode);
        go.repTime_ms = 2;
        go.GenFreqL = 1234.5;
        setText(go.ufname, wav);
        setText(go.WaF.functionStr, "sin(f1)*random(a)");
        setText(go.WaF.VnameStr, "F1;A");
        setText(go.WaF.VvalueStr, "440;0.5");
        const auto whole = play(go, 10000);
        EXPECT_FALSE(silent(whole[0]));
        for (int block : {1, 7, 256, 1000}) {
            Player p(go);
            EXPECT_EQ(p.play(10000, block), whole) << "block " << block;
        }
    }
}

// A level change continues the sine without a phase jump; a mode change starts the new signal
// at once.
TEST(GenSynth, NewSnapshotsContinueOrRestart) {
    TwaveGO go = record(0, -6.0);
    Player p(go);
    p.play(100);
    go.voldB_L = go.voldB_R = -12.0;
    p.update(go);
    auto x = p.play(100);
    for (int i = 0; i < 100; ++i)
        ASSERT_NEAR(x[0][size_t(i)], amp(-12.0) * std::sin(2 * kPi * 1000 * (100 + i) / 48000.0),
                    1e-12);
    go.modeL = go.modeR = 5;
    go.Conti = 0;
    p.update(go);
    x = p.play(100);
    EXPECT_EQ(x[0][0], amp(-12.0));
    EXPECT_EQ(x[0][1], 0.0);
}

// Levels, frequencies and modes that cannot be played: silence with an error or a notice.
TEST(GenSynth, UnplayableRecordsAreSilentWithAMessage) {
    const struct {
        int mode;
        double freq, db;
        const char* says;
        bool notice;
    } cases[] = {{0, 24000.0, -6, "frequency", false}, {1, 0.0, -6, "frequency", false},
                 {8, NAN, -6, "frequency", false},     {7, -5.0, -6, "frequency", false},
                 {0, 1000.0, NAN, "level", false},     {4, 1000.0, -6, "mode 4", true},
                 {9, 1000.0, -6, "mode 9", true},      {42, 1000.0, -6, "mode 42", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        TwaveGO go = record(c.mode, c.db);
        go.GenFreqL = go.GenFreqR = c.freq;
        Player p(go);
        const std::string& msg = c.notice ? p.signal->notice : p.signal->error;
        EXPECT_NE(msg.find(c.says), std::string::npos) << msg;
        auto x = p.play(1000);
        EXPECT_TRUE(silent(x[0]) && silent(x[1]));
    }
    TwaveGO go = record(0, 1e300);
    EXPECT_NEAR(peak(play(go, 4800)[0]), 1000.0, 1e-9) << "levels above +60 dBFS count as +60";
    go = record(5);
    go.OShotsamples = 0;
    Player p(go);
    EXPECT_NE(p.signal->error.find("dirac width 0"), std::string::npos);
}
