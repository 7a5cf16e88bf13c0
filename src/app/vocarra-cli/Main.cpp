// vocarra-cli: the remote-control operations from a shell, through the same
// request workers as the window.

#include "app/cli/CliDevices.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliOutput.h"
#include "app/cli/CliPlugins.h"
#include "app/cli/RenderChain.h"
#include "config/ComponentFile.h"
#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "config/Settings.h"
#include "core/CoreDumps.h"
#include "core/NativeNames.h"
#include "core/PrintableText.h"
#include "linux_audio/LinuxAudioLibrary.h"
#include "remote/API.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstHost.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Everything this program prints goes through here: much of it is the
// station's text, and none of it may steer the terminal.
void Print(FILE *AStream, const QString &AText) {
    const QByteArray bytes = PrintableText(AText, pmLines).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), AStream);
    std::fflush(AStream);
}

// A one-line bar redrawn in place; only when standard error is a terminal.
void ShowProgress(qint64 ASent, qint64 ATotal) {
    constexpr int KWidth = 40;
    const int percent = ATotal > 0 ? static_cast<int>(ASent * 100 / ATotal) : 100;
    const int filled = percent * KWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld bytes", QByteArray(filled, '#').constData(),
                 QByteArray(KWidth - filled, ' ').constData(), percent,
                 static_cast<long long>(ASent), static_cast<long long>(ATotal));
    std::fflush(stderr);
}

// The settings file to start from: the one named, or without --server the
// data directory's, as the window would find it next to this program.
// Returns the exit status when it cannot go on: 2 for a named file that does
// not exist, 1 for one that does not read (going on would connect with half
// the settings, port 0 among them).
std::optional<int> LoadSettingsFile(const TCliOptions &AOptions) {
    QString file;
    if (AOptions.SettingsFile) {
        file = *AOptions.SettingsFile;
        struct stat info {};
        if (::stat(NativeName(file).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
            Print(stderr, QStringLiteral("vocarra-cli: no settings file %1\n").arg(file));
            return 2;
        }
    } else if (!AOptions.Server) {
        file = ResolveDataDir(ProgramDir(), SystemBaseFolders()).DataDir +
               QStringLiteral("settings.ini");
        if (!QFileInfo::exists(file))
            return std::nullopt;
    }
    if (file.isEmpty())
        return std::nullopt;
    try {
        ReadComponentFile(Settings(), file);
    } catch (const EConfigError &e) {
        Print(stderr,
              QStringLiteral("vocarra-cli: Error loading settings: %1.\n").arg(e.Message()));
        return 1;
    }
    return std::nullopt;
}

void ApplyConnection(const TCliOptions &AOptions) {
    std::lock_guard lock(Settings().Monitor());
    TSettings &s = Settings();
    if (AOptions.Server)
        s.Server = *AOptions.Server;
    if (AOptions.Port)
        s.Port = *AOptions.Port;
    if (AOptions.TLS)
        s.TLS = true;
    if (AOptions.User)
        s.User = *AOptions.User;
    if (AOptions.Pass) {
        s.Pass = *AOptions.Pass;
    } else if (qEnvironmentVariableIsSet("VOCARRA_PASS")) {
        // Kept out of the process list when it comes from the environment.
        s.Pass = qEnvironmentVariable("VOCARRA_PASS");
    }
}

// Commands that only look at this machine: they need no connection and no
// request worker. Returns the exit status, or nothing for a remote command.
std::optional<int> RunLocalCommand(const TCliOptions &AOptions) {
    switch (AOptions.Command) {
    case TCliOptions::cmDevices: {
        const std::shared_ptr<const TAudioLibrary> library = AudioLibrary();
        Print(stdout, AOptions.Json ? DevicesJson(*library) : DevicesLines(*library));
        return 0;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

int main(int argc, char *argv[]) {
    DisableCoreDumps();
    // File names among the arguments keep every byte.
    const QStringList arguments = ArgumentsFromNative(argc, argv);
    QCoreApplication app(argc, argv);
    const TInstalledVstHost vstHost(DefaultScannerProgram());
    // render-chain takes options of its own and needs no connection.
    if (!arguments.isEmpty() && arguments.first() == u"render-chain")
        return RunRenderChain(arguments.mid(1));
    // So do the plug-in commands.
    if (!arguments.isEmpty() && arguments.first() == u"plugins")
        return RunPlugins(arguments.mid(1));
    if (!arguments.isEmpty() && arguments.first() == u"plugin-params")
        return RunPluginParams(arguments.mid(1));
    QString error;
    const std::optional<TCliOptions> options = ParseCliArguments(arguments, error);
    if (!options) {
        Print(stderr, QStringLiteral("vocarra-cli: %1\n").arg(error) + CliUsage());
        return 2;
    }
    InstallLinuxAudioLibrary();
    if (const std::optional<int> localExit = RunLocalCommand(*options))
        return *localExit;
    if (const std::optional<int> settingsExit = LoadSettingsFile(*options))
        return *settingsExit;
    ApplyConnection(*options);

    int exitCode = 1;
    bool progressShown = false;
    auto *worker = new TAPI(&app, [&](TAPI *ASender) {
        if (progressShown)
            Print(stderr, QStringLiteral("\n"));
        if (!ASender->Success()) {
            Print(stderr, (options->Verbose ? ASender->ErrorDetail() : ASender->Error()) + u'\n');
            exitCode = 1;
        } else {
            exitCode = 0;
            if (options->Command == TCliOptions::cmPlaylist && ASender->Playlist() != nullptr) {
                Print(stdout, options->Json ? PlaylistJson(*ASender->Playlist())
                                            : PlaylistLines(*ASender->Playlist()));
            } else if (options->Command == TCliOptions::cmNowPlaying) {
                Print(stdout, options->Json ? NowPlayingJson(ASender->PlaybackInfo())
                                            : NowPlayingLines(ASender->PlaybackInfo()));
            }
        }
        QCoreApplication::exit(exitCode);
    });

    try {
        switch (options->Command) {
        case TCliOptions::cmPlaylist:
            worker->GetPlaylistContents();
            break;
        case TCliOptions::cmNowPlaying:
            worker->GetPlaybackInfo();
            break;
        case TCliOptions::cmDelete:
            worker->DeletePlaylistTrack(RowOfWirePos(options->Pos1));
            break;
        case TCliOptions::cmMove:
            worker->MovePlaylistTrack(RowOfWirePos(options->Pos1), RowOfWirePos(options->Pos2));
            break;
        case TCliOptions::cmUpload:
            if (isatty(STDERR_FILENO)) {
                worker->SetProgressCallback([&](qint64 ASent, qint64 ATotal) {
                    progressShown = true;
                    ShowProgress(ASent, ATotal);
                });
            }
            worker->InsertVoiceTrack(InsertPosAfterRow(RowOfWirePos(options->Pos1)), options->File);
            break;
        default:
            // The local commands ran above; waiting here would wait forever.
            delete worker;
            return 1;
        }
    } catch (const std::exception &e) {
        delete worker;
        Print(stderr, QString::fromUtf8(e.what()) + u'\n');
        return 1;
    }
    QCoreApplication::exec();
    TAPI::Shutdown();
    return exitCode;
}
