// The engine instance's calls into the engine: opening files, target presets, the
// transcode and the final codec clean-up. Tests override them to run without media.
#include "TFFmpeg.h"

bool TFFmpeg::OpenInputFile(const std::string& fileName) {
    return OpenInput(fileName);
}

void TFFmpeg::ApplyTargetPreset(const std::string& preset, const std::string& norm,
                                const std::string& fallbackNorm) {
    ApplyTarget(preset, norm, fallbackNorm);
}

void TFFmpeg::RunTranscode() {
    Transcode(OutputFiles, OutputFileCount, InputFiles, InputFileCount, StreamMaps, StreamMapCount);
}

void TFFmpeg::CloseOpenCodecs() {
    FinalCleanup();
}
