#include "app/cli/CliOptions.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

namespace {

// A whole number from 1 to AMax in plain decimal digits: no sign, no spaces,
// no other digits than 0-9 (QString::toInt takes some of those).
bool ParseNumber(const QString &AText, int AMax, int &AValue) {
    if (AText.isEmpty() || AText.size() > 10)
        return false;
    qint64 value = 0;
    for (const QChar c : AText) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > AMax)
        return false;
    AValue = static_cast<int>(value);
    return true;
}

bool ParsePositive(const QString &AText, int &AValue) {
    return ParseNumber(AText, std::numeric_limits<int>::max(), AValue);
}

} // namespace

QString CliUsage() {
    return QStringLiteral(
        "usage: vocarra-cli [--settings PATH] [--server HOST] [--port N] [--tls] [--user U] "
        "[--pass P]\n"
        "                   [--verbose] COMMAND\n"
        "  playlist [--json]        one line per entry: POS<TAB>START<TAB>TITLE<TAB>DURATION\n"
        "  nowplaying [--json]      PlaylistPos, Pos, Len, State, CurrentTrack, NextTrack\n"
        "  delete POS               delete the entry at 1-based POS\n"
        "  move FROM TO             move the entry at 1-based FROM to TO\n"
        "  upload FILE --after N    insert FILE after the entry at 1-based N\n"
        "  devices [--json]         the sound devices of every driver layer, a \"# LAYER\" line\n"
        "                           before each: NUM<TAB>NAME<TAB>DRIVER, or for wasapi\n"
        "                           NUM<TAB>NAME<TAB>ID<TAB>FLAGS<TAB>WORDS\n"
        "  render-chain --in IN --out OUT [--player-ini PATH] [--system-ini PATH]\n"
        "                           run the sound file IN through the microphone chain\n"
        "  plugins [--json] [--system-ini PATH] [--vst-folder DIR]\n"
        "                           the processors that may be added to the chain:\n"
        "                           KIND<TAB>NAME<TAB>PATH\n"
        "  plugin-params FILE [--set INDEX=VALUE ...] [--json]\n"
        "                           the parameters of the VST plug-in FILE after the values\n"
        "                           given: INDEX<TAB>NAME<TAB>VALUE<TAB>DISPLAY<TAB>LABEL\n"
        "The connection comes from the settings file PATH, or without --settings and --server\n"
        "from settings.ini in the data directory; the flags override it. The password may\n"
        "also come from the environment variable VOCARRA_PASS. --verbose shows the whole reply\n"
        "of a refused request instead of its first lines.\n");
}

std::optional<TCliOptions> ParseCliArguments(const QStringList &AArgs, QString &AError) {
    TCliOptions options;
    QStringList positional;
    std::optional<int> after;

    for (qsizetype i = 0; i < AArgs.size(); ++i) {
        const QString &arg = AArgs[i];
        auto value = [&](QString &AOut) {
            if (i + 1 >= AArgs.size()) {
                AError = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            AOut = AArgs[++i];
            return true;
        };
        // Flags that take a text as it is.
        const std::pair<QLatin1String, std::optional<QString> *> textFlags[] = {
            {QLatin1String("--settings"), &options.SettingsFile},
            {QLatin1String("--server"), &options.Server},
            {QLatin1String("--user"), &options.User},
            {QLatin1String("--pass"), &options.Pass},
        };
        const auto textFlag = std::find_if(std::begin(textFlags), std::end(textFlags),
                                           [&](const auto &AFlag) { return arg == AFlag.first; });
        QString v;
        if (textFlag != std::end(textFlags)) {
            if (!value(v))
                return std::nullopt;
            *textFlag->second = v;
        } else if (arg == QLatin1String("--port")) {
            if (!value(v))
                return std::nullopt;
            int port = 0;
            if (!ParseNumber(v, 65535, port)) {
                AError = QStringLiteral("--port needs a number from 1 to 65535, not \"%1\"").arg(v);
                return std::nullopt;
            }
            options.Port = port;
        } else if (arg == QLatin1String("--tls")) {
            options.TLS = true;
        } else if (arg == QLatin1String("--json")) {
            options.Json = true;
        } else if (arg == QLatin1String("--verbose")) {
            options.Verbose = true;
        } else if (arg == QLatin1String("--after")) {
            if (!value(v))
                return std::nullopt;
            int n = 0;
            // The entry after it goes on the wire as N + 1, which must fit too.
            if (!ParseNumber(v, std::numeric_limits<int>::max() - 1, n)) {
                AError = QStringLiteral("--after needs a position from 1 to %1, not \"%2\"")
                             .arg(std::numeric_limits<int>::max() - 1)
                             .arg(v);
                return std::nullopt;
            }
            after = n;
        } else if (arg.startsWith(QLatin1String("--"))) {
            AError = QStringLiteral("unknown option %1").arg(arg);
            return std::nullopt;
        } else {
            positional << arg;
        }
    }

    if (positional.isEmpty()) {
        AError = QStringLiteral("no command given");
        return std::nullopt;
    }
    const QString command = positional.takeFirst();
    auto expect = [&](qsizetype ACount) {
        if (positional.size() == ACount)
            return true;
        AError = QStringLiteral("%1 takes %2 argument(s)").arg(command).arg(ACount);
        return false;
    };
    auto position = [&](const QString &AText, int &AOut) {
        if (ParsePositive(AText, AOut))
            return true;
        AError = QStringLiteral("a position is a number of 1 or more, not \"%1\"").arg(AText);
        return false;
    };

    if (command == QLatin1String("playlist") || command == QLatin1String("nowplaying")) {
        options.Command = command == QLatin1String("playlist") ? TCliOptions::cmPlaylist
                                                               : TCliOptions::cmNowPlaying;
        if (!expect(0))
            return std::nullopt;
    } else if (command == QLatin1String("devices")) {
        options.Command = TCliOptions::cmDevices;
        if (!expect(0))
            return std::nullopt;
    } else if (command == QLatin1String("delete")) {
        options.Command = TCliOptions::cmDelete;
        if (!expect(1) || !position(positional[0], options.Pos1))
            return std::nullopt;
    } else if (command == QLatin1String("move")) {
        options.Command = TCliOptions::cmMove;
        if (!expect(2) || !position(positional[0], options.Pos1) ||
            !position(positional[1], options.Pos2))
            return std::nullopt;
    } else if (command == QLatin1String("upload")) {
        options.Command = TCliOptions::cmUpload;
        if (!expect(1))
            return std::nullopt;
        if (!after) {
            AError = QStringLiteral("upload needs --after N");
            return std::nullopt;
        }
        options.File = positional[0];
        options.Pos1 = *after;
    } else {
        AError = QStringLiteral("unknown command %1").arg(command);
        return std::nullopt;
    }
    if (after && options.Command != TCliOptions::cmUpload) {
        AError = QStringLiteral("--after belongs to upload");
        return std::nullopt;
    }
    if (options.Json && options.Command != TCliOptions::cmPlaylist &&
        options.Command != TCliOptions::cmNowPlaying && options.Command != TCliOptions::cmDevices) {
        AError = QStringLiteral("--json belongs to playlist, nowplaying and devices");
        return std::nullopt;
    }
    return options;
}

bool TakeValueFlag(const QStringList &AArguments, qsizetype &AIndex,
                   std::span<const TValueFlag> AFlags, QString &AError) {
    const QString &arg = AArguments[AIndex];
    const auto flag = std::find_if(AFlags.begin(), AFlags.end(),
                                   [&](const TValueFlag &AFlag) { return arg == AFlag.first; });
    if (flag == AFlags.end()) {
        AError = QStringLiteral("unknown argument %1").arg(arg);
        return false;
    }
    if (AIndex + 1 >= AArguments.size() || AArguments[AIndex + 1].isEmpty()) {
        AError = QStringLiteral("%1 needs a value").arg(arg);
        return false;
    }
    if (flag->second->has_value()) {
        AError = QStringLiteral("%1 given twice").arg(arg);
        return false;
    }
    *flag->second = AArguments[++AIndex];
    return true;
}
