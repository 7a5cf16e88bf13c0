// render-chain end to end: real sound files and real player.ini/system.ini
// files in a temporary folder, the command run as the command line runs it.

#include "app/cli/RenderChain.h"

#include "chain/DSPManagerTestSupport.h"
#include "config/ComponentFile.h"
#include "core/NativeNames.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"
#include "vst/VstHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>
#include <sndfile.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TShortFile {
    SF_INFO Info{};
    std::vector<short> Samples;
};

class RenderChain : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    void TearDown() override {
        // A render uses the settings it read; the process-wide ones stay as
        // they were (the tests' files hold other band layouts).
        const TSystemIniBase fresh;
        EXPECT_EQ(SystemIni().BandsNum, fresh.BandsNum);
        EXPECT_EQ(SystemIni().EQBands.Items(0).CenterFreq, fresh.EQBands.Items(0).CenterFreq);
        FDir.setAutoRemove(!HasFailure());
    }

    QString Path(const QString &AName) const { return FDir.filePath(AName); }

    // A 16-bit file of known integer samples: a ramp with both signs, small
    // enough that +6 dB stays within full scale.
    QString WriteShortFile(const QString &AName, int AFormat, int ARate, int AChannels,
                           int AFrames) {
        TShortFile file;
        file.Info.samplerate = ARate;
        file.Info.channels = AChannels;
        file.Info.format = AFormat;
        for (int i = 0; i < AFrames * AChannels; ++i)
            file.Samples.push_back(short((i * 37) % 16001 - 8000));
        const QString path = Path(AName);
        SNDFILE *sf = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &file.Info);
        EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
        if (sf != nullptr) {
            EXPECT_EQ(sf_writef_short(sf, file.Samples.data(), AFrames), AFrames);
            sf_close(sf);
        }
        return path;
    }

    // A float file holding a sine of AFrequency Hz.
    QString WriteSine(const QString &AName, double AFrequency, double AAmplitude, int AFrames) {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        std::vector<float> samples;
        for (int i = 0; i < AFrames; ++i)
            samples.push_back(
                float(AAmplitude * std::sin(2 * std::numbers::pi * AFrequency * i / 48000)));
        const QString path = Path(AName);
        SNDFILE *sf = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
        EXPECT_NE(sf, nullptr);
        if (sf != nullptr) {
            sf_writef_float(sf, samples.data(), AFrames);
            sf_close(sf);
        }
        return path;
    }

    static TShortFile ReadShortFile(const QString &APath) {
        TShortFile file;
        SNDFILE *sf = sf_open(QFile::encodeName(APath).constData(), SFM_READ, &file.Info);
        EXPECT_NE(sf, nullptr) << APath.toStdString() << ": " << sf_strerror(nullptr);
        if (sf == nullptr)
            return file;
        file.Samples.resize(size_t(file.Info.frames * file.Info.channels));
        sf_readf_short(sf, file.Samples.data(), file.Info.frames);
        sf_close(sf);
        return file;
    }

    static double Rms(const QString &APath, sf_count_t AFrom) {
        SF_INFO info{};
        SNDFILE *sf = sf_open(QFile::encodeName(APath).constData(), SFM_READ, &info);
        EXPECT_NE(sf, nullptr);
        if (sf == nullptr)
            return 0;
        std::vector<float> samples(size_t(info.frames * info.channels));
        sf_readf_float(sf, samples.data(), info.frames);
        sf_close(sf);
        double sum = 0;
        for (size_t i = size_t(AFrom); i < samples.size(); ++i)
            sum += double(samples[i]) * samples[i];
        return std::sqrt(sum / double(samples.size() - size_t(AFrom)));
    }

    // player.ini with AChain as the microphone chain.
    QString WritePlayerIni(const std::function<void(TDSPItemsC &)> &AChain) {
        TPlayerIni player;
        AChain(player.MicDSPList);
        const QString path = Path(u"player.ini"_s);
        WriteComponentFile(player, path);
        return path;
    }

    QString WriteSystemIni(int ABandsNum, qint32 AFirstCentre) {
        TSystemIni system;
        system.BandsNum = ABandsNum;
        system.EQBands.Items(0).CenterFreq = AFirstCentre;
        const QString path = Path(u"system.ini"_s);
        WriteComponentFile(system, path);
        return path;
    }

    static void AddBuiltIn(TDSPItemsC &AChain, TIntDSPKind AKind, TPluginState AState,
                           const QStringList &AParams) {
        TDSPItemC &item = AChain.Add();
        item.T = dspIntegrated;
        item.IntDSPKind = AKind;
        item.State = AState;
        item.Params = AParams;
    }

    static void AddVST(TDSPItemsC &AChain, const QString &APath, const QStringList &AParams) {
        TDSPItemC &item = AChain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = APath;
        item.DispName = u"(VST) "_s + APath;
        item.State = psActive;
        item.Params = AParams;
    }

    // The names in the folder, so a test can see that nothing was left behind.
    QStringList Files() const {
        return QDir(FDir.path())
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir FDir;
    // The host the program installs at start-up, with a helper that runs.
    TInstalledVstHost FHost{u"/bin/true"_s};
};

QString TestPlugin(const char *AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
}

TEST_F(RenderChain, PlusSixDecibelsDoublesTheSamples) {
    const QString in =
        WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 50000);
    const QString player = WritePlayerIni([](TDSPItemsC &AChain) {
        // 20 * log10(2), a hair below so that rounding lands on the double.
        AddBuiltIn(AChain, dspGain, psActive, {u"6.0205999"_s});
        AddBuiltIn(AChain, dspGain, psOff, {u"-20"_s}); // switched off: not applied
        TDSPItemC &plugin = AChain.Add(); // its file is missing: the render goes on without it
        plugin.T = dspPlugin;
        plugin.PluginType = ptVST;
        plugin.PluginPath = u"C:\\VST\\Reverb.dll"_s;
        plugin.State = psActive;
    });
    const QString system = WriteSystemIni(10, 31);
    const QString out = Path(u"out.wav"_s);

    ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player,
                              u"--system-ini"_s, system}),
              0);

    const TShortFile source = ReadShortFile(in);
    const TShortFile result = ReadShortFile(out);
    EXPECT_EQ(result.Info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(result.Info.samplerate, 44100);
    EXPECT_EQ(result.Info.channels, 2);
    ASSERT_EQ(result.Samples.size(), source.Samples.size());
    for (size_t i = 0; i < source.Samples.size(); ++i)
        ASSERT_EQ(result.Samples[i], 2 * source.Samples[i]) << "sample " << i;
}

TEST_F(RenderChain, AnEmptyChainCopiesTheAudioInItsFormat) {
    const struct {
        const char *Name;
        int Format;
        int Rate;
        int Channels;
    } cases[] = {
        {"stereo WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2},
        {"mono FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1},
        {"24-bit FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 2},
    };
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString system = WriteSystemIni(10, 31);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString in = WriteShortFile(u"in.snd"_s, c.Format, c.Rate, c.Channels, 30000);
        const QString out = Path(u"out.snd"_s);
        ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player,
                                  u"--system-ini"_s, system}),
                  0);
        const TShortFile source = ReadShortFile(in);
        const TShortFile result = ReadShortFile(out);
        EXPECT_EQ(result.Info.format, c.Format);
        EXPECT_EQ(result.Info.samplerate, c.Rate);
        EXPECT_EQ(result.Info.channels, c.Channels);
        EXPECT_EQ(result.Samples, source.Samples);
    }
}

TEST_F(RenderChain, TheEqualiserUsesTheBandsOfSystemIni) {
    const QString in = WriteSine(u"sine.wav"_s, 1000, 0.05, 48000);
    const QString player = WritePlayerIni(
        [](TDSPItemsC &AChain) { AddBuiltIn(AChain, dspEqualizer, psActive, {u"12"_s}); });
    const QString out = Path(u"out.wav"_s);

    // One band in use, centred on the sine: +12 dB there.
    const QString oneBand = WriteSystemIni(1, 1000);
    ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player,
                              u"--system-ini"_s, oneBand}),
              0);
    // Past the filter's settling time the level is up by 12 dB (x 3.98).
    EXPECT_NEAR(Rms(out, 4800) / Rms(in, 4800), 3.98, 0.1);

    // Ten bands in use but one gain line: the bands stay flat.
    const QString tenBands = WriteSystemIni(10, 1000);
    ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player,
                              u"--system-ini"_s, tenBands}),
              0);
    EXPECT_NEAR(Rms(out, 4800) / Rms(in, 4800), 1.0, 0.01);
}

TEST_F(RenderChain, FailuresLeaveNoOutputBehind) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString good =
        WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 100);
    QFile notSound(Path(u"notes.txt"_s));
    ASSERT_TRUE(notSound.open(QIODevice::WriteOnly));
    notSound.write("not a sound file\n");
    notSound.close();

    const struct {
        const char *Name;
        QString In;
        QString Out;
    } cases[] = {
        {"missing input", Path(u"missing.wav"_s), Path(u"out.wav"_s)},
        {"input is not sound", Path(u"notes.txt"_s), Path(u"out.wav"_s)},
        {"output folder missing", good, Path(u"no/such/folder/out.wav"_s)},
    };
    const QStringList before = Files();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RunRenderChain({u"--in"_s, c.In, u"--out"_s, c.Out, u"--player-ini"_s, player}),
                  1);
        EXPECT_FALSE(QFile::exists(c.Out));
        EXPECT_EQ(Files(), before);
    }
}

TEST_F(RenderChain, AFailedRenderLeavesAnExistingOutputAsItWas) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString out = Path(u"out.wav"_s);
    QFile existing(out);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("previous render");
    existing.close();

    EXPECT_EQ(RunRenderChain(
                  {u"--in"_s, Path(u"missing.wav"_s), u"--out"_s, out, u"--player-ini"_s, player}),
              1);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("previous render"));
}

TEST_F(RenderChain, UnreadableSettingsFilesFail) {
    const QString in = WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 100);
    QFile broken(Path(u"broken.ini"_s));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("object TPlayerIni\r\n  MicDSPList = <\r\n    item\r\n");
    broken.close();
    const QString out = Path(u"out.wav"_s);

    const struct {
        const char *Name;
        QStringList Extra;
    } cases[] = {
        {"player.ini missing", {u"--player-ini"_s, Path(u"none.ini"_s)}},
        {"player.ini broken", {u"--player-ini"_s, Path(u"broken.ini"_s)}},
        {"system.ini missing", {u"--system-ini"_s, Path(u"none.ini"_s)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RunRenderChain(QStringList{u"--in"_s, in, u"--out"_s, out} + c.Extra), 1);
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST_F(RenderChain, UsageErrors) {
    const struct {
        const char *Name;
        QStringList Arguments;
    } cases[] = {
        {"nothing", {}},
        {"no output", {u"--in"_s, u"a.wav"_s}},
        {"no input", {u"--out"_s, u"b.wav"_s}},
        {"flag without value", {u"--in"_s, u"a.wav"_s, u"--out"_s}},
        {"unknown flag", {u"--in"_s, u"a.wav"_s, u"--out"_s, u"b.wav"_s, u"--gain"_s, u"6"_s}},
        {"flag twice", {u"--in"_s, u"a.wav"_s, u"--in"_s, u"c.wav"_s, u"--out"_s, u"b.wav"_s}},
        {"stray word", {u"a.wav"_s, u"b.wav"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RunRenderChain(c.Arguments), 2);
    }
    QString error;
    const std::optional<TRenderChainOptions> options = ParseRenderChainArguments(
        {u"--out"_s, u"b.wav"_s, u"--system-ini"_s, u"s.ini"_s, u"--in"_s, u"a.wav"_s}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->In, u"a.wav"_s);
    EXPECT_EQ(options->Out, u"b.wav"_s);
    EXPECT_EQ(options->SystemIniFile, u"s.ini"_s);
    EXPECT_FALSE(options->PlayerIniFile);
}

// --- Where the result goes -------------------------------------------------

// A device or a pipe is written through, never replaced by a plain file.
TEST_F(RenderChain, ADeviceOrAPipeIsWrittenStraightThrough) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString in = WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 4000);

    struct stat before {};
    ASSERT_EQ(::stat("/dev/null", &before), 0);
    EXPECT_EQ(
        RunRenderChain({u"--in"_s, in, u"--out"_s, u"/dev/null"_s, u"--player-ini"_s, player}), 0);
    struct stat after {};
    ASSERT_EQ(::stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);

    // Through a pipe in a format the sound-file library can stream (it
    // cannot seek back to finish a WAV header there).
    const QString streamable =
        WriteShortFile(u"in.flac"_s, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, 4000);
    const QString pipe = Path(u"pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] {
        QFile fifo(pipe);
        if (fifo.open(QIODevice::ReadOnly))
            received = fifo.readAll();
    });
    EXPECT_EQ(RunRenderChain({u"--in"_s, streamable, u"--out"_s, pipe, u"--player-ini"_s, player}),
              0);
    reader.join();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(pipe).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_TRUE(received.startsWith("fLaC")) << received.left(16).toHex().toStdString();
    EXPECT_GT(received.size(), 1000);
}

// --out naming the input, by its name or through a link, would destroy it.
TEST_F(RenderChain, OutputThatIsTheInputIsAUsageError) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString in = WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 400);
    QFile original(in);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();
    ASSERT_TRUE(QFile::link(in, Path(u"symlink.wav"_s)));
    ASSERT_EQ(::link(QFile::encodeName(in).constData(),
                     QFile::encodeName(Path(u"hardlink.wav"_s)).constData()),
              0);
    for (const QString &out :
         {in, Path(u"symlink.wav"_s), Path(u"hardlink.wav"_s), FDir.path() + u"/./in.wav"_s}) {
        SCOPED_TRACE(out.toStdString());
        EXPECT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player}), 2);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        EXPECT_EQ(original.readAll(), bytes);
        original.close();
    }
}

// --- Damaged input ----------------------------------------------------------

TEST_F(RenderChain, ADamagedInputFailsWhereReadingStopped) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString whole =
        WriteShortFile(u"whole.flac"_s, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 144000);
    QFile wholeFile(whole);
    ASSERT_TRUE(wholeFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = wholeFile.readAll();
    wholeFile.close();
    // STREAMINFO ends 42 bytes in; the first frame follows the metadata.
    QByteArray corrupt = bytes;
    for (qsizetype i = corrupt.size() / 2; i < corrupt.size() / 2 + 2000; ++i)
        corrupt[i] = char(0xFF ^ corrupt[i]);
    const struct {
        const char *Name;
        QByteArray Bytes;
    } cases[] = {
        {"cut in half", bytes.left(bytes.size() / 2)},
        {"corrupt in the middle", corrupt},
        {"header only", bytes.left(8192).left(bytes.indexOf("\xff\xf8", 42))},
    };
    const QString out = Path(u"out.flac"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString in = Path(u"damaged.flac"_s);
        QFile file(in);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.Bytes);
        file.close();
        QFile previous(out);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly | QIODevice::Truncate));
        previous.write("previous render");
        previous.close();

        testing::internal::CaptureStderr();
        EXPECT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player}), 1);
        const QString error = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_TRUE(error.contains(u"Error reading %1 at "_s.arg(in))) << error.toStdString();
        EXPECT_TRUE(error.contains(u"(frame "_s)) << error.toStdString();
        ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
        EXPECT_EQ(previous.readAll(), QByteArray("previous render"));
    }
    // The whole file still renders: the check does not refuse sound input.
    EXPECT_EQ(RunRenderChain({u"--in"_s, whole, u"--out"_s, out, u"--player-ini"_s, player}), 0);
    EXPECT_EQ(ReadShortFile(out).Samples, ReadShortFile(whole).Samples);
}

// Names that are not UTF-8 reach the files they name.
TEST_F(RenderChain, NamesThatAreNotUtf8) {
    const QString player = WritePlayerIni([](TDSPItemsC &) {});
    const QString plain =
        WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 400);
    const QByteArray folder = QFile::encodeName(FDir.path());
    const QByteArray in = folder + "/caf\xe9.wav";
    const QByteArray out = folder + "/r\xe9sultat.wav";
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(), in.constData()), 0);
    EXPECT_EQ(RunRenderChain({u"--in"_s, NameFromNative(in), u"--out"_s, NameFromNative(out),
                              u"--player-ini"_s, player}),
              0);
    struct stat info {};
    EXPECT_EQ(::stat(out.constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
}

} // namespace

namespace {

TEST_F(RenderChain, AVSTEntryRunsThroughItsPluginWithItsStoredParameters) {
    const QString in = WriteSine(u"in.wav"_s, 440, 0.5, 24000);
    // The test gain at -6 dB.
    const QString player = WritePlayerIni([](TDSPItemsC &AChain) {
        AddVST(AChain, TestPlugin("gain"), {u"0.375"_s, u"1"_s});
    });
    const QString out = Path(u"out.wav"_s);
    ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player}), 0);
    EXPECT_NEAR(Rms(out, 0) / Rms(in, 0), std::pow(10.0, -6.0 / 20), 1e-4);
}

TEST_F(RenderChain, APluginThatFailsToStartIsReportedAndTheRenderGoesOnWithoutIt) {
    const QString in =
        WriteShortFile(u"in.wav"_s, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 5000);
    const QString player = WritePlayerIni([](TDSPItemsC &AChain) {
        AddVST(AChain, TestPlugin("bad-magic"), {});
        AddBuiltIn(AChain, dspGain, psActive, {u"6.0205999"_s});
    });
    const QString out = Path(u"out.wav"_s);
    testing::internal::CaptureStderr();
    const int exitCode =
        RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player});
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(exitCode, 0) << errors;
    EXPECT_NE(errors.find("Unable to start VST plugin"), std::string::npos) << errors;
    EXPECT_NE(errors.find("no valid effect"), std::string::npos) << errors;
    EXPECT_NE(errors.find("did not start"), std::string::npos) << errors;
    EXPECT_NE(errors.find("rendering without it"), std::string::npos) << errors;
    const TShortFile source = ReadShortFile(in);
    const TShortFile result = ReadShortFile(out);
    ASSERT_EQ(result.Samples.size(), source.Samples.size());
    for (size_t i = 0; i < source.Samples.size(); i += 101)
        EXPECT_EQ(result.Samples[i], source.Samples[i] * 2) << i;
}

TEST_F(RenderChain, AnLSPCompressorReducesTheLevelOfALoudTone) {
    const QString plugin = u"/usr/lib/vst/lsp-plugins/compressor-stereo.so"_s;
    if (!QFile::exists(plugin))
        GTEST_SKIP() << "lsp-plugins-vst is not installed";
    // The stored parameters as the window would have saved them: the
    // plug-in's own, with a low threshold and a high ratio.
    TVstHost &host = FHost.Host();
    const quint32 h = host.BASS_VST_ChannelSetDSP(0, plugin, BASS_VST_UNICODE, 49);
    ASSERT_NE(h, 0u);
    auto setByName = [&](const char *AName, float AValue) {
        for (qint32 i = 0; i < host.BASS_VST_GetParamCount(h); ++i) {
            BASS_VST_PARAM_INFO info;
            if (host.BASS_VST_GetParamInfo(h, i, &info) && std::strcmp(info.name, AName) == 0) {
                host.BASS_VST_SetParam(h, i, AValue);
                host.BASS_VST_GetParamInfo(h, i, &info);
                return QString::fromLatin1(info.display);
            }
        }
        ADD_FAILURE() << "no parameter " << AName;
        return QString();
    };
    const QString threshold = setByName("al", 0.5f);
    const QString ratio = setByName("cr", 0.7f);
    EXPECT_LT(threshold.toDouble(), -20) << threshold.toStdString();
    EXPECT_GT(ratio.toDouble(), 4) << ratio.toStdString();
    QStringList params;
    for (qint32 i = 0; i < host.BASS_VST_GetParamCount(h); ++i)
        params << QString::number(double(host.BASS_VST_GetParam(h, i)), 'g', 15);
    host.BASS_VST_ChannelRemoveDSP(0, h);

    const QString in = WriteSine(u"in.wav"_s, 440, 0.9, 96000);
    const QString player =
        WritePlayerIni([&](TDSPItemsC &AChain) { AddVST(AChain, plugin, params); });
    const QString out = Path(u"out.wav"_s);
    ASSERT_EQ(RunRenderChain({u"--in"_s, in, u"--out"_s, out, u"--player-ini"_s, player}), 0);
    // Measured after the attack: the level well down, not silenced.
    const double ratioOfLevels = Rms(out, 48000) / Rms(in, 48000);
    EXPECT_LT(ratioOfLevels, 0.5);
    EXPECT_GT(ratioOfLevels, 0.01);
}

} // namespace
