// The engine's channels and chains: order of processing, handles, ends of
// streams, effect parameters.

#include "AudioSignals.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A stream of constant samples (0.25) that never ends.
quint32 ConstantProc(HSTREAM, void *ABuffer, quint32 ALength, void *) {
    std::fill_n(static_cast<float *>(ABuffer), ALength / sizeof(float), 0.25f);
    return ALength;
}

// Records which callback ran, in order, and the first sample it saw.
struct TTrace {
    std::string FOrder;
    std::vector<float> FFirstSample;
};
struct TTracer {
    char FName;
    TTrace *FTrace;
};

void TraceProc(HDSP, HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto &T = *static_cast<TTracer *>(AUser);
    T.FTrace->FOrder += T.FName;
    T.FTrace->FFirstSample.push_back(ALength >= 4 ? static_cast<float *>(ABuffer)[0] : 0);
}

class AudioEngine : public testing::Test {
protected:
    void SetUp() override {
        FStream = BASS_StreamCreate(44100, 2, &ConstantProc, nullptr);
        ASSERT_NE(FStream, 0u);
    }
    void TearDown() override { BASS_StreamFree(FStream); }

    HDSP Attach(char AName, qint32 APriority) {
        FTracers.push_back(std::make_unique<TTracer>(TTracer{AName, &FTrace}));
        return BASS_ChannelSetDSP(FStream, &TraceProc, FTracers.back().get(), APriority);
    }
    std::string Run() {
        FTrace = {};
        float Buffer[256];
        EXPECT_EQ(BASS_ChannelGetData(FStream, Buffer, sizeof Buffer), qint32(sizeof Buffer));
        return FTrace.FOrder;
    }

    HSTREAM FStream = 0;
    TTrace FTrace;
    std::vector<std::unique_ptr<TTracer>> FTracers;
};

TEST_F(AudioEngine, HigherPriorityRunsFirstEqualInAttachOrder) {
    Attach('A', 1);
    Attach('B', 5);
    Attach('C', 1);
    Attach('D', 10);
    Attach('E', 5);
    Attach('F', -3);
    EXPECT_EQ(Run(), "DBEACF");
}

TEST_F(AudioEngine, EffectsTakeTheirPlaceInTheOrder) {
    // A compressor at ratio 1 with +6.02 dB output gain doubles the samples:
    // callbacks after it see 0.5, callbacks before it 0.25.
    Attach('A', 20);
    const HFX Fx = BASS_ChannelSetFX(FStream, BASS_FX_BFX_COMPRESSOR2, 10);
    ASSERT_NE(Fx, 0u);
    BASS_BFX_COMPRESSOR2 P;
    P.fGain = float(20 * std::log10(2.0));
    ASSERT_TRUE(BASS_FXSetParameters(Fx, &P));
    Attach('B', 10); // same priority, attached later: after the effect
    Attach('C', 30);
    EXPECT_EQ(Run(), "CAB");
    ASSERT_EQ(FTrace.FFirstSample.size(), 3u);
    EXPECT_FLOAT_EQ(FTrace.FFirstSample[0], 0.25f);
    EXPECT_FLOAT_EQ(FTrace.FFirstSample[1], 0.25f);
    EXPECT_NEAR(FTrace.FFirstSample[2], 0.5f, 1e-6);
}

TEST_F(AudioEngine, RemovedLinksStopRunning) {
    const HDSP A = Attach('A', 1);
    const HDSP B = Attach('B', 2);
    Attach('C', 3);
    const HFX Fx = BASS_ChannelSetFX(FStream, BASS_FX_BFX_PEAKEQ, 0);
    EXPECT_EQ(Run(), "CBA");
    EXPECT_TRUE(BASS_ChannelRemoveDSP(FStream, B));
    EXPECT_EQ(Run(), "CA");
    EXPECT_FALSE(BASS_ChannelRemoveDSP(FStream, B)) << "removed twice";
    EXPECT_FALSE(BASS_ChannelRemoveFX(FStream, A)) << "a callback is no effect";
    EXPECT_FALSE(BASS_ChannelRemoveDSP(FStream, Fx)) << "an effect is no callback";
    EXPECT_TRUE(BASS_ChannelRemoveFX(FStream, Fx));
    const BASS_BFX_PEAKEQ Band;
    EXPECT_FALSE(BASS_FXSetParameters(Fx, &Band)) << "the effect is gone";
    EXPECT_TRUE(BASS_ChannelRemoveDSP(FStream, A));
    EXPECT_EQ(Run(), "C");
}

TEST_F(AudioEngine, LinksBelongToTheirChannel) {
    const HSTREAM Other = BASS_StreamCreate(44100, 2, &ConstantProc, nullptr);
    const HDSP A = Attach('A', 1);
    const HFX Fx = BASS_ChannelSetFX(FStream, BASS_FX_BFX_PEAKEQ, 0);
    EXPECT_FALSE(BASS_ChannelRemoveDSP(Other, A));
    EXPECT_FALSE(BASS_ChannelRemoveFX(Other, Fx));
    EXPECT_EQ(Run(), "A");
    BASS_StreamFree(Other);
}

TEST_F(AudioEngine, ChannelZeroAndUnknownHandlesFail) {
    const HSTREAM Freed = BASS_StreamCreate(44100, 1, &ConstantProc, nullptr);
    const HFX FreedFx = BASS_ChannelSetFX(Freed, BASS_FX_BFX_COMPRESSOR2, 0);
    ASSERT_NE(FreedFx, 0u);
    ASSERT_TRUE(BASS_StreamFree(Freed));
    float Buffer[64];
    BASS_CHANNELINFO Info;
    BASS_BFX_COMPRESSOR2 P;
    for (const HSTREAM H : {HSTREAM(0), Freed, HSTREAM(0xFFFFFFF0u)}) {
        SCOPED_TRACE(H);
        EXPECT_EQ(BASS_ChannelSetFX(H, BASS_FX_BFX_PEAKEQ, 0), 0u);
        EXPECT_EQ(BASS_ChannelSetDSP(H, &TraceProc, nullptr, 0), 0u);
        EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), -1);
        EXPECT_FALSE(BASS_ChannelGetInfo(H, Info));
        EXPECT_FALSE(BASS_StreamFree(H));
        EXPECT_FALSE(BASS_ChannelRemoveFX(H, FreedFx));
    }
    EXPECT_FALSE(BASS_FXSetParameters(FreedFx, &P));
    EXPECT_FALSE(BASS_FXGetParameters(FreedFx, &P));
    EXPECT_FALSE(BASS_FXSetParameters(0, &P));
    EXPECT_EQ(BASS_ChannelSetFX(FStream, 0x10005, 0), 0u) << "unknown effect type";
    EXPECT_EQ(BASS_ChannelSetDSP(FStream, nullptr, nullptr, 0), 0u);
}

TEST(AudioEngineStreams, CreationNeedsRateChannelsAndSource) {
    EXPECT_EQ(BASS_StreamCreate(0, 2, &ConstantProc, nullptr), 0u);
    EXPECT_EQ(BASS_StreamCreate(44100, 0, &ConstantProc, nullptr), 0u);
    EXPECT_EQ(BASS_StreamCreate(44100, 2, nullptr, nullptr), 0u);
    const HSTREAM H = BASS_StreamCreate(22050, 3, &ConstantProc, nullptr);
    BASS_CHANNELINFO Info;
    ASSERT_TRUE(BASS_ChannelGetInfo(H, Info));
    EXPECT_EQ(Info.freq, 22050u);
    EXPECT_EQ(Info.chans, 3u);
    BASS_StreamFree(H);
}

TEST(AudioEngineStreams, EveryChannelMeansEveryChannel) {
    // Far more channels than a selection mask has bits: "all" still reaches
    // the last one, and a mask only the channels it names.
    constexpr quint32 Channels = 70;
    EXPECT_EQ(BASS_StreamCreate(44100, 1025, &ConstantProc, nullptr), 0u) << "too many";
    for (const qint32 Selection : {BASS_BFX_CHANALL, 5}) {
        SCOPED_TRACE(Selection);
        const HSTREAM H = BASS_StreamCreate(44100, Channels, &ConstantProc, nullptr);
        const HFX Eq = BASS_ChannelSetFX(H, BASS_FX_BFX_PEAKEQ, 0);
        const BASS_BFX_PEAKEQ Band{0, 1, 0, 100, 12, Selection};
        ASSERT_TRUE(BASS_FXSetParameters(Eq, &Band));
        const HFX Comp = BASS_ChannelSetFX(H, BASS_FX_BFX_COMPRESSOR2, 0);
        BASS_BFX_COMPRESSOR2 P;
        P.fGain = 6;
        P.lChannel = Selection;
        ASSERT_TRUE(BASS_FXSetParameters(Comp, &P));
        const auto Out = PullFrames(H, Channels, 2000);
        ASSERT_EQ(Out.size(), std::size_t(2000) * Channels);
        for (quint32 C = 0; C < Channels; ++C) {
            const bool Selected = Selection == BASS_BFX_CHANALL || C == 0 || C == 2;
            EXPECT_EQ(Out[1999 * Channels + C] != 0.25f, Selected) << "channel " << C;
        }
        BASS_StreamFree(H);
    }
}

TEST(AudioEngineStreams, HandlesAreNotReused) {
    std::vector<HSTREAM> Seen;
    for (int I = 0; I < 2000; ++I) {
        const HSTREAM H = BASS_StreamCreate(44100, 1, &ConstantProc, nullptr);
        ASSERT_NE(H, 0u);
        ASSERT_TRUE(std::find(Seen.begin(), Seen.end(), H) == Seen.end());
        Seen.push_back(H);
        BASS_StreamFree(H);
    }
}

TEST(AudioEngineStreams, ShortReadEndsTheStream) {
    TSineSource Source;
    Source.FTotalFrames = 1000;
    const HSTREAM H = Source.Create();
    float Buffer[4096 * 2];
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), qint32(1000 * 2 * sizeof(float)));
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), 0);
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), 0);
    BASS_StreamFree(H);
}

TEST(AudioEngineStreams, OnlyWholeFramesAreProduced) {
    const HSTREAM H = BASS_StreamCreate(44100, 2, &ConstantProc, nullptr);
    float Buffer[16];
    // 7 floats asked: 3 frames of 2 channels come back.
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, 7 * sizeof(float)), qint32(6 * sizeof(float)));
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, 5), 0) << "less than a frame";
    EXPECT_EQ(BASS_ChannelGetData(H, nullptr, 64), 0);
    BASS_StreamFree(H);
}

TEST(AudioEngineStreams, SourceClaimingMoreThanAskedEndsTheStream) {
    const HSTREAM H = BASS_StreamCreate(
        44100, 1, [](HSTREAM, void *, quint32 ALength, void *) { return ALength + 4; }, nullptr);
    float Buffer[16];
    EXPECT_EQ(BASS_ChannelGetData(H, Buffer, sizeof Buffer), 0);
    BASS_StreamFree(H);
}

TEST(AudioEngineEffects, EqualiserBandsRoundTrip) {
    const HSTREAM H = BASS_StreamCreate(48000, 2, &ConstantProc, nullptr);
    const HFX Fx = BASS_ChannelSetFX(H, BASS_FX_BFX_PEAKEQ, 49);
    BASS_BFX_PEAKEQ Read;
    Read.lBand = 0;
    EXPECT_FALSE(BASS_FXGetParameters(Fx, &Read)) << "no bands yet";

    const BASS_BFX_PEAKEQ Bands[] = {
        {0, 2.5f, 0, 31, 0, -1}, {7, 1, 0.7f, 4000, -4, 1}, {3, 2.5f, 0, 250, 6.5f, -1}};
    for (const auto &B : Bands)
        ASSERT_TRUE(BASS_FXSetParameters(Fx, &B));
    for (const auto &B : Bands) {
        SCOPED_TRACE(B.lBand);
        Read = {};
        Read.lBand = B.lBand;
        ASSERT_TRUE(BASS_FXGetParameters(Fx, &Read));
        EXPECT_EQ(Read.fBandwidth, B.fBandwidth);
        EXPECT_EQ(Read.fQ, B.fQ);
        EXPECT_EQ(Read.fCenter, B.fCenter);
        EXPECT_EQ(Read.fGain, B.fGain);
        EXPECT_EQ(Read.lChannel, B.lChannel);
    }
    Read.lBand = 1;
    EXPECT_FALSE(BASS_FXGetParameters(Fx, &Read)) << "a band never set";

    // Changing a band's gain keeps the rest of its record.
    Read.lBand = 3;
    ASSERT_TRUE(BASS_FXGetParameters(Fx, &Read));
    Read.fGain = -2;
    ASSERT_TRUE(BASS_FXSetParameters(Fx, &Read));
    BASS_BFX_PEAKEQ Again;
    Again.lBand = 3;
    ASSERT_TRUE(BASS_FXGetParameters(Fx, &Again));
    EXPECT_EQ(Again.fGain, -2.0f);
    EXPECT_EQ(Again.fCenter, 250.0f);
    BASS_StreamFree(H);
}

TEST(AudioEngineEffects, EqualiserRejectsUnusableBands) {
    const HSTREAM H = BASS_StreamCreate(48000, 2, &ConstantProc, nullptr);
    const HFX Fx = BASS_ChannelSetFX(H, BASS_FX_BFX_PEAKEQ, 49);
    struct TCase {
        const char *FName;
        BASS_BFX_PEAKEQ FBand;
    };
    const TCase Cases[] = {
        {"negative band", {-1, 1, 0, 1000, 0, -1}},
        {"no width", {0, 0, 0, 1000, 0, -1}},
        {"negative Q", {0, 1, -1, 1000, 0, -1}},
        {"zero centre", {0, 1, 0, 0, 0, -1}},
        {"gain not a number", {0, 1, 0, 1000, std::nanf(""), -1}},
        {"infinite centre", {0, 1, 0, INFINITY, 0, -1}},
    };
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(Case.FName);
        EXPECT_FALSE(BASS_FXSetParameters(Fx, &Case.FBand));
        BASS_BFX_PEAKEQ Read;
        Read.lBand = Case.FBand.lBand;
        EXPECT_FALSE(BASS_FXGetParameters(Fx, &Read)) << "no band was created";
    }
    EXPECT_FALSE(BASS_FXSetParameters(Fx, nullptr));
    BASS_StreamFree(H);
}

TEST(AudioEngineEffects, VersionIsNotZero) {
    EXPECT_NE(BASS_FX_GetVersion(), 0u);
}

} // namespace
