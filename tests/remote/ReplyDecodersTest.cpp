// Decoding playlist and playback replies of the station server.

#include "remote/ReplyDecoders.h"

#include "core/Utils.h"

#include <QString>
#include <gtest/gtest.h>
#include <ostream>

// Printed by GoogleTest when a comparison fails.
static void PrintTo(const TPlaylistItem &AItem, std::ostream *AStream) {
    *AStream << "{" << AItem.Title.toStdString() << " | " << AItem.Duration.toStdString() << " | "
             << AItem.StartTime.toStdString() << "}";
}

static bool operator==(const TPlaylistItem &A, const TPlaylistItem &B) {
    return A.Title == B.Title && A.Duration == B.Duration && A.StartTime == B.StartTime;
}

namespace {

TPlaylistItem Item(const char *ATitle, const char *ADuration = "", const char *AStart = "") {
    return {QString::fromUtf8(ATitle), QString::fromUtf8(ADuration), QString::fromUtf8(AStart)};
}

struct TPlaylistCase {
    const char *Name;
    const char *Reply;
    TPlaylist Items;
};

std::ostream &operator<<(std::ostream &AStream, const TPlaylistCase &ACase) {
    return AStream << ACase.Name;
}

class PlaylistDecoder : public testing::TestWithParam<TPlaylistCase> {};

TEST_P(PlaylistDecoder, GivesTheseEntries) {
    TPlaylist Items;
    DecodePlaylist(QString::fromUtf8(GetParam().Reply), Items);
    EXPECT_EQ(Items, GetParam().Items);
}

// Start times that are not h:m:s pass unchanged, so the rows need no locale.
const TPlaylistCase PlaylistCases[] = {
    {"empty body", "", {}},
    {"not XML", "Internal Server Error", {}},
    {"no TRACK element", "<?xml version=\"1.0\"?><PLAYLIST></PLAYLIST>", {}},
    {"entries in document order",
     R"(<PLAYLIST><TRACK CASTTITLE="One" DURATION="3:45" STARTTIME="12:30"/>)"
     R"(<TRACK CASTTITLE="Two" DURATION="0:07" STARTTIME="soon"/></PLAYLIST>)",
     {Item("One", "3:45", "12:30"), Item("Two", "0:07", "soon")}},
    {"start and end tag count twice, the second entry empty",
     R"(<TRACK CASTTITLE="One" DURATION="1:00"></TRACK>)",
     {Item("One", "1:00"), Item("")}},
    {"a comment after a TRACK tag repeats the entry",
     R"(<TRACK CASTTITLE="One"/><!-- note --><b/>)",
     {Item("One"), Item("One")}},
    {"text inside a TRACK repeats the entry",
     R"(<TRACK CASTTITLE="One">x<!--c--></TRACK>)",
     {Item("One"), Item("One"), Item("One"), Item("")}},
    {"blank text inside a TRACK is nothing",
     "<TRACK CASTTITLE=\"One\">\n  </TRACK>",
     {Item("One"), Item("")}},
    {"element name in any case",
     R"(<track CASTTITLE="a"/><Track CASTTITLE="b"/><TRACKS/>)",
     {Item("a"), Item("b")}},
    {"attribute names must match in case", R"(<TRACK casttitle="a" Duration="1"/>)", {Item("")}},
    {"missing attributes are empty", "<TRACK/>", {Item("")}},
    {"a processing instruction named TRACK counts too",
     R"(<?TRACK CASTTITLE="pi"?>)",
     {Item("pi")}},
    {"references and non-ASCII titles",
     R"(<TRACK CASTTITLE="Rock &amp; Roll &#8211; Café" DURATION="&#51;:00"/>)",
     {Item("Rock & Roll – Café", "3:00")}},
    {"other elements around do not matter",
     R"(<ROOT><X CASTTITLE="no"/><TRACK CASTTITLE="yes"/><Y/>tail</ROOT>)",
     {Item("yes")}},
    {"unterminated last TRACK is still an entry",
     R"(<TRACK CASTTITLE="a"/><TRACK CASTTITLE="b)",
     {Item("a"), Item("b")}},
    {"out of range start times are shown as sent",
     R"(<TRACK STARTTIME="25:00:00"/><TRACK STARTTIME="-1:00:00"/><TRACK STARTTIME="1:2:3:4"/>)",
     {Item("", "", "25:00:00"), Item("", "", "-1:00:00"), Item("", "", "1:2:3:4")}},
};

INSTANTIATE_TEST_SUITE_P(Replies, PlaylistDecoder, testing::ValuesIn(PlaylistCases),
                         [](const testing::TestParamInfo<TPlaylistCase> &AInfo) {
                             std::string Name;
                             for (const char *P = AInfo.param.Name; *P; ++P)
                                 Name += std::isalnum(static_cast<unsigned char>(*P)) ? *P : '_';
                             return Name;
                         });

TEST(PlaylistDecoderUse, AppendsToTheEntriesAlreadyThere) {
    TPlaylist Items{Item("kept")};
    DecodePlaylist(QStringLiteral(R"(<TRACK CASTTITLE="new"/><!--c-->)"), Items);
    EXPECT_EQ(Items, (TPlaylist{Item("kept"), Item("new"), Item("new")}));
}

TEST(PlaylistDecoderUse, StartTimesAreConverted) {
    TPlaylist Items;
    DecodePlaylist(QStringLiteral(R"(<TRACK STARTTIME="7:5:9"/>)"), Items);
    ASSERT_EQ(Items.size(), 1u);
    EXPECT_EQ(Items[0].StartTime, ConvertStartTime(QStringLiteral("07:05:09")));
    EXPECT_NE(Items[0].StartTime, QStringLiteral("7:5:9"));
}

// --- Playback information ---

class PlaybackDecoder : public testing::Test {
protected:
    TPlaybackInfo Decode(const char *AReply) {
        TPlaybackInfo Info; // as a new worker holds it: zeros and empty texts
        Info.CurrentTrack = QStringLiteral("before");
        Info.NextTrack = QStringLiteral("before");
        FBefore = GetTickMs();
        DecodePlaybackInfo(QString::fromUtf8(AReply), Info);
        FAfter = GetTickMs();
        return Info;
    }
    qint64 FBefore = 0;
    qint64 FAfter = 0;
};

TEST_F(PlaybackDecoder, ReplyOfTheExpectedShape) {
    const TPlaybackInfo Info =
        Decode(R"(<?xml version="1.0"?><Info><Playback playlistpos="3" pos="61000" len="180000" )"
               R"(state="play"/><CurrentTrack><TRACK ITEMTITLE="Now &amp; then"/></CurrentTrack>)"
               R"(<NextTrack><TRACK ITEMTITLE="Next"/></NextTrack></Info>)");
    EXPECT_EQ(Info.PlaylistPos, 3);
    EXPECT_EQ(Info.Pos, 61000);
    EXPECT_EQ(Info.Len, 180000);
    EXPECT_EQ(Info.State, QStringLiteral("play"));
    EXPECT_EQ(Info.CurrentTrack, QStringLiteral("Now & then"));
    EXPECT_EQ(Info.NextTrack, QStringLiteral("Next"));
    EXPECT_GE(Info.TS, FBefore);
    EXPECT_LE(Info.TS, FAfter);
}

TEST_F(PlaybackDecoder, WithoutPlaybackElementNumbersStayZeroAndTsIsSet) {
    for (const char *Reply : {"", "not xml at all", "<Other pos=\"5\"/>", "</Playback>"}) {
        SCOPED_TRACE(Reply);
        const TPlaybackInfo Info = Decode(Reply);
        EXPECT_EQ(Info.PlaylistPos, 0);
        EXPECT_EQ(Info.Pos, 0);
        EXPECT_EQ(Info.Len, 0);
        EXPECT_TRUE(Info.State.isEmpty());
        EXPECT_EQ(Info.CurrentTrack, QStringLiteral("before"));
        EXPECT_GE(Info.TS, FBefore);
        EXPECT_LE(Info.TS, FAfter);
    }
}

TEST_F(PlaybackDecoder, NumbersThatAreMissingOrNotIntegersAreMinusOne) {
    const struct {
        const char *Attr;
        qint32 Pos;
    } Cases[] = {{R"(pos="1500")", 1500},
                 {R"(pos="+7")", 7},
                 {R"(pos="-7")", -7},
                 {R"(pos="abc")", -1},
                 {R"(pos="")", -1},
                 {R"(pos=" 5")", -1},
                 {R"(pos="5x")", -1},
                 {R"(pos="1.5")", -1},
                 {R"(pos="2147483647")", 2147483647},
                 {R"(pos="2147483648")", -1},
                 {R"(pos="99999999999999999999")", -1},
                 {R"(POS="5")", -1},
                 {"", -1}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Attr);
        const TPlaybackInfo Info = Decode(QStringLiteral("<Playback %1 len=\"9\"/>")
                                              .arg(QLatin1String(Case.Attr))
                                              .toUtf8()
                                              .constData());
        EXPECT_EQ(Info.Pos, Case.Pos);
        EXPECT_EQ(Info.Len, 9);
        EXPECT_EQ(Info.PlaylistPos, -1);
        EXPECT_TRUE(Info.State.isEmpty());
    }
}

TEST_F(PlaybackDecoder, ElementNamesInAnyCaseAttributeNamesExactly) {
    const TPlaybackInfo Info =
        Decode(R"(<PLAYBACK Pos="1" pos="2" STATE="x" state="Pause"/>)"
               R"(<currenttrack><track itemtitle="no" ITEMTITLE="Now"/></currenttrack>)"
               R"(<NEXTTRACK><Track ITEMTITLE="Next"/></NEXTTRACK>)");
    EXPECT_EQ(Info.Pos, 2);
    EXPECT_EQ(Info.State, QStringLiteral("Pause"));
    EXPECT_EQ(Info.CurrentTrack, QStringLiteral("Now"));
    EXPECT_EQ(Info.NextTrack, QStringLiteral("Next"));
}

TEST_F(PlaybackDecoder, TitlesComeFromTheNextTrackPartWhereverItIs) {
    const struct {
        const char *Reply;
        const char *Current;
        const char *Next;
    } Cases[] = {
        // The TRACK may be nested deeper or follow after other elements.
        {R"(<CurrentTrack><a><b/><TRACK ITEMTITLE="deep"/></a></CurrentTrack>)", "deep", "before"},
        // NextTrack right after the TRACK that ended the first search.
        {R"(<CurrentTrack/><TRACK ITEMTITLE="c"/><NextTrack/><TRACK ITEMTITLE="n"/>)", "c", "n"},
        // The document ends before a TRACK: the title stays as it was.
        {R"(<CurrentTrack><x/></CurrentTrack>)", "before", "before"},
        {R"(<NextTrack>)", "before", "before"},
        // An end tag starts no search; the TRACK end tag itself carries no title.
        {R"(</CurrentTrack><TRACK ITEMTITLE="no"/>)", "before", "before"},
        {R"(<CurrentTrack><TRACK ITEMTITLE="a"></TRACK></CurrentTrack>)", "a", "before"},
        // Text inside CurrentTrack also starts the search.
        {R"(<CurrentTrack ITEMTITLE="x">text<TRACK ITEMTITLE="t"/></CurrentTrack>)", "t", "before"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Reply);
        const TPlaybackInfo Info = Decode(Case.Reply);
        EXPECT_EQ(Info.CurrentTrack, QString::fromUtf8(Case.Current));
        EXPECT_EQ(Info.NextTrack, QString::fromUtf8(Case.Next));
    }
}

TEST_F(PlaybackDecoder, TextInsidePlaybackReadsTheSameAttributes) {
    const TPlaybackInfo Info = Decode(R"(<Playback pos="4" state="stop">x</Playback>)");
    EXPECT_EQ(Info.Pos, 4);
    EXPECT_EQ(Info.State, QStringLiteral("stop"));
}

} // namespace
