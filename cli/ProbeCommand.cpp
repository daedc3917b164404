#include "ProbeCommand.h"

#include "AVProbe.h"
#include "ProbeJson.h"
#include "RowTexts.h"

namespace {

// Keeps one line per file: a multi-line reason is joined with blanks.
std::string oneLine(std::string text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            result += ' ';
        } else if (c == '\t') {
            result += ' ';
        } else {
            result += c;
        }
    }
    return result;
}

std::string field(const std::string& text) {
    return text.empty() ? std::string("-") : oneLine(text);
}

template <bool ProbeOptions::*Flag>
bool SetFlag(ProbeOptions& options, const CommandOption<ProbeOptions>&, const std::string&,
             std::string&) {
    options.*Flag = true;
    return true;
}

const CommandOption<ProbeOptions> kProbeOptions[] = {
    {{nullptr, "--json", nullptr,
      "everything the probe finds, as JSON: one object per file (an array of them for several "
      "files)"},
     SetFlag<&ProbeOptions::Json>},
    {{nullptr, "--streams", nullptr,
      "one line per stream of each FILE, tab-separated: the file name, the stream's number (as "
      "--audio-tracks takes it), kind (video, cover, audio, subtitle, data, attachment), codec, "
      "language, title, and \"default\" for the stream the file flags so; \"-\" stands for "
      "an empty field"},
     SetFlag<&ProbeOptions::Streams>},
    {{nullptr, "--verbose", nullptr, "print the libraries' log lines on stderr"},
     SetFlag<&ProbeOptions::Verbose>},
};

int ProbeAsJson(const std::vector<std::string>& files, std::ostream& out) {
    TAVProbe probe;
    JsonWriter json(out);
    int status = 0;
    if (files.size() > 1)
        json.beginArray();
    for (const std::string& file : files)
        if (!WriteProbeJson(json, probe, file))
            status = 1;
    if (files.size() > 1)
        json.endArray();
    out.flush();
    return status;
}

int ProbeStreams(const std::vector<std::string>& files, std::ostream& out) {
    TAVProbe probe;
    int status = 0;
    for (const std::string& file : files) {
        if (!probe.LoadFile(file)) {
            out << oneLine(file) << "\tError\t" << oneLine(probe.LastErrorMessage) << "\n";
            status = 1;
            continue;
        }
        for (const TAVStreamEntry& stream : probe.Streams())
            out << oneLine(file) << "\t" << stream.Index << "\t" << StreamKindText(stream) << "\t"
                << field(stream.Codec) << "\t" << field(stream.Language) << "\t"
                << field(stream.Title) << "\t" << (stream.Default ? "default" : "-") << "\n";
        out.flush();
    }
    probe.CloseFile();
    return status;
}

} // namespace

std::span<const CommandOption<ProbeOptions>> ProbeOptionTable() {
    return kProbeOptions;
}

bool ParseProbeOptions(const std::vector<std::string>& args, ProbeOptions& options,
                       std::string& error) {
    if (!ParseCommandLine<ProbeOptions>(args, ProbeOptionTable(), options, options.Files, error))
        return false;
    if (options.Files.empty())
        error = "'--probe' needs at least one file";
    else if (options.Json && options.Streams)
        error = "'--probe' takes '--json' or '--streams', not both";
    return error.empty();
}

int runProbeCommand(const ProbeOptions& options, std::ostream& out) {
    if (options.Json)
        return ProbeAsJson(options.Files, out);
    if (options.Streams)
        return ProbeStreams(options.Files, out);
    TAVProbe probe;
    int status = 0;
    for (const std::string& file : options.Files) {
        const FileRowTexts row = ProbeFileRow(probe, file, std::string());
        if (row.Progress == "Error") {
            out << oneLine(file) << "\tError\t" << oneLine(probe.LastErrorMessage) << "\n";
            status = 1;
        } else {
            out << oneLine(file) << "\t" << row.VideoSize << "\t" << row.FrameRate << "\t"
                << row.Duration << "\n";
        }
        out.flush();
    }
    probe.CloseFile();
    return status;
}
