#pragma once

#include <functional>

// Hands work from any thread to the application's main thread.
//
// The work travels through a queue guarded by a standard mutex rather than
// inside the posted event: the event carries nothing, so every value the work
// captures is handed over under a lock that thread checkers can see (Qt's own
// event-queue locks are invisible to them). Work posted while no application
// object exists, or still queued when it is destroyed, is dropped.
void PostToMainThread(std::function<void()> AWork);
