// Test plug-in that records every call it gets; Configure fails when its first argument is
// "fail". Each configured entry gets a context numbered in configure order.
#include "FrameHook.h"
#include "TestRecorderState.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

TestRecorderState g_state;
std::mutex g_lock; // guards g_state: tests configure from several threads at once

struct RecorderContext {
    int id;
};

} // namespace

FRAME_HOOK_EXPORT TestRecorderState* TestRecorderGetState() {
    return &g_state;
}

FRAME_HOOK_EXPORT int Configure(void** context, int argc, char* argv[]) {
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_state.configureCount;
    g_state.lastArgc = argc;
    for (int i = 0; i < argc && i < TestRecorderState::kMaxArgs; ++i)
        std::snprintf(g_state.lastArgs[i], TestRecorderState::kMaxArgLength, "%s", argv[i]);
    g_state.lastArgvTerminated = argv[argc] == nullptr;
    if (argc > 1 && std::strcmp(argv[1], "fail") == 0)
        return 1;
    *context = new RecorderContext{++g_state.nextContextId};
    return 0;
}

FRAME_HOOK_EXPORT void Process(void* context, FrameHookPicture* picture, int pixelFormat, int width,
                               int height, int64_t ptsUs) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_state.processCount < TestRecorderState::kMaxCalls)
        g_state.processContextIds[g_state.processCount] =
            context ? static_cast<RecorderContext*>(context)->id : 0;
    ++g_state.processCount;
    g_state.lastPixelFormat = pixelFormat;
    g_state.lastWidth = width;
    g_state.lastHeight = height;
    g_state.lastPtsUs = ptsUs;
}

FRAME_HOOK_EXPORT void Release(void* context) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_state.releaseCount < TestRecorderState::kMaxCalls)
        g_state.releasedContextIds[g_state.releaseCount] =
            context ? static_cast<RecorderContext*>(context)->id : 0;
    ++g_state.releaseCount;
    delete static_cast<RecorderContext*>(context);
}
