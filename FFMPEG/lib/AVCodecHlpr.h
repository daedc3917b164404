// Run-time binding of libavcodec: the typed function table `lavc` and its library record.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct AVCodecFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "AVCodecFunctions.inc"
#undef VB_BIND
};

extern AVCodecFunctions lavc;

MediaLibrary& AVCodecLibrary();
