#pragma once
// What a finished or recovered take must hold, for the tests of both.

#include "TakeSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

// The file holds the test signal's first AFrames stereo frames as 24-bit
// FLAC at the signal's rate.
inline void ExpectSignal(const QString &AFileName, long long AFrames) {
    TSoundFileInfo Info;
    const std::vector<float> Samples = ReadSound(AFileName, &Info);
    EXPECT_EQ(Info.FFormat, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(Info.FRate, SignalRate);
    ASSERT_EQ(Info.FChannels, 2u);
    ASSERT_EQ((long long)Samples.size(), AFrames * 2);
    const std::vector<float> Expected = SignalBlock(0, std::size_t(AFrames), 2);
    for (std::size_t i = 0; i < Samples.size(); ++i)
        ASSERT_NEAR(Samples[i], Expected[i], Pcm24Tolerance) << "sample " << i;
}
