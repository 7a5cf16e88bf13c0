// The vocarra program as a process: it starts against a station, and the
// signals a session logout or a terminal sends close it like its close box.

#include "config/Settings.h"
#include "support/TestServer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

class TProgramTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void signalClosesAndSaves_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalClosesAndSaves() {
        QFETCH(int, signal);
        TTestServer server([](const httplib::Request &, httplib::Response &AResponse) {
            AResponse.set_content("<PLAYLIST><TRACK CASTTITLE=\"A\"/></PLAYLIST>", "text/xml");
        });
        // The program keeps its files next to itself when there is no uid.ini.
        QTemporaryDir dir;
        const QString program = dir.filePath(u"vocarra"_s);
        QVERIFY(QFile::copy(QStringLiteral(VOCARRA_PATH), program));
        Settings().Server = u"127.0.0.1"_s;
        Settings().Port = server.Port();
        Settings().Save(dir.filePath(u"settings.ini"_s));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        // The first refresh runs when the window is first shown.
        QTRY_VERIFY_WITH_TIMEOUT(!server.Requests().empty(), 30000);
        QVERIFY(!QFile::exists(dir.filePath(u"windowpos.ini"_s)));

        ::kill(static_cast<pid_t>(process.processId()), signal);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(u"windowpos.ini"_s)));
        QVERIFY(QFile::exists(dir.filePath(u"system.ini"_s)));
        QFile settings(dir.filePath(u"settings.ini"_s));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        // The column layout is written only by a real close.
        QVERIFY(settings.readAll().contains("PlaylistCols"));
    }
};

QTEST_MAIN(TProgramTest)
#include "ProgramTest.moc"
