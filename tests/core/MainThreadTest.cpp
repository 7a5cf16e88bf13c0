#include "core/MainThread.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

class PostToMainThreadTest : public ::testing::Test {
protected:
    void StartApp() { FApp.emplace(FArgc, FArgv); }

    int FArgc = 1;
    char FName[8] = "test";
    char *FArgv[2] = {FName, nullptr};
    std::optional<QCoreApplication> FApp;
};

TEST_F(PostToMainThreadTest, WorkFromManyWorkersRunsOnTheMainThreadInEachWorkersOrder) {
    StartApp();
    constexpr int KWorkers = 4;
    constexpr int KEach = 200;
    std::vector<std::vector<int>> seen(KWorkers);
    std::vector<QThread *> threads;
    std::vector<std::thread> workers;
    for (int w = 0; w < KWorkers; ++w)
        workers.emplace_back([w, &seen, &threads] {
            for (int i = 0; i < KEach; ++i)
                PostToMainThread([w, i, &seen, &threads] {
                    seen[w].push_back(i);
                    threads.push_back(QThread::currentThread());
                });
        });
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_TRUE(threads.empty()); // nothing runs until the main loop turns

    QCoreApplication::sendPostedEvents();
    for (int w = 0; w < KWorkers; ++w) {
        ASSERT_EQ(seen[w].size(), size_t(KEach));
        for (int i = 0; i < KEach; ++i)
            EXPECT_EQ(seen[w][i], i);
    }
    for (QThread *thread : threads)
        EXPECT_EQ(thread, FApp->thread());
}

TEST_F(PostToMainThreadTest, WorkStillQueuedWhenTheApplicationEndsIsDroppedAndReleased) {
    auto held = std::make_shared<int>(7);
    bool ran = false;
    for (int round = 0; round < 2; ++round) { // a second application works the same
        StartApp();
        std::thread([held, &ran] { PostToMainThread([held, &ran] { ran = true; }); }).join();
        EXPECT_EQ(held.use_count(), 2);
        FApp.reset();
        EXPECT_FALSE(ran);
        EXPECT_EQ(held.use_count(), 1) << "round " << round;
    }
}

TEST_F(PostToMainThreadTest, WithoutAnApplicationNothingIsKept) {
    auto held = std::make_shared<int>(7);
    PostToMainThread([held] {});
    EXPECT_EQ(held.use_count(), 1);
}

} // namespace
