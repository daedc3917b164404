// A generated file written under a temporary name until it is complete.
#pragma once

#include "../support/TestMedia.h"

#include <filesystem>
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
