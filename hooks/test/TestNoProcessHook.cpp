// Test plug-in without a Process entry point: a chain must refuse it.
#include "FrameHook.h"

FRAME_HOOK_EXPORT int Configure(void** context, int argc, char* argv[]) {
    return 0;
}
