#include "app/windows/TerminationSignals.h"

#include "core/MessageBox.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do almost nothing: it writes one byte into a socket
// whose other end the main thread's event loop watches.
int SignalSockets[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalSockets[0], &byte, 1);
    errno = saved;
}

} // namespace

bool CloseOnTerminationSignals(QWidget *AWindow) {
    if (SignalSockets[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalSockets) != 0)
            return false;
        // A burst of signals must never block the handler.
        ::fcntl(SignalSockets[0], F_SETFL, O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(SignalSockets[1], QSocketNotifier::Read, AWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, AWindow, [AWindow] {
        char bytes[16];
        [[maybe_unused]] const ssize_t read = ::read(SignalSockets[1], bytes, sizeof bytes);
        // The session is ending or a terminal interrupts: nobody is there to
        // answer a box, and a modal one would keep the process from ending.
        SetMessageBoxesUnattended(true);
        AWindow->close();
    });

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}
