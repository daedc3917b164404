#include "AVFormatHlpr.h"

AVFormatFunctions lavf;

namespace {

bool bindAVFormat(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lavf.name))                                                  \
        return false;
#include "AVFormatFunctions.inc"
#undef VB_BIND
    return true;
}

void clearAVFormat() { lavf = AVFormatFunctions{}; }

} // namespace

MediaLibrary& AVFormatLibrary() {
    static MediaLibrary library("avformat", LIBAVFORMAT_VERSION_MAJOR, bindAVFormat, clearAVFormat);
    return library;
}
