// The engine while one thread pulls audio and another changes the chain:
// run under ThreadSanitizer, this is where a torn hand-over would show.

#include "AudioSignals.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

quint32 NoiseProc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto &Seed = *static_cast<quint32 *>(AUser);
    float *Out = static_cast<float *>(ABuffer);
    for (quint32 I = 0; I < ALength / sizeof(float); ++I) {
        Seed = Seed * 1664525u + 1013904223u;
        Out[I] = float(int(Seed >> 8) - (1 << 23)) / float(1 << 24);
    }
    return ALength;
}

struct TGain {
    std::atomic<double> FFactor{1};
    std::atomic<int> FCalls{0};
};

void GainProc(HDSP, HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto &G = *static_cast<TGain *>(AUser);
    const double Factor = G.FFactor.load(std::memory_order_relaxed);
    float *Samples = static_cast<float *>(ABuffer);
    for (quint32 I = 0; I < ALength / sizeof(float); ++I)
        Samples[I] = float(Samples[I] * Factor);
    G.FCalls.fetch_add(1, std::memory_order_relaxed);
}

// Pulls until told to stop; counts buffers and remembers anything that is
// not a finite number (an effect that ran with half-written settings could
// blow up).
struct TPuller {
    HSTREAM FStream;
    std::atomic<bool> FStop{false};
    std::atomic<int> FBuffers{0};
    std::atomic<int> FBadSamples{0};
    std::atomic<int> FUnknown{0};

    void Run() {
        std::vector<float> Buffer(512 * 2);
        while (!FStop.load()) {
            const qint32 Got =
                BASS_ChannelGetData(FStream, Buffer.data(), quint32(Buffer.size() * sizeof(float)));
            if (Got < 0) {
                FUnknown.fetch_add(1);
                std::this_thread::yield();
                continue;
            }
            for (qint32 I = 0; I < Got / 4; ++I)
                if (!std::isfinite(Buffer[std::size_t(I)]) ||
                    std::fabs(Buffer[std::size_t(I)]) > 1e3f)
                    FBadSamples.fetch_add(1);
            FBuffers.fetch_add(1);
        }
    }
    // Lets the puller get through a few more buffers.
    void WaitBuffers(int ACount) const {
        const int Target = FBuffers.load() + ACount;
        while (FBuffers.load() < Target)
            std::this_thread::yield();
    }
};

TEST(AudioThreads, ChainChangesWhileAudioIsPulled) {
    quint32 Seed = 1;
    TPuller Puller;
    Puller.FStream = BASS_StreamCreate(48000, 2, &NoiseProc, &Seed);
    ASSERT_NE(Puller.FStream, 0u);
    std::thread Audio(&TPuller::Run, &Puller);

    const int Centres[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    TGain Gain;
    for (int Round = 0; Round < 12; ++Round) {
        const HFX Eq = BASS_ChannelSetFX(Puller.FStream, BASS_FX_BFX_PEAKEQ, 49);
        const HFX Comp = BASS_ChannelSetFX(Puller.FStream, BASS_FX_BFX_COMPRESSOR2, 49);
        const HDSP Dsp = BASS_ChannelSetDSP(Puller.FStream, &GainProc, &Gain, 49);
        ASSERT_TRUE(Eq && Comp && Dsp);
        for (int Step = 0; Step < 10; ++Step) {
            for (int B = 0; B < 10; ++B) {
                const BASS_BFX_PEAKEQ Band{
                    B, 2.5f, 0, float(Centres[B]), float((B + Step) % 13 - 6), -1};
                ASSERT_TRUE(BASS_FXSetParameters(Eq, &Band));
            }
            const BASS_BFX_COMPRESSOR2 P{
                float(Step % 3), -float(Step * 3), 1 + float(Step), 5, 50, -1};
            ASSERT_TRUE(BASS_FXSetParameters(Comp, &P));
            Gain.FFactor.store(Step % 2 ? 0.5 : 1.0);
            if (Step % 4 == 0)
                Puller.WaitBuffers(1);
        }
        // Remove in a varying order so every position of the chain is cut out.
        if (Round % 2) {
            EXPECT_TRUE(BASS_ChannelRemoveFX(Puller.FStream, Eq));
            EXPECT_TRUE(BASS_ChannelRemoveDSP(Puller.FStream, Dsp));
            EXPECT_TRUE(BASS_ChannelRemoveFX(Puller.FStream, Comp));
        } else {
            EXPECT_TRUE(BASS_ChannelRemoveDSP(Puller.FStream, Dsp));
            EXPECT_TRUE(BASS_ChannelRemoveFX(Puller.FStream, Comp));
            EXPECT_TRUE(BASS_ChannelRemoveFX(Puller.FStream, Eq));
        }
    }
    Puller.WaitBuffers(2);
    Puller.FStop.store(true);
    Audio.join();
    EXPECT_EQ(Puller.FBadSamples.load(), 0);
    EXPECT_EQ(Puller.FUnknown.load(), 0);
    EXPECT_GT(Gain.FCalls.load(), 0);
    EXPECT_TRUE(BASS_StreamFree(Puller.FStream));
}

TEST(AudioThreads, StreamFreedWhileAudioIsPulled) {
    // The puller keeps calling after the free: it must get "unknown channel"
    // and never touch the freed channel.
    for (int Round = 0; Round < 20; ++Round) {
        quint32 Seed = quint32(Round);
        TPuller Puller;
        Puller.FStream = BASS_StreamCreate(48000, 2, &NoiseProc, &Seed);
        const HFX Eq = BASS_ChannelSetFX(Puller.FStream, BASS_FX_BFX_PEAKEQ, 0);
        const BASS_BFX_PEAKEQ Band{0, 1, 0, 1000, 6, -1};
        BASS_FXSetParameters(Eq, &Band);
        std::thread Audio(&TPuller::Run, &Puller);
        Puller.WaitBuffers(Round % 3);
        EXPECT_TRUE(BASS_StreamFree(Puller.FStream));
        while (Puller.FUnknown.load() == 0)
            std::this_thread::yield();
        Puller.FStop.store(true);
        Audio.join();
        EXPECT_EQ(Puller.FBadSamples.load(), 0);
    }
}

// Counts calls after its owner declared it gone: each must be zero once the
// removal has returned.
struct TWatched {
    std::atomic<bool> FGone{false};
    std::atomic<int> FCallsAfterGone{0};
    std::atomic<int> FCalls{0};
};

void WatchedDspProc(HDSP, HSTREAM, void *, quint32, void *AUser) {
    auto &W = *static_cast<TWatched *>(AUser);
    if (W.FGone.load())
        W.FCallsAfterGone.fetch_add(1);
    W.FCalls.fetch_add(1);
}

quint32 WatchedStreamProc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto &W = *static_cast<TWatched *>(AUser);
    if (W.FGone.load())
        W.FCallsAfterGone.fetch_add(1);
    W.FCalls.fetch_add(1);
    std::fill_n(static_cast<float *>(ABuffer), ALength / sizeof(float), 0.1f);
    return ALength;
}

TEST(AudioThreads, RemovedCallbackHasStoppedWhenRemoveReturns) {
    // The gain stage frees its callback's data right after removing it; the
    // callback must not be inside any more, nor be called again.
    quint32 Seed = 3;
    TPuller Puller;
    Puller.FStream = BASS_StreamCreate(48000, 2, &NoiseProc, &Seed);
    std::thread Audio(&TPuller::Run, &Puller);
    for (int Round = 0; Round < 20; ++Round) {
        TWatched Watched;
        const HDSP Dsp = BASS_ChannelSetDSP(Puller.FStream, &WatchedDspProc, &Watched, 0);
        ASSERT_NE(Dsp, 0u);
        while (Watched.FCalls.load() < 1 + Round % 3)
            std::this_thread::yield();
        ASSERT_TRUE(BASS_ChannelRemoveDSP(Puller.FStream, Dsp));
        Watched.FGone.store(true);
        Puller.WaitBuffers(2);
        EXPECT_EQ(Watched.FCallsAfterGone.load(), 0) << "round " << Round;
    }
    Puller.FStop.store(true);
    Audio.join();
    BASS_StreamFree(Puller.FStream);
}

TEST(AudioThreads, FreedStreamsSourceHasStoppedWhenFreeReturns) {
    for (int Round = 0; Round < 12; ++Round) {
        TWatched Watched;
        TPuller Puller;
        Puller.FStream = BASS_StreamCreate(48000, 2, &WatchedStreamProc, &Watched);
        std::thread Audio(&TPuller::Run, &Puller);
        while (Watched.FCalls.load() < 1 + Round % 4)
            std::this_thread::yield();
        ASSERT_TRUE(BASS_StreamFree(Puller.FStream));
        Watched.FGone.store(true);
        while (Puller.FUnknown.load() < 2)
            std::this_thread::yield();
        Puller.FStop.store(true);
        Audio.join();
        EXPECT_EQ(Watched.FCallsAfterGone.load(), 0) << "round " << Round;
    }
}

TEST(AudioThreads, CallbackMayRemoveItself) {
    // Removing from inside the callback (on the audio thread) must not wait
    // for itself.
    struct TSelf {
        HSTREAM FStream = 0;
        HDSP FHandle = 0;
        int FCalls = 0;
        bool FRemoved = false;
    } Self;
    const HSTREAM Stream = BASS_StreamCreate(
        48000, 1,
        [](HSTREAM, void *ABuffer, quint32 ALength, void *) {
            std::fill_n(static_cast<float *>(ABuffer), ALength / sizeof(float), 0.0f);
            return ALength;
        },
        nullptr);
    Self.FStream = Stream;
    Self.FHandle = BASS_ChannelSetDSP(
        Stream,
        [](HDSP AHandle, HSTREAM AChannel, void *, quint32, void *AUser) {
            auto &S = *static_cast<TSelf *>(AUser);
            ++S.FCalls;
            S.FRemoved = BASS_ChannelRemoveDSP(AChannel, AHandle);
        },
        &Self, 0);
    float Buffer[64];
    EXPECT_EQ(BASS_ChannelGetData(Stream, Buffer, sizeof Buffer), qint32(sizeof Buffer));
    EXPECT_EQ(BASS_ChannelGetData(Stream, Buffer, sizeof Buffer), qint32(sizeof Buffer));
    EXPECT_EQ(Self.FCalls, 1);
    EXPECT_TRUE(Self.FRemoved);
    BASS_StreamFree(Stream);
}

TEST(AudioThreads, TwoChannelsOnTwoThreads) {
    // Independent channels pulled at the same time share only the registry
    // and the reclaimer.
    quint32 SeedA = 7, SeedB = 9;
    TPuller A, B;
    A.FStream = BASS_StreamCreate(44100, 2, &NoiseProc, &SeedA);
    B.FStream = BASS_StreamCreate(48000, 2, &NoiseProc, &SeedB);
    std::thread TA(&TPuller::Run, &A), TB(&TPuller::Run, &B);
    for (int I = 0; I < 10; ++I) {
        for (TPuller *P : {&A, &B}) {
            const HFX Comp = BASS_ChannelSetFX(P->FStream, BASS_FX_BFX_COMPRESSOR2, I % 5);
            const BASS_BFX_COMPRESSOR2 Params{1, -12, 3, 1, 20, -1};
            BASS_FXSetParameters(Comp, &Params);
            P->WaitBuffers(1);
            EXPECT_TRUE(BASS_ChannelRemoveFX(P->FStream, Comp));
        }
    }
    A.FStop.store(true);
    B.FStop.store(true);
    TA.join();
    TB.join();
    EXPECT_EQ(A.FBadSamples.load() + B.FBadSamples.load(), 0);
    BASS_StreamFree(A.FStream);
    BASS_StreamFree(B.FStream);
}

} // namespace
