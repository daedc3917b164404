#include "CliCommon.h"

#include "AVUtilHlpr.h"
#include "MediaLibraries.h"

#include <unistd.h>

#include <climits>
#include <iostream>

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    std::string text(path, static_cast<size_t>(length));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

bool loadLibrariesForCli(bool verbose) {
    if (!LoadMediaLibraries(programFolder(), true)) {
        std::cerr << "vidbrisk-convert: cannot load the media libraries: " << LoadLibraryError()
                  << "\n";
        return false;
    }
    // The libraries' own chatter would mix with our tab-separated output on a terminal.
    lavu.av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    SetMediaLogVerbosity(lavu.av_log_get_level());
    return true;
}
