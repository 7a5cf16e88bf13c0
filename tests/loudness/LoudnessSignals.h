#pragma once
// Generated test signals for the loudness tests, interleaved floats, and an
// independent measurement of them through libebur128 itself.

#include <cmath>
#include <ebur128.h>
#include <numbers>
#include <random>
#include <vector>

// A sine of AAmplitude in every channel listed in AInChannel (one flag per
// channel), silence in the others.
inline std::vector<float> Sine(double ARate, std::vector<bool> AInChannel, double AFrequency,
                               double AAmplitude, double ASeconds) {
    const std::size_t Channels = AInChannel.size();
    const auto Frames = std::size_t(std::llround(ARate * ASeconds));
    std::vector<float> Out(Frames * Channels);
    for (std::size_t F = 0; F < Frames; ++F) {
        const double X =
            AAmplitude * std::sin(2 * std::numbers::pi * AFrequency * double(F) / ARate);
        for (std::size_t C = 0; C < Channels; ++C)
            Out[F * Channels + C] = AInChannel[C] ? float(X) : 0.0f;
    }
    return Out;
}

inline std::vector<float> Silence(double ARate, std::size_t AChannels, double ASeconds) {
    return std::vector<float>(std::size_t(std::llround(ARate * ASeconds)) * AChannels);
}

// Something with the rhythm and crest of speech: bursts of low-passed noise
// of 150 to 600 ms with soft edges and varying level, between pauses of 80
// to 300 ms, the same in every channel. With ASpikes every burst also gets a
// short click 20 dB over its level, as plosives and a close microphone make,
// which brought to a loudness target needs the limiter.
inline std::vector<float> SpeechLike(double ARate, std::size_t AChannels, double ASeconds,
                                     double ALevel, bool ASpikes, unsigned ASeed = 7) {
    std::mt19937 Random(ASeed);
    std::normal_distribution<double> Noise(0, 1);
    std::uniform_real_distribution<double> Uniform(0, 1);
    const auto Frames = std::size_t(std::llround(ARate * ASeconds));
    std::vector<float> Out(Frames * AChannels);
    std::size_t F = 0;
    double Low = 0;
    while (F < Frames) {
        const auto Burst = std::size_t(ARate * (0.15 + 0.45 * Uniform(Random)));
        const auto Pause = std::size_t(ARate * (0.08 + 0.22 * Uniform(Random)));
        const double Level = ALevel * (0.4 + 0.6 * Uniform(Random));
        const std::size_t Spike = Burst / 3;
        for (std::size_t I = 0; I < Burst && F < Frames; ++I, ++F) {
            Low += 0.3 * (Noise(Random) - Low); // a gentle low-pass, as voices are
            const double Edge = std::sin(std::numbers::pi * double(I) / double(Burst));
            double X = Level * Edge * Low;
            if (ASpikes && I >= Spike && I < Spike + 24)
                X += Level * 10 * std::sin(std::numbers::pi * double(I - Spike) / 24);
            for (std::size_t C = 0; C < AChannels; ++C)
                Out[F * AChannels + C] = float(X);
        }
        F = std::min(Frames, F + Pause);
    }
    return Out;
}

// libebur128's own reading of a whole signal.
struct TReference {
    double FIntegrated;
    double FTruePeakDb;
};
inline TReference Reference(const std::vector<float> &ASamples, unsigned AChannels,
                            unsigned long ARate) {
    ebur128_state *State = ebur128_init(AChannels, ARate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(State, ASamples.data(), ASamples.size() / AChannels);
    TReference Result{};
    ebur128_loudness_global(State, &Result.FIntegrated);
    double Highest = 0;
    for (unsigned C = 0; C < AChannels; ++C) {
        double Peak = 0;
        ebur128_true_peak(State, C, &Peak);
        Highest = std::max(Highest, Peak);
    }
    Result.FTruePeakDb = 20 * std::log10(Highest);
    ebur128_destroy(&State);
    return Result;
}
