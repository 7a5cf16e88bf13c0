#pragma once
// Starting other programs without waiting for them.

#include <QString>
#include <QtGlobal>

// Starts the command line (split into arguments as the platform's shell would,
// but run without a shell). Returns an empty text on success, otherwise the
// platform's error text. A blank command line starts nothing and returns "".
// APid, when given, receives the new process id.
QString RunProcess(const QString &ACommandLine, qint64 *APid = nullptr);

// Starts AProgram with administrator rights (pkexec on Linux); returns whether
// the launch succeeded.
bool RunElevated(const QString &AProgram, const QString &AParams = QString(), qint64 *APid = nullptr);
