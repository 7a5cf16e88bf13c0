#include "config/ComponentFile.h"

#include "config/AtomicFile.h"
#include "config/ComponentText.h"
#include "config/ConfigErrors.h"
#include "config/TextCodec.h"
#include "core/MessageBox.h"
#include "core/NativeNames.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString BackupPath(const QString &APath) {
    return APath + QStringLiteral(".bak");
}

// Opens and has a size other than zero.
bool IsUsable(const QString &APath) {
    const int fd = ::open(NativeName(APath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size != 0;
    ::close(fd);
    return usable;
}

bool IsIgnoredRestoreError(int AErrno) {
    switch (AErrno) {
    case EIO:
    case ENOENT:
    case ENOTDIR:
    case EINVAL:
    case ENAMETOOLONG:
        return true;
    default:
        return false;
    }
}

} // namespace

void WriteComponentFile(const TPersistent &AObject, const QString &APath,
                        std::optional<unsigned> AMode) {
    // The text is complete before the file is touched.
    WriteFileAtomically(APath, ComponentToText(AObject), AMode);
}

void ReadComponentFile(TPersistent &AObject, const QString &APath) {
    const TDecodedText text = DecodeText(ReadWholeFile(APath));
    TextToComponent(text.Text, AObject);
}

void MakeBackupCopy(const QString &APath) {
    const QString backup = BackupPath(APath);
    try {
        CopyFileAtomically(APath, backup);
    } catch (const EFileError &e) {
        MyMessageBox(QStringLiteral("Copy failed: %1 (%2)")
                         .arg(QDir::toNativeSeparators(QFileInfo(backup).absoluteFilePath()),
                              SystemErrorText(e.Errno())),
                     QString(), mbIconError);
    }
}

void RestoreFromBackup(const QString &APath, bool ARaiseOnError) {
    if (IsUsable(APath))
        return;
    const QString backup = BackupPath(APath);
    if (!QFileInfo::exists(backup))
        return;
    try {
        CopyFileAtomically(backup, APath);
    } catch (const EFileError &e) {
        if (IsIgnoredRestoreError(e.Errno()))
            return;
        if (ARaiseOnError)
            throw;
        MyMessageBox(
            QStringLiteral("Unable to load file %1 (%2). Failed to restore file from backup. "
                           "Loading default settings.")
                .arg(QDir::toNativeSeparators(APath), SystemErrorText(e.Errno())),
            QStringLiteral("Error"), mbIconError);
    }
}
