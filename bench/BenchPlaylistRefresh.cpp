// Refreshing the main window's list with a decoded 10000-entry playlist, on
// the main thread: binding the rows, then letting the view lay out and paint
// what is visible. Same count rebinds the rows; another count rebuilds them.

#include "controls/LxVirtualTree.h"
#include "controls/PlaylistModel.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

TPlaylist MakePlaylist(int ACount, const QString &ATag) {
    TPlaylist playlist;
    playlist.reserve(static_cast<size_t>(ACount));
    for (int i = 0; i < ACount; ++i)
        playlist.push_back({QStringLiteral("%1 Track number %2 \u2013 Artist").arg(ATag).arg(i),
                            QStringLiteral("3:45"), QStringLiteral("14:03:22")});
    return playlist;
}

struct TListUnderTest {
    TLxVirtualTree View;
    TPlaylistModel Model;
    TListUnderTest() {
        View.setModel(&Model);
        View.resize(624, 330);
        View.show();
    }
    void Refresh(const TPlaylist &APlaylist) {
        Model.SetPlaylist(&APlaylist);
        View.viewport()->update();
        QCoreApplication::processEvents();
    }
};

void BM_PlaylistRefresh(benchmark::State &AState, bool ASameCount) {
    const int count = static_cast<int>(AState.range(0));
    const TPlaylist first = MakePlaylist(count, QStringLiteral("A"));
    const TPlaylist second = MakePlaylist(ASameCount ? count : count - 1, QStringLiteral("B"));
    TListUnderTest list;
    list.Refresh(first);
    bool flip = false;
    for (auto _ : AState) {
        list.Refresh(flip ? first : second);
        flip = !flip;
    }
    AState.SetItemsProcessed(AState.iterations() * count);
}

} // namespace

BENCHMARK_CAPTURE(BM_PlaylistRefresh, SameCount, true)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlaylistRefresh, Rebuild, false)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    // The list is drawn off screen, so the figures do not depend on a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
