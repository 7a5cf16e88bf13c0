#include "config/AtomicFile.h"

#include "config/ConfigErrors.h"
#include "core/NativeNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Configuration files are small; anything larger is not one of ours.
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

std::mutex HookLock;
TWriteFaultHook FaultHook;

int InjectedFault(TWriteStep AStep, const QString &APath) {
    TWriteFaultHook hook;
    {
        std::lock_guard guard(HookLock);
        hook = FaultHook;
    }
    return hook ? hook(AStep, APath) : 0;
}

QString Native(const QString &APath) {
    return QDir::toNativeSeparators(APath);
}

[[noreturn]] void Raise(const char *AFormat, const QString &APath, int AErrno) {
    throw EFileError(QString::fromLatin1(AFormat).arg(Native(APath), SystemErrorText(AErrno)),
                     AErrno);
}

// Closes the descriptor on every path out of a function.
class TFd {
public:
    explicit TFd(int AFd) : FFd(AFd) {}
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }
    // Closes now and reports the result (a late write error shows here).
    int Close() {
        const int result = ::close(FFd);
        FFd = -1;
        return result;
    }

private:
    int FFd;
};

int WriteAll(int AFd, const QByteArray &AData) {
    const char *p = AData.constData();
    qsizetype left = AData.size();
    while (left > 0) {
        const ssize_t written = ::write(AFd, p, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += written;
        left -= written;
    }
    return 0;
}

// Writes the new content into the temporary file: its descriptor and name
// are given; the result is an errno value, or -1 with AReason set.
using TFill = std::function<int(int AFd, const QString &ATempName, QString &AReason)>;

// The file that a write to APath really changes: the target of a link.
QString ResolveTarget(const QString &APath) {
    const QByteArray name = NativeName(APath);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return APath;
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(name.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size())
        return APath;
    target.truncate(length);
    if (target.startsWith('/'))
        return NameFromNative(target);
    // Relative to the folder that holds the link.
    return QFileInfo(APath).absolutePath() + u'/' + NameFromNative(target);
}

// Devices and pipes are written straight through: there is no file to
// replace, and renaming over one (a device node such as /dev/null) would
// put a plain file in its place.
void WriteThrough(const QString &APath, const QString &ATarget, const TFill &AFill) {
    TFd file(::open(NativeName(ATarget).constData(), O_WRONLY | O_CLOEXEC));
    if (file.Get() < 0)
        Raise("Cannot create file \"%1\". %2", APath, errno);
    QString reason;
    int error = InjectedFault(wsWrite, APath);
    if (error == 0)
        error = AFill(file.Get(), ATarget, reason);
    if (error < 0)
        throw EFileError(QStringLiteral("Cannot write file \"%1\". %2").arg(Native(APath), reason),
                         EIO);
    if (error > 0)
        Raise("Cannot write file \"%1\". %2", APath, error);
    if (file.Close() != 0)
        Raise("Cannot write file \"%1\". %2", APath, errno);
}

void SyncFolder(const QString &AFolder) {
    const int fd = ::open(NativeName(AFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Not every file system can sync a folder; the rename has happened anyway.
    ::fsync(fd);
    ::close(fd);
}

void WriteReplacing(const QString &APath, std::optional<unsigned> AMode, const TFill &AFill) {
    const QString target = ResolveTarget(APath);
    const QByteArray targetName = NativeName(target);
    std::optional<unsigned> mode = AMode;
    struct stat old {};
    const bool replacing = ::stat(targetName.constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode) && !S_ISDIR(old.st_mode)) {
        WriteThrough(APath, target, AFill);
        return;
    }
    if (!mode && replacing)
        mode = old.st_mode & 07777;

    // Step 1: a new temporary file next to the target, hidden, its name
    // short enough for any target name.
    const QFileInfo targetInfo(target);
    const QByteArray tempPrefix = NativeName(targetInfo.absolutePath()) + "/." +
                                  NativeName(targetInfo.fileName()).left(64) + '.';
    QByteArray tempName;
    int fd = -1;
    int error = InjectedFault(wsCreate, APath);
    for (int attempt = 0; error == 0 && fd < 0 && attempt < 100; ++attempt) {
        tempName = tempPrefix +
                   QByteArray::number(QRandomGenerator::global()->generate() | 0x10000000u, 36) +
                   ".tmp";
        // With permissions to set, the file is the owner's alone until it
        // gets them; without, the process's defaults apply.
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    mode ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            error = errno;
    }
    if (fd < 0)
        Raise("Cannot create file \"%1\". %2", APath, error ? error : EEXIST);
    TFd file(fd);
    QString reason;
    auto fail = [&](int AErrno) {
        if (file.Get() >= 0)
            file.Close();
        ::unlink(tempName.constData());
        if (AErrno < 0)
            throw EFileError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(Native(APath), reason), EIO);
        Raise("Cannot write file \"%1\". %2", APath, AErrno);
    };

    // Step 2: the data, flushed to the disk.
    if ((error = InjectedFault(wsWrite, APath)) ||
        (error = AFill(file.Get(), NameFromNative(tempName), reason)))
        fail(error);
    // A privileged process hands the file back to its owner; for anyone else
    // this changes nothing or is refused, which is harmless.
    if (replacing) {
        [[maybe_unused]] const int ignored = ::fchown(file.Get(), old.st_uid, old.st_gid);
    }
    if (mode && ::fchmod(file.Get(), *mode) != 0)
        fail(errno);
    if ((error = InjectedFault(wsSync, APath)))
        fail(error);
    if (::fsync(file.Get()) != 0)
        fail(errno);
    if (file.Close() != 0)
        fail(errno);

    // Step 3: the complete file takes the old one's place in one step.
    if ((error = InjectedFault(wsRename, APath)))
        fail(error);
    if (::rename(tempName.constData(), targetName.constData()) != 0)
        fail(errno);
    SyncFolder(targetInfo.absolutePath());
}

} // namespace

void SetWriteFaultHook(TWriteFaultHook AHook) {
    std::lock_guard guard(HookLock);
    FaultHook = std::move(AHook);
}

QByteArray ReadWholeFile(const QString &APath) {
    // Non-blocking, so that a pipe put where a file belongs cannot hang the
    // program; it is refused below like anything that is not a plain file.
    TFd file(::open(NativeName(APath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0)
        Raise("Cannot open file \"%1\". %2", APath, errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        Raise("Cannot open file \"%1\". %2", APath, errno);
    if (!S_ISREG(info.st_mode))
        Raise("Cannot open file \"%1\". %2", APath, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    if (info.st_size > MaxFileSize)
        Raise("Cannot open file \"%1\". %2", APath, EFBIG);
    QByteArray data;
    data.reserve(static_cast<qsizetype>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Raise("Cannot read file \"%1\". %2", APath, errno);
        }
        if (got == 0)
            break;
        if (data.size() + got > MaxFileSize)
            Raise("Cannot read file \"%1\". %2", APath, EFBIG);
        data.append(buffer, got);
    }
    return data;
}

void WriteFileAtomically(const QString &APath, const QByteArray &AData,
                         std::optional<unsigned> AMode) {
    WriteReplacing(APath, AMode,
                   [&AData](int AFd, const QString &, QString &) { return WriteAll(AFd, AData); });
}

void WriteFileAtomically(const QString &APath, const TWriteContent &AWrite) {
    WriteReplacing(APath, std::nullopt, [&AWrite](int, const QString &ATempName, QString &AReason) {
        AReason = AWrite(ATempName);
        return AReason.isEmpty() ? 0 : -1;
    });
}

void CopyFileAtomically(const QString &ASource, const QString &ATarget) {
    const QByteArray data = ReadWholeFile(ASource);
    struct stat info {};
    std::optional<unsigned> mode;
    if (::stat(NativeName(ASource).constData(), &info) == 0)
        mode = info.st_mode & 07777;
    WriteFileAtomically(ATarget, data, mode);
}
