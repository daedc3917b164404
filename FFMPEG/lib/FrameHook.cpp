// Frame hook plug-ins: process-wide module cache, per-task chain, configure/run/release.
#include "FrameHook.h"

#include "AVUtilHlpr.h"

#include <dlfcn.h>

#include <mutex>
#include <utility>

namespace {

// Messages of this module go to the library log at level 0 (AV_LOG_PANIC), the level the
// engine uses for a failed step that the task survives.
constexpr int kHookLogLevel = 0;

struct HookModule {
    std::string path; // the library path exactly as it was given
    void* handle;
};

// Guards the module cache below: every lookup, load and insertion. Several tasks may
// configure hooks at once from different threads; the lock is held only around the
// cache step (including dlopen), never while plug-in code runs.
std::mutex& moduleCacheLock() {
    static std::mutex lock;
    return lock;
}

// The process-wide module cache: one entry per loaded path, in load order. Modules are
// never unloaded (a later task reuses them); the list goes away when the program ends.
std::vector<HookModule>& moduleCache() {
    static std::vector<HookModule> cache;
    return cache;
}

// Returns the module loaded for the path, loading and caching it on first use; null when
// the load fails (the system's reason has been logged). Paths compare exactly: Linux file
// names are case-sensitive, so two spellings that differ in case are two files.
void* findOrLoadModule(const char* path) {
    std::lock_guard<std::mutex> guard(moduleCacheLock());
    for (const HookModule& module : moduleCache()) {
        if (module.path == path)
            return module.handle;
    }
    // The path is loaded as given: with a folder part it names that file, without one the
    // loader's own search applies. RTLD_NOW reports unresolved symbols here, not later
    // on the worker thread; RTLD_LOCAL keeps one plug-in's names away from another's.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        if (lavu.av_log)
            lavu.av_log(nullptr, kHookLogLevel, "%s\n", reason ? reason : "unknown error");
        return nullptr;
    }
    moduleCache().push_back(HookModule{path, handle});
    return handle;
}

template <class Function> Function resolve(void* module, const char* name) {
    return reinterpret_cast<Function>(dlsym(module, name));
}

// Entries come from lavu.av_mallocz, so they go back through lavu.av_free. The media
// libraries stay bound until the program ends; should they be gone, the entry is left
// rather than freed through a null pointer.
void freeEntry(FrameHookEntry* entry) {
    if (entry && lavu.av_free)
        lavu.av_free(entry);
}

} // namespace

std::vector<std::string> SplitFrameHookArgument(const std::string& argument) {
    const char separator = argument.find('|') != std::string::npos ? '|' : ' ';
    std::vector<std::string> tokens;
    std::size_t position = 0;
    while (static_cast<int>(tokens.size()) < kFrameHookArgvSlots - 1) {
        position = argument.find_first_not_of(separator, position);
        if (position == std::string::npos)
            break;
        std::size_t end = argument.find(separator, position);
        if (end == std::string::npos)
            end = argument.size();
        tokens.push_back(argument.substr(position, end - position));
        position = end;
    }
    return tokens;
}

int FrameHookAdd(FrameHookChain& chain, const std::string& argument) {
    // Private copies of the tokens: Configure receives writable texts, and they stay valid
    // for the whole call.
    std::vector<std::string> tokens = SplitFrameHookArgument(argument);
    char* argv[kFrameHookArgvSlots] = {};
    const int argc = static_cast<int>(tokens.size());
    for (int i = 0; i < argc; ++i)
        argv[i] = tokens[i].data();
    return FrameHookAdd(chain, argc, argv);
}

int FrameHookAdd(FrameHookChain& chain, int argc, char* argv[]) {
    if (argc < 1 || !argv || !argv[0])
        return kFrameHookBadArguments;
    const char* path = argv[0];

    void* module = findOrLoadModule(path);
    if (!module)
        return kFrameHookLoadFailed;

    auto* entry = static_cast<FrameHookEntry*>(
        lavu.av_mallocz ? lavu.av_mallocz(sizeof(FrameHookEntry)) : nullptr);
    if (!entry)
        return kFrameHookNoMemory;

    entry->Configure = resolve<FrameHookConfigureFunction>(module, "Configure");
    entry->Process = resolve<FrameHookProcessFunction>(module, "Process");
    entry->Release = resolve<FrameHookReleaseFunction>(module, "Release");

    if (!entry->Process) {
        lavu.av_log(nullptr, kHookLogLevel, "Failed to find Process entrypoint in %s\n", path);
        freeEntry(entry);
        return kFrameHookBadArguments;
    }
    if (!entry->Configure && argc > 1) {
        lavu.av_log(nullptr, kHookLogLevel, "Failed to find Configure entrypoint in %s\n", path);
        freeEntry(entry);
        return kFrameHookBadArguments;
    }
    // A plug-in without Configure is accepted only without arguments (checked above); one
    // with Configure is always configured, arguments or not.
    if (entry->Configure && entry->Configure(&entry->Context, argc, argv) != 0) {
        lavu.av_log(nullptr, kHookLogLevel, "Failed to Configure %s\n", path);
        // The plug-in reported failure, so whatever it left in Context is not ours to
        // release: the entry is dropped without calling Release.
        freeEntry(entry);
        return kFrameHookConfigureFailed;
    }

    FrameHookEntry** tail = &chain.Head;
    while (*tail)
        tail = &(*tail)->Next;
    *tail = entry;
    return 0;
}

void RunFrameHooks(FrameHookChain& chain, FrameHookPicture* picture, int pixelFormat, int width,
                   int height, int64_t ptsUs) {
    for (FrameHookEntry* entry = chain.Head; entry; entry = entry->Next)
        entry->Process(entry->Context, picture, pixelFormat, width, height, ptsUs);
}

void RunFrameHooks(FrameHookChain& chain, uint8_t* const* data, const int* linesize,
                   int pixelFormat, int width, int height, int64_t ptsUs) {
    FrameHookPicture picture{};
    for (int plane = 0; plane < 4; ++plane) {
        picture.data[plane] = data[plane];
        picture.linesize[plane] = linesize[plane];
    }
    RunFrameHooks(chain, &picture, pixelFormat, width, height, ptsUs);
}

void ReleaseFrameHooks(FrameHookChain& chain) {
    FrameHookEntry* entry = std::exchange(chain.Head, nullptr);
    while (entry) {
        FrameHookEntry* next = entry->Next;
        if (entry->Release)
            entry->Release(entry->Context);
        freeEntry(entry);
        entry = next;
    }
}

std::size_t FrameHookModuleCount() {
    std::lock_guard<std::mutex> guard(moduleCacheLock());
    return moduleCache().size();
}
