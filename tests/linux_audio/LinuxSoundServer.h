#pragma once
// A private sound server for tests: a PulseAudio daemon of its own in a
// temporary folder, reachable only through its own socket, with one null
// sink ("vocarra_test_sink", described "Test-Sink") and one null source
// ("vocarra_test_source", described "Test-Source"), and whatever more
// modules a test asks for ("module-sine-source ..."). It never touches the
// user's server, and when it cannot start here the tests skip with Reason().

#include "linux_audio/PulseDevices.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <optional>

class TTestSoundServer {
public:
    // AModules: more modules to load, each with its arguments.
    explicit TTestSoundServer(const QStringList &AModules = {}) { Start(AModules); }
    ~TTestSoundServer() {
        if (FDaemon.state() != QProcess::NotRunning) {
            FDaemon.terminate();
            if (!FDaemon.waitForFinished(10000)) {
                FDaemon.kill();
                FDaemon.waitForFinished(10000);
            }
        }
    }
    TTestSoundServer(const TTestSoundServer &) = delete;
    TTestSoundServer &operator=(const TTestSoundServer &) = delete;

    bool Running() const { return FReason.isEmpty(); }
    const QString &Reason() const { return FReason; }

    // The address to hand to libpulse, "unix:<folder>/native".
    QByteArray Address() const { return "unix:" + QFile::encodeName(Socket()); }

    // The environment a client program needs to find this server and nothing
    // else: its address, and a home and runtime folder of its own.
    QProcessEnvironment ClientEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(Address()));
        env.insert(QStringLiteral("HOME"), FDir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDir.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   FDir.filePath(QStringLiteral("home/.config")));
        env.remove(QStringLiteral("DISPLAY"));
        return env;
    }

    // Runs pactl against this server: what it printed, or nothing when it
    // failed.
    std::optional<QString> Pactl(const QStringList &AArgs) const {
        QProcess pactl;
        pactl.setProcessEnvironment(ClientEnvironment());
        pactl.start(QStringLiteral("pactl"), AArgs);
        if (!pactl.waitForFinished(30000) || pactl.exitStatus() != QProcess::NormalExit ||
            pactl.exitCode() != 0)
            return std::nullopt;
        return QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
    }

    // What the daemon said, for a skip message.
    QString Log() const {
        QFile log(LogFile());
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
    }

private:
    QString Socket() const { return FDir.filePath(QStringLiteral("native")); }
    QString LogFile() const { return FDir.filePath(QStringLiteral("daemon.log")); }

    void Start(const QStringList &AModules) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty()) {
            FReason = QStringLiteral("no pulseaudio program on this machine");
            return;
        }
        if (!FDir.isValid() || !QDir(FDir.path()).mkpath(QStringLiteral("home/.config")) ||
            !QDir(FDir.path()).mkpath(QStringLiteral("run"))) {
            FReason = QStringLiteral("no temporary folder for the sound server");
            return;
        }
        QFile::setPermissions(FDir.filePath(QStringLiteral("run")), QFileDevice::ReadOwner |
                                                                        QFileDevice::WriteOwner |
                                                                        QFileDevice::ExeOwner);
        FDaemon.setProcessEnvironment(ClientEnvironment());
        // A file, not a pipe: nobody reads the daemon while the tests run.
        FDaemon.setStandardOutputFile(QProcess::nullDevice());
        FDaemon.setStandardErrorFile(LogFile());
        // -n and -F /dev/null: no default script, so only these modules load;
        // --system=no keeps a daemon started as root in per-user mode.
        QStringList arguments{
            QStringLiteral("-n"),
            QStringLiteral("--daemonize=no"),
            QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("--disallow-exit"),
            QStringLiteral("--use-pid-file=no"),
            QStringLiteral("--system=no"),
            QStringLiteral("-F"),
            QStringLiteral("/dev/null"),
            QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 "
                           "socket=") +
                Socket(),
            QStringLiteral("--load=module-null-sink sink_name=vocarra_test_sink "
                           "sink_properties=device.description=Test-Sink"),
            QStringLiteral("--load=module-null-source source_name=vocarra_test_source "
                           "description=Test-Source")};
        for (const QString &module : AModules)
            arguments << QStringLiteral("--load=") + module;
        FDaemon.start(program, arguments);
        if (!FDaemon.waitForStarted(10000)) {
            FReason = QStringLiteral("pulseaudio did not start: ") + FDaemon.errorString();
            return;
        }
        // The daemon loads its modules before it serves the first client, so
        // once the sink is listed everything is there. This waits for it to
        // come up, however long that takes on a busy machine, within reason.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < giveUp) {
            if (FDaemon.state() == QProcess::NotRunning) {
                FReason = QStringLiteral("pulseaudio stopped at once: ") + Log();
                return;
            }
            const auto devices = ReadPulseDevices(Address(), std::chrono::milliseconds(1000));
            if (devices && std::any_of(devices->begin(), devices->end(), [](const auto &D) {
                    return D.Name == QLatin1String("vocarra_test_sink");
                }))
                return;
            QThread::msleep(50);
        }
        FReason = QStringLiteral("pulseaudio did not answer: ") + Log();
    }

    QTemporaryDir FDir;
    QProcess FDaemon;
    QString FReason;
};
