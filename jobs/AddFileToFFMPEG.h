// The conversion job builder: takes the next checked row of the file list, names its output
// file, fills the task's options from the chosen format and the settings, and queues and
// starts the task in the transcoding component. Also the run-control helpers that the window
// and the command-line converter share (row states, progress text, volume steps).
#pragma once

#include "FFmpegVCL.h"
#include "FileList.h"
#include "FormatBoxState.h"
#include "JobBuilderHost.h"
#include "StreamPlan.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>

// The output path for `path` (folder, separator, the input's file name with its extension)
// and `ext` (beginning with a dot): the path with its extension replaced by ext when that
// name is free (no directory entry, not even a dangling link, and no running task writing
// it under its part file), else the first free "-1", "-2", ... variant (clip.flv, clip-1.flv, ...).
// `taken`, when given, marks further names as not free (names claimed but not yet written).
std::string UniqueOutputName(const std::string& path, const std::string& ext,
                             const std::function<bool(const std::string&)>& taken = {});

// The engine's aspect ratio for a row's "Video Size" text when the aspect choice is
// "Original" and the input's display shape is not known: width / height as AspectRatioText
// gives it (640x480 gives "1.3333", 720x480 "1.5"); an empty text counts as 640x480; a text
// that does not read as two numbers, or a height of 0, gives "1.3333".
std::string AspectRatioFromVideoSize(const std::string& videoSize);
// An aspect ratio as the engine takes it: rounded to four decimals in its shortest form
// (16:9 gives "1.7778"); "1.3333" for one that is not a positive number.
std::string AspectRatioText(double aspect);

// The volume track bar: its label percentages and engine volumes, by position 0 (top) to
// 10 (bottom). 100 % is 255, 0 % is 1.
struct VolumeStep {
    int Percent;
    int32_t VolumeValue;
};
inline constexpr std::array<VolumeStep, 11> VolumeSteps = {{{200, 600},
                                                            {180, 450},
                                                            {160, 400},
                                                            {140, 350},
                                                            {120, 300},
                                                            {100, 255},
                                                            {80, 200},
                                                            {60, 150},
                                                            {40, 100},
                                                            {20, 50},
                                                            {0, 1}}};
inline constexpr int32_t DefaultVolumeValue = 255;
// The engine volume of a percentage of the table, or -1 when the table has no such step.
int32_t VolumeValueForPercent(int percent);

// The percentage of a progress report, at most 100, computed in 64 bits; -1 when the total
// duration is not positive (no percentage can be given).
int ProgressPercent(int64_t currentDurationMs, int64_t totalOutputDurationMs);
// The row's "Progress" text of a progress report: "45%", or "" when there is no percentage.
std::string ProgressColumnText(int64_t currentDurationMs, int64_t totalOutputDurationMs);
// The row's "Frames" text: a single blank for -1, else the frame number.
std::string FramesColumnText(int32_t frameNumber);

// The row state when a task ends: "Fail" when it ended with an error, "Abort" when it did
// not run to its end (stopped by the user, or ended early), else "Done".
std::string TerminationRowState(bool finished, bool exception);

// Which pictures of a source are deinterlaced (the "Deinterlace" setting): those of an
// interlaced source, every picture, or none.
enum class DeinterlaceChoice { Auto, Always, Never };
// The setting's entries as the window lists them and the converter takes them (in lower
// case), in the order of DeinterlaceChoice.
inline constexpr std::array<const char*, 3> DeinterlaceEntries = {"Auto", "Always", "Never"};

// The engine option line of a choice ("deinterlace_mode=auto").
std::string DeinterlaceOption(DeinterlaceChoice choice);

// Settings of a run that the builder reads for every row.
struct JobSettings {
    std::string OutputFolder; // the separator is always appended
    bool Overwrite = false;
    int32_t VolumeValue = DefaultVolumeValue;
    // Pictures of another shape than the output are shown whole, with bars, instead of
    // being stretched to the output's aspect ratio.
    bool LetterBox = false;
    DeinterlaceChoice Deinterlace = DeinterlaceChoice::Auto;
    // Option lines ("name=value") added to every task's output options, after the format's
    // apply step. The window leaves it empty.
    std::string ExtraOptions;
    // Which subtitles and sound tracks of an input go out (where the output can keep them).
    StreamChoices Streams;
    // Runs on every task's output options after the format's apply step, the volume and the
    // aspect ratio, before the letterbox. The window leaves it empty; the converter lets its
    // option lines win over the fields there.
    std::function<void(TOutputOptions&)> AdjustOutputOptions;
};

// The job builder. It runs on the host's main thread only; the host owns the component, the
// list, the format box state and the shared output record, and outlives the builder.
class ConversionJobBuilder {
public:
    ConversionJobBuilder(TFFmpegVCL& component, FileList& list, const FormatBoxState& format,
                         TOutputOptions& sharedOutputOptions, JobBuilderHost& host);

    JobSettings Settings;

    // Run state shared with the run control. Main thread only.
    int CurrentIndex = -1;  // row whose task was queued last; -1 before the first
    bool LastItem = false;  // the row at CurrentIndex is the last row of the list
    bool QueueDone = false; // no further row is to be taken when the running task ends

    // Starts a run: CurrentIndex := -1, and the outputs claimed so far are forgotten.
    void BeginRun();
    // Takes the next checked row and queues and starts its task (one task at a time), or
    // ends the run when no checked row is left.
    void ConvertNextFile();
    // Queues a task for each of the next checked rows after CurrentIndex, at most maxTasks
    // of them (rows that fail show "Fail"), for a run that starts several tasks at once; the
    // caller starts them. QueueDone tells whether checked rows are left for another batch.
    // Returns the number of tasks queued.
    int QueueCheckedRows(int maxTasks = std::numeric_limits<int>::max());

    // Whether the last ConvertNextFile started a task (its termination events will follow).
    bool TaskStarted() const { return m_taskStarted; }
    // The list row of a task of the current queue, or -1.
    int RowOfTask(int taskIndex) const;
    // The output path worked out for a row in this run, or "".
    std::string OutputOfRow(int row) const;
    // Whether this run took the row (queued it, or failed it before its task could start).
    bool RowTaken(int row) const;
    // Why a row failed before its task could start (the component's LastError), or "".
    std::string FailureOfRow(int row) const;

private:
    // Names the output, adds the task and gives it its output; returns the task index, or
    // -1 after writing "Fail" into the row (the task, if added, is removed again).
    int queueRow(int row);
    // The row's output path; names in `lost` were found taken by another run.
    std::string outputPathFor(const std::string& input, const std::string& ext,
                              const std::set<std::string>& lost = {});
    // The task's output options for a row whose input (task `taskIndex`, open) has `streams`:
    // the format's settings, volume, aspect ratio, the streams that go out, the letterbox,
    // the deinterlacing and the extra lines. Returns why the row cannot be converted, or "".
    std::string fillOutputOptions(int row, int taskIndex,
                                  const std::vector<TAVStreamEntry>& streams);
    // The aspect ratio of the "Original" choice (the input's display shape `aspectOfInput`
    // when known, else from `videoSize`) and the letterbox, for a picture of `videoSize`
    // ("640x480"); a cover shown as the video is always letterboxed.
    void applyAspectRatio(const std::string& videoSize, float aspectOfInput);
    void applyLetterBox(const std::string& videoSize, bool always);
    void failRow(int row, const std::string& reason);
    // After a row failed: the next row from the retry timer, or the end of the run when the
    // row was the last one.
    void continueAfterFailure();
    std::string outputExtension() const;
    // An output of this run, or an input of the list: never to be written over.
    bool isProtected(const std::string& path) const;

    TFFmpegVCL& m_component;
    FileList& m_list;
    const FormatBoxState& m_format;
    TOutputOptions& m_outputOptions;
    JobBuilderHost& m_host;
    bool m_taskStarted = false;
    std::map<int, int> m_taskRows;            // task index -> row, current queue
    std::map<int, std::string> m_rowOutputs;  // row -> output path, this run
    std::map<int, std::string> m_rowFailures; // row -> reason, this run
    std::set<std::string> m_claimedOutputs;   // outputs given to tasks in this run
};
