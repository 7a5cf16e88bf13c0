// The compressor's own log2 and exp2 against the C library over the range
// the gain computer uses (levels from -200 dB to well above full scale).

#include "audio/EngineFastMath.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(CompressorMath, Log2MatchesTheLibrary) {
    // Mean squares from 1e-20 to 1e4, many points per octave, including
    // exact powers of two and the sqrt(2) split of the mantissa.
    for (double X = 1e-20; X < 1e4; X *= 1.0137) {
        ASSERT_NEAR(FastLog2(X), std::log2(X), 2e-7) << X;
    }
    for (int E = -60; E <= 10; ++E) {
        SCOPED_TRACE(E);
        EXPECT_NEAR(FastLog2(std::ldexp(1.0, E)), E, 1e-12);
        EXPECT_NEAR(FastLog2(std::ldexp(M_SQRT2, E)), E + 0.5, 2e-7);
        EXPECT_NEAR(FastLog2(std::nextafter(std::ldexp(M_SQRT2, E), 0.0)), E + 0.5, 2e-7);
    }
}

TEST(CompressorMath, Exp2MatchesTheLibrary) {
    // Gains in log2 units from -40 (-240 dB) to +20 (+120 dB), relative
    // error well below 1e-6 (1e-5 dB).
    for (double X = -40; X <= 20; X += 0.00731) {
        const double Want = std::exp2(X);
        ASSERT_NEAR(FastExp2(X) / Want, 1.0, 3e-7) << X;
    }
    for (int I = -30; I <= 30; ++I) {
        SCOPED_TRACE(I);
        EXPECT_EQ(FastExp2(I), std::ldexp(1.0, I)) << "whole numbers are exact";
        EXPECT_NEAR(FastExp2(I + 0.5) / std::exp2(I + 0.5), 1.0, 3e-7) << "rounding edge";
        EXPECT_NEAR(FastExp2(I - 0.5) / std::exp2(I - 0.5), 1.0, 3e-7);
    }
}

TEST(CompressorMath, Exp2StaysFiniteFarOut) {
    EXPECT_EQ(FastExp2(-5000), 0.0);
    EXPECT_TRUE(std::isfinite(FastExp2(5000)));
    EXPECT_GT(FastExp2(5000), 1e300);
    EXPECT_GT(FastExp2(-999), 0.0);
}

} // namespace
