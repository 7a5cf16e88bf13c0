// The capture ring: sizes, order across the wrap, full rings dropping whole
// blocks and counting them, and two threads at full speed.

#include "recorder/SampleRing.h"

#include <gtest/gtest.h>
#include <numeric>
#include <thread>
#include <vector>

namespace {

struct TCapacityCase {
    std::size_t FAsked;
    std::size_t FGot;
};

void PrintTo(const TCapacityCase &ACase, std::ostream *AStream) {
    *AStream << ACase.FAsked << " samples";
}

class SampleRingCapacity : public testing::TestWithParam<TCapacityCase> {};

TEST_P(SampleRingCapacity, RoundsUpToAPowerOfTwo) {
    const TSampleRing Ring(GetParam().FAsked);
    EXPECT_EQ(Ring.Capacity(), GetParam().FGot);
    EXPECT_EQ(Ring.Available(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SampleRingCapacity,
                         testing::Values(TCapacityCase{0, 2}, TCapacityCase{1, 2},
                                         TCapacityCase{3, 4}, TCapacityCase{4096, 4096},
                                         TCapacityCase{4097, 8192},
                                         TCapacityCase{768000, 1048576}));

std::vector<float> Counting(float AFirst, std::size_t ASize) {
    std::vector<float> Values(ASize);
    std::iota(Values.begin(), Values.end(), AFirst);
    return Values;
}

TEST(SampleRing, KeepsTheOrderAcrossTheWrap) {
    TSampleRing Ring(16);
    float Next = 0;
    float Expected = 0;
    // Sizes that do not divide the capacity, so pushes and pops straddle the
    // end of the buffer in every position.
    for (int Round = 0; Round < 50; ++Round) {
        const std::size_t Size = 1 + std::size_t(Round % 7);
        const std::vector<float> In = Counting(Next, Size);
        ASSERT_TRUE(Ring.Push(In.data(), In.size()));
        Next += float(Size);
        std::vector<float> Out(5);
        const std::size_t Got = Ring.Pop(Out.data(), Out.size());
        for (std::size_t i = 0; i < Got; ++i)
            ASSERT_EQ(Out[i], Expected++);
    }
    std::vector<float> Rest(16);
    const std::size_t Got = Ring.Pop(Rest.data(), Rest.size());
    for (std::size_t i = 0; i < Got; ++i)
        ASSERT_EQ(Rest[i], Expected++);
    EXPECT_EQ(Expected, Next);
    EXPECT_EQ(Ring.Overruns(), 0u);
}

TEST(SampleRing, AFullRingDropsTheWholeBlockAndCountsIt) {
    TSampleRing Ring(8);
    const std::vector<float> First = Counting(0, 6);
    ASSERT_TRUE(Ring.Push(First.data(), First.size()));
    const std::vector<float> TooMuch = Counting(100, 3);
    EXPECT_FALSE(Ring.Push(TooMuch.data(), TooMuch.size()));
    EXPECT_FALSE(Ring.Push(TooMuch.data(), 9)); // more than the ring ever holds
    EXPECT_EQ(Ring.Overruns(), 2u);
    EXPECT_EQ(Ring.LostSamples(), 12u);
    EXPECT_EQ(Ring.Available(), 6u);

    // Exactly full still fits.
    const std::vector<float> Two = Counting(6, 2);
    EXPECT_TRUE(Ring.Push(Two.data(), Two.size()));
    std::vector<float> Out(8);
    ASSERT_EQ(Ring.Pop(Out.data(), Out.size()), 8u);
    EXPECT_EQ(Out, Counting(0, 8)); // nothing of the dropped blocks got in
    EXPECT_TRUE(Ring.Push(TooMuch.data(), TooMuch.size()));
    EXPECT_EQ(Ring.Overruns(), 2u);
}

TEST(SampleRing, PopOfAnEmptyRingGivesNothing) {
    TSampleRing Ring(4);
    std::vector<float> Out(4, -1.0f);
    EXPECT_EQ(Ring.Pop(Out.data(), Out.size()), 0u);
    EXPECT_EQ(Out, std::vector<float>(4, -1.0f));
}

// Producer and consumer at full speed on two threads, with block sizes that
// keep changing: every sample arrives once, in order, and a push that found
// the ring full is counted and then tried again.
TEST(SampleRing, TwoThreadsDeliverEverySampleInOrder) {
    constexpr std::uint32_t Total = 1u << 21; // exact in a float
    TSampleRing Ring(1024);
    std::uint64_t FailedPushes = 0;
    std::thread Producer([&] {
        std::vector<float> Block(300);
        std::uint32_t Next = 0;
        std::uint32_t Step = 0;
        while (Next < Total) {
            const std::uint32_t Size =
                std::min<std::uint32_t>(1 + (Step++ * 37) % 300, Total - Next);
            for (std::uint32_t i = 0; i < Size; ++i)
                Block[i] = float(Next + i);
            while (!Ring.Push(Block.data(), Size)) {
                ++FailedPushes;
                std::this_thread::yield();
            }
            Next += Size;
        }
    });
    std::vector<float> Out(257);
    std::uint32_t Received = 0;
    std::uint32_t OutOfOrder = 0;
    std::uint32_t Step = 0;
    // Drains to the end even after a fault, so the producer always finishes.
    while (Received < Total) {
        const std::size_t Got = Ring.Pop(Out.data(), 1 + (Step++ * 53) % Out.size());
        for (std::size_t i = 0; i < Got; ++i, ++Received) {
            if (Out[i] != float(Received) && OutOfOrder++ == 0)
                ADD_FAILURE() << "sample " << Received << " arrived as " << Out[i];
        }
        if (Got == 0)
            std::this_thread::yield();
    }
    Producer.join();
    EXPECT_EQ(OutOfOrder, 0u);
    EXPECT_EQ(Ring.Available(), 0u);
    EXPECT_EQ(Ring.Overruns(), FailedPushes);
}

} // namespace
