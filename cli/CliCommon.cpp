#include "CliCommon.h"

#include "AVUtilHlpr.h"
#include "MediaLibraries.h"
#include "MediaLibrary.h"

#include <unistd.h>

#include <climits>

int usageError(std::ostream& err, const std::string& message) {
    err << "vidbrisk-convert: " << message << "\nTry 'vidbrisk-convert --help'.\n";
    return kExitUsage;
}

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return std::string();
    std::string text(path, static_cast<size_t>(length));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

bool loadMediaLibrariesOrExplain(std::ostream& err) {
    if (LoadMediaLibraries(programFolder(), true))
        return true;
    const MediaLibrary* library = FailedMediaLibrary();
    if (library == nullptr) {
        err << "vidbrisk-convert: cannot load the media libraries: " << LoadLibraryError() << "\n";
        return false;
    }
    err << "vidbrisk-convert: ";
    if (library->MissingFunction().empty())
        err << "cannot load the media library " << library->FileName() << ": "
            << library->SystemMessage() << "\n";
    else
        err << "the media library " << library->FileName() << " lacks the function "
            << library->MissingFunction() << ": it is not the version this program was built for\n";
    err << "vidbrisk-convert: it comes with the Debian package " << library->PackageName()
        << "; install or reinstall it: apt-get install " << library->PackageName() << "\n";
    return false;
}

bool loadLibrariesForCli(bool verbose, std::ostream& err) {
    if (!loadMediaLibrariesOrExplain(err))
        return false;
    // The libraries' own chatter would mix with our tab-separated output on a terminal.
    lavu.av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    SetMediaLogVerbosity(lavu.av_log_get_level());
    return true;
}
