// The log bridge: the engine's log levels mapped to TLogLevel, the library log callback,
// the registry of live components and the per-thread pending text.
#include "FFmpegVCL.h"

#include "LibraryMessages.h"
#include "MediaLibraries.h"
#include "TaskLockGuard.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

// ---- TLogList ---------------------------------------------------------------------------

std::string& TLogList::lookup(int32_t threadId) {
    if (m_threadId == 0 || m_threadId == threadId) {
        m_threadId = threadId;
        return m_text;
    }
    for (TLogItem* item = m_chain.get(); item; item = item->Next.get())
        if (item->ThreadId == threadId)
            return item->Text;
    auto item = std::make_unique<TLogItem>();
    item->ThreadId = threadId;
    item->Next = std::move(m_chain);
    m_chain = std::move(item);
    return m_chain->Text;
}

std::string TLogList::Pending(int32_t threadId) {
    const std::lock_guard lock(m_mutex);
    return lookup(threadId);
}

void TLogList::SetPending(int32_t threadId, const std::string& text) {
    const std::lock_guard lock(m_mutex);
    lookup(threadId) = text;
}

void TLogList::Clear() {
    const std::lock_guard lock(m_mutex);
    m_threadId = 0;
    m_text.clear();
    // Freed item by item, so a long chain does not recurse.
    while (m_chain)
        m_chain = std::move(m_chain->Next);
}

int TLogList::Count() const {
    const std::lock_guard lock(m_mutex);
    int count = m_threadId != 0 ? 1 : 0;
    for (const TLogItem* item = m_chain.get(); item; item = item->Next.get())
        ++count;
    return count;
}

TLogList& LogLines() {
    static TLogList lines;
    return lines;
}

// ---- Registry ---------------------------------------------------------------------------

void TComponentRegistry::Add(TCustomFFmpegVCL* component) {
    const std::lock_guard lock(m_lock);
    m_items.push_back(component);
}

void TComponentRegistry::Remove(TCustomFFmpegVCL* component) {
    const std::lock_guard lock(m_lock);
    m_items.erase(std::remove(m_items.begin(), m_items.end(), component), m_items.end());
}

TComponentRegistry& ComponentRegistry() {
    static TComponentRegistry registry;
    return registry;
}

// ---- Log levels and delivery --------------------------------------------------------------

TLogLevel TCustomFFmpegVCL::MapLogLevel(int level) {
    if (level < 0)
        return llQuiet;
    if (level >= 3)
        return llAll;
    return static_cast<TLogLevel>(level + 1);
}

void TCustomFFmpegVCL::DoLog(TFFmpeg* task, int level, const std::string& text) {
    const TaskLockGuard lock(TaskLock);
    if (!OnLog)
        return;
    if (task && !Tasks.Contains(task))
        return; // removed or cleared: its events are dropped
    try {
        OnLog(task ? static_cast<int32_t>(task->TaskIndex) : -1, MapLogLevel(level), text);
    } catch (...) {
        // A handler's failure must not end the task that logged.
    }
}

void TCustomFFmpegVCL::DeliverLibraryLog(int32_t threadId, int level, const std::string& line) {
    const TaskLockGuard lock(TaskLock);
    if (!OnLog)
        return;
    TFFmpeg* owner = nullptr;
    for (int i = 0; i < Tasks.Count() && !owner; ++i)
        if (Tasks[i].OwnerThreadId == threadId)
            owner = &Tasks[i];
    DoLog(owner, level, line);
}

namespace {

// The engine's level (-1 quiet, 0 error, 1 info and warnings, 2 debug, 3 all) of a library
// message level.
int engineLevel(int libraryLevel) {
    if (libraryLevel <= AV_LOG_QUIET)
        return -1;
    if (libraryLevel <= AV_LOG_ERROR)
        return 0;
    if (libraryLevel <= AV_LOG_INFO)
        return 1;
    if (libraryLevel <= AV_LOG_DEBUG)
        return 2;
    return 3;
}

constexpr std::size_t kLineBufferSize = 2048;

} // namespace

void LibraryLogCallback(void* context, int level, const char* format, va_list arguments) {
    // A step that fails may quote the library's own words, whatever the log level.
    LibraryMessageCapture::Record(level, format, arguments);
    if (MediaLogVerbosity() < level)
        return;
    TComponentRegistry& registry = ComponentRegistry();
    // A thread that holds a TaskLock (a handler, or a task set-up under it) must not wait
    // for the registry's lock: a delivery on another thread holds it and waits for that
    // TaskLock. Such a line is delivered when the lock is free at once, else dropped.
    std::unique_lock<std::recursive_mutex> lock(registry.Lock(), std::defer_lock);
    if (TaskLockGuard::HeldByThisThread()) {
        if (!lock.try_lock())
            return;
    } else {
        lock.lock();
    }

    const int32_t threadId = CurrentThreadId();
    // The head of the line: the thread's pending text, or for a new line from an object
    // with a class description "[item @ class address]".
    std::string text = LogLines().Pending(threadId);
    const AVClass* avClass = context ? *static_cast<const AVClass* const*>(context) : nullptr;
    if (avClass && text.empty()) {
        const char* itemName = avClass->item_name ? avClass->item_name(context) : nullptr;
        char prefix[kLineBufferSize];
        std::snprintf(prefix, sizeof prefix, "[%s @ %08" PRIXPTR "]", itemName ? itemName : "",
                      reinterpret_cast<uintptr_t>(avClass));
        text = prefix;
    }
    char message[kLineBufferSize] = {};
    if (format)
        std::vsnprintf(message, sizeof message, format, arguments);
    text += message;

    // Every line is cut to the line buffer; a line feed is never cut away, so a thread
    // whose pending text filled the buffer still ends its line.
    const int engineLogLevel = engineLevel(level);
    std::size_t lineFeed;
    while ((lineFeed = text.find('\n')) != std::string::npos) {
        const std::string line = text.substr(0, std::min(lineFeed, kLineBufferSize - 1));
        text.erase(0, lineFeed + 1);
        // A copy: a handler may create or destroy a component on this thread meanwhile.
        const std::vector<TCustomFFmpegVCL*> components = registry.Items();
        for (TCustomFFmpegVCL* component : components)
            component->DeliverLibraryLog(threadId, engineLogLevel, line);
    }
    if (text.size() > kLineBufferSize - 1)
        text.resize(kLineBufferSize - 1);
    LogLines().SetPending(threadId, text);
}
