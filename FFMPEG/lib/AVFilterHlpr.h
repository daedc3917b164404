// Run-time binding of libavfilter: the typed function table `lavfi` and its library record.
// The engine takes its deinterlacer from it.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct AVFilterFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "AVFilterFunctions.inc"
#undef VB_BIND
};

extern AVFilterFunctions lavfi;

MediaLibrary& AVFilterLibrary();
