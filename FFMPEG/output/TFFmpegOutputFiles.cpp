// The engine instance's output files: each plain output file is written under its claimed
// part file and gets its final name only when the task ends with its trailer written; a
// finished output is read back first, and one that holds no frames fails the task.
#include "TFFmpeg.h"

#include "AVFormatHlpr.h"
#include "AVProbe.h"
#include "CodecLock.h"
#include "EngineText.h"
#include "MediaLibraries.h"

#include <cerrno>
#include <cstdio>

namespace {

// An output shorter than the input by more than this share and this many milliseconds is
// noted: the input ended early or could not be read to its end.
constexpr int64_t kShortOutputPercent = 90;
constexpr int64_t kShortOutputMarginMs = 1000;
// How many numbered names a finished output tries when its own was taken meanwhile.
constexpr int kOtherNameAttempts = 100;

// Whether the name is a path of the local file system, not a protocol address such as
// "udp://..." or "pipe:1".
bool isLocalPath(const std::string& name) {
    if (name.empty() || name == "-")
        return false;
    if (name.front() == '/')
        return true;
    const auto colon = name.find(':');
    return colon == std::string::npos || name.find('/') < colon;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty())
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string seconds(int64_t milliseconds) {
    return formatText("%.1f s", static_cast<double>(milliseconds) / 1000.0);
}

} // namespace

bool TFFmpeg::OpenOutputFile(const std::string& fileName) {
    const AVOutputFormat* format = ForcedOutputFormat;
    if (!format && MediaLibrariesLoaded())
        format = lavf.av_guess_format(nullptr, fileName.c_str(), nullptr);
    // Image sequences, muxers that write files of their own and protocol addresses are
    // opened under their own names.
    if (!format || (format->flags & (AVFMT_NOFILE | AVFMT_NEEDNUMBER)) || !isLocalPath(fileName))
        return OpenOutput(fileName);

    auto claim = std::make_unique<OutputFileClaim>();
    if (const int error = claim->claim(fileName); error != 0) {
        ErrorText =
            formatText("Could not open '%s': %s", fileName.c_str(), SystemErrorText(error).c_str());
        ForcedOutputFormat = nullptr;
        ForcedInputFormat = nullptr;
        return false;
    }
    // The part file's name says nothing of its format: the muxer is chosen by the final name.
    ForcedOutputFormat = format;
    OutputDescriptor = claim->descriptor();
    const bool opened = OpenOutput(claim->partFileName());
    OutputDescriptor = -1; // also when the open failed before it was used
    if (!opened) {
        // The reason names the output as the user knows it.
        ErrorText = replaceAll(ErrorText, claim->partFileName(), fileName);
        return false; // the claim's end removes the part file
    }
    ClaimedOutput output;
    output.formatName = format->name;
    output.claim = std::move(claim);
    m_claimedOutputs.push_back(std::move(output));
    return true;
}

void TFFmpeg::noteOutputStreams() {
    for (int file = 0; file < OutputFileCount; ++file) {
        const AVFormatContext* context = OutputFiles[file];
        if (!context || !context->url)
            continue;
        for (ClaimedOutput& output : m_claimedOutputs) {
            if (output.claim->partFileName() != context->url)
                continue;
            output.videoStreams = output.audioStreams = 0;
            for (unsigned i = 0; i < context->nb_streams; ++i) {
                const AVMediaType type = context->streams[i]->codecpar->codec_type;
                // A cover is one picture, which the read-back does not count as video.
                output.videoStreams +=
                    type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(context->streams[i]) ? 1 : 0;
                output.audioStreams += type == AVMEDIA_TYPE_AUDIO ? 1 : 0;
            }
        }
    }
}

void TFFmpeg::failRun(const std::string& message) {
    LogIfInstalled(kLogTaskError, message);
    Failed = true;
    FailureMessage = message;
}

std::string TFFmpeg::namedForUser(std::string text) const {
    for (const ClaimedOutput& output : m_claimedOutputs)
        text = replaceAll(std::move(text), output.claim->partFileName(), output.claim->finalName());
    return text;
}

void TFFmpeg::finishOutputs() {
    for (ClaimedOutput& output : m_claimedOutputs) {
        OutputFileClaim& claim = *output.claim;
        if (!claim.held())
            continue;
        if (Failed) {
            claim.discard();
            continue;
        }
        if (!OutputFileClaim::entryExists(claim.partFileName())) {
            // Nothing was written: the engine removed the empty file.
            claim.discard();
            if (Finished)
                failRun(claim.finalName() + ": the output is empty");
            continue;
        }
        if (Finished) {
            std::string warning;
            const std::string problem = checkOutput(output, warning);
            if (!problem.empty()) {
                claim.discard();
                failRun(problem);
                continue;
            }
            if (!warning.empty()) {
                LogIfInstalled(kLogInfo, warning);
                FailureMessage = warning;
            }
        }
        int error = claim.commit();
        // Another program took the name while the task wrote: the output takes the next
        // free number of its series rather than being lost.
        std::string committed = claim.finalName();
        for (int n = 1; error == EEXIST && !claim.replacesEntry() && n <= kOtherNameAttempts; ++n) {
            committed = OutputFileClaim::numberedName(claim.finalName(), n);
            if (!OutputFileClaim::partHeld(committed))
                error = claim.commitAs(committed);
        }
        if (error != 0) {
            claim.discard();
            failRun(formatText("Could not give the output its name '%s': %s",
                               claim.finalName().c_str(), SystemErrorText(error).c_str()));
        } else if (committed != claim.finalName()) {
            const std::string moved =
                formatText("%s was taken by another program meanwhile: the output is %s",
                           claim.finalName().c_str(), committed.c_str());
            LogIfInstalled(kLogInfo, moved);
            RenamedOutputs.emplace_back(claim.finalName(), committed);
            FailureMessage = FailureMessage.empty() ? moved : FailureMessage + "; " + moved;
        }
    }
    // When one output of the task failed, those not yet named are removed as well.
    if (Failed)
        for (ClaimedOutput& output : m_claimedOutputs)
            output.claim->discard();
}

std::string TFFmpeg::checkOutput(const ClaimedOutput& output, std::string& warning) const {
    const std::string& name = output.claim->finalName();
    TAVProbe probe;
    TAVPacketCounts counts;
    TAVFileInfo info{};
    {
        // The stream analysis opens decoders.
        const CodecLockGuard lock(CodecLock());
        bool opened = probe.LoadFile(output.claim->partFileName());
        if (!opened)
            opened = probe.LoadFile(output.claim->partFileName(), output.formatName);
        if (!opened) {
            // The probe names the part file; the user knows the output by its final name.
            std::string reason = probe.LastErrorMessage;
            const std::string prefix = output.claim->partFileName() + ": ";
            if (reason.compare(0, prefix.size(), prefix) == 0)
                reason.erase(0, prefix.size());
            return name + ": the output cannot be read back: " + reason;
        }
        counts = probe.CountPackets(1);
        info = probe.GetFileInfo();
        probe.CloseFile();
    }
    if (output.videoStreams > 0 && counts.Video == 0)
        return name + ": the output has no video frames";
    if (output.audioStreams > 0 && counts.Audio == 0)
        return name + ": the output has no audio samples";
    const int64_t expectedMs = TotalDurationMs;
    if (expectedMs > 0 && info.Duration != AV_NOPTS_VALUE && info.Duration >= 0) {
        const int64_t writtenMs = info.Duration / 1000;
        if (writtenMs * 100 < expectedMs * kShortOutputPercent &&
            expectedMs - writtenMs > kShortOutputMarginMs)
            warning =
                formatText("%s: the output lasts %s of the input's %s: the input ended "
                           "early or is damaged",
                           name.c_str(), seconds(writtenMs).c_str(), seconds(expectedMs).c_str());
    }
    return std::string();
}
