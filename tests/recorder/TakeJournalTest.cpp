// The journal format: the header keeps what a take needs to be recovered, a
// damaged header is told apart, and a reader stops at the first torn or
// damaged block.

#include "JournalFiles.h"
#include "support/QStringPrinter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(TakeJournalHeader, KeepsRateChannelsStartAndName) {
    const TJournalHeader In = SignalHeader(QStringLiteral("Früh: Wetter – „live“ 🎙"), 1);
    char Raw[JournalHeaderSize];
    ASSERT_TRUE(EncodeJournalHeader(In, Raw));
    TJournalHeader Out;
    ASSERT_TRUE(DecodeJournalHeader(Raw, sizeof Raw, &Out));
    EXPECT_EQ(Out.FRate, In.FRate);
    EXPECT_EQ(Out.FChannels, In.FChannels);
    EXPECT_EQ(Out.FStartMs, In.FStartMs);
    EXPECT_EQ(Out.FTakeName, In.FTakeName);
}

TEST(TakeJournalHeader, ALongNameIsCutAtACharacterEdge) {
    // Three bytes each in UTF-8: 960 is no multiple of three plus one.
    const QString Long(700, QChar(0x20AC));
    char Raw[JournalHeaderSize];
    ASSERT_TRUE(EncodeJournalHeader(SignalHeader(QStringLiteral("x") + Long), Raw));
    TJournalHeader Out;
    ASSERT_TRUE(DecodeJournalHeader(Raw, sizeof Raw, &Out));
    EXPECT_EQ(Out.FTakeName, QStringLiteral("x") + QString(319, QChar(0x20AC)));
}

TEST(TakeJournalHeader, RefusesValuesItCannotStore) {
    char Raw[JournalHeaderSize];
    TJournalHeader Header = SignalHeader(QStringLiteral("a"));
    Header.FChannels = 0;
    EXPECT_FALSE(EncodeJournalHeader(Header, Raw));
    Header = SignalHeader(QStringLiteral("a"));
    Header.FRate = 0;
    EXPECT_FALSE(EncodeJournalHeader(Header, Raw));
}

struct THeaderDamage {
    const char *FName;
    std::size_t FOffset; // byte flipped
};

void PrintTo(const THeaderDamage &ACase, std::ostream *AStream) {
    *AStream << ACase.FName;
}

class TakeJournalBadHeader : public testing::TestWithParam<THeaderDamage> {};

TEST_P(TakeJournalBadHeader, IsToldApart) {
    char Raw[JournalHeaderSize];
    ASSERT_TRUE(EncodeJournalHeader(SignalHeader(QStringLiteral("News")), Raw));
    Raw[GetParam().FOffset] ^= 0x40;
    TJournalHeader Out;
    EXPECT_FALSE(DecodeJournalHeader(Raw, sizeof Raw, &Out));
}

INSTANTIATE_TEST_SUITE_P(Damage, TakeJournalBadHeader,
                         testing::Values(THeaderDamage{"magic", 0}, THeaderDamage{"version", 8},
                                         THeaderDamage{"rate", 17}, THeaderDamage{"name", 44},
                                         THeaderDamage{"padding", 900},
                                         THeaderDamage{"checksum", JournalHeaderSize - 1}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(TakeJournalHeader, AShortHeaderIsNoHeader) {
    char Raw[JournalHeaderSize];
    ASSERT_TRUE(EncodeJournalHeader(SignalHeader(QStringLiteral("News")), Raw));
    TJournalHeader Out;
    EXPECT_FALSE(DecodeJournalHeader(Raw, JournalHeaderSize - 1, &Out));
}

TEST(TakeJournalCrc, MatchesTheStandardCheckValue) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("56789", 5, Crc32("1234", 4)), 0xCBF43926u);
}

// Damage to the journal after its header, and the frames a reader still
// gets out of it.
struct TBlockDamage {
    const char *FName;
    int FBlock;        // the block damaged (of 4 blocks of 1000, 500, 2000, 700 frames)
    bool FTruncate;    // cut the file inside that block instead of flipping a byte
    qsizetype FInto;   // bytes into the block
    long long FFrames; // frames read
};

void PrintTo(const TBlockDamage &ACase, std::ostream *AStream) {
    *AStream << ACase.FName;
}

class TakeJournalBlocks : public testing::TestWithParam<TBlockDamage> {
protected:
    QTemporaryDir FDir;
};

TEST_P(TakeJournalBlocks, AreReadUpToTheFirstDamagedOne) {
    const TBlockDamage &Case = GetParam();
    THandJournal Journal =
        MakeJournal(SignalHeader(QStringLiteral("Blocks")), {1000, 500, 2000, 700});
    if (Case.FBlock >= 0) {
        const qsizetype Start = Case.FBlock == 0 ? qsizetype(JournalHeaderSize)
                                                 : Journal.FBlockEnds[std::size_t(Case.FBlock - 1)];
        if (Case.FTruncate)
            Journal.FBytes.truncate(Start + Case.FInto);
        else
            Journal.FBytes[Start + Case.FInto] = char(Journal.FBytes[Start + Case.FInto] ^ 0x01);
    }
    const QString Path = FDir.filePath(QStringLiteral("a.take"));
    ASSERT_TRUE(SaveBytes(Path, Journal.FBytes));

    TJournalReader Reader;
    ASSERT_TRUE(Reader.Open(Path));
    EXPECT_EQ(Reader.Header().FTakeName, QStringLiteral("Blocks"));
    long long Frames = 0;
    while (const std::size_t Got = Reader.NextBlock()) {
        const std::vector<float> Expected = SignalBlock(Frames, Got, 2);
        ASSERT_EQ(std::memcmp(Reader.Samples(), Expected.data(), Expected.size() * sizeof(float)),
                  0)
            << "block starting at frame " << Frames;
        Frames += (long long)Got;
    }
    EXPECT_EQ(Frames, Case.FFrames);
    EXPECT_EQ(Reader.Frames(), Case.FFrames);
}

INSTANTIATE_TEST_SUITE_P(Damage, TakeJournalBlocks,
                         testing::Values(TBlockDamage{"whole", -1, false, 0, 4200},
                                         TBlockDamage{"last_block_torn", 3, true, 100, 3500},
                                         TBlockDamage{"last_block_header_torn", 3, true, 7, 3500},
                                         TBlockDamage{"cut_after_a_block", 3, true, 0, 3500},
                                         TBlockDamage{"sample_flipped", 1, false, 1000, 1000},
                                         TBlockDamage{"size_flipped", 2, false, 8, 1500},
                                         TBlockDamage{"magic_flipped", 0, false, 0, 0}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FName); });

TEST(TakeJournalReader, SaysWhenTheHeaderIsBad) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("bad.take"));
    ASSERT_TRUE(SaveBytes(Path, QByteArray(2000, 'x')));
    TJournalReader Reader;
    QString Error;
    EXPECT_FALSE(Reader.Open(Path, &Error));
    EXPECT_TRUE(Reader.BadHeader());
    EXPECT_FALSE(Error.isEmpty());

    EXPECT_FALSE(Reader.Open(Dir.filePath(QStringLiteral("missing.take")), &Error));
    EXPECT_FALSE(Reader.BadHeader());
}

} // namespace
