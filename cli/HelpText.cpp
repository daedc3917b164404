#include "HelpText.h"

#include "CliFormatBox.h"
#include "Commands.h"
#include "ConvertOptions.h"

#include <string>

namespace {

const char* const kConversionText =
    "  Convert every FILE, one after the other, into FOLDER in the output format\n"
    "  FORMAT, with the settings that format offers (its defaults unless changed\n"
    "  below). Each output is named after its input with the format's extension;\n"
    "  when that name exists, a hyphen and the first free number are added\n"
    "  (clip.flv, clip-1.flv, clip-2.flv ...) unless --overwrite is given.\n"
    "  Tags (title, artist, album, ...) go along where the format holds them, and\n"
    "  chapters into MKV, WebM, MP4, M4A and MOV. A song's cover picture stays with\n"
    "  it in MP3, M4A, FLAC, OGG and OPUS, and is shown still for the song's length\n"
    "  by the video formats.\n"
    "  At the end of each file one line is printed on standard output, tab-separated:\n"
    "    STATE  INPUT  OUTPUT  [REASON]\n"
    "  STATE is Done, Fail (followed by the reason) or Abort. A file that cannot be\n"
    "  opened is still tried and shows Fail; when standard output is not a terminal\n"
    "  the reason is also written on standard error. On a terminal a progress line\n"
    "  per running file shows the percentage, frames, size written, speed and time\n"
    "  left (plain lines now and then when TERM is dumb). The run ends with a line on\n"
    "  standard error that counts the files: \"3 done, 1 failed\". Ctrl-C stops the\n"
    "  run: the running files end properly (their outputs stay playable) and show\n"
    "  Abort, files not reached show Abort too, and the closing line begins with\n"
    "  \"stopped:\". A second Ctrl-C ends the program at once.\n";

const char* const kSettingsText =
    "  Settings: a value is an entry's exact text, or a number or WxH that identifies\n"
    "  one entry, such as 128 for \"128 Kbps\" or 320x240 for \"320 x 240 (VGA)\" (Audio\n"
    "  Channels also takes 2 or 1). See --list-settings FORMAT for the entries each\n"
    "  box offers; a value that matches no entry is refused with the entries listed.\n";

const char* const kExitText =
    "  Exit status: 0 when every file is Done, 1 when any is Fail, 130 when stopped,\n"
    "  2 on a usage error or a refused setting (nothing is converted then), 3 when\n"
    "  a media library is missing or unusable (the message names its package).\n";

// Every output label that selects a row, then those that name several.
void WriteLabels(std::ostream& out) {
    std::string selecting;
    std::string ambiguous;
    for (const FormatLabel& label : FormatLabels()) {
        std::string& list = label.Rows.size() == 1 ? selecting : ambiguous;
        list += (list.empty() ? "" : label.Rows.size() == 1 ? ", " : " and ") + label.Label;
    }
    out << "  FORMAT is a display name exactly as --list-formats shows it (quote it), or\n"
           "  one of these output labels, in any case:\n";
    WriteWrapped(out, "    ", "    ", selecting + ".");
    WriteWrapped(out, "  ", "  ",
                 ambiguous + " name several rows: give the display name (a label alone "
                             "lists the candidates).");
}

std::string Synopsis(const Command& command) {
    std::string text = command.Short != nullptr ? std::string(command.Short) + ", " + command.Name
                                                : std::string(command.Name);
    if (command.Options != nullptr)
        for (const OptionSpelling* option : command.Options())
            text += " [" + OptionName(*option) + "]";
    return *command.Operands != '\0' ? text + " " + command.Operands : text;
}

void WriteCommands(std::ostream& out) {
    for (const Command& command : Commands()) {
        out << "\n  vidbrisk-convert " << Synopsis(command) << "\n";
        WriteWrapped(out, "      ", "      ", command.Help);
        if (command.Options != nullptr)
            WriteOptionList(out, command.Options(), 6);
    }
}

} // namespace

void WriteHelp(std::ostream& out) {
    out << "Usage:\n  vidbrisk-convert -f FORMAT -o FOLDER [OPTION...] [--] FILE...\n";
    for (const Command& command : Commands())
        out << "  vidbrisk-convert " << Synopsis(command) << "\n";
    out << "\n" << kConversionText << "\n  Options of a conversion:\n";
    WriteOptionList(out, SpellingsOf<ConvertOptions>(ConvertOptionTable()), 4);
    out << "    --                          ends the options: every argument after it is a\n"
           "                                FILE, even one that starts with '-'\n\n";
    WriteLabels(out);
    out << "\n" << kSettingsText << "\n" << kExitText << "\n  Other commands:";
    WriteCommands(out);
}
