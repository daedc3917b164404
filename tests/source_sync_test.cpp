// Sound stays where the input has it, whatever decoder gives it: decoders that hold frames
// back (frame threads) or skip samples (priming, pre-skip), sound with the picture and late,
// converted into containers that say where each stream starts (Matroska, MP4 with its edit
// lists, FLV, MPEG-2, ASF) and ones that do not (AVI, and sound-only MP3 and WAV, where
// silence goes in front).
#include "MediaLibraries.h"
#include "SourceKinds.h"
#include "StreamDecoder.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace SourceKinds;

namespace {

struct OutputKind {
    const char* format;
    const char* extension;
    bool streamStart; // the container says where its sound starts
};

// AAC with start times, AAC with edit lists, MP3 with the times of its packets, MP2 in a
// program stream, WMA with ASF's preroll, MP3 from the file's start, and sound alone (MP3,
// PCM, Opus in Ogg).
constexpr OutputKind kOutputs[] = {
    {"MKV", "mkv", true},  {"MP4 - MPEG4 Video (*.mp4)", "mp4", true},
    {"FLV", "flv", true},  {"MPEG-2 Movie (*.mpg)", "mpg", true},
    {"WMV", "wmv", true},  {"AVI - DivX Video (*.avi)", "avi", false},
    {"MP3", "mp3", false}, {"WAV", "wav", false},
    {"OPUS", "opus", true}};

// Where sound is heard against its picture, and where it starts, as the input has them.
constexpr double kToleranceSeconds = 0.02;
// The sound's end: encoders fill their last frame (WMA's hold 46 ms).
constexpr double kEndToleranceSeconds = 0.05;

// A picture's time: the output's frame rate may be lower (FLV has 15 pictures a second).
constexpr double kPictureToleranceSeconds = 1.0 / 15;

// Where the first stream of a file starts; sound alone from the file's start.
double origin(const MediaTimeline& timeline) {
    return std::isnan(timeline.firstPicture) ? 0.0
                                             : std::min(timeline.firstPicture, timeline.firstSound);
}

std::string stem(const std::string& name) {
    return fs::path(name).stem().string();
}

TEST(SourceSync, SoundKeepsItsPlaceAndLengthFromEveryDecoder) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    const fs::path folder =
        fs::temp_directory_path() / ("vidbrisk-sync-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    for (const OutputKind& output : kOutputs) {
        const fs::path out = folder / output.extension;
        fs::create_directories(out);
        std::vector<std::string> args{"--quiet", "-f", output.format, "-o", out.string()};
        for (const SourceClip& clip : kSyncClips)
            args.push_back(SourceKindsPath(clip.name));
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << output.format << "\n" << run.out << run.err;
        for (const SourceClip& clip : kSyncClips) {
            SCOPED_TRACE(std::string(clip.name) + " to " + output.extension);
            const MediaTimeline in = ReadTimeline(SourceKindsPath(clip.name));
            const MediaTimeline got =
                ReadTimeline((out / (stem(clip.name) + "." + output.extension)).string());
            // Times from where each file's first stream starts (the inputs' is 0). Lip sync:
            // the burst is heard with the same picture, and the sound ends as the input's.
            const double inOrigin = origin(in);
            const double gotOrigin = origin(got);
            EXPECT_NEAR(got.firstAudible - gotOrigin, in.firstAudible - inOrigin,
                        kToleranceSeconds);
            EXPECT_NEAR(got.soundEnd - gotOrigin, in.soundEnd - inOrigin, kEndToleranceSeconds);
            // The first sample where the input has it, or at the start with silence in front
            // where the container cannot say where a stream starts (there the first picture
            // fills the time before it too).
            const bool placed = output.streamStart;
            EXPECT_NEAR(got.firstSound - gotOrigin, placed ? in.firstSound - inOrigin : 0.0,
                        kToleranceSeconds);
            if (!std::isnan(got.firstPicture))
                EXPECT_NEAR(got.firstPicture - gotOrigin, placed ? in.firstPicture - inOrigin : 0.0,
                            kPictureToleranceSeconds);
        }
    }
    fs::remove_all(folder);
}

} // namespace
