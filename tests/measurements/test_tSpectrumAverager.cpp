// Tests of a measurement's averaging state: means of `value` spectra, channel changes.
#include "measurements/tSpectrumAverager.h"

#include <gtest/gtest.h>

namespace {

TEST(SpectrumAverager, MeanOfValueSpectraAndNoOpForOne) {
    tSpectrumAverager a;
    a.setChannels(2);
    a.resize(4);
    Tsamplemem m0(4), m1(4), m2(4), p0(4);
    Tsamplemem* mag[] = {&m0, &m1, &m2}; // a third channel has no sums
    Tsamplemem* ph[] = {&p0, nullptr};   // an absent phase is skipped
    m0.fillComplete(7.0);
    EXPECT_EQ(a.add(mag, ph, 1), 0);
    EXPECT_DOUBLE_EQ(a.magnitudeSums()[0].getsmAr(2), 0.0); // value 1: sums untouched
    EXPECT_DOUBLE_EQ(m0.getsmAr(2), 7.0);

    a.restart(3);
    const double vals[] = {1.0, 2.0, 6.0};
    for (int i = 0; i < 3; ++i) {
        m0.fillComplete(vals[i]), m1.fillComplete(-vals[i]), m2.fillComplete(5.0);
        p0.fillComplete(10 * vals[i]);
        EXPECT_EQ(a.add(mag, ph, 3), 2 - i);
    }
    EXPECT_NEAR(m0.getsmAr(3), 3.0, 1e-15);
    EXPECT_NEAR(m1.getsmAr(0), -3.0, 1e-15);
    EXPECT_NEAR(p0.getsmAr(1), 30.0, 1e-14);
    EXPECT_DOUBLE_EQ(m2.getsmAr(1), 5.0);
    EXPECT_DOUBLE_EQ(a.magnitudeSums()[0].getsmAr(0), 0.0); // ready for the next average
    EXPECT_DOUBLE_EQ(a.phaseSums()[0].getsmAr(0), 0.0);
    EXPECT_EQ(a.add(mag, ph, 3), 0); // the counter stays at 0
    EXPECT_EQ(a.counter(), 0);
}

TEST(SpectrumAverager, SameChannelCountKeepsTheSumsAnotherRecreatesThem) {
    tSpectrumAverager a;
    a.setChannels(2);
    Tsamplemem m(tSpectrumAverager::kInitialSamples);
    m.fillComplete(4.0);
    Tsamplemem* mag[] = {&m, &m};
    a.restart(2);
    EXPECT_EQ(a.add(mag, {}, 2), 1);
    a.setChannels(2);
    EXPECT_DOUBLE_EQ(a.magnitudeSums()[1].getsmAr(3), 4.0);
    a.setChannels(3);
    ASSERT_EQ(a.channels(), 3);
    EXPECT_EQ(a.phaseSums()[2].samples(), tSpectrumAverager::kInitialSamples);
    EXPECT_DOUBLE_EQ(a.magnitudeSums()[1].getsmAr(3), 0.0);
    a.setChannels(-1);
    EXPECT_EQ(a.channels(), 0);
}

} // namespace
