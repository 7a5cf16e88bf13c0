#pragma once
// The command line of vocarra-cli.

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <utility>

struct TCliOptions {
    enum TCommand { cmPlaylist, cmNowPlaying, cmDelete, cmMove, cmUpload, cmDevices };

    std::optional<QString> SettingsFile; // settings.ini to read the connection from
    std::optional<QString> Server;
    std::optional<int> Port;
    bool TLS = false;
    std::optional<QString> User;
    std::optional<QString> Pass;

    TCommand Command = cmPlaylist;
    bool Json = false;
    // A refused request's whole reply instead of its short text.
    bool Verbose = false;
    int Pos1 = 0; // 1-based: the entry to delete or move, or the one to upload after
    int Pos2 = 0; // 1-based target of a move
    QString File;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets AError to a one-line explanation.
std::optional<TCliOptions> ParseCliArguments(const QStringList &AArgs, QString &AError);

// The usage text printed with a usage error.
QString CliUsage();

// A "--name VALUE" flag and where its value goes.
using TValueFlag = std::pair<QLatin1String, std::optional<QString> *>;

// Takes the flag of AFlags at AArguments[AIndex] with its value and steps
// AIndex onto the value. False with AError for an unknown argument, a missing
// or empty value, or a flag given twice.
bool TakeValueFlag(const QStringList &AArguments, qsizetype &AIndex,
                   std::span<const TValueFlag> AFlags, QString &AError);
