// The process-wide codec lock: held around every codec open and close and around the
// stream analysis of an opened input, across all tasks of all components.
#pragma once

#include <mutex>

// Re-entrant, so a thread that holds it may take it again (as the platform's critical
// sections allowed).
std::recursive_mutex& CodecLock();

// Holds CodecLock for the lifetime of the guard.
using CodecLockGuard = std::lock_guard<std::recursive_mutex>;
