// vocarra-cli as a script sees it: arguments in, exit status and text out,
// against a real HTTP server on 127.0.0.1.

#include "app/cli/CliDevices.h"
#include "app/cli/CliOptions.h"
#include "config/Settings.h"
#include "devices/ScriptedLibrary.h"
#include "linux_audio/LinuxSoundServer.h"
#include "support/QtTestEnvironment.h"
#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const auto *const QtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunCliWith(const QProcessEnvironment &AEnv, const QStringList &AArgs,
                const QString &AProgram = QStringLiteral(VOCARRA_CLI_PATH)) {
    QProcess process;
    process.setProcessEnvironment(AEnv);
    process.start(AProgram, AArgs);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TRun RunCli(const QStringList &AArgs, const QString &APassEnv = QString(),
            const QString &AProgram = QStringLiteral(VOCARRA_CLI_PATH)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VOCARRA_PASS"));
    if (!APassEnv.isNull())
        env.insert(QStringLiteral("VOCARRA_PASS"), APassEnv);
    return RunCliWith(env, AArgs, AProgram);
}

QStringList Connection(int APort) {
    return {QStringLiteral("--server"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
            QString::number(APort),     QStringLiteral("--user"),    QStringLiteral("U"),
            QStringLiteral("--pass"),   QStringLiteral("W")};
}

const std::string KPlaylist =
    "<?xml version=\"1.0\"?><PLAYLIST>"
    "<TRACK CASTTITLE=\"Caf\xc3\xa9 \\ &quot;\" DURATION=\"3:45\" STARTTIME=\"\"/>"
    "<TRACK CASTTITLE=\"Tab&#9;Title\" DURATION=\"0:05\" STARTTIME=\"12:30\"/></PLAYLIST>";

const std::string KPlayback =
    "<R><Playback playlistpos=\"3\" pos=\"10000\" len=\"30000\" state=\"play\"/>"
    "<CurrentTrack><TRACK ITEMTITLE=\"Now\"/></CurrentTrack>"
    "<NextTrack><TRACK ITEMTITLE=\"N&quot;ext\"/></NextTrack></R>";

class CliTest : public ::testing::Test {
protected:
    CliTest()
        : FServer([this](const httplib::Request &q, httplib::Response &r) {
              const std::string action = q.has_param("action") ? q.get_param_value("action") : "";
              if (q.get_param_value("pass") != "W" && q.method == "GET") {
                  r.status = 403;
                  r.set_content("Access denied", "text/plain");
              } else if (action == "getplaylist2") {
                  r.set_content(KPlaylist, "text/xml; charset=utf-8");
              } else if (action == "playbackinfo") {
                  r.set_content(KPlayback, "text/xml");
              } else {
                  r.set_content(FActionReply, "text/plain");
              }
          }) {}

    std::string FActionReply = "OK";
    TTestServer FServer;
};

TEST_F(CliTest, PlaylistAsLinesAndAsJson) {
    TRun run = RunCli(Connection(FServer.Port()) << QStringLiteral("playlist"));
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, QStringLiteral("1\t\tCaf\u00e9 \\ \"\t3:45\n2\t12:30\tTab Title\t0:05\n"));

    run = RunCli(Connection(FServer.Port())
                 << QStringLiteral("playlist") << QStringLiteral("--json"));
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Out,
              QStringLiteral("[{\"pos\":1,\"start\":\"\",\"title\":\"Caf\u00e9 \\\\ \\\"\","
                             "\"duration\":\"3:45\"},{\"pos\":2,\"start\":\"12:30\","
                             "\"title\":\"Tab\\tTitle\",\"duration\":\"0:05\"}]\n"));
}

TEST_F(CliTest, NowPlayingAsLinesAndAsJson) {
    TRun run = RunCli(Connection(FServer.Port()) << QStringLiteral("nowplaying"));
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, QStringLiteral("PlaylistPos: 3\nPos: 10000\nLen: 30000\nState: play\n"
                                      "CurrentTrack: Now\nNextTrack: N\"ext\n"));
    run = RunCli(Connection(FServer.Port())
                 << QStringLiteral("nowplaying") << QStringLiteral("--json"));
    EXPECT_EQ(run.Out,
              QStringLiteral("{\"playlistPos\":3,\"pos\":10000,\"len\":30000,\"state\":\"play\","
                             "\"currentTrack\":\"Now\",\"nextTrack\":\"N\\\"ext\"}\n"));
}

TEST_F(CliTest, ActionsSendOneBasedPositions) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("take1.flac"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("fLaC....");
    f.close();

    struct TCase {
        QStringList Args;
        std::string Method;
        std::string Target;
        std::string BodyStart;
    };
    const TCase cases[] = {
        {{QStringLiteral("delete"), QStringLiteral("3")},
         "GET",
         "/?user=U&pass=W&action=delete&pos=3",
         ""},
        {{QStringLiteral("move"), QStringLiteral("2"), QStringLiteral("5")},
         "GET",
         "/?user=U&pass=W&action=move&pos1=2&pos2=5",
         ""},
        {{QStringLiteral("upload"), file, QStringLiteral("--after"), QStringLiteral("4")},
         "POST",
         "/",
         "user=U&pass=W&action=vocarra&fn=take1.flac&pos=5&vt="},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Args.join(u' ').toStdString());
        const size_t before = FServer.Requests().size();
        const TRun run = RunCli(Connection(FServer.Port()) << c.Args);
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        const auto requests = FServer.Requests();
        ASSERT_EQ(requests.size(), before + 1);
        EXPECT_EQ(requests.back().Method, c.Method);
        EXPECT_EQ(requests.back().Target, c.Target);
        EXPECT_EQ(requests.back().Body.substr(0, c.BodyStart.size()), c.BodyStart);
    }
}

TEST_F(CliTest, FailureExitsWithOneAndTheErrorText) {
    FActionReply = "No such entry";
    TRun run =
        RunCli(Connection(FServer.Port()) << QStringLiteral("delete") << QStringLiteral("9"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, QStringLiteral("No such entry\n"));
    EXPECT_TRUE(run.Out.isEmpty());

    run = RunCli({QStringLiteral("--port"), QStringLiteral("1"), QStringLiteral("playlist")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, QStringLiteral("Connection not configured. Please open Settings.\n"));

    run = RunCli(Connection(FServer.Port())
                 << QStringLiteral("upload") << QStringLiteral("/nonexistent.flac")
                 << QStringLiteral("--after") << QStringLiteral("1"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("/nonexistent.flac")));
}

TEST_F(CliTest, PasswordFromTheEnvironmentUnlessGiven) {
    const QStringList noPass = {QStringLiteral("--server"),  QStringLiteral("127.0.0.1"),
                                QStringLiteral("--port"),    QString::number(FServer.Port()),
                                QStringLiteral("--user"),    QStringLiteral("U"),
                                QStringLiteral("nowplaying")};
    EXPECT_EQ(RunCli(noPass, QStringLiteral("W")).ExitCode, 0);
    const TRun wrong = RunCli(noPass, QStringLiteral("nope"));
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_EQ(wrong.Err, QStringLiteral("Access denied\n"));
    // The flag wins over the environment.
    EXPECT_EQ(
        RunCli(Connection(FServer.Port()) << QStringLiteral("nowplaying"), QStringLiteral("nope"))
            .ExitCode,
        0);
}

// The bytes a terminal would act on: any C0 control but tab and line feed,
// DEL, and the C1 controls.
bool HasControlBytes(const QString &AText) {
    for (const QChar c : AText) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7F && u <= 0x9F))
            return true;
    }
    return false;
}

TEST(CliServerText, CannotSteerTheTerminal) {
    // A retitled window, a cleared screen, and a carriage return that lets a
    // fake line overwrite the real one; in titles, now playing and errors.
    const std::string hostile = "Real\x1b]0;owned\x07\x1b[2J\x1b[1;1H\rupload OK \xc2\x9b"
                                "31mred";
    TTestServer server([&](const httplib::Request &q, httplib::Response &r) {
        const std::string action = q.get_param_value("action");
        if (action == "getplaylist2") {
            r.set_content("<PLAYLIST><TRACK CASTTITLE=\"" + hostile +
                              "\" DURATION=\"3:00\" STARTTIME=\"\"/></PLAYLIST>",
                          "text/xml");
        } else if (action == "playbackinfo") {
            r.set_content("<R><Playback playlistpos=\"1\" pos=\"0\" len=\"1\" state=\"play\"/>"
                          "<CurrentTrack><TRACK ITEMTITLE=\"" +
                              hostile + "\"/></CurrentTrack></R>",
                          "text/xml");
        } else if (action == "delete") {
            r.set_content(hostile, "text/plain"); // a refusal, not "OK"
        } else {
            r.status = 500;
            r.set_content(hostile, "text/plain");
        }
    });
    const QStringList commands[] = {
        {QStringLiteral("playlist")},
        {QStringLiteral("playlist"), QStringLiteral("--json")},
        {QStringLiteral("nowplaying")},
        {QStringLiteral("nowplaying"), QStringLiteral("--json")},
        {QStringLiteral("delete"), QStringLiteral("1")},
        {QStringLiteral("move"), QStringLiteral("1"), QStringLiteral("2")},
        {QStringLiteral("--verbose"), QStringLiteral("move"), QStringLiteral("1"),
         QStringLiteral("2")},
    };
    for (const QStringList &command : commands) {
        SCOPED_TRACE(command.join(u' ').toStdString());
        const TRun run = RunCli(Connection(server.Port()) << command);
        const QString printed = run.Out + run.Err;
        EXPECT_TRUE(printed.contains(QStringLiteral("Real"))) << printed.toStdString();
        EXPECT_FALSE(HasControlBytes(printed)) << printed.toStdString();
        EXPECT_FALSE(printed.contains(QStringLiteral("owned")));
        EXPECT_FALSE(printed.contains(QStringLiteral("[2J")));
        EXPECT_FALSE(printed.contains(QStringLiteral("31m")));
    }
    // The fake line stays on the real one's line, where it can be seen.
    const TRun lines = RunCli(Connection(server.Port()) << QStringLiteral("playlist"));
    EXPECT_EQ(lines.Out, QStringLiteral("1\t\tReal upload OK red\t3:00\n"));
}

TEST(CliServerText, ARefusalSaysTheStatusAndVerboseShowsTheWholeReply) {
    const std::string page =
        "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1>"
        "<p>The upstream &amp; its friends are gone.</p>" +
        std::string(2000, ' ') + "<hr><address>proxy</address></body></html>";
    TTestServer server([&](const httplib::Request &q, httplib::Response &r) {
        r.status = 502;
        if (q.get_param_value("action") == "getplaylist2")
            r.set_content(page, "text/html");
    });
    TRun run = RunCli(Connection(server.Port()) << QStringLiteral("playlist"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, QStringLiteral("HTTP 502 Bad Gateway: 502 Bad Gateway\n"
                                      "The upstream & its friends are gone.\nproxy\n"));
    run = RunCli(Connection(server.Port())
                 << QStringLiteral("--verbose") << QStringLiteral("playlist"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err,
              QStringLiteral("HTTP 502 Bad Gateway\n") + QString::fromStdString(page) + u'\n');
    run = RunCli(Connection(server.Port()) << QStringLiteral("delete") << QStringLiteral("1"));
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, QStringLiteral("HTTP 502 Bad Gateway\n"));

    QString error;
    const std::optional<TCliOptions> options =
        ParseCliArguments({QStringLiteral("--verbose"), QStringLiteral("playlist")}, error);
    ASSERT_TRUE(options.has_value()) << error.toStdString();
    EXPECT_TRUE(options->Verbose);
}

// A settings.ini in ADir holding this connection.
QString WriteSettings(const QString &ADir, int APort, const QString &AUser, const QString &APass) {
    TSettings settings;
    settings.Server = QStringLiteral("127.0.0.1");
    settings.Port = APort;
    settings.User = AUser;
    settings.Pass = APass;
    const QString file = ADir + QStringLiteral("/settings.ini");
    settings.Save(file);
    return file;
}

TEST_F(CliTest, ConnectionFromASettingsFileWithFlagsOnTop) {
    QTemporaryDir dir;
    const QString file =
        WriteSettings(dir.path(), FServer.Port(), QStringLiteral("FileUser"), QStringLiteral("W"));
    TRun run =
        RunCli({QStringLiteral("--settings"), file, QStringLiteral("delete"), QStringLiteral("2")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(FServer.Requests().back().Target, "/?user=FileUser&pass=W&action=delete&pos=2");

    run = RunCli({QStringLiteral("--settings"), file, QStringLiteral("--user"),
                  QStringLiteral("Flag"), QStringLiteral("delete"), QStringLiteral("2")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(FServer.Requests().back().Target, "/?user=Flag&pass=W&action=delete&pos=2");

    run = RunCli({QStringLiteral("--settings"), dir.filePath(QStringLiteral("missing.ini")),
                  QStringLiteral("playlist")});
    EXPECT_EQ(run.ExitCode, 2);
}

TEST_F(CliTest, WithoutServerTheDataDirectorysSettingsAreRead) {
    // Without uid.ini the data directory is the program's own folder.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("vocarra-cli"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VOCARRA_CLI_PATH), program));
    WriteSettings(dir.path(), FServer.Port(), QStringLiteral("U"), QStringLiteral("W"));
    const TRun run = RunCli({QStringLiteral("nowplaying")}, QString(), program);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(QStringLiteral("PlaylistPos: 3\n")));
}

// The largest positions that fit still go through.
TEST_F(CliTest, LargestPositionsAreSent) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.flac"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TRun run = RunCli(Connection(FServer.Port())
                      << QStringLiteral("upload") << file << QStringLiteral("--after")
                      << QStringLiteral("2147483646"));
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_NE(FServer.Requests().back().Body.find("&pos=2147483647&"), std::string::npos);
    run = RunCli(Connection(FServer.Port())
                 << QStringLiteral("delete") << QStringLiteral("2147483647"));
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(FServer.Requests().back().Target, "/?user=U&pass=W&action=delete&pos=2147483647");
}

// A settings file that does not read stops the command: going on would
// connect with half the settings (port 0 among them).
TEST_F(CliTest, ADamagedSettingsFileStopsWithOne) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("object TSettings\r\n  Server = '127.0.0.1'\r\n  Port = \r\n");
    f.close();
    const size_t before = FServer.Requests().size();
    // Even with the connection given as flags: the file was asked for.
    const TRun run = RunCli({QStringLiteral("--settings"), file, QStringLiteral("--server"),
                             QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                             QString::number(FServer.Port()), QStringLiteral("playlist")});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("Error loading settings")))
        << run.Err.toStdString();
    EXPECT_EQ(FServer.Requests().size(), before);
}

// Names that are not UTF-8, given as raw bytes on the command line (the
// shell's printf makes the byte 0xE9), reach their files.
TEST_F(CliTest, FileNamesThatAreNotUtf8) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QString settings =
        WriteSettings(dir.path(), FServer.Port(), QStringLiteral("U"), QStringLiteral("W"));
    for (const QByteArray &name : {QByteArray("/caf\xe9.flac"), QByteArray("/s\xe9ttings.ini")}) {
        const QByteArray source =
            name.endsWith(".ini") ? QFile::encodeName(settings) : folder + "/plain.flac";
        if (!name.endsWith(".ini")) {
            QFile f(QFile::decodeName(source));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("abc");
        }
        ASSERT_EQ(::rename(source.constData(), (folder + name).constData()), 0);
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VOCARRA_PASS"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("exec \"$0\" --settings \"$(printf '%s/s\\351ttings.ini' "
                                  "\"$1\")\" upload \"$(printf '%s/caf\\351.flac' \"$1\")\" "
                                  "--after 1"),
                   QStringLiteral(VOCARRA_CLI_PATH), dir.path()});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    ASSERT_FALSE(FServer.Requests().empty());
    EXPECT_EQ(FServer.Requests().back().Body,
              "user=U&pass=W&action=vocarra&fn=caf%EF%BF%BD.flac&pos=2&vt=YWJj");
}

TEST(CliUsage, BadArgumentsExitWithTwoAndTheUsage) {
    const QStringList cases[] = {
        {},
        {QStringLiteral("dance")},
        {QStringLiteral("delete")},
        {QStringLiteral("delete"), QStringLiteral("0")},
        {QStringLiteral("delete"), QStringLiteral("x")},
        {QStringLiteral("move"), QStringLiteral("1")},
        {QStringLiteral("upload"), QStringLiteral("a.flac")},
        {QStringLiteral("upload"), QStringLiteral("a.flac"), QStringLiteral("--after"),
         QStringLiteral("0")},
        {QStringLiteral("--port"), QStringLiteral("http"), QStringLiteral("playlist")},
        {QStringLiteral("--port")},
        {QStringLiteral("--frobnicate"), QStringLiteral("playlist")},
        {QStringLiteral("delete"), QStringLiteral("1"), QStringLiteral("--json")},
        {QStringLiteral("--settings")},
        {QStringLiteral("devices"), QStringLiteral("all")},
        // The wire position is N + 1: the largest int leaves no room for it.
        {QStringLiteral("upload"), QStringLiteral("a.flac"), QStringLiteral("--after"),
         QStringLiteral("2147483647")},
        {QStringLiteral("upload"), QStringLiteral("a.flac"), QStringLiteral("--after"),
         QStringLiteral("99999999999")},
        {QStringLiteral("upload"), QStringLiteral("a.flac"), QStringLiteral("--after"),
         QStringLiteral("-1")},
        {QStringLiteral("upload"), QStringLiteral("a.flac"), QStringLiteral("--after"),
         QStringLiteral("two")},
        {QStringLiteral("delete"), QStringLiteral("2147483648")},
        {QStringLiteral("delete"), QStringLiteral("+3")},
        {QStringLiteral("delete"), QStringLiteral(" 3")},
        {QStringLiteral("delete"), QStringLiteral("1.5")},
        {QStringLiteral("delete"), QStringLiteral("\u0663")}, // an Arabic-Indic three
        {QStringLiteral("move"), QStringLiteral("1"), QStringLiteral("-2")},
        {QStringLiteral("move"), QStringLiteral("4294967297"), QStringLiteral("2")},
        {QStringLiteral("--port"), QStringLiteral("65536"), QStringLiteral("playlist")},
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("playlist")},
        {QStringLiteral("--port"), QStringLiteral("+80"), QStringLiteral("playlist")},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        QString error;
        EXPECT_FALSE(ParseCliArguments(args, error).has_value());
        EXPECT_FALSE(error.isEmpty());
        const TRun run = RunCli(args);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(run.Err.contains(QStringLiteral("usage: vocarra-cli")));
    }
}

// render-chain is reached through the program, with options of its own.
TEST(CliRenderChain, ReachedThroughTheProgram) {
    TRun run =
        RunCli({QStringLiteral("render-chain"), QStringLiteral("--in"), QStringLiteral("a.wav")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("usage: vocarra-cli render-chain")));

    QTemporaryDir dir;
    run = RunCli({QStringLiteral("render-chain"), QStringLiteral("--in"),
                  dir.filePath(QStringLiteral("missing.wav")), QStringLiteral("--out"),
                  dir.filePath(QStringLiteral("out.wav"))});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_FALSE(run.Err.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.wav"))));
}

// The sound devices as this machine lists them.

TEST(CliDevices, EveryLayerIsListedWithTheFixedStandardEntries) {
    // A sound server that is not there: the WASAPI role is then empty.
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"),
               QStringLiteral("unix:") + dir.filePath(QStringLiteral("none")));

    TRun run = RunCliWith(env, {QStringLiteral("devices")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(
        QStringLiteral("# standard output\n0\tNo sound\t\n1\tDefault\tdefault\n")))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral("\n# standard capture\n0\tDefault\tdefault\n")));
    EXPECT_TRUE(run.Out.endsWith(QStringLiteral("\n# wasapi\n# asio\n")));

    run = RunCliWith(env, {QStringLiteral("devices"), QStringLiteral("--json")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith(
        QStringLiteral("{\"output\":[{\"number\":0,\"name\":\"No sound\",\"driver\":\"\"},"
                       "{\"number\":1,\"name\":\"Default\",\"driver\":\"default\"}")))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(QStringLiteral(
        ",\"capture\":[{\"number\":0,\"name\":\"Default\",\"driver\":\"default\"}")));
    EXPECT_TRUE(run.Out.endsWith(QStringLiteral(",\"wasapi\":[],\"asio\":[]}\n")));
}

TEST(CliDevices, TheSoundServersDevicesAppearWithTheirFlags) {
    const TTestSoundServer server;
    if (!server.Running())
        GTEST_SKIP() << "no sound server for the test: " << server.Reason().toStdString();

    TRun run = RunCliWith(server.ClientEnvironment(), {QStringLiteral("devices")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString wasapi = run.Out.section(QStringLiteral("# wasapi\n"), 1);
    const QRegularExpression lines[] = {
        QRegularExpression(QStringLiteral("^\\d+\tTest-Sink\tvocarra_test_sink\t1\tenabled$")),
        QRegularExpression(
            QStringLiteral("^\\d+\tMonitor of Test-Sink\tvocarra_test_sink\\.monitor\t25\t"
                           "enabled,loopback,input$")),
        QRegularExpression(
            QStringLiteral("^\\d+\tTest-Source\tvocarra_test_source\t17\tenabled,input$")),
    };
    for (QRegularExpression line : lines) {
        SCOPED_TRACE(line.pattern().toStdString());
        line.setPatternOptions(QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(wasapi).hasMatch()) << run.Out.toStdString();
    }

    run = RunCliWith(server.ClientEnvironment(),
                     {QStringLiteral("devices"), QStringLiteral("--json")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(
        run.Out.contains(QStringLiteral("\"name\":\"Test-Sink\",\"id\":\"vocarra_test_sink\","
                                        "\"flags\":1,\"flagWords\":[\"enabled\"]}")))
        << run.Out.toStdString();
}

TEST(CliDevices, TextsStayOneLineAndValidJson) {
    TScriptedLibrary library;
    library.Output = {{QStringLiteral("No sound"), QString()},
                      {QStringLiteral("Tab\there \"q\""), QStringLiteral("hw:0\n")}};
    library.Wasapi = {
        {QStringLiteral("Mic\r\nTwo"), QStringLiteral("a\\b"), wdfEnabled | wdfInput}};
    library.Asio = {{QStringLiteral("Card"), QStringLiteral("card")}};

    EXPECT_EQ(DevicesLines(library),
              QStringLiteral("# standard output\n0\tNo sound\t\n1\tTab here \"q\"\thw:0 \n"
                             "# standard capture\n"
                             "# wasapi\n0\tMic  Two\ta\\b\t17\tenabled,input\n"
                             "# asio\n0\tCard\tcard\n"));
    EXPECT_EQ(
        DevicesJson(library),
        QStringLiteral(
            "{\"output\":[{\"number\":0,\"name\":\"No sound\",\"driver\":\"\"},"
            "{\"number\":1,\"name\":\"Tab\\there \\\"q\\\"\",\"driver\":\"hw:0\\n\"}],"
            "\"capture\":[],"
            "\"wasapi\":[{\"number\":0,\"name\":\"Mic\\r\\nTwo\",\"id\":\"a\\\\b\",\"flags\":17,"
            "\"flagWords\":[\"enabled\",\"input\"]}],"
            "\"asio\":[{\"number\":0,\"name\":\"Card\",\"driver\":\"card\"}]}\n"));
}

TEST(CliDevices, FlagWordsNameTheKnownBits) {
    const struct {
        quint32 Flags;
        QStringList Words;
    } cases[] = {
        {0, {}},
        {wdfEnabled, {QStringLiteral("enabled")}},
        {wdfInput, {QStringLiteral("input")}},
        {wdfEnabled | wdfLoopback | wdfInput,
         {QStringLiteral("enabled"), QStringLiteral("loopback"), QStringLiteral("input")}},
        {0x2u | 0x4u | 0x100u, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Flags);
        EXPECT_EQ(WasapiFlagWords(c.Flags), c.Words);
    }
}

// --- plugins and plugin-params ----------------------------------------------------

// vocarra-cli installed with its scanning helper beside it in a folder of
// its own, so the scan cache (the data directory is the program's folder
// without uid.ini) and the Winamp plug-in folder are the test's.
class CliPluginsTest : public ::testing::Test {
protected:
    CliPluginsTest() {
        QDir().mkpath(Bin());
        QDir().mkpath(Vst());
        EXPECT_TRUE(QFile::copy(QStringLiteral(VOCARRA_CLI_PATH), Cli()));
        EXPECT_TRUE(QFile::copy(QStringLiteral(VOCARRA_VSTSCAN_PATH),
                                Bin() + QStringLiteral("/vocarra-vstscan")));
    }

    QString Bin() const { return FDir.filePath(QStringLiteral("bin")); }
    QString Vst() const { return FDir.filePath(QStringLiteral("vst")); }
    QString Cli() const { return Bin() + QStringLiteral("/vocarra-cli"); }

    static QString TestPlugin(const char *AName) {
        return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(QLatin1StringView(AName));
    }

    QString AddPlugin(const char *AName, const QString &AFolder) const {
        QDir().mkpath(AFolder);
        const QString target =
            AFolder + QStringLiteral("/test-%1.so").arg(QLatin1StringView(AName));
        EXPECT_TRUE(QFile::copy(TestPlugin(AName), target));
        return target;
    }

    static QJsonArray ArrayOf(const QString &AJson) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(AJson.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << AJson.toStdString();
        return document.array();
    }

    QTemporaryDir FDir;
};

TEST_F(CliPluginsTest, PluginsJsonListsTheCatalogueAndReportsBrokenPlugins) {
    AddPlugin("gain", Vst());
    AddPlugin("crash", Vst());
    AddPlugin("null-effect", Vst());
    AddPlugin("editor", Vst() + QStringLiteral("/sub"));
    const TRun run = RunCli({QStringLiteral("plugins"), QStringLiteral("--json"),
                             QStringLiteral("--vst-folder"), Vst()},
                            QString(), Cli());
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QJsonArray items = ArrayOf(run.Out);
    ASSERT_EQ(items.size(), 5) << run.Out.toStdString();
    const char *builtIns[] = {"Equalizer", "Compressor", "Gain"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i][QStringLiteral("name")].toString(), QLatin1StringView(builtIns[i]));
        EXPECT_EQ(items[i][QStringLiteral("kind")].toString(), QStringLiteral("builtin"));
    }
    const QJsonObject editor = items[3].toObject();
    EXPECT_EQ(editor[QStringLiteral("name")].toString(),
              QStringLiteral("(VST) Vocarra Tests Test Gain [test-editor.so]"));
    EXPECT_EQ(editor[QStringLiteral("kind")].toString(), QStringLiteral("vst"));
    EXPECT_EQ(editor[QStringLiteral("path")].toString(),
              Vst() + QStringLiteral("/sub/test-editor.so"));
    EXPECT_EQ(editor[QStringLiteral("vendor")].toString(), QStringLiteral("Vocarra Tests"));
    EXPECT_EQ(editor[QStringLiteral("effect")].toString(), QStringLiteral("Test Gain"));
    EXPECT_EQ(editor[QStringLiteral("params")].toInt(), 2);
    EXPECT_TRUE(editor[QStringLiteral("editor")].toBool());
    EXPECT_FALSE(items[4][QStringLiteral("editor")].toBool());
    EXPECT_EQ(items[4][QStringLiteral("path")].toString(), Vst() + QStringLiteral("/test-gain.so"));

    EXPECT_EQ(run.Err.count(QStringLiteral("Error loading VST plugin (test-crash.so): crashed "
                                           "with signal 11 (SIGSEGV) h=0")),
              1)
        << run.Err.toStdString();
    EXPECT_FALSE(run.Err.contains(QStringLiteral("null-effect")));
    // The scan cache sits in the data directory.
    EXPECT_TRUE(QFile::exists(Bin() + QStringLiteral("/vst-cache.json")));
}

TEST_F(CliPluginsTest, PluginsFollowsTheSystemSettings) {
    AddPlugin("gain", Vst());
    QDir().mkpath(Bin() + QStringLiteral("/Plugins"));
    QFile::copy(TestPlugin("gain"), Bin() + QStringLiteral("/Plugins/dsp_loud.dll"));
    const QString ini = FDir.filePath(QStringLiteral("system.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("object TSystemIni\n  AllowWinampPlugins = True\n"
                              "  AllowVstPlugins = True\n  VSTFolder.Strings = (\n    '%1')\nend\n")
                   .arg(Vst())
                   .toUtf8());
    file.close();
    const TRun run =
        RunCli({QStringLiteral("plugins"), QStringLiteral("--system-ini"), ini}, QString(), Cli());
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out,
              QStringLiteral("builtin\tEqualizer\t\nbuiltin\tCompressor\t\nbuiltin\tGain\t\n"
                             "winamp\t(DSP) (not available on this system) "
                             "[dsp_loud.dll]\tdsp_loud.dll\n"
                             "vst\t(VST) Vocarra Tests Test Gain [test-gain.so]\t%1\n")
                  .arg(Vst() + QStringLiteral("/test-gain.so")));

    // Without VST plug-ins allowed only the settings' other kinds remain.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("object TSystemIni\n  AllowVstPlugins = False\nend\n");
    file.close();
    const TRun off =
        RunCli({QStringLiteral("plugins"), QStringLiteral("--system-ini"), ini}, QString(), Cli());
    ASSERT_EQ(off.ExitCode, 0) << off.Err.toStdString();
    EXPECT_EQ(off.Out,
              QStringLiteral("builtin\tEqualizer\t\nbuiltin\tCompressor\t\nbuiltin\tGain\t\n"));
}

TEST_F(CliPluginsTest, PluginsWithoutTheScanningHelperFails) {
    AddPlugin("gain", Vst());
    QFile::remove(Bin() + QStringLiteral("/vocarra-vstscan"));
    const TRun run = RunCli({QStringLiteral("plugins"), QStringLiteral("--vst-folder"), Vst()},
                            QString(), Cli());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("VST bridge load error"))) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty());
}

TEST_F(CliPluginsTest, PluginParamsAppliesTheValuesAndListsEveryParameter) {
    const TRun run =
        RunCli({QStringLiteral("plugin-params"), TestPlugin("gain"), QStringLiteral("--set"),
                QStringLiteral("0=0.375"), QStringLiteral("--set"), QStringLiteral("1=0.25"),
                QStringLiteral("--json")},
               QString(), Cli());
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(run.Out.toUtf8()).object();
    EXPECT_EQ(root[QStringLiteral("effect")].toString(), QStringLiteral("Test Gain"));
    const QJsonArray params = root[QStringLiteral("parameters")].toArray();
    ASSERT_EQ(params.size(), 2);
    const QJsonObject gain = params[0].toObject();
    EXPECT_EQ(gain[QStringLiteral("index")].toInt(), 0);
    EXPECT_EQ(gain[QStringLiteral("name")].toString(), QStringLiteral("Gain"));
    EXPECT_DOUBLE_EQ(gain[QStringLiteral("value")].toDouble(), 0.375);
    EXPECT_EQ(gain[QStringLiteral("display")].toString(), QStringLiteral("-6.0"));
    EXPECT_EQ(gain[QStringLiteral("label")].toString(), QStringLiteral("dB"));
    EXPECT_EQ(params[1][QStringLiteral("display")].toString(), QStringLiteral("25"));

    const TRun lines =
        RunCli({QStringLiteral("plugin-params"), TestPlugin("params150")}, QString(), Cli());
    ASSERT_EQ(lines.ExitCode, 0) << lines.Err.toStdString();
    const QStringList rows = lines.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 150);
    EXPECT_EQ(rows[0], QStringLiteral("0\tGain\t0.5\t0.0\tdB"));
    EXPECT_EQ(rows[149], QStringLiteral("149\tP149\t0\t0\t"));
}

struct TParamsFailure {
    const char *Plugin;
    const char *Err;
};

void PrintTo(const TParamsFailure &ACase, std::ostream *AStream) {
    *AStream << ACase.Plugin;
}

class CliPluginParamsFailures : public CliPluginsTest,
                                public ::testing::WithParamInterface<TParamsFailure> {};

TEST_P(CliPluginParamsFailures, ABrokenOrForeignFileFailsWithTheReason) {
    const TRun run =
        RunCli({QStringLiteral("plugin-params"), TestPlugin(GetParam().Plugin)}, QString(), Cli());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains(QLatin1StringView(GetParam().Err))) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, CliPluginParamsFailures,
    ::testing::Values(TParamsFailure{"crash", "(test-crash.so): crashed with signal 11 (SIGSEGV)"},
                      TParamsFailure{"null-effect", "holds no VST plug-in"},
                      TParamsFailure{"bad-magic", "the plug-in returned no valid effect"}),
    [](const auto &AInfo) {
        std::string name = AInfo.param.Plugin;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(CliPluginsTest, UsageErrorsExitWith2) {
    for (const QStringList &args :
         {QStringList{QStringLiteral("plugins"), QStringLiteral("--vst-folder")},
          QStringList{QStringLiteral("plugins"), QStringLiteral("extra")},
          QStringList{QStringLiteral("plugin-params")},
          QStringList{QStringLiteral("plugin-params"), TestPlugin("gain"), QStringLiteral("--set"),
                      QStringLiteral("x")}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const TRun run = RunCli(args, QString(), Cli());
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(run.Err.contains(QStringLiteral("usage:"))) << run.Err.toStdString();
    }
}

} // namespace
