// Tests of the sample memory: ownership, ranges, statistics, stereo, sorting, spectra, MLS.
#include "dsp/Tsamplemem.h"

#include <gtest/gtest.h>
#include <utility>
#include <functional>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

Tsamplemem from(const std::vector<double>& v) {
    Tsamplemem s(static_cast<int32_t>(v.size()));
    for (size_t i = 0; i < v.size(); ++i)
        s.setsmAr(static_cast<int32_t>(i), v[i]);
    return s;
}

std::vector<double> values(const Tsamplemem& s) {
    return std::vector<double>(s.smpoi(), s.smpoi() + s.samples());
}

// One period of the sequence, as bits (1 = +1), from the recurrence b[n] = xor of b[n - tap]
// with every earlier value 1.
std::vector<int> referenceMls(int order, const std::vector<int>& taps) {
    const int period = (1 << order) - 1;
    std::vector<int> b(static_cast<size_t>(order + period), 1);
    for (int n = order; n < order + period; ++n) {
        int v = 0;
        for (int t : taps)
            v ^= b[n - t];
        b[n] = v;
    }
    return std::vector<int>(b.begin() + order, b.end());
}

} // namespace

TEST(Tsamplemem, OwnershipCopiesAndTheAllocationCounter) {
    const int64_t before = Tsamplemem::allocatedSamples();
    {
        Tsamplemem a(100);
        EXPECT_EQ(Tsamplemem::allocatedSamples(), before + 100);
        EXPECT_TRUE(a.memIsAlloc());
        EXPECT_EQ(a.getsmAr(99), 0.0);
        a.setsmAr(3, 7.5);
        a.setTag(4);
        a.setAlign(1);
        Tsamplemem b(a);
        b.setsmAr(3, -1.0);
        EXPECT_EQ(a.getsmAr(3), 7.5) << "a copy must not share samples";
        EXPECT_EQ(b.tag(), 4);
        EXPECT_EQ(b.align(), 1);
        EXPECT_EQ(Tsamplemem::allocatedSamples(), before + 200);
        Tsamplemem c(std::move(b));
        EXPECT_EQ(Tsamplemem::allocatedSamples(), before + 200);
        a = c;
        EXPECT_EQ(a.getsmAr(3), -1.0);
        c.setSamples(150);
        EXPECT_EQ(Tsamplemem::allocatedSamples(), before + 250);
    }
    EXPECT_EQ(Tsamplemem::allocatedSamples(), before);
    EXPECT_THROW(Tsamplemem(-1), EsampleMemEx);
}

TEST(Tsamplemem, AssigningAnEqualCountKeepsTheOwnBuffer) {
    Tsamplemem a(8), b(8);
    for (int32_t i = 0; i < 8; ++i) b.setsmAr(i, i + 0.5);
    b.setTag(3);
    const double* own = a.smpoi();
    const int64_t before = Tsamplemem::allocatedSamples();
    a = b;
    EXPECT_EQ(a.smpoi(), own) << "no new allocation for the same count";
    EXPECT_EQ(a.getsmAr(7), 7.5);
    EXPECT_EQ(a.tag(), 3);
    EXPECT_EQ(Tsamplemem::allocatedSamples(), before);
    // A view of the very buffer as the source, and a view without memory (reads as zeros).
    Tsamplemem self = Tsamplemem::createWMem(8);
    self.setSmpoi(a.smpoi());
    a = self;
    EXPECT_EQ(a.getsmAr(7), 7.5);
    const Tsamplemem empty = Tsamplemem::createWMem(8);
    a = empty;
    EXPECT_TRUE(a.memIsAlloc());
    EXPECT_EQ(a.getsmAr(7), 0.0);
    // Another count: a buffer of its own size.
    a = Tsamplemem(3);
    EXPECT_EQ(a.samples(), 3);
    // Copy and scale in one: the same as a copy followed by calcDats, into either buffer.
    for (const int32_t size : {8, 5}) {
        Tsamplemem c(size);
        const double* before = c.smpoi();
        c.assignScaled(b, 2.0, -1.0);
        ASSERT_EQ(c.samples(), 8);
        EXPECT_EQ(c.getsmAr(3), -1.0 + 2.0 * 3.5);
        EXPECT_EQ(c.tag(), 3);
        EXPECT_EQ(c.smpoi() == before, size == 8);
    }
    b.assignScaled(b, 0.5, 0.0); // onto itself
    EXPECT_EQ(b.getsmAr(7), 3.75);
    // A buffer for writing into: owned and counted, its values not cleared.
    const int64_t counted = Tsamplemem::allocatedSamples();
    {
        Tsamplemem u = Tsamplemem::uncleared(100);
        EXPECT_EQ(u.samples(), 100);
        EXPECT_TRUE(u.memIsAlloc());
        EXPECT_EQ(Tsamplemem::allocatedSamples(), counted + 100);
        EXPECT_EQ(Tsamplemem::uncleared(0).samples(), 0);
    }
    EXPECT_EQ(Tsamplemem::allocatedSamples(), counted);
    EXPECT_THROW(Tsamplemem::uncleared(-1), EsampleMemEx);
}

// Sealed samples are shared by their copies, and assigning the same samples again reads and
// writes nothing; but every kind of write, on either side, gives the writer samples of its own
// and makes the next assignment copy.
TEST(Tsamplemem, SealedCopiesShareUntilEitherSideWrites) {
    Tsamplemem a(64);
    for (int32_t i = 0; i < 64; ++i) a.setsmAr(i, i * 0.25);
    a.seal();
    const double* sealed = std::as_const(a).smpoi();
    const int64_t counted = Tsamplemem::allocatedSamples();
    Tsamplemem b(64);
    b = a;
    EXPECT_TRUE(a.shared());
    EXPECT_EQ(std::as_const(b).smpoi(), sealed);
    EXPECT_EQ(Tsamplemem::allocatedSamples(), counted) << "shared samples are counted once";
    using Write = std::function<void(Tsamplemem&)>;
    const std::vector<std::pair<const char*, Write>> writes{
        {"setsmAr", [](Tsamplemem& m) { m.setsmAr(5, -1.0); }},
        {"smpoi", [](Tsamplemem& m) { m.smpoi()[6] = -2.0; }},
        {"getsmpoiAP", [](Tsamplemem& m) { *m.getsmpoiAP(7) = -3.0; }},
        {"view", [](Tsamplemem& m) { m.view()->Fsmpoi[8] = -4.0; }},
        {"calcDats", [](Tsamplemem& m) { m.calcDats(2.0, 1.0); }},
        {"fillComplete", [](Tsamplemem& m) { m.fillComplete(0.0); }},
        {"Mirror", [](Tsamplemem& m) { m.Mirror(); }},
        {"setSamples", [](Tsamplemem& m) { m.setSamples(32); m.setSamples(64); }},
    };
    for (const auto& [what, write] : writes) {
        write(b); // the copy written: the sealed samples stay as they are
        EXPECT_NE(std::as_const(b).smpoi(), sealed) << what;
        EXPECT_EQ(a.getsmAr(5), 1.25) << what;
        EXPECT_EQ(a.getsmAr(40), 10.0) << what;
        b = a;
        EXPECT_EQ(b.getsmAr(5), 1.25) << what;
        EXPECT_EQ(b.getsmAr(8), 2.0) << what;
        EXPECT_EQ(b.getsmAr(40), 10.0) << what;
        Tsamplemem source(a); // the source written: its copy keeps what it had
        b = source;
        write(source);
        EXPECT_EQ(b.getsmAr(40), 10.0) << what;
        b = source;
        EXPECT_EQ(std::memcmp(std::as_const(b).smpoi(), std::as_const(source).smpoi(), 64 * sizeof(double)), 0)
            << what;
        b = a;
    }
    // The last owner keeps the samples without copying; nothing is lost or counted twice.
    b = Tsamplemem();
    {
        Tsamplemem c(a);
        a = Tsamplemem(1);
        EXPECT_FALSE(c.shared());
        c.setsmAr(0, 7.0);
        EXPECT_EQ(std::as_const(c).smpoi(), sealed);
    }
    EXPECT_EQ(Tsamplemem::allocatedSamples(), counted - 64 + 1);
    // A view is never sealed.
    double mem[64] = {};
    Tsamplemem v = Tsamplemem::createWMem(64);
    v.setSmpoi(mem);
    v.seal();
    b = v;
    mem[3] = 9.0;
    b = v;
    EXPECT_EQ(b.getsmAr(3), 9.0);
}

// Zeros are known without reading after a zeroed allocation and after a first look.
TEST(Tsamplemem, AllZeroIsKnownUntilTheNextWrite) {
    Tsamplemem z(16);
    EXPECT_TRUE(z.isAllZero());
    z.setsmAr(4, 1e-300);
    EXPECT_FALSE(z.isAllZero());
    z.setsmAr(4, -0.0);
    EXPECT_FALSE(z.isAllZero()) << "-0 is not +0";
    z.fillComplete(0.0);
    EXPECT_TRUE(z.isAllZero());
    Tsamplemem copy(z);
    EXPECT_TRUE(copy.isAllZero());
    z.smpoi()[15] = 2.0;
    EXPECT_FALSE(z.isAllZero());
    EXPECT_TRUE(copy.isAllZero());
    EXPECT_TRUE(Tsamplemem().isAllZero());
}

TEST(Tsamplemem, SoundModuleSeesTheObjectAsAView) {
    Tsamplemem s(8);
    TsmView* v = reinterpret_cast<TsmView*>(&s);
    EXPECT_EQ(static_cast<void*>(v), static_cast<void*>(s.view()));
    ASSERT_EQ(v->Fsamples, 8);
    for (int i = 0; i < v->Fsamples; ++i)
        v->Fsmpoi[i] = i * 0.125;
    EXPECT_EQ(s.getsmAr(7), 0.875);
}

TEST(Tsamplemem, ViewsWithoutMemoryAreHarmless) {
    const int64_t before = Tsamplemem::allocatedSamples();
    Tsamplemem v = Tsamplemem::createWMem(16);
    EXPECT_EQ(v.samples(), 16);
    EXPECT_EQ(v.smpoi(), nullptr);
    EXPECT_EQ(v.getsmAr(3), 0.0);
    EXPECT_EQ(v.getsmpoiAP(3), nullptr);
    v.fillComplete(1.0);
    EXPECT_EQ(v.getmaxIndex(), 0);
    double ext[16] = {};
    ext[5] = 2.0;
    v.setSmpoi(ext);
    EXPECT_EQ(v.getsmAr(5), 2.0);
    v.setSamples(4); // a shrinking view keeps looking at the same memory
    EXPECT_EQ(v.smpoi(), ext);
    v.setSamples(20); // a growing one takes its own copy
    EXPECT_NE(v.smpoi(), ext);
    EXPECT_TRUE(v.memIsAlloc());
    EXPECT_EQ(v.getsmAr(0), 0.0);
    EXPECT_EQ(Tsamplemem::allocatedSamples(), before + 20);
}

TEST(Tsamplemem, RangeErrorsAreAbsorbedWithTheirMessage) {
    Tsamplemem s = from({1, 2, 3});
    EXPECT_EQ(s.getsmAr(3), 0.0);
    EXPECT_EQ(s.lastError(), "\r\nSM read arr idx,samples: 3,3");
    s.setsmAr(-1, 9.0);
    EXPECT_EQ(s.lastError(), "\r\nSM write arr @idx:-1, size: 3");
    EXPECT_EQ(s.getsmpoiAP(7), nullptr);
    EXPECT_EQ(s.lastError(), "\r\nSM read parr idx: 7");
    s.fill(2, 1, 5.0);
    EXPECT_EQ(s.lastError(), "\r\nSM fill von>bis");
    s.fill(0, 3, 5.0);
    EXPECT_EQ(s.lastError(), "\r\nSM fill bis: 3");
    EXPECT_EQ(values(s), (std::vector<double>{1, 2, 3}));
    EXPECT_THROW(s.setSamples(0), EsampleMemEx);
    EXPECT_EQ(s.resize2(-4), 0);
    EXPECT_EQ(s.lastError(), "\r\nResize2 anz: -4");
    EXPECT_EQ(s.samples(), 3);
}

TEST(Tsamplemem, ResizeKeepsARangeOrLeavesTheBufferAlone) {
    Tsamplemem s = from({0, 1, 2, 3, 4});
    double* before = s.smpoi();
    EXPECT_EQ(s.resize(0, 4), 5);
    EXPECT_EQ(s.smpoi(), before);
    EXPECT_EQ(s.resize(5, 6), 0);
    EXPECT_EQ(s.resize(3, 3), 0);
    EXPECT_EQ(s.resize(1, 6), 6); // past the end: padded with zeros
    EXPECT_EQ(values(s), (std::vector<double>{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(s.cutFront(2), 4);
    EXPECT_EQ(values(s), (std::vector<double>{3, 4, 0, 0}));
    EXPECT_EQ(s.cutFront(3), 4) << "nothing left to cut";
    EXPECT_EQ(s.resize2(6), 6);
    EXPECT_EQ(values(s), (std::vector<double>{3, 4, 0, 0, 0, 0}));

    double ext[4] = {10, 11, 12, 13};
    Tsamplemem v = Tsamplemem::createWMem(4);
    v.setSmpoi(ext);
    EXPECT_EQ(v.resize(1, 2), 2);
    EXPECT_EQ(v.smpoi(), ext + 1);
    EXPECT_EQ(v.resize(0, 5), 0) << "a view cannot reach past its memory";
    EXPECT_EQ(v.samples(), 2);
}

TEST(Tsamplemem, SplitIntoCopiesOrViews) {
    Tsamplemem s = from({1, 2, 3, 4, 5});
    s.setAlign(1);
    Tsamplemem l = from({9}), r;
    EXPECT_EQ(s.Split(l, r, 0, true), 0);
    EXPECT_EQ(l.samples(), 0);
    EXPECT_EQ(values(r), values(s));
    EXPECT_EQ(r.align(), 1);
    EXPECT_EQ(s.Split(l, r, 5, true), 0);
    EXPECT_EQ(r.samples(), 5) << "at = count changes nothing";
    EXPECT_EQ(s.Split(l, r, 2, false), 2);
    EXPECT_FALSE(l.memIsAlloc());
    EXPECT_EQ(values(l), (std::vector<double>{1, 2}));
    r.setsmAr(0, 30.0);
    EXPECT_EQ(s.getsmAr(2), 30.0) << "views share the buffer";
    EXPECT_EQ(s.Split(s, r, 2, false), 0) << "a part cannot replace the buffer it views";
}

TEST(Tsamplemem, BulkCopiesRespectBothBuffers) {
    Tsamplemem s(4);
    const double src[6] = {1, 2, 3, 4, 5, 6};
    s.move(src, 1, 3);
    EXPECT_EQ(values(s), (std::vector<double>{2, 3, 4, 0}));
    s.move(src, 2, 3);
    EXPECT_EQ(s.lastError(), "\r\nSM fill abind+size");
    s.moveto(0, 1);
    EXPECT_EQ(values(s), (std::vector<double>{2, 2, 3, 4}));
    Tsamplemem big = from({5, 6, 7, 8, 9});
    s.copyfromInd(2, big); // would need 6 samples
    EXPECT_EQ(s.getsmAr(0), 2.0);
    s.copyfromInd(1, big);
    EXPECT_EQ(values(s), (std::vector<double>{6, 7, 8, 9}));
    Tsamplemem small = from({-1, -2});
    s.copyfrom(small);
    s.add(small);
    EXPECT_EQ(values(s), (std::vector<double>{-2, -4, 8, 9}));
}

TEST(Tsamplemem, ElementArithmeticHandlesItsFailures) {
    Tsamplemem s = from({1, 10, 0, -3});
    s.logar(1.0, 0.0);
    EXPECT_EQ(values(s), (std::vector<double>{0, 20, 0, -3})) << "no logarithm: value kept";
    Tsamplemem d = from({1, 4, 9, 1e308, -1e308});
    d.differenz();
    EXPECT_EQ(values(d), (std::vector<double>{3, 5, 1e308 - 9, 9999999999.0, 0}));
    Tsamplemem one = from({5});
    one.differenz();
    EXPECT_EQ(one.getsmAr(0), 0.0);
    Tsamplemem ph = from({-M_PI, 1.0}), hz = from({1000, 0});
    EXPECT_EQ(ph.Phase2GDms(hz), 2);
    EXPECT_NEAR(ph.getsmAr(0), -0.5, 1e-15);
    EXPECT_EQ(ph.getsmAr(1), 1.0) << "no delay at 0 Hz";
}

TEST(Tsamplemem, LevelStatistics) {
    Tsamplemem s = from({1, 2, 3});
    // Mean 2, deviations -1 0 1, divided by one less than the number of samples.
    EXPECT_NEAR(s.getRMStdLevel(0, 2), 1.0, 1e-15);
    EXPECT_NEAR(s.getARMtdLevel(0, 2), 1.0, 1e-15);
    EXPECT_EQ(s.getRMStdLevel(1, 1), 0.0);
    EXPECT_EQ(s.getRMStdLevel(2, 1), 0.0);
    EXPECT_EQ(s.lastError(), "\r\ngetRMStsLevel von, bis, Samples: 2,1, 3");
    Tsamplemem dc(1000);
    dc.fillComplete(0.5);
    EXPECT_NEAR(dc.getRMStdLevel(0, 999), 0.0, 1e-12) << "a constant has no spread";

    Tsamplemem p = from({0.1, -0.9, 0.9, 0.3});
    EXPECT_EQ(p.getmaxIndex(), 1) << "first of equal magnitudes";
    EXPECT_EQ(p.getmaxVal(), 0.9);
    EXPECT_EQ(p.getmaxVal_vb(2, 3), 0.9);
    EXPECT_EQ(p.getmaxVal_vb(3, 4), 0.0);
    EXPECT_EQ(p.getmaxIndexGT(0.9), 4);
    EXPECT_EQ(p.getPeak(0.9), 1);
    EXPECT_EQ(p.getPeak(2.0), -1);
    EXPECT_EQ(Tsamplemem(3).getmaxIndex(), 0);
    EXPECT_EQ(p.makeStr(0, 1), " 0.1 -0.9");
    EXPECT_EQ(p.makeStr(1, 9), "Exception");
}

TEST(Tsamplemem, OverloadCountersSaturate) {
    Tsamplemem s(700);
    for (int i = 0; i < 600; i += 2)
        s.setsmAr(i, 1.0);
    s.setsmAr(1, -1.0);
    int32_t l = 7, r = 7;
    s.checkOverLRLR(1.0, l, r);
    EXPECT_EQ(l, 255);
    EXPECT_EQ(r, 1);
    int32_t all = 250;
    s.checkOver(1.0, all);
    EXPECT_EQ(all, 255) << "adds to the old count, never past 255";
}

TEST(Tsamplemem, ImpulseLengthDetection) {
    const double sf = 10000; // start at index 100
    Tsamplemem s(5000);
    for (int i = 1000; i < 3000; ++i)
        s.setsmAr(i, (i % 2) ? 0.5 : -0.5);
    s.setsmAr(500, 6.3); // just below the level on its own
    s.setsmAr(562, 0.2); // tips the average over it until the big sample leaves: a click
    double ms = 0;
    int32_t b = 0, e = 0;
    EXPECT_EQ(s.getmaxValIPSlengthIO(0.1, sf, ms, b, e), 0);
    // The 64-sample average reaches 0.1 with 13 burst samples and falls below 0.1/3 when
    // only 4 are left in it.
    EXPECT_EQ(b, 1012);
    EXPECT_EQ(e, 3059);
    EXPECT_NEAR(ms, (3059 - 1012) / sf * 1000, 1e-9);
    Tsamplemem shortBuf(100);
    EXPECT_EQ(shortBuf.getmaxValIPSlength(0.1, sf, ms), 0);
    EXPECT_EQ(ms, 0.0);
}

TEST(Tsamplemem, StereoLayouts) {
    for (int count : {8, 7}) {
        Tsamplemem s(count);
        for (int i = 0; i < count; ++i)
            s.setsmAr(i, i);
        EXPECT_EQ(s.Setalign(1), 1);
        for (int i = 0; i < count; ++i) {
            const int pos = (i % 2 == 0) ? i / 2 : (count + 1) / 2 + i / 2;
            EXPECT_EQ(s.getsmAr(pos), i) << "count " << count << " sample " << i;
        }
        EXPECT_EQ(s.Setalign(1), 1); // already blocked: unchanged
        EXPECT_EQ(s.Setalign(0), 0);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(s.getsmAr(i), i);
    }
    Tsamplemem m = from({0.5, 0.25, 0.75, 0.5, 0.1});
    EXPECT_EQ(m.conv2mono(), 1);
    EXPECT_EQ(values(m), (std::vector<double>{0.75, 0.75, 1.25, 1.25, 0.1}));
}

TEST(Tsamplemem, DcOffsetGainAndChannelSwap) {
    Tsamplemem s = from({1, 10, 3, 20});
    s.doAllesLRLR(true, 0, 0, 2, 1, false);
    EXPECT_EQ(values(s), (std::vector<double>{-2, -5, 2, 5}));
    Tsamplemem w = from({1, 2, 3, 4});
    w.doAllesLRLR(false, 1, 0, 1, 10, true);
    EXPECT_EQ(values(w), (std::vector<double>{20, 2, 40, 4}));
}

TEST(Tsamplemem, SortingCarriesCompanionsAlong) {
    Tsamplemem x = from({3, 1, NAN, 2, 1}), y = from({30, 10, 99, 20, 11}), odd = from({1, 2});
    x.sort(&y, &odd);
    EXPECT_EQ(x.getsmAr(0), 1);
    EXPECT_EQ(x.getsmAr(3), 3);
    EXPECT_TRUE(std::isnan(x.getsmAr(4)));
    EXPECT_EQ(values(y), (std::vector<double>{10, 11, 20, 30, 99})) << "stable, NaN last";
    EXPECT_EQ(values(odd), (std::vector<double>{1, 2})) << "other length: left alone";

    Tsamplemem a = from({2, 1}), b = from({20, 10}), c = from({200, 100});
    Tsamplemem* comp[] = {&b, &c};
    a.sortCH(comp);
    EXPECT_EQ(values(c), (std::vector<double>{100, 200}));

    Tsamplemem r = from({0, 0, 1, 1, 1});
    r.remDouble();
    EXPECT_EQ(r.getsmAr(1), 0.0);
    EXPECT_NEAR(r.getsmAr(3), 1.01, 1e-12);
    EXPECT_NEAR(r.getsmAr(4), 1.02, 1e-12) << "a run of three still rises";

    Tsamplemem u = from({1, 1, 2, 3, 3}), v = from({10, 11, 20, 30, 31});
    EXPECT_EQ(u.remDouble2(&v, nullptr), 3);
    EXPECT_EQ(values(u), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(values(v), (std::vector<double>{11, 20, 31}));
}

TEST(Tsamplemem, SmoothingSkipsMissingPoints) {
    Tsamplemem s(400);
    s.fillComplete(-20.0);
    for (int i : {0, 50, 51, 200, 399})
        s.setsmAr(i, -192.0);
    s.smoothOktFD(10);
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(s.getsmAr(i),
                  (i == 0 || i == 50 || i == 51 || i == 200 || i == 399) ? -192.0 : -20.0)
            << i;
    // A single peak spreads to its neighbours and the overlapping windows weigh it more near by.
    Tsamplemem p(40);
    p.setsmAr(20, 12.0);
    p.smoothOktFD(0);
    EXPECT_GT(p.getsmAr(20), p.getsmAr(24));
    EXPECT_GT(p.getsmAr(24), 0.0);
    EXPECT_EQ(p.getsmAr(13), 0.0) << "out of reach of the peak";
}

TEST(Tsamplemem, ThirdOctaveBandsAverage) {
    Tsamplemem xa = from({10, 16, 17, 20, 21, 100}), y = from({1, 3, 5, 7, 9, 11});
    EXPECT_EQ(y.octave13FD(xa), 6);
    // Bands end at 16.35, 20.6, 25.95 .. 103.8 Hz.
    EXPECT_EQ(values(y), (std::vector<double>{2, 2, 6, 6, 9, 11}));
    Tsamplemem nanAxis = from({NAN, 5}), z = from({1, 2});
    EXPECT_EQ(z.octave13FD(nanAxis), 2) << "must end even when the axis never passes an edge";
}

TEST(Tsamplemem, XaxisOfASpectrum) {
    Tsamplemem x = Tsamplemem::constructXaxis(8, 16, 2, 48001);
    EXPECT_EQ(x.getsmAr(1), 0.0);
    EXPECT_EQ(x.getsmAr(2), 2.0 / 8 * 24000);
    EXPECT_EQ(x.getsmAr(7), 7.0 / 8 * 24000);
}

TEST(Tsamplemem, MlsShapeAndIllegalOrders) {
    Tsamplemem s(32);
    s.fillwithMLS(4, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::fabs(s.getsmAr(i)), 1.0) << i;
    for (int i = 16; i < 32; ++i)
        EXPECT_EQ(s.getsmAr(i), 0.0) << i;
    Tsamplemem shortBuf(31);
    EXPECT_EQ(shortBuf.fillwithMLS(4, 0), 0);
    EXPECT_EQ(shortBuf.getsmAr(0), 0.0);
    Tsamplemem quiet(64);
    quiet.fillwithMLS(5, -20);
    EXPECT_NEAR(std::fabs(quiet.getsmAr(3)), 0.1, 1e-15);
    for (int bad : {1, 17, -3}) {
        try {
            s.fillwithMLS(bad, 0);
            ADD_FAILURE() << "order " << bad << " accepted";
        } catch (const EsampleMemIllegalInput& e) {
            EXPECT_STREQ(e.what(), "Illegal Input Data");
        }
    }
}

// The generator is the shift register of +-1 cells: the output is the exclusive-or of the tap
// cells' "is set" states, shifted into cell 0. Simulated literally here for a few orders.
TEST(Tsamplemem, MlsFollowsTheShiftRegister) {
    const std::vector<std::pair<int, std::vector<int>>> cases{
        {2, {1, 2}}, {5, {3, 5}}, {8, {2, 3, 5, 8}}, {12, {6, 8, 11, 12}}, {16, {4, 13, 15, 16}}};
    for (const auto& [order, taps] : cases) {
        const int L = 1 << order;
        std::vector<int> cell(size_t(order), 1);
        Tsamplemem s(2 * L);
        s.fillwithMLS(order, 0);
        for (int i = 0; i < L; ++i) {
            int b = 0;
            for (int t : taps)
                b ^= cell[size_t(t - 1)] > 0 ? 1 : 0;
            const int v = b ? 1 : -1;
            for (int k = order - 1; k >= 1; --k)
                cell[size_t(k)] = cell[size_t(k - 1)];
            cell[0] = v;
            ASSERT_EQ(s.getsmAr(i), double(v)) << "order " << order << ", index " << i;
        }
    }
}

// A period of the sequence circularly convolved with a short response gives that response back,
// for every order the generator offers and at an offset inside a larger buffer.
TEST(Tsamplemem, MlsRoundTripRecoversTheImpulseResponse) {
    const std::vector<std::vector<double>> responses{
        {1.0}, {0.0, 0.0, 1.0, -0.5, 0.25}, {0.3, -0.8, 0.05, 0.6, -0.2, 0.1, 0.0, 0.02}};
    const int ind = 3;
    for (int order = 2; order <= 16; ++order) {
        const int L = (1 << order) - 1;
        Tsamplemem mls(2 * (L + 1));
        mls.fillwithMLS(order, 0);
        for (const auto& h : responses) {
            Tsamplemem rec(ind + L + 5);
            rec.fillComplete(42.0);
            for (int k = 0; k < L; ++k) {
                double y = 0;
                for (size_t j = 0; j < h.size(); ++j)
                    y += h[j] * mls.getsmAr(static_cast<int32_t>((k - int(j) + 4 * L) % L));
                rec.setsmAr(ind + k, y);
            }
            rec.FastHamadard(order, ind);
            double worst = 0;
            std::vector<double> want(static_cast<size_t>(L), 0.0); // circular: long ones wrap
            for (size_t j = 0; j < h.size(); ++j)
                want[j % size_t(L)] += h[j];
            for (int j = 0; j <= L; ++j)
                worst = std::max(worst, std::fabs(rec.getsmAr(ind + L - j) - want[size_t(j % L)]));
            EXPECT_LE(worst, 1e-9) << "order " << order << ", response of " << h.size();
            EXPECT_EQ(rec.getsmAr(ind - 1), 42.0);
            EXPECT_EQ(rec.getsmAr(ind + L + 1), 42.0);
        }
    }
}

// Against the definition at a large order: with y arbitrary, the result at lag j is
// (sum of y + sum_k y[k] m[k-j]) / (L+1).
TEST(Tsamplemem, HadamardMatchesTheCrossCorrelationAtOrder18) {
    const int order = 18, L = (1 << order) - 1;
    const std::vector<int> bits = referenceMls(order, {11, 18});
    std::mt19937 gen(1234);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Tsamplemem s(L + 1);
    std::vector<double> y(L);
    double sum = 0;
    for (int k = 0; k < L; ++k) {
        y[k] = dist(gen);
        sum += y[k];
        s.setsmAr(k, y[k]);
    }
    s.FastHamadard(order, 0);
    for (int j : {0, 1, 2, 17, 18, 19, 1000, 77777, L - 2, L - 1}) {
        double r = 0;
        for (int k = 0; k < L; ++k)
            r += y[k] * (bits[(k - j + L) % L] ? 1.0 : -1.0);
        EXPECT_NEAR(s.getsmAr(L - j), (sum + r) / (L + 1), 1e-12) << "lag " << j;
    }
    Tsamplemem tooShort(L);
    EXPECT_EQ(tooShort.FastHamadard(order, 0), 0);
    EXPECT_EQ(tooShort.getsmAr(0), 0.0);
}

TEST(Tsamplemem, DiagnosticText) {
    Tsamplemem s = from({1.005, -2});
    EXPECT_EQ(s.tohdebug(), "  0:1.00   |  1:-2.00   |");
    Tsamplemem big(600);
    const std::string t = big.tohdebug();
    EXPECT_NE(t.find("511:0.00"), std::string::npos);
    EXPECT_EQ(t.find("512:"), std::string::npos);
}

// The demodulator's filters start from rest on every call: a carrier demodulated after another
// one (at another rate and carrier) reads exactly as when demodulated alone.
TEST(Tsamplemem, FmDemodulationsAreIndependent) {
    auto carrier = [](double f0, double df, double rate) {
        std::vector<double> v(size_t(rate / 2));
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = 0.5 * std::sin(2 * M_PI * (f0 + df) * double(i) / rate);
        return from(v);
    };
    Tsamplemem alone = carrier(3150, 10, 48000);
    alone.FM_Demodulation(0, 3150, 48000);
    Tsamplemem other = carrier(3000, -20, 44100);
    other.FM_Demodulation(0, 3000, 44100);
    Tsamplemem again = carrier(3150, 10, 48000);
    again.FM_Demodulation(0, 3150, 48000);
    EXPECT_EQ(values(again), values(alone));
}
