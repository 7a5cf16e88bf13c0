// Scratch copies of a secret are overwritten in their own buffer, and a
// buffer that another copy still shares is left to that copy.

#include "core/Wipe.h"

#include <gtest/gtest.h>

namespace {

TEST(Wipe, BytesAreZeroedInTheirBuffer) {
    QByteArray secret("user=demo&pass=s3cr3t");
    secret.detach();
    const char *buffer = secret.constData();
    const qsizetype size = secret.size();
    WipeBytes(secret);
    EXPECT_TRUE(secret.isEmpty());
    // The buffer is kept, so what it held can still be looked at.
    ASSERT_EQ(secret.constData(), buffer);
    for (qsizetype i = 0; i < size; ++i)
        EXPECT_EQ(buffer[i], 0) << i;
}

TEST(Wipe, TextIsZeroedInItsBuffer) {
    QString secret = QStringLiteral("http://h:1/?user=u&pass=s3cr3t");
    secret.detach();
    const QChar *buffer = secret.constData();
    const qsizetype size = secret.size();
    WipeText(secret);
    EXPECT_TRUE(secret.isEmpty());
    ASSERT_EQ(secret.constData(), buffer);
    for (qsizetype i = 0; i < size; ++i)
        EXPECT_EQ(buffer[i].unicode(), 0) << i;
}

TEST(Wipe, SharedBufferStaysWithTheOtherCopy) {
    const QByteArray kept("s3cr3t");
    QByteArray bytes = kept;
    WipeBytes(bytes);
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_EQ(kept, QByteArray("s3cr3t"));

    const QString keptText = QStringLiteral("s3cr3t");
    QString text = keptText;
    WipeText(text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(keptText, QStringLiteral("s3cr3t"));

    QByteArray empty;
    WipeBytes(empty);
    EXPECT_TRUE(empty.isEmpty());
}

} // namespace
