// vidbrisk-convert --help: the usage, written from the command and option tables and the
// catalogue's labels, so that every option and label a table holds is listed.
#pragma once

#include <ostream>

void WriteHelp(std::ostream& out);
