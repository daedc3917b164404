// Entry point of vidbrisk-convert, the command-line converter.
#include "CliCommon.h"
#include "ProbeCommand.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const usageText =
    "Usage:\n"
    "  vidbrisk-convert --probe [--verbose] FILE...\n"
    "      For each FILE print one line, tab-separated: the file name, then its\n"
    "      \"Video Size\", \"Frame Rate\" and \"Duration\" texts as the file list shows\n"
    "      them (a single blank for size and rate when the file has no video,\n"
    "      \"Unknown\" when the duration is not known). A file that cannot be opened\n"
    "      gives the file name, \"Error\" and the reason.\n"
    "      Exit status: 0 when every file opened, 1 otherwise, 2 on a usage error.\n"
    "  vidbrisk-convert --help\n"
    "      Show this text.\n"
    "\n"
    "Options:\n"
    "  --verbose   let the media libraries print their own messages to stderr\n";

int usageError(const std::string& message) {
    std::cerr << "vidbrisk-convert: " << message << "\n\n" << usageText;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError("no command given");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << usageText;
        return 0;
    }
    try {
        if (args[0] == "--probe") {
            bool verbose = false;
            std::vector<std::string> files;
            for (size_t i = 1; i < args.size(); ++i) {
                if (args[i] == "--verbose")
                    verbose = true;
                else
                    files.push_back(args[i]);
            }
            if (files.empty())
                return usageError("--probe needs at least one file");
            if (!loadLibrariesForCli(verbose))
                return 2;
            return runProbeCommand(files, std::cout);
        }
    } catch (const std::exception& error) {
        std::cerr << "vidbrisk-convert: " << error.what() << "\n";
        return 2;
    }
    return usageError("unknown command: " + args[0]);
}
