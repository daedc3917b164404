// Test plug-in without a Configure entry point: only Process and Release, which count.
#include "FrameHook.h"
#include "TestRecorderState.h"

namespace {
TestNoConfigureState g_state;
}

FRAME_HOOK_EXPORT TestNoConfigureState* TestNoConfigureGetState() {
    return &g_state;
}

FRAME_HOOK_EXPORT void Process(void* context, FrameHookPicture* picture, int pixelFormat, int width,
                               int height, int64_t ptsUs) {
    ++g_state.processCount;
    if (context)
        ++g_state.nonNullContexts;
}

FRAME_HOOK_EXPORT void Release(void* context) {
    ++g_state.releaseCount;
    if (context)
        ++g_state.nonNullContexts;
}
