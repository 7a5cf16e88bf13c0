#pragma once
// Test signals for the audio engine: a sine source fed through a STREAMPROC,
// pulling a channel's processed audio, and measuring levels.

#include "audio/AudioEngine.h"

#include <cmath>
#include <numbers>
#include <vector>

// A sine (optionally a different amplitude per channel) that runs for
// FTotalFrames frames, then ends the stream.
struct TSineSource {
    double FRate = 48000;
    quint32 FChannels = 2;
    double FFrequency = 1000;
    std::vector<double> FAmplitudes{0.5, 0.5}; // one per channel
    qint64 FTotalFrames = 48000 * 10;
    qint64 FFrame = 0;

    static quint32 Proc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
        auto &S = *static_cast<TSineSource *>(AUser);
        float *Out = static_cast<float *>(ABuffer);
        const quint32 Frames = ALength / (S.FChannels * sizeof(float));
        quint32 Done = 0;
        for (; Done < Frames && S.FFrame < S.FTotalFrames; ++Done, ++S.FFrame) {
            const double Phase = 2 * std::numbers::pi * S.FFrequency * double(S.FFrame) / S.FRate;
            for (quint32 C = 0; C < S.FChannels; ++C)
                Out[Done * S.FChannels + C] = float(S.FAmplitudes[C] * std::sin(Phase));
        }
        return Done * S.FChannels * sizeof(float);
    }

    HSTREAM Create() { return BASS_StreamCreate(quint32(FRate), FChannels, &Proc, this); }
};

// Pulls AFrames frames (or up to the end) in buffers of ABufferFrames.
inline std::vector<float> PullFrames(HSTREAM AHandle, quint32 AChannels, qint64 AFrames,
                                     quint32 ABufferFrames = 4096) {
    std::vector<float> Out;
    std::vector<float> Buffer(std::size_t(ABufferFrames) * AChannels);
    while (qint64(Out.size()) < AFrames * AChannels) {
        const qint64 Want =
            std::min<qint64>(ABufferFrames, AFrames - qint64(Out.size()) / AChannels);
        const qint32 Got =
            BASS_ChannelGetData(AHandle, Buffer.data(), quint32(Want * AChannels * sizeof(float)));
        if (Got <= 0)
            break;
        Out.insert(Out.end(), Buffer.begin(), Buffer.begin() + Got / qint32(sizeof(float)));
    }
    return Out;
}

// The level of one channel over AFrames frames from AFirst, in dB referred
// to a sine: a sine of peak amplitude 0.5 reads -6.02 dB.
inline double SineLevelDb(const std::vector<float> &ASamples, quint32 AChannels, quint32 AChannel,
                          qint64 AFirst, qint64 AFrames) {
    double Sum = 0;
    for (qint64 F = AFirst; F < AFirst + AFrames; ++F) {
        const double X = ASamples[std::size_t(F * AChannels + AChannel)];
        Sum += X * X;
    }
    return 10 * std::log10(2 * Sum / double(AFrames));
}

inline double AmplitudeDb(double AAmplitude) {
    return 20 * std::log10(AAmplitude);
}
inline double DbAmplitude(double ADb) {
    return std::pow(10.0, ADb / 20);
}
