// vidbrisk_make_test_media: writes the test media folder, or checks it with --verify; with
// --real-world and --verify-real-world the same for the real-world set.
#include "../support/TestMedia.h"
#include "ClipVerifier.h"
#include "ClipWriter.h"
#include "DescribedSet.h"
#include "LibrarySet.h"
#include "PartialFile.h"
#include "RealWorldSet.h"
#include "SourceKindsSet.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "vidbrisk_make_test_media";

// How an encoded clip is made; the sizes, rates and counts come from its TestClip.
struct Production {
    const TestClip* clip;
    const char* muxer;
    double seconds; // nominal length; the frame and sample counts follow from it
    const char* videoEncoder;
    const char* preset;
    int64_t videoBitRate;
    const char* audioEncoder;
    int64_t audioBitRate;
    bool audioFirst;
    bool textured = false; // the textured picture instead of the colour bars
};

const Production kProductions[] = {
    {&TestMedia::kAviMpeg4Mp3, "avi", 3.0, "mpeg4", "", 300000, "libmp3lame", 128000, false},
    {&TestMedia::kMp4H264Aac, "mp4", 3.0, "libx264", "ultrafast", 400000, "aac", 128000, false},
    {&TestMedia::kMp3Audio, "mp3", 3.0, "", "", 0, "libmp3lame", 128000, false},
    {&TestMedia::kWavMono8k, "wav", 2.0, "", "", 0, "pcm_s16le", 0, false},
    {&TestMedia::kVideoOnly, "mp4", 2.0, "mpeg4", "", 300000, "", 0, false},
    {&TestMedia::kAudioFirst, "avi", 2.0, "mpeg4", "", 200000, "libmp3lame", 64000, true},
    // A raw elementary stream has no container header, hence no duration.
    {&TestMedia::kNoDuration, "h264", 2.0, "libx264", "ultrafast", 200000, "", 0, false},
    {&TestMedia::kTextured, "mp4", 10.0, "libx264", "ultrafast", 4000000, "aac", 128000, false,
     true},
};

constexpr const char* kNotMediaText =
    "This is not a media file.\n"
    "It is plain text that carries a media file name, so opening it as media must fail\n"
    "and the failure must be reported rather than taken for an empty clip.\n";

ClipRecipe recipeOf(const Production& production) {
    const TestClip& clip = *production.clip;
    ClipRecipe recipe;
    recipe.muxer = production.muxer;
    recipe.audioFirst = production.audioFirst;
    if (production.videoEncoder[0] != '\0') {
        VideoRecipe video;
        video.encoder = production.videoEncoder;
        video.width = clip.width;
        video.height = clip.height;
        video.frameRate = AVRational{clip.frameRateNum, clip.frameRateDen};
        video.frameCount = static_cast<int>(
            std::llround(production.seconds * clip.frameRateNum / clip.frameRateDen));
        video.bitRate = production.videoBitRate;
        video.preset = production.preset;
        video.textured = production.textured;
        recipe.video = video;
    }
    if (production.audioEncoder[0] != '\0') {
        AudioRecipe audio;
        audio.encoder = production.audioEncoder;
        audio.sampleRateHz = clip.sampleRateHz;
        audio.channels = clip.channels;
        audio.sampleCount = std::llround(production.seconds * clip.sampleRateHz);
        audio.bitRate = production.audioBitRate;
        recipe.audio = audio;
    }
    return recipe;
}

const Production* productionOf(const TestClip& clip) {
    for (const Production& production : kProductions) {
        if (std::strcmp(production.clip->name, clip.name) == 0) {
            return &production;
        }
    }
    return nullptr;
}

void writeBytes(const fs::path& path, const char* data, std::size_t sizeBytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(sizeBytes));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// Copies the first half of an already written clip.
void writeHalf(const fs::path& original, const fs::path& target) {
    const std::uintmax_t sizeBytes = fs::file_size(original);
    std::vector<char> half(static_cast<std::size_t>(sizeBytes / 2));
    std::ifstream in(original, std::ios::binary);
    in.read(half.data(), static_cast<std::streamsize>(half.size()));
    if (!in || half.empty()) {
        throw std::runtime_error("cannot read " + original.string());
    }
    writeBytes(target, half.data(), half.size());
}

void writeClip(const TestClip& clip, const fs::path& folder) {
    PartialFile file(folder / clip.name);
    if (clip.halfOf[0] != '\0') {
        writeHalf(folder / clip.halfOf, file.path());
    } else if (const Production* production = productionOf(clip)) {
        ClipWriter(recipeOf(*production)).write(file.path());
    } else if (std::strcmp(clip.name, TestMedia::kNotMedia.name) == 0) {
        writeBytes(file.path(), kNotMediaText, std::strlen(kNotMediaText));
    } else {
        throw std::logic_error("no way to make this file");
    }
    file.commit();
}

// Whether the comma-separated list names this encoder. The list comes from the
// environment variable VIDBRISK_TEST_MEDIA_HIDE_ENCODERS, which lets a test see how the
// generator behaves on a libavcodec build without them.
bool hidden(const std::string& name) {
    const char* list = std::getenv("VIDBRISK_TEST_MEDIA_HIDE_ENCODERS");
    return list != nullptr &&
           ("," + std::string(list) + ",").find("," + name + ",") != std::string::npos;
}

// Every encoder some clip needs and this libavcodec lacks.
std::set<std::string> missingEncoders() {
    std::set<std::string> missing;
    for (const Production& production : kProductions) {
        for (const std::string& name : ClipWriter::encodersOf(recipeOf(production))) {
            if (hidden(name) || avcodec_find_encoder_by_name(name.c_str()) == nullptr) {
                missing.insert(name);
            }
        }
    }
    missing.merge(LibrarySet::missingEncoders(&hidden));
    return missing;
}

// Names the encoders this libavcodec lacks; true when there are none.
bool reportMissing(const std::set<std::string>& missing) {
    for (const std::string& name : missing) {
        std::cerr << kProgram << ": encoder \"" << name
                  << "\" is missing from this libavcodec build\n";
    }
    if (!missing.empty()) {
        std::cerr << kProgram << ": no test media written (install libavcodec-extra)\n";
    }
    return missing.empty();
}

int generate(const fs::path& folder) {
    const auto started = std::chrono::steady_clock::now();
    if (!reportMissing(missingEncoders())) {
        return 1;
    }
    av_log_set_level(AV_LOG_ERROR);
    fs::create_directories(folder);
    // Leftovers of an interrupted earlier run.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == TestMedia::kPartialSuffix) {
            fs::remove(entry.path());
        }
    }
    for (const TestClip& clip : TestMedia::kAllClips) {
        try {
            writeClip(clip, folder);
        } catch (const std::exception& error) {
            std::cerr << kProgram << ": " << clip.name << ": " << error.what() << "\n";
            return 1;
        }
    }
    try {
        LibrarySet::write(folder);
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << "\n";
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    std::printf("%s: wrote %zu files to %s in %.2f s\n", kProgram,
                TestMedia::kAllClips.size() + LibrarySet::names().size(), folder.c_str(),
                elapsed.count());
    return 0;
}

int verify(const fs::path& folder) {
    av_log_set_level(AV_LOG_FATAL);
    const ClipVerifier verifier(folder);
    int failed = 0;
    for (const TestClip& clip : TestMedia::kAllClips) {
        const std::vector<std::string> differences = verifier.check(clip);
        if (differences.empty()) {
            std::printf("ok      %s\n", clip.name);
            continue;
        }
        ++failed;
        for (const std::string& line : differences) {
            std::printf("FAILED  %s: %s\n", clip.name, line.c_str());
        }
    }
    const std::vector<std::string> library = LibrarySet::verify(folder);
    for (const std::string& name : LibrarySet::names()) {
        bool ok = true;
        for (const std::string& line : library) {
            if (line.rfind(name + ":", 0) == 0) {
                std::printf("FAILED  %s\n", line.c_str());
                ok = false;
            }
        }
        if (ok) {
            std::printf("ok      %s\n", name.c_str());
        } else {
            ++failed;
        }
    }
    std::printf("%d passed, %d failed\n",
                static_cast<int>(TestMedia::kAllClips.size() + LibrarySet::names().size()) - failed,
                failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // The described set is made from the standard clips: --described <standard> <folder>.
    if (argc == 4 && std::strcmp(argv[1], "--described") == 0) {
        return DescribedSet::write(argv[2], argv[3]);
    }
    const std::string mode = argc == 3 ? argv[1] : "";
    const bool known = mode == "--verify" || mode == "--real-world" ||
                       mode == "--verify-real-world" || mode == "--source-kinds";
    if (!(argc == 2 && argv[1][0] != '-') && !known) {
        std::cerr << "usage: " << kProgram << " <folder>           write the test media\n"
                  << "       " << kProgram << " --verify <folder>  check it with libavformat\n"
                  << "       " << kProgram
                  << " --real-world <folder>         write the real-world set\n"
                  << "       " << kProgram
                  << " --verify-real-world <folder>  check it with libavformat\n"
                  << "       " << kProgram
                  << " --described <test media folder> <folder>  write the described set\n"
                  << "       " << kProgram
                  << " --source-kinds <folder>       write the source-kinds set\n";
        return 2;
    }
    try {
        if (mode == "--verify") {
            return verify(argv[2]);
        }
        if (mode == "--real-world") {
            return reportMissing(RealWorldSet::missingEncoders(&hidden))
                       ? RealWorldSet::write(argv[2])
                       : 1;
        }
        if (mode == "--verify-real-world") {
            return RealWorldSet::verify(argv[2]);
        }
        if (mode == "--source-kinds") {
            return reportMissing(SourceKindsSet::missingEncoders(&hidden))
                       ? SourceKindsSet::write(argv[2])
                       : 1;
        }
        return generate(argv[1]);
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << "\n";
        return 1;
    }
}
