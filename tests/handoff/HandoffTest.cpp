#include "handoff/Handoff.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(HandoffServerName, NamesTheUserAndTheDataDirectory) {
    const QString name = HandoffServerName(1000, u"/home/ann/.local/share/Vocarra/"_s);
    EXPECT_TRUE(name.startsWith(u"vocarra-1000-"_s)) << name.toStdString();
    EXPECT_EQ(name.size(), QString(u"vocarra-1000-"_s).size() + 12);
}

TEST(HandoffServerName, OneDirectoryOneName) {
    EXPECT_EQ(HandoffServerName(1000, u"/data/st1/"_s), HandoffServerName(1000, u"/data/st1"_s));
    EXPECT_EQ(HandoffServerName(1000, u"/data/x/../st1/"_s),
              HandoffServerName(1000, u"/data/st1"_s));
}

TEST(HandoffServerName, OtherUsersAndDirectoriesDiffer) {
    const QString base = HandoffServerName(1000, u"/data/st1/"_s);
    EXPECT_NE(base, HandoffServerName(1001, u"/data/st1/"_s));
    EXPECT_NE(base, HandoffServerName(1000, u"/data/st2/"_s));
}

TEST(HandoffRequest, RoundTripsAnyFileName) {
    for (const QString &file :
         {u"/tmp/take.flac"_s, u"/home/ann/Voice tracks/Grüße\tzwei.flac"_s, u"/ä/ö/ü 1.flac"_s}) {
        const QByteArray line = InsertRequestLine(file);
        EXPECT_TRUE(line.endsWith('\n'));
        EXPECT_EQ(ParseInsertRequest(line), file) << line.toStdString();
    }
}

TEST(HandoffRequest, ReadsTheWireFormat) {
    EXPECT_EQ(InsertRequestLine(u"/a b.flac"_s), "insert\t/a b.flac\n"_ba);
    EXPECT_EQ(ParseInsertRequest("insert\t/a.flac"_ba), u"/a.flac"_s);
}

TEST(HandoffRequest, RejectsWhatIsNoInsert) {
    for (const QByteArray &line :
         {""_ba, "\n"_ba, "insert\n"_ba, "insert\t\n"_ba, "insert\trelative.flac\n"_ba,
          "insert /a.flac\n"_ba, "delete\t/a.flac\n"_ba, "INSERT\t/a.flac\n"_ba})
        EXPECT_FALSE(ParseInsertRequest(line).has_value()) << line.toStdString();
}

TEST(HandoffReply, RoundTripsEveryAnswer) {
    const THandoffReply replies[] = {
        {haOk, {}}, {haBusy, {}}, {haError, u"Please select a track in the playlist"_s}};
    for (const THandoffReply &reply : replies)
        EXPECT_EQ(ParseReply(ReplyLine(reply)), reply);
    EXPECT_EQ(ReplyLine({haOk, {}}), "ok\n"_ba);
    EXPECT_EQ(ReplyLine({haBusy, {}}), "busy\n"_ba);
    EXPECT_EQ(ReplyLine({haError, u"no"_s}), "error\tno\n"_ba);
}

TEST(HandoffReply, AnErrorStaysOneLine) {
    const QByteArray line = ReplyLine({haError, u"HTTP 500\nInternal error\r\n"_s});
    EXPECT_EQ(line.count('\n'), 1);
    EXPECT_EQ(ParseReply(line)->Text, u"HTTP 500 Internal error  "_s);
}

TEST(HandoffReply, RejectsWhatIsNoReply) {
    for (const QByteArray &line : {""_ba, "okay\n"_ba, "error\n"_ba, "OK\n"_ba})
        EXPECT_FALSE(ParseReply(line).has_value()) << line.toStdString();
}
