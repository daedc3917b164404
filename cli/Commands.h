// The converter's commands: a conversion (the default) and the commands named by their first
// argument (--probe, --list-formats, ...), each with its synopsis and help.
#pragma once

#include "CommandLine.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

struct Command {
    const char* Name;     // "--probe"
    const char* Short;    // "-h", or null
    const char* Operands; // what follows its options in the synopsis ("[--] FILE..."), or ""
    const char* Help;     // its description in --help; '\n' starts another line
    // Its options for the synopsis and the help (none when null).
    std::vector<const OptionSpelling*> (*Options)();
    // Runs it with the arguments after its name; returns the exit status.
    int (*Run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

// Every command but the conversion, in the order --help lists them.
std::span<const Command> Commands();

// Runs the command line (the arguments after the program's name).
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
