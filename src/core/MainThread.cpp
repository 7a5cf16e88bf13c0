#include "core/MainThread.h"

#include <QCoreApplication>
#include <deque>
#include <mutex>

namespace {

struct TMainQueue {
    std::mutex Lock;
    std::deque<std::function<void()>> Work;
    QCoreApplication *Watched = nullptr; // the application whose end clears the queue
};

// Never destroyed: workers may still post while the process exits.
TMainQueue &Queue() {
    static auto *queue = new TMainQueue;
    return *queue;
}

std::deque<std::function<void()>> TakeAll() {
    std::deque<std::function<void()>> work;
    std::lock_guard lock(Queue().Lock);
    work.swap(Queue().Work);
    return work;
}

void Drain() {
    for (std::function<void()> &item : TakeAll())
        item();
}

// Work that can no longer run is still destroyed, so that whatever waits for
// it to be dropped is released.
void Forget() {
    TakeAll();
    std::lock_guard lock(Queue().Lock);
    Queue().Watched = nullptr;
}

} // namespace

void PostToMainThread(std::function<void()> AWork) {
    std::lock_guard lock(Queue().Lock);
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    if (Queue().Watched != app) {
        Queue().Watched = app;
        QObject::connect(app, &QObject::destroyed, [] { Forget(); });
    }
    Queue().Work.push_back(std::move(AWork));
    // Posted under the lock, so that the event Qt builds here is seen as
    // written before the main thread takes the lock to drain. The lambda
    // captures nothing on purpose.
    QMetaObject::invokeMethod(
        app, [] { Drain(); }, Qt::QueuedConnection);
}
