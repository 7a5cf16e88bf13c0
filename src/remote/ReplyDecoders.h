#pragma once
// Turning reply documents of the station server into playlist and playback records.
// Every function here may be called from any thread at the same time.

#include "remote/PlaylistTypes.h"

#include <QLocale>
#include <QString>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

// "h:m:s" becomes that time of day in the user's long time format; any other
// shape (and a time of day that cannot exist) is returned unchanged.
QString ConvertStartTime(const QString &AText);

// Appends one entry for every scanned part named "TRACK" (any case, any kind).
// Never fails: a body that is not XML yields no entries.
void DecodePlaylist(const QString &AReply, TPlaylist &AItems);

// Fills AInfo from a playback document and sets its TS to the current tick.
void DecodePlaybackInfo(const QString &AReply, TPlaybackInfo &AInfo);

// --- How start times are written ---

// A QLocale time pattern without its time-zone field ("t" to "tttt", with
// the blank or brackets that go with it): a time of day has no zone.
QString TimeOfDayPattern(const QString &ALocalePattern);

// Writes times of day as ALocale.toString(QTime, APattern) does, keeping
// each text it has written: a playlist reply holds thousands of start times,
// and every five-second refresh brings nearly the same ones again, so after
// the first refresh no start time is formatted twice. At most one text per
// second of the day is kept. Safe to use from several threads at once.
class TTimeOfDayFormat {
public:
    TTimeOfDayFormat(const QLocale &ALocale, const QString &APattern);

    const QString &Pattern() const { return FPattern; }
    // Hours 0-23, minutes and seconds 0-59.
    QString Format(int AHour, int AMinute, int ASecond) const;

private:
    const QLocale FLocale;
    const QString FPattern;
    mutable std::shared_mutex FLock;
    mutable std::unordered_map<int, QString> FTexts; // by second of the day
};

// The user's long time format without its zone, shared by every decoder.
const TTimeOfDayFormat &UserTimeOfDayFormat();
