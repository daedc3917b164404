// The converter's command-line options as tables: each row says how an option is spelt,
// whether it takes a value, its line in --help and what it does. The same rows drive the
// parser and the help, so an option added to a table is parsed and listed alike.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

// How one option is spelt and described.
struct OptionSpelling {
    const char* Short; // "-f", or null
    const char* Long;  // "--format", or null
    const char* Value; // "FORMAT" when the option takes a value, null for a flag
    const char* Help;  // its description in --help, wrapped there; '\n' starts another line
};

// One option of a command's table: its spelling and what it does to the command's options.
// `Apply` gets the value (empty for a flag); false with the reason in `error` refuses it.
template <class Options> struct CommandOption : OptionSpelling {
    bool (*Apply)(Options& options, const CommandOption& option, const std::string& value,
                  std::string& error);
};

// The name of an option as messages show it: its long name, else its short one.
std::string OptionName(const OptionSpelling& option);

// What one argument is: an operand (a file, or anything after "--"), the "--" itself, or an
// option of the table with its value. Takes the value from the next argument when the
// option needs one and the argument does not hold it ("--name=value", "-j2"); `next` is then
// moved past it. False with a one-line reason on an unknown option or a missing value.
struct ArgumentReading {
    enum class Kind { Operand, EndOfOptions, Option } What = Kind::Operand;
    size_t Option = 0; // the row in the table
    std::string Value;
};
bool ReadArgument(const std::vector<std::string>& args, size_t& next,
                  std::span<const OptionSpelling* const> table, ArgumentReading& reading,
                  std::string& error);

template <class Options>
std::vector<const OptionSpelling*> SpellingsOf(std::span<const CommandOption<Options>> table) {
    std::vector<const OptionSpelling*> spellings;
    for (const CommandOption<Options>& option : table)
        spellings.push_back(&option);
    return spellings;
}

// Reads `args` against a command's table: options in any order, operands collected in
// order, "--" ending the options. False with a one-line reason on a usage error.
template <class Options>
bool ParseCommandLine(const std::vector<std::string>& args,
                      std::span<const CommandOption<Options>> table, Options& options,
                      std::vector<std::string>& operands, std::string& error) {
    const std::vector<const OptionSpelling*> spellings = SpellingsOf(table);
    bool optionsEnded = false;
    for (size_t next = 0; next < args.size();) {
        if (optionsEnded) {
            operands.push_back(args[next++]);
            continue;
        }
        ArgumentReading reading;
        const std::string& argument = args[next];
        if (!ReadArgument(args, next, spellings, reading, error))
            return false;
        if (reading.What == ArgumentReading::Kind::EndOfOptions)
            optionsEnded = true;
        else if (reading.What == ArgumentReading::Kind::Operand)
            operands.push_back(argument);
        else if (!table[reading.Option].Apply(options, table[reading.Option], reading.Value, error))
            return false;
    }
    return true;
}

// Writes `text` wrapped before column 80: its first line after `first`, the others after
// `margin`; a '\n' in the text starts another line.
void WriteWrapped(std::ostream& out, const std::string& first, const std::string& margin,
                  const std::string& text);

// The option list of --help: one entry per row ("  -f, --format FORMAT" and its help,
// beside it or below when the spelling is long), indented by `indent` blanks.
void WriteOptionList(std::ostream& out, std::span<const OptionSpelling* const> table, int indent);
