// Every format of the format box through vidbrisk-convert with its default settings: the
// output's sound has the codec, sampling rate and channels the format's boxes choose.
#include "MediaLibraries.h"
#include "OutputStreams.h"
#include "TestMedia.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct FormatAudio {
    const char* format;
    const char* extension;
    const char* audioCodec; // as the decoder names it
    int sampleRateHz;
    int channels;
};

// The boxes' defaults (see --list-settings): mobile formats are AMR at 8000 Hz, mono.
const FormatAudio kFormats[] = {
    {"FLV - Flash Video (*.flv)", "flv", "mp3", 44100, 2},
    {"SWF - Flash Swf (*.swf)", "swf", "mp3", 44100, 2},
    {"3GP - Mobile Video Format (*.3gp)", "3gp", "amr_nb", 8000, 1},
    {"3G2 - Mobile Video Format (*.3g2)", "3g2", "amr_nb", 8000, 1},
    {"AVI - Audio Video Interleave (*.avi)", "avi", "pcm_s16le", 48000, 2},
    {"AVI - DivX Video (*.avi)", "avi", "mp3", 48000, 2},
    {"AVI - XviD Video (*.avi)", "avi", "mp3", 48000, 2},
    {"MOV - QuickTime Video (*.mov)", "mov", "aac", 44100, 2},
    {"MP4 - MPEG4 Video (*.mp4)", "mp4", "aac", 44100, 2},
    {"MPEG-1 Movie (*.mpg)", "mpg", "mp2", 44100, 2},
    {"MPEG-2 Movie (*.mpg)", "mpg", "mp2", 44100, 2},
    {"RM - Real Video (*.rm)", "rm", "ac3", 48000, 2},
    {"Super Video CD (*.mpg)", "mpg", "mp2", 44100, 2},
    {"Video CD (*.mpg)", "mpg", "mp2", 44100, 2},
    {"WMV - Windows Media Video (*.wmv)", "wmv", "wmav2", 48000, 2},
    {"MP3 - Mpeg Layer3 Audio (*.mp3)", "mp3", "mp3", 48000, 2},
    {"WAV - Waveform Audio (*.wav)", "wav", "pcm_s16le", 44100, 2},
    {"WMA - Windows Media Audio (*.wma)", "wma", "wmav2", 48000, 2},
};

TEST(CliFormats, EveryFormatOfTheBoxGivesTheSoundItsBoxesChoose) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const fs::path folder =
        fs::temp_directory_path() / ("vidbrisk-formats-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const std::string input = TestMediaPath(TestMedia::kMp4H264Aac.name); // stereo, 44100 Hz
    int index = 0;
    for (const FormatAudio& format : kFormats) {
        SCOPED_TRACE(format.format);
        const fs::path out = folder / std::to_string(index++);
        fs::create_directories(out);
        const CliRun run = RunCli({"-q", "-f", format.format, "-o", out.string(), input});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const OutputStreams streams =
            ReadOutputStreams((out / (std::string("h264_aac.") + format.extension)).string());
        EXPECT_EQ(streams.audioCodec, format.audioCodec) << streams;
        EXPECT_EQ(streams.sampleRateHz, format.sampleRateHz) << streams;
        EXPECT_EQ(streams.channels, format.channels) << streams;
    }
    fs::remove_all(folder);
}

} // namespace
