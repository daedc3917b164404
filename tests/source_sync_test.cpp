// Sound stays where the input has it, whatever decoder gives it: decoders that hold frames
// back (frame threads) or skip samples (priming, pre-skip), sound with the picture and late,
// converted into containers that say where each stream starts (Matroska, MP4 with its edit
// lists) and one that does not (AVI, where silence goes in front).
#include "MediaLibraries.h"
#include "SourceKinds.h"
#include "StreamDecoder.h"
#include "cli_run.h"

#include <gtest/gtest.h>

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

// AAC with start times, AAC with edit lists, MP3 from the file's start.
constexpr OutputKind kOutputs[] = {{"MKV", "mkv", true},
                                   {"MP4 - MPEG4 Video (*.mp4)", "mp4", true},
                                   {"AVI - DivX Video (*.avi)", "avi", false}};

// Where sound is heard against its picture, and where it starts, as the input has them.
constexpr double kToleranceSeconds = 0.02;
// The sound's end: an encoder fills its last frame.
constexpr double kEndToleranceSeconds = 0.03;

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
            // Lip sync: the burst is heard with the same picture. A container that cannot say
            // where a stream starts has both from its start (the first picture fills the time
            // before it); the inputs start at 0.
            const double inPicture = output.streamStart ? in.firstPicture : 0.0;
            EXPECT_NEAR(got.firstAudible - got.firstPicture, in.firstAudible - inPicture,
                        kToleranceSeconds);
            EXPECT_NEAR(got.soundEnd - got.firstPicture, in.soundEnd - inPicture,
                        kEndToleranceSeconds);
            // The first sample where the input has it, or at the start with silence in front.
            const double start = output.streamStart ? in.firstSound - in.firstPicture : 0.0;
            EXPECT_NEAR(got.firstSound - got.firstPicture, start, kToleranceSeconds);
        }
    }
    fs::remove_all(folder);
}

} // namespace
