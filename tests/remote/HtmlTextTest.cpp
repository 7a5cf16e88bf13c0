// An error page's words, and the cut that keeps a text to a few lines.

#include "remote/HtmlText.h"

#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

struct THtmlCase {
    const char *Name;
    QString Html;
    QString Text;
};

class HtmlToPlainTextTable : public ::testing::TestWithParam<THtmlCase> {};

TEST_P(HtmlToPlainTextTable, Reads) {
    EXPECT_EQ(HtmlToPlainText(GetParam().Html), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Remote, HtmlToPlainTextTable,
    ::testing::Values(
        THtmlCase{"blocks_make_lines", QStringLiteral("<h1>Gone</h1><p>Try <b>later</b>.</p>"),
                  QStringLiteral("Gone\nTry later.")},
        THtmlCase{"source_line_breaks_are_spaces", QStringLiteral("<p>one\r\n  two\tthree</p>"),
                  QStringLiteral("one two three")},
        THtmlCase{"head_script_style_and_comments_hidden",
                  QStringLiteral("<!DOCTYPE html><html><head><title>T</title>"
                                 "<style>p { color: red }</style></head><body><!-- a > b -->"
                                 "<script>if (a < b) x();</script>Words</body></html>"),
                  QStringLiteral("Words")},
        THtmlCase{"title_when_the_body_has_no_words",
                  QStringLiteral("<html><head><title>503 Service Unavailable</title></head>"
                                 "<body></body></html>"),
                  QStringLiteral("503 Service Unavailable")},
        THtmlCase{"quoted_greater_than_in_an_attribute",
                  QStringLiteral("<a title=\"x > y\" href='>'>link</a>"), QStringLiteral("link")},
        THtmlCase{"references",
                  QStringLiteral("&lt;b&gt; &amp;amp; &quot;&#65;&#x42;&nbsp;&hellip;"),
                  QStringLiteral("<b> &amp; \"AB \u2026")},
        THtmlCase{"bad_references_stay", QStringLiteral("a & b &#0; &#xD800; &nosuch; &#99999999;"),
                  QStringLiteral("a & b &#0; &#xD800; &nosuch; &#99999999;")},
        THtmlCase{"lone_less_than", QStringLiteral("1 < 2 <3"), QStringLiteral("1 < 2 <3")},
        THtmlCase{"unclosed_tag_ends_the_text", QStringLiteral("text <p class=\"x"),
                  QStringLiteral("text")},
        THtmlCase{"table_cells_apart",
                  QStringLiteral("<table><tr><td>a</td><td>b</td></tr></table>"),
                  QStringLiteral("a b")},
        THtmlCase{"empty", QString(), QString()}),
    [](const auto &AInfo) { return std::string(AInfo.param.Name); });

TEST(ShortenText, ShortTextsStayAsTheyAre) {
    for (const QString &text :
         {QStringLiteral("Access denied"), QStringLiteral("OK\r\n"), QStringLiteral("a\nb\nc"),
          QStringLiteral("a\nb\nc\n"), QString(300, u'x')})
        EXPECT_EQ(ShortenText(text), text);
}

TEST(ShortenText, LongTextsAreCutWithAnEllipsis) {
    EXPECT_EQ(ShortenText(QStringLiteral("a\nb\nc\nd")), QStringLiteral("a\nb\nc\u2026"));
    const QString words = QStringLiteral("word ").repeated(100);
    const QString cut = ShortenText(words);
    EXPECT_LE(cut.size(), 300);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("word\u2026")));
    EXPECT_EQ(ShortenText(QString(400, u'x')), QString(299, u'x') + QStringLiteral("\u2026"));
}

TEST(ShortenText, NeverSplitsASurrogatePair) {
    QString text = QString(298, u'x');
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("\U0001F600");
    const QString cut = ShortenText(text);
    EXPECT_FALSE(cut.at(cut.size() - 2).isHighSurrogate());
    EXPECT_EQ(cut, QString(298, u'x') + QStringLiteral("\u2026"));
}

} // namespace
