// The take writer against real files in temporary folders: a take becomes a
// FLAC file with exactly what was recorded, named from the take without
// replacing anything; a failing or full disk ends the take with what was
// written kept and the reason stated; a stalled disk loses nothing while the
// ring has room, and what it cannot hold is counted.

#include "recorder/TakeWriter.h"

#include "TakeExpectations.h"
#include "recorder/TakeFiles.h"
#include "recorder/TakeJournal.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <condition_variable>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <sndfile.h>
#include <sys/resource.h>

namespace {

class TakeWriterTest : public testing::Test {
protected:
    QTemporaryDir FDir;
    QString JournalFolder() const { return FDir.filePath(QStringLiteral("Takes in progress")); }
    QString TakesFolder() const { return FDir.filePath(QStringLiteral("VoiceTracks")); }

    TTakeOptions Options(const QString &AName) const {
        TTakeOptions Options;
        Options.FTakeName = AName;
        Options.FJournalFolder = JournalFolder();
        Options.FTakesFolder = TakesFolder();
        return Options;
    }

    // A plain file where a folder is expected.
    static bool SaveBytesToFile(const QString &APath) {
        QFile File(APath);
        return File.open(QIODevice::WriteOnly) && File.write("not a folder") > 0;
    }

    QStringList Journals() const {
        return QDir(JournalFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    // Hands AFrames frames of the signal over in capture-sized pieces;
    // returns how many were taken.
    static long long Feed(TTakeWriter &AWriter, long long AFrames, std::size_t APiece = 333) {
        long long Taken = 0;
        for (long long Done = 0; Done < AFrames;) {
            const std::size_t Size = std::size_t(std::min<long long>(APiece, AFrames - Done));
            const std::vector<float> Block = SignalBlock(Done, Size, 2);
            if (AWriter.Write(Block.data(), Size))
                Taken += (long long)Size;
            Done += (long long)Size;
        }
        return Taken;
    }
};

TEST_F(TakeWriterTest, AStoppedTakeIsAFlacFileWithExactlyWhatWasRecorded) {
    TTakeWriter Writer(Options(QStringLiteral("Morning intro")));
    QString Error;
    ASSERT_TRUE(Writer.Start(&Error)) << Error.toStdString();
    EXPECT_EQ(Writer.State(), tsRecording);
    EXPECT_EQ(Journals().size(), 1);
    constexpr long long Frames = SignalRate * 3 / 2 + 17;
    EXPECT_EQ(Feed(Writer, Frames), Frames);
    const TTakeResult Result = Writer.Stop();

    EXPECT_EQ(Result.FState, tsFinished);
    EXPECT_EQ(Result.FError, QString());
    EXPECT_EQ(Result.FFileName, TakesFolder() + QStringLiteral("/Morning intro.flac"));
    EXPECT_EQ(Result.FFrames, Frames);
    EXPECT_EQ(Result.LengthMs(), 1500);
    EXPECT_EQ(Result.FOverruns, 0u);
    EXPECT_TRUE(Result.FJournal.isEmpty());
    EXPECT_EQ(Writer.State(), tsFinished);
    ExpectSignal(Result.FFileName, Frames);
    // Nothing is left to recover, and no temporary file beside the take.
    EXPECT_EQ(Journals(), QStringList());
    EXPECT_EQ(QDir(TakesFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Morning intro.flac")});
}

// Passes everything on and tells the test how far the journal has got.
class TWatchedSink final : public TTakeSink {
public:
    struct TWatch {
        std::mutex FLock;
        std::condition_variable FChanged;
        std::size_t FBytes = 0;
        int FSyncs = 0;
    };
    TWatchedSink(std::unique_ptr<TTakeSink> AFile, TWatch *AWatch)
        : FFile(std::move(AFile)), FWatch(AWatch) {}
    int Write(const void *AData, std::size_t ASize) override {
        const int Result = FFile->Write(AData, ASize);
        const std::lock_guard Lock(FWatch->FLock);
        FWatch->FBytes += ASize;
        FWatch->FChanged.notify_all();
        return Result;
    }
    int Sync() override {
        const int Result = FFile->Sync();
        const std::lock_guard Lock(FWatch->FLock);
        ++FWatch->FSyncs;
        FWatch->FChanged.notify_all();
        return Result;
    }

private:
    std::unique_ptr<TTakeSink> FFile;
    TWatch *FWatch;
};

TEST_F(TakeWriterTest, TheJournalIsWrittenAndSyncedWhileTheTakeIsRecorded) {
    TWatchedSink::TWatch Watch;
    TTakeOptions Opts = Options(QStringLiteral("Live"));
    Opts.FWrapSink = [&Watch](std::unique_ptr<TTakeSink> AFile) -> std::unique_ptr<TTakeSink> {
        return std::make_unique<TWatchedSink>(std::move(AFile), &Watch);
    };
    TTakeWriter Writer(Opts);
    ASSERT_TRUE(Writer.Start());
    Feed(Writer, SignalRate);
    // A second of audio is at least two flushes' worth.
    const std::size_t Bytes = SignalRate * 2 * 4;
    {
        std::unique_lock Lock(Watch.FLock);
        Watch.FChanged.wait(Lock, [&] { return Watch.FBytes > Bytes && Watch.FSyncs >= 2; });
    }
    EXPECT_EQ(Writer.State(), tsRecording);
    EXPECT_EQ(Writer.Frames(), SignalRate);
    EXPECT_GT(QFileInfo(Writer.JournalPath()).size(), qint64(JournalHeaderSize + Bytes));
    EXPECT_EQ(Writer.Stop().FState, tsFinished);
}

TEST_F(TakeWriterTest, ATakeWithoutAudioMakesNoFile) {
    TTakeWriter Writer(Options(QStringLiteral("Nothing")));
    ASSERT_TRUE(Writer.Start());
    const TTakeResult Result = Writer.Stop();
    EXPECT_EQ(Result.FState, tsFailed);
    EXPECT_EQ(Result.FError, QStringLiteral("The take holds no audio."));
    EXPECT_TRUE(Result.FFileName.isEmpty());
    EXPECT_EQ(Journals(), QStringList());
}

TEST_F(TakeWriterTest, AJournalThatCannotBeCreatedIsSaidAtStart) {
    ASSERT_TRUE(SaveBytesToFile(JournalFolder()));
    TTakeWriter Writer(Options(QStringLiteral("x")));
    QString Error;
    EXPECT_FALSE(Writer.Start(&Error));
    EXPECT_TRUE(Error.contains(QStringLiteral("cannot be created"))) << Error.toStdString();
    EXPECT_FALSE(Writer.Write(SignalBlock(0, 10, 2).data(), 10));
    EXPECT_EQ(Writer.State(), tsIdle);
}

// --- Names ---------------------------------------------------------------

struct TNameCase {
    const char *FScenario;
    const char *FTakeName;
    std::vector<const char *> FExisting; // files already in the folder
    const char *FFileName;
};

void PrintTo(const TNameCase &ACase, std::ostream *AStream) {
    *AStream << ACase.FScenario;
}

class TakeWriterNames : public TakeWriterTest, public testing::WithParamInterface<TNameCase> {};

TEST_P(TakeWriterNames, NeverReplaceAFile) {
    const TNameCase &Case = GetParam();
    ASSERT_TRUE(QDir().mkpath(TakesFolder()));
    for (const char *Existing : Case.FExisting) {
        QFile File(TakesFolder() + QLatin1Char('/') + QString::fromUtf8(Existing));
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write("keep me");
    }
    TTakeWriter Writer(Options(QString::fromUtf8(Case.FTakeName)));
    ASSERT_TRUE(Writer.Start());
    Feed(Writer, 4800);
    const TTakeResult Result = Writer.Stop();
    EXPECT_EQ(Result.FFileName,
              TakesFolder() + QLatin1Char('/') + QString::fromUtf8(Case.FFileName));
    ExpectSignal(Result.FFileName, 4800);
    for (const char *Existing : Case.FExisting) {
        QFile File(TakesFolder() + QLatin1Char('/') + QString::fromUtf8(Existing));
        ASSERT_TRUE(File.open(QIODevice::ReadOnly));
        EXPECT_EQ(File.readAll(), QByteArray("keep me")) << Existing;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, TakeWriterNames,
    testing::Values(
        TNameCase{"plain", "News at nine", {}, "News at nine.flac"},
        TNameCase{"forbidden_characters", "Talk: \"A/B\" <live>?*|\\", {}, "Talk AB live.flac"},
        TNameCase{"control_characters_and_blanks", "  \tTab\nname  ", {}, "Tabname.flac"},
        TNameCase{"nothing_left", " ?/ ", {}, "Take.flac"},
        TNameCase{"non_latin", "Утро – 朝", {}, "Утро – 朝.flac"},
        TNameCase{"taken", "News", {"News.flac"}, "News (2).flac"},
        TNameCase{"taken_twice", "News", {"News.flac", "News (2).flac"}, "News (3).flac"},
        TNameCase{"gap_is_used", "News", {"News.flac", "News (3).flac"}, "News (2).flac"},
        TNameCase{"other_case_is_another_name", "news", {"News.flac"}, "news.flac"}),
    [](const auto &AInfo) { return std::string(AInfo.param.FScenario); });

// --- Failing disks -------------------------------------------------------

// Takes ABudget bytes of the journal, then fails with AError (after writing
// what is left of the budget, as a disk that fills up in mid-write does).
class TFailingSink final : public TTakeSink {
public:
    TFailingSink(std::unique_ptr<TTakeSink> AFile, std::size_t ABudget, int AError)
        : FFile(std::move(AFile)), FBudget(ABudget), FError(AError) {}
    int Write(const void *AData, std::size_t ASize) override {
        if (ASize <= FBudget) {
            FBudget -= ASize;
            return FFile->Write(AData, ASize);
        }
        if (FBudget > 0)
            FFile->Write(AData, FBudget);
        FBudget = 0;
        return FError;
    }
    int Sync() override { return FFile->Sync(); }

private:
    std::unique_ptr<TTakeSink> FFile;
    std::size_t FBudget;
    int FError;
};

struct TFailureCase {
    const char *FScenario;
    int FError;
    const char *FText;
};

void PrintTo(const TFailureCase &ACase, std::ostream *AStream) {
    *AStream << ACase.FScenario;
}

class TakeWriterFailures : public TakeWriterTest,
                           public testing::WithParamInterface<TFailureCase> {};

// Whole blocks of a tenth of a second (4800 stereo frames) and their headers.
constexpr std::size_t BlockBytes = 16 + 4800 * 2 * 4;

TEST_P(TakeWriterFailures, EndTheTakeAndKeepWhatWasWritten) {
    TTakeOptions Opts = Options(QStringLiteral("Full"));
    // Room for seven blocks and part of the eighth.
    Opts.FWrapSink = [](std::unique_ptr<TTakeSink> AFile) -> std::unique_ptr<TTakeSink> {
        return std::make_unique<TFailingSink>(std::move(AFile), 7 * BlockBytes + 5000,
                                              GetParam().FError);
    };
    TTakeWriter Writer(Opts);
    ASSERT_TRUE(Writer.Start());
    // Feed in whole blocks' worth, so the writer's blocks are full ones.
    Feed(Writer, SignalRate * 2, 4800);
    const TTakeResult Result = Writer.Stop();

    EXPECT_EQ(Result.FState, tsFailed);
    EXPECT_TRUE(Result.FError.startsWith(QString::fromUtf8(GetParam().FText)))
        << Result.FError.toStdString();
    EXPECT_TRUE(Result.FError.contains(
        QStringLiteral("Recording stopped after 00:00.7; what was recorded is kept.")))
        << Result.FError.toStdString();
    EXPECT_EQ(Result.FFrames, 7 * 4800);
    ASSERT_FALSE(Result.FFileName.isEmpty());
    ExpectSignal(Result.FFileName, 7 * 4800);
    EXPECT_EQ(Journals(), QStringList());
    // The capture side learns it too: nothing more is taken.
    EXPECT_FALSE(Writer.Write(SignalBlock(0, 10, 2).data(), 10));
}

INSTANTIATE_TEST_SUITE_P(Errors, TakeWriterFailures,
                         testing::Values(TFailureCase{"disk_full", ENOSPC, "The disk is full."},
                                         TFailureCase{"quota", EDQUOT, "The disk is full."},
                                         TFailureCase{"io_error", EIO,
                                                      "The take could not be written: "}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FScenario); });

TEST_F(TakeWriterTest, AFailedTakeThatCannotBeSavedStaysRecoverable) {
    // A plain file where the voice-track folder should be: no FLAC can be
    // made, so the journal must stay.
    ASSERT_TRUE(SaveBytesToFile(TakesFolder()));
    TTakeOptions Opts = Options(QStringLiteral("Kept"));
    Opts.FWrapSink = [](std::unique_ptr<TTakeSink> AFile) -> std::unique_ptr<TTakeSink> {
        return std::make_unique<TFailingSink>(std::move(AFile), 3 * BlockBytes + 10, ENOSPC);
    };
    TTakeWriter Writer(Opts);
    ASSERT_TRUE(Writer.Start());
    Feed(Writer, SignalRate, 4800);
    const TTakeResult Result = Writer.Stop();
    EXPECT_EQ(Result.FState, tsFailed);
    EXPECT_TRUE(Result.FError.startsWith(QStringLiteral("The disk is full.")));
    EXPECT_TRUE(Result.FError.contains(QStringLiteral("it is recovered on the next start")))
        << Result.FError.toStdString();
    EXPECT_TRUE(Result.FFileName.isEmpty());
    ASSERT_FALSE(Result.FJournal.isEmpty());
    ASSERT_TRUE(QFile::exists(Result.FJournal));
    // Cut back to whole blocks: no torn block for recovery to meet.
    EXPECT_EQ(QFileInfo(Result.FJournal).size(), qint64(1024 + 3 * BlockBytes));

    ASSERT_TRUE(QFile::remove(TakesFolder()));
    const QList<TRecoveredTake> Recovered = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Recovered.size(), 1);
    EXPECT_EQ(Recovered[0].FError, QString());
    EXPECT_EQ(Recovered[0].FFileName, TakesFolder() + QStringLiteral("/Kept (recovered).flac"));
    ExpectSignal(Recovered[0].FFileName, 3 * 4800);
    EXPECT_EQ(Journals(), QStringList());
}

// The process may write no file beyond a size (EFBIG, as a full file system
// or a quota ends a write): the take stops at its last whole block.
TEST_F(TakeWriterTest, AFileSizeLimitEndsTheTakeCleanly) {
    rlimit Old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &Old), 0);
    const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Limited = Old;
    Limited.rlim_cur = 300000; // about 0.78 s of the journal, more than its FLAC needs
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Limited), 0);

    TTakeWriter Writer(Options(QStringLiteral("Limited")));
    ASSERT_TRUE(Writer.Start());
    Feed(Writer, SignalRate * 2, 4800);
    const TTakeResult Result = Writer.Stop();
    ::setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);

    EXPECT_EQ(Result.FState, tsFailed);
    EXPECT_TRUE(Result.FError.startsWith(
        QStringLiteral("The take has reached the largest file size allowed.")))
        << Result.FError.toStdString();
    const long long WholeBlocks = (300000 - 1024) / (long long)BlockBytes;
    EXPECT_EQ(Result.FFrames, WholeBlocks * 4800);
    ASSERT_FALSE(Result.FFileName.isEmpty()) << Result.FError.toStdString();
    ExpectSignal(Result.FFileName, WholeBlocks * 4800);
    EXPECT_EQ(Journals(), QStringList());
}

// --- A stalled disk ------------------------------------------------------

// Holds the first write until the test lets it go: the disk stalls while the
// test hands over audio.
class TStallingSink final : public TTakeSink {
public:
    struct TGate {
        std::mutex FLock;
        std::condition_variable FChanged;
        bool FStalled = false;
        bool FReleased = false;
    };
    TStallingSink(std::unique_ptr<TTakeSink> AFile, TGate *AGate)
        : FFile(std::move(AFile)), FGate(AGate) {}
    int Write(const void *AData, std::size_t ASize) override {
        std::unique_lock Lock(FGate->FLock);
        FGate->FStalled = true;
        FGate->FChanged.notify_all();
        FGate->FChanged.wait(Lock, [this] { return FGate->FReleased; });
        Lock.unlock();
        return FFile->Write(AData, ASize);
    }
    int Sync() override { return FFile->Sync(); }

private:
    std::unique_ptr<TTakeSink> FFile;
    TGate *FGate;
};

struct TStallCase {
    const char *FScenario;
    std::size_t FRingFrames; // 0: the default
    bool FLoses;
};

void PrintTo(const TStallCase &ACase, std::ostream *AStream) {
    *AStream << ACase.FScenario;
}

class TakeWriterStall : public TakeWriterTest, public testing::WithParamInterface<TStallCase> {};

TEST_P(TakeWriterStall, LosesNothingWhileTheRingHasRoomAndCountsTheRest) {
    TStallingSink::TGate Gate;
    TTakeOptions Opts = Options(QStringLiteral("Stall"));
    Opts.FRingFrames = GetParam().FRingFrames;
    Opts.FWrapSink = [&Gate](std::unique_ptr<TTakeSink> AFile) -> std::unique_ptr<TTakeSink> {
        return std::make_unique<TStallingSink>(std::move(AFile), &Gate);
    };
    TTakeWriter Writer(Opts);
    ASSERT_TRUE(Writer.Start());
    // The first period reaches the writer, which then hangs on the disk.
    constexpr std::size_t Period = SignalRate / 100;
    std::vector<float> Accepted;
    std::uint64_t Refused = 0;
    const auto Offer = [&](long long AFirst) {
        const std::vector<float> Block = SignalBlock(AFirst, Period, 2);
        if (Writer.Write(Block.data(), Period))
            Accepted.insert(Accepted.end(), Block.begin(), Block.end());
        else
            ++Refused;
    };
    Offer(0);
    {
        std::unique_lock Lock(Gate.FLock);
        Gate.FChanged.wait(Lock, [&] { return Gate.FStalled; });
    }
    // Two seconds of capture while the disk does not move.
    for (long long Frame = Period; Frame <= SignalRate * 2; Frame += Period)
        Offer(Frame);
    {
        const std::lock_guard Lock(Gate.FLock);
        Gate.FReleased = true;
    }
    Gate.FChanged.notify_all();
    const TTakeResult Result = Writer.Stop();

    EXPECT_EQ(Result.FState, tsFinished) << Result.FError.toStdString();
    EXPECT_EQ(Result.FOverruns, Refused);
    EXPECT_EQ(Result.FLostFrames, Refused * Period);
    EXPECT_EQ(Refused > 0, GetParam().FLoses);
    EXPECT_EQ(Result.FFrames, (long long)(Accepted.size() / 2));
    TSoundFileInfo Info;
    const std::vector<float> Samples = ReadSound(Result.FFileName, &Info);
    ASSERT_EQ(Samples.size(), Accepted.size());
    for (std::size_t i = 0; i < Samples.size(); ++i)
        ASSERT_NEAR(Samples[i], Accepted[i], Pcm24Tolerance) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(Rings, TakeWriterStall,
                         testing::Values(TStallCase{"default_ring_outlasts_two_seconds", 0, false},
                                         TStallCase{"one_second_ring_overruns", SignalRate, true}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FScenario); });

} // namespace
