// The loudness targets and the gain plan that reaches them.

#include "loudness/LoudnessTarget.h"

#include "support/QStringPrinter.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(LoudnessTarget, PresetsAreSpokenWordFirstThenQuieterThenBroadcast) {
    ASSERT_EQ(LoudnessPresets.size(), 3u);
    EXPECT_EQ(LoudnessPresets[0], TLoudnessPreset::SpokenWord);
    const double Expected[] = {-16, -19, -23};
    for (std::size_t I = 0; I < LoudnessPresets.size(); ++I) {
        const TLoudnessTarget Target = LoudnessTarget(LoudnessPresets[I]);
        EXPECT_EQ(Target.FIntegratedLufs, Expected[I]);
        EXPECT_EQ(Target.FTruePeakCeilingDb, -1);
    }
    EXPECT_EQ(TLoudnessTarget().FIntegratedLufs, -16);
    EXPECT_EQ(LoudnessTargetText(LoudnessTarget(TLoudnessPreset::Broadcast)), u"-23 LUFS"_s);
    EXPECT_EQ(LoudnessTargetText({-18.5, -1}), u"-18.5 LUFS"_s);
}

struct TPlanCase {
    const char *FName;
    double FIntegrated;
    double FTruePeak;
    double FTarget;
    double FGain;
    bool FLimiter;
    const char16_t *FText;
};

class LoudnessPlan : public testing::TestWithParam<TPlanCase> {};

TEST_P(LoudnessPlan, GivesTheGainAndALimiterOnlyWhenThePeaksWouldPassTheCeiling) {
    const TPlanCase &Case = GetParam();
    const TNormalisePlan Plan = NormaliseGain(Case.FIntegrated, Case.FTruePeak, {Case.FTarget, -1});
    EXPECT_FALSE(Plan.FSilent);
    EXPECT_NEAR(Plan.FGainDb, Case.FGain, 1e-9);
    EXPECT_NEAR(Plan.FPeakAfterGainDb, Case.FTruePeak + Case.FGain, 1e-9);
    EXPECT_EQ(Plan.FLimiter, Case.FLimiter);
    EXPECT_EQ(Plan.FText, QString::fromUtf16(Case.FText));
}

INSTANTIATE_TEST_SUITE_P(
    Plans, LoudnessPlan,
    testing::Values(
        TPlanCase{"QuietVoiceGainOnly", -20.2, -8, -16, 4.2, false, u"Gain +4.2 dB"},
        TPlanCase{"LoudVoiceTurnedDown", -12.5, -0.2, -16, -3.5, false, u"Gain -3.5 dB"},
        TPlanCase{"PeaksPassTheCeiling", -25, -7.7, -16, 9.0, true,
                  u"Gain +9.0 dB with a limiter: the peaks would reach +1.3 dBTP"},
        TPlanCase{"PeaksReachTheCeilingExactly", -23, -8, -16, 7, false, u"Gain +7.0 dB"},
        TPlanCase{"PeaksPassTheCeilingBelowFullScale", -30, -14.7, -16, 14, true,
                  u"Gain +14.0 dB with a limiter: the peaks would reach -0.7 dBTP"},
        TPlanCase{"OnTargetAlready", -23, -3, -23, 0, false, u"Gain +0.0 dB"}),
    [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(LoudnessPlan, LeavesSilenceAsItIs) {
    for (const double TruePeak : {-double(INFINITY), -75.0}) {
        const TNormalisePlan Plan = NormaliseGain(-INFINITY, TruePeak, TLoudnessTarget());
        EXPECT_TRUE(Plan.FSilent);
        EXPECT_EQ(Plan.FGainDb, 0);
        EXPECT_FALSE(Plan.FLimiter);
        EXPECT_EQ(Plan.FText, u"Too quiet to measure: left as it is"_s);
    }
}

} // namespace
