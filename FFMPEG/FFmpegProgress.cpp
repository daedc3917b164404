// Progress reports and statistics of a running transcode.
#include "FFmpeg.h"

void TCustomFFmpeg::WriteVideoStats(OutputStreamState& ost, int frameSize) {}
