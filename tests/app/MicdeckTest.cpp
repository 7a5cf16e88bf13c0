// micdeck's headless mode end to end: the real program against a private
// sound server with a sine source, the settings in real player.ini and
// system.ini files of a temporary folder, the takes read back from disk.

#include "capture/SineAnalysis.h"
#include "config/ComponentFile.h"
#include "config/DataDirs.h"
#include "devices/SoundDevice.h"
#include "handoff/Handoff.h"
#include "linux_audio/LinuxSoundServer.h"
#include "loudness/Normalise.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr double SineHz = 1000;
constexpr double SineRms = 0.5 / std::numbers::sqrt2; // module-sine-source: half of full scale

struct TRun {
    int FExitCode = -1;
    QString FOut;
    QString FErr;
};

QString TestPlugin(const char *AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
}

// The number of a printed line "ALabel: <number> AUnit"; NaN when missing.
double Printed(const QString &AOut, const QString &ALabel, const QString &AUnit) {
    const QRegularExpression line(u"^"_s + QRegularExpression::escape(ALabel) +
                                      u": (-?[0-9.]+|-inf) "_s + QRegularExpression::escape(AUnit) +
                                      u"$"_s,
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(AOut);
    if (!match.hasMatch())
        return std::nan("");
    return match.captured(1) == u"-inf" ? -INFINITY : match.captured(1).toDouble();
}

class Micdeck : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FServer = new TTestSoundServer(
            {u"module-sine-source source_name=vocarra_test_sine rate=48000 frequency=1000"_s});
        // The default input is the sine too, so a fallback records something.
        if (FServer->Running())
            FServer->Pactl({u"set-default-source"_s, u"vocarra_test_sine"_s});
    }
    static void TearDownTestSuite() {
        delete FServer;
        FServer = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    void TearDown() override { FDir.setAutoRemove(!HasFailure()); }

    void NeedServer() {
        if (!FServer->Running())
            GTEST_SKIP() << FServer->Reason().toStdString();
    }

    QString Path(const QString &AName) const { return FDir.filePath(AName); }

    QString WritePlayerIni(const std::function<void(TDSPItemsC &)> &AChain) {
        TPlayerIni player;
        AChain(player.MicDSPList);
        const QString path = Path(u"player.ini"_s);
        WriteComponentFile(player, path);
        return path;
    }

    // system.ini with the microphone on the sound server's source ASource.
    QString WriteSystemIni(const QString &ASource) {
        TSystemIni system;
        TInputDevice &mic = system.Inputs.Items(0);
        mic.SetMethod(lyWasapi);
        mic.SetDeviceID(ASource);
        const QString path = Path(u"system.ini"_s);
        WriteComponentFile(system, path);
        return path;
    }

    static void AddGain(TDSPItemsC &AChain, const QString &ADb) {
        TDSPItemC &item = AChain.Add();
        item.T = dspIntegrated;
        item.IntDSPKind = dspGain;
        item.State = psActive;
        item.Params = {ADb};
    }

    static TRun Run(const QStringList &AArguments) {
        QProcess process;
        if (FServer->Running())
            process.setProcessEnvironment(FServer->ClientEnvironment());
        process.start(QStringLiteral(VOCARRA_MICDECK_PATH), AArguments);
        TRun run;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return run;
        run.FExitCode = process.exitCode();
        run.FOut = QString::fromUtf8(process.readAllStandardOutput());
        run.FErr = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    // Records ASeconds into out.flac with the files written before.
    TRun Record(const QString &ASeconds, const QStringList &AMore = {}) {
        QStringList arguments{u"--record"_s,     ASeconds,
                              u"--out"_s,        Path(u"out.flac"_s),
                              u"--player-ini"_s, Path(u"player.ini"_s),
                              u"--system-ini"_s, Path(u"system.ini"_s)};
        return Run(arguments + AMore);
    }

    // The RMS of the take from 0.1 s on.
    std::vector<float> TakeSamples() const {
        const TTakeSamples take = ReadTake(Path(u"out.flac"_s));
        EXPECT_EQ(take.FRate, 48000);
        return Channel0(take, 4800);
    }

    static TTestSoundServer *FServer;
    QTemporaryDir FDir;
};

TTestSoundServer *Micdeck::FServer = nullptr;

TEST_F(Micdeck, UsageErrorsExitWithTwo) {
    const struct {
        const char *FName;
        QStringList FArguments;
    } cases[] = {
        {"nothing", {}},
        {"no --out", {u"--record"_s, u"1"_s}},
        {"no --record", {u"--out"_s, u"a.flac"_s}},
        {"no value", {u"--out"_s, u"a.flac"_s, u"--record"_s}},
        {"not a length", {u"--record"_s, u"abc"_s, u"--out"_s, u"a.flac"_s}},
        {"zero length", {u"--record"_s, u"0"_s, u"--out"_s, u"a.flac"_s}},
        {"negative length", {u"--record"_s, u"-2"_s, u"--out"_s, u"a.flac"_s}},
        {"target not a number",
         {u"--record"_s, u"1"_s, u"--out"_s, u"a.flac"_s, u"--target"_s, u"loud"_s}},
        {"target above 0", {u"--record"_s, u"1"_s, u"--out"_s, u"a.flac"_s, u"--target"_s, u"3"_s}},
        {"unknown flag", {u"--record"_s, u"1"_s, u"--out"_s, u"a.flac"_s, u"--gain"_s, u"6"_s}},
        {"given twice", {u"--record"_s, u"1"_s, u"--record"_s, u"2"_s, u"--out"_s, u"a.flac"_s}},
        {"-vocarra with more", {u"-vocarra"_s, u"--record"_s, u"1"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.FName);
        const TRun run = Run(c.FArguments);
        EXPECT_EQ(run.FExitCode, 2) << run.FErr.toStdString();
        EXPECT_TRUE(run.FErr.contains(u"usage: micdeck"_s)) << run.FErr.toStdString();
        EXPECT_TRUE(run.FOut.isEmpty());
    }
}

TEST_F(Micdeck, TheWindowIsNotThereYet) {
    const TRun run = Run({u"-vocarra"_s});
    EXPECT_EQ(run.FExitCode, 1);
    EXPECT_TRUE(run.FErr.contains(u"recorder window is not built yet"_s)) << run.FErr.toStdString();
}

// micdeck --insert with the per-user base in the test's folder; and the name
// its Vocarra listens on.
class MicdeckInsert : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FTake = FDir.filePath(u"take 1.flac"_s);
        QFile out(FTake);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(1000, 'f'));
        const QString program = QStringLiteral(VOCARRA_MICDECK_PATH);
        FServerName = HandoffServerName(
            ResolveDataDir(FolderOfProgram(program), {FDir.path(), FDir.path()}).DataDir);
    }

    void Start(QProcess &AProcess, const QString &AFile) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, FDir.path());
        AProcess.setProcessEnvironment(env);
        AProcess.start(QStringLiteral(VOCARRA_MICDECK_PATH), {u"--insert"_s, AFile});
    }

    static TRun Finish(QProcess &AProcess) {
        TRun run;
        if (!AProcess.waitForFinished(120000) || AProcess.exitStatus() != QProcess::NormalExit)
            return run;
        run.FExitCode = AProcess.exitCode();
        run.FOut = QString::fromUtf8(AProcess.readAllStandardOutput());
        run.FErr = QString::fromUtf8(AProcess.readAllStandardError());
        return run;
    }

    QTemporaryDir FDir;
    QString FTake;
    QString FServerName;
};

TEST_F(MicdeckInsert, WithoutVocarraSaysSoAndKeepsTheTake) {
    {
        QLocalSocket probe;
        probe.connectToServer(FServerName);
        if (probe.waitForConnected(1000))
            GTEST_SKIP() << "a Vocarra of this build folder is running";
    }
    QProcess process;
    Start(process, FTake);
    const TRun run = Finish(process);
    EXPECT_EQ(run.FExitCode, 1);
    EXPECT_TRUE(run.FErr.contains(u"Vocarra is not running; the take is kept: "_s + FTake))
        << run.FErr.toStdString();
    EXPECT_TRUE(QFile::exists(FTake));
}

TEST_F(MicdeckInsert, AMissingTakeIsNotSent) {
    QProcess process;
    Start(process, FDir.filePath(u"gone.flac"_s));
    const TRun run = Finish(process);
    EXPECT_EQ(run.FExitCode, 1);
    EXPECT_TRUE(run.FErr.contains(u"no such take"_s)) << run.FErr.toStdString();
}

TEST_F(MicdeckInsert, SendsTheTakeAndSaysWhatVocarraAnswered) {
    struct TCase {
        const char *FName;
        QByteArray FReply;
        int FExitCode;
        QString FText;
    };
    const TCase cases[] = {
        {"started", "ok\n"_ba, 0, u"Vocarra uploads "_s},
        {"busy", "busy\n"_ba, 1, u"Vocarra is uploading another voice track"_s},
        {"refused", "error\tPlease select a track in the playlist\n"_ba, 1,
         u"Please select a track in the playlist"_s},
        {"no reply", "what?\n"_ba, 1, u"Vocarra did not answer"_s},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.FName);
        QLocalServer::removeServer(FServerName);
        QLocalServer server;
        ASSERT_TRUE(server.listen(FServerName)) << server.errorString().toStdString();
        QProcess process;
        Start(process, FTake);
        ASSERT_TRUE(server.waitForNewConnection(60000));
        QLocalSocket *socket = server.nextPendingConnection();
        ASSERT_NE(socket, nullptr);
        while (!socket->canReadLine())
            ASSERT_TRUE(socket->waitForReadyRead(60000));
        EXPECT_EQ(socket->readLine(), InsertRequestLine(FTake));
        socket->write(c.FReply);
        socket->waitForBytesWritten(60000);
        const TRun run = Finish(process);
        EXPECT_EQ(run.FExitCode, c.FExitCode) << run.FErr.toStdString();
        EXPECT_TRUE((run.FOut + run.FErr).contains(c.FText))
            << run.FOut.toStdString() << run.FErr.toStdString();
        if (c.FExitCode != 0) {
            EXPECT_TRUE(run.FErr.contains(u"the take is kept: "_s + FTake));
        }
        EXPECT_TRUE(QFile::exists(FTake));
    }
}

TEST_F(Micdeck, RecordsTheConfiguredInputAndPrintsItsLoudness) {
    NeedServer();
    WritePlayerIni([](TDSPItemsC &) {});
    WriteSystemIni(u"vocarra_test_sine"_s);
    const TRun run = Record(u"1.5"_s, {u"--no-chain"_s});
    ASSERT_EQ(run.FExitCode, 0) << run.FErr.toStdString();
    EXPECT_TRUE(run.FErr.isEmpty()) << run.FErr.toStdString();
    EXPECT_TRUE(run.FOut.contains(u"Input: vocarra_test_sine\n"_s)) << run.FOut.toStdString();
    // A sine at -6 dBFS in one channel: -3.01 for the one channel, -6.02 for
    // the level.
    EXPECT_NEAR(Printed(run.FOut, u"Integrated loudness"_s, u"LUFS"_s), -9.03, 0.2)
        << run.FOut.toStdString();
    EXPECT_NEAR(Printed(run.FOut, u"True peak"_s, u"dBTP"_s), -6.02, 0.2) << run.FOut.toStdString();
    const TTakeSamples take = ReadTake(Path(u"out.flac"_s));
    EXPECT_EQ(take.Frames(), 72000);
    const std::vector<float> samples = TakeSamples();
    EXPECT_NEAR(SineFrequency(samples, 48000), SineHz, SineHz * 0.005);
    EXPECT_NEAR(Rms(samples), SineRms, 0.01);
    // Nothing is left beside the take.
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({u"out.flac"_s, u"player.ini"_s, u"system.ini"_s}));
}

TEST_F(Micdeck, TheChainChangesTheLevelAsTheEnginePredicts) {
    NeedServer();
    WriteSystemIni(u"vocarra_test_sine"_s);
    const struct {
        const char *FName;
        std::function<void(TDSPItemsC &)> FChain;
        QStringList FMore;
        double FGainDb;
    } cases[] = {
        {"gain", [](TDSPItemsC &AChain) { AddGain(AChain, u"-6.0206"_s); }, {}, -6.0206},
        {"gain switched off",
         [](TDSPItemsC &AChain) {
             AddGain(AChain, u"-12"_s);
             AChain.Items(0).State = psOff;
         },
         {},
         0},
        {"--no-chain", [](TDSPItemsC &AChain) { AddGain(AChain, u"-12"_s); }, {u"--no-chain"_s}, 0},
        {"VST test gain",
         [](TDSPItemsC &AChain) {
             TDSPItemC &item = AChain.Add();
             item.T = dspPlugin;
             item.PluginType = ptVST;
             item.PluginPath = TestPlugin("gain");
             item.DispName = u"(VST) test gain"_s;
             item.State = psActive;
             item.Params = {u"0.375"_s, u"1"_s}; // -6 dB
         },
         {},
         -6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.FName);
        WritePlayerIni(c.FChain);
        const TRun run = Record(u"0.5"_s, c.FMore);
        ASSERT_EQ(run.FExitCode, 0) << run.FErr.toStdString();
        EXPECT_FALSE(run.FErr.contains(u"did not start"_s)) << run.FErr.toStdString();
        const std::vector<float> samples = TakeSamples();
        EXPECT_NEAR(Rms(samples) / SineRms, std::pow(10.0, c.FGainDb / 20), 0.01);
        EXPECT_NEAR(SineFrequency(samples, 48000), SineHz, SineHz * 0.005);
    }
}

TEST_F(Micdeck, TheTargetBringsTheTakeToItsLoudness) {
    NeedServer();
    WritePlayerIni([](TDSPItemsC &) {});
    WriteSystemIni(u"vocarra_test_sine"_s);
    for (const double target : {-16.0, -19.0, -23.0, -20.5}) {
        SCOPED_TRACE(target);
        const TRun run = Record(u"2"_s, {u"--target"_s, QString::number(target)});
        ASSERT_EQ(run.FExitCode, 0) << run.FErr.toStdString();
        EXPECT_TRUE(run.FOut.contains(u"Target %1 LUFS: Gain "_s.arg(QString::number(target))))
            << run.FOut.toStdString();
        EXPECT_NEAR(Printed(run.FOut, u"Integrated loudness after"_s, u"LUFS"_s), target, 0.5)
            << run.FOut.toStdString();
        QString error;
        const std::optional<TLoudnessMeasurement> measured =
            MeasureFile(Path(u"out.flac"_s), &error);
        ASSERT_TRUE(measured) << error.toStdString();
        EXPECT_NEAR(measured->FIntegratedLufs, target, 0.5);
        EXPECT_LE(measured->FTruePeakDb, -1.0);
        EXPECT_EQ(measured->FRate, 48000U);
    }
}

TEST_F(Micdeck, AMissingInputFallsBackToTheDefaultWithAWarning) {
    NeedServer();
    WritePlayerIni([](TDSPItemsC &) {});
    WriteSystemIni(u"microphone_unplugged"_s);
    const TRun run = Record(u"0.5"_s);
    ASSERT_EQ(run.FExitCode, 0) << run.FErr.toStdString();
    EXPECT_TRUE(run.FErr.contains(u"micdeck: warning: The input device microphone_unplugged is "
                                  u"not available; recording from the default input instead."_s))
        << run.FErr.toStdString();
    EXPECT_TRUE(run.FOut.contains(u"Input: vocarra_test_sine\n"_s)) << run.FOut.toStdString();
    EXPECT_NEAR(Rms(TakeSamples()), SineRms, 0.01);
}

TEST_F(Micdeck, NoSoundServerIsAFailure) {
    WritePlayerIni([](TDSPItemsC &) {});
    WriteSystemIni(u"vocarra_test_sine"_s);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PULSE_SERVER"_s, u"unix:"_s + Path(u"no-server"_s));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VOCARRA_MICDECK_PATH),
                  {u"--record"_s, u"1"_s, u"--out"_s, Path(u"out.flac"_s), u"--player-ini"_s,
                   Path(u"player.ini"_s), u"--system-ini"_s, Path(u"system.ini"_s)});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("The sound server cannot be reached"));
    EXPECT_FALSE(QFile::exists(Path(u"out.flac"_s)));
}

} // namespace
