#include "SimPlaylist.h"

#include "DemoPlaylist.h"
#include "SimTestSupport.h"

#include <gtest/gtest.h>
#include <set>

using namespace Qt::StringLiterals;

namespace {

class SimPlaylistTest : public ::testing::Test {
protected:
    // A (10 s), B (20 s), C (30 s), D (40 s): one round is 100 s.
    std::vector<TSimEntry> FourEntries() {
        return {Entry("A", 10000), Entry("B", 20000), Entry("C", 30000), Entry("D", 40000)};
    }
    static QString PlayingTitle(const TSimSnapshot &ASnapshot) {
        return ASnapshot.Playing < 0 ? QString()
                                     : ASnapshot.Entries[std::size_t(ASnapshot.Playing)].Title;
    }
    static std::vector<QString> Titles(const TSimSnapshot &ASnapshot) {
        std::vector<QString> titles;
        for (const TSimEntry &entry : ASnapshot.Entries)
            titles.push_back(entry.Title);
        return titles;
    }
    TManualClock FClock;
};

TEST_F(SimPlaylistTest, PlaysEntriesInTurnAndStartsAgainAtTheEnd) {
    TSimPlaylist playlist(FourEntries(), FClock.Clock());
    struct TStep {
        qint64 AdvanceMs;
        const char *Playing;
        qint64 PosMs;
    } const steps[] = {
        {0, "A", 0},
        {9999, "A", 9999},
        {1, "B", 0},
        {25000, "C", 5000},
        {65000, "A", 0},                    // D ended, back to the top
        {100000 * 1000 + 35000, "C", 5000}, // a long quiet time: whole rounds skipped
    };
    for (const TStep &step : steps) {
        FClock.Advance(step.AdvanceMs);
        const TSimSnapshot snapshot = playlist.Snapshot();
        SCOPED_TRACE(step.Playing);
        EXPECT_EQ(PlayingTitle(snapshot), QString::fromUtf8(step.Playing));
        EXPECT_EQ(snapshot.PosMs, step.PosMs);
    }
}

TEST_F(SimPlaylistTest, SkipsEntriesWithoutLengthAndNeverSpins) {
    TSimPlaylist playlist({Entry("A", 1000), Entry("empty", 0), Entry("B", 1000)}, FClock.Clock());
    FClock.Advance(1500);
    EXPECT_EQ(PlayingTitle(playlist.Snapshot()), u"B"_s);

    TSimPlaylist silent({Entry("x", 0), Entry("y", 0)}, FClock.Clock());
    FClock.Advance(5000);
    const TSimSnapshot snapshot = silent.Snapshot();
    EXPECT_EQ(snapshot.Playing, 0);
    EXPECT_EQ(snapshot.PosMs, 0);
}

TEST_F(SimPlaylistTest, StartOffsetsFollowThePlayingEntry) {
    TSimPlaylist playlist(FourEntries(), FClock.Clock());
    FClock.Advance(15000); // 5 s into B
    const TSimSnapshot snapshot = playlist.Snapshot();
    EXPECT_EQ(snapshot.StartOffsetMs(0), -15000);
    EXPECT_EQ(snapshot.StartOffsetMs(1), -5000);
    EXPECT_EQ(snapshot.StartOffsetMs(2), 15000);
    EXPECT_EQ(snapshot.StartOffsetMs(3), 45000);
}

TEST_F(SimPlaylistTest, DeleteKeepsThePlayingEntryPlaying) {
    TSimPlaylist playlist(FourEntries(), FClock.Clock());
    FClock.Advance(15000); // B plays
    EXPECT_EQ(playlist.Delete(2), erPlayingEntry);
    EXPECT_EQ(playlist.Delete(1), erOk);
    TSimSnapshot snapshot = playlist.Snapshot();
    EXPECT_EQ(Titles(snapshot), (std::vector<QString>{u"B"_s, u"C"_s, u"D"_s}));
    EXPECT_EQ(PlayingTitle(snapshot), u"B"_s);
    EXPECT_EQ(snapshot.PosMs, 5000);
    EXPECT_EQ(playlist.Delete(3), erOk);
    for (int bad : {0, -1, 3, 1000})
        EXPECT_EQ(playlist.Delete(bad), erInvalidPosition) << bad;
    EXPECT_EQ(Titles(playlist.Snapshot()), (std::vector<QString>{u"B"_s, u"C"_s}));
}

TEST_F(SimPlaylistTest, SwapExchangesEntriesAndThePlayingOneMovesAlong) {
    TSimPlaylist playlist(FourEntries(), FClock.Clock());
    EXPECT_EQ(playlist.Swap(2, 4), erOk);
    EXPECT_EQ(Titles(playlist.Snapshot()), (std::vector<QString>{u"A"_s, u"D"_s, u"C"_s, u"B"_s}));
    EXPECT_EQ(playlist.Swap(1, 3), erOk); // A plays and moves to 3
    TSimSnapshot snapshot = playlist.Snapshot();
    EXPECT_EQ(Titles(snapshot), (std::vector<QString>{u"C"_s, u"D"_s, u"A"_s, u"B"_s}));
    EXPECT_EQ(snapshot.Playing, 2);
    EXPECT_EQ(playlist.Swap(2, 2), erOk);
    EXPECT_EQ(Titles(playlist.Snapshot()), Titles(snapshot));
    for (auto [a, b] : {std::pair{0, 1}, {1, 5}, {-3, 2}})
        EXPECT_EQ(playlist.Swap(a, b), erInvalidPosition) << a << " " << b;
}

TEST_F(SimPlaylistTest, InsertPutsTheEntryAtThePosition) {
    TSimPlaylist playlist(FourEntries(), FClock.Clock());
    FClock.Advance(15000); // B plays
    EXPECT_EQ(playlist.Insert(2, Entry("before B", 1000)), erOk);
    EXPECT_EQ(playlist.Insert(6, Entry("last", 1000)), erOk);
    EXPECT_EQ(playlist.Insert(1, Entry("first", 1000)), erOk);
    const TSimSnapshot snapshot = playlist.Snapshot();
    EXPECT_EQ(Titles(snapshot), (std::vector<QString>{u"first"_s, u"A"_s, u"before B"_s, u"B"_s,
                                                      u"C"_s, u"D"_s, u"last"_s}));
    EXPECT_EQ(PlayingTitle(snapshot), u"B"_s);
    EXPECT_EQ(snapshot.PosMs, 5000);
    for (int bad : {0, 9, -1})
        EXPECT_EQ(playlist.Insert(bad, Entry("bad", 1)), erInvalidPosition) << bad;
}

TEST_F(SimPlaylistTest, EmptyListStopsAndItsFirstEntryStartsPlaying) {
    TSimPlaylist playlist({}, FClock.Clock());
    EXPECT_EQ(playlist.Snapshot().Playing, -1);
    EXPECT_EQ(playlist.Delete(1), erInvalidPosition);
    EXPECT_EQ(playlist.Insert(2, Entry("x", 1000)), erInvalidPosition);
    EXPECT_EQ(playlist.Insert(1, Entry("x", 1000)), erOk);
    FClock.Advance(300);
    const TSimSnapshot snapshot = playlist.Snapshot();
    EXPECT_EQ(snapshot.Playing, 0);
    EXPECT_EQ(snapshot.PosMs, 300);
}

TEST(MakeDemoPlaylist, LooksLikeAStationDay) {
    const std::vector<TSimEntry> entries = MakeDemoPlaylist(64);
    ASSERT_EQ(entries.size(), 64u);
    EXPECT_TRUE(MakeDemoPlaylist(0).empty());
    EXPECT_EQ(MakeDemoPlaylist(5).size(), 5u);

    std::set<QString> kinds;
    qint64 shortest = entries[0].DurationMs, longest = entries[0].DurationMs;
    bool nonAscii = false, cjk = false, cyrillic = false, markup = false;
    for (const TSimEntry &entry : entries) {
        kinds.insert(entry.Artist);
        shortest = qMin(shortest, entry.DurationMs);
        longest = qMax(longest, entry.DurationMs);
        const QString title = entry.CastTitle();
        for (const QChar c : title) {
            nonAscii |= c.unicode() > 0x7f;
            cjk |= c.unicode() >= 0x3040 && c.unicode() <= 0x9fff;
            cyrillic |= c.script() == QChar::Script_Cyrillic;
            markup |= c == u'&' || c == u'<' || c == u'"';
        }
        EXPECT_FALSE(entry.FileName.isEmpty());
    }
    EXPECT_TRUE(kinds.count(u"Jingle"_s) && kinds.count(u"Advert"_s) && kinds.count(u"News"_s));
    EXPECT_EQ(shortest, 5000);
    EXPECT_EQ(longest, 390000);
    EXPECT_TRUE(nonAscii && cjk && cyrillic && markup);
}

} // namespace
