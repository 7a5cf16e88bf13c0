// Loudness metering and limiting per second of 48 kHz stereo audio: the
// recorder's meters fed in blocks of the given frames (10 ms, and a large
// writer block), and the true-peak limiter a normalisation runs when its
// gain alone would pass the ceiling. x_realtime = one second of audio / time
// to process it.

#include "loudness/LoudnessMeter.h"
#include "loudness/TruePeakLimiter.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr quint32 Rate = 48000;

// One second of two tones with a swell, worked out beforehand.
std::vector<float> Second() {
    std::vector<float> Samples(std::size_t(Rate) * 2);
    for (quint32 F = 0; F < Rate; ++F) {
        const double Phase = 2 * std::numbers::pi * 220.0 * F / Rate;
        const double Swell = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 3.0 * F / Rate);
        const float X = float(Swell * (0.6 * std::sin(Phase) + 0.3 * std::sin(9 * Phase)));
        Samples[2 * F] = X;
        Samples[2 * F + 1] = 0.8f * X;
    }
    return Samples;
}

void BM_LoudnessMeter(benchmark::State &AState) {
    const std::vector<float> Audio = Second();
    const qint64 Block = AState.range(0);
    TLoudnessMeter Meter(Rate, 2);
    for (auto _ : AState) {
        for (qint64 F = 0; F < Rate; F += Block)
            Meter.Feed(Audio.data() + F * 2, std::min<qint64>(Block, Rate - F));
        benchmark::DoNotOptimize(Meter.Reading());
    }
    AState.counters["x_realtime"] =
        benchmark::Counter(double(AState.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoudnessMeter)->Arg(480)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_TruePeakLimiter(benchmark::State &AState) {
    std::vector<float> Audio = Second();
    for (float &X : Audio)
        X *= 2; // over the ceiling for much of the second
    std::vector<float> Out(Audio.size());
    TTruePeakLimiter Limiter(Rate, 2, -1);
    for (auto _ : AState) {
        for (qint64 F = 0; F < Rate; F += 4096) {
            const qint64 Frames = std::min<qint64>(4096, Rate - F);
            Limiter.Process(Audio.data() + F * 2, Out.data() + F * 2, Frames);
        }
        benchmark::DoNotOptimize(Out.data());
    }
    AState.counters["x_realtime"] =
        benchmark::Counter(double(AState.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TruePeakLimiter)->Unit(benchmark::kMillisecond);

} // namespace
