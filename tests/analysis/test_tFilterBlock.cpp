// Tests of filter blocks, their INI storage and the sample memory's time-domain filtering.
#include "dsp/IIR_obj_D.h"
#include "dsp/tFilterBlock.h"
#include "analysis/tFilterBlockIni.h"
#include "base/TMemIniFile.h"
#include "dsp/Tsamplemem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(gen);
    return v;
}

// Amplitude of the component at f (Hz) by correlation; exact for whole periods in x.
double amplitude(const double* x, size_t n, double f, double rate, size_t step = 1)
{
    std::complex<double> s = 0;
    for (size_t k = 0; k < n; k += step)
        s += x[k] * std::polar(1.0, -2 * kPi * f * double(k) / rate);
    return 2.0 * std::abs(s) / double((n + step - 1) / step);
}

Tsamplemem memOf(const std::vector<double>& v)
{
    Tsamplemem m(int32_t(v.size()));
    m.move(v.data(), 0, int32_t(v.size()));
    return m;
}

// An active block: low-pass 1 kHz order 4 in slot 2, high-pass 100 Hz order 2 in slot 7.
tFilterBlock bandBlock()
{
    tFilterBlock b;
    b.bypass = false;
    b.aEq[2].SetParam(iirTP, 4, 1000, 0, 1, -3.1, 1, chButterworth);
    b.aEq[7].SetParam(iirHP, 2, 100, 0, 1, -3.1, 1, chButterworth);
    return b;
}

} // namespace

TEST(tFilterBlock, NewBlockDefaultsAndFlatChainPassesUnchanged)
{
    tFilterBlock b;
    EXPECT_EQ(b.Delay_samps, 0);
    EXPECT_TRUE(b.bypass);
    EXPECT_TRUE(b.foniL);
    EXPECT_FALSE(b.fcpL);
    EXPECT_EQ(b.fLevLin, 1.0);
    EXPECT_EQ(b.ffak, 1.0);
    for (const TIIRObj& f : b.aEq)
        EXPECT_EQ(f.Typ(), iirFlat);
    b.bypass = false; // active block, but all filters Flat
    for (double x : noise(256, 1))
        ASSERT_EQ(b.newCycle(x), x);
    EXPECT_TRUE(BlocksInactive(b, b));
}

TEST(tFilterBlock, BypassFilterSelectionAndInactivity)
{
    tFilterBlock b = bandBlock();
    TIIRObj lp = b.aEq[2], hp = b.aEq[7];
    lp.ClearData(), hp.ClearData();
    const tFilterBlock flat;
    EXPECT_FALSE(BlocksInactive(b, flat)) << "one active block is enough";
    for (double x : noise(512, 2)) // chain in slot order; tolerance 0: same operations
        ASSERT_EQ(b.newCycle(x), hp.NewCycle(lp.NewCycle(x)));

    b.bypass = true;
    EXPECT_TRUE(BlocksInactive(b, flat));
    EXPECT_EQ(b.newCycle(0.25), 0.25);
    b.bypass = false;
    b.aEq[2].SetBypassed(true);
    b.aEq[7].SetBypassed(true);
    EXPECT_TRUE(BlocksInactive(b, flat)) << "bypassed filters do not count";
    EXPECT_EQ(b.newCycle(-0.5), -0.5);
}

TEST(tFilterBlock, DelayLineClampsOutOfRangeDelays)
{
    tFilterBlock b;
    const auto x = noise(400, 3);
    for (int d : {0, 5, 119, 200, -7}) {
        b.Delay_samps = d;
        b.Delaybuffer.fill(0.0);
        const int used = std::clamp(d, 0, 119);
        for (size_t n = 0; n < x.size(); ++n) {
            const double want = n >= size_t(used) ? x[n - size_t(used)] : 0.0;
            ASSERT_EQ(b.DoDelay(x[n]), want) << "delay " << d << " sample " << n;
        }
        EXPECT_EQ(b.Delay_samps, used);
    }
}

TEST(tFilterBlock, LevelAndPolarityAreKeptButNotApplied)
{
    tFilterBlock b;
    b.SetLeveldB(-6.0);
    EXPECT_NEAR(b.fLevLin, 0.501187, 1e-6);
    EXPECT_NEAR(b.ffak, 0.501187, 1e-6);
    b.SetLeveldB(3.0); // above 0 dB: ignored
    b.SetLeveldB(std::nan(""));
    EXPECT_EQ(b.fLeveldB, -6.0);
    b.SetInverted(true);
    EXPECT_NEAR(b.ffak, -0.501187, 1e-6);
    b.SetOutputOn(false);
    EXPECT_EQ(b.ffak, 0.0);
    b.bypass = false;
    EXPECT_EQ(b.newCycle(0.3), 0.3);

    tFilterBlock c(b); // copy keeps all of it, the delay line included
    b.Delaybuffer[4] = 0.125;
    c = b;
    EXPECT_EQ(c.ffak, 0.0);
    EXPECT_TRUE(c.fcpL);
    EXPECT_EQ(c.Delaybuffer[4], 0.125);
}

TEST(tFilterBlock, LinkedBlocksFollowTheLeftOneOnOK)
{
    tFilterBlockSet set;
    const tFilterBlock left = bandBlock();
    tFilterBlock right;
    right.bypass = false;
    right.aEq[0].SetParam(iirHP, 1, 50, 0, 1, -3.1, 1, chButterworth);
    set.acceptInput(left, right);
    EXPECT_EQ(set.inpRight.aEq[2].Typ(), iirTP);
    EXPECT_EQ(set.inpRight.aEq[0].Typ(), iirFlat);
    EXPECT_NEAR(set.inpRight.aEq[2].Hz(1000, TSubject::Betrag), left.aEq[2].Hz(1000, TSubject::Betrag), 1e-15);
    set.linkOutFromEQL = false;
    set.acceptOutput(left, right);
    EXPECT_EQ(set.outRight.aEq[0].Typ(), iirHP);
    EXPECT_EQ(set.outLeft.aEq[2].Typ(), iirTP);
}

class tFilterBlockIniTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.path() + "/" + name; }
    QString write(const char* name, const QByteArray& text) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path(name);
    }
    QTemporaryDir dir_; // files of one test
};

TEST_F(tFilterBlockIniTest, RoundTripOfBlockAndSet)
{
    tFilterBlockSet set;
    set.outLeft = bandBlock();
    set.outLeft.Delay_samps = 17;
    set.outLeft.SetLeveldB(-3.5);
    set.outLeft.SetInverted(true);
    set.inpRight.SetOutputOn(false);
    set.linkOutFromEQL = false;
    TMemIniFile ini(path("main.ini"));
    ASSERT_TRUE(saveFilterBlocks(set, ini));

    tFilterBlockSet back;
    TMemIniFile again(path("main.ini"));
    loadFilterBlocks(back, again);
    EXPECT_FALSE(back.linkOutFromEQL);
    EXPECT_TRUE(back.linkInFromEQL);
    EXPECT_FALSE(back.outLeft.bypass);
    EXPECT_EQ(back.outLeft.Delay_samps, 17);
    EXPECT_NEAR(back.outLeft.fLeveldB, -3.5, 1e-12);
    EXPECT_NEAR(back.outLeft.ffak, -std::pow(10, -3.5 / 20), 1e-12);
    EXPECT_FALSE(back.inpRight.foniL);
    EXPECT_EQ(back.inpRight.ffak, 0.0);
    for (double f : {50.0, 1000.0, 5000.0})
        EXPECT_NEAR(back.outLeft.aEq[2].Hz(f, TSubject::Betrag), set.outLeft.aEq[2].Hz(f, TSubject::Betrag), 1e-9);
    EXPECT_EQ(back.outLeft.aEq[7].Typ(), iirHP);
    EXPECT_TRUE(again.SectionExists("Outleft_19"));
    EXPECT_TRUE(again.ValueExists("OutFilter", "LinkOutFromEQL"));
}

TEST_F(tFilterBlockIniTest, GarbageAndOutOfRangeValuesLoadDefaults)
{
    const QString f = write("bad.ini", "[B]\nByPass=maybe\ndelay_samps=200\nLevLin=-3\nLeveldB=6\n"
                                       "cpl=yes\noniL=7.5x\n[B_3]\nTyp=99\nFreq=abc\n");
    tFilterBlock b;
    b.bypass = false;
    EXPECT_TRUE(loadFromIni(b, f, "B"));
    EXPECT_TRUE(b.bypass);
    EXPECT_EQ(b.Delay_samps, 119);
    EXPECT_EQ(b.fLevLin, 1.0);
    EXPECT_EQ(b.fLeveldB, 0.0);
    EXPECT_FALSE(b.fcpL);
    EXPECT_TRUE(b.foniL);
    EXPECT_EQ(b.aEq[3].Typ(), iirFlat);

    tFilterBlock c; // delay 200 in a file plays as 119 samples
    c.Delay_samps = 200;
    EXPECT_EQ(c.DoDelay(1.0), 0.0);
}

TEST_F(tFilterBlockIniTest, UnreadableFileLeavesTheBlockAlone)
{
    QByteArray binary("[B]\nByPass=true\n");
    binary.append('\0');
    tFilterBlock b = bandBlock();
    b.Delay_samps = 9;
    for (const QByteArray& bad : {binary, QByteArray("[B]\ndelay_samps=\xff\xfe\n")}) {
        QString why;
        EXPECT_FALSE(loadFromIni(b, write("bad.ini", bad), "B", &why));
        EXPECT_FALSE(why.isEmpty());
        EXPECT_FALSE(b.bypass);
        EXPECT_EQ(b.Delay_samps, 9);
        EXPECT_EQ(b.aEq[2].Typ(), iirTP);
    }

    QString whySave; // a folder where the file should be: a clear failure, not success
    QDir(dir_.path()).mkdir("isdir.ini");
    EXPECT_FALSE(saveToIni(b, path("isdir.ini"), "B", &whySave));
    EXPECT_FALSE(whySave.isEmpty());
}

// ---- sample memory ----------------------------------------------------------------------

TEST(TsamplememFilters, BlockFilteringIsIndependentOfSplitting)
{
    const auto x = noise(3000, 4);
    tFilterBlock whole = bandBlock(), split = bandBlock(), ref = bandBlock();
    Tsamplemem a = memOf(x);
    a.timeDomainFilterEQ(48000, whole);
    Tsamplemem p1 = memOf({x.begin(), x.begin() + 1234}), p2 = memOf({x.begin() + 1234, x.end()});
    p1.timeDomainFilterEQ(48000, split);
    p2.timeDomainFilterEQ(48000, split);
    for (size_t n = 0; n < x.size(); ++n) {
        const double want = ref.newCycle(x[n]);
        ASSERT_NEAR(a.getsmAr(int32_t(n)), want, 1e-12) << n;
        const double s = n < 1234 ? p1.getsmAr(int32_t(n)) : p2.getsmAr(int32_t(n - 1234));
        ASSERT_NEAR(s, want, 1e-12) << n;
    }
}

TEST(TsamplememFilters, BypassedOrFlatBlocksLeaveDataUnchanged)
{
    const auto x = noise(500, 5);
    tFilterBlock active = bandBlock(), flat;
    active.bypass = true; // filters set, block bypassed: skipped entirely
    flat.bypass = false;
    Tsamplemem a = memOf(x), b = memOf(x);
    a.timeDomainFilterEQ(48000, active);
    b.timeDomainFilterEQ(48000, flat);
    a.timeDomainFilterEQRL(48000, active, active);
    for (size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(a.getsmAr(int32_t(n)), x[n]);
        ASSERT_EQ(b.getsmAr(int32_t(n)), x[n]);
    }
    a.timeDomainFilterEQ(std::nan(""), flat);
    EXPECT_FALSE(a.lastError().empty());
}

// A filter designed at 48 kHz run on 96 kHz data is redesigned: the corner stays at 1 kHz.
TEST(TsamplememFilters, RateChangeRedesignsAndTrackingRetunes)
{
    TIIRObj lp;
    lp.SetParam(iirTP, 2, 1000, 0, 1, -3.1, 1, chButterworth);
    std::vector<double> s(96000);
    for (size_t n = 0; n < s.size(); ++n)
        s[n] = std::sin(2 * kPi * 1000 * double(n) / 96000);
    Tsamplemem m = memOf(s);
    m.timeDomainFilterSingleF(96000, lp);
    const double db = 20 * std::log10(amplitude(m.smpoi() + 48000, 48000, 1000, 96000));
    EXPECT_NEAR(db, -3.01, 0.01);

    tFilterBlock b = bandBlock(); // tracking moves the low-pass to 10 kHz
    Tsamplemem t = memOf(std::vector<double>(s.begin(), s.end()));
    t.timeDomainFilterTrackEQ(96000, b, 10000);
    EXPECT_EQ(b.aEq[2].Freq(), 10000);
    EXPECT_EQ(b.aEq[7].Freq(), 10000);
    // 1 kHz through HP 10 kHz order 2 and LP 10 kHz order 4: about -40 dB
    const double want = 20 * std::log10(b.aEq[2].Hz(1000, TSubject::Betrag) * b.aEq[7].Hz(1000, TSubject::Betrag));
    EXPECT_NEAR(20 * std::log10(amplitude(t.smpoi() + 48000, 48000, 1000, 96000)), want, 0.01);
}

TEST(TsamplememFilters, InterleavedChannelsUseTheirOwnBlocks)
{
    const auto x = noise(2000, 6);
    tFilterBlock l = bandBlock(), r, lref = bandBlock();
    r.bypass = false;
    r.aEq[5].SetParam(iirHP, 1, 300, 0, 1, -3.1, 1, chBessel);
    tFilterBlock rref(r);
    Tsamplemem m = memOf(x);
    m.timeDomainFilterEQRL(48000, l, r);
    for (size_t n = 0; n < x.size(); ++n) {
        const double want = n % 2 ? rref.newCycle(x[n]) : lref.newCycle(x[n]);
        ASSERT_NEAR(m.getsmAr(int32_t(n)), want, 1e-12) << n;
    }
}

// ---- FM demodulation --------------------------------------------------------------------

namespace {

// A 3 kHz carrier at 48 kHz, frequency-modulated at 4 Hz with `dev` Hz deviation.
std::vector<double> fmSignal(size_t n, double dev, size_t offset = 0)
{
    std::vector<double> v(n);
    for (size_t k = 0; k < n; ++k) {
        const double t = double(k + offset) / 48000;
        v[k] = 0.5 * std::sin(2 * kPi * 3000 * t + dev / 4 * std::sin(2 * kPi * 4 * t));
    }
    return v;
}

// Recovered modulation: amplitude at 4 Hz of the even elements of one second from `from`.
double recovered(const Tsamplemem& m, size_t from)
{
    return amplitude(m.smpoi() + from, 48000, 4, 48000, 2);
}

} // namespace

TEST(TsamplememFilters, FmDemodulationRecoversTheDeviation)
{
    const double dev = 30;                             // Hz
    const double want = 6.8 * 2 * kPi * dev / 48000;   // phase step per sample, scaled
    // First use in this program, filters at rest: silence gives zeros, not 0/0 = NaN.
    Tsamplemem silence(4000);
    silence.FM_Demodulation(0, 3000, 48000);
    for (int32_t i = 0; i < 4000; ++i)
        ASSERT_EQ(silence.getsmAr(i), 0.0);

    const auto x = fmSignal(72000, dev);
    Tsamplemem m = memOf(x);
    ASSERT_EQ(m.FM_Demodulation(0, 3000, 48000), 72000);
    EXPECT_NEAR(recovered(m, 24000) / want, 1.0, 0.02);

    // Odd elements are the input scaled, minus the mean of the running sum (input pairs plus
    // the demodulated values): solve for that mean from the even results.
    double inputs = 0, demod = 0, pairs = 0;
    for (size_t i = 0; i + 2 < x.size(); i += 2, ++pairs)
        inputs += x[i] + x[i + 1], demod += m.getsmAr(int32_t(i));
    const double mean = (inputs + demod / 6.8) / (72000 - pairs / 6.8);
    for (int32_t i = 1; i < 72000; i += 2)
        ASSERT_NEAR(m.getsmAr(i), 6.8 * x[size_t(i)] - mean, 1e-9) << i;
    EXPECT_NEAR(m.getsmAr(71998), 6.8 * x[71998] - mean, 1e-9) << "the last pair is not demodulated";

    // The filters keep their state: the next piece is right once they have settled.
    Tsamplemem next = memOf(fmSignal(72000, dev, 72000));
    next.FM_Demodulation(0, 3000, 48000);
    EXPECT_NEAR(recovered(next, 24000) / want, 1.0, 0.02);
}
