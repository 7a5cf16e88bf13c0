// Memory of a large upload: the body of a 2 GB voice track streamed from
// disk into a sink, as the transport asks for it. The figure is the peak
// resident size of the process (getrusage), so run this benchmark on its own:
//   vocarra-bench --benchmark_filter=UploadPeakMemory

#include "remote/UploadBody.h"
#include "remote/VoiceTrackFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <vector>

namespace {

const QByteArray BodyPrefix = "user=U&pass=W&action=vocarra&fn=take1.flac&pos=6&vt=";
constexpr std::size_t SendChunk = 64 * 1024; // what the transport asks for at a time

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

void BM_UploadPeakMemory(benchmark::State &AState) {
    // Sparse: two gigabytes of file that cost no disk.
    QTemporaryDir dir(QStringLiteral("/tmp/vocarra-bench-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("take.flac"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(AState.range(0))) {
            AState.SkipWithError("cannot create the sparse file");
            return;
        }
    }
    const double before = PeakRssMiB();
    std::vector<char> chunk(SendChunk);
    qint64 sent = 0;
    for (auto _ : AState) {
        QString error;
        TUploadBody body(BodyPrefix, TVoiceTrackFile::Open(path, error));
        // The transport announces the length before it sends.
        benchmark::DoNotOptimize(body.Size());
        while (const std::size_t n = body.Read(chunk.data(), chunk.size())) {
            benchmark::DoNotOptimize(chunk.data());
            sent += qint64(n);
        }
        if (body.Failed())
            AState.SkipWithError("the body failed");
    }
    AState.counters["PeakRssMiB"] = PeakRssMiB();
    AState.counters["PeakRssGrowthMiB"] = PeakRssMiB() - before;
    AState.counters["BodyMiB"] = double(sent) / AState.iterations() / (1 << 20);
    AState.SetBytesProcessed(AState.iterations() * AState.range(0));
}
BENCHMARK(BM_UploadPeakMemory)->Arg(qint64(2) << 30)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
