#include "FormDecoder.h"

#include "SimService.h"

#include <gtest/gtest.h>

namespace {

struct TDecoded {
    TFormFields Fields;
    std::string Streamed;
    bool HasStreamed = false;
    bool Overflow = false;
};

// Decodes ABody fed in pieces of APiece bytes (0: all at once).
TDecoded Decode(std::string_view ABody, std::size_t APiece = 0, std::size_t AMaxKept = 64) {
    TDecoded result;
    TFormDecoder decoder(
        "vt", [&result](std::string_view ABytes) { result.Streamed += ABytes; }, AMaxKept);
    if (APiece == 0) {
        decoder.Feed(ABody);
    } else {
        for (std::size_t i = 0; i < ABody.size(); i += APiece)
            decoder.Feed(ABody.substr(i, APiece));
    }
    decoder.Finish();
    result.Fields = decoder.Fields();
    result.HasStreamed = decoder.HasStreamed();
    result.Overflow = decoder.Overflow();
    return result;
}

struct TFormCase {
    const char *Why;
    std::string Body;
    TFormFields Fields;
    std::string Streamed;
};

TEST(FormDecoder, SplitsItemsAndDecodesEscapes) {
    const TFormCase cases[] = {
        {"empty body", "", {}, ""},
        {"simple items",
         "user=U&pass=W&action=vocarra",
         {{"user", "U"}, {"pass", "W"}, {"action", "vocarra"}},
         ""},
        {"plus and percent", "fn=take+1%26%7E.flac", {{"fn", "take 1&~.flac"}}, ""},
        {"lower-case hex", "a=%c3%a4", {{"a", "\xc3\xa4"}}, ""},
        {"UTF-8 bytes", "user=J%C3%BCrgen", {{"user", "J\xc3\xbcrgen"}}, ""},
        {"escaped name", "p%61ss=x", {{"pass", "x"}}, ""},
        {"bad escapes stay",
         "a=%&b=%4&c=%zz&d=100%",
         {{"a", "%"}, {"b", "%4"}, {"c", "%zz"}, {"d", "100%"}},
         ""},
        {"escape before escape", "a=%%41", {{"a", "%A"}}, ""},
        {"first of equal names wins", "pos=1&pos=2", {{"pos", "1"}}, ""},
        {"item without value", "flag&x=1", {{"flag", ""}, {"x", "1"}}, ""},
        {"empty items skipped", "&&x=1&&", {{"x", "1"}}, ""},
        {"equals in value", "x=a=b", {{"x", "a=b"}}, ""},
        {"streamed item",
         "user=U&vt=QU%0D%0AJD%3D&pos=3",
         {{"user", "U"}, {"pos", "3"}},
         "QU\r\nJD="},
        {"second streamed item ignored", "vt=AA&vt=BB", {}, "AA"},
    };
    for (const TFormCase &c : cases) {
        SCOPED_TRACE(c.Why);
        // Any split of the body must give the same result.
        for (std::size_t piece :
             {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7)}) {
            SCOPED_TRACE(piece);
            const TDecoded decoded = Decode(c.Body, piece);
            EXPECT_EQ(decoded.Fields, c.Fields);
            EXPECT_EQ(decoded.Streamed, c.Streamed);
            EXPECT_FALSE(decoded.Overflow);
        }
    }
}

TEST(FormDecoder, TellsWhetherTheStreamedItemWasThere) {
    EXPECT_FALSE(Decode("user=U&pos=1").HasStreamed);
    EXPECT_TRUE(Decode("user=U&vt=").HasStreamed);
    EXPECT_TRUE(Decode("user=U&vt").HasStreamed);
    EXPECT_TRUE(Decode("vt=QQ==").HasStreamed);
}

TEST(FormDecoder, LongKeptItemsMakeTheFormInvalidButStreamedOnesDoNot) {
    const std::string longValue(100, 'x');
    EXPECT_TRUE(Decode("user=" + longValue, 0, 64).Overflow);
    EXPECT_TRUE(Decode(longValue + "=1", 0, 64).Overflow);
    const TDecoded streamed = Decode("vt=" + longValue, 0, 64);
    EXPECT_FALSE(streamed.Overflow);
    EXPECT_EQ(streamed.Streamed, longValue);
}

struct TBase64Case {
    const char *Text;
    bool Valid;
    std::string Bytes;
};

TEST(Base64Decoder, DecodesLinesAndRejectsDamage) {
    const TBase64Case cases[] = {
        {"", true, ""},
        {"TWFu", true, "Man"},
        {"TWE=", true, "Ma"},
        {"TQ==", true, "M"},
        {"TWE", true, "Ma"}, // padding left out
        {"TQ", true, "M"},
        {"TQ=", true, "M"},
        {"TW\r\nFu\r\nTQ==\r\n", true, "ManM"},
        {" T W F u ", true, "Man"},
        {"+/+/", true, "\xfb\xff\xbf"},
        {"T", false, ""},
        {"TWFuT", false, ""},
        {"TQ==TWFu", false, ""}, // data after the padding
        {"TQ===", false, ""},
        {"=", false, ""},
        {"T===", false, ""},
        {"TW-u", false, ""}, // URL-safe alphabet
        {"TW%u", false, ""},
        {"TWFu\x01", false, ""},
    };
    for (const TBase64Case &c : cases) {
        SCOPED_TRACE(c.Text);
        for (std::size_t piece : {std::size_t(100), std::size_t(1), std::size_t(3)}) {
            SCOPED_TRACE(piece);
            std::string out;
            TBase64Decoder decoder([&out](std::string_view ABytes) { out += ABytes; });
            const std::string_view text(c.Text);
            for (std::size_t i = 0; i < text.size(); i += piece)
                decoder.Feed(text.substr(i, piece));
            EXPECT_EQ(decoder.Finish(), c.Valid);
            if (c.Valid) {
                EXPECT_EQ(out, c.Bytes);
            }
        }
    }
}

TEST(DecodeVoiceTrack, KeepsTheHeadAndCountsEveryByte) {
    std::string file;
    for (int i = 0; i < 10000; ++i)
        file += char(i * 7);
    const QByteArray base64 = QByteArray::fromStdString(file).toBase64();
    const TSimVoiceTrack track = DecodeVoiceTrack(base64.toStdString());
    EXPECT_FALSE(track.Malformed);
    EXPECT_EQ(track.Size, 10000);
    EXPECT_EQ(track.Head, file.substr(0, TSimVoiceTrack::HeadLimit));
    EXPECT_TRUE(DecodeVoiceTrack("not base64!").Malformed);
}

} // namespace
