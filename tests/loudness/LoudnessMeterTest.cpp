// The recorder's meters: the loudness of known signals as EBU R 128 gives
// it, the windows of momentary and short-term loudness, the peak hold, clips,
// and readings taken from another thread while audio is fed.

#include "loudness/LoudnessMeter.h"

#include "LoudnessSignals.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr double Rate = 48000;

TLoudnessReading FeedAll(TLoudnessMeter &AMeter, const std::vector<float> &ASamples,
                         qint64 ABlockFrames = 480) {
    const qint64 Frames = qint64(ASamples.size() / AMeter.Channels());
    for (qint64 F = 0; F < Frames; F += ABlockFrames)
        AMeter.Feed(ASamples.data() + F * AMeter.Channels(), std::min(ABlockFrames, Frames - F));
    return AMeter.Reading();
}

bool NoNaN(const TLoudnessReading &AReading) {
    bool Fine = !std::isnan(AReading.FPeakDb) && !std::isnan(AReading.FPeakHoldDb) &&
                !std::isnan(AReading.FMomentaryLufs) && !std::isnan(AReading.FShortTermLufs) &&
                !std::isnan(AReading.FIntegratedLufs) && !std::isnan(AReading.FTruePeakDb);
    for (quint32 C = 0; C < MeteredChannels; ++C)
        Fine = Fine && !std::isnan(AReading.FChannelPeakDb[C]) &&
               !std::isnan(AReading.FChannelPeakHoldDb[C]);
    return Fine;
}

// A 997 Hz sine measured as the standard says: at full scale in one channel
// -3.01 LUFS, in two channels 0 LUFS; the level moves it dB for dB.
struct TSineCase {
    const char *FName;
    double FRate;
    std::vector<bool> FInChannel;
    double FLevelDb;
    double FExpectedLufs;
};

class LoudnessMeterSine : public testing::TestWithParam<TSineCase> {};

TEST_P(LoudnessMeterSine, ReadsTheStandardsLoudness) {
    const TSineCase &Case = GetParam();
    const double Amplitude = std::pow(10.0, Case.FLevelDb / 20);
    TLoudnessMeter Meter(quint32(Case.FRate), quint32(Case.FInChannel.size()));
    const TLoudnessReading Reading =
        FeedAll(Meter, Sine(Case.FRate, Case.FInChannel, 997, Amplitude, 5));
    EXPECT_NEAR(Reading.FMomentaryLufs, Case.FExpectedLufs, 0.05);
    EXPECT_NEAR(Reading.FShortTermLufs, Case.FExpectedLufs, 0.05);
    // The integrated loudness comes from a histogram of 0.1 LU steps.
    EXPECT_NEAR(Reading.FIntegratedLufs, Case.FExpectedLufs, 0.1);
    EXPECT_NEAR(Reading.FPeakDb, Case.FLevelDb, 0.01);
    EXPECT_NEAR(Reading.FPeakHoldDb, Case.FLevelDb, 0.01);
    EXPECT_NEAR(Reading.FTruePeakDb, Case.FLevelDb, 0.1);
    for (std::size_t C = 0; C < Case.FInChannel.size(); ++C)
        if (Case.FInChannel[C])
            EXPECT_NEAR(Reading.FChannelPeakDb[C], Case.FLevelDb, 0.01) << "channel " << C;
        else
            EXPECT_EQ(Reading.FChannelPeakDb[C], -INFINITY) << "channel " << C;
    // At full scale the crests are clipped samples.
    if (Case.FLevelDb < 0)
        EXPECT_EQ(Reading.FClips, 0);
    else
        EXPECT_GT(Reading.FClips, 0);
    EXPECT_EQ(Reading.FFrames, qint64(Case.FRate * 5));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, LoudnessMeterSine,
    testing::Values(TSineCase{"FullScaleMono", 48000, {true}, 0, -3.01},
                    TSineCase{"Minus20Mono", 48000, {true}, -20, -23.01},
                    TSineCase{"Minus20Stereo", 48000, {true, true}, -20, -20.0},
                    TSineCase{"Minus20StereoLeftOnly", 48000, {true, false}, -20, -23.01},
                    TSineCase{"Minus20StereoAt44100", 44100, {true, true}, -20, -20.0},
                    TSineCase{"Minus6Stereo", 48000, {true, true}, -6, -6.0}),
    [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(LoudnessMeter, ReadsMinusInfinityForSilenceAndBeforeAnyAudio) {
    TLoudnessMeter Meter(48000, 2);
    TLoudnessReading Reading = Meter.Reading();
    EXPECT_TRUE(NoNaN(Reading));
    EXPECT_EQ(Reading.FMomentaryLufs, -INFINITY);
    EXPECT_EQ(Reading.FFrames, 0);

    Reading = FeedAll(Meter, Silence(Rate, 2, 4));
    EXPECT_TRUE(NoNaN(Reading));
    EXPECT_EQ(Reading.FPeakDb, -INFINITY);
    EXPECT_EQ(Reading.FPeakHoldDb, -INFINITY);
    EXPECT_EQ(Reading.FMomentaryLufs, -INFINITY);
    EXPECT_EQ(Reading.FShortTermLufs, -INFINITY);
    EXPECT_EQ(Reading.FIntegratedLufs, -INFINITY);
    EXPECT_EQ(Reading.FTruePeakDb, -INFINITY);
}

TEST(LoudnessMeter, MomentaryShowsA400MsBurstAndForgetsItAfter) {
    const double Level = std::pow(10.0, -20.0 / 20);
    TLoudnessMeter Meter(48000, 2);
    FeedAll(Meter, Silence(Rate, 2, 2));
    const TLoudnessReading During = FeedAll(Meter, Sine(Rate, {true, true}, 997, Level, 0.4));
    // The whole momentary window holds the burst; the short-term window
    // holds it for 0.4 of its 3 s.
    EXPECT_NEAR(During.FMomentaryLufs, -20.0, 0.1);
    EXPECT_NEAR(During.FShortTermLufs, -20.0 + 10 * std::log10(0.4 / 3), 0.1);

    const TLoudnessReading Halfway = FeedAll(Meter, Silence(Rate, 2, 0.2));
    EXPECT_NEAR(Halfway.FMomentaryLufs, -20.0 + 10 * std::log10(0.5), 0.2);

    // Gone but for what the weighting filters still ring out.
    const TLoudnessReading After = FeedAll(Meter, Silence(Rate, 2, 0.2));
    EXPECT_LT(After.FMomentaryLufs, -50);
    EXPECT_NEAR(After.FShortTermLufs, During.FShortTermLufs, 0.1);

    const TLoudnessReading Later = FeedAll(Meter, Silence(Rate, 2, 2.6));
    EXPECT_LT(Later.FShortTermLufs, -50);
    // Integrated loudness gates the silence out and keeps the blocks that
    // hold some of the burst: the one that holds it whole and, on each
    // side, the three that hold 3/4, 1/2 and 1/4 of it (400 ms blocks every
    // 100 ms), so 4/7 of the burst's energy.
    EXPECT_NEAR(Later.FIntegratedLufs, -20.0 + 10 * std::log10(4.0 / 7), 0.15);
    EXPECT_TRUE(NoNaN(Later));
}

TEST(LoudnessMeter, PeakHoldHoldsForOneSecondOfAudioThenFalls) {
    TLoudnessMeter Meter(48000, 1);
    FeedAll(Meter, Sine(Rate, {true}, 997, 0.5, 0.1));
    FeedAll(Meter, Sine(Rate, {true}, 997, 0.05, 0.95));
    TLoudnessReading Reading = Meter.Reading();
    EXPECT_NEAR(Reading.FPeakDb, -26.02, 0.05);
    EXPECT_NEAR(Reading.FPeakHoldDb, -6.02, 0.05);
    EXPECT_NEAR(Reading.FChannelPeakHoldDb[0], -6.02, 0.05);

    Reading = FeedAll(Meter, Sine(Rate, {true}, 997, 0.05, 0.05));
    EXPECT_NEAR(Reading.FPeakHoldDb, -26.02, 0.05);
    EXPECT_NEAR(Reading.FChannelPeakHoldDb[0], -26.02, 0.05);
}

TEST(LoudnessMeter, ReadingsDoNotDependOnTheBlockSize) {
    const std::vector<float> Signal = SpeechLike(Rate, 2, 6, 0.1, true);
    TLoudnessMeter Small(48000, 2), Odd(48000, 2), Large(48000, 2);
    const TLoudnessReading A = FeedAll(Small, Signal, 64);
    const TLoudnessReading B = FeedAll(Odd, Signal, 1001);
    const TLoudnessReading C = FeedAll(Large, Signal, 48000 * 6);
    for (const TLoudnessReading *Other : {&B, &C}) {
        EXPECT_DOUBLE_EQ(Other->FMomentaryLufs, A.FMomentaryLufs);
        EXPECT_DOUBLE_EQ(Other->FShortTermLufs, A.FShortTermLufs);
        EXPECT_DOUBLE_EQ(Other->FPeakDb, A.FPeakDb);
        EXPECT_DOUBLE_EQ(Other->FPeakHoldDb, A.FPeakHoldDb);
        EXPECT_NEAR(Other->FIntegratedLufs, A.FIntegratedLufs, 1e-9);
        EXPECT_NEAR(Other->FTruePeakDb, A.FTruePeakDb, 1e-6);
    }
}

// Clips count once per run of samples at or beyond full scale in a channel,
// also when a run goes on into the next block.
TEST(LoudnessMeter, CountsEachRunOfClippedSamplesOnce) {
    TLoudnessMeter Meter(48000, 2);
    std::vector<float> Block(2 * 100, 0.25f);
    for (int F = 10; F < 15; ++F)
        Block[2 * F] = 1.0f;   // one run of five in the left channel
    Block[2 * 20 + 1] = -1.2f; // one in the right
    Block[2 * 22 + 1] = -1.0f; // and another after a sample below
    for (int F = 97; F < 100; ++F)
        Block[2 * F] = 1.5f; // a run that goes on into the next block
    Meter.Feed(Block.data(), 100);
    std::vector<float> Next(2 * 10, 0.0f);
    Next[0] = 1.0f;
    Next[2] = 1.0f;
    Meter.Feed(Next.data(), 10);
    Meter.Flush();
    const TLoudnessReading Reading = Meter.Reading();
    EXPECT_EQ(Reading.FClips, 4);
    EXPECT_NEAR(Reading.FPeakDb, 20 * std::log10(1.5), 1e-6);
    EXPECT_EQ(Reading.FFrames, 110);

    Meter.Reset();
    EXPECT_EQ(Meter.Reading().FClips, 0);
    EXPECT_EQ(Meter.Reading().FFrames, 0);
}

TEST(LoudnessMeter, RefusesWhatItCannotMeasure) {
    EXPECT_THROW(TLoudnessMeter(48000, 0), std::invalid_argument);
    EXPECT_THROW(TLoudnessMeter(0, 2), std::invalid_argument);
}

// The GUI reads while the recorder's thread feeds: every reading is one the
// meter published whole (frames and levels from the same update), and
// readings never go back in time.
TEST(LoudnessMeter, ReadingsFromAnotherThreadAreWholeWhileFeeding) {
    TLoudnessMeter Meter(48000, 2);
    const std::vector<float> Signal = SpeechLike(Rate, 2, 2, 0.1, false);
    std::atomic<bool> Done{false};
    std::atomic<int> Bad{0};
    std::atomic<int> Reads{0};
    std::thread Reader([&] {
        qint64 Last = 0;
        while (!Done.load()) {
            const TLoudnessReading Reading = Meter.Reading();
            if (!NoNaN(Reading) || Reading.FFrames < Last ||
                Reading.FFrames % (48000 * TLoudnessMeter::UpdateMs / 1000) != 0 ||
                (Reading.FFrames > 0) != (Reading.FTruePeakDb > -INFINITY))
                ++Bad;
            Last = Reading.FFrames;
            ++Reads;
            std::this_thread::yield();
        }
    });
    for (int Round = 0; Round < 5; ++Round)
        FeedAll(Meter, Signal, 256);
    // Keep feeding until the reader has seen a good number of readings, so
    // the test means something on a loaded machine too.
    while (Reads.load() < 1000)
        FeedAll(Meter, Signal, 256);
    Done = true;
    Reader.join();
    EXPECT_EQ(Bad.load(), 0);
}

} // namespace
