#pragma once
// The two records a reply decodes into: one playlist entry and the playback state.

#include <QString>
#include <QtGlobal>
#include <vector>

struct TPlaylistItem {
    QString Title;     // "CASTTITLE"
    QString Duration;  // "DURATION", exactly as the server wrote it
    QString StartTime; // "STARTTIME", as a local time of day when it is h:m:s
};

// The decoded playlist, in document order; owned by whoever holds the vector.
using TPlaylist = std::vector<TPlaylistItem>;

// Rows of the program's playlist count from 0, positions on the wire from 1.
constexpr int WirePosOfRow(int ARow) {
    return ARow + 1;
}
constexpr int RowOfWirePos(int APos) {
    return APos - 1;
}
// A voice track inserted after row ARow arrives at the position after it.
constexpr int InsertPosAfterRow(int ARow) {
    return ARow + 2;
}

struct TPlaybackInfo {
    qint32 PlaylistPos = 0; // 1-based position of the playing entry, -1 when unknown
    qint32 Pos = 0;         // milliseconds into the playing entry, as of TS
    qint32 Len = 0;         // length of the playing entry, milliseconds
    QString State;          // "play" and "pause" (any case) mean a countdown runs
    QString CurrentTrack;
    QString NextTrack;
    qint64 TS = 0; // GetTickMs() when decoded; 0 means no information is held

    void Reset() {
        PlaylistPos = -1;
        Pos = 0;
        Len = 0;
        State.clear();
        CurrentTrack.clear();
        NextTrack.clear();
        TS = 0;
    }
};
