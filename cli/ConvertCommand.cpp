#include "ConvertCommand.h"

#include "AddFileToFFMPEG.h"
#include "CliCommon.h"
#include "CliFormatBox.h"
#include "FileListRows.h"
#include "LoopScheduler.h"
#include "OptionOverrides.h"
#include "OutputFileClaim.h"
#include "ProgressDisplay.h"
#include "RunEventQueue.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>

namespace {

// Set by the SIGINT handler; read by the loop.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    interruptRequested.store(true);
}

// Installs the Stop handler for the run; a second Ctrl-C ends the program at once.
class InterruptGuard {
public:
    InterruptGuard() {
        interruptRequested = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_previous, nullptr); }

private:
    struct sigaction m_previous {};
};

// A text as one field of a result line: no tab or line break inside.
std::string FieldText(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return result;
}

std::string OneLine(const std::string& text) {
    std::string result;
    for (char c : text)
        result += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    while (!result.empty() && result.back() == ' ')
        result.pop_back();
    return result;
}

// The file list of the run: writing a final state into a row's "Progress" column prints the
// row's result line.
class CliFileList : public FileListRows {
public:
    std::function<void(int row, const std::string& state)> OnFinalState;

    void SetSubText(int row, FileColumn column, const std::string& text) override {
        FileListRows::SetSubText(row, column, text);
        if (column == FileColumn::Progress && (text == "Done" || text == "Fail" || text == "Abort"))
            if (OnFinalState)
                OnFinalState(row, text);
    }
};

// The run control over the converter's loop: the next file, the end of the run. The window
// waits 200 ms on its timer before the next file; the converter's loop takes the next file
// in the same turn, because the ended task's events have all been handled by then (they
// came through the queue) and ClearTasks joins its worker.
class CliRunHost : public JobBuilderHost {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto RetryDelay = std::chrono::milliseconds(0);

    CliRunHost(TFFmpegVCL& component, std::ostream& err, bool quiet)
        : m_component(component), m_err(err), m_quiet(quiet) {}

    void ResetProgressBar() override {}
    void ArmConvertAgain() override {
        if (!RetryArmed) {
            RetryArmed = true;
            RetryDue = Clock::now() + RetryDelay;
        }
    }
    void DisarmConvertAgain() override { RetryArmed = false; }
    void ShowInformation(const std::string& text) override {
        if (!m_quiet)
            m_err << "vidbrisk-convert: " << text << "\n";
    }
    void EnableControls() override {}
    void EndOfRun() override {
        m_component.ClearTasks();
        RetryArmed = false;
        RunEnded = true;
    }

    bool RetryArmed = false;
    Clock::time_point RetryDue;
    bool RunEnded = false;

private:
    TFFmpegVCL& m_component;
    std::ostream& m_err;
    bool m_quiet;
};

// Applies the command line's choices to the boxes; false with the reason on a refusal.
// The audio codec goes first and its change handling runs, as when a user picks it in the
// window before the other boxes: some formats offer other rates for each audio codec.
bool ApplyChoices(const ConvertOptions& options, CliFormatBox& formatBox, std::string& error) {
    for (const bool audioCodec : {true, false}) {
        for (const auto& [setting, value] : options.Settings) {
            if ((setting->Box == &SettingsBoxes::ComboAudioCodec) != audioCodec)
                continue;
            SettingsBox& box = *(formatBox.boxes().*(setting->Box));
            const int position = FindSettingEntry(box, *setting, value, error);
            if (position < 0)
                return false;
            box.Select(position);
        }
        if (audioCodec)
            OnAudioCodecChange(formatBox.state());
    }
    if (!options.Aspect.empty()) {
        const int position = options.Aspect == "4:3" ? 1 : options.Aspect == "16:9" ? 2 : 0;
        formatBox.boxes().ComboAspectRatio->Select(position);
    }
    if (VolumeValueForPercent(options.VolumePercent) < 0) {
        error = "--volume " + std::to_string(options.VolumePercent) +
                " is not a step of the volume"
                " table; the steps are:";
        for (auto it = VolumeSteps.rbegin(); it != VolumeSteps.rend(); ++it)
            error += " " + std::to_string(it->Percent);
        return false;
    }
    return true;
}

int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// The intake: every file becomes a checked row with what the probe found; a file that
// cannot be opened still gets its row and is tried.
void AddFileRows(CliFileList& list, TFFmpegVCL& component, CliFormatBox& formatBox,
                 const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        FileRowTexts texts;
        try {
            texts = ProbeFileRow(component.Probe, file, formatBox.state().OutputLabel);
        } catch (const std::exception&) {
            texts.Progress = "Error";
        }
        list.AddRow(file, texts);
    }
    component.Probe.CloseFile();
    for (int row = 0; row < list.RowCount(); ++row)
        list.SetSubText(row, FileColumn::Progress, std::string());
}

// The run's settings for every row, from the command line.
void ConfigureBuilder(JobSettings& settings, const ConvertOptions& options) {
    settings.OutputFolder = options.OutputFolder;
    settings.Overwrite = options.Overwrite;
    settings.LetterBox = options.LetterBox;
    settings.VolumeValue = VolumeValueForPercent(options.VolumePercent);
    settings.Streams = options.Streams;
    for (const std::string& option : options.ExtraOptions)
        settings.ExtraOptions += option + "\n";
    settings.AdjustOutputOptions = [&options](TOutputOptions& record) {
        ApplyOptionLines(options.ExtraOptions, record);
    };
}

// The component's events, raised on its workers, go to the run's queue (the log lines only
// when they are printed).
void ForwardEvents(TFFmpegVCL& component, RunEventQueue& events, bool verbose) {
    component.OnProgress = [&events](int32_t index, int32_t frameNumber, int32_t, int32_t current,
                                     float, float, int64_t size, int32_t total) {
        RunEvent event;
        event.EventKind = RunEvent::Kind::Progress;
        event.Index = index;
        event.FrameNumber = frameNumber;
        event.CurrentDurationMs = current;
        event.CurrentSizeBytes = size;
        event.TotalOutputDurationMs = total;
        events.push(std::move(event));
    };
    component.OnTerminate = [&events, &component](int32_t index, bool finished, bool exception,
                                                  const std::string& message) {
        RunEvent event;
        event.EventKind = RunEvent::Kind::Terminate;
        event.Index = index;
        event.Finished = finished;
        event.Exception = exception;
        event.Message = message;
        // The component holds TaskLock while it reports a task's end.
        if (index >= 0 && index < component.Tasks.Count() &&
            !component.Tasks[index].RenamedOutputs.empty())
            event.Output = component.Tasks[index].RenamedOutputs.front().second;
        events.push(std::move(event));
    };
    if (verbose)
        component.OnLog = [&events](int32_t index, TLogLevel, const std::string& line) {
            RunEvent event;
            event.EventKind = RunEvent::Kind::Log;
            event.Index = index;
            event.Message = line;
            events.push(std::move(event));
        };
}

} // namespace

int runConvertCommand(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const OutputFormatEntry* format = ResolveFormat(options.Format, error);
    if (format == nullptr) {
        err << "vidbrisk-convert: " << error << "\n";
        return 2;
    }
    CliFormatBox formatBox;
    formatBox.choose(*format);
    if (!ApplyChoices(options, formatBox, error) ||
        !CheckOptionLines(options.ExtraOptions, options.LetterBox, error)) {
        err << "vidbrisk-convert: " << error << "\n";
        return 2;
    }
    std::error_code fsError;
    if (!std::filesystem::is_directory(options.OutputFolder, fsError)) {
        err << "vidbrisk-convert: The output folder \"" << options.OutputFolder
            << "\" does not exist or has been deleted!\n";
        return 2;
    }

    // The queue outlives the component, whose workers push into it until their tasks end.
    RunEventQueue events;
    TFFmpegVCL component;
    LoopScheduler scheduler;
    component.Scheduler = &scheduler;
    component.SetLogLevel(options.Verbose ? llInfo : llQuiet);
    component.SetCodecThreads(options.Threads);
    if (!component.LoadLibraries(programFolder(), true)) {
        err << "vidbrisk-convert: cannot load the media libraries: " << component.LastError << "\n";
        return 2;
    }

    CliFileList list;
    AddFileRows(list, component, formatBox, options.Files);

    TOutputOptions sharedOutputOptions;
    CliRunHost host(component, err, options.Quiet);
    ConversionJobBuilder builder(component, list, formatBox.state(), sharedOutputOptions, host);
    ConfigureBuilder(builder.Settings, options);

    ProgressDisplay display(err, !options.Quiet && isatty(STDERR_FILENO) != 0, TerminalColumns());
    bool anyFailed = false;
    std::map<int, std::string> terminationFailures; // row -> the task's failure text
    std::map<int, std::string> terminationNotes;    // row -> a finished task's warning
    std::map<int, std::string> terminationOutputs;  // row -> the name its output got instead
    list.OnFinalState = [&](int row, const std::string& state) {
        display.erase();
        display.remove(row);
        // A file stopped before it started has no output: its field stays empty.
        const auto renamed = terminationOutputs.find(row);
        std::string output =
            renamed != terminationOutputs.end() ? renamed->second : builder.OutputOfRow(row);
        if (state == "Abort" && !OutputFileClaim::entryExists(output))
            output.clear();
        out << state << '\t' << FieldText(list.Caption(row)) << '\t' << FieldText(output);
        if (state == "Fail") {
            anyFailed = true;
            const auto found = terminationFailures.find(row);
            out << '\t'
                << OneLine(found != terminationFailures.end() ? found->second
                                                              : builder.FailureOfRow(row));
        }
        out << std::endl;
        const auto note = terminationNotes.find(row);
        if (state == "Done" && note != terminationNotes.end())
            err << "vidbrisk-convert: warning: " << OneLine(note->second) << "\n";
        display.draw();
    };

    ForwardEvents(component, events, options.Verbose);

    InterruptGuard interruptGuard;
    bool stopped = false;
    // A started run reports its end with the all-done event (index -1).
    bool awaitingAllDone = false;
    // Several files at once go in batches, so that a large folder does not hold every
    // input open at the same time; one file at a time is the job builder's own run.
    const int batchSize = std::max(32, 4 * options.Jobs);
    const auto startBatch = [&] {
        while (!builder.QueueDone) {
            if (builder.QueueCheckedRows(batchSize) > 0) {
                component.StartConversion(options.Jobs);
                awaitingAllDone = true;
                return;
            }
        }
        host.EndOfRun();
    };
    builder.BeginRun();
    if (options.Jobs > 1) {
        startBatch();
    } else {
        builder.ConvertNextFile();
        awaitingAllDone = builder.TaskStarted();
    }

    const auto printLog = [&](const RunEvent& event) {
        display.erase();
        err << OneLine(event.Message) << "\n";
        display.draw();
    };
    std::vector<RunEvent> arrived;
    while (!host.RunEnded) {
        arrived.clear();
        // The loop only waits for events when no next file is due.
        events.takeAll(arrived, std::chrono::milliseconds(host.RetryArmed ? 0 : 50));
        if (interruptRequested && !stopped) {
            // Stop: the running files end with their trailers and show "Abort".
            stopped = true;
            builder.QueueDone = true;
            host.DisarmConvertAgain();
            component.StopAll();
            if (!awaitingAllDone)
                host.EndOfRun();
        }
        for (const RunEvent& event : arrived) {
            // Once the run has ended only log lines are still printed.
            if (host.RunEnded && event.EventKind != RunEvent::Kind::Log)
                continue;
            const int row = builder.RowOfTask(event.Index);
            switch (event.EventKind) {
            case RunEvent::Kind::Log:
                printLog(event);
                break;
            case RunEvent::Kind::Progress:
                if (row >= 0) {
                    list.SetSubText(
                        row, FileColumn::Progress,
                        ProgressColumnText(event.CurrentDurationMs, event.TotalOutputDurationMs));
                    list.SetSubText(row, FileColumn::Frames, FramesColumnText(event.FrameNumber));
                    display.update(
                        row, std::filesystem::path(list.Caption(row)).filename().string(), event);
                }
                break;
            case RunEvent::Kind::Terminate:
                if (event.Index >= 0) {
                    if (row >= 0) {
                        if (event.Exception)
                            terminationFailures[row] = event.Message;
                        else if (event.Finished && !event.Message.empty())
                            terminationNotes[row] = event.Message;
                        if (!event.Output.empty())
                            terminationOutputs[row] = event.Output;
                        list.SetSubText(row, FileColumn::Progress,
                                        TerminationRowState(event.Finished, event.Exception));
                    }
                } else {
                    awaitingAllDone = false;
                    if (builder.QueueDone)
                        host.EndOfRun();
                    else if (options.Jobs > 1)
                        startBatch();
                    else
                        host.ArmConvertAgain();
                }
                break;
            }
        }
        scheduler.runDue();
        if (!host.RunEnded && host.RetryArmed && CliRunHost::Clock::now() >= host.RetryDue) {
            host.RetryArmed = false;
            builder.ConvertNextFile();
            awaitingAllDone = builder.TaskStarted();
        }
    }
    component.DetachEvents();
    component.ClearTasks();
    // The lines of tasks that failed while their output was set up arrive as the run ends.
    arrived.clear();
    events.takeAll(arrived, std::chrono::milliseconds(0));
    for (const RunEvent& event : arrived)
        if (event.EventKind == RunEvent::Kind::Log)
            printLog(event);
    display.erase();

    // Files the run never reached after a stop still get their line.
    for (int row = 0; row < list.RowCount(); ++row) {
        const std::string state = list.SubText(row, FileColumn::Progress);
        if (list.Checked(row) && state != "Done" && state != "Fail" && state != "Abort")
            list.SetSubText(row, FileColumn::Progress, "Abort");
    }
    if (!options.Quiet)
        err << "All Conversions Completed\n";
    if (stopped)
        return 130;
    return anyFailed ? 1 : 0;
}
