#include "ProbeCommand.h"

#include "AVProbe.h"
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

} // namespace

int runProbeStreamsCommand(const std::vector<std::string>& files, std::ostream& out) {
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

int runProbeCommand(const std::vector<std::string>& files, std::ostream& out) {
    TAVProbe probe;
    int status = 0;
    for (const std::string& file : files) {
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
