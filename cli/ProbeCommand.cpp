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

} // namespace

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
