// Entry point of vidbrisk-convert, the command-line converter.
#include "Commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return runCommandLine(args, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "vidbrisk-convert: " << error.what() << "\n";
        return 2;
    }
}
