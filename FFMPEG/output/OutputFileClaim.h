// A task's claim on its output name: the hidden part file the output is written to while
// the task runs, created exclusively and locked, and its rename to the final name.
#pragma once

#include <string>

// One output name claimed by one task. The part file ".NAME.part" beside the final name is
// created exclusively (two tasks, in one process or in two, never share it) and holds an
// exclusive flock for as long as the claim is held: a part file that nobody holds locked
// was left by a process that was killed, and may be taken over.
//
// Not thread-safe: the thread that sets a task up claims, the task's worker (or whichever
// thread ends the task) commits or discards, never at the same time.
class OutputFileClaim {
public:
    OutputFileClaim() = default;
    // Discards a claim still held.
    ~OutputFileClaim();
    OutputFileClaim(const OutputFileClaim&) = delete;
    OutputFileClaim& operator=(const OutputFileClaim&) = delete;

    // "dir/.name.part" for "dir/name".
    static std::string partName(const std::string& finalName);
    // Whether a directory entry of that name exists; links are not followed, so a dangling
    // link exists too.
    static bool entryExists(const std::string& path);
    // Whether the output name is taken: its entry exists, or a running task (of any
    // process) holds its part file.
    static bool nameTaken(const std::string& finalName);
    // Whether a running task (of any process) holds the part file of the output name; a
    // part file nobody holds was left by a killed process and does not count.
    static bool partHeld(const std::string& finalName);

    // Removes the part file of the output name when nobody holds it (a process that was
    // killed left it). Returns whether one was removed.
    static bool removeStalePart(const std::string& finalName);

    // Creates and locks the part file of finalName. Returns 0, or the error number: EEXIST
    // when a running task holds the part file already.
    int claim(const std::string& finalName);
    bool held() const { return m_lockFd >= 0; }
    // The descriptor open (read and write) on the part file while the claim is held.
    int descriptor() const { return m_lockFd; }
    const std::string& finalName() const { return m_finalName; }
    const std::string& partFileName() const { return m_partName; }
    // Whether the final name existed when it was claimed: its owner asked for it to be
    // replaced.
    bool replacesEntry() const { return m_replaces; }

    // Gives the part file its final name and ends the claim. An entry of the final name
    // is replaced (a link itself, never its target) only when it was there at the claim;
    // one that appeared since is kept and the result is EEXIST. Returns 0 or the error
    // number; the claim is still held after a failure.
    int commit();
    // Gives the part file another name, never replacing an entry of that name.
    int commitAs(const std::string& otherName);
    // Removes the part file and ends the claim.
    void discard();

    // The name numbered `number` in the "-n" series of finalName ("dir/clip.flv" and
    // "dir/clip-3.flv" give "dir/clip-2.flv" for 2).
    static std::string numberedName(const std::string& finalName, int number);

private:
    int commitTo(const std::string& name, bool replace);
    void release();

    std::string m_finalName;
    std::string m_partName;
    int m_lockFd = -1; // open on the part file, holding its flock while the claim lasts
    bool m_replaces = false;
};
