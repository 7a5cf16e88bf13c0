// The take writer's cost per second of 48 kHz stereo audio: capture periods
// handed over through the ring, journal blocks written and flushed by the
// writer thread (process CPU time, so the writer thread counts), and the
// FLAC file made from the journal at Stop.

#include "recorder/TakeFiles.h"
#include "recorder/TakeWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace {

constexpr quint32 Rate = 48000;
constexpr std::size_t Period = Rate / 100; // 10 ms, as a sound server delivers

// One second of two tones, worked out beforehand.
std::vector<float> OneSecond() {
    std::vector<float> Samples(Rate * 2);
    for (quint32 F = 0; F < Rate; ++F) {
        const double Phase = 2 * std::numbers::pi * 440.0 * F / Rate;
        Samples[2 * F] = float(0.5 * std::sin(Phase));
        Samples[2 * F + 1] = float(0.4 * std::sin(1.5 * Phase));
    }
    return Samples;
}

TTakeOptions Options(const QTemporaryDir &ADir) {
    TTakeOptions Options;
    Options.FTakeName = QStringLiteral("Bench");
    Options.FJournalFolder = ADir.filePath(QStringLiteral("Takes in progress"));
    Options.FTakesFolder = ADir.filePath(QStringLiteral("VoiceTracks"));
    return Options;
}

// One iteration: a second of audio into the ring and onto the disk.
void BM_TakeWriterPerSecond(benchmark::State &AState) {
    QTemporaryDir Dir;
    const std::vector<float> Second = OneSecond();
    TTakeWriter Writer(Options(Dir));
    if (!Writer.Start()) {
        AState.SkipWithError("the take cannot be started");
        return;
    }
    qint64 Frames = 0;
    for (auto _ : AState) {
        for (std::size_t F = 0; F < Rate; F += Period)
            Writer.Write(Second.data() + F * 2, Period);
        Frames += Rate;
        while (Writer.Frames() < Frames)
            std::this_thread::yield();
    }
    const TTakeResult Result = Writer.Stop();
    AState.counters["overruns"] = double(Result.FOverruns);
    AState.SetLabel("one iteration = 1 s of 48 kHz stereo");
}
BENCHMARK(BM_TakeWriterPerSecond)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Stop of a take of ASeconds: the journal read back and encoded into FLAC.
void BM_TakeFinishPerSecond(benchmark::State &AState) {
    const int Seconds = int(AState.range(0));
    const std::vector<float> Second = OneSecond();
    for (auto _ : AState) {
        AState.PauseTiming();
        QTemporaryDir Dir;
        TTakeWriter Writer(Options(Dir));
        Writer.Start();
        for (int S = 0; S < Seconds; ++S) {
            for (std::size_t F = 0; F < Rate; F += Period)
                Writer.Write(Second.data() + F * 2, Period);
            while (Writer.Frames() < qint64(S + 1) * Rate)
                std::this_thread::yield();
        }
        AState.ResumeTiming();
        benchmark::DoNotOptimize(Writer.Stop());
    }
    AState.SetItemsProcessed(AState.iterations() * Seconds);
    AState.SetLabel("items = seconds of audio");
}
BENCHMARK(BM_TakeFinishPerSecond)->Arg(30)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace
