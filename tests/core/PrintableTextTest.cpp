// What survives of a station's text on its way to a terminal.

#include "core/PrintableText.h"

#include <gtest/gtest.h>

namespace {

struct TCase {
    const char *Name;
    QString In;
    TPrintableMode Mode;
    QString Out;
};

QString S(const char16_t *AText) {
    return QString::fromUtf16(AText);
}

class PrintableTextTable : public ::testing::TestWithParam<TCase> {};

TEST_P(PrintableTextTable, Strips) {
    const TCase &c = GetParam();
    EXPECT_EQ(PrintableText(c.In, c.Mode).toStdString(), c.Out.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Core, PrintableTextTable,
    ::testing::Values(
        TCase{"plain_text_untouched", S(u"Caf\u00e9 \"q\" <b>x</b>"), pmLines,
              S(u"Caf\u00e9 \"q\" <b>x</b>")},
        TCase{"window_title_with_bel",
              S(u"A\x1b]0;owned\x07"
                u"B"),
              pmLines, S(u"AB")},
        TCase{"window_title_with_st", S(u"A\x1b]2;owned\x1b\\B"), pmLines, S(u"AB")},
        TCase{"unterminated_title_runs_to_the_end", S(u"A\x1b]0;owned"), pmLines, S(u"A")},
        TCase{"screen_clear_and_cursor_home", S(u"\x1b[2J\x1b[1;1HA"), pmLines, S(u"A")},
        TCase{"colour", S(u"\x1b[31;1mred\x1b[0m"), pmOneLine, S(u"red")},
        TCase{"private_mode", S(u"\x1b[?1049hA"), pmLines, S(u"A")},
        TCase{"c1_csi", S(u"\u009b2JA"), pmLines, S(u"A")},
        TCase{"c1_osc_with_c1_st", S(u"\u009d0;x\u009cA"), pmLines, S(u"A")},
        TCase{"device_control_string", S(u"\x1bPq#0\x1b\\A"), pmLines, S(u"A")},
        TCase{"charset_switch", S(u"\x1b(0A"), pmLines, S(u"A")},
        TCase{"keypad_mode", S(u"\x1b=A"), pmLines, S(u"A")},
        TCase{"lone_esc_at_the_end", S(u"A\x1b"), pmLines, S(u"A")},
        TCase{"csi_cut_by_a_line_break", S(u"\x1b[2\nA"), pmLines, S(u"\nA")},
        TCase{"carriage_return_fakes_a_line", S(u"Title\rupload OK"), pmOneLine,
              S(u"Title upload OK")},
        TCase{"carriage_return_becomes_a_line", S(u"Title\rupload OK"), pmLines,
              S(u"Title\nupload OK")},
        TCase{"crlf_is_one_line_break", S(u"a\r\nb"), pmLines, S(u"a\nb")},
        TCase{"crlf_in_one_line_gives_two_spaces", S(u"a\r\nb"), pmOneLine, S(u"a  b")},
        TCase{"tab_kept_in_lines", S(u"a\tb\n"), pmLines, S(u"a\tb\n")},
        TCase{"tab_is_a_space_in_one_line", S(u"a\tb"), pmOneLine, S(u"a b")},
        TCase{"bell_backspace_del_c1_dropped", S(u"a\x07\x08\x7f\u0085b"), pmLines, S(u"ab")},
        TCase{"nul_dropped", QString(QChar(0)) + S(u"a"), pmLines, S(u"a")},
        TCase{"whitespace_kept_for_an_escaping_writer", S(u"a\r\n\tb\x1b[2J\x01"),
              pmEscapedWhitespace, S(u"a\r\n\tb")}),
    [](const auto &AInfo) { return std::string(AInfo.param.Name); });

TEST(PrintableText, NoControlCharacterSurvivesAnyMode) {
    QString all;
    for (char16_t c = 0; c < 0x100; ++c)
        all += QChar(c) + QStringLiteral("x");
    for (const TPrintableMode mode : {pmOneLine, pmLines, pmEscapedWhitespace}) {
        SCOPED_TRACE(static_cast<int>(mode));
        for (const QChar c : PrintableText(all, mode)) {
            const char16_t u = c.unicode();
            const bool allowedWhitespace =
                u == u'\t' || u == u'\n' || (mode == pmEscapedWhitespace && u == u'\r');
            EXPECT_TRUE(!(u < 0x20 || (u >= 0x7F && u <= 0x9F)) || allowedWhitespace)
                << "U+" << std::hex << static_cast<int>(u);
        }
    }
}

} // namespace
