// Stand-ins for the file set-up operations that the option table dispatches to ("target",
// "newvideo", "newaudio", "newsubtitle") until stream creation and the target presets
// exist. Delete this file when they are defined with the file set-up.
#include "FFmpeg.h"

void TCustomFFmpeg::SetTarget(const std::string& value) {
    throw FFMpegException("Target presets are not available yet: " + value);
}

void TCustomFFmpeg::NewVideoStream(AVFormatContext*) {
    throw FFMpegException("Stream creation is not available yet");
}

void TCustomFFmpeg::NewAudioStream(AVFormatContext*) {
    throw FFMpegException("Stream creation is not available yet");
}

void TCustomFFmpeg::NewSubtitleStream(AVFormatContext*) {
    throw FFMpegException("Stream creation is not available yet");
}
