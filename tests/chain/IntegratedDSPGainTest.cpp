// The gain stage and the reading of settings text: the sample callback on
// raw buffers, and the stage attached to a real channel of the audio engine.

#include "DSPManagerTestSupport.h"
#include "chain/IntegratedDSP.h"

#include <array>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// --- Settings text ---------------------------------------------------------------

TEST(ParamText, WholeNumbersOnly) {
    const struct {
        QString Text;
        qint32 Expected;
    } cases[] = {
        {u"12"_s, 12},
        {u"-3"_s, -3},
        {u"+4"_s, 4},
        {u"0"_s, 0},
        {u"2147483647"_s, 2147483647},
        {u"-2147483648"_s, std::numeric_limits<qint32>::min()},
        {u"2.5"_s, 0}, // a fraction is not a whole number
        {u"3.0"_s, 0},
        {u"3,0"_s, 0},
        {u"2147483648"_s, 0}, // beyond 32 bits
        {u"99999999999999999999"_s, 0},
        {u""_s, 0},
        {u"-"_s, 0},
        {u" 3"_s, 0},
        {u"3dB"_s, 0},
        {u"$1F"_s, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        EXPECT_EQ(ParamWholeNumber(c.Text), c.Expected);
    }
}

TEST(ParamText, NumbersUseOnlyAPoint) {
    const struct {
        QString Text;
        double Expected;
    } cases[] = {
        {u"4.5"_s, 4.5}, {u"-18"_s, -18}, {u"1.5E-3"_s, 0.0015}, {u"250"_s, 250}, {u"4,5"_s, 0},
        {u""_s, 0},      {u"abc"_s, 0},   {u"1E999"_s, 0},       {u"NAN"_s, 0},   {u" 1"_s, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        EXPECT_DOUBLE_EQ(ParamNumber(c.Text), c.Expected);
    }
}

TEST(ParamText, FloatParametersSaturate) {
    EXPECT_EQ(ParamFloat(u"1E300"_s), std::numeric_limits<float>::max());
    EXPECT_EQ(ParamFloat(u"-1E300"_s), -std::numeric_limits<float>::max());
    EXPECT_FLOAT_EQ(ParamFloat(u"0.25"_s), 0.25f);
}

// --- The sample callback ----------------------------------------------------------

void RunGain(double ALevel, void *ABuffer, quint32 ALength) {
    TGainData data;
    data.Level = ALevel;
    GainDSPProc(1, 1, ABuffer, ALength, &data);
}

TEST(GainCallback, ScalesByTheClampedLevel) {
    const struct {
        const char *Name;
        double Level;
        double Factor;
    } cases[] = {
        {"plus 6 dB", 6, 1.9952623149688795},
        {"minus 20 dB", -20, 0.1},
        {"50 dB is the ceiling", 50, 316.22776601683796},
        {"80 dB is applied as 50 dB", 80, 316.22776601683796},
        {"minus 60 dB is the floor", -60, 0.001},
        {"minus 100 dB is applied as minus 60 dB", -100, 0.001},
    };
    const std::array<float, 5> input{0.5f, -0.25f, 1e-3f, 2.0f, 0.0f};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        std::array<float, 5> samples = input;
        RunGain(c.Level, samples.data(), sizeof(samples));
        for (size_t i = 0; i < samples.size(); ++i)
            EXPECT_FLOAT_EQ(samples[i], float(input[i] * c.Factor)) << "sample " << i;
    }
}

TEST(GainCallback, NoClippingBeyondFullScale) {
    std::array<float, 2> samples{0.9f, -0.9f};
    RunGain(20, samples.data(), sizeof(samples));
    EXPECT_FLOAT_EQ(samples[0], 9.0f);
    EXPECT_FLOAT_EQ(samples[1], -9.0f);
}

TEST(GainCallback, ZeroDecibelsLeavesEveryBitAlone) {
    // A signalling NaN would come back quiet from any arithmetic, even a
    // multiplication by 1: only a buffer left alone keeps it.
    const std::array<float, 7> input{-0.0f,
                                     std::numeric_limits<float>::denorm_min(),
                                     std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::signaling_NaN(),
                                     std::numeric_limits<float>::max(),
                                     -1e-38f,
                                     0.123456789f};
    std::array<float, 7> samples = input;
    RunGain(0, samples.data(), sizeof(samples));
    EXPECT_EQ(std::memcmp(samples.data(), input.data(), sizeof(input)), 0);
}

TEST(GainCallback, BytesShortOfASampleAreLeftAlone) {
    const struct {
        quint32 Length;
        int ChangedSamples;
    } cases[] = {{0, 0}, {1, 0}, {3, 0}, {4, 1}, {5, 1}, {7, 1}, {8, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Length);
        alignas(float) std::array<unsigned char, 12> bytes{};
        const float one = 1.0f;
        for (size_t i = 0; i < bytes.size(); i += sizeof(float))
            std::memcpy(bytes.data() + i, &one, sizeof(float));
        const auto before = bytes;
        RunGain(20, bytes.data(), c.Length);
        for (int s = 0; s < 3; ++s) {
            float value = 0;
            std::memcpy(&value, bytes.data() + s * sizeof(float), sizeof(float));
            EXPECT_FLOAT_EQ(value, s < c.ChangedSamples ? 10.0f : 1.0f) << "sample " << s;
        }
        if (c.ChangedSamples == 0) {
            EXPECT_EQ(bytes, before);
        }
    }
}

TEST(GainCallback, WithoutDataNothingHappens) {
    std::array<float, 2> samples{0.5f, 0.5f};
    GainDSPProc(1, 1, samples.data(), sizeof(samples), nullptr);
    EXPECT_EQ(samples[0], 0.5f);
}

TEST(GainCallback, ANotANumberLevelLeavesTheAudioAlone) {
    std::array<float, 2> samples{0.5f, -0.5f};
    RunGain(std::numeric_limits<double>::quiet_NaN(), samples.data(), sizeof(samples));
    EXPECT_EQ(samples[0], 0.5f);
    EXPECT_EQ(samples[1], -0.5f);
}

// --- The stage on a channel ------------------------------------------------------------

class GainStage : public TChainFixture {
protected:
    TDSPItemC &Item = AddBuiltIn(dspGain, psActive);
    TConstantChannel Channel{0.25f};
};

TEST_F(GainStage, FollowsItsParamsWhileAttached) {
    TIntegratedDSPGain gain(Item, Channel.Handle(), Settings);
    EXPECT_EQ(gain.HFX, 0u);
    gain.SetDSP(true);
    ASSERT_NE(gain.HFX, 0u);

    Item.Params = {u"6.0206"_s};
    gain.UpdateDSP();
    EXPECT_NEAR(Channel.Pull(), 0.5f, 1e-5);

    Item.Params = {u"-12.0412"_s};
    gain.UpdateDSP();
    EXPECT_NEAR(Channel.Pull(), 0.0625f, 1e-6);

    // Two lines are not a gain: the stage keeps the level it has.
    Item.Params = {u"20"_s, u"1"_s};
    gain.UpdateDSP();
    EXPECT_NEAR(Channel.Pull(), 0.0625f, 1e-6);

    gain.SetDSP(false);
    EXPECT_EQ(gain.HFX, 0u);
    EXPECT_EQ(Channel.Pull(), 0.25f);
}

TEST_F(GainStage, AttachingTwiceKeepsTheOneCallback) {
    TIntegratedDSPGain gain(Item, Channel.Handle(), Settings);
    Item.Params = {u"6.0206"_s};
    gain.SetDSP(true);
    const quint32 first = gain.HFX;
    gain.SetDSP(true);
    gain.UpdateDSP();
    EXPECT_EQ(gain.HFX, first);
    // Applied once, not twice.
    EXPECT_NEAR(Channel.Pull(), 0.5f, 1e-5);
}

TEST_F(GainStage, FreeingAnAttachedStageDetachesItFirst) {
    {
        TIntegratedDSPGain gain(Item, Channel.Handle(), Settings);
        Item.Params = {u"20"_s};
        gain.SetDSP(true);
        gain.UpdateDSP();
        EXPECT_NEAR(Channel.Pull(), 2.5f, 1e-5);
    }
    // The callback's record is gone; the channel must no longer reach it.
    EXPECT_EQ(Channel.Pull(), 0.25f);
}

TEST_F(GainStage, LevelChangesReachThePullingThreadWholeBuffersAtATime) {
    TIntegratedDSPGain gain(Item, Channel.Handle(), Settings);
    gain.SetDSP(true);
    constexpr int Buffers = 400;
    constexpr quint32 Frames = 512;
    std::vector<std::vector<float>> pulled(Buffers, std::vector<float>(Frames * 2));
    std::thread audio([&] {
        for (std::vector<float> &buffer : pulled)
            BASS_ChannelGetData(Channel.Handle(), buffer.data(),
                                quint32(buffer.size() * sizeof(float)));
    });
    for (int i = 0; i < 2000; ++i) {
        Item.Params = {i % 2 == 0 ? u"6.0206"_s : u"0"_s};
        gain.UpdateDSP();
    }
    audio.join();

    // Each buffer ran with one level from start to end.
    for (const std::vector<float> &buffer : pulled) {
        const std::set<float> values(buffer.begin(), buffer.end());
        ASSERT_EQ(values.size(), 1u);
        const float value = *values.begin();
        EXPECT_TRUE(value == 0.25f || std::abs(value - 0.5f) < 1e-5) << value;
    }
}

TEST_F(GainStage, OnChannelZeroNothingAttachesButTheLevelIsKept) {
    TIntegratedDSPGain gain(Item, 0, Settings);
    gain.SetDSP(true);
    EXPECT_EQ(gain.HFX, 0u);
    Item.Params = {u"-3.5"_s};
    gain.UpdateDSP();
    ASSERT_NE(gain.FData(), nullptr);
    EXPECT_EQ(gain.FData()->Level.load(), -3.5);
}

} // namespace
