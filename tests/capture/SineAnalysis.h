#pragma once
// What the capture tests measure in a recorded take: its samples as the FLAC
// file holds them, the sine's frequency from its zero crossings and its
// level as RMS.

#include <QFile>
#include <QString>
#include <cmath>
#include <sndfile.h>
#include <vector>

struct TTakeSamples {
    int FRate = 0;
    int FChannels = 0;
    std::vector<float> FSamples; // interleaved
    qint64 Frames() const { return FChannels ? qint64(FSamples.size()) / FChannels : 0; }
};

inline TTakeSamples ReadTake(const QString &APath) {
    TTakeSamples take;
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(APath).constData(), SFM_READ, &info);
    if (file == nullptr)
        return take;
    take.FRate = info.samplerate;
    take.FChannels = info.channels;
    take.FSamples.resize(std::size_t(info.frames * info.channels));
    sf_readf_float(file, take.FSamples.data(), info.frames);
    sf_close(file);
    return take;
}

// The first channel's samples from AFromFrame on.
inline std::vector<float> Channel0(const TTakeSamples &ATake, qint64 AFromFrame) {
    std::vector<float> samples;
    for (qint64 i = AFromFrame; i < ATake.Frames(); ++i)
        samples.push_back(ATake.FSamples[std::size_t(i * ATake.FChannels)]);
    return samples;
}

// Upward zero crossings per second.
inline double SineFrequency(const std::vector<float> &ASamples, int ARate) {
    int first = -1;
    int last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < ASamples.size(); ++i)
        if (ASamples[i - 1] < 0 && ASamples[i] >= 0) {
            if (first < 0)
                first = int(i);
            else
                ++crossings;
            last = int(i);
        }
    return last > first ? crossings * double(ARate) / (last - first) : 0;
}

inline double Rms(const std::vector<float> &ASamples) {
    double sum = 0;
    for (const float sample : ASamples)
        sum += double(sample) * sample;
    return ASamples.empty() ? 0 : std::sqrt(sum / double(ASamples.size()));
}
