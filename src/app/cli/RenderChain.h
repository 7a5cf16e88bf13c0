#pragma once
// vocarra-cli render-chain: runs a sound file through the microphone chain
// stored in player.ini (with the equaliser bands of system.ini) and writes the
// result in the input's container, sample format and rate. Plug-in entries
// cannot run here and are skipped with a note.

#include <QString>
#include <QStringList>
#include <optional>

struct TRenderChainOptions {
    QString In;
    QString Out;
    std::optional<QString> PlayerIniFile; // default: the data directory's player.ini
    std::optional<QString> SystemIniFile; // default: the data directory's system.ini
};

// Parses the arguments after the command word. On a usage error returns
// nothing and sets AError to a one-line explanation.
std::optional<TRenderChainOptions> ParseRenderChainArguments(const QStringList &AArguments,
                                                             QString &AError);

QString RenderChainUsage();

// Runs the command with the arguments after the command word; errors go to
// standard error. Returns the exit status: 0 done, 1 failed (OUT is then left
// as it was), 2 usage error.
int RunRenderChain(const QStringList &AArguments);
