// The true-peak limiter: what it lets through, as libebur128 measures it,
// stays under the ceiling, and what is under the ceiling passes unchanged.

#include "loudness/TruePeakLimiter.h"

#include "LoudnessSignals.h"

#include <gtest/gtest.h>

namespace {

constexpr double Rate = 48000;

// Runs ASamples through a limiter in blocks of ABlock and pushes the delayed
// end out, so the result lines up with the input frame for frame.
std::vector<float> Limit(const std::vector<float> &ASamples, quint32 AChannels, double ACeiling,
                         qint64 ABlock = 512) {
    TTruePeakLimiter Limiter(Rate, AChannels, ACeiling);
    std::vector<float> Padded = ASamples;
    Padded.resize(ASamples.size() + std::size_t(Limiter.Latency()) * AChannels);
    const qint64 Frames = qint64(Padded.size() / AChannels);
    for (qint64 F = 0; F < Frames; F += ABlock) {
        float *Block = Padded.data() + F * AChannels;
        Limiter.Process(Block, Block, std::min(ABlock, Frames - F));
    }
    return std::vector<float>(Padded.begin() + Limiter.Latency() * AChannels, Padded.end());
}

struct TLimitCase {
    const char *FName;
    quint32 FChannels;
    std::vector<float> (*FMake)();
    double FCeiling;
};

std::vector<float> LoudSine() {
    return Sine(Rate, {true, true}, 997, 1.0, 2);
}
// Near half the sample rate a sine's samples can miss its crests by far.
std::vector<float> HighSineOffPhase() {
    std::vector<float> Out(std::size_t(Rate) * 2);
    for (std::size_t F = 0; F < Out.size(); ++F)
        Out[F] = float(0.99 * std::sin(2 * std::numbers::pi * 11025.0 * double(F) / Rate +
                                       std::numbers::pi / 4));
    return Out;
}
std::vector<float> SpikySpeech() {
    return SpeechLike(Rate, 1, 8, 0.03, true);
}
// A full-scale square wave: every edge overshoots between the samples.
std::vector<float> Square() {
    std::vector<float> Out(std::size_t(Rate) * 2 * 2);
    for (std::size_t F = 0; F < Out.size() / 2; ++F)
        Out[2 * F] = Out[2 * F + 1] = (F / 40) % 2 ? 1.0f : -1.0f;
    return Out;
}

class TruePeakLimiterCeiling : public testing::TestWithParam<TLimitCase> {};

TEST_P(TruePeakLimiterCeiling, KeepsTheTruePeakUnderTheCeiling) {
    const TLimitCase &Case = GetParam();
    const std::vector<float> In = Case.FMake();
    ASSERT_GT(Reference(In, Case.FChannels, 48000).FTruePeakDb, Case.FCeiling);
    const std::vector<float> Out = Limit(In, Case.FChannels, Case.FCeiling);
    ASSERT_EQ(Out.size(), In.size());
    const TReference After = Reference(Out, Case.FChannels, 48000);
    EXPECT_LE(After.FTruePeakDb, Case.FCeiling);
    // It limits, it does not just turn everything down.
    EXPECT_GT(After.FTruePeakDb, Case.FCeiling - 1.0);
}

INSTANTIATE_TEST_SUITE_P(Signals, TruePeakLimiterCeiling,
                         testing::Values(TLimitCase{"LoudSine", 2, &LoudSine, -1},
                                         TLimitCase{"HighSineOffPhase", 1, &HighSineOffPhase, -1},
                                         TLimitCase{"SpikySpeech", 1, &SpikySpeech, -20},
                                         TLimitCase{"Square", 2, &Square, -3}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(TruePeakLimiter, PassesWhatStaysUnderTheCeilingUnchangedAfterItsDelay) {
    const std::vector<float> In = SpeechLike(Rate, 2, 3, 0.05, false);
    ASSERT_LT(Reference(In, 2, 48000).FTruePeakDb, -6);
    const std::vector<float> Out = Limit(In, 2, -1, 333);
    ASSERT_EQ(Out.size(), In.size());
    for (std::size_t I = 0; I < In.size(); ++I)
        ASSERT_EQ(Out[I], In[I]) << "sample " << I;
}

TEST(TruePeakLimiter, LowersAnIsolatedPeakOnlyAroundIt) {
    std::vector<float> In = Sine(Rate, {true}, 200, 0.1, 1);
    for (std::size_t F = 24000; F < 24010; ++F)
        In[F] = 0.95f;
    const std::vector<float> Out = Limit(In, 1, -6);
    EXPECT_LE(Reference(Out, 1, 48000).FTruePeakDb, -6);
    // Well before the peak, and once the release is over, the sine is
    // untouched.
    for (std::size_t F = 0; F < 23000; ++F)
        ASSERT_EQ(Out[F], In[F]) << "frame " << F;
    for (std::size_t F = 24000 + 48000 / 2; F < In.size(); ++F)
        ASSERT_NEAR(Out[F], In[F], 1e-3) << "frame " << F;
}

} // namespace
