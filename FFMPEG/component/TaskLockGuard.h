// Holds a component's TaskLock and counts, per thread, how many TaskLocks it holds, so
// the library log bridge can avoid taking ComponentRegistry's lock after a TaskLock.
#pragma once

#include <mutex>

class TaskLockGuard {
public:
    explicit TaskLockGuard(std::recursive_mutex& lock);
    ~TaskLockGuard();
    TaskLockGuard(const TaskLockGuard&) = delete;
    TaskLockGuard& operator=(const TaskLockGuard&) = delete;

    // Whether the calling thread holds a TaskLock through a guard.
    static bool HeldByThisThread();

private:
    std::recursive_mutex& m_lock;
};
