#pragma once
// micdeck --insert FILE: hands a finished take to the running Vocarra of this
// user and data directory, which inserts it after its selected entry.

#include <QStringList>

// The exit status: 0 the upload started, 1 it did not (the reason on
// standard error; the take stays where it is), 2 usage error.
int RunInsertTake(const QStringList &AArguments);
