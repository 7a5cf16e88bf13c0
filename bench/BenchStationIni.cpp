// Reading and writing a player.ini of about 1 MB: a microphone chain of many
// VST entries with their parameters, and thousands of properties of the
// station family's other programs that are carried along unread.

#include "config/ComponentText.h"
#include "config/DataDirs.h"
#include "station/PlayerIni.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

void Line(QByteArray &AOut, int ALevel, const QByteArray &AText) {
    AOut.append(2 * ALevel, ' ');
    AOut.append(AText);
    AOut.append("\r\n");
}

QByteArray Num(qint64 AValue) {
    return QByteArray::number(AValue);
}

// Root properties of every kind the family writes, as its writer lays them out.
void AppendCarried(QByteArray &AOut, int ACount) {
    for (int i = 0; i < ACount; ++i) {
        const QByteArray n = Num(i);
        switch (i % 8) {
        case 0:
            Line(AOut, 1, "Counter" + n + " = " + Num(i * 37 - 5000));
            break;
        case 1:
            Line(AOut, 1, "Flag" + n + " = " + (i % 3 ? "True" : "False"));
            break;
        case 2:
            Line(AOut, 1, "Mode" + n + " = mdRelay");
            break;
        case 3:
            Line(AOut, 1,
                 "Colour" + n + " = $00" +
                     QByteArray::number(i * 4099, 16).toUpper().rightJustified(6, '0'));
            break;
        case 4:
            Line(AOut, 1, "Level" + n + " = 0." + Num(i).rightJustified(18, '0'));
            break;
        case 5:
            Line(AOut, 1, "Gain" + n + " = -" + Num(i % 60) + ".5s");
            break;
        case 6:
            Line(AOut, 1, "Title" + n + " = 'Sendung '#8222'Morgen'#8220' Nr. " + n + "'");
            break;
        default:
            Line(AOut, 1, "Url" + n + " = ");
            Line(AOut, 2, "'https://stream.example.org/mount/with/a/rather/long/path/segment' +");
            Line(AOut, 2, "'?station=" + n + "&format=mp3'");
            break;
        }
    }
}

// A carried collection of broadcast outputs, each with a nested encoder list.
void AppendOutputs(QByteArray &AOut, int ACount) {
    Line(AOut, 1, "BroadcastOutputs = <");
    for (int i = 0; i < ACount; ++i) {
        Line(AOut, 2, "item");
        Line(AOut, 3, "Name = 'Output " + Num(i) + "'");
        Line(AOut, 3, "Port = " + Num(8000 + i));
        Line(AOut, 3, "Encoder = <");
        Line(AOut, 4, "item");
        Line(AOut, 5, "Codec = ecMP3");
        Line(AOut, 5, "Bitrate = 128");
        Line(AOut, 4, "end>");
        Line(AOut, 2, i + 1 < ACount ? "end" : "end>");
    }
}

void AppendChain(QByteArray &AOut, int ACount) {
    Line(AOut, 1, "MicDSPList = <");
    for (int i = 0; i < ACount; ++i) {
        Line(AOut, 2, "item");
        Line(AOut, 3, "T = dspPlugin");
        Line(AOut, 3, "Params.Strings = (");
        for (int p = 0; p < 16; ++p)
            Line(AOut, 4, "'0." + Num((i * 16 + p) % 997) + "'" + (p == 15 ? ")" : ""));
        Line(AOut, 3, "DispName = 'Plug-in " + Num(i) + "'");
        Line(AOut, 3, "PluginPath = 'C:\\VST\\Plugin " + Num(i) + ".dll'");
        Line(AOut, 3, "PluginType = ptVST");
        Line(AOut, 3, i % 2 ? "State = psActive" : "State = psOff");
        Line(AOut, 3, "IntDSPKind = dspEqualizer");
        Line(AOut, 2, i + 1 < ACount ? "end" : "end>");
    }
}

const QByteArray &LargePlayerFile() {
    static const QByteArray Text = [] {
        QByteArray out;
        Line(out, 0, "object TPlayerIni");
        AppendCarried(out, 7000);
        AppendOutputs(out, 800);
        AppendChain(out, 1200);
        Line(out, 1, "DSPList = <");
        for (const char *kind : {"Equalizer", "Compressor"}) {
            Line(out, 2, "item");
            Line(out, 3, "T = dspIntegrated");
            Line(out, 3, "DispName = '" + QByteArray(kind) + "'");
            Line(out, 3, "PluginType = ptDSP");
            Line(out, 3, "State = psOff");
            Line(out, 3, "IntDSPKind = dsp" + QByteArray(kind));
            Line(out, 2, kind[0] == 'E' ? "end" : "end>");
        }
        Line(out, 1, "VoiceTracksFolder = '\\VoiceTracks\\'");
        Line(out, 0, "end");
        return out;
    }();
    return Text;
}

// A data folder of its own holding the large player.ini.
class TBenchDataDir {
public:
    TBenchDataDir() {
        SetProcessDirs({FDir.path() + u'/', QString(), FDir.path() + u'/'});
        QFile file(FDir.filePath(u"player.ini"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write(LargePlayerFile());
    }
    ~TBenchDataDir() { SetProcessDirs({}); }
    TBenchDataDir(const TBenchDataDir &) = delete;
    TBenchDataDir &operator=(const TBenchDataDir &) = delete;

private:
    QTemporaryDir FDir;
};

void BM_ReadPlayerIni(benchmark::State &AState) {
    const TBenchDataDir dir;
    for (auto _ : AState) {
        TPlayerIni ini;
        ini.Read();
        benchmark::DoNotOptimize(ini.MicDSPList.Count());
    }
    AState.SetBytesProcessed(AState.iterations() * LargePlayerFile().size());
    AState.counters["file_bytes"] = static_cast<double>(LargePlayerFile().size());
}
BENCHMARK(BM_ReadPlayerIni)->Unit(benchmark::kMillisecond);

// The text Save writes, without the disk.
void BM_WritePlayerIni(benchmark::State &AState) {
    const TBenchDataDir dir;
    TPlayerIni ini;
    ini.Read();
    if (ComponentToText(ini) != LargePlayerFile())
        AState.SkipWithError("the large file does not go through unchanged");
    for (auto _ : AState)
        benchmark::DoNotOptimize(ComponentToText(ini));
    AState.SetBytesProcessed(AState.iterations() * LargePlayerFile().size());
}
BENCHMARK(BM_WritePlayerIni)->Unit(benchmark::kMillisecond);

// Save as a whole: the text, the comparison with the file as read, the merge
// over its current text, the atomic replacement with its flushes to the disk,
// and the ".bak" copy.
void BM_SavePlayerIni(benchmark::State &AState) {
    const TBenchDataDir dir;
    TPlayerIni ini;
    ini.Read();
    // A save without a change writes nothing, so every round changes the folder.
    bool evening = false;
    for (auto _ : AState) {
        evening = !evening;
        ini.VoiceTracksFolder =
            evening ? QStringLiteral("\\Evening\\") : QStringLiteral("\\Morning\\");
        ini.Save();
    }
    AState.SetBytesProcessed(AState.iterations() * LargePlayerFile().size());
}
BENCHMARK(BM_SavePlayerIni)->Unit(benchmark::kMillisecond);

} // namespace
