// Run-time binding of libavformat: the typed function table `lavf` and its library record.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct AVFormatFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "AVFormatFunctions.inc"
#undef VB_BIND
};

extern AVFormatFunctions lavf;

MediaLibrary& AVFormatLibrary();
