// What the job builder asks of the window that runs it (or of the converter's own loop).
#pragma once

#include <string>

class JobBuilderHost {
public:
    virtual ~JobBuilderHost() = default;
    // Sets the run's progress bar back to 0.
    virtual void ResetProgressBar() = 0;
    // Arms the retry timer (its tick count back to 0): the next checked row is taken from
    // it, on the host's main thread, exactly as after a finished task.
    virtual void ArmConvertAgain() = 0;
    virtual void DisarmConvertAgain() = 0;
    // A message box with the caption "Information" (or a line on the console).
    virtual void ShowInformation(const std::string& text) = 0;
    virtual void EnableControls() = 0;
    // The end-of-run sequence: clear the tasks, "All Conversions Completed", progress bar
    // to 0, controls enabled, no run in progress.
    virtual void EndOfRun() = 0;
};
