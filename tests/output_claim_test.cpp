// Output name claims: part files created exclusively (threads and processes), taken over
// or removed after a killed process, renamed without replacing what appeared meanwhile, links
// replaced and never followed.
#include "OutputFileClaim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class OutputClaimTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("vidbrisk-claim-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    static void write(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The names in the folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder;
};

TEST_F(OutputClaimTest, PartFileIsWrittenAndCommittedUnderTheFinalName) {
    EXPECT_EQ(OutputFileClaim::partName(path("clip.flv")), path(".clip.flv.part"));
    EXPECT_EQ(OutputFileClaim::partName("clip.flv"), ".clip.flv.part");
    OutputFileClaim claim;
    ASSERT_EQ(claim.claim(path("clip.flv")), 0);
    EXPECT_FALSE(claim.replacesEntry());
    EXPECT_EQ(entries(), std::vector<std::string>{".clip.flv.part"});
    EXPECT_TRUE(OutputFileClaim::nameTaken(path("clip.flv")));
    write(claim.partFileName(), "media");
    ASSERT_EQ(claim.commit(), 0);
    EXPECT_FALSE(claim.held());
    EXPECT_EQ(entries(), std::vector<std::string>{"clip.flv"});
    EXPECT_EQ(read(path("clip.flv")), "media");

    // A discarded claim leaves nothing.
    OutputFileClaim failed;
    ASSERT_EQ(failed.claim(path("other.flv")), 0);
    failed.discard();
    EXPECT_EQ(entries(), std::vector<std::string>{"clip.flv"});
}

TEST_F(OutputClaimTest, ConcurrentClaimsOfOneNameHaveExactlyOneWinner) {
    constexpr int kThreads = 8;
    for (int round = 0; round < 20; ++round) {
        const std::string name = path("x" + std::to_string(round) + ".mp3");
        std::vector<OutputFileClaim> claims(kThreads);
        std::vector<int> results(kThreads, -1);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i)
            threads.emplace_back([&, i] {
                ++ready;
                while (ready < kThreads)
                    std::this_thread::yield();
                results[i] = claims[i].claim(name);
            });
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(std::count(results.begin(), results.end(), 0), 1) << round;
        EXPECT_EQ(std::count(results.begin(), results.end(), EEXIST), kThreads - 1) << round;
    }
}

TEST_F(OutputClaimTest, AnotherProcessHoldsTheNameUntilItIsKilled) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        OutputFileClaim held;
        const char result = held.claim(path("clip.flv")) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &result, 1);
        for (;;)
            ::pause();
    }
    char result = 0;
    ASSERT_EQ(::read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'y');
    write(path(".clip.flv.part"), "half a file");
    OutputFileClaim claim;
    EXPECT_EQ(claim.claim(path("clip.flv")), EEXIST);
    EXPECT_TRUE(OutputFileClaim::nameTaken(path("clip.flv")));
    // A part file its task holds is never removed as a left-over.
    EXPECT_FALSE(OutputFileClaim::removeStalePart(path("clip.flv")));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    // Only the part file is left, and it no longer keeps the name: the next claim takes it
    // over from its start.
    EXPECT_EQ(entries(), std::vector<std::string>{".clip.flv.part"});
    EXPECT_FALSE(OutputFileClaim::nameTaken(path("clip.flv")));
    ASSERT_EQ(claim.claim(path("clip.flv")), 0);
    EXPECT_EQ(fs::file_size(path(".clip.flv.part")), 0u);
    // A left-over nobody holds may also be removed outright.
    claim.discard();
    write(path(".left.flv.part"), "half a file");
    EXPECT_TRUE(OutputFileClaim::removeStalePart(path("left.flv")));
    EXPECT_TRUE(entries().empty());
    EXPECT_FALSE(OutputFileClaim::removeStalePart(path("left.flv")));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(OutputClaimTest, CommitKeepsAnEntryThatAppearedAndReplacesLinksNotTheirTargets) {
    OutputFileClaim late;
    ASSERT_EQ(late.claim(path("a.mp3")), 0);
    write(path("a.mp3"), "written by someone else meanwhile");
    EXPECT_EQ(late.commit(), EEXIST);
    EXPECT_EQ(read(path("a.mp3")), "written by someone else meanwhile");
    // The finished output then goes on in the name's "-n" series, again never replacing.
    EXPECT_EQ(OutputFileClaim::numberedName(path("a.mp3"), 1), path("a-1.mp3"));
    EXPECT_EQ(OutputFileClaim::numberedName(path("a-3.mp3"), 4), path("a-4.mp3"));
    EXPECT_EQ(OutputFileClaim::numberedName(path("x-y.mp3"), 1), path("x-y-1.mp3"));
    write(path("a-1.mp3"), "also there");
    EXPECT_EQ(late.commitAs(path("a-1.mp3")), EEXIST);
    EXPECT_EQ(read(path("a-1.mp3")), "also there");
    ASSERT_EQ(late.commitAs(path("a-2.mp3")), 0);
    EXPECT_FALSE(fs::exists(path(".a.mp3.part")));
    EXPECT_TRUE(fs::exists(path("a-2.mp3")));

    // A name whose entry was there at the claim is to be replaced: a link is replaced by
    // the output itself, its target (existing or not) is never written.
    write(path("target.mp3"), "keep");
    fs::create_symlink(path("target.mp3"), path("b.mp3"));
    fs::create_symlink(path("missing/target.mp3"), path("c.mp3"));
    for (const char* name : {"b.mp3", "c.mp3"}) {
        OutputFileClaim claim;
        ASSERT_EQ(claim.claim(path(name)), 0);
        EXPECT_TRUE(claim.replacesEntry());
        write(claim.partFileName(), "output");
        ASSERT_EQ(claim.commit(), 0) << name;
        EXPECT_FALSE(fs::is_symlink(path(name))) << name;
        EXPECT_EQ(read(path(name)), "output");
    }
    EXPECT_EQ(read(path("target.mp3")), "keep");
    EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(OutputClaimTest, AClaimNeverRemovesAPartFileThatIsNotItsOwn) {
    // The engine removes an output that stayed empty; another task may claim the name then.
    OutputFileClaim first;
    ASSERT_EQ(first.claim(path("clip.flv")), 0);
    fs::remove(path(".clip.flv.part"));
    OutputFileClaim second;
    ASSERT_EQ(second.claim(path("clip.flv")), 0);
    EXPECT_EQ(first.commit(), ENOENT);
    first.discard();
    EXPECT_TRUE(fs::exists(path(".clip.flv.part")));
    EXPECT_TRUE(second.held());
}

} // namespace
