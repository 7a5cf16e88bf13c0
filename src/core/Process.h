#pragma once
// Starting other programs without waiting for them.

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Splits a command line into arguments the way a POSIX shell splits words,
// without any expansion: blanks separate words; '...' keeps everything
// literally; "..." keeps everything except \" \\ \$ \` ; a backslash outside
// quotes escapes the next character. An unclosed quote runs to the end.
QStringList SplitCommandLine(const QString &ACommandLine);

// Quotes AArgument so that SplitCommandLine gives it back as one argument.
QString QuoteCommandArgument(const QString &AArgument);

// Starts the command line (split with SplitCommandLine, run without a shell,
// found through PATH when the program has no folder) and does not wait for it.
// The program gets the caller's environment and folder, no open files beyond
// standard input, output and error, and a session of its own. Returns an empty
// text on success, otherwise the platform's error text (for example "No such
// file or directory"). A blank command line starts nothing and returns "".
// APid, when given, receives the new process id (0 when nothing was started).
QString RunProcess(const QString &ACommandLine, qint64 *APid = nullptr);

// Starts AProgram with administrator rights through pkexec, with AParams split
// like a command line; returns whether the launch succeeded (false, for
// example, when pkexec is not installed).
bool RunElevated(const QString &AProgram, const QString &AParams = QString(),
                 qint64 *APid = nullptr);
