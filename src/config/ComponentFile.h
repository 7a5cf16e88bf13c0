#pragma once
// Configuration objects in files of the component text format, and the
// ".bak" copies that protect the shared station files. All four routines run
// on the main thread.

#include <QString>
#include <optional>

class TPersistent;

// Writes AObject to APath, replacing the file atomically: a failure at any
// point leaves the previous file whole. AMode as for WriteFileAtomically.
// Raises EFileError; the caller reports.
void WriteComponentFile(const TPersistent &AObject, const QString &APath,
                        std::optional<unsigned> AMode = std::nullopt);

// Reads the file at APath into the existing AObject. Raises EFileError when
// the file cannot be opened or read, EParserError when its text breaks the
// grammar (what was read before the error stays); the caller reports.
void ReadComponentFile(TPersistent &AObject, const QString &APath);

// Copies APath to APath + ".bak", replacing an older copy. A copy the system
// refuses is shown as "Copy failed: <.bak path> (<system error>)".
void MakeBackupCopy(const QString &APath);

// Before a read: a missing, unopenable or empty file at APath is replaced by
// its ".bak" copy when there is one. Failures of the kinds that only mean
// "nothing to restore here" (input/output error, missing folder or file, an
// unusable or too long path) are ignored; any other is raised when
// ARaiseOnError is set, else shown as "Unable to load file ...".
void RestoreFromBackup(const QString &APath, bool ARaiseOnError);
