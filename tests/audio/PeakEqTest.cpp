// The peaking equaliser on real sines pulled through the engine.

#include "audio/PeakEq.h"

#include "AudioSignals.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr quint32 Rate = 48000;

BASS_BFX_PEAKEQ Band(qint32 AIndex, float ACenter, float AGain, float ABandwidth = 1, float AQ = 0,
                     qint32 AChannel = BASS_BFX_CHANALL) {
    BASS_BFX_PEAKEQ B;
    B.lBand = AIndex;
    B.fCenter = ACenter;
    B.fGain = AGain;
    B.fBandwidth = ABandwidth;
    B.fQ = AQ;
    B.lChannel = AChannel;
    return B;
}

// A stereo sine through an equaliser with the given bands; returns the
// change of level of each channel in dB, measured over one second after a
// quarter second of settling.
std::vector<double> LevelChangeDb(double AProbe, const std::vector<BASS_BFX_PEAKEQ> &ABands) {
    TSineSource Source;
    Source.FFrequency = AProbe;
    const HSTREAM Stream = Source.Create();
    const HFX Fx = BASS_ChannelSetFX(Stream, BASS_FX_BFX_PEAKEQ, 0);
    EXPECT_NE(Fx, 0u);
    for (const BASS_BFX_PEAKEQ &B : ABands)
        EXPECT_TRUE(BASS_FXSetParameters(Fx, &B));
    const auto Out = PullFrames(Stream, 2, Rate * 5 / 4);
    BASS_StreamFree(Stream);
    std::vector<double> Change;
    for (quint32 C = 0; C < 2; ++C)
        Change.push_back(SineLevelDb(Out, 2, C, Rate / 4, Rate) - AmplitudeDb(0.5));
    return Change;
}

struct TResponseCase {
    const char *FName;
    BASS_BFX_PEAKEQ FBand;
    double FProbe;
    double FExpectedDb;
    double FToleranceDb;
};

class PeakEqResponse : public testing::TestWithParam<TResponseCase> {};

TEST_P(PeakEqResponse, SineComesOutAtTheExpectedLevel) {
    const TResponseCase &Case = GetParam();
    const auto Change = LevelChangeDb(Case.FProbe, {Case.FBand});
    for (double D : Change)
        EXPECT_NEAR(D, Case.FExpectedDb, Case.FToleranceDb);
}

// With a bandwidth of one octave a tone two octaves from the centre is
// changed by about 0.2 dB, so "nearly unchanged" is checked within 0.5 dB.
// The half-gain frequencies lie half the bandwidth either side of the
// centre; Q 1.4142 is the same width as one octave.
const TResponseCase ResponseCases[] = {
    {"BoostAtCentre", Band(0, 1000, 6), 1000, 6, 0.1},
    {"CutAtCentre", Band(0, 1000, -6), 1000, -6, 0.1},
    {"BoostTwoOctavesBelow", Band(0, 1000, 6), 250, 0, 0.5},
    {"BoostTwoOctavesAbove", Band(0, 1000, 6), 4000, 0, 0.5},
    {"CutTwoOctavesBelow", Band(0, 1000, -6), 250, 0, 0.5},
    {"HalfGainAtHalfBandwidthAbove", Band(0, 1000, 6), 1000 * M_SQRT2, 3, 0.15},
    {"HalfGainAtHalfBandwidthBelow", Band(0, 1000, 6), 1000 / M_SQRT2, 3, 0.15},
    {"WideBandHalfGain", Band(0, 2000, 12, 2.5), 2000 * std::pow(2.0, 1.25), 6, 0.3},
    {"QGivesTheWidth", Band(0, 1000, 6, 5, 1.41421f), 1000 * M_SQRT2, 3, 0.2},
    {"LowCentreBoost", Band(0, 62, 8, 2.5), 62, 8, 0.1},
    {"CentreAtNyquistPassesUnchanged", Band(0, 24000, 12), 1000, 0, 0.001},
    {"CentreAboveNyquistPassesUnchanged", Band(0, 30000, 12), 10000, 0, 0.001},
};

INSTANTIATE_TEST_SUITE_P(Bands, PeakEqResponse, testing::ValuesIn(ResponseCases),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(PeakEq, BandsAddUpInSeries) {
    // Two +6 dB bands on the same centre: +12 dB there.
    const auto Change = LevelChangeDb(1000, {Band(0, 1000, 6), Band(1, 1000, 6)});
    EXPECT_NEAR(Change[0], 12, 0.1);
}

TEST(PeakEq, ChannelSelectionIsABitMask) {
    struct TCase {
        qint32 FChannel;
        double FLeftDb, FRightDb;
    };
    const TCase Cases[] = {{BASS_BFX_CHANALL, 6, 6}, {1, 6, 0}, {2, 0, 6}, {3, 6, 6}, {0, 0, 0}};
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(Case.FChannel);
        const auto Change = LevelChangeDb(1000, {Band(0, 1000, 6, 1, 0, Case.FChannel)});
        EXPECT_NEAR(Change[0], Case.FLeftDb, 0.1);
        EXPECT_NEAR(Change[1], Case.FRightDb, 0.1);
    }
}

TEST(PeakEq, FlatBandsLeaveSamplesBitForBitUnchanged) {
    TSineSource Plain, Through;
    const HSTREAM A = Plain.Create(), B = Through.Create();
    const HFX Fx = BASS_ChannelSetFX(B, BASS_FX_BFX_PEAKEQ, 0);
    const int Centres[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int I = 0; I < 10; ++I) {
        const BASS_BFX_PEAKEQ Flat = Band(I, float(Centres[I]), 0, 2.5);
        ASSERT_TRUE(BASS_FXSetParameters(Fx, &Flat));
    }
    EXPECT_EQ(PullFrames(A, 2, 20000), PullFrames(B, 2, 20000));
    BASS_StreamFree(A);
    BASS_StreamFree(B);
}

TEST(PeakEq, GainChangeKeepsTheOtherBandsRunning) {
    // Changing one band must not disturb another band's filter: a flat band
    // turned flat again gives the same output as never touching it.
    TSineSource SourceA, SourceB;
    SourceA.FFrequency = SourceB.FFrequency = 300;
    const HSTREAM A = SourceA.Create(), B = SourceB.Create();
    const HFX FxA = BASS_ChannelSetFX(A, BASS_FX_BFX_PEAKEQ, 0);
    const HFX FxB = BASS_ChannelSetFX(B, BASS_FX_BFX_PEAKEQ, 0);
    for (HFX Fx : {FxA, FxB}) {
        const BASS_BFX_PEAKEQ Low = Band(0, 250, 9, 2), High = Band(1, 8000, 0);
        BASS_FXSetParameters(Fx, &Low);
        BASS_FXSetParameters(Fx, &High);
    }
    const auto FirstA = PullFrames(A, 2, 1000, 1000);
    const auto FirstB = PullFrames(B, 2, 1000, 1000);
    const BASS_BFX_PEAKEQ Touched = Band(1, 8000, 3);
    const BASS_BFX_PEAKEQ Back = Band(1, 8000, 0);
    BASS_FXSetParameters(FxB, &Touched);
    BASS_FXSetParameters(FxB, &Back);
    EXPECT_EQ(FirstA, FirstB);
    EXPECT_EQ(PullFrames(A, 2, 5000), PullFrames(B, 2, 5000));
    BASS_StreamFree(A);
    BASS_StreamFree(B);
}

TEST(PeakEq, SilenceAfterSignalDecaysToExactZero) {
    // Filters that decay in silence must reach zero instead of lingering in
    // tiny numbers.
    TSineSource Source;
    Source.FTotalFrames = 4800;
    // The sine, then silence for ever.
    struct TFeed {
        TSineSource *FSine;
    } Feed{&Source};
    const HSTREAM Stream = BASS_StreamCreate(
        Rate, 2,
        [](HSTREAM H, void *ABuffer, quint32 ALength, void *AUser) -> quint32 {
            auto &F = *static_cast<TFeed *>(AUser);
            if (F.FSine->FFrame < F.FSine->FTotalFrames) {
                const quint32 Got = TSineSource::Proc(H, ABuffer, ALength, F.FSine);
                if (Got == ALength)
                    return Got;
            }
            std::fill_n(static_cast<float *>(ABuffer), ALength / 4, 0.0f);
            return ALength;
        },
        &Feed);
    const HFX Fx = BASS_ChannelSetFX(Stream, BASS_FX_BFX_PEAKEQ, 0);
    const BASS_BFX_PEAKEQ B0 = Band(0, 31, 10, 2.5), B1 = Band(1, 16000, -10, 2.5);
    BASS_FXSetParameters(Fx, &B0);
    BASS_FXSetParameters(Fx, &B1);
    const auto Out = PullFrames(Stream, 2, Rate * 4);
    ASSERT_EQ(Out.size(), std::size_t(Rate) * 4 * 2);
    for (std::size_t I = Out.size() - 4096; I < Out.size(); ++I)
        ASSERT_EQ(Out[I], 0.0f) << I;
    BASS_StreamFree(Stream);
}

TEST(PeakEq, CoefficientsOfTheIdentity) {
    struct TCase {
        const char *FName;
        double FCenter, FGain, FBandwidth, FQ;
        bool FIdentity;
    };
    const TCase Cases[] = {
        {"zero gain", 1000, 0, 1, 0, true},
        {"at Nyquist", 24000, 6, 1, 0, true},
        {"above Nyquist", 40000, 6, 1, 0, true},
        {"zero centre", 0, 6, 1, 0, true},
        {"no width at all", 1000, 6, 0, 0, true},
        {"ordinary band", 1000, 6, 1, 0, false},
        {"just below Nyquist", 23900, 6, 1, 0, false},
    };
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(Case.FName);
        const TBiquadCoeffs C =
            PeakingCoeffs(Rate, Case.FCenter, Case.FGain, Case.FBandwidth, Case.FQ);
        EXPECT_EQ(C.IsIdentity(), Case.FIdentity);
        for (double V : {C.b0, C.b1, C.b2, C.a1, C.a2})
            EXPECT_TRUE(std::isfinite(V));
        // Poles inside the unit circle: |a2| < 1 and |a1| < 1 + a2.
        EXPECT_LT(std::fabs(C.a2), 1.0);
        EXPECT_LT(std::fabs(C.a1), 1.0 + C.a2);
    }
}

} // namespace
