// What the test plug-ins record about the calls they get; shared with the hook tests.
#pragma once

#include <cstdint>

// Filled by libvbhook_test_recorder.so. A test reaches it through the exported function
// TestRecorderGetState() of the loaded module and may clear it between steps.
struct TestRecorderState {
    static constexpr int kMaxArgs = 70;
    static constexpr int kMaxArgLength = 4096; // room for a full path
    static constexpr int kMaxCalls = 32;

    int configureCount;
    int lastArgc;
    char lastArgs[kMaxArgs][kMaxArgLength]; // argv[0..argc-1] of the last Configure
    int lastArgvTerminated;                 // argv[argc] was null
    int nextContextId;                      // contexts are numbered 1, 2, ... per module

    int processCount;
    int processContextIds[kMaxCalls]; // context id of each Process call, in call order
    int lastPixelFormat;
    int lastWidth;
    int lastHeight;
    int64_t lastPtsUs;

    int releaseCount;
    int releasedContextIds[kMaxCalls];
};

// Counters of libvbhook_test_noconfigure.so, reached through TestNoConfigureGetState().
struct TestNoConfigureState {
    int processCount;
    int releaseCount;
    int nonNullContexts; // calls that received a context other than null
};

typedef TestRecorderState* (*TestRecorderStateFunction)();
typedef TestNoConfigureState* (*TestNoConfigureStateFunction)();
