// The converter's conversion run: -f FORMAT -o FOLDER [settings] FILE...
#pragma once

#include "ConvertOptions.h"

#include <ostream>

// Converts the files with the job builder and the component, printing one line per file
// ("Done", "Fail" or "Abort", the input, the output, and on "Fail" the reason) on `out` and
// the progress lines on stderr when it is a terminal. Returns 0 when every file is Done,
// 1 when any failed, 130 when stopped by SIGINT, 2 when the run could not begin.
int runConvertCommand(const ConvertOptions& options, std::ostream& out, std::ostream& err);
