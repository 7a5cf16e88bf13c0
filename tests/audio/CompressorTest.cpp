// The compressor on steady and stepped sines pulled through the engine.

#include "AudioSignals.h"

#include <gtest/gtest.h>

namespace {

constexpr quint32 Rate = 48000;

BASS_BFX_COMPRESSOR2 Settings(float AThreshold, float ARatio, float AGain = 0, float AAttack = 10,
                              float ARelease = 100) {
    BASS_BFX_COMPRESSOR2 P;
    P.fThreshold = AThreshold;
    P.fRatio = ARatio;
    P.fGain = AGain;
    P.fAttack = AAttack;
    P.fRelease = ARelease;
    return P;
}

// A stream of ASource with a compressor set to AParams.
HSTREAM Compressed(TSineSource &ASource, const BASS_BFX_COMPRESSOR2 &AParams) {
    const HSTREAM Stream = ASource.Create();
    const HFX Fx = BASS_ChannelSetFX(Stream, BASS_FX_BFX_COMPRESSOR2, 0);
    EXPECT_NE(Fx, 0u);
    EXPECT_TRUE(BASS_FXSetParameters(Fx, &AParams));
    return Stream;
}

struct TSteadyCase {
    const char *FName;
    double FInputDb;
    BASS_BFX_COMPRESSOR2 FParams;
    double FOutputDb;
    double FToleranceDb;
};

class CompressorSteadyTone : public testing::TestWithParam<TSteadyCase> {};

TEST_P(CompressorSteadyTone, SettlesAtTheGainComputersLevel) {
    const TSteadyCase &Case = GetParam();
    TSineSource Source;
    Source.FAmplitudes = {DbAmplitude(Case.FInputDb), DbAmplitude(Case.FInputDb)};
    const HSTREAM Stream = Compressed(Source, Case.FParams);
    // One second to get past attack and detector, then one second measured.
    const auto Out = PullFrames(Stream, 2, 2 * Rate);
    BASS_StreamFree(Stream);
    for (quint32 C = 0; C < 2; ++C)
        EXPECT_NEAR(SineLevelDb(Out, 2, C, Rate, Rate), Case.FOutputDb, Case.FToleranceDb);
}

// Above the threshold T a level L settles at T + (L - T) / ratio, then the
// output gain is added; below it only the output gain applies.
const TSteadyCase SteadyCases[] = {
    {"LoudToneIsReduced", -6, Settings(-20, 4), -20 + 14.0 / 4, 1},
    {"LoudToneWithHighRatio", -6, Settings(-20, 20), -20 + 14.0 / 20, 1},
    {"LoudToneWithOutputGain", -6, Settings(-20, 4, 3), -20 + 14.0 / 4 + 3, 1},
    {"QuietToneIsUnchanged", -30, Settings(-20, 4), -30, 0.1},
    {"QuietToneGetsOutputGain", -30, Settings(-20, 4, 6), -24, 0.1},
    {"RatioOneChangesNothing", -6, Settings(-20, 1), -6, 0.1},
    {"RatioBelowOneActsAsOne", -6, Settings(-20, 0.5f), -6, 0.1},
    {"RatioZeroActsAsOne", -6, Settings(-20, 0), -6, 0.1},
    {"ZeroTimesStillSettle", -6, Settings(-20, 4, 0, 0, 0), -20 + 14.0 / 4, 1},
};

INSTANTIATE_TEST_SUITE_P(Tones, CompressorSteadyTone, testing::ValuesIn(SteadyCases),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(Compressor, QuietToneIsBitForBitUnchanged) {
    TSineSource Plain, Through;
    Plain.FAmplitudes = Through.FAmplitudes = {0.01, 0.01};
    const HSTREAM A = Plain.Create();
    const HSTREAM B = Compressed(Through, Settings(-20, 4));
    EXPECT_EQ(PullFrames(A, 2, Rate), PullFrames(B, 2, Rate));
    BASS_StreamFree(A);
    BASS_StreamFree(B);
}

TEST(Compressor, StereoIsLinked) {
    // A loud left channel pulls the quiet right one down by the same amount,
    // so the balance between them stays as it was.
    TSineSource Source;
    Source.FAmplitudes = {0.5, 0.05};
    const HSTREAM Stream = Compressed(Source, Settings(-20, 4));
    const auto Out = PullFrames(Stream, 2, 2 * Rate);
    BASS_StreamFree(Stream);
    const double Left = SineLevelDb(Out, 2, 0, Rate, Rate);
    const double Right = SineLevelDb(Out, 2, 1, Rate, Rate);
    EXPECT_NEAR(Left, -16.5, 1);
    EXPECT_NEAR(Left - Right, 20, 0.05);
}

TEST(Compressor, ChannelSelectionLeavesOtherChannelsAlone) {
    TSineSource Source;
    BASS_BFX_COMPRESSOR2 P = Settings(-20, 4);
    P.lChannel = 2; // the second channel only
    const HSTREAM Stream = Compressed(Source, P);
    const auto Out = PullFrames(Stream, 2, 2 * Rate);
    BASS_StreamFree(Stream);
    EXPECT_NEAR(SineLevelDb(Out, 2, 0, Rate, Rate), AmplitudeDb(0.5), 0.01);
    EXPECT_NEAR(SineLevelDb(Out, 2, 1, Rate, Rate), -16.5, 1);
}

// The level reached a short time after a loud tone starts: a short attack
// has pulled the gain down already, a long one has barely begun.
double LevelShortlyAfterOnsetDb(float AAttack, float ARelease) {
    TSineSource Source;
    const HSTREAM Stream = Compressed(Source, Settings(-20, 4, 0, AAttack, ARelease));
    const auto Out = PullFrames(Stream, 2, Rate / 10);
    BASS_StreamFree(Stream);
    return SineLevelDb(Out, 2, 0, Rate * 40 / 1000, Rate * 10 / 1000); // 40 to 50 ms
}

TEST(Compressor, AttackTimeSetsHowFastTheGainFalls) {
    const double Fast = LevelShortlyAfterOnsetDb(1, 1000);
    const double Slow = LevelShortlyAfterOnsetDb(1000, 1);
    EXPECT_NEAR(Fast, -16.5, 1.5);
    EXPECT_GT(Slow, -8);
}

TEST(Compressor, ReleaseTimeSetsHowFastTheGainRecovers) {
    // Loud for half a second, then quiet: with a short release the quiet
    // part is soon back at its own level, with a long one still held down.
    for (const auto &[Release, Recovered] : {std::pair{5.0f, true}, std::pair{5000.0f, false}}) {
        SCOPED_TRACE(Release);
        struct TStep {
            TSineSource FSine;
            qint64 FSwitchAt = Rate / 2;
        } Step;
        const HSTREAM Stream = BASS_StreamCreate(
            Rate, 2,
            [](HSTREAM H, void *ABuffer, quint32 ALength, void *AUser) -> quint32 {
                auto &S = *static_cast<TStep *>(AUser);
                const double Amplitude = S.FSine.FFrame < S.FSwitchAt ? 0.5 : 0.02;
                S.FSine.FAmplitudes = {Amplitude, Amplitude};
                return TSineSource::Proc(H, ABuffer, std::min<quint32>(ALength, 64 * 8), &S.FSine);
            },
            &Step);
        const HFX Fx = BASS_ChannelSetFX(Stream, BASS_FX_BFX_COMPRESSOR2, 0);
        const BASS_BFX_COMPRESSOR2 P = Settings(-20, 4, 0, 1, Release);
        BASS_FXSetParameters(Fx, &P);
        std::vector<float> Out;
        while (Out.size() < std::size_t(Rate) * 2) {
            const auto Part = PullFrames(Stream, 2, 64, 64);
            ASSERT_FALSE(Part.empty());
            Out.insert(Out.end(), Part.begin(), Part.end());
        }
        BASS_StreamFree(Stream);
        // 200 ms into the quiet part.
        const double Quiet = SineLevelDb(Out, 2, 0, Rate * 7 / 10, Rate / 10);
        if (Recovered)
            EXPECT_NEAR(Quiet, AmplitudeDb(0.02), 0.1);
        else
            EXPECT_LT(Quiet, AmplitudeDb(0.02) - 5);
    }
}

TEST(Compressor, ParametersRoundTripAndRejectNonNumbers) {
    TSineSource Source;
    const HSTREAM Stream = Source.Create();
    const HFX Fx = BASS_ChannelSetFX(Stream, BASS_FX_BFX_COMPRESSOR2, 0);
    BASS_BFX_COMPRESSOR2 Read;
    ASSERT_TRUE(BASS_FXGetParameters(Fx, &Read));
    EXPECT_EQ(Read.fRatio, 1.0f); // untouched: passes the signal unchanged

    const BASS_BFX_COMPRESSOR2 Set{2.5f, -18, 3, 7, 250, 1};
    ASSERT_TRUE(BASS_FXSetParameters(Fx, &Set));
    ASSERT_TRUE(BASS_FXGetParameters(Fx, &Read));
    EXPECT_EQ(Read.fGain, Set.fGain);
    EXPECT_EQ(Read.fThreshold, Set.fThreshold);
    EXPECT_EQ(Read.fRatio, Set.fRatio);
    EXPECT_EQ(Read.fAttack, Set.fAttack);
    EXPECT_EQ(Read.fRelease, Set.fRelease);
    EXPECT_EQ(Read.lChannel, Set.lChannel);

    BASS_BFX_COMPRESSOR2 Bad = Set;
    Bad.fThreshold = std::nanf("");
    EXPECT_FALSE(BASS_FXSetParameters(Fx, &Bad));
    Bad = Set;
    Bad.fRatio = INFINITY;
    EXPECT_FALSE(BASS_FXSetParameters(Fx, &Bad));
    ASSERT_TRUE(BASS_FXGetParameters(Fx, &Read));
    EXPECT_EQ(Read.fThreshold, Set.fThreshold);
    BASS_StreamFree(Stream);
}

} // namespace
