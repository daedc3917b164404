// Run-time binding of libavutil: the typed function table `lavu` and its library record.
#pragma once

#include "MediaLibrary.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libavutil/avstring.h>
#include <libavutil/base64.h>
}

// One pointer per bound function, typed from the library's own prototype, so every
// call through the table is checked by the compiler. Null until the library is bound.
struct AVUtilFunctions {
#define VB_BIND(name) decltype(&::name) name = nullptr;
#include "AVUtilFunctions.inc"
#undef VB_BIND
};

extern AVUtilFunctions lavu;

MediaLibrary& AVUtilLibrary();
