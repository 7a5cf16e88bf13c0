#include "core/MessageBox.h"

#include "core/MainThread.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::mutex PresenterLock;
TMessageBoxPresenter Presenter;
std::atomic<bool> Unattended{false};

int Present(const QString &AText, const QString &ACaption, int AFlags) {
    TMessageBoxPresenter presenter;
    {
        std::lock_guard guard(PresenterLock);
        presenter = Presenter;
    }
    if (presenter && !Unattended.load())
        return presenter(AText, ACaption, AFlags);
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(ACaption), qUtf8Printable(AText));
    return 0;
}

bool OnMainThread() {
    const QCoreApplication *app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

} // namespace

void SetMessageBoxPresenter(TMessageBoxPresenter APresenter) {
    std::lock_guard guard(PresenterLock);
    Presenter = std::move(APresenter);
}

void SetMessageBoxesUnattended(bool AUnattended) {
    Unattended.store(AUnattended);
}

bool MessageBoxesUnattended() {
    return Unattended.load();
}

int MyMessageBox(const QString &AText, const QString &ACaption, int AFlags) {
    if (OnMainThread())
        return Present(AText, ACaption, AFlags);
    // Never show a box on a worker thread: hand it to the main thread's loop.
    PostToMainThread([AText, ACaption, AFlags] { Present(AText, ACaption, AFlags); });
    return -1;
}
