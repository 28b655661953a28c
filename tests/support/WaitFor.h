// Serving Qt's event loop from a test until a condition holds.
#pragma once

#include <functional>

// Serves the event loop until `done` holds (true) or `timeoutMs` passes
// (false), without QTest::qWaitFor's pauses between rounds, so that the
// machine's hand-overs to the window run back to back.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);
