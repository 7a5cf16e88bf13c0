#include "recorder/TakeWriter.h"

#include "core/NativeNames.h"
#include "core/Utils.h"
#include "recorder/TakeFiles.h"
#include "recorder/TakeJournal.h"

#include <QDateTime>
#include <QDir>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// The journal reaches the disk at least this often (in audio and in time),
// so a power loss costs less than a second of the take.
constexpr auto SyncInterval = std::chrono::milliseconds(500);
// How often the writer looks into the ring: short against the ring's length.
constexpr auto PollInterval = std::chrono::milliseconds(10);

QString ErrnoText(int AError) {
    return qt_error_string(AError);
}

int WriteAll(int AFd, const void *AData, std::size_t ASize) {
    const auto *Data = static_cast<const char *>(AData);
    while (ASize > 0) {
        const ssize_t Done = ::write(AFd, Data, ASize);
        if (Done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        Data += Done;
        ASize -= std::size_t(Done);
    }
    return 0;
}

// The journal file itself; the writer owns the descriptor.
class TFileSink final : public TTakeSink {
public:
    explicit TFileSink(int AFd) : FFd(AFd) {}
    int Write(const void *AData, std::size_t ASize) override { return WriteAll(FFd, AData, ASize); }
    int Sync() override { return ::fdatasync(FFd) == 0 ? 0 : errno; }

private:
    int FFd;
};

QString JournalName() {
    static std::atomic<unsigned> Counter{0};
    return QStringLiteral("%1-%2-%3.take")
        .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(::getpid())
        .arg(Counter.fetch_add(1));
}

void SyncFolder(const QString &AFolder) {
    const int Fd = ::open(NativeName(AFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return;
    ::fsync(Fd);
    ::close(Fd);
}

QString WriteErrorText(int AError) {
    switch (AError) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("The disk is full.");
    case EFBIG:
        return QStringLiteral("The take has reached the largest file size allowed.");
    default:
        return QStringLiteral("The take could not be written: %1.").arg(ErrnoText(AError));
    }
}

} // namespace

TTakeWriter::TTakeWriter(TTakeOptions AOptions) : FOptions(std::move(AOptions)) {
    if (FOptions.FChannels == 0)
        FOptions.FChannels = 1;
    if (FOptions.FRingFrames == 0)
        FOptions.FRingFrames = std::size_t(FOptions.FRate) * DefaultRingSeconds;
}

TTakeWriter::~TTakeWriter() {
    if (FThread.joinable())
        Stop();
    if (FFd >= 0)
        ::close(FFd);
}

bool TTakeWriter::Start(QString *AError) {
    const auto Fail = [&](const QString &AText) {
        if (FFd >= 0) {
            ::unlink(NativeName(FJournalPath).constData());
            ::close(FFd);
            FFd = -1;
        }
        if (AError)
            *AError = AText;
        return false;
    };
    if (State() != tsIdle)
        return Fail(QStringLiteral("The take has already been started."));
    TJournalHeader Header;
    Header.FRate = FOptions.FRate;
    Header.FChannels = FOptions.FChannels;
    Header.FStartMs = QDateTime::currentMSecsSinceEpoch();
    Header.FTakeName = FOptions.FTakeName;
    char Raw[JournalHeaderSize];
    if (!EncodeJournalHeader(Header, Raw))
        return Fail(QStringLiteral("The sound format cannot be recorded."));
    QString Folder = FOptions.FJournalFolder;
    while (Folder.size() > 1 && Folder.endsWith(QLatin1Char('/')))
        Folder.chop(1);
    if (!QDir().mkpath(Folder))
        return Fail(QStringLiteral("The folder %1 cannot be created.").arg(Folder));
    FJournalPath = Folder + QLatin1Char('/') + JournalName();
    FFd =
        ::open(NativeName(FJournalPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (FFd < 0)
        return Fail(
            QStringLiteral("The take cannot be recorded in %1: %2.").arg(Folder, ErrnoText(errno)));
    // Tells RecoverTakes of another instance that this take is alive.
    ::flock(FFd, LOCK_EX);
    if (const int Error = WriteAll(FFd, Raw, sizeof Raw); Error != 0)
        return Fail(WriteErrorText(Error));
    if (::fdatasync(FFd) != 0)
        return Fail(WriteErrorText(errno));
    SyncFolder(Folder);
    FGoodBytes = JournalHeaderSize;

    FSink = std::make_unique<TFileSink>(FFd);
    if (FOptions.FWrapSink)
        FSink = FOptions.FWrapSink(std::move(FSink));
    FRing = std::make_unique<TSampleRing>(FOptions.FRingFrames * FOptions.FChannels);
    FState.store(tsRecording, std::memory_order_release);
    FThread = std::thread([this] { Run(); });
    return true;
}

bool TTakeWriter::Write(const float *ASamples, std::size_t AFrames) {
    if (FEnded.load(std::memory_order_acquire) ||
        FState.load(std::memory_order_acquire) != tsRecording)
        return false;
    return FRing->Push(ASamples, AFrames * FOptions.FChannels);
}

TTakeResult TTakeWriter::Stop() {
    if (FThread.joinable()) {
        {
            const std::lock_guard Lock(FWakeLock);
            FStopRequested.store(true, std::memory_order_release);
        }
        FWake.notify_one();
        FThread.join();
    }
    return Result();
}

TTakeResult TTakeWriter::Result() const {
    TTakeResult Result;
    {
        const std::lock_guard Lock(FResultLock);
        Result = FResult;
    }
    if (Result.FState == tsIdle)
        Result.FState = State();
    Result.FRate = FOptions.FRate;
    Result.FOverruns = Overruns();
    Result.FLostFrames = LostFrames();
    if (Result.FFrames == 0)
        Result.FFrames = Frames();
    return Result;
}

void TTakeWriter::Run() {
    const std::size_t Channels = FOptions.FChannels;
    // Blocks of at most a tenth of a second; the header's room in front of
    // the samples lets one write put the whole block on the disk.
    const std::size_t BlockFrames = std::max<std::size_t>(FOptions.FRate / 10, 1);
    constexpr std::size_t HeadFloats = JournalBlockHeaderSize / sizeof(float);
    const auto Buffer = std::make_unique<float[]>(HeadFloats + BlockFrames * Channels);
    float *const Samples = Buffer.get() + HeadFloats;
    auto LastSync = TClock::now();
    std::size_t Unsynced = 0;
    for (;;) {
        bool Stopping = false;
        {
            const std::lock_guard Lock(FWakeLock);
            Stopping = FStopRequested.load(std::memory_order_acquire);
        }
        for (;;) {
            const std::size_t Got = FRing->Pop(Samples, BlockFrames * Channels);
            if (Got == 0)
                break;
            if (!WriteBlock(Buffer.get(), Got / Channels))
                return;
            Unsynced += Got / Channels;
            if (Unsynced * 2 >= FOptions.FRate) {
                if (!SyncJournal())
                    return;
                Unsynced = 0;
                LastSync = TClock::now();
            }
            if (Got < BlockFrames * Channels)
                break;
        }
        if (Unsynced > 0 && (Stopping || TClock::now() - LastSync >= SyncInterval)) {
            if (!SyncJournal())
                return;
            Unsynced = 0;
            LastSync = TClock::now();
        }
        if (Stopping)
            break;
        std::unique_lock Lock(FWakeLock);
        FWake.wait_for(Lock, PollInterval,
                       [this] { return FStopRequested.load(std::memory_order_acquire); });
    }
    FEnded.store(true, std::memory_order_release);
    FState.store(tsFinishing, std::memory_order_release);
    Finish(QString());
}

bool TTakeWriter::WriteBlock(float *ABlock, std::size_t AFrames) {
    constexpr std::size_t HeadFloats = JournalBlockHeaderSize / sizeof(float);
    const float *Samples = ABlock + HeadFloats;
    char Head[JournalBlockHeaderSize];
    EncodeBlockHeader(FSequence, Samples, std::uint32_t(AFrames), FOptions.FChannels, Head);
    std::memcpy(ABlock, Head, sizeof Head);
    const std::size_t Bytes = JournalBlockHeaderSize + AFrames * FOptions.FChannels * sizeof(float);
    if (const int Error = FSink->Write(ABlock, Bytes); Error != 0) {
        EndWithError(Error);
        return false;
    }
    ++FSequence;
    FGoodBytes += Bytes;
    FFrames.fetch_add(qint64(AFrames), std::memory_order_relaxed);
    return true;
}

bool TTakeWriter::SyncJournal() {
    if (const int Error = FSink->Sync(); Error != 0) {
        EndWithError(Error);
        return false;
    }
    return true;
}

void TTakeWriter::EndWithError(int AError) {
    FEnded.store(true, std::memory_order_release);
    FState.store(tsFinishing, std::memory_order_release);
    // A block the disk took only part of is cut off, so the journal ends on
    // a whole block whatever happens next.
    if (::ftruncate(FFd, off_t(FGoodBytes)) == 0)
        ::fdatasync(FFd);
    Finish(QStringLiteral("%1 Recording stopped after %2; what was recorded is kept.")
               .arg(WriteErrorText(AError), FormatTimeMs(Frames() * 1000 / FOptions.FRate)));
}

void TTakeWriter::Finish(const QString &AError) {
    FSink.reset();
    TTakeResult Result;
    Result.FError = AError;
    const TPublishedTake Published =
        PublishJournal(FJournalPath, FOptions.FTakesFolder, TakeBaseName(FOptions.FTakeName));
    Result.FFrames = Frames();
    if (!Published.FFileName.isEmpty()) {
        Result.FFileName = Published.FFileName;
        Result.FFrames = Published.FFrames;
        RemoveJournal(FJournalPath);
    } else if (Published.FEmpty) {
        // Nothing was recorded: no file to make, nothing to recover.
        RemoveJournal(FJournalPath);
        if (Result.FError.isEmpty())
            Result.FError = Published.FError;
    } else {
        Result.FJournal = FJournalPath;
        const QString Kept =
            QStringLiteral("The take could not be saved (%1); it is recovered on the next start.")
                .arg(Published.FError);
        Result.FError = Result.FError.isEmpty() ? Kept : Result.FError + QLatin1Char(' ') + Kept;
    }
    // The lock goes with the descriptor: a kept journal is free for recovery.
    ::close(FFd);
    FFd = -1;
    Result.FState = Result.FError.isEmpty() ? tsFinished : tsFailed;
    {
        const std::lock_guard Lock(FResultLock);
        FResult = Result;
    }
    FState.store(Result.FState, std::memory_order_release);
}
