#pragma once
// Turning reply documents of the station server into playlist and playback records.

#include "remote/PlaylistTypes.h"

#include <QString>

// "h:m:s" becomes that time of day in the user's long time format; any other
// shape (and a time of day that cannot exist) is returned unchanged.
QString ConvertStartTime(const QString &AText);

// Appends one entry for every scanned part named "TRACK" (any case, any kind).
// Never fails: a body that is not XML yields no entries.
void DecodePlaylist(const QString &AReply, TPlaylist &AItems);

// Fills AInfo from a playback document and sets its TS to the current tick.
void DecodePlaybackInfo(const QString &AReply, TPlaybackInfo &AInfo);
