// Output name claims: exclusive, locked part files and their rename to the final name.
#include "OutputFileClaim.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kCreateFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kFileMode = 0666; // narrowed by the process's umask
constexpr int kClaimAttempts = 8;

// Numbers the short-lived names a part file is prepared under, within this process.
std::atomic<unsigned> preparedNames{0};

// Whether the open file is the one the path names now.
bool sameEntry(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Takes over a part file nobody holds locked (left by a killed process). Returns the
// locked descriptor, -EEXIST when a running task holds it or it is no plain file of ours,
// -EAGAIN when it changed while we looked.
int takeOverStalePart(const std::string& part) {
    const int fd = ::open(part.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? -EAGAIN : -EEXIST;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -EEXIST;
    }
    if (!sameEntry(fd, part)) {
        ::close(fd);
        return -EAGAIN;
    }
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    return fd;
}

// Creates the part file directly (for file systems without hard links); the lock follows
// the creation at once.
int createPartDirectly(const std::string& part) {
    const int fd = ::open(part.c_str(), kCreateFlags, kFileMode);
    if (fd < 0)
        return errno == EEXIST ? takeOverStalePart(part) : -errno;
    ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

// Creates and locks the part file. It is prepared and locked under a name of its own and
// then linked to the part name, so the part file is locked from the moment it appears and
// an existing one is never replaced.
int createPart(const std::string& part) {
    const std::string prepared =
        part + "." + std::to_string(::getpid()) + "-" + std::to_string(preparedNames.fetch_add(1));
    const int fd = ::open(prepared.c_str(), kCreateFlags, kFileMode);
    if (fd < 0) {
        const int error = errno;
        // The longer prepared name may be what the file system refuses.
        return error == ENAMETOOLONG || error == EEXIST ? createPartDirectly(part) : -error;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);
    const int linked = ::link(prepared.c_str(), part.c_str());
    const int error = errno;
    ::unlink(prepared.c_str());
    if (linked == 0)
        return fd;
    ::close(fd);
    if (error == EEXIST)
        return takeOverStalePart(part);
    if (error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS)
        return createPartDirectly(part);
    return -error;
}

// Renames without replacing an existing entry; EEXIST when there is one.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system without the flag: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    if (OutputFileClaim::entryExists(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

OutputFileClaim::~OutputFileClaim() {
    discard();
}

std::string OutputFileClaim::partName(const std::string& finalName) {
    const auto slash = finalName.find_last_of('/');
    if (slash == std::string::npos)
        return "." + finalName + ".part";
    return finalName.substr(0, slash + 1) + "." + finalName.substr(slash + 1) + ".part";
}

bool OutputFileClaim::entryExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool OutputFileClaim::nameTaken(const std::string& finalName) {
    return entryExists(finalName) || partHeld(finalName);
}

bool OutputFileClaim::partHeld(const std::string& finalName) {
    const std::string part = partName(finalName);
    if (!entryExists(part))
        return false;
    const int fd = ::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT; // a link or something we may not open: not ours to take
    struct stat info {};
    const bool stale =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return !stale;
}

bool OutputFileClaim::removeStalePart(const std::string& finalName) {
    const std::string part = partName(finalName);
    // Locked first, as for a take-over: a part file a running task holds is never removed.
    const int fd = takeOverStalePart(part);
    if (fd < 0)
        return false;
    const bool removed = ::unlink(part.c_str()) == 0;
    ::close(fd);
    return removed;
}

int OutputFileClaim::claim(const std::string& finalName) {
    discard();
    m_finalName = finalName;
    m_partName = partName(finalName);
    m_replaces = entryExists(finalName);
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        const int result = createPart(m_partName);
        if (result >= 0) {
            m_lockFd = result;
            return 0;
        }
        if (result != -EAGAIN)
            return -result;
    }
    return EEXIST;
}

std::string OutputFileClaim::numberedName(const std::string& finalName, int number) {
    const auto slash = finalName.find_last_of('/');
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    auto dot = finalName.rfind('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = finalName.size();
    std::string base = finalName.substr(0, dot);
    // "clip-1" counts on from "clip", as the names of a run do.
    const auto dash = base.find_last_of('-');
    if (dash != std::string::npos && dash > nameStart && dash + 1 < base.size() &&
        base.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        base.erase(dash);
    return base + "-" + std::to_string(number) + finalName.substr(dot);
}

int OutputFileClaim::commit() {
    return commitTo(m_finalName, m_replaces);
}

int OutputFileClaim::commitAs(const std::string& otherName) {
    return commitTo(otherName, false);
}

int OutputFileClaim::commitTo(const std::string& name, bool replace) {
    if (!held())
        return EINVAL;
    // The engine deletes an output that stayed empty; a part file of the same name that
    // appeared since belongs to another task.
    if (!sameEntry(m_lockFd, m_partName))
        return ENOENT;
    const int error = replace ? (::rename(m_partName.c_str(), name.c_str()) == 0 ? 0 : errno)
                              : renameNoReplace(m_partName, name);
    if (error == 0)
        release();
    return error;
}

void OutputFileClaim::discard() {
    if (!held())
        return;
    if (sameEntry(m_lockFd, m_partName))
        ::unlink(m_partName.c_str());
    release();
}

void OutputFileClaim::release() {
    ::close(m_lockFd); // also drops the flock
    m_lockFd = -1;
}
