#pragma once
// Gives GoogleTest binaries the QCoreApplication that queued calls and the
// request workers' completions need, and a way to wait for them.

#include "support/QStringPrinter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "vocarra-test";
            static char *argv[] = {name, nullptr};
            FApp = new QCoreApplication(argc, argv);
        }
    }
    void TearDown() override {
        delete FApp;
        FApp = nullptr;
    }

private:
    QCoreApplication *FApp = nullptr;
};

// Runs the main thread's event loop until APredicate holds or ATimeoutMs
// passes; returns whether it held. The deadline only guards against a hang.
inline bool ProcessEventsUntil(const std::function<bool()> &APredicate, int ATimeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!APredicate()) {
        if (timer.elapsed() > ATimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Runs what is already queued for the main thread. Checks that something
// does NOT happen need no more: once TAPI::Running() is 0 nothing can still
// arrive, as a worker waits for its completion to run before it ends.
inline void RunQueuedEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
