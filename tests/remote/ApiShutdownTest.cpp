// Shutting down with workers in flight: they give up, no completion runs, and
// their threads are gone before the process goes on to exit. Kept in a binary
// of its own because shutdown is final for the process.

#include "config/Settings.h"
#include "remote/API.h"
#include "support/Hold.h"
#include "support/QtTestEnvironment.h"
#include "support/TestServer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

const auto *const QtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

TEST(ApiShutdown, WorkersInFlightGiveUpWithoutCompleting) {
    THold held(true);
    TTestServer server([&](const httplib::Request &, httplib::Response &r) {
        // A server that would keep the workers waiting for half a minute.
        held.WaitReleased();
        r.set_content("OK", "text/plain");
    });
    {
        std::lock_guard lock(Settings().Monitor());
        Settings().Server = QStringLiteral("127.0.0.1");
        Settings().Port = server.Port();
    }
    int completions = 0;
    for (int i = 0; i < 3; ++i)
        (new TAPI(nullptr, [&](TAPI *) { ++completions; }))->DeletePlaylistTrack(i);
    ASSERT_TRUE(ProcessEventsUntil([&] { return server.Requests().size() == 3; }));

    EXPECT_TRUE(TAPI::Shutdown(20000));
    EXPECT_EQ(TAPI::Running(), 0);
    RunQueuedEvents();
    EXPECT_EQ(completions, 0);
    held = false;
}

} // namespace
