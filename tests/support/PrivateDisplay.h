// A private X display for tests that put a real window on a screen: an Xvfb server started
// on the first free display number.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

// An Xvfb server on the first free display; it ends with the object.
class PrivateDisplay {
public:
    PrivateDisplay() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            // The server ends with the test, and keeps off the test's output (CTest waits
            // for that to close).
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int quiet = open("/dev/null", O_RDWR);
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(quiet, 2);
            // The server writes its display number to descriptor 3 once it takes clients.
            dup2(fds[1], 3);
            if (fds[0] != 3)
                close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (m_pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty())
            m_name = ":" + number;
    }
    ~PrivateDisplay() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // ":N", or empty when the server did not start.
    const std::string& name() const { return m_name; }

private:
    pid_t m_pid = -1;
    std::string m_name;
};

// The one server of a test program, started when first asked for.
inline PrivateDisplay& display() {
    static PrivateDisplay server;
    return server;
}
