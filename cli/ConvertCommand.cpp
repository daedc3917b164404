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
#include "RunSummary.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
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

// Resolves the format and applies every setting of the command line to its boxes: nothing
// has started yet. False after printing the refusal.
bool ResolveRunSettings(const ConvertOptions& options, CliFormatBox& formatBox, std::ostream& err) {
    std::string error;
    const OutputFormatEntry* format = ResolveFormat(options.Format, error);
    if (format == nullptr) {
        err << "vidbrisk-convert: " << error << "\n";
        return false;
    }
    formatBox.choose(*format);
    if (!ApplyChoices(options, formatBox, error) ||
        !CheckOptionLines(options.ExtraOptions, options.LetterBox, error)) {
        err << "vidbrisk-convert: " << error << "\n";
        return false;
    }
    return true;
}

// A folder that does not exist is created with its parents, and the user is told so; false
// after printing why when it cannot be, or when the name is taken by something else.
bool PrepareOutputFolder(const std::string& folder, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(folder, error))
        return true;
    if (fs::exists(fs::symlink_status(folder, error))) {
        err << "vidbrisk-convert: the output folder \"" << folder
            << "\" is not a folder; give another -o FOLDER\n";
        return false;
    }
    if (!fs::create_directories(folder, error) && error) {
        err << "vidbrisk-convert: cannot create the output folder \"" << folder
            << "\": " << error.message() << "\n";
        return false;
    }
    err << "vidbrisk-convert: created the output folder \"" << folder << "\"\n";
    return true;
}

// True when both descriptors lead to the same file (stdout and stderr sent to one place).
bool SameFile(int first, int second) {
    struct stat a {};
    struct stat b {};
    return fstat(first, &a) == 0 && fstat(second, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// One conversion run over the resolved boxes: the component and its events, the file list
// the job builder takes its rows from, the loop that hands the events over, and the lines
// printed for each file. Lives on the program's main thread; the component's workers only
// push into `m_events`.
class ConvertRun {
public:
    ConvertRun(const ConvertOptions& options, CliFormatBox& formatBox, std::ostream& out,
               std::ostream& err)
        : m_options(options), m_formatBox(formatBox), m_out(out), m_err(err),
          m_host(m_component, err, options.Quiet),
          m_builder(m_component, m_list, formatBox.state(), m_sharedOutputOptions, m_host),
          m_display(err, ProgressDisplay::modeForStandardError(options.Quiet), TerminalColumns()),
          m_failuresOnStandardError(isatty(STDOUT_FILENO) == 0 &&
                                    !SameFile(STDOUT_FILENO, STDERR_FILENO)) {}

    bool loadLibraries();
    void intake();
    void configureBuilder();
    void attachEvents();
    void run();
    void finish();
    int exitStatus() const;

private:
    void printResult(int row, const std::string& state);
    void countResult(const std::string& state, const std::string& output);
    void printFailure(int row, const std::string& reason);
    void printLog(const RunEvent& event);
    void startBatch();
    void stop();
    void handle(const RunEvent& event);
    void handleTermination(const RunEvent& event, int row);
    void convertNextWhenDue();
    void start();
    void loop();

    const ConvertOptions& m_options;
    CliFormatBox& m_formatBox;
    std::ostream& m_out;
    std::ostream& m_err;
    // The queue outlives the component, whose workers push into it until their tasks end.
    RunEventQueue m_events;
    TFFmpegVCL m_component;
    LoopScheduler m_scheduler;
    CliFileList m_list;
    TOutputOptions m_sharedOutputOptions;
    CliRunHost m_host;
    ConversionJobBuilder m_builder;
    ProgressDisplay m_display;
    // Standard output is a file or a pipe: the reason of a failure goes to standard error as
    // well, so that the terminal shows it.
    const bool m_failuresOnStandardError;
    RunCounts m_counts;
    bool m_stopped = false;
    // A started run reports its end with the all-done event (index -1).
    bool m_awaitingAllDone = false;
    std::map<int, std::string> m_failures; // row -> the task's failure text
    std::map<int, std::string> m_notes;    // row -> a finished task's warning
    std::map<int, std::string> m_outputs;  // row -> the name its output got instead
};

bool ConvertRun::loadLibraries() {
    m_component.Scheduler = &m_scheduler;
    m_component.SetLogLevel(m_options.Verbose ? llInfo : llQuiet);
    m_component.SetCodecThreads(m_options.Threads);
    return loadMediaLibrariesOrExplain(m_err) && m_component.LoadLibraries(programFolder(), true);
}

// Every file becomes a checked row with what the probe found; a file that cannot be opened
// still gets its row and is tried.
void ConvertRun::intake() {
    for (const std::string& file : m_options.Files) {
        FileRowTexts texts;
        try {
            texts = ProbeFileRow(m_component.Probe, file, m_formatBox.state().OutputLabel);
        } catch (const std::exception&) {
            texts.Progress = "Error";
        }
        m_list.AddRow(file, texts);
    }
    m_component.Probe.CloseFile();
    for (int row = 0; row < m_list.RowCount(); ++row)
        m_list.SetSubText(row, FileColumn::Progress, std::string());
}

void ConvertRun::configureBuilder() {
    JobSettings& settings = m_builder.Settings;
    settings.OutputFolder = m_options.OutputFolder;
    settings.Overwrite = m_options.Overwrite;
    settings.LetterBox = m_options.LetterBox;
    settings.Deinterlace = m_options.Deinterlace;
    settings.VolumeValue = VolumeValueForPercent(m_options.VolumePercent);
    settings.Streams = m_options.Streams;
    for (const std::string& option : m_options.ExtraOptions)
        settings.ExtraOptions += option + "\n";
    settings.AdjustOutputOptions = [this](TOutputOptions& record) {
        ApplyOptionLines(m_options.ExtraOptions, record);
    };
    m_list.OnFinalState = [this](int row, const std::string& state) { printResult(row, state); };
}

void ConvertRun::printResult(int row, const std::string& state) {
    m_display.erase();
    m_display.remove(row);
    // A file stopped before it started has no output: its field stays empty.
    const auto renamed = m_outputs.find(row);
    std::string output = renamed != m_outputs.end() ? renamed->second : m_builder.OutputOfRow(row);
    if (state == "Abort" && !OutputFileClaim::entryExists(output))
        output.clear();
    m_out << state << '\t' << FieldText(m_list.Caption(row)) << '\t' << FieldText(output);
    std::string reason;
    if (state == "Fail") {
        const auto found = m_failures.find(row);
        reason = OneLine(found != m_failures.end() ? found->second : m_builder.FailureOfRow(row));
        m_out << '\t' << reason;
    }
    m_out << std::endl;
    countResult(state, output);
    if (state == "Fail" && m_failuresOnStandardError)
        printFailure(row, reason);
    const auto note = m_notes.find(row);
    if (state == "Done" && note != m_notes.end())
        m_err << "vidbrisk-convert: warning: " << OneLine(note->second) << "\n";
    m_display.draw();
}

void ConvertRun::countResult(const std::string& state, const std::string& output) {
    if (state == "Done")
        ++m_counts.Done;
    else if (state == "Fail")
        ++m_counts.Failed;
    else if (output.empty())
        ++m_counts.NotStarted;
    else
        ++m_counts.Stopped;
}

// "vidbrisk-convert: failed: INPUT: REASON", without the input twice when the reason names
// it already.
void ConvertRun::printFailure(int row, const std::string& reason) {
    const std::string input = OneLine(m_list.Caption(row));
    m_err << "vidbrisk-convert: failed: ";
    if (reason.compare(0, input.size() + 1, input + ":") != 0)
        m_err << input << ": ";
    m_err << reason << "\n";
}

// The component's events are copied on the worker and handed to the loop through the queue.
void ConvertRun::attachEvents() {
    m_component.OnProgress = [this](int32_t index, int32_t frameNumber, int32_t, int32_t current,
                                    float, float, int64_t size, int32_t total) {
        RunEvent event;
        event.EventKind = RunEvent::Kind::Progress;
        event.Index = index;
        event.FrameNumber = frameNumber;
        event.CurrentDurationMs = current;
        event.CurrentSizeBytes = size;
        event.TotalOutputDurationMs = total;
        m_events.push(std::move(event));
    };
    m_component.OnTerminate = [this](int32_t index, bool finished, bool exception,
                                     const std::string& message) {
        RunEvent event;
        event.EventKind = RunEvent::Kind::Terminate;
        event.Index = index;
        event.Finished = finished;
        event.Exception = exception;
        event.Message = message;
        // The component holds TaskLock while it reports a task's end.
        if (index >= 0 && index < m_component.Tasks.Count() &&
            !m_component.Tasks[index].RenamedOutputs.empty())
            event.Output = m_component.Tasks[index].RenamedOutputs.front().second;
        m_events.push(std::move(event));
    };
    if (m_options.Verbose)
        m_component.OnLog = [this](int32_t index, TLogLevel, const std::string& line) {
            RunEvent event;
            event.EventKind = RunEvent::Kind::Log;
            event.Index = index;
            event.Message = line;
            m_events.push(std::move(event));
        };
}

// Several files at once go in batches, so that a large folder does not hold every input
// open at the same time; one file at a time is the job builder's own run.
void ConvertRun::startBatch() {
    const int batchSize = std::max(32, 4 * m_options.Jobs);
    while (!m_builder.QueueDone) {
        if (m_builder.QueueCheckedRows(batchSize) > 0) {
            m_component.StartConversion(m_options.Jobs);
            m_awaitingAllDone = true;
            return;
        }
    }
    m_host.EndOfRun();
}

void ConvertRun::start() {
    m_builder.BeginRun();
    if (m_options.Jobs > 1) {
        startBatch();
    } else {
        m_builder.ConvertNextFile();
        m_awaitingAllDone = m_builder.TaskStarted();
    }
}

void ConvertRun::printLog(const RunEvent& event) {
    m_display.erase();
    m_err << OneLine(event.Message) << "\n";
    m_display.draw();
}

// Stop: the running files end with their trailers and show "Abort".
void ConvertRun::stop() {
    m_stopped = true;
    m_builder.QueueDone = true;
    m_host.DisarmConvertAgain();
    m_component.StopAll();
    if (!m_awaitingAllDone)
        m_host.EndOfRun();
}

void ConvertRun::handleTermination(const RunEvent& event, int row) {
    if (event.Index >= 0) {
        if (row < 0)
            return;
        if (event.Exception)
            m_failures[row] = event.Message;
        else if (event.Finished && !event.Message.empty())
            m_notes[row] = event.Message;
        if (!event.Output.empty())
            m_outputs[row] = event.Output;
        m_list.SetSubText(row, FileColumn::Progress,
                          TerminationRowState(event.Finished, event.Exception));
        return;
    }
    m_awaitingAllDone = false;
    if (m_builder.QueueDone)
        m_host.EndOfRun();
    else if (m_options.Jobs > 1)
        startBatch();
    else
        m_host.ArmConvertAgain();
}

void ConvertRun::handle(const RunEvent& event) {
    // Once the run has ended only log lines are still printed.
    if (m_host.RunEnded && event.EventKind != RunEvent::Kind::Log)
        return;
    const int row = m_builder.RowOfTask(event.Index);
    switch (event.EventKind) {
    case RunEvent::Kind::Log:
        printLog(event);
        break;
    case RunEvent::Kind::Progress:
        if (row >= 0) {
            m_list.SetSubText(
                row, FileColumn::Progress,
                ProgressColumnText(event.CurrentDurationMs, event.TotalOutputDurationMs));
            m_list.SetSubText(row, FileColumn::Frames, FramesColumnText(event.FrameNumber));
            m_display.update(row, std::filesystem::path(m_list.Caption(row)).filename().string(),
                             event);
        }
        break;
    case RunEvent::Kind::Terminate:
        handleTermination(event, row);
        break;
    }
}

void ConvertRun::convertNextWhenDue() {
    if (!m_host.RunEnded && m_host.RetryArmed && CliRunHost::Clock::now() >= m_host.RetryDue) {
        m_host.RetryArmed = false;
        m_builder.ConvertNextFile();
        m_awaitingAllDone = m_builder.TaskStarted();
    }
}

void ConvertRun::loop() {
    std::vector<RunEvent> arrived;
    while (!m_host.RunEnded) {
        arrived.clear();
        // The loop only waits for events when no next file is due.
        m_events.takeAll(arrived, std::chrono::milliseconds(m_host.RetryArmed ? 0 : 50));
        if (interruptRequested && !m_stopped)
            stop();
        for (const RunEvent& event : arrived)
            handle(event);
        m_scheduler.runDue();
        convertNextWhenDue();
    }
}

// Starts the first file (or batch) and handles events until the run ends; Ctrl-C stops it.
void ConvertRun::run() {
    InterruptGuard interruptGuard;
    start();
    loop();
}

void ConvertRun::finish() {
    m_component.DetachEvents();
    m_component.ClearTasks();
    // The lines of tasks that failed while their output was set up arrive as the run ends.
    std::vector<RunEvent> arrived;
    m_events.takeAll(arrived, std::chrono::milliseconds(0));
    for (const RunEvent& event : arrived)
        if (event.EventKind == RunEvent::Kind::Log)
            printLog(event);
    m_display.erase();

    // Files the run never reached after a stop still get their line.
    for (int row = 0; row < m_list.RowCount(); ++row) {
        const std::string state = m_list.SubText(row, FileColumn::Progress);
        if (m_list.Checked(row) && state != "Done" && state != "Fail" && state != "Abort")
            m_list.SetSubText(row, FileColumn::Progress, "Abort");
    }
    if (!m_options.Quiet)
        m_err << RunSummaryText(m_counts, m_stopped) << "\n";
}

int ConvertRun::exitStatus() const {
    if (m_stopped)
        return 130;
    return m_counts.Failed > 0 ? 1 : 0;
}

} // namespace

int runConvertCommand(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    CliFormatBox formatBox;
    if (!ResolveRunSettings(options, formatBox, err))
        return kExitUsage;
    ConvertRun run(options, formatBox, out, err);
    if (!run.loadLibraries())
        return kExitMediaLibraries;
    if (!PrepareOutputFolder(options.OutputFolder, err))
        return kExitUsage;
    run.intake();
    run.configureBuilder();
    run.attachEvents();
    run.run();
    run.finish();
    return run.exitStatus();
}
