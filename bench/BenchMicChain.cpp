// The microphone chain at full load: a 10-band equaliser, the compressor and
// a gain stage on one 48 kHz stereo channel, pulled in 4096-frame buffers.
// x_realtime = one second of audio / time to process it.

#include "audio/AudioEngine.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr quint32 Rate = 48000;
constexpr quint32 BufferFrames = 4096;

// An endless stereo signal: one second of two tones, loud enough to be
// compressed, worked out beforehand and played in a loop so that the figure
// is the chain's, not the sine function's.
struct TLoop {
    std::vector<float> FSamples;
    std::size_t FPos = 0;

    TLoop() : FSamples(Rate * 2) {
        for (quint32 F = 0; F < Rate; ++F) {
            const double Phase = 2 * std::numbers::pi * 440.0 * F / Rate;
            const float X = float(0.5 * std::sin(Phase) + 0.2 * std::sin(7 * Phase));
            FSamples[2 * F] = X;
            FSamples[2 * F + 1] = 0.8f * X;
        }
    }
};

quint32 SignalProc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto &L = *static_cast<TLoop *>(AUser);
    float *Out = static_cast<float *>(ABuffer);
    for (std::size_t Left = ALength / sizeof(float); Left > 0;) {
        const std::size_t Part = std::min(Left, L.FSamples.size() - L.FPos);
        std::copy_n(L.FSamples.data() + L.FPos, Part, Out);
        Out += Part;
        Left -= Part;
        L.FPos = (L.FPos + Part) % L.FSamples.size();
    }
    return ALength;
}

void GainProc(HDSP, HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    const double Factor = *static_cast<double *>(AUser);
    float *Samples = static_cast<float *>(ABuffer);
    for (quint32 I = 0; I < ALength / 4; ++I)
        Samples[I] = float(Samples[I] * Factor);
}

void BM_MicChain(benchmark::State &AState) {
    TLoop Loop;
    double Factor = std::pow(10.0, 3.0 / 20);
    const HSTREAM Stream = BASS_StreamCreate(Rate, 2, &SignalProc, &Loop);
    const HFX Eq = BASS_ChannelSetFX(Stream, BASS_FX_BFX_PEAKEQ, 49);
    const float Centres[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    const float Gains[] = {4, -3, 2, -6, 5, 1, -2, 6, -4, 3};
    for (qint32 B = 0; B < 10; ++B) {
        const BASS_BFX_PEAKEQ Band{B, 2.5f, 0, Centres[B], Gains[B], BASS_BFX_CHANALL};
        BASS_FXSetParameters(Eq, &Band);
    }
    const HFX Comp = BASS_ChannelSetFX(Stream, BASS_FX_BFX_COMPRESSOR2, 49);
    const BASS_BFX_COMPRESSOR2 Params{2, -20, 4, 10, 100, BASS_BFX_CHANALL};
    BASS_FXSetParameters(Comp, &Params);
    BASS_ChannelSetDSP(Stream, &GainProc, &Factor, 49);

    std::vector<float> Buffer(BufferFrames * 2);
    for (auto _ : AState) {
        // One second of audio per iteration.
        for (quint32 Done = 0; Done < Rate;) {
            const quint32 Frames = std::min(BufferFrames, Rate - Done);
            const qint32 Got = BASS_ChannelGetData(Stream, Buffer.data(), Frames * 8);
            benchmark::DoNotOptimize(Buffer.data());
            Done += quint32(Got) / 8;
        }
    }
    AState.counters["x_realtime"] =
        benchmark::Counter(double(AState.iterations()), benchmark::Counter::kIsRate);
    BASS_StreamFree(Stream);
}
BENCHMARK(BM_MicChain)->Unit(benchmark::kMillisecond);

} // namespace
