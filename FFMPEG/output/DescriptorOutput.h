// Output through a file descriptor the task created itself: the library's I/O writes to the
// very file that was created exclusively, never to whatever a name points to by then.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

// Gives `context` an I/O context that writes to and seeks in a duplicate of `descriptor`
// from its start (marked as the caller's own I/O). Returns 0 or a negative AVERROR.
int OpenDescriptorOutput(AVFormatContext* context, int descriptor);

// Whether `context` writes through such an I/O context.
bool WritesThroughDescriptor(const AVFormatContext* context);

// Flushes and frees the I/O context of OpenDescriptorOutput and closes its descriptor.
void CloseDescriptorOutput(AVFormatContext* context);
