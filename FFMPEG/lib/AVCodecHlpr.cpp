#include "AVCodecHlpr.h"

AVCodecFunctions lavc;

namespace {

bool bindAVCodec(MediaLibrary& library) {
#define VB_BIND(name)                                                                              \
    if (!BindFunction(library, #name, lavc.name))                                                  \
        return false;
#include "AVCodecFunctions.inc"
#undef VB_BIND
    return true;
}

void clearAVCodec() { lavc = AVCodecFunctions{}; }

} // namespace

MediaLibrary& AVCodecLibrary() {
    static MediaLibrary library("avcodec", LIBAVCODEC_VERSION_MAJOR, bindAVCodec, clearAVCodec);
    return library;
}
