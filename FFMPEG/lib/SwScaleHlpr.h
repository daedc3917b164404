// Run-time binding of libswscale: the typed function table `lsws` and its library record.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libswscale/swscale.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct SwScaleFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "SwScaleFunctions.inc"
#undef VB_BIND
};

extern SwScaleFunctions lsws;

MediaLibrary& SwScaleLibrary();
