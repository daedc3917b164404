// The open dialog's file filter, as designed and turned into Qt's filter form.
#pragma once

#include <QString>

// Description and pattern pairs separated by "|" (24 pairs, ending with a "|").
extern const char* const OpenFilter;

// Turns a "description|patterns|..." filter into Qt's "description (*.a *.b);;..." form.
// A description's own parenthesised pattern list is replaced by the real patterns, so
// Qt matches exactly the pattern list of the pair (blanks after semicolons dropped).
QString openFilterToQt(const QString& filter);

// The open dialog's filter in Qt's form: the designed entries, with "All Supported Files"
// also taking the extension of every output format (so the program's own outputs show) and
// the common inputs the designed list lacks, an entry for each of those, and "All Files (*)"
// last.
QString openDialogFilter();
