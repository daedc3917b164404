// The transcode main loop: reading, timestamp handling, decoding or stream copy, and the
// writing of packets to the outputs.
#include "AVCodecHlpr.h"
#include "AVFormatHlpr.h"
#include "FFmpeg.h"

void TCustomFFmpeg::WritePacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost) {
    const int ret = lavf.av_interleaved_write_frame(output, packet);
    lavc.av_packet_unref(packet);
    if (ret < 0)
        throw FFMpegException("av_interleaved_write_frame(): error while writing output packet");
}
