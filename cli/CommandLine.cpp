#include "CommandLine.h"

#include <filesystem>

namespace {

// Where the help of an option begins, counted from the list's indent.
constexpr size_t kHelpColumn = 28;
constexpr size_t kLineWidth = 80;

const OptionSpelling* FindOption(std::span<const OptionSpelling* const> table,
                                 const std::string& name, bool shortName, size_t& row) {
    for (row = 0; row < table.size(); ++row) {
        const char* spelt = shortName ? table[row]->Short : table[row]->Long;
        if (spelt != nullptr && name == spelt)
            return table[row];
    }
    return nullptr;
}

std::string UnknownOption(const std::string& argument) {
    std::string message = "unknown option '" + argument + "'";
    std::error_code ignored;
    if (std::filesystem::exists(argument, ignored))
        message += " (to name a file that starts with '-', put -- before it)";
    return message;
}

// An option that takes a value must get one: an empty one is as good as none.
bool HasValue(const std::string& name, const ArgumentReading& reading, std::string& error) {
    if (!reading.Value.empty())
        return true;
    error = "'" + name + "' needs a value";
    return false;
}

// "--name" or "--name=value".
bool ReadLongOption(const std::string& argument, const std::vector<std::string>& args, size_t& next,
                    std::span<const OptionSpelling* const> table, ArgumentReading& reading,
                    std::string& error) {
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const OptionSpelling* option = FindOption(table, name, false, reading.Option);
    if (option == nullptr) {
        error = UnknownOption(name);
        return false;
    }
    if (option->Value == nullptr) {
        if (equals != std::string::npos) {
            error = "'" + name + "' takes no value";
            return false;
        }
        return true;
    }
    if (equals != std::string::npos)
        reading.Value = argument.substr(equals + 1);
    else if (next < args.size())
        reading.Value = args[next++];
    return HasValue(name, reading, error);
}

// "-x", "-x VALUE" or "-xVALUE".
bool ReadShortOption(const std::string& argument, const std::vector<std::string>& args,
                     size_t& next, std::span<const OptionSpelling* const> table,
                     ArgumentReading& reading, std::string& error) {
    if (const OptionSpelling* option = FindOption(table, argument, true, reading.Option)) {
        if (option->Value == nullptr)
            return true;
        if (next < args.size())
            reading.Value = args[next++];
        return HasValue(argument, reading, error);
    }
    const OptionSpelling* joined = FindOption(table, argument.substr(0, 2), true, reading.Option);
    if (joined == nullptr || joined->Value == nullptr) {
        error = UnknownOption(argument);
        return false;
    }
    reading.Value = argument.substr(2);
    return true;
}

} // namespace

std::string OptionName(const OptionSpelling& option) {
    return option.Long != nullptr ? option.Long : option.Short;
}

bool ReadArgument(const std::vector<std::string>& args, size_t& next,
                  std::span<const OptionSpelling* const> table, ArgumentReading& reading,
                  std::string& error) {
    const std::string& argument = args[next++];
    if (argument == "--") {
        reading.What = ArgumentReading::Kind::EndOfOptions;
        return true;
    }
    if (argument.size() < 2 || argument[0] != '-') {
        reading.What = ArgumentReading::Kind::Operand;
        return true;
    }
    reading.What = ArgumentReading::Kind::Option;
    if (argument[1] == '-')
        return ReadLongOption(argument, args, next, table, reading, error);
    return ReadShortOption(argument, args, next, table, reading, error);
}

void WriteWrapped(std::ostream& out, const std::string& first, const std::string& margin,
                  const std::string& text) {
    std::string line = first;
    bool lineHasWords = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find_first_of(" \n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (lineHasWords && line.size() + 1 + word.size() > kLineWidth) {
            out << line << "\n";
            line = margin;
            lineHasWords = false;
        }
        if (!word.empty()) {
            line += (lineHasWords ? " " : "") + word;
            lineHasWords = true;
        }
        if (end < text.size() && text[end] == '\n') {
            out << line << "\n";
            line = margin;
            lineHasWords = false;
        }
        start = end + 1;
    }
    out << line << "\n";
}

void WriteOptionList(std::ostream& out, std::span<const OptionSpelling* const> table, int indent) {
    const std::string margin(static_cast<size_t>(indent), ' ');
    const std::string helpMargin = margin + std::string(kHelpColumn, ' ');
    for (const OptionSpelling* option : table) {
        std::string spelling = option->Short != nullptr ? option->Short : "  ";
        if (option->Long != nullptr)
            spelling += std::string(option->Short != nullptr ? ", " : "  ") + option->Long;
        if (option->Value != nullptr)
            spelling += std::string(" ") + option->Value;
        std::string first = margin + spelling;
        if (spelling.size() + 2 > kHelpColumn) {
            out << first << "\n";
            first = helpMargin;
        } else {
            first += std::string(kHelpColumn - spelling.size(), ' ');
        }
        WriteWrapped(out, first, helpMargin, option->Help != nullptr ? option->Help : "");
    }
}
