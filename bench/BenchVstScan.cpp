// The VST scan over Debian's LSP plug-ins (about 135 files).
//
// Cold: an empty cache, so every file is probed in its own helper process,
// as many at once as the machine has cores. Its peer does the least a host
// can do without any protection: one process loads each file, opens and
// closes its effect, one after the other. Goal: cold within 1.5 times the
// peer. Warm: a second start over the unchanged folder, answered from the
// cache without a probe. Goal: under 50 ms.
//
//   build/bench/vocarra-bench-vst --benchmark_min_time=1

#include "core/MessageBox.h"
#include "core/NativeNames.h"
#include "station/SystemIni.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstEffect.h"
#include "vst/VstHost.h"
#include "vst/VstScanCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString LspFolder = u"/usr/lib/vst/lsp-plugins/"_s;

// A start of the program: settings with VST plug-ins on, the data directory
// and the scanning helper.
class TScanSetup {
public:
    TScanSetup() : FHost(QStringLiteral(VOCARRA_VSTSCAN_PATH)) {
        FSettings.AllowVstPlugins = true;
        FSettings.VSTFolder = QStringList{LspFolder};
        FPrevious = SetPluginHost(&FHost);
        // A few plug-ins do not pass the host's bounds; their messages are
        // not what is measured.
        SetMessageBoxPresenter([](const QString &, const QString &, int) { return 0; });
    }
    ~TScanSetup() {
        SetMessageBoxPresenter(nullptr);
        SetPluginHost(FPrevious);
    }

    int Scan() {
        TPluginCatalogue catalogue;
        catalogue.InitPlugins(&FSettings, FData.path(), FData.path(),
                              QStringLiteral(VOCARRA_VSTSCAN_PATH));
        catalogue.LoadVSTPlugins();
        return static_cast<int>(catalogue.VSTPlugins()->size());
    }

    void ForgetCache() { QFile::remove(FData.filePath(TVstScanCache::FileName)); }

private:
    QTemporaryDir FData;
    TSystemIniBase FSettings;
    TVstHost FHost;
    TPluginHost *FPrevious = nullptr;
};

bool LspInstalled(benchmark::State &AState) {
    if (QDir(LspFolder).exists())
        return true;
    AState.SkipWithError("lsp-plugins-vst is not installed");
    return false;
}

void BM_VstScanCold(benchmark::State &AState) {
    if (!LspInstalled(AState))
        return;
    TScanSetup setup;
    int listed = 0;
    for (auto _ : AState) {
        AState.PauseTiming();
        setup.ForgetCache();
        AState.ResumeTiming();
        listed = setup.Scan();
    }
    AState.counters["plugins"] = listed;
}
BENCHMARK(BM_VstScanCold)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loads every file into one fresh process, one after the other. The process
// is a child forked per iteration, so each iteration loads the libraries
// anew as a start of the program would, and libraries stay loaded until it
// ends: the LSP plug-ins share a core library that runs a thread of its own,
// and unloading it under that thread crashes the process (one reason the
// scan does not load plug-ins in the program's own process).
void BM_VstScanInProcessPeer(benchmark::State &AState) {
    if (!LspInstalled(AState))
        return;
    std::vector<QString> files;
    ListVSTFiles(LspFolder, files);
    int listed = 0;
    for (auto _ : AState) {
        const pid_t child = ::fork();
        if (child == 0) {
            int count = 0;
            for (const QString &file : files) {
                ::dlopen(NativeName(file).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
                TVstLoadResult result = vlOk;
                QString error;
                std::unique_ptr<TVstEffect> effect = TVstEffect::Load(file, 44100, result, error);
                if (effect == nullptr)
                    continue;
                benchmark::DoNotOptimize(effect->VendorName());
                benchmark::DoNotOptimize(effect->EffectName());
                ++count;
            }
            ::_exit(count > 255 ? 255 : count);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status)) {
            AState.SkipWithError("the in-process peer crashed");
            return;
        }
        listed = WEXITSTATUS(status);
    }
    AState.counters["plugins"] = listed;
}
BENCHMARK(BM_VstScanInProcessPeer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VstScanWarm(benchmark::State &AState) {
    if (!LspInstalled(AState))
        return;
    TScanSetup setup;
    setup.ForgetCache();
    setup.Scan();
    int listed = 0;
    for (auto _ : AState)
        listed = setup.Scan();
    AState.counters["plugins"] = listed;
}
BENCHMARK(BM_VstScanWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
