// Per-thread pending text of the library log: the part of a line not yet ended by a
// line feed, kept for each thread that logs.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// One further thread's pending text, in a singly linked chain.
struct TLogItem {
    int32_t ThreadId = 0;
    std::string Text;
    std::unique_ptr<TLogItem> Next;
};

// The first thread's entry is held directly; every further thread gets a TLogItem
// prepended to the chain. A leaf lock of its own guards the entries (it is taken inside
// ComponentRegistry's lock and inside a TaskLock, and takes no other lock itself).
class TLogList {
public:
    // The pending text of the thread (empty for a thread not seen yet).
    std::string Pending(int32_t threadId);
    void SetPending(int32_t threadId, const std::string& text);
    // Resets the direct entry to id 0 and empty text and frees the chain.
    void Clear();
    // Number of entries in use (the direct one when taken, plus the chain).
    int Count() const;

private:
    // The direct entry when its id is 0 or the thread's (taking it for the thread), else
    // the chain item with that id, else a new item.
    std::string& lookup(int32_t threadId);

    mutable std::mutex m_mutex;
    int32_t m_threadId = 0;
    std::string m_text;
    std::unique_ptr<TLogItem> m_chain;
};

// The process-wide pending log text.
TLogList& LogLines();
