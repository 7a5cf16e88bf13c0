// The VST host's own cost: the pass-through test plug-in on one 48 kHz stereo
// channel, pulled in 1024-frame blocks, so the figure is the host's
// deinterleaving, the call into the plug-in and interleaving back.
// x_realtime = one second of audio / time to process it.

#include "audio/AudioEngine.h"
#include "vst/VstHost.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

constexpr quint32 Rate = 48000;
constexpr quint32 BlockFrames = 1024;

quint32 SilenceProc(HSTREAM, void *ABuffer, quint32 ALength, void *) {
    std::fill_n(static_cast<float *>(ABuffer), ALength / sizeof(float), 0.25f);
    return ALength;
}

void BM_VstPassThrough(benchmark::State &AState) {
    TVstHost Host(QString{});
    const HSTREAM Stream = BASS_StreamCreate(Rate, 2, &SilenceProc, nullptr);
    const quint32 Effect = Host.BASS_VST_ChannelSetDSP(
        Stream, QStringLiteral(VOCARRA_TEST_PLUGINS "/test-passthrough.so"), 0, 49);
    if (Effect == 0) {
        AState.SkipWithError("the pass-through test plug-in does not load");
        BASS_StreamFree(Stream);
        return;
    }
    std::vector<float> Buffer(BlockFrames * 2);
    for (auto _ : AState) {
        // One second of audio per iteration.
        for (quint32 Done = 0; Done < Rate;) {
            const quint32 Frames = std::min(BlockFrames, Rate - Done);
            const qint32 Got = BASS_ChannelGetData(Stream, Buffer.data(), Frames * 8);
            benchmark::DoNotOptimize(Buffer.data());
            Done += quint32(Got) / 8;
        }
    }
    AState.counters["x_realtime"] =
        benchmark::Counter(double(AState.iterations()), benchmark::Counter::kIsRate);
    Host.BASS_VST_ChannelRemoveDSP(Stream, Effect);
    BASS_StreamFree(Stream);
}
BENCHMARK(BM_VstPassThrough)->Unit(benchmark::kMillisecond);

} // namespace
