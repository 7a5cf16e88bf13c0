#include "FlacInfo.h"

#include "SimTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadFlacStreamInfo, ReadsTheStreamInfoFields) {
    struct TCase {
        quint32 Rate, Channels, Bits;
        quint64 Samples;
        qint64 DurationMs;
    } const cases[] = {
        {44100, 2, 16, 44100 * 3, 3000},
        {48000, 1, 24, 48000 * 390 + 24000, 390500},
        {8000, 8, 32, 1, 0},
        {655350, 1, 4, (quint64(1) << 36) - 1, qint64(((quint64(1) << 36) - 1) * 1000 / 655350)},
        {96000, 2, 16, 0, 0}, // length unknown to the encoder
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Rate << " Hz " << c.Samples << " samples");
        const QByteArray head = FlacHead(c.Rate, c.Channels, c.Bits, c.Samples);
        const auto info = ReadFlacStreamInfo(head.toStdString());
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->SampleRate, c.Rate);
        EXPECT_EQ(info->Channels, c.Channels);
        EXPECT_EQ(info->BitsPerSample, c.Bits);
        EXPECT_EQ(info->TotalSamples, c.Samples);
        EXPECT_EQ(info->DurationMs(), c.DurationMs);
    }
}

TEST(ReadFlacStreamInfo, RefusesWhatIsNotFlac) {
    const QByteArray good = FlacHead(44100, 2, 16, 44100);
    auto patched = [&good](qsizetype AAt, char AByte) {
        QByteArray bytes = good;
        bytes[AAt] = AByte;
        return bytes;
    };
    struct TCase {
        const char *Why;
        QByteArray Bytes;
    } const cases[] = {
        {"empty", QByteArray()},
        {"marker only", "fLaC"},
        {"cut inside STREAMINFO", good.left(FlacHeadSize - 1)},
        {"wrong marker", patched(0, 'F')},
        {"first block not STREAMINFO", patched(4, char(0x84))},
        {"block too short", patched(7, char(33))},
        {"sample rate 0", FlacHead(0, 2, 16, 100)},
        {"RIFF WAVE", QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16) + QByteArray(40, '\0')},
        {"ID3 then MP3", QByteArray("ID3\x04\0\0\0\0\0\0", 10) + QByteArray(60, '\xff')},
        {"text", QByteArray(100, 'a')},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_FALSE(ReadFlacStreamInfo(c.Bytes.toStdString()).has_value());
    }
}

} // namespace
