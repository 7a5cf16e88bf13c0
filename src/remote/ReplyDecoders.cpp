#include "remote/ReplyDecoders.h"

#include "core/Utils.h"
#include "xml/XmlParser.h"

#include <QTime>
#include <algorithm>
#include <mutex>
#include <shared_mutex>

namespace {

// Element names are compared without regard to case. AExpected is ASCII:
// an ASCII name is settled here, anything else by Qt's case folding.
bool IsNamed(const QString &AName, QStringView AExpected) {
    if (AName.size() != AExpected.size())
        return false;
    for (qsizetype I = 0; I < AName.size(); ++I) {
        const char16_t C = AName[I].unicode();
        if (C >= 0x80)
            return QStringView(AName).compare(AExpected, Qt::CaseInsensitive) == 0;
        const char16_t Lower = C >= u'A' && C <= u'Z' ? char16_t(C + 32) : C;
        const char16_t Expected = AExpected[I].unicode();
        if (Lower != (Expected >= u'A' && Expected <= u'Z' ? char16_t(Expected + 32) : Expected))
            return false;
    }
    return true;
}

// "[+-]digits" as a 64-bit number, saturated far beyond any field's range;
// false for anything else (blanks included).
bool ParseInteger(QStringView AText, qint64 &AValue) {
    qsizetype I = 0;
    bool Negative = false;
    if (I < AText.size() && (AText[I] == u'+' || AText[I] == u'-')) {
        Negative = AText[I] == u'-';
        ++I;
    }
    if (I == AText.size())
        return false;
    qint64 Value = 0;
    for (; I < AText.size(); ++I) {
        const char16_t C = AText[I].unicode();
        if (C < u'0' || C > u'9')
            return false;
        Value = qMin<qint64>(Value * 10 + (C - u'0'), qint64(1) << 40);
    }
    AValue = Negative ? -Value : Value;
    return true;
}

// A playback attribute as a number; -1 when it is missing or not a 32-bit integer.
qint32 AttrInteger(const TXmlParser &AParser, QStringView AName) {
    const TAttr *Attr = AParser.CurAttr.Node(AName);
    qint64 Value = 0;
    if (!Attr || !ParseInteger(Attr->ValueView(), Value) || Value < INT32_MIN || Value > INT32_MAX)
        return -1;
    return qint32(Value);
}

// A part that opens or fills an element: start tag, empty-element tag, text.
bool IsElementPart(const TXmlParser &AParser) {
    return AParser.CurPartType == ptStartTag || AParser.CurPartType == ptEmptyTag ||
           AParser.CurPartType == ptContent;
}

// Scans on to the next part named TRACK and takes its title; false when the
// document ends first (ATitle is then left alone).
bool FindTrackTitle(TXmlParser &AParser, QString &ATitle) {
    while (AParser.Scan())
        if (IsNamed(AParser.CurName, u"TRACK")) {
            ATitle = AParser.CurAttr.Value(u"ITEMTITLE");
            return true;
        }
    return false;
}

// Parts that leave the name and attributes of the part before them alone.
bool KeepsAttributes(TPartType AKind) {
    return AKind == ptComment || AKind == ptCData || AKind == ptContent || AKind == ptDtdc;
}

// ConvertStartTime on a view; AOriginal, when given, is what an unchanged
// text returns (shared, not copied).
QString StartTimeText(QStringView AText, const QString *AOriginal) {
    const auto Unchanged = [&] { return AOriginal ? *AOriginal : AText.toString(); };
    // Exactly two ":" make three parts (empty ones included).
    qsizetype Colons[2];
    int Count = 0;
    for (qsizetype I = 0; I < AText.size(); ++I)
        if (AText[I] == u':') {
            if (Count == 2)
                return Unchanged();
            Colons[Count++] = I;
        }
    if (Count != 2)
        return Unchanged();
    const qsizetype First = Colons[0];
    const qsizetype Second = Colons[1];
    qint64 Parts[3] = {0, 0, 0};
    const QStringView Texts[3] = {AText.first(First), AText.sliced(First + 1, Second - First - 1),
                                  AText.sliced(Second + 1)};
    for (int I = 0; I < 3; ++I)
        if (!ParseInteger(Texts[I], Parts[I]))
            Parts[I] = 0; // a part that is not a number counts as 0
    // A time of day that cannot exist has no local form: show what the server sent.
    if (Parts[0] < 0 || Parts[0] > 23 || Parts[1] < 0 || Parts[1] > 59 || Parts[2] < 0 ||
        Parts[2] > 59)
        return Unchanged();
    return UserTimeOfDayFormat().Format(int(Parts[0]), int(Parts[1]), int(Parts[2]));
}

QStringView AttrView(const TAttrList &AAttrs, QStringView AName) {
    const TAttr *Attr = AAttrs.Node(AName);
    return Attr ? Attr->ValueView() : QStringView();
}

} // namespace

QString ConvertStartTime(const QString &AText) {
    return StartTimeText(AText, &AText);
}

void DecodePlaylist(const QString &AReply, TPlaylist &AItems) {
    TXmlParser Parser;
    if (!Parser.LoadFromBuffer(AReply))
        return;
    // True while AItems.back() was made from the attributes the scanner
    // still holds: a comment or text inside a TRACK repeats that entry.
    bool HaveLast = false;
    while (Parser.Scan()) {
        const bool SameAttributes = KeepsAttributes(Parser.CurPartType);
        if (!IsNamed(Parser.CurName, u"TRACK")) {
            HaveLast = HaveLast && SameAttributes;
            continue;
        }
        if (SameAttributes && HaveLast) {
            TPlaylistItem Copy = AItems.back();
            AItems.push_back(std::move(Copy));
            continue;
        }
        // Straight from the scanned text into the entry: no string in between.
        const TAttrList &Attrs = Parser.CurAttr;
        AItems.push_back({AttrView(Attrs, u"CASTTITLE").toString(),
                          AttrView(Attrs, u"DURATION").toString(),
                          StartTimeText(AttrView(Attrs, u"STARTTIME"), nullptr)});
        HaveLast = true;
    }
}

void DecodePlaybackInfo(const QString &AReply, TPlaybackInfo &AInfo) {
    TXmlParser Parser;
    bool More = Parser.LoadFromBuffer(AReply) && Parser.Scan();
    while (More) {
        if (IsElementPart(Parser) && IsNamed(Parser.CurName, u"Playback")) {
            AInfo.PlaylistPos = AttrInteger(Parser, u"playlistpos");
            AInfo.Pos = AttrInteger(Parser, u"pos");
            AInfo.Len = AttrInteger(Parser, u"len");
            AInfo.State = Parser.CurAttr.Value(u"state");
        }
        if (IsElementPart(Parser) && IsNamed(Parser.CurName, u"CurrentTrack"))
            More = FindTrackTitle(Parser, AInfo.CurrentTrack);
        // The part reached now may be the TRACK the search above stopped at.
        if (More && IsElementPart(Parser) && IsNamed(Parser.CurName, u"NextTrack"))
            More = FindTrackTitle(Parser, AInfo.NextTrack);
        if (More)
            More = Parser.Scan();
    }
    AInfo.TS = GetTickMs();
}

namespace {

// Blanks a locale puts between a time and its zone (some use no-break spaces).
bool IsZoneBlank(char16_t C) {
    return C == u' ' || C == u'\t' || C == 0x00A0 || C == 0x202F || C == 0x2009;
}

} // namespace

QString TimeOfDayPattern(const QString &ALocalePattern) {
    // Mark what is quoted text ('...' with '' for a quote), which may hold a
    // "t" that is no field.
    const qsizetype Size = ALocalePattern.size();
    std::vector<bool> Quoted(Size, false);
    for (qsizetype I = 0; I < Size;) {
        if (ALocalePattern[I] != u'\'') {
            ++I;
            continue;
        }
        const qsizetype Start = I++;
        if (I < Size && ALocalePattern[I] == u'\'') {
            ++I; // '' outside quoted text: one quotation mark
        } else {
            while (I < Size) {
                if (ALocalePattern[I] == u'\'') {
                    if (I + 1 < Size && ALocalePattern[I + 1] == u'\'') {
                        I += 2;
                        continue;
                    }
                    ++I;
                    break;
                }
                ++I;
            }
        }
        for (qsizetype J = Start; J < I; ++J)
            Quoted[J] = true;
    }
    QString Result = ALocalePattern;
    // Right to left, so that earlier positions stay valid.
    for (qsizetype End = Size; End > 0;) {
        if (Quoted[End - 1] || Result[End - 1] != u't') {
            --End;
            continue;
        }
        qsizetype Start = End - 1;
        while (Start > 0 && !Quoted[Start - 1] && Result[Start - 1] == u't')
            --Start;
        // The blank or opening bracket before the zone, the closing bracket
        // after it; a zone in front takes the blank after it instead.
        qsizetype Left = Start;
        while (Left > 0 && !Quoted[Left - 1] &&
               (IsZoneBlank(Result[Left - 1].unicode()) || Result[Left - 1] == u'(' ||
                Result[Left - 1] == u'[' || Result[Left - 1] == u','))
            --Left;
        qsizetype Right = End;
        while (Right < Result.size() && !Quoted[Right] &&
               (Result[Right] == u')' || Result[Right] == u']'))
            ++Right;
        if (Left == 0)
            while (Right < Result.size() && !Quoted[Right] && IsZoneBlank(Result[Right].unicode()))
                ++Right;
        Result.remove(Left, Right - Left);
        Quoted.erase(Quoted.begin() + Left, Quoted.begin() + Right);
        End = Left;
    }
    return Result.isEmpty() ? QStringLiteral("HH:mm:ss") : Result;
}

TTimeOfDayFormat::TTimeOfDayFormat(const QLocale &ALocale, const QString &APattern)
    : FLocale(ALocale), FPattern(APattern) {}

QString TTimeOfDayFormat::Format(int AHour, int AMinute, int ASecond) const {
    const int Key = (AHour * 60 + AMinute) * 60 + ASecond;
    {
        const std::shared_lock Guard(FLock);
        const auto Found = FTexts.find(Key);
        if (Found != FTexts.end())
            return Found->second;
    }
    // QLocale is reentrant, not thread-safe: the shared object is used by one
    // caller at a time, under the same lock that guards the texts.
    const std::unique_lock Guard(FLock);
    const auto [Found, Added] = FTexts.try_emplace(Key);
    if (Added)
        Found->second = FLocale.toString(QTime(AHour, AMinute, ASecond), FPattern);
    return Found->second;
}

const TTimeOfDayFormat &UserTimeOfDayFormat() {
    // Built on first use; C++ makes that thread-safe, and the object never
    // changes afterwards.
    static const TTimeOfDayFormat Format = [] {
        const QLocale System = QLocale::system();
        return TTimeOfDayFormat(System, TimeOfDayPattern(System.timeFormat(QLocale::LongFormat)));
    }();
    return Format;
}
