#include "app/cli/CliPlugins.h"

#include "app/cli/CliOutput.h"
#include "app/cli/RenderChain.h"
#include "chain/PluginHost.h"
#include "config/DataDirs.h"
#include "core/MessageBox.h"
#include "core/PrintableText.h"
#include "station/SystemIni.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstHost.h"
#include "vst/VstProbeRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Plug-in texts are foreign: nothing of them may steer the terminal.
void Print(FILE *AStream, const QString &AText) {
    const QByteArray bytes = PrintableText(AText, pmLines).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), AStream);
    std::fflush(AStream);
}

void PrintError(const QString &ACommand, const QString &AText) {
    Print(stderr, u"vocarra-cli %1: %2\n"_s.arg(ACommand, AText));
}

// The message boxes of the scan, as lines on standard error, while it lives.
class TMessagesToStderr {
public:
    explicit TMessagesToStderr(const QString &ACommand) {
        SetMessageBoxPresenter([ACommand](const QString &AText, const QString &, int) {
            PrintError(ACommand, AText);
            return 0;
        });
    }
    ~TMessagesToStderr() { SetMessageBoxPresenter(nullptr); }
    TMessagesToStderr(const TMessagesToStderr &) = delete;
    TMessagesToStderr &operator=(const TMessagesToStderr &) = delete;
};

// A program without a plug-in host of its own still lists plug-ins: the
// scanning helper is then its VST host library. Whatever host is installed
// stays in place.
class TScannerHostScope {
public:
    TScannerHostScope() {
        TPluginHost *installed = SetPluginHost(nullptr);
        SetPluginHost(installed);
        if (installed == nullptr) {
            FHost = std::make_unique<TVstHost>(DefaultScannerProgram());
            SetPluginHost(FHost.get());
        }
    }
    ~TScannerHostScope() {
        if (FHost)
            SetPluginHost(nullptr);
    }
    TScannerHostScope(const TScannerHostScope &) = delete;
    TScannerHostScope &operator=(const TScannerHostScope &) = delete;

private:
    std::unique_ptr<TVstHost> FHost;
};

QString KindName(const TDSPItemC &AItem) {
    if (AItem.T == dspIntegrated)
        return u"builtin"_s;
    return AItem.PluginType == ptVST ? u"vst"_s : u"winamp"_s;
}

QString CatalogueJson(const TDSPItemsC &AList, const TPluginCatalogue &ACatalogue) {
    QJsonArray items;
    for (int i = 0; i < AList.Count(); ++i) {
        const TDSPItemC &item = AList.Items(i);
        QJsonObject object{
            {u"name"_s, item.DispName}, {u"kind"_s, KindName(item)}, {u"path"_s, item.PluginPath}};
        if (item.T == dspPlugin && item.PluginType == ptVST) {
            if (const TVstProbeInfo *info = ACatalogue.VSTInfo(item.PluginPath)) {
                object.insert(u"vendor"_s, info->Vendor);
                object.insert(u"effect"_s, info->Effect);
                object.insert(u"params"_s, info->NumParams);
                object.insert(u"editor"_s, info->HasEditor);
            }
        }
        items.append(object);
    }
    return QString::fromUtf8(QJsonDocument(items).toJson(QJsonDocument::Indented));
}

// KIND<TAB>NAME<TAB>PATH per entry.
QString CatalogueLines(const TDSPItemsC &AList) {
    QString lines;
    for (int i = 0; i < AList.Count(); ++i) {
        const TDSPItemC &item = AList.Items(i);
        lines += KindName(item) + u'\t' + OneLine(item.DispName) + u'\t' +
                 OneLine(item.PluginPath) + u'\n';
    }
    return lines;
}

QString ParamsJson(const QString &AFile, const TVstProbeInfo &AInfo) {
    QJsonArray params;
    for (const TVstProbeParam &param : AInfo.Params)
        params.append(QJsonObject{{u"index"_s, param.Index},
                                  {u"name"_s, param.Name},
                                  {u"value"_s, param.Value},
                                  {u"display"_s, param.Display},
                                  {u"label"_s, param.Label}});
    const QJsonObject root{{u"file"_s, AFile},
                           {u"vendor"_s, AInfo.Vendor},
                           {u"effect"_s, AInfo.Effect},
                           {u"parameters"_s, params}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

// INDEX<TAB>NAME<TAB>VALUE<TAB>DISPLAY<TAB>LABEL per parameter.
QString ParamsLines(const TVstProbeInfo &AInfo) {
    QString lines;
    for (const TVstProbeParam &param : AInfo.Params)
        lines += QString::number(param.Index) + u'\t' + OneLine(param.Name) + u'\t' +
                 QString::number(param.Value, 'g', 6) + u'\t' + OneLine(param.Display) + u'\t' +
                 OneLine(param.Label) + u'\n';
    return lines;
}

QString FileNameOf(const QString &APath) {
    return APath.mid(APath.lastIndexOf(u'/') + 1);
}

const QString PluginsUsage =
    u"usage: vocarra-cli plugins [--json] [--system-ini PATH] [--vst-folder DIR]\n"_s;
const QString PluginParamsUsage =
    u"usage: vocarra-cli plugin-params FILE [--set INDEX=VALUE ...] [--json]\n"_s;

} // namespace

std::optional<TPluginsOptions> ParsePluginsArguments(const QStringList &AArguments,
                                                     QString &AError) {
    TPluginsOptions options;
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString &arg = AArguments[i];
        if (arg == u"--json") {
            options.Json = true;
        } else if (arg == u"--system-ini" || arg == u"--vst-folder") {
            if (i + 1 >= AArguments.size()) {
                AError = u"%1 needs a value"_s.arg(arg);
                return std::nullopt;
            }
            (arg == u"--system-ini" ? options.SystemIniFile : options.VSTFolder) = AArguments[++i];
        } else {
            AError = u"unexpected argument %1"_s.arg(arg);
            return std::nullopt;
        }
    }
    return options;
}

std::optional<TPluginParamsOptions> ParsePluginParamsArguments(const QStringList &AArguments,
                                                               QString &AError) {
    TPluginParamsOptions options;
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString &arg = AArguments[i];
        if (arg == u"--json") {
            options.Json = true;
        } else if (arg == u"--set") {
            int index = 0;
            float value = 0;
            if (i + 1 >= AArguments.size() || !ParseParamSetting(AArguments[i + 1], index, value)) {
                AError = u"--set needs INDEX=VALUE"_s;
                return std::nullopt;
            }
            options.Sets.emplace_back(index, value);
            ++i;
        } else if (arg.startsWith(u'-') || !options.File.isEmpty()) {
            AError = u"unexpected argument %1"_s.arg(arg);
            return std::nullopt;
        } else {
            options.File = arg;
        }
    }
    if (options.File.isEmpty()) {
        AError = u"no plug-in file given"_s;
        return std::nullopt;
    }
    return options;
}

int RunPlugins(const QStringList &AArguments) {
    const QString command = u"plugins"_s;
    QString error;
    const std::optional<TPluginsOptions> options = ParsePluginsArguments(AArguments, error);
    if (!options) {
        PrintError(command, error);
        Print(stderr, PluginsUsage);
        return 2;
    }
    TSystemIni system;
    if (!ReadSettings(system, options->SystemIniFile, u"system.ini"_s, error)) {
        PrintError(command, error);
        return 1;
    }
    if (options->VSTFolder) {
        system.AllowVstPlugins = true;
        system.VSTFolder = QStringList{*options->VSTFolder};
    }
    const TScannerHostScope host;
    const TMessagesToStderr messages(command);
    TPluginCatalogue catalogue;
    const QString programDir = WithTrailingSeparator(ProgramDir());
    catalogue.InitPlugins(&system, ResolveDataDir(programDir, SystemBaseFolders()).DataDir,
                          programDir + u"Plugins/"_s, DefaultScannerProgram());
    const std::unique_ptr<TDSPItemsC> list = catalogue.BuildAvailableDSPList();
    if (catalogue.VSTBridgeFailed())
        return 1;
    Print(stdout, options->Json ? CatalogueJson(*list, catalogue) : CatalogueLines(*list));
    return 0;
}

int RunPluginParams(const QStringList &AArguments) {
    const QString command = u"plugin-params"_s;
    QString error;
    const std::optional<TPluginParamsOptions> options =
        ParsePluginParamsArguments(AArguments, error);
    if (!options) {
        PrintError(command, error);
        Print(stderr, PluginParamsUsage);
        return 2;
    }
    const QString scanner = DefaultScannerProgram();
    if (!ScannerUsable(scanner)) {
        PrintError(command, u"VST bridge load error"_s);
        return 1;
    }
    TVstProbeRequest request;
    request.File = options->File;
    request.WithParams = true;
    request.Sets = options->Sets;
    const TVstProbeOutcome outcome = ProbeVstFile(scanner, request);
    switch (outcome.Kind) {
    case vpDescribed:
        Print(stdout,
              options->Json ? ParamsJson(options->File, outcome.Info) : ParamsLines(outcome.Info));
        return 0;
    case vpLeftOut:
        PrintError(command, u"%1 holds no VST plug-in"_s.arg(options->File));
        return 1;
    case vpFailed:
        PrintError(command, VSTLoadErrorText(FileNameOf(options->File), outcome.Reason));
        return 1;
    case vpHelperFault:
        PrintError(command, outcome.Reason);
        return 1;
    }
    return 1;
}
