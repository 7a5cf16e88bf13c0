#pragma once
// A reply that a test holds back and lets go: the server's handler waits on
// it, the test opens it. Waiting is on a condition variable, so the handler
// goes on the moment the test lets it, and the test never guesses a time.

#include <chrono>
#include <condition_variable>
#include <mutex>

class THold {
public:
    explicit THold(bool AHeld = false) : FHeld(AHeld) {}
    THold(const THold &) = delete;
    THold &operator=(const THold &) = delete;

    // true holds every waiting handler back, false lets them all go.
    THold &operator=(bool AHeld) {
        {
            std::lock_guard guard(FLock);
            FHeld = AHeld;
        }
        FChanged.notify_all();
        return *this;
    }
    explicit operator bool() const {
        std::lock_guard guard(FLock);
        return FHeld;
    }

    // Returns once the hold is let go, or after AMaxMs, which only guards
    // against a test that never lets go; true when it was let go.
    bool WaitReleased(int AMaxMs = 30000) const {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::milliseconds(AMaxMs),
                                 [this] { return !FHeld; });
    }

private:
    mutable std::mutex FLock;
    mutable std::condition_variable FChanged;
    bool FHeld;
};
