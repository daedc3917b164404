// Where an output's sound starts: the samples an encoder's decoders play before its first
// input sample, and which containers tell decoders to skip them.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace AudioTiming {

// Samples between decoder and encoder are signed 16-bit.
inline constexpr int kBytesPerSample = 2;
// A block with silence put in front grows to this many bytes at most.
inline constexpr int kMaxPaddedBlockBytes = 131072;
// Differences between the input clock and the output of up to this many samples are left
// alone.
inline constexpr double kSyncToleranceSamples = 50;
// Silence put in front of late sound is limited to this length; a later first sample is a
// damaged timestamp.
inline constexpr double kMaxStartSilenceSeconds = 30.0;

// Whether the muxer of `output` cannot say where a stream starts: its sound plays from the
// file's start, so late sound must be preceded by silence to stay with its picture.
bool LacksStreamStart(const AVFormatContext* output);

// The samples the decoders of the open audio encoder `enc` play before its first input
// sample, as a container that keeps no skip information hands them over: its priming (a
// negative count when they start after it, dropping the encoder's first frames). Found by
// encoding a few frames of silence with an encoder of the same settings and decoding them
// (under CodecLock); the encoder's initial padding when that cannot be done, 0 for
// encoders that take any number of samples (PCM).
int MeasureDecodedLead(const AVCodecContext* enc);

// The part of `decodedLead` that the decoders of `output` will play for a stream whose
// first sample belongs `originSeconds` after the output's start: all of it, but the
// encoder's initial padding where the container tells decoders to skip that.
int PlayedLead(const AVFormatContext* output, const AVCodecContext* enc, int decodedLead,
               double originSeconds);

// Whether the container of `output` can tell decoders of `codec` to skip its encoder's
// initial padding (for some streams at least, see PlayedLead). Where it cannot, the engine
// accounts for the padding itself and no muxer is to announce it.
bool CarriesPriming(const AVFormatContext* output, AVCodecID codec);

// Sets up the muxer of `output` (before its header) so that the sound keeps the start the
// engine gave it: no LAME header in an MP3 file (its decoders would skip samples the engine
// has accounted for), times before zero kept in ASF. Options already given stay.
void PrepareMuxer(AVFormatContext* output, AVDictionary** options);

} // namespace AudioTiming
