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
#include <mutex>
#include <vector>

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

namespace {

// The engine's level (-1 quiet, 0 error, 1 info and warnings, 2 debug, 3 all) of a library
// message level. The component's description hands the library's own level (8 to 56) to
// the level mapping, which would make every library line llAll, errors included; mapped
// to the engine's levels first, an error line arrives as llError and a warning as llInfo,
// the same levels as the engine's own lines.
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

// Lines a thread could not deliver at once (see LibraryLogCallback), waiting for the
// thread that holds the registry's lock. Any thread may add or take; m_lock guards
// m_lines and is never held while a line is delivered.
class DeferredLines {
public:
    struct Line {
        int32_t ThreadId;
        int EngineLevel;
        std::string Text;
    };
    // Beyond this many waiting lines only error lines are kept.
    static constexpr std::size_t kSoftLimit = 1000;

    void add(Line line) {
        const std::lock_guard lock(m_lock);
        if (m_lines.size() < kSoftLimit || line.EngineLevel <= 0)
            m_lines.push_back(std::move(line));
    }
    std::vector<Line> takeAll() {
        const std::lock_guard lock(m_lock);
        std::vector<Line> lines = std::move(m_lines);
        m_lines.clear();
        return lines;
    }
    bool empty() {
        const std::lock_guard lock(m_lock);
        return m_lines.empty();
    }

private:
    std::mutex m_lock;
    std::vector<Line> m_lines; // guarded by m_lock
};

DeferredLines& deferredLines() {
    static DeferredLines lines;
    return lines;
}

// Under the registry's lock: every registered component gets the line.
void deliverLine(TComponentRegistry& registry, int32_t threadId, int level,
                 const std::string& line) {
    // A copy: a handler may create or destroy a component on this thread meanwhile.
    const std::vector<TCustomFFmpegVCL*> components = registry.Items();
    for (TCustomFFmpegVCL* component : components)
        component->DeliverLibraryLog(threadId, level, line);
}

// Delivers the deferred lines and releases the registry's lock; again while lines were
// deferred meanwhile and the lock can be had at once. A line deferred after the last check
// was deferred by a thread whose own try afterwards succeeds, or fails against a holder
// that still comes here: no line is left waiting.
void deliverDeferredAndUnlock(TComponentRegistry& registry,
                              std::unique_lock<std::recursive_mutex>& lock) {
    for (;;) {
        for (const DeferredLines::Line& line : deferredLines().takeAll())
            deliverLine(registry, line.ThreadId, line.EngineLevel, line.Text);
        lock.unlock();
        if (deferredLines().empty() || !lock.try_lock())
            return;
    }
}

} // namespace

// ---- Registry ---------------------------------------------------------------------------

// Every holder of the registry's lock delivers the lines deferred meanwhile before it lets
// the lock go.
void TComponentRegistry::Add(TCustomFFmpegVCL* component) {
    std::unique_lock lock(m_lock);
    m_items.push_back(component);
    deliverDeferredAndUnlock(*this, lock);
}

void TComponentRegistry::Remove(TCustomFFmpegVCL* component) {
    std::unique_lock lock(m_lock);
    m_items.erase(std::remove(m_items.begin(), m_items.end(), component), m_items.end());
    deliverDeferredAndUnlock(*this, lock);
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
        if (Tasks[i].OwnerThreadId == threadId || Tasks[i].EncoderThreadId == threadId)
            owner = &Tasks[i];
    DoLog(owner, level, line);
}

void LibraryLogCallback(void* context, int level, const char* format, va_list arguments) {
    // A step that fails may quote the library's own words, whatever the log level.
    LibraryMessageCapture::Record(level, format, arguments);
    if (MediaLogVerbosity() < level)
        return;
    TComponentRegistry& registry = ComponentRegistry();
    // A thread that holds a TaskLock (a handler, or a task set-up under it) must not wait
    // for the registry's lock: a delivery on another thread holds it and waits for that
    // TaskLock. Such a thread hands its lines to the holder of the registry's lock instead
    // (DeferredLines), which delivers them before it lets the lock go; none is dropped.
    std::unique_lock<std::recursive_mutex> lock(registry.Lock(), std::defer_lock);
    if (TaskLockGuard::HeldByThisThread())
        lock.try_lock();
    else
        lock.lock();

    // Only the calling thread changes its own pending text (TLogList has its own lock), so
    // the line is put together with or without the registry's lock.
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
    bool deferred = false;
    std::size_t lineFeed;
    while ((lineFeed = text.find('\n')) != std::string::npos) {
        std::string line = text.substr(0, std::min(lineFeed, kLineBufferSize - 1));
        text.erase(0, lineFeed + 1);
        if (lock.owns_lock()) {
            deliverLine(registry, threadId, engineLogLevel, line);
        } else {
            deferredLines().add({threadId, engineLogLevel, std::move(line)});
            deferred = true;
        }
    }
    if (text.size() > kLineBufferSize - 1)
        text.resize(kLineBufferSize - 1);
    LogLines().SetPending(threadId, text);
    // The holder may have let the lock go before these lines arrived: try once more.
    if (deferred && !lock.owns_lock())
        lock.try_lock();
    if (lock.owns_lock())
        deliverDeferredAndUnlock(registry, lock);
}
