// File names whose bytes are not UTF-8 must reach the system unchanged.

#include "core/NativeNames.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(NativeNames, EveryNameComesBackByteForByte) {
    const struct {
        const char *Name;
        QByteArray Bytes;
    } cases[] = {
        {"ASCII", "take 1.flac"},
        {"UTF-8 accent", "caf\xc3\xa9.flac"},
        {"UTF-8 outside the BMP", "\xf0\x9f\x8e\xa4.flac"},
        {"Latin-1 accent", "caf\xe9.flac"},
        {"lone continuation byte", "a\x80z"},
        {"cut sequence at the end", "ab\xe2\x82"},
        {"over-long slash", "\xc0\xaf"},
        {"encoded surrogate", "\xed\xb2\x80"},
        {"every high byte",
         [] {
             QByteArray all;
             for (int b = 0x80; b <= 0xFF; ++b)
                 all += char(b);
             return all;
         }()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(NativeName(NameFromNative(c.Bytes)), c.Bytes);
    }
}

TEST(NativeNames, ValidUtf8IsOrdinaryText) {
    EXPECT_EQ(NameFromNative("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(NativeName(QStringLiteral("caf\u00e9")), QByteArray("caf\xc3\xa9"));
    EXPECT_EQ(NativeName(QStringLiteral("\U0001F3A4")), QByteArray("\xf0\x9f\x8e\xa4"));
}

// The fault this exists for: Qt's own conversion cannot name the file.
TEST(NativeNames, AFileNamedWithALatin1ByteOpens) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray path = dir.path().toUtf8() + "/caf\xe9.flac";
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);

    const QString name = NameFromNative(path);
    const int again = ::open(NativeName(name).constData(), O_RDONLY);
    EXPECT_GE(again, 0);
    if (again >= 0)
        ::close(again);
}

} // namespace
