#include "AVUtilHlpr.h"

AVUtilFunctions lavu;

namespace {

bool bindAVUtil(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lavu.name))                                                  \
        return false;
#include "AVUtilFunctions.inc"
#undef VB_BIND
    return true;
}

void clearAVUtil() { lavu = AVUtilFunctions{}; }

} // namespace

MediaLibrary& AVUtilLibrary() {
    static MediaLibrary library("avutil", LIBAVUTIL_VERSION_MAJOR, bindAVUtil, clearAVUtil);
    return library;
}
