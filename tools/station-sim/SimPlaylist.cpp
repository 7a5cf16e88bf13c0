#include "SimPlaylist.h"

#include "core/Utils.h"

#include <QTime>
#include <numeric>

QString TSimEntry::CastTitle() const {
    return Artist.isEmpty() ? Title : Artist + QStringLiteral(" - ") + Title;
}

TSimClock TSimClock::System() {
    return {&GetTickMs, [] { return qint64(QTime::currentTime().msecsSinceStartOfDay()); }};
}

qint64 TSimSnapshot::StartOffsetMs(int AIndex) const {
    const int from = Playing < 0 ? 0 : Playing;
    qint64 offset = Playing < 0 ? 0 : -PosMs;
    for (int i = from; i < AIndex; ++i)
        offset += Entries[std::size_t(i)].DurationMs;
    for (int i = AIndex; i < from; ++i)
        offset -= Entries[std::size_t(i)].DurationMs;
    return offset;
}

TSimPlaylist::TSimPlaylist(std::vector<TSimEntry> AEntries, TSimClock AClock)
    : FClock(std::move(AClock)), FEntries(std::move(AEntries)) {
    if (!FEntries.empty()) {
        FPlaying = 0;
        FEntryStart = FClock.MonotonicMs();
    }
}

void TSimPlaylist::Advance(qint64 ANow) {
    if (FEntries.empty()) {
        FPlaying = -1;
        return;
    }
    if (FPlaying < 0) {
        FPlaying = 0;
        FEntryStart = ANow;
        return;
    }
    const auto next = [this](int AIndex) { return (AIndex + 1) % int(FEntries.size()); };
    qint64 elapsed = ANow - FEntryStart;
    if (elapsed < FEntries[std::size_t(FPlaying)].DurationMs)
        return;
    const qint64 cycle = std::accumulate(
        FEntries.begin(), FEntries.end(), qint64(0),
        [](qint64 ASum, const TSimEntry &AEntry) { return ASum + AEntry.DurationMs; });
    if (cycle <= 0) {
        // Nothing has a length: stay on the entry rather than spin.
        FEntryStart = ANow;
        return;
    }
    elapsed -= FEntries[std::size_t(FPlaying)].DurationMs;
    FEntryStart += FEntries[std::size_t(FPlaying)].DurationMs;
    FPlaying = next(FPlaying);
    // After a long quiet time skip whole rounds of the list at once.
    const qint64 rounds = elapsed / cycle;
    FEntryStart += rounds * cycle;
    elapsed -= rounds * cycle;
    while (elapsed >= FEntries[std::size_t(FPlaying)].DurationMs) {
        elapsed -= FEntries[std::size_t(FPlaying)].DurationMs;
        FEntryStart += FEntries[std::size_t(FPlaying)].DurationMs;
        FPlaying = next(FPlaying);
    }
}

TSimSnapshot TSimPlaylist::Snapshot() {
    std::lock_guard guard(FLock);
    const qint64 now = FClock.MonotonicMs();
    Advance(now);
    TSimSnapshot snapshot;
    snapshot.Entries = FEntries;
    snapshot.Playing = FPlaying;
    if (FPlaying >= 0)
        snapshot.PosMs =
            qBound(qint64(0), now - FEntryStart, FEntries[std::size_t(FPlaying)].DurationMs);
    snapshot.MsOfDay = FClock.LocalMsOfDay();
    return snapshot;
}

TSimEditResult TSimPlaylist::Delete(int APos) {
    std::lock_guard guard(FLock);
    Advance(FClock.MonotonicMs());
    if (!ValidPosition(APos))
        return erInvalidPosition;
    const int index = APos - 1;
    if (index == FPlaying)
        return erPlayingEntry;
    FEntries.erase(FEntries.begin() + index);
    if (index < FPlaying)
        --FPlaying;
    return erOk;
}

TSimEditResult TSimPlaylist::Swap(int APos1, int APos2) {
    std::lock_guard guard(FLock);
    Advance(FClock.MonotonicMs());
    if (!ValidPosition(APos1) || !ValidPosition(APos2))
        return erInvalidPosition;
    const int a = APos1 - 1;
    const int b = APos2 - 1;
    std::swap(FEntries[std::size_t(a)], FEntries[std::size_t(b)]);
    if (FPlaying == a)
        FPlaying = b;
    else if (FPlaying == b)
        FPlaying = a;
    return erOk;
}

TSimEditResult TSimPlaylist::Insert(int APos, TSimEntry AEntry) {
    std::lock_guard guard(FLock);
    const qint64 now = FClock.MonotonicMs();
    Advance(now);
    if (APos < 1 || APos > int(FEntries.size()) + 1)
        return erInvalidPosition;
    const int index = APos - 1;
    FEntries.insert(FEntries.begin() + index, std::move(AEntry));
    if (FPlaying < 0) {
        // The first entry of an empty list starts playing at once.
        FPlaying = 0;
        FEntryStart = now;
    } else if (index <= FPlaying) {
        ++FPlaying;
    }
    return erOk;
}
