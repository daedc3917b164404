#include "Commands.h"

#include "CliCommon.h"
#include "ConvertCommand.h"
#include "ConvertOptions.h"
#include "HelpText.h"
#include "ListCommands.h"
#include "PresetOptions.h"
#include "ProbeCommand.h"
#include "Version.h"

namespace {

using Arguments = std::vector<std::string>;

int Probe(const Arguments& args, std::ostream& out, std::ostream& err) {
    ProbeOptions options;
    std::string error;
    if (!ParseProbeOptions(args, options, error))
        return usageError(err, error);
    if (!loadLibrariesForCli(options.Verbose, err))
        return kExitMediaLibraries;
    return runProbeCommand(options, out);
}

int ListFormats(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return usageError(err, "'--list-formats' takes no arguments");
    return runListFormats(out);
}

int ListSettings(const Arguments& args, std::ostream& out, std::ostream& err) {
    struct NoOptions {};
    NoOptions none;
    std::vector<std::string> formats;
    std::string error;
    if (!ParseCommandLine<NoOptions>(args, {}, none, formats, error))
        return usageError(err, error);
    if (formats.size() != 1)
        return usageError(err, "'--list-settings' needs one FORMAT");
    return runListSettings(formats.front(), out, err);
}

int Help(const Arguments&, std::ostream& out, std::ostream&) {
    WriteHelp(out);
    return 0;
}

int Version(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (!args.empty())
        return usageError(err, "'--version' takes no arguments");
    out << "vidbrisk-convert " VIDBRISK_VERSION "\n";
    return 0;
}

int Convert(const Arguments& args, std::ostream& out, std::ostream& err) {
    ConvertOptions options;
    std::string error;
    if (!ParseConvertOptions(args, options, error))
        return usageError(err, error);
    return runConvertCommand(options, out, err);
}

// --help or -h before the end of the options asks for the help whatever else is given.
bool AsksForHelp(const Arguments& args) {
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

const Command kCommands[] = {
    {"--probe", nullptr, "[--] FILE...",
     "For each FILE print one line, tab-separated: the file name, then its "
     "\"Video Size\", \"Frame Rate\" and \"Duration\" texts as the file list shows "
     "them (a single blank for size and rate when the file has no video, "
     "\"Unknown\" when the duration is not known). A file that cannot be opened "
     "gives the file name, \"Error\" and the reason. "
     "Exit status: 0 when every file opened, 1 otherwise.",
     [] { return SpellingsOf(ProbeOptionTable()); }, Probe},
    {"--list-formats", nullptr, "",
     "One line per catalogue row, tab-separated: profile number, output label, "
     "position in the format box (\"-\" when the box does not offer it), display name.",
     nullptr, ListFormats},
    {"--list-settings", nullptr, "[--] FORMAT",
     "The settings boxes after choosing FORMAT, one line per box, tab-separated: "
     "the box name, the selected position (-1 for none), then every entry.",
     nullptr, ListSettings},
    {"--list-presets", nullptr, "",
     "One line per preset saved in the window (\"Save Settings As...\"), tab-separated: "
     "name, format.",
     nullptr, runListPresets},
    {"--help", "-h", "", "Show this text.", nullptr, Help},
    {"--version", nullptr, "", "Show the program's name and version.", nullptr, Version},
};

} // namespace

std::span<const Command> Commands() {
    return kCommands;
}

int runCommandLine(const Arguments& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usageError(err, "no arguments given");
    if (AsksForHelp(args))
        return Help(args, out, err);
    for (const Command& command : kCommands)
        if (args[0] == command.Name || (command.Short != nullptr && args[0] == command.Short))
            return command.Run(Arguments(args.begin() + 1, args.end()), out, err);
    return Convert(args, out, err);
}
