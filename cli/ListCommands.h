// The converter's --list-formats and --list-settings commands.
#pragma once

#include <ostream>
#include <string>

// One line per catalogue row, in catalogue order, tab-separated: profile number, output
// label, format box position (or "-"), display name. Returns 0.
int runListFormats(std::ostream& out);

// The nine settings boxes after choosing FORMAT on fresh boxes, one line per box in the
// window's box order, tab-separated: box name, selected position (-1 for none), every entry.
// Returns 0, or 2 with the reason on `err` when FORMAT names no usable row.
int runListSettings(const std::string& format, std::ostream& out, std::ostream& err);
