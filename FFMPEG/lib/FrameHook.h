// Frame hook plug-ins: the plug-in calling interface, the per-task hook chain, and the
// operations that load, configure, run and release the plug-ins named by "vhook" options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------
// Plug-in interface. A plug-in is a shared library exporting, with C linkage:
//   int  Configure(void** context, int argc, char* argv[]);   optional
//   void Process(void* context, FrameHookPicture* picture, int pixelFormat,
//                int width, int height, int64_t ptsUs);        required
//   void Release(void* context);                                optional
// See hooks/README.md for the full contract.
// ---------------------------------------------------------------------------------------
// Marks a plug-in's entry point: C linkage, exported even when the plug-in is built with
// hidden visibility.
#define FRAME_HOOK_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {

// The working picture handed to Process: four plane pointers and four line sizes (bytes
// per row), laid out like the planes of an AVFrame of the given pixel format.
struct FrameHookPicture {
    uint8_t* data[4];
    int linesize[4];
};

// Called once per configured entry. argv[0] is the library path, argv[1..argc-1] the
// plug-in's own arguments, argv[argc] is null; the texts live only during the call.
// The plug-in may store its state in *context. Returns 0 on success.
typedef int (*FrameHookConfigureFunction)(void** context, int argc, char* argv[]);
// Called for every hooked picture; may change the picture's pixels in place. pixelFormat
// is an AVPixelFormat value, ptsUs the input stream's time in microseconds.
typedef void (*FrameHookProcessFunction)(void* context, FrameHookPicture* picture, int pixelFormat,
                                         int width, int height, int64_t ptsUs);
// Called once when the entry is released, with the context Configure left.
typedef void (*FrameHookReleaseFunction)(void* context);
}

// One configured plug-in of a task's chain. Allocated zeroed with lavu.av_mallocz and
// freed with lavu.av_free by ReleaseFrameHooks.
struct FrameHookEntry {
    FrameHookEntry* Next;
    FrameHookConfigureFunction Configure; // null when the plug-in exports none
    FrameHookProcessFunction Process;     // never null in a chained entry
    FrameHookReleaseFunction Release;     // null when the plug-in exports none
    void* Context;                        // set by the plug-in's Configure
};

// The hook chain of one engine instance, head first, in the order the "vhook" options
// were given. It belongs to its engine alone: built while options are parsed, run on the
// task's worker thread, released when the engine resets. So it needs no lock of its own.
struct FrameHookChain {
    FrameHookEntry* Head = nullptr;
};

// Result codes of FrameHookAdd.
constexpr int kFrameHookBadArguments = -2; // no path, or a missing entry point
constexpr int kFrameHookLoadFailed = -1;   // the library could not be loaded
constexpr int kFrameHookNoMemory = -12;    // the entry could not be allocated
constexpr int kFrameHookConfigureFailed = -22;

// Slots of the argv handed to Configure: up to 63 tokens (the path and 62 arguments)
// and the final null.
constexpr int kFrameHookArgvSlots = 64;

// Splits a "vhook" argument into the library path (first token) and the plug-in's
// arguments. The separator is "|" when the text contains one, otherwise a blank; runs of
// separators count as one and separators at either end are dropped (strtok rules). At
// most kFrameHookArgvSlots - 1 tokens are kept.
std::vector<std::string> SplitFrameHookArgument(const std::string& argument);

// Splits the argument (see above) and adds the plug-in to the chain: 0 on success, a
// negative code on failure (the reason is logged through av_log). The caller raises
// "Failed to add video hook function: " + argument when the result is not 0.
// The library path is loaded exactly as given (dlopen rules): the current directory and
// PATH are never changed.
int FrameHookAdd(FrameHookChain& chain, const std::string& argument);

// Adds one plug-in from argc tokens: argv[0] the library path, argv[argc] null. Loads the
// module once per path for the whole process, resolves its entry points, configures a
// new entry and appends it at the tail. Returns 0 or one of the codes above.
int FrameHookAdd(FrameHookChain& chain, int argc, char* argv[]);

// Hands the picture to Process of every entry, head to tail.
void RunFrameHooks(FrameHookChain& chain, FrameHookPicture* picture, int pixelFormat, int width,
                   int height, int64_t ptsUs);
// The same for plane arrays such as AVFrame::data / AVFrame::linesize (the first four
// planes are used).
void RunFrameHooks(FrameHookChain& chain, uint8_t* const* data, const int* linesize,
                   int pixelFormat, int width, int height, int64_t ptsUs);

// Calls Release (when present) with each entry's context, frees every entry and leaves
// the chain empty. Safe on an empty chain and when called twice.
void ReleaseFrameHooks(FrameHookChain& chain);

// Number of modules in the process-wide module cache (for diagnostics and tests).
std::size_t FrameHookModuleCount();
