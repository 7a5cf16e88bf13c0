#pragma once
// The simulated station's playlist and its player, which plays the entries
// one after the other in real time and starts again at the top at the end.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <mutex>
#include <vector>

struct TSimEntry {
    QString Artist; // empty for entries shown by title alone
    QString Title;
    QString FileName;
    qint64 DurationMs = 0;

    // "Artist - Title", or the title alone.
    QString CastTitle() const;
};

// Where the simulator takes the time from; tests put in their own.
struct TSimClock {
    std::function<qint64()> MonotonicMs;  // never goes back
    std::function<qint64()> LocalMsOfDay; // wall-clock time of day, local time

    static TSimClock System();
};

enum TSimEditResult { erOk, erInvalidPosition, erPlayingEntry };

// What the player is doing at one moment, with a copy of the playlist.
struct TSimSnapshot {
    std::vector<TSimEntry> Entries;
    int Playing = -1;   // index of the playing entry, -1 when the list is empty
    qint64 PosMs = 0;   // milliseconds into the playing entry
    qint64 MsOfDay = 0; // local time of day the snapshot was taken at
    // Milliseconds from the snapshot to the start of entry AIndex; negative for
    // entries that played before the playing one.
    qint64 StartOffsetMs(int AIndex) const;
};

// Thread-safe: every operation takes the lock, brings the player up to the
// clock's time, and then does its work. Positions are 1-based as on the wire.
class TSimPlaylist {
public:
    explicit TSimPlaylist(std::vector<TSimEntry> AEntries, TSimClock AClock = TSimClock::System());

    TSimSnapshot Snapshot();

    // Removes the entry; the playing entry cannot be removed.
    TSimEditResult Delete(int APos);
    // Exchanges two entries; the playing entry keeps playing at its new place.
    TSimEditResult Swap(int APos1, int APos2);
    // Inserts AEntry so that it ends up at APos (1 to count + 1).
    TSimEditResult Insert(int APos, TSimEntry AEntry);

private:
    void Advance(qint64 ANow);
    bool ValidPosition(int APos) const { return APos >= 1 && APos <= int(FEntries.size()); }

    std::mutex FLock;
    TSimClock FClock;
    std::vector<TSimEntry> FEntries;
    int FPlaying = -1;
    qint64 FEntryStart = 0; // monotonic time the playing entry started at
};
