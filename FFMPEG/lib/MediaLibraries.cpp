#include "MediaLibraries.h"

#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "SwResampleHlpr.h"
#include "SwScaleHlpr.h"

#include <array>
#include <atomic>

namespace {

// Loading order: each library's failure stops the attempt.
std::array<MediaLibrary*, 5> libraries() {
    return {&AVCodecLibrary(), &AVFormatLibrary(), &AVUtilLibrary(), &SwScaleLibrary(),
            &SwResampleLibrary()};
}

// Written on the window's thread during loading only; read freely afterwards.
std::atomic<bool> g_loaded{false};
std::string g_loadLibraryError;
const MediaLibrary* g_failedLibrary = nullptr;
std::atomic<int> g_verbosity{AV_LOG_INFO};

} // namespace

bool LoadMediaLibraries(const std::string& folder, bool versionedNames) {
    if (g_loaded)
        return true;
    g_loadLibraryError.clear();
    g_failedLibrary = nullptr;
    bool ok = true;
    for (MediaLibrary* library : libraries()) {
        if (!library->Load(folder, versionedNames)) {
            g_loadLibraryError = library->ErrorText();
            g_failedLibrary = library;
            ok = false;
            break;
        }
    }
    if (!ok) {
        UnloadMediaLibraries();
        return false;
    }
    g_loaded = true;
    g_verbosity = lavu.av_log_get_level();
    return true;
}

void UnloadMediaLibraries() {
    g_loaded = false;
    for (MediaLibrary* library : libraries())
        library->Unload();
}

bool MediaLibrariesLoaded() {
    return g_loaded;
}

const std::string& LoadLibraryError() {
    return g_loadLibraryError;
}

const MediaLibrary* FailedMediaLibrary() {
    return g_failedLibrary;
}

int MediaLogVerbosity() {
    return g_verbosity;
}

void SetMediaLogVerbosity(int level) {
    g_verbosity = level;
}
