// A stand-in libavformat for the loader tests: exports a do-nothing function for every
// name of our binding list, except names renamed away on the compiler's command line.
#define VB_BIND(name)                                                                              \
    extern "C" __attribute__((visibility("default"))) void name() {}
#include "AVFormatFunctions.inc"
#undef VB_BIND
