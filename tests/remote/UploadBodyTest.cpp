#include "remote/UploadBody.h"

#include "remote/UrlEncoding.h"
#include "remote/VoiceTrackFile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray Prefix = "user=U&pass=W&action=vocarra&fn=take1.flac&pos=6&vt=";

// Reads the body to its end through a buffer of exactly AChunk bytes on the
// heap, so that a write past the caller's buffer is caught by the sanitizers.
// A body that never ends is cut off once it has passed its announced size.
QByteArray ReadAll(TUploadBody &ABody, std::size_t AChunk) {
    QByteArray out;
    std::vector<char> buffer(AChunk);
    while (out.size() <= ABody.Size()) {
        const std::size_t n = ABody.Read(buffer.data(), AChunk);
        EXPECT_LE(n, AChunk);
        if (n == 0)
            return out;
        out.append(buffer.data(), qsizetype(n));
    }
    ADD_FAILURE() << "more than Size() bytes";
    return out;
}

QByteArray RandomBytes(qsizetype ASize, unsigned ASeed) {
    std::mt19937 random(ASeed);
    QByteArray out(ASize, Qt::Uninitialized);
    for (char &c : out)
        c = char(random());
    return out;
}

struct TFileCase {
    const char *Name;
    QByteArray Prefix;
    QByteArray File;
};

std::vector<TFileCase> FileCases() {
    return {
        {"empty file", Prefix, {}},
        {"no prefix, empty file", {}, {}},
        {"one byte", Prefix, "x"},
        {"two bytes", Prefix, "xy"},
        {"56 bytes", Prefix, RandomBytes(56, 1)},
        {"57 bytes", Prefix, RandomBytes(57, 2)},
        {"58 bytes", Prefix, RandomBytes(58, 3)},
        {"no prefix", {}, RandomBytes(1000, 4)},
        {"every character escaped", Prefix, QByteArray(4097, char(0xFF))},
        {"longer than one large chunk", Prefix, RandomBytes(70000, 5)},
    };
}

TEST(UploadBody, StreamedInAnyChunkSizeEqualsWholeBody) {
    for (const TFileCase &c : FileCases()) {
        const QByteArray expected = c.Prefix + EncodeVoiceTrack(c.File);
        TUploadBody body(c.Prefix, c.File);
        EXPECT_EQ(body.Size(), expected.size()) << c.Name;
        EXPECT_EQ(body.All(), expected) << c.Name;
        for (std::size_t chunk : {1, 2, 3, 7, 64, 65536}) {
            SCOPED_TRACE(testing::Message() << c.Name << ", chunk " << chunk);
            body.Rewind();
            EXPECT_EQ(ReadAll(body, chunk), expected);
        }
    }
}

// Every buffer size around the length of an encoded line, with data that
// grows the most: a unit or line written near the end of the buffer must
// stay inside it (the sanitizers see the exact-size buffer).
TEST(UploadBody, EveryChunkSizeUpToSeveralLines) {
    for (const QByteArray &file : {QByteArray(171, char(0xFF)), RandomBytes(172, 10)}) {
        TUploadBody body({}, file);
        const QByteArray expected = EncodeVoiceTrack(file);
        for (std::size_t chunk = 1; chunk <= 300; ++chunk) {
            SCOPED_TRACE(chunk);
            body.Rewind();
            EXPECT_EQ(ReadAll(body, chunk), expected);
        }
    }
}

// Chunk sizes change from call to call, as they do when a transport's buffer
// is partly filled: every split of a %XX triple and of a CR LF occurs.
TEST(UploadBody, ChangingChunkSizes) {
    const QByteArray file = RandomBytes(20000, 6) + QByteArray(300, char(0xFF));
    TUploadBody body(Prefix, file);
    const QByteArray expected = body.All();
    QByteArray streamed;
    std::vector<char> buffer;
    for (std::size_t i = 0; streamed.size() <= expected.size(); ++i) {
        const std::size_t chunk = 1 + (i * 37) % 251;
        buffer.resize(chunk);
        const std::size_t n = body.Read(buffer.data(), chunk);
        if (n == 0)
            break;
        streamed.append(buffer.data(), qsizetype(n));
    }
    EXPECT_EQ(streamed, expected);
}

TEST(UploadBody, RewindStartsAgain) {
    const QByteArray file = RandomBytes(5000, 7);
    TUploadBody body(Prefix, file);
    const QByteArray expected = body.All();
    // Stop inside the prefix, inside an escaped triple and after the end.
    for (qsizetype stopAt : {qsizetype(5), Prefix.size() + 1001, expected.size()}) {
        SCOPED_TRACE(stopAt);
        body.Rewind();
        char byte;
        for (qsizetype i = 0; i < stopAt; ++i)
            ASSERT_EQ(body.Read(&byte, 1), 1u);
        body.Rewind();
        EXPECT_EQ(ReadAll(body, 7), expected);
    }
}

TEST(UploadBody, EndAndEmptyReads) {
    TUploadBody body(Prefix, RandomBytes(100, 8));
    char buffer[16];
    EXPECT_EQ(body.Read(buffer, 0), 0u);
    const QByteArray all = ReadAll(body, 16);
    EXPECT_EQ(all, body.All());
    EXPECT_EQ(body.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(body.Read(buffer, sizeof buffer), 0u);
}

// All() may be asked for while a transfer is under way.
TEST(UploadBody, AllDoesNotDisturbReading) {
    TUploadBody body(Prefix, RandomBytes(3000, 9));
    std::vector<char> buffer(100);
    QByteArray streamed;
    streamed.append(buffer.data(), qsizetype(body.Read(buffer.data(), 100)));
    const QByteArray all = body.All();
    streamed += ReadAll(body, 100);
    EXPECT_EQ(streamed, all);
}

// --- Streamed from a file --------------------------------------------------

class UploadBodyFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    void TearDown() override { FDir.setAutoRemove(!HasFailure()); }

    QString Write(const QString &AName, const QByteArray &ABytes) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(ABytes), ABytes.size());
        return path;
    }

    static std::unique_ptr<TVoiceTrackFile> Open(const QString &APath) {
        QString error;
        std::unique_ptr<TVoiceTrackFile> file = TVoiceTrackFile::Open(APath, error);
        EXPECT_TRUE(file) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        return file;
    }

    QTemporaryDir FDir;
};

// The bytes on the wire are those of the whole file encoded in one piece,
// for sizes around a line, a partial group and the pieces the file is read in.
TEST_F(UploadBodyFile, SameBytesAsTheWholeFileEncodedAtOnce) {
    constexpr qsizetype piece = 57 * 4096;
    const qsizetype sizes[] = {0, 1, 56, 57, 58, piece - 1, piece, piece + 1, (1 << 20) + 333};
    for (const qsizetype size : sizes) {
        SCOPED_TRACE(size);
        QByteArray bytes = RandomBytes(size, unsigned(size));
        // Runs of escaped characters across the piece edges as well.
        if (size > piece)
            bytes.replace(piece - 100, 200, QByteArray(200, char(0xFF)));
        const QByteArray expected = Prefix + EncodeVoiceTrack(bytes);
        TUploadBody body(Prefix, Open(Write(QStringLiteral("take.flac"), bytes)));
        EXPECT_EQ(body.Size(), expected.size());
        for (std::size_t chunk : {std::size_t(7), std::size_t(65536)}) {
            body.Rewind();
            EXPECT_EQ(ReadAll(body, chunk), expected) << "chunk " << chunk;
        }
        EXPECT_FALSE(body.Failed());
    }
}

TEST_F(UploadBodyFile, WhatCannotBeOpenedIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(FDir.filePath(QStringLiteral("pipe")).toUtf8().constData(), 0600), 0);
    const struct {
        const char *Name;
        QString Path;
    } cases[] = {
        {"missing", FDir.filePath(QStringLiteral("missing.flac"))},
        {"folder", FDir.path()},
        {"pipe", FDir.filePath(QStringLiteral("pipe"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QString error;
        EXPECT_FALSE(TVoiceTrackFile::Open(c.Path, error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot open file \"%1\"").arg(c.Path)))
            << error.toStdString();
    }
}

// A file that changes while it is sent fails the body before its end: the
// receiver never gets as many bytes as were announced.
TEST_F(UploadBodyFile, AFileThatChangesOnTheWayFailsTheBody) {
    const QByteArray bytes = RandomBytes(3 * 57 * 4096 + 10, 11);
    const struct {
        const char *Name;
        std::function<void(const QString &)> Change;
    } cases[] = {
        {"cut short",
         [](const QString &APath) { ASSERT_EQ(::truncate(APath.toUtf8().constData(), 1000), 0); }},
        {"grown",
         [](const QString &APath) {
             QFile file(APath);
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write("more");
         }},
        {"rewritten in place, same size",
         [](const QString &APath) {
             const timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD, APath.toUtf8().constData(), times, 0), 0);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Write(QStringLiteral("take.flac"), bytes);
        TUploadBody body(Prefix, Open(path));
        const qint64 announced = body.Size();
        std::vector<char> buffer(65536);
        qint64 sent = 0;
        sent += qint64(body.Read(buffer.data(), buffer.size()));
        ASSERT_GT(sent, 0);
        c.Change(path);
        while (const std::size_t n = body.Read(buffer.data(), buffer.size()))
            sent += qint64(n);
        EXPECT_TRUE(body.Failed());
        EXPECT_LT(sent, announced);
        EXPECT_EQ(body.ErrorText(),
                  QStringLiteral("The file changed while it was being sent: %1").arg(path));
        EXPECT_EQ(body.Read(buffer.data(), buffer.size()), 0u);
    }
}

// Even a change made after the last piece was counted but before it is sent
// is caught before the body is complete.
TEST_F(UploadBodyFile, AChangeBeforeTheLastPieceIsCaught) {
    const QByteArray bytes = RandomBytes(100, 12);
    const QString path = Write(QStringLiteral("small.flac"), bytes);
    TUploadBody body(Prefix, Open(path));
    const qint64 announced = body.Size();
    char buffer[10];
    ASSERT_EQ(body.Read(buffer, sizeof buffer), sizeof buffer); // inside the prefix
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("x");
    file.close();
    EXPECT_LT(ReadAll(body, 64).size() + qint64(sizeof buffer), announced);
    EXPECT_TRUE(body.Failed());
}

} // namespace
