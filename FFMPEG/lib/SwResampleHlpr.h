// Run-time binding of libswresample: the typed function table `lswr` and its library record.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libswresample/swresample.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct SwResampleFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "SwResampleFunctions.inc"
#undef VB_BIND
};

extern SwResampleFunctions lswr;

MediaLibrary& SwResampleLibrary();
