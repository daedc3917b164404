// Installing this build tree into a scratch prefix: the programs, the help where the help
// viewer looks for it, the desktop entry and the icon, the manual pages, the completion and
// the AppStream metainfo.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>

#ifndef VIDBRISK_CMAKE_COMMAND
#define VIDBRISK_CMAKE_COMMAND "cmake"
#endif
#ifndef VIDBRISK_INSTALLS_WINDOW
#define VIDBRISK_INSTALLS_WINDOW 0
#endif

namespace fs = std::filesystem;

namespace {

// One shell word, whatever the path holds.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isExecutable(const fs::path& path) {
    const fs::perms perms = fs::status(path).permissions();
    return fs::is_regular_file(path) && (perms & fs::perms::owner_exec) != fs::perms::none;
}

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vidbrisk-install-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_prefix = pattern;
        const std::string command = quoted(VIDBRISK_CMAKE_COMMAND) + " --install " +
                                    quoted(VIDBRISK_BINARY_DIR) + " --prefix " +
                                    quoted(m_prefix.string()) + " > " +
                                    quoted((m_prefix / "install.log").string()) + " 2>&1";
        ASSERT_EQ(run(command), 0) << readFile(m_prefix / "install.log");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_prefix, ignored);
    }
    fs::path m_prefix;
};

TEST_F(Install, TheConverterIsInstalledAndRuns) {
    const fs::path converter = m_prefix / "bin" / "vidbrisk-convert";
    ASSERT_TRUE(isExecutable(converter));
    // It binds the media libraries by soname at run time, so it runs from anywhere.
    EXPECT_EQ(run(quoted(converter.string()) + " --help > /dev/null"), 0);
}

TEST_F(Install, TheConverterComesWithItsManualPageAndCompletion) {
    const std::string page = readFile(m_prefix / "share/man/man1/vidbrisk-convert.1");
    EXPECT_EQ(page.rfind(".TH VIDBRISK-CONVERT 1", 0), 0u);
    const std::string completion =
        readFile(m_prefix / "share/bash-completion/completions/vidbrisk-convert");
    EXPECT_NE(completion.find("complete -F _vidbrisk_convert vidbrisk-convert"), std::string::npos);
}

TEST_F(Install, TheWindowProgramComesWithItsHelpDesktopEntryAndIcon) {
    if (!VIDBRISK_INSTALLS_WINDOW)
        GTEST_SKIP() << "built without the window program";
    EXPECT_TRUE(isExecutable(m_prefix / "bin" / "vidbrisk"));
    // The help viewer's place for it: <program folder>/../share/vidbrisk/help.html.
    const fs::path help = m_prefix / "bin" / ".." / "share" / "vidbrisk" / "help.html";
    ASSERT_TRUE(fs::is_regular_file(help));
    EXPECT_NE(readFile(help).find("<title>Vidbrisk Help</title>"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(m_prefix / "share/icons/hicolor/scalable/apps/vidbrisk.svg"));

    const fs::path entry = m_prefix / "share" / "applications" / "vidbrisk.desktop";
    ASSERT_TRUE(fs::is_regular_file(entry));
    const std::string text = readFile(entry);
    for (const char* line : {"\nExec=vidbrisk %F\n", "\nIcon=vidbrisk\n", "\nType=Application\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_NE(text.find("\nCategories=AudioVideo;"), std::string::npos);
    EXPECT_NE(text.find("video/mp4;"), std::string::npos);
    EXPECT_NE(text.find("audio/mpeg;"), std::string::npos);
    if (run("command -v desktop-file-validate > /dev/null 2>&1") == 0) {
        EXPECT_EQ(run("desktop-file-validate " + quoted(entry.string())), 0);
    }

    EXPECT_EQ(readFile(m_prefix / "share/man/man1/vidbrisk.1").rfind(".TH VIDBRISK 1", 0), 0u);
    const std::string metainfo =
        readFile(m_prefix / "share/metainfo/org.morvane.Vidbrisk.metainfo.xml");
    for (const char* part : {"<id>org.morvane.Vidbrisk</id>",
                             "<launchable type=\"desktop-id\">vidbrisk.desktop</launchable>",
                             "<mediatype>video/mp4</mediatype>", "<content_rating"})
        EXPECT_NE(metainfo.find(part), std::string::npos) << part;
}

TEST(InstallBuildTree, TheHelpLiesBesideTheBuiltWindowProgram) {
    if (!VIDBRISK_INSTALLS_WINDOW)
        GTEST_SKIP() << "built without the window program";
    const fs::path help = fs::path(VIDBRISK_BINARY_DIR) / "app" / "help.html";
    EXPECT_TRUE(fs::is_regular_file(help)) << help;
}

} // namespace
