#include "app/cli/RenderChain.h"

#include "app/cli/CliOptions.h"
#include "audio/AudioEngine.h"
#include "audio/SoundFile.h"
#include "chain/DSPManager.h"
#include "chain/PluginHost.h"
#include "config/AtomicFile.h"
#include "config/ComponentFile.h"
#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "core/NativeNames.h"
#include "core/Utils.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sys/stat.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Frames pulled through the chain per call: large enough that the per-call
// work of the engine and the file library does not show.
constexpr qint64 BlockFrames = 16384;

void PrintError(const QString &AText) {
    const QByteArray bytes = (u"vocarra-cli render-chain: "_s + AText + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

// A stream of the audio engine, freed with its effects on every way out.
class TStreamHandle {
public:
    explicit TStreamHandle(HSTREAM AHandle) : FHandle(AHandle) {}
    ~TStreamHandle() {
        if (FHandle != 0)
            BASS_StreamFree(FHandle);
    }
    TStreamHandle(const TStreamHandle &) = delete;
    TStreamHandle &operator=(const TStreamHandle &) = delete;
    HSTREAM Get() const { return FHandle; }

private:
    HSTREAM FHandle;
};

// Stops every entry of the chain while its stream still exists: plug-ins
// attached to the stream go with the render.
class TChainStop {
public:
    explicit TChainStop(TDSPManager &AManager) : FManager(AManager) {}
    ~TChainStop() {
        if (FManager.DSPList != nullptr)
            for (int i = 0; i < FManager.DSPList->Count(); ++i)
                FManager.StopDSP(i);
    }
    TChainStop(const TChainStop &) = delete;
    TChainStop &operator=(const TChainStop &) = delete;

private:
    TDSPManager &FManager;
};

// Whether both names lead to one file (through links of either kind).
bool SameFile(const QString &AFirst, const QString &ASecond) {
    struct stat first {};
    struct stat second {};
    return ::stat(NativeName(AFirst).constData(), &first) == 0 &&
           ::stat(NativeName(ASecond).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool IsFile(const QString &APath) {
    struct stat info {};
    return ::stat(NativeName(APath).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const QString &APath) {
    struct stat info {};
    return ::stat(NativeName(APath).constData(), &info) == 0;
}

} // namespace

bool ReadSettings(TPersistent &AObject, const std::optional<QString> &ANamed,
                  const QString &ADefaultName, QString &AError) {
    QString path;
    if (ANamed) {
        path = *ANamed;
        if (!IsFile(path)) {
            AError = u"no such file: %1"_s.arg(path);
            return false;
        }
    } else {
        path = ResolveDataDir(ProgramDir(), SystemBaseFolders()).DataDir + ADefaultName;
        if (!Exists(path))
            return true;
    }
    try {
        ReadComponentFile(AObject, path);
    } catch (const EConfigError &e) {
        AError = u"cannot read %1: %2"_s.arg(path, e.Message());
        return false;
    }
    return true;
}

namespace {

void NoteSkippedPlugins(const TDSPItemsC &AChain) {
    for (int i = 0; i < AChain.Count(); ++i) {
        const TDSPItemC &item = AChain.Items(i);
        if (item.T == dspPlugin && item.PluginType != ptVST && item.State == psActive)
            PrintError(
                u"note: skipping plug-in entry %1 (%2): Winamp DSP plug-ins do not run here"_s.arg(
                    QString::number(i + 1),
                    item.DispName.isEmpty() ? item.PluginPath : item.DispName));
    }
}

// After the start: an active VST entry without an effect did not start (the
// reason, when the plug-in gave one, is already on standard error).
void NoteVSTEntriesNotStarted(const TDSPItemsC &AChain) {
    const bool hosted = PluginHost().VSTBridgeLoaded();
    for (int i = 0; i < AChain.Count(); ++i) {
        const TDSPItemC &item = AChain.Items(i);
        if (item.T != dspPlugin || item.PluginType != ptVST || item.State != psActive ||
            item.H != 0)
            continue;
        const QString name = item.DispName.isEmpty() ? item.PluginPath : item.DispName;
        PrintError(hosted ? u"note: VST plug-in entry %1 (%2) did not start (%3); rendering "
                            u"without it"_s.arg(QString::number(i + 1), name, item.PluginPath)
                          : u"note: VST plug-in entry %1 (%2) did not start: the VST host "
                            u"helper vocarra-vstscan is missing; rendering without it"_s.arg(
                                QString::number(i + 1), name));
    }
}

// Pulls all of AStream through its chain into AWriter.
bool PullAudio(HSTREAM AStream, quint32 AChannels, TSoundFileWriter &AWriter, QString &AError) {
    std::vector<float> buffer(static_cast<size_t>(BlockFrames * AChannels));
    const quint32 bytes = static_cast<quint32>(buffer.size() * sizeof(float));
    const quint32 frameBytes = AChannels * sizeof(float);
    for (;;) {
        const qint32 got = BASS_ChannelGetData(AStream, buffer.data(), bytes);
        if (got == 0)
            return true;
        if (got < 0) {
            AError = u"the audio engine could not produce the audio"_s;
            return false;
        }
        if (!AWriter.WriteFrames(buffer.data(), got / frameBytes, &AError))
            return false;
    }
}

// Feeds the render's stream from the reader.
quint32 FeedFromFile(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
    auto *reader = static_cast<TSoundFileReader *>(AUser);
    const quint32 channels = reader->Info().FChannels;
    const qint64 frames = ALength / (channels * sizeof(float));
    const qint64 done = reader->ReadFrames(static_cast<float *>(ABuffer), frames);
    return static_cast<quint32>(done * channels * sizeof(float));
}

// Writes the rendered audio under AName, which ATempName's writer opens.
QString WriteRender(const QString &AName, const TRenderChainOptions &AOptions, HSTREAM AStream,
                    const TSoundFileInfo &AFormat, const TSoundFileReader &AReader) {
    TSoundFileWriter writer;
    QString reason;
    if (!writer.Open(AName, AFormat, &reason) ||
        !PullAudio(AStream, AFormat.FChannels, writer, reason))
        return reason.isEmpty() ? u"the sound file could not be written"_s : reason;
    // A damaged input must not pass for a shorter recording.
    if (AReader.Failed())
        return u"Error reading %1 at %2 (frame %3): %4"_s.arg(
            AOptions.In, FormatTimeMs(AReader.Position() * 1000 / AFormat.FRate),
            QString::number(AReader.Position()), AReader.ErrorText());
    if (!writer.Close(&reason))
        return reason.isEmpty() ? u"the sound file could not be written"_s : reason;
    return QString();
}

int Render(const TRenderChainOptions &AOptions, TDSPItemsC &AChain,
           const TSystemIniBase &ASettings) {
    TSoundFileReader reader;
    QString error;
    if (!reader.Open(AOptions.In, &error)) {
        PrintError(u"cannot open %1: %2"_s.arg(AOptions.In, error));
        return 1;
    }
    const TSoundFileInfo format = reader.Info();

    BASS_FX_GetVersion();
    const TStreamHandle stream(
        BASS_StreamCreate(format.FRate, format.FChannels, FeedFromFile, &reader));
    if (stream.Get() == 0) {
        PrintError(u"cannot open %1: the file has too many channels"_s.arg(AOptions.In));
        return 1;
    }

    TDSPManager manager(u"Render"_s, ASettings);
    manager.DSPList = &AChain;
    manager.WorkChannel = stream.Get();
    NoteSkippedPlugins(AChain);
    const TChainStop stopChain(manager);
    manager.StartAllDSPs();
    NoteVSTEntriesNotStarted(AChain);

    // The result appears under its name only once it is whole (a device or
    // a pipe is written straight through: see WriteFileAtomically).
    try {
        WriteFileAtomically(AOptions.Out, [&](const QString &ATempName) {
            return WriteRender(ATempName, AOptions, stream.Get(), format, reader);
        });
    } catch (const EFileError &AError) {
        PrintError(AError.Message());
        return 1;
    }
    return 0;
}

} // namespace

QString RenderChainUsage() {
    return u"usage: vocarra-cli render-chain --in IN --out OUT [--player-ini PATH] "
           u"[--system-ini PATH]\n"
           u"  Runs the sound file IN through the microphone chain of player.ini (with the\n"
           u"  equaliser bands of system.ini) and writes OUT in the format of IN. Both files\n"
           u"  default to the data directory's. VST entries run through their plug-ins with\n"
           u"  their stored parameters; Winamp DSP entries are skipped.\n"_s;
}

std::optional<TRenderChainOptions> ParseRenderChainArguments(const QStringList &AArguments,
                                                             QString &AError) {
    TRenderChainOptions options;
    std::optional<QString> in;
    std::optional<QString> out;
    const TValueFlag flags[] = {
        {QLatin1String("--in"), &in},
        {QLatin1String("--out"), &out},
        {QLatin1String("--player-ini"), &options.PlayerIniFile},
        {QLatin1String("--system-ini"), &options.SystemIniFile},
    };
    for (qsizetype i = 0; i < AArguments.size(); ++i)
        if (!TakeValueFlag(AArguments, i, flags, AError))
            return std::nullopt;
    if (!in || !out) {
        AError = in ? u"--out is missing"_s : u"--in is missing"_s;
        return std::nullopt;
    }
    options.In = *in;
    options.Out = *out;
    return options;
}

int RunRenderChain(const QStringList &AArguments) {
    QString error;
    const std::optional<TRenderChainOptions> options = ParseRenderChainArguments(AArguments, error);
    if (!options) {
        PrintError(error);
        const QByteArray usage = RenderChainUsage().toUtf8();
        std::fwrite(usage.constData(), 1, static_cast<size_t>(usage.size()), stderr);
        return 2;
    }

    // Rendering onto the input would destroy the recording it reads.
    if (SameFile(options->In, options->Out)) {
        PrintError(u"--out names the same file as --in: %1"_s.arg(options->Out));
        const QByteArray usage = RenderChainUsage().toUtf8();
        std::fwrite(usage.constData(), 1, static_cast<size_t>(usage.size()), stderr);
        return 2;
    }

    TPlayerIni player;
    TSystemIni system;
    if (!ReadSettings(player, options->PlayerIniFile, u"player.ini"_s, error) ||
        !ReadSettings(system, options->SystemIniFile, u"system.ini"_s, error)) {
        PrintError(error);
        return 1;
    }
    // Winamp DSP plug-ins have no host here; VST entries run whatever the
    // window's switch says, since the render is asked for the chain as stored.
    system.AllowWinampPlugins = false;
    system.AllowVstPlugins = true;
    return Render(*options, player.MicDSPList, system);
}
