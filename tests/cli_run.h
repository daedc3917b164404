// Runs vidbrisk-convert as a child process for the end-to-end tests: arguments without a
// shell, stdout and stderr captured, and an optional interrupt sent when a condition holds.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

struct CliRun {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
    bool interrupted = false; // the interrupt was sent
};

inline std::string CliProgram() {
    return std::string(VIDBRISK_BINARY_DIR) + "/cli/vidbrisk-convert";
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// In the child process: becomes the converter with `args`, run through `launcher` when one
// is given.
[[noreturn]] inline void ExecConverter(const std::vector<std::string>& launcher,
                                       const std::vector<std::string>& args) {
    std::vector<std::string> all = launcher;
    all.push_back(CliProgram());
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Runs the converter with `args`. When `interruptWhen` is given it is polled every 20 ms
// while the program runs, and `signal` (SIGINT unless said otherwise) is sent once the
// first time it returns true. `launcher`, when given, is the command the converter is run
// through (for example one that drops privileges).
inline CliRun RunCli(const std::vector<std::string>& args,
                     const std::function<bool()>& interruptWhen = {},
                     std::chrono::seconds timeout = std::chrono::seconds(240), int signal = SIGINT,
                     const std::vector<std::string>& launcher = {}) {
    CliRun run;
    char outName[] = "/tmp/vidbrisk-cli-out-XXXXXX";
    char errName[] = "/tmp/vidbrisk-cli-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        ExecConverter(launcher, args);
    }
    close(outFd);
    close(errFd);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        if (interruptWhen && !run.interrupted && interruptWhen()) {
            kill(child, signal);
            run.interrupted = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadWholeFile(outName);
    run.err = ReadWholeFile(errName);
    std::remove(outName);
    std::remove(errName);
    return run;
}

// Runs the converter on a terminal of its own (a pseudo-terminal for standard input, output
// and error) with TERM set to `term`; `out` gets everything the terminal showed.
inline CliRun RunCliOnTerminal(const std::vector<std::string>& args, const std::string& term) {
    CliRun run;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", term.c_str(), 1);
        ExecConverter({}, args);
    }
    if (child < 0)
        return run;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;)
        run.out.append(buffer, static_cast<size_t>(n));
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The tab-separated fields of a line.
inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return fields;
}
