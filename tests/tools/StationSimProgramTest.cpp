#include "SimTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <httplib.h>

using namespace Qt::StringLiterals;

namespace {

// The real program, as scripts start it.
class StationSimProgramTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(20000);
        }
    }

    // Starts the program and returns the port from its first line, or 0.
    int Start(const QStringList &AArgs) {
        FProcess.start(QStringLiteral(VOCARRA_STATION_SIM), AArgs);
        if (!FProcess.waitForStarted(20000))
            return 0;
        // Generous deadlines only guard against a hang.
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(20000)) {
        }
        const QString line = QString::fromUtf8(FProcess.readLine()).trimmed();
        const QRegularExpressionMatch match =
            QRegularExpression(u"^listening on 127\\.0\\.0\\.1:(\\d+)$"_s).match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }

    QProcess FProcess;
};

TEST_F(StationSimProgramTest, ServesTheGeneratedPlaylistOnTheAnnouncedPort) {
    const int port = Start(
        {u"--port"_s, u"0"_s, u"--tracks"_s, u"7"_s, u"--user"_s, u"u"_s, u"--pass"_s, u"p w"_s});
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false); // send the query exactly as written here
    const httplib::Result result = client.Get("/?user=u&pass=p+w&action=getplaylist2");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(Elements(result->body, u"TRACK"_s).size(), 7u);
    const httplib::Result refused = client.Get("/?user=u&pass=p&action=getplaylist2");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
}

TEST_F(StationSimProgramTest, RefusesBadOptions) {
    const QStringList cases[] = {
        {u"--port"_s, u"70000"_s},        {u"--port"_s},       {u"--tracks"_s, u"-1"_s},
        {u"--tls"_s, u"only-cert.pem"_s}, {u"--frobnicate"_s},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        FProcess.start(QStringLiteral(VOCARRA_STATION_SIM), args);
        ASSERT_TRUE(FProcess.waitForFinished(20000));
        EXPECT_EQ(FProcess.exitCode(), 2);
        EXPECT_TRUE(FProcess.readAllStandardOutput().isEmpty());
    }
}

TEST_F(StationSimProgramTest, PrintsItsStampedVersion) {
    FProcess.start(QStringLiteral(VOCARRA_STATION_SIM), {u"--version"_s});
    ASSERT_TRUE(FProcess.waitForFinished(20000));
    EXPECT_TRUE(
        QString::fromUtf8(FProcess.readAllStandardOutput())
            .contains(QRegularExpression(u"^vocarra-station-sim \\d+\\.\\d+\\.\\d+\\.\\d+\\n$"_s)));
}

} // namespace
