// The vocarra program as a process: it starts against a station, and the
// signals a session logout or a terminal sends close it like its close box.

#include "config/Settings.h"
#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A copy of the program in a folder of its own, running offscreen against a
// station that answers every request with a one-entry playlist.
class TRunningProgram {
public:
    explicit TRunningProgram(QProcess::ProcessChannelMode AChannels)
        : FServer([](const httplib::Request &, httplib::Response &AResponse) {
              AResponse.set_content("<PLAYLIST><TRACK CASTTITLE=\"A\"/></PLAYLIST>", "text/xml");
          }) {
        FProcess.setProcessChannelMode(AChannels);
    }
    ~TRunningProgram() {
        // A program that hangs must not outlive its test.
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(10000);
        }
    }

    QString File(const QString &AName) const { return FDir.filePath(AName); }

    // Starts the program and waits for its first refresh; false on failure.
    bool Start() {
        // The program keeps its files next to itself when there is no uid.ini.
        const QString program = File(u"vocarra"_s);
        if (!QFile::copy(QStringLiteral(VOCARRA_PATH), program))
            return false;
        Settings().Server = u"127.0.0.1"_s;
        Settings().Port = FServer.Port();
        Settings().Save(File(u"settings.ini"_s));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        FProcess.setProcessEnvironment(environment);
        FProcess.start(program, {});
        if (!FProcess.waitForStarted())
            return false;
        // The first refresh runs when the window is first shown.
        return QTest::qWaitFor([this] { return !FServer.Requests().empty(); }, 30000);
    }

    void Signal(int ASignal) { ::kill(static_cast<pid_t>(FProcess.processId()), ASignal); }

    QProcess FProcess;

private:
    TTestServer FServer;
    QTemporaryDir FDir;
};

} // namespace

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
        TRunningProgram program(QProcess::ForwardedChannels);
        QVERIFY(program.Start());
        QVERIFY(!QFile::exists(program.File(u"windowpos.ini"_s)));

        program.Signal(signal);
        QVERIFY(program.FProcess.waitForFinished(30000));
        QCOMPARE(program.FProcess.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.FProcess.exitCode(), 0);
        QVERIFY(QFile::exists(program.File(u"windowpos.ini"_s)));
        QVERIFY(QFile::exists(program.File(u"system.ini"_s)));
        QFile settings(program.File(u"settings.ini"_s));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        // The column layout is written only by a real close.
        QVERIFY(settings.readAll().contains("PlaylistCols"));
    }

    // A failed save would open a modal box that nobody answers.
    void saveFailureOnSignalGoesToStandardError() {
        TRunningProgram program(QProcess::SeparateChannels);
        // A folder where system.ini belongs cannot be replaced by a file,
        // not even by root.
        QVERIFY(QDir().mkpath(program.File(u"system.ini"_s)));
        QVERIFY(program.Start());

        program.Signal(SIGTERM);
        QVERIFY2(program.FProcess.waitForFinished(30000), "the program did not end");
        QCOMPARE(program.FProcess.exitStatus(), QProcess::NormalExit);
        const QByteArray errors = program.FProcess.readAllStandardError();
        QVERIFY2(errors.contains("Error saving file (system.ini): "), errors.constData());
        // What could be saved is saved all the same.
        QVERIFY(QFile::exists(program.File(u"windowpos.ini"_s)));
    }

    // A core dump would hold the station password.
    void noCoreDumps() {
        TRunningProgram program(QProcess::ForwardedChannels);
        QVERIFY(program.Start());
        QFile limits(u"/proc/%1/limits"_s.arg(program.FProcess.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = limits.readAll().split('\n');
        bool found = false;
        for (const QByteArray &line : lines) {
            if (!line.startsWith("Max core file size"))
                continue;
            found = true;
            const QList<QByteArray> fields = line.simplified().split(' ');
            // "Max core file size <soft> <hard> bytes"
            QVERIFY(fields.size() >= 6);
            QCOMPARE(fields[4], QByteArray("0"));
            QCOMPARE(fields[5], QByteArray("0"));
        }
        QVERIFY(found);
        program.Signal(SIGTERM);
        QVERIFY(program.FProcess.waitForFinished(30000));
    }
};

QTEST_MAIN(TProgramTest)
#include "ProgramTest.moc"
