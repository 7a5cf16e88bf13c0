#include "app/micdeck/HeadlessRecord.h"

#include "app/cli/CliOptions.h"
#include "app/cli/RenderChain.h"
#include "capture/PulseCapture.h"
#include "capture/TakePipeline.h"
#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "core/NativeNames.h"
#include "core/PrintableText.h"
#include "devices/SoundDevice.h"
#include "loudness/Normalise.h"
#include "recorder/TakeFiles.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 TakeRate = 48000;
// Longer takes are not what a headless run is for; the bound keeps a typo
// from filling the disk.
constexpr double MaxSeconds = 24 * 60 * 60;
// Loudness targets below the absolute gate measure nothing.
constexpr double LowestTargetLufs = -70;

// Everything printed goes through here: device names come from the sound
// server and may not steer the terminal.
void Print(FILE *AStream, const QString &AText) {
    const QByteArray bytes = PrintableText(AText, pmLines).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), AStream);
    std::fflush(AStream);
}

void PrintError(const QString &AText) {
    Print(stderr, u"micdeck: "_s + AText + u'\n');
}

void PrintWarning(const QString &AText) {
    Print(stderr, u"micdeck: warning: "_s + AText + u'\n');
}

QString Level(double AValue) {
    return std::isfinite(AValue) ? QString::number(AValue, 'f', 1) : u"-inf"_s;
}

std::optional<double> Number(const QString &AText) {
    bool ok = false;
    const double value = AText.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The capture the microphone entry (system.ini Inputs entry 0) asks for. An
// entry of the sound server's layer names a source, found through the device
// catalogue; any other entry records from the server's default input, since
// the sound server is what the recorder captures through.
TCaptureRequest MicrophoneRequest(const TSystemIni &ASystem, QString &AWarning) {
    TCaptureRequest request;
    request.FRate = TakeRate;
    if (ASystem.Inputs.Count() == 0)
        return request;
    const TInputDevice &mic = ASystem.Inputs.Items(0);
    request.FChannels = mic.Stereo() ? 2 : 1;
    if (mic.Method() != lyWasapi || mic.IsDefault() || mic.DeviceID().isEmpty())
        return request;
    const int index = mic.DeviceIdx();
    TWasapiDeviceInfo info;
    if (index >= 0 && AudioLibrary()->WasapiGetDeviceInfo(index, info)) {
        request.FDevice = info.Id;
        return request;
    }
    const QString name = mic.DeviceName2().isEmpty() ? mic.DeviceID() : mic.DeviceName2();
    AWarning = u"The input device %1 is not available; recording from the default input "
               u"instead."_s.arg(name);
    return request;
}

// Moves the finished take to its place: a rename, so OUT is never half
// written.
bool MoveTake(const QString &AFrom, const QString &ATo, QString &AError) {
    if (::rename(NativeName(AFrom).constData(), NativeName(ATo).constData()) == 0)
        return true;
    AError = u"cannot write %1: %2"_s.arg(ATo, SystemErrorText(errno));
    return false;
}

int Record(const TRecordOptions &AOptions) {
    TPlayerIni player;
    TSystemIni system;
    QString error;
    if (!ReadSettings(player, AOptions.PlayerIniFile, u"player.ini"_s, error) ||
        !ReadSettings(system, AOptions.SystemIniFile, u"system.ini"_s, error)) {
        PrintError(error);
        return 1;
    }
    // As render-chain: the chain as stored, VST entries included; Winamp
    // DSP plug-ins have no host here.
    system.AllowWinampPlugins = false;
    system.AllowVstPlugins = true;

    // The take is made in a folder of its own beside OUT (one file system,
    // so the finished file is renamed into place), its journal where a
    // killed recorder's takes are recovered from.
    const QFileInfo out(AOptions.Out);
    const QString outFolder = out.absolutePath();
    if (!QFileInfo(outFolder).isDir()) {
        PrintError(u"no such folder: %1"_s.arg(outFolder));
        return 1;
    }
    QTemporaryDir takeFolder(outFolder + u"/.micdeck-XXXXXX"_s);
    if (!takeFolder.isValid()) {
        PrintError(u"cannot write in %1: %2"_s.arg(outFolder, takeFolder.errorString()));
        return 1;
    }

    QString warning;
    TTakePipelineOptions options;
    options.FCapture = MicrophoneRequest(system, warning);
    if (!warning.isEmpty())
        PrintWarning(warning);
    options.FTake.FTakeName = out.completeBaseName();
    options.FTake.FJournalFolder =
        TakesInProgressDir(ResolveDataDir(ProgramDir(), SystemBaseFolders()).DataDir);
    options.FTake.FTakesFolder = takeFolder.path();
    if (!AOptions.NoChain) {
        options.FChain = &player.MicDSPList;
        options.FSettings = &system;
    }
    options.FFrames = std::llround(AOptions.Seconds * TakeRate);

    TTakePipeline pipeline(std::make_unique<TPulseCapture>(), std::move(options));
    if (!pipeline.Start(error)) {
        PrintError(error);
        return 1;
    }
    if (!pipeline.Warning().isEmpty())
        PrintWarning(pipeline.Warning());
    Print(stdout, u"Input: %1\n"_s.arg(pipeline.OpenedDevice()));
    const bool complete = pipeline.WaitFinished();
    const QString failure = pipeline.Failure();
    const TTakeResult take = pipeline.Stop();
    if (pipeline.CaptureLostFrames() > 0 || take.FLostFrames > 0)
        PrintWarning(u"%1 frames of input were lost: the computer did not keep up."_s.arg(
            QString::number(pipeline.CaptureLostFrames() + take.FLostFrames)));
    if (take.FFileName.isEmpty()) {
        PrintError(take.FError.isEmpty() ? u"nothing was recorded"_s : take.FError);
        if (!take.FJournal.isEmpty())
            PrintError(u"the recording is kept in %1 and recovered at the next start"_s.arg(
                take.FJournal));
        return 1;
    }

    const TLoudnessReading reading = pipeline.Reading();
    Print(stdout,
          u"Length: %1 s\n"_s.arg(QString::number(double(take.FFrames) / take.FRate, 'f', 3)));
    Print(stdout, u"Integrated loudness: %1 LUFS\n"_s.arg(Level(reading.FIntegratedLufs)));
    Print(stdout, u"True peak: %1 dBTP\n"_s.arg(Level(reading.FTruePeakDb)));

    if (AOptions.TargetLufs) {
        TLoudnessTarget target;
        target.FIntegratedLufs = *AOptions.TargetLufs;
        const TNormaliseResult normalised = NormaliseFile(take.FFileName, AOptions.Out, target);
        if (!normalised.FOk) {
            PrintError(normalised.FError);
            return 1;
        }
        Print(stdout, u"Target %1: %2\n"_s.arg(LoudnessTargetText(target), normalised.FPlan.FText));
        Print(stdout, u"Integrated loudness after: %1 LUFS\n"_s.arg(
                          Level(normalised.FAfter.FIntegratedLufs)));
        Print(stdout, u"True peak after: %1 dBTP\n"_s.arg(Level(normalised.FAfter.FTruePeakDb)));
    } else if (!MoveTake(take.FFileName, AOptions.Out, error)) {
        PrintError(error);
        return 1;
    }
    if (!complete || !take.FError.isEmpty()) {
        PrintError(failure.isEmpty() ? take.FError : failure);
        PrintError(u"what was recorded is in %1"_s.arg(AOptions.Out));
        return 1;
    }
    return 0;
}

} // namespace

QString MicdeckUsage() {
    return u"usage: micdeck --record SECONDS --out FILE [--no-chain] [--target LUFS]\n"
           u"               [--player-ini PATH] [--system-ini PATH]\n"
           u"  Records SECONDS from the microphone of system.ini through the microphone chain\n"
           u"  of player.ini and writes FILE (FLAC, 48 kHz). --no-chain records the input as it\n"
           u"  is; --target brings the take to LUFS (-16, -19, -23 or any level) with true\n"
           u"  peaks at most -1 dBTP. Prints the take's integrated loudness and true peak.\n"
           u"       micdeck --insert FILE\n"
           u"  Hands FILE to the running Vocarra, which inserts it after its selected entry.\n"
           u"       micdeck -vocarra\n"
           u"  The recorder window, as Vocarra's Record button opens it.\n"_s;
}

std::optional<TRecordOptions> ParseRecordArguments(const QStringList &AArguments, QString &AError) {
    TRecordOptions options;
    std::optional<QString> seconds;
    std::optional<QString> out;
    std::optional<QString> target;
    const TValueFlag flags[] = {
        {QLatin1String("--record"), &seconds},
        {QLatin1String("--out"), &out},
        {QLatin1String("--target"), &target},
        {QLatin1String("--player-ini"), &options.PlayerIniFile},
        {QLatin1String("--system-ini"), &options.SystemIniFile},
    };
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString &arg = AArguments[i];
        if (arg == u"--no-chain") {
            if (options.NoChain) {
                AError = u"--no-chain given twice"_s;
                return std::nullopt;
            }
            options.NoChain = true;
            continue;
        }
        if (!TakeValueFlag(AArguments, i, flags, AError))
            return std::nullopt;
    }
    if (!seconds || !out) {
        AError = seconds ? u"--out is missing"_s : u"--record is missing"_s;
        return std::nullopt;
    }
    const std::optional<double> length = Number(*seconds);
    if (!length || *length <= 0 || *length > MaxSeconds) {
        AError = u"--record needs a length in seconds above 0, not %1"_s.arg(*seconds);
        return std::nullopt;
    }
    options.Seconds = *length;
    options.Out = *out;
    if (target) {
        const std::optional<double> lufs = Number(*target);
        if (!lufs || *lufs < LowestTargetLufs || *lufs >= 0) {
            AError = u"--target needs a loudness in LUFS from -70 up to 0, not %1"_s.arg(*target);
            return std::nullopt;
        }
        options.TargetLufs = *lufs;
    }
    return options;
}

int RunHeadlessRecord(const QStringList &AArguments) {
    QString error;
    const std::optional<TRecordOptions> options = ParseRecordArguments(AArguments, error);
    if (!options) {
        PrintError(error);
        Print(stderr, MicdeckUsage());
        return 2;
    }
    return Record(*options);
}
