#include "core/Utils.h"

#include <gtest/gtest.h>

namespace {

struct TTimeCase {
    qint64 Ms;
    const char *Text;
};

TEST(FormatTimeMs, WritesMinutesSecondsAndTruncatedTenths) {
    constexpr qint64 hour = 3600 * 1000;
    const TTimeCase cases[] = {
        {0, "00:00.0"},
        {1, "00:00.0"},
        {99, "00:00.0"},
        {100, "00:00.1"},
        {999, "00:00.9"},
        {1000, "00:01.0"},
        {59999, "00:59.9"},
        {60000, "01:00.0"},
        {83456, "01:23.4"},
        {hour - 1, "59:59.9"},
        {hour, "1:00:00.0"},
        {hour + 2 * 60000 + 3456, "1:02:03.4"},
        {25 * hour, "25:00:00.0"},
        {100 * hour, "100:00:00.0"},
        {-1, "00:00.0"},
        {-83456, "00:00.0"},
    };
    for (const TTimeCase &c : cases) {
        SCOPED_TRACE(c.Ms);
        EXPECT_EQ(FormatTimeMs(c.Ms), QString::fromUtf8(c.Text));
    }
}

TEST(GetTickMs, NeverGoesBack) {
    qint64 previous = GetTickMs();
    for (int i = 0; i < 1000; ++i) {
        const qint64 now = GetTickMs();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

struct TTextCase {
    const char *Input;
    const char *Expected;
};

TEST(SanitizeFileName, RemovesOnlyTheCharactersFileNamesCannotHold) {
    const TTextCase cases[] = {
        {"", ""},
        {"Warm voice", "Warm voice"},
        {"Talk: what?", "Talk what"},
        {"a\"b|c*d/e:f<g>h?i\\j", "abcdefghij"},
        {"\"|*/:<>?\\", ""},
        {"Ünïcödé ÿ & co.", "Ünïcödé ÿ & co."}, // up to U+00FF kept
        {"Звук · 音声 · 🎙 voice",
         "Звук · 音声 · 🎙 voice"}, // above U+00FF kept
        {"dots..and 'quotes'", "dots..and 'quotes'"},
    };
    for (const TTextCase &c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(SanitizeFileName(QString::fromUtf8(c.Input)), QString::fromUtf8(c.Expected));
    }
}

TEST(StripAccelerators, RemovesEveryAmpersand) {
    const TTextCase cases[] = {
        {"", ""},
        {"&Save", "Save"},
        {"Sa&ve &As", "Save As"},
        {"Rock && Roll", "Rock  Roll"},
        {"&&&", ""},
        {"Лет&о", "Лето"},
        {"no accelerator", "no accelerator"},
    };
    for (const TTextCase &c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(StripAccelerators(QString::fromUtf8(c.Input)), QString::fromUtf8(c.Expected));
    }
}

} // namespace
