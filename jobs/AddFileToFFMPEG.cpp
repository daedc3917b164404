// The conversion job builder: output names, option filling, queueing and starting a row's task.
#include "AddFileToFFMPEG.h"

#include "FillComboOutputFormat.h"
#include "LetterBox.h"
#include "OutputFileClaim.h"
#include "SettingMapping.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr char PathSeparator = '/';
// The aspect ratio used when the row's size cannot give one.
constexpr const char* FallbackAspectRatio = "1.3333";
constexpr const char* SizeOfRowWithoutSize = "640x480";
// How often a row looks for another name when the one it found was taken meanwhile.
constexpr int kClaimRetries = 100;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// True when both paths name the same existing file (links and "./" parts included).
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(fs::path(a), fs::path(b), error) && !error;
}

// Appends option lines to an ExtraOptions text, on a line of their own.
void appendOptionLine(std::string& options, const std::string& lines) {
    if (lines.empty())
        return;
    if (!options.empty() && options.back() != '\n')
        options += '\n';
    options += lines;
}

bool ReadWholeNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

} // namespace

std::string UniqueOutputName(const std::string& path, const std::string& ext,
                             const std::function<bool(const std::string&)>& taken) {
    const auto nameStart = path.find_last_of(PathSeparator);
    const auto dot = path.rfind('.');
    const bool dotInName =
        dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
    const std::string base = dotInName ? path.substr(0, dot) : path;
    std::string candidate = base + ext;
    // Every directory entry counts, dangling links too, and so does a name a running task
    // writes under its part file.
    for (int n = 1; OutputFileClaim::nameTaken(candidate) || (taken && taken(candidate)); ++n)
        candidate = base + "-" + std::to_string(n) + ext;
    return candidate;
}

std::string AspectRatioFromVideoSize(const std::string& videoSize) {
    std::string size = Trimmed(videoSize);
    if (size.empty())
        size = SizeOfRowWithoutSize;
    const auto x = size.find('x');
    if (x == std::string::npos)
        return FallbackAspectRatio;
    double width = 0;
    double height = 0;
    if (!ReadWholeNumber(size.substr(0, x), width) || !ReadWholeNumber(size.substr(x + 1), height))
        return FallbackAspectRatio;
    if (height == 0 || !std::isfinite(width / height))
        return FallbackAspectRatio;
    return AspectRatioText(width / height);
}

std::string AspectRatioText(double aspect) {
    if (!std::isfinite(aspect) || aspect <= 0)
        return FallbackAspectRatio;
    // nearbyint rounds ties to even in the default rounding mode.
    const double ratio = std::nearbyint(aspect * 10000.0) / 10000.0;
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, ratio);
    if (ec != std::errc())
        return FallbackAspectRatio;
    return std::string(buffer, end);
}

std::string DeinterlaceOption(DeinterlaceChoice choice) {
    static constexpr const char* kModes[] = {"auto", "always", "never"};
    return std::string("deinterlace_mode=") + kModes[static_cast<int>(choice)];
}

int32_t VolumeValueForPercent(int percent) {
    for (const VolumeStep& step : VolumeSteps)
        if (step.Percent == percent)
            return step.VolumeValue;
    return -1;
}

int ProgressPercent(int64_t currentDurationMs, int64_t totalOutputDurationMs) {
    if (totalOutputDurationMs <= 0)
        return -1;
    const int64_t percent = std::max<int64_t>(0, currentDurationMs) * 100 / totalOutputDurationMs;
    return static_cast<int>(std::min<int64_t>(percent, 100));
}

std::string ProgressColumnText(int64_t currentDurationMs, int64_t totalOutputDurationMs) {
    const int percent = ProgressPercent(currentDurationMs, totalOutputDurationMs);
    return percent < 0 ? std::string() : std::to_string(percent) + "%";
}

std::string FramesColumnText(int32_t frameNumber) {
    return frameNumber == -1 ? std::string(" ") : std::to_string(frameNumber);
}

std::string TerminationRowState(bool finished, bool exception) {
    if (exception)
        return "Fail";
    return finished ? "Done" : "Abort";
}

ConversionJobBuilder::ConversionJobBuilder(TFFmpegVCL& component, FileList& list,
                                           const FormatBoxState& format,
                                           TOutputOptions& sharedOutputOptions,
                                           JobBuilderHost& host)
    : m_component(component), m_list(list), m_format(format), m_outputOptions(sharedOutputOptions),
      m_host(host) {}

void ConversionJobBuilder::BeginRun() {
    CurrentIndex = -1;
    LastItem = false;
    QueueDone = false;
    m_taskStarted = false;
    m_taskRows.clear();
    m_rowOutputs.clear();
    m_rowFailures.clear();
    m_claimedOutputs.clear();
}

std::string ConversionJobBuilder::outputExtension() const {
    std::string ext = "." + m_format.OutputLabel;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

int ConversionJobBuilder::RowOfTask(int taskIndex) const {
    const auto found = m_taskRows.find(taskIndex);
    return found == m_taskRows.end() ? -1 : found->second;
}

std::string ConversionJobBuilder::OutputOfRow(int row) const {
    const auto found = m_rowOutputs.find(row);
    return found == m_rowOutputs.end() ? std::string() : found->second;
}

bool ConversionJobBuilder::RowTaken(int row) const {
    return m_rowOutputs.count(row) > 0 || m_rowFailures.count(row) > 0;
}

std::string ConversionJobBuilder::FailureOfRow(int row) const {
    const auto found = m_rowFailures.find(row);
    return found == m_rowFailures.end() ? std::string() : found->second;
}

std::string ConversionJobBuilder::outputPathFor(const std::string& input, const std::string& ext,
                                                const std::set<std::string>& lost) {
    const auto slash = input.find_last_of(PathSeparator);
    const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const std::string path = Settings.OutputFolder + PathSeparator + name;
    const auto taken = [this, &lost](const std::string& candidate) {
        return lost.count(candidate) > 0 || isProtected(candidate);
    };
    if (!Settings.Overwrite)
        return UniqueOutputName(path, ext, taken);
    const auto dot = name.rfind('.');
    const std::string output = Settings.OutputFolder + PathSeparator +
                               (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
    // Overwriting replaces files that were there before the run, never an input of the list
    // (reading and writing one file destroys it), never an output of this same run and
    // never one another run is writing.
    return taken(output) ? UniqueOutputName(path, ext, taken) : output;
}

bool ConversionJobBuilder::isProtected(const std::string& path) const {
    if (m_claimedOutputs.count(path) > 0)
        return true;
    for (const std::string& claimed : m_claimedOutputs)
        if (SameFile(path, claimed))
            return true;
    for (int row = 0; row < m_list.RowCount(); ++row) {
        const std::string input = m_list.Caption(row);
        if (path == input || SameFile(path, input))
            return true;
    }
    return false;
}

std::string ConversionJobBuilder::fillOutputOptions(int row, int taskIndex,
                                                    const std::vector<TAVStreamEntry>& streams) {
    ResetOutputOptions(m_outputOptions);
    ApplyProfileSettings(m_format, m_outputOptions, row);
    // A row that sets no speed of its own gets the encoder's usual one (see the table).
    const std::string_view speed = EncoderSpeedOption(m_outputOptions.VideoCodec);
    if (!speed.empty() && !m_outputOptions.DisableVideo &&
        ("\n" + m_outputOptions.ExtraOptions).find("\npreset=") == std::string::npos)
        m_outputOptions.ExtraOptions = std::string(speed) + "\n" + m_outputOptions.ExtraOptions;
    m_outputOptions.AudioVolume = Settings.VolumeValue;
    // The picture: that of the cover shown as the video of a song, else the input's as the
    // engine shows it (display shape, upright), else the row's size text.
    const TAVStreamEntry* cover = CoverShownAsVideo(streams, m_outputOptions);
    TCustomFFmpeg::TPictureShape picture;
    if (cover != nullptr) {
        picture.Width = cover->Width;
        picture.Height = cover->Height;
    } else {
        picture = m_component.TaskInputPicture(taskIndex);
    }
    const std::string videoSize =
        picture.Width > 0 && picture.Height > 0
            ? std::to_string(picture.Width) + "x" + std::to_string(picture.Height)
            : m_list.SubText(row, FileColumn::VideoSize);
    applyAspectRatio(videoSize, picture.Aspect);
    if (Settings.AdjustOutputOptions)
        Settings.AdjustOutputOptions(m_outputOptions);
    const StreamPlanResult plan = PlanStreams(streams, m_format.OutputLabel, Settings.Streams,
                                              Settings.ExtraOptions, m_outputOptions);
    if (!plan.Failure.empty())
        return plan.Failure;
    applyLetterBox(videoSize, plan.CoverVideo != nullptr);
    appendOptionLine(m_outputOptions.ExtraOptions, DeinterlaceOption(Settings.Deinterlace));
    appendOptionLine(m_outputOptions.ExtraOptions, Settings.ExtraOptions);
    return std::string();
}

void ConversionJobBuilder::applyAspectRatio(const std::string& videoSize, float aspectOfInput) {
    const SettingsBox* aspect = m_format.Boxes.ComboAspectRatio;
    switch (aspect != nullptr ? aspect->CurrentPosition() : -1) {
    case 0:
        m_outputOptions.AspectRatio = aspectOfInput > 0 ? AspectRatioText(aspectOfInput)
                                                        : AspectRatioFromVideoSize(videoSize);
        break;
    case 1:
        m_outputOptions.AspectRatio = "4:3";
        break;
    case 2:
        m_outputOptions.AspectRatio = "16:9";
        break;
    default:
        break; // no choice: what the apply step wrote stays
    }
}

void ConversionJobBuilder::applyLetterBox(const std::string& videoSize, bool always) {
    if (!(Settings.LetterBox || always) || m_outputOptions.DisableVideo ||
        m_outputOptions.VideoCodec == "copy")
        return;
    const auto box =
        LetterBoxFor(videoSize, m_outputOptions.FrameSize, m_outputOptions.AspectRatio);
    if (!box)
        return;
    // The frame keeps its size: the picture is scaled to the inner part, and the frame is
    // shown with square pixels, so it looks right on players that ignore a container's
    // aspect ratio.
    const int32_t frameWidth = box->Width + box->Left + box->Right;
    const int32_t frameHeight = box->Height + box->Top + box->Bottom;
    m_outputOptions.AspectRatio = std::to_string(frameWidth) + ":" + std::to_string(frameHeight);
    m_outputOptions.FrameSize = std::to_string(box->Width) + "x" + std::to_string(box->Height);
    m_outputOptions.PadTop = box->Top;
    m_outputOptions.PadBottom = box->Bottom;
    m_outputOptions.PadLeft = box->Left;
    m_outputOptions.PadRight = box->Right;
}

void ConversionJobBuilder::failRow(int row, const std::string& reason) {
    m_rowFailures[row] = reason;
    m_list.SetSubText(row, FileColumn::Progress, "Fail");
}

int ConversionJobBuilder::queueRow(int row) {
    // The caption is the input's path exactly as given: blanks at either end belong to it.
    const std::string input = m_list.Caption(row);
    int taskIndex = -1;
    try {
        std::string output = outputPathFor(input, outputExtension());
        m_rowOutputs[row] = output;
        TInputOptions inputOptions;
        ResetInputOptions(inputOptions);
        inputOptions.FileName = input;
        inputOptions.StartTime = 0;
        taskIndex = m_component.AddInputTask(input, &inputOptions);
        if (taskIndex < 0) {
            failRow(row, m_component.LastError);
            return -1;
        }
        const std::vector<TAVStreamEntry> streams = m_component.TaskInputStreams(taskIndex);
        if (const std::string refused = fillOutputOptions(row, taskIndex, streams);
            !refused.empty()) {
            m_component.RemoveTask(taskIndex);
            failRow(row, refused);
            return -1;
        }
        // Another run, or another program, may take the name between the search and the
        // task's claim on it: then the search goes on from there.
        std::set<std::string> lost;
        for (int attempt = 0;; ++attempt) {
            if (m_component.SetTaskOutput(taskIndex, output, &m_outputOptions))
                break;
            const std::string reason = m_component.LastError;
            const bool nameLost = Settings.Overwrite ? OutputFileClaim::partHeld(output)
                                                     : OutputFileClaim::nameTaken(output);
            if (attempt >= kClaimRetries || !nameLost) {
                m_component.RemoveTask(taskIndex);
                failRow(row, reason);
                return -1;
            }
            lost.insert(output);
            output = outputPathFor(input, outputExtension(), lost);
            m_rowOutputs[row] = output;
            fillOutputOptions(row, taskIndex, streams);
        }
        m_claimedOutputs.insert(output);
        m_taskRows[taskIndex] = row;
        return taskIndex;
    } catch (const std::exception& error) {
        // A task without its output must not be started: it would convert nothing and could
        // still end as if it had succeeded.
        m_host.ShowInformation("Fail to add file to list!");
        if (taskIndex >= 0 && taskIndex < m_component.Tasks.Count())
            m_component.RemoveTask(taskIndex);
        failRow(row, error.what());
        return -1;
    }
}

void ConversionJobBuilder::continueAfterFailure() {
    if (LastItem) {
        m_host.DisarmConvertAgain();
        m_component.StopAll();
        QueueDone = true;
        m_host.EndOfRun();
    } else {
        m_host.ArmConvertAgain();
    }
}

void ConversionJobBuilder::ConvertNextFile() {
    m_taskStarted = false;
    m_component.ClearTasks();
    m_taskRows.clear();
    m_host.ResetProgressBar();
    LastItem = false;
    QueueDone = false;
    const int rowCount = m_list.RowCount();
    if (rowCount == 0) {
        // Nothing to take (the window refuses an empty list before calling).
        QueueDone = true;
        m_host.EndOfRun();
        return;
    }
    ++CurrentIndex;
    while (CurrentIndex < rowCount - 1 && !m_list.Checked(CurrentIndex))
        ++CurrentIndex;
    if (CurrentIndex >= rowCount) {
        // Rows removed behind the run: nothing is left to take.
        CurrentIndex = rowCount - 1;
        QueueDone = true;
        m_host.EndOfRun();
        return;
    }
    LastItem = CurrentIndex == rowCount - 1;
    if (!m_list.Checked(CurrentIndex)) {
        QueueDone = true;
        m_host.EndOfRun();
        return;
    }
    const int taskIndex = queueRow(CurrentIndex);
    if (taskIndex < 0) {
        continueAfterFailure();
        return;
    }
    try {
        m_component.StartConversion(1);
        m_taskStarted = true;
    } catch (...) {
        m_component.StopAll();
        m_host.EnableControls();
        m_taskStarted = true; // StopAll reports the task's termination
    }
    if (LastItem)
        QueueDone = true;
}

int ConversionJobBuilder::QueueCheckedRows(int maxTasks) {
    m_taskStarted = false;
    m_component.ClearTasks();
    m_taskRows.clear();
    int queued = 0;
    int row = CurrentIndex + 1;
    for (; row < m_list.RowCount() && queued < maxTasks; ++row) {
        if (!m_list.Checked(row))
            continue;
        CurrentIndex = row;
        if (queueRow(row) >= 0)
            ++queued;
    }
    while (row < m_list.RowCount() && !m_list.Checked(row))
        ++row;
    LastItem = row >= m_list.RowCount();
    QueueDone = LastItem;
    return queued;
}
