#pragma once
// From journals to the FLAC files presenters see: the file names a take gets,
// turning a journal into a FLAC file without ever replacing another file, and
// the recovery of journals a killed or powered-off recorder left behind.

#include <QList>
#include <QString>
#include <QtGlobal>

// The folder of the data directory that holds the journals of takes being
// recorded (and of takes a crash interrupted).
QString TakesInProgressDir(const QString &ADataDir);

// The file name (without folder and extension) a take called ATakeName gets:
// the name without the characters file names cannot hold, and without control
// characters and surrounding blanks; "Take" when nothing is left.
QString TakeBaseName(const QString &ATakeName);

// The FLAC a journal turns into.
struct TPublishedTake {
    QString FFileName; // the FLAC file; empty when none was written
    qint64 FFrames = 0;
    quint32 FRate = 0;
    QString FError;      // empty on success
    bool FEmpty = false; // the journal holds no whole block
};

// Writes every whole block of the journal at AJournal into a 24-bit FLAC
// file in ATakesFolder named ABaseName + ".flac" (" (2)", " (3)" ... added
// while that name is taken). The file appears complete or not at all: it is
// written under a temporary name, flushed to the disk and only then given
// its name. The journal itself is left alone. A journal without any whole
// block makes no file (FError says so).
TPublishedTake PublishJournal(const QString &AJournal, const QString &ATakesFolder,
                              const QString &ABaseName);

// Removes a journal whose take is safely published, durably.
bool RemoveJournal(const QString &AJournal, QString *AError = nullptr);

// One journal found by RecoverTakes.
struct TRecoveredTake {
    QString FJournal;  // the journal as found
    QString FTakeName; // the name the take was recorded under; empty when unreadable
    QString FFileName; // the recovered FLAC file; empty when none was made
    qint64 FFrames = 0;
    quint32 FRate = 0;
    qint64 FStartMs = 0;
    QString FKeptAs; // where a journal that could not be recovered was kept
    QString FError;  // why the take was not recovered; empty on success
    qint64 LengthMs() const { return FRate ? FFrames * 1000 / FRate : 0; }
};

// Turns every journal left in AJournalFolder into a FLAC take "<name>
// (recovered)" in ATakesFolder, up to its last whole block, and removes the
// journal once its file is safe. A journal a running recorder still writes
// (it holds a lock on it) is left alone. A journal with a damaged header is
// renamed to "<journal>.damaged" beside it and listed with the error; a
// journal whose take cannot be written stays where it is for the next try.
QList<TRecoveredTake> RecoverTakes(const QString &AJournalFolder, const QString &ATakesFolder);
