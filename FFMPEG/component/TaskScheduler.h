// The host's scheduler: the one service the component needs from the host's main thread.
#pragma once

#include <functional>

// Runs a call on the host's main thread once, after a delay. The window supplies one over
// its event loop, the converter over its own loop, the tests over a plain queue. The
// component uses it only to start the tasks of an unthreaded run (100 ms apart).
class TaskScheduler {
public:
    virtual ~TaskScheduler() = default;
    // Must not run `call` before returning; the call runs on the main thread.
    virtual void postDelayed(int delayMs, std::function<void()> call) = 0;
};
