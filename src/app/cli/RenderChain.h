#pragma once
// vocarra-cli render-chain: runs a sound file through the microphone chain
// stored in player.ini (with the equaliser bands of system.ini) and writes the
// result in the input's container, sample format and rate. Plug-in entries
// cannot run here and are skipped with a note.

#include <QString>
#include <QStringList>
#include <optional>

class TPersistent;

// Reads a station file into AObject: the one named (which must exist), or the
// data directory's ADefaultName, when there is one. A file that does not
// read is an error (AError says which and why): a render from half a chain
// would look right and sound wrong, and a catalogue from half the settings
// would list the wrong plug-ins.
bool ReadSettings(TPersistent &AObject, const std::optional<QString> &ANamed,
                  const QString &ADefaultName, QString &AError);

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
