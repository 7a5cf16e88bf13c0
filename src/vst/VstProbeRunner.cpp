#include "vst/VstProbeRunner.h"

#include "config/ConfigErrors.h"
#include "core/NativeNames.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

// A descriptor that closes itself.
struct TFd {
    int Fd = -1;
    TFd() = default;
    explicit TFd(int AFd) : Fd(AFd) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
};

int PidFdOpen(pid_t APid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, APid, 0));
}

// What became of the helper process.
struct TRun {
    QString SpawnError; // set when it could not be started
    bool TimedOut = false;
    bool TooMuchOutput = false;
    int Status = 0; // waitpid's status
    QByteArray Out;
};

void KillGroup(pid_t APid) {
    // The helper leads a process group of its own; a plug-in's children go
    // with it.
    ::kill(-APid, SIGKILL);
    ::kill(APid, SIGKILL);
}

int Reap(pid_t APid) {
    int status = 0;
    while (::waitpid(APid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Whether the helper has ended, leaving it unreaped: while it is a zombie its
// process group id cannot go to another process, so the group can still be
// killed safely.
bool HasEnded(pid_t APid) {
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(APid), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == APid;
        if (errno != EINTR)
            return false;
    }
}

TRun RunHelper(const QString &AHelper, const QStringList &AArgs, milliseconds ATimeLimit) {
    TRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        run.SpawnError = SystemErrorText(errno);
        return run;
    }
    TFd readEnd(fds[0]);
    TFd writeEnd(fds[1]);

    const QByteArray program = NativeName(AHelper);
    std::vector<QByteArray> argBytes;
    argBytes.reserve(static_cast<size_t>(AArgs.size()) + 1);
    argBytes.push_back(program);
    for (const QString &arg : AArgs)
        argBytes.push_back(NativeName(arg));
    std::vector<char *> argv;
    argv.reserve(argBytes.size() + 1);
    for (QByteArray &arg : argBytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Fd, STDOUT_FILENO);
    // What plug-ins print is of no use to the user and would clutter the
    // program's own error output.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Only the three standard descriptors reach the helper, whatever other
    // threads have open at this moment.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        run.SpawnError = SystemErrorText(spawned);
        return run;
    }
    ::close(writeEnd.Fd);
    writeEnd.Fd = -1;
    ::fcntl(readEnd.Fd, F_SETFL, ::fcntl(readEnd.Fd, F_GETFL) | O_NONBLOCK);
    // The process's own descriptor tells when it ends, also when something it
    // started keeps the pipe open.
    TFd pidFd(PidFdOpen(pid));

    const auto deadline = steady_clock::now() + ATimeLimit;
    bool ended = false;
    bool eof = false;
    char buffer[65536];
    while (!(ended && eof)) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) {
            run.TimedOut = true;
            break;
        }
        pollfd polls[2];
        nfds_t count = 0;
        if (!eof)
            polls[count++] = {readEnd.Fd, POLLIN, 0};
        const bool watchPid = !ended && pidFd.Fd >= 0;
        if (watchPid)
            polls[count++] = {pidFd.Fd, POLLIN, 0};
        // Without a process descriptor (an old kernel) the end is checked
        // now and then.
        const int wait = static_cast<int>(pidFd.Fd >= 0 ? left : std::min<long long>(left, 20));
        const int ready = ::poll(polls, count, wait);
        if (ready < 0 && errno != EINTR) {
            run.TimedOut = true;
            break;
        }
        for (;;) {
            const ssize_t got = ::read(readEnd.Fd, buffer, sizeof buffer);
            if (got > 0) {
                run.Out.append(buffer, got);
                if (run.Out.size() > VstProbeMaxOutput) {
                    run.TooMuchOutput = true;
                    break;
                }
                continue;
            }
            if (got == 0)
                eof = true;
            else if (errno == EINTR)
                continue;
            break;
        }
        if (run.TooMuchOutput)
            break;
        if (!ended && HasEnded(pid)) {
            ended = true;
            // Whatever is still in the pipe was written before the end; a
            // child of the helper holding the pipe open is not waited for.
            for (;;) {
                const ssize_t got = ::read(readEnd.Fd, buffer, sizeof buffer);
                if (got > 0 && run.Out.size() <= VstProbeMaxOutput) {
                    run.Out.append(buffer, got);
                    continue;
                }
                if (got < 0 && errno == EINTR)
                    continue;
                break;
            }
            eof = true;
        }
    }
    if (!ended)
        KillGroup(pid);
    else
        ::kill(-pid, SIGKILL); // whatever the helper left running
    run.Status = Reap(pid);
    if (run.Out.size() > VstProbeMaxOutput)
        run.TooMuchOutput = true;
    return run;
}

} // namespace

QString ProbeTimeOutReason(milliseconds ATimeLimit) {
    const auto count = ATimeLimit.count();
    const QString seconds = count % 1000 == 0 ? QString::number(count / 1000)
                                              : QString::number(static_cast<double>(count) / 1000);
    return u"did not answer within %1 s"_s.arg(seconds);
}

QString ProbeSignalReason(int ASignal) {
    const char *abbreviation = ::sigabbrev_np(ASignal);
    if (abbreviation == nullptr)
        return u"crashed with signal %1"_s.arg(ASignal);
    return u"crashed with signal %1 (SIG%2)"_s.arg(QString::number(ASignal),
                                                   QString::fromLatin1(abbreviation));
}

TVstProbeOutcome ProbeVstFile(const QString &AHelper, const TVstProbeRequest &ARequest,
                              milliseconds ATimeLimit) {
    TVstProbeOutcome outcome;
    const TRun run = RunHelper(AHelper, ProbeArguments(ARequest), ATimeLimit);
    if (!run.SpawnError.isEmpty()) {
        outcome.Kind = vpHelperFault;
        outcome.Reason = u"the scanning helper %1 cannot run: %2"_s.arg(AHelper, run.SpawnError);
        return outcome;
    }
    if (run.TimedOut) {
        outcome.Kind = vpFailed;
        outcome.TimedOut = true;
        outcome.Reason = ProbeTimeOutReason(ATimeLimit);
        return outcome;
    }
    if (run.TooMuchOutput) {
        outcome.Kind = vpFailed;
        outcome.Reason = u"gave an answer longer than %1 MiB"_s.arg(VstProbeMaxOutput >> 20);
        return outcome;
    }
    if (WIFSIGNALED(run.Status)) {
        outcome.Kind = vpFailed;
        outcome.Reason = ProbeSignalReason(WTERMSIG(run.Status));
        return outcome;
    }
    const int code = WIFEXITED(run.Status) ? WEXITSTATUS(run.Status) : -1;
    switch (code) {
    case vsxDescribed:
        if (std::optional<TVstProbeInfo> info = ProbeInfoFromJson(run.Out)) {
            outcome.Kind = vpDescribed;
            outcome.Info = std::move(*info);
        } else {
            outcome.Kind = vpFailed;
            outcome.Reason = u"gave a description that cannot be read"_s;
        }
        return outcome;
    case vsxNotAPlugin:
        outcome.Kind = vpLeftOut;
        return outcome;
    case vsxCannotLoad:
    case vsxBadEffect: {
        outcome.Kind = vpFailed;
        outcome.Reason = ProbeReasonFromJson(run.Out);
        if (outcome.Reason.isEmpty())
            outcome.Reason = code == vsxCannotLoad ? u"the library does not load"_s
                                                   : u"the plug-in returned no valid effect"_s;
        return outcome;
    }
    case vsxUsage:
        outcome.Kind = vpHelperFault;
        outcome.Reason = u"the scanning helper %1 did not understand its arguments: %2"_s.arg(
            AHelper, ProbeReasonFromJson(run.Out));
        return outcome;
    default:
        outcome.Kind = vpFailed;
        outcome.Reason = u"ended with exit code %1"_s.arg(code);
        return outcome;
    }
}

std::vector<TVstProbeOutcome> ProbeVstFiles(const QString &AHelper,
                                            const std::vector<QString> &AFiles,
                                            milliseconds ATimeLimit, unsigned AParallel) {
    std::vector<TVstProbeOutcome> outcomes(AFiles.size());
    unsigned parallel = AParallel != 0 ? AParallel : std::thread::hardware_concurrency();
    parallel = std::clamp<unsigned>(parallel, 1,
                                    static_cast<unsigned>(std::max<size_t>(AFiles.size(), 1)));
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < AFiles.size(); i = next++) {
            TVstProbeRequest request;
            request.File = AFiles[i];
            outcomes[i] = ProbeVstFile(AHelper, request, ATimeLimit);
        }
    };
    if (parallel <= 1) {
        work();
        return outcomes;
    }
    std::vector<std::jthread> threads;
    threads.reserve(parallel - 1);
    for (unsigned t = 1; t < parallel; ++t)
        threads.emplace_back(work);
    work();
    threads.clear();
    return outcomes;
}
