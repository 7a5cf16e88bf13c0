#include "remote/UrlEncoding.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <gtest/gtest.h>
#include <random>
#include <string_view>

using namespace std::literals;

namespace {

struct TUrlCase {
    const char *Name;
    std::u16string_view Text;
    const char *Expected;
};

QStringView View(std::u16string_view AText) {
    return QStringView(AText.data(), AText.size());
}

// Worked out by hand from the code points and their UTF-8 bytes.
const TUrlCase UrlCases[] = {
    {"empty", u""sv, ""},
    {"space, ampersand and tilde", u"a b&c~"sv, "a+b%26c%7E"},
    {"letters and digits", u"ABCXYZabcxyz0123456789"sv, "ABCXYZabcxyz0123456789"},
    {"the nine unreserved punctuation characters", u"!$'()*-.@_"sv, "!$'()*-.@_"},
    {"other punctuation", u"\"#%&+,/:;<=>?[\\]^`{|}~"sv,
     "%22%23%25%26%2B%2C%2F%3A%3B%3C%3D%3E%3F%5B%5C%5D%5E%60%7B%7C%7D%7E"},
    {"several spaces", u"  x "sv, "++x+"},
    {"control characters", u"\x01\t\n\r\x1F"sv, "%01%09%0A%0D%1F"},
    {"delete character", u"\x7F"sv, "%7F"},
    {"e acute", u"\u00E9"sv, "%C3%A9"},
    {"first two-byte character", u"\u0080"sv, "%C2%80"},
    {"last two-byte character", u"\u07FF"sv, "%DF%BF"},
    {"first three-byte character", u"\u0800"sv, "%E0%A0%80"},
    {"euro sign", u"\u20AC"sv, "%E2%82%AC"},
    {"last BMP character", u"\uFFFF"sv, "%EF%BF%BF"},
    {"surrogate pair of U+1F600", u"\xD83D\xDE00"sv, "%F0%9F%98%80"},
    {"first supplementary character", u"\xD800\xDC00"sv, "%F0%90%80%80"},
    {"last code point", u"\xDBFF\xDFFF"sv, "%F4%8F%BF%BF"},
    {"mixed text", u"Gr\u00FC\u00DFe 2\u20AC"sv, "Gr%C3%BC%C3%9Fe+2%E2%82%AC"},
    {"NUL ends the text", u"ab\0cd"sv, "ab"},
    {"NUL first", u"\0abc"sv, ""},
    {"lone high surrogate at the end", u"a\xD83D"sv, "a%EF%BF%BD"},
    {"high surrogate before a letter keeps the letter", u"\xD83Dx"sv, "%EF%BF%BDx"},
    {"lone low surrogate", u"\xDE00!"sv, "%EF%BF%BD!"},
    {"pair in the wrong order", u"\xDE00\xD83D"sv, "%EF%BF%BD%EF%BF%BD"},
    {"two high surrogates then a low one", u"\xD83D\xD83D\xDE00"sv, "%EF%BF%BD%F0%9F%98%80"},
    {"high surrogate before NUL", u"\xD83D\0\xDE00"sv, "%EF%BF%BD"},
};

TEST(UrlEncode, HandWorkedVectors) {
    for (const TUrlCase &c : UrlCases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(UrlEncode(View(c.Text)), QByteArray(c.Expected));
    }
}

// Every character below U+0080 is one of three kinds; check each against the
// protocol's list rather than against the encoder's own table.
TEST(UrlEncode, EveryAsciiCharacter) {
    const std::string_view unreserved =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!$'()*-.@_";
    for (char16_t c = 1; c < 0x80; ++c) {
        SCOPED_TRACE(int(c));
        QByteArray expected;
        if (unreserved.find(char(c)) != std::string_view::npos)
            expected = QByteArray(1, char(c));
        else if (c == u' ')
            expected = "+";
        else
            expected = '%' + QByteArray::number(int(c), 16).toUpper().rightJustified(2, '0');
        EXPECT_EQ(UrlEncode(QStringView(&c, 1)), expected);
    }
}

// Well-formed text of every length class, compared with Qt's percent
// encoding of the UTF-8 bytes (told which punctuation passes, and that the
// tilde does not).
TEST(UrlEncode, AgreesWithQtOnRandomText) {
    std::mt19937 random(20240611);
    const char32_t ranges[][2] = {
        {1, 0x7F}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xE000, 0xFFFF}, {0x10000, 0x10FFFF}};
    for (int round = 0; round < 200; ++round) {
        QString text;
        const int length = int(random() % 40);
        for (int i = 0; i < length; ++i) {
            const auto &range = ranges[random() % std::size(ranges)];
            const char32_t code = range[0] + char32_t(random() % (range[1] - range[0] + 1));
            text += QString::fromUcs4(&code, 1);
        }
        SCOPED_TRACE(text.toStdString());
        const QByteArray expected =
            text.toUtf8().toPercentEncoding(" !$'()*@", "~").replace(' ', '+');
        EXPECT_EQ(UrlEncode(text), expected);
    }
}

} // namespace
