#pragma once
// micdeck --record: one take from the configured input through the
// microphone chain, written as a FLAC file, optionally brought to a loudness
// target; prints the take's loudness. For scripts and tests.

#include <QString>
#include <QStringList>
#include <optional>

struct TRecordOptions {
    double Seconds = 0;
    QString Out;
    bool NoChain = false;
    std::optional<double> TargetLufs;
    std::optional<QString> PlayerIniFile; // default: the data directory's player.ini
    std::optional<QString> SystemIniFile; // default: the data directory's system.ini
};

// On a usage error returns nothing and sets AError to a one-line explanation.
std::optional<TRecordOptions> ParseRecordArguments(const QStringList &AArguments, QString &AError);

QString MicdeckUsage();

// Runs a take with the program's arguments; the exit status: 0 done, 1
// failed (the reason on standard error), 2 usage error.
int RunHeadlessRecord(const QStringList &AArguments);
