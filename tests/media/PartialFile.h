// A generated file written under a temporary name until it is complete.
#pragma once

#include "../support/TestMedia.h"

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <utility>

// A file being written under "<name>.partial"; renamed to its final name by commit(), and
// removed if the writer fails first, so no half-written file ever carries a final name.
class PartialFile {
public:
    explicit PartialFile(std::filesystem::path target)
        : m_target(std::move(target)), m_partial(m_target.string() + TestMedia::kPartialSuffix) {}
    ~PartialFile() {
        if (!m_committed) {
            std::error_code ignored;
            std::filesystem::remove(m_partial, ignored);
        }
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::filesystem::path& path() const { return m_partial; }
    void commit() {
        std::filesystem::rename(m_partial, m_target);
        m_committed = true;
    }

private:
    std::filesystem::path m_target;
    std::filesystem::path m_partial;
    bool m_committed = false;
};

// Writes every clip of a set into `folder` with write(clip, path), each under a temporary
// name until it is complete (partial files of an earlier, broken run are removed first), and
// prints how many were written, as `what`, and how long it took. 0 on success; 1 after the
// first failure, which is printed with the clip's name.
template <class Clips, class Write>
int WriteClipSet(const Clips& clips, const std::filesystem::path& folder, const char* what,
                 Write write) {
    const auto started = std::chrono::steady_clock::now();
    av_log_set_level(AV_LOG_ERROR);
    std::filesystem::create_directories(folder);
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == TestMedia::kPartialSuffix)
            std::filesystem::remove(entry.path());
    for (const auto& clip : clips) {
        try {
            PartialFile file(folder / clip.name);
            write(clip, file.path());
            file.commit();
        } catch (const std::exception& error) {
            std::cerr << "vidbrisk_make_test_media: " << clip.name << ": " << error.what() << "\n";
            return 1;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    std::printf("vidbrisk_make_test_media: wrote %zu %s to %s in %.2f s\n", std::size(clips), what,
                folder.c_str(), elapsed.count());
    return 0;
}
