// Loading and binding the media libraries at run time.
#include "AVCodecHlpr.h"
#include "AVProbe.h"
#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "SwResampleHlpr.h"
#include "SwScaleHlpr.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

std::array<MediaLibrary*, 5> allLibraries() {
    return {&AVCodecLibrary(), &AVFormatLibrary(), &AVUtilLibrary(), &SwScaleLibrary(),
            &SwResampleLibrary()};
}

void expectNothingLoaded() {
    EXPECT_FALSE(MediaLibrariesLoaded());
    for (MediaLibrary* library : allLibraries()) {
        EXPECT_FALSE(library->Loaded()) << library->FileName();
        EXPECT_FALSE(library->Bound()) << library->FileName();
    }
    EXPECT_EQ(lavc.avcodec_open2, nullptr);
    EXPECT_EQ(lavf.avformat_open_input, nullptr);
    EXPECT_EQ(lavu.av_log, nullptr);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Every test starts and ends with nothing loaded and the real file names.
class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        UnloadMediaLibraries();
        for (MediaLibrary* library : allLibraries())
            library->RestoreFileNames();
    }
};

} // namespace

TEST_F(LoaderTest, LoadsAndBindsEveryLibraryOnce) {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    EXPECT_TRUE(MediaLibrariesLoaded());
    EXPECT_EQ(LoadLibraryError(), "");
    for (MediaLibrary* library : allLibraries()) {
        EXPECT_TRUE(library->Bound()) << library->FileName();
        EXPECT_TRUE(library->VersionedNames);
    }
    EXPECT_EQ(AVCodecLibrary().FileName(),
              "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
    // The bound functions are the libraries' own.
    EXPECT_EQ(lavc.avcodec_version() >> 16, static_cast<unsigned>(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_EQ(lavf.avformat_version() >> 16, static_cast<unsigned>(LIBAVFORMAT_VERSION_MAJOR));
    EXPECT_EQ(lavu.avutil_version() >> 16, static_cast<unsigned>(LIBAVUTIL_VERSION_MAJOR));
    EXPECT_EQ(lsws.swscale_version() >> 16, static_cast<unsigned>(LIBSWSCALE_VERSION_MAJOR));
    EXPECT_EQ(lswr.swresample_version() >> 16, static_cast<unsigned>(LIBSWRESAMPLE_VERSION_MAJOR));
    EXPECT_EQ(MediaLogVerbosity(), lavu.av_log_get_level());

    // A second request after a success returns at once, even when a file name would now fail.
    AVCodecLibrary().OverrideFileNames("libvidbrisk-missing.so.1", "libvidbrisk-missing.so");
    EXPECT_TRUE(LoadMediaLibraries("/nonexistent-folder", false));
    EXPECT_TRUE(AVCodecLibrary().Bound());

    UnloadMediaLibraries();
    expectNothingLoaded();
}

TEST_F(LoaderTest, PlainNamesLoadTheDevelopmentLinks) {
    ASSERT_TRUE(LoadMediaLibraries("", false)) << LoadLibraryError();
    EXPECT_EQ(AVCodecLibrary().FileName(), "libavcodec.so");
    EXPECT_FALSE(AVCodecLibrary().VersionedNames);
    UnloadMediaLibraries();
}

// A missing file stops the attempt with its name, whichever library it is, and leaves
// nothing loaded, also the libraries that loaded before it.
class MissingLibraryTest : public LoaderTest, public ::testing::WithParamInterface<int> {};

TEST_P(MissingLibraryTest, NamesTheFileAndUnloadsEverything) {
    MediaLibrary* missing = allLibraries()[static_cast<size_t>(GetParam())];
    missing->OverrideFileNames("libvidbrisk-missing.so.7", "libvidbrisk-missing.so");
    EXPECT_FALSE(LoadMediaLibraries("", true));
    EXPECT_TRUE(startsWith(LoadLibraryError(), "Load libraray libvidbrisk-missing.so.7 error: "))
        << LoadLibraryError();
    EXPECT_NE(LoadLibraryError().find("libvidbrisk-missing.so.7"), std::string::npos);
    expectNothingLoaded();
}

INSTANTIATE_TEST_SUITE_P(EachLibrary, MissingLibraryTest, ::testing::Values(0, 1, 2, 3, 4));

TEST_F(LoaderTest, MissingFunctionNamesFunctionAndLibrary) {
    // The stand-in libavformat in the stub folder is found first and lacks av_sdp_create.
    EXPECT_FALSE(LoadMediaLibraries(VIDBRISK_STUB_LIB_DIR, true));
    const std::string name = "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR);
    EXPECT_TRUE(startsWith(LoadLibraryError(), "Load function av_sdp_create@" + name + " error: "))
        << LoadLibraryError();
    EXPECT_NE(LoadLibraryError().find("av_sdp_create"), std::string::npos);
    expectNothingLoaded();

    // A later attempt without the stub succeeds.
    EXPECT_TRUE(LoadMediaLibraries("", true)) << LoadLibraryError();
    UnloadMediaLibraries();
}

TEST_F(LoaderTest, EachLibraryNamesTheDebianPackageThatShipsIt) {
    const std::pair<MediaLibrary*, const char*> packages[] = {
        {&AVCodecLibrary(), "libavcodec59"},      {&AVFormatLibrary(), "libavformat59"},
        {&AVUtilLibrary(), "libavutil57"},        {&SwScaleLibrary(), "libswscale6"},
        {&SwResampleLibrary(), "libswresample4"},
    };
    for (const auto& [library, package] : packages)
        EXPECT_EQ(library->PackageName(), package) << library->FileName();
    // After a failed load the library that stopped it says what it missed.
    EXPECT_FALSE(LoadMediaLibraries(VIDBRISK_STUB_LIB_DIR, true));
    ASSERT_EQ(FailedMediaLibrary(), &AVFormatLibrary());
    EXPECT_EQ(FailedMediaLibrary()->MissingFunction(), "av_sdp_create");
}

TEST_F(LoaderTest, ProbeRefusesToWorkWithoutLibraries) {
    expectNothingLoaded();
    EXPECT_THROW(
        {
            try {
                TAVProbe::CheckLibraries();
            } catch (const MediaLibraryError& error) {
                EXPECT_STREQ(error.what(), "LibAVCodec not loaded.");
                throw;
            }
        },
        MediaLibraryError);
}
