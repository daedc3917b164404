// Checks the generated test media without the media libraries: presence, sizes, container
// headers against the TestMedia.h constants, and the generator's own behaviour.
#include "OrientationMark.h"
#include "RealWorldMedia.h"
#include "LibraryMedia.h"
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Test names and failure messages show a clip by its file name.
void PrintTo(const TestClip& clip, std::ostream* out) {
    *out << clip.name;
}

namespace {

const std::string kGenerator = std::string(VIDBRISK_BINARY_DIR) + "/tests/vidbrisk_make_test_media";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::string& bytes, std::size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

uint16_t le16(const std::string& bytes, std::size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                 (static_cast<unsigned char>(bytes.at(at + 1)) << 8));
}

uint32_t be32(const std::string& bytes, std::size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    }
    return value;
}

std::string extensionOf(const TestClip& clip) {
    return fs::path(clip.name).extension().string();
}

template <typename Predicate> std::vector<TestClip> clipsWhere(Predicate predicate) {
    std::vector<TestClip> clips;
    std::copy_if(TestMedia::kAllClips.begin(), TestMedia::kAllClips.end(),
                 std::back_inserter(clips), predicate);
    return clips;
}

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// Runs the generator through the shell, with an optional "NAME=value" environment prefix.
CommandResult run(const std::string& arguments, const std::string& environment = "") {
    CommandResult result;
    const std::string command = environment + " " + kGenerator + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        result.output += buffer;
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string clipName(const testing::TestParamInfo<TestClip>& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

class EveryClip : public testing::TestWithParam<TestClip> {};

TEST_P(EveryClip, ExistsAndIsNotEmpty) {
    const fs::path path = TestMediaPath(GetParam().name);
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    EXPECT_GT(fs::file_size(path), 0u);
}

INSTANTIATE_TEST_SUITE_P(TestMedia, EveryClip, testing::ValuesIn(TestMedia::kAllClips), clipName);

class ContainerClip : public testing::TestWithParam<TestClip> {};

// Each container starts with its own signature; a wrong muxer or a swapped file shows here.
TEST_P(ContainerClip, StartsWithTheSignatureOfItsContainer) {
    const TestClip& clip = GetParam();
    const std::string bytes = readFile(TestMediaPath(clip.name));
    ASSERT_GE(bytes.size(), 12u);
    const std::string extension = extensionOf(clip);
    if (extension == ".avi") {
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 4), "AVI ");
    } else if (extension == ".wav") {
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    } else if (extension == ".mp4") {
        EXPECT_EQ(bytes.substr(4, 4), "ftyp");
    } else if (extension == ".mp3") {
        EXPECT_EQ(bytes.substr(0, 3), "ID3");
    } else if (extension == ".h264") {
        EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\1", 4)); // Annex B start code
    } else {
        ADD_FAILURE() << "no signature known for " << clip.name;
    }
}

// Every file but the text file is (the start of) a real container.
INSTANTIATE_TEST_SUITE_P(TestMedia, ContainerClip,
                         testing::ValuesIn(clipsWhere([](const TestClip& clip) {
                             return clip.name != TestMedia::kNotMedia.name;
                         })),
                         clipName);

TEST(TestMediaFolder, HoldsNoPartlyWrittenFile) {
    for (const fs::directory_entry& entry : fs::directory_iterator(VIDBRISK_TEST_MEDIA_DIR)) {
        EXPECT_NE(entry.path().extension(), TestMedia::kPartialSuffix) << entry.path();
    }
}

TEST(TestMediaFolder, CutCopiesAreHalfTheirOriginals) {
    int cutCopies = 0;
    for (const TestClip& clip : TestMedia::kAllClips) {
        if (clip.halfOf[0] == '\0') {
            continue;
        }
        ++cutCopies;
        const std::string original = readFile(TestMediaPath(clip.halfOf));
        const std::string half = readFile(TestMediaPath(clip.name));
        ASSERT_GT(original.size(), 1000u) << clip.halfOf;
        EXPECT_EQ(half.size(), original.size() / 2) << clip.name;
        EXPECT_EQ(original.compare(0, half.size(), half), 0)
            << clip.name << " is not the start of " << clip.halfOf;
    }
    EXPECT_EQ(cutCopies, 2);
}

TEST(TestMediaFolder, TextFileHoldsOnlyPrintableText) {
    const std::string text = readFile(TestMediaPath(TestMedia::kNotMedia.name));
    ASSERT_FALSE(text.empty());
    for (const char c : text) {
        EXPECT_TRUE(c == '\n' || (c >= ' ' && c <= '~')) << "byte " << static_cast<int>(c);
    }
}

// Walks the top-level boxes of an MP4 and returns their types.
std::vector<std::string> topLevelBoxes(const std::string& bytes) {
    std::vector<std::string> boxes;
    std::size_t at = 0;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = be32(bytes, at);
        boxes.push_back(bytes.substr(at + 4, 4));
        if (size < 8) {
            break;
        }
        at += size;
    }
    return boxes;
}

TEST(TestMediaFolder, Mp4CutInHalfLacksTheIndexItsOriginalHas) {
    const auto hasMoov = [](const std::vector<std::string>& boxes) {
        return std::find(boxes.begin(), boxes.end(), "moov") != boxes.end();
    };
    EXPECT_TRUE(hasMoov(topLevelBoxes(readFile(TestMediaPath(TestMedia::kMp4H264Aac.name)))));
    EXPECT_FALSE(hasMoov(topLevelBoxes(readFile(TestMediaPath(TestMedia::kMp4Half.name)))));
}

TEST(TestMediaFolder, WavHeaderMatchesItsConstants) {
    const TestClip& clip = TestMedia::kWavMono8k;
    const std::string bytes = readFile(TestMediaPath(clip.name));
    const std::size_t fmt = bytes.find("fmt ");
    const std::size_t data = bytes.find("data");
    ASSERT_NE(fmt, std::string::npos);
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(le16(bytes, fmt + 8), 1) << "PCM";
    EXPECT_EQ(le16(bytes, fmt + 10), clip.channels);
    EXPECT_EQ(le32(bytes, fmt + 12), static_cast<uint32_t>(clip.sampleRateHz));
    EXPECT_EQ(le16(bytes, fmt + 22), 16) << "bits per sample";
    const double seconds = le32(bytes, data + 4) / (2.0 * clip.channels * clip.sampleRateHz);
    EXPECT_NEAR(seconds, clip.durationSeconds, TestMedia::kDurationToleranceSeconds);
}

class AviClip : public testing::TestWithParam<TestClip> {};

// The main AVI header gives the frame period, picture size and stream count; the stream
// headers ("strh") give the stream kinds in index order.
TEST_P(AviClip, HeaderMatchesItsConstants) {
    const TestClip& clip = GetParam();
    const std::string bytes = readFile(TestMediaPath(clip.name));
    const std::size_t avih = bytes.find("avih");
    ASSERT_NE(avih, std::string::npos);
    const uint32_t expectedPeriodUs =
        static_cast<uint32_t>(1000000LL * clip.frameRateDen / clip.frameRateNum);
    EXPECT_EQ(le32(bytes, avih + 8), expectedPeriodUs);
    EXPECT_EQ(le32(bytes, avih + 8 + 24), static_cast<uint32_t>(clip.streamCount));
    EXPECT_EQ(le32(bytes, avih + 8 + 32), static_cast<uint32_t>(clip.width));
    EXPECT_EQ(le32(bytes, avih + 8 + 36), static_cast<uint32_t>(clip.height));

    std::vector<std::string> kinds;
    for (std::size_t at = bytes.find("strh"); at != std::string::npos && kinds.size() < 8;
         at = bytes.find("strh", at + 4)) {
        kinds.push_back(bytes.substr(at + 8, 4));
    }
    ASSERT_EQ(kinds.size(), static_cast<std::size_t>(clip.streamCount));
    EXPECT_EQ(kinds.at(clip.firstVideoStream), "vids");
    EXPECT_EQ(kinds.at(clip.firstAudioStream), "auds");
}

INSTANTIATE_TEST_SUITE_P(TestMedia, AviClip, testing::ValuesIn(clipsWhere([](const TestClip& clip) {
                             return extensionOf(clip) == ".avi";
                         })),
                         clipName);

// A scratch folder below the system's temporary folder, removed at the end of the test.
class GeneratorRun : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("vidbrisk-test-media-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
};

// Writing into a folder that does not exist yet creates it, and two runs write the same
// bytes, so the fixture folder and a fresh run agree file for file.
TEST_F(GeneratorRun, CreatesTheFolderAndWritesTheSameBytesAsTheFixture) {
    const fs::path folder = m_root / "nested" / "media";
    const CommandResult result = run(folder.string());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::vector<std::string> names = {LibraryMedia::kCoverMp3, LibraryMedia::kCoverM4a,
                                      LibraryMedia::kTwoLanguagesMkv};
    for (const TestClip& clip : TestMedia::kAllClips) {
        names.emplace_back(clip.name);
    }
    for (const std::string& name : names) {
        EXPECT_EQ(readFile(folder / name), readFile(TestMediaPath(name)))
            << name << " differs between two runs";
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++files;
    }
    EXPECT_EQ(files, names.size());
}

TEST_F(GeneratorRun, VerifyAcceptsFreshMediaAndNamesADamagedFile) {
    const fs::path folder = m_root / "media";
    ASSERT_EQ(run(folder.string()).exitCode, 0);
    const CommandResult good = run("--verify " + folder.string());
    EXPECT_EQ(good.exitCode, 0) << good.output;

    // Swap two audio files: the names stay, the properties no longer match.
    fs::copy_file(folder / TestMedia::kWavMono8k.name, folder / TestMedia::kMp3Audio.name,
                  fs::copy_options::overwrite_existing);
    const CommandResult bad = run("--verify " + folder.string());
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    EXPECT_NE(bad.output.find(std::string("FAILED  ") + TestMedia::kMp3Audio.name),
              std::string::npos)
        << bad.output;
    EXPECT_EQ(bad.output.find(std::string("FAILED  ") + TestMedia::kWavMono8k.name),
              std::string::npos)
        << bad.output;
}

TEST_F(GeneratorRun, VerifyFailsOnAMissingFolder) {
    const CommandResult result = run("--verify " + (m_root / "absent").string());
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("missing or empty"), std::string::npos) << result.output;
}

TEST_F(GeneratorRun, WritesNothingWhenAnEncoderIsMissing) {
    const fs::path folder = m_root / "media";
    const CommandResult result =
        run(folder.string(), "VIDBRISK_TEST_MEDIA_HIDE_ENCODERS=aac,libx264");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("encoder \"libx264\" is missing"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("encoder \"aac\" is missing"), std::string::npos) << result.output;
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(GeneratorRun, RejectsAMissingFolderArgument) {
    const CommandResult result = run("");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.output.find("usage:"), std::string::npos) << result.output;
}

// The real-world set is the same every run, so the fixture folder and a fresh run agree.
TEST_F(GeneratorRun, RealWorldSetIsTheSameEveryRun) {
    const fs::path folder = m_root / "real-world";
    const CommandResult result = run("--real-world " + folder.string());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const RealWorldClip& clip : RealWorldMedia::kAllClips) {
        EXPECT_EQ(readFile(folder / clip.name), readFile(RealWorldMediaPath(clip.name)))
            << clip.name << " differs between two runs";
    }
}

// An upright marked picture drawn from OrientationMark::blockAt, shown turned clockwise
// and then, when mirrored, flipped left to right.
struct ShownPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> luma;
};

ShownPicture showMarked(int uprightWidth, int uprightHeight, OrientationMark::Orientation how) {
    const bool turned = how.rotationCw % 180 != 0;
    ShownPicture shown;
    shown.width = turned ? uprightHeight : uprightWidth;
    shown.height = turned ? uprightWidth : uprightHeight;
    shown.luma.assign(static_cast<std::size_t>(shown.width) * shown.height, 0);
    for (int y = 0; y < uprightHeight; ++y) {
        for (int x = 0; x < uprightWidth; ++x) {
            int sx = x;
            int sy = y;
            if (how.rotationCw == 90) {
                sx = uprightHeight - 1 - y;
                sy = x;
            } else if (how.rotationCw == 180) {
                sx = uprightWidth - 1 - x;
                sy = uprightHeight - 1 - y;
            } else if (how.rotationCw == 270) {
                sx = y;
                sy = uprightWidth - 1 - x;
            }
            if (how.mirrored) {
                sx = shown.width - 1 - sx;
            }
            const OrientationMark::Block block =
                OrientationMark::blockAt(x, y, uprightWidth, uprightHeight);
            shown.luma[static_cast<std::size_t>(sy) * shown.width + sx] =
                block == OrientationMark::Block::Bright ? 235
                : block == OrientationMark::Block::Grey ? 128
                                                        : 24;
        }
    }
    return shown;
}

TEST(OrientationMark, ReadsEveryTurnAndMirrorOfAnOddSizedPicture) {
    for (const bool mirrored : {false, true}) {
        for (const int rotationCw : {0, 90, 180, 270}) {
            const OrientationMark::Orientation how{rotationCw, mirrored};
            const ShownPicture shown = showMarked(241, 321, how);
            const std::optional<OrientationMark::Orientation> read =
                OrientationMark::readOrientation(shown.luma.data(), shown.width, shown.width,
                                                 shown.height);
            ASSERT_TRUE(read.has_value()) << rotationCw << (mirrored ? " mirrored" : "");
            EXPECT_EQ(read->rotationCw, rotationCw) << (mirrored ? "mirrored" : "");
            EXPECT_EQ(read->mirrored, mirrored) << rotationCw;
        }
    }
}

TEST(OrientationMark, ReadsNothingFromAPictureWithoutMarks) {
    const std::vector<uint8_t> flat(320 * 240, 128);
    EXPECT_FALSE(OrientationMark::readOrientation(flat.data(), 320, 320, 240).has_value());
    // Bright and grey quarters on a diagonal are no orientation either.
    std::vector<uint8_t> diagonal(320 * 240, 24);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            if (y < 120 && x < 160) {
                diagonal[y * 320 + x] = 235;
            } else if (y >= 120 && x >= 160) {
                diagonal[y * 320 + x] = 128;
            }
        }
    }
    EXPECT_FALSE(OrientationMark::readOrientation(diagonal.data(), 320, 320, 240).has_value());
}

} // namespace
