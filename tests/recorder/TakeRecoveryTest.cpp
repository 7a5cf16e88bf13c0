// Recovery of unfinished takes: journals left behind become "(recovered)"
// FLAC files up to their last whole block, damaged ones are kept aside and
// listed, a take still being recorded is left alone, and a recorder killed
// in mid-take loses less than a second.

#include "JournalFiles.h"
#include "TakeExpectations.h"
#include "recorder/TakeFiles.h"
#include "recorder/TakeWriter.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sndfile.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

class TakeRecoveryTest : public testing::Test {
protected:
    QTemporaryDir FDir;
    QString JournalFolder() const { return FDir.filePath(QStringLiteral("Takes in progress")); }
    QString TakesFolder() const { return FDir.filePath(QStringLiteral("VoiceTracks")); }
    QString Journal(const char *AName) const {
        return JournalFolder() + QLatin1Char('/') + QString::fromUtf8(AName);
    }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(JournalFolder())); }

    QStringList JournalEntries() const {
        return QDir(JournalFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

TEST_F(TakeRecoveryTest, AJournalLeftBehindBecomesARecoveredTakeWithoutItsTornBlock) {
    THandJournal Hand =
        MakeJournal(SignalHeader(QStringLiteral("Drive: time")), {4800, 4800, 4800, 4800});
    Hand.FBytes.truncate(Hand.FBlockEnds[2] + 1234); // power went in the fourth block
    ASSERT_TRUE(SaveBytes(Journal("20240101-080000-1-0.take"), Hand.FBytes));

    const QList<TRecoveredTake> Takes = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Takes.size(), 1);
    const TRecoveredTake &Take = Takes[0];
    EXPECT_EQ(Take.FError, QString());
    EXPECT_EQ(Take.FTakeName, QStringLiteral("Drive: time"));
    EXPECT_EQ(Take.FFileName, TakesFolder() + QStringLiteral("/Drive time (recovered).flac"));
    EXPECT_EQ(Take.FFrames, 3 * 4800);
    EXPECT_EQ(Take.LengthMs(), 300);
    EXPECT_EQ(Take.FStartMs, 1700000000123);
    ExpectSignal(Take.FFileName, 3 * 4800);
    EXPECT_EQ(JournalEntries(), QStringList());
    // Done once: the next start finds nothing.
    EXPECT_TRUE(RecoverTakes(JournalFolder(), TakesFolder()).isEmpty());
}

TEST_F(TakeRecoveryTest, EveryJournalIsRecoveredAndNamesDoNotCollide) {
    ASSERT_TRUE(QDir().mkpath(TakesFolder()));
    ASSERT_TRUE(SaveBytes(TakesFolder() + QStringLiteral("/News (recovered).flac"), "older"));
    for (const char *Name : {"a.take", "b.take", "c.take"})
        ASSERT_TRUE(SaveBytes(Journal(Name),
                              MakeJournal(SignalHeader(QStringLiteral("News")), {960}).FBytes));

    const QList<TRecoveredTake> Takes = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Takes.size(), 3);
    QStringList Files;
    for (const TRecoveredTake &Take : Takes) {
        EXPECT_EQ(Take.FError, QString());
        ExpectSignal(Take.FFileName, 960);
        Files << QFileInfo(Take.FFileName).fileName();
    }
    EXPECT_EQ(Files, (QStringList{QStringLiteral("News (recovered) (2).flac"),
                                  QStringLiteral("News (recovered) (3).flac"),
                                  QStringLiteral("News (recovered) (4).flac")}));
    EXPECT_EQ(ReadSound(TakesFolder() + QStringLiteral("/News (recovered).flac"), nullptr).size(),
              0u);
    EXPECT_EQ(JournalEntries(), QStringList());
}

struct TBadJournalCase {
    const char *FScenario;
    int FSize; // bytes of the header kept; -1: whole header with a flipped byte
};

void PrintTo(const TBadJournalCase &ACase, std::ostream *AStream) {
    *AStream << ACase.FScenario;
}

class TakeRecoveryBadHeader : public TakeRecoveryTest,
                              public testing::WithParamInterface<TBadJournalCase> {};

TEST_P(TakeRecoveryBadHeader, IsKeptAsideAndListed) {
    QByteArray Bytes = MakeJournal(SignalHeader(QStringLiteral("Odd")), {4800}).FBytes;
    if (GetParam().FSize < 0)
        Bytes[20] = char(Bytes[20] ^ 0x10);
    else
        Bytes.truncate(GetParam().FSize);
    ASSERT_TRUE(SaveBytes(Journal("odd.take"), Bytes));

    const QList<TRecoveredTake> Takes = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Takes.size(), 1);
    EXPECT_FALSE(Takes[0].FError.isEmpty());
    EXPECT_TRUE(Takes[0].FFileName.isEmpty());
    EXPECT_EQ(Takes[0].FJournal, Journal("odd.take"));
    EXPECT_EQ(Takes[0].FKeptAs, Journal("odd.take.damaged"));
    EXPECT_EQ(JournalEntries(), QStringList{QStringLiteral("odd.take.damaged")});
    QFile Kept(Takes[0].FKeptAs);
    ASSERT_TRUE(Kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(Kept.readAll(), Bytes); // as found, byte for byte
    EXPECT_TRUE(RecoverTakes(JournalFolder(), TakesFolder()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Damage, TakeRecoveryBadHeader,
                         testing::Values(TBadJournalCase{"empty_file", 0},
                                         TBadJournalCase{"torn_header", 500},
                                         TBadJournalCase{"flipped_byte", -1}),
                         [](const auto &AInfo) { return std::string(AInfo.param.FScenario); });

TEST_F(TakeRecoveryTest, AJournalWithoutAudioIsRemovedAndSaidSo) {
    ASSERT_TRUE(SaveBytes(Journal("none.take"),
                          MakeJournal(SignalHeader(QStringLiteral("Silent")), {}).FBytes));
    const QList<TRecoveredTake> Takes = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Takes.size(), 1);
    EXPECT_EQ(Takes[0].FError, QStringLiteral("The take holds no audio."));
    EXPECT_TRUE(Takes[0].FFileName.isEmpty());
    EXPECT_EQ(JournalEntries(), QStringList());
}

TEST_F(TakeRecoveryTest, ATakeStillBeingRecordedIsLeftAlone) {
    TTakeOptions Options;
    Options.FTakeName = QStringLiteral("Running");
    Options.FJournalFolder = JournalFolder();
    Options.FTakesFolder = TakesFolder();
    TTakeWriter Writer(Options);
    ASSERT_TRUE(Writer.Start());
    const std::vector<float> Block = SignalBlock(0, 4800, 2);
    ASSERT_TRUE(Writer.Write(Block.data(), 4800));

    EXPECT_TRUE(RecoverTakes(JournalFolder(), TakesFolder()).isEmpty());
    EXPECT_EQ(JournalEntries().size(), 1);
    const TTakeResult Result = Writer.Stop();
    EXPECT_EQ(Result.FState, tsFinished);
    ExpectSignal(Result.FFileName, 4800);
}

// --- A recorder killed in mid-take -------------------------------------

struct TChild {
    pid_t FPid = -1;
    int FOut = -1;
};

TChild StartRecorder(const QStringList &AArguments) {
    int Pipe[2];
    if (::pipe(Pipe) != 0)
        return {};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
    std::vector<std::string> Texts{VOCARRA_TAKE_RECORDER};
    for (const QString &Argument : AArguments)
        Texts.push_back(Argument.toStdString());
    std::vector<char *> Argv;
    for (std::string &Text : Texts)
        Argv.push_back(Text.data());
    Argv.push_back(nullptr);
    TChild Child;
    const int Error =
        posix_spawn(&Child.FPid, VOCARRA_TAKE_RECORDER, &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    ::close(Pipe[1]);
    if (Error != 0) {
        ::close(Pipe[0]);
        return {};
    }
    Child.FOut = Pipe[0];
    return Child;
}

// Reads "frames N" lines until N reaches AFrames; the last N seen, or -1
// when the child ends or stays silent too long.
long long WaitForFrames(int AFd, long long AFrames) {
    std::string Pending;
    long long Last = -1;
    while (Last < AFrames) {
        pollfd Poll{AFd, POLLIN, 0};
        // Only a guard against a hung child: a tenth of a second is normal.
        const int Ready = ::poll(&Poll, 1, 30000);
        if (Ready < 0 && errno == EINTR)
            continue;
        if (Ready <= 0)
            return -1;
        char Buffer[256];
        const ssize_t Got = ::read(AFd, Buffer, sizeof Buffer);
        if (Got <= 0)
            return -1;
        Pending.append(Buffer, std::size_t(Got));
        for (std::size_t End; (End = Pending.find('\n')) != std::string::npos;) {
            const std::string Line = Pending.substr(0, End);
            Pending.erase(0, End + 1);
            if (Line.rfind("frames ", 0) == 0)
                Last = std::stoll(Line.substr(7));
        }
    }
    return Last;
}

TEST_F(TakeRecoveryTest, AKilledRecorderLosesLessThanASecond) {
    TChild Child = StartRecorder({JournalFolder(), TakesFolder(), QStringLiteral("Killed take")});
    ASSERT_GT(Child.FPid, 0);
    const long long Reported = WaitForFrames(Child.FOut, 5 * SignalRate / 2);
    ::kill(Child.FPid, SIGKILL);
    int Status = 0;
    ASSERT_EQ(::waitpid(Child.FPid, &Status, 0), Child.FPid);
    ::close(Child.FOut);
    ASSERT_GE(Reported, 5 * SignalRate / 2) << "the recorder did not get going";
    ASSERT_TRUE(WIFSIGNALED(Status));
    ASSERT_EQ(JournalEntries().size(), 1);

    const QList<TRecoveredTake> Takes = RecoverTakes(JournalFolder(), TakesFolder());
    ASSERT_EQ(Takes.size(), 1);
    const TRecoveredTake &Take = Takes[0];
    EXPECT_EQ(Take.FError, QString());
    EXPECT_EQ(Take.FTakeName, QStringLiteral("Killed take"));
    EXPECT_EQ(Take.FFileName, TakesFolder() + QStringLiteral("/Killed take (recovered).flac"));
    EXPECT_GE(Take.FFrames, Reported - SignalRate);
    ExpectSignal(Take.FFileName, Take.FFrames);
    EXPECT_EQ(JournalEntries(), QStringList());
}

} // namespace
