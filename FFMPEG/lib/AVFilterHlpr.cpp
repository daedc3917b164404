#include "AVFilterHlpr.h"

AVFilterFunctions lavfi;

namespace {

bool bindAVFilter(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lavfi.name))                                                 \
        return false;
#include "AVFilterFunctions.inc"
#undef VB_BIND
    return true;
}

void clearAVFilter() {
    lavfi = AVFilterFunctions{};
}

} // namespace

MediaLibrary& AVFilterLibrary() {
    static MediaLibrary library("avfilter", LIBAVFILTER_VERSION_MAJOR, bindAVFilter, clearAVFilter);
    return library;
}
