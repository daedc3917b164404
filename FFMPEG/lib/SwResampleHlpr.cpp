#include "SwResampleHlpr.h"

SwResampleFunctions lswr;

namespace {

bool bindSwResample(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lswr.name))                                                  \
        return false;
#include "SwResampleFunctions.inc"
#undef VB_BIND
    return true;
}

void clearSwResample() { lswr = SwResampleFunctions{}; }

} // namespace

MediaLibrary& SwResampleLibrary() {
    static MediaLibrary library("swresample", LIBSWRESAMPLE_VERSION_MAJOR, bindSwResample, clearSwResample);
    return library;
}
