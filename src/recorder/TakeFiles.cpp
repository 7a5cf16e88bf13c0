#include "recorder/TakeFiles.h"

#include "audio/SoundFile.h"
#include "core/NativeNames.h"
#include "core/Utils.h"
#include "recorder/TakeJournal.h"

#include <QDir>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString ErrnoText(int AError) {
    return qt_error_string(AError);
}

QString FolderOf(const QString &APath) {
    const qsizetype Slash = APath.lastIndexOf(QLatin1Char('/'));
    return Slash < 0 ? QStringLiteral(".") : APath.left(Slash > 0 ? Slash : 1);
}

// The entry of a new or renamed file is durable only once its folder is.
int SyncFolder(const QString &AFolder) {
    const int Fd = ::open(NativeName(AFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return errno;
    const int Result = ::fsync(Fd) == 0 ? 0 : errno;
    ::close(Fd);
    return Result;
}

int SyncFile(const QString &APath) {
    const int Fd = ::open(NativeName(APath).constData(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        return errno;
    const int Result = ::fsync(Fd) == 0 ? 0 : errno;
    ::close(Fd);
    return Result;
}

// Gives ASource the name ATarget unless ATarget exists: 0, EEXIST, or the
// error that stopped it.
int RenameNoReplace(const QString &ASource, const QString &ATarget) {
    const QByteArray Source = NativeName(ASource);
    const QByteArray Target = NativeName(ATarget);
    if (::renameat2(AT_FDCWD, Source.constData(), AT_FDCWD, Target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without an exclusive rename: a hard link fails just as
    // well when the name is taken.
    if (::link(Source.constData(), Target.constData()) != 0)
        return errno;
    ::unlink(Source.constData());
    return 0;
}

// Renames ASource to ABase + ".flac" in AFolder, or to the first of
// ABase + " (2).flac", " (3)" ... that is free; ASuffix as the extension.
int RenameToFreeName(const QString &ASource, const QString &AFolder, const QString &ABase,
                     const QString &ASuffix, QString *ATarget) {
    for (int n = 1;; ++n) {
        const QString Name =
            n == 1 ? ABase + ASuffix : QStringLiteral("%1 (%2)%3").arg(ABase).arg(n).arg(ASuffix);
        *ATarget = AFolder + QLatin1Char('/') + Name;
        const int Result = RenameNoReplace(ASource, *ATarget);
        if (Result != EEXIST)
            return Result;
    }
}

QString TemporaryName(const QString &AFolder) {
    static std::atomic<unsigned> Counter{0};
    return QStringLiteral("%1/.take-%2-%3.flac.part")
        .arg(AFolder)
        .arg(::getpid())
        .arg(Counter.fetch_add(1));
}

QString WithoutTrailingSlash(QString APath) {
    while (APath.size() > 1 && APath.endsWith(QLatin1Char('/')))
        APath.chop(1);
    return APath;
}

} // namespace

QString TakesInProgressDir(const QString &ADataDir) {
    return WithoutTrailingSlash(ADataDir) + QStringLiteral("/Takes in progress");
}

QString TakeBaseName(const QString &ATakeName) {
    QString Name = SanitizeFileName(ATakeName);
    Name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    Name = Name.trimmed();
    // Room for " (recovered) (99).flac" within the usual 255-byte limit.
    while (Name.toUtf8().size() > 200)
        Name.chop(1);
    return Name.isEmpty() ? QStringLiteral("Take") : Name;
}

TPublishedTake PublishJournal(const QString &AJournal, const QString &ATakesFolder,
                              const QString &ABaseName) {
    TPublishedTake Result;
    TJournalReader Reader;
    if (!Reader.Open(AJournal, &Result.FError))
        return Result;
    const QString Folder = WithoutTrailingSlash(ATakesFolder);
    if (!QDir().mkpath(Folder)) {
        Result.FError = QStringLiteral("The folder %1 cannot be created.").arg(Folder);
        return Result;
    }
    Result.FRate = Reader.Header().FRate;
    const QString Temp = TemporaryName(Folder);
    const auto Fail = [&](const QString &AError) {
        ::unlink(NativeName(Temp).constData());
        Result.FError = AError;
        Result.FFrames = 0;
        return Result;
    };
    {
        TSoundFileWriter Writer;
        QString Error;
        const TSoundFileInfo Info{Reader.Header().FRate, Reader.Header().FChannels, 0,
                                  SF_FORMAT_FLAC | SF_FORMAT_PCM_24};
        if (!Writer.Open(Temp, Info, &Error))
            return Fail(Error);
        while (const std::size_t Frames = Reader.NextBlock()) {
            if (!Writer.WriteFrames(Reader.Samples(), qint64(Frames), &Error))
                return Fail(Error);
        }
        Result.FFrames = Reader.Frames();
        if (!Writer.Close(&Error))
            return Fail(Error);
    }
    if (Result.FFrames == 0) {
        Result.FEmpty = true;
        return Fail(QStringLiteral("The take holds no audio."));
    }
    if (const int Error = SyncFile(Temp))
        return Fail(ErrnoText(Error));
    QString Target;
    if (const int Error =
            RenameToFreeName(Temp, Folder, ABaseName, QStringLiteral(".flac"), &Target))
        return Fail(ErrnoText(Error));
    // The file is whole under its name; a failed folder sync only risks
    // the name after a power loss, and the journal is still there then.
    SyncFolder(Folder);
    Result.FFileName = Target;
    return Result;
}

bool RemoveJournal(const QString &AJournal, QString *AError) {
    if (::unlink(NativeName(AJournal).constData()) != 0 && errno != ENOENT) {
        if (AError)
            *AError = ErrnoText(errno);
        return false;
    }
    SyncFolder(FolderOf(AJournal));
    return true;
}

QList<TRecoveredTake> RecoverTakes(const QString &AJournalFolder, const QString &ATakesFolder) {
    QList<TRecoveredTake> Result;
    const QString Folder = WithoutTrailingSlash(AJournalFolder);
    const QStringList Journals =
        QDir(Folder).entryList({QStringLiteral("*.take")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &Name : Journals) {
        TRecoveredTake Take;
        Take.FJournal = Folder + QLatin1Char('/') + Name;
        const int LockFd = ::open(NativeName(Take.FJournal).constData(), O_RDONLY | O_CLOEXEC);
        if (LockFd < 0)
            continue; // gone meanwhile
        // A recorder holds this lock while it writes (the system drops it
        // when the recorder dies, however it dies).
        if (::flock(LockFd, LOCK_EX | LOCK_NB) != 0) {
            ::close(LockFd);
            continue;
        }
        TJournalReader Reader;
        if (!Reader.Open(Take.FJournal, &Take.FError)) {
            if (Reader.BadHeader()) {
                // Kept for whoever wants to look into it, but out of the way
                // of the next start.
                QString Kept;
                if (RenameToFreeName(Take.FJournal, Folder, Name, QStringLiteral(".damaged"),
                                     &Kept) == 0)
                    Take.FKeptAs = Kept;
            }
            ::close(LockFd);
            Result.append(Take);
            continue;
        }
        Take.FTakeName = Reader.Header().FTakeName;
        Take.FStartMs = Reader.Header().FStartMs;
        Take.FRate = Reader.Header().FRate;
        Reader.Close();
        const TPublishedTake Published =
            PublishJournal(Take.FJournal, ATakesFolder,
                           TakeBaseName(Take.FTakeName) + QStringLiteral(" (recovered)"));
        Take.FFileName = Published.FFileName;
        Take.FFrames = Published.FFrames;
        Take.FError = Published.FError;
        // Safe in its FLAC file, or nothing in it to keep; any other failure
        // leaves the journal for the next start.
        if (!Published.FFileName.isEmpty() || Published.FEmpty)
            RemoveJournal(Take.FJournal);
        ::close(LockFd);
        Result.append(Take);
    }
    return Result;
}
