// Entry point of vidbrisk-convert, the command-line converter.
#include "CliCommon.h"
#include "ConvertCommand.h"
#include "ConvertOptions.h"
#include "ListCommands.h"
#include "ProbeCommand.h"
#include "Version.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const usageText =
    "Usage:\n"
    "  vidbrisk-convert -f FORMAT -o FOLDER [settings] FILE...\n"
    "      Convert every FILE, one after the other, into FOLDER in the output format\n"
    "      FORMAT, with the settings that format offers (its defaults unless changed\n"
    "      below). Each output is named after its input with the format's extension;\n"
    "      when that name exists, a hyphen and the first free number are added\n"
    "      (clip.flv, clip-1.flv, clip-2.flv ...) unless --overwrite is given.\n"
    "      Tags (title, artist, album, ...) go along where the format holds them, and\n"
    "      chapters into MKV, WebM, MP4, M4A and MOV. A song's cover picture stays with\n"
    "      it in MP3, M4A, FLAC, OGG and OPUS, and is shown still for the song's length\n"
    "      by the video formats.\n"
    "      At the end of each file one line is printed, tab-separated:\n"
    "        STATE  INPUT  OUTPUT  [REASON]\n"
    "      STATE is Done, Fail (followed by the reason) or Abort. A file that cannot be\n"
    "      opened is still tried and shows Fail. On a terminal a progress line per\n"
    "      running file shows the percentage, frames, size written, speed and time left.\n"
    "      Ctrl-C stops the run: the running files end properly (their outputs stay\n"
    "      playable) and show Abort, files not reached show Abort too. A second Ctrl-C\n"
    "      ends the program at once.\n"
    "      Exit status: 0 when every file is Done, 1 when any is Fail, 130 when stopped,\n"
    "      2 on a usage error or a refused setting (nothing is converted then).\n"
    "\n"
    "      FORMAT is a display name exactly as --list-formats shows it (quote it), or\n"
    "      an output label such as FLV, SWF, 3GP, 3G2, MOV, MP4, RM, WMV, MP3, WAV or\n"
    "      WMA when exactly one entry of the format box has it (AVI and MPG are\n"
    "      ambiguous: the candidates are listed).\n"
    "      -f and -o may also be written --format FORMAT and --output-folder FOLDER.\n"
    "\n"
    "      Settings (see --list-settings FORMAT for the entries each box offers; a value\n"
    "      is an entry's exact text, or a number or WxH that identifies one entry, such\n"
    "      as 128 for \"128 Kbps\" or 320x240 for \"320 x 240 (VGA)\"):\n"
    "        --video-bitrate V   Video Quality        --video-codec V   Video Codec\n"
    "        --video-size V      Video Size           --frame-rate V    Framerate\n"
    "        --audio-bitrate V   Audio Quality        --audio-codec V   Audio Codec\n"
    "        --channels V        Audio Channels (Stereo, Mono, 2 or 1)\n"
    "        --sample-rate V     Sampling Rate\n"
    "      A value that matches no entry is refused with the box's entries listed.\n"
    "        --volume PERCENT    output volume: 0, 20, 40, ... 200 (default 100)\n"
    "        --aspect A          aspect ratio: original (from the input's size; the\n"
    "                            default), 4:3 or 16:9\n"
    "        --letterbox         show a picture of another shape than the output whole,\n"
    "                            with black bars, instead of stretching it\n"
    "        --overwrite         replace existing outputs of the same name; an input\n"
    "                            file or an output of this run is never replaced (a free\n"
    "                            \"-n\" name is taken instead)\n"
    "        --subtitles S       keep (the default): text subtitles go into MKV as they\n"
    "                            are, into MP4, MOV, M4V and 3GP as mov_text, into WebM\n"
    "                            as WebVTT, picture subtitles into MKV only; none: no\n"
    "                            subtitles\n"
    "        --audio-tracks T    all (the default): MKV, WebM, MP4 and MOV keep every\n"
    "                            sound track, other formats the input's default one;\n"
    "                            default: the default track only; N[,M...]: the tracks\n"
    "                            of these stream numbers (see --probe --streams), the\n"
    "                            first of them where the format holds one\n"
    "        --jobs N            convert N files at once (default 1)\n"
    "        --threads N         threads of each decoder and encoder: 0 lets the\n"
    "                            libraries choose for the machine (the default), 1\n"
    "                            keeps each file's work on one thread\n"
    "        --option NAME=VALUE an engine option added to every output (repeatable),\n"
    "                            for example --option qscale=4. It wins over the format's\n"
    "                            settings and the flags above: vcodec, acodec, s, aspect,\n"
    "                            b, vb, ab, ar, ac, vol, target, async, vsync, copyts,\n"
    "                            padcolor, alang, slang, title, author, copyright,\n"
    "                            comment, album and genre take the option's value.\n"
    "                            Refused (exit 2): v (use --verbose) and padtop,\n"
    "                            padbottom, padleft, padright with --letterbox.\n"
    "        --quiet             no progress lines and no closing message\n"
    "        --verbose           print the engine's and the libraries' log lines on stderr\n"
    "  vidbrisk-convert --list-formats\n"
    "      One line per catalogue row, tab-separated: profile number, output label,\n"
    "      position in the format box (\"-\" when the box does not offer it), display name.\n"
    "  vidbrisk-convert --list-settings FORMAT\n"
    "      The settings boxes after choosing FORMAT, one line per box, tab-separated:\n"
    "      the box name, the selected position (-1 for none), then every entry.\n"
    "  vidbrisk-convert --probe [--verbose] FILE...\n"
    "      For each FILE print one line, tab-separated: the file name, then its\n"
    "      \"Video Size\", \"Frame Rate\" and \"Duration\" texts as the file list shows\n"
    "      them (a single blank for size and rate when the file has no video,\n"
    "      \"Unknown\" when the duration is not known). A file that cannot be opened\n"
    "      gives the file name, \"Error\" and the reason.\n"
    "      Exit status: 0 when every file opened, 1 otherwise, 2 on a usage error.\n"
    "  vidbrisk-convert --probe --streams FILE...\n"
    "      One line per stream of each FILE, tab-separated: the file name, the stream's\n"
    "      number (as --audio-tracks takes it), kind (video, cover, audio, subtitle,\n"
    "      data, attachment), codec, language, title, and \"default\" for the stream the\n"
    "      file flags so; \"-\" stands for an empty field.\n"
    "  vidbrisk-convert --help\n"
    "      Show this text.\n"
    "  vidbrisk-convert --version\n"
    "      Show the program's name and version.\n";

int usageError(const std::string& message) {
    std::cerr << "vidbrisk-convert: " << message << "\n\n" << usageText;
    return 2;
}

// --probe [--verbose] [--streams] FILE...
int probe(const std::vector<std::string>& args) {
    bool verbose = false;
    bool streams = false;
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--verbose")
            verbose = true;
        else if (args[i] == "--streams")
            streams = true;
        else
            files.push_back(args[i]);
    }
    if (files.empty())
        return usageError("--probe needs at least one file");
    if (!loadLibrariesForCli(verbose))
        return 2;
    return streams ? runProbeStreamsCommand(files, std::cout) : runProbeCommand(files, std::cout);
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
    if (args[0] == "--version") {
        if (args.size() != 1)
            return usageError("--version takes no arguments");
        std::cout << "vidbrisk-convert " VIDBRISK_VERSION "\n";
        return 0;
    }
    try {
        if (args[0] == "--probe")
            return probe(args);
        if (args[0] == "--list-formats") {
            if (args.size() != 1)
                return usageError("--list-formats takes no arguments");
            return runListFormats(std::cout);
        }
        if (args[0] == "--list-settings") {
            if (args.size() != 2)
                return usageError("--list-settings needs one FORMAT");
            return runListSettings(args[1], std::cout, std::cerr);
        }
        if (args[0].rfind("--", 0) == 0 && args[0].size() > 2 && args[0] != "--" &&
            args[0].find('=') == std::string::npos) {
            // A conversion's first argument is an option of its own, or a file.
            bool known = false;
            for (const char* option :
                 {"--format", "--output-folder", "--volume", "--aspect", "--overwrite",
                  "--letterbox", "--jobs", "--threads", "--option", "--quiet", "--verbose",
                  "--subtitles", "--audio-tracks"})
                known = known || args[0] == option;
            known = known || FindSettingOption(args[0]) != nullptr;
            if (!known)
                return usageError("unknown command: " + args[0]);
        }
        ConvertOptions options;
        std::string error;
        if (!ParseConvertOptions(args, options, error))
            return usageError(error);
        return runConvertCommand(options, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "vidbrisk-convert: " << error.what() << "\n";
        return 2;
    }
}
