#include "core/Process.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

bool IsBlank(QChar AChar) {
    return AChar == u' ' || AChar == u'\t' || AChar == u'\n' || AChar == u'\r';
}

// What the intermediate process tells the caller about the real start.
struct TSpawnReport {
    int Error = 0;
    pid_t Pid = 0;
};

bool ReadAll(int AFd, void *ADest, std::size_t ASize) {
    auto *dest = static_cast<char *>(ADest);
    std::size_t done = 0;
    while (done < ASize) {
        const ssize_t n = ::read(AFd, dest + done, ASize - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

void WriteAll(int AFd, const void *ASource, std::size_t ASize) {
    const auto *source = static_cast<const char *>(ASource);
    std::size_t done = 0;
    while (done < ASize) {
        const ssize_t n = ::write(AFd, source + done, ASize - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}

// Starts AArgs[0] detached and returns 0 or the errno of the failed start.
//
// The program is started by a short-lived intermediate child, so it is never
// our child: we need not reap it and it leaves no zombie behind. The
// intermediate uses posix_spawnp, which (unlike fork and exec) reports a
// failed exec, such as a missing program, back as an error code.
int SpawnDetached(const QStringList &AArgs, qint64 *APid) {
    // Everything that allocates happens before fork: between fork and exec of
    // a threaded process only async-signal-safe work is allowed.
    std::vector<QByteArray> encoded;
    encoded.reserve(std::size_t(AArgs.size()));
    for (const QString &arg : AArgs)
        encoded.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    argv.reserve(encoded.size() + 1);
    for (QByteArray &arg : encoded)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Our own files (sockets, settings being written) stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attr, &mask);
    // Signals we ignore (a broken pipe, for one) must not stay ignored in the program.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    TSpawnReport report;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        report.Error = errno;
    } else {
        const pid_t middle = ::fork();
        if (middle == 0) {
            ::close(fds[0]);
            TSpawnReport child;
            child.Error = posix_spawnp(&child.Pid, argv[0], &actions, &attr, argv.data(), environ);
            WriteAll(fds[1], &child, sizeof child);
            ::_exit(0);
        }
        ::close(fds[1]);
        if (middle < 0) {
            report.Error = errno;
        } else {
            if (!ReadAll(fds[0], &report, sizeof report))
                report = TSpawnReport{ECHILD, 0};
            while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        ::close(fds[0]);
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);

    if (APid != nullptr)
        *APid = report.Error == 0 ? qint64(report.Pid) : 0;
    return report.Error;
}

} // namespace

QStringList SplitCommandLine(const QString &ACommandLine) {
    QStringList words;
    QString word;
    bool inWord = false; // also true for a word made of empty quotes only
    const qsizetype n = ACommandLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = ACommandLine.at(i);
        if (IsBlank(c)) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else if (c == u'\'') {
            inWord = true;
            for (++i; i < n && ACommandLine.at(i) != u'\''; ++i)
                word.append(ACommandLine.at(i));
        } else if (c == u'"') {
            inWord = true;
            for (++i; i < n && ACommandLine.at(i) != u'"'; ++i) {
                QChar d = ACommandLine.at(i);
                if (d == u'\\' && i + 1 < n) {
                    const QChar next = ACommandLine.at(i + 1);
                    if (next == u'\n') {
                        ++i; // line continuation
                        continue;
                    }
                    if (next == u'"' || next == u'\\' || next == u'$' || next == u'`') {
                        d = next;
                        ++i;
                    }
                }
                word.append(d);
            }
        } else if (c == u'\\') {
            inWord = true;
            if (i + 1 < n) {
                ++i;
                if (ACommandLine.at(i) == u'\n')
                    continue; // line continuation
                word.append(ACommandLine.at(i));
            } else {
                word.append(c);
            }
        } else {
            inWord = true;
            word.append(c);
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

QString QuoteCommandArgument(const QString &AArgument) {
    QString quoted = AArgument;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString RunProcess(const QString &ACommandLine, qint64 *APid) {
    if (APid != nullptr)
        *APid = 0;
    const QStringList args = SplitCommandLine(ACommandLine);
    if (args.isEmpty())
        return QString();
    const int error = SpawnDetached(args, APid);
    return error == 0 ? QString() : qt_error_string(error);
}

bool RunElevated(const QString &AProgram, const QString &AParams, qint64 *APid) {
    if (APid != nullptr)
        *APid = 0;
    QStringList args{QStringLiteral("pkexec"), AProgram};
    args += SplitCommandLine(AParams);
    return SpawnDetached(args, APid) == 0;
}
