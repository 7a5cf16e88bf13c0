#include "remote/VoiceTrackFile.h"

#include "config/ConfigErrors.h"
#include "core/NativeNames.h"

#include <QDir>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::unique_ptr<TVoiceTrackFile> TVoiceTrackFile::Open(const QString &APath, QString &AError) {
    const QString shown = QDir::toNativeSeparators(APath);
    // Non-blocking, so that a pipe chosen by mistake cannot hang the caller;
    // it is refused below like anything whose size is not known up front.
    const int fd = ::open(NativeName(APath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        AError = QStringLiteral("Cannot open file \"%1\". %2").arg(shown, SystemErrorText(errno));
        return nullptr;
    }
    struct stat info {};
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode))
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (error != 0) {
        ::close(fd);
        AError = QStringLiteral("Cannot open file \"%1\". %2").arg(shown, SystemErrorText(error));
        return nullptr;
    }
    return std::unique_ptr<TVoiceTrackFile>(new TVoiceTrackFile(fd, APath, info));
}

TVoiceTrackFile::TVoiceTrackFile(int AFd, const QString &APath, const struct stat &AInfo)
    : FFd(AFd), FPath(APath), FSize(AInfo.st_size), FModified(AInfo.st_mtim) {}

TVoiceTrackFile::~TVoiceTrackFile() {
    ::close(FFd);
}

QString TVoiceTrackFile::ChangedText() const {
    return QStringLiteral("The file changed while it was being sent: %1")
        .arg(QDir::toNativeSeparators(FPath));
}

bool TVoiceTrackFile::StillTheSame(QString &AError) const {
    struct stat now {};
    if (::fstat(FFd, &now) != 0) {
        AError = QStringLiteral("Cannot read file \"%1\". %2")
                     .arg(QDir::toNativeSeparators(FPath), SystemErrorText(errno));
        return false;
    }
    if (now.st_size != FSize || now.st_mtim.tv_sec != FModified.tv_sec ||
        now.st_mtim.tv_nsec != FModified.tv_nsec) {
        AError = ChangedText();
        return false;
    }
    return true;
}

bool TVoiceTrackFile::ReadAt(qint64 AOffset, char *ADest, qint64 AMax, QString &AError) const {
    // Checked before the bytes are used: a file rewritten in place since
    // the last piece must not be mixed into the body.
    if (!StillTheSame(AError))
        return false;
    qint64 done = 0;
    while (done < AMax) {
        const ssize_t got = ::pread(FFd, ADest + done, static_cast<size_t>(AMax - done),
                                    static_cast<off_t>(AOffset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            AError = QStringLiteral("Cannot read file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(FPath), SystemErrorText(errno));
            return false;
        }
        if (got == 0) {
            // Shorter than it was: cut while we read it.
            AError = ChangedText();
            return false;
        }
        done += got;
    }
    return true;
}

bool TVoiceTrackFile::CheckUnchanged(QString &AError) const {
    char extra = 0;
    ssize_t got = 0;
    do
        got = ::pread(FFd, &extra, 1, static_cast<off_t>(FSize));
    while (got < 0 && errno == EINTR);
    if (got != 0) {
        AError = got > 0 ? ChangedText()
                         : QStringLiteral("Cannot read file \"%1\". %2")
                               .arg(QDir::toNativeSeparators(FPath), SystemErrorText(errno));
        return false;
    }
    return StillTheSame(AError);
}
