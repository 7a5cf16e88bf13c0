#pragma once
// What the take tests record: a different tone on every channel, a pure
// function of the frame number, so any stretch of a take can be checked
// against what must be in it.

#include "audio/SoundFile.h"

#include <QString>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

constexpr unsigned SignalRate = 48000;

inline float SignalSample(long long AFrame, unsigned AChannel) {
    const double Frequency = 440.0 + 110.0 * AChannel;
    return float(0.5 * std::sin(2.0 * std::numbers::pi * Frequency * double(AFrame) / SignalRate));
}

// AFrames interleaved frames from AFirst on.
inline std::vector<float> SignalBlock(long long AFirst, std::size_t AFrames, unsigned AChannels) {
    std::vector<float> Samples(AFrames * AChannels);
    for (std::size_t f = 0; f < AFrames; ++f)
        for (unsigned c = 0; c < AChannels; ++c)
            Samples[f * AChannels + c] = SignalSample(AFirst + (long long)f, c);
    return Samples;
}

// The whole sound file, interleaved; AInfo gets its header.
inline std::vector<float> ReadSound(const QString &AFileName, TSoundFileInfo *AInfo) {
    TSoundFileReader Reader;
    if (!Reader.Open(AFileName))
        return {};
    *AInfo = Reader.Info();
    std::vector<float> Samples(std::size_t(AInfo->FFrames) * AInfo->FChannels);
    Samples.resize(std::size_t(Reader.ReadFrames(Samples.data(), AInfo->FFrames)) *
                   AInfo->FChannels);
    return Samples;
}

// 24-bit samples: half a step either way, and the reader's scale.
constexpr float Pcm24Tolerance = 1.5f / 8388608.0f;
