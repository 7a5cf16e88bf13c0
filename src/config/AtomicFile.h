#pragma once
// Whole-file reads and replacing writes. A write goes to a temporary file in
// the same folder, is flushed to the disk and then renamed over the old file,
// so a failure at any point (a full disk, a crash) leaves the old file whole.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Reads the whole file; raises EFileError.
QByteArray ReadWholeFile(const QString &APath);

// Replaces (or creates) the file at APath with AData; raises EFileError.
// AMode sets the file's permission bits exactly (0600 for a file that holds a
// password); without it a replaced file keeps its permissions and a new one
// gets the defaults of the process. A symbolic link is written through.
void WriteFileAtomically(const QString &APath, const QByteArray &AData,
                         std::optional<unsigned> AMode = std::nullopt);

// Replaces (or creates) the file at APath the same way with content too large
// to hold in memory: AWrite writes it into the temporary file whose name it
// gets and returns an empty text, or the reason it failed. Permissions as
// above without AMode. Raises EFileError.
using TWriteContent = std::function<QString(const QString &ATempName)>;
void WriteFileAtomically(const QString &APath, const TWriteContent &AWrite);
// Copies ASource over ATarget the same way; ATarget gets ASource's permissions.
void CopyFileAtomically(const QString &ASource, const QString &ATarget);

// Test-only fault injection. Every step of a write asks the hook first; a
// non-zero result makes that step fail with the result as the error code.
enum TWriteStep { wsCreate, wsWrite, wsSync, wsRename };
using TWriteFaultHook = std::function<int(TWriteStep AStep, const QString &APath)>;
void SetWriteFaultHook(TWriteFaultHook AHook);
