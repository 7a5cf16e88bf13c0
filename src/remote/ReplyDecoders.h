#pragma once
// Turning reply documents of the station server into playlist and playback records.
// Every function here may be called from any thread at the same time.

#include "remote/PlaylistTypes.h"

#include <QLocale>
#include <QString>
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

// Writes times of day exactly as ALocale.toString(QTime, APattern) does, but
// without parsing the pattern on every call (a playlist reply holds
// thousands of start times). The pattern is checked against QLocale once;
// a pattern this class cannot reproduce is left to QLocale on every call.
// Immutable once built, so one object serves all threads.
class TTimeOfDayFormat {
public:
    TTimeOfDayFormat(const QLocale &ALocale, const QString &APattern);

    const QString &Pattern() const { return FPattern; }
    // False when every call goes to QLocale.
    bool IsCompiled() const { return FCompiled; }
    // Hours 0-23, minutes and seconds 0-59.
    QString Format(int AHour, int AMinute, int ASecond) const;

private:
    enum TFieldKind {
        fkText,
        fkHour,
        fkHour2,
        fkHour12,
        fkHour12x2,
        fkMinute,
        fkMinute2,
        fkSecond,
        fkSecond2,
        fkMsec,
        fkMsec3,
        fkAmPm
    };
    struct TField {
        TFieldKind Kind;
        QString Text; // fkText: the text; fkAmPm: the morning text
        QString Pm;   // fkAmPm: the afternoon text
    };

    bool Compile();
    QString FormatCompiled(int AHour, int AMinute, int ASecond) const;
    QString FormatWithLocale(int AHour, int AMinute, int ASecond) const;

    QLocale FLocale;
    QString FPattern;
    char16_t FZero = u'0';
    std::vector<TField> FFields;
    qsizetype FMaxLength = 0; // of any text FormatCompiled writes
    bool FCompiled = false;
};

// The user's long time format (system locale) for times of day, built once.
const TTimeOfDayFormat &UserTimeOfDayFormat();
