#pragma once
// vocarra-cli plugins and plugin-params: the catalogue of processors the
// "add" dialog would offer, from the system settings, and the parameters of
// one VST plug-in probed out of process.

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

struct TPluginsOptions {
    bool Json = false;
    std::optional<QString> SystemIniFile; // default: the data directory's system.ini
    // Scanned with VST plug-ins on, whatever the settings say.
    std::optional<QString> VSTFolder;
};

struct TPluginParamsOptions {
    QString File;
    std::vector<std::pair<int, float>> Sets;
    bool Json = false;
};

// Parse the arguments after the command word; nothing on a usage error, with
// AError saying why.
std::optional<TPluginsOptions> ParsePluginsArguments(const QStringList &AArguments,
                                                     QString &AError);
std::optional<TPluginParamsOptions> ParsePluginParamsArguments(const QStringList &AArguments,
                                                               QString &AError);

// Run the commands with the arguments after the command word. Load errors go
// to standard error with the message text. plugins returns 0 when the
// catalogue was built, 1 when the settings do not read or the scanning helper
// cannot run, 2 on a usage error; plugin-params 0 when the plug-in was
// described, 1 when it was not, 2 on a usage error.
int RunPlugins(const QStringList &AArguments);
int RunPluginParams(const QStringList &AArguments);
