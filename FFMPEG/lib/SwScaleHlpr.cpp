#include "SwScaleHlpr.h"

SwScaleFunctions lsws;

namespace {

bool bindSwScale(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lsws.name))                                                  \
        return false;
#include "SwScaleFunctions.inc"
#undef VB_BIND
    return true;
}

void clearSwScale() { lsws = SwScaleFunctions{}; }

} // namespace

MediaLibrary& SwScaleLibrary() {
    static MediaLibrary library("swscale", LIBSWSCALE_VERSION_MAJOR, bindSwScale, clearSwScale);
    return library;
}
