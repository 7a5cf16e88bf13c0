#pragma once
// What vocarra-cli prints: one line per entry or field, or JSON.

#include "remote/PlaylistTypes.h"

#include <QString>

// POS<TAB>START<TAB>TITLE<TAB>DURATION per entry, POS 1-based.
QString PlaylistLines(const TPlaylist &APlaylist);
// [{"pos":1,"start":"...","title":"...","duration":"..."}, ...]
QString PlaylistJson(const TPlaylist &APlaylist);

// "Name: value" per field, in record order.
QString NowPlayingLines(const TPlaybackInfo &AInfo);
// {"playlistPos":3,"pos":10000,"len":30000,"state":"play","currentTrack":"...","nextTrack":"..."}
QString NowPlayingJson(const TPlaybackInfo &AInfo);

// AText with its escape sequences removed and every other control character
// turned into a space: one entry must stay one line, as a tab or line break
// inside a text would shift the columns of scripts that read them.
QString OneLine(const QString &AText);

// A JSON string literal, quotes included, without escape sequences or control
// characters other than the escaped tab, CR and line feed.
QString JsonString(const QString &AText);
