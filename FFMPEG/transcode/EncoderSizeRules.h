// Picture sizes that video encoders accept: the fixed size lists and size multiples some of
// them demand beyond their pixel format's chroma subsampling.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

struct EncoderSizeRule {
    AVCodecID Codec;
    int WidthMultiple;
    int HeightMultiple;
    // Fixed sizes ("W x H", largest last), or null when any multiple is accepted.
    const int (*FixedSizes)[2];
    int FixedSizeCount;
};

// The rule of `codec`, or null when only the pixel format's subsampling counts.
const EncoderSizeRule* FindEncoderSizeRule(AVCodecID codec);

// The largest size up to width x height that the encoder accepts in `format` (for a fixed
// size list: the largest listed size that fits, else the smallest listed).
void FitEncoderSize(AVCodecID codec, AVPixelFormat format, int& width, int& height);

// Why the encoder cannot encode width x height in `format`, naming the codec and the sizes
// it takes; empty when it can.
std::string EncoderSizeProblem(AVCodecID codec, AVPixelFormat format, int width, int height);

// The codec's name in capitals as the format box spells codecs ("H263", "MPEG4").
std::string CodecDisplayName(AVCodecID codec);
